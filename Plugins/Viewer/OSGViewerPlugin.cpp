#include "OSGViewerPlugin.h"

#include "BatchScreenshot.h"
#include "EventSystem/EventSystem.h"
#include "Logger/Log.h"
#include "OSGUtility/ImageFileWriter.h"
#include "OSGUtility/ScreenshotProgress.h"
#include "OSGZELCoreFieldContainers/Background.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/ModelEvent.h"
#include "RenderManager/IRenderPipeline.h"
#include "RenderManager/RenderManager.h"
#include "RenderWidget.h"
#include "ScreenshotDialog.h"
#include "ViewerDock.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <boost/program_options.hpp>
#include <cmath>
#include <osg/DisplaySettings>
#include <osg/Geometry>
#include <osgViewer/Viewer>

namespace po = boost::program_options;

namespace {

const char* const renderModeOption = "viewer-render-mode";
const char* const snapshotOption = "viewer-snapshot";
const char* const screenshotOption = "screenshot";
const char* const screenshotSizeOption = "screenshot-size";
const char* const screenshotFilters = "PNG image (*.png);;TIFF image (*.tif *.tiff);;"
                                      "JPEG image (*.jpg *.jpeg)";
// OpenSceneGraph's own clear colour.
const osg::Vec4 defaultBackground(0.2f, 0.2f, 0.4f, 1.0f);

po::options_description* viewerOptions()
{
    static po::options_description options("Viewer plugin");
    static const bool added = [] {
        options.add_options()(renderModeOption, po::value<std::string>()->default_value("FORWARD"),
                              "render mode of the viewers (a mode of the render manager)")(
            snapshotOption, po::value<std::string>(),
            "write the first frame of the default viewer to this PNG file (this run only)")(
            screenshotOption, po::value<std::string>(),
            "render the scene given off screen into this PNG, TIFF or JPEG file, then end (this "
            "run only)")(screenshotSizeOption, po::value<std::string>(),
                         "size of that screenshot, WIDTHxHEIGHT (default the viewer's size)");
        return true;
    }();
    static_cast<void>(added);
    return &options;
}

// Gives every node the pipeline visits its traversal-mask bit and draws geometry from vertex
// buffer objects. Hidden nodes (mask 0) and what lies below them are left as they are.
class PrepareForPipelineVisitor : public osg::NodeVisitor
{
public:
    explicit PrepareForPipelineVisitor(osg::Node::NodeMask bit)
        : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN), m_bit(bit)
    {}

    void apply(osg::Node& node) override
    {
        node.setNodeMask(node.getNodeMask() | m_bit);
        traverse(node);
    }

    void apply(osg::Geometry& geometry) override
    {
        geometry.setNodeMask(geometry.getNodeMask() | m_bit);
        geometry.setUseDisplayList(false);
        geometry.setUseVertexBufferObjects(true);
    }

private:
    osg::Node::NodeMask m_bit;
};

// Shows a shot's progress in a dialog whose Cancel stops it.
class ProgressDialogAdapter : public OSGU::ScreenshotProgress
{
public:
    explicit ProgressDialogAdapter(QProgressDialog& dialog) : m_dialog(dialog) {}

