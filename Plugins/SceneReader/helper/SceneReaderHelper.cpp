// Reads one scene file with osgDB and writes it to standard output as .osgb, for the scene
// reader plug-in, which parses the stream while it arrives. Runs in its own, confined process
// because osgDB's readers crash or hang on malformed files and a crafted file may take them
// over. Usage: SceneReaderHelper --parent PID --cpu-seconds N [--arrays FD] FILE [OSGDB-OPTIONS]
// With --arrays, large arrays go as raw blocks into the memory file FD (ArrayBlockWriter).
// Lines it starts with "warning: " on standard error are things the plug-in reports.
#include "ArrayBlockWriter.h"
#include "ExternalReferenceResolver.h"
#include "FlatMeshWelder.h"
#include "HelperExitCode.h"
#include "HelperSandbox.h"
#include "QtOSGPluginBase/OsgPluginGate.h"
#include "SceneGraphCheck.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <fstream>
#include <iostream>
#include <osgDB/FileNameUtils>
#include <osgDB/Registry>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>

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
#if defined(__SANITIZE_ADDRESS__)
    // _exit skips the leak check that would run at exit: run it here, on what is still held.
    if (code == HelperExitCode::Loaded)
        __lsan_do_leak_check();
#endif
    // The registry's teardown is of no use to a process that ends here.
    ::_exit(static_cast<int>(code));
}

struct Arguments
{
    pid_t parent = 0;
    std::uint64_t cpuSeconds = 0;
    int arraysFd = -1;
    std::string file;
    std::string options;
};

bool parseArguments(int argc, char** argv, Arguments& arguments)
{
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
        const std::string name = argv[i];
        const long long value = std::atoll(argv[i + 1]);
        if (name == "--parent" && value > 0)
            arguments.parent = static_cast<pid_t>(value);
        else if (name == "--cpu-seconds" && value > 0)
            arguments.cpuSeconds = static_cast<std::uint64_t>(value);
        else if (name == "--arrays" && value > 2 && value < 1024)
            arguments.arraysFd = static_cast<int>(value);
        else
            return false;
    }
    if (arguments.parent == 0 || arguments.cpuSeconds == 0 || i >= argc || argc - i > 2)
        return false;
    arguments.file = argv[i];
    arguments.options = i + 1 < argc ? argv[i + 1] : "";
    return true;
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

// Three quarters of the machine's memory: a file that asks for more takes nothing from the rest.
std::uint64_t memoryLimit()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::uint64_t(4) << 30;
    return std::uint64_t(pages) * std::uint64_t(pageSize) / 4 * 3;
}

void delayForTests()
{
#if defined(ZELVISTA_TEST_HOOKS)
    // Lets tests hold a read up long enough to interrupt it; not built into a release.
    if (const char* delay = std::getenv("ZELVISTA_TEST_READER_DELAY_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoll(delay)));
#endif
}

osg::ref_ptr<osg::Node> readScene(const Arguments& arguments, const osgDB::Options* options)
{
    osgDB::ReaderWriter::ReadResult result;
    try {
        result = osgDB::Registry::instance()->readNode(arguments.file, options);
    } catch (const std::exception& exception) {
        std::cerr << "osgDB: " << exception.what() << std::endl;
        finish(HelperExitCode::ReadFailed);
    }
    if (!result.validNode())
        finish(readFailure(result));
    return result.getNode();
}

void writeScene(const osg::Node& scene, int sceneFd)
{
    osgDB::ReaderWriter* osgb = osgDB::Registry::instance()->getReaderWriterForExtension("osgb");
    if (!osgb) {
        std::cerr << "osgDB has no .osgb writer" << std::endl;
        finish(HelperExitCode::StreamFailed);
    }
    // Robust binary blocks need seeking back in the output, which a pipe cannot do.
    osg::ref_ptr<osgDB::Options> streamOptions =
        new osgDB::Options("WriteImageHint=IncludeData RobustBinaryFormat=false");
    __gnu_cxx::stdio_filebuf<char> sceneBuffer(sceneFd, std::ios::out, 1 << 16);
    std::ostream stream(&sceneBuffer);
    const osgDB::ReaderWriter::WriteResult written =
        osgb->writeNode(scene, stream, streamOptions.get());
    stream.flush();
    if (!written.success() || !stream) {
        std::cerr << "writing the scene to the pipe failed: " << written.message() << std::endl;
        finish(HelperExitCode::StreamFailed);
    }
    sceneBuffer.close();
}

} // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) {
        std::cerr << "usage: SceneReaderHelper --parent PID --cpu-seconds N [--arrays FD] FILE "
                     "[OSGDB-OPTIONS]"
                  << std::endl;
        finish(HelperExitCode::Usage);
    }
    // Readers and osg::notify print on standard output, which must carry only the scene:
    // keep the pipe on a descriptor of its own and send everything else to standard error.
    const int sceneFd = ::dup(STDOUT_FILENO);
    if (sceneFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        finish(HelperExitCode::StreamFailed);

    restrictOsgPlugins(OsgPluginSet::ReaderHelper);
    std::string error;
    if (!HelperSandbox::enter(arguments.parent, {arguments.cpuSeconds, memoryLimit()}, error)) {
        std::cerr << "the reader helper cannot run confined: " << error << std::endl;
        finish(HelperExitCode::Sandbox);
    }
    delayForTests();
    if (!plausibleStl(arguments.file))
        finish(HelperExitCode::ReadFailed);

    osg::ref_ptr<osgDB::Options> options = new osgDB::Options(arguments.options);
    osg::ref_ptr<osg::Node> scene = readScene(arguments, options.get());

    ExternalReferenceResolver resolver(osgDB::getFilePath(arguments.file), options.get(), {});
    scene = resolver.resolve(*scene);
    for (const std::string& warning : resolver.warnings())
        std::cerr << "warning: " << warning << std::endl;

    const std::string problem = SceneGraphCheck::problem(*scene);
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
        finish(HelperExitCode::UnsafeScene);
    }
    FlatMeshWelder::weld(*scene);
    if (arguments.arraysFd >= 0) {
        ArrayBlockWriter arrays(arguments.arraysFd);
        if (!arrays.moveArrays(*scene, error)) {
            std::cerr << error << std::endl;
            finish(HelperExitCode::StreamFailed);
        }
    }
    writeScene(*scene, sceneFd);
    finish(HelperExitCode::Loaded);
}
