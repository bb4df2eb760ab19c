#include "HumanInterface/InputActionToInputEventMapping.h"
#include "LogCapture.h"
#include "RecordingActionHandler.h"

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

using namespace HI;

namespace {

InputEvent input(InputEventType type, std::uint32_t buttons, std::uint32_t key = 0,
                 std::uint32_t modifier = 0)
{
    InputEvent event;
    event.m_type = type;
    event.m_mouseButtons = buttons;
    event.m_key = key;
    event.m_modifier = modifier;
    return event;
}

std::string readFile(const std::string& path)
{
    std::ifstream stream(path);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

std::string fileEntry(const std::string& handler, const std::string& action,
                      const std::string& input1, const std::string& input2)
{
    return "<item><m_actionHandler>" + handler + "</m_actionHandler><m_actionName>" + action +
           "</m_actionName><m_input1>" + input1 + "</m_input1><m_input2>" + input2 +
           "</m_input2></item>";
}

// A bindings file of the given version around entries whose first input carries the class
// attributes.
std::string bindingsFile(int inputVersion, int count, const std::string& entries)
{
    std::string text = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes" ?>
<!DOCTYPE boost_serialization>
<boost_serialization signature="serialization::archive" version="10">
<map class_id="0" tracking_level="0" version="0">
<tempList class_id="1" tracking_level="0" version="0">
<count>)" + std::to_string(count) +
                       "</count><item_version>0</item_version>" + entries +
                       "</tempList></map></boost_serialization>\n";
    const std::string attributes = R"(<item class_id="2" tracking_level="0" version="0">)";
    text.replace(text.find("<item>"), 6, attributes);
    const std::string inputAttributes = R"(<m_input1 class_id="3" tracking_level="0" version=")" +
                                        std::to_string(inputVersion) + R"(">)";
    text.replace(text.find("<m_input1>"), 10, inputAttributes);
    return text;
}

class BindingsFileFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"Orbit", "Frame all", "Select"}) {
            ActionMapping mapping;
            mapping.actionId = static_cast<int>(m_mapping.mappings().size());
            mapping.actionName = name;
            mapping.handler = &m_handler;
            m_mapping.mappings().push_back(mapping);
        }
    }

    ActionMapping& at(int index) { return m_mapping.mappings().at(index); }
    std::string path(const std::string& name) const
    {
        return m_dir.filePath(name.c_str()).toStdString();
    }

    void bindAll()
    {
        at(0).primary = input(MouseDrag, Qt::LeftButton);
        at(0).secondary = input(MouseDrag, Qt::RightButton, 0, Qt::ShiftModifier);
        at(1).primary = input(Key, 0, Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier);
        at(2).secondary = input(MouseDoubleClick, Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    RecordingActionHandler m_handler{"Navigation"};
    InputActionToInputEventMapping m_mapping;
    LogCapture m_log;
};

TEST_F(BindingsFileFixture, SaveThenLoadKeepsEveryBinding)
{
    bindAll();
    const std::string file = path("missing/folders/bindings.xml");
    ASSERT_TRUE(m_mapping.saveBindings(file));
    const std::string text = readFile(file);
    EXPECT_NE(text.find("<map class_id=\"0\" tracking_level=\"0\" version=\"0\">"),
              std::string::npos);
    EXPECT_NE(text.find("<m_input1 class_id=\"3\" tracking_level=\"0\" version=\"1\">"),
              std::string::npos);
    EXPECT_NE(text.find("<m_actionHandler>Navigation</m_actionHandler>"), std::string::npos);
    EXPECT_EQ(text.find("param"), std::string::npos);
    // The list as boost writes a std::vector.
    EXPECT_NE(text.find("<tempList class_id=\"1\" tracking_level=\"0\" version=\"0\">\n"
                        "\t\t<count>3</count>\n\t\t<item_version>0</item_version>\n"
                        "\t\t<item class_id=\"2\" tracking_level=\"0\" version=\"0\">\n"),
              std::string::npos)
        << text;

    const auto saved = m_mapping.mappings();
    for (ActionMapping& mapping : m_mapping.mappings())
        mapping.primary = mapping.secondary = InputEvent();
    ASSERT_TRUE(m_mapping.loadBindings(file));
    for (std::size_t i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(m_mapping.mappings()[i].primary, saved[i].primary) << i;
        EXPECT_EQ(m_mapping.mappings()[i].secondary, saved[i].secondary) << i;
        EXPECT_EQ(m_mapping.mappings()[i].primary.m_modifier, saved[i].primary.m_modifier);
    }
    EXPECT_TRUE(m_log.records().empty());
}

TEST_F(BindingsFileFixture, VersionZeroParamIsKeyForKeysAndButtonsOtherwise)
{
    const std::string v0key = "<m_type>6</m_type><m_modifier>0</m_modifier><param>65</param>";
    const std::string v0drag = "<m_type>3</m_type><m_modifier>0</m_modifier><param>1</param>";
    const std::string file = path("old.xml");
    writeFile(file, bindingsFile(0, 1, fileEntry("Navigation", "Frame all", v0key, v0drag)));

    ASSERT_TRUE(m_mapping.loadBindings(file));
    EXPECT_EQ(at(1).primary, input(Key, 0, 65));
    EXPECT_EQ(at(1).secondary, input(MouseDrag, Qt::LeftButton));
    EXPECT_TRUE(at(0).primary.isNone());
}

TEST_F(BindingsFileFixture, EntriesMergeByHandlerAndActionName)
{
    bindAll();
    const auto before = m_mapping.mappings();
    const std::string none = "<m_type>0</m_type><m_modifier>0</m_modifier><m_key>0</m_key>"
                             "<m_mouseButtons>0</m_mouseButtons>";
    const std::string key = "<m_type>6</m_type><m_modifier>0</m_modifier><m_key>70</m_key>"
                            "<m_mouseButtons>0</m_mouseButtons>";
    const std::string hover = "<m_type>2</m_type><m_modifier>0</m_modifier><m_key>0</m_key>"
                              "<m_mouseButtons>0</m_mouseButtons>";
    const std::string file = path("merge.xml");
    writeFile(file, bindingsFile(1, 5,
                                 fileEntry("Selection", "Orbit", key, key) +
                                     fileEntry("Navigation", "orbit", key, key) +
                                     fileEntry("Navigation", "Select", key, none) +
                                     fileEntry("Navigation", "Select", hover, none) +
                                     fileEntry("Navigation", "Unknown", key, key)));

    ASSERT_TRUE(m_mapping.loadBindings(file));
    EXPECT_EQ(at(0).primary, before[0].primary);
    EXPECT_EQ(at(0).secondary, before[0].secondary);
    EXPECT_EQ(at(1).primary, before[1].primary);
    EXPECT_EQ(at(2).primary, input(MouseHover, 0));
    EXPECT_TRUE(at(2).secondary.isNone());
}

TEST_F(BindingsFileFixture, BrokenFilesLeaveTheBindingsAsTheyWere)
{
    bindAll();
    const std::string good = path("good.xml");
    ASSERT_TRUE(m_mapping.saveBindings(good));
    const std::string text = readFile(good);

    // Cut inside the third entry, after two complete ones.
    const std::string truncated = path("truncated.xml");
    writeFile(truncated, text.substr(0, text.rfind("<m_input2>")));
    const std::string malformed = path("malformed.xml");
    writeFile(malformed, "this is no archive");
    for (ActionMapping& mapping : m_mapping.mappings())
        mapping.primary = mapping.secondary = input(MouseHover, 0);
    const auto changed = m_mapping.mappings();

    for (const std::string& file : {truncated, malformed}) {
        m_log.clear();
        EXPECT_FALSE(m_mapping.loadBindings(file));
        EXPECT_TRUE(m_log.contains("XML exception for '" + file + "': ")) << file;
        for (std::size_t i = 0; i < changed.size(); ++i)
            EXPECT_EQ(m_mapping.mappings()[i].primary, changed[i].primary);
    }

    const std::string missing = path("missing.xml");
    EXPECT_FALSE(m_mapping.loadBindings(missing));
    EXPECT_TRUE(m_log.contains("'" + missing + "' does not exist.\n"));
}

TEST_F(BindingsFileFixture, CountsAndFilesThatCannotBeAreRefusedBeforeAllocating)
{
    bindAll();
    const auto before = m_mapping.mappings();
    const std::string key = "<m_type>6</m_type><m_modifier>0</m_modifier><m_key>70</m_key>"
                            "<m_mouseButtons>0</m_mouseButtons>";
    const std::string huge = path("huge-count.xml");
    writeFile(huge, bindingsFile(1, 100000000, fileEntry("Navigation", "Orbit", key, key)));
    const std::string fifo = path("fifo.xml");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = path("folder.xml");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));

    for (const std::string& file : {huge, fifo, folder}) {
        m_log.clear();
        EXPECT_FALSE(m_mapping.loadBindings(file));
        EXPECT_TRUE(m_log.contains("Failed loading '" + file + "'")) << file;
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(m_mapping.mappings()[i].primary, before[i].primary) << file;
    }

    // A count the file can hold is read as before.
    const std::string honest = path("honest.xml");
    writeFile(honest, bindingsFile(1, 1, fileEntry("Navigation", "Orbit", key, key)));
    EXPECT_TRUE(m_mapping.loadBindings(honest));
    EXPECT_EQ(at(0).primary, input(Key, 0, 70));
}

TEST_F(BindingsFileFixture, SavingReportsWhatItCannotDo)
{
    EXPECT_FALSE(m_mapping.saveBindings(""));
    EXPECT_TRUE(m_log.contains("Empty file name.\n"));

    const std::string blocker = path("blocker");
    writeFile(blocker, "a file where a folder should be");
    EXPECT_FALSE(m_mapping.saveBindings(blocker + "/sub/bindings.xml"));
    EXPECT_TRUE(m_log.contains("Cannot create directory " + blocker +
                               "/sub. Please check write permission.\n"));

    EXPECT_FALSE(m_mapping.saveBindings(m_dir.path().toStdString()));
    EXPECT_TRUE(m_log.contains("Cannot open file " + m_dir.path().toStdString() +
                               " for writing. Please check write permission.\n"));
}

} // namespace
