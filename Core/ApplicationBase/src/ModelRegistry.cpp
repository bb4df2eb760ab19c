#include "ApplicationBase/ModelRegistry.h"

#include "QtOSGPluginBase/ZELModel.h"

bool ModelRegistry::addModel(const std::shared_ptr<ZELModel>& model)
{
    if (!model || !m_models.emplace(model->getUuid(), model).second)
        return false;
    for (const ModelAddedCallback& callback : m_callbacks)
        callback(model);
    return true;
}

bool ModelRegistry::removeModel(const Uuid& uuid)
{
    return m_models.erase(uuid) > 0;
}

std::shared_ptr<ZELModel> ModelRegistry::getModel(const Uuid& uuid) const
{
    auto it = m_models.find(uuid);
    return it == m_models.end() ? nullptr : it->second;
}

void ModelRegistry::addModelAddedCallback(ModelAddedCallback callback)
{
    m_callbacks.push_back(std::move(callback));
}
