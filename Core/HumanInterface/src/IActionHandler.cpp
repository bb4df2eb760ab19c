#include "HumanInterface/IActionHandler.h"

namespace HI {

// Out of line so that the type information lives in this library only and dynamic casts from
// plug-ins built with hidden visibility find one type.
IActionHandler::~IActionHandler() = default;

// A handler with single actions only need not care about continuous ones.
bool IActionHandler::beginAction(int, int, int, QEvent*)
{
    return false;
}

bool IActionHandler::updateAction(int, int, int, QEvent*)
{
    return false;
}

bool IActionHandler::endAction(int, int, int, QEvent*)
{
    return false;
}

} // namespace HI
