#include "CheckedSerializer.h"

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

CheckedSerializer::CheckedSerializer(osgDB::BaseSerializer* wrapped, Check check)
    : BaseSerializer(wrapped->getUsage()), m_wrapped(wrapped), m_check(check)
{
    // The versions are protected, but reachable through the members' addresses from here.
    for (int osgDB::BaseSerializer::*version :
         {&CheckedSerializer::_firstVersion, &CheckedSerializer::_lastVersion})
        this->*version = (*wrapped).*version;
}

bool CheckedSerializer::set(osg::Object& object, void* value)
{
    return m_wrapped->set(object, value);
}

bool CheckedSerializer::get(const osg::Object& object, void* value)
{
    return m_wrapped->get(object, value);
}

bool CheckedSerializer::read(osgDB::InputStream& is, osg::Object& object)
{
    HelperStreamIterator* iterator = HelperStreamIterator::active();
    if (iterator && is.isBinary()) {
        if (m_check == Check::Count)
            iterator->checkNextCount();
        else if (osgDB::IntLookup* lookup = m_wrapped->getIntLookup())
            iterator->checkNextEnumeration(lookup->getValueToString(), getName());
    }
    return m_wrapped->read(is, object);
}

bool CheckedSerializer::write(osgDB::OutputStream& os, const osg::Object& object)
{
    return m_wrapped->write(os, object);
}

const std::string& CheckedSerializer::getName() const
{
    return m_wrapped->getName();
}

osgDB::IntLookup* CheckedSerializer::getIntLookup()
{
    return m_wrapped->getIntLookup();
}

void CheckedSerializer::installEverywhere()
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
            for (std::size_t i = 0; i < serializers.size() && i < types.size(); ++i) {
                if (dynamic_cast<CheckedSerializer*>(serializers[i].get()))
                    continue;
                if (readsCountFirst(types[i]))
                    serializers[i] = new CheckedSerializer(serializers[i].get(), Check::Count);
                else if (types[i] == osgDB::BaseSerializer::RW_ENUM)
                    serializers[i] =
                        new CheckedSerializer(serializers[i].get(), Check::Enumeration);
            }
        }
    });
}
