#include "SceneWriter.h"

#include "CheckedFileBuffer.h"
#include "Logger/Log.h"
#include "PickingTreeDetacher.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "SaveTarget.h"
#include "SceneFileFormats.h"
#include "SceneSummary.h"
#include "StagingFolder.h"
#include "WriteErrorText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string describe(const osgDB::ReaderWriter::WriteResult& result)
{
    const std::string kind = result.status() == osgDB::ReaderWriter::WriteResult::FILE_NOT_HANDLED
                                 ? "not handled"
                                 : "handled and failed";
    return "osgDB's writer failed (" + kind +
           (result.message().empty() ? ")" : "): " + result.message());
}

std::string offeredExtensions()
{
    std::string list;
    for (const OsgFormatFamily& family : SceneFileFormats::families())
        for (const char* extension : family.extensions)
            list += (list.empty() ? "." : ", .") + std::string(extension);
    return list;
}

} // namespace

SceneWriter::SceneWriter(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_filter(installedOsgFormatFilter(SceneFileFormats::families()))
{}

std::string SceneWriter::getFilterString() const
{
    return m_filter;
}

bool SceneWriter::write(const osg::ref_ptr<osg::Node>& node, const std::string& path)
{
    return writeFile(node, path).ok();
}

FileResult SceneWriter::writeFile(const osg::ref_ptr<osg::Node>& node, const std::string& path)
{
    const std::string reason = save(node.get(), path);
    if (!reason.empty()) {
        ZEL_ERROR << "SceneWriter::write: Cannot write " << path << ": " << reason << "\n";
        return FileResult::failed(reason);
    }
    ZEL_INFO << "SceneWriter::write: Wrote " << path << "\n";
    return FileResult::done();
}

std::string SceneWriter::refusal(const osg::Node* node, const std::string& path,
                                 const std::string& extension) const
{
    if (!node)
        return "no scene given";
    if (path.empty())
        return "no file name given";
    if (extension.empty())
        return "the file name has no extension, so its format is unknown";
    if (!isExtensionSupported(extension))
        return "\"." + extension + "\" is not one of the formats this writer offers (" +
               offeredExtensions() + ")";
    return {};
}

std::string SceneWriter::save(osg::Node* node, const std::string& path) const
{
    const std::string extension = fileExtension(path);
    std::string problem = refusal(node, path, extension);
    if (!problem.empty())
        return problem;
    const SaveTarget target = SaveTarget::resolve(path);
    if (!target.problem().empty())
        return target.problem();

    StagingFolder::removeLeftovers(target.folder());
    StagingFolder staging(target.folder(), target.fileName());
    if (!staging.problem().empty())
        return staging.problem();
    problem = writeStaged(*node, extension, staging.filePath(), target);
    if (problem.empty())
        problem = checkStaged(*node, extension, staging.filePath());
    if (problem.empty()) {
        if (const int error = staging.commit(target.path()))
            problem =
                "the new file could not take the place of the old one: " + writeErrorText(error);
    }
    if (!problem.empty() && target.exists())
        problem += "; the previous file is unchanged";
    return problem;
}

std::string SceneWriter::writeStaged(osg::Node& node, const std::string& extension,
                                     const std::string& file, const SaveTarget& target)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return "no new file can be made next to it: " + writeErrorText(errno);
    if (target.exists())
        ::fchmod(fd, target.mode());
    CheckedFileBuffer buffer(fd);
    osgDB::ReaderWriter::WriteResult result;
    {
        std::ostream out(&buffer);
        const PickingTreeDetacher withoutPickingTrees(node);
        result = SceneFileFormats::write(node, extension, out);
        out.flush();
    }
    buffer.close();
    // A failing disk comes first: osgDB's complaint would only be the consequence.
    if (buffer.error())
        return writeErrorText(buffer.error());
    if (!result.success())
        return describe(result);
    struct stat info
    {};
    if (::stat(file.c_str(), &info) != 0 ||
        static_cast<std::uint64_t>(info.st_size) != buffer.size())
        return "the disk holds " + std::to_string(info.st_size) + " of the " +
               std::to_string(buffer.size()) + " bytes written";
    return {};
}

std::string SceneWriter::checkStaged(osg::Node& node, const std::string& extension,
                                     const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::string("the new file cannot be opened to check it: ") + std::strerror(errno);
    osgDB::ReaderWriter::ReadResult back = SceneFileFormats::read(in, extension);
    if (!back.validNode())
        return "the new file does not read back (" +
               (back.message().empty() ? std::string("osgDB gave no reason") : back.message()) +
               ")";
    const std::string difference = SceneSummary(*back.getNode()).differenceFrom(SceneSummary(node));
    if (difference.empty())
        return {};
    return "the new file does not hold the scene: " + difference;
}

ZEL_PLUGIN_DESCRIPTOR(SceneWriter,
                      PluginSDK::describe<SceneWriter>("SceneWriter", WellKnownPlugins::sceneWriter,
                                                       2100)
                          .description("Writes scene files through osgDB")
                          .version("1.0")
                          .autoCreate(true))
ZEL_PLUGIN_LIBRARY(SceneWriter)
