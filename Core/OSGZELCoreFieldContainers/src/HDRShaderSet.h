#pragma once

#include <array>
#include <osg/Program>
#include <osg/Referenced>
#include <set>
#include <string>

namespace osg {
class State;
}

namespace OSG {

// The programs of the HDR post-processing passes, read from shader files. Files are checked when
// read; whether they compile is known only once a GL context is at hand (check).
class HDRShaderSet : public osg::Referenced
{
public:
    enum Pass
    {
        AmbientOcclusion,
        Blur,
        Combine,
        PassCount
    };
    enum class Status
    {
        Unread,
        Unchecked,
        Usable,
        Broken
    };

    // Reads the files from the folder; an ERROR record names each file that cannot be read.
    bool load(const std::string& directory);
    // Compiles and links in the state's context; an ERROR record names each file that fails,
    // with the compiler's or linker's log. Runs once; later calls return the verdict.
    bool check(osg::State& state);

    Status status() const { return m_status; }
    osg::Program* program(Pass pass) const { return m_programs[pass].get(); }

    static std::string vertexFile();
    static std::string fragmentFile(Pass pass);

protected:
    ~HDRShaderSet() override;

private:
    bool checkProgram(osg::State& state, Pass pass, std::set<const osg::Shader*>& reported);

    std::array<osg::ref_ptr<osg::Program>, PassCount> m_programs;
    std::array<std::string, PassCount> m_fragmentPaths;
    std::string m_vertexPath;
    Status m_status = Status::Unread;
};

} // namespace OSG
