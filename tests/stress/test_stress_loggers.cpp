// The four navigation loggers under load: several threads call them at once (navigation status from
// three threads, sensor data from two, route guidance and map settings from one each, as their
// classes allow), the TMC timer is made to fire again and again, and tracing is on. Run under
// ThreadSanitizer this finds data races, lock-order inversions and deadlocks. Every arrival decodes
// without damage, and delivered + reported lost = sent.
#include <xob/GXob.h>
#include <xob/XOBLogger.h>

#include "Ledger.h"
#include "SyslogCapture.h"

#include <gtest/gtest.h>

#include <functional>

#include "Eventually.h"

using namespace xobtest;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr std::uint16_t kTmc = 0x758;
constexpr unsigned kThreads = 7;  // navigation 0 to 2, sensor 3 and 4, route guidance 5, map 6

using Sent = std::map<std::uint16_t, std::uint64_t>;  // entries per function identifier

// Each sends `count` rounds of calls and returns how many entries they made.
std::uint64_t navigationCalls(unsigned thread, std::uint32_t count) {
    XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
    std::uint64_t sent = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        switch (i % 6) {
            case 0: ++sent; nav->WatchDogHDU_LogEntry("wd", "navigation-watchdog"); break;
            case 1: ++sent; nav->Nav_SWDL_Check("Navigation", "map", "pkg"); break;
            case 2:
                ++sent;
                nav->Nav_StateOfOperationHDU_LogEntry(static_cast<XOBLog::NavStateOfOperation>(i & 7),
                                                      static_cast<XOBLog::NaviState>(thread));
                break;
            case 3: nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(static_cast<long>(i)); break;
            case 4: nav->Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(static_cast<long>(i)); break;
            default:
                if (i % 1024 == 5) {
                    sent += 3;
                    nav->Init_NavLogfiles();
                }
                break;
        }
    }
    return sent;
}

TEST(StressLoggers, AllFourLoggersFromSeveralThreadsWithTheTmcTimerFiring) {
    XOB_REQUIRE_SYSLOG();
    const std::uint32_t calls = pick(1000000, 100000, 30000, 20000);
    startWatchdog(seconds(pick(3600, 600, 900, 1800)));
    DeviceStandIn device;
    SyslogCapture::instance().clear();
    std::atomic<std::uint64_t> traceLines{0};
    tracing::Channel& channel = XOBLoggerBase::TraceChannel();
    const short level = channel.GetLevel();
    channel.SetSink([&traceLines](short, const std::string&) { ++traceLines; });
    channel.SetLevel(1);

    std::mutex mutex;
    Sent delivered;
    std::string firstDamage;
    Ledger ledger(device, [&](const xob::decoder::DecodedRecord& record) {
        std::lock_guard<std::mutex> lock(mutex);
        if (record.damaged() && firstDamage.empty()) firstDamage = record.damage.front();
        ++delivered[record.functionId];
    });
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> callsDone{false};
    // The timer controller's thread runs every armed TMC timer now, again and again.
    std::thread timer([&callsDone] {
        while (!callsDone) {
            TimerCtrl_GetInstance()->Expedite();
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    const auto sensorCalls = [&] {
        XOBLoggerSensor* sensor = XOBLoggerFactory::GetXobLoggerSensor();
        for (std::uint32_t i = 0; i < calls / 2; ++i) {
            sensor->Sensoric_SensorData_LogEntry(reinterpret_cast<const unsigned char*>("wheel"), static_cast<long>(i));
        }
        return std::uint64_t{calls / 2};
    };
    const auto routeCalls = [&] {  // two route starts and a stop each
        XOBLoggerRG* route = XOBLoggerFactory::GetXobLoggerRG();
        CIPtr<dsi::navigation::RouteOptions> options(new dsi::navigation::RouteOptions);
        options->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{40, 41});
        for (std::uint32_t i = 0; i < calls / 6; ++i) {
            options->type = static_cast<int>(i % 4);
            route->NewRouteCalculation(XOBLog::VGM_COMPACT, options, XOBLog::NSR_TmcRecalculationStart, "A1");
            route->SetRouteOptions(options);
            route->FinishNewRouteCalculation();
            route->RouteGuidanceStopped(static_cast<XOBLog::NavStopReason>(i & 3));
        }
        return std::uint64_t{3u * (calls / 6)};
    };
    const auto mapCalls = [&] {
        XOBLoggerMap* map = XOBLoggerFactory::GetXobLoggerMap();
        for (std::uint32_t i = 0; i < calls / 4; ++i) {
            map->SetZoomLevelMeters(static_cast<long>(i));
            map->SetDayNight(static_cast<XOBLog::DayNightSetting>(i & 1));
            map->SetMapOrientation(static_cast<XOBLog::MapInstance>(0), static_cast<XOBLog::MapOrientation>(i & 3));
            map->SendUpdate();
        }
        return std::uint64_t{calls / 4};
    };
    const std::function<std::uint64_t()> work[kThreads] = {
        [&] { return navigationCalls(0, calls); }, [&] { return navigationCalls(1, calls); },
        [&] { return navigationCalls(2, calls); }, sensorCalls, sensorCalls, routeCalls, mapCalls};
    std::uint64_t sentBy[kThreads] = {};
    std::vector<std::thread> threads;
    std::atomic<unsigned> ready{0};
    for (unsigned t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ++ready;
            while (ready < kThreads) std::this_thread::yield();  // all ask the factory at the same moment
            sentBy[t] = work[t]();
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
    }, seconds(30));

    LogReport log = ledger.close(device.path());
    channel.SetSink(nullptr);
    channel.SetLevel(level);
    Sent lost;
    for (const auto& loss : log.losses) ++lost[static_cast<std::uint16_t>(loss.first)];
    // The sums over every kind but the TMC entries, whose number the timer decides.
    std::lock_guard<std::mutex> lock(mutex);
    const std::uint64_t ticks = delivered[kTmc] + lost[kTmc];
    Tally tally;
    for (const std::uint64_t sent : sentBy) tally.sent += sent;
    for (const auto& entry : delivered) tally.delivered += entry.first == kTmc ? 0 : entry.second;
    for (const auto& entry : lost) tally.lost += entry.first == kTmc ? 0 : entry.second;
    tally.unaccounted = tally.sent - tally.delivered - tally.lost;
    printFigures("logger-mix", tally, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                 "tmc-entries=" + std::to_string(ticks) + " trace-lines=" + std::to_string(traceLines.load()),
                 std::min(tally.unaccounted, log.linesLost));
    EXPECT_LE(tally.delivered + tally.lost, tally.sent);
    EXPECT_LE(tally.unaccounted, log.linesLost) << "records neither delivered nor reported";
    EXPECT_EQ(firstDamage, "");
    EXPECT_GE(ticks, 1u) << "the TMC timer never fired";
    EXPECT_GT(traceLines.load(), tally.sent / 2) << "tracing was on for every recording operation";
    expectNoOtherReports(log);
}

}  // namespace
