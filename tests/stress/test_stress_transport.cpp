// The transport under load and faults, in one process: a burst of eight producers, a recorder that
// stalls for seconds, a device that goes away and comes back, record copies that cannot be
// allocated, and the time an entry call takes while the writer retries an absent device. Every run
// ends with the same books (Ledger.h).
#include <xob/GXob.h>

#include "Ledger.h"
#include "SyslogCapture.h"
#include "platform/Seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>

using namespace xobtest;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr std::uint32_t kUnlimited = kSequences;

// The writer's one-second pause between open attempts, shortened to 20 ms: a five-second outage
// then costs whole records (30 attempts each) without a minute of waiting.
void shortRetrySleep(unsigned) { std::this_thread::sleep_for(milliseconds(20)); }

// Refuses the copy of about one record in sixteen, chosen by its tag, and notes the first refused
// sequence number of each producer.
std::mutex g_refusedMutex;
std::map<std::uint8_t, std::uint32_t> g_firstRefused;
std::atomic<unsigned> g_refusals{0};
void* flakyAllocation(std::size_t size) {
    const std::uint32_t tag = sendingTag();
    std::uint8_t id = 0;
    std::uint32_t sequence = 0;
    if ((tag * 0x9E3779B1u) >> 28 != 7u || !splitTag(tag, id, sequence)) return std::malloc(size);
    std::lock_guard<std::mutex> lock(g_refusedMutex);
    g_firstRefused.emplace(id, sequence);
    ++g_refusals;
    return nullptr;
}

// The device stand-in's FIFO renamed away from its path and back, as a recorder that goes away and
// comes back: its reader and the library's open descriptors keep working meanwhile.
struct DeviceOutage {
    explicit DeviceOutage(std::string path) : path(std::move(path)) {
        EXPECT_EQ(std::rename(this->path.c_str(), (this->path + ".away").c_str()), 0);
    }
    ~DeviceOutage() { EXPECT_EQ(std::rename((path + ".away").c_str(), path.c_str()), 0); }
    const std::string path;
};

class Stress : public testing::Test {
protected:
    static void SetUpTestSuite() { startWatchdog(seconds(3600)); }
    void SetUp() override {
        XOB_REQUIRE_SYSLOG();
        device.reset(new DeviceStandIn);
        ledger.reset(new Ledger(*device));
        SyslogCapture::instance().clear();
        start = std::chrono::steady_clock::now();
    }
    void TearDown() override {
        xob::seams::setSleepHook(nullptr);
        ledger.reset();
        device.reset();
    }
    // Books the producers' counts, waits for everything to arrive and be logged, prints the figures
    // and checks the books. Records neither delivered nor reported: those given up after 30 open
    // attempts, and one for each system-log line the library could not send.
    Tally close(const char* scenario, Producers& producers, const std::string& extra = "",
                std::uint64_t defectiveAllowed = 0) {
        producers.stop();
        producers.join();
        ledger->sent(producers);
        log = ledger->close(device->path());
        const Tally tally = ledger->tally();
        const std::uint64_t unnamed = log.count["open"] / 30;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        printFigures(scenario, tally, seconds, extra, std::min(tally.unaccounted, unnamed + log.linesLost));
        expectAccounted(tally, unnamed + log.linesLost);
        expectNoOtherReports(log, defectiveAllowed);
        return tally;
    }
    // True when some record of each producer sent at or after `from` arrived.
    bool arrivedFrom(const std::vector<std::uint32_t>& from) {
        for (std::size_t i = 0; i < from.size(); ++i) {
            const std::vector<std::uint32_t> arrivals = ledger->arrivals(static_cast<std::uint8_t>(1 + i));
            if (std::none_of(arrivals.begin(), arrivals.end(), [&](std::uint32_t s) { return s >= from[i]; })) return false;
        }
        return true;
    }

    std::unique_ptr<DeviceStandIn> device;
    std::unique_ptr<Ledger> ledger;
    LogReport log;
    std::chrono::steady_clock::time_point start;
};

// Eight producers at full speed, the recorder reading at full speed.
TEST_F(Stress, BurstOfEightProducersIsDeliveredOrReportedRecordByRecord) {
    const std::uint32_t each = pick(100000, 100000, 10000, 10000);
    Producers producers(1, 8, each, microseconds(0));
    producers.join();
    const Tally tally = close("burst", producers);
    EXPECT_EQ(tally.sent, 8u * each);
    EXPECT_EQ(log.count["exiting"] + log.count["mutex"] + log.count["open"], 0u);
}

