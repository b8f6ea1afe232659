// The four navigation loggers under load: several threads call them at once (navigation status from
// three threads, sensor data from two, route guidance and map settings from one each, as their
// classes allow), the TMC timer is made to fire again and again, and tracing is on. Run under
// ThreadSanitizer this finds data races, lock-order inversions and deadlocks. The books are kept
// per function identifier: every arrival decodes without damage, and delivered + reported lost = sent.
#include <xob/GXob.h>
#include <xob/XOBLogger.h>

#include "Ledger.h"
#include "SyslogCapture.h"

#include <gtest/gtest.h>

#include "Eventually.h"

using namespace xobtest;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr std::uint16_t kTmc = 0x758;
constexpr unsigned kThreads = 7;  // navigation 0 to 2, sensor 3 and 4, route guidance 5, map 6

// What the calling threads sent, per function identifier: each thread counts its own calls and
// adds them up when it is done.
class Books {
public:
    void add(const std::map<std::uint16_t, std::uint64_t>& sent) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& entry : sent) m_sent[entry.first] += entry.second;
    }
    void arrived(const xob::decoder::DecodedRecord& record) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (record.damaged()) {
            if (m_damaged++ == 0) m_firstDamage = std::string(record.name()) + ": " + record.damage.front();
        }
        ++m_delivered[record.functionId];
    }

    std::mutex m_mutex;
    std::map<std::uint16_t, std::uint64_t> m_sent, m_delivered;
    std::uint64_t m_damaged = 0;
    std::string m_firstDamage;
};

void navigationCalls(unsigned thread, std::uint32_t count, Books& books) {
    XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
    std::map<std::uint16_t, std::uint64_t> sent;
    for (std::uint32_t i = 0; i < count; ++i) {
        switch (i % 8) {
            case 0: ++sent[0x703]; nav->WatchDogHDU_LogEntry("wd", "navigation-watchdog"); break;
            case 1: ++sent[0x759]; nav->Nav_SWDL_Check("Navigation", "map", "pkg"); break;
            case 2:
                ++sent[0x418];
                nav->Nav_StateOfOperationHDU_LogEntry(static_cast<XOBLog::NavStateOfOperation>(i & 7),
                                                      static_cast<XOBLog::NaviState>(thread));
                break;
            case 3: nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(static_cast<long>(i)); break;
            case 4: ++sent[0x759]; nav->Nav_SWDL_Prepare_Result("PersonalPOI", (i & 8) != 0); break;
            case 5: nav->Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(static_cast<long>(i)); break;
            case 6: ++sent[0x760]; nav->Nav_Error_ReportError("navigation error"); break;
            default:
                if (i % 1024 == 7) {
                    sent[0x503] += 3;
                    nav->Init_NavLogfiles();
                }
                break;
        }
    }
    books.add(sent);
}

void sensorCalls(std::uint32_t count, Books& books) {
    XOBLoggerSensor* sensor = XOBLoggerFactory::GetXobLoggerSensor();
    for (std::uint32_t i = 0; i < count; ++i) {
        sensor->Sensoric_SensorData_LogEntry(reinterpret_cast<const unsigned char*>("wheel"), static_cast<long>(i));
    }
    books.add({{0x757, count}});
}

void routeCalls(std::uint32_t count, Books& books) {
    XOBLoggerRG* route = XOBLoggerFactory::GetXobLoggerRG();
    CIPtr<dsi::navigation::RouteOptions> options(new dsi::navigation::RouteOptions);
    options->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{40, 41});
    for (std::uint32_t i = 0; i < count; ++i) {
        options->type = static_cast<int>(i % 4);
        options->dyn = static_cast<int>(i % 3);
        route->NewRouteCalculation(XOBLog::VGM_COMPACT, options, XOBLog::NSR_TmcRecalculationStart, "A1");
        route->SetVoiceGuidanceMode(XOBLog::VGM_COMPLETE);
        route->SetRouteOptions(options);
        route->SetTmcStation("B2");
        route->FinishNewRouteCalculation();
        route->RouteGuidanceStopped(static_cast<XOBLog::NavStopReason>(i & 3));
    }
    books.add({{0x418, 3u * count}});  // two route starts and a stop
}

