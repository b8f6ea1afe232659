// The ledger of the runs under load and faults: what was sent per producer, what arrived (decoded by
// the decoder library), what the system log reports lost. A tagged record is a SYSHDU_LogEntry made
// from a 32-bit tag alone (producer in the top byte, sequence number in the three below, no byte
// zero): the tag leads its first text, so each loss report, which prints ui32Data[0], names one
// record; its texts and timestamp follow from the tag too.
#ifndef XOBTEST_SUPPORT_LEDGER_H
#define XOBTEST_SUPPORT_LEDGER_H

#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "Decoder.h"

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace xobtest {

// The value for this run's pace: soak (XOBSTRESS_SOAK=1), plain, sanitizer build, qemu (XOBTEST_EMULATED).
std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated);

// Producer ids run from 1 to 254; 255 marks the ledger's own settle records.
constexpr std::uint32_t kSequences = 255u * 255u * 255u;
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
    void join();
    std::vector<std::uint32_t> positions() const;  // the sequence number each producer sends next

    const std::uint8_t first;
    std::vector<ProducerCount> counts;
    ProducerCount* const board;
    std::vector<std::atomic<std::int64_t>> slowestNs;  // each producer's slowest entry call
    std::atomic<bool> stop{false};

private:
    std::vector<std::thread> m_threads;
};

// The counts of a child process, in a file that the child and its test both map.
struct ChildBoard {
    ProducerCount producers[256];
    std::atomic<std::uint64_t> exitBeganNs;    // CLOCK_MONOTONIC when the child began to exit
    std::atomic<std::uint32_t> cleanChildren;  // fork runs: forked children that ended well

    static ChildBoard* map(const std::string& path, bool create);  // null on failure
    static void unmap(ChildBoard* board);
};

struct Books {
    std::uint64_t sent = 0, delivered = 0, lost = 0;  // lost: named by a loss report
    std::uint64_t missing = 0, cutOff = 0;  // neither, of the calls that returned / that the process end cut
    // System-log lines: "full", "exiting", "mutex" (loss reports), "open" (couldn't be opened), "queued"
    // (the N of the exit reports), "defective", "lines lost" (the N of "XOB: N system-log lines were lost").
    std::map<std::string, std::uint64_t> reports;
    std::map<std::uint16_t, std::uint64_t> byFunction;  // untagged ledger: arrivals and losses per identifier
    std::string fault;  // the first duplicate, reordering, corruption, impossible report or other line
    double seconds = 0;
};

// Reads the device stand-in at full speed on a thread of its own and books every arrival, decoded:
// tagged records per producer, or (untagged) any record per function identifier.
class Ledger {
public:
    explicit Ledger(DeviceStandIn& device, bool tagged = true);
    ~Ledger();
    void sent(std::uint8_t id, const ProducerCount& count);
    void sent(const Producers& producers);
    // Waits until everything delivered is booked, reads the system log and balances the books.
    Books close(const std::string& devicePath);
    std::vector<std::uint32_t> arrivals(std::uint8_t id) const;

private:
    struct Producer {
        std::uint32_t attempted = 0, completed = 0;
        std::vector<std::uint32_t> arrivals, losses;
    };
    void arrived(const xob::decoder::DecodedRecord& record);
    void fault(const std::string& what);

    mutable std::mutex m_mutex;
    std::map<std::uint8_t, Producer> m_producers;
    Books m_books;
    const bool m_tagged;
    const std::chrono::steady_clock::time_point m_start;
    DeviceStandIn& m_device;
    std::atomic<std::uint32_t> m_markersSent{0}, m_markersSeen{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // last: it books arrivals until it is joined, first
};

// Prints the run's "[stress]" line (scripts/soak.sh adds them up) and checks its books: no fault, at
// most `unexplained` records missing, at most `defective` "XOB: Element defective" lines.
void expectBalanced(const char* scenario, Books& books, std::uint64_t unexplained, const std::string& extra = "",
                    std::uint64_t defective = 0);

}  // namespace xobtest

#endif
