#pragma once

#include "PluginSystem/Uuid.h"
#include "ZelApi.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

class ZELModel;

// The models known to the program, by UUID.
class ZEL_API ModelRegistry
{
public:
    using ModelAddedCallback = std::function<void(const std::shared_ptr<ZELModel>&)>;

    // False, and no callback runs, when a model with the same UUID is already registered.
    bool addModel(const std::shared_ptr<ZELModel>& model);
    bool removeModel(const Uuid& uuid);
    std::shared_ptr<ZELModel> getModel(const Uuid& uuid) const;

    template <class T> std::shared_ptr<T> getModel(const Uuid& uuid) const
    {
        return std::dynamic_pointer_cast<T>(getModel(uuid));
    }

    void addModelAddedCallback(ModelAddedCallback callback);

private:
    std::map<Uuid, std::shared_ptr<ZELModel>> m_models;
    std::vector<ModelAddedCallback> m_callbacks;
};
