// The four navigation loggers under load: several threads call them at once (navigation status from
// three threads, sensor data from two, route guidance and map settings from one each, as their
// classes allow), the TMC timer is made to fire again and again, and tracing is on. Run under
// ThreadSanitizer this finds data races, lock-order inversions and deadlocks; a watchdog ends the
// program when the run does not finish. The books are kept per entry kind: delivered + reported
// lost = sent, and the entries that carry a sequence code arrive in order, once and intact.
#include <xob/GXob.h>
#include <xob/XOBLogger.h>

#include "DeviceStandIn.h"
#include "StressKit.h"
#include "SyslogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

using namespace xobstress;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

// The entry kinds the loggers make, as the device and the loss reports tell them apart.
enum Stream { WatchDogHit, SwdlCheck, State, PrepareResult, NavError, Sensor, RouteStart, RouteStop, MapInfo,
              InitFiles, Tmc, Unknown, kStreams };
const char* const kStreamNames[kStreams] = {"watchdog", "swdl-check", "state", "prepare-result", "nav-error",
                                            "sensor", "route-start", "route-stop", "map-info", "init-files",
                                            "tmc", "unknown"};

Stream streamOf(std::uint32_t functionId, std::uint32_t sub, bool initFiles) {
    if (initFiles || functionId == 0x503) return InitFiles;
    switch (functionId) {
        case 0x703: return WatchDogHit;
        case 0x759: return sub == 0 ? SwdlCheck : sub == 3 ? PrepareResult : Unknown;
        case 0x418: return sub == 0 ? State : sub == 1 ? RouteStart : sub == 2 ? RouteStop : Unknown;
        case 0x760: return sub == 1 ? NavError : Unknown;
        case 0x757: return sub == 4 ? Sensor : Unknown;
        case 0x426: return sub == 1 ? MapInfo : Unknown;
        case 0x758: return sub == 0 ? Tmc : Unknown;
        default: return Unknown;
    }
}

// Calling threads: navigation 0 to 2, sensor 3 and 4, route guidance 5, map 6.
constexpr unsigned kNavThreads = 3;
constexpr unsigned kSensorThreads = 2;
constexpr unsigned kRouteThread = kNavThreads + kSensorThreads;
constexpr unsigned kMapThread = kRouteThread + 1;
constexpr unsigned kThreads = kMapThread + 1;

// A sequence code: four characters of a 64-letter alphabet holding the thread (4 bits) and a
// sequence number (20 bits). Where a text leads the payload, the code is ui32Data[0] of a loss report.
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string code(unsigned thread, std::uint32_t sequence) {
    const std::uint32_t value = thread << 20 | (sequence & 0xFFFFFu);
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        text[static_cast<std::size_t>(i)] = kAlphabet[value >> (18 - 6 * i) & 0x3Fu];
    }
    return text;
}

bool decode(const std::string& text, unsigned& thread, std::uint32_t& sequence) {
    if (text.size() < 4) return false;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const char* at = std::strchr(kAlphabet, text[static_cast<std::size_t>(i)]);
        if (at == nullptr || *at == '\0') return false;
        value = value << 6 | static_cast<std::uint32_t>(at - kAlphabet);
    }
    thread = value >> 20;
    sequence = value & 0xFFFFFu;
    return thread < kThreads;
}

// The NUL-terminated text at `at` in `record`, and the offset after its terminator (0 if none).
std::string textAt(const Bytes& record, std::size_t at, std::size_t& next) {
    next = 0;
    for (std::size_t i = at; i < record.size(); ++i) {
        if (record[i] == 0) {
            next = i + 1;
            return std::string(record.begin() + static_cast<long>(at), record.begin() + static_cast<long>(i));
        }
    }
    return {};
}

std::uint32_t littleEndian(const Bytes& record, std::size_t at) {
    return static_cast<std::uint32_t>(record[at] | record[at + 1] << 8 | record[at + 2] << 16) |
           static_cast<std::uint32_t>(record[at + 3]) << 24;
}

// What the calling threads sent and what arrived or was reported, per entry kind.
class Books {
public:
    void sent(Stream stream, std::uint64_t count = 1) { m_sent[stream] += count; }
    void sentCoded(Stream stream, unsigned thread, std::uint32_t sequence) {
        sent(stream);
        m_codedSent[stream][thread].push_back(sequence);  // only `thread` writes this list
    }

    // Called by the collector for every arrival.
    void arrived(const Bytes& record) {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string why;
        const Stream stream = check(record, why);
        if (!why.empty()) {
            if (m_corrupt++ == 0) m_firstCorruption = why + ": " + xobtest::hex(record);
            return;
        }
        ++m_delivered[stream];
    }

