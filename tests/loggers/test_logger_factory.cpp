// The logger factory: one instance and one logger of each kind for racing first callers; and the
// end of the process, where the factory goes with its loggers, also while a tick is running. Each
// case runs in a fresh child process (death-test machinery), where the factory does not exist yet.
#include "LoggerTestSupport.h"

#include "platform/Seams.h"

#include "TestKit.h"
#include <array>

namespace {

using Instances = std::array<const void*, 5>;

Instances instances() {
    return {XOBLoggerFactory::getInstance(), XOBLoggerFactory::GetXobLoggerNav(), XOBLoggerFactory::GetXobLoggerMap(),
            XOBLoggerFactory::GetXobLoggerRG(), XOBLoggerFactory::GetXobLoggerSensor()};
}

void failInChild(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    _exit(1);
}

void raceForTheFirstInstance() {
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    Instances seen[kThreads];
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (++ready; ready < kThreads;) std::this_thread::yield();
            seen[i] = instances();
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const Instances& one : seen) {
        if (one != instances() || std::count(one.begin(), one.end(), nullptr) != 0) {
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
// navigation logger as timer client, and whether that logger still held its share when the tick
// ended. Leaked on purpose: used until the very end of the child.
struct ExitProbe {
    CIPtr<dsi::navigation::RouteOptions> options{new dsi::navigation::RouteOptions};
    ITimerCtrlClient* navClient = nullptr;
    std::atomic<bool> routeLoggerAliveAtTickEnd{false};
    loggertest::TraceCapture gate{1, true, [this] { routeLoggerAliveAtTickEnd = options.GetRefCount() == 2; }};
};
ExitProbe* g_probe = nullptr;

// Registered before the factory exists, so it runs after the factory has been destroyed.
void checkAfterFactory() {
    if (g_probe->options.GetRefCount() != 1) failInChild("the route guidance logger outlived the factory");
    if (TimerCtrl_GetInstance()->IsRegistered(g_probe->navClient)) failInChild("the timer is still registered");
    if (g_probe->gate.tickEntered() && !g_probe->routeLoggerAliveAtTickEnd) {
        failInChild("the running tick did not end before the loggers went");
    }
}

// The navigation timer armed (and, with `tickRunning`, its tick started and held up), then exit.
void exitWithArmedTimer(bool tickRunning) {
    xob::seams::setDevicePath("/dev/null");
    g_probe = new ExitProbe;
    std::atexit(&checkAfterFactory);
    XOBLoggerFactory::GetXobLoggerRG()->SetRouteOptions(g_probe->options);
    XOBLoggerNav* const nav = XOBLoggerFactory::GetXobLoggerNav();
    XOBLoggerFactory::GetXobLoggerMap()->SetNeedUpdate();
    g_probe->navClient = nav;
    nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(9);
    if (!TimerCtrl_GetInstance()->IsRegistered(nav)) failInChild("the timer was not armed");
    if (tickRunning) {
        TimerCtrl_GetInstance()->Expedite();
        g_probe->gate.waitForTick();
        // Let the tick go on once exit is under way (if it goes on earlier, the case is only weaker).
        // A process still there long after is stuck: a tick waiting for a lock that the
        // destruction holds while it waits for the tick.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            g_probe->gate.release();
            std::this_thread::sleep_for(std::chrono::seconds(30));
            failInChild("exit is stuck behind the running tick");
        }).detach();
    }
    std::exit(0);
}

TEST(LoggerFactory, ExitDestroysTheLoggersWithTheTimerArmedOrItsTickRunning) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool tickRunning : {false, true}) {
        EXPECT_EXIT(exitWithArmedTimer(tickRunning), testing::ExitedWithCode(0), "") << tickRunning;
    }
}

}  // namespace
