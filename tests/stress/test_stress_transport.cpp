// The transport under load and faults, in one process: a burst of eight producers, a recorder that
// stalls for seconds, a device that goes away and comes back, record copies that cannot be
// allocated, and the time an entry call takes while the writer retries an absent device. Every run
// ends with the same books: delivered + reported lost = sent, each record at most once, in its
// producer's order and uncorrupted.
#include <xob/GXob.h>

#include "DeviceStandIn.h"
#include "StressKit.h"
#include "SyslogCapture.h"
#include "platform/Seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <unistd.h>

using namespace xobstress;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;
using xobtest::DeviceStandIn;

namespace {

constexpr std::uint32_t kUnlimited = kSequences;

// The distinct function identifiers among the records that arrived from the given producers.
std::set<std::uint16_t> kindsDelivered(const Ledger& ledger, std::uint8_t first, unsigned count) {
    std::set<std::uint16_t> kinds;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t id = static_cast<std::uint8_t>(first + i);
        for (std::uint32_t sequence : ledger.arrivals(id)) {
            kinds.insert(functionIdOf(makeTag(id, sequence)));
        }
    }
    return kinds;
}

// True when some record of each producer sent at or after `from` arrived.
bool arrivedFrom(const Ledger& ledger, std::uint8_t first, const std::vector<std::uint32_t>& from) {
    for (unsigned i = 0; i < from.size(); ++i) {
        const std::vector<std::uint32_t> arrivals = ledger.arrivals(static_cast<std::uint8_t>(first + i));
        if (std::none_of(arrivals.begin(), arrivals.end(), [&](std::uint32_t s) { return s >= from[i]; })) {
            return false;
        }
    }
    return true;
}

// Sleep seam: the writer's one-second pause between open attempts, shortened to 20 ms, so that
// a five-second outage costs whole records (30 attempts each) without a minute of waiting.
void shortRetrySleep(unsigned) { std::this_thread::sleep_for(milliseconds(20)); }

// Sleep seam that holds the writer between two open attempts until the gate opens.
struct RetryGate {
    static std::mutex mutex;
    static std::condition_variable changed;
    static bool closed;
    static unsigned waiting;

    static void hook(unsigned) {
        std::unique_lock<std::mutex> lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait(lock, [] { return !closed; });
        --waiting;
    }
    static void set(bool close) {
        std::lock_guard<std::mutex> lock(mutex);
        closed = close;
        changed.notify_all();
    }
    static bool writerHeld(milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [] { return waiting > 0; });
    }
};
std::mutex RetryGate::mutex;
std::condition_variable RetryGate::changed;
bool RetryGate::closed = false;
unsigned RetryGate::waiting = 0;

// Allocation seam: refuses the copy of about one record in sixteen, chosen by its tag, and notes
// which ones it refused.
struct FlakyAllocation {
    static std::mutex mutex;
    static std::vector<std::uint32_t> refused;

    static bool refuses(std::uint32_t tag) { return tag != 0 && (tag * 0x9E3779B1u) >> 28 == 7u; }
    static void* hook(std::size_t size) {
        const std::uint32_t tag = sendingTag();
        if (refuses(tag)) {
            std::lock_guard<std::mutex> lock(mutex);
            refused.push_back(tag);
            return nullptr;
        }
        return std::malloc(size);
    }
};
std::mutex FlakyAllocation::mutex;
std::vector<std::uint32_t> FlakyAllocation::refused;

// Standard output of this process, sent to a file for a while ("Buffer couldn't be created!" is
// printed there, not logged).
class StdoutCapture {
public:
    StdoutCapture() : m_path(xobtest::makeTempDir() + "/stdout") {
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        const int file = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(file, STDOUT_FILENO);
        close(file);
    }
    ~StdoutCapture() {
        end();
        std::remove(m_path.c_str());
        rmdir(m_path.substr(0, m_path.rfind('/')).c_str());
    }
    // Restores standard output and counts the lines equal to `text`.
    std::size_t end(const std::string& text = "") {
        if (m_saved >= 0) {
            std::fflush(stdout);
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
            m_saved = -1;
        }
        std::ifstream in(m_path);
        std::size_t count = 0;
        for (std::string line; std::getline(in, line);) {
            count += line == text ? 1 : 0;
        }
        return count;
    }

private:
    std::string m_path;
    int m_saved = -1;
};

