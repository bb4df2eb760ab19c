#pragma once

#include <osg/Geometry>
#include <osgDB/Serializer>

// osgDB's serializer of a geometry's primitive sets hands every entry it read to
// Geometry::setPrimitiveSetList, which crashes on a null one: a stream naming an object of
// another kind there, or a class it does not know, gives one. This serializer leaves such
// entries out and is otherwise the same; install() puts it in place of osgDB's, once per
// process, for every later read (and write) of the native formats.
class PrimitiveSetListSerializer
    : public osgDB::VectorSerializer<osg::Geometry, osg::Geometry::PrimitiveSetList>
{
public:
    PrimitiveSetListSerializer();

    bool read(osgDB::InputStream& is, osg::Object& object) override;

    static void install();
};
