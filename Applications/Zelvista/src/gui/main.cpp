#include "PluginSDK/Plugin.h"
#include "QtUtility/QtMessageHandler.h"
#include "QtUtility/TerminationSignalWatcher.h"
#include "Zelvista.h"

#include <QApplication>

// The program offers no plug-in classes of its own, but answers like a plug-in library.
ZEL_PLUGIN_LIBRARY()

int main(int argc, char** argv)
{
    // Qt's own diagnostics are log records from the first one on.
    installQtMessageHandler();
    // Help and option errors work without a display; a start that needs one says so.
    QtApplication::startOffscreenWithoutDisplay(argc, argv);
    QApplication qtApplication(argc, argv);
    // Watching from the start: a signal during start-up closes the window once it exists.
    TerminationSignalWatcher signalWatcher;
    int result = 0;
    {
        Zelvista window(argc, argv);
        // Ctrl+C and SIGTERM close the window as "Exit" does, so nothing is lost.
        QObject::connect(&signalWatcher, &TerminationSignalWatcher::terminationRequested, &window,
                         &QWidget::close);
        window.show();
        result = qtApplication.exec();
    }
    return result;
}
