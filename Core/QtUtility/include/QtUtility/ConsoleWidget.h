#pragma once

#include "ZelApi.h"

#include <QWidget>
#include <memory>
#include <string>

class QPoint;

// The log as a filterable table: one row per record, split into level, time and the rest.
// Records from any thread arrive in batches through a queued call; the table keeps the newest
// rows only (the log file keeps everything). The records of the run written before the console
// existed are replayed from the log file, or taken from the logger when there is none.
class ZEL_API ConsoleWidget : public QWidget
{
    Q_OBJECT

public:
    class SortFilterProxyModel;
    class StandardItem;
    class ZELLoggerMessageHandler;

    explicit ConsoleWidget(const std::string& logFilePath, QWidget* parent = nullptr);
    ~ConsoleWidget() override;

signals:
    void bottomScroll();

public slots:
    void filter();
    void openLogFile();
    void copyToClipboard();
    void viewContextMenu(const QPoint& point);
    void addLogText_internal(std::string logText);

private:
    void takePendingRecords();
    void appendRow(std::string logText);

    struct Private;
    std::unique_ptr<Private> d;
};
