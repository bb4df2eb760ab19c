#include "EventSystem/EventHandler.h"
#include "EventSystem/EventSystem.h"
#include "HumanInterface/InputMapperRegistry.h"
#include "LogCapture.h"
#include "PluginKernel.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "StandInViewer.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMimeData>
#include <QTreeView>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/KdTree>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>

namespace {

// A flat grid of 32 by 32 quads facing -y, large enough to get a k-d tree.
osg::ref_ptr<osg::Geometry> makeGrid(float size)
{
    osg::ref_ptr<osg::Geometry> grid = new osg::Geometry;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    const int n = 32;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
            vertices->push_back(
                osg::Vec3(size * (i / float(n) - 0.5f), 0.0f, size * (j / float(n) - 0.5f)));
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const unsigned a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
            for (unsigned v : {a, b, d, a, d, c})
                triangles->push_back(v);
        }
    grid->setVertexArray(vertices.get());
    grid->addPrimitiveSet(triangles.get());
    return grid;
}

// Counts the input events that get past every handler in front of it.
class InputCounter : public EventHandler
{
public:
    explicit InputCounter(EventSystem& events)
        : EventHandler(&events, "counter", EventType::QtInput)
    {}
    bool handleEvent(Event&) override { return ++count, false; }
    int count = 0;
};

// Stands for a render pipeline, which claims every model event it is offered.
class ModelEventSink : public EventHandler
{
public:
    explicit ModelEventSink(EventSystem& events) : EventHandler(&events, "sink", EventType::Model)
    {}
    bool handleEvent(Event&) override { return true; }
};

// SCENE holds a named box on the left, and on the right a named transform above an unnamed
// geode with a grid mesh.
class SelectionFixture : public ::testing::Test
{
protected:
    SelectionFixture()
        : m_kernel({"Selection.so"}), m_model(m_kernel.createModel()),
          m_viewer(m_kernel.events(), m_model)
    {
        m_left = new osg::Geode;
        m_left->setName("Left");
        m_left->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(-2, 0, 0), 1.5f)));
        m_right = new osg::MatrixTransform(osg::Matrix::translate(2, 0, 0));
        m_right->setName("Right");
        m_grid = makeGrid(1.5f);
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->addDrawable(m_grid.get());
        m_right->addChild(geode.get());
        m_model->getScene()->addChild(m_left.get());
        m_model->getScene()->addChild(m_right.get());
        m_plugin = m_kernel.create<ISelectionPlugin>(WellKnownPlugins::selection, "selection");
    }

    void registerViewer()
    {
        ASSERT_NE(m_plugin, nullptr);
        m_plugin->registerViewer(m_viewer.getScene(), &m_viewer, nullptr,
                                 m_kernel.kernel().getConfigLocation("Selection", ""));
    }
    std::vector<osg::Node*> selected()
    {
        std::vector<osg::Node*> nodes;
        for (const osg::ref_ptr<osg::Node>& node : m_model->getSelectedNodes())
            nodes.push_back(node.get());
        std::sort(nodes.begin(), nodes.end());
        return nodes;
    }
    std::vector<osg::Node*> sorted(std::vector<osg::Node*> nodes)
    {
        std::sort(nodes.begin(), nodes.end());
        return nodes;
    }
    QPoint leftBox() { return m_viewer.widgetPosition(osg::Vec3d(-2, 0, 0)); }
    QPoint rightGrid() { return m_viewer.widgetPosition(osg::Vec3d(2.2, 0, 0.2)); }
    bool boxesShown()
    {
        osg::Group* tools = m_model->getTools();
        for (unsigned i = 0; i < tools->getNumChildren(); ++i)
            if (tools->getChild(i)->getName() == "SELECTED_NODES_BBOXES")
                return tools->getChild(i)->asGroup()->getNumChildren() > 0;
        return false;
    }

    LogCapture m_log;
    PluginKernel m_kernel;
    std::shared_ptr<OSGModel> m_model;
    StandInViewer m_viewer;
    ISelectionPlugin* m_plugin = nullptr;
    osg::ref_ptr<osg::Geode> m_left;
    osg::ref_ptr<osg::MatrixTransform> m_right;
    osg::ref_ptr<osg::Geometry> m_grid;
};