    void lost(const LossReport& report) {
        const Stream stream = streamOf(report.functionId, report.data & 0xFFu, false);
        ++m_lost[stream];
        unsigned thread = 0;
        std::uint32_t sequence = 0;
        const std::string text{static_cast<char>(report.data), static_cast<char>(report.data >> 8),
                               static_cast<char>(report.data >> 16), static_cast<char>(report.data >> 24)};
        if (stream == WatchDogHit && decode(text, thread, sequence)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_codedLost[WatchDogHit][thread].push_back(sequence);
        }
    }

    std::uint64_t sentCount(Stream s) const { return m_sent[s]; }
    std::uint64_t deliveredCount(Stream s) const { return m_delivered[s]; }
    std::uint64_t lostCount(Stream s) const { return m_lost[s]; }
    std::uint64_t corrupt() const { return m_corrupt; }
    const std::string& firstCorruption() const { return m_firstCorruption; }

    // For a coded kind: each thread's arrivals are in order, once each, and arrivals plus (where
    // the reports can name them) the reported ones are exactly what it sent, but for at most
    // `unnamed` records in all whose loss lines the library could not send (and counted instead).
    void expectCoded(Stream stream, bool lossesNamed, std::uint64_t unnamed = 0) {
        std::uint64_t missing = 0;
        std::lock_guard<std::mutex> lock(m_mutex);
        for (unsigned thread = 0; thread < kThreads; ++thread) {
            const std::vector<std::uint32_t>& sent = m_codedSent[stream][thread];
            const std::vector<std::uint32_t>& arrived = m_codedArrived[stream][thread];
            EXPECT_TRUE(std::is_sorted(arrived.begin(), arrived.end()) &&
                        std::adjacent_find(arrived.begin(), arrived.end()) == arrived.end())
                << kStreamNames[stream] << " of thread " << thread << " out of order or twice";
            std::vector<std::uint32_t> all = arrived;
            std::sort(all.begin(), all.end());
            if (lossesNamed) {
                const std::vector<std::uint32_t>& lost = m_codedLost[stream][thread];
                all.insert(all.end(), lost.begin(), lost.end());
                std::sort(all.begin(), all.end());
                EXPECT_TRUE(std::includes(sent.begin(), sent.end(), all.begin(), all.end()) &&
                            std::adjacent_find(all.begin(), all.end()) == all.end())
                    << kStreamNames[stream] << " of thread " << thread << " named twice or never sent";
                missing += sent.size() - std::min(sent.size(), all.size());
            } else {
                EXPECT_TRUE(std::includes(sent.begin(), sent.end(), all.begin(), all.end()))
                    << kStreamNames[stream] << " of thread " << thread << " arrived but never sent";
            }
        }
        EXPECT_LE(missing, unnamed) << kStreamNames[stream] << ": neither arrived nor named";
    }

private:
    // The kind of an arrived record; `why` is set when it is not a record the loggers make here.
    Stream check(const Bytes& record, std::string& why) {
        if (record.size() < 10 || record[0] + (record[1] << 8) + 2u != record.size()) {
            why = "malformed record";
            return Unknown;
        }
        const bool initFiles = record[4] == 4;
        const std::uint32_t id = static_cast<std::uint32_t>(record[6] | record[7] << 8);
        if (initFiles) {
            const std::uint32_t of = static_cast<std::uint32_t>(record[8] | record[9] << 8);
            if (record.size() != 10 || id != 0x503 || (of != 0x418 && of != 0x426 && of != 0x420)) why = "init files";
            return InitFiles;
        }
        if (record[4] != 8 || record.size() < 13) {
            why = "not a log entry";
            return Unknown;
        }
        const Stream stream = streamOf(id, record[12], false);
        const std::size_t payload = record.size() - 12;
        std::size_t next = 0;
        unsigned thread = 0;
        std::uint32_t sequence = 0;
        switch (stream) {
            case WatchDogHit: {
                const std::string second = textAt(record, 12, next);
                const std::string first = next != 0 ? textAt(record, next, next) : std::string();
                if (next != record.size() || first != "wd" || second.size() != 13 ||
                    second.compare(4, 9, "-watchdog") != 0 || !decode(second, thread, sequence)) {
                    why = "watchdog";
                }
                break;
            }
            case Sensor: {
                const std::string data = textAt(record, 13, next);
                if (next == 0 || next + 4 != record.size() || !decode(data, thread, sequence) || data.size() != 4 ||
                    littleEndian(record, next) != sequence) {
                    why = "sensor data";
                }
                break;
            }
            case RouteStart: {
                textAt(record, 14, next);  // the route-options summary
                const std::string station = next != 0 ? textAt(record, next, next) : std::string();
                if (next == 0 || next + 4 != record.size() || station.size() != 4 || !decode(station, thread, sequence)) {
                    why = "route start";
                }
                break;
            }
            case State: case PrepareResult: why = payload == 3 ? "" : "length"; break;
            case RouteStop: why = payload == 2 ? "" : "length"; break;
            case MapInfo: why = payload == 13 ? "" : "length"; break;
            case NavError: why = textAt(record, 13, next) == "navigation error" && next == record.size() ? "" : "text"; break;
            case SwdlCheck: why = textAt(record, 14, next) == "map|pkg" && next == record.size() ? "" : "path"; break;
            case Tmc: {
                const std::string counts = textAt(record, 13, next);
                long a = 0;
                long b = 0;
                char rest = 0;
                why = std::sscanf(counts.c_str(), "%ld,%ld%c", &a, &b, &rest) == 2 ? "" : "tmc counts";
                break;
            }
            default: why = "unknown kind"; break;
        }
        if (why.empty() && (stream == WatchDogHit || stream == Sensor || stream == RouteStart)) {
            m_codedArrived[stream][thread].push_back(sequence);
        }
        if (!why.empty()) why = std::string(kStreamNames[stream]) + ": " + why;
        return stream;
    }

