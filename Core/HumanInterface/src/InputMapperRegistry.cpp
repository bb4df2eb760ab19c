#include "HumanInterface/InputMapperRegistry.h"

#include "EventSystem/EventSystem.h"
#include "HumanInterface/IActionHandler.h"
#include "HumanInterface/InputMapper.h"
#include "Logger/Log.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <boost/filesystem.hpp>

namespace HI {

InputMapperRegistry::InputMapperRegistry(EventSystem* eventSystem) : m_eventSystem(eventSystem) {}

InputMapperRegistry::~InputMapperRegistry() = default;

InputMapper* InputMapperRegistry::createInputMapper(IActionHandler* handler,
                                                    const std::vector<InputAction>& actions,
                                                    QObject* watched,
                                                    const ConfigLocation& location)
{
    if (!handler) {
        ZEL_ERROR << "InputMapperRegistry::createInputMapper: No action handler given.\n";
        return nullptr;
    }
    m_entries.push_back(
        {std::make_unique<InputMapper>(m_eventSystem, watched, handler, actions), location});
    Entry& entry = m_entries.back();

    const std::string name = handler->getActionHandlerName();
    const auto sameName = std::count_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.mapper->getActionHandler()->getActionHandlerName() == name;
    });
    if (sameName > 1)
        entry.location.extra = "_" + std::to_string(sameName);

    InputMapper* mapper = entry.mapper.get();
    loadBindings(entry);
    notify();
    return mapper;
}

// The shipped bindings first, then the user's file over them: an action the user's file does
// not name (one added since it was saved) keeps its shipped binding. An unreadable user file is
// moved aside, so that no later save can replace it with fewer bindings than it held.
void InputMapperRegistry::loadBindings(Entry& entry)
{
    InputActionToInputEventMapping& mapping = entry.mapper->getMapping();
    const std::string defaultPath = getDefaultPath(entry.location);
    const std::string userPath = getUserPath(entry.location);
    boost::system::error_code error;
    const bool shipped = boost::filesystem::exists(defaultPath, error);
    const bool own = boost::filesystem::exists(userPath, error);
    if (shipped || !own)
        mapping.loadBindings(defaultPath);
    if (!own || mapping.loadBindings(userPath))
        return;

    const QString unreadable = QFile::decodeName(userPath.c_str());
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString backup =
            unreadable + ".unreadable" + (attempt > 1 ? QString::number(attempt) : QString());
        if (QFileInfo::exists(backup) || QFileInfo(backup).isSymLink())
            continue;
        if (QFile::rename(unreadable, backup)) {
            ZEL_WARN << "Cannot read the bindings file " << userPath
                     << "; using the shipped bindings. The file is kept as "
                     << QFile::encodeName(backup).toStdString() << ".\n";
            return;
        }
        break;
    }
    entry.keepUserFile = true;
    ZEL_WARN << "Cannot read the bindings file " << userPath
             << "; using the shipped bindings. The file cannot be moved aside and is not saved "
                "over.\n";
}

void InputMapperRegistry::destroyInputMappers(IActionHandler* handler)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->mapper->getActionHandler() != handler) {
            ++it;
            continue;
        }
        if (!it->keepUserFile)
            it->mapper->getMapping().saveBindings(getWritePath(it->location));
        it = m_entries.erase(it);
    }
    notify();
}

bool InputMapperRegistry::saveAllToUserPaths() const
{
    return saveAll(&InputMapperRegistry::getUserPath, true);
}

bool InputMapperRegistry::saveAllToDefaultPaths() const
{
    return saveAll(&InputMapperRegistry::getDefaultPath, false);
}

bool InputMapperRegistry::saveAll(std::string (*path)(const ConfigLocation&), bool toUser) const
{
    bool saved = true;
    for (const Entry& entry : m_entries) {
        const ConfigLocation& location = entry.location;
        if (location.defaultDir.empty() || location.userDir.empty() || location.pluginName.empty())
            continue;
        if (toUser && entry.keepUserFile) {
            saved = false;
            continue;
        }
        saved &= entry.mapper->getMapping().saveBindings(path(location));
    }
    return saved;
}

void InputMapperRegistry::notify()
{
    InputMapperRegistryEvent event;
    m_eventSystem->dispatch(event);
}

std::vector<InputMapper*> InputMapperRegistry::getInputMappers() const
{
    std::vector<InputMapper*> mappers;
    for (const Entry& entry : m_entries)
        mappers.push_back(entry.mapper.get());
    return mappers;
}

const ConfigLocation* InputMapperRegistry::getConfigLocation(const InputMapper* mapper) const
{
    for (const Entry& entry : m_entries)
        if (entry.mapper.get() == mapper)
            return &entry.location;
    return nullptr;
}

std::string InputMapperRegistry::getUserPath(const ConfigLocation& location)
{
    return location.userDir + "/" + location.pluginName + location.extra + "/" + location.fileName;
}

std::string InputMapperRegistry::getDefaultPath(const ConfigLocation& location)
{
    return location.defaultDir + "/" + location.pluginName + "/" + location.fileName;
}

std::string InputMapperRegistry::getReadPath(const ConfigLocation& location)
{
    boost::system::error_code error;
    const std::string userPath = getUserPath(location);
    return boost::filesystem::exists(userPath, error) ? userPath : getDefaultPath(location);
}

} // namespace HI