class Stress : public testing::Test {
protected:
    void SetUp() override {
        XOB_REQUIRE_SYSLOG();
        ASSERT_TRUE(xobtest::waitForWriterIdle(60000));
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        watchdog.reset(new Watchdog(std::string(test->name()), seconds(1800)));
        device.reset(new DeviceStandIn);
        ledger.reset(new Ledger);
        collector.reset(new Collector(*device, *ledger));
        xobtest::SyslogCapture::instance().clear();
        start = Clock::now();
    }
    void TearDown() override {
        RetryGate::set(false);
        xob::seams::setAllocationHook(nullptr);
        xob::seams::setSleepHook(nullptr);
        collector.reset();
        device.reset();
        watchdog.reset();
    }

    // Waits until every record has arrived and every report has been logged, then reads the books.
    Tally close(LogReport& log) {
        EXPECT_TRUE(collector->settle(pick(600000, 120000, 300000, 300000)))
            << "the writer did not finish delivering";
        log = readSystemLog(device->path());
        ledger->lost(log.losses);
        return ledger->tally();
    }

    std::unique_ptr<Watchdog> watchdog;
    std::unique_ptr<DeviceStandIn> device;
    std::unique_ptr<Ledger> ledger;
    std::unique_ptr<Collector> collector;
    Clock::time_point start;
};

// Scenario: eight producers at full speed, mixed entry kinds, the recorder reading at full speed.
TEST_F(Stress, BurstOfEightProducersIsDeliveredOrReportedRecordByRecord) {
    constexpr unsigned kThreads = 8;
    const std::uint32_t each = pick(100000, 100000, 10000, 10000);
    {
        Producers producers(1, kThreads, each, microseconds(0));
        producers.join();
        ledger->sent(producers);
    }
    LogReport log;
    const Tally tally = close(log);
    printFigures("burst", tally, secondsSince(start), "", coveredByLostLines(tally, log));

    EXPECT_EQ(tally.sent, std::uint64_t{kThreads} * each);
    expectAllAccounted(tally, *ledger, log);
    EXPECT_EQ(tally.inFlight, 0u);
    EXPECT_EQ(tally.lostExiting + tally.lostMutex, 0u);
    EXPECT_EQ(kindsDelivered(*ledger, 1, kThreads).size(), 5u) << "every entry kind of the mix arrived";
    EXPECT_EQ(log.openFailures, 0u);
    expectNoOtherReports(log);
}

// Scenario: the recorder stops reading for seconds at a time. The device's buffer fills, the
// writer blocks in write(), the ring fills, and every entry refused meanwhile must be reported.
TEST_F(Stress, SlowRecorderFillsTheRingAndTheQueueFullReportsAccountForTheGap) {
    const unsigned stalls = pick(6, 2, 2, 1);
    const milliseconds stall(pick(3000, 2000, 2000, 2000));
    const milliseconds reading(pick(1000, 500, 1000, 1000));
    std::vector<std::uint32_t> afterLastStall;
    {
        Producers producers(1, 4, kUnlimited, microseconds(pick(300, 300, 1000, 2000)));
        for (unsigned i = 0; i < stalls; ++i) {
            device->pause(true);
            std::this_thread::sleep_for(stall);
            afterLastStall = producers.positions();
            device->pause(false);
            std::this_thread::sleep_for(reading);
        }
        producers.stop();
        producers.join();
        ledger->sent(producers);
    }
    LogReport log;
    const Tally tally = close(log);
    printFigures("slow-recorder", tally, secondsSince(start), "", coveredByLostLines(tally, log));

    expectAllAccounted(tally, *ledger, log);
    EXPECT_EQ(tally.lost(), tally.lostQueueFull);
    EXPECT_GT(tally.lostQueueFull, 0u) << "the stalls never filled the ring";
    EXPECT_TRUE(arrivedFrom(*ledger, 1, afterLastStall)) << "delivery did not resume after the last stall";
    expectNoOtherReports(log);
}

