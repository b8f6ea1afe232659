// The TMC counts of the navigation status logger: one timer per batch of changes, one entry per
// tick with the latest counts (destruction while armed or while a tick runs: see the factory's exit
// case). Ticks are brought forward with Expedite instead of waiting five minutes.
#include "LoggerTestSupport.h"

using namespace loggertest;

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

struct TmcCounts : LoggerSuite {
    TimerCtrl& controller = *TimerCtrl_GetInstance();
    bool armed(XOBLoggerNav& nav) { return controller.IsRegistered(&nav); }

    // Brings the tick forward and returns the entry it made, once the tick is over.
    std::string tick(XOBLoggerNav& nav) {
        controller.Expedite();
        xobtest::Bytes record;
        EXPECT_TRUE(s_device->next(record)) << "no entry after the tick";
        controller.WaitWhileTicking(&nav);
        return decoded(record);
    }
};

// A count set to the value held arms nothing; a change arms the timer once per batch of changes, and
// the tick records the counts as they are then, also when a count went back to the value held.
TEST_F(TmcCounts, OneTimerPerBatchAndTheTickRecordsTheLatestCounts) {
    XOBLoggerNav nav(m_shared);
    TraceCapture trace;
    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(0);
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(0);
    EXPECT_FALSE(armed(nav));
    EXPECT_EQ(trace.take(), Lines{});
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

    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(5);
    EXPECT_FALSE(armed(nav)) << "the same value armed the timer";
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(2147483647);
    EXPECT_TRUE(armed(nav));
    nav.Traffic_TmcInfoHDU_LogEntry_SetMessageCount(-1);
    EXPECT_EQ(tick(nav), tmcEntry("-1,2147483647"));
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(4);
    nav.Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(2147483647);
    EXPECT_EQ(tick(nav), tmcEntry("-1,2147483647"));
    const Lines lines = threadsMarked(trace.take());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kStartTimer), 2);
}
