#include "EventSystem/EventSystem.h"

#include "EventSystem/Event.h"
#include "EventSystem/EventHandler.h"
#include "LogCapture.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

class RecordingHandler : public EventHandler
{
public:
    RecordingHandler(EventSystem& system, const std::string& name, std::uint32_t mask,
                     std::vector<std::string>& journal, bool consume = false)
        : EventHandler(&system, name, mask), m_journal(journal), m_consume(consume)
    {}

    bool handleEvent(Event& event) override
    {
        m_journal.push_back(getName() + ":" + std::to_string(event.type));
        return m_consume;
    }

private:
    std::vector<std::string>& m_journal;
    bool m_consume;
};

std::vector<std::string> names(const EventSystem& system)
{
    std::vector<std::string> result;
    for (const EventHandler* handler : system.handlers())
        result.push_back(handler->getName());
    return result;
}

using Names = std::vector<std::string>;

TEST(EventDispatchTest, HandlersSeeTheirTypesInOrderUntilOneConsumes)
{
    EventSystem system;
    std::vector<std::string> journal;
    RecordingHandler first(system, "first", 16, journal);
    RecordingHandler second(system, "second", 16, journal, true);
    RecordingHandler third(system, "third", 48, journal);

    Event model{16};
    EXPECT_TRUE(system.dispatch(model));
    EXPECT_EQ(journal, (Names{"first:16", "second:16"}));

    journal.clear();
    Event other{32};
    EXPECT_FALSE(system.dispatch(other));
    EXPECT_EQ(journal, (Names{"third:32"}));

    journal.clear();
    Event none{1};
    EXPECT_FALSE(system.dispatch(none));
    EXPECT_TRUE(journal.empty());
}

TEST(EventDispatchTest, DestroyedHandlersLeaveTheListAndDuplicatesAreRefused)
{
    EventSystem system;
    std::vector<std::string> journal;
    auto gone = std::make_unique<RecordingHandler>(system, "gone", 16, journal);
    RecordingHandler stays(system, "stays", 16, journal);
    EXPECT_EQ(system.findHandler("gone"), gone.get());
    gone.reset();
    EXPECT_EQ(system.findHandler("gone"), nullptr);
    Event event{16};
    system.dispatch(event);
    EXPECT_EQ(journal, (Names{"stays:16"}));

    LogCapture capture;
    system.registerHandler(&stays);
    EXPECT_EQ(capture.count(" already registered."), 1);
    EXPECT_EQ(names(system), (Names{"stays"}));
    system.deregisterHandler(&stays);
    system.deregisterHandler(&stays);
    EXPECT_EQ(capture.count(" not found and not deregistered."), 1);
    system.registerHandler(&stays); // back, so its destructor deregisters cleanly
}

TEST(EventOrderTest, MoveHandlerReordersAndKeepsTheOthersInOrder)
{
    EventSystem system;
    std::vector<std::string> journal;
    RecordingHandler a(system, "a", 16, journal), b(system, "b", 16, journal),
        c(system, "c", 16, journal), d(system, "d", 16, journal);

    EXPECT_TRUE(system.moveHandler(EventSystem::Before, &a, &b));
    EXPECT_TRUE(system.moveHandler(EventSystem::After, &d, &c));
    EXPECT_EQ(names(system), (Names{"a", "b", "c", "d"}));

    EXPECT_TRUE(system.moveHandler(EventSystem::Before, &d, &b));
    EXPECT_EQ(names(system), (Names{"a", "d", "b", "c"}));
    EXPECT_TRUE(system.moveHandler(EventSystem::After, &a, &b));
    EXPECT_EQ(names(system), (Names{"d", "b", "a", "c"}));
    EXPECT_TRUE(system.moveHandler(EventSystem::Before, &c));
    EXPECT_EQ(names(system), (Names{"d", "b", "c", "a"}));
    EXPECT_TRUE(system.moveHandler(EventSystem::Before, &d));
    EXPECT_TRUE(system.moveHandler(EventSystem::After, &a));
    EXPECT_EQ(names(system), (Names{"d", "b", "c", "a"}));
    EXPECT_TRUE(system.moveHandler(EventSystem::After, &d));
    EXPECT_EQ(names(system), (Names{"b", "d", "c", "a"}));
    EXPECT_TRUE(system.moveHandler(EventSystem::ToFront, &a));
    EXPECT_EQ(names(system), (Names{"a", "b", "d", "c"}));
    EXPECT_TRUE(system.moveHandler(EventSystem::ToBack, &b));
    EXPECT_EQ(names(system), (Names{"a", "d", "c", "b"}));

    EventSystem elsewhere;
    RecordingHandler stranger(elsewhere, "stranger", 16, journal);
    EXPECT_FALSE(system.moveHandler(EventSystem::ToFront, nullptr));
    EXPECT_FALSE(system.moveHandler(EventSystem::ToFront, &stranger));
    EXPECT_FALSE(system.moveHandler(EventSystem::Before, &a, &stranger));
    EXPECT_EQ(names(system), (Names{"a", "d", "c", "b"}));
}

} // namespace