// Scenario: the device disappears for five seconds and comes back. The writer retries each record
// 30 times (a retry pause of 20 ms instead of a second) and gives it up; those give-ups are what
// the open-failure reports account for: 30 reports per record given up, plus fewer than 30 for the
// record whose retries the device's return ended.
TEST_F(Stress, DeviceGoneAndBackIsRetriedReportedAndResumedWithoutDuplicates) {
    xob::seams::setSleepHook(&shortRetrySleep);
    std::vector<std::uint32_t> atReturn;
    {
        Producers producers(1, 4, kUnlimited, microseconds(pick(1000, 1000, 2000, 4000)));
        std::this_thread::sleep_for(milliseconds(pick(2000, 1000, 1000, 1000)));
        {
            DeviceOutage outage(device->path());
            std::this_thread::sleep_for(seconds(5));
            atReturn = producers.positions();
        }
        std::this_thread::sleep_for(milliseconds(pick(3000, 1500, 2000, 2000)));
        producers.stop();
        producers.join();
        ledger->sent(producers);
    }
    LogReport log;
    const Tally tally = close(log);
    const std::uint64_t givenUp = log.openFailures / 30;
    printFigures("device-gone", tally, secondsSince(start),
                 "open-failures=" + std::to_string(log.openFailures) + " lines-lost=" + std::to_string(log.linesLost),
                 std::min<std::uint64_t>(givenUp + log.linesLost, tally.unaccounted));

    expectNoFaults(tally, *ledger);
    EXPECT_GE(givenUp, 1u) << "the outage should have cost whole records";
    // Exactly the records given up, unless log lines were lost: each lost line hides one record at
    // most (a queue-full report, or one of the 30 open failures of a record given up).
    EXPECT_GE(tally.unaccounted, givenUp);
    EXPECT_LE(tally.unaccounted, givenUp + log.linesLost)
        << "records neither delivered nor reported:" << ledger->unaccountedSample();
    EXPECT_EQ(tally.unaccountedReturned, tally.unaccounted);
    EXPECT_TRUE(arrivedFrom(*ledger, 1, atReturn)) << "delivery did not resume by itself";
    expectNoOtherReports(log);
}

// Scenario: now and then the copy of a record cannot be allocated. Each refused record is reported
// on standard output and in the system log, and the others keep flowing.
TEST_F(Stress, FailedAllocationsAreReportedAndDeliveryGoesOn) {
    const std::uint32_t each = pick(50000, 10000, 2000, 2000);
    FlakyAllocation::refused.clear();
    StdoutCapture output;
    xob::seams::setAllocationHook(&FlakyAllocation::hook);
    {
        Producers producers(1, 4, each, microseconds(pick(20, 20, 100, 200)));
        producers.join();
        ledger->sent(producers);
    }
    xob::seams::setAllocationHook(nullptr);
    const std::size_t printed = output.end("Buffer couldn't be created!");
    LogReport log;
    const Tally tally = close(log);
    printFigures("allocation", tally, secondsSince(start),
                 "refused-copies=" + std::to_string(FlakyAllocation::refused.size()) +
                     " element-defective=" + std::to_string(log.defective),
                 coveredByLostLines(tally, log));

    expectAllAccounted(tally, *ledger, log);
    ASSERT_GT(FlakyAllocation::refused.size(), 0u);
    EXPECT_EQ(printed, FlakyAllocation::refused.size());
    const std::set<std::uint32_t> reported = ledger->reportedTags();
    std::uint64_t unreported = 0;
    for (std::uint32_t tag : FlakyAllocation::refused) {
        unreported += reported.count(tag) == 0 ? 1 : 0;
    }
    EXPECT_LE(unreported, log.linesLost) << "refused copies not reported";
    // Each producer's records keep arriving after its first refused copy.
    std::vector<std::uint32_t> firstRefused(4, kUnlimited);
    for (std::uint32_t tag : FlakyAllocation::refused) {
        std::uint8_t id = 0;
        std::uint32_t sequence = 0;
        ASSERT_TRUE(splitTag(tag, id, sequence));
        firstRefused[id - 1u] = std::min(firstRefused[id - 1u], sequence + 1);
    }
    for (std::uint32_t& from : firstRefused) {
        from = from == kUnlimited ? 0 : from;  // a producer without refusals: any arrival will do
    }
    EXPECT_TRUE(arrivedFrom(*ledger, 1, firstRefused)) << "delivery did not go on after a refused copy";
    // A refused record still starts a writer when none runs; that writer finds the ring empty.
    expectNoOtherReports(log, FlakyAllocation::refused.size());
}

