#include "HumanInterface/InputMapperRegistry.h"

#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventHandler.h"
#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputMapper.h"
#include "LogCapture.h"
#include "RecordingActionHandler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace HI;

namespace {

class RegistryEventCounter : public EventHandler
{
public:
    explicit RegistryEventCounter(EventSystem& events)
        : EventHandler(&events, "counter", EventType::InputMapperRegistry)
    {}

    bool handleEvent(Event& event) override
    {
        kinds.push_back(static_cast<InputMapperRegistryEvent&>(event).kind);
        return false;
    }

    std::vector<std::uint32_t> kinds;
};

class InputMapperRegistryFixture : public ::testing::Test
{
protected:
    std::string dir(const char* name) const { return m_root.filePath(name).toStdString(); }
    ConfigLocation location(const std::string& pluginName = "Navigation") const
    {
        return {dir("default"), dir("user"), "bindings.xml", pluginName, ""};
    }
    std::vector<InputAction> actions(RecordingActionHandler& handler) const
    {
        return {{1, "Orbit", &handler, Continuous}, {2, "Frame all", &handler, Single}};
    }

    QTemporaryDir m_root;
    EventSystem m_events;
    RegistryEventCounter m_counter{m_events};
    RecordingActionHandler m_handler{"Navigation"};
    LogCapture m_log;
};

TEST_F(InputMapperRegistryFixture, PathsJoinDirectoriesPluginExtraAndFile)
{
    const ConfigLocation second{"/etc/zel/default", "/home/u/zel/user", "nav.xml", "Navigation",
                                "_2"};
    EXPECT_EQ(InputMapperRegistry::getUserPath(second), "/home/u/zel/user/Navigation_2/nav.xml");
    EXPECT_EQ(InputMapperRegistry::getDefaultPath(second), "/etc/zel/default/Navigation/nav.xml");
    EXPECT_EQ(InputMapperRegistry::getWritePath(second), InputMapperRegistry::getUserPath(second));

    const ConfigLocation here = location();
    EXPECT_EQ(InputMapperRegistry::getReadPath(here), InputMapperRegistry::getDefaultPath(here));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir("user/Navigation"))));
    QFile(QString::fromStdString(InputMapperRegistry::getUserPath(here)))
        .open(QIODevice::WriteOnly);
    EXPECT_EQ(InputMapperRegistry::getReadPath(here), InputMapperRegistry::getUserPath(here));
}

TEST_F(InputMapperRegistryFixture, MappersLoadSaveAndAnnounceThemselves)
{
    // Shipped defaults, written by a mapper of the same handler name.
    InputActionToInputEventMapping shipped;
    shipped.mappings().push_back({2, "Frame all", &m_handler, Single, {}, {}});
    shipped.mappings()[0].primary.m_type = Key;
    shipped.mappings()[0].primary.m_key = Qt::Key_Space;
    ASSERT_TRUE(shipped.saveBindings(InputMapperRegistry::getDefaultPath(location())));

    auto registry = std::make_unique<InputMapperRegistry>(&m_events);
    InputMapper* first =
        registry->createInputMapper(&m_handler, actions(m_handler), nullptr, location());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getMapping().mappings()[1].primary, shipped.mappings()[0].primary);
    EXPECT_EQ(m_counter.kinds, (std::vector<std::uint32_t>{1}));

    // A second mapper of the same name keeps its own user file.
    RecordingActionHandler secondHandler("Navigation");
    InputMapper* second =
        registry->createInputMapper(&secondHandler, actions(secondHandler), nullptr, location());
    EXPECT_EQ(registry->getConfigLocation(first)->extra, "");
    EXPECT_EQ(registry->getConfigLocation(second)->extra, "_2");
    EXPECT_EQ(second->getMapping().mappings()[1].primary.m_key, Qt::Key_Space);

    first->getMapping().mappings()[0].primary.m_type = MouseDrag;
    registry->destroyInputMappers(&m_handler);
    EXPECT_EQ(registry->getInputMappers(), (std::vector<InputMapper*>{second}));
    EXPECT_EQ(m_counter.kinds.size(), 3u);
    EXPECT_EQ(m_events.handlers().size(), 2u); // the counter and the second mapper

    InputActionToInputEventMapping reread;
    reread.mappings().push_back({1, "Orbit", &m_handler, Continuous, {}, {}});
    ASSERT_TRUE(reread.loadBindings(dir("user/Navigation/bindings.xml")));
    EXPECT_EQ(reread.mappings()[0].primary.m_type, MouseDrag);

    // Going with the kernel, the registry saves nothing.
    registry.reset();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir("user/Navigation_2/bindings.xml"))));
    EXPECT_EQ(m_events.handlers().size(), 1u);
}

