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
    void SetUp() override {
        XOB_REQUIRE_SYSLOG();
        SyslogCapture::instance().clear();
    }
    void TearDown() override { xob::seams::setSleepHook(nullptr); }
    // Stops the producers and balances the books. Records neither delivered nor reported: those given
    // up after 30 open attempts, and one for each system-log line the library could not send.
    Books close(const char* scenario, Producers& producers, const std::string& extra = "", std::uint64_t defective = 0) {
        producers.stop = true;
        producers.join();
        ledger.sent(producers);
        Books books = ledger.close(device.path());
        expectBalanced(scenario, books, books.reports["open"] / 30 + books.reports["lines lost"], extra, defective);
        return books;
    }
    // True when some record of each producer sent at or after `from` arrived.
    bool arrivedFrom(const std::vector<std::uint32_t>& from) {
        for (std::size_t i = 0; i < from.size(); ++i) {
            const std::vector<std::uint32_t> arrivals = ledger.arrivals(static_cast<std::uint8_t>(1 + i));
            if (arrivals.empty() || arrivals.back() < from[i]) return false;  // they arrive in order
        }
        return true;
    }

    DeviceStandIn device;
    Ledger ledger{device};
};

TEST_F(Stress, BurstOfEightProducersIsDeliveredOrReportedRecordByRecord) {
    const std::uint32_t each = pick(100000, 100000, 10000, 10000);
    Producers producers(1, 8, each, microseconds(0));
    producers.join();
    Books books = close("burst", producers);
    EXPECT_EQ(books.sent, 8u * each);
    EXPECT_EQ(books.reports["exiting"] + books.reports["mutex"] + books.reports["open"], 0u);
}

// The recorder stops reading for seconds at a time: the FIFO fills, the writer blocks in write(),
// the ring fills, and every entry refused meanwhile is reported; delivery resumes after each stall.
TEST_F(Stress, SlowRecorderFillsTheRingAndTheQueueFullReportsAccountForTheGap) {
    std::vector<std::uint32_t> afterLastStall;
    Producers producers(1, 4, kSequences, microseconds(pick(300, 300, 1000, 2000)));
    for (unsigned i = 0; i < pick(6, 2, 2, 1); ++i) {
        device.pause(true);
        std::this_thread::sleep_for(milliseconds(2000));
        afterLastStall = producers.positions();
        device.pause(false);
        std::this_thread::sleep_for(milliseconds(pick(1000, 500, 1000, 1000)));
    }
    Books books = close("slow-recorder", producers);
    EXPECT_GT(books.reports["full"], 0u) << "the stalls never filled the ring";
    EXPECT_EQ(books.lost, books.reports["full"]);
    EXPECT_TRUE(arrivedFrom(afterLastStall)) << "delivery did not resume after the last stall";
}

// The device disappears for five seconds and comes back: records given up = open-failure reports
// / 30 (the record whose retries the device's return ended has fewer).
TEST_F(Stress, DeviceGoneAndBackIsRetriedReportedAndResumedWithoutDuplicates) {
    xob::seams::setSleepHook(&shortRetrySleep);
    std::vector<std::uint32_t> atReturn;
    Producers producers(1, 4, kSequences, microseconds(pick(1000, 1000, 2000, 4000)));
    std::this_thread::sleep_for(milliseconds(pick(2000, 1000, 1000, 1000)));
    {
        DeviceOutage outage(device.path());
        std::this_thread::sleep_for(seconds(5));
        atReturn = producers.positions();
    }
    std::this_thread::sleep_for(milliseconds(pick(3000, 1500, 2000, 2000)));
    Books books = close("device-gone", producers);
    EXPECT_GE(books.reports["open"] / 30, 1u) << "the outage should have cost whole records";
    EXPECT_GE(books.missing, books.reports["open"] / 30);
    EXPECT_TRUE(arrivedFrom(atReturn)) << "delivery did not resume by itself";
}

// Each refused copy is reported and the others keep flowing. A refused record still starts a writer
// when none runs; that writer finds the ring empty ("Element defective").
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
// returning at once: none waits for a retry.
TEST_F(Stress, CallerNeverWaitsWhileTheWriterRetriesAnAbsentDevice) {
    std::unique_ptr<DeviceOutage> outage(new DeviceOutage(device.path()));
    Producers producers(1, 4, kSequences, microseconds(50));
    std::this_thread::sleep_for(milliseconds(pick(10000, 2500, 2500, 2500)));  // two retries at least
    producers.stop = true;
    producers.join();
    outage.reset();
    const std::int64_t slowest = std::max_element(producers.slowestNs.begin(), producers.slowestNs.end())->load();
    Books books = close("caller-timing", producers, "slowest-us=" + std::to_string(slowest / 1000));
    EXPECT_GE(books.reports["open"] + books.reports["lines lost"], 2u) << "the writer should have been retrying";
    EXPECT_LT(slowest, 500000000) << "an entry call waited for the writer";
    EXPECT_EQ(books.delivered, 120u) << "the ring's 120 records arrive once the device is back";
}

}  // namespace
