// The logger factory: one instance and one logger of each kind for racing first callers; and the
// end of the process, where the factory goes with its loggers, also while a tick is running. Each
// case runs in a fresh child process (death-test machinery), where the factory does not exist yet.
#include "LoggerTestSupport.h"

#include "platform/Seams.h"

#include <array>
#include <future>

using Instances = std::array<const void*, 5>;

Instances instances() {
    return {XOBLoggerFactory::getInstance(), XOBLoggerFactory::GetXobLoggerNav(), XOBLoggerFactory::GetXobLoggerMap(),
            XOBLoggerFactory::GetXobLoggerRG(), XOBLoggerFactory::GetXobLoggerSensor()};
}

void failInChild(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    _exit(1);
}

// Racing first callers get one factory and one logger of each kind.
void raceForTheFirstInstance() {
    std::atomic<int> ready{0};
    std::vector<std::future<Instances>> seen;
    for (int i = 0; i < 8; ++i) {
        seen.push_back(std::async(std::launch::async, [&ready] {
            for (++ready; ready < 8;) std::this_thread::yield();
            return instances();
        }));
    }
    for (std::future<Instances>& one : seen) {
        const Instances got = one.get();
        if (got != instances() || std::count(got.begin(), got.end(), nullptr)) failInChild("different or null loggers");
    }
}

// What the exit case observes: the route options shared with the route guidance logger, the
// navigation logger as timer client, whether a tick runs, and whether the route guidance logger still
// held its share when the tick ended. Leaked on purpose: used until the very end of the child.
struct ExitProbe {
    CIPtr<dsi::navigation::RouteOptions> options{new dsi::navigation::RouteOptions};
    ITimerCtrlClient* navClient = nullptr;
    bool tickRunning = false;
    std::atomic<bool> routeLoggerAliveAtTickEnd{false};
    loggertest::TraceCapture gate{1, true, [this] { routeLoggerAliveAtTickEnd = options.GetRefCount() == 2; }};
};
ExitProbe* g_probe = nullptr;

// Registered before the factory exists, so it runs after the factory has been destroyed.
void checkAfterFactory() {
    if (g_probe->options.GetRefCount() != 1) failInChild("the route guidance logger outlived the factory");
    if (TimerCtrl_GetInstance()->IsRegistered(g_probe->navClient)) failInChild("the timer is still registered");
    if (g_probe->tickRunning && !g_probe->routeLoggerAliveAtTickEnd) {
        failInChild("the running tick did not end before the loggers went");
    }
}

// The navigation timer armed (and, with `tickRunning`, its tick started and held up), then exit.
void exitWithArmedTimer(bool tickRunning) {
    xob::seams::setDevicePath("/dev/null");
    g_probe = new ExitProbe;
    std::atexit(&checkAfterFactory);
    raceForTheFirstInstance();
    XOBLoggerFactory::GetXobLoggerRG()->SetRouteOptions(g_probe->options);
    XOBLoggerNav* const nav = XOBLoggerFactory::GetXobLoggerNav();
    XOBLoggerFactory::GetXobLoggerMap()->SetNeedUpdate();
    g_probe->navClient = nav;
    nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(9);
    if (!TimerCtrl_GetInstance()->IsRegistered(nav)) failInChild("the timer was not armed");
    g_probe->tickRunning = tickRunning;
    if (tickRunning) {
        TimerCtrl_GetInstance()->Expedite();
        g_probe->gate.waitForTick();
        // Let the tick go on once exit is under way (if it goes on earlier, the case is only weaker). A process still
        // there long after is stuck: a tick waiting for a lock that the destruction holds while it waits for the tick.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            g_probe->gate.release();
            std::this_thread::sleep_for(std::chrono::seconds(30));
            failInChild("exit is stuck behind the running tick");
        }).detach();
    }
    std::exit(0);
}

TEST(LoggerFactory, RacingFirstCallersShareOneInstanceAndExitDestroysTheLoggersArmedOrTicking) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool tickRunning : {false, true}) {
        EXPECT_EXIT(exitWithArmedTimer(tickRunning), testing::ExitedWithCode(0), "") << tickRunning;
    }
}
