#pragma once

#include <osg/Camera>
#include <osg/Matrixd>
#include <osg/PrimitiveSet>
#include <vector>

// Pieces the frame-timing benchmarks share.
namespace BenchmarkSupport {

// Every frame ends with the drawing done, not only handed to the driver.
struct FinishDrawing : osg::Camera::DrawCallback
{
    void operator()(osg::RenderInfo&) const override;
    mutable int frames = 0;
};

// Circles the scene's centre slowly, a little further every frame.
osg::Matrixd cameraAt(int frame);

// Two triangles per cell of a grid of columns x rows vertices, numbered row by row.
osg::ref_ptr<osg::DrawElementsUInt> gridTriangles(int columns, int rows);

// The median; -1 for no values.
double median(std::vector<double> values);

} // namespace BenchmarkSupport
