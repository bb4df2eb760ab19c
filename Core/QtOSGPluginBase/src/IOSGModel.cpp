#include "QtOSGPluginBase/IOSGModel.h"

#include "EventSystem/Event.h"
#include "Logger/Log.h"
#include "QtOSGPluginBase/ReadCancellation.h"

IOSGModel::IOSGModel(EventSystem* eventSystem, const std::string& name, const Uuid& uuid)
    : EventHandler(eventSystem, name, EventType::Model), ZELModel(uuid)
{}

IOSGModel::~IOSGModel() = default;

osg::ref_ptr<osg::Node> IOSGModel::loadNodeFromFile(const std::string& path)
{
    FileResult ignored;
    return loadNodeFromFile(path, ignored);
}

osg::ref_ptr<osg::Node> IOSGModel::readNode(const std::list<NodeReader*>& readers,
                                            const std::string& path, FileResult& result)
{
    const std::string extension = fileExtension(path);
    result = FileResult::notHandled(extension.empty()
                                        ? "the file name has no extension, so its format is unknown"
                                        : "no reader handles files of type \"." + extension + "\"");
    for (NodeReader* reader : readers) {
        if (!reader->isExtensionSupported(extension))
            continue;
        ZEL_INFO << "Found loader plugIn for extension(s) " << reader->getFilterString() << "\n";
        osg::ref_ptr<osg::Node> node = reader->readFile(path, nullptr, result);
        if (node && result.ok())
            return node;
        if (result.ok())
            result = FileResult::failed("the reader read nothing");
        if (result.status != FileResult::NotHandled)
            return nullptr;
    }
    if (ReadCancellation::requested())
        ZEL_INFO << "OSGModel::loadNodeFromFile: Stopped reading " << path << ": " << result.reason
                 << "\n";
    else
        ZEL_ERROR << "OSGModel::loadNodeFromFile: Cannot read " << path << ": " << result.reason
                  << "\n";
    return nullptr;
}
