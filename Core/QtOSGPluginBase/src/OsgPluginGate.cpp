#include "QtOSGPluginBase/OsgPluginGate.h"

#include "Logger/Log.h"

#include <mutex>
#include <osgDB/Callbacks>
#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/Registry>
#include <set>

namespace {

const char* const sceneExtensions[] = {"osgt", "osgb", "osgx", "osg", "ive", "obj",
                                       "stl",  "ply",  "3ds",  "dae", "dxf", "flt",
                                       "ac",   "lwo",  "lw",   "wrl", "iv",  "x"};
const char* const imageExtensions[] = {"png",  "jpg", "jpeg", "bmp", "tga", "gif",  "tif",
                                       "tiff", "rgb", "rgba", "sgi", "int", "inta", "bw",
                                       "dds",  "hdr", "pnm",  "ppm", "pgm", "pbm"};
// Formats screenshots are written in. Their writers may be loaded; reading such files stays
// refused here, since the read gate goes by the extensions above.
const char* const imageWriterExtensions[] = {"png", "tiff", "jpeg"};
// Node kits whose classes the native formats carry; osgDB loads a kit's serializers (and, for
// .osg, its deprecated wrappers) when it meets one of its classes.
const char* const nodeKits[] = {"osg",       "osgSim",       "osgText",
                                "osgFX",     "osgAnimation", "osgParticle",
                                "osgShadow", "osgTerrain",   "osgVolume"};

struct Gate
{
    std::set<std::string> extensions;
    std::set<std::string> libraries;
};

Gate* installedGate = nullptr;
thread_local int readBlocks = 0;

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

Gate* makeGate(OsgPluginSet set)
{
    osgDB::Registry* registry = osgDB::Registry::instance();
    auto* gate = new Gate;
    auto allow = [&](const char* extension) {
        gate->extensions.insert(extension);
        gate->libraries.insert(registry->createLibraryNameForExtension(extension));
    };
    for (const char* extension : sceneExtensions)
        allow(extension);
    if (set == OsgPluginSet::ReaderHelper)
        for (const char* extension : imageExtensions)
            allow(extension);
    for (const char* extension : imageWriterExtensions)
        gate->libraries.insert(registry->createLibraryNameForExtension(extension));
    for (const char* kit : nodeKits) {
        const std::string lower = lowerCase(kit);
        gate->libraries.insert(registry->createLibraryNameForNodeKit(kit));
        gate->libraries.insert(registry->createLibraryNameForExtension("serializers_" + lower));
        gate->libraries.insert(registry->createLibraryNameForExtension("deprecated_" + lower));
    }
    return gate;
}

// A library osgDB may not load is given a path that cannot exist: osgDB tries the name itself
// (in the working directory) when no path is found.
class LibraryGate : public osgDB::FindFileCallback
{
public:
    std::string findLibraryFile(const std::string& name, const osgDB::Options* options,
                                osgDB::CaseSensitivity caseSensitivity) override
    {
        if (isOsgLibraryAllowed(name)) {
            const std::string found = osgDB::Registry::instance()->findLibraryFileImplementation(
                name, options, caseSensitivity);
            if (osgDB::isAbsolutePath(found))
                return found;
        } else {
            refuse(name);
        }
        return "/dev/null/" + osgDB::getSimpleFileName(name);
    }

private:
    void refuse(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string shown;
        for (const char c : name.substr(0, 120))
            shown += (c >= 0x20 && c < 0x7f) ? c : '?';
        if (m_refused.insert(name).second)
            ZEL_WARN << "osgDB plug-in library " << shown
                     << " refused: not one of the formats Zelvista reads and writes\n";
    }

    std::mutex m_mutex;
    std::set<std::string> m_refused;
};

using ReadResult = osgDB::ReaderWriter::ReadResult;

class ReadGate : public osgDB::ReadFileCallback
{
public:
    ReadResult openArchive(const std::string& file, osgDB::ReaderWriter::ArchiveStatus status,
                           unsigned int blockSize, const osgDB::Options* options) override
    {
        const ReadResult refused = check(file);
        return refused.status() != ReadResult::NOT_IMPLEMENTED
                   ? refused
                   : ReadFileCallback::openArchive(file, status, blockSize, options);
    }
    ReadResult readObject(const std::string& file, const osgDB::Options* options) override
    {
        const ReadResult refused = check(file);
        return refused.status() != ReadResult::NOT_IMPLEMENTED
                   ? refused
                   : ReadFileCallback::readObject(file, options);
    }
    ReadResult readImage(const std::string& file, const osgDB::Options* options) override
    {
        const ReadResult refused = check(file);
        return refused.status() != ReadResult::NOT_IMPLEMENTED
                   ? refused
                   : ReadFileCallback::readImage(file, options);
    }
    ReadResult readHeightField(const std::string& file, const osgDB::Options* options) override
    {
        const ReadResult refused = check(file);
        return refused.status() != ReadResult::NOT_IMPLEMENTED
                   ? refused
                   : ReadFileCallback::readHeightField(file, options);
    }
    ReadResult readNode(const std::string& file, const osgDB::Options* options) override
    {
        const ReadResult refused = check(file);
        return refused.status() != ReadResult::NOT_IMPLEMENTED
                   ? refused
                   : ReadFileCallback::readNode(file, options);
    }
    ReadResult readShader(const std::string& file, const osgDB::Options* options) override
    {
        const ReadResult refused = check(file);
        return refused.status() != ReadResult::NOT_IMPLEMENTED
                   ? refused
                   : ReadFileCallback::readShader(file, options);
    }
    ReadResult readScript(const std::string& file, const osgDB::Options*) override
    {
        return ReadResult("Zelvista runs no scripts: " + file);
    }

private:
    // NOT_IMPLEMENTED stands for "go ahead".
    static ReadResult check(const std::string& file)
    {
        if (OsgFileReadBlock::active())
            return ReadResult("no file is read here: " + file);
        if (osgDB::containsServerAddress(file))
            return ReadResult("Zelvista fetches no URLs: " + file);
        const std::string extension = osgDB::getLowerCaseFileExtension(file);
        if (installedGate->extensions.count(extension) == 0) {
            ReadResult notHandled(ReadResult::FILE_NOT_HANDLED);
            notHandled.message() = "Zelvista reads no \"." + extension + "\" files: " + file;
            return notHandled;
        }
        return ReadResult(ReadResult::NOT_IMPLEMENTED);
    }
};

} // namespace

void restrictOsgPlugins(OsgPluginSet set)
{
    static std::once_flag once;
    std::call_once(once, [set] {
        installedGate = makeGate(set);
        osgDB::Registry* registry = osgDB::Registry::instance();
        registry->setFindFileCallback(new LibraryGate);
        registry->setReadFileCallback(new ReadGate);
    });
}

bool isOsgLibraryAllowed(const std::string& libraryName)
{
    return installedGate && installedGate->libraries.count(libraryName) > 0;
}

OsgFileReadBlock::OsgFileReadBlock()
{
    ++readBlocks;
}

OsgFileReadBlock::~OsgFileReadBlock()
{
    --readBlocks;
}

bool OsgFileReadBlock::active()
{
    return readBlocks > 0;
}
