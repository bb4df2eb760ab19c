#pragma once

#include "QtOSGPluginBase/IReader.h"
#include "QtOSGPluginBase/IWriter.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <osg/Node>

class KernelAPI;

// A kernel over a scratch plug-in folder holding the built scene reader and writer, with the
// build's bin/ as program folder (where the reader helper lies), a data folder of its own and a
// folder for test files.
class SceneIOKernel
{
public:
    SceneIOKernel();
    ~SceneIOKernel();

    NodeReader* reader() const;
    NodeWriter* writer() const;
    std::string file(const QString& name) const;
    void writeBytes(const QString& name, const QByteArray& bytes) const;
    QByteArray readBytes(const QString& name) const;

private:
    QTemporaryDir m_plugins;
    QTemporaryDir m_data;
    QTemporaryDir m_files;
    std::unique_ptr<KernelAPI> m_kernel;
};

// What a loaded scene holds, and whether every geometry draws from vertex buffer objects.
struct GeometryStats
{
    int geometries = 0;
    int vertices = 0;
    bool allUseVertexBuffers = true;
};

GeometryStats geometryStats(osg::Node& node);

// A box, a sphere and a cone with colours under a group, for writing in every format.
osg::ref_ptr<osg::Node> makeShapesScene();