void mapCalls(std::uint32_t count, Books& books) {
    XOBLoggerMap* map = XOBLoggerFactory::GetXobLoggerMap();
    for (std::uint32_t i = 0; i < count; ++i) {
        map->SetZoomLevelMeters(static_cast<long>(i));
        map->SetDayNight(static_cast<XOBLog::DayNightSetting>(i & 1));
        map->SetMapOrientation(static_cast<XOBLog::MapInstance>(0), static_cast<XOBLog::MapOrientation>(i & 3));
        map->SetMapType(static_cast<XOBLog::MapInstance>(2), static_cast<XOBLog::MapType>(i & 1));
        map->SetDrawRoutes((i & 2) != 0);
        map->SetTrafficEventIcons((i & 4) != 0);
        map->SendUpdate();
    }
    books.add({{0x426, count}});
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

    Books books;
    Collector collector(device, [&books](const xob::decoder::DecodedRecord& record) { books.arrived(record); });
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> callsDone{false};
    // The timer controller's thread runs every armed TMC timer now, again and again.
    std::thread timer([&callsDone] {
        while (!callsDone) {
            TimerCtrl_GetInstance()->Expedite();
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    std::vector<std::thread> threads;
    std::atomic<unsigned> ready{0};
    const auto whenAllReady = [&ready] {
        ++ready;
        while (ready < kThreads) std::this_thread::yield();  // all ask the factory at the same moment
    };
    for (unsigned t = 0; t < 3; ++t) threads.emplace_back([&, t] { whenAllReady(); navigationCalls(t, calls, books); });
    for (unsigned t = 3; t < 5; ++t) threads.emplace_back([&] { whenAllReady(); sensorCalls(calls / 2, books); });
    threads.emplace_back([&] { whenAllReady(); routeCalls(calls / 6, books); });
    threads.emplace_back([&] { whenAllReady(); mapCalls(calls / 4, books); });
    for (std::thread& thread : threads) thread.join();
    callsDone = true;
    timer.join();
    // The last count change arms the timer once more (unless it still is); make sure it fires.
    XOBLoggerFactory::GetXobLoggerNav()->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(-1);
    eventually([] {
        TimerCtrl_GetInstance()->Expedite();
        return !TimerCtrl_GetInstance()->IsRegistered(XOBLoggerFactory::GetXobLoggerNav());
    }, seconds(30));

    ASSERT_TRUE(collector.settle(static_cast<int>(pick(600000, 120000, 300000, 300000))));
    const LogReport log = readSystemLog(device.path());
    channel.SetSink(nullptr);
    channel.SetLevel(level);
    std::map<std::uint16_t, std::uint64_t> lost;
    for (const auto& loss : log.losses) ++lost[static_cast<std::uint16_t>(loss.first)];

    // The sums over every kind but the TMC entries, whose number the timer decides.
    std::lock_guard<std::mutex> lock(books.m_mutex);
    const std::uint64_t ticks = books.m_delivered[kTmc] + lost[kTmc];
    books.m_delivered.erase(kTmc);
    Tally tally;
    for (const auto& entry : books.m_delivered) {
        EXPECT_EQ(books.m_sent.count(entry.first), 1u) << std::hex << "never sent: 0x" << entry.first;
    }
    for (const auto& entry : books.m_sent) {
        const std::uint16_t id = entry.first;
        EXPECT_LE(books.m_delivered[id] + lost[id], entry.second) << std::hex << "function identifier 0x" << id;
        tally.sent += entry.second;
        tally.delivered += books.m_delivered[id];
        tally.lost += lost[id];
    }
    tally.unaccounted = tally.sent - tally.delivered - tally.lost;
    EXPECT_LE(tally.unaccounted, log.linesLost) << "records neither delivered nor reported";
    printFigures("logger-mix", tally, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                 "tmc-entries=" + std::to_string(ticks) + " trace-lines=" + std::to_string(traceLines.load()),
                 std::min(tally.unaccounted, log.linesLost));
    EXPECT_EQ(books.m_damaged, 0u) << books.m_firstDamage;
    EXPECT_GE(ticks, 1u) << "the TMC timer never fired";
    EXPECT_GT(traceLines.load(), tally.sent / 2) << "tracing was on for every recording operation";
    expectNoOtherReports(log);
}

}  // namespace
