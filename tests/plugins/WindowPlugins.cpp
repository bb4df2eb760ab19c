// Plug-ins that bring docks, tool bars, menus and status bars, and stand-ins for the viewer,
// navigation and selection plug-ins, for the main window's tests. Each records what it is asked.
#include "Logger/Log.h"
#include "PluginSDK/Plugin.h"
#include "PluginSDK/WellKnownPlugins.h"
#include "QtOSGPluginBase/INavigationPlugin.h"
#include "QtOSGPluginBase/IOSGModel.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>

namespace {

// Widgets handed to the window are owned by it once docked; QPointer notices when they go.
template <class Derived>
class InteractionBase : public PluginSDK::Plugin<Derived>, public IQtInteraction
{
public:
    using PluginSDK::Plugin<Derived>::Plugin;

    // Menus stay the plug-in's; docks, tool bars and the status bar go to the window that took
    // them, the rest are deleted here.
    ~InteractionBase() override
    {
        for (QMenu* menu : m_menus)
            delete menu;
        for (const QPointer<QWidget>& widget : m_created)
            if (widget && !widget->parent())
                delete widget.data();
    }

    std::list<QWidget*> getDockWidgets() override { return m_docks; }
    std::list<bool> getDockWidgetFlags() override { return std::list<bool>(m_docks.size(), false); }
    std::list<QToolBar*> getToolBars() override { return m_toolBars; }
    std::list<QMenu*> getMenus() override { return m_menus; }
    QStatusBar* getStatusBar() override { return m_statusBar; }

protected:
    QWidget* addDock(const QString& title)
    {
        auto* widget = new QLabel(title.isEmpty() ? "untitled" : title);
        widget->setWindowTitle(title);
        m_docks.push_back(widget);
        m_created.push_back(widget);
        return widget;
    }

    QStatusBar* makeStatusBar()
    {
        m_statusBar = new QStatusBar;
        m_created.push_back(m_statusBar);
        return m_statusBar;
    }

    QToolBar* makeToolBar()
    {
        auto* toolBar = new QToolBar;
        m_toolBars.push_back(toolBar);
        m_created.push_back(toolBar);
        return toolBar;
    }

    std::list<QWidget*> m_docks;
    std::list<QToolBar*> m_toolBars;
    std::list<QMenu*> m_menus;
    QStatusBar* m_statusBar = nullptr;
    std::list<QPointer<QWidget>> m_created;
};

class DockProviderA : public InteractionBase<DockProviderA>
{
public:
    DockProviderA(IKernel* kernel, const PluginInstanceInfo& info) : InteractionBase(kernel, info)
    {
        addDock("Alpha Dock");
        addDock("");
        makeToolBar()->addAction("Alpha Tool")->setCheckable(true);
        m_menus.push_back(new QMenu("Alpha Menu"));
        makeStatusBar()->setObjectName("AlphaStatusBar");
    }
    static PluginDescriptor& descriptor();
};

class DockProviderB : public InteractionBase<DockProviderB>
{
public:
    DockProviderB(IKernel* kernel, const PluginInstanceInfo& info) : InteractionBase(kernel, info)
    {
        m_docks.push_back(&m_owned); // already has a parent: skipped with a warning
        addDock("Beta Dock");
        m_menus.push_back(new QMenu("Beta Menu 1"));
        m_menus.push_back(new QMenu("Beta Menu 2"));
        makeStatusBar();
    }
    static PluginDescriptor& descriptor();

private:
    QWidget m_parent;
    QLabel m_owned{"owned", &m_parent};
};

class TestViewer : public InteractionBase<TestViewer>, public IOSGViewer
{
public:
    TestViewer(IKernel* kernel, const PluginInstanceInfo& info) : InteractionBase(kernel, info)
    {
        m_widget = new QLabel("viewer " + QString::fromStdString(info.getName()));
        m_widget->setWindowTitle(QString::fromStdString(info.getName()));
        addDock("Viewer Settings " + QString::fromStdString(info.getName()));
    }
    ~TestViewer() override { delete m_widget.data(); }
    static PluginDescriptor& descriptor();

