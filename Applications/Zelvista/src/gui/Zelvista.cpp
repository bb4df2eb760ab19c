#include "Zelvista.h"

#include "AddFilesToSceneDialog.h"
#include "ApplicationBase/ModelRegistry.h"
#include "EventSystem/EventSystem.h"
#include "FileDialogFilter.h"
#include "KernelInterface/IKernel.h"
#include "Logger/Log.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "PluginSystem/PluginFactory.h"
#include "PluginSystem/PluginInstanceInfo.h"
#include "ProgramOptions.h"
#include "QtOSGPluginBase/INavigationPlugin.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"
#include "QtOSGPluginBase/ModelCommands/LoadScene.h"
#include "QtOSGPluginBase/ModelCommands/SaveScene.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "QtUtility/ConsoleWidget.h"
#include "QtUtility/DropEventHelper.h"
#include "QtUtility/QtEvents.h"
#include "SceneLoadQueue.h"
#include "ScreenChoiceDialog.h"
#include "ui_Zelvista.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <boost/program_options/variables_map.hpp>
#include <osg/Notify>

namespace {

const Uuid defaultViewerType = uuidFromString(WellKnownPlugins::defaultViewer);
const Uuid navigationPluginType = uuidFromString(WellKnownPlugins::navigation);

std::list<const IFileIO*> asFileIOs(const std::list<NodeReader*>& readers)
{
    return {readers.begin(), readers.end()};
}

std::list<const IFileIO*> asFileIOs(const std::list<NodeWriter*>& writers)
{
    return {writers.begin(), writers.end()};
}

} // namespace

Zelvista::Zelvista(int argc, char** argv, QWidget* parent, Qt::WindowFlags flags)
    : QtApplication(argc, argv, parent, flags, "Zelvista", programOptions(), true,
                    programPositionalOptions()),
      ui(std::make_unique<Ui_ZelvistaClass>()),
      m_lastLayoutDir(QCoreApplication::applicationDirPath()),
      m_loads(std::make_unique<SceneLoadQueue>())
{
    if (objectName().isEmpty())
        setObjectName("ZelvistaClass");
    ui->setupUi(this);

    // Held by the application base, so that it records the shutdown of the plug-ins too.
    m_logFilePath = createLogFile("ZEL", true);
    ui->consoleLayout->addWidget(new ConsoleWidget(m_logFilePath, ui->tabConsole));

    buildToolBar();
    m_loadInNewViewportAction = new QAction(tr("Load in New Vieport"), this);
    connect(m_loadInNewViewportAction, &QAction::triggered, this, &Zelvista::loadInNewViewport);
    ui->m_MenuFile->addSeparator();
    ui->m_MenuFile->addAction(m_loadInNewViewportAction);
    ui->m_MainToolBar->addSeparator();
    ui->m_MainToolBar->addAction(ui->m_ActionExit);
    ui->m_MainToolBar->addSeparator();
    ui->tabWidget->setTabText(0, tr("Console"));
    ui->tabWidget->setCurrentIndex(0);

    m_defaultViewer =
        getKernel()->getPluginFactory()->getOrCreateInstance<IOSGViewer>(defaultViewerType);
    m_model = getKernel()->getModelRegistry()->getModel<IOSGModel>(defaultModelUuid());

    connect(m_loads.get(), &SceneLoadQueue::readStarted, this, &Zelvista::showLoadProgress);
    connect(m_loads.get(), &SceneLoadQueue::idle, this, [this] {
        hideLoadProgress();
        emit loadsFinished();
    });
    m_cancelLoadAction = new QAction(tr("Cancel Loading"), this);
    m_cancelLoadAction->setShortcut(Qt::Key_Escape);
    m_cancelLoadAction->setEnabled(false);
    addAction(m_cancelLoadAction);
    connect(m_cancelLoadAction, &QAction::triggered, this, [this] { m_loads->cancel(); });
    auto& options = getKernel()->getVariables();
    if (options.count("loadFile")) {
        const std::string file = options["loadFile"].as<std::string>();
        // Only for this run: not remembered in config.ini.
        options.erase("loadFile");
        // Read while the window is built and shown; the scene arrives when it is read.
        loadFile(file, false);
    }

    m_dropHelper = std::make_unique<DropEventHelper>(getKernel()->getEventSystem());
    connect(m_dropHelper.get(), &DropEventHelper::newDropEvent, this, &Zelvista::onDropEvent);

    hostDefaultViewer();
    addQtInteractionDockWidgets(ui->m_MenuView);
    addQtInteractionToolBars();
    addQtInteractionMenus(ui->m_MenuPlugins);
    adoptStatusBar();
    attachViewersToNavigation();
    initSelectionPlugin();
    loadLayoutFiles(m_layoutFileName, m_geometryFileName);

    if (options.count("fullscreen"))
        ui->m_ActionFullScreen->setChecked(true);
    // A plug-in's status bar may have taken the place of the one the progress went to.
    if (m_loads->isBusy())
        showLoadMessage();
}

