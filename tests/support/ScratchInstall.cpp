#include "ScratchInstall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

ScratchInstall::ScratchInstall()
{
    const QString build = ZELVISTA_BUILD_ROOT;
    QDir root(m_dir.path());
    root.mkpath("bin");
    root.mkpath("Plugins");
    EXPECT_TRUE(QFile::copy(build + "/bin/Zelvista", program()));
    EXPECT_TRUE(QFile::link(build + "/lib", root.filePath("lib")));
    EXPECT_TRUE(QFile::link(build + "/Media", root.filePath("Media")));
    EXPECT_TRUE(QFile::link(build + "/config", root.filePath("config")));
}

void ScratchInstall::addTestPlugin(const QString& set, const QString& file, const QString& asName)
{
    const QString source = QString(ZELVISTA_TEST_PLUGIN_ROOT) + "/" + set + "/" + file;
    const QString target = pluginDir() + "/" + (asName.isEmpty() ? file : asName);
    ASSERT_TRUE(QFile::copy(source, target)) << source.toStdString();
}

void ScratchInstall::addShippedPlugin(const QString& file)
{
    const QString source = QString(ZELVISTA_BUILD_ROOT) + "/Plugins/" + file;
    ASSERT_TRUE(QFile::copy(source, pluginDir() + "/" + file)) << source.toStdString();
}

void ScratchInstall::writeFile(const QString& relativePath, const QByteArray& bytes)
{
    const QString path = root() + "/" + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray ScratchInstall::readFile(const QString& relativePath) const
{
    QFile file(root() + "/" + relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
