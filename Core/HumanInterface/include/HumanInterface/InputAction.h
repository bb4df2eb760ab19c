#pragma once

#include <cstdint>
#include <string>

namespace HI {

class IActionHandler;

// Single actions fire once; continuous ones begin, update while their input is held, and end.
enum ActionMode : std::int32_t
{
    Single = 0,
    Continuous = 1
};

// An action a handler declares when it asks for a mapper. Files name it by handler and action
// name, so IDs may change between versions of a plug-in.
struct InputAction
{
    int actionId = 0;
    std::string actionName;
    IActionHandler* handler = nullptr;
    ActionMode mode = Single;
};

} // namespace HI