    QWidget* getWidget() override { return m_widget; }
    osgViewer::View* getScene() override { return reinterpret_cast<osgViewer::View*>(this); }
    void setRenderWindowFullScreen(bool on, const std::list<int>& screens) override
    {
        std::string list;
        for (int screen : screens)
            list += " " + std::to_string(screen);
        record("setRenderWindowFullScreen " + std::to_string(on) + list);
    }
    void setModel(const std::shared_ptr<IOSGModel>& model) override
    {
        m_model = model;
        record("setModel " + (model ? model->getName() : std::string("null")));
    }
    std::shared_ptr<IOSGModel> getModel() const override { return m_model; }
    void getSelectionContext(osg::ref_ptr<osg::Referenced>& context) override { context = nullptr; }
    void onSceneLoaded() override { record("onSceneLoaded"); }
    bool isNavigationDisabled() const override { return false; }
    void setSideBySideStereo(bool on) override
    {
        record("setSideBySideStereo " + std::to_string(on));
    }
    void setHeadMountedDisplay(bool enable, bool settings) override
    {
        record("setHeadMountedDisplay " + std::to_string(enable) + " " + std::to_string(settings));
    }
    void requestRedraw() override {}

private:
    void record(const std::string& call)
    {
        ZEL_INFO << "TestViewer " << getInstanceInfo().getName() << " " << call << "\n";
    }

    QPointer<QLabel> m_widget;
    std::shared_ptr<IOSGModel> m_model;
};

class TestNavigation : public PluginSDK::Plugin<TestNavigation>,
                       public Navigation::INavigationPlugin
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();
    void attachViewer(const std::string& name, osgViewer::View*, IOSGViewer* viewer) override
    {
        ZEL_INFO << "TestNavigation attachViewer " << name << " "
                 << dynamic_cast<IPlugin*>(viewer)->getInstanceInfo().getName() << "\n";
    }
    void detachViewer(osgViewer::View*) override { ZEL_INFO << "TestNavigation detachViewer\n"; }
};

class TestSelection : public PluginSDK::Plugin<TestSelection>, public ISelectionPlugin
{
public:
    using Plugin::Plugin;
    static PluginDescriptor& descriptor();
    void registerViewer(osgViewer::View*, IOSGViewer* viewer, const osg::ref_ptr<osg::Referenced>&,
                        const ConfigLocation& location) override
    {
        ZEL_INFO << "TestSelection registerViewer "
                 << dynamic_cast<IPlugin*>(viewer)->getInstanceInfo().getName() << " "
                 << location.pluginName << "\n";
    }
    void reset() override { ZEL_INFO << "TestSelection reset\n"; }
};

} // namespace

ZEL_PLUGIN_DESCRIPTOR(DockProviderA,
                      PluginSDK::describe<DockProviderA>("DockProviderA",
                                                         "0a000000-0000-4000-8000-00000000000a",
                                                         20000)
                          .description("docks, a tool bar, a menu, a status bar"))
ZEL_PLUGIN_DESCRIPTOR(DockProviderB,
                      PluginSDK::describe<DockProviderB>("DockProviderB",
                                                         "0b000000-0000-4000-8000-00000000000b",
                                                         20001))
ZEL_PLUGIN_DESCRIPTOR(TestViewer,
                      PluginSDK::describe<TestViewer>("TestViewer", WellKnownPlugins::defaultViewer,
                                                      5000))
ZEL_PLUGIN_DESCRIPTOR(TestNavigation,
                      PluginSDK::describe<TestNavigation>("TestNavigation",
                                                          WellKnownPlugins::navigation, 5001))
ZEL_PLUGIN_DESCRIPTOR(TestSelection,
                      PluginSDK::describe<TestSelection>("TestSelection",
                                                         WellKnownPlugins::selection, 5002))

ZEL_PLUGIN_LIBRARY(DockProviderA, DockProviderB, TestViewer, TestNavigation, TestSelection)
