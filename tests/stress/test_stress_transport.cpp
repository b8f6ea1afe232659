// The transport under load and faults, in one process (the scenarios: README.md).
#include "TestKit.h"

#include "Ledger.h"
#include "platform/Seams.h"

using namespace xobtest;
using namespace std::chrono;

// Open attempts 20 ms apart instead of a second: an outage of seconds costs whole records (30 attempts).
void shortRetrySleep(unsigned) { std::this_thread::sleep_for(milliseconds(20)); }

std::atomic<unsigned> g_refusals{0};
void* refuseEverySixteenth(std::size_t size) {  // the copy of each producer's records 7, 23, 39, ...
    if (sendingSequence() == kSequences || sendingSequence() % 16 != 7) return std::malloc(size);
    ++g_refusals;
    return nullptr;
}

// The FIFO renamed away and back: its reader and the library's open descriptors keep working meanwhile.
void moveDevice(const std::string& path, bool away) {
    EXPECT_EQ(std::rename((path + (away ? "" : ".away")).c_str(), (path + (away ? ".away" : "")).c_str()), 0);
}

class Stress : public testing::Test {
protected:
    void SetUp() override { XOB_REQUIRE_SYSLOG(); }
    void TearDown() override { xob::seams::setSleepHook(nullptr); }
    Books close(const char* scenario, Producers& producers, const std::string& extra = "", std::uint64_t defects = 0) {
        producers.stop = true;
        producers.join();
        Books books = ledger.close(device.path(), counts);
        expectBalanced(scenario, books, extra, defects);
        return books;
    }
    // Of producer 1, whose records arrive in order.
    static std::uint32_t afterLastArrival(Books& b) { return b.arrivals[1].empty() ? 0 : b.arrivals[1].back() + 1; }

    ProducerCount counts[256];
    DeviceStandIn device;
    Ledger ledger{device};
};

TEST_F(Stress, SlowRecorderFillsTheRingAndTheQueueFullReportsAccountForTheGap) {
    std::uint32_t lastStall = 0;
    Producers producers(1, 4, kSequences, microseconds(pick(300, 300, 1000, 2000)), counts);
    for (unsigned i = 0; i < pick(6, 2, 2, 1); ++i) {
        device.pause(true);
        std::this_thread::sleep_for(milliseconds(2000));
        lastStall = counts[1].attempted;
        device.pause(false);
        std::this_thread::sleep_for(milliseconds(pick(1000, 500, 1000, 1000)));
    }
    Books books = close("slow-recorder", producers);
    EXPECT_GT(books.reports["full"], 0u) << "the stalls never filled the ring";
    EXPECT_EQ(books.lost, books.reports["full"]);
    EXPECT_GT(afterLastArrival(books), lastStall) << "delivery did not resume after the last stall";
}

TEST_F(Stress, DeviceGoneAndBackIsRetriedReportedAndResumedWithoutDuplicates) {
    xob::seams::setSleepHook(&shortRetrySleep);
    Producers producers(1, 4, kSequences, microseconds(pick(1000, 1000, 2000, 4000)), counts);
    std::this_thread::sleep_for(milliseconds(pick(2000, 1000, 1000, 1000)));
    moveDevice(device.path(), true);
    std::this_thread::sleep_for(seconds(5));
    const std::uint32_t atReturn = counts[1].attempted;
    moveDevice(device.path(), false);
    std::this_thread::sleep_for(milliseconds(pick(3000, 1500, 2000, 2000)));
    Books books = close("device-gone", producers);
    EXPECT_GE(books.reports["open"] / 30, 1u) << "the outage should have cost whole records";
    EXPECT_GE(books.missing, books.reports["open"] / 30);
    EXPECT_GT(afterLastArrival(books), atReturn) << "delivery did not resume by itself";
}

// A burst of eight producers at full speed, with record copies refused: every record is delivered or reported. A
// refused record still starts a writer when none runs, which finds the ring empty ("Element defective").
TEST_F(Stress, BurstOfEightProducersWithFailedAllocationsIsDeliveredOrReportedRecordByRecord) {
    g_refusals = 0;
    xob::seams::setAllocationHook(&refuseEverySixteenth);
    Producers producers(1, 8, pick(100000, 100000, 10000, 10000), microseconds(0), counts);
    producers.join();
    xob::seams::setAllocationHook(nullptr);
    Books books = close("burst", producers, "refused-copies=" + std::to_string(g_refusals), g_refusals);
    EXPECT_EQ(books.reports["exiting"] + books.reports["mutex"] + books.reports["open"], 0u);
    EXPECT_GT(g_refusals, 0u);
    EXPECT_GT(afterLastArrival(books), 8u) << "delivery did not go on after a refused copy";
}

TEST_F(Stress, CallerNeverWaitsWhileTheWriterRetriesAnAbsentDevice) {
    moveDevice(device.path(), true);
    Producers producers(1, 4, kSequences, microseconds(50), counts);
    std::this_thread::sleep_for(milliseconds(pick(10000, 2500, 2500, 2500)));  // two one-second retries at least
    producers.stop = true;
    producers.join();
    moveDevice(device.path(), false);
    const std::int64_t slowest = std::max_element(producers.slowestNs.begin(), producers.slowestNs.end())->load();
    Books books = close("caller-timing", producers, "slowest-us=" + std::to_string(slowest / 1000));
    EXPECT_GE(books.reports["open"] + books.reports["lines lost"], 2u) << "the writer should have been retrying";
    EXPECT_LT(slowest, 500000000) << "an entry call waited for the writer";
    EXPECT_EQ(books.delivered, 120u) << "the ring's 120 records arrive once the device is back";
}
