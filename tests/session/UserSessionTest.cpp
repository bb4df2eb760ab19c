#include "KernelInterface/IKernel.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "WhenShown.h"
#include "Zelvista.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>
#include <functional>
#include <gtest/gtest.h>
#include <osgViewer/View>
#include <sstream>

// A user's session with the whole program in this process: the test executable lies in a bin/
// folder next to Plugins/ holding the shipped viewer, scene reader and writer, navigation and
// selection, so the window finds them as the installed program does. Every step goes through
// the window's menus, dialogs and docks.
namespace {

const QString sample = QString(ZELVISTA_BUILD_ROOT) + "/Media/samples/sample.osgt";

// Names and classes below a node, as text.
void describe(const osg::Node& node, std::ostream& out)
{
    out << node.getName() << ":" << node.className();
    const osg::Group* group = node.asGroup();
    if (!group || group->getNumChildren() == 0)
        return;
    out << "(";
    for (unsigned int i = 0; i < group->getNumChildren(); ++i) {
        describe(*group->getChild(i), out);
        out << " ";
    }
    out << ")";
}

std::string describe(const osg::Node& node)
{
    std::ostringstream out;
    describe(node, out);
    return out.str();
}

class UserSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", m_dir.filePath("xdg").toUtf8());
        qputenv("TMP", m_dir.path().toUtf8());
        static char name[] = "Zelvista";
        static char option[] = "--loadFile";
        static QByteArray file = sample.toUtf8();
        static char* argv[] = {name, option, file.data(), nullptr};
        m_window = std::make_unique<Zelvista>(3, argv);
        m_window->resize(1000, 700);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        m_model = m_window->getModel();
        ASSERT_NE(m_model, nullptr);
        ASSERT_TRUE(loadsEnd());
        ASSERT_GT(m_model->getScene()->getNumChildren(), 2u) << "the sample did not load";
        m_tree = sceneDockTree();
        ASSERT_NE(m_tree, nullptr);
    }

    // Files are read in the background: waits until every load has ended.
    bool loadsEnd() const
    {
        QDeadlineTimer deadline(60000);
        while (m_window->isLoading() && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        // What the load's events queued (the scene dock's refresh) runs too.
        QApplication::processEvents();
        return !m_window->isLoading();
    }

    QTreeView* sceneDockTree() const
    {
        for (QDockWidget* dock : m_window->findChildren<QDockWidget*>())
            if (dock->windowTitle() == "Scene")
                return dock->findChild<QTreeView*>();
        return nullptr;
    }

    QAction* action(const char* objectName) const
    {
        return m_window->findChild<QAction*>(objectName);
    }

    // Types the path into the next file dialog under the named filter entry (the one the
    // dialog opens with when empty) and confirms it.
    void chooseFile(const QString& path, const QString& filterStart = {})
    {
        whenShown<QFileDialog>([path, filterStart](QFileDialog* dialog) {
            if (!filterStart.isEmpty())
                for (const QString& entry : dialog->nameFilters())
                    if (entry.startsWith(filterStart)) {
                        dialog->selectNameFilter(entry);
                        emit dialog->filterSelected(entry);
                    }
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
            static_cast<QDialog*>(dialog)->accept();
        });
    }

    // The row of the first node of that name (column 0) or class (column 1) in the dock.
    QModelIndex find(const QString& text, int column = 0, const QModelIndex& parent = {}) const
    {
        QAbstractItemModel* items = m_tree->model();
        for (int row = 0; row < items->rowCount(parent); ++row) {
            const QModelIndex index = items->index(row, 0, parent);
            if (items->index(row, column, parent).data().toString() == text)
                return index;
            if (QModelIndex below = find(text, column, index); below.isValid())
                return below;
        }
        return {};
    }

    // A drag in the dock, as the view performs it on drop.
    bool drag(const QModelIndex& moved, const QModelIndex& target) const
    {
        QAbstractItemModel* items = m_tree->model();
        const bool draggable = items->flags(moved) & Qt::ItemIsDragEnabled;
        std::unique_ptr<QMimeData> data(items->mimeData({moved}));
        const bool accepted = items->canDropMimeData(data.get(), Qt::MoveAction, -1, 0, target);
        // A view that ignored the answer must not break the graph either.
        const bool dropped = items->dropMimeData(data.get(), Qt::MoveAction, -1, 0, target);
        EXPECT_EQ(accepted, dropped);
        QApplication::processEvents();
        return draggable && dropped;
    }

    QStringList consoleErrors() const
    {
        QStringList errors;
        for (QTableView* table : m_window->findChildren<QTableView*>()) {
            auto* proxy = qobject_cast<QSortFilterProxyModel*>(table->model());
            const QAbstractItemModel* rows = proxy ? proxy->sourceModel() : nullptr;
            for (int row = 0; rows && row < rows->rowCount(); ++row)
                if (rows->index(row, 0).data().toString() == "ERROR")
                    errors << rows->index(row, 2).data().toString();
        }
        return errors;
    }

    std::unique_ptr<OSGModel> freshModel() const
    {
        IKernel& kernel = *m_window->getKernel();
        return std::make_unique<OSGModel>(kernel.getPluginFactory(), kernel.getEventSystem(),
                                          "reloaded", Uuid{});
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Zelvista> m_window;
    std::shared_ptr<IOSGModel> m_model;
    QTreeView* m_tree = nullptr;
};

TEST_F(UserSessionTest, OnlyTheLoadedContentMovesInTheSceneDock)
{
    const QModelIndex stage = find("ForwardStage", 1);
    ASSERT_TRUE(stage.isValid()) << "the viewer's pipeline is not in the dock";
    const int undoable = m_model->getUndoStack()->count();
    for (const char* target : {"TOOLS", "SCENE", "BEACONS"})
        EXPECT_FALSE(drag(stage, find(target))) << target;
    EXPECT_FALSE(drag(find("TOOLS"), find("SCENE")));
    EXPECT_FALSE(drag(find("BEACONS"), find("SCENE")));
    EXPECT_EQ(m_model->getUndoStack()->count(), undoable);

    const QModelIndex content = m_tree->model()->index(2, 0, find("SCENE"));
    ASSERT_TRUE(content.isValid());
    EXPECT_FALSE(drag(content, find("TOOLS")));
    EXPECT_FALSE(drag(content, find("STAGES")));
    EXPECT_TRUE(drag(content, find("BEACONS")));
    EXPECT_EQ(m_model->getUndoStack()->count(), undoable + 1);
    // The window still draws and computes the view's bounds.
    EXPECT_TRUE(m_model->getRoot()->getBound().valid());
}

TEST_F(UserSessionTest, LoadMoveUndoRedoSaveLeavesAFileThatReadsBackAsShown)
{
    // The load dialog shows the native files under the type it opens with.
    whenShown<QFileDialog>([](QFileDialog* dialog) {
        dialog->setDirectory(QFileInfo(sample).absolutePath());
        auto* files = dialog->findChild<QListView*>("listView");
        bool listed = false;
        QDeadlineTimer deadline(10000);
        while (!listed && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            for (int row = 0; row < files->model()->rowCount(files->rootIndex()); ++row)
                listed = listed ||
                         files->model()->index(row, 0, files->rootIndex()).data() == "sample.osgt";
        }
        EXPECT_TRUE(listed) << dialog->selectedNameFilter().toStdString();
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(sample);
        static_cast<QDialog*>(dialog)->accept();
    });
    action("m_ActionLoad")->trigger();
    ASSERT_TRUE(loadsEnd());
    ASSERT_EQ(m_model->getUndoStack()->count(), 2);

    const QModelIndex content = m_tree->model()->index(2, 0, find("SCENE"));
    ASSERT_TRUE(drag(content, find("BEACONS")));
    const std::string shown = describe(*m_model->getFileRoot());
    m_model->getUndoAction()->trigger();
    m_model->getUndoAction()->trigger();
    m_model->getRedoAction()->trigger();
    m_model->getRedoAction()->trigger();
    ASSERT_EQ(describe(*m_model->getFileRoot()), shown);

    // Typed without an extension: the chosen type's is added.
    chooseFile(m_dir.filePath("mine"));
    action("m_ActionSave")->trigger();
    ASSERT_TRUE(QFileInfo::exists(m_dir.filePath("mine.osgt")));
    std::unique_ptr<OSGModel> reloaded = freshModel();
    osg::ref_ptr<osg::Node> saved =
        reloaded->loadNodeFromFile(m_dir.filePath("mine.osgt").toStdString());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(describe(*saved), shown);
}

TEST_F(UserSessionTest, FailedLoadsAndSavesTellWhyAndKeepTheHistory)
{
    const int undoable = m_model->getUndoStack()->count();
    const QString bad = m_dir.filePath("bad.xyz");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a scene");
    file.close();

    chooseFile(bad, "All Files");
    action("m_ActionLoad")->trigger();
    ASSERT_TRUE(loadsEnd());
    EXPECT_EQ(m_model->getUndoStack()->count(), undoable);
    const QString status = m_window->statusBar()->currentMessage();
    EXPECT_TRUE(status.contains("bad.xyz") && status.contains(".xyz\"")) << status.toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(consoleErrors().filter("bad.xyz").size() == 1, 5000);

    for (const QString& name : {QString("scene.ply"), QString("no-folder/scene.osgt")}) {
        chooseFile(m_dir.filePath(name), "All Files");
        action("m_ActionSave")->trigger();
        EXPECT_EQ(m_model->getUndoStack()->count(), undoable) << name.toStdString();
        EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(name)));
        QMessageBox* box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((box = m_window->findChild<QMessageBox*>()) != nullptr, 5000);
        EXPECT_TRUE(box->text().contains(name)) << box->text().toStdString();
        box->close();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->findChild<QMessageBox*>() == nullptr, 5000);
    }
}

