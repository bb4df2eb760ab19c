#include "ModelFixture.h"
#include "QtOSGPluginBase/ModelCommands/LoadScene.h"
#include "QtOSGPluginBase/ModelCommands/NodeReparent.h"
#include "QtOSGPluginBase/ModelCommands/SaveScene.h"

#include <QAction>
#include <QUndoStack>
#include <functional>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osg/Switch>
#include <osgDB/WriteFile>
#include <random>
#include <sstream>

namespace {

using Names = std::vector<std::string>;

// The content below FILE_ROOT as text: names, classes, switch values and the SCENE matrix.
void describe(const osg::Node& node, std::ostream& out)
{
    out << node.getName() << ":" << node.className();
    if (const auto* transform = dynamic_cast<const osg::MatrixTransform*>(&node))
        out << "@" << transform->getMatrix().getTrans().x();
    const osg::Group* group = node.asGroup();
    if (!group || group->getNumChildren() == 0)
        return;
    out << "(";
    for (unsigned int i = 0; i < group->getNumChildren(); ++i) {
        if (const osg::Switch* choice = group->asSwitch())
            out << (choice->getValue(i) ? "+" : "-");
        describe(*group->getChild(i), out);
        out << " ";
    }
    out << ")";
}

std::string describe(const IOSGModel& model)
{
    std::ostringstream out;
    describe(*model.getFileRoot(), out);
    return out.str();
}

// Groups below SCENE and PLUGIN_DATA that the user may move, and the groups they may go to,
// in depth-first order, so that the same index names the same place in equal graphs.
struct Places
{
    std::vector<std::pair<osg::Node*, osg::Group*>> movable; // node and the parent it hangs in
    std::vector<osg::Group*> targets;
};

void collectPlaces(const IOSGModel& model, osg::Group* parent, Places& places)
{
    for (unsigned int i = 0; i < parent->getNumChildren(); ++i) {
        osg::Node* child = parent->getChild(i);
        const bool layout = child == model.getBeacons() || child == model.getPluginData() ||
                            child->getName() == model.getCamerasName();
        if (!layout)
            places.movable.emplace_back(child, parent);
        if (osg::Group* group = child->asGroup()) {
            places.targets.push_back(group);
            collectPlaces(model, group, places);
        }
    }
}

Places placesOf(const IOSGModel& model)
{
    Places places;
    places.targets.push_back(model.getScene());
    collectPlaces(model, model.getScene(), places);
    places.targets.push_back(model.getPluginData());
    collectPlaces(model, model.getPluginData(), places);
    return places;
}

bool isInside(const osg::Node* node, const osg::Node* ancestor)
{
    for (; node; node = node->getNumParents() > 0 ? node->getParent(0) : nullptr)
        if (node == ancestor)
            return true;
    return false;
}

class UndoHistoryTest : public ModelFixture
{
protected:
    std::string writeFile(const std::string& fileName, const osg::ref_ptr<osg::Node>& node)
    {
        EXPECT_TRUE(osgDB::writeNodeFile(*node, path(fileName)));
        return path(fileName);
    }

    // Two plain files and a saved layout with content in SCENE, BEACONS and PLUGIN_DATA.
    void writeFiles()
    {
        osg::ref_ptr<osg::Group> table = group("Table");
        table->addChild(group("Leg"));
        osg::ref_ptr<osg::ShapeDrawable> top = new osg::ShapeDrawable(new osg::Box({}, 1.0f));
        top->setName("Top");
        table->addChild(top);
        m_plain = writeFile("table.osgt", table);
        osg::ref_ptr<osg::Switch> lamp = new osg::Switch;
        lamp->setName("Lamp");
        lamp->addChild(group("Bulb"), true);
        lamp->addChild(group("Shade"), false);
        m_switch = writeFile("lamp.osgt", lamp);

        std::shared_ptr<OSGModel> source = makeModel();
        source->getScene()->addChild(group("Room"));
        source->getBeacons()->addChild(group("Sun"));
        source->getPluginData()->addChild(group("Notes"));
        source->executeCommand(std::make_unique<MODCMD::SaveScene>(path("room.osgt")));
        m_layout = path("room.osgt");
    }

    static CommandResult load(IOSGModel& model, const std::string& file, bool replace)
    {
        return model.executeCommand(std::make_unique<MODCMD::LoadScene>(file, replace));
    }

    static CommandResult reparent(IOSGModel& model, std::size_t nodeChoice,
                                  std::size_t targetChoice)
    {
        const Places places = placesOf(model);
        if (places.movable.empty())
            return CommandResult::failed("nothing to move");
        const auto [node, from] = places.movable[nodeChoice % places.movable.size()];
        std::vector<osg::Group*> targets;
        for (osg::Group* target : places.targets)
            if (target != from && !isInside(target, node))
                targets.push_back(target);
        if (targets.empty())
            return CommandResult::failed("nowhere to go");
        return model.executeCommand(std::make_unique<MODCMD::NodeReparent>(
            targets[targetChoice % targets.size()], MODCMD::NodeList{node},
            std::vector<osg::ref_ptr<osg::Group>>{from}));
    }

