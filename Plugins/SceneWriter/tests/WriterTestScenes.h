#pragma once

#include <osg/Node>
#include <osg/ref_ptr>

// A saved layout as the program writes it: FILE_ROOT with SCENE (a transform) holding a moved
// group of shapes with a hidden one, a bare mesh, BEACONS with a light and CAMERAS, and
// PLUGIN_DATA (with two user values when asked).
osg::ref_ptr<osg::Node> layoutScene(bool withUserValues);

// FILE_ROOT over one mesh of about the given number of vertices.
osg::ref_ptr<osg::Node> meshScene(int vertices);
