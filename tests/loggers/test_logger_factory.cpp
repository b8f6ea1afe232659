// The logger factory: one instance and one logger of each kind, also for racing first callers; the
// loggers used together from several threads while TMC ticks run; and the end of the process, where
// the factory goes with its loggers, also while a tick is running. The first-use and exit cases run
// in a fresh child process each (death-test machinery), where the factory does not exist yet.
#include "LoggerTestSupport.h"

#include "platform/Seams.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>
#include <unistd.h>

using loggertest::Bytes;

namespace {

struct FactoryPointers {
    XOBLoggerFactory* factory = nullptr;
    XOBLoggerNav* nav = nullptr;
    XOBLoggerMap* map = nullptr;
    XOBLoggerRG* rg = nullptr;
    XOBLoggerSensor* sensor = nullptr;

    static FactoryPointers get() {
        return {XOBLoggerFactory::getInstance(), XOBLoggerFactory::GetXobLoggerNav(),
                XOBLoggerFactory::GetXobLoggerMap(), XOBLoggerFactory::GetXobLoggerRG(),
                XOBLoggerFactory::GetXobLoggerSensor()};
    }
    bool operator==(const FactoryPointers& o) const {
        return factory == o.factory && nav == o.nav && map == o.map && rg == o.rg && sensor == o.sensor;
    }
};

void failInChild(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::fflush(stderr);
    _exit(1);
}

// In a fresh process: threads that ask for the loggers at the same moment all get the same ones.
void raceForTheFirstInstance() {
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    FactoryPointers seen[kThreads];
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (!go) {
                std::this_thread::yield();
            }
            seen[i] = FactoryPointers::get();
        });
    }
    while (ready < kThreads) {
        std::this_thread::yield();
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    const FactoryPointers later = FactoryPointers::get();
    for (const FactoryPointers& pointers : seen) {
        if (!(pointers == later) || pointers.nav == nullptr || pointers.map == nullptr || pointers.rg == nullptr ||
            pointers.sensor == nullptr) {
            failInChild("racing callers got different or null loggers");
        }
    }
    std::exit(0);
}

TEST(LoggerFactory, RacingFirstCallersShareOneInstance) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(raceForTheFirstInstance(), testing::ExitedWithCode(0), "");
}

// What the exit case observes: the route options shared with the route guidance logger, the
// navigation logger as timer client, and what the trace lines of the tick saw.
struct ExitProbe {
    CIPtr<dsi::navigation::RouteOptions> options{new dsi::navigation::RouteOptions};
    ITimerCtrlClient* navClient = nullptr;
    std::mutex mutex;
    std::condition_variable changed;
    bool tickEntered = false;
    bool tickReleased = false;
    bool tickEnded = false;
    bool routeLoggerAliveAtTickEnd = false;
};

ExitProbe* g_probe = nullptr;  // leaked on purpose: used until the very end of the child

// Registered before the factory exists, so it runs after the factory has been destroyed.
void checkAfterFactory() {
    if (g_probe->options.GetRefCount() != 1) {
        failInChild("the route guidance logger outlived the factory");
    }
    if (TimerCtrl_GetInstance()->IsRegistered(g_probe->navClient)) {
        failInChild("the navigation logger's timer is still registered");
    }
    std::lock_guard<std::mutex> lock(g_probe->mutex);
    if (g_probe->tickEntered && !(g_probe->tickEnded && g_probe->routeLoggerAliveAtTickEnd)) {
        failInChild("the running tick did not end before the loggers went");
    }
}

// The sink holds the tick in its first trace line until released, and notes at the tick's last
// line whether the route guidance logger still holds its share of the route options.
void probeSink(short, const std::string& text) {
    ExitProbe& probe = *g_probe;
    std::unique_lock<std::mutex> lock(probe.mutex);
    if (text.find(": Tick: ") != std::string::npos) {
        probe.tickEntered = true;
        probe.changed.notify_all();
        probe.changed.wait(lock, [&probe] { return probe.tickReleased; });
    } else if (text.find(": TimerElapsed: ") != std::string::npos) {
        probe.tickEnded = true;
        probe.routeLoggerAliveAtTickEnd = probe.options.GetRefCount() == 2;
    }
}

