// What an entry call costs a caller, and what the recorder path delivers, each against the floor
// that the design allows, measured in the same run.
//
// - latency/<entry>/threads:N: bursts of 64 entry calls (split over N caller threads, which start
//   together) from an idle writer, while a reader drains the device stand-in at full speed; every
//   call is timed on its own. brim/<entry>/threads:N: the same with bursts of 120, as many as the
//   ring holds, so that the callers fill it to the brim together while the writer drains it. Bursts of the library and of the floor (Floor.h: the same record
//   built by hand, then clock read, lock, exact-size malloc + memcpy, unlock, and the design's
//   on-demand writer) alternate, and after each burst the writer is let finish, so both always
//   start from the same state.
// - delivery/threads:N: records per second that reach the stand-in through the library, in bursts of
//   100 records queued at once by N caller threads and delivered by the one writer thread, taking
//   turns with a bare loop of open + write + close of the same 100 records to the same FIFO, with
//   that loop opening the device the way the library's Linux platform layer does, and with that
//   loop run in a thread started for the burst.
// - device_absent/threads:N: entry calls while the writer is retrying to open a device that is not
//   there (its one-second sleeps kept); the ring fills and the calls after that are reported lost.
//   The device then comes back, and what the ring held is delivered and counted.
//
// At the end a short table: ratios first, then the absolute figures of this machine. Each figure is
// the median over the repetitions (--benchmark_repetitions), the range in brackets.
#include "support/BenchMain.h"
#include "support/BenchSupport.h"
#include "support/Cases.h"
#include "support/Floor.h"

#include <xob/GXob.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace xobbench;

constexpr int kBurst = 64;                // calls per burst, over all caller threads
constexpr int kBrimBurst = 120;            // calls per brim-full burst: the ring's slots
constexpr int kDeliveryBurst = 100;        // records per delivery burst (the ring holds 120)

int g_bursts = 1500;  // bursts per latency repetition (--bursts=N)

std::string g_dir;
std::unique_ptr<StandIn> g_device;
std::unique_ptr<FloorChannel> g_floor;

// ---- Results, kept for the closing table --------------------------------------------------------

struct Figures {
    double median = 0, p99 = 0, p999 = 0, start = 0;
    std::size_t calls = 0, starts = 0;
    double startsPerBurst = 0;  // the writer ends whenever it empties the ring, so a burst may start it again
};

struct LatencyRun {
    Figures library, floor;
};

struct DeliveryRun {
    double libraryRate = 0, bareRate = 0, platformOpenRate = 0, freshThreadRate = 0;
};

struct AbsentRun {
    Figures library, floor;
    std::uint64_t calls = 0, delivered = 0;
};

struct Row {
    std::string label;
    int threads = 0;
    int burst = 0;
};

std::vector<std::pair<Row, std::vector<LatencyRun>>> g_latency;
std::vector<std::pair<Row, std::vector<DeliveryRun>>> g_delivery;
std::vector<std::pair<Row, std::vector<AbsentRun>>> g_absent;

template <typename Run>
std::vector<Run>& runsOf(std::vector<std::pair<Row, std::vector<Run>>>& table, const std::string& label,
                         int threads, int burst = kBurst) {
    for (auto& entry : table) {
        if (entry.first.label == label && entry.first.threads == threads && entry.first.burst == burst) {
            return entry.second;
        }
    }
    table.push_back({Row{label, threads, burst}, {}});
    return table.back().second;
}

// One caller thread's timings. Each caller appends to its own lane after every call; lanes sit on
// cache lines of their own, so that one caller's bookkeeping never invalidates a line the other
// writes (the stores of an append are still in flight when the next call begins, and the first
// locked instruction inside it would wait for them: the timing would show the bench's false
// sharing, not the call).
struct alignas(64) Lane {
    std::vector<double> all, starts;
};

struct Samples {
    explicit Samples(int threads, std::size_t reserve) : lanes(static_cast<std::size_t>(threads)) {
        for (Lane& lane : lanes) {
            lane.all.reserve(reserve);
        }
    }
    std::vector<Lane> lanes;
};

