#include "QtOSGPluginBase/ModelCommands/IModelCommand.h"

MODCMD::IModelCommand::~IModelCommand() = default;
