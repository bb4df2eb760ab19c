#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away installation: bin/Zelvista copied from the build (the program finds Plugins/
// next to its own directory), lib/ and Media/ linked to the build's, an empty Plugins/ and a
// private data directory.
class ScratchInstall
{
public:
    ScratchInstall();

    QString root() const { return m_dir.path(); }
    QString program() const { return root() + "/bin/Zelvista"; }
    QString pluginDir() const { return root() + "/Plugins"; }
    QString dataHome() const { return root() + "/xdg"; }
    QString appDataPath() const { return dataHome() + "/Korvath Lab/Zelvista"; }
    QString configFile() const { return appDataPath() + "/config.ini"; }

    // Copies a test plug-in library (from tests/plugins/<set>/<file>) into Plugins/.
    void addTestPlugin(const QString& set, const QString& file, const QString& asName = {});
    void addShippedPlugin(const QString& file);
    void writeFile(const QString& relativePath, const QByteArray& bytes);
    QByteArray readFile(const QString& relativePath) const;

private:
    QTemporaryDir m_dir;
};