Figures figuresOf(const Samples& samples, std::uint64_t bursts) {
    std::vector<double> all, starts;
    for (const Lane& lane : samples.lanes) {
        all.insert(all.end(), lane.all.begin(), lane.all.end());
        starts.insert(starts.end(), lane.starts.begin(), lane.starts.end());
    }
    Figures figures;
    figures.calls = all.size();
    figures.starts = starts.size();
    figures.median = TickClock::quantileNs(all, 0.5);
    figures.p99 = TickClock::quantileNs(all, 0.99);
    figures.p999 = TickClock::quantileNs(all, 0.999);
    figures.start = TickClock::quantileNs(starts, 0.5);
    figures.startsPerBurst = bursts == 0 ? 0 : static_cast<double>(figures.starts) / static_cast<double>(bursts);
    return figures;
}

// ---- Bursts -------------------------------------------------------------------------------------

// One burst of `burst` library calls, each timed on its own.
void libraryBurst(CallerThreads& callers, const EntryCase& entry, Samples& samples, int burst = kBurst) {
    const int perThread = burst / callers.count();
    callers.run([&](int index) {
        auto& all = samples.lanes[index].all;
        auto& starts = samples.lanes[index].starts;
        for (int i = 0; i < perThread; ++i) {
            takeWriterStartMark();
            const std::uint64_t begin = ticks();
            entry.callLibrary();
            const std::uint64_t end = ticks();
            const double raw = static_cast<double>(end - begin);
            all.push_back(raw);
            if (takeWriterStartMark()) {
                starts.push_back(raw);
            }
        }
    });
}

// The same burst through the floor: the record built by hand, then FloorChannel::enqueue.
void floorBurst(CallerThreads& callers, const EntryCase& entry, Samples& samples, int burst = kBurst) {
    const int perThread = burst / callers.count();
    callers.run([&](int index) {
        auto& all = samples.lanes[index].all;
        auto& starts = samples.lanes[index].starts;
        for (int i = 0; i < perThread; ++i) {
            unsigned char record[2056];
            takeWriterStartMark();
            const std::uint64_t begin = ticks();
            const std::uint32_t size = entry.buildByHand(record);
            g_floor->enqueue(record, size);
            const std::uint64_t end = ticks();
            const double raw = static_cast<double>(end - begin);
            all.push_back(raw);
            if (takeWriterStartMark()) {
                starts.push_back(raw);
            }
        }
    });
}

void drainLibrary(std::uint64_t expected) {
    g_device->waitForReceived(expected);
    waitForLibraryIdle();
}

void drainFloor(std::uint64_t expected) {
    g_device->waitForReceived(expected);
    g_floor->waitIdle();
}

// ---- Entry call latency -------------------------------------------------------------------------

void benchLatency(benchmark::State& state, const EntryCase* entry, int threads, int burst) {
    CallerThreads callers(threads, latencyCallersPinned());
    const std::size_t reserve = static_cast<std::size_t>(state.max_iterations) * burst / threads + 16;
    Samples library(threads, reserve), floor(threads, reserve);
    waitForLibraryIdle();
    std::uint64_t expected = g_device->received();
    bool libraryFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == libraryFirst) {
                libraryBurst(callers, *entry, library, burst);
                drainLibrary(expected += static_cast<std::uint64_t>(burst));
            } else {
                floorBurst(callers, *entry, floor, burst);
                drainFloor(expected += static_cast<std::uint64_t>(burst));
            }
        }
        libraryFirst = !libraryFirst;
    }
    LatencyRun run;
    run.library = figuresOf(library, state.iterations());
    run.floor = figuresOf(floor, state.iterations());
    runsOf(g_latency, entry->label, threads, burst).push_back(run);
    state.counters["median_ns"] = run.library.median;
    state.counters["p99_ns"] = run.library.p99;
    state.counters["p999_ns"] = run.library.p999;
    state.counters["floor_median_ns"] = run.floor.median;
    state.counters["median_x_floor"] = run.library.median / run.floor.median;
    state.counters["p99_x_floor"] = run.library.p99 / run.floor.p99;
    state.counters["p999_x_floor"] = run.library.p999 / run.floor.p999;
}

// ---- Delivery -----------------------------------------------------------------------------------

