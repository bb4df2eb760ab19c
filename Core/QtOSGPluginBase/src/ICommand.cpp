#include "QtOSGPluginBase/ICommand.h"

ICommand::ICommand() = default;

ICommand::~ICommand() = default;

bool ICommand::fail(std::string reason)
{
    m_failure = reason.empty() ? std::string("unknown reason") : std::move(reason);
    return false;
}
