#include "ModelFixture.h"
#include "QtOSGPluginBase/ModelCommands/LoadScene.h"
#include "QtOSGPluginBase/ModelCommands/NodeAddChild.h"
#include "QtOSGPluginBase/ModelCommands/NodeReparent.h"
#include "QtOSGPluginBase/ModelCommands/SaveScene.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QUndoStack>
#include <osgDB/WriteFile>

namespace {

using Names = std::vector<std::string>;

class LoadSceneTest : public ModelFixture
{
protected:
    // Fills the model's layout, saves it as a layout file and gives the model back its
    // default graph.
    std::string saveLayoutFile(const std::string& fileName)
    {
        m_model->getScene()->addChild(group("Teapot"));
        m_model->getBeacons()->addChild(group("Sun"));
        m_model->getScene()->getChild(1)->asGroup()->addChild(group("Eye"));
        m_model->getPluginData()->addChild(group("Notes"));
        const std::string file = path(fileName);
        m_model->executeCommand(std::make_unique<MODCMD::SaveScene>(file));
        m_model->resetSceneGraph();
        return file;
    }

    std::string writePlainFile(const std::string& fileName)
    {
        osg::ref_ptr<osg::Group> chair = group("Chair");
        chair->addChild(group("Leg"));
        const std::string file = path(fileName);
        EXPECT_TRUE(osgDB::writeNodeFile(*chair, file));
        return file;
    }

    void load(const std::string& file, bool replace = false)
    {
        m_model->executeCommand(std::make_unique<MODCMD::LoadScene>(file, replace));
    }

