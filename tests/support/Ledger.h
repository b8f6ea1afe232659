// The ledger of tagged records, for the runs under load and faults: what was sent (per producer),
// what arrived at the device stand-in (decoded by the decoder library), what the system log
// reports as lost, and the sums that must hold for every run: delivered + reported lost = sent,
// each record at most once, in its producer's order, as its tag made it.
//
// A tagged record is made from a 32-bit tag alone by a real entry function (TRIGGERHDU_LogEntry,
// PanelHDU_LogEntry, DiagnosisHDU_LogEntry or SYSHDU_LogEntry, chosen by the tag). The tag is its
// first four payload bytes (producer in the top byte, sequence number in the three below, none of
// them zero), so each loss report, which prints ui32Data[0], names exactly one record; the texts
// and the timestamp (passed as the caller's time) follow from the tag too.
#ifndef XOBTEST_SUPPORT_LEDGER_H
#define XOBTEST_SUPPORT_LEDGER_H

#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "Decoder.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace xobtest {

// The value for this run's pace: soak (XOBSTRESS_SOAK=1), plain, sanitizer build, qemu (XOBTEST_EMULATED).
std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated);
const char* paceName();

// Producer ids run from 1 to 254; 255 marks the collector's own records.
constexpr std::uint8_t kMarkerProducer = 0xFF;
constexpr std::uint32_t kSequences = 255u * 255u * 255u;
std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept;
bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept;
// Records the entry of `tag`; allocates nothing (a child forked meanwhile inherits no heap block).
void sendTagged(std::uint32_t tag) noexcept;

// Entry calls of one producer, begun and returned (a process may end in the middle of one).
struct ProducerCount {
    std::atomic<std::uint32_t> attempted{0};
    std::atomic<std::uint32_t> completed{0};
};
void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept;
// The tag the calling thread is sending through sendCounted (0 outside), for seams inside the call.
std::uint32_t sendingTag() noexcept;

// Producer threads with ids first, first + 1, ...; each sends up to `each` entries `gap` apart.
class Producers {
public:
    Producers(std::uint8_t first, unsigned threads, std::uint32_t each, std::chrono::microseconds gap);
    ~Producers() { join(); }
    void stop() { m_stop = true; }
    void join();
    // The sequence number each producer sends next.
    std::vector<std::uint32_t> positions() const;

    const std::uint8_t first;
    std::vector<ProducerCount> counts;
    std::vector<std::atomic<std::int64_t>> slowestNs;  // each producer's slowest entry call

private:
    std::vector<std::thread> m_threads;
    std::atomic<bool> m_stop{false};
};

// The counts of a child process, in a file that the child and its test both map.
struct ChildBoard {
    ProducerCount producers[256];
    std::atomic<std::uint64_t> exitBeganNs;  // CLOCK_MONOTONIC when the child began to exit
    std::atomic<std::uint32_t> forked;       // fork runs: children forked, and those that ended well
    std::atomic<std::uint32_t> cleanChildren;

    static ChildBoard* map(const std::string& path, bool create);  // null on failure
    static void unmap(ChildBoard* board);
};

// The transport's system-log lines of a run.
struct LogReport {
    std::map<std::string, std::uint64_t> lossesBy;  // "full", "exiting", "mutex": loss reports
    std::vector<std::pair<std::uint32_t, std::uint32_t>> losses;  // what each names: functionId, ui32Data[0]
    std::uint64_t openFailures = 0;  // "XOB: <device> couldn't be opened! Retry in 1 Second..."
    std::uint64_t queuedAtExit = 0;  // the N of "XOB: N Log-Entries still queued at exit are Lost!"
    std::uint64_t exitLines = 0;
    std::uint64_t linesLost = 0;     // the N of "XOB: N system-log lines were lost", less the markers
    std::uint64_t defective = 0;     // "XOB: Element defective"
    std::vector<std::string> unexpected;  // any other "XOB" line
};

struct Tally {
    std::uint64_t sent = 0;         // entry calls begun
    std::uint64_t inFlight = 0;     // begun, never returned (their process ended during the call)
    std::uint64_t delivered = 0;    // arrived intact, first time
    std::uint64_t lost = 0;         // named by a loss report
    std::uint64_t unaccounted = 0;  // neither
    std::uint64_t unaccountedReturned = 0;  // of those, the ones whose call returned
    // Duplicates, reordering, corruption, records never sent, delivered and reported, reported
    // twice or with another function identifier.
    std::uint64_t faults = 0;
    std::string sample;  // the first faults and unaccounted records
};

// Reads the device stand-in at full speed on a thread of its own and hands every arrival, decoded,
// to `handler` (the marker records of settle() excepted).
class Collector {
public:
    using Handler = std::function<void(const xob::decoder::DecodedRecord& record)>;
    Collector(DeviceStandIn& device, Handler handler);
    ~Collector();
    // Waits for the writer to go idle, then sends a marker and waits for it: everything delivered
    // before has been handled. False when either does not happen within `timeoutMs`.
    bool settle(int timeoutMs);

private:
    DeviceStandIn& m_device;
    Handler m_handler;
    std::atomic<std::uint32_t> m_markersSent{0};
    std::atomic<std::uint32_t> m_markersSeen{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Waits until every line logged so far has been captured, then sorts the transport's lines.
LogReport readSystemLog(const std::string& devicePath);

class Ledger {
public:
    explicit Ledger(DeviceStandIn& device);
    void sent(std::uint8_t id, std::uint32_t attempted, std::uint32_t completed);
    void sent(const Producers& producers);
    void sent(const ChildBoard& board, const std::vector<std::uint8_t>& ids);
    // Settles the collector (failing the test if the writer does not finish), reads the system log
    // and books its loss reports.
    LogReport close(const std::string& devicePath);
    Tally tally() const;
    std::vector<std::uint32_t> arrivals(std::uint8_t id) const;

private:
    struct Producer {
        std::uint32_t attempted = 0;
        std::uint32_t completed = 0;
        std::vector<std::uint32_t> arrivals;
        std::vector<std::uint32_t> losses;
    };
    void arrived(const xob::decoder::DecodedRecord& record);
    void fault(const std::string& what);

    mutable std::mutex m_mutex;
    std::map<std::uint8_t, Producer> m_producers;
    std::uint64_t m_faults = 0;
    std::string m_sample;
    Collector m_collector;  // last: it calls arrived() until it is destroyed, first
};

// The "[stress]" line of a run (scripts/soak.sh adds them up). `counted`: records covered by a
// count report (given up after 30 open attempts, left in the ring at exit, lines not sent);
// `cutOff`: entry calls that the end of their process interrupted.
void printFigures(const char* scenario, const Tally& tally, double seconds, const std::string& extra = "",
                  std::uint64_t counted = 0, std::uint64_t cutOff = 0);
// No fault, and delivered + lost + at most `unnamed` records = sent.
void expectAccounted(const Tally& tally, std::uint64_t unnamed);
// No transport line that the run does not explain, and at most `defectiveAllowed` "Element defective".
void expectNoOtherReports(const LogReport& log, std::uint64_t defectiveAllowed = 0);
// Ends the process with a message if it is still running after `limit`: a deadlock fails the run.
void startWatchdog(std::chrono::seconds limit);

}  // namespace xobtest

#endif
