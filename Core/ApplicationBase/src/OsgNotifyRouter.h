#pragma once

#include <osg/Notify>

// OpenSceneGraph's notifications as log records: FATAL as FATAL, WARN as WARN, NOTICE and
// ALWAYS as INFO, prefixed "OSG "; INFO and the debug levels are dropped.
class OsgNotifyRouter : public osg::NotifyHandler
{
public:
    void notify(osg::NotifySeverity severity, const char* message) override;
};