TEST_F(InputMapperRegistryFixture, SaveAllSkipsIncompleteLocations)
{
    InputMapperRegistry registry(&m_events);
    RecordingActionHandler selection("Selection");
    registry.createInputMapper(&m_handler, actions(m_handler), nullptr, location());
    registry.createInputMapper(&selection, actions(selection), nullptr, location(""));
    EXPECT_EQ(registry.createInputMapper(nullptr, {}, nullptr, location()), nullptr);

    EXPECT_TRUE(registry.saveAllToDefaultPaths());
    EXPECT_TRUE(registry.saveAllToUserPaths());
    EXPECT_TRUE(QFile::exists(QString::fromStdString(dir("default/Navigation/bindings.xml"))));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(dir("user/Navigation/bindings.xml"))));
    EXPECT_EQ(QDir(QString::fromStdString(dir("user")))
                  .entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"Navigation"});

    registry.notify();
    EXPECT_EQ(m_counter.kinds.size(), 3u);
}

TEST_F(InputMapperRegistryFixture, UserFileOverlaysShippedBindingsAndNeverLosesThem)
{
    InputActionToInputEventMapping shipped;
    shipped.mappings().push_back({1, "Orbit", &m_handler, Continuous, {}, {}});
    shipped.mappings().push_back({2, "Frame all", &m_handler, Single, {}, {}});
    shipped.mappings()[0].primary.m_type = MouseDrag;
    shipped.mappings()[0].primary.m_mouseButtons = Qt::LeftButton;
    shipped.mappings()[1].primary.m_type = Key;
    shipped.mappings()[1].primary.m_key = Qt::Key_Space;
    ASSERT_TRUE(shipped.saveBindings(InputMapperRegistry::getDefaultPath(location())));

    // A user file from before "Frame all" existed: that action keeps its shipped binding.
    InputActionToInputEventMapping older;
    older.mappings().push_back({1, "Orbit", &m_handler, Continuous, {}, {}});
    older.mappings()[0].primary.m_type = MouseDrag;
    older.mappings()[0].primary.m_mouseButtons = Qt::RightButton;
    const std::string userFile = InputMapperRegistry::getUserPath(location());
    ASSERT_TRUE(older.saveBindings(userFile));
    {
        InputMapperRegistry registry(&m_events);
        InputMapper* mapper =
            registry.createInputMapper(&m_handler, actions(m_handler), nullptr, location());
        EXPECT_EQ(mapper->getMapping().mappings()[0].primary.m_mouseButtons, Qt::RightButton);
        EXPECT_EQ(mapper->getMapping().mappings()[1].primary, shipped.mappings()[1].primary);
    }

    // A truncated user file: a WARN, the shipped bindings, and the file kept aside as it was.
    const QString user = QString::fromStdString(userFile);
    QFile file(user);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray complete = file.readAll();
    file.close();
    const QByteArray truncated = complete.left(complete.size() / 2);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(truncated);
    file.close();

    InputMapperRegistry registry(&m_events);
    m_log.clear();
    InputMapper* mapper =
        registry.createInputMapper(&m_handler, actions(m_handler), nullptr, location());
    EXPECT_TRUE(m_log.contains("Cannot read the bindings file " + userFile));
    EXPECT_EQ(mapper->getMapping().mappings()[0].primary, shipped.mappings()[0].primary);
    EXPECT_EQ(mapper->getMapping().mappings()[1].primary, shipped.mappings()[1].primary);
    QFile kept(user + ".unreadable");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), truncated);

    // Saved at the end, the user file holds every binding again.
    registry.destroyInputMappers(&m_handler);
    InputActionToInputEventMapping reread;
    reread.mappings().push_back({1, "Orbit", &m_handler, Continuous, {}, {}});
    reread.mappings().push_back({2, "Frame all", &m_handler, Single, {}, {}});
    ASSERT_TRUE(reread.loadBindings(userFile));
    EXPECT_EQ(reread.mappings()[0].primary, shipped.mappings()[0].primary);
    EXPECT_EQ(reread.mappings()[1].primary, shipped.mappings()[1].primary);
    EXPECT_EQ(QDir(QString::fromStdString(dir("user/Navigation"))).entryList(QDir::Files),
              (QStringList{"bindings.xml", "bindings.xml.unreadable"}));
}

TEST_F(InputMapperRegistryFixture, KernelDropsItsMappersWithoutSaving)
{
    const std::string root = m_root.path().toStdString();
    auto kernel =
        std::make_unique<KernelAPI>(root + "/bin", root + "/data", root + "/Plugins/", false);
    InputMapperRegistry* registry = kernel->getInputMapperRegistry();
    ASSERT_NE(registry, nullptr);
    const ConfigLocation where = kernel->getConfigLocation("Navigation", "bindings.xml");
    InputMapper* mapper =
        registry->createInputMapper(&m_handler, actions(m_handler), nullptr, where);
    EXPECT_EQ(kernel->getEventSystem()->findHandler("InputMapper ('Navigation')"), mapper);
    EXPECT_EQ(InputMapperRegistry::getWritePath(where),
              root + "/data/user/Navigation/bindings.xml");

    kernel.reset();
    EXPECT_FALSE(
        QFile::exists(QString::fromStdString(root + "/data/user/Navigation/bindings.xml")));
}

} // namespace
