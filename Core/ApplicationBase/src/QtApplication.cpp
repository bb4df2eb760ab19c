#include "ApplicationBase/QtApplication.h"

#include "ApplicationBase/ModelRegistry.h"
#include "KernelInterface/IKernel.h"
#include "Logger/Log.h"
#include "OsgNotifyRouter.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "PluginSystem/PluginDescriptor.h"
#include "PluginSystem/PluginFactory.h"
#include "QtOSGPluginBase/INavigationPlugin.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"
#include "QtOSGPluginBase/OSGModel.h"
#include "QtOSGPluginBase/OsgPluginGate.h"
#include "QtUtility/QtMessageHandler.h"
#include "QtUtility/RegularFile.h"

#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QMenu>
#include <QSaveFile>
#include <QToolBar>
#include <boost/uuid/name_generator_sha1.hpp>
#include <boost/uuid/nil_generator.hpp>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

const Uuid selectionPluginType = uuidFromString(WellKnownPlugins::selection);
const Uuid navigationPluginType = uuidFromString(WellKnownPlugins::navigation);

int livingApplications = 0;
bool withoutDisplay = false;

std::string pluginName(IQtInteraction* interaction)
{
    auto* plugin = dynamic_cast<IPlugin*>(interaction);
    return plugin ? plugin->getDescriptor().name : std::string();
}

QString pluginDescription(IQtInteraction* interaction)
{
    auto* plugin = dynamic_cast<IPlugin*>(interaction);
    return plugin ? QString::fromStdString(plugin->getDescriptor().description) : QString();
}

// Qt's saved window states are a few kilobytes; anything far larger is no layout file.
constexpr qint64 maxLayoutFileSize = 4 << 20;

// The name as given (relative to the working directory), else in the data directory. A FIFO,
// a directory or an oversized file there is skipped with a record instead of blocking or filling
// memory.
QByteArray readLayoutFile(const QString& file, const std::string& appDataPath)
{
    for (const QString& path :
         {file, QString::fromStdString(appDataPath) + QDir::separator() + file}) {
        QByteArray bytes;
        QString reason;
        const RegularFile::Status status =
            RegularFile::read(path, maxLayoutFileSize, bytes, reason);
        if (status == RegularFile::Status::Read)
            return bytes;
        if (status != RegularFile::Status::Missing)
            ZEL_WARN << "Layout file " << path.toStdString() << " skipped (" << reason.toStdString()
                     << ").\n";
    }
    return {};
}

// Written whole or not at all: a full disk keeps the previous layout.
void writeLayoutFile(const QString& file, const QByteArray& bytes)
{
    QSaveFile out(file);
    if (!bytes.isEmpty() && out.open(QIODevice::WriteOnly)) {
        out.write(bytes);
        out.commit();
    }
}

} // namespace

void QtApplication::startOffscreenWithoutDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    withoutDisplay = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

Uuid QtApplication::defaultModelUuid()
{
    return boost::uuids::name_generator_sha1(boost::uuids::nil_uuid())("default");
}

QtApplication::QtApplication(int argc, char** argv, QWidget* parent, Qt::WindowFlags flags,
                             const std::string& applicationName,
                             boost::program_options::options_description options,
                             bool createDefaultModel,
                             boost::program_options::positional_options_description positional)
    : QMainWindow(parent, flags),
      Application(argc, argv, applicationName, std::move(options), false, std::move(positional))
{
    if (withoutDisplay) {
        ZEL_FATAL << "Cannot open a window: there is no display (DISPLAY and WAYLAND_DISPLAY are "
                     "not set). Set QT_QPA_PLATFORM=offscreen to run without one.\n";
        std::exit(1);
    }
    installQtMessageHandler();
    // Before any plug-in instance asks osgDB for its formats.
    restrictOsgPlugins();
    if (livingApplications == 0)
        osg::setNotifyHandler(new OsgNotifyRouter);

    if (createDefaultModel) {
        IKernel& kernel = *getKernel();
        auto model = std::make_shared<OSGModel>(kernel.getPluginFactory(), kernel.getEventSystem(),
                                                "default", defaultModelUuid());
        kernel.getModelRegistry()->addModel(model);
        kernel.getPluginFactory()->createOneInstanceOfAll();
    }
    ++livingApplications;
    setWindowIcon(QIcon(":/ApplicationBase/zel.png"));
}

QtApplication::~QtApplication()
{
    --livingApplications;
    shutdown(); // config.ini, then the kernel with every plug-in instance
    // The standard handler comes back with the last window. osgDB's registry is left to its
    // own exit-time release: erased, it could not be created again for a later window.
    if (livingApplications == 0)
        osg::setNotifyHandler(new osg::StandardNotifyHandler);
    m_dockOpaque.clear();
    m_checkableToolActions.clear();
    m_dockWidgets.clear();
}

std::list<QDockWidget*> QtApplication::addDockWidgetsOf(IQtInteraction* interaction, QMenu* menu)
{
    std::list<QDockWidget*> docks;
    const std::list<QWidget*> widgets = interaction->getDockWidgets();
    if (widgets.empty())
        return docks;
    const std::string name = pluginName(interaction);
    QMenu* submenu = menu->addMenu(QString::fromStdString(name));
    std::list<bool> flags = interaction->getDockWidgetFlags();
    auto flag = flags.begin();
    for (QWidget* widget : widgets) {
        const bool opaque = flag != flags.end() ? *flag++ : false;
        if (!widget)
            continue;
        if (widget->parent()) {
            ZEL_WARN << "Widget of QtInteraction instance " << interaction << " (plugin '" << name
                     << "') already has a parent.\n";
            continue;
        }
        QString title = widget->windowTitle();
        if (title.isEmpty())
            title = tr("Developer forgot to give the widget a title");
        auto* dock = new QDockWidget(this);
        m_dockOpaque[dock] = opaque;
        dock->installEventFilter(this);
        connect(dock, &QDockWidget::topLevelChanged, this, &QtApplication::dockTopLevelChanged);
        dock->setWindowTitle(title);
        dock->setObjectName(title);
        dock->setWidget(widget);
        dock->setToolTip(pluginDescription(interaction));
        dock->toggleViewAction()->setText(title);
        submenu->addAction(dock->toggleViewAction());
        addDockWidget(Qt::RightDockWidgetArea, dock);
        dock->hide();
        m_dockWidgets.push_back(dock);
        docks.push_back(dock);
    }
    return docks;
}

