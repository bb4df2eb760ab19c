#include "QtOSGPluginBase/IOSGModel.h"

#include "EventSystem/Event.h"

IOSGModel::IOSGModel(EventSystem* eventSystem, const std::string& name, const Uuid& uuid)
    : EventHandler(eventSystem, name, EventType::Model), ZELModel(uuid)
{}

IOSGModel::~IOSGModel() = default;

osg::ref_ptr<osg::Node> IOSGModel::loadNodeFromFile(const std::string& path)
{
    FileResult ignored;
    return loadNodeFromFile(path, ignored);
}
