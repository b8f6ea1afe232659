#include "StressKit.h"

#include "SyslogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define XOBSTRESS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define XOBSTRESS_SANITIZED 1
#endif
#endif

namespace xobstress {

Pace pace() {
    static const Pace current = [] {
        const char* soak = std::getenv("XOBSTRESS_SOAK");
        if (soak != nullptr && std::strcmp(soak, "1") == 0) {
            return Pace::Soak;
        }
        if (std::getenv("XOBTEST_EMULATED") != nullptr) {
            return Pace::Emulated;
        }
#ifdef XOBSTRESS_SANITIZED
        return Pace::Sanitized;
#else
        return Pace::Native;
#endif
    }();
    return current;
}

const char* paceName() {
    switch (pace()) {
        case Pace::Native: return "native";
        case Pace::Sanitized: return "sanitized";
        case Pace::Emulated: return "emulated";
        case Pace::Soak: break;
    }
    return "soak";
}

std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated) {
    switch (pace()) {
        case Pace::Native: return native;
        case Pace::Sanitized: return sanitized;
        case Pace::Emulated: return emulated;
        case Pace::Soak: break;
    }
    return soak;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

namespace {
thread_local std::uint32_t t_sendingTag = 0;
}  // namespace

void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept {
    const std::uint32_t sequence = count.attempted.load();
    count.attempted.store(sequence + 1);
    t_sendingTag = makeTag(producer, sequence);
    sendEntry(t_sendingTag);
    t_sendingTag = 0;
    count.completed.store(sequence + 1);
}

std::uint32_t sendingTag() noexcept { return t_sendingTag; }

// ---------------------------------------------------------------------------------------------
// Producers

Producers::Producers(std::uint8_t first, unsigned threads, std::uint32_t each, std::chrono::microseconds gap)
    : m_first(first), m_counts(threads) {
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this, i, each, gap] {
            const std::uint8_t id = static_cast<std::uint8_t>(m_first + i);
            for (std::uint32_t n = 0; n < each && !m_stop; ++n) {
                sendCounted(id, m_counts[i]);
                if (gap.count() > 0) {
                    std::this_thread::sleep_for(gap);
                }
            }
        });
    }
}

Producers::~Producers() {
    stop();
    join();
}

void Producers::join() {
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

std::vector<std::uint32_t> Producers::positions() const {
    std::vector<std::uint32_t> at;
    for (const ProducerCount& count : m_counts) {
        at.push_back(count.attempted.load());
    }
    return at;
}

// ---------------------------------------------------------------------------------------------
// Ledger

void Ledger::sent(std::uint8_t id, std::uint32_t attempted, std::uint32_t completed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Producer& producer = m_producers[id];
    producer.attempted = attempted;
    producer.completed = completed;
}

void Ledger::sent(Producers& producers) {
    for (unsigned i = 0; i < producers.size(); ++i) {
        sent(static_cast<std::uint8_t>(producers.first() + i), producers.count(i).attempted.load(),
             producers.count(i).completed.load());
    }
}

Ledger::Producer* Ledger::producerOf(std::uint32_t tag, std::uint32_t& sequence) {
    std::uint8_t id = 0;
    if (!splitTag(tag, id, sequence)) {
        ++m_phantoms;
        return nullptr;
    }
    return &m_producers[id];
}

void Ledger::delivered(std::uint32_t tag) {
    std::uint32_t sequence = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Producer* producer = producerOf(tag, sequence)) {
        producer->arrivals.push_back(sequence);
    }
}

void Ledger::corrupt(const std::string& why) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_corrupt++ == 0) {
        m_firstCorruption = why;
    }
}

void Ledger::lost(std::uint32_t tag, std::uint32_t functionId, Loss reason) {
    std::uint32_t sequence = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Producer* producer = producerOf(tag, sequence)) {
        producer->losses.push_back({sequence, functionId, reason});
    }
}

void Ledger::lost(const std::vector<LossReport>& reports) {
    for (const LossReport& report : reports) {
        lost(report.data, report.functionId, report.reason);
    }
}