Zelvista::~Zelvista()
{
    // A read under way is cancelled and waited for while the readers still exist.
    m_loads.reset();
    // The viewers' widgets belong to their plug-ins, not to the window.
    std::vector<IOSGViewer*> hosted = m_viewers;
    hosted.push_back(m_defaultViewer);
    for (IOSGViewer* viewer : hosted)
        if (QWidget* widget = viewer ? viewer->getWidget() : nullptr)
            widget->setParent(nullptr);
    resetSelection();
    detachViewersFromNavigation();
    m_model.reset();
    m_models.clear();
    m_viewers.clear();
    m_dropHelper.reset();
}

void Zelvista::buildToolBar()
{
    ui->m_MainToolBar->setWindowTitle(tr("System"));
    const struct
    {
        const char* text;
        const char* icon;
        QAction* menuAction;
        void (Zelvista::*slot)();
    } tools[] = {
        {"Open File", ":/ZelvistaMedia/Load.png", ui->m_ActionLoad, &Zelvista::load},
        {"Add File", ":/ZelvistaMedia/LoadAdd.png", ui->m_ActionAddToScene,
         &Zelvista::addFilesToSceneSlot},
        {"Save File", ":/ZelvistaMedia/Save2.png", ui->m_ActionSave, &Zelvista::save},
    };
    for (const auto& tool : tools) {
        QAction* action = ui->m_MainToolBar->addAction(QIcon(tool.icon), tr(tool.text));
        connect(action, &QAction::triggered, this, tool.slot);
        connect(tool.menuAction, &QAction::triggered, this, tool.slot);
    }
    ui->m_ActionExit->setIcon(QIcon(":/ZelvistaMedia/shutdown.png"));
    connect(ui->m_ActionExit, &QAction::triggered, this, &QWidget::close);

    connect(ui->m_ActionLoad_Layout, &QAction::triggered, this, &Zelvista::loadLayout);
    connect(ui->m_ActionSave_Layout, &QAction::triggered, this, &Zelvista::saveLayout);
    connect(ui->m_ActionLoad_Layout_From_File, &QAction::triggered, this,
            &Zelvista::loadLayoutFromFile);
    connect(ui->m_ActionSave_Layout_As_File, &QAction::triggered, this,
            &Zelvista::saveLayoutAsFile);
    connect(ui->m_ActionFullScreen, &QAction::toggled, this, &Zelvista::fullScreen);
    connect(ui->m_ActionRenderWindowFullScreen, &QAction::toggled, this,
            &Zelvista::renderWindowFullScreen);
    connect(ui->m_ActionSideBySideStereoLR, &QAction::toggled, this, &Zelvista::sideBySideStereoLR);
    connect(ui->m_ActionHMDEnable, &QAction::toggled, this, &Zelvista::hmdEnable);
    connect(ui->m_ActionHMDSettings, &QAction::toggled, this, &Zelvista::hmdSettings);
}

void Zelvista::hostDefaultViewer()
{
    IOSGViewer* viewer = m_defaultViewer;
    if (!viewer) {
        ZEL_ERROR << "Failed to get the default viewer plugin from kernel.\n";
        return;
    }
    auto* interaction = dynamic_cast<IQtInteraction*>(viewer);
    if (!interaction)
        return;
    if (interaction->getDockWidgets().empty()) {
        ZEL_FATAL << "The default ViewerWindow has no Widget???\n";
        return;
    }
    auto* host = new QWidget(this);
    auto* layout = new QHBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(viewer->getWidget());
    viewer->getWidget()->installEventFilter(this);
    setCentralWidget(host);
    viewer->setModel(m_model);
    if (m_model) {
        for (QAction* action :
             {m_model->getUndoAction(), m_model->getRedoAction(), m_model->getClearUndoAction()})
            if (action)
                ui->m_MenuUndo->addAction(action);
        // The undo action's tip tells how much memory the history keeps.
        ui->m_MenuUndo->setToolTipsVisible(true);
        connect(m_model->getClearUndoAction(), &QAction::triggered, this,
                &Zelvista::clearUndoStackSlot);
    }
    repaint();
}

