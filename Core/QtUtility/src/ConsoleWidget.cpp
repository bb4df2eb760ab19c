#include "QtUtility/ConsoleWidget.h"

#include "ConsoleWidget_p.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegExp>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextStream>
#include <QTime>
#include <QUrl>
#include <QVBoxLayout>
#include <array>
#include <utility>

namespace {

struct LevelBox
{
    const char* label;
    const char* pattern;
};

// Order of the grid (row by row); the filter pattern is built in the order ERROR, DEBUG, WARN,
// INFO, FATAL, TRACE.
constexpr std::array<LevelBox, 6> levelBoxes = {{{"INFO", "INFO|"},
                                                 {"ERROR", "ERROR|"},
                                                 {"DEBUG", "DEBUG|"},
                                                 {"WARNING", "WARN|"},
                                                 {"FATAL", "FATAL|"},
                                                 {"TRACE", "TRACE|"}}};
constexpr std::array<int, 6> patternOrder = {1, 2, 3, 0, 4, 5};

// Rows kept in the table; older ones leave it (the log file keeps everything).
constexpr std::size_t rowLimit = 20000;

} // namespace

struct ConsoleWidget::Private
{
    std::array<QCheckBox*, 6> levels{};
    QLineEdit* customFilter = nullptr;
    QAction* copyAction = nullptr;
    StandardItem* contextItem = nullptr;
    QStandardItemModel* model = nullptr;
    SortFilterProxyModel* proxy = nullptr;
    QTableView* view = nullptr;
    std::unique_ptr<ZELLoggerMessageHandler> handler;
    std::string logFilePath;
};

bool ConsoleWidget::SortFilterProxyModel::filterAcceptsRow(int sourceRow,
                                                           const QModelIndex& sourceParent) const
{
    if (m_patterns.empty())
        return true;
    for (const auto& [column, pattern] : m_patterns) {
        if (column == 0 && pattern.isEmpty())
            return false;
        const QString text =
            sourceModel()->index(sourceRow, column, sourceParent).data().toString();
        if (!text.contains(QRegExp(pattern, Qt::CaseInsensitive, QRegExp::RegExp)))
            return false;
    }
    return true;
}

void ConsoleWidget::ZELLoggerMessageHandler::handleMessage(const std::string& text, std::uint32_t,
                                                           const std::string&)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending.size() >= m_limit) {
        m_pending.pop_front();
        ++m_dropped;
    }
    m_pending.push_back(text);
    if (m_pending.size() == 1 && m_dropped == 0) {
        ConsoleWidget* console = m_console;
        QMetaObject::invokeMethod(
            console, [console] { console->takePendingRecords(); }, Qt::QueuedConnection);
    }
}

std::deque<std::string> ConsoleWidget::ZELLoggerMessageHandler::take(std::size_t& dropped)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    dropped = std::exchange(m_dropped, 0);
    return std::exchange(m_pending, {});
}