namespace {

constexpr std::uint8_t kArrived = 1;
constexpr std::uint8_t kReported = 2;

// Marks the arrivals of one producer in `state` (one entry per record sent).
void bookArrivals(const std::vector<std::uint32_t>& arrivals, std::vector<std::uint8_t>& state, Tally& tally) {
    std::int64_t last = -1;
    for (std::uint32_t sequence : arrivals) {
        if (sequence >= state.size()) {
            ++tally.phantoms;
        } else if ((state[sequence] & kArrived) != 0) {
            ++tally.duplicates;
        } else {
            state[sequence] |= kArrived;
            ++tally.delivered;
            if (static_cast<std::int64_t>(sequence) < last) {
                ++tally.outOfOrder;
            }
            last = std::max<std::int64_t>(last, sequence);
        }
    }
}

}  // namespace

Tally Ledger::tally() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Tally tally;
    tally.corrupt = m_corrupt;
    tally.phantoms = m_phantoms;
    for (const auto& entry : m_producers) {
        const Producer& producer = entry.second;
        tally.sent += producer.attempted;
        tally.inFlight += producer.attempted - producer.completed;
        std::vector<std::uint8_t> state(producer.attempted, 0);
        bookArrivals(producer.arrivals, state, tally);
        for (const Producer::Report& report : producer.losses) {
            if (report.sequence >= state.size()) {
                ++tally.phantoms;
                continue;
            }
            tally.wrongFunctionId += report.functionId != functionIdOf(makeTag(entry.first, report.sequence)) ? 1 : 0;
            std::uint8_t& booked = state[report.sequence];
            if ((booked & kReported) != 0) {
                ++tally.lostTwice;
                continue;
            }
            booked |= kReported;
            tally.deliveredAndLost += (booked & kArrived) != 0 ? 1 : 0;
            switch (report.reason) {
                case Loss::QueueFull: ++tally.lostQueueFull; break;
                case Loss::Exiting: ++tally.lostExiting; break;
                case Loss::MutexLock: ++tally.lostMutex; break;
            }
        }
        for (std::uint32_t sequence = 0; sequence < state.size(); ++sequence) {
            if (state[sequence] == 0) {
                ++tally.unaccounted;
                tally.unaccountedReturned += sequence < producer.completed ? 1 : 0;
            }
        }
    }
    return tally;
}

std::set<std::uint32_t> Ledger::reportedTags() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::set<std::uint32_t> tags;
    for (const auto& entry : m_producers) {
        for (const Producer::Report& report : entry.second.losses) {
            tags.insert(makeTag(entry.first, report.sequence));
        }
    }
    return tags;
}

std::string Ledger::unaccountedSample(std::size_t count) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string sample;
    for (const auto& entry : m_producers) {
        const Producer& producer = entry.second;
        std::vector<bool> seen(producer.attempted, false);
        for (std::uint32_t sequence : producer.arrivals) {
            if (sequence < seen.size()) seen[sequence] = true;
        }
        for (const Producer::Report& report : producer.losses) {
            if (report.sequence < seen.size()) seen[report.sequence] = true;
        }
        for (std::uint32_t sequence = 0; sequence < seen.size() && count > 0; ++sequence) {
            if (!seen[sequence]) {
                sample += " producer " + std::to_string(entry.first) + " #" + std::to_string(sequence) + ";";
                --count;
            }
        }
    }
    if (!m_firstCorruption.empty()) {
        sample += " first corruption: " + m_firstCorruption;
    }
    return sample;
}

std::vector<std::uint32_t> Ledger::arrivals(std::uint8_t id) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_producers.find(id);
    return found == m_producers.end() ? std::vector<std::uint32_t>{} : found->second.arrivals;
}

// ---------------------------------------------------------------------------------------------
// Collector

Collector::Collector(xobtest::DeviceStandIn& device, ArrivalHandler handler)
    : m_device(device), m_handler(std::move(handler)), m_thread([this] { run(); }) {}

