#pragma once

#include "ZelApi.h"

#include <string>

class QObject;

// The web server plug-in (type 5a50371d-b2eb-4839-9084-779dd8d51665), reached from its IPlugin
// by a dynamic cast. It serves a page that draws the colour-mapping pipeline's point stream.
class ZEL_API IWebServerPlugin
{
public:
    static const char* const TypeUuid;

    virtual ~IWebServerPlugin();

    // One frame of the point stream: 24 bytes a point, x, y, z and red, green, blue as
    // little-endian 32-bit floats. Goes to every page waiting for a frame. GUI thread.
    virtual void send(const std::string& frame) = 0;
    // The object that receives an EventWebServer on the GUI thread whenever a page asks for a
    // frame; null for none. Listening starts with the first receiver. GUI thread.
    virtual void setStreamReceiver(QObject* receiver) = 0;
};
