#pragma once

#include "HumanInterface/InputEvent.h"

#include <QWheelEvent>
#include <cstdlib>

namespace HI {

// The wheel's dominant direction; a zero delta gives no input.
inline InputEventType wheelInputType(const QWheelEvent* wheel)
{
    const QPoint delta = wheel->angleDelta();
    if (delta.isNull())
        return None;
    if (std::abs(delta.y()) >= std::abs(delta.x()))
        return delta.y() > 0 ? WheelUp : WheelDown;
    return delta.x() > 0 ? WheelLeft : WheelRight;
}

} // namespace HI
