// The bookkeeping of the stress tests: what was sent (per producer), what arrived at the device
// stand-in, what the system log reports as lost, and the check that these add up for every run:
// delivered + reported lost = sent, each record at most once, in its producer's order, uncorrupted.
#ifndef XOB_TESTS_STRESSKIT_H
#define XOB_TESTS_STRESSKIT_H

#include "DeviceStandIn.h"
#include "StressRecords.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace xobstress {

// How hard a run pushes. The short suite runs in every CI pass, natively, under the sanitizers and
// under qemu-arm (XOBTEST_EMULATED); XOBSTRESS_SOAK=1 selects the long soak of scripts/soak.sh.
enum class Pace { Native, Sanitized, Emulated, Soak };
Pace pace();
const char* paceName();
// The value for the current pace.
std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated);

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start);

// The two counts of one producer: entry calls begun and entry calls returned.
struct ProducerCount {
    std::atomic<std::uint32_t> attempted{0};
    std::atomic<std::uint32_t> completed{0};
};

// Sends the next entry of a producer and counts it.
void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept;
// The tag of the entry that the calling thread is sending through sendCounted (0 outside of it), for
// seams that run inside the entry call.
std::uint32_t sendingTag() noexcept;

// Producer threads, ids first, first + 1, ...; each sends up to `each` entries with `gap` between
// two of them, until stop() or its count is reached.
class Producers {
public:
    Producers(std::uint8_t first, unsigned threads, std::uint32_t each, std::chrono::microseconds gap);
    ~Producers();
    Producers(const Producers&) = delete;
    Producers& operator=(const Producers&) = delete;

    void stop() { m_stop = true; }
    void join();
    std::uint8_t first() const { return m_first; }
    unsigned size() const { return static_cast<unsigned>(m_threads.size()); }
    ProducerCount& count(unsigned index) { return m_counts[index]; }
    // The sequence number each producer will send next (read while running).
    std::vector<std::uint32_t> positions() const;

private:
    std::uint8_t m_first;
    std::vector<ProducerCount> m_counts;
    std::vector<std::thread> m_threads;
    std::atomic<bool> m_stop{false};
};

enum class Loss { QueueFull, Exiting, MutexLock };

// One loss report of the transport: the record it names by function identifier and ui32Data[0].
struct LossReport {
    Loss reason;
    std::uint32_t functionId;
    std::uint32_t data;
};

// The sums of one run.
struct Tally {
    std::uint64_t sent = 0;           // entry calls begun
    std::uint64_t inFlight = 0;       // begun but never returned (their process ended during the call)
    std::uint64_t delivered = 0;      // arrived intact, first time
    std::uint64_t lostQueueFull = 0;  // named by a queue-full report
    std::uint64_t lostExiting = 0;    // named by a process-exiting report
    std::uint64_t lostMutex = 0;      // named by a mutex-lock report
    std::uint64_t unaccounted = 0;    // neither arrived nor named by a report
    std::uint64_t unaccountedReturned = 0;  // of those, the ones whose entry call returned
    // Faults: each must be 0.
    std::uint64_t duplicates = 0;       // arrived more than once
    std::uint64_t outOfOrder = 0;       // arrived before a later record of the same producer
    std::uint64_t corrupt = 0;          // arrived, but not as its tag makes it
    std::uint64_t phantoms = 0;         // arrived or reported, but never sent
    std::uint64_t deliveredAndLost = 0; // arrived and also reported lost
    std::uint64_t lostTwice = 0;        // reported lost more than once
    std::uint64_t wrongFunctionId = 0;  // reported with a function identifier not its own

    std::uint64_t lost() const { return lostQueueFull + lostExiting + lostMutex; }
};

// What was sent, arrived and reported, keyed by tag.
class Ledger {
public:
    // Producer `id` began `attempted` entry calls, of which `completed` returned.
    void sent(std::uint8_t id, std::uint32_t attempted, std::uint32_t completed);
    void sent(Producers& producers);
    void delivered(std::uint32_t tag);
    void corrupt(const std::string& why);
    void lost(std::uint32_t tag, std::uint32_t functionId, Loss reason);
    // Books every loss report of `log`.
    void lost(const std::vector<LossReport>& reports);

    Tally tally() const;
    // The tags named by loss reports.
    std::set<std::uint32_t> reportedTags() const;
    // Some records that are neither delivered nor reported (for failure messages).
    std::string unaccountedSample(std::size_t count = 8) const;
    // The delivered sequence numbers of a producer, in arrival order.
    std::vector<std::uint32_t> arrivals(std::uint8_t id) const;

private:
    struct Producer {
        std::uint32_t attempted = 0;
        std::uint32_t completed = 0;
        std::vector<std::uint32_t> arrivals;
        struct Report {
            std::uint32_t sequence;
            std::uint32_t functionId;
            Loss reason;
        };
        std::vector<Report> losses;
    };
    // The producer of `tag` and its sequence number; null (a phantom) when `tag` is none. Called
    // with m_mutex held.
    Producer* producerOf(std::uint32_t tag, std::uint32_t& sequence);

