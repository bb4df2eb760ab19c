#include "QtOSGPluginBase/ICommand.h"

ICommand::ICommand() = default;

ICommand::~ICommand() = default;
