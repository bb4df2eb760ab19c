// One scene reader and one scene writer over osgDB's native formats, for the model's tests.
#include "Logger/Log.h"
#include "PluginSDK/Plugin.h"
#include "QtOSGPluginBase/IReader.h"
#include "QtOSGPluginBase/IWriter.h"

#include <QFileInfo>
#include <exception>
#include <osgDB/Registry>

namespace {

const char* const filter = "OpenSceneGraph native (*.osgt;*.osgb)";

osgDB::ReaderWriter* readerWriterFor(const std::string& path)
{
    return osgDB::Registry::instance()->getReaderWriterForExtension(fileExtension(path));
}

class TestSceneReader : public PluginSDK::Plugin<TestSceneReader>, public NodeReader
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override { return filter; }

    osg::ref_ptr<osg::Node> read(const std::string& path, const osgDB::Options* options) override
    {
        const QFileInfo file(QString::fromStdString(path));
        osgDB::ReaderWriter* readerWriter = readerWriterFor(path);
        if (!file.isFile() || !readerWriter) {
            ZEL_ERROR << "TestSceneReader: cannot read " << path << ": not a readable scene file\n";
            return nullptr;
        }
        // osgDB leaks its options on an empty stream, so an empty file never gets that far.
        if (file.size() == 0) {
            ZEL_ERROR << "TestSceneReader: cannot read " << path << ": the file is empty\n";
            return nullptr;
        }
        try {
            osgDB::ReaderWriter::ReadResult result = readerWriter->readNode(path, options);
            if (result.validNode())
                return result.getNode();
            ZEL_ERROR << "TestSceneReader: failed reading " << path << ": " << result.message()
                      << "\n";
        } catch (const std::exception& error) {
            ZEL_ERROR << "TestSceneReader: failed reading " << path << ": " << error.what() << "\n";
        }
        return nullptr;
    }
};

class TestSceneWriter : public PluginSDK::Plugin<TestSceneWriter>, public NodeWriter
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();

    std::string getFilterString() const override { return filter; }

    bool write(const osg::ref_ptr<osg::Node>& node, const std::string& path) override
    {
        osgDB::ReaderWriter* readerWriter = readerWriterFor(path);
        if (!node || !readerWriter) {
            ZEL_ERROR << "TestSceneWriter: cannot write " << path << "\n";
            return false;
        }
        const osgDB::ReaderWriter::WriteResult result = readerWriter->writeNode(*node, path);
        if (!result.success())
            ZEL_ERROR << "TestSceneWriter: failed writing " << path << ": " << result.message()
                      << "\n";
        return result.success();
    }
};

} // namespace

ZEL_PLUGIN_DESCRIPTOR(TestSceneReader,
                      PluginSDK::describe<TestSceneReader>("TestSceneReader",
                                                           "5ce7e000-0000-4000-8000-000000000001",
                                                           100))
ZEL_PLUGIN_DESCRIPTOR(TestSceneWriter,
                      PluginSDK::describe<TestSceneWriter>("TestSceneWriter",
                                                           "5ce7e000-0000-4000-8000-000000000002",
                                                           200))
ZEL_PLUGIN_LIBRARY(TestSceneReader, TestSceneWriter)