void Zelvista::adoptStatusBar()
{
    bool adopted = false;
    for (IQtInteraction* interaction :
         getKernel()->getPluginFactory()->getInstances<IQtInteraction>()) {
        QStatusBar* bar = interaction->getStatusBar();
        if (!bar)
            continue;
        if (adopted) {
            ZEL_WARN << "Multiple status bars provided, only one supported.\n";
            continue;
        }
        setStatusBar(bar);
        adopted = true;
    }
}

// The render window shown full screen covers the main window and its F10: the keys that end the
// full-screen state must work in the render window itself.
bool Zelvista::eventFilter(QObject* watched, QEvent* event)
{
    QWidget* viewerWidget = m_defaultViewer ? m_defaultViewer->getWidget() : nullptr;
    // While a file is read, Escape in the viewer cancels the read instead of reaching the viewer.
    if (watched == viewerWidget && isLoading() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (event->type() == QEvent::KeyPress)
            m_loads->cancel();
        event->accept();
        return true;
    }
    if (watched == viewerWidget && viewerWidget->isWindow() &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_F10 || key == Qt::Key_Escape) {
            if (event->type() == QEvent::KeyPress)
                ui->m_ActionRenderWindowFullScreen->setChecked(false);
            event->accept();
            return true;
        }
    }
    return QtApplication::eventFilter(watched, event);
}

void Zelvista::showEvent(QShowEvent* event)
{
    QtApplication::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        ZEL_INFO << "Zelvista::showEvent: Main window shown.\n";
    }
}

void Zelvista::startLoad(const std::shared_ptr<IOSGModel>& model, IOSGViewer* viewer,
                         const std::string& path, bool newScene)
{
    if (!model)
        return;
    const bool defaultModel = model == m_model;
    auto done = [this, viewer, path, defaultModel](const CommandResult& result, bool cancelled) {
        const QString file = QFile::decodeName(path.c_str());
        if (cancelled || !result) {
            if (cancelled)
                statusBar()->showMessage(tr("Loading %1 cancelled").arg(file), 5000);
            else
                reportFailure(tr("Cannot load %1: %2"), path, result.reason);
            if (viewer)
                viewer->onSceneLoadFailed();
            return;
        }
        statusBar()->showMessage(tr("Loaded %1").arg(file), 5000);
        if (defaultModel)
            m_sceneLoaded = true;
        if (viewer)
            viewer->onSceneLoaded();
    };
    m_loads->enqueue({model, path, newScene, done});
}

bool Zelvista::isLoading() const
{
    return m_loads && m_loads->isBusy();
}

void Zelvista::showLoadProgress(const QString& path)
{
    // Seconds in the message rather than a busy bar: the bar's animation has the whole window,
    // GL view included, composed many times a second, which took a third of a core from the read.
    if (!m_loadTicker) {
        m_loadTicker = new QTimer(this);
        m_loadTicker->setInterval(1000);
        connect(m_loadTicker, &QTimer::timeout, this, &Zelvista::showLoadMessage);
    }
    m_loadName = QFileInfo(path).fileName();
    m_loadClock.start();
    m_loadTicker->start();
    m_cancelLoadAction->setEnabled(true);
    showLoadMessage();
}

void Zelvista::showLoadMessage()
{
    const qint64 seconds = m_loadClock.elapsed() / 1000;
    const QString message =
        seconds > 0 ? tr("Reading %1 ... %2 s (Esc cancels)").arg(m_loadName).arg(seconds)
                    : tr("Reading %1 ... (Esc cancels)").arg(m_loadName);
    statusBar()->showMessage(message);
}

void Zelvista::hideLoadProgress()
{
    if (m_loadTicker)
        m_loadTicker->stop();
    m_cancelLoadAction->setEnabled(false);
}

void Zelvista::reportFailure(const QString& what, const std::string& path,
                             const std::string& reason)
{
    // The reader, writer or model that failed has written the ERROR record already.
    statusBar()->showMessage(
        what.arg(QFile::decodeName(path.c_str()), QString::fromStdString(reason)));
}

void Zelvista::loadFile(const std::string& path, bool newScene)
{
    startLoad(m_model, m_defaultViewer, path, newScene);
}

