#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <csignal>
#include <gtest/gtest.h>

namespace {

// glob pattern ("*.stl") -> MIME type, from a shared-mime-info package file.
void readGlobs(const QString& path, QMap<QString, QString>& globs)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    QString type;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("mime-type"))
            type = xml.attributes().value("type").toString();
        else if (xml.name() == QLatin1String("glob"))
            globs.insert(xml.attributes().value("pattern").toString(), type);
    }
    ASSERT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
}

QMap<QString, QString> desktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

} // namespace

TEST(InstallTest, InstalledTreeOpensTheSampleAndIsOfferedForEveryFormatItReads)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(CMAKE_COMMAND_PATH,
                  {"--install", ZELVISTA_BUILD_ROOT, "--prefix", prefix.path()});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();
    const QString root = prefix.path();

    const auto entry = desktopEntry(root + "/share/applications/zelvista.desktop");
    EXPECT_EQ(entry.value("Exec"), root + "/bin/Zelvista %f");
    EXPECT_TRUE(QFileInfo(root + "/share/icons/hicolor/32x32/apps/" + entry.value("Icon") + ".png")
                    .isFile());
    const QStringList offeredList = entry.value("MimeType").split(';', Qt::SkipEmptyParts);
    const QSet<QString> offeredTypes(offeredList.begin(), offeredList.end());

    // Types the system's database knows, and those the installation adds to it.
    QMap<QString, QString> globs;
    readGlobs(root + "/share/mime/packages/zelvista.xml", globs);
    const QList<QString> ownList = globs.values();
    const QSet<QString> ownTypes(ownList.begin(), ownList.end());
    readGlobs("/usr/share/mime/packages/freedesktop.org.xml", globs);
    const QList<QString> knownList = globs.values();
    const QSet<QString> knownTypes(knownList.begin(), knownList.end());
    for (const QString& type : offeredTypes)
        EXPECT_TRUE(knownTypes.contains(type)) << "unknown MIME type " << type.toStdString();
    for (const QString& type : ownTypes)
        EXPECT_TRUE(offeredTypes.contains(type)) << type.toStdString() << " is not offered";

    // The installed program, as a file manager starts it on a scene file.
    QTemporaryDir dataHome;
    ProgramRun program(root + "/bin/Zelvista", {root + "/Media/samples/sample.osgt"},
                       dataHome.path());
    ASSERT_TRUE(program.waitForLog("SceneReader::read: Read "))
        << program.standardError().toStdString();
    program.sendSignal(SIGTERM);
    ASSERT_TRUE(program.waitForExit());
    EXPECT_EQ(program.exitCode(), 0) << program.standardError().toStdString();

    // Every extension the installed reader offers opens Zelvista from a file manager.
    const QRegularExpression readerRecord("Found loader plugIn for extension\\(s\\) ([^\\n]*)");
    const QString filter = readerRecord.match(program.standardError()).captured(1);
    ASSERT_FALSE(filter.isEmpty()) << program.standardError().toStdString();
    const QRegularExpression pattern("\\*\\.[A-Za-z0-9]+");
    int extensions = 0;
    for (auto match = pattern.globalMatch(filter); match.hasNext(); ++extensions) {
        const QString glob = match.next().captured(0);
        EXPECT_TRUE(offeredTypes.contains(globs.value(glob)))
            << glob.toStdString() << " has no MIME type the desktop entry offers";
    }
    EXPECT_GT(extensions, 5);
}
