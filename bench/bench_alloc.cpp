// Heap allocations per entry call. This program replaces the C library's allocation functions with
// counting ones (per thread, so the stand-in's reader and the writer thread do not count) and
// interposes GXob::writeToXob, so that for every call it can tell the allocations made while the
// record was built (everything before writeToXob) from those of the enqueue, and check that the
// enqueue's one allocation is the exact-size copy of the record.
//
// alloc/<entry>/threads:N runs bursts of 64 calls (split over N caller threads) from an idle
// writer, like the latency benchmarks; the call that starts the writer thread is counted apart.
// Glibc only (the counters forward to __libc_malloc and its kin).
#include "support/BenchMain.h"
#include "support/BenchSupport.h"
#include "support/Cases.h"

#include <xob/GXob.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

// ---- Counting allocation functions --------------------------------------------------------------

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

constexpr int kMaxSizesKept = 4;

// Per thread: allocations so far, and while inside writeToXob the sizes of its allocations.
thread_local unsigned long t_allocations = 0;
thread_local bool t_inEnqueue = false;
thread_local int t_enqueueSizeCount = 0;
thread_local std::size_t t_enqueueSizes[kMaxSizesKept];

inline void counted(std::size_t size) noexcept {
    ++t_allocations;
    if (t_inEnqueue && t_enqueueSizeCount < kMaxSizesKept) {
        t_enqueueSizes[t_enqueueSizeCount++] = size;
    }
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    counted(size);
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    counted(count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
    counted(size);
    return __libc_realloc(pointer, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
    counted(size);
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    counted(size);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) {
        return EINVAL;
    }
    counted(size);
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return ENOMEM;
    }
    *out = pointer;
    return 0;
}

void free(void* pointer) { __libc_free(pointer); }

}  // extern "C"

// ---- GXob::writeToXob, interposed ---------------------------------------------------------------

namespace {

using WriteToXob = void (*)(SClientToDevXob*, int, bool, int, EDevXobCommands) noexcept;
WriteToXob g_realWriteToXob = nullptr;

thread_local bool t_enqueued = false;
thread_local unsigned long t_atEnqueue = 0;     // t_allocations when writeToXob was entered
thread_local unsigned long t_afterEnqueue = 0;  // ... and when it returned
thread_local std::size_t t_recordSize = 0;      // the record's size on the wire

}  // namespace

namespace GXob {

// Every entry function's call into the transport comes here first (the library calls it through
// its symbol table); the library's own writeToXob does the work.
void writeToXob(SClientToDevXob* record, int payloadLength, bool useCallerTime, int callerTime,
                EDevXobCommands command) noexcept {
    t_enqueued = true;
    t_atEnqueue = t_allocations;
    t_enqueueSizeCount = 0;
    t_inEnqueue = true;
    g_realWriteToXob(record, payloadLength, useCallerTime, callerTime, command);
    t_inEnqueue = false;
    t_afterEnqueue = t_allocations;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(record);
    t_recordSize = static_cast<std::size_t>(bytes[0] | (bytes[1] << 8)) + 2u;
}

}  // namespace GXob

namespace {

using namespace xobbench;

constexpr int kBurst = 64;
int g_bursts = 300;

std::string g_dir;
std::unique_ptr<StandIn> g_device;

// ---- Counting ---------------------------------------------------------------------------------

struct Range {
    unsigned long low = ~0ul, high = 0;
    void add(unsigned long value) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
    bool empty() const { return high < low; }
};

struct Tally {
    unsigned long calls = 0, starts = 0;
    unsigned long callsOfOne = 0;       // calls (not starting the writer) with exactly one allocation
    unsigned long copyIsRecord = 0;     // ... whose one allocation is the record's exact size
    unsigned long reachedTransport = 0;  // calls that reached writeToXob
    Range perCall, building, enqueue, perStartCall;

