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
