#include "ApplicationBase/KernelAPI.h"
#include "LogCapture.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "ViewerFixture.h"
#include "WhenShown.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <boost/program_options/variables_map.hpp>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {

namespace po = boost::program_options;

// Answers every message box shown while it lives and keeps its text, so that a box the test
// does not expect fails it instead of waiting for a click that never comes.
class MessageBoxAnswerer
{
public:
    MessageBoxAnswerer()
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_texts << box->text();
                box->accept();
            }
        });
        m_poll.start(10);
    }

    const QStringList& texts() const { return m_texts; }

private:
    QTimer m_poll;
    QStringList m_texts;
};

class ViewerScreenshotTest : public ViewerFixture
{
protected:
    std::shared_ptr<OSGModel> redBoxModel()
    {
        auto model = createModel("box");
        model->getScene()->addChild(makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1)));
        return model;
    }

    void setOption(const char* name, const std::string& value)
    {
        kernel().getVariables().insert({name, po::variable_value(boost::any(value), false)});
    }

    // Answers the size dialog as it comes and the file dialog with that file, through the
    // viewer's Save Screenshot action.
    // proposedName: what the file dialog's name box held when it opened.
    void saveScreenshot(IOSGViewer& viewer, const QString& target, QString* proposedName = nullptr)
    {
        auto* interaction = dynamic_cast<IQtInteraction*>(&viewer);
        ASSERT_NE(interaction, nullptr);
        ASSERT_EQ(interaction->getToolBars().size(), 1u);
        QAction* action = interaction->getToolBars().front()->actions().value(0);
        ASSERT_NE(action, nullptr);
        whenShown<QDialog>([target, proposedName](QDialog* dialog) {
            whenShown<QFileDialog>([target, proposedName](QFileDialog* fileDialog) {
                auto* name = fileDialog->findChild<QLineEdit*>("fileNameEdit");
                if (proposedName)
                    *proposedName = name->text();
                name->setText(target);
                static_cast<QDialog*>(fileDialog)->accept();
            });
            dialog->accept();
        });
        action->trigger();
    }

    // The exit code a batch screenshot ends the application's event loop with.
    int runBatch(const std::shared_ptr<OSGModel>& model, bool loaded)
    {
        IOSGViewer* viewer = createViewer("Batch");
        EXPECT_NE(viewer, nullptr);
        if (!viewer)
            return -1;
        EXPECT_EQ(kernel().getVariables().count("screenshot"), 0u) << "kept for config.ini";
        viewer->setModel(model);
        // As the window ends a read of the scene given.
        if (loaded)
            viewer->onSceneLoaded();
        else
            viewer->onSceneLoadFailed();
        QTimer timeOut;
        timeOut.setSingleShot(true);
        QObject::connect(&timeOut, &QTimer::timeout, [] { QCoreApplication::exit(-2); });
        timeOut.start(60000);
        return QCoreApplication::exec();
    }
};

TEST_F(ViewerScreenshotTest, ABatchScreenshotNeedsNoShownWindowAndEndsWithItsExitCode)
{
    const QString shot = file("batch.png");
    setOption("screenshot", shot.toStdString());
    setOption("screenshot-size", "1200x800");
    ASSERT_EQ(runBatch(redBoxModel(), true), 0);
    // Read by Qt: the reader plug-in's osgDB gate refuses image files in this process.
    const QImage written(shot);
    ASSERT_EQ(written.size(), QSize(1200, 800));
    EXPECT_TRUE(pixelIs(written, 600, 400, Red, 2));
    EXPECT_TRUE(pixelIs(written, 5, 5, DefaultBackground, 2));
}

TEST_F(ViewerScreenshotTest, ABatchScreenshotThatCannotBeTakenEndsWithOneAndSaysWhy)
{
    setOption("screenshot", file("zero.png").toStdString());
    setOption("screenshot-size", "0x600");
    EXPECT_EQ(runBatch(redBoxModel(), true), 1);
    EXPECT_TRUE(log().contains("zero image resolution not allowed (0 600)"));

    setOption("screenshot", file("sized.png").toStdString());
    setOption("screenshot-size", "wide");
    EXPECT_EQ(runBatch(redBoxModel(), true), 1);
    EXPECT_TRUE(log().contains("\"wide\" is not WIDTHxHEIGHT"));

    log().clear();
    setOption("screenshot", file("missing/folder/shot.png").toStdString());
    EXPECT_EQ(runBatch(redBoxModel(), true), 1);
    EXPECT_TRUE(log().contains(file("missing/folder").toStdString() + ": "));
    EXPECT_FALSE(log().contains("Screenshot tiling")) << "rendered before the folder was checked";

    setOption("screenshot", file("unloaded.png").toStdString());
    setOption("loadFile", "scene.osgt");
    EXPECT_EQ(runBatch(redBoxModel(), false), 1);
    EXPECT_TRUE(log().contains("the scene given could not be loaded"));
    for (const char* name : {"zero.png", "sized.png", "unloaded.png"})
        EXPECT_FALSE(QFile::exists(file(name))) << name;
}