ConsoleWidget::ConsoleWidget(const std::string& logFilePath, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>())
{
    qRegisterMetaType<std::string>("std::string");
    d->logFilePath = logFilePath;

    auto* levelGroup = new QGroupBox(tr("Log Filter:"), this);
    // As large as the labels need in the user's font, no larger.
    levelGroup->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* grid = new QGridLayout(levelGroup);
    for (std::size_t i = 0; i < levelBoxes.size(); ++i) {
        d->levels[i] = new QCheckBox(levelBoxes[i].label, levelGroup);
        d->levels[i]->setChecked(true);
        grid->addWidget(d->levels[i], int(i / 2), int(i % 2));
        connect(d->levels[i], &QCheckBox::toggled, this, &ConsoleWidget::filter);
    }

    auto* customGroup = new QGroupBox(tr("Custom Filter:"), this);
    customGroup->setMaximumWidth(150);
    auto* customLayout = new QVBoxLayout(customGroup);
    d->customFilter = new QLineEdit(customGroup);
    d->customFilter->setPlaceholderText(tr("Type your regexp..."));
    customLayout->addWidget(d->customFilter);
    connect(d->customFilter, &QLineEdit::returnPressed, this, &ConsoleWidget::filter);
    connect(d->customFilter, &QLineEdit::textChanged, this, &ConsoleWidget::filter);

    auto* openButton = new QPushButton(tr("Open LogFile"), this);
    openButton->setObjectName("openLogFileButton");
    openButton->setEnabled(!logFilePath.empty());
    connect(openButton, &QPushButton::clicked, this, &ConsoleWidget::openLogFile);

    auto* controls = new QVBoxLayout;
    controls->setContentsMargins(0, 0, 0, 0);
    controls->addWidget(levelGroup);
    controls->addWidget(customGroup, 0, Qt::AlignTop);
    controls->addWidget(openButton);

    d->model = new QStandardItemModel(0, 3, this);
    d->model->setHorizontalHeaderLabels({tr("Log Level"), tr("Time"), tr("Information")});
    d->proxy = new SortFilterProxyModel(this);
    d->proxy->setSourceModel(d->model);
    d->proxy->setDynamicSortFilter(true);

    d->view = new QTableView(this);
    d->view->setModel(d->proxy);
    d->view->setSortingEnabled(false);
    d->view->setSelectionBehavior(QAbstractItemView::SelectRows);
    d->view->setAlternatingRowColors(true);
    d->view->setContextMenuPolicy(Qt::CustomContextMenu);
    d->view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    d->view->horizontalHeader()->setStretchLastSection(true);
    connect(d->view, &QTableView::customContextMenuRequested, this,
            &ConsoleWidget::viewContextMenu);
    connect(this, &ConsoleWidget::bottomScroll, d->view, &QTableView::scrollToBottom);

    d->copyAction = new QAction(tr("Copy line to clipboard"), this);
    connect(d->copyAction, &QAction::triggered, this, &ConsoleWidget::copyToClipboard);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(controls);
    layout->addWidget(d->view);

    d->proxy->setPattern(0, QString());
    d->proxy->setPattern(1, QString());
    filter();

    QFile file(QFile::decodeName(logFilePath.c_str()));
    const bool replay = !logFilePath.empty() && file.open(QIODevice::ReadOnly | QIODevice::Text);
    // Without a log file the records made before the console come from the logger itself.
    d->handler = std::make_unique<ZELLoggerMessageHandler>(this, rowLimit, !replay);
    if (replay) {
        QTextStream lines(&file);
        while (!lines.atEnd())
            d->handler->handleMessage(lines.readLine().toStdString(), 0, std::string());
    }
}

ConsoleWidget::~ConsoleWidget()
{
    // No record may be queued for this widget once it starts to go.
    d->handler.reset();
}

void ConsoleWidget::addLogText_internal(std::string logText)
{
    appendRow(std::move(logText));
    emit bottomScroll();
}

// One batch: the rows are appended, the oldest beyond the limit go, and the view scrolls once.
void ConsoleWidget::takePendingRecords()
{
    std::size_t dropped = 0;
    std::deque<std::string> records = d->handler->take(dropped);
    if (dropped > 0)
        appendRow("WARN " + QTime::currentTime().toString("hh:mm:ss").toStdString() +
                  " ConsoleWidget [] " + std::to_string(dropped) +
                  " records came too fast to show; the log file has them all");
    for (std::string& record : records)
        appendRow(std::move(record));
    const int excess = d->model->rowCount() - int(rowLimit);
    if (excess > 0)
        d->model->removeRows(0, excess);
    emit bottomScroll();
}

void ConsoleWidget::appendRow(std::string logText)
{
    if (!logText.empty() && logText.back() == '\n')
        logText.pop_back();
    const QString text = QString::fromStdString(logText);
    const int levelEnd = text.indexOf(' ');
    const QString level = text.left(levelEnd);
    const QString rest = levelEnd < 0 ? QString() : text.mid(levelEnd + 1);
    const int timeEnd = rest.indexOf(' ');
    const QString time = rest.left(timeEnd);
    const QString information = timeEnd < 0 ? QString() : rest.mid(timeEnd + 1);
    d->model->appendRow({new StandardItem(level, logText), new StandardItem(time, logText),
                         new StandardItem(information, logText)});
}

void ConsoleWidget::filter()
{
    QString levels;
    for (int index : patternOrder)
        if (d->levels[std::size_t(index)]->isChecked())
            levels += levelBoxes[std::size_t(index)].pattern;
    levels.chop(levels.endsWith('|') ? 1 : 0);
    d->proxy->setPattern(0, levels);
    d->proxy->setPattern(1, d->customFilter->text());
    d->proxy->refilter();
    emit bottomScroll();
}

void ConsoleWidget::openLogFile()
{
    if (!d->logFilePath.empty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(d->logFilePath.c_str())));
}

void ConsoleWidget::copyToClipboard()
{
    if (!d->contextItem)
        return;
    QApplication::clipboard()->setText(QString::fromStdString(d->contextItem->getLogLine()));
    d->contextItem = nullptr;
}

void ConsoleWidget::viewContextMenu(const QPoint& point)
{
    const QModelIndex index = d->proxy->mapToSource(d->view->indexAt(point));
    d->contextItem =
        index.isValid() ? static_cast<StandardItem*>(d->model->itemFromIndex(index)) : nullptr;
    QMenu menu(this);
    menu.addAction(d->copyAction);
    menu.exec(QCursor::pos());
}