    std::array<std::atomic<std::uint64_t>, kStreams> m_sent{};
    std::array<std::uint64_t, kStreams> m_delivered{};
    std::array<std::uint64_t, kStreams> m_lost{};
    std::array<std::array<std::vector<std::uint32_t>, kThreads>, kStreams> m_codedSent;
    std::array<std::array<std::vector<std::uint32_t>, kThreads>, kStreams> m_codedArrived;
    std::array<std::array<std::vector<std::uint32_t>, kThreads>, kStreams> m_codedLost;
    std::mutex m_mutex;
    std::uint64_t m_corrupt = 0;
    std::string m_firstCorruption;
};

void navigationCalls(unsigned thread, std::uint32_t count, Books& books) {
    XOBLoggerNav* nav = XOBLoggerFactory::GetXobLoggerNav();
    std::uint32_t watchdogs = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        switch (i % 8) {
            case 0: {
                const std::string second = code(thread, watchdogs) + "-watchdog";
                books.sentCoded(WatchDogHit, thread, watchdogs++);
                nav->WatchDogHDU_LogEntry("wd", second.c_str());
                break;
            }
            case 1: books.sent(SwdlCheck); nav->Nav_SWDL_Check("Navigation", "map", "pkg"); break;
            case 2:
                books.sent(State);
                nav->Nav_StateOfOperationHDU_LogEntry(static_cast<XOBLog::NavStateOfOperation>(i & 7),
                                                      static_cast<XOBLog::NaviState>(thread));
                break;
            case 3: nav->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(static_cast<long>(i)); break;
            case 4: books.sent(PrepareResult); nav->Nav_SWDL_Prepare_Result("PersonalPOI", (i & 8) != 0); break;
            case 5: nav->Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(static_cast<long>(i)); break;
            case 6: books.sent(NavError); nav->Nav_Error_ReportError("navigation error"); break;
            default:
                if (i % 1024 == 7) {
                    books.sent(InitFiles, 3);
                    nav->Init_NavLogfiles();
                }
                break;
        }
    }
}

void sensorCalls(unsigned thread, std::uint32_t count, Books& books) {
    XOBLoggerSensor* sensor = XOBLoggerFactory::GetXobLoggerSensor();
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string data = code(thread, i);
        books.sentCoded(Sensor, thread, i);
        sensor->Sensoric_SensorData_LogEntry(reinterpret_cast<const unsigned char*>(data.c_str()), static_cast<long>(i));
    }
}

void routeCalls(std::uint32_t count, Books& books) {
    XOBLoggerRG* route = XOBLoggerFactory::GetXobLoggerRG();
    CIPtr<dsi::navigation::RouteOptions> options(new dsi::navigation::RouteOptions);
    options->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{40, 41});
    for (std::uint32_t i = 0; i < count / 3; ++i) {
        options->type = static_cast<int>(i % 4);
        options->dyn = static_cast<int>(i % 3);
        books.sentCoded(RouteStart, kRouteThread, 2 * i);
        route->NewRouteCalculation(XOBLog::VGM_COMPACT, options, XOBLog::NSR_TmcRecalculationStart,
                                   code(kRouteThread, 2 * i).c_str());
        route->SetVoiceGuidanceMode(XOBLog::VGM_COMPLETE);
        route->SetRouteOptions(options);
        route->SetTmcStation(code(kRouteThread, 2 * i + 1).c_str());
        books.sentCoded(RouteStart, kRouteThread, 2 * i + 1);
        route->FinishNewRouteCalculation();
        books.sent(RouteStop);
        route->RouteGuidanceStopped(static_cast<XOBLog::NavStopReason>(i & 3));
    }
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
        books.sent(MapInfo);
        map->SendUpdate();
    }
}

