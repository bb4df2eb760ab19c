#include "HumanInterface/InputMapper.h"

#include "EventSystem/EventSystem.h"
#include "LogCapture.h"
#include "QtUtility/QtEvents.h"
#include "RecordingActionHandler.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace HI;
using Calls = std::vector<std::string>;

namespace {

InputEvent input(InputEventType type, std::uint32_t buttons = 0, std::uint32_t key = 0)
{
    InputEvent event;
    event.m_type = type;
    event.m_mouseButtons = buttons;
    event.m_key = key;
    return event;
}

class InputMapperFixture : public ::testing::Test
{
protected:
    // One action per mode given, with IDs 1, 2, ...; bind them through primary().
    void makeMapper(const std::vector<ActionMode>& modes)
    {
        std::vector<InputAction> actions;
        for (ActionMode mode : modes) {
            const int id = static_cast<int>(actions.size()) + 1;
            actions.push_back({id, "action " + std::to_string(id), &m_handler, mode});
        }
        m_mapper = std::make_unique<InputMapper>(&m_events, nullptr, &m_handler, actions);
    }

    InputEvent& primary(int id) { return m_mapper->getMapping().mappings().at(id - 1).primary; }
    InputEvent& secondary(int id) { return m_mapper->getMapping().mappings().at(id - 1).secondary; }

    bool send(QEvent&& qtEvent)
    {
        QtInputEvent event(nullptr, &qtEvent);
        return m_events.dispatch(event);
    }