TEST_F(SelectionFixture, ClickSelectsControlClickTogglesEscapeClears)
{
    registerViewer();
    InputCounter after(m_kernel.events());

    m_viewer.click(leftBox());
    EXPECT_EQ(selected(), std::vector<osg::Node*>{m_left.get()});
    EXPECT_TRUE(boxesShown());
    EXPECT_GT(m_viewer.redraws, 0);
    // The click went on to whatever stands behind selection (navigation).
    EXPECT_EQ(after.count, 2);

    // The nearest named node above the unnamed geometry is the object.
    m_viewer.click(rightGrid());
    EXPECT_EQ(selected(), std::vector<osg::Node*>{m_right.get()});
    m_viewer.click(leftBox(), Qt::ControlModifier);
    EXPECT_EQ(selected(), sorted({m_left.get(), m_right.get()}));
    m_viewer.click(rightGrid(), Qt::ControlModifier);
    EXPECT_EQ(selected(), std::vector<osg::Node*>{m_left.get()});

    // A drag is no click; a click on nothing clears, as does Escape.
    m_viewer.drag(Qt::LeftButton, rightGrid(), leftBox() + QPoint(0, 20));
    EXPECT_EQ(selected(), std::vector<osg::Node*>{m_left.get()});
    m_viewer.click(QPoint(5, 5));
    EXPECT_TRUE(selected().empty());
    EXPECT_FALSE(boxesShown());
    m_viewer.click(rightGrid());
    m_viewer.key(Qt::Key_Escape);
    EXPECT_TRUE(selected().empty());
}