// Delivery is measured in bursts of kDeliveryBurst records, so that nothing but the writer and the
// reader is timed: the callers queue the burst at once (the ring takes it whole), and the time runs
// from the first call to the arrival of the last record. Each burst starts from an idle writer, so it
// includes the writer's start, as every burst after a pause does.

// The earliest of the callers' start ticks.
void noteStart(std::atomic<std::uint64_t>& begin, std::uint64_t now) {
    std::uint64_t seen = begin.load(std::memory_order_relaxed);
    while (now < seen && !begin.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

std::uint64_t libraryRound(CallerThreads& callers, std::uint64_t& writerStarts) {
    waitForLibraryIdle();
    const std::uint64_t base = g_device->received();
    const int perThread = kDeliveryBurst / callers.count();
    std::atomic<std::uint64_t> begin{~0ull};
    std::atomic<std::uint64_t> starts{0};
    callers.run([&](int) {
        takeWriterStartMark();
        noteStart(begin, ticks());
        for (int i = 0; i < perThread; ++i) {
            callNavStart();
        }
        starts.fetch_add(takeWriterStartMark() ? 1 : 0);
    });
    writerStarts += starts.load();
    return g_device->waitForReceived(base + static_cast<std::uint64_t>(perThread) * callers.count()) - begin.load();
}

// A bare loop on one thread (the design has one writer): per record open, one write, close.
// Variants, to tell where the library's delivery differs from that loop:
// - `platformOpen`: open and write as the library's Linux platform layer does (it must not block on
//   a FIFO without a reader): O_NONBLOCK, and on a full FIFO a poll for room before the write again.
// - `freshThread`: the loop runs in a thread started for the burst and ended after it, as the
//   library's writer is.
enum class Loop { Bare, PlatformOpen, PlatformOpenFreshThread };

std::uint64_t bareRound(CallerThreads& callers, const unsigned char* record, std::uint32_t size, Loop loop) {
    waitForLibraryIdle();
    const std::uint64_t base = g_device->received();
    const char* const path = g_device->path().c_str();
    const bool platformOpen = loop != Loop::Bare;
    std::atomic<std::uint64_t> begin{~0ull};
    const auto deliver = [&] {
        for (int i = 0; i < kDeliveryBurst; ++i) {
            int descriptor = -1;
            descriptor = ::open(path, O_WRONLY | O_CLOEXEC | (platformOpen ? O_NONBLOCK : 0));
            if (descriptor >= 0) {
                while (::write(descriptor, record, size) < 0 && platformOpen && errno == EAGAIN) {
                    pollfd watched{descriptor, POLLOUT, 0};
                    ::poll(&watched, 1, -1);
                }
                ::close(descriptor);
            }
        }
    };
    callers.run([&](int index) {
        if (index != 0) {
            return;
        }
        noteStart(begin, ticks());
        if (loop == Loop::PlatformOpenFreshThread) {
            std::thread writer(deliver);
            writer.join();
        } else {
            deliver();
        }
    });
    return g_device->waitForReceived(base + kDeliveryBurst) - begin.load();
}

void benchDelivery(benchmark::State& state, int threads) {
    CallerThreads callers(threads);
    unsigned char record[2056];
    const std::uint32_t size = buildNavStart(record);
    std::memset(record + 8, 0, 4);
    constexpr int kVariants = 4;  // the library, then the loops: bare, platform open, and in a fresh thread
    std::uint64_t spent[kVariants] = {0, 0, 0, 0};
    std::uint64_t rounds = 0, writerStarts = 0;

    for (auto _ : state) {
        // The variants take turns, each iteration in a different order.
        for (int turn = 0; turn < kVariants; ++turn) {
            const int which = static_cast<int>((rounds + static_cast<std::uint64_t>(turn)) % kVariants);
            spent[which] += which == 0 ? libraryRound(callers, writerStarts)
                                       : bareRound(callers, record, size, static_cast<Loop>(which - 1));
        }
        ++rounds;
    }
    const auto rate = [&](int which) {
        return static_cast<double>(rounds * kDeliveryBurst) /
               (static_cast<double>(spent[which]) * TickClock::nsPerTick() * 1e-9);
    };
    DeliveryRun run;
    run.libraryRate = rate(0);
    run.bareRate = rate(1);
    run.platformOpenRate = rate(2);
    run.freshThreadRate = rate(3);
    runsOf(g_delivery, "delivery", threads).push_back(run);
    state.counters["library_rec_per_s"] = run.libraryRate;
    state.counters["bare_rec_per_s"] = run.bareRate;
    state.counters["platform_open_rec_per_s"] = run.platformOpenRate;
    state.counters["platform_open_fresh_thread_rec_per_s"] = run.freshThreadRate;
    state.counters["x_bare"] = run.libraryRate / run.bareRate;
    // Bursts in which some caller started the writer (at most one per caller and burst is seen).
    state.counters["writer_starts_per_burst"] = static_cast<double>(writerStarts) / static_cast<double>(rounds);
}

// ---- Device absent ------------------------------------------------------------------------------

void benchDeviceAbsent(benchmark::State& state, int threads) {
    CallerThreads callers(threads);
    const EntryCase& entry = entryCases().front();
    const std::size_t reserve = static_cast<std::size_t>(state.max_iterations) * kBurst / threads + 16;
    Samples library(threads, reserve), floor(threads, reserve);
    const std::string absentPath = g_dir + "/absent";

    waitForLibraryIdle();
    std::uint64_t expected = g_device->received();
    releaseRetrySleep(false);
    useDevice(absentPath);
    std::uint64_t calls = 0;
    for (auto _ : state) {
        libraryBurst(callers, entry, library);
        calls += kBurst;
        floorBurst(callers, entry, floor);
        drainFloor(expected += kBurst);
    }

    // The device comes back: the writer's retry sleep ends, and what the ring held is delivered.
    std::uint64_t delivered = 0;
    {
        StandIn back(absentPath);
        releaseRetrySleep(true);
        waitForLibraryIdle(60000);
        delivered = back.settle();
    }
    useDevice(g_device->path());
    releaseRetrySleep(false);

    AbsentRun run;
    run.library = figuresOf(library, state.iterations());
    run.floor = figuresOf(floor, state.iterations());
    run.calls = calls;
    run.delivered = delivered;
    runsOf(g_absent, "device_absent", threads).push_back(run);
    state.counters["median_ns"] = run.library.median;
    state.counters["p99_ns"] = run.library.p99;
    state.counters["p999_ns"] = run.library.p999;
    state.counters["taken"] = static_cast<double>(delivered);
    state.counters["lost"] = static_cast<double>(calls - delivered);
}

// ---- The closing table --------------------------------------------------------------------------

struct Spread {
    double median = 0, low = 0, high = 0;
};

template <typename Run, typename Get>
Spread spreadOf(const std::vector<Run>& runs, Get get) {
    std::vector<double> values;
    for (const Run& run : runs) {
        values.push_back(get(run));
    }
    Spread spread;
    if (values.empty()) {
        return spread;
    }
    spread.low = *std::min_element(values.begin(), values.end());
    spread.high = *std::max_element(values.begin(), values.end());
    spread.median = percentile(values, 0.5);
    return spread;
}

std::string ratio(const Spread& spread) {
    char text[64];
    if (spread.low == spread.high) {
        std::snprintf(text, sizeof text, "%.2f", spread.median);
    } else {
        std::snprintf(text, sizeof text, "%.2f [%.2f-%.2f]", spread.median, spread.low, spread.high);
    }
    return text;
}

std::string nanos(const Spread& spread) {
    char text[64];
    const auto fmt = [](double ns) {
        char out[16];
        if (ns >= 10000) {
            std::snprintf(out, sizeof out, "%.0fu", ns / 1000);
        } else if (ns >= 1000) {
            std::snprintf(out, sizeof out, "%.1fu", ns / 1000);
        } else {
            std::snprintf(out, sizeof out, "%.0f", ns);
        }
        return std::string(out);
    };
    if (spread.low == spread.high) {
        std::snprintf(text, sizeof text, "%s", fmt(spread.median).c_str());
    } else {
        std::snprintf(text, sizeof text, "%s [%s-%s]", fmt(spread.median).c_str(), fmt(spread.low).c_str(),
                      fmt(spread.high).c_str());
    }
    return text;
}

std::string rate(const Spread& spread) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0fk [%.0fk-%.0fk]", spread.median / 1000, spread.low / 1000,
                  spread.high / 1000);
    return text;
}

