#include "ModelFixture.h"

#include <map>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Material>
#include <osg/MatrixTransform>
#include <osg/NodeVisitor>
#include <osg/Shape>
#include <osg/ShapeDrawable>
#include <sstream>

namespace {

using DefaultLayoutTest = ModelFixture;
using SetSceneTest = ModelFixture;
using BoundingBoxTest = ModelFixture;
using SelectionTest = ModelFixture;

// Every node below a root, by name: its class and its parent's name.
class LayoutCollector : public osg::NodeVisitor
{
public:
    LayoutCollector() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}

    void apply(osg::Node& node) override
    {
        const std::string parent = node.getNumParents() ? node.getParent(0)->getName() : "";
        nodes[node.getName()] = std::string(node.className()) + " under " + parent;
        ++count;
        traverse(node);
    }

    std::map<std::string, std::string> nodes;
    int count = 0;
};

TEST_F(DefaultLayoutTest, NewModelHasExactlyTheTenNodes)
{
    LayoutCollector collector;
    m_model->getRoot()->accept(collector);
    const std::map<std::string, std::string> expected = {
        {"ROOT", "Group under "},
        {"STAGES", "Group under ROOT"},
        {"RENDER_ROOT", "Group under ROOT"},
        {"APPEARANCE", "Group under RENDER_ROOT"},
        {"TOOLS", "Group under RENDER_ROOT"},
        {"FILE_ROOT", "Group under APPEARANCE"},
        {"SCENE", "MatrixTransform under FILE_ROOT"},
        {"PLUGIN_DATA", "Group under FILE_ROOT"},
        {"BEACONS", "Group under SCENE"},
        {"CAMERAS", "Group under SCENE"}};
    EXPECT_EQ(collector.count, 10);
    EXPECT_EQ(collector.nodes, expected);
    EXPECT_EQ(childNames(m_model->getRoot()), (std::vector<std::string>{"STAGES", "RENDER_ROOT"}));
    EXPECT_EQ(childNames(m_model->getFileRoot()),
              (std::vector<std::string>{"SCENE", "PLUGIN_DATA"}));
    EXPECT_EQ(m_model->getStages()->getNodeMask(), 0x7fffffffu);
    EXPECT_EQ(m_model->getAppearance()->getNodeMask(), 0x7fffffffu);
    EXPECT_EQ(m_model->getScene()->getNodeMask(), 0xffffffffu);
    EXPECT_TRUE(m_model->checkDefaultLayout(m_model->getRoot(), false));
}

TEST_F(DefaultLayoutTest, RenamedLayoutIsBuiltAndLookedUpByTheNewNames)
{
    m_model->setSceneName("WORLD");
    m_model->setBeaconsName("LIGHTS");
    ASSERT_TRUE(m_model->resetSceneGraph());
    EXPECT_EQ(m_model->getScene()->getName(), "WORLD");
    EXPECT_EQ(m_model->getBeacons()->getName(), "LIGHTS");
    EXPECT_EQ(m_model->getBeacons()->getParent(0), m_model->getScene());

    m_model->setSceneName("SCENE");
    EXPECT_FALSE(m_model->checkDefaultLayout(m_model->getRoot(), false));
}

TEST_F(DefaultLayoutTest, FileRootUnderToolsFailsAndIsNotAdopted)
{
    osg::ref_ptr<osg::Group> root = m_model->createDefaultSceneGraph();
    osg::Group* renderRoot = root->getChild(1)->asGroup();
    osg::Group* appearance = renderRoot->getChild(0)->asGroup();
    osg::Group* tools = renderRoot->getChild(1)->asGroup();
    osg::ref_ptr<osg::Node> fileRoot = appearance->getChild(0);
    ASSERT_EQ(fileRoot->getName(), "FILE_ROOT");
    appearance->removeChild(fileRoot);
    tools->addChild(fileRoot);

    const osg::ref_ptr<osg::Group> before = m_model->getRoot();
    EXPECT_FALSE(m_model->checkDefaultLayout(root, true));
    m_model->setSceneGraph(root);
    EXPECT_EQ(m_model->getRoot(), before);
    EXPECT_EQ(m_model->getTools()->getParent(0)->getParent(0), before.get());

    osg::ref_ptr<osg::Group> valid = m_model->createDefaultSceneGraph();
    m_model->setSceneGraph(valid);
    EXPECT_EQ(m_model->getRoot(), valid);
    EXPECT_EQ(m_model->getStages()->getNodeMask(), 0x7fffffffu);
}

TEST_F(SetSceneTest, BadSceneWarnsAndTheOldOneIsRestored)
{
    const osg::ref_ptr<osg::Group> previous = m_model->getScene();
    const osg::ref_ptr<osg::Group> fileRoot = m_model->getFileRoot();

    osg::ref_ptr<osg::Group> misnamed = group("OTHER");
    misnamed->addChild(group("BEACONS"));
    misnamed->addChild(group("CAMERAS"));
    osg::ref_ptr<osg::Group> childless = group("SCENE");
    for (const osg::ref_ptr<osg::Group>& bad : {misnamed, childless}) {
        m_log.clear();
        m_model->setScene(bad, true);
        EXPECT_TRUE(
            m_log.contains("OSGModel::setScene: Scene does not have default layout. Aborting.\n"));
        EXPECT_EQ(m_model->getScene(), previous);
        EXPECT_TRUE(fileRoot->containsNode(previous));
        EXPECT_FALSE(fileRoot->containsNode(bad));
    }
    EXPECT_TRUE(m_model->checkDefaultLayout(m_model->getRoot(), false));

    osg::ref_ptr<osg::Group> unchecked = group("ANYTHING");
    m_model->setScene(unchecked, false);
    EXPECT_EQ(childNames(fileRoot), (std::vector<std::string>{"PLUGIN_DATA", "ANYTHING"}));
    EXPECT_EQ(m_model->getScene(), unchecked);
}

TEST_F(SetSceneTest, BeaconsFollowTheSceneThatHoldsThem)
{
    m_model->getBeacons()->addChild(group("Sun"));
    ASSERT_TRUE(m_model->resetScene());
    EXPECT_EQ(m_model->getBeacons()->getNumChildren(), 0u);
    EXPECT_EQ(m_model->getBeacons()->getParent(0), m_model->getScene());
    EXPECT_EQ(childNames(m_model->getFileRoot()),
              (std::vector<std::string>{"SCENE", "PLUGIN_DATA"}));

    osg::ref_ptr<osg::Group> scene = group("SCENE");
    osg::ref_ptr<osg::Group> beacons = group("BEACONS");
    scene->addChild(beacons);
    scene->addChild(group("CAMERAS"));
    m_model->setScene(scene, true);
    EXPECT_EQ(m_model->getBeacons(), beacons);
}

// A unit cube at (10, 20, 30) below a transform that moves it by (1, 0, 0).
osg::ref_ptr<osg::MatrixTransform> movedCube(osg::ref_ptr<osg::Node>& cube)
{
    osg::ref_ptr<osg::MatrixTransform> transform =
        new osg::MatrixTransform(osg::Matrix::translate(1, 0, 0));
    cube = new osg::ShapeDrawable(new osg::Box(osg::Vec3(10.5f, 20.5f, 30.5f), 1.0f));
    transform->addChild(cube);
    return transform;
}

const osg::Geometry* onlyBox(const osg::Group& tools)
{
    for (unsigned int i = 0; i < tools.getNumChildren(); ++i) {
        const osg::Group* boxes = tools.getChild(i)->asGroup();
        if (boxes && boxes->getName() == "SELECTED_NODES_BBOXES" && boxes->getNumChildren() == 1)
            return boxes->getChild(0)->asGeometry();
    }
    return nullptr;
}

TEST_F(BoundingBoxTest, OneRedLineBoxPerSelectedNodeInWorldSpace)
{
    osg::ref_ptr<osg::Node> cube;
    m_model->getScene()->addChild(movedCube(cube));
    m_model->getScene()->asTransform()->asMatrixTransform()->setMatrix(
        osg::Matrix::translate(0, 0, 100));
    SetOfNodes selection;
    selection.add(cube);
    m_model->setSelectedNodes(selection);

    m_model->showBoundingBoxesOfSelectedNodes();
    m_model->showBoundingBoxesOfSelectedNodes();
    const osg::ref_ptr<osg::Group> tools = m_model->getTools();
    ASSERT_EQ(childNames(tools), std::vector<std::string>{"SELECTED_NODES_BBOXES"});
    EXPECT_EQ(tools->getChild(0)->getNodeMask(), 0x7fffffffu);
    const osg::Geometry* box = onlyBox(*tools);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->getName(), "SELECTED_NODE_BBOX");

    const auto* points = dynamic_cast<const osg::Vec3Array*>(box->getVertexArray());
    ASSERT_NE(points, nullptr);
    const std::vector<osg::Vec3> expected = {{11, 20, 131}, {12, 20, 131}, {12, 21, 131},
                                             {11, 21, 131}, {11, 20, 130}, {12, 20, 130},
                                             {12, 21, 130}, {11, 21, 130}};
    ASSERT_EQ(points->size(), 8u);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_LT(((*points)[i] - expected[i]).length(), 1e-4f) << "point " << i;

    ASSERT_EQ(box->getNumPrimitiveSets(), 1u);
    const osg::PrimitiveSet* lines = box->getPrimitiveSet(0);
    EXPECT_EQ(lines->getMode(), static_cast<GLenum>(GL_LINES));
    const std::vector<unsigned int> indices = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6,
                                               6, 7, 7, 4, 1, 5, 2, 6, 0, 4, 3, 7};
    ASSERT_EQ(lines->getNumIndices(), indices.size());
    for (unsigned int i = 0; i < indices.size(); ++i)
        EXPECT_EQ(lines->index(i), indices[i]);

    const osg::StateSet* material = box->getStateSet();
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->getName(), "HighlightMaterial");
    const auto* chunk =
        dynamic_cast<const osg::Material*>(material->getAttribute(osg::StateAttribute::MATERIAL));
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->getEmission(osg::Material::FRONT), osg::Vec4(1, 0, 0, 1));
    EXPECT_EQ(chunk->getDiffuse(osg::Material::FRONT), osg::Vec4(0, 0, 0, 1));

    m_model->hideBoundingBoxesOfSelectedNodes();
    EXPECT_EQ(tools->getNumChildren(), 0u);
}