Collector::Collector(xobtest::DeviceStandIn& device, Ledger& ledger)
    : Collector(device, [&ledger](const Bytes& record, bool intact, std::uint32_t tag, const std::string& why) {
          if (intact) {
              ledger.delivered(tag);
          } else {
              const std::size_t shown = record.size() < 24 ? record.size() : 24;
              ledger.corrupt(why + ": " + xobtest::hex(Bytes(record.begin(), record.begin() + shown)));
          }
      }) {}

Collector::~Collector() {
    m_stop = true;
    m_thread.join();
}

void Collector::run() {
    Bytes record;
    while (!m_stop) {
        if (!m_device.next(record, 20)) {
            continue;
        }
        std::uint32_t tag = 0;
        std::string why;
        const bool intact = inspect(record, tag, why);
        if (intact && (tag >> 24) == kMarkerProducer) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_markersSeen;
            m_markerArrived.notify_all();
            continue;
        }
        m_handler(record, intact, tag, why);
    }
}

bool Collector::settle(int timeoutMs) {
    if (!xobtest::waitForWriterIdle(timeoutMs)) {
        return false;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint32_t marker = m_markersSent++;
    lock.unlock();
    sendEntry(makeTag(kMarkerProducer, marker));
    lock.lock();
    return m_markerArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this] { return m_markersSeen == m_markersSent; });
}

// ---------------------------------------------------------------------------------------------
// System log

namespace {

// Matches a loss report of the form `format` (functionId and ui32Data[0] as its last two values,
// after an optional leading error number) exactly; returns false for any other line.
bool parseLoss(const std::string& line, const char* format, bool withError, std::uint32_t& functionId,
               std::uint32_t& data) {
    unsigned id = 0;
    unsigned word = 0;
    int error = 0;
    const int wanted = withError ? 3 : 2;
    const int got = withError ? std::sscanf(line.c_str(), format, &error, &id, &word)
                              : std::sscanf(line.c_str(), format, &id, &word);
    if (got != wanted) {
        return false;
    }
    char again[256];
    if (withError) {
        std::snprintf(again, sizeof again, format, error, id, word);
    } else {
        std::snprintf(again, sizeof again, format, id, word);
    }
    functionId = id;
    data = word;
    return line == again;
}

const char kQueueFull[] = "XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')";
const char kExiting[] = "XOB: Process is exiting. LogEntry is Lost! (functionId: '0x%03X', ui32Data[0]: '0x%08X')";
const char kMutexLost[] =
    "XOB: Lost Log-Entry, due to Error on Mutex-Lock. (Error: '%i', functionId: '0x%03X', ui32Data[0]: '0x%08X')";

}  // namespace

LogReport readSystemLog(const std::string& devicePath) {
    xobtest::SyslogCapture& capture = xobtest::SyslogCapture::instance();
    const std::size_t linesLost = capture.settle();
    const std::string openFailure = "XOB: " + devicePath + " couldn't be opened! Retry in 1 Second...";
    LogReport report;
    report.linesLost = linesLost;
    for (const std::string& line : capture.lines()) {
        std::uint32_t id = 0;
        std::uint32_t data = 0;
        unsigned queued = 0;
        char tail = 0;
        if (line.compare(0, 4, "XOB:") != 0 || xobtest::SyslogCapture::isSettleLine(line)) {
            continue;  // anything that is not the transport's, and the settle markers
        } else if (parseLoss(line, kQueueFull, false, id, data)) {
            report.losses.push_back({Loss::QueueFull, id, data});
        } else if (parseLoss(line, kExiting, false, id, data)) {
            report.losses.push_back({Loss::Exiting, id, data});
        } else if (parseLoss(line, kMutexLost, true, id, data)) {
            report.losses.push_back({Loss::MutexLock, id, data});
        } else if (line == openFailure) {
            ++report.openFailures;
        } else if (line == "XOB: Element defective") {
            ++report.defective;
        } else if (std::sscanf(line.c_str(), "XOB: %u Log-Entries still queued at exit are Lost!%c", &queued, &tail) == 1 &&
                   line == "XOB: " + std::to_string(queued) + " Log-Entries still queued at exit are Lost!") {
            ++report.exitLines;
            report.queuedAtExit += queued;
        } else {
            report.unexpected.push_back(line);
        }
    }
    return report;
}

