// Host of the reader fuzz round (scripts/fuzz-reader.py), one process for all files:
//   SceneReaderFuzzHost seeds DIR   writes small valid files of the formats osgDB writes
//   SceneReaderFuzzHost load DIR    reads every file in DIR through the reader plug-in and
//                                   prints one line per file: LOADED, or REJECTED and its error
// It ends with exit code 3 when a file was rejected without an ERROR record naming it.
#include "ErrorCapture.h"
#include "SceneIOKernel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <iostream>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/LightSource>
#include <osg/Material>
#include <osg/MatrixTransform>
#include <osgDB/WriteFile>
#include <osgUtil/SmoothingVisitor>

namespace {

// A small scene touching what the writers know: a transform, a coloured, textured cube with
// normals and a material, and a light.
osg::ref_ptr<osg::Group> seedScene()
{
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    for (int i = 0; i < 8; ++i)
        corners->push_back(osg::Vec3(i & 1, (i >> 1) & 1, (i >> 2) & 1));
    const unsigned int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                      {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec2Array> texCoords = new osg::Vec2Array;
    osg::ref_ptr<osg::DrawElementsUShort> triangles =
        new osg::DrawElementsUShort(osg::PrimitiveSet::TRIANGLES);
    for (const auto& face : faces) {
        const auto base = static_cast<unsigned short>(vertices->size());
        for (int corner = 0; corner < 4; ++corner) {
            vertices->push_back((*corners)[face[corner]]);
            texCoords->push_back(osg::Vec2(corner == 1 || corner == 2, corner >= 2));
        }
        for (unsigned short index : {0, 1, 2, 0, 2, 3})
            triangles->push_back(static_cast<unsigned short>(base + index));
    }
    osg::ref_ptr<osg::Geometry> cube = new osg::Geometry;
    cube->setName("CubeGeometry");
    cube->setVertexArray(vertices);
    cube->setTexCoordArray(0, texCoords, osg::Array::BIND_PER_VERTEX);
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(osg::Vec4(0.8f, 0.3f, 0.2f, 1));
    cube->setColorArray(colours, osg::Array::BIND_OVERALL);
    cube->addPrimitiveSet(triangles);
    osgUtil::SmoothingVisitor::smooth(*cube);
    osg::ref_ptr<osg::Material> material = new osg::Material;
    material->setDiffuse(osg::Material::FRONT_AND_BACK, osg::Vec4(0.8f, 0.3f, 0.2f, 1));
    cube->getOrCreateStateSet()->setAttributeAndModes(material);

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName("Cube");
    geode->addDrawable(cube);
    osg::ref_ptr<osg::MatrixTransform> moved = new osg::MatrixTransform;
    moved->setName("Moved");
    moved->setMatrix(osg::Matrix::translate(1, 2, 3));
    moved->addChild(geode);
    osg::ref_ptr<osg::LightSource> light = new osg::LightSource;
    light->setName("Light");
    osg::ref_ptr<osg::Group> scene = new osg::Group;
    scene->setName("Seed");
    scene->addChild(moved);
    scene->addChild(light);
    return scene;
}

int writeSeeds(const QString& folder)
{
    osg::ref_ptr<osg::Group> scene = seedScene();
    QDir().mkpath(folder);
    int failures = 0;
    for (const char* extension : {"osgt", "osgb", "osgx", "osg", "ive", "obj", "stl", "3ds", "dxf",
                                  "flt", "ac", "iv", "wrl"}) {
        const std::string path = QDir(folder).filePath("seed." + QString(extension)).toStdString();
        if (!osgDB::writeNodeFile(*scene, path)) {
            std::cerr << "cannot write seed " << path << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

int loadAll(const QString& folder)
{
    ErrorCapture log;
    SceneIOKernel io;
    NodeReader* reader = io.reader();
    if (!reader) {
        std::cerr << "the reader plug-in did not load\n";
        return 2;
    }
    int unreported = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const std::string path = file.filePath().toStdString();
        log.clearErrors();
        log.clear();
        if (reader->read(path, nullptr)) {
            std::cout << "LOADED " << path << std::endl;
            continue;
        }
        const bool reported = log.errorsWith({path}) > 0;
        unreported += !reported;
        std::string error;
        for (const std::string& record : log.records())
            if (record.find("Cannot read " + path) != std::string::npos)
                error = record;
        if (!error.empty() && error.back() == '\n')
            error.pop_back();
        std::cout << (reported ? "REJECTED " : "UNREPORTED ") << path << " :: " << error
                  << std::endl;
    }
    return unreported == 0 ? 0 : 3;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "seeds")
        return writeSeeds(argv[2]);
    if (mode == "load")
        return loadAll(argv[2]);
    std::cerr << "usage: SceneReaderFuzzHost seeds|load DIR\n";
    return 2;
}