TEST_F(BoundingBoxTest, EmptySelectionNullAndEmptyNodesDrawNoBox)
{
    m_model->showBoundingBoxesOfSelectedNodes();
    EXPECT_EQ(m_model->getTools()->getNumChildren(), 0u);

    osg::ref_ptr<osg::Node> cube;
    m_model->getScene()->addChild(movedCube(cube));
    SetOfNodes selection;
    selection.add(cube);
    m_model->setSelectedNodes(selection);
    m_model->showBoundingBoxesOfSelectedNodes();
    ASSERT_EQ(m_model->getTools()->getNumChildren(), 1u);

    // The old boxes go even when there is nothing new to show.
    m_model->clearSelectedNodes();
    m_model->showBoundingBoxesOfSelectedNodes();
    EXPECT_EQ(m_model->getTools()->getNumChildren(), 0u);

    SetOfNodes odd;
    odd.add(nullptr);
    odd.add(group("empty"));
    m_model->setSelectedNodes(odd);
    m_model->showBoundingBoxesOfSelectedNodes();
    EXPECT_TRUE(m_log.contains("OSGModel::showBoundingBoxesOfSelectedNodes: Invalid node.\n"));
    ASSERT_EQ(m_model->getTools()->getNumChildren(), 1u);
    EXPECT_EQ(m_model->getTools()->getChild(0)->asGroup()->getNumChildren(), 0u);
}

TEST_F(SelectionTest, SetsHoldEachElementOnceAndCopiesAreIndependent)
{
    osg::ref_ptr<osg::Node> a = group("a");
    osg::ref_ptr<osg::Node> b = group("b");
    SetOfNodes nodes;
    EXPECT_TRUE(nodes.add(a));
    EXPECT_FALSE(nodes.add(a));
    EXPECT_FALSE(nodes.remove(b));
    EXPECT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes.find(b), nodes.end());

    m_model->setSelectedNodes(nodes);
    SetOfNodes copy = m_model->getSelectedNodes();
    SetOfNodes more;
    more.add(b);
    m_model->selectNodes(more);
    EXPECT_EQ(m_model->getSelectedNodes().size(), 2u);
    EXPECT_EQ(copy.size(), 1u);
    m_model->deselectNodes(nodes);
    EXPECT_EQ(copy.find(a)->get(), a.get());
    m_model->clearSelectedNodes();
    EXPECT_EQ(copy.size(), 1u);
    EXPECT_EQ(a->referenceCount(), 3); // a, nodes and copy

    osg::ref_ptr<osg::StateAttribute> chunk = new osg::Material;
    SetOfChunks chunks;
    chunks.add(chunk);
    m_model->setSelectedChunks(chunks);
    SetOfChunks chunkCopy = m_model->getSelectedChunks();
    m_model->clearSelectedChunks();
    EXPECT_TRUE(m_model->getSelectedChunks().isEmpty());
    EXPECT_EQ(chunkCopy.size(), 1u);
}

TEST_F(SelectionTest, TraversalMasksAndPathToRoot)
{
    osg::ref_ptr<osg::Group> parent = group("parent");
    osg::ref_ptr<osg::Group> child = group("child");
    parent->addChild(child);
    m_model->getScene()->addChild(parent);

    m_model->setTraversalMask(m_model->getScene(), 0x2, true);
    EXPECT_EQ(child->getNodeMask(), 0x2u);
    EXPECT_EQ(m_model->getBeacons()->getNodeMask(), 0x2u);
    m_model->setTraversalMask(parent, 0x4, false);
    EXPECT_EQ(child->getNodeMask(), 0x2u);

    m_model->showPathToRoot(child, false);
    EXPECT_EQ(child->getNodeMask(), 0x2u);
    EXPECT_EQ(parent->getNodeMask(), 0xffffffffu);
    EXPECT_EQ(m_model->getScene()->getNodeMask(), 0xffffffffu);
    EXPECT_EQ(m_model->getAppearance()->getNodeMask(), 0xffffffffu);
    EXPECT_EQ(m_model->getStages()->getNodeMask(), 0x7fffffffu);
}

} // namespace
