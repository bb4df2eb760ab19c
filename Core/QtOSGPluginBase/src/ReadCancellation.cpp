#include "QtOSGPluginBase/ReadCancellation.h"

#include <utility>

namespace {

thread_local ReadCancellation::Flag current;

} // namespace

bool ReadCancellation::requested()
{
    return current && current->load();
}

ReadCancellation::Scope::Scope(Flag flag) : m_previous(std::exchange(current, std::move(flag))) {}

ReadCancellation::Scope::~Scope()
{
    current = std::move(m_previous);
}
