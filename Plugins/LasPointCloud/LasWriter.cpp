#include "LasWriter.h"

#include "LasFileWriter.h"
#include "Logger/Log.h"

std::string LasWriter::getFilterString() const
{
    return "LAS point clouds (*.las)";
}

bool LasWriter::write(const osg::ref_ptr<osg::Node>& node, const std::string& path)
{
    return writeFile(node, path).ok();
}

FileResult LasWriter::writeFile(const osg::ref_ptr<osg::Node>& node, const std::string& path)
{
    std::uint64_t points = 0;
    const std::string reason =
        node ? LasFileWriter::write(*node, path, &points) : std::string("no scene given");
    if (!reason.empty()) {
        ZEL_ERROR << "LasWriter::write: Cannot write " << path << ": " << reason << "\n";
        return FileResult::failed(reason);
    }
    ZEL_INFO << "LasWriter::write: Wrote " << points << " points to " << path << "\n";
    return FileResult::done();
}

ZEL_PLUGIN_DESCRIPTOR(LasWriter,
                      PluginSDK::describe<LasWriter>("LasWriter",
                                                     "72ed1f7c-e548-4050-ab42-9c0d43531c1f", 2200)
                          .description("Writes ASPRS LAS 1.2 point clouds with colours")
                          .version("1.0"))
