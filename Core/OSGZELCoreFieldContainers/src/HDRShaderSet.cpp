#include "HDRShaderSet.h"

#include "Logger/Log.h"

#include <fstream>
#include <osg/Shader>
#include <osg/State>

namespace OSG {

namespace {

// Our shaders are a few kilobytes; anything this large is not one of them.
constexpr std::streamoff MaxShaderFileSize = 256 * 1024;

std::string joinPath(const std::string& directory, const std::string& file)
{
    if (directory.empty() || directory.back() == '/')
        return directory + file;
    return directory + "/" + file;
}

// The file's text, or null with an ERROR record saying why not.
osg::ref_ptr<osg::Shader> readShader(osg::Shader::Type type, const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        ZEL_ERROR << "HDRWithPostprocessingStage::setShaderPath: Cannot open the shader file "
                  << path << "\n";
        return nullptr;
    }
    const std::streamoff size = file.tellg();
    if (size <= 0 || size > MaxShaderFileSize) {
        ZEL_ERROR << "HDRWithPostprocessingStage::setShaderPath: The shader file " << path << " is "
                  << (size <= 0 ? "empty or unreadable" : "too large") << "\n";
        return nullptr;
    }
    file.seekg(0);
    std::string source(static_cast<std::size_t>(size), '\0');
    if (!file.read(source.data(), size) || source.find('\0') != std::string::npos) {
        ZEL_ERROR << "HDRWithPostprocessingStage::setShaderPath: Cannot read the shader file "
                  << path << " as text\n";
        return nullptr;
    }
    osg::ref_ptr<osg::Shader> shader = new osg::Shader(type, source);
    shader->setFileName(path);
    return shader;
}

} // namespace

HDRShaderSet::~HDRShaderSet() = default;

std::string HDRShaderSet::vertexFile()
{
    return "HDRFullScreen.vert";
}

std::string HDRShaderSet::fragmentFile(Pass pass)
{
    switch (pass) {
    case AmbientOcclusion:
        return "HDRAmbientOcclusion.frag";
    case Blur:
        return "HDRBlur.frag";
    default:
        return "HDRCombine.frag";
    }
}

bool HDRShaderSet::load(const std::string& directory)
{
    m_status = Status::Unread;
    m_vertexPath = joinPath(directory, vertexFile());
    osg::ref_ptr<osg::Shader> vertex = readShader(osg::Shader::VERTEX, m_vertexPath);
    bool complete = vertex.valid();
    for (int pass = 0; pass < PassCount; ++pass) {
        m_fragmentPaths[pass] = joinPath(directory, fragmentFile(Pass(pass)));
        osg::ref_ptr<osg::Shader> fragment =
            readShader(osg::Shader::FRAGMENT, m_fragmentPaths[pass]);
        complete = complete && fragment.valid();
        m_programs[pass] = new osg::Program;
        m_programs[pass]->setName(fragmentFile(Pass(pass)));
        if (vertex && fragment) {
            m_programs[pass]->addShader(vertex.get());
            m_programs[pass]->addShader(fragment.get());
        }
    }
    if (complete)
        m_status = Status::Unchecked;
    return complete;
}

bool HDRShaderSet::check(osg::State& state)
{
    if (m_status != Status::Unchecked)
        return m_status == Status::Usable;
    bool usable = true;
    // The vertex shader is shared: report each file once.
    std::set<const osg::Shader*> reported;
    for (int pass = 0; pass < PassCount; ++pass)
        usable = checkProgram(state, Pass(pass), reported) && usable;
    m_status = usable ? Status::Usable : Status::Broken;
    return usable;
}

bool HDRShaderSet::checkProgram(osg::State& state, Pass pass,
                                std::set<const osg::Shader*>& reported)
{
    const osg::Program& program = *m_programs[pass];
    program.compileGLObjects(state);

    bool compiled = true;
    for (unsigned int i = 0; i < program.getNumShaders(); ++i) {
        const osg::Shader& shader = *program.getShader(i);
        osg::Shader::PerContextShader* perContext = shader.getPCS(state);
        if (!perContext || perContext->isCompiled())
            continue;
        compiled = false;
        if (!reported.insert(&shader).second)
            continue;
        std::string log;
        perContext->getInfoLog(log);
        ZEL_ERROR << "HDRWithPostprocessingStage: The shader file " << shader.getFileName()
                  << " does not compile; drawing without post-processing. Compiler log:\n"
                  << log << "\n";
    }
    if (!compiled)
        return false;

    osg::Program::PerContextProgram* linked = program.getPCP(state);
    if (linked && linked->isLinked())
        return true;
    std::string log;
    if (linked)
        linked->getInfoLog(log);
    ZEL_ERROR << "HDRWithPostprocessingStage: The shader files " << m_vertexPath << " and "
              << m_fragmentPaths[pass] << " do not link; drawing without post-processing. "
              << "Linker log:\n"
              << log << "\n";
    return false;
}

} // namespace OSG
