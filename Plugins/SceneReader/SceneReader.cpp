#include "SceneReader.h"

#include "FlatShading.h"
#include "Logger/Log.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/OsgFormatFilter.h"
#include "QtOSGPluginBase/OsgPluginGate.h"
#include "QtOSGPluginBase/ReadCancellation.h"
#include "QtUtility/TerminationSignalWatcher.h"
#include "ReaderFormats.h"
#include "VertexBufferVisitor.h"

#include <cerrno>
#include <cstring>
#include <osgDB/Options>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const helperName = "SceneReaderHelper";

const std::vector<OsgFormatFamily>& readableFormats()
{
    static const std::vector<OsgFormatFamily> families{
        {"OpenSceneGraph", {"osgt", "osgb", "osgx", "osg", "ive"}},
        {"Wavefront OBJ", {"obj"}},
        {"Stereolithography STL", {"stl"}},
        {"Stanford PLY", {"ply"}},
        {"3D Studio", {"3ds"}},
        {"COLLADA", {"dae"}},
        {"AutoCAD DXF", {"dxf"}},
        {"OpenFlight", {"flt"}},
        {"AC3D", {"ac"}},
        {"LightWave", {"lwo", "lw"}},
        {"VRML and Open Inventor", {"wrl", "iv"}},
        {"DirectX", {"x"}},
    };
    return families;
}

osg::ref_ptr<osg::Node> logFailure(const std::string& path, const FileResult& result)
{
    // A read the user stopped did not fail.
    if (ReadCancellation::requested())
        ZEL_INFO << "SceneReader::read: Stopped reading " << path << ": " << result.reason << "\n";
    else
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": " << result.reason << "\n";
    return nullptr;
}

FileResult resultOf(const ReaderHelperProcess::Outcome& outcome)
{
    using Outcome = ReaderHelperProcess::Outcome;
    switch (outcome.kind) {
    case Outcome::Loaded:
        return FileResult::done();
    case Outcome::NotHandled:
        return FileResult::notHandled(outcome.reason);
    case Outcome::NotFound:
        return FileResult::failed("the file was not found: " + outcome.reason);
    case Outcome::Cancelled:
        return FileResult::failed(ReadCancellation::requested()
                                      ? "the read was cancelled"
                                      : "the read was cancelled: the program is closing");
    default:
        return FileResult::failed(outcome.reason);
    }
}

// The program is closing, or the user cancelled this read.
bool readCancelled()
{
    return TerminationSignalWatcher::isTerminationRequested() || ReadCancellation::requested();
}

} // namespace

SceneReader::SceneReader(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_helper(kernel->getApplicationDir() + "/" + helperName,
                                     ReaderHelperProcess::TimeLimit{}, &readCancelled)
{
    // The program does this first thing; a host without the program's start-up gets it here.
    restrictOsgPlugins();
    m_filter = installedOsgFormatFilter(readableFormats());
}

std::string SceneReader::getFilterString() const
{
    return m_filter;
}

FileResult SceneReader::checkFile(const std::string& path, const std::string& extension) const
{
    if (path.empty())
        return FileResult::failed("no file name given");
    if (extension.empty())
        return FileResult::notHandled("the file name has no extension, so its format is unknown");
    if (!isExtensionSupported(extension))
        return FileResult::notHandled("its extension is not one of the formats this reader offers");
    // File names are bytes: looked at as they are, so that a name that is not text in the
    // locale's encoding (Latin-1 "caf\xe9") is still the same file.
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0)
        return FileResult::failed(errno == ENOENT ? "the file does not exist"
                                                  : std::string("it cannot be looked at: ") +
                                                        std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return FileResult::failed("it is a directory, not a file");
    if (!S_ISREG(info.st_mode))
        return FileResult::failed("it is not a regular file");
    if (::access(path.c_str(), R_OK) != 0)
        return FileResult::failed("the file is not readable");
    if (info.st_size == 0)
        return FileResult::failed("the file is empty");
    return FileResult::done();
}

osg::ref_ptr<osg::Node> SceneReader::read(const std::string& path, const osgDB::Options* options)
{
    FileResult result;
    osg::ref_ptr<osg::Node> node = readFile(path, options, result);
    if (result.status == FileResult::NotHandled)
        logFailure(path, result);
    return node;
}

osg::ref_ptr<osg::Node> SceneReader::readFile(const std::string& path,
                                              const osgDB::Options* options, FileResult& result)
{
    const std::string extension = fileExtension(path);
    result = checkFile(path, extension);
    if (result.status == FileResult::NotHandled)
        return nullptr;
    if (!result.ok())
        return logFailure(path, result);
    std::string optionString = ReaderFormats::optionString(extension);
    if (options && !options->getOptionString().empty())
        optionString += (optionString.empty() ? "" : " ") + options->getOptionString();

    ReaderHelperProcess::Outcome outcome;
    osg::ref_ptr<osg::Node> node = m_helper.read(path, optionString, outcome);
    result = resultOf(outcome);
    if (result.status == FileResult::NotHandled)
        return nullptr;
    if (!node)
        return logFailure(path, result);
    for (const std::string& warning : outcome.warnings)
        ZEL_WARN << "SceneReader::read: " << path << ": " << warning << "\n";
    VertexBufferVisitor useVertexBuffers;
    node->accept(useVertexBuffers);
    FlatShading::apply(*node);
    ZEL_INFO << "SceneReader::read: Read " << path << "; the reader helper held at most "
             << outcome.helperPeakKilobytes / 1024 << " MiB.\n";
    return node;
}

ZEL_PLUGIN_DESCRIPTOR(SceneReader,
                      PluginSDK::describe<SceneReader>("SceneReader", WellKnownPlugins::sceneReader,
                                                       2000)
                          .description("Reads scene files through osgDB in a helper process")
                          .version("1.0")
                          .autoCreate(true))
ZEL_PLUGIN_LIBRARY(SceneReader)