    std::string m_plain;
    std::string m_switch;
    std::string m_layout;
};

TEST_F(UndoHistoryTest, ReplaceLoadKeepsTheLayoutGroupsSoLaterCommandsRedoIntoTheScene)
{
    writeFiles();
    const osg::ref_ptr<osg::Group> scene = m_model->getScene();
    const osg::ref_ptr<osg::Group> beacons = m_model->getBeacons();
    ASSERT_TRUE(load(*m_model, m_plain, false));
    static_cast<osg::MatrixTransform&>(*scene).setMatrix(osg::Matrix::translate(3, 0, 0));
    m_model->getBeacons()->addChild(group("Sun"));
    const std::string before = describe(*m_model);

    ASSERT_TRUE(load(*m_model, m_layout, true));
    EXPECT_EQ(m_model->getScene(), scene);
    EXPECT_EQ(m_model->getBeacons(), beacons);
    EXPECT_EQ(childNames(scene), (Names{"BEACONS", "CAMERAS", "Room"}));
    osg::ref_ptr<osg::Node> room = scene->getChild(2);
    ASSERT_TRUE(m_model->executeCommand(
        std::make_unique<MODCMD::NodeReparent>(beacons, MODCMD::NodeList{room})));
    ASSERT_EQ(childNames(beacons), (Names{"Sun", "Room"}));
    const std::string after = describe(*m_model);

    m_model->getUndoStack()->undo();
    m_model->getUndoStack()->undo();
    EXPECT_EQ(describe(*m_model), before);
    m_model->getUndoStack()->redo();
    m_model->getUndoStack()->redo();
    EXPECT_EQ(describe(*m_model), after);

    ASSERT_TRUE(m_model->executeCommand(std::make_unique<MODCMD::SaveScene>(path("saved.osgt"))));
    std::shared_ptr<OSGModel> reloaded = makeModel();
    ASSERT_TRUE(load(*reloaded, path("saved.osgt"), true));
    EXPECT_EQ(describe(*reloaded), describe(*m_model));
}

TEST_F(UndoHistoryTest, ReparentUndoRestoresIndexSwitchValueAndTheParentItTookFrom)
{
    writeFiles();
    ASSERT_TRUE(load(*m_model, m_switch, false));
    auto* lamp = m_model->getScene()->getChild(2)->asSwitch();
    ASSERT_NE(lamp, nullptr);
    osg::ref_ptr<osg::Node> bulb = lamp->getChild(0);
    osg::ref_ptr<osg::Node> shade = lamp->getChild(1);
    // A node with two parents: the instance under BEACONS is the one dragged.
    m_model->getBeacons()->addChild(shade);
    const std::string before = describe(*m_model);

    ASSERT_TRUE(m_model->executeCommand(std::make_unique<MODCMD::NodeReparent>(
        m_model->getPluginData(), MODCMD::NodeList{bulb, shade},
        std::vector<osg::ref_ptr<osg::Group>>{lamp, m_model->getBeacons()})));
    EXPECT_EQ(childNames(lamp), Names{"Shade"});
    EXPECT_EQ(m_model->getBeacons()->getNumChildren(), 0u);
    EXPECT_EQ(childNames(m_model->getPluginData()), (Names{"Bulb", "Shade"}));

    m_model->getUndoStack()->undo();
    EXPECT_EQ(describe(*m_model), before);
    EXPECT_FALSE(lamp->getChildValue(shade.get()));
    m_model->getUndoStack()->redo();
    m_model->getUndoStack()->undo();
    EXPECT_EQ(describe(*m_model), before);
}

// Any chain of loads, reparents, undos and redos leaves the scene the commands still on the
// stack make when run without undo and redo.
TEST_F(UndoHistoryTest, RandomCommandSequencesEndAsTheirUndoFreeReplay)
{
    writeFiles();
    using Command = std::function<CommandResult(IOSGModel&)>;
    std::mt19937 random(20261206);
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::shared_ptr<OSGModel> model = makeModel();
        std::vector<Command> history;
        std::size_t done = 0;
        for (int step = 0; step < 12; ++step) {
            const unsigned choice = random() % 6;
            if (choice == 4 && done > 0) {
                model->getUndoStack()->undo();
                --done;
            } else if (choice == 5 && done < history.size()) {
                model->getUndoStack()->redo();
                ++done;
            } else {
                const std::size_t a = random(), b = random();
                const std::string files[] = {m_plain, m_switch, m_layout};
                const std::string file = files[a % 3];
                const bool replace = b % 3 == 0;
                Command command =
                    choice < 2 ? Command([=](IOSGModel& m) { return load(m, file, replace); })
                               : Command([=](IOSGModel& m) { return reparent(m, a, b); });
                if (!command(*model))
                    continue;
                history.resize(done);
                history.push_back(command);
                ++done;
            }
            std::shared_ptr<OSGModel> replay = makeModel();
            for (std::size_t i = 0; i < done; ++i)
                ASSERT_TRUE(history[i](*replay));
            ASSERT_EQ(describe(*model), describe(*replay)) << "after step " << step;
            ASSERT_EQ(model->getUndoStack()->index(), int(done));
        }
    }
}

