#include "QtUtility/ConsoleWidget.h"

#include "Logger/Log.h"
#include "cpplog/MultiplexLogger.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>
#include <thread>

namespace {

class ConsoleFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString path = m_dir.filePath("run.log");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream(&file) << "INFO 14:02:11 a.cpp(1) [] replayed start-up record\n"
                           << "WARN 14:03:12 b.cpp(2) [] replayed warning\n"
                           << "continuation line of a multi-line text\n"
                           << "OTHER 14:04:13 c.cpp(3) [] odd level\n";
        file.close();
        m_console = std::make_unique<ConsoleWidget>(path.toStdString());
        QApplication::processEvents();
        m_view = m_console->findChild<QTableView*>();
        m_custom = m_console->findChild<QLineEdit*>();
    }

    QCheckBox* box(const QString& label)
    {
        for (QCheckBox* candidate : m_console->findChildren<QCheckBox*>())
            if (candidate->text() == label)
                return candidate;
        return nullptr;
    }

    int shown() const { return m_view->model()->rowCount(); }
    QString cell(int row, int column) const
    {
        return m_view->model()->index(row, column).data().toString();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ConsoleWidget> m_console;
    QTableView* m_view = nullptr;
    QLineEdit* m_custom = nullptr;
};

TEST_F(ConsoleFixture, ReplaysTheLogFileAndSplitsRows)
{
    // Continuation lines and the OTHER record are kept but never shown: no level box matches.
    const QAbstractItemModel* all =
        static_cast<QSortFilterProxyModel*>(m_view->model())->sourceModel();
    ASSERT_EQ(all->rowCount(), 4);
    EXPECT_EQ(all->index(2, 0).data().toString(), "continuation");
    EXPECT_EQ(all->index(2, 2).data().toString(), "of a multi-line text");
    ASSERT_EQ(shown(), 2);
    EXPECT_EQ(cell(0, 0), "INFO");
    EXPECT_EQ(cell(0, 1), "14:02:11");
    EXPECT_EQ(cell(0, 2), "a.cpp(1) [] replayed start-up record");

    std::thread worker([] { ZEL_ERROR << "from a worker thread\n"; });
    worker.join();
    EXPECT_EQ(shown(), 2);
    QApplication::processEvents();
    ASSERT_EQ(shown(), 3);
    EXPECT_EQ(cell(2, 0), "ERROR");
    EXPECT_TRUE(cell(2, 2).endsWith("[] from a worker thread"));

    ConsoleWidget noFile("");
    EXPECT_FALSE(noFile.findChild<QPushButton*>("openLogFileButton")->isEnabled());
    EXPECT_TRUE(m_console->findChild<QPushButton*>("openLogFileButton")->isEnabled());
}

TEST_F(ConsoleFixture, LevelAndCustomFiltersCombine)
{
    box("WARNING")->setChecked(false);
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(cell(0, 0), "INFO");
    box("WARNING")->setChecked(true);

    m_custom->setText("14:03");
    EXPECT_EQ(shown(), 1);
    m_custom->setText("warning"); // matched against the time column only
    EXPECT_EQ(shown(), 0);
    m_custom->clear();
    EXPECT_EQ(shown(), 2);

    for (const char* label : {"INFO", "ERROR", "DEBUG", "WARNING", "FATAL", "TRACE"})
        box(label)->setChecked(false);
    m_custom->setText("14");
    EXPECT_EQ(shown(), 0);
}

TEST_F(ConsoleFixture, LevelBoxesShowTheirWholeLabelsInTheUsersFont)
{
    for (const int pointSize : {9, 14}) {
        QFont font = m_console->font();
        font.setPointSize(pointSize);
        m_console->setFont(font);
        m_console->show();
        QApplication::processEvents();
        for (const char* label : {"INFO", "ERROR", "DEBUG", "WARNING", "FATAL", "TRACE"}) {
            QCheckBox* levelBox = box(label);
            ASSERT_NE(levelBox, nullptr);
            EXPECT_GE(levelBox->width(), levelBox->sizeHint().width()) << label << pointSize;
            EXPECT_GE(levelBox->parentWidget()->width(), levelBox->geometry().right() + 1)
                << label << " at " << pointSize << " pt";
        }
    }
}

TEST_F(ConsoleFixture, RecordsArriveInBatchesAndTheTableKeepsTheNewest)
{
    const QAbstractItemModel* all =
        static_cast<QSortFilterProxyModel*>(m_view->model())->sourceModel();
    QSignalSpy scrolls(m_console.get(), &ConsoleWidget::bottomScroll);
    constexpr int burst = 50000;
    std::thread worker([] {
        for (int i = 0; i < burst / 2; ++i)
            ZEL_INFO << "burst " << i << "\n";
    });
    for (int i = burst / 2; i < burst; ++i)
        ZEL_INFO << "burst " << i << "\n";
    worker.join();
    QApplication::processEvents();

    EXPECT_LE(scrolls.count(), 2);
    EXPECT_LE(all->rowCount(), 20001);
    EXPECT_GE(all->rowCount(), 10000);
    // The newest record is the last row.
    const QString last = all->index(all->rowCount() - 1, 2).data().toString();
    EXPECT_TRUE(last.endsWith("burst " + QString::number(burst - 1)) ||
                last.endsWith("burst " + QString::number(burst / 2 - 1)))
        << last.toStdString();
}

TEST(ConsoleWithoutLogFileTest, EarlierRecordsComeFromTheLogger)
{
    Logger::rootLogger().keepBacklog(100);
    ZEL_WARN << "made before the console\n";
    ConsoleWidget console("");
    QApplication::processEvents();
    const QAbstractItemModel* all =
        static_cast<QSortFilterProxyModel*>(console.findChild<QTableView*>()->model())
            ->sourceModel();
    bool found = false;
    for (int row = 0; row < all->rowCount(); ++row)
        found = found || all->index(row, 2).data().toString().endsWith("made before the console");
    EXPECT_TRUE(found);
    EXPECT_FALSE(console.findChild<QPushButton*>("openLogFileButton")->isEnabled());
}

TEST_F(ConsoleFixture, CopyWithoutARowUnderThePointerChangesNothing)
{
    QApplication::clipboard()->setText("unchanged");
    m_console->copyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), "unchanged");
}

} // namespace