void printTable(int repetitions) {
    std::printf("\nlibxob benchmarks: %d repetition(s); each figure is the median over them, [the range]\n",
                repetitions);
    std::printf("timing: counter step %.1f ns (percentiles interpolated within it), its own cost %.1f ns taken off\n",
                TickClock::granularityNs(), TickClock::overheadNs());

    std::printf("\n1+2. Entry call latency, library / floor, same run (goal: median <= 1.25)\n");
    std::printf("     bursts of %d calls (%d: brim-full) from an idle writer, reader draining the stand-in\n", kBurst,
                kBrimBurst);
    std::printf("%-28s %3s %5s  %-20s %-20s %-20s\n", "entry", "thr", "burst", "median", "p99", "p99.9");
    for (auto& [row, runs] : g_latency) {
        std::printf("%-28s %3d %5d  %-20s %-20s %-20s\n", row.label.c_str(), row.threads, row.burst,
                    ratio(spreadOf(runs, [](const LatencyRun& r) { return r.library.median / r.floor.median; })).c_str(),
                    ratio(spreadOf(runs, [](const LatencyRun& r) { return r.library.p99 / r.floor.p99; })).c_str(),
                    ratio(spreadOf(runs, [](const LatencyRun& r) { return r.library.p999 / r.floor.p999; })).c_str());
    }

    std::printf("\n3. Delivery to the stand-in, bursts of %d records: library / bare open+write+close loop on one\n"
                "   thread (goal: >= 0.90); then library / that loop opening as the Linux platform layer does,\n"
                "   and / that loop also run in a thread started for the burst, as the writer is\n",
                kDeliveryBurst);
    std::printf("%-28s %3s  %-20s %-20s %-20s\n", "", "thr", "/ bare loop", "/ platform open", "/ + fresh thread");
    for (auto& [row, runs] : g_delivery) {
        std::printf("%-28s %3d  %-20s %-20s %-20s\n", "records of Nav_StartRGHDU", row.threads,
                    ratio(spreadOf(runs, [](const DeliveryRun& r) { return r.libraryRate / r.bareRate; })).c_str(),
                    ratio(spreadOf(runs, [](const DeliveryRun& r) { return r.libraryRate / r.platformOpenRate; })).c_str(),
                    ratio(spreadOf(runs, [](const DeliveryRun& r) { return r.libraryRate / r.freshThreadRate; })).c_str());
    }

    std::printf("\n5. Device absent, writer retrying open (1 s sleeps): entry call / floor with a device\n");
    std::printf("%-28s %3s  %-20s %-20s %-20s %s\n", "", "thr", "median", "p99", "p99.9", "taken / lost");
    for (auto& [row, runs] : g_absent) {
        std::printf("%-28s %3d  %-20s %-20s %-20s %llu / %llu\n", "Nav_StartRGHDU, 2 texts", row.threads,
                    ratio(spreadOf(runs, [](const AbsentRun& r) { return r.library.median / r.floor.median; })).c_str(),
                    ratio(spreadOf(runs, [](const AbsentRun& r) { return r.library.p99 / r.floor.p99; })).c_str(),
                    ratio(spreadOf(runs, [](const AbsentRun& r) { return r.library.p999 / r.floor.p999; })).c_str(),
                    static_cast<unsigned long long>(runs.back().delivered),
                    static_cast<unsigned long long>(runs.back().calls - runs.back().delivered));
    }

    std::printf("\nAbsolute figures, this machine only (ns; u = microseconds). start: median of the calls that\n"
                "started the writer thread, and how many such calls a burst had (the writer ends whenever it\n"
                "empties the ring, so callers that outpace it only now and then start it more than once)\n");
    std::printf("%-28s %3s  %-34s | %-34s\n", "entry", "thr", "library median / p99 / p99.9 / start xN",
                "floor median / p99 / p99.9 / start xN");
    const auto line = [](const std::string& label, int threads, auto& runs) {
        using Run = typename std::decay<decltype(runs.front())>::type;
        std::printf("%-28s %3d  %s / %s / %s / %s x%.2f | %s / %s / %s / %s x%.2f\n", label.c_str(), threads,
                    nanos(spreadOf(runs, [](const Run& r) { return r.library.median; })).c_str(),
                    nanos(spreadOf(runs, [](const Run& r) { return r.library.p99; })).c_str(),
                    nanos(spreadOf(runs, [](const Run& r) { return r.library.p999; })).c_str(),
                    nanos(spreadOf(runs, [](const Run& r) { return r.library.start; })).c_str(),
                    spreadOf(runs, [](const Run& r) { return r.library.startsPerBurst; }).median,
                    nanos(spreadOf(runs, [](const Run& r) { return r.floor.median; })).c_str(),
                    nanos(spreadOf(runs, [](const Run& r) { return r.floor.p99; })).c_str(),
                    nanos(spreadOf(runs, [](const Run& r) { return r.floor.p999; })).c_str(),
                    nanos(spreadOf(runs, [](const Run& r) { return r.floor.start; })).c_str(),
                    spreadOf(runs, [](const Run& r) { return r.floor.startsPerBurst; }).median);
    };
    for (auto& [row, runs] : g_latency) {
        line(row.burst == kBurst ? row.label : row.label + " /" + std::to_string(row.burst), row.threads, runs);
    }
    for (auto& [row, runs] : g_absent) {
        line("device absent (Nav_Start)", row.threads, runs);
    }
    std::printf("\n%-28s %3s  %-18s %-18s %-18s %s\n", "delivery, records/s", "thr", "library", "bare loop",
                "platform open", "+ fresh thread");
    for (auto& [row, runs] : g_delivery) {
        std::printf("%-28s %3d  %-18s %-18s %-18s %s\n", "", row.threads,
                    rate(spreadOf(runs, [](const DeliveryRun& r) { return r.libraryRate; })).c_str(),
                    rate(spreadOf(runs, [](const DeliveryRun& r) { return r.bareRate; })).c_str(),
                    rate(spreadOf(runs, [](const DeliveryRun& r) { return r.platformOpenRate; })).c_str(),
                    rate(spreadOf(runs, [](const DeliveryRun& r) { return r.freshThreadRate; })).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!xobbench::initialize(argc, argv, g_bursts)) {
        return 1;
    }

    TickClock::calibrate();
    g_dir = makeTempDir();
    g_device = std::make_unique<StandIn>(g_dir + "/xob");
    g_floor = std::make_unique<FloorChannel>(g_device->path());
    useDevice(g_device->path());
    installWriterStartMark();
    installRetrySleep();
    if (!checkCases(*g_device)) {
        return 1;
    }

    const auto latency = [](const char* shape, const EntryCase& entry, int threads, int burst) {
        benchmark::RegisterBenchmark(
            (shape + std::string(entry.key) + "/threads:" + std::to_string(threads)).c_str(), benchLatency,
            &entry, threads, burst)
            ->Iterations(g_bursts)
            ->Unit(benchmark::kMillisecond);
    };
    for (const EntryCase& entry : entryCases()) {
        for (int threads : {1, 2}) {
            latency("latency/", entry, threads, kBurst);
        }
    }
    // Brim-full bursts, with the typical small entry.
    for (int threads : {1, 2}) {
        latency("brim/", entryCases().front(), threads, kBrimBurst);
    }
    for (int threads : {1, 2}) {
        benchmark::RegisterBenchmark(("delivery/threads:" + std::to_string(threads)).c_str(), benchDelivery, threads)
            ->Iterations(std::max(10, g_bursts / 5))
            ->Unit(benchmark::kMillisecond);
    }
    for (int threads : {1, 2}) {
        benchmark::RegisterBenchmark(("device_absent/threads:" + std::to_string(threads)).c_str(), benchDeviceAbsent,
                                     threads)
            ->Iterations(std::max(10, g_bursts / 5))
            ->Unit(benchmark::kMillisecond);
    }

    xobbench::ProgressReporter progress;
    benchmark::RunSpecifiedBenchmarks(&progress);
    benchmark::Shutdown();

    int repetitions = 0;
    for (auto& entry : g_latency) {
        repetitions = std::max(repetitions, static_cast<int>(entry.second.size()));
    }
    printTable(repetitions);

    waitForLibraryIdle();
    g_floor.reset();
    g_device.reset();
    removeDir(g_dir);
    return 0;
}
