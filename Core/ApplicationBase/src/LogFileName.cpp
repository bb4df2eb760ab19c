#include "ApplicationBase/LogFileName.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <cstdlib>

namespace {

std::string temporaryDirectory()
{
    for (const char* variable : {"TEMP", "TMP", "TMPDIR"})
        if (const char* value = std::getenv(variable); value && *value)
            return value;
    return "/tmp";
}

} // namespace

std::string logFileName(const std::string& prefix)
{
    const std::string stamp =
        QDateTime::currentDateTime().toString("yyyy-MM-dd_hh-mm-ss").toStdString();
    char pid[16];
    std::snprintf(pid, sizeof pid, "%05lld",
                  static_cast<long long>(QCoreApplication::applicationPid()));
    return temporaryDirectory() + "/#" + prefix + "_" + stamp + "_" + pid + ".log";
}
