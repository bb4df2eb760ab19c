#include "QtOSGPluginBase/IFileIO.h"

#include "Logger/Log.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

bool IFileIO::isExtensionSupported(const std::string& extension) const
{
    const QString wanted = "*." + QString::fromStdString(extension);
    const QStringList entries = QString::fromStdString(getFilterString()).split(";;");
    for (const QString& entry : entries) {
        const int open = entry.lastIndexOf('(');
        const int close = entry.lastIndexOf(')');
        if (open < 0 || close < 0 || open > close) {
            ZEL_INFO << "invalid filter string " << entry.toStdString() << "\n";
            continue;
        }
        const QStringList patterns = entry.mid(open + 1, close - open - 1).split(';');
        for (const QString& pattern : patterns)
            if (pattern.toLower() == wanted)
                return true;
    }
    return false;
}

std::string fileExtension(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).suffix().toLower().toStdString();
}