TEST(StressLoggers, AllFourLoggersFromSeveralThreadsWithTheTmcTimerFiring) {
    XOB_REQUIRE_SYSLOG();
    const std::uint32_t calls = pick(1000000, 100000, 30000, 20000);
    Watchdog watchdog("the logger mix", seconds(pick(3600, 600, 900, 1800)));
    xobtest::DeviceStandIn device;
    xobtest::SyslogCapture::instance().clear();
    std::atomic<std::uint64_t> traceLines{0};
    tracing::Channel& channel = XOBLoggerBase::TraceChannel();
    const short level = channel.GetLevel();
    channel.SetSink([&traceLines](short, const std::string&) { ++traceLines; });
    channel.SetLevel(1);

    Books books;
    Collector collector(device, [&books](const Bytes& record, bool, std::uint32_t, const std::string&) {
        books.arrived(record);
    });
    const Clock::time_point start = Clock::now();
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
    for (unsigned t = 0; t < kNavThreads; ++t) {
        threads.emplace_back([&, t] { whenAllReady(); navigationCalls(t, calls, books); });
    }
    for (unsigned t = kNavThreads; t < kRouteThread; ++t) {
        threads.emplace_back([&, t] { whenAllReady(); sensorCalls(t, calls / 2, books); });
    }
    threads.emplace_back([&] { whenAllReady(); routeCalls(calls / 2, books); });
    threads.emplace_back([&] { whenAllReady(); mapCalls(calls / 4, books); });
    for (std::thread& thread : threads) {
        thread.join();
    }
    callsDone = true;
    timer.join();
    // The last count change arms the timer once more (unless it still is); make sure it fires.
    XOBLoggerFactory::GetXobLoggerNav()->Traffic_TmcInfoHDU_LogEntry_SetMessageCount(-1);
    TimerCtrl_GetInstance()->Expedite();
    const Clock::time_point tickDeadline = Clock::now() + seconds(30);
    while (TimerCtrl_GetInstance()->IsRegistered(XOBLoggerFactory::GetXobLoggerNav()) && Clock::now() < tickDeadline) {
        TimerCtrl_GetInstance()->Expedite();
        std::this_thread::sleep_for(milliseconds(5));
    }

    ASSERT_TRUE(collector.settle(pick(600000, 120000, 300000, 300000)));
    const LogReport log = readSystemLog(device.path());
    for (const LossReport& report : log.losses) {
        books.lost(report);
    }
    channel.SetSink(nullptr);
    channel.SetLevel(level);

    // The sums over every kind but the TMC entries, whose number the timer decides.
    std::uint64_t sent = 0;
    std::uint64_t delivered = 0;
    std::uint64_t lost = 0;
    for (int s = 0; s < kStreams; ++s) {
        const Stream stream = static_cast<Stream>(s);
        if (stream == Tmc) {
            continue;
        }
        sent += books.sentCount(stream);
        delivered += books.deliveredCount(stream);
        lost += books.lostCount(stream);
        EXPECT_LE(books.deliveredCount(stream) + books.lostCount(stream), books.sentCount(stream))
            << kStreamNames[s] << ": " << books.deliveredCount(stream) << " delivered, " << books.lostCount(stream)
            << " reported lost";
    }
    // Every record is delivered or reported, but for those whose loss line the library could not
    // send (and counted instead).
    EXPECT_LE(sent - delivered - lost, log.linesLost) << "records neither delivered nor reported";
    const std::uint64_t ticks = books.deliveredCount(Tmc) + books.lostCount(Tmc);
    const long long unaccounted = static_cast<long long>(sent) - static_cast<long long>(delivered + lost);
    std::printf("[stress] logger-mix pace=%s sent=%llu delivered=%llu lost=%llu cut-off=0 unaccounted=%lld seconds=%.1f "
                "tmc-entries=%llu trace-lines=%llu lines-lost=%llu\n",
                paceName(), static_cast<unsigned long long>(sent), static_cast<unsigned long long>(delivered),
                static_cast<unsigned long long>(lost), unaccounted, secondsSince(start),
                static_cast<unsigned long long>(ticks), static_cast<unsigned long long>(traceLines.load()),
                static_cast<unsigned long long>(log.linesLost));
    std::fflush(stdout);
    EXPECT_EQ(books.corrupt(), 0u) << books.firstCorruption();
    EXPECT_EQ(books.sentCount(Unknown) + books.deliveredCount(Unknown) + books.lostCount(Unknown), 0u);
    EXPECT_GE(ticks, 1u) << "the TMC timer never fired";
    EXPECT_GT(traceLines.load(), sent / 2) << "tracing was on for every recording operation";
    books.expectCoded(WatchDogHit, true, log.linesLost);
    books.expectCoded(Sensor, false);
    books.expectCoded(RouteStart, false);
    expectNoOtherReports(log);
}

}  // namespace
