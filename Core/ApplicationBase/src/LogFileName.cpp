#include "ApplicationBase/LogFileName.h"

#include "Logger/File.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cerrno>
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

std::unique_ptr<Logger::Util::File> createNewLogFile(const std::string& path,
                                                     bool withEarlierRecords, std::string& error)
{
    const std::string suffix = ".log";
    const bool hasSuffix = path.size() >= suffix.size() &&
                           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    const std::string stem = hasSuffix ? path.substr(0, path.size() - suffix.size()) : path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            attempt == 0 ? path : stem + "-" + std::to_string(attempt) + (hasSuffix ? suffix : "");
        auto file = std::make_unique<Logger::Util::File>(candidate, nullptr, withEarlierRecords);
        if (file->isOpen())
            return file;
        error = file->error();
        if (file->errorNumber() != EEXIST)
            break;
    }
    return nullptr;
}
