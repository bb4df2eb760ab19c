#include "EventSystem/EventSystem.h"
#include "KernelInterface/IKernel.h"
#include "LogCapture.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "QtUtility/QtEvents.h"
#include "Zelvista.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <osg/Geode>
#include <osg/ShapeDrawable>
#include <osgDB/WriteFile>

namespace {

// A fresh data directory per window, so saved layouts and config.ini never leak between tests.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", m_dir.filePath("xdg").toUtf8());
        qputenv("TMP", m_dir.path().toUtf8());
    }

    std::unique_ptr<Zelvista> makeWindow()
    {
        static char name[] = "Zelvista";
        static char* argv[] = {name, nullptr};
        auto window = std::make_unique<Zelvista>(1, argv);
        window->show();
        QApplication::processEvents();
        return window;
    }

    // Answers the next modal dialog with the given action once it is shown.
    void answerNextDialog(std::function<void(QWidget*)> answer)
    {
        QTimer::singleShot(0, [answer] {
            QWidget* dialog = nullptr;
            for (int i = 0; i < 200 && !dialog; ++i) {
                QApplication::processEvents(QEventLoop::AllEvents, 10);
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (qobject_cast<QDialog*>(widget) && widget->isVisible())
                        dialog = widget;
            }
            if (dialog)
                answer(dialog);
            else
                ADD_FAILURE() << "no dialog to answer";
        });
    }

    QString writeScene(const QString& name, float size)
    {
        osg::ref_ptr<osg::Geode> geode = new osg::Geode;
        geode->setName(name.toStdString());
        geode->addDrawable(new osg::ShapeDrawable(new osg::Box(osg::Vec3(), size)));
        const QString path = m_dir.filePath(name + ".osgt");
        EXPECT_TRUE(osgDB::writeNodeFile(*geode, path.toStdString()));
        return path;
    }

    static std::vector<std::string> childNames(const std::shared_ptr<IOSGModel>& model)
    {
        std::vector<std::string> names;
        osg::ref_ptr<osg::Group> scene = model->getScene();
        for (unsigned i = 0; i < scene->getNumChildren(); ++i)
            names.push_back(scene->getChild(i)->getName());
        return names;
    }

    // Types the file name into the next file dialog, as a user does, and confirms it.
    void chooseInNextFileDialog(const QString& path)
    {
        answerNextDialog([path](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    }

    // Loads are read in the background: waits until every one has ended.
    static bool loadsEnd(const Zelvista& window)
    {
        QDeadlineTimer deadline(30000);
        while (window.isLoading() && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::processEvents();
        return !window.isLoading();
    }

    QTemporaryDir m_dir;
    LogCapture m_log;
};

// Action texts joined by ", "; a separator reads "|".
QString titles(const QList<QAction*>& actions)
{
    QStringList result;
    for (QAction* action : actions)
        result << (action->isSeparator() ? "|" : action->text());
    return result.join(", ");
}

TEST_F(MainWindowTest, HostsPluginContributionsToolBarAndConsole)
{
    auto window = makeWindow();
    auto* toolBar = window->findChild<QToolBar*>("m_MainToolBar");
    ASSERT_NE(toolBar, nullptr);

    // One submenu per plug-in with docks; a second submenu for a plug-in's second menu.
    auto* view = window->findChild<QMenu*>("m_MenuView");
    // Plug-ins in the order the factory made them: by instantiation hint.
    EXPECT_EQ(titles(view->actions()), "TestViewer, DockProviderA, DockProviderB");
    EXPECT_TRUE(view->isEnabled());
    EXPECT_EQ(titles(window->findChild<QMenu*>("m_MenuPlugins")->actions()),
              "DockProviderA, DockProviderB, DockProviderB");
    EXPECT_TRUE(m_log.contains("(plugin 'DockProviderB') already has a parent.\n"));
    EXPECT_TRUE(m_log.contains("Multiple status bars provided, only one supported.\n"));
    EXPECT_EQ(window->statusBar()->objectName(), "AlphaStatusBar");

    QStringList docks;
    QDockWidget* first = nullptr;
    for (QDockWidget* dock : window->findChildren<QDockWidget*>()) {
        if (dock->objectName() == "m_SystemDockWidget")
            continue;
        docks << dock->objectName();
        first = first ? first : dock;
        EXPECT_FALSE(dock->isVisible());
        dock->show();
    }
    EXPECT_EQ(docks.join(", "), "Viewer Settings TestViewer_Default, Alpha Dock, "
                                "Developer forgot to give the widget a title, Beta Dock");
    QApplication::processEvents();
    EXPECT_EQ(window->tabifiedDockWidgets(first).size(), 3);

    // The stand-in viewer is hosted, given the model and handed to navigation and selection.
    EXPECT_TRUE(m_log.contains("TestViewer TestViewer_Default setModel default\n"));
    EXPECT_TRUE(m_log.contains("TestNavigation attachViewer "));
    EXPECT_TRUE(m_log.contains("TestSelection registerViewer TestViewer_Default Selection\n"));

    // The console lists the start-up records, written before it existed.
    QApplication::processEvents();
    auto* console = window->findChild<QTableView*>();
    ASSERT_NE(console, nullptr);
    bool listed = false;
    for (int row = 0; row < console->model()->rowCount(); ++row)
        listed = listed || console->model()->index(row, 2).data().toString().contains(
                               "Instantiate TestViewer");
    EXPECT_TRUE(listed);

    const QImage shot = window->grab().toImage();
    shot.save(QDir(m_dir.path()).filePath("window.png"));
    ASSERT_EQ(shot.size(), window->size() * shot.devicePixelRatio());
    const QRect toolArea = toolBar->geometry();
    QSet<QRgb> colours;
    for (int x = toolArea.left(); x < toolArea.right(); ++x)
        colours.insert(shot.pixel(x, toolArea.center().y()));
    EXPECT_GT(colours.size(), 3) << "the tool bar's icons are drawn";
}

TEST_F(MainWindowTest, LoadAddUndoRedoThroughTheUndoMenu)
{
    auto window = makeWindow();
    const auto model = window->getModel();
    ASSERT_TRUE(model);
    window->loadFile(writeScene("first", 1).toStdString(), true);
    window->loadFile(writeScene("second", 2).toStdString(), false);
    ASSERT_TRUE(loadsEnd(*window));
    EXPECT_EQ(childNames(model),
              (std::vector<std::string>{"BEACONS", "CAMERAS", "first", "second"}));
    EXPECT_EQ(m_log.count("TestViewer TestViewer_Default onSceneLoaded"), 2);

    QAction* undo = model->getUndoAction();
    undo->trigger();
    EXPECT_EQ(childNames(model), (std::vector<std::string>{"BEACONS", "CAMERAS", "first"}));
    model->getRedoAction()->trigger();
    EXPECT_EQ(childNames(model),
              (std::vector<std::string>{"BEACONS", "CAMERAS", "first", "second"}));

    window->loadFile(writeScene("third", 3).toStdString(), true);
    ASSERT_TRUE(loadsEnd(*window));
    EXPECT_EQ(childNames(model), (std::vector<std::string>{"BEACONS", "CAMERAS", "third"}));
    model->getClearUndoAction()->trigger();
    EXPECT_EQ(model->getUndoStack()->count(), 0);
}

TEST_F(MainWindowTest, DropsAskBeforeReplacingAShownScene)
{
    auto window = makeWindow();
    const auto model = window->getModel();
    EventSystem* events = window->getKernel()->getEventSystem();
    auto drop = [&](const QList<QUrl>& urls, const QString& text = {}) {
        QMimeData data;
        if (!urls.isEmpty())
            data.setUrls(urls);
        if (!text.isEmpty())
            data.setText(text);
        QDropEvent event(QPointF(10, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QtEventEvent record(EventType::QtDrop, &event);
        events->dispatch(record);
    };

    // Before anything was loaded, dropped files are added without a question.
    drop({QUrl::fromLocalFile(writeScene("dropped", 1))});
    ASSERT_TRUE(loadsEnd(*window));
    EXPECT_EQ(childNames(model), (std::vector<std::string>{"BEACONS", "CAMERAS", "dropped"}));

    answerNextDialog([](QWidget* dialog) {
        dialog->findChild<QRadioButton*>("createNewSceneRadioButton")->setChecked(true);
        static_cast<QDialog*>(dialog)->accept();
    });
    drop({QUrl::fromLocalFile(writeScene("a", 1)), QUrl::fromLocalFile(writeScene("b", 2)),
          QUrl::fromLocalFile(writeScene("c", 3))});
    ASSERT_TRUE(loadsEnd(*window));
    EXPECT_EQ(childNames(model), (std::vector<std::string>{"BEACONS", "CAMERAS", "a", "b", "c"}));

    drop({}, "just text");
    EXPECT_TRUE(m_log.contains("Dropped object does not contain file path!\n"));
    EXPECT_EQ(childNames(model), (std::vector<std::string>{"BEACONS", "CAMERAS", "a", "b", "c"}));
}

TEST_F(MainWindowTest, NewViewportsAndDisplayModesReachTheViewers)
{
    auto window = makeWindow();
    const QString scene = writeScene("viewport", 1);
    for (int i = 0; i < 2; ++i) {
        chooseInNextFileDialog(scene);
        window->loadInNewViewport();
    }
    ASSERT_TRUE(loadsEnd(*window));
    EXPECT_TRUE(m_log.contains("Creating OSGViewer Zelvista_1\n"));
    EXPECT_TRUE(m_log.contains("Creating OSGModel ZelvistaModel_1\n"));
    EXPECT_TRUE(m_log.contains("TestViewer Zelvista_1 setModel ZelvistaModel_1\n"));
    EXPECT_TRUE(m_log.contains("TestViewer Zelvista_1 onSceneLoaded\n"));
    EXPECT_TRUE(m_log.contains("TestNavigation attachViewer Zelvista_1 Zelvista_1\n"));
    EXPECT_TRUE(m_log.contains("TestSelection registerViewer Zelvista_1 Selection\n"));

    window->findChild<QAction*>("m_ActionSideBySideStereoLR")->setChecked(true);
    EXPECT_TRUE(m_log.contains("TestViewer TestViewer_Default setSideBySideStereo 1\n"));
    window->findChild<QAction*>("m_ActionHMDSettings")->setChecked(true);
    EXPECT_TRUE(m_log.contains("TestViewer TestViewer_Default setHeadMountedDisplay 0 1\n"));

    auto* renderFull = window->findChild<QAction*>("m_ActionRenderWindowFullScreen");
    answerNextDialog([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    renderFull->setChecked(true);
    EXPECT_TRUE(m_log.contains("setRenderWindowFullScreen 1 0\n")); // the primary screen
    renderFull->setChecked(false);
    EXPECT_TRUE(m_log.contains("setRenderWindowFullScreen 0\n"));

    answerNextDialog([](QWidget* dialog) {
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
            box->setChecked(false);
        static_cast<QDialog*>(dialog)->accept();
    });
    m_log.clear();
    renderFull->setChecked(true);
    EXPECT_FALSE(renderFull->isChecked());
    EXPECT_FALSE(m_log.contains("setRenderWindowFullScreen 1"));
}

TEST_F(MainWindowTest, LayoutsComeBackFromTheDataDirectoryAndNamedFiles)
{
    {
        auto window = makeWindow();
        window->findChild<QDockWidget*>("Beta Dock")->show();
        window->findChild<QToolBar*>("m_MainToolBar")->hide();
        window->saveLayout();
    }
    {
        auto window = makeWindow();
        EXPECT_TRUE(window->findChild<QDockWidget*>("Beta Dock")->isVisible());
        EXPECT_FALSE(window->findChild<QToolBar*>("m_MainToolBar")->isVisible());

        window->findChild<QDockWidget*>("Beta Dock")->hide();
        const QString named = m_dir.filePath("my.view.layout");
        chooseInNextFileDialog(named);
        window->saveLayoutAsFile();
        EXPECT_TRUE(QFile::exists(m_dir.filePath("my.layout")));
        EXPECT_TRUE(QFile::exists(m_dir.filePath("my.geometry")));

        window->findChild<QDockWidget*>("Beta Dock")->show();
        chooseInNextFileDialog(QFileInfo(named).dir().filePath("my.geometry"));
        window->loadLayoutFromFile();
        EXPECT_FALSE(window->findChild<QDockWidget*>("Beta Dock")->isVisible());
    }
}

} // namespace
