#pragma once

#include "Logger/IMessageHandler.h"
#include "QtUtility/ConsoleWidget.h"

#include <QSortFilterProxyModel>
#include <QStandardItem>
#include <map>

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

class ConsoleWidget::ZELLoggerMessageHandler : public Logger::Util::IMessageHandler
{
public:
    explicit ZELLoggerMessageHandler(ConsoleWidget* console) : m_console(console) {}
    ~ZELLoggerMessageHandler() override { detach(); }

    void handleMessage(const std::string& text, std::uint32_t level,
                       const std::string& fileName) override;

private:
    ConsoleWidget* m_console;
};