// The recorder stops reading for seconds at a time: the FIFO fills, the writer blocks in write(),
// the ring fills, and every entry refused meanwhile is reported; delivery resumes after each stall.
TEST_F(Stress, SlowRecorderFillsTheRingAndTheQueueFullReportsAccountForTheGap) {
    std::vector<std::uint32_t> afterLastStall;
    Producers producers(1, 4, kUnlimited, microseconds(pick(300, 300, 1000, 2000)));
    for (unsigned i = 0; i < pick(6, 2, 2, 1); ++i) {
        device->pause(true);
        std::this_thread::sleep_for(milliseconds(2000));
        afterLastStall = producers.positions();
        device->pause(false);
        std::this_thread::sleep_for(milliseconds(pick(1000, 500, 1000, 1000)));
    }
    const Tally tally = close("slow-recorder", producers);
    EXPECT_GT(log.count["full"], 0u) << "the stalls never filled the ring";
    EXPECT_EQ(tally.lost, log.count["full"]);
    EXPECT_TRUE(arrivedFrom(afterLastStall)) << "delivery did not resume after the last stall";
}

// The device disappears for five seconds and comes back. The writer gives a record up after 30
// open attempts: records given up = open-failure reports / 30 (the record whose retries the
// device's return ended has fewer).
TEST_F(Stress, DeviceGoneAndBackIsRetriedReportedAndResumedWithoutDuplicates) {
    xob::seams::setSleepHook(&shortRetrySleep);
    std::vector<std::uint32_t> atReturn;
    Producers producers(1, 4, kUnlimited, microseconds(pick(1000, 1000, 2000, 4000)));
    std::this_thread::sleep_for(milliseconds(pick(2000, 1000, 1000, 1000)));
    {
        DeviceOutage outage(device->path());
        std::this_thread::sleep_for(seconds(5));
        atReturn = producers.positions();
    }
    std::this_thread::sleep_for(milliseconds(pick(3000, 1500, 2000, 2000)));
    const Tally tally = close("device-gone", producers);
    const std::uint64_t givenUp = log.count["open"] / 30;
    EXPECT_GE(givenUp, 1u) << "the outage should have cost whole records";
    EXPECT_GE(tally.unaccounted, givenUp);
    EXPECT_EQ(tally.unaccountedReturned, tally.unaccounted);
    EXPECT_TRUE(arrivedFrom(atReturn)) << "delivery did not resume by itself";
}

// Now and then the copy of a record cannot be allocated: each refused record is reported and the
// others keep flowing. A refused record still starts a writer when none runs; that writer finds the
// ring empty ("Element defective").
TEST_F(Stress, FailedAllocationsAreReportedAndDeliveryGoesOn) {
    g_firstRefused.clear();
    g_refusals = 0;
    xob::seams::setAllocationHook(&flakyAllocation);
    Producers producers(1, 4, pick(50000, 10000, 2000, 2000), microseconds(pick(20, 20, 100, 200)));
    producers.join();
    xob::seams::setAllocationHook(nullptr);  // before the ledger's own record
    close("allocation", producers, "refused-copies=" + std::to_string(g_refusals), g_refusals);
    ASSERT_GT(g_refusals, 0u);
    std::vector<std::uint32_t> afterRefusal(4, 0);
    for (const auto& first : g_firstRefused) afterRefusal[first.first - 1u] = first.second + 1;
    EXPECT_TRUE(arrivedFrom(afterRefusal)) << "delivery did not go on after a refused copy";
}

// The device is absent and the writer retries it once a second (the real pause); entry calls keep
// returning at once: none waits for a retry. The slowest call is printed.
TEST_F(Stress, CallerNeverWaitsWhileTheWriterRetriesAnAbsentDevice) {
    std::unique_ptr<DeviceOutage> outage(new DeviceOutage(device->path()));
    Producers producers(1, 4, kUnlimited, microseconds(50));
    std::this_thread::sleep_for(milliseconds(pick(10000, 2500, 2500, 2500)));  // two retries at least
    producers.stop();
    producers.join();
    outage.reset();
    const std::int64_t slowest = std::max_element(producers.slowestNs.begin(), producers.slowestNs.end())->load();
    const Tally tally = close("caller-timing", producers, "slowest-us=" + std::to_string(slowest / 1000));
    EXPECT_GE(log.count["open"] + log.linesLost, 2u) << "the writer should have been retrying during the calls";
    EXPECT_LT(slowest, 500000000) << "an entry call waited for the writer";
    EXPECT_EQ(tally.delivered, 120u) << "the ring's 120 records arrive once the device is back";
}

}  // namespace
