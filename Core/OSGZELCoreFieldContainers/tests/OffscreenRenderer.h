#pragma once

#include <gtest/gtest.h>
#include <osg/Image>
#include <osg/Vec4ub>
#include <osgViewer/Viewer>
#include <string>

namespace osg {
class Node;
}

// Renders a scene into an undecorated window on the X display the tests run on (Xvfb) and reads
// the frame back before it is swapped. (A pbuffer works too but makes Xvfb report BadMatch.)
// The camera looks from (0, -10, 0) at the origin, z up, 30 degrees wide; it clears black.
class OffscreenRenderer
{
public:
    static constexpr int Size = 256;

    OffscreenRenderer();
    ~OffscreenRenderer();

    // False when no graphics context could be made (no display).
    bool isValid() const { return m_valid; }
    osgViewer::Viewer& viewer() { return *m_viewer; }

    // Draws one frame of the scene and returns what it shows.
    osg::ref_ptr<osg::Image> render(osg::Node* scene);

private:
    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<osg::Image> m_frame;
    bool m_valid = false;
};

// An unlit, single-coloured box of edge length size.
osg::ref_ptr<osg::Node> makeBox(const osg::Vec3& center, float size, const osg::Vec4& color);

// Compares the pixel at (x, y), counted from the bottom left, with a colour, channel by channel.
::testing::AssertionResult pixelIs(const osg::Image& image, int x, int y,
                                   const osg::Vec4ub& expected, int tolerance = 8);

// Keeps the image next to the build for a person to look at, when a check has failed.
void keepImageOnFailure(const osg::Image& image, const std::string& name);

const osg::Vec4ub Red(255, 0, 0, 255);
const osg::Vec4ub Green(0, 255, 0, 255);
const osg::Vec4ub Blue(0, 0, 255, 255);
const osg::Vec4ub Black(0, 0, 0, 255);
