#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
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

// Runs cmake with the arguments; its output when it fails.
testing::AssertionResult runCMake(const QStringList& arguments)
{
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    // The sanitizer runtime the tests preload is not for the compiler.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_PRELOAD");
    cmake.setProcessEnvironment(environment);
    cmake.start(CMAKE_COMMAND_PATH, arguments);
    if (!cmake.waitForFinished(300000) || cmake.exitStatus() != QProcess::NormalExit ||
        cmake.exitCode() != 0)
        return testing::AssertionFailure() << "cmake " << arguments.join(' ').toStdString() << ":\n"
                                           << cmake.readAll().toStdString();
    return testing::AssertionSuccess();
}

} // namespace

TEST(InstallTest, InstalledTreeOpensTheSampleAndIsOfferedForEveryFormatItReads)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    ASSERT_TRUE(runCMake({"--install", ZELVISTA_BUILD_ROOT, "--prefix", prefix.path()}));
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

// A plug-in author's way: build the example against the SDK of an installation, install it into
// that installation's Plugins/, and find it in the installed program.
TEST(InstallTest, ExamplePluginBuiltAgainstTheInstalledSdkRunsInTheInstalledProgram)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString prefix = work.path() + "/prefix";
    const QString build = work.path() + "/example";
    ASSERT_TRUE(runCMake({"--install", ZELVISTA_BUILD_ROOT, "--prefix", prefix}));
    ASSERT_TRUE(runCMake({"-S", ZELVISTA_SOURCE_ROOT "/examples/XyzPointReader", "-B", build,
                          "-DCMAKE_PREFIX_PATH=" + prefix, "-DCMAKE_BUILD_TYPE=Release"}));
    ASSERT_TRUE(runCMake({"--build", build}));
    ASSERT_TRUE(runCMake({"--install", build, "--prefix", prefix}));
    QFile cache(build + "/CMakeCache.txt");
    ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cache.readAll().contains(
        QString("Zelvista_DIR:PATH=" + prefix + "/lib/cmake/Zelvista\n").toUtf8()));

    QTemporaryDir dataHome;
    ProgramRun help(prefix + "/bin/Zelvista", {"-h"}, dataHome.path());
    ASSERT_TRUE(help.waitForExit());
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.standardOutput().contains("--xyz-point-size"))
        << help.standardOutput().toStdString();

    // Red points on a grid, drawn large: the shot shows them, so the reader read them.
    const QString points = work.path() + "/grid.xyz";
    QFile pointFile(points);
    ASSERT_TRUE(pointFile.open(QIODevice::WriteOnly));
    pointFile.write("# x y z r g b\n");
    for (int i = 0; i < 100; ++i)
        pointFile.write(QString("%1 %2 0 255 0 0\n").arg(i % 10).arg(i / 10).toUtf8());
    pointFile.close();
    const QString shot = work.path() + "/shot.png";
    ProgramRun program(
        prefix + "/bin/Zelvista",
        {"--screenshot", shot, "--screenshot-size", "96x96", "--xyz-point-size", "6", points},
        dataHome.path());
    ASSERT_TRUE(program.waitForExit());
    const QString log = program.standardError();
    ASSERT_EQ(program.exitCode(), 0) << log.toStdString();
    EXPECT_TRUE(log.contains("Instantiate XyzPointReader")) << log.toStdString();
    EXPECT_TRUE(log.contains("Instantiate SceneReader")) << log.toStdString();
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            red += colour.red() > 200 && colour.green() < 60 && colour.blue() < 60;
        }
    EXPECT_GT(red, 100) << "red pixels in the shot";
}
