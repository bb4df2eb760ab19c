#include "QtUtility/QtMessageHandler.h"

#include "Logger/Log.h"

#include <QString>
#include <cstdlib>

namespace {

// Every record of Qt's names this place as its source.
const char* const qtSource = "Core/QtUtility/src/QtUtility";

} // namespace

void zelQtMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (text.isEmpty() || type == QtDebugMsg)
        return;
    const std::string message = text.toStdString();
    const bool endsLine = message.back() == '\n';
    Logger::Level level = Logger::Info;
    const char* prefix = endsLine ? "QtUnknownMsg: " : "QtUnknownMsg:";
    switch (type) {
    case QtWarningMsg:
        level = Logger::Warn;
        prefix = "QtWarningMsg: ";
        break;
    case QtCriticalMsg:
        level = Logger::Error;
        prefix = "QtCriticalMsg: ";
        break;
    case QtFatalMsg:
        level = Logger::Fatal;
        prefix = endsLine ? "QtFatalMsg: " : "QtFatalMsg:";
        break;
    default:
        break;
    }
    {
        Logger::PrivateUtil::Message record(qtSource, 0, level, Logger::rootLogger());
        record.stream() << Logger::componentTag() << " " << prefix << message
                        << (endsLine ? "" : "\n");
    }
    if (type == QtFatalMsg)
        std::abort();
}

void installQtMessageHandler()
{
    qInstallMessageHandler(zelQtMessageHandler);
}
