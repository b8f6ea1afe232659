// The four navigation loggers from seven threads at once (as their classes allow), tracing on and the TMC timer made to
// fire again and again: run under ThreadSanitizer too (README.md).
#include "TestKit.h"
#include <xob/XOBLogger.h>

#include "Ledger.h"

using namespace xobtest;

constexpr std::uint16_t kTmc = 0x758;  // the timer decides how many: those that arrived or were reported

TEST(StressLoggers, AllFourLoggersFromSeveralThreadsWithTheTmcTimerFiring) {
    XOB_REQUIRE_SYSLOG();
    const std::uint32_t rounds = pick(1000000, 100000, 30000, 20000) / 6;
    DeviceStandIn device;
    std::atomic<std::uint64_t> traceLines{0};
    XOBLoggerBase::TraceChannel().SetSink([&traceLines](short, const std::string&) { ++traceLines; });
    XOBLoggerBase::TraceChannel().SetLevel(1);
    Ledger ledger(device, false);

    // Each makes its calls and returns how many entries they made.
    const std::function<std::uint64_t()> navigation = [rounds] {
        XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
        for (std::uint32_t i = 0; i < rounds; ++i) {
            nav->WatchDogHDU_LogEntry("wd", "navigation-watchdog");
            nav->Nav_SWDL_Check("Navigation", "map", "pkg");
            nav->Nav_StateOfOperationHDU_LogEntry(static_cast<XOBLog::NavStateOfOperation>(i & 7),
                                                  static_cast<XOBLog::NaviState>(i & 3));
            nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(static_cast<long>(i));
            nav->Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(static_cast<long>(i));
            if (i % 170 == 0) nav->Init_NavLogfiles();  // three entries
        }
        return 3u * rounds + 3u * ((rounds + 169) / 170);
    };
    const std::function<std::uint64_t()> sensor = [rounds] {
        const auto wheel = reinterpret_cast<const unsigned char*>("wheel");
        for (std::uint32_t i = 0; i < 3 * rounds; ++i) {
            XOBLoggerFactory::GetXobLoggerSensor()->Sensoric_SensorData_LogEntry(wheel, static_cast<long>(i));
        }
        return 3u * rounds;
    };
    const std::function<std::uint64_t()> route = [rounds] {  // two route starts and a stop each
        XOBLoggerRG* route = XOBLoggerFactory::GetXobLoggerRG();
        CIPtr<dsi::navigation::RouteOptions> options(new dsi::navigation::RouteOptions);
        options->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{40, 41});
        for (std::uint32_t i = 0; i < rounds; ++i) {
            options->type = static_cast<int>(i % 4);
            route->NewRouteCalculation(XOBLog::VGM_COMPACT, options, XOBLog::NSR_TmcRecalculationStart, "A1");
            route->SetRouteOptions(options);
            route->FinishNewRouteCalculation();
            route->RouteGuidanceStopped(static_cast<XOBLog::NavStopReason>(i & 3));
        }
        return 3u * rounds;
    };
    const std::function<std::uint64_t()> map = [rounds] {
        XOBLoggerMap* map = XOBLoggerFactory::GetXobLoggerMap();
        for (std::uint32_t i = 0; i < 3 * rounds / 2; ++i) {
            map->SetZoomLevelMeters(static_cast<long>(i));
            map->SetDayNight(static_cast<XOBLog::DayNightSetting>(i & 1));
            map->SetMapOrientation(static_cast<XOBLog::MapInstance>(0), static_cast<XOBLog::MapOrientation>(i & 3));
            map->SendUpdate();
        }
        return 3u * rounds / 2;
    };
    const std::function<std::uint64_t()> work[] = {navigation, navigation, navigation, sensor, sensor, route, map};
    constexpr unsigned kThreads = sizeof work / sizeof work[0];
    std::atomic<bool> callsDone{false};
    std::thread timer([&callsDone] {  // the timer controller's thread runs every armed TMC timer now
        for (; !callsDone; usleep(1000)) TimerCtrl_GetInstance()->Expedite();
    });
    std::atomic<std::uint64_t> sent{0};
    std::atomic<unsigned> ready{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready < kThreads) std::this_thread::yield();  // all ask the factory at the same moment
            sent += work[t]();
        });
    }
    for (std::thread& thread : threads) thread.join();
    callsDone = true;
    timer.join();
    // The last count change arms the timer once more (unless it still is); make sure it fires.
    XOBLoggerFactory::GetXobLoggerNav()->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(-1);
    eventually([] {
        TimerCtrl_GetInstance()->Expedite();
        return !TimerCtrl_GetInstance()->IsRegistered(XOBLoggerFactory::GetXobLoggerNav());
    }, std::chrono::seconds(30));

    Books books = ledger.close(device.path());
    XOBLoggerBase::TraceChannel().SetSink(nullptr);
    books.sent = sent + books.byFunction[kTmc];
    books.missing = books.sent - books.delivered - books.lost;  // wraps, and fails, if more came than was sent
    expectBalanced("logger-mix", books, "tmc-entries=" + std::to_string(books.byFunction[kTmc]) +
                                            " trace-lines=" + std::to_string(traceLines.load()));
    EXPECT_GE(books.byFunction[kTmc], 1u) << "the TMC timer never fired";
    EXPECT_GT(traceLines.load(), sent / 2) << "tracing was on for every recording operation";
}