QString Zelvista::askForSceneFile()
{
    std::string selected;
    const std::string filter = buildFileDialogFilter(m_model ? asFileIOs(m_model->getReaders())
                                                             : std::list<const IFileIO*>{},
                                                     true, true, &selected);
    QString chosen = qtFileDialogFilter(selected);
    return QFileDialog::getOpenFileName(this, tr("Load Scene or Model..."), QString(),
                                        qtFileDialogFilter(filter), &chosen);
}

QString Zelvista::askForSaveFile()
{
    std::string selected;
    const std::string filter =
        buildFileDialogFilter(asFileIOs(m_model->getWriters()), true, true, &selected);
    QFileDialog dialog(this, tr("Save Scene or Model as..."));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(qtFileDialogFilter(filter).split(";;"));
    dialog.selectNameFilter(qtFileDialogFilter(selected));
    // A name typed without an extension gets the chosen type's, as users of Linux dialogs expect.
    dialog.setDefaultSuffix(defaultSuffixOf(dialog.selectedNameFilter()));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& entry) { dialog.setDefaultSuffix(defaultSuffixOf(entry)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void Zelvista::load()
{
    const QString file = askForSceneFile();
    if (!file.isEmpty())
        loadFile(QFile::encodeName(file).toStdString(), true);
}

void Zelvista::addFilesToSceneSlot()
{
    const QString file = askForSceneFile();
    if (!file.isEmpty())
        loadFile(QFile::encodeName(file).toStdString(), false);
}

void Zelvista::save()
{
    if (!m_model)
        return;
    const QString file = askForSaveFile();
    if (file.isEmpty())
        return;
    const std::string path = QFile::encodeName(file).toStdString();
    const CommandResult result = m_model->executeCommand(std::make_unique<MODCMD::SaveScene>(path));
    if (!result) {
        reportFailure(tr("Cannot save %1: %2"), path, result.reason);
        // The user may believe the work is safe: a status line is not enough.
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Save Scene or Model as..."),
                                    statusBar()->currentMessage(), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    statusBar()->showMessage(tr("Saved %1").arg(file), 5000);
}

void Zelvista::clearUndoStackSlot()
{
    if (m_model)
        m_model->getUndoStack()->clear();
}

void Zelvista::loadInNewViewport()
{
    const QString file = askForSceneFile();
    if (file.isEmpty())
        return;
    IKernel& kernel = *getKernel();
    PluginFactory& factory = *kernel.getPluginFactory();

    const std::string viewerName = "Zelvista_" + std::to_string(m_viewers.size());
    ZEL_INFO << "Zelvista::loadInNewViewport: Creating OSGViewer " << viewerName << "\n";
    auto* viewer = dynamic_cast<IOSGViewer*>(
        factory.createInstance(defaultViewerType, PluginInstanceInfo(viewerName)));
    if (!viewer)
        return;
    m_viewers.push_back(viewer);

    const std::string modelName = "ZelvistaModel_" + std::to_string(m_models.size());
    ZEL_INFO << "Zelvista::loadInNewViewport: Creating OSGModel " << modelName << "\n";
    auto model = std::make_shared<OSGModel>(&factory, kernel.getEventSystem(), modelName, Uuid{});
    m_models.push_back(model);
    kernel.getModelRegistry()->addModel(model);
    viewer->setModel(model);

    if (auto* navigation =
            factory.getOrCreateInstance<Navigation::INavigationPlugin>(navigationPluginType))
        navigation->attachViewer(viewerName, viewer->getScene(), viewer);
    if (ISelectionPlugin* selection = selectionPlugin()) {
        osg::ref_ptr<osg::Referenced> context;
        viewer->getSelectionContext(context);
        selection->registerViewer(viewer->getScene(), viewer, context,
                                  kernel.getConfigLocation("Selection", ""));
    }
    if (QWidget* central = centralWidget(); central && central->layout() && viewer->getWidget())
        central->layout()->addWidget(viewer->getWidget());
    if (auto* interaction = dynamic_cast<IQtInteraction*>(viewer)) {
        addDockWidgetsOf(interaction, ui->m_MenuView);
        ui->m_MenuView->setEnabled(!ui->m_MenuView->isEmpty());
        tabifyDocks();
    }
    startLoad(model, viewer, QFile::encodeName(file).toStdString(), true);
}

void Zelvista::onDropEvent(const QDropEvent* dropEvent)
{
    OSG_NOTICE << "drop at: " << dropEvent->pos().x() << ", " << dropEvent->pos().y() << std::endl;
    const QMimeData* mime = dropEvent->mimeData();
    if (!mime->hasUrls()) {
        ZEL_ERROR << "Dropped object does not contain file path!\n";
        if (m_model) {
            QtEventEvent event(EventType::DropWithoutFile, const_cast<QDropEvent*>(dropEvent));
            m_model->getEventSystem()->dispatch(event);
        }
        const QStringList formats = mime->formats();
        for (int i = 0; i < formats.size(); ++i)
            ZEL_ERROR << "Format " << i << ": " << formats[i].toStdString() << "\n";
        return;
    }

    std::vector<std::string> files;
    for (const QUrl& url : mime->urls()) {
        // Local paths are kept whole; anything else by its decoded path.
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
        if (path.isEmpty()) {
            ZEL_ERROR << "Dropped file path is empty!\n";
            return;
        }
        files.push_back(QFile::encodeName(path).toStdString());
    }

    bool newScene = false;
    if (m_sceneLoaded) {
        AddFilesToSceneDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted)
            newScene = dialog.createNewScene();
    }
    for (const std::string& file : files) {
        loadFile(file, newScene);
        newScene = false;
    }
}

void Zelvista::loadLayoutFiles(const QString& stateFile, const QString& geometryFile)
{
    restoreLayout(stateFile, geometryFile);
}

void Zelvista::saveLayoutFiles(const QString& stateFile, const QString& geometryFile)
{
    QtApplication::saveLayout(stateFile, geometryFile);
}

void Zelvista::loadLayout()
{
    loadLayoutFiles(m_layoutFileName, m_geometryFileName);
}

void Zelvista::saveLayout()
{
    const QString dataPath = QString::fromStdString(getAppDataPath()) + QDir::separator();
    saveLayoutFiles(dataPath + m_layoutFileName, dataPath + m_geometryFileName);
}

namespace {

// BASE.layout and BASE.geometry beside the chosen file; BASE ends at the name's first dot.
std::pair<QString, QString> layoutPair(const QString& chosen, QString& lastLayoutDir)
{
    const QFileInfo info(chosen);
    const QDir directory = info.dir();
    lastLayoutDir = directory.absolutePath();
    const QString base = info.baseName();
    return {QFileInfo(directory.filePath(base + ".layout")).absoluteFilePath(),
            QFileInfo(directory.filePath(base + ".geometry")).absoluteFilePath()};
}

} // namespace

void Zelvista::loadLayoutFromFile()
{
    const QString chosen = QFileDialog::getOpenFileName(this, tr("Load UI Layout"), m_lastLayoutDir,
                                                        "*.geometry *.layout");
    if (chosen.isEmpty())
        return;
    const auto [state, geometry] = layoutPair(chosen, m_lastLayoutDir);
    loadLayoutFiles(state, geometry);
}

void Zelvista::saveLayoutAsFile()
{
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Save UI Layout"), m_lastLayoutDir,
                                                        "*.geometry *.layout");
    if (chosen.isEmpty())
        return;
    const auto [state, geometry] = layoutPair(chosen, m_lastLayoutDir);
    saveLayoutFiles(state, geometry);
}

void Zelvista::fullScreen(bool on)
{
    if (on)
        showFullScreen();
    else
        showNormal();
}

void Zelvista::renderWindowFullScreen(bool on)
{
    if (!m_defaultViewer)
        return;
    if (!on) {
        m_defaultViewer->setRenderWindowFullScreen(false, {});
        return;
    }
    ScreenChoiceDialog dialog;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    const std::list<int> screens = dialog.chosenScreens();
    if (!accepted || screens.empty()) {
        ui->m_ActionRenderWindowFullScreen->setChecked(false);
        return;
    }
    m_defaultViewer->setRenderWindowFullScreen(true, screens);
}

void Zelvista::sideBySideStereoLR(bool on)
{
    if (m_defaultViewer)
        m_defaultViewer->setSideBySideStereo(on);
}

void Zelvista::hmdEnable(bool)
{
    if (m_defaultViewer)
        m_defaultViewer->setHeadMountedDisplay(ui->m_ActionHMDEnable->isChecked(),
                                               ui->m_ActionHMDSettings->isChecked());
}

void Zelvista::hmdSettings(bool on)
{
    hmdEnable(on);
}