    mutable std::mutex m_mutex;
    std::map<std::uint8_t, Producer> m_producers;
    std::uint64_t m_corrupt = 0;
    std::uint64_t m_phantoms = 0;
    std::string m_firstCorruption;
};

// Reads the device stand-in at full speed on a thread of its own and hands every arrival to a
// handler: `intact` tells whether it is a record of StressRecords.h exactly as its `tag` makes it
// (`why` says what is wrong otherwise). The collector's own marker records are not handed on.
using ArrivalHandler = std::function<void(const Bytes& record, bool intact, std::uint32_t tag, const std::string& why)>;

class Collector {
public:
    Collector(xobtest::DeviceStandIn& device, ArrivalHandler handler);
    // Books each arrival in `ledger`: intact ones as delivered, others as corrupt.
    Collector(xobtest::DeviceStandIn& device, Ledger& ledger);
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    // Waits for the writer thread to go idle, then sends a marker record and waits for it: once it
    // is there, everything delivered before has been handled. False when either does not happen
    // within `timeoutMs`.
    bool settle(int timeoutMs);

private:
    void run();

    xobtest::DeviceStandIn& m_device;
    ArrivalHandler m_handler;
    std::mutex m_mutex;
    std::condition_variable m_markerArrived;
    std::uint32_t m_markersSent = 0;
    std::uint32_t m_markersSeen = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The transport's system-log lines of a run, read once everything sent has reached the capture.
struct LogReport {
    std::vector<LossReport> losses;
    std::uint64_t openFailures = 0;      // "XOB: <device> couldn't be opened! Retry in 1 Second..."
    std::uint64_t exitLines = 0;         // "XOB: N Log-Entries still queued at exit are Lost!..."
    std::uint64_t queuedAtExit = 0;      // the sum of their N (the record being written included)
    // "XOB: N system-log lines were lost": the sum of their N, less the settle markers among them.
    // Lines are dropped (and counted) when the capture falls behind; each may have named a record.
    std::uint64_t linesLost = 0;
    std::uint64_t defective = 0;         // "XOB: Element defective": a writer found the ring empty
    std::vector<std::string> unexpected;  // any other "XOB" line
};

// Waits until every line logged so far has been captured (a marker line is logged through the
// library and awaited; it also brings out the count of lines the library could not send), then
// sorts the transport's lines. `devicePath` is the path the open failures name.
LogReport readSystemLog(const std::string& devicePath);

// The "[stress]" line with the figures of a run (scripts/soak.sh adds them up): entry calls begun
// (sent), delivered, lost (reported one by one, plus `counted`: the records that the count reports
// cover, given up after 30 open attempts or left in the ring at exit), cut off (`cutOff`: entry
// calls that the end of their process interrupted), and unaccounted: all the rest, which is 0 in a
// sound run.
void printFigures(const char* scenario, const Tally& tally, double seconds, const std::string& extra = "",
                  std::uint64_t counted = 0, std::uint64_t cutOff = 0);

// The records not named one by one that the count of lost system-log lines can account for.
inline std::uint64_t coveredByLostLines(const Tally& tally, const LogReport& log) {
    return tally.unaccounted < log.linesLost ? tally.unaccounted : log.linesLost;
}

// Fails the test when one of the fault counts of `tally` is not 0.
void expectNoFaults(const Tally& tally, const Ledger& ledger);
// Fails the test unless delivered + reported lost = sent, where the records not named one by one
// are at most the system-log lines that the library reported as lost.
void expectAllAccounted(const Tally& tally, const Ledger& ledger, const LogReport& log);

// Fails the test on any transport line that the run does not explain: every line other than loss
// reports, open failures and exit reports, and more than `defectiveAllowed` "Element defective".
void expectNoOtherReports(const LogReport& log, std::uint64_t defectiveAllowed = 0);

// Ends the process with a message when a run does not finish in time, so that a deadlock fails the
// test instead of hanging it.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// The device stand-in's FIFO taken away from its path and put back, as a recorder that goes away
// and comes back: the reader and the library's open descriptors keep working meanwhile.
class DeviceOutage {
public:
    explicit DeviceOutage(const std::string& path);
    ~DeviceOutage();  // puts it back
    DeviceOutage(const DeviceOutage&) = delete;
    DeviceOutage& operator=(const DeviceOutage&) = delete;
    void restore();

private:
    std::string m_path;
    bool m_away = false;
};

}  // namespace xobstress

#endif
