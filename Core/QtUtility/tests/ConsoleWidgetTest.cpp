#include "QtUtility/ConsoleWidget.h"

#include "Logger/Log.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
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

TEST_F(ConsoleFixture, CopyWithoutARowUnderThePointerChangesNothing)
{
    QApplication::clipboard()->setText("unchanged");
    m_console->copyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), "unchanged");
}

} // namespace
