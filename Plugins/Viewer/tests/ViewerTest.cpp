#include "ApplicationBase/KernelAPI.h"
#include "EventSystem/EventHandler.h"
#include "EventSystem/EventSystem.h"
#include "LogCapture.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "QtUtility/QtEvents.h"
#include "ViewerFixture.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QUrl>
#include <osg/Geode>
#include <osg/PagedLOD>
#include <osgDB/DatabasePager>
#include <osgDB/WriteFile>
#include <osgGA/CameraManipulator>
#include <osgViewer/View>

namespace {

struct DrawCounter : osg::Drawable::DrawCallback
{
    void drawImplementation(osg::RenderInfo& info, const osg::Drawable* drawable) const override
    {
        ++count;
        drawable->drawImplementation(info);
    }
    mutable int count = 0;
};

struct PaintCounter : QObject
{
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

// Records what reaches the event system from the viewer's widget.
class Recorder : public EventHandler
{
public:
    explicit Recorder(EventSystem* events)
        : EventHandler(events, "Recorder", EventType::QtInput | EventType::QtDrop)
    {}

    bool handleEvent(Event& event) override
    {
        QEvent* qtEvent = event.type == EventType::QtInput
                              ? static_cast<QtInputEvent&>(event).qtEvent
                              : static_cast<QtEventEvent&>(event).qtEvent;
        if (event.type == EventType::QtInput)
            sources.push_back(static_cast<QtInputEvent&>(event).source);
        seen.emplace_back(event.type, qtEvent->type());
        return false;
    }

    std::vector<std::pair<std::uint32_t, QEvent::Type>> seen;
    std::vector<QObject*> sources;
};

// Where a world point lands in the widget, counted from the top left.
QPoint screenPoint(IOSGViewer& viewer, const osg::Vec3& world)
{
    const osg::Camera& camera = *viewer.getScene()->getCamera();
    const osg::Matrixd toWindow = camera.getViewMatrix() * camera.getProjectionMatrix() *
                                  camera.getViewport()->computeWindowMatrix();
    const osg::Vec3 window = world * toWindow;
    return QPoint(int(window.x()), int(camera.getViewport()->height() - window.y()));
}

void lookAt(IOSGViewer& viewer, const osg::Vec3d& eye, const osg::Vec3d& center)
{
    const osg::Matrixd view = osg::Matrixd::lookAt(eye, center, osg::Vec3d(0, 0, 1));
    if (osgGA::CameraManipulator* manipulator = viewer.getScene()->getCameraManipulator())
        manipulator->setByInverseMatrix(view);
    viewer.getScene()->getCamera()->setViewMatrix(view);
}

QListWidget* modeList(IOSGViewer& viewer)
{
    auto* interaction = dynamic_cast<IQtInteraction*>(&viewer);
    if (!interaction || interaction->getDockWidgets().empty())
        return nullptr;
    return interaction->getDockWidgets().front()->findChild<QListWidget*>("renderModes");
}

class ViewerRenderingTest : public ViewerFixture
{};

TEST_F(ViewerRenderingTest, DrawsTheModelOnceThroughItsStageWithVertexBuffers)
{
    auto model = createModel("boxes");
    osg::ref_ptr<osg::Geometry> box = makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1));
    osg::ref_ptr<DrawCounter> draws = new DrawCounter;
    box->setDrawCallback(draws);
    model->getScene()->addChild(box);

    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    viewer->onSceneLoaded();
    EXPECT_FALSE(box->getUseDisplayList());
    EXPECT_TRUE(box->getUseVertexBufferObjects());
    EXPECT_TRUE(box->getNodeMask() & 1u);
    ASSERT_EQ(model->getStages()->getNumChildren(), 1u);
    EXPECT_EQ(viewer->getScene()->getSceneData(), model->getStages()->getChild(0));

    show(*viewer);
    draws->count = 0;
    const QImage image = grab(*viewer);
    EXPECT_EQ(draws->count, 1);
    EXPECT_TRUE(pixelIs(image, Width / 2, Height / 2, Red));
    for (const QPoint corner :
         {QPoint(1, 1), QPoint(Width - 2, 1), QPoint(1, Height - 2), QPoint(Width - 2, Height - 2)})
        EXPECT_TRUE(pixelIs(image, corner.x(), corner.y(), DefaultBackground));
    keepImageOnFailure(image, "ViewerRedBox");
}