TEST_F(UserSessionTest, EscapeCancelsALoadAndLeavesTheSceneAndTheHistory)
{
    const std::string shown = describe(*m_model->getFileRoot());
    const int undoable = m_model->getUndoStack()->count();
    QWidget* viewer = m_window->getDefaultViewer()->getWidget();
    // The helper waits before it reads, as a large file keeps it busy.
    qputenv("ZELVISTA_TEST_READER_DELAY_MS", "60000");
    m_window->loadFile(sample.toStdString(), true);
    ASSERT_TRUE(m_window->isLoading());
    EXPECT_TRUE(m_window->statusBar()->currentMessage().contains("sample.osgt"));
    QTest::keyClick(viewer, Qt::Key_Escape);
    QDeadlineTimer deadline(10000);
    while (m_window->isLoading() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    qunsetenv("ZELVISTA_TEST_READER_DELAY_MS");
    ASSERT_FALSE(m_window->isLoading()) << "Escape did not cancel the load";
    EXPECT_EQ(describe(*m_model->getFileRoot()), shown);
    EXPECT_EQ(m_model->getUndoStack()->count(), undoable);
    EXPECT_TRUE(m_window->statusBar()->currentMessage().contains("cancelled"))
        << m_window->statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(consoleErrors().filter("sample.osgt").isEmpty());

    // Escape goes to the viewer again (it clears the selection) and the next load works.
    QTest::keyClick(viewer, Qt::Key_Escape);
    m_window->loadFile(sample.toStdString(), false);
    ASSERT_TRUE(loadsEnd());
    EXPECT_EQ(m_model->getUndoStack()->count(), undoable + 1);
}

TEST_F(UserSessionTest, FullScreenRenderWindowEndsWithF10AndEscape)
{
    IOSGViewer* viewer = m_window->getDefaultViewer();
    ASSERT_NE(viewer, nullptr);
    QWidget* widget = viewer->getWidget();
    QAction* fullScreen = action("m_ActionRenderWindowFullScreen");
    for (const Qt::Key key : {Qt::Key_F10, Qt::Key_Escape}) {
        whenShown<QDialog>([](QDialog* dialog) { dialog->accept(); });
        fullScreen->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(widget->isWindow() && widget->isVisible(), 5000);
        QTest::keyClick(widget, key);
        QTRY_VERIFY_WITH_TIMEOUT(!widget->isWindow(), 5000);
        EXPECT_FALSE(fullScreen->isChecked());
        EXPECT_EQ(widget->window(), m_window.get());
    }
}

// Where the green sphere is drawn: the centre of its pixels, in the widget's physical pixels.
QPointF sphereCentre(const QImage& frame)
{
    double x = 0, y = 0;
    int count = 0;
    for (int row = 0; row < frame.height(); ++row)
        for (int column = 0; column < frame.width(); ++column) {
            const QColor c = frame.pixelColor(column, row);
            if (c.green() > 60 && c.green() > c.red() + 40 && c.green() > c.blue() + 40) {
                x += column;
                y += row;
                ++count;
            }
        }
    return count ? QPointF(x / count, y / count) : QPointF(-1, -1);
}

TEST_F(UserSessionTest, TheXArrowOfTheSelectedObjectMovesItAlongXAndUndoPutsItBack)
{
    IOSGViewer* viewer = m_window->getDefaultViewer();
    ASSERT_NE(viewer, nullptr);
    auto* widget = qobject_cast<QOpenGLWidget*>(viewer->getWidget());
    ASSERT_NE(widget, nullptr);
    const osg::Camera& camera = *viewer->getScene()->getCamera();
    auto at = [&](const osg::Vec3d& world) {
        const osg::Vec3d window = world * camera.getViewMatrix() * camera.getProjectionMatrix() *
                                  camera.getViewport()->computeWindowMatrix();
        const double ratio = widget->devicePixelRatioF();
        return QPoint(int(window.x() / ratio),
                      int((camera.getViewport()->height() - window.y()) / ratio));
    };
    auto mouse = [&](QEvent::Type type, QPoint point, Qt::MouseButton button,
                     Qt::MouseButtons held) {
        QMouseEvent event(type, point, widget->mapToGlobal(point), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    auto frame = [&] {
        QCoreApplication::processEvents();
        return widget->grabFramebuffer();
    };
    osg::Node* sphere = nullptr;
    for (unsigned int i = 0; i < m_model->getScene()->getNumChildren(); ++i)
        if (m_model->getScene()->getChild(i)->getName() == "Sphere")
            sphere = m_model->getScene()->getChild(i);
    ASSERT_NE(sphere, nullptr);
    const osg::Vec3d centre = osg::Vec3d(sphere->getBound().center()) *
                              osg::computeLocalToWorld(sphere->getParentalNodePaths().front());
    const QPointF shownBefore = sphereCentre(frame());

    mouse(QEvent::MouseButtonPress, at(centre), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at(centre), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(m_model->getSelectedNodes().size(), 1u);
    ASSERT_EQ(m_model->getSelectedNodes().begin()->get(), sphere);

    // The handles stand 1.25 bounding radii out; the arrow's head lies beyond the rings.
    const double scale = sphere->getBound().radius() * 1.25;
    const osg::Vec3d onArrow = centre + osg::Vec3d(1.3 * scale, 0, 0);
    const QPoint from = at(onArrow);
    const QPoint to = at(onArrow + osg::Vec3d(2, 0, 0));
    mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 5; ++step)
        mouse(QEvent::MouseMove, from + (to - from) * step / 5, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(m_model->getUndoStack()->undoText(), "Move Object");
    const osg::Vec3d moved = osg::Vec3d(sphere->getBound().center()) *
                             osg::computeLocalToWorld(sphere->getParentalNodePaths().front());
    EXPECT_NEAR(moved.x() - centre.x(), 2.0, 0.15);
    EXPECT_NEAR(moved.y(), centre.y(), 1e-6);
    EXPECT_NEAR(moved.z(), centre.z(), 1e-6);

    // Without the handles in the way, the sphere is drawn further right, at the same height.
    QTest::keyClick(widget, Qt::Key_Escape);
    const QImage movedFrame = frame();
    const QPointF shownMoved = sphereCentre(movedFrame);
    EXPECT_GT(shownMoved.x() - shownBefore.x(), (to.x() - from.x()) * 0.8);
    EXPECT_NEAR(shownMoved.y(), shownBefore.y(), 3.0);

    m_model->getUndoAction()->trigger();
    const QPointF shownAfterUndo = sphereCentre(frame());
    EXPECT_NEAR(shownAfterUndo.x(), shownBefore.x(), 1.0);
    EXPECT_NEAR(shownAfterUndo.y(), shownBefore.y(), 1.0);
    EXPECT_EQ(sphere->getParent(0), m_model->getScene().get());

    // With the sphere selected again, a drag beside its handles turns the camera instead.
    mouse(QEvent::MouseButtonPress, at(centre), Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at(centre), Qt::LeftButton, Qt::NoButton);
    const int steps = m_model->getUndoStack()->count();
    const osg::Matrixd view = camera.getViewMatrix();
    const QPoint corner(20, 20);
    mouse(QEvent::MouseButtonPress, corner, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 5; ++step)
        mouse(QEvent::MouseMove, corner + QPoint(20 * step, 0), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, corner + QPoint(100, 0), Qt::LeftButton, Qt::NoButton);
    EXPECT_NE(camera.getViewMatrix(), view) << "navigation did not get the drag";
    EXPECT_EQ(m_model->getUndoStack()->count(), steps);
    if (::testing::Test::HasFailure())
        movedFrame.save(QString(ZELVISTA_BUILD_ROOT) + "/tests/rendering-failures/Manipulator.png");
}

} // namespace
