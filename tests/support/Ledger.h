// The books of the runs under load and faults (tests/stress/README.md). A tagged record is a
// SYSHDU_LogEntry whose first text starts with its tag (producer, sequence number, no zero byte), so
// that a loss report, which prints ui32Data[0], names it; its texts and timestamp follow from the tag.
#ifndef XOBTEST_SUPPORT_LEDGER_H
#define XOBTEST_SUPPORT_LEDGER_H

#include "Decoder.h"
#include "TestKit.h"

namespace xobtest {

// The value for this run's pace: soak (XOBSTRESS_SOAK=1), plain, sanitizer build, qemu (XOBTEST_EMULATED).
std::uint32_t pick(std::uint32_t soak, std::uint32_t native, std::uint32_t sanitized, std::uint32_t emulated);

constexpr std::uint32_t kSequences = 255u * 255u * 255u;  // per producer; ids run from 1 to 254

struct ProducerCount {  // entry calls begun and returned (a process may end in the middle of one)
    std::atomic<std::uint32_t> attempted{0}, completed{0};
};
void sendCounted(std::uint8_t producer, ProducerCount& count) noexcept;  // allocates nothing
std::uint32_t sendingSequence() noexcept;  // what this thread sends through sendCounted (kSequences: none)

// Threads with ids first, first + 1, ...; each sends up to `each` entries `gap` apart, counted in counts[id].
struct Producers {
    Producers(std::uint8_t first, unsigned many, std::uint32_t each, std::chrono::microseconds gap,
              ProducerCount* counts);
    ~Producers() { join(); }
    void join() {
        for (std::thread& thread : threads) {
            if (thread.joinable()) thread.join();
        }
    }

    std::atomic<bool> stop{false};
    std::vector<std::atomic<std::int64_t>> slowestNs;  // each one's slowest entry call
    std::vector<std::thread> threads;
};

struct ChildBoard {  // the counts of a child process, in a file that the child and its test both map
    ProducerCount producers[256];
    std::atomic<std::uint64_t> exitBeganNs;  // CLOCK_MONOTONIC when the child began to exit

    static ChildBoard* map(const std::string& path);  // a new file is all zeros; null on failure
};

struct Books {
    std::uint64_t sent = 0, delivered = 0, lost = 0;  // lost: named by a loss report
    std::uint64_t missing = 0, cutOff = 0;  // neither: of the calls that returned, of those cut off
    // System-log lines: "full", "exiting", "mutex" (loss reports), "open", "defective", "queued" (the N
    // of the exit reports), "lines lost" (the N of "XOB: N system-log lines were lost").
    std::map<std::string, std::uint64_t> reports;
    std::map<std::uint16_t, std::uint64_t> byFunction;  // untagged: arrivals and losses per identifier
    std::map<std::uint8_t, std::vector<std::uint32_t>> arrivals;  // tagged: per producer
    std::string fault;  // the first duplicate, reordering, corruption, impossible report or other line
};

// Books every arrival at the device stand-in, decoded: tagged records per producer, or (untagged)
// any record per function identifier; and the system-log lines from its start on.
class Ledger {
public:
    explicit Ledger(DeviceStandIn& device, bool tagged = true);
    ~Ledger();
    // Waits until everything is delivered, reads the system log and balances the books against what
    // `counts` (by producer id) says was sent.
    Books close(const std::string& devicePath, const ProducerCount* counts = nullptr);

private:
    void arrived(const xob::decoder::DecodedRecord& record);
    void fault(const std::string& what);

    std::mutex m_mutex;
    std::map<std::uint8_t, std::vector<std::uint32_t>> m_losses;
    Books m_books;
    const bool m_tagged;
    DeviceStandIn& m_device;
    std::atomic<std::uint32_t> m_markersSent{0}, m_markersSeen{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // last: it books arrivals until it is joined, first
};

// Prints the run's "[stress]" line (scripts/soak.sh adds them up) and checks its books: no fault; no more records
// missing than count reports cover (30 open failures for a record given up, the exit report's N) and lost system-log
// lines (each may have named one); at most `defective` "XOB: Element defective" lines.
void expectBalanced(const char* scenario, Books& books, const std::string& extra = "", std::uint64_t defective = 0);

}  // namespace xobtest

#endif
