// The TMC counts of the navigation status logger: one timer per batch of changes, one entry per
// tick with the latest counts, and destruction while a tick runs (destruction while armed: see the
// factory's exit case). Ticks are brought forward with Expedite instead of waiting five minutes.
#include "LoggerTestSupport.h"

#include "TestKit.h"
#include <future>

using loggertest::Lines;

namespace {

std::string tmcEntry(const std::string& counts) { return "Traffic_TmcInfoHDU_LogEntry text=" + counts; }

const std::string kStartTimer = "own: StartTimer: Start timer with 300000 msec";

// The trace lines without their thread ids, those of the calling thread marked "own: ".
Lines threadsMarked(const Lines& lines) {
    std::ostringstream own;
    own << "TID " << pthread_self() << ": ";
    Lines marked;
    for (const std::string& line : lines) {
        marked.push_back((line.rfind(own.str(), 0) == 0 ? "own: " : "") + line.substr(line.find(": ") + 2));
    }
    return marked;
}

class TmcCounts : public loggertest::LoggerSuite {
protected:
    TimerCtrl& controller() { return *TimerCtrl_GetInstance(); }
    bool armed(XOBLoggerNav& nav) { return controller().IsRegistered(&nav); }

    // Brings the tick forward and returns the entry it made, once the tick is over.
    std::string tick(XOBLoggerNav& nav) {
        controller().Expedite();
        xobtest::Bytes record;
        EXPECT_TRUE(s_device->next(record)) << "no entry after the tick";
        controller().WaitWhileTicking(&nav);
        return loggertest::decoded(record);
    }
};

TEST_F(TmcCounts, ArmsOnceAndRecordsTheLatestCountsAtTheTick) {
    XOBLoggerNav nav(m_shared);
    loggertest::TraceCapture trace;
    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(5);
    EXPECT_TRUE(armed(nav));
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(2);
    EXPECT_EQ(entriesSoFar(), Lines{}) << "an entry before the tick";
    EXPECT_EQ(nav.GetInterval(), 300000u);

    EXPECT_EQ(tick(nav), tmcEntry("5,2"));
    EXPECT_FALSE(armed(nav));
    EXPECT_EQ(threadsMarked(trace.take()),
              (Lines{kStartTimer, "Tick: ", "TimerElapsed: update Traffic_TmcInfoHDU_LogEntry(5,2)"}));
    EXPECT_EQ(entriesSoFar(), Lines{}) << "more than one entry for one tick";
}

TEST_F(TmcCounts, TheTickRecordsTheCountsAsTheyAreThen) {
    const auto messages = &XOBLoggerNav::Traffic_TmcInfoHDU_LogEntry_SetMessageCount;
    const auto onRoute = &XOBLoggerNav::Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount;
    const struct {
        std::vector<std::pair<decltype(messages), long>> changes;
        const char* recorded;
    } cases[] = {
        {{{messages, 5}, {messages, 0}}, "0,0"},  // back to the value held: the tick still records
        {{{messages, -1}, {onRoute, 0}}, "-1,0"},
        {{{onRoute, 2147483647}}, "0,2147483647"},
    };
    for (const auto& c : cases) {
        XOBLoggerNav nav(m_shared);
        for (const auto& change : c.changes) (nav.*change.first)(change.second);
        EXPECT_EQ(tick(nav), tmcEntry(c.recorded));
    }
}

// A count set to the value held arms nothing; a change after the tick arms the timer again.
TEST_F(TmcCounts, OnlyAChangeArmsAndAChangeAfterTheTickArmsAgain) {
    XOBLoggerNav nav(m_shared);
    loggertest::TraceCapture trace;
    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(0);
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(0);
    EXPECT_FALSE(armed(nav));
    EXPECT_EQ(trace.take(), Lines{});
    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(1);
    EXPECT_EQ(tick(nav), tmcEntry("1,0"));
    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(1);
    EXPECT_FALSE(armed(nav)) << "the same value armed the timer";
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(4);
    EXPECT_TRUE(armed(nav));
    EXPECT_EQ(tick(nav), tmcEntry("1,4"));
    const Lines lines = threadsMarked(trace.take());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kStartTimer), 2);
}

// A tick that has started when the logger is destroyed runs to its end on a live logger: the
// destructor waits for it (its owner holds no logger mutex here).
TEST_F(TmcCounts, DestructionWaitsForARunningTick) {
    auto nav = std::make_unique<XOBLoggerNav>(m_shared);
    loggertest::TraceCapture gate(1, true);
    nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(3);
    controller().Expedite();
    gate.waitForTick();

    std::future<void> destroyed = std::async(std::launch::async, [&nav] { nav.reset(); });
    EXPECT_EQ(destroyed.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "the logger was destroyed under a running tick";
    gate.release();
    destroyed.wait();
    EXPECT_EQ(entriesSoFar(), Lines{tmcEntry("3,0")});
}

}  // namespace