// ---------------------------------------------------------------------------------------------
// Checks and figures

void printFigures(const char* scenario, const Tally& tally, double seconds, const std::string& extra,
                  std::uint64_t counted, std::uint64_t cutOff) {
    const long long unaccounted = static_cast<long long>(tally.unaccounted) - static_cast<long long>(counted + cutOff);
    std::printf("[stress] %s pace=%s sent=%llu delivered=%llu lost=%llu queue-full=%llu exiting=%llu counted=%llu "
                "cut-off=%llu unaccounted=%lld seconds=%.1f%s%s\n",
                scenario, paceName(), static_cast<unsigned long long>(tally.sent),
                static_cast<unsigned long long>(tally.delivered),
                static_cast<unsigned long long>(tally.lost() + counted),
                static_cast<unsigned long long>(tally.lostQueueFull),
                static_cast<unsigned long long>(tally.lostExiting), static_cast<unsigned long long>(counted),
                static_cast<unsigned long long>(cutOff), unaccounted, seconds, extra.empty() ? "" : " ", extra.c_str());
    std::fflush(stdout);
}

void expectNoFaults(const Tally& tally, const Ledger& ledger) {
    EXPECT_EQ(tally.duplicates, 0u) << "records delivered twice";
    EXPECT_EQ(tally.outOfOrder, 0u) << "records delivered out of their producer's order";
    EXPECT_EQ(tally.corrupt, 0u) << "corrupted records:" << ledger.unaccountedSample(0);
    EXPECT_EQ(tally.phantoms, 0u) << "records delivered or reported that were never sent";
    EXPECT_EQ(tally.deliveredAndLost, 0u) << "records delivered and also reported lost";
    EXPECT_EQ(tally.lostTwice, 0u) << "records reported lost twice";
    EXPECT_EQ(tally.wrongFunctionId, 0u) << "loss reports naming the wrong function identifier";
}

void expectAllAccounted(const Tally& tally, const Ledger& ledger, const LogReport& log) {
    expectNoFaults(tally, ledger);
    EXPECT_LE(tally.unaccounted, log.linesLost) << "neither delivered nor reported:" << ledger.unaccountedSample();
    EXPECT_EQ(tally.delivered + tally.lost() + tally.unaccounted, tally.sent);
}

void expectNoOtherReports(const LogReport& log, std::uint64_t defectiveAllowed) {
    std::string shown;
    for (std::size_t i = 0; i < log.unexpected.size() && i < 10; ++i) {
        shown += "\n  " + log.unexpected[i];
    }
    EXPECT_TRUE(log.unexpected.empty()) << log.unexpected.size() << " unexpected lines:" << shown;
    EXPECT_LE(log.defective, defectiveAllowed) << "\"XOB: Element defective\" reports";
}

// ---------------------------------------------------------------------------------------------
// Watchdog and device outage

Watchdog::Watchdog(std::string what, std::chrono::seconds limit)
    : m_thread([this, what, limit] {
          std::unique_lock<std::mutex> lock(m_mutex);
          if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
              std::fprintf(stderr, "WATCHDOG: %s did not finish within %lld s (deadlock or stall); ending the test\n",
                           what.c_str(), static_cast<long long>(limit.count()));
              std::fflush(stderr);
              std::_Exit(70);
          }
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

DeviceOutage::DeviceOutage(const std::string& path) : m_path(path) {
    m_away = std::rename(m_path.c_str(), (m_path + ".away").c_str()) == 0;
    EXPECT_TRUE(m_away) << "cannot take the device away: " << std::strerror(errno);
}

DeviceOutage::~DeviceOutage() { restore(); }

void DeviceOutage::restore() {
    if (m_away) {
        EXPECT_EQ(std::rename((m_path + ".away").c_str(), m_path.c_str()), 0) << std::strerror(errno);
        m_away = false;
    }
}

}  // namespace xobstress
