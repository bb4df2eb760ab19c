#include "LasReader.h"

#include "LasFileReader.h"
#include "Logger/Log.h"

std::string LasReader::getFilterString() const
{
    return "LAS point clouds (*.las)";
}

osg::ref_ptr<osg::Node> LasReader::read(const std::string& path, const osgDB::Options* options)
{
    FileResult result;
    return readFile(path, options, result);
}

osg::ref_ptr<osg::Node> LasReader::readFile(const std::string& path, const osgDB::Options*,
                                            FileResult& result)
{
    std::string reason;
    osg::ref_ptr<osg::Node> points = LasFileReader::read(path, reason);
    if (!points) {
        ZEL_ERROR << "LasReader::read: Cannot read " << path << ": " << reason << "\n";
        result = FileResult::failed(reason);
        return nullptr;
    }
    ZEL_INFO << "LasReader::read: Read " << path << "\n";
    result = FileResult::done();
    return points;
}

ZEL_PLUGIN_DESCRIPTOR(LasReader,
                      PluginSDK::describe<LasReader>("LasReader",
                                                     "5372c621-9be9-442b-9300-3f66540fb48b", 2200)
                          .description("Reads ASPRS LAS point clouds (1.0 to 1.4)")
                          .version("1.0"))
