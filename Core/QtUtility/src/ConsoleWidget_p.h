#pragma once

#include "Logger/IMessageHandler.h"
#include "QtUtility/ConsoleWidget.h"

#include <QSortFilterProxyModel>
#include <QStandardItem>
#include <deque>
#include <map>
#include <mutex>

// Keeps the complete log line of its row.
class ConsoleWidget::StandardItem : public QStandardItem
{
public:
    StandardItem(const QString& text, const std::string& line) : QStandardItem(text), m_line(line)
    {
        setEditable(false);
    }

    const std::string& getLogLine() const { return m_line; }

private:
    std::string m_line;
};

// Hides a row unless every column's pattern is found in it (case-insensitive, anywhere); an
// empty level pattern hides every row.
class ConsoleWidget::SortFilterProxyModel : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setPattern(int column, const QString& pattern) { m_patterns[column] = pattern; }
    void refilter() { invalidateFilter(); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    std::map<int, QString> m_patterns;
};

// Collects records from any thread and has the console take them in batches on the GUI thread:
// one queued call per batch, however many records arrive meanwhile. While the GUI thread is busy
// only the newest records wait; the log file keeps them all.
class ConsoleWidget::ZELLoggerMessageHandler : public Logger::Util::IMessageHandler
{
public:
    ZELLoggerMessageHandler(ConsoleWidget* console, std::size_t limit,
                            bool withEarlierRecords = false)
        : IMessageHandler(nullptr, true), m_console(console), m_limit(limit)
    {
        attach(withEarlierRecords);
    }
    ~ZELLoggerMessageHandler() override { detach(); }

    void handleMessage(const std::string& text, std::uint32_t level,
                       const std::string& fileName) override;

    // The records waiting, and how many were dropped before them.
    std::deque<std::string> take(std::size_t& dropped);

private:
    ConsoleWidget* m_console;
    const std::size_t m_limit;
    std::mutex m_mutex;
    std::deque<std::string> m_pending;
    std::size_t m_dropped = 0;
};
