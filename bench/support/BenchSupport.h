// Shared machinery of the benchmarks: a cycle-counter timer for single calls, percentiles, the
// device stand-in (a FIFO drained at full speed by a reader thread that counts what arrives), a
// small pool of caller threads that run bursts in step, and the waits between bursts.
#ifndef XOB_BENCH_BENCHSUPPORT_H
#define XOB_BENCH_BENCHSUPPORT_H

#include "FifoDevice.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define XOB_BENCH_HAVE_TSC 1
#else
#include <chrono>
#endif

namespace xobbench {

// ---- Timing -------------------------------------------------------------------------------------

// Raw timestamp for timing one call: the time-stamp counter where there is one (fenced, so that the
// call cannot move across it), the steady clock elsewhere.
inline std::uint64_t ticks() noexcept {
#ifdef XOB_BENCH_HAVE_TSC
    _mm_lfence();
    const std::uint64_t now = __rdtsc();
    _mm_lfence();
    return now;
#else
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
#endif
}

// Converts tick counts to nanoseconds, knows the counter's granularity and the cost of the timing
// itself (an empty timed region), both measured once at start-up.
//
// Some counters (those of virtual machines in particular) advance in steps of several ticks, so a
// call of 65 ns may read as 60 or 70. Percentiles are therefore taken on the raw readings and
// interpolated within the step (the median of grouped data); the timing's own mean cost is then
// taken off. Below a step the figures rest on that interpolation; above, they are plain readings.
class TickClock {
public:
    static void calibrate();
    static double nsPerTick() noexcept { return s_nsPerTick; }
    static double overheadNs() noexcept { return s_overheadNs; }
    static double granularityNs() noexcept { return s_granularityTicks * s_nsPerTick; }
    // The q-quantile (q in [0, 1]) of raw tick differences, as nanoseconds of the timed code alone.
    // Sorts the samples. 0 for no samples.
    static double quantileNs(std::vector<double>& tickSamples, double q);

private:
    static double s_nsPerTick;
    static double s_overheadNs;
    static double s_granularityTicks;
};

// Nearest-rank percentile (q in [0, 1]) of the samples; sorts them. 0 for no samples.
double percentile(std::vector<double>& samples, double q);

// Sleeps about `microseconds` (the thread gives up its core meanwhile).
void pause(unsigned microseconds);

// ---- The device stand-in ------------------------------------------------------------------------

// A FIFO standing in for the recorder device, read at full speed by a thread of its own. Counts
// every record that arrives; can hand one record over on request.
class StandIn {
public:
    explicit StandIn(const std::string& path);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    const std::string& path() const { return m_path; }
    std::uint64_t received() const { return m_received.load(std::memory_order_acquire); }

    // Waits until at least `count` records have arrived in all; returns the tick at which the
    // reader counted the last of them, or 0 if they did not come within `timeoutMs`.
    std::uint64_t waitForReceived(std::uint64_t count, int timeoutMs = 20000);

    // Sleeps (on a condition the reader signals, no polling) until at least `count` records have
    // arrived in all.
    void sleepUntilReceived(std::uint64_t count);

    // Waits until nothing has arrived for `quietMs`; returns the count then.
    std::uint64_t settle(int quietMs = 20);

    // Keeps the next record that arrives, then returns it (empty if none came in `timeoutMs`).
    void captureNext();
    xob::recorder::Record captured(int timeoutMs = 5000);

private:
    void run();

    std::string m_path;
    xob::recorder::FifoDevice m_device;
    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_lastArrival{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_capture{false};
    std::mutex m_arrivalMutex;
    std::condition_variable m_arrival;
    std::mutex m_captureMutex;
    xob::recorder::Record m_captured;
    bool m_haveCapture = false;
    std::thread m_reader;
};

// A fresh directory for FIFOs; removed (with what is in it) by removeDir.
std::string makeTempDir();
void removeDir(const std::string& dir);

// ---- Caller threads -----------------------------------------------------------------------------

// `count` persistent threads that run one job at a time, all of them together: run() hands the
// job to every thread (job(index)) and returns when all have finished it. The threads begin the job
// at the same moment (they meet at a short spinning barrier first), so that with two of them their
// calls really overlap. Between jobs the threads sleep, so they take no core from the writer
// thread or the reader.
//
// With `pinned`, each caller is kept on a processor of its own (caller i on the i-th processor the
// process may use); the writer and the reader still go wherever the scheduler puts them, as in a
// real process. The latency benchmarks pin their callers unless --float-callers is given: left to
// the scheduler, a caller that is woken for a burst, or pushed aside by the writer or the reader,
// often lands on the other core, and its calls then fetch what they touch from the cache it left;
// some repetitions settle in that state, for the library in some and the floor in others, and
// that swamps the difference between the two (bench/README.md, "Two callers").
void setLatencyCallersPinned(bool pinned);
bool latencyCallersPinned();

class CallerThreads {
public:
    explicit CallerThreads(int count, bool pinned = false);
    ~CallerThreads();
    CallerThreads(const CallerThreads&) = delete;
    CallerThreads& operator=(const CallerThreads&) = delete;

    int count() const { return static_cast<int>(m_threads.size()); }
    void run(const std::function<void(int)>& job);

private:
    void loop(int index);

    std::vector<std::thread> m_threads;
    bool m_pinned;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    const std::function<void(int)>* m_job = nullptr;
    std::uint64_t m_generation = 0;
    int m_pending = 0;
    bool m_stop = false;
    std::atomic<int> m_arrived{0};
};

// ---- The library's writer -----------------------------------------------------------------------

// Marks the calling thread when the library starts its writer thread (through the thread-start
// seam), so that the call which paid for the start can be told apart.
void installWriterStartMark();
bool takeWriterStartMark() noexcept;   // true if a start was marked since the last take
void markWriterStart() noexcept;       // for the floor's own writer

// Waits until the library's writer thread has ended (polling with sleeps); false on time-out.
bool waitForLibraryIdle(int timeoutMs = 20000);

// Points the library at `path` and replaces its one-second retry sleep by a sleep of up to that
// long which ends at once when releaseRetrySleep() is called.
void useDevice(const std::string& path);
void installRetrySleep();
void releaseRetrySleep(bool released);

}  // namespace xobbench

#endif
