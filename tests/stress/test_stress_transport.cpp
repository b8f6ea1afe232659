// The transport under load and faults, in one process: a burst of eight producers, a recorder that
// stalls for seconds, a device that goes away and comes back, record copies that cannot be
// allocated, and the time an entry call takes while the writer retries an absent device. Every run
// ends with the same books: delivered + reported lost = sent, each record at most once, in its
// producer's order and intact.
#include <xob/GXob.h>

#include "Ledger.h"
#include "SyslogCapture.h"
#include "platform/Seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace xobtest;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kUnlimited = kSequences;

// True when some record of each producer sent at or after `from` arrived.
bool arrivedFrom(const Ledger& ledger, const std::vector<std::uint32_t>& from) {
    for (std::size_t i = 0; i < from.size(); ++i) {
        const std::vector<std::uint32_t> arrivals = ledger.arrivals(static_cast<std::uint8_t>(1 + i));
        if (std::none_of(arrivals.begin(), arrivals.end(), [&](std::uint32_t s) { return s >= from[i]; })) return false;
    }
    return true;
}

// The writer's one-second pause between open attempts, shortened to 20 ms: a five-second outage
// then costs whole records (30 attempts each) without a minute of waiting.
void shortRetrySleep(unsigned) { std::this_thread::sleep_for(milliseconds(20)); }

// Refuses the copy of about one record in sixteen, chosen by its tag, and notes the ones refused.
std::mutex g_refusedMutex;
std::vector<std::uint32_t> g_refused;
void* flakyAllocation(std::size_t size) {
    const std::uint32_t tag = sendingTag();
    if (tag != 0 && (tag * 0x9E3779B1u) >> 28 == 7u) {
        std::lock_guard<std::mutex> lock(g_refusedMutex);
        g_refused.push_back(tag);
        return nullptr;
    }
    return std::malloc(size);
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
        ASSERT_TRUE(waitForWriterIdle(60000));
        device.reset(new DeviceStandIn);
        ledger.reset(new Ledger(*device));
        SyslogCapture::instance().clear();
        start = Clock::now();
    }
    void TearDown() override {
        xob::seams::setAllocationHook(nullptr);
        xob::seams::setSleepHook(nullptr);
        ledger.reset();
        device.reset();
    }
    // Books the producers' counts, waits for everything to arrive and be logged, prints the figures.
    Tally close(const char* scenario, const Producers& producers, LogReport& log, const std::string& extra = "",
                std::uint64_t counted = 0) {
        ledger->sent(producers);
        log = ledger->close(device->path());
        const Tally tally = ledger->tally();
        printFigures(scenario, tally, std::chrono::duration<double>(Clock::now() - start).count(), extra,
                     counted != 0 ? counted : std::min(tally.unaccounted, log.linesLost));
        return tally;
    }

    std::unique_ptr<DeviceStandIn> device;
    std::unique_ptr<Ledger> ledger;
    Clock::time_point start;
};

// Eight producers at full speed, mixed entry kinds, the recorder reading at full speed.
TEST_F(Stress, BurstOfEightProducersIsDeliveredOrReportedRecordByRecord) {
    const std::uint32_t each = pick(100000, 100000, 10000, 10000);
    Producers producers(1, 8, each, microseconds(0));
    producers.join();
    LogReport log;
    const Tally tally = close("burst", producers, log);
    EXPECT_EQ(tally.sent, 8u * each);
    EXPECT_EQ(tally.inFlight, 0u);
    expectAccounted(tally, log.linesLost);
    EXPECT_EQ(log.lossesBy["exiting"] + log.lossesBy["mutex"] + log.openFailures, 0u);
    expectNoOtherReports(log);
}

