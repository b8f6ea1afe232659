// The ledger of tagged records for the runs under load and faults: what was sent per producer, what
// arrived (decoded by the decoder library), what the system log reports lost. A tagged record is a
// SYSHDU_LogEntry made from a 32-bit tag alone (producer in the top byte, sequence number in the three
// below, no byte zero): the tag leads its first text, so each loss report, which prints ui32Data[0],
// names one record; its texts and timestamp follow from the tag too.
#ifndef XOBTEST_SUPPORT_LEDGER_H
#define XOBTEST_SUPPORT_LEDGER_H

#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "Decoder.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace xobtest {

// The value for this run's pace: soak (XOBSTRESS_SOAK=1), plain, sanitizer build, qemu (XOBTEST_EMULATED).
std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated);

// Producer ids run from 1 to 254; 255 marks the ledger's own settle records.
constexpr std::uint32_t kSequences = 255u * 255u * 255u;
std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept;
bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept;

struct ProducerCount {  // entry calls begun and returned (a process may end in the middle of one)
    std::atomic<std::uint32_t> attempted{0};
    std::atomic<std::uint32_t> completed{0};
};
// Records the producer's next tagged entry; allocates nothing.
void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept;
// The tag the calling thread is sending through sendCounted (0 outside), for seams inside the call.
std::uint32_t sendingTag() noexcept;

// Producer threads with ids first, first + 1, ...; each sends up to `each` entries `gap` apart and
// counts them in counts[i] (or in `board`, from board[0] on, when given).
class Producers {
public:
    Producers(std::uint8_t first, unsigned threads, std::uint32_t each, std::chrono::microseconds gap,
              ProducerCount* board = nullptr);
    ~Producers() { join(); }
    void stop() { m_stop = true; }
    void join();
    std::vector<std::uint32_t> positions() const;  // the sequence number each producer sends next

    const std::uint8_t first;
    std::vector<ProducerCount> counts;
    ProducerCount* const board;
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

// The transport's system-log lines of a run. `count` keys: "full", "exiting", "mutex" (loss reports),
// "open" (couldn't be opened), "queued" (the N of the exit reports), "defective".
struct LogReport {
    std::map<std::string, std::uint64_t> count;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> losses;  // what each names: functionId, ui32Data[0]
    std::uint64_t linesLost = 0;  // the N of "XOB: N system-log lines were lost", less the markers
    std::vector<std::string> unexpected;  // any other "XOB" line
};

struct Tally {
    std::uint64_t sent = 0, inFlight = 0;  // entry calls begun; of those, never returned
    std::uint64_t delivered = 0, lost = 0, unaccounted = 0;  // arrived intact; named by a loss report; neither
    std::uint64_t unaccountedReturned = 0;  // of the unaccounted, the ones whose call returned
    std::string fault;  // the first duplicate, reordering, corruption or impossible report
};

// Reads the device stand-in at full speed on a thread of its own and books every arrival, decoded.
// With a `handler`, arrivals go to it instead and close() books no losses.
class Ledger {
public:
    using Handler = std::function<void(const xob::decoder::DecodedRecord& record)>;
    explicit Ledger(DeviceStandIn& device, Handler handler = nullptr);
    ~Ledger();
    void sent(std::uint8_t id, std::uint32_t attempted, std::uint32_t completed);
    void sent(const Producers& producers);
    // Waits until everything delivered is booked (failing the test if not), reads the system log and
    // books its loss reports.
    LogReport close(const std::string& devicePath);
    Tally tally() const;
    std::vector<std::uint32_t> arrivals(std::uint8_t id) const;

private:
    struct Producer {
        std::uint32_t attempted = 0, completed = 0;
        std::vector<std::uint32_t> arrivals, losses;
    };
    void arrived(const xob::decoder::DecodedRecord& record);

    mutable std::mutex m_mutex;
    std::map<std::uint8_t, Producer> m_producers;
    std::string m_fault;
    DeviceStandIn& m_device;
    Handler m_handler;
    std::atomic<std::uint32_t> m_markersSent{0}, m_markersSeen{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // last: it books arrivals until it is joined, first
};

// The "[stress]" line of a run (scripts/soak.sh adds them up). `counted`: records covered by a
// count report (given up after 30 open attempts, left in the ring at exit, lines not sent);
// `cutOff`: entry calls that the end of their process interrupted.
void printFigures(const char* scenario, const Tally& tally, double seconds, const std::string& extra = "",
                  std::uint64_t counted = 0, std::uint64_t cutOff = 0);
// No fault, delivered + lost + at most `unnamed` records = sent.
void expectAccounted(const Tally& tally, std::uint64_t unnamed);
// No transport line that the run does not explain, and at most `defectiveAllowed` "Element defective".
void expectNoOtherReports(LogReport& log, std::uint64_t defectiveAllowed = 0);
// Ends the process with a message if it is still running after `limit`: a deadlock fails the run.
void startWatchdog(std::chrono::seconds limit);

}  // namespace xobtest

#endif
