#include "SceneReader.h"

#include "Logger/Log.h"
#include "QtOSGPluginBase/OsgFormatFilter.h"
#include "ReaderFormats.h"
#include "VertexBufferVisitor.h"

#include <QFileInfo>
#include <osgDB/Options>

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

} // namespace

SceneReader::SceneReader(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info), m_filter(installedOsgFormatFilter(readableFormats())),
      m_helper(kernel->getApplicationDir() + "/" + helperName)
{}

std::string SceneReader::getFilterString() const
{
    return m_filter;
}

bool SceneReader::checkFile(const std::string& path, const std::string& extension) const
{
    const QFileInfo file(QString::fromStdString(path));
    const char* problem = nullptr;
    if (path.empty())
        problem = "no file name given";
    else if (!file.exists())
        problem = "the file does not exist";
    else if (file.isDir())
        problem = "it is a directory, not a file";
    else if (!file.isReadable())
        problem = "the file is not readable";
    else if (file.size() == 0)
        problem = "the file is empty";
    else if (extension.empty())
        problem = "the file name has no extension, so its format is unknown";
    else if (!isExtensionSupported(extension))
        problem = "its extension is not one of the formats this reader offers";
    if (problem)
        ZEL_ERROR << "SceneReader::read: Cannot read " << path << ": " << problem << "\n";
    return problem == nullptr;
}

osg::ref_ptr<osg::Node> SceneReader::read(const std::string& path, const osgDB::Options* options)
{
    const std::string extension = fileExtension(path);
    if (!checkFile(path, extension))
        return nullptr;
    std::string optionString = ReaderFormats::optionString(extension);
    if (options && !options->getOptionString().empty())
        optionString += (optionString.empty() ? "" : " ") + options->getOptionString();

    osg::ref_ptr<osg::Node> node = m_helper.read(path, optionString);
    if (!node)
        return nullptr;
    VertexBufferVisitor useVertexBuffers;
    node->accept(useVertexBuffers);
    ZEL_INFO << "SceneReader::read: Read " << path << "\n";
    return node;
}

ZEL_PLUGIN_DESCRIPTOR(SceneReader,
                      PluginSDK::describe<SceneReader>("SceneReader",
                                                       "376c5d28-cd84-4e0f-a809-2ceb314b9e11", 2000)
                          .description("Reads scene files through osgDB in a helper process")
                          .version("1.0")
                          .autoCreate(true))
ZEL_PLUGIN_LIBRARY(SceneReader)
