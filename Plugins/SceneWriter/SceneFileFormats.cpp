#include "SceneFileFormats.h"

#include <osgDB/Callbacks>
#include <osgDB/Registry>
#include <ostream>

namespace {

using ReadResult = osgDB::ReaderWriter::ReadResult;
using WriteResult = osgDB::ReaderWriter::WriteResult;

// Refuses every file osgDB would read or write on the side, and remembers the names.
class SideFileGuard : public osgDB::ReadFileCallback, public osgDB::WriteFileCallback
{
public:
    ReadResult openArchive(const std::string& name, osgDB::ReaderWriter::ArchiveStatus, unsigned,
                           const osgDB::Options*) override
    {
        return refuseRead(name);
    }
    ReadResult readObject(const std::string& name, const osgDB::Options*) override
    {
        return refuseRead(name);
    }
    ReadResult readImage(const std::string& name, const osgDB::Options*) override
    {
        return refuseRead(name);
    }
    ReadResult readHeightField(const std::string& name, const osgDB::Options*) override
    {
        return refuseRead(name);
    }
    ReadResult readNode(const std::string& name, const osgDB::Options*) override
    {
        return refuseRead(name);
    }
    ReadResult readShader(const std::string& name, const osgDB::Options*) override
    {
        return refuseRead(name);
    }
    ReadResult readScript(const std::string& name, const osgDB::Options*) override
    {
        return refuseRead(name);
    }

    WriteResult writeObject(const osg::Object&, const std::string& name,
                            const osgDB::Options*) override
    {
        return refuseWrite(name);
    }
    WriteResult writeImage(const osg::Image&, const std::string& name,
                           const osgDB::Options*) override
    {
        return refuseWrite(name);
    }
    WriteResult writeHeightField(const osg::HeightField&, const std::string& name,
                                 const osgDB::Options*) override
    {
        return refuseWrite(name);
    }
    WriteResult writeNode(const osg::Node&, const std::string& name, const osgDB::Options*) override
    {
        return refuseWrite(name);
    }
    WriteResult writeShader(const osg::Shader&, const std::string& name,
                            const osgDB::Options*) override
    {
        return refuseWrite(name);
    }
    WriteResult writeScript(const osg::Script&, const std::string& name,
                            const osgDB::Options*) override
    {
        return refuseWrite(name);
    }

    const std::string& refusedWrite() const { return m_refusedWrite; }

private:
    ReadResult refuseRead(const std::string&) { return ReadResult(ReadResult::FILE_NOT_FOUND); }

    WriteResult refuseWrite(const std::string& name)
    {
        if (m_refusedWrite.empty())
            m_refusedWrite = name;
        return WriteResult("a scene is saved as one file");
    }

    std::string m_refusedWrite;
};

// Nested writes (images, external references) may pass no options, so the guard stands in the
// registry as well while a file is written. Saving runs on the GUI thread.
class RegistryWriteGuard
{
public:
    explicit RegistryWriteGuard(osgDB::WriteFileCallback* guard)
        : m_previous(osgDB::Registry::instance()->getWriteFileCallback())
    {
        osgDB::Registry::instance()->setWriteFileCallback(guard);
    }
    ~RegistryWriteGuard() { osgDB::Registry::instance()->setWriteFileCallback(m_previous.get()); }
    RegistryWriteGuard(const RegistryWriteGuard&) = delete;
    RegistryWriteGuard& operator=(const RegistryWriteGuard&) = delete;

private:
    osg::ref_ptr<osgDB::WriteFileCallback> m_previous;
};

osg::ref_ptr<osgDB::Options> writeOptions(const std::string& extension)
{
    // Text keeps every float exactly with 9 digits; osgDB writes 6 by default.
    std::string options;
    std::string fileType;
    if (extension == "osgt" || extension == "osgx") {
        options = "WriteImageHint=IncludeData precision 9";
        fileType = extension == "osgt" ? "Ascii" : "XML";
    } else if (extension == "osgb") {
        options = "WriteImageHint=IncludeData";
        fileType = "Binary";
    }
    osg::ref_ptr<osgDB::Options> result = new osgDB::Options(options);
    // Naming a file tells osgDB the type; a stream needs it said.
    result->setPluginStringData("fileType", fileType);
    return result;
}

osgDB::ReaderWriter* readerWriter(const std::string& extension)
{
    return osgDB::Registry::instance()->getReaderWriterForExtension(extension);
}

} // namespace

const std::vector<OsgFormatFamily>& SceneFileFormats::families()
{
    static const std::vector<OsgFormatFamily> families{
        {"OpenSceneGraph", {"osgt", "osgb", "osgx"}},
    };
    return families;
}

WriteResult SceneFileFormats::write(const osg::Node& node, const std::string& extension,
                                    std::ostream& out)
{
    osgDB::ReaderWriter* writer = readerWriter(extension);
    if (!writer)
        return WriteResult("osgDB has no writer for ." + extension + " files");
    osg::ref_ptr<SideFileGuard> guard = new SideFileGuard;
    osg::ref_ptr<osgDB::Options> options = writeOptions(extension);
    options->setReadFileCallback(guard.get());
    options->setWriteFileCallback(guard.get());
    WriteResult result;
    {
        RegistryWriteGuard registryGuard(guard.get());
        try {
            result = writer->writeNode(node, out, options.get());
        } catch (const std::exception& exception) {
            result = WriteResult(std::string("osgDB threw: ") + exception.what());
        } catch (...) {
            result = WriteResult("osgDB threw an unknown exception");
        }
    }
    if (result.success() && !guard->refusedWrite().empty())
        return WriteResult("the scene refers to a file of its own (" + guard->refusedWrite() +
                           "), and a save writes one file only");
    return result;
}

ReadResult SceneFileFormats::read(std::istream& in, const std::string& extension)
{
    osgDB::ReaderWriter* reader = readerWriter(extension);
    if (!reader)
        return ReadResult("osgDB has no reader for ." + extension + " files");
    osg::ref_ptr<SideFileGuard> guard = new SideFileGuard;
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setReadFileCallback(guard.get());
    try {
        return reader->readNode(in, options.get());
    } catch (const std::exception& exception) {
        return ReadResult(std::string("osgDB threw: ") + exception.what());
    } catch (...) {
        return ReadResult("osgDB threw an unknown exception");
    }
}
