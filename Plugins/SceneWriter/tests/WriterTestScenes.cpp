#include "WriterTestScenes.h"

#include "SceneIOKernel.h"

#include <osg/Geometry>
#include <osg/LightSource>
#include <osg/MatrixTransform>
#include <osg/ValueObject>

namespace {

template <class T> osg::ref_ptr<T> named(T* node, const char* name)
{
    node->setName(name);
    return node;
}

osg::ref_ptr<osg::Geometry> mesh(const char* name, int columns, int rows)
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            vertices->push_back({column * 0.1f, row * 0.1f, 0.05f * ((row * 7 + column) % 5)});
            const unsigned at = static_cast<unsigned>(row * columns + column);
            const unsigned up = at + static_cast<unsigned>(columns);
            if (row + 1 < rows && column + 1 < columns)
                for (const unsigned index : {at, at + 1, up, at + 1, up + 1, up})
                    triangles->push_back(index);
        }
    osg::ref_ptr<osg::Geometry> geometry = named(new osg::Geometry, name);
    geometry->setVertexArray(vertices);
    geometry->addPrimitiveSet(triangles);
    return geometry;
}

} // namespace

osg::ref_ptr<osg::Node> layoutScene(bool withUserValues)
{
    osg::ref_ptr<osg::MatrixTransform> moved = named(new osg::MatrixTransform, "Moved");
    moved->setMatrix(osg::Matrix::rotate(0.5, osg::Z_AXIS) * osg::Matrix::translate(1, 2, 3));
    osg::ref_ptr<osg::Node> shapes = makeShapesScene();
    shapes->asGroup()->getChild(1)->setNodeMask(0x5);
    moved->addChild(shapes);
    osg::ref_ptr<osg::Group> beacons = named(new osg::Group, "BEACONS");
    beacons->addChild(named(new osg::LightSource, "Sun"));
    osg::ref_ptr<osg::MatrixTransform> scene = named(new osg::MatrixTransform, "SCENE");
    scene->addChild(moved);
    scene->addChild(mesh("Terrain", 20, 15));
    scene->addChild(beacons);
    scene->addChild(named(new osg::Group, "CAMERAS"));

    osg::ref_ptr<osg::Group> settings = named(new osg::Group, "ViewerSettings");
    if (withUserValues) {
        settings->setUserValue("navigationSpeed", 1.5);
        settings->setUserValue("startView", std::string("Overview"));
    }
    osg::ref_ptr<osg::Group> pluginData = named(new osg::Group, "PLUGIN_DATA");
    pluginData->addChild(settings);
    osg::ref_ptr<osg::Group> root = named(new osg::Group, "FILE_ROOT");
    root->addChild(scene);
    root->addChild(pluginData);
    return root;
}

osg::ref_ptr<osg::Node> meshScene(int vertices)
{
    osg::ref_ptr<osg::Group> root = named(new osg::Group, "FILE_ROOT");
    root->addChild(mesh("Big", 100, vertices / 100));
    return root;
}
