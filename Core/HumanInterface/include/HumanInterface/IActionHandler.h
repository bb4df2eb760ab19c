#pragma once

#include "ZelApi.h"

#include <string>

class QEvent;

namespace HI {

// What a plug-in implements to receive the actions its input mapper drives. Every call gets
// the action ID, the pointer position in the watched widget and the Qt event being handled
// (null when the action is triggered directly); true means the handler accepted the call.
// A continuous action becomes active only when beginAction returns true and stays active
// until endAction returns true.
class ZEL_API IActionHandler
{
public:
    virtual ~IActionHandler();

    // Names the handler's bindings in files; mappers of one name share one configuration.
    virtual std::string getActionHandlerName() const = 0;

    virtual bool triggerAction(int actionId, int x, int y, QEvent* event) = 0;
    virtual bool beginAction(int actionId, int x, int y, QEvent* event);
    virtual bool updateAction(int actionId, int x, int y, QEvent* event);
    virtual bool endAction(int actionId, int x, int y, QEvent* event);
};

} // namespace HI