TEST_F(UndoHistoryTest, SelectionAndItsBoxesFollowTheScene)
{
    writeFiles();
    ASSERT_TRUE(load(*m_model, m_plain, false));
    osg::ref_ptr<osg::Node> table = m_model->getScene()->getChild(2);
    SetOfNodes selection;
    selection.add(table);
    m_model->setSelectedNodes(selection);
    m_model->showBoundingBoxesOfSelectedNodes();
    const auto boxes = [this] {
        osg::ref_ptr<osg::Group> tools = m_model->getTools();
        return tools->getNumChildren() == 1 ? tools->getChild(0)->asGroup()->getNumChildren() : 0u;
    };
    ASSERT_EQ(boxes(), 1u);

    ASSERT_TRUE(load(*m_model, m_switch, true));
    EXPECT_TRUE(m_model->getSelectedNodes().isEmpty());
    EXPECT_EQ(boxes(), 0u);

    m_model->getUndoStack()->undo();
    m_model->setSelectedNodes(selection);
    m_model->showBoundingBoxesOfSelectedNodes();
    m_model->getUndoStack()->undo();
    EXPECT_TRUE(m_model->getSelectedNodes().isEmpty());
    EXPECT_EQ(boxes(), 0u);
}

TEST_F(UndoHistoryTest, ReplacedScenesBeyondTheBudgetTakeTheOldestStepsWithThem)
{
    osg::ref_ptr<osg::Geometry> big = new osg::Geometry;
    big->setName("Big");
    big->setVertexArray(new osg::Vec3Array(100000)); // 1.2 MB
    big->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, 100000));
    const std::string file = writeFile("big.osgb", big);
    m_model->setUndoMemoryBudget(2500000);
    QAction* undo = m_model->getUndoAction();

    ASSERT_TRUE(load(*m_model, file, false));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(load(*m_model, file, true));
    EXPECT_EQ(m_model->getUndoStack()->count(), 3);
    EXPECT_TRUE(undo->toolTip().contains("3 steps, 2.3 MB")) << undo->toolTip().toStdString();

    ASSERT_TRUE(load(*m_model, file, true));
    ASSERT_EQ(m_model->getUndoStack()->count(), 2);
    EXPECT_EQ(m_model->getUndoStack()->index(), 2);
    EXPECT_TRUE(undo->toolTip().contains("2 steps, 2.3 MB")) << undo->toolTip().toStdString();
    const osg::Node* newest = m_model->getScene()->getChild(2);
    m_model->getUndoStack()->undo();
    EXPECT_NE(m_model->getScene()->getChild(2), newest);
    m_model->getUndoStack()->undo();
    EXPECT_EQ(childNames(m_model->getScene()), (Names{"BEACONS", "CAMERAS", "Big"}));
    EXPECT_FALSE(m_model->getUndoStack()->canUndo());
    m_model->getUndoStack()->redo();
    m_model->getUndoStack()->redo();
    EXPECT_EQ(m_model->getScene()->getChild(2), newest);
}

TEST_F(UndoHistoryTest, FailedLoadsAndSavesLeaveTheHistoryAndSayWhy)
{
    writeFiles();
    ASSERT_TRUE(load(*m_model, m_plain, false));
    ASSERT_TRUE(load(*m_model, m_switch, false));
    m_model->getUndoStack()->undo();
    const std::string before = describe(*m_model);

    for (const std::string& bad : {path("bad.xyz"), path("missing.osgt"), path("noextension")}) {
        SCOPED_TRACE(bad);
        m_log.errors.clear();
        const CommandResult result = load(*m_model, bad, true);
        EXPECT_FALSE(result);
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(m_log.errors.size(), 1u);
        EXPECT_EQ(m_model->getUndoStack()->count(), 2);
        EXPECT_EQ(m_model->getUndoStack()->index(), 1);
        EXPECT_EQ(describe(*m_model), before);
    }
    EXPECT_NE(load(*m_model, path("bad.xyz"), false).reason.find(".xyz"), std::string::npos);

    for (const std::string& bad : {path("scene.ply"), path("scene"), path("nofolder/x.osgt")}) {
        SCOPED_TRACE(bad);
        const CommandResult result =
            m_model->executeCommand(std::make_unique<MODCMD::SaveScene>(bad));
        EXPECT_FALSE(result);
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(m_model->getUndoStack()->count(), 2);
    }
    m_model->getUndoStack()->redo();
    EXPECT_NE(describe(*m_model), before);
}

} // namespace
