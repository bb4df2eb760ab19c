#pragma once

#include "HumanInterface/ActionMapping.h"
#include "ZelApi.h"

#include <deque>
#include <string>

namespace HI {

// The ordered mapping records of one input mapper, in declaration order, and the bindings file
// they are kept in. A deque: records never move, so widgets and the mapper may hold on to them.
class ZEL_API InputActionToInputEventMapping
{
public:
    // One record as a file stores it: actions are named, never numbered.
    struct FileEntry
    {
        std::string m_actionHandler;
        std::string m_actionName;
        InputEvent m_input1;
        InputEvent m_input2;

        template <class Archive> void serialize(Archive& archive, unsigned version);
    };

    std::deque<ActionMapping>& mappings() { return m_mappings; }
    const std::deque<ActionMapping>& mappings() const { return m_mappings; }

    // Both report failures in the log and return false; a failed load changes no binding.
    bool saveBindings(const std::string& fileName) const;
    // Copies the bindings of every entry onto the records of the same handler and action name.
    bool loadBindings(const std::string& fileName);

private:
    std::deque<ActionMapping> m_mappings;
};

} // namespace HI
