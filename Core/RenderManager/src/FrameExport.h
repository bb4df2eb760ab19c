#pragma once

#include <osg/Geometry>
#include <osg/ref_ptr>
#include <string>

namespace osg {
class Image;
}

// Turns a frame read back from the colour-mapping stage into what the exports write. Positions
// hold four floats a pixel, the scene three; a position whose fourth component is exactly 1.0
// has no surface and gives no point.
namespace FrameExport {

// False, after logging, when the images do not form a frame.
bool isFrame(const osg::Image* positions, const osg::Image* scene);

// 24 bytes a point: x, y, z, red, green, blue as little-endian 32-bit floats.
std::string pointStream(const osg::Image& positions, const osg::Image& scene);

// The covered pixels as points with colours.
osg::ref_ptr<osg::Geometry> pointCloud(const osg::Image& positions, const osg::Image& scene);

// Writes a float image as TIFF through osgDB; the file is replaced only when complete. Returns
// why not, or "".
std::string writeTiff(const osg::Image& image, const std::string& path);

} // namespace FrameExport
