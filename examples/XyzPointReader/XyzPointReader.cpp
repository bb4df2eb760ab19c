#include "XyzPointReader.h"

#include "Logger/Log.h"

#include <boost/program_options.hpp>
#include <cmath>
#include <fstream>
#include <osg/Geometry>
#include <osg/Point>
#include <sstream>
#include <sys/stat.h>

namespace po = boost::program_options;

namespace {

constexpr const char* pointSizeOption = "xyz-point-size";
// A text file beyond this is not a point list anyone writes by hand or by script.
constexpr off_t maximumFileSize = off_t(1) << 30;

po::options_description* xyzOptions()
{
    static po::options_description options("XYZ point reader plugin");
    if (options.options().empty())
        options.add_options()(pointSizeOption, po::value<float>()->default_value(2.0f),
                              "size of the points of .xyz files, in pixels (1 to 64)");
    return &options;
}

// One line's numbers: 3 (a point) or 6 (a point and its colour), all finite.
bool parsePoint(const std::string& line, osg::Vec3& position, osg::Vec4& colour, bool& hasColour)
{
    std::istringstream stream(line);
    double values[6];
    int count = 0;
    while (count < 6 && stream >> values[count])
        ++count;
    std::string rest;
    if ((count != 3 && count != 6) || (stream >> rest) || !stream.eof())
        return false;
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(values[i]) || (i >= 3 && (values[i] < 0.0 || values[i] > 255.0)))
            return false;
    position.set(values[0], values[1], values[2]);
    hasColour = count == 6;
    if (hasColour)
        colour.set(values[3] / 255.0, values[4] / 255.0, values[5] / 255.0, 1.0);
    return true;
}

} // namespace

XyzPointReader::XyzPointReader(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info)
{
    const auto& variables = kernel->getVariables();
    if (variables.count(pointSizeOption)) {
        const float size = variables[pointSizeOption].as<float>();
        if (size >= 1.0f && size <= 64.0f)
            m_pointSize = size;
        else
            ZEL_WARN << "XyzPointReader: --" << pointSizeOption << " " << size
                     << " is not between 1 and 64; points draw at " << m_pointSize << "\n";
    }
}

std::string XyzPointReader::getFilterString() const
{
    return "XYZ point lists (*.xyz)";
}

osg::ref_ptr<osg::Node> XyzPointReader::read(const std::string& path, const osgDB::Options* options)
{
    FileResult result;
    return readFile(path, options, result);
}

osg::ref_ptr<osg::Node> XyzPointReader::readFile(const std::string& path, const osgDB::Options*,
                                                 FileResult& result)
{
    const auto fail = [&](const std::string& reason) -> osg::ref_ptr<osg::Node> {
        ZEL_ERROR << "XyzPointReader::read: Cannot read " << path << ": " << reason << "\n";
        result = FileResult::failed(reason);
        return nullptr;
    };
    struct stat status
    {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return fail("not a regular file");
    if (status.st_size > maximumFileSize)
        return fail("larger than 1 GiB");
    std::ifstream file(path);
    if (!file)
        return fail("cannot be opened");

    osg::ref_ptr<osg::Vec3Array> positions = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    std::string line;
    for (std::size_t number = 1; std::getline(file, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#')
            continue;
        osg::Vec3 position;
        osg::Vec4 colour(1.0f, 1.0f, 1.0f, 1.0f);
        bool hasColour = false;
        if (!parsePoint(line, position, colour, hasColour))
            return fail("line " + std::to_string(number) + " is not \"x y z\" or \"x y z r g b\"");
        positions->push_back(position);
        colours->push_back(colour);
    }
    if (file.bad())
        return fail("reading failed");
    if (positions->empty())
        return fail("it holds no points");

    osg::ref_ptr<osg::Geometry> points = new osg::Geometry;
    points->setVertexArray(positions);
    points->setColorArray(colours, osg::Array::BIND_PER_VERTEX);
    points->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, GLsizei(positions->size())));
    osg::StateSet* state = points->getOrCreateStateSet();
    state->setAttribute(new osg::Point(m_pointSize));
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    points->setName(path);

    ZEL_INFO << "XyzPointReader::read: Read " << positions->size() << " points from " << path
             << "\n";
    result = FileResult::done();
    return points;
}

ZEL_PLUGIN_DESCRIPTOR(XyzPointReader,
                      PluginSDK::describe<XyzPointReader>("XyzPointReader",
                                                          "0f8e2d47-3b6a-4c1e-9a57-2d41c8b7e6f3",
                                                          2300)
                          .description("Reads point lists in text (.xyz)")
                          .version("1.0")
                          .options(xyzOptions()))
ZEL_PLUGIN_LIBRARY(XyzPointReader)