// The recorder stops reading for seconds at a time: the FIFO fills, the writer blocks in write(),
// the ring fills, and every entry refused meanwhile is reported; delivery resumes after each stall.
TEST_F(Stress, SlowRecorderFillsTheRingAndTheQueueFullReportsAccountForTheGap) {
    std::vector<std::uint32_t> afterLastStall;
    Producers producers(1, 4, kUnlimited, microseconds(pick(300, 300, 1000, 2000)));
    for (unsigned i = 0; i < pick(6, 2, 2, 1); ++i) {
        device->pause(true);
        std::this_thread::sleep_for(milliseconds(pick(3000, 2000, 2000, 2000)));
        afterLastStall = producers.positions();
        device->pause(false);
        std::this_thread::sleep_for(milliseconds(pick(1000, 500, 1000, 1000)));
    }
    producers.stop();
    producers.join();
    LogReport log;
    const Tally tally = close("slow-recorder", producers, log);
    expectAccounted(tally, log.linesLost);
    EXPECT_GT(log.lossesBy["full"], 0u) << "the stalls never filled the ring";
    EXPECT_EQ(tally.lost, log.lossesBy["full"]);
    EXPECT_TRUE(arrivedFrom(*ledger, afterLastStall)) << "delivery did not resume after the last stall";
    expectNoOtherReports(log);
}

// The device disappears for five seconds and comes back. The writer gives a record up after 30
// open attempts: records given up = open-failure reports / 30 (the record whose retries the
// device's return ended has fewer), unless log lines were lost, each of which may hide one.
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
    producers.stop();
    producers.join();
    ledger->sent(producers);
    LogReport log = ledger->close(device->path());
    const Tally tally = ledger->tally();
    const std::uint64_t givenUp = log.openFailures / 30;
    printFigures("device-gone", tally, std::chrono::duration<double>(Clock::now() - start).count(),
                 "open-failures=" + std::to_string(log.openFailures),
                 std::min<std::uint64_t>(givenUp + log.linesLost, tally.unaccounted));

    EXPECT_GE(givenUp, 1u) << "the outage should have cost whole records";
    EXPECT_GE(tally.unaccounted, givenUp);
    expectAccounted(tally, givenUp + log.linesLost);
    EXPECT_EQ(tally.unaccountedReturned, tally.unaccounted);
    EXPECT_TRUE(arrivedFrom(*ledger, atReturn)) << "delivery did not resume by itself";
    expectNoOtherReports(log);
}

// Now and then the copy of a record cannot be allocated: each refused record is reported and the
// others keep flowing. ("Buffer couldn't be created!" goes to standard output, left alone here.)
TEST_F(Stress, FailedAllocationsAreReportedAndDeliveryGoesOn) {
    g_refused.clear();
    xob::seams::setAllocationHook(&flakyAllocation);
    Producers producers(1, 4, pick(50000, 10000, 2000, 2000), microseconds(pick(20, 20, 100, 200)));
    producers.join();
    xob::seams::setAllocationHook(nullptr);
    LogReport log;
    const Tally tally = close("allocation", producers, log, "refused-copies=" + std::to_string(g_refused.size()));
    expectAccounted(tally, log.linesLost);
    ASSERT_GT(g_refused.size(), 0u);
    // Refused copies are among the records reported lost (the accounting above); after the first
    // refusal of each producer, its records still arrive.
    std::vector<std::uint32_t> afterRefusal(4, kUnlimited);
    for (const std::uint32_t tag : g_refused) {
        std::uint8_t id = 0;
        std::uint32_t sequence = 0;
        ASSERT_TRUE(splitTag(tag, id, sequence));
        afterRefusal[id - 1u] = std::min(afterRefusal[id - 1u], sequence + 1);
    }
    std::replace(afterRefusal.begin(), afterRefusal.end(), kUnlimited, 0u);  // no refusal: any arrival
    EXPECT_TRUE(arrivedFrom(*ledger, afterRefusal)) << "delivery did not go on after a refused copy";
    // A refused record still starts a writer when none runs; that writer finds the ring empty.
    expectNoOtherReports(log, g_refused.size());
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
    LogReport log;
    const Tally tally = close("caller-timing", producers, log, "slowest-us=" + std::to_string(slowest / 1000));
    EXPECT_GE(log.openFailures + log.linesLost, 2u) << "the writer should have been retrying during the calls";
    EXPECT_LT(slowest, 500000000) << "an entry call waited for the writer";
    expectAccounted(tally, log.linesLost);
    EXPECT_EQ(tally.delivered, 120u) << "the ring's 120 records arrive once the device is back";
    expectNoOtherReports(log);
}

}  // namespace