// The ring after refused copies: a refused copy takes no slot. With the writer held on its first
// record, the ring takes exactly 120 records, the first 120 whose copy succeeds, and hands them
// out in order once the device is back.
TEST_F(Stress, RefusedCopiesTakeNoSlotOfTheRing) {
    FlakyAllocation::refused.clear();
    ProducerCount count;
    constexpr std::uint8_t kProducer = 9;
    StdoutCapture output;
    RetryGate::set(true);
    xob::seams::setSleepHook(&RetryGate::hook);
    {
        DeviceOutage outage(device->path());
        sendCounted(kProducer, count);  // the writer's first record, held at the device
        ASSERT_TRUE(RetryGate::writerHeld(milliseconds(10000)));
        xob::seams::setAllocationHook(&FlakyAllocation::hook);
        while (count.completed < 400) {
            sendCounted(kProducer, count);
        }
    }
    xob::seams::setAllocationHook(nullptr);
    RetryGate::set(false);
    EXPECT_EQ(output.end("Buffer couldn't be created!"), FlakyAllocation::refused.size());
    ledger->sent(kProducer, count.attempted, count.completed);
    LogReport log;
    const Tally tally = close(log);

    std::vector<std::uint32_t> expected{0};
    for (std::uint32_t sequence = 1; expected.size() < 120; ++sequence) {
        if (!FlakyAllocation::refuses(makeTag(kProducer, sequence))) {
            expected.push_back(sequence);
        }
    }
    ASSERT_GT(FlakyAllocation::refused.size(), 0u);
    EXPECT_EQ(ledger->arrivals(kProducer), expected);
    expectAllAccounted(tally, *ledger, log);
    expectNoOtherReports(log);
}

// Scenario: the device is absent and the writer retries it once a second (the real pause); entry
// calls keep returning at once. The bound only guards against blocking; the figures are printed.
TEST_F(Stress, CallerNeverWaitsWhileTheWriterRetriesAnAbsentDevice) {
    constexpr unsigned kThreads = 4;
    // Long enough for the writer to pause and retry twice at least.
    const milliseconds calling(pick(10000, 2500, 2500, 2500));
    std::vector<ProducerCount> counts(kThreads);
    std::vector<std::vector<std::int64_t>> durations(kThreads);
    {
        DeviceOutage outage(device->path());
        const Clock::time_point end = Clock::now() + calling;
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                while (Clock::now() < end) {
                    const Clock::time_point before = Clock::now();
                    sendCounted(static_cast<std::uint8_t>(1 + t), counts[t]);
                    durations[t].push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - before).count());
                    std::this_thread::sleep_for(microseconds(50));
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    for (unsigned t = 0; t < kThreads; ++t) {
        ledger->sent(static_cast<std::uint8_t>(1 + t), counts[t].attempted, counts[t].completed);
    }
    std::vector<std::int64_t> all;
    for (const std::vector<std::int64_t>& some : durations) {
        all.insert(all.end(), some.begin(), some.end());
    }
    std::sort(all.begin(), all.end());
    const auto at = [&all](double share) { return all[static_cast<std::size_t>(share * (all.size() - 1))]; };
    LogReport log;
    const Tally tally = close(log);
    char figures[160];
    std::snprintf(figures, sizeof figures, "calls=%zu p50=%.1fus p99=%.1fus max=%.1fus open-failures=%llu",
                  all.size(), at(0.5) / 1000.0, at(0.99) / 1000.0, all.back() / 1000.0,
                  static_cast<unsigned long long>(log.openFailures));
    printFigures("caller-timing", tally, secondsSince(start), figures, coveredByLostLines(tally, log));

    EXPECT_GE(log.openFailures, 2u) << "the writer should have been retrying during the calls";
    EXPECT_LT(at(0.99), 10000000) << "an entry call waited: " << figures;
    expectAllAccounted(tally, *ledger, log);
    EXPECT_EQ(tally.delivered, 120u) << "the ring's 120 records arrive once the device is back";
    expectNoOtherReports(log);
}

}  // namespace
