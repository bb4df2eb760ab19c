#include "BenchmarkSupport.h"

#include <algorithm>
#include <cmath>
#include <osg/GL>

namespace BenchmarkSupport {

void FinishDrawing::operator()(osg::RenderInfo&) const
{
    glFinish();
    ++frames;
}

osg::ref_ptr<osg::DrawElementsUInt> gridTriangles(int columns, int rows)
{
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    triangles->reserve(6u * unsigned(columns - 1) * unsigned(rows - 1));
    for (int row = 0; row + 1 < rows; ++row)
        for (int column = 0; column + 1 < columns; ++column) {
            const unsigned int a = unsigned(row * columns + column);
            const unsigned int b = a + 1, c = a + unsigned(columns), d = c + 1;
            for (unsigned int index : {a, b, d, a, d, c})
                triangles->push_back(index);
        }
    return triangles;
}

osg::Matrixd cameraAt(int frame)
{
    const double angle = 0.01 * frame;
    const osg::Vec3d eye(6.0 * std::sin(angle), -6.0 * std::cos(angle), 3.0);
    return osg::Matrixd::lookAt(eye, osg::Vec3d(), osg::Vec3d(0, 0, 1));
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace BenchmarkSupport
