#include "SceneIOKernel.h"

#include "ApplicationBase/KernelAPI.h"
#include "PluginSystem/PluginFactory.h"

#include <QFile>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/ShapeDrawable>

SceneIOKernel::SceneIOKernel()
{
    const QString built = QString(ZELVISTA_BUILD_ROOT) + "/Plugins/";
    for (const QString name : {"SceneReader.so", "SceneWriter.so"})
        EXPECT_TRUE(QFile::copy(built + name, m_plugins.filePath(name))) << name.toStdString();
    const std::string plugins = m_plugins.path().toStdString();
    m_kernel = std::make_unique<KernelAPI>(std::string(ZELVISTA_BUILD_ROOT) + "/bin",
                                           m_data.path().toStdString(), plugins, true);
}

SceneIOKernel::~SceneIOKernel() = default;

NodeReader* SceneIOKernel::reader() const
{
    const auto readers = m_kernel->getPluginFactory()->getInstances<NodeReader>();
    return readers.size() == 1 ? readers.front() : nullptr;
}

NodeWriter* SceneIOKernel::writer() const
{
    const auto writers = m_kernel->getPluginFactory()->getInstances<NodeWriter>();
    return writers.size() == 1 ? writers.front() : nullptr;
}

std::string SceneIOKernel::file(const QString& name) const
{
    return m_files.filePath(name).toStdString();
}

void SceneIOKernel::writeBytes(const QString& name, const QByteArray& bytes) const
{
    QFile out(m_files.filePath(name));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
}

QByteArray SceneIOKernel::readBytes(const QString& name) const
{
    QFile in(m_files.filePath(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

namespace {

class StatsVisitor : public osg::NodeVisitor
{
public:
    StatsVisitor() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}

    void apply(osg::Drawable& drawable) override
    {
        osg::Geometry* geometry = drawable.asGeometry();
        if (!geometry)
            return;
        ++stats.geometries;
        if (geometry->getVertexArray())
            stats.vertices += static_cast<int>(geometry->getVertexArray()->getNumElements());
        if (geometry->getUseDisplayList() || !geometry->getUseVertexBufferObjects())
            stats.allUseVertexBuffers = false;
    }

    GeometryStats stats;
};

osg::ref_ptr<osg::Geode> shape(const char* name, osg::Shape* form, const osg::Vec4& colour)
{
    osg::ref_ptr<osg::ShapeDrawable> drawable = new osg::ShapeDrawable(form);
    drawable->setColor(colour);
    drawable->setName(name);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName(name);
    geode->addDrawable(drawable);
    return geode;
}

} // namespace

GeometryStats geometryStats(osg::Node& node)
{
    StatsVisitor visitor;
    node.accept(visitor);
    return visitor.stats;
}

osg::ref_ptr<osg::Node> makeShapesScene()
{
    osg::ref_ptr<osg::Group> group = new osg::Group;
    group->setName("Shapes");
    group->addChild(shape("Box", new osg::Box(osg::Vec3(-3, 0, 0), 2), {1, 0, 0, 1}));
    group->addChild(shape("Sphere", new osg::Sphere(osg::Vec3(0, 0, 0), 1), {0, 1, 0, 1}));
    group->addChild(shape("Cone", new osg::Cone(osg::Vec3(3, 0, 0), 1, 2), {0, 0, 1, 1}));
    return group;
}
