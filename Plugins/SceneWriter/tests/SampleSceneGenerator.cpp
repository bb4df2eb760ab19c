// Builds the sample scene shipped in Media/samples and saves it through the writer plug-in:
//   SampleSceneGenerator PATH      (for example Media/samples/sample.osgt)
// FILE_ROOT holds SCENE (a box, a sphere and a cone with materials, BEACONS with a sun light,
// an empty CAMERAS) and PLUGIN_DATA (viewer settings as user values).
#include "SceneIOKernel.h"

#include <QCoreApplication>
#include <iostream>
#include <osg/Geode>
#include <osg/LightSource>
#include <osg/Material>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osg/ValueObject>

namespace {

osg::ref_ptr<osg::Group> group(const char* name)
{
    osg::ref_ptr<osg::Group> node = new osg::Group;
    node->setName(name);
    return node;
}

osg::ref_ptr<osg::Geode> object(const char* name, osg::Shape* shape, const osg::Vec4& colour)
{
    osg::ref_ptr<osg::Material> material = new osg::Material;
    material->setDiffuse(osg::Material::FRONT_AND_BACK, colour);
    material->setAmbient(osg::Material::FRONT_AND_BACK, colour * 0.2f);
    material->setSpecular(osg::Material::FRONT_AND_BACK, {0.5f, 0.5f, 0.5f, 1});
    material->setShininess(osg::Material::FRONT_AND_BACK, 32);
    osg::ref_ptr<osg::ShapeDrawable> drawable = new osg::ShapeDrawable(shape);
    drawable->setColor(colour);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName(name);
    geode->addDrawable(drawable);
    osg::StateSet* stateSet = geode->getOrCreateStateSet();
    stateSet->setName(std::string(name) + "Material");
    stateSet->setAttributeAndModes(material);
    return geode;
}

osg::ref_ptr<osg::LightSource> sunLight()
{
    osg::ref_ptr<osg::Light> light = new osg::Light(0);
    light->setPosition({0.4f, -0.6f, 1, 0});
    light->setDiffuse({1, 0.95f, 0.85f, 1});
    light->setAmbient({0.15f, 0.15f, 0.2f, 1});
    osg::ref_ptr<osg::LightSource> source = new osg::LightSource;
    source->setName("SunLight");
    source->setLight(light);
    return source;
}

osg::ref_ptr<osg::Node> sampleScene()
{
    osg::ref_ptr<osg::Group> fileRoot = group("FILE_ROOT");
    osg::ref_ptr<osg::MatrixTransform> scene = new osg::MatrixTransform;
    scene->setName("SCENE");
    scene->addChild(object("Box", new osg::Box({-3, 0, 1}, 2), {0.8f, 0.2f, 0.15f, 1}));
    scene->addChild(object("Sphere", new osg::Sphere({0, 0, 1}, 1), {0.2f, 0.7f, 0.25f, 1}));
    scene->addChild(object("Cone", new osg::Cone({3, 0, 0.5f}, 1, 2), {0.2f, 0.35f, 0.85f, 1}));
    scene->addChild(
        object("Ground", new osg::Box({0, 0, -0.05f}, 10, 6, 0.1f), {0.6f, 0.6f, 0.6f, 1}));
    osg::ref_ptr<osg::Group> beacons = group("BEACONS");
    beacons->addChild(sunLight());
    scene->addChild(beacons);
    scene->addChild(group("CAMERAS"));
    fileRoot->addChild(scene);

    osg::ref_ptr<osg::Group> pluginData = group("PLUGIN_DATA");
    osg::ref_ptr<osg::Group> settings = group("ViewerSettings");
    settings->setUserValue("backgroundColour", osg::Vec4f(0.15f, 0.17f, 0.22f, 1));
    settings->setUserValue("navigationSpeed", 1.5);
    settings->setUserValue("startView", std::string("Overview"));
    pluginData->addChild(settings);
    fileRoot->addChild(pluginData);
    return fileRoot;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: SampleSceneGenerator PATH\n";
        return 2;
    }
    SceneIOKernel io;
    NodeWriter* writer = io.writer();
    return writer && writer->write(sampleScene(), argv[1]) ? 0 : 1;
}