    bool progress(unsigned int percent) override
    {
        m_dialog.setValue(int(percent));
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog& m_dialog;
};

// Where the user wants the screenshot; the chosen type's extension is added to a bare name.
QString askForScreenshotFile(QWidget* parent, const QString& folder)
{
    QFileDialog dialog(parent, QObject::tr("Save Screenshot"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(QString(screenshotFilters).split(";;"));
    auto suffixOf = [](const QString& filter) {
        return filter.section("(*.", 1).section(QRegExp("[ )]"), 0, 0);
    };
    dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void reportWriteFailure(QWidget* parent, const QString& file, const std::string& reason)
{
    ZEL_ERROR << "OSGViewerPlugin::saveScreenshot: Cannot write " << file.toStdString() << ": "
              << reason << "\n";
    QMessageBox::warning(
        parent, QObject::tr("Save Screenshot"),
        QObject::tr("Cannot write %1: %2").arg(file, QString::fromStdString(reason)));
}

} // namespace

OSGViewerPlugin::OSGViewerPlugin(IKernel* kernel, const PluginInstanceInfo& info)
    : Plugin(kernel, info),
      EventHandler(kernel->getEventSystem(), "OSGViewer_" + info.getName(), EventType::Model),
      m_background(new OSG::Background(defaultBackground))
{
    auto& variables = kernel->getVariables();
    try {
        if (variables.count(renderModeOption))
            m_renderMode = variables[renderModeOption].as<std::string>();
    } catch (const boost::bad_any_cast&) {
        ZEL_WARN << "OSGViewerPlugin: The option " << renderModeOption
                 << " is no text; using FORWARD.\n";
    }

    m_widget = new RenderWidget(kernel->getEventSystem());
    m_widget->setWindowTitle(QString::fromStdString(info.getName()));
    m_widget->viewer()->getCamera()->setClearColor(defaultBackground);

    // A debugging aid for one run and one viewer: the first viewer takes it out of the options.
    if (variables.count(snapshotOption)) {
        try {
            m_widget->setSnapshotFile(
                QString::fromStdString(variables[snapshotOption].as<std::string>()));
        } catch (const boost::bad_any_cast&) {
            ZEL_WARN << "OSGViewerPlugin: The option " << snapshotOption << " is no file name.\n";
        }
        variables.erase(snapshotOption);
        // The file given to the program arrives after the first frames; the snapshot waits.
        if (variables.count("loadFile"))
            m_widget->expectScene();
    }
    // Taken once the scene given has been read (or has failed to), or at once without one.
    m_batchScreenshot = BatchScreenshot::fromOptions(variables);
    if (m_batchScreenshot && !m_batchScreenshot->waitsForScene())
        QTimer::singleShot(0, m_widget, [this] { runBatchScreenshot(); });

    m_screenshotAction = std::make_unique<QAction>(QObject::tr("Save Screenshot..."));
    m_screenshotAction->setObjectName("saveScreenshotAction");
    m_screenshotAction->setToolTip(QObject::tr("Render the view at any size into an image file"));
    QObject::connect(m_screenshotAction.get(), &QAction::triggered, m_widget,
                     [this] { saveScreenshot(); });
    m_toolBar = new QToolBar(QObject::tr("Viewer"));
    m_toolBar->setObjectName("ViewerToolBar");
    m_toolBar->addAction(m_screenshotAction.get());

    const RenderManager* manager = kernel->getRenderManager();
    m_dock =
        new ViewerDock(manager ? manager->getRenderPipelineModes() : std::vector<std::string>{});
    m_dock->setCurrentMode(m_renderMode);
    m_dock->addAction(m_screenshotAction.get());
    QObject::connect(m_dock, &ViewerDock::modeChosen, m_dock,
                     [this](const QString& mode) { setRenderMode(mode.toStdString()); });
}

OSGViewerPlugin::~OSGViewerPlugin()
{
    // The dock hands the pipeline's settings widget back; the widget releases its GL objects
    // while the pipeline's stage is still its scene.
    delete m_dock.data();
    delete m_toolBar.data();
    delete m_widget.data();
    releasePipeline();
}

std::list<QToolBar*> OSGViewerPlugin::getToolBars()
{
    return m_toolBar ? std::list<QToolBar*>{m_toolBar.data()} : std::list<QToolBar*>{};
}

QWidget* OSGViewerPlugin::getWidget()
{
    return m_widget.data();
}

osgViewer::View* OSGViewerPlugin::getScene()
{
    return m_widget ? m_widget->viewer() : nullptr;
}

std::list<QWidget*> OSGViewerPlugin::getDockWidgets()
{
    return m_dock ? std::list<QWidget*>{m_dock.data()} : std::list<QWidget*>{};
}

void OSGViewerPlugin::setModel(const std::shared_ptr<IOSGModel>& model)
{
    if (model == m_model)
        return;
    releasePipeline();
    m_model = model;
    if (m_model)
        createPipeline();
    requestRedraw();
}

void OSGViewerPlugin::setRenderMode(const std::string& mode)
{
    if (mode == m_renderMode)
        return;
    m_renderMode = mode;
    if (m_dock)
        m_dock->setCurrentMode(mode);
    if (!m_model)
        return;
    releasePipeline();
    createPipeline();
    requestRedraw();
}

void OSGViewerPlugin::createPipeline()
{
    RenderManager* manager = getKernel()->getRenderManager();
    if (!manager) {
        ZEL_ERROR << "OSGViewerPlugin::createPipeline: The kernel has no render manager.\n";
        return;
    }
    m_pipeline = manager->createRenderPipeline(m_renderMode, getKernel(), m_model->getRenderRoot(),
                                               nullptr, m_background);
    if (!m_pipeline || !m_pipeline->getRootNode()) {
        ZEL_ERROR << "OSGViewerPlugin::createPipeline: No render pipeline for mode " << m_renderMode
                  << "\n";
        m_pipeline.reset();
        return;
    }
    // The forward pipeline claims every model event it sees: this viewer must see them first.
    if (EventSystem* events = getEventSystem())
        events->moveHandler(EventSystem::ToFront, this);

    m_stages = m_model->getStages();
    m_visited = m_model->getRenderRoot();
    if (m_stages)
        m_stages->addChild(m_pipeline->getRootNode());
    prepareVisitedScene();
    if (m_widget) {
        // Only the stage is drawn: it visits RENDER_ROOT, so nothing is drawn twice.
        // Without a manipulator the camera stays where it is.
        m_widget->setSceneData(m_pipeline->getRootNode());
        m_widget->setVisitedScene(m_visited);
    }
    if (m_dock)
        m_dock->setSettingsWidget(m_pipeline->getSettingsWidget());
}

void OSGViewerPlugin::releasePipeline()
{
    if (m_dock)
        m_dock->setSettingsWidget(nullptr);
    if (m_widget) {
        m_widget->setSceneData(nullptr);
        m_widget->setVisitedScene(nullptr);
    }
    if (m_pipeline && m_stages)
        m_stages->removeChild(m_pipeline->getRootNode());
    m_pipeline.reset();
    m_stages = nullptr;
    m_visited = nullptr;
}

void OSGViewerPlugin::followModelLayout()
{
    if (!m_model || !m_pipeline)
        return;
    osg::ref_ptr<osg::Group> stages = m_model->getStages();
    osg::ref_ptr<osg::Group> visited = m_model->getRenderRoot();
    if (stages != m_stages) {
        if (m_stages)
            m_stages->removeChild(m_pipeline->getRootNode());
        m_stages = stages;
        if (m_stages)
            m_stages->addChild(m_pipeline->getRootNode());
    }
    if (visited != m_visited) {
        m_visited = visited;
        m_pipeline->setSceneRoot(m_visited);
        prepareVisitedScene();
        if (m_widget)
            m_widget->setVisitedScene(m_visited);
    }
}

void OSGViewerPlugin::prepareVisitedScene()
{
    if (!m_visited || !m_pipeline)
        return;
    PrepareForPipelineVisitor prepare(m_pipeline->getTraversalMask());
    m_visited->accept(prepare);
}

void OSGViewerPlugin::onSceneLoaded()
{
    if (m_batchScreenshot)
        m_batchScreenshot->sceneLoaded();
    followModelLayout();
    // A loaded file may bring node masks without this pipeline's bit.
    prepareVisitedScene();
    frameScene();
    if (m_widget)
        m_widget->sceneArrived();
    if (m_batchScreenshot)
        QTimer::singleShot(0, m_widget, [this] { runBatchScreenshot(); });
}

void OSGViewerPlugin::onSceneLoadFailed()
{
    if (m_batchScreenshot)
        QTimer::singleShot(0, m_widget, [this] { runBatchScreenshot(); });
}

void OSGViewerPlugin::runBatchScreenshot()
{
    if (!m_batchScreenshot)
        return;
    const int exitCode = m_widget ? m_batchScreenshot->run(*m_widget) : 1;
    m_batchScreenshot.reset();
    QCoreApplication::exit(exitCode);
}

void OSGViewerPlugin::saveScreenshot()
{
    if (!m_widget)
        return;
    QWidget* parent = m_widget->window();
    ScreenshotDialog sizeDialog(m_widget->pixelSize(), parent);
    if (sizeDialog.exec() != QDialog::Accepted)
        return;
    const QString file = askForScreenshotFile(parent, m_screenshotFolder);
    if (file.isEmpty())
        return;
    // A large shot renders for a while: a folder that takes no file is found out before it.
    std::string reason;
    if (!OSGU::canCreateFileIn(QFile::encodeName(file).toStdString(), reason)) {
        reportWriteFailure(parent, file, reason);
        return;
    }
    // Only a folder that exists: the file dialog would offer a missing one's name as the file.
    m_screenshotFolder = QFileInfo(file).absolutePath();

    QProgressDialog progress(QObject::tr("Rendering the screenshot..."), QObject::tr("Cancel"), 0,
                             100, parent);
    progress.setWindowTitle(QObject::tr("Save Screenshot"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    ProgressDialogAdapter adapter(progress);
    const QSize size = sizeDialog.requestedSize();
    osg::ref_ptr<osg::Image> image =
        m_widget->takeScreenshot(unsigned(size.width()), unsigned(size.height()), &adapter);
    const bool cancelled = progress.wasCanceled();
    progress.reset();
    if (!image) {
        if (!cancelled)
            QMessageBox::warning(parent, QObject::tr("Save Screenshot"),
                                 QObject::tr("The screenshot could not be taken; the console "
                                             "tells why."));
        return;
    }
    if (!OSGU::writeImageFile(*image, QFile::encodeName(file).toStdString(), reason)) {
        reportWriteFailure(parent, file, reason);
        return;
    }
    ZEL_INFO << "OSGViewerPlugin::saveScreenshot: Wrote " << file.toStdString() << "\n";
}

void OSGViewerPlugin::frameScene()
{
    osgViewer::View* view = getScene();
    if (!view || !m_model || !m_model->getScene())
        return;
    osg::BoundingSphere bound = m_model->getScene()->getBound();
    if (!bound.valid() || bound.radius() <= 0.0f)
        bound = osg::BoundingSphere(osg::Vec3(), 1.0f);

    // Fit the sphere into the narrower of the two opening angles.
    double fovy = 30.0, aspect = 1.0, zNear = 1.0, zFar = 10000.0;
    view->getCamera()->getProjectionMatrixAsPerspective(fovy, aspect, zNear, zFar);
    const double halfAngle =
        std::atan(std::tan(osg::DegreesToRadians(fovy) / 2.0) * std::min(aspect, 1.0));
    const double distance = bound.radius() / std::sin(halfAngle);
    // From the front and a little above, z up: a ground plane shows as a plane, not a line.
    osg::Vec3d direction(0.0, -1.0, 0.4);
    direction.normalize();
    const osg::Vec3d center = bound.center();
    const osg::Vec3d eye = center + direction * distance;
    const osg::Vec3d up(0.0, 0.0, 1.0);

    view->getCamera()->setViewMatrixAsLookAt(eye, center, up);
}

bool OSGViewerPlugin::handleEvent(Event& event)
{
    if (!m_model || event.type != EventType::Model)
        return false;
    const auto& modelEvent = static_cast<const ModelEvent&>(event);
    if (modelEvent.modelUuid != m_model->getUuid())
        return false;
    followModelLayout();
    // A pipeline is about to read the frame back: it must be drawn before the dispatch returns.
    // (The pipeline tells when no viewer could draw one.)
    if (modelEvent.kind == ModelEvent::BeforeReadBack && m_widget && m_widget->drawFrameNow())
        return false;
    requestRedraw();
    return false;
}

void OSGViewerPlugin::requestRedraw()
{
    if (m_widget)
        m_widget->update();
}

void OSGViewerPlugin::getSelectionContext(osg::ref_ptr<osg::Referenced>& context)
{
    context = nullptr;
}

void OSGViewerPlugin::setRenderWindowFullScreen(bool on, const std::list<int>& screens)
{
    if (!m_widget)
        return;
    if (!on) {
        m_widget->returnToHost();
        return;
    }
    const QList<QScreen*> available = QGuiApplication::screens();
    QRect area;
    for (int index : screens) {
        if (index >= 0 && index < available.size())
            area = area.united(available[index]->geometry());
        else
            ZEL_WARN << "OSGViewerPlugin::setRenderWindowFullScreen: There is no screen " << index
                     << "\n";
    }
    if (area.isEmpty()) {
        ZEL_WARN << "OSGViewerPlugin::setRenderWindowFullScreen: No screen to show on.\n";
        return;
    }
    m_widget->showAsWindowOver(area);
}

void OSGViewerPlugin::setSideBySideStereo(bool on)
{
    osgViewer::View* view = getScene();
    if (!view || !view->getDisplaySettings())
        return;
    osg::DisplaySettings& settings = *view->getDisplaySettings();
    settings.setStereoMode(osg::DisplaySettings::HORIZONTAL_SPLIT);
    settings.setStereo(on);
    requestRedraw();
}

void OSGViewerPlugin::setHeadMountedDisplay(bool enable, bool settings)
{
    ZEL_INFO << "OSGViewerPlugin::setHeadMountedDisplay: No head-mounted display is attached"
             << " (enable " << enable << ", settings " << settings << ").\n";
}

ZEL_PLUGIN_DESCRIPTOR(OSGViewerPlugin,
                      PluginSDK::describe<OSGViewerPlugin>("OSGViewer",
                                                           WellKnownPlugins::defaultViewer, 20000)
                          .description("Draws the scene model through a render pipeline")
                          .version("1.0")
                          .options(viewerOptions()))
ZEL_PLUGIN_LIBRARY(OSGViewerPlugin)
