#include "BenchSupport.h"

#include <xob/GXob.h>

#include "platform/Seams.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <unistd.h>

namespace xobbench {

// ---- Timing -------------------------------------------------------------------------------------

double TickClock::s_nsPerTick = 1.0;
double TickClock::s_overheadNs = 0.0;
double TickClock::s_granularityTicks = 1.0;

void TickClock::calibrate() {
#ifdef XOB_BENCH_HAVE_TSC
    // Nanoseconds per tick against the steady clock over 50 ms, the lowest of three rounds.
    double best = 0.0;
    for (int round = 0; round < 3; ++round) {
        const auto wallStart = std::chrono::steady_clock::now();
        const std::uint64_t tickStart = ticks();
        while (std::chrono::steady_clock::now() - wallStart < std::chrono::milliseconds(50)) {
        }
        const std::uint64_t tickEnd = ticks();
        const double ns = static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - wallStart)
                .count());
        const double perTick = ns / static_cast<double>(tickEnd - tickStart);
        if (best == 0.0 || perTick < best) {
            best = perTick;
        }
    }
    s_nsPerTick = best;
#else
    s_nsPerTick = 1.0;
#endif
    // The empty timed region: its readings give the counter's step (the smallest gap between two
    // different readings) and the timing's own cost (their mean, the slowest 1% left out).
    std::vector<double> empty;
    empty.reserve(50000);
    for (int i = 0; i < 50000; ++i) {
        const std::uint64_t start = ticks();
        const std::uint64_t end = ticks();
        empty.push_back(static_cast<double>(end - start));
    }
    std::sort(empty.begin(), empty.end());
    double step = 0.0;
    for (std::size_t i = 1; i < empty.size(); ++i) {
        const double gap = empty[i] - empty[i - 1];
        if (gap > 0.0 && (step == 0.0 || gap < step)) {
            step = gap;
        }
    }
    s_granularityTicks = step > 0.0 ? step : 1.0;
    const std::size_t kept = empty.size() - empty.size() / 100;
    double sum = 0.0;
    for (std::size_t i = 0; i < kept; ++i) {
        sum += empty[i];
    }
    s_overheadNs = sum / static_cast<double>(kept) * s_nsPerTick;
}

double TickClock::quantileNs(std::vector<double>& tickSamples, double q) {
    if (tickSamples.empty()) {
        return 0.0;
    }
    std::sort(tickSamples.begin(), tickSamples.end());
    const double n = static_cast<double>(tickSamples.size());
    std::size_t rank = static_cast<std::size_t>(std::ceil(q * n));
    rank = std::min(std::max<std::size_t>(rank, 1), tickSamples.size());
    const double value = tickSamples[rank - 1];
    // Interpolate within the counter's step: the readings equal to `value` stand for durations
    // spread over one step around it.
    const auto first = std::lower_bound(tickSamples.begin(), tickSamples.end(), value);
    const auto last = std::upper_bound(tickSamples.begin(), tickSamples.end(), value);
    const double below = static_cast<double>(first - tickSamples.begin());
    const double equal = static_cast<double>(last - first);
    const double step = s_granularityTicks;
    double estimate = value - step / 2 + (q * n - below) / equal * step;
    estimate = std::min(std::max(estimate, value - step / 2), value + step / 2);
    const double ns = estimate * s_nsPerTick - s_overheadNs;
    return ns > 0.0 ? ns : 0.0;
}

double percentile(std::vector<double>& samples, double q) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    std::size_t rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(samples.size())));
    rank = std::max<std::size_t>(rank, 1);
    return samples[std::min(rank, samples.size()) - 1];
}

void pause(unsigned microseconds) {
    const timespec interval{0, static_cast<long>(microseconds) * 1000L};
    nanosleep(&interval, nullptr);
}

// ---- The device stand-in ------------------------------------------------------------------------

StandIn::StandIn(const std::string& path) : m_path(path), m_device(path) {
    if (!m_device.ok()) {
        throw std::runtime_error(m_device.error());
    }
    m_reader = std::thread([this] { run(); });
}

StandIn::~StandIn() {
    m_stop = true;
    m_reader.join();
}

void StandIn::run() {
    while (!m_stop.load(std::memory_order_relaxed)) {
        int arrived = 0;
        m_device.pump(10, [&](xob::recorder::Record&& record) {
            ++arrived;
            if (m_capture.load(std::memory_order_relaxed)) {
                std::lock_guard<std::mutex> lock(m_captureMutex);
                if (!m_haveCapture) {
                    m_captured = std::move(record);
                    m_haveCapture = true;
                }
            }
        });
        if (arrived > 0) {
            m_lastArrival.store(ticks(), std::memory_order_relaxed);
            m_received.fetch_add(static_cast<std::uint64_t>(arrived), std::memory_order_release);
            { std::lock_guard<std::mutex> lock(m_arrivalMutex); }
            m_arrival.notify_all();
        }
    }
}

