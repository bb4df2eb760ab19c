#include "RenderManager/IWebServerPlugin.h"

const char* const IWebServerPlugin::TypeUuid = "5a50371d-b2eb-4839-9084-779dd8d51665";

IWebServerPlugin::~IWebServerPlugin() = default;
