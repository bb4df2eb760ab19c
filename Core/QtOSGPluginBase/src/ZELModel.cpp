#include "QtOSGPluginBase/ZELModel.h"

#include <boost/uuid/random_generator.hpp>

ZELModel::ZELModel(const Uuid& uuid) : m_uuid(uuid)
{
    if (m_uuid.is_nil())
        m_uuid = boost::uuids::random_generator()();
}

ZELModel::~ZELModel() = default;