std::uint64_t StandIn::waitForReceived(std::uint64_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (received() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return 0;
        }
        pause(20);
    }
    return m_lastArrival.load(std::memory_order_relaxed);
}

void StandIn::sleepUntilReceived(std::uint64_t count) {
    std::unique_lock<std::mutex> lock(m_arrivalMutex);
    m_arrival.wait(lock, [&] { return received() >= count; });
}

std::uint64_t StandIn::settle(int quietMs) {
    std::uint64_t count = received();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(quietMs));
        const std::uint64_t now = received();
        if (now == count) {
            return count;
        }
        count = now;
    }
}

void StandIn::captureNext() {
    std::lock_guard<std::mutex> lock(m_captureMutex);
    m_haveCapture = false;
    m_captured.clear();
    m_capture = true;
}

xob::recorder::Record StandIn::captured(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_captureMutex);
            if (m_haveCapture || std::chrono::steady_clock::now() > deadline) {
                m_capture = false;
                return m_captured;
            }
        }
        pause(100);
    }
}

std::string makeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/xobbench.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    return buffer.data();
}

void removeDir(const std::string& dir) {
    if (DIR* listing = opendir(dir.c_str())) {
        while (const dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                ::unlink((dir + "/" + name).c_str());
            }
        }
        closedir(listing);
    }
    rmdir(dir.c_str());
}

// ---- Caller threads -----------------------------------------------------------------------------

CallerThreads::CallerThreads(int count, bool pinned) : m_pinned(pinned) {
    for (int i = 0; i < count; ++i) {
        m_threads.emplace_back([this, i] { loop(i); });
    }
}

CallerThreads::~CallerThreads() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void CallerThreads::run(const std::function<void(int)>& job) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_job = &job;
    m_pending = count();
    m_arrived.store(0);
    ++m_generation;
    m_wake.notify_all();
    m_finished.wait(lock, [this] { return m_pending == 0; });
    m_job = nullptr;
}

namespace {

bool g_latencyCallersPinned = true;

// Keeps the calling thread on the index-th processor of the process's own set (wrapping around);
// leaves it where it is if that cannot be done.
void pinToProcessor(int index) {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0 || CPU_COUNT(&allowed) == 0) {
        return;
    }
    int wanted = index % CPU_COUNT(&allowed);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed) && wanted-- == 0) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            pthread_setaffinity_np(pthread_self(), sizeof one, &one);
            return;
        }
    }
}

}  // namespace

void setLatencyCallersPinned(bool pinned) { g_latencyCallersPinned = pinned; }
bool latencyCallersPinned() { return g_latencyCallersPinned; }

void CallerThreads::loop(int index) {
    if (m_pinned) {
        pinToProcessor(index);
    }
    std::uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop) {
                return;
            }
            seen = m_generation;
            job = m_job;
        }
        // Meet the others (a few microseconds: they were woken together), then run the job.
        m_arrived.fetch_add(1);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
        while (m_arrived.load() < count() && std::chrono::steady_clock::now() < giveUp) {
        }
        (*job)(index);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (--m_pending == 0) {
                m_finished.notify_one();
            }
        }
    }
}

// ---- The library's writer -----------------------------------------------------------------------

namespace {

thread_local bool t_writerStarted = false;

int onWriterStart() {
    t_writerStarted = true;
    return 0;
}

std::atomic<bool> g_retryReleased{false};

void retrySleep(unsigned seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!g_retryReleased.load() && std::chrono::steady_clock::now() < end) {
        pause(1000);
    }
}

}  // namespace

void installWriterStartMark() { xob::seams::setThreadStartHook(onWriterStart); }

bool takeWriterStartMark() noexcept {
    const bool started = t_writerStarted;
    t_writerStarted = false;
    return started;
}

void markWriterStart() noexcept { t_writerStarted = true; }

bool waitForLibraryIdle(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (GXob::getXOBThreadActive()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        pause(20);
    }
    return true;
}

void useDevice(const std::string& path) { xob::seams::setDevicePath(path.c_str()); }

void installRetrySleep() { xob::seams::setSleepHook(retrySleep); }

void releaseRetrySleep(bool released) { g_retryReleased = released; }

}  // namespace xobbench
