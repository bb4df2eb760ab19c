#include "QtOSGPluginBase/INavigationPlugin.h"
#include "QtOSGPluginBase/IOSGViewer.h"
#include "QtOSGPluginBase/IQtInteraction.h"
#include "QtOSGPluginBase/ISelectionPlugin.h"

// Out-of-line destructors: the interfaces' type information lives in this library only, so
// dynamic casts from plug-ins built with hidden visibility find one type.
IQtInteraction::~IQtInteraction() = default;
IOSGViewer::~IOSGViewer() = default;
ISelectionPlugin::~ISelectionPlugin() = default;
Navigation::INavigationPlugin::~INavigationPlugin() = default;
