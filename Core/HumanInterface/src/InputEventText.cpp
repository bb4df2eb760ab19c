#include "HumanInterface/InputMapper.h"

#include <QKeySequence>
#include <map>
#include <utility>

namespace HI {
namespace {

const std::map<std::pair<InputEventType, ActionMode>, QString>& inputNames()
{
    static const std::map<std::pair<InputEventType, ActionMode>, QString> names = {
        {{MouseDoubleClick, Single}, "mouse double-click"},
        {{MouseHover, Single}, "mouse hover"},
        {{MouseDrag, Continuous}, "mouse drag"},
        {{MouseClick, Single}, "mouse click"},
        {{WheelUp, Single}, "mouse wheel up"},
        {{WheelDown, Single}, "mouse wheel down"},
        {{WheelLeft, Single}, "mouse wheel left"},
        {{WheelRight, Single}, "mouse wheel right"},
        {{Key, Continuous}, "key press"},
        {{Key, Single}, "key pressed"},
        {{SwipeGesture, Single}, "swipe gesture"},
        {{PanGesture, Continuous}, "pan gesture"},
        {{PinchGesture, Continuous}, "pinch gesture"},
        {{Touch, Continuous}, "touch"},
    };
    return names;
}

QString buttonText(std::uint32_t buttons)
{
    switch (buttons) {
    case Qt::LeftButton:
        return " left button";
    case Qt::RightButton:
        return " right button";
    case Qt::MiddleButton:
        return " middle button";
    default:
        return " button " + QString::number(buttons);
    }
}

} // namespace

QString InputMapper::getDisplayText(const InputEvent& input, ActionMode mode)
{
    QString text;
    if (input.m_modifier & Qt::ControlModifier)
        text += "CTRL + ";
    if (input.m_modifier & Qt::AltModifier)
        text += "ALT + ";
    if (input.m_modifier & Qt::ShiftModifier)
        text += "SHIFT + ";
    if (input.isNone())
        return text;

    const auto name = inputNames().find({input.m_type, mode});
    text += name != inputNames().end()
                ? name->second
                : "Unknown input event type and mode, please update the map.";
    if (input.m_type == MouseDoubleClick || input.m_type == MouseDrag || input.m_type == MouseClick)
        text += buttonText(input.m_mouseButtons);
    else if (input.m_type == Key)
        text +=
            " " + QKeySequence(static_cast<int>(input.m_key)).toString(QKeySequence::PortableText);
    return text;
}

} // namespace HI
