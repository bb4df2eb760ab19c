// Reads one scene file with osgDB and writes it to standard output as .osgb, for the scene
// reader plug-in, which parses the stream while it arrives. Runs in its own process because
// osgDB's readers crash or hang on malformed files. Usage: SceneReaderHelper FILE [OPTIONS]
#include "HelperExitCode.h"
#include "SceneGraphCheck.h"

#include <cstdint>
#include <cstdio>
#include <ext/stdio_filebuf.h>
#include <fstream>
#include <iostream>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// A crash in osgDB must end the helper by its signal, so that the plug-in can name it.
extern "C" const char* __asan_default_options()
{
    return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
}
#endif

namespace {

[[noreturn]] void finish(HelperExitCode code)
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // The registry's teardown is of no use to a process that ends here.
    ::_exit(static_cast<int>(code));
}

HelperExitCode readFailure(const osgDB::ReaderWriter::ReadResult& result)
{
    std::cerr << "osgDB: " << (result.message().empty() ? "no reason given" : result.message())
              << std::endl;
    switch (result.status()) {
    case osgDB::ReaderWriter::ReadResult::FILE_NOT_HANDLED:
        return HelperExitCode::NotHandled;
    case osgDB::ReaderWriter::ReadResult::FILE_NOT_FOUND:
        return HelperExitCode::FileNotFound;
    case osgDB::ReaderWriter::ReadResult::ERROR_IN_READING_FILE:
        return HelperExitCode::ReadFailed;
    default:
        return HelperExitCode::NoNode;
    }
}

// osgDB's STL reader takes a binary file shorter than its triangle count for a complete one
// and reads whatever bytes follow as triangles; refuse such a file, as random bytes are one.
bool plausibleStl(const std::string& path)
{
    if (osgDB::getLowerCaseFileExtension(path) != "stl")
        return true;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = file.tellg();
    char header[84] = {};
    file.seekg(0);
    if (size < 84 || !file.read(header, sizeof header))
        return std::string(header, 5) == "solid";
    std::uint32_t count = 0;
    for (int i = 3; i >= 0; --i)
        count = (count << 8) | static_cast<unsigned char>(header[80 + i]);
    const std::uint64_t needed = 84 + 50ull * count;
    if (static_cast<std::uint64_t>(size) >= needed || std::string(header, 5) == "solid")
        return true;
    std::cerr << "not a complete binary STL file: it declares " << count << " triangles (" << needed
              << " bytes) but has " << size << " bytes" << std::endl;
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: SceneReaderHelper FILE [OSGDB-OPTIONS]" << std::endl;
        finish(HelperExitCode::Usage);
    }
    // Readers and osg::notify print on standard output, which must carry only the scene:
    // keep the pipe on a descriptor of its own and send everything else to standard error.
    const int sceneFd = ::dup(STDOUT_FILENO);
    if (sceneFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        finish(HelperExitCode::StreamFailed);

    if (!plausibleStl(argv[1]))
        finish(HelperExitCode::ReadFailed);

    osg::ref_ptr<osgDB::Options> options = new osgDB::Options(argc == 3 ? argv[2] : "");
    osgDB::ReaderWriter::ReadResult result;
    try {
        result = osgDB::Registry::instance()->readNode(argv[1], options.get());
    } catch (const std::exception& exception) {
        std::cerr << "osgDB: " << exception.what() << std::endl;
        finish(HelperExitCode::ReadFailed);
    }
    if (!result.validNode())
        finish(readFailure(result));

    const std::string problem = SceneGraphCheck::problem(*result.getNode());
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
        finish(HelperExitCode::UnsafeScene);
    }

    osgDB::ReaderWriter* osgb = osgDB::Registry::instance()->getReaderWriterForExtension("osgb");
    if (!osgb) {
        std::cerr << "osgDB has no .osgb writer" << std::endl;
        finish(HelperExitCode::StreamFailed);
    }
    // Robust binary blocks need seeking back in the output, which a pipe cannot do.
    osg::ref_ptr<osgDB::Options> streamOptions =
        new osgDB::Options("WriteImageHint=IncludeData RobustBinaryFormat=false");
    __gnu_cxx::stdio_filebuf<char> sceneBuffer(sceneFd, std::ios::out, 1 << 16);
    std::ostream scene(&sceneBuffer);
    const osgDB::ReaderWriter::WriteResult written =
        osgb->writeNode(*result.getNode(), scene, streamOptions.get());
    scene.flush();
    if (!written.success() || !scene) {
        std::cerr << "writing the scene to the pipe failed: " << written.message() << std::endl;
        finish(HelperExitCode::StreamFailed);
    }
    sceneBuffer.close();
    finish(HelperExitCode::Loaded);
}