    void merge(const Tally& other) {
        calls += other.calls;
        starts += other.starts;
        callsOfOne += other.callsOfOne;
        copyIsRecord += other.copyIsRecord;
        reachedTransport += other.reachedTransport;
        for (auto [mine, theirs] : {std::pair<Range*, const Range*>{&perCall, &other.perCall},
                                    {&building, &other.building},
                                    {&enqueue, &other.enqueue},
                                    {&perStartCall, &other.perStartCall}}) {
            if (!theirs->empty()) {
                mine->add(theirs->low);
                mine->add(theirs->high);
            }
        }
    }
};

void countedCall(const EntryCase& entry, Tally& tally) {
    takeWriterStartMark();
    t_enqueued = false;
    const unsigned long before = t_allocations;
    entry.callLibrary();
    const unsigned long after = t_allocations;
    const bool started = takeWriterStartMark();
    const unsigned long total = after - before;
    ++tally.calls;
    if (started) {
        ++tally.starts;
        tally.perStartCall.add(total);
        return;
    }
    tally.perCall.add(total);
    if (t_enqueued) {
        ++tally.reachedTransport;
        tally.building.add(t_atEnqueue - before);
        tally.enqueue.add(t_afterEnqueue - t_atEnqueue);
        if (total == 1) {
            ++tally.callsOfOne;
            if (t_afterEnqueue - t_atEnqueue == 1 && t_enqueueSizeCount == 1 && t_enqueueSizes[0] == t_recordSize) {
                ++tally.copyIsRecord;
            }
        }
    }
}

struct Row {
    std::string label;
    int threads;
    std::vector<Tally> runs;
};
std::vector<Row> g_rows;

void benchAllocations(benchmark::State& state, const EntryCase* entry, int threads) {
    CallerThreads callers(threads);
    std::vector<Tally> perThread(threads);
    waitForLibraryIdle();
    std::uint64_t expected = g_device->received();
    const int perCaller = kBurst / threads;
    for (auto _ : state) {
        callers.run([&](int index) {
            for (int i = 0; i < perCaller; ++i) {
                countedCall(*entry, perThread[index]);
            }
        });
        expected += static_cast<std::uint64_t>(perCaller) * threads;
        g_device->waitForReceived(expected);
        waitForLibraryIdle();
    }
    Tally all;
    for (const Tally& tally : perThread) {
        all.merge(tally);
    }
    Row* row = nullptr;
    for (Row& candidate : g_rows) {
        if (candidate.label == entry->label && candidate.threads == threads) {
            row = &candidate;
        }
    }
    if (row == nullptr) {
        g_rows.push_back(Row{entry->label, threads, {}});
        row = &g_rows.back();
    }
    row->runs.push_back(all);
    const double steady = static_cast<double>(all.calls - all.starts);
    state.counters["allocs_per_call_max"] = static_cast<double>(all.perCall.high);
    state.counters["allocs_while_building_max"] = static_cast<double>(all.building.high);
    state.counters["share_exactly_one_copy"] = steady > 0 ? static_cast<double>(all.copyIsRecord) / steady : 0.0;
}

std::string range(const Range& value) {
    if (value.empty()) {
        return "-";
    }
    char text[32];
    if (value.low == value.high) {
        std::snprintf(text, sizeof text, "%lu", value.low);
    } else {
        std::snprintf(text, sizeof text, "%lu-%lu", value.low, value.high);
    }
    return text;
}

void printTable() {
    std::printf("\n4. Heap allocations per entry call, counted by an interposed malloc (goal: exactly 1, the\n"
                "   ring's copy, for every entry; 0 while the record is built)\n");
    std::printf("%-28s %3s  %-9s %-9s %-9s %-19s %s\n", "entry", "thr", "per call", "building", "enqueue",
                "1 = exact-size copy", "writer-start calls");
    for (const Row& row : g_rows) {
        Tally all;
        for (const Tally& tally : row.runs) {
            all.merge(tally);
        }
        const unsigned long steady = all.calls - all.starts;
        char copies[48];
        std::snprintf(copies, sizeof copies, "%lu of %lu", all.copyIsRecord, steady);
        char starts[48];
        std::snprintf(starts, sizeof starts, "%lu calls, %s each", all.starts, range(all.perStartCall).c_str());
        std::printf("%-28s %3d  %-9s %-9s %-9s %-19s %s\n", row.label.c_str(), row.threads,
                    range(all.perCall).c_str(), range(all.building).c_str(), range(all.enqueue).c_str(), copies,
                    starts);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!xobbench::initialize(argc, argv, g_bursts)) {
        return 1;
    }

    g_realWriteToXob = reinterpret_cast<WriteToXob>(
        dlsym(RTLD_NEXT, "_ZN4GXob10writeToXobEP15SClientToDevXobibi15EDevXobCommands"));
    if (g_realWriteToXob == nullptr) {
        std::fprintf(stderr, "the library's GXob::writeToXob was not found\n");
        return 1;
    }

    g_dir = makeTempDir();
    g_device = std::make_unique<StandIn>(g_dir + "/xob");
    useDevice(g_device->path());
    installWriterStartMark();
    if (!checkCases(*g_device)) {
        return 1;
    }

    for (const EntryCase& entry : entryCases()) {
        for (int threads : {1, 2}) {
            benchmark::RegisterBenchmark(("alloc/" + std::string(entry.key) + "/threads:" + std::to_string(threads)).c_str(),
                                         benchAllocations, &entry, threads)
                ->Iterations(g_bursts)
                ->Unit(benchmark::kMillisecond);
        }
    }
    xobbench::ProgressReporter progress;
    benchmark::RunSpecifiedBenchmarks(&progress);
    benchmark::Shutdown();

    // A call that never reached the transport would leave "building" empty: say so plainly.
    for (const Row& row : g_rows) {
        for (const Tally& tally : row.runs) {
            if (tally.reachedTransport != tally.calls - tally.starts) {
                std::fprintf(stderr, "%s: %lu calls did not reach GXob::writeToXob through the symbol table\n",
                             row.label.c_str(), tally.calls - tally.starts - tally.reachedTransport);
            }
        }
    }
    printTable();

    waitForLibraryIdle();
    g_device.reset();
    removeDir(g_dir);
    return 0;
}
