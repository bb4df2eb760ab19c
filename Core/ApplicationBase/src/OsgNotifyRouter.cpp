#include "OsgNotifyRouter.h"

#include "Logger/Log.h"

#include <string>

void OsgNotifyRouter::notify(osg::NotifySeverity severity, const char* message)
{
    Logger::Level level;
    switch (severity) {
    case osg::ALWAYS:
    case osg::NOTICE:
        level = Logger::Info;
        break;
    case osg::FATAL:
        level = Logger::Fatal;
        break;
    case osg::WARN:
        level = Logger::Warn;
        break;
    default:
        return;
    }
    // OpenSceneGraph hands over its text with the line end included.
    std::string text = message ? message : "";
    if (text.empty() || text == "\n")
        return;
    if (text.back() != '\n')
        text += '\n';
    ZEL_LOG(level) << "OSG " << text;
}
