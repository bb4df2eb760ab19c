#include "PluginKernel.h"

#include "QtOSGPluginBase/OSGModel.h"

#include <QFile>
#include <gtest/gtest.h>

PluginKernel::PluginKernel(const QStringList& plugins, bool shippedConfig)
{
    for (const QString& name : plugins)
        EXPECT_TRUE(QFile::copy(QString(ZELVISTA_BUILD_ROOT) + "/Plugins/" + name,
                                m_plugins.filePath(name)))
            << name.toStdString();
    const std::string program =
        shippedConfig ? std::string(ZELVISTA_BUILD_ROOT) + "/bin" : m_program.path().toStdString();
    m_kernel = std::make_unique<KernelAPI>(program, m_data.path().toStdString(),
                                           m_plugins.path().toStdString(), false);
}

PluginKernel::~PluginKernel()
{
    m_kernel.reset();
}

std::shared_ptr<OSGModel> PluginKernel::createModel(const std::string& name)
{
    return std::make_shared<OSGModel>(m_kernel->getPluginFactory(), m_kernel->getEventSystem(),
                                      name, Uuid{});
}
