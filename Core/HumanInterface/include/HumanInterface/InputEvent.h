#pragma once

#include <cstdint>

namespace HI {

enum InputEventType : std::uint32_t
{
    None = 0,
    MouseDoubleClick = 1,
    MouseHover = 2,
    MouseDrag = 3,
    WheelUp = 4,
    WheelDown = 5,
    Key = 6,
    MouseClick = 7,
    WheelLeft = 8,
    WheelRight = 9,
    SwipeGesture = 10,
    PinchGesture = 11,
    PanGesture = 12,
    Touch = 13
};

// One input of any device. An all-zero event means no input; a binding of type None is empty.
// Modifiers, keys and buttons hold Qt's flag and code values.
struct InputEvent
{
    InputEventType m_type = None;
    std::uint32_t m_modifier = 0;
    std::uint32_t m_key = 0;
    std::uint32_t m_mouseButtons = 0;
    // Whether this input starts or ends something; neither stored nor compared.
    bool m_begin = false;
    bool m_end = false;

    bool isNone() const { return m_type == None; }

    // The bindings file layout; defined where the files are read and written.
    template <class Archive> void serialize(Archive& archive, unsigned version);
};

inline bool operator==(const InputEvent& a, const InputEvent& b)
{
    return a.m_type == b.m_type && a.m_modifier == b.m_modifier && a.m_key == b.m_key &&
           a.m_mouseButtons == b.m_mouseButtons;
}

inline bool operator!=(const InputEvent& a, const InputEvent& b)
{
    return !(a == b);
}

} // namespace HI