// What a scene names is the reader helper's to load, or nobody's: never the viewer's pager.
TEST_F(ViewerRenderingTest, ThePagerLoadsNothingAScenesNames)
{
    osg::ref_ptr<osg::Geode> part = new osg::Geode;
    part->addDrawable(makeBox(osg::Vec3(), 1.0f, osg::Vec4(0, 1, 0, 1)));
    ASSERT_TRUE(osgDB::writeNodeFile(*part, file("part.osgt").toStdString()));
    osg::ref_ptr<osg::PagedLOD> paged = new osg::PagedLOD;
    paged->setFileName(0, file("part.osgt").toStdString());
    paged->setRange(0, 0, 1e30f);
    auto model = createModel("paged");
    model->getScene()->addChild(paged);
    model->getScene()->addChild(makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1)));

    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    viewer->onSceneLoaded();
    show(*viewer);
    const QImage image = grab(*viewer);
    osgDB::DatabasePager* pager = viewer->getScene()->getDatabasePager();
    ASSERT_NE(pager, nullptr);
    EXPECT_EQ(pager->getFileRequestListSize(), 0u);
    EXPECT_EQ(paged->getNumChildren(), 0u);
    EXPECT_TRUE(pixelIs(image, Width / 2, Height / 2, Red));
}

void chooseMode(IOSGViewer& viewer, const QString& mode)
{
    QListWidget* modes = modeList(viewer);
    ASSERT_NE(modes, nullptr);
    const auto items = modes->findItems(mode, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    modes->setCurrentItem(items.front());
}

QDoubleSpinBox* exposureBox(IOSGViewer& viewer)
{
    auto* interaction = dynamic_cast<IQtInteraction*>(&viewer);
    return interaction->getDockWidgets().front()->findChild<QDoubleSpinBox*>("exposure");
}

TEST_F(ViewerRenderingTest, HDRModeToneMapsTheSceneAndKeepsCameraAndSettingsAcrossSwitches)
{
    auto model = createModel("box");
    model->getScene()->addChild(makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1)));
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    show(*viewer);
    lookAt(*viewer, osg::Vec3d(1.2, -6.0, 0.5), osg::Vec3d(1.2, 0.0, 0.5));
    const QPoint box = screenPoint(*viewer, osg::Vec3());

    // Exposure 1 maps a value v to 1 - e^-v: red 1 to 161, the background's 0.2 and 0.4 to 46, 84.
    const QColor toneRed(161, 0, 0);
    chooseMode(*viewer, "HDR");
    ASSERT_EQ(model->getStages()->getNumChildren(), 1u);
    EXPECT_STREQ(model->getStages()->getChild(0)->className(), "HDRWithPostprocessingStage");
    QImage image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, box.x(), box.y(), toneRed, 4));
    EXPECT_TRUE(pixelIs(image, 1, 1, QColor(46, 46, 84), 4));
    keepImageOnFailure(image, "ViewerHDR");

    QDoubleSpinBox* exposure = exposureBox(*viewer);
    ASSERT_NE(exposure, nullptr);
    exposure->setValue(2.0);
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, box.x(), box.y(), QColor(220, 0, 0), 4));
    keepImageOnFailure(image, "ViewerHDRExposure2");

    chooseMode(*viewer, "FORWARD");
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, box.x(), box.y(), Red));
    EXPECT_TRUE(pixelIs(image, Width / 2, Height / 2, DefaultBackground));

    chooseMode(*viewer, "HDR");
    exposure = exposureBox(*viewer);
    ASSERT_NE(exposure, nullptr);
    EXPECT_DOUBLE_EQ(exposure->value(), 2.0);
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, box.x(), box.y(), QColor(220, 0, 0), 4));
    keepImageOnFailure(image, "ViewerHDRAgain");

    // A larger viewer gets targets of its size: the box stays where the camera puts it.
    viewer->getWidget()->resize(Width * 2, Height * 2);
    image = grab(*viewer);
    const QPoint moved = screenPoint(*viewer, osg::Vec3());
    ASSERT_EQ(image.size(), QSize(Width * 2, Height * 2));
    EXPECT_TRUE(pixelIs(image, moved.x(), moved.y(), QColor(220, 0, 0), 4));
    EXPECT_TRUE(pixelIs(image, Width * 2 - 2, Height * 2 - 2, QColor(84, 84, 140), 4));
    keepImageOnFailure(image, "ViewerHDRResized");

    // The scene has no light of its own: with ambient occlusion and shadows on, the headlight
    // casts no shadow and the box is drawn as before.
    auto* interaction = dynamic_cast<IQtInteraction*>(viewer);
    auto* occlusion =
        interaction->getDockWidgets().front()->findChild<QCheckBox*>("ambientOcclusion");
    ASSERT_NE(occlusion, nullptr);
    occlusion->setChecked(true);
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, moved.x(), moved.y(), QColor(220, 0, 0), 4));
    EXPECT_TRUE(pixelIs(image, Width * 2 - 2, Height * 2 - 2, QColor(84, 84, 140), 4));
    keepImageOnFailure(image, "ViewerHDROcclusionWithoutLights");
}

