#pragma once

#include "ApplicationBase/Application.h"
#include "PluginSystem/Uuid.h"

#include <QMainWindow>
#include <list>
#include <map>

class IQtInteraction;
class ISelectionPlugin;
class QDockWidget;
class QMenu;

// The main-window base of a program: Application plus Qt's and OpenSceneGraph's messages in the
// log, the default scene model, and the plug-ins' docks, menus and tool bars in the window.
class ZEL_API QtApplication : public QMainWindow, public Application
{
    Q_OBJECT

public:
    QtApplication(int argc, char** argv, QWidget* parent, Qt::WindowFlags flags,
                  const std::string& applicationName,
                  boost::program_options::options_description options, bool createDefaultModel,
                  boost::program_options::positional_options_description positional = {});
    ~QtApplication() override;

    void addQtInteractionDockWidgets(QMenu* menu);
    void addQtInteractionMenus(QMenu* menu);
    void addQtInteractionToolBars();

    void initSelectionPlugin();
    void resetSelection();
    void attachViewersToNavigation();
    void detachViewersFromNavigation();

    void saveLayout(const QString& stateFile, const QString& geometryFile);
    void restoreLayout(const QString& stateFile, const QString& geometryFile);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Called before the QApplication exists. Without a display (no DISPLAY, WAYLAND_DISPLAY or
    // QT_QPA_PLATFORM, no "-platform") Qt aborts while it starts; then it starts off screen, so
    // that help and option errors still work (over ssh), and constructing the window ends the
    // process once the options are read: exit code 1 with a record saying why.
    static void startOffscreenWithoutDisplay(int argc, char** argv);

    // The UUID of the default model "default": name-based (SHA-1) in the nil namespace.
    static Uuid defaultModelUuid();

public slots:
    void dockTopLevelChanged(bool topLevel);

protected:
    // Docks one plug-in's widgets into a submenu of menu; returns the docks made.
    std::list<QDockWidget*> addDockWidgetsOf(IQtInteraction* interaction, QMenu* menu);
    void tabifyDocks();

    ISelectionPlugin* selectionPlugin() const { return m_selectionPlugin; }
    const std::list<QDockWidget*>& dockWidgets() const { return m_dockWidgets; }

private:
    std::list<QDockWidget*> m_dockWidgets;
    ISelectionPlugin* m_selectionPlugin = nullptr;
    std::map<QAction*, IQtInteraction*> m_checkableToolActions;
    std::map<QDockWidget*, bool> m_dockOpaque;
};