// The trees are built in the background and attached between events.
bool kdTreeArrives(const osg::Geometry& geometry)
{
    const QDeadlineTimer deadline(30000);
    while (!dynamic_cast<const osg::KdTree*>(geometry.getShape()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return dynamic_cast<const osg::KdTree*>(geometry.getShape()) != nullptr;
}

TEST_F(SelectionFixture, KdTreesAreBuiltWhenASceneArrivesAheadOfThePipelines)
{
    ModelEventSink earlierPipeline(m_kernel.events());
    registerViewer();
    // Content present at registration is prepared; shapes keep their shape.
    EXPECT_TRUE(kdTreeArrives(*m_grid));
    EXPECT_NE(dynamic_cast<osg::Box*>(
                  static_cast<osg::ShapeDrawable*>(m_left->getDrawable(0))->getShape()),
              nullptr);

    // A pipeline made later stands behind selection once the viewer has had input.
    ModelEventSink laterPipeline(m_kernel.events());
    m_viewer.click(QPoint(5, 5));
    osg::ref_ptr<osg::Geometry> loaded = makeGrid(1.0f);
    m_model->getScene()->addChild(loaded.get());
    ModelEvent changed(ModelEvent::Changed);
    m_model->sendEvent(changed);
    EXPECT_EQ(loaded->getShape(), nullptr) << "only a loaded scene gets trees";
    ModelEvent sceneLoaded(ModelEvent::SceneLoaded);
    m_model->sendEvent(sceneLoaded);
    EXPECT_TRUE(kdTreeArrives(*loaded));
}

TEST_F(SelectionFixture, BindingsAreSavedPerViewerOnReset)
{
    registerViewer();
    StandInViewer second(m_kernel.events(), m_kernel.createModel("second"));
    m_plugin->registerViewer(second.getScene(), &second, nullptr,
                             m_kernel.kernel().getConfigLocation("Selection", ""));
    m_plugin->registerViewer(second.getScene(), &second, nullptr, {});
    EXPECT_EQ(m_kernel.kernel().getInputMapperRegistry()->getInputMappers().size(), 2u);
    m_viewer.click(leftBox());
    ASSERT_FALSE(selected().empty());

    m_plugin->reset();
    EXPECT_TRUE(selected().empty());
    EXPECT_FALSE(boxesShown());
    EXPECT_TRUE(m_kernel.kernel().getInputMapperRegistry()->getInputMappers().empty());
    const QString user = m_kernel.dataPath() + "/user/";
    EXPECT_TRUE(QFile::exists(user + "Selection/SelectionBindings.xml"));
    EXPECT_TRUE(QFile::exists(user + "Selection_2/SelectionBindings.xml"));
    m_viewer.click(leftBox());
    EXPECT_TRUE(selected().empty());
}

class SceneTreeFixture : public SelectionFixture
{
protected:
    void SetUp() override
    {
        registerViewer();
        auto* interaction = dynamic_cast<IQtInteraction*>(m_plugin);
        ASSERT_NE(interaction, nullptr);
        ASSERT_EQ(interaction->getDockWidgets().size(), 2u);
        QWidget* dock = interaction->getDockWidgets().front();
        m_tree = dock->findChild<QTreeView*>();
        ASSERT_NE(m_tree, nullptr);
        m_items = m_tree->model();
    }

    // The row of the node below the parent row, by name.
    QModelIndex find(const QString& name, const QModelIndex& parent = {})
    {
        for (int row = 0; row < m_items->rowCount(parent); ++row) {
            const QModelIndex index = m_items->index(row, 0, parent);
            if (index.data().toString() == name)
                return index;
            if (QModelIndex below = find(name, index); below.isValid())
                return below;
        }
        return {};
    }
    QModelIndex sceneIndex() { return find("SCENE"); }
    bool drop(const QModelIndexList& moved, const QModelIndex& target)
    {
        std::unique_ptr<QMimeData> data(m_items->mimeData(moved));
        if (!m_items->canDropMimeData(data.get(), Qt::MoveAction, -1, 0, target))
            return false;
        const bool dropped = m_items->dropMimeData(data.get(), Qt::MoveAction, -1, 0, target);
        QCoreApplication::processEvents();
        return dropped;
    }

    QTreeView* m_tree = nullptr;
    QAbstractItemModel* m_items = nullptr;
};

TEST_F(SceneTreeFixture, ShowsTheGraphAndFollowsModelEvents)
{
    ASSERT_EQ(m_items->rowCount(), 1);
    EXPECT_EQ(m_items->index(0, 0).data().toString(), "ROOT");
    const QModelIndex scene = sceneIndex();
    ASSERT_TRUE(scene.isValid());
    EXPECT_EQ(scene.siblingAtColumn(1).data().toString(), "MatrixTransform");
    const QModelIndex right = find("Right", scene);
    ASSERT_TRUE(right.isValid());
    EXPECT_EQ(m_items->rowCount(right), 1);
    EXPECT_EQ(m_items->index(0, 1, right).data().toString(), "Geode");
    for (QModelIndex open = right; open.isValid(); open = open.parent())
        m_tree->expand(open);

    osg::ref_ptr<osg::Group> added = new osg::Group;
    added->setName("Added");
    m_model->getScene()->addChild(added.get());
    ModelEvent changed(ModelEvent::Changed);
    m_model->sendEvent(changed);
    QCoreApplication::processEvents();
    EXPECT_TRUE(find("Added", sceneIndex()).isValid());
    EXPECT_TRUE(m_tree->isExpanded(find("Right"))) << "expanded places stay expanded";
}

TEST_F(SceneTreeFixture, SelectionIsKeptInStepBothWays)
{
    m_viewer.click(leftBox());
    const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.front().data().toString(), "Left");

    m_tree->selectionModel()->select(find("Right"), QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    EXPECT_EQ(selected(), std::vector<osg::Node*>{m_right.get()});
    EXPECT_TRUE(boxesShown());
    m_viewer.key(Qt::Key_Escape);
    EXPECT_TRUE(m_tree->selectionModel()->selectedRows().empty());
}

TEST_F(SceneTreeFixture, DragInTheTreeReparentsWithUndo)
{
    ASSERT_TRUE(drop({find("Left")}, find("Right")));
    ASSERT_EQ(m_left->getNumParents(), 1u);
    EXPECT_EQ(m_left->getParent(0), m_right.get());
    EXPECT_TRUE(find("Left", find("Right")).isValid());

    m_model->getUndoStack()->undo();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_left->getParent(0), m_model->getScene().get());
    EXPECT_FALSE(find("Left", find("Right")).isValid());

    // Nothing that would break the graph: a node into itself or below itself, the layout.
    EXPECT_FALSE(drop({find("Right")}, find("Right")));
    EXPECT_FALSE(drop({find("Right")}, find("Right").model()->index(0, 0, find("Right"))));
    EXPECT_FALSE(drop({sceneIndex()}, find("PLUGIN_DATA")));
    EXPECT_FALSE(drop({find("Left")}, find("Left")));
    EXPECT_EQ(m_model->getUndoStack()->count(), 1);
}

} // namespace