    QUndoStack& undoStack() { return *m_model->getUndoStack(); }
};

using LoadSceneUndoTest = LoadSceneTest;
using LoadSceneBadInputTest = LoadSceneTest;
using ModelEventTest = LoadSceneTest;
using ExecuteCommandTest = LoadSceneTest;

TEST_F(LoadSceneTest, SavedLayoutMergesIntoTheModelAndUndoTakesItOut)
{
    for (const std::string fileName : {"layout.osgt", "layout.osgb"}) {
        SCOPED_TRACE(fileName);
        const std::string file = saveLayoutFile(fileName);
        EXPECT_TRUE(m_log.contains("Found writer plugIn for extension(s) OpenSceneGraph native "
                                   "(*.osgt;*.osgb)\n"));
        ASSERT_TRUE(QFile::exists(QString::fromStdString(file)));
        m_model->getPluginData()->addChild(group("Stale"));

        load(file);
        EXPECT_TRUE(m_log.contains("Found loader plugIn for extension(s) OpenSceneGraph native "
                                   "(*.osgt;*.osgb)\n"));
        const osg::ref_ptr<osg::Group> scene = m_model->getScene();
        EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Teapot"}));
        EXPECT_EQ(childNames(m_model->getBeacons()), Names{"Sun"});
        EXPECT_EQ(m_model->getScene()->getChild(1)->asGroup()->getNumChildren(), 0u);
        EXPECT_EQ(childNames(m_model->getPluginData()), Names{"Notes"});
        // Loaded nodes have one parent, in the model's graph.
        const osg::ref_ptr<osg::Node> teapot = scene->getChild(2);
        EXPECT_EQ(teapot->getNumParents(), 1u);

        undoStack().undo();
        EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS"}));
        EXPECT_EQ(m_model->getBeacons()->getNumChildren(), 0u);
        EXPECT_EQ(childNames(m_model->getPluginData()), Names{"Stale"});

        undoStack().redo();
        EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Teapot"}));
        EXPECT_EQ(scene->getChild(2), teapot.get());
        EXPECT_EQ(childNames(m_model->getBeacons()), Names{"Sun"});
        EXPECT_EQ(childNames(m_model->getPluginData()), Names{"Notes"});
        m_model->resetSceneGraph();
        undoStack().clear();
    }
}

TEST_F(LoadSceneUndoTest, PlainFileGoesUnderSceneAndUndoRemovesExactlyIt)
{
    const std::string file = writePlainFile("chair.osgt");
    m_model->getScene()->addChild(group("Existing"));

    load(file);
    const osg::ref_ptr<osg::Group> scene = m_model->getScene();
    ASSERT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Existing", "Chair"}));
    const osg::ref_ptr<osg::Node> chair = scene->getChild(3);
    EXPECT_EQ(chair->asGroup()->getNumChildren(), 1u);

    undoStack().undo();
    EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Existing"}));

    // Redo brings back the same node, which later commands on the stack may refer to.
    QFile::remove(QString::fromStdString(file));
    undoStack().redo();
    ASSERT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Existing", "Chair"}));
    EXPECT_EQ(scene->getChild(3), chair.get());
}

TEST_F(LoadSceneUndoTest, ReplaceEmptiesTheSceneFirstAndUndoBringsItBack)
{
    const std::string file = writePlainFile("chair.osgb");
    const osg::ref_ptr<osg::Group> scene = m_model->getScene();
    scene->addChild(group("Existing"));
    m_model->getBeacons()->addChild(group("Sun"));

    load(file, true);
    EXPECT_EQ(m_model->getScene(), scene);
    EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Chair"}));
    EXPECT_EQ(m_model->getBeacons()->getNumChildren(), 0u);
    EXPECT_EQ(m_model->getBeacons()->getParent(0), scene.get());
    EXPECT_TRUE(m_model->checkDefaultLayout(m_model->getRoot(), false));

    undoStack().undo();
    EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Existing"}));
    EXPECT_EQ(childNames(m_model->getBeacons()), Names{"Sun"});
}

TEST_F(LoadSceneBadInputTest, ReaderReportsAnErrorAndTheSceneStaysUnchanged)
{
    const std::string good = writePlainFile("good.osgb");
    QFile goodFile(QString::fromStdString(good));
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = goodFile.readAll();

    const auto writeBytes = [this](const std::string& fileName, const QByteArray& content) {
        QFile file(QString::fromStdString(path(fileName)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path(fileName);
    };
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.osgt"));
    const std::vector<std::string> badFiles = {
        writeBytes("empty.osgt", QByteArray()), writeBytes("truncated.osgb", bytes.left(40)),
        writeBytes("nosuffix", bytes), path("missing.osgt"), path("folder.osgt")};

    m_model->getScene()->addChild(group("Existing"));
    const osg::ref_ptr<osg::Group> scene = m_model->getScene();
    NodeReader* reader = m_model->getReaders().front();
    for (const std::string& file : badFiles) {
        SCOPED_TRACE(file);
        m_log.errors.clear();
        EXPECT_EQ(reader->read(file, nullptr), nullptr);
        ASSERT_EQ(m_log.errors.size(), 1u);
        EXPECT_NE(m_log.errors.front().find("TestSceneReader: "), std::string::npos);

        load(file, true);
        EXPECT_EQ(m_model->getScene(), scene);
        EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Existing"}));
        undoStack().undo();
        EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Existing"}));
    }
    EXPECT_EQ(m_model->loadNodeFromFile(path("missing.osgt")), nullptr);
    EXPECT_NE(m_model->loadNodeFromFile(good), nullptr);
}

TEST_F(ModelEventTest, CommandsAnnounceThemselvesInOrderForRedoAndUndo)
{
    const std::vector<std::uint32_t> loadEvents = {6, 0, 2};
    load(writePlainFile("chair.osgt"));
    EXPECT_EQ(m_events->kinds, loadEvents);
    EXPECT_EQ(m_events->senders.front(), m_model->getUuid());
    m_events->clear();
    undoStack().undo();
    EXPECT_EQ(m_events->kinds, loadEvents);

    osg::ref_ptr<osg::Group> child = group("child");
    m_events->clear();
    m_model->executeCommand(std::make_unique<MODCMD::NodeAddChild>(m_model->getTools(), child));
    EXPECT_EQ(m_events->kinds, std::vector<std::uint32_t>{0});
    EXPECT_EQ(child->getParent(0), m_model->getTools());
    undoStack().undo();
    EXPECT_EQ(m_events->kinds, (std::vector<std::uint32_t>{0, 0}));
    EXPECT_EQ(child->getNumParents(), 0u);

    osg::ref_ptr<osg::Group> moved = group("moved");
    m_model->getBeacons()->addChild(moved);
    m_events->clear();
    m_model->executeCommand(std::make_unique<MODCMD::NodeReparent>(m_model->getPluginData(),
                                                                   MODCMD::NodeList{moved, child}));
    EXPECT_EQ(m_events->kinds, (std::vector<std::uint32_t>{0, 2}));
    EXPECT_TRUE(m_log.contains(
        "NodeReparent::applyRedoChanges: Getting ParentNode during Drag and Drop failed\n"));
    EXPECT_EQ(childNames(m_model->getPluginData()), Names{"moved"});
    EXPECT_EQ(m_model->getBeacons()->getNumChildren(), 0u);
    EXPECT_EQ(child->getNumParents(), 0u);
    m_events->clear();
    undoStack().undo();
    EXPECT_EQ(m_events->kinds, (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(childNames(m_model->getBeacons()), Names{"moved"});
    EXPECT_EQ(m_model->getPluginData()->getNumChildren(), 0u);
}

TEST_F(ModelEventTest, CommandOfAGoneModelLogsAndSendsNothing)
{
    MODCMD::NodeAddChild addChild(m_model->getTools(), group("child"));
    MODCMD::LoadScene load(writePlainFile("chair.osgt"), false);
    EXPECT_FALSE(addChild.setModel(nullptr));
    EXPECT_TRUE(m_log.contains("ModelCommand::setModel: Invalid Model\n"));
    ASSERT_TRUE(addChild.setModel(m_model));
    ASSERT_TRUE(load.setModel(m_model));
    m_model.reset();

    m_log.clear();
    m_events->clear();
    addChild.redo();
    load.redo();
    load.undo();
    EXPECT_GE(m_log.count("ModelCommand::getModel: Invalid Model\n"), 3);
    EXPECT_FALSE(m_log.contains("Found loader plugIn"));
    EXPECT_TRUE(m_events->kinds.empty());
}

TEST_F(ExecuteCommandTest, SavingEmptiesTheUndoStackAndIsNotUndoable)
{
    m_model->executeCommand(
        std::make_unique<MODCMD::NodeAddChild>(m_model->getScene(), group("one")));
    m_model->executeCommand(
        std::make_unique<MODCMD::NodeAddChild>(m_model->getScene(), group("two")));
    ASSERT_EQ(undoStack().count(), 2);

    m_events->clear();
    m_model->executeCommand(std::make_unique<MODCMD::SaveScene>(path("saved.osgt")));
    EXPECT_EQ(undoStack().count(), 0);
    EXPECT_FALSE(m_model->getUndoAction()->isEnabled());
    EXPECT_EQ(m_events->kinds, (std::vector<std::uint32_t>{0, 2}));

    osg::ref_ptr<osg::Node> saved = m_model->loadNodeFromFile(path("saved.osgt"));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->getName(), "FILE_ROOT");
    ASSERT_NE(saved->asGroup(), nullptr);
    EXPECT_EQ(childNames(saved->asGroup()), (Names{"SCENE", "PLUGIN_DATA"}));
    EXPECT_EQ(childNames(saved->asGroup()->getChild(0)->asGroup()),
              (Names{"BEACONS", "CAMERAS", "one", "two"}));
}

} // namespace
