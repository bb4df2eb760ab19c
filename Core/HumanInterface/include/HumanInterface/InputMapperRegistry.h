#pragma once

#include "EventSystem/Event.h"
#include "HumanInterface/InputAction.h"
#include "KernelInterface/ConfigLocation.h"
#include "ZelApi.h"

#include <memory>
#include <string>
#include <vector>

class EventSystem;
class QObject;

namespace HI {

class IActionHandler;
class InputMapper;

// Sent (type 32) whenever mappers come or go, so that plug-ins can refresh what they show.
struct InputMapperRegistryEvent : Event
{
    InputMapperRegistryEvent() : Event{EventType::InputMapperRegistry} {}

    std::uint32_t kind = 1;
};

// The kernel's mappers, each with the location of its bindings file. A plug-in asks for a mapper
// with its actions and kernel->getConfigLocation(pluginName, fileName), and hands it back with
// destroyInputMappers, which saves the bindings for the next run.
class ZEL_API InputMapperRegistry
{
public:
    explicit InputMapperRegistry(EventSystem* eventSystem);
    InputMapperRegistry(const InputMapperRegistry&) = delete;
    InputMapperRegistry& operator=(const InputMapperRegistry&) = delete;
    // Deletes the remaining mappers without saving their bindings.
    ~InputMapperRegistry();

    // Loads the shipped bindings and the user's file over them; an unreadable user file is renamed
    // to "<file>.unreadable" (WARN) and the shipped bindings hold. A further mapper of the same
    // handler name keeps its user file apart ("<plug-in>_2"). Null when handler is null.
    InputMapper* createInputMapper(IActionHandler* handler, const std::vector<InputAction>& actions,
                                   QObject* watched, const ConfigLocation& location);
    // Saves and deletes every mapper of the handler.
    void destroyInputMappers(IActionHandler* handler);

    // Both skip mappers whose location is incomplete; false when some file failed.
    bool saveAllToUserPaths() const;
    bool saveAllToDefaultPaths() const;

    void notify();

    std::vector<InputMapper*> getInputMappers() const;
    // Null for a mapper this registry does not hold.
    const ConfigLocation* getConfigLocation(const InputMapper* mapper) const;

    static std::string getUserPath(const ConfigLocation& location);
    static std::string getDefaultPath(const ConfigLocation& location);
    static std::string getReadPath(const ConfigLocation& location);
    static std::string getWritePath(const ConfigLocation& location)
    {
        return getUserPath(location);
    }

private:
    struct Entry
    {
        std::unique_ptr<InputMapper> mapper;
        ConfigLocation location;
        // An unreadable user file that could not be moved aside is never saved over.
        bool keepUserFile = false;
    };

    void loadBindings(Entry& entry);
    bool saveAll(std::string (*path)(const ConfigLocation&), bool toUser) const;

    EventSystem* m_eventSystem;
    std::vector<Entry> m_entries;
};

} // namespace HI