    static QMouseEvent mouse(QEvent::Type type, QPoint at, Qt::MouseButton button,
                             Qt::MouseButtons held)
    {
        return QMouseEvent(type, at, button, held, Qt::NoModifier);
    }
    static QMouseEvent press(QPoint at)
    {
        return mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    }
    static QMouseEvent release(QPoint at)
    {
        return mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    static QMouseEvent drag(QPoint at)
    {
        return mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }
    static QMouseEvent hover(QPoint at)
    {
        return mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    }
    static QKeyEvent key(QEvent::Type type, int code, bool autoRepeat = false)
    {
        return QKeyEvent(type, code, Qt::NoModifier, QString(), autoRepeat);
    }
    static QWheelEvent wheel(QPoint angleDelta)
    {
        return QWheelEvent(QPointF(3.4, 4.6), QPointF(3.4, 4.6), QPoint(), angleDelta, Qt::NoButton,
                           Qt::NoModifier, Qt::NoScrollPhase, false);
    }

    EventSystem m_events;
    RecordingActionHandler m_handler;
    std::unique_ptr<InputMapper> m_mapper;
    LogCapture m_log;
};

TEST_F(InputMapperFixture, PressAndReleaseInPlaceGiveDragBeginAndClick)
{
    makeMapper({Continuous, Single});
    primary(1) = input(MouseDrag, Qt::LeftButton);
    primary(2) = input(MouseClick, Qt::LeftButton);

    EXPECT_TRUE(send(press({10, 20})));
    EXPECT_EQ(m_handler.calls, (Calls{"begin:1@10,20"}));
    // The release is a click, not the drag's end: the release check ends the drag.
    EXPECT_TRUE(send(release({10, 20})));
    EXPECT_EQ(m_handler.calls, (Calls{"begin:1@10,20", "end:1@10,20", "trigger:2@10,20"}));

    // Released elsewhere it is a drag's end and no click.
    m_handler.calls.clear();
    send(press({10, 20}));
    EXPECT_FALSE(send(release({11, 20})));
    EXPECT_EQ(m_handler.calls, (Calls{"begin:1@10,20", "end:1@11,20"}));
}

TEST_F(InputMapperFixture, ContinuousDragBeginsUpdatesAndEnds)
{
    makeMapper({Continuous, Continuous});
    primary(1) = input(MouseDrag, Qt::LeftButton);
    primary(2) = input(MouseDrag, Qt::RightButton);

    send(press({0, 0}));
    EXPECT_TRUE(send(drag({5, 6})));
    EXPECT_TRUE(send(drag({9, 9})));
    send(release({9, 9}));
    EXPECT_EQ(m_handler.calls, (Calls{"begin:1@0,0", "update:1@5,6", "update:1@9,9", "end:1@9,9"}));
    EXPECT_FALSE(send(hover({1, 1})));

    // A handler that refuses to end keeps the action, and is asked again on the next input.
    m_handler.calls.clear();
    m_handler.acceptEnd = false;
    send(press({0, 0}));
    send(release({0, 0}));
    m_handler.acceptEnd = true;
    send(hover({2, 2}));
    send(hover({3, 3}));
    EXPECT_EQ(m_handler.calls, (Calls{"begin:1@0,0", "end:1@0,0", "end:1@2,2"}));
}

TEST_F(InputMapperFixture, KeysRepeatContinuousActionsAndFireSingleOnRelease)
{
    makeMapper({Continuous, Single});
    primary(1) = input(Key, 0, Qt::Key_W);
    secondary(2) = input(Key, 0, Qt::Key_Space);

    send(key(QEvent::KeyPress, Qt::Key_W));
    send(key(QEvent::KeyRelease, Qt::Key_W, true));
    send(key(QEvent::KeyPress, Qt::Key_W, true));
    send(key(QEvent::KeyRelease, Qt::Key_W));
    EXPECT_EQ(m_handler.calls, (Calls{"begin:1@0,0", "update:1@0,0", "update:1@0,0", "end:1@0,0"}));

    m_handler.calls.clear();
    EXPECT_TRUE(send(key(QEvent::KeyPress, Qt::Key_Space)));
    EXPECT_TRUE(m_handler.calls.empty());
    EXPECT_TRUE(send(key(QEvent::KeyRelease, Qt::Key_Space)));
    EXPECT_EQ(m_handler.calls, (Calls{"trigger:2@0,0"}));
}

TEST_F(InputMapperFixture, WheelStepsMatchTheirDirectionAndZeroMatchesNothing)
{
    makeMapper({Single, Single, Single});
    primary(1) = input(WheelUp);
    primary(2) = input(WheelDown);
    primary(3) = input(WheelRight);

    EXPECT_FALSE(send(wheel({0, 0})));
    EXPECT_TRUE(m_handler.calls.empty());
    EXPECT_TRUE(send(wheel({0, -120})));
    EXPECT_TRUE(send(wheel({-120, 15})));
    EXPECT_TRUE(send(wheel({0, 120})));
    EXPECT_EQ(m_handler.calls, (Calls{"trigger:2@3,5", "trigger:3@3,5", "trigger:1@3,5"}));
}

TEST_F(InputMapperFixture, GestureBindingGuardsMouseInput)
{
    makeMapper({Single, Continuous});
    primary(1) = input(Key, 0, Qt::Key_A);
    EXPECT_FALSE(send(hover({1, 1})));
    EXPECT_FALSE(send(press({1, 1})));
    EXPECT_FALSE(send(release({1, 1})));

    secondary(2) = input(PinchGesture);
    EXPECT_TRUE(send(hover({1, 1})));
    EXPECT_TRUE(send(press({1, 1})));
    EXPECT_TRUE(send(release({1, 1})));
    EXPECT_FALSE(send(key(QEvent::KeyRelease, Qt::Key_B)));
    EXPECT_TRUE(m_handler.calls.empty());
}

TEST_F(InputMapperFixture, AllMappingsOfOneInputFireInListOrder)
{
    makeMapper({Single, Single, Single, Single});
    m_mapper->getMapping().mappings()[0].mode = static_cast<ActionMode>(7);
    primary(1) = input(Key, 0, Qt::Key_F);
    secondary(2) = input(Key, 0, Qt::Key_F);
    primary(3) = input(Key, 0, Qt::Key_G);
    primary(4) = input(Key, 0, Qt::Key_F);

    send(key(QEvent::KeyPress, Qt::Key_F));
    send(key(QEvent::KeyRelease, Qt::Key_F));
    EXPECT_EQ(m_handler.calls, (Calls{"trigger:2@0,0", "trigger:4@0,0"}));
    EXPECT_EQ(m_log.count("Unknown action mode 7 detected.\n"), 2);
}

TEST_F(InputMapperFixture, ConstructionTriggersAndWatchedObject)
{
    RecordingActionHandler stranger("Stranger");
    QObject watched;
    QObject other;
    m_mapper = std::make_unique<InputMapper>(
        &m_events, &watched, &m_handler,
        std::vector<InputAction>{{1, "ours", &m_handler, Single},
                                 {2, "theirs", &stranger, Single},
                                 {3, "drag", &m_handler, Continuous}});
    EXPECT_TRUE(m_log.contains("actionHandler is different.\n"));
    ASSERT_EQ(m_mapper->getMapping().mappings().size(), 2u);
    EXPECT_EQ(m_events.findHandler("InputMapper ('Recorder')"), m_mapper.get());

    primary(1) = input(Key, 0, Qt::Key_A);
    QKeyEvent keyRelease = key(QEvent::KeyRelease, Qt::Key_A);
    QtInputEvent fromOther(&other, &keyRelease);
    EXPECT_FALSE(m_events.dispatch(fromOther));
    QtInputEvent fromWatched(&watched, &keyRelease);
    EXPECT_TRUE(m_events.dispatch(fromWatched));
    EXPECT_EQ(m_handler.lastEvent, &keyRelease);

    EXPECT_TRUE(m_mapper->triggerAction(1));
    EXPECT_EQ(m_handler.lastEvent, nullptr);
    EXPECT_FALSE(m_mapper->triggerAction(2));
    EXPECT_TRUE(m_log.contains("invalid action ID.\n"));
    // A continuous action that is not active has nothing to end.
    EXPECT_FALSE(m_mapper->triggerAction(3));
    EXPECT_EQ(m_handler.calls, (Calls{"trigger:1@0,0", "trigger:1@0,0"}));

    m_mapper.reset();
    EXPECT_EQ(m_events.findHandler("InputMapper ('Recorder')"), nullptr);
}

TEST(InputEventTextTest, NamesModifiersInputAndButtonOrKey)
{
    InputEvent drag = input(MouseDrag, Qt::LeftButton);
    EXPECT_EQ(InputMapper::getDisplayText(drag, Continuous), "mouse drag left button");
    drag.m_modifier = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    drag.m_mouseButtons = Qt::BackButton;
    EXPECT_EQ(InputMapper::getDisplayText(drag, Continuous),
              "CTRL + ALT + SHIFT + mouse drag button 8");
    EXPECT_EQ(InputMapper::getDisplayText(input(Key, 0, Qt::Key_PageUp), Single),
              "key pressed PgUp");
    EXPECT_EQ(InputMapper::getDisplayText(input(MouseDrag, Qt::LeftButton), Single),
              "Unknown input event type and mode, please update the map. left button");
    EXPECT_EQ(InputMapper::getDisplayText(InputEvent(), Single), "");
}

} // namespace
