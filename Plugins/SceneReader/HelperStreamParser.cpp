#include "HelperStreamParser.h"

#include "ArrayBlockReader.h"
#include "CheckedSerializer.h"
#include "HelperStreamIterator.h"
#include "PrimitiveSetListSerializer.h"
#include "QtOSGPluginBase/OsgPluginGate.h"
#include "SceneGraphCheck.h"

#include <algorithm>
#include <osg/Image>
#include <osg/Texture>
#include <osgDB/Callbacks>
#include <osgDB/InputStream>
#include <osgDB/Options>

namespace {

// Tells what InputStream keeps to itself.
class CheckedInputStream : public osgDB::InputStream
{
public:
    using osgDB::InputStream::InputStream;
    bool usesSchema() const { return _useSchemaData; }
};

using ReadResult = osgDB::ReaderWriter::ReadResult;

// For the reads osgDB makes with the stream's options (ProxyNode children, external images).
class NoFileReads : public osgDB::ReadFileCallback
{
public:
    ReadResult openArchive(const std::string& file, osgDB::ReaderWriter::ArchiveStatus,
                           unsigned int, const osgDB::Options*) override
    {
        return refuse(file);
    }
    ReadResult readObject(const std::string& file, const osgDB::Options*) override
    {
        return refuse(file);
    }
    ReadResult readImage(const std::string& file, const osgDB::Options*) override
    {
        return refuse(file);
    }
    ReadResult readHeightField(const std::string& file, const osgDB::Options*) override
    {
        return refuse(file);
    }
    ReadResult readNode(const std::string& file, const osgDB::Options*) override
    {
        return refuse(file);
    }
    ReadResult readShader(const std::string& file, const osgDB::Options*) override
    {
        return refuse(file);
    }
    ReadResult readScript(const std::string& file, const osgDB::Options*) override
    {
        return refuse(file);
    }

private:
    static ReadResult refuse(const std::string& file)
    {
        return ReadResult("the program reads no file a scene names: " + file);
    }
};

osg::ref_ptr<osg::Object> readStream(HelperStreamIterator& iterator, const osgDB::Options& options,
                                     std::string& error)
{
    if (!iterator.readHeader()) {
        error = iterator.failure();
        return nullptr;
    }
    CheckedInputStream stream(&options);
    osg::ref_ptr<osg::Object> object;
    if (stream.start(&iterator) != osgDB::InputStream::READ_SCENE)
        error = "it holds no scene";
    else if (iterator.getSupportBinaryBrackets() || stream.usesSchema())
        error = "robust or schema-based streams are not accepted";
    else {
        std::string compressor;
        stream >> compressor;
        if (compressor == "0")
            object = stream.readObject();
        else if (iterator.failure().empty())
            error = "compressed streams are not accepted";
    }
    if (!iterator.failure().empty())
        error = iterator.failure();
    else if (stream.getException() && error.empty())
        error = stream.getException()->getError();
    return error.empty() ? object : nullptr;
}

std::string imageProblem(const osg::Image& image,
                         const std::map<const void*, std::uint32_t>& dataSizes)
{
    if (!image.data())
        return {};
    const auto found = dataSizes.find(image.data());
    if (found == dataSizes.end())
        return "an image holds data that did not come with it";
    const std::uint64_t size = found->second;
    for (unsigned int level = 1; level < image.getNumMipmapLevels(); ++level) {
        const int width = std::max(1, image.s() >> level);
        const int height = std::max(1, image.t() >> level);
        const int depth = std::max(1, image.r() >> level);
        const std::uint64_t end =
            std::uint64_t(image.getMipmapOffset(level)) +
            osg::Image::computeImageSizeInBytes(width, height, depth, image.getPixelFormat(),
                                                image.getDataType(), image.getPacking());
        if (end > size)
            return "mipmap level " + std::to_string(level) + " of an image lies beyond its " +
                   std::to_string(size) + " bytes";
    }
    return {};
}

// Textures of every state set: their images are uploaded as they are.
std::string imagesProblem(const std::vector<const osg::Node*>& nodes,
                          const std::map<const void*, std::uint32_t>& dataSizes)
{
    for (const osg::Node* node : nodes) {
        const osg::StateSet* state = node->getStateSet();
        if (!state)
            continue;
        for (const auto& unit : state->getTextureAttributeList())
            for (const auto& entry : unit) {
                const auto* texture = dynamic_cast<const osg::Texture*>(entry.second.first.get());
                for (unsigned int i = 0; texture && i < texture->getNumImages(); ++i)
                    if (const osg::Image* image = texture->getImage(i)) {
                        const std::string problem = imageProblem(*image, dataSizes);
                        if (!problem.empty())
                            return problem;
                    }
            }
    }
    return {};
}

} // namespace

osg::ref_ptr<osg::Node> HelperStreamParser::parse(PipeInputBuffer& buffer, std::string& error,
                                                  std::vector<const osg::Node*>& nodes,
                                                  int arraysFd)
{
    osg::ref_ptr<HelperStreamIterator> iterator = new HelperStreamIterator(buffer);
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options;
    options->setReadFileCallback(new NoFileReads);
    // Reads osgDB makes without the stream's options (a text's font) are refused too.
    const OsgFileReadBlock noReads;
    PrimitiveSetListSerializer::install();
    CheckedSerializer::installEverywhere();
    osg::ref_ptr<osg::Object> object;
    HelperStreamIterator::setActive(iterator.get());
    try {
        object = readStream(*iterator, *options, error);
    } catch (const std::exception& exception) {
        error = exception.what();
    } catch (...) {
        error = "unknown exception";
    }
    HelperStreamIterator::setActive(nullptr);
    osg::ref_ptr<osg::Node> node = dynamic_cast<osg::Node*>(object.get());
    if (object && !node)
        error = std::string("it holds a ") + object->className() + ", not a scene";
    else if (!object && error.empty())
        error = "it holds no scene";
    // The arrays are put in place before the geometries are checked.
    if (node && (!(error = SceneGraphCheck::structureProblem(*node, nodes)).empty() ||
                 !(error = ArrayBlockReader::restore(arraysFd, nodes)).empty() ||
                 !(error = SceneGraphCheck::geometryProblem(nodes)).empty() ||
                 !(error = imagesProblem(nodes, iterator->imageDataSizes())).empty())) {
        node = nullptr;
        nodes.clear();
    }
    return node;
}
