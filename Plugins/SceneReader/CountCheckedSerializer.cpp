#include "CountCheckedSerializer.h"

#include "HelperStreamIterator.h"

#include <mutex>
#include <osgDB/InputStream>
#include <osgDB/ObjectWrapper>
#include <osgDB/Registry>

namespace {

// The node kits whose serializers the gate lets osgDB load.
const char* const serializerKits[] = {"osg",       "osgsim",       "osgtext",
                                      "osgfx",     "osganimation", "osgparticle",
                                      "osgshadow", "osgterrain",   "osgvolume"};

bool readsCountFirst(osgDB::BaseSerializer::Type type)
{
    return type == osgDB::BaseSerializer::RW_VECTOR || type == osgDB::BaseSerializer::RW_LIST ||
           type == osgDB::BaseSerializer::RW_MAP;
}

} // namespace

CountCheckedSerializer::CountCheckedSerializer(osgDB::BaseSerializer* wrapped)
    : BaseSerializer(wrapped->getUsage()), m_wrapped(wrapped)
{
    // The versions are protected, but reachable through the members' addresses from here.
    for (int osgDB::BaseSerializer::*version :
         {&CountCheckedSerializer::_firstVersion, &CountCheckedSerializer::_lastVersion})
        this->*version = (*wrapped).*version;
}

bool CountCheckedSerializer::set(osg::Object& object, void* value)
{
    return m_wrapped->set(object, value);
}

bool CountCheckedSerializer::get(const osg::Object& object, void* value)
{
    return m_wrapped->get(object, value);
}

bool CountCheckedSerializer::read(osgDB::InputStream& is, osg::Object& object)
{
    HelperStreamIterator* iterator = HelperStreamIterator::active();
    if (iterator && is.isBinary())
        iterator->checkNextCount();
    return m_wrapped->read(is, object);
}

bool CountCheckedSerializer::write(osgDB::OutputStream& os, const osg::Object& object)
{
    return m_wrapped->write(os, object);
}

const std::string& CountCheckedSerializer::getName() const
{
    return m_wrapped->getName();
}

osgDB::IntLookup* CountCheckedSerializer::getIntLookup()
{
    return m_wrapped->getIntLookup();
}

void CountCheckedSerializer::installEverywhere()
{
    static std::once_flag once;
    std::call_once(once, [] {
        osgDB::Registry* registry = osgDB::Registry::instance();
        for (const char* kit : serializerKits)
            registry->loadLibrary(
                registry->createLibraryNameForExtension(std::string("serializers_") + kit));
        for (auto& [name, wrapper] : registry->getObjectWrapperManager()->getWrapperMap()) {
            auto& serializers = wrapper->getSerializerList();
            const auto& types = wrapper->getTypeList();
            for (std::size_t i = 0; i < serializers.size() && i < types.size(); ++i)
                if (readsCountFirst(types[i]) &&
                    !dynamic_cast<CountCheckedSerializer*>(serializers[i].get()))
                    serializers[i] = new CountCheckedSerializer(serializers[i].get());
        }
    });
}