TEST_F(ViewerScreenshotTest, SaveScreenshotAsksForSizeAndFileAndWritesWhatTheViewShows)
{
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(redBoxModel());
    show(*viewer);
    auto* interaction = dynamic_cast<IQtInteraction*>(viewer);
    ASSERT_NE(interaction, nullptr);
    ASSERT_EQ(interaction->getToolBars().size(), 1u);
    QAction* action = interaction->getToolBars().front()->actions().value(0);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "Save Screenshot...");
    EXPECT_NE(interaction->getDockWidgets().front()->findChild<QToolButton*>(), nullptr);

    MessageBoxAnswerer boxes;
    QString note;
    // Typed without an extension: the chosen type's is added.
    const QString dialogFile = file("shot");
    whenShown<QDialog>([&note, dialogFile](QDialog* dialog) {
        ASSERT_EQ(dialog->objectName(), "ScreenshotDialog");
        auto* multiplier = dialog->findChild<QSpinBox*>("multiplier");
        auto* width = dialog->findChild<QSpinBox*>("width");
        auto* height = dialog->findChild<QSpinBox*>("height");
        EXPECT_EQ(width->value(), Width);
        multiplier->setValue(2);
        EXPECT_EQ(height->value(), 2 * Height);
        width->setValue(30000);
        note = dialog->findChild<QLabel*>("note")->text();
        width->setValue(2 * Width + 100);
        whenShown<QFileDialog>([dialogFile](QFileDialog* fileDialog) {
            for (const QString& filter : fileDialog->nameFilters())
                if (filter.startsWith("JPEG")) {
                    fileDialog->selectNameFilter(filter);
                    emit fileDialog->filterSelected(filter);
                }
            fileDialog->findChild<QLineEdit*>("fileNameEdit")->setText(dialogFile);
            static_cast<QDialog*>(fileDialog)->accept();
        });
        dialog->accept();
    });
    action->trigger();

    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("\n").toStdString();
    EXPECT_TRUE(note.contains("14832 x 118")) << note.toStdString();
    const QImage written(file("shot.jpg"));
    ASSERT_EQ(written.size(), QSize(2 * Width + 100, 2 * Height)) << "no shot.jpg";
    EXPECT_TRUE(pixelIs(written, written.width() / 2, written.height() / 2, Red, 16));
}

TEST_F(ViewerScreenshotTest, SaveScreenshotIntoAMissingFolderSaysSoBeforeRendering)
{
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(redBoxModel());
    show(*viewer);

    MessageBoxAnswerer boxes;
    saveScreenshot(*viewer, file("missing/folder/shot.png"));

    ASSERT_EQ(boxes.texts().size(), 1) << boxes.texts().join("\n").toStdString();
    const QString warning = boxes.texts().front();
    EXPECT_TRUE(warning.contains(file("missing/folder") + ":")) << warning.toStdString();
    EXPECT_TRUE(warning.contains(QString::fromLocal8Bit(std::strerror(ENOENT))))
        << warning.toStdString();
    EXPECT_FALSE(log().contains("Screenshot tiling")) << "rendered before the folder was checked";
    EXPECT_FALSE(QFileInfo::exists(file("missing")));

    // The next dialog does not start from the missing folder, which it would offer as a file name.
    QString proposed;
    saveScreenshot(*viewer, file("shot.png"), &proposed);
    EXPECT_TRUE(proposed.isEmpty()) << proposed.toStdString();
    EXPECT_TRUE(QFileInfo::exists(file("shot.png")));
}

// A viewer's graphics window takes a context number of OpenSceneGraph's; one that never drew
// must leave that number fit for the next window that takes it.
TEST_F(ViewerScreenshotTest, AViewerNeverShownLeavesTheNextViewerAbleToTakeScreenshots)
{
    IOSGViewer* unshown = createViewer("Unshown");
    ASSERT_NE(unshown, nullptr);
    unshown->setModel(redBoxModel());
    ASSERT_TRUE(kernel().getPluginFactory()->destroyInstance(dynamic_cast<IPlugin*>(unshown)));

    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(redBoxModel());
    show(*viewer);
    MessageBoxAnswerer boxes;
    saveScreenshot(*viewer, file("shot.png"));

    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("\n").toStdString();
    EXPECT_FALSE(log().contains("FBO support required"));
    const QImage written(file("shot.png"));
    ASSERT_EQ(written.size(), QSize(Width, Height)) << "no shot.png";
    EXPECT_TRUE(pixelIs(written, Width / 2, Height / 2, Red, 16));
}

} // namespace
