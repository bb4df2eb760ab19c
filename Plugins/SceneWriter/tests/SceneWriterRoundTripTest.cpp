#include "ErrorCapture.h"
#include "SceneIOKernel.h"
#include "WriterTestScenes.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <osg/ComputeBoundsVisitor>
#include <osg/Drawable>
#include <osg/MatrixTransform>
#include <osg/TriangleFunctor>
#include <osg/UserDataContainer>
#include <set>

namespace {

struct TriangleCount
{
    void operator()(const osg::Vec3&, const osg::Vec3&, const osg::Vec3&) { ++triangles; }
    int triangles = 0;
};

// What the user made, seen as a renderer sees it.
struct SceneContent : osg::NodeVisitor
{
    explicit SceneContent(osg::Node& root) : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN)
    {
        setNodeMaskOverride(~0u);
        root.accept(*this);
        osg::ComputeBoundsVisitor bounds;
        bounds.setNodeMaskOverride(~0u);
        root.accept(bounds);
        box = bounds.getBoundingBox();
    }

    void apply(osg::Node& node) override
    {
        nodes.emplace(node.getName(), node.getNodeMask());
        if (const osg::UserDataContainer* values = node.getUserDataContainer())
            userValues += static_cast<int>(values->getNumUserObjects());
        if (osg::Drawable* drawable = node.asDrawable()) {
            osg::TriangleFunctor<TriangleCount> count;
            drawable->accept(count);
            triangles += count.triangles;
        }
        traverse(node);
    }

    std::multiset<std::pair<std::string, unsigned>> nodes;
    int triangles = 0;
    int userValues = 0;
    osg::BoundingBox box;
};

// Every offered format, read back through the reader plug-in and its helper process as the
// program loads files, holds the same scene.
TEST(SceneWriterRoundTrip, EveryOfferedFormatReadsBackToTheSameScene)
{
    ErrorCapture log;
    SceneIOKernel io;
    ASSERT_TRUE(io.reader() && io.writer());
    QStringList extensions;
    for (const QString& entry : QString::fromStdString(io.writer()->getFilterString()).split(";;"))
        for (const QString& pattern : entry.section('(', -1).chopped(1).split(';'))
            extensions << pattern.mid(2);
    ASSERT_EQ(extensions, QStringList({"osgt", "osgb", "osgx"}));

    const osg::ref_ptr<osg::Node> scene = layoutScene(true);
    const SceneContent original(*scene);
    ASSERT_EQ(original.nodes.size(), 16u);
    for (const QString& extension : extensions) {
        SCOPED_TRACE(extension.toStdString());
        const std::string path = io.file("round." + extension);
        ASSERT_TRUE(io.writer()->write(scene, path));
        osg::ref_ptr<osg::Node> loaded = io.reader()->read(path, nullptr);
        ASSERT_TRUE(loaded);
        const SceneContent back(*loaded);
        EXPECT_EQ(back.nodes, original.nodes);
        EXPECT_EQ(back.triangles, original.triangles);
        EXPECT_EQ(back.userValues, 2);
        for (int corner = 0; corner < 8; ++corner)
            EXPECT_LE((back.box.corner(corner) - original.box.corner(corner)).length(),
                      2e-5f * original.box.radius());
        // Structure: SCENE's first child is the moved group of shapes, with its matrix.
        osg::Group* sceneNode = loaded->asGroup()->getChild(0)->asGroup();
        auto* moved = dynamic_cast<osg::MatrixTransform*>(sceneNode->getChild(0));
        ASSERT_TRUE(moved && moved->getNumChildren() == 1);
        EXPECT_EQ(moved->getChild(0)->getName(), "Shapes");
        const osg::Matrix expected =
            osg::Matrix::rotate(0.5, osg::Z_AXIS) * osg::Matrix::translate(1, 2, 3);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(moved->getMatrix().ptr()[i], expected.ptr()[i], 1e-8);
    }
    EXPECT_EQ(log.errorCount(), 0u);
}

} // namespace
