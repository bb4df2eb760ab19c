#pragma once

#include "ZelApi.h"

#include <list>

class QMenu;
class QStatusBar;
class QToolBar;
class QWidget;

// What a plug-in brings into the main window. Widgets handed out here are parented by the
// window (docks, tool bars, menus) and must not have a parent yet.
class ZEL_API IQtInteraction
{
public:
    virtual ~IQtInteraction();

    virtual std::list<QWidget*> getDockWidgets() = 0;
    // One flag per dock widget: true keeps the dock fully opaque while it floats.
    virtual std::list<bool> getDockWidgetFlags() = 0;
    virtual std::list<QToolBar*> getToolBars() = 0;
    virtual std::list<QMenu*> getMenus() = 0;
    virtual QStatusBar* getStatusBar() = 0;
};