// In a fresh process: the navigation timer armed (and, with `tickRunning`, its tick started and held
// up), then exit.
void exitWithArmedTimer(bool tickRunning) {
    xob::seams::setDevicePath("/dev/null");
    g_probe = new ExitProbe;
    std::atexit(&checkAfterFactory);
    XOBLoggerBase::TraceChannel().SetSink(&probeSink);
    XOBLoggerBase::TraceChannel().SetLevel(1);

    XOBLoggerFactory::GetXobLoggerRG()->SetRouteOptions(g_probe->options);
    XOBLoggerNav* const nav = XOBLoggerFactory::GetXobLoggerNav();
    XOBLoggerFactory::GetXobLoggerMap()->SetNeedUpdate();
    g_probe->navClient = nav;
    nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(9);
    if (!TimerCtrl_GetInstance()->IsRegistered(nav)) {
        failInChild("the timer was not armed");
    }
    if (tickRunning) {
        TimerCtrl_GetInstance()->Expedite();
        {
            std::unique_lock<std::mutex> lock(g_probe->mutex);
            g_probe->changed.wait(lock, [] { return g_probe->tickEntered; });
        }
        // Let the tick go on once exit is under way (if it goes on earlier, the case is only weaker).
        // A process still there long after is stuck: a tick waiting for a lock that the
        // destruction holds while it waits for the tick.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            {
                std::lock_guard<std::mutex> lock(g_probe->mutex);
                g_probe->tickReleased = true;
                g_probe->changed.notify_all();
            }
            std::this_thread::sleep_for(std::chrono::seconds(30));
            failInChild("exit is stuck behind the running tick");
        }).detach();
    }
    std::exit(0);
}

TEST(LoggerFactory, ExitDestroysTheLoggersWithTheTimerArmed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithArmedTimer(false), testing::ExitedWithCode(0), "");
}

TEST(LoggerFactory, ExitLetsARunningTickEndBeforeTheLoggersGo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithArmedTimer(true), testing::ExitedWithCode(0), "");
}

class FactoryLoggersTogether : public loggertest::LoggerSuite {};

// All loggers used at once from several threads while TMC ticks are brought forward: every entry
// arrives whole, once. Under ThreadSanitizer this also checks the lock order of the object layer.
TEST_F(FactoryLoggersTogether, ConcurrentUseRecordsEveryEntry) {
    // Five entries a round and at most one TMC entry: all of them fit in the ring of 120 records
    // even if the writer delivers none meanwhile, so none is lost.
    constexpr int kRounds = 15;
    const FactoryPointers loggers = FactoryPointers::get();
    loggertest::TraceCapture trace;
    std::atomic<bool> done{false};
    const unsigned char data[] = {'s', 0};

    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            loggers.nav->Nav_SWDL_Prepare("Navigation");
            loggers.nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(i);
            loggers.nav->Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(-i);
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            loggers.rg->NewRouteCalculation(XOBLog::VGM_COMPLETE, nullptr, XOBLog::NSR_SectionBlocked, "S");
            loggers.rg->RouteGuidanceStopped(static_cast<XOBLog::NavStopReason>(1));
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            loggers.sensor->Sensoric_SensorData_LogEntry(data, 1);
            loggers.map->SetZoomLevelMeters(i);
            loggers.map->SendUpdate();
        }
    });
    std::thread ticker([&] {
        while (!done) {
            TimerCtrl_GetInstance()->Expedite();
            std::this_thread::yield();
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    done = true;
    ticker.join();
    // The last change may have armed the timer once more.
    while (TimerCtrl_GetInstance()->IsRegistered(loggers.nav)) {
        TimerCtrl_GetInstance()->Expedite();
        std::this_thread::yield();
    }
    TimerCtrl_GetInstance()->WaitWhileTicking(loggers.nav);

    std::map<std::pair<int, int>, int> counts;  // (function identifier, sub-identifier) -> entries
    for (const Bytes& record : recordsSoFar()) {
        ASSERT_GE(record.size(), 13u);
        ASSERT_EQ(record[0] | record[1] << 8, static_cast<int>(record.size()) - 2) << xobtest::hex(record);
        ++counts[{record[6] | record[7] << 8, record[12]}];
    }
    const int tmcEntries = counts[{0x758, 0}];
    counts.erase({0x758, 0});
    const std::map<std::pair<int, int>, int> expected = {
        {{0x759, 2}, kRounds}, {{0x418, 1}, kRounds}, {{0x418, 2}, kRounds}, {{0x757, 4}, kRounds},
        {{0x426, 1}, kRounds}};
    EXPECT_EQ(counts, expected);
    EXPECT_GE(tmcEntries, 1);
    EXPECT_FALSE(trace.take().empty());
}

}  // namespace