void QtApplication::tabifyDocks()
{
    if (m_dockWidgets.size() < 2)
        return;
    QDockWidget* first = m_dockWidgets.front();
    for (auto it = std::next(m_dockWidgets.begin()); it != m_dockWidgets.end(); ++it)
        tabifyDockWidget(first, *it);
}

void QtApplication::addQtInteractionDockWidgets(QMenu* menu)
{
    for (IQtInteraction* interaction :
         getKernel()->getPluginFactory()->getInstances<IQtInteraction>())
        addDockWidgetsOf(interaction, menu);
    menu->setEnabled(!menu->isEmpty());
    tabifyDocks();
}

void QtApplication::addQtInteractionMenus(QMenu* menu)
{
    for (IQtInteraction* interaction :
         getKernel()->getPluginFactory()->getInstances<IQtInteraction>())
        for (QMenu* pluginMenu : interaction->getMenus()) {
            if (!pluginMenu)
                continue;
            QMenu* submenu = menu->addMenu(QString::fromStdString(pluginName(interaction)));
            submenu->addMenu(pluginMenu);
        }
    menu->setEnabled(!menu->isEmpty());
}

void QtApplication::addQtInteractionToolBars()
{
    for (IQtInteraction* interaction :
         getKernel()->getPluginFactory()->getInstances<IQtInteraction>()) {
        const QString name = QString::fromStdString(pluginName(interaction));
        for (QToolBar* toolBar : interaction->getToolBars()) {
            if (!toolBar)
                continue;
            if (dynamic_cast<EventHandler*>(interaction))
                for (QAction* action : toolBar->actions())
                    if (action->isCheckable())
                        m_checkableToolActions[action] = interaction;
            toolBar->setParent(this);
            if (toolBar->objectName().isEmpty())
                toolBar->setObjectName(name);
            toolBar->setWindowTitle(name);
            toolBar->setToolTip(pluginDescription(interaction));
            addToolBar(toolBar);
        }
    }
}

void QtApplication::initSelectionPlugin()
{
    PluginFactory* factory = getKernel()->getPluginFactory();
    m_selectionPlugin = factory->getOrCreateInstance<ISelectionPlugin>(selectionPluginType);
    if (!m_selectionPlugin) {
        ZEL_ERROR << "SelectionPlugin not found.\n";
        return;
    }
    for (IOSGViewer* viewer : factory->getInstances<IOSGViewer>()) {
        osg::ref_ptr<osg::Referenced> context;
        viewer->getSelectionContext(context);
        m_selectionPlugin->registerViewer(viewer->getScene(), viewer, context,
                                          getKernel()->getConfigLocation("Selection", ""));
    }
}

void QtApplication::resetSelection()
{
    if (m_selectionPlugin)
        m_selectionPlugin->reset();
}

namespace {

Navigation::INavigationPlugin* navigationPlugin(PluginFactory& factory)
{
    return factory.getOrCreateInstance<Navigation::INavigationPlugin>(navigationPluginType);
}

} // namespace

void QtApplication::attachViewersToNavigation()
{
    PluginFactory& factory = *getKernel()->getPluginFactory();
    Navigation::INavigationPlugin* navigation = navigationPlugin(factory);
    if (!navigation)
        return;
    for (IOSGViewer* viewer : factory.getInstances<IOSGViewer>())
        if (!viewer->isNavigationDisabled()) {
            QWidget* widget = viewer->getWidget();
            navigation->attachViewer(widget ? widget->windowTitle().toStdString() : std::string(),
                                     viewer->getScene(), viewer);
        }
}

void QtApplication::detachViewersFromNavigation()
{
    PluginFactory& factory = *getKernel()->getPluginFactory();
    if (Navigation::INavigationPlugin* navigation = navigationPlugin(factory))
        for (IOSGViewer* viewer : factory.getInstances<IOSGViewer>())
            navigation->detachViewer(viewer->getScene());
}

void QtApplication::saveLayout(const QString& stateFile, const QString& geometryFile)
{
    writeLayoutFile(stateFile, saveState(0));
    writeLayoutFile(geometryFile, saveGeometry());
}

void QtApplication::restoreLayout(const QString& stateFile, const QString& geometryFile)
{
    const QByteArray state = readLayoutFile(stateFile, getAppDataPath());
    if (!state.isEmpty())
        restoreState(state, 0);
    const QByteArray geometry = readLayoutFile(geometryFile, getAppDataPath());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

bool QtApplication::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        auto* dock = qobject_cast<QDockWidget*>(watched);
        auto opaque = m_dockOpaque.find(dock);
        if (dock && opaque != m_dockOpaque.end() && !opaque->second)
            dock->setWindowOpacity(dock->isActiveWindow() ? 0.999999 : 0.5);
    }
    return false;
}

void QtApplication::dockTopLevelChanged(bool topLevel)
{
    auto* dock = qobject_cast<QDockWidget*>(sender());
    if (!dock)
        return;
    if (topLevel)
        dock->activateWindow();
    else
        activateWindow();
}
