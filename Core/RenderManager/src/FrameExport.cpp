#include "FrameExport.h"

#include "Logger/Log.h"

#include <QSaveFile>
#include <cstdint>
#include <cstring>
#include <osg/Image>
#include <osgDB/Registry>
#include <sstream>

namespace FrameExport {
namespace {

bool covered(const float* position)
{
    return position[3] != 1.0f;
}

void appendLittleEndian(std::string& bytes, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const char little[4] = {char(bits & 0xff), char((bits >> 8) & 0xff), char((bits >> 16) & 0xff),
                            char((bits >> 24) & 0xff)};
    bytes.append(little, sizeof little);
}

template <class Visit>
void forEachPoint(const osg::Image& positions, const osg::Image& scene, Visit visit)
{
    const auto* position = reinterpret_cast<const float*>(positions.data());
    const auto* colour = reinterpret_cast<const float*>(scene.data());
    const std::size_t pixels = std::size_t(positions.s()) * std::size_t(positions.t());
    for (std::size_t i = 0; i < pixels; ++i, position += 4, colour += 3)
        if (covered(position))
            visit(position, colour);
}

} // namespace

bool isFrame(const osg::Image* positions, const osg::Image* scene)
{
    const bool valid = positions && scene && positions->data() && scene->data() &&
                       positions->getDataType() == GL_FLOAT && scene->getDataType() == GL_FLOAT &&
                       positions->getPixelFormat() == GL_RGBA &&
                       scene->getPixelFormat() == GL_RGB && positions->s() == scene->s() &&
                       positions->t() == scene->t() && positions->r() == 1 && scene->r() == 1;
    if (!valid)
        ZEL_ERROR << "FrameExport: The read-back images do not hold a frame\n";
    return valid;
}

std::string pointStream(const osg::Image& positions, const osg::Image& scene)
{
    std::string bytes;
    bytes.reserve(std::size_t(positions.s()) * std::size_t(positions.t()) * 24);
    forEachPoint(positions, scene, [&bytes](const float* position, const float* colour) {
        for (int i = 0; i < 3; ++i)
            appendLittleEndian(bytes, position[i]);
        for (int i = 0; i < 3; ++i)
            appendLittleEndian(bytes, colour[i]);
    });
    return bytes;
}

osg::ref_ptr<osg::Geometry> pointCloud(const osg::Image& positions, const osg::Image& scene)
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> colours = new osg::Vec3Array(osg::Array::BIND_PER_VERTEX);
    forEachPoint(positions, scene, [&](const float* position, const float* colour) {
        vertices->push_back(osg::Vec3(position[0], position[1], position[2]));
        colours->push_back(osg::Vec3(colour[0], colour[1], colour[2]));
    });
    osg::ref_ptr<osg::Geometry> points = new osg::Geometry;
    points->setName("exportViewport");
    points->setVertexArray(vertices.get());
    points->setColorArray(colours.get());
    points->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, GLsizei(vertices->size())));
    return points;
}

std::string writeTiff(const osg::Image& image, const std::string& path)
{
    osgDB::ReaderWriter* writer = osgDB::Registry::instance()->getReaderWriterForExtension("tif");
    if (!writer)
        return "osgDB has no TIFF writer (its tiff plug-in is missing or not allowed)";
    std::ostringstream encoded;
    osg::ref_ptr<osgDB::Options> options = new osgDB::Options("tiff_compression=none");
    const osgDB::ReaderWriter::WriteResult result =
        writer->writeImage(image, encoded, options.get());
    if (!result.success())
        return "osgDB's TIFF writer failed" +
               (result.message().empty() ? std::string() : ": " + result.message());

    const std::string bytes = encoded.str();
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString().toStdString();
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        const std::string reason = file.errorString().toStdString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString().toStdString();
    return {};
}

} // namespace FrameExport