TEST_F(ViewerRenderingTest, TwoViewersOnOneModelDrawThroughTheirOwnPipelines)
{
    auto model = createModel("shared");
    osg::ref_ptr<osg::Geometry> red = makeBox(osg::Vec3(-1, 0, 0), 0.8f, osg::Vec4(1, 0, 0, 1));
    osg::ref_ptr<osg::Geometry> green = makeBox(osg::Vec3(1, 0, 0), 0.8f, osg::Vec4(0, 1, 0, 1));
    osg::ref_ptr<DrawCounter> redDraws = new DrawCounter;
    red->setDrawCallback(redDraws);
    model->getScene()->addChild(red);
    model->getScene()->addChild(green);

    IOSGViewer* first = createViewer("First");
    IOSGViewer* second = createViewer("Second");
    ASSERT_TRUE(first && second);
    first->setModel(model);
    second->setModel(model);
    first->onSceneLoaded();
    second->onSceneLoaded();
    EXPECT_EQ(model->getStages()->getNumChildren(), 2u);
    EXPECT_NE(first->getScene()->getSceneData(), second->getScene()->getSceneData());

    // Each box keeps only one viewer's bit.
    red->setNodeMask(1);
    green->setNodeMask(2);
    show(*first);
    show(*second);
    redDraws->count = 0;
    const QImage firstImage = grab(*first);
    EXPECT_EQ(redDraws->count, 1);
    const QImage secondImage = grab(*second);
    EXPECT_EQ(redDraws->count, 1);

    const QPoint left = screenPoint(*first, osg::Vec3(-1, 0, 0));
    const QPoint right = screenPoint(*first, osg::Vec3(1, 0, 0));
    EXPECT_TRUE(pixelIs(firstImage, left.x(), left.y(), Red));
    EXPECT_TRUE(pixelIs(firstImage, right.x(), right.y(), DefaultBackground));
    EXPECT_TRUE(pixelIs(secondImage, left.x(), left.y(), DefaultBackground));
    EXPECT_TRUE(pixelIs(secondImage, right.x(), right.y(), Green));
    keepImageOnFailure(firstImage, "ViewerFirstOfTwo");
    keepImageOnFailure(secondImage, "ViewerSecondOfTwo");

    // Replacing the model gives the bit back and takes the stage out.
    second->setModel(createModel("other"));
    EXPECT_TRUE(log().contains("Traversal mask 2 deregistered."));
    EXPECT_EQ(model->getStages()->getNumChildren(), 1u);
}

TEST_F(ViewerRenderingTest, SideBySideStereoAndFullScreenShowTheSameScene)
{
    auto model = createModel("box");
    model->getScene()->addChild(makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1)));
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    viewer->onSceneLoaded();
    QWidget host;
    auto* layout = new QHBoxLayout(&host);
    layout->addWidget(viewer->getWidget());
    host.resize(Width, Height);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const QSize size = viewer->getWidget()->size();

    viewer->setSideBySideStereo(true);
    QImage image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, size.width() / 4, size.height() / 2, Red));
    EXPECT_TRUE(pixelIs(image, size.width() * 3 / 4, size.height() / 2, Red));
    EXPECT_TRUE(pixelIs(image, size.width() / 2, size.height() / 2, DefaultBackground));
    keepImageOnFailure(image, "ViewerStereo");
    viewer->setSideBySideStereo(false);
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, size.width() / 2, size.height() / 2, Red));

    viewer->setRenderWindowFullScreen(true, {0, 7});
    QWidget* widget = viewer->getWidget();
    EXPECT_TRUE(widget->isWindow());
    EXPECT_EQ(widget->geometry(), QGuiApplication::screens().front()->geometry());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, image.width() / 2, image.height() / 2, Red));
    keepImageOnFailure(image, "ViewerFullScreen");

    viewer->setRenderWindowFullScreen(false, {});
    EXPECT_EQ(widget->parentWidget(), &host);
    EXPECT_EQ(layout->indexOf(widget), 0);
    image = grab(*viewer);
    EXPECT_TRUE(pixelIs(image, image.width() / 2, image.height() / 2, Red));
    keepImageOnFailure(image, "ViewerBackFromFullScreen");

    viewer->setHeadMountedDisplay(true, false);
    EXPECT_TRUE(log().contains("No head-mounted display is attached"));
    // The host goes first: the widget stays the plug-in's.
    widget->setParent(nullptr);
}

