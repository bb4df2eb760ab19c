#include "QtUtility/QtMessageHandler.h"

#include "EventSystem/EventHandler.h"
#include "EventSystem/EventSystem.h"
#include "LogCapture.h"
#include "QtUtility/DropEventHelper.h"
#include "QtUtility/QtEvents.h"

#include <QDropEvent>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

TEST(QtMessageHandlerTest, QtDiagnosticsBecomeRecordsByType)
{
    installQtMessageHandler();
    LogCapture capture;
    qWarning("no newline");
    qWarning("with newline\n");
    qDebug("debug is dropped");
    qCritical("critical");
    qInfo("informative");
    qInstallMessageHandler(nullptr);

    const auto records = capture.records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].rfind("WARN ", 0), 0u);
    EXPECT_NE(records[0].find(" QtUtility(0) [] QtWarningMsg: no newline\n"), std::string::npos);
    EXPECT_NE(records[1].find("QtWarningMsg: with newline\n"), std::string::npos);
    EXPECT_EQ(records[1].find("\n\n"), std::string::npos);
    EXPECT_EQ(records[2].rfind("ERROR ", 0), 0u);
    EXPECT_NE(records[2].find("QtCriticalMsg: critical\n"), std::string::npos);
    EXPECT_EQ(records[3].rfind("INFO ", 0), 0u);
    EXPECT_NE(records[3].find("QtUnknownMsg:informative\n"), std::string::npos);
}

class Fallback : public EventHandler
{
public:
    explicit Fallback(EventSystem* system) : EventHandler(system, "Fallback", EventType::QtDrop) {}
    bool handleEvent(Event&) override
    {
        ++seen;
        return true;
    }
    int seen = 0;
};

TEST(DropEventHelperTest, OnlyDropsBecomeSignalsOthersPassOn)
{
    EventSystem system;
    DropEventHelper helper(&system);
    Fallback fallback(&system);
    std::vector<const QDropEvent*> signalled;
    QObject::connect(&helper, &DropEventHelper::newDropEvent,
                     [&signalled](const QDropEvent* event) { signalled.push_back(event); });

    QMimeData data;
    data.setText("text");
    QDropEvent drop(QPointF(3, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QtEventEvent dropEvent(EventType::QtDrop, &drop);
    EXPECT_TRUE(system.dispatch(dropEvent));
    ASSERT_EQ(signalled, std::vector<const QDropEvent*>{&drop});
    EXPECT_EQ(fallback.seen, 0);

    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QtEventEvent enterEvent(EventType::QtDrop, &enter);
    EXPECT_TRUE(system.dispatch(enterEvent));
    EXPECT_EQ(signalled.size(), 1u);
    EXPECT_EQ(fallback.seen, 1);
}

} // namespace
