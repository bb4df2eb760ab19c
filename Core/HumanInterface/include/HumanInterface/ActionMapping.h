#pragma once

#include "HumanInterface/InputAction.h"
#include "HumanInterface/InputEvent.h"

namespace HI {

// One declared action with its primary and secondary binding.
struct ActionMapping
{
    int actionId = 0;
    std::string actionName;
    IActionHandler* handler = nullptr;
    ActionMode mode = Single;
    InputEvent primary;
    InputEvent secondary;

    const InputEvent& binding(int index) const { return index == 0 ? primary : secondary; }
    InputEvent& binding(int index) { return index == 0 ? primary : secondary; }
};

} // namespace HI
