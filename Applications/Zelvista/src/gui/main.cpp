#include "ApplicationBase/Application.h"
#include "PluginSDK/Plugin.h"
#include "ProgramOptions.h"
#include "QtUtility/TerminationSignalWatcher.h"

#include <QCoreApplication>

// The program offers no plug-in classes of its own, but answers like a plug-in library.
ZEL_PLUGIN_LIBRARY()

int main(int argc, char** argv)
{
    QCoreApplication qtApplication(argc, argv);
    TerminationSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &TerminationSignalWatcher::terminationRequested,
                     &qtApplication, &QCoreApplication::quit);

    Application application(argc, argv, "Zelvista", programOptions(), true);
    const int result = qtApplication.exec();
    application.shutdown();
    return result;
}
