#include "SceneWriter.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/OsgFormatFilter.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <osgDB/FileUtils>
#include <osgDB/Registry>
#include <sys/stat.h>
#include <vector>

namespace {

// Only formats whose osgDB writer really writes a file: COLLADA's reports success and writes
// nothing, PLY has no writer.
const std::vector<OsgFormatFamily>& writableFormats()
{
    static const std::vector<OsgFormatFamily> families{
        {"OpenSceneGraph", {"osgt", "osgb", "osgx", "osg", "ive"}},
        {"Wavefront OBJ", {"obj"}},
        {"Stereolithography STL", {"stl"}},
        {"3D Studio", {"3ds"}},
        {"AutoCAD DXF", {"dxf"}},
        {"OpenFlight", {"flt"}},
        {"AC3D", {"ac"}},
    };
    return families;
}

std::string optionString(const std::string& extension)
{
    // Native files carry their textures, so a saved scene does not depend on image files.
    if (extension == "osgt" || extension == "osgb" || extension == "osgx")
        return "WriteImageHint=IncludeData";
    return {};
}

std::string describe(const osgDB::ReaderWriter::WriteResult& result)
{
    const std::string kind = result.status() == osgDB::ReaderWriter::WriteResult::FILE_NOT_HANDLED
                                 ? "not handled"
                                 : "handled and failed";
    return "osgDB's writer failed (" + kind +
           (result.message().empty() ? ")" : "): " + result.message());
}

osgDB::ReaderWriter::WriteResult writeWithOsgDB(const osg::Node& node, const std::string& path,
                                                const std::string& extension)
{
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options(optionString(extension));
    try {
        return osgDB::Registry::instance()->writeNode(node, path, options.get());
    } catch (const std::exception& exception) {
        return osgDB::ReaderWriter::WriteResult(exception.what());
    } catch (...) {
        return osgDB::ReaderWriter::WriteResult("unknown exception");
    }
}

// Moves what osgDB wrote (side files such as an OBJ's .mtl first, the scene file last) into
// the target's folder. rename() replaces an existing file in one step.
bool moveInPlace(const QDir& staging, const QString& fileName, const QDir& target,
                 std::string& error)
{
    QStringList names = staging.entryList(QDir::Files | QDir::Hidden);
    names.removeAll(fileName);
    names.append(fileName);
    for (const QString& name : names) {
        const std::string from = staging.filePath(name).toStdString();
        const std::string to = target.filePath(name).toStdString();
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            error = "moving " + from + " to " + to + " failed: " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

SceneWriter::SceneWriter(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_filter(installedOsgFormatFilter(writableFormats()))
{}

std::string SceneWriter::getFilterString() const
{
    return m_filter;
}

bool SceneWriter::checkTarget(const osg::Node* node, const std::string& path,
                              const std::string& extension) const
{
    const QFileInfo target(QString::fromStdString(path));
    const char* problem = nullptr;
    if (!node)
        problem = "no scene given";
    else if (path.empty())
        problem = "no file name given";
    else if (extension.empty())
        problem = "the file name has no extension, so its format is unknown";
    else if (!isExtensionSupported(extension))
        problem = "its extension is not one of the formats this writer offers";
    else if (target.isDir())
        problem = "it is a directory";
    else if (!target.absoluteDir().exists())
        problem = "its folder does not exist";
    if (problem)
        ZEL_ERROR << "SceneWriter::write: Cannot write " << path << ": " << problem << "\n";
    return problem == nullptr;
}

bool SceneWriter::write(const osg::ref_ptr<osg::Node>& node, const std::string& path)
{
    const std::string extension = fileExtension(path);
    if (!checkTarget(node.get(), path, extension))
        return false;
    const QFileInfo target(QString::fromStdString(path));
    const QDir folder = target.absoluteDir();
    QTemporaryDir staging(folder.filePath("." + target.fileName() + ".saving-XXXXXX"));
    if (!staging.isValid()) {
        ZEL_ERROR << "SceneWriter::write: Cannot write " << path << ": no temporary folder next "
                  << "to it: " << staging.errorString().toStdString() << "\n";
        return false;
    }
    const std::string written = QDir(staging.path()).filePath(target.fileName()).toStdString();
    const osgDB::ReaderWriter::WriteResult result = writeWithOsgDB(*node, written, extension);
    if (!result.success()) {
        ZEL_ERROR << "SceneWriter::write: Cannot write " << path << ": " << describe(result)
                  << "; the previous file is unchanged\n";
        return false;
    }
    struct stat info
    {};
    if (::stat(written.c_str(), &info) != 0 || info.st_size == 0) {
        ZEL_ERROR << "SceneWriter::write: Cannot write " << path << ": osgDB reported success "
                  << "but wrote "
                  << (::stat(written.c_str(), &info) != 0 ? "no file" : "an empty file")
                  << "; the previous file is unchanged\n";
        return false;
    }
    struct stat previous
    {};
    if (::stat(path.c_str(), &previous) == 0)
        ::chmod(written.c_str(), previous.st_mode & 07777);
    std::string error;
    if (!moveInPlace(QDir(staging.path()), target.fileName(), folder, error)) {
        ZEL_ERROR << "SceneWriter::write: Cannot write " << path << ": " << error << "\n";
        return false;
    }
    ZEL_INFO << "SceneWriter::write: Wrote " << path << "\n";
    return true;
}

ZEL_PLUGIN_DESCRIPTOR(SceneWriter,
                      PluginSDK::describe<SceneWriter>("SceneWriter",
                                                       "23c1411d-c61d-44f1-bdc2-718c77f56857", 2100)
                          .description("Writes scene files through osgDB")
                          .version("1.0")
                          .autoCreate(true))
ZEL_PLUGIN_LIBRARY(SceneWriter)
