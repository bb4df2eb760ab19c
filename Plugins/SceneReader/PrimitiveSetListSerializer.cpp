#include "PrimitiveSetListSerializer.h"

#include <mutex>
#include <osgDB/InputStream>
#include <osgDB/ObjectWrapper>
#include <osgDB/Registry>

namespace {

const char* const serializerName = "PrimitiveSetList";

} // namespace

PrimitiveSetListSerializer::PrimitiveSetListSerializer()
    : VectorSerializer(serializerName, &osg::Geometry::getPrimitiveSetList,
                       &osg::Geometry::getPrimitiveSetList, &osg::Geometry::setPrimitiveSetList,
                       osgDB::BaseSerializer::RW_OBJECT, 0)
{}

bool PrimitiveSetListSerializer::read(osgDB::InputStream& is, osg::Object& object)
{
    auto& geometry = static_cast<osg::Geometry&>(object);
    const bool binary = is.isBinary();
    if (!binary && !is.matchString(serializerName))
        return true;
    unsigned int size = 0;
    is >> size;
    if (size == 0)
        return true;
    if (!binary)
        is >> is.BEGIN_BRACKET;
    osg::Geometry::PrimitiveSetList list;
    for (unsigned int i = 0; i < size && !is.getException(); ++i) {
        osg::ref_ptr<osg::PrimitiveSet> set;
        is >> set;
        if (set)
            list.push_back(set);
    }
    if (!binary)
        is >> is.END_BRACKET;
    geometry.setPrimitiveSetList(list);
    return true;
}

void PrimitiveSetListSerializer::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        osgDB::ObjectWrapper* wrapper =
            osgDB::Registry::instance()->getObjectWrapperManager()->findWrapper("osg::Geometry");
        if (!wrapper)
            return;
        for (auto& serializer : wrapper->getSerializerList())
            if (serializer->getName() == serializerName) {
                osg::ref_ptr<PrimitiveSetListSerializer> replacement =
                    new PrimitiveSetListSerializer;
                // The versions the file format gave the entry stay; they are protected, but
                // reachable through the members' addresses from here.
                for (int osgDB::BaseSerializer::*version :
                     {&PrimitiveSetListSerializer::_firstVersion,
                      &PrimitiveSetListSerializer::_lastVersion})
                    (*replacement).*version = (*serializer).*version;
                serializer = replacement;
            }
    });
}
