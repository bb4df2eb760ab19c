#include "FileDialogFilter.h"

#include "QtOSGPluginBase/IFileIO.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

void splitEntries(const std::string& filter, std::vector<std::string>& entries)
{
    std::size_t begin = 0;
    while (true) {
        const std::size_t end = filter.find(";;", begin);
        entries.push_back(filter.substr(begin, end - begin));
        if (end == std::string::npos)
            return;
        begin = end + 2;
    }
}

} // namespace

std::string buildFileDialogFilter(const std::list<const IFileIO*>& fileIOs, bool withAllFiles,
                                  bool withAllSupported, std::string* selectedFilter)
{
    std::vector<std::string> entries;
    std::string patterns;
    for (const IFileIO* fileIO : fileIOs) {
        std::vector<std::string> offered;
        splitEntries(fileIO->getFilterString(), offered);
        for (const std::string& entry : offered) {
            if (entry.find("*.*") != std::string::npos)
                continue;
            if (!patterns.empty() && entry.find(patterns) != std::string::npos)
                continue;
            entries.push_back(entry);
            const std::size_t open = entry.find('(');
            const std::size_t close = entry.find(')');
            if (open != std::string::npos && close != std::string::npos && open < close)
                patterns +=
                    (patterns.empty() ? "" : " ") + entry.substr(open + 1, close - open - 1);
        }
    }
    std::sort(entries.begin(), entries.end());
    std::string filter;
    for (const std::string& entry : entries)
        filter += (filter.empty() ? "" : ";;") + entry;
    if (withAllFiles) {
        filter += (filter.empty() ? "" : ";;") + std::string("All Files (*.*)");
        if (selectedFilter)
            *selectedFilter = "All Files (*.*)";
    }
    if (withAllSupported && !patterns.empty()) {
        const std::string allSupported = "All Supported Files (" + patterns + ")";
        filter += ";;" + allSupported;
        if (selectedFilter)
            *selectedFilter = allSupported;
    }
    return filter;
}

QString qtFileDialogFilter(const std::string& filter)
{
    QString converted = QString::fromStdString(filter);
    int depth = 0;
    for (QChar& c : converted) {
        if (c == '(')
            ++depth;
        else if (c == ')')
            depth = std::max(0, depth - 1);
        else if (c == ';' && depth > 0)
            c = ' ';
    }
    return converted;
}

QString defaultSuffixOf(const QString& filterEntry)
{
    const int open = filterEntry.lastIndexOf('(');
    const int close = filterEntry.lastIndexOf(')');
    if (open < 0 || close < open)
        return {};
    const QStringList patterns = filterEntry.mid(open + 1, close - open - 1)
                                     .split(QRegularExpression("[ ;]"), Qt::SkipEmptyParts);
    if (patterns.isEmpty() || !patterns.front().startsWith("*.") || patterns.front() == "*.*")
        return {};
    return patterns.front().mid(2);
}