class ViewerEventTest : public ViewerFixture
{};

TEST_F(ViewerEventTest, AModelEventAsksForExactlyOneFrame)
{
    auto model = createModel("shown");
    auto other = createModel("other");
    model->getScene()->addChild(makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1)));
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    show(*viewer);
    // A later viewer's forward pipeline stands behind the first viewer as well.
    IOSGViewer* later = createViewer("Later");
    ASSERT_NE(later, nullptr);
    later->setModel(other);

    PaintCounter counter;
    viewer->getWidget()->installEventFilter(&counter);
    // Nothing may be drawn: a short look, as a frame timer would draw well within it.
    EXPECT_FALSE(QTest::qWaitFor([&] { return counter.paints > 0; }, 200))
        << "frames drawn without a reason";

    ModelEvent changed(ModelEvent::Changed);
    EXPECT_TRUE(model->sendEvent(changed)) << "the forward pipeline claims model events";
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 10000));
    EXPECT_EQ(counter.paints, 1);

    ModelEvent elsewhere(ModelEvent::Changed);
    other->sendEvent(elsewhere);
    EXPECT_FALSE(QTest::qWaitFor([&] { return counter.paints > 1; }, 200));
    viewer->getWidget()->removeEventFilter(&counter);
}

// An export reads the frame back right after its capture event: the viewer draws it then, and
// once only (a repaint would draw it again for every streamed frame).
TEST_F(ViewerEventTest, ACaptureDrawsTheFrameAtOnceAndOnlyOnce)
{
    auto model = createModel("captured");
    osg::ref_ptr<osg::Geometry> box = makeBox(osg::Vec3(), 1.0f, osg::Vec4(1, 0, 0, 1));
    osg::ref_ptr<DrawCounter> draws = new DrawCounter;
    box->setDrawCallback(draws);
    model->getScene()->addChild(box);
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    show(*viewer);
    PaintCounter counter;
    viewer->getWidget()->installEventFilter(&counter);

    draws->count = 0;
    ModelEvent capture(ModelEvent::BeforeReadBack);
    model->sendEvent(capture);
    EXPECT_EQ(draws->count, 1) << "the frame is not drawn before the dispatch returns";
    // An update would be waiting among the posted events now.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);
    EXPECT_EQ(draws->count, 1);
    viewer->getWidget()->removeEventFilter(&counter);
}

TEST_F(ViewerEventTest, InputAndDropsReachTheEventSystem)
{
    auto model = createModel("drop");
    IOSGViewer* viewer = createViewer("Viewer");
    ASSERT_NE(viewer, nullptr);
    viewer->setModel(model);
    show(*viewer);
    QWidget* widget = viewer->getWidget();
    Recorder recorder(kernel().getEventSystem());

    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 12), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(20, 12));
    QWheelEvent wheel(QPointF(20, 12), widget->mapToGlobal(QPoint(20, 12)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
    QTest::keyClick(widget, Qt::Key_A);
    const std::vector<std::pair<std::uint32_t, QEvent::Type>> input{
        {1, QEvent::MouseButtonPress},   {1, QEvent::MouseMove},
        {1, QEvent::MouseButtonRelease}, {1, QEvent::Wheel},
        {1, QEvent::KeyPress},           {1, QEvent::KeyRelease}};
    EXPECT_EQ(recorder.seen, input);
    for (QObject* source : recorder.sources)
        EXPECT_EQ(source, widget);

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(file("dropped.osgt"))});

    // Nobody handles drops yet: the drag is welcome, the drop is refused.
    recorder.seen.clear();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent refused(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &refused);
    EXPECT_FALSE(refused.isAccepted());
    const std::vector<std::pair<std::uint32_t, QEvent::Type>> drags{{2, QEvent::DragEnter},
                                                                    {2, QEvent::Drop}};
    EXPECT_EQ(recorder.seen, drags);
}

} // namespace
