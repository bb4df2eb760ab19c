#include "PluginSDK/Plugin.h"
#include "QtUtility/QtMessageHandler.h"
#include "QtUtility/TerminationSignalWatcher.h"
#include "Zelvista.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// The program offers no plug-in classes of its own, but answers like a plug-in library.
ZEL_PLUGIN_LIBRARY()

namespace {

// Page faults are most of what a large scene's arrays cost on a virtual machine: with huge pages
// for malloc's large blocks, a million-triangle scene shows in half the time. glibc reads that
// setting only at start, so the program starts itself once more with it; its reader helpers
// inherit it. A setting the user made is left as it is.
void restartWithHugePages(char** argv)
{
    static const char setting[] = "glibc.malloc.hugetlb=1";
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb"))
        return;
    const std::string value =
        tunables && *tunables ? std::string(tunables) + ":" + setting : std::string(setting);
    // The program's own path, not /proc/self/exe, so that the process keeps its name.
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0 || length >= ssize_t(sizeof path - 1))
        return;
    path[length] = '\0';
    ::setenv("GLIBC_TUNABLES", value.c_str(), 1);
    ::execv(path, argv);
    // Runs on without them when the restart fails.
}

} // namespace

int main(int argc, char** argv)
{
    restartWithHugePages(argv);
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
