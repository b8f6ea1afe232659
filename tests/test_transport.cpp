// The queue transport against a real FIFO device: delivery order, one write per record, the
// on-demand writer thread, many producers, and every loss reported in the system log.
#include <xob/GXob.h>

#include "DeviceStandIn.h"
#include "SyslogCapture.h"
#include "channel/RecordBuilder.h"
#include "platform/Seams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <unistd.h>

using xobtest::Bytes;
using xobtest::DeviceStandIn;
using xobtest::SyslogCapture;
using xobtest::logEntry;
using xobtest::operator+;

namespace {

constexpr std::uint16_t kTestId = 0x409;

// A log entry whose payload is a producer number and a sequence number.
void sendTagged(std::uint32_t producer, std::uint32_t sequence, int time = 0x10) {
    xob::RecordBuilder(kTestId).u32le(producer).u32le(sequence).send(true, time);
}

Bytes taggedRecord(std::uint32_t producer, std::uint32_t sequence, int time = 0x10) {
    xob::RecordBuilder expected(kTestId);
    return logEntry(kTestId, static_cast<std::uint32_t>(time),
                    Bytes{static_cast<std::uint8_t>(producer), static_cast<std::uint8_t>(producer >> 8),
                          static_cast<std::uint8_t>(producer >> 16), static_cast<std::uint8_t>(producer >> 24),
                          static_cast<std::uint8_t>(sequence), static_cast<std::uint8_t>(sequence >> 8),
                          static_cast<std::uint8_t>(sequence >> 16), static_cast<std::uint8_t>(sequence >> 24)});
}

std::uint32_t word(const Bytes& record, std::size_t at) {
    return record[at] | (record[at + 1] << 8) | (record[at + 2] << 16) | (static_cast<std::uint32_t>(record[at + 3]) << 24);
}

// Sleep seam: counts the writer's one-second sleeps and, while the gate is closed, holds them.
struct SleepGate {
    static std::atomic<int> sleeps;
    static std::mutex mutex;
    static std::condition_variable opened;
    static bool closed;

    static void hook(unsigned) {
        ++sleeps;
        std::unique_lock<std::mutex> lock(mutex);
        opened.wait(lock, [] { return !closed; });
    }
    static void close() {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    static void open() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closed = false;
        }
        opened.notify_all();
    }
};
std::atomic<int> SleepGate::sleeps{0};
std::mutex SleepGate::mutex;
std::condition_variable SleepGate::opened;
bool SleepGate::closed = false;

// Write seam: records the size of every write and fails the first `eintrLeft` with EINTR.
struct WriteProbe {
    static std::mutex mutex;
    static std::vector<std::size_t> sizes;
    static int eintrLeft;

    static ssize_t hook(int descriptor, const void* data, std::size_t size) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            sizes.push_back(size);
            if (eintrLeft > 0) {
                --eintrLeft;
                errno = EINTR;
                return -1;
            }
        }
        return ::write(descriptor, data, size);
    }
    static void reset(int eintr = 0) {
        std::lock_guard<std::mutex> lock(mutex);
        sizes.clear();
        eintrLeft = eintr;
    }
    static std::vector<std::size_t> calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return sizes;
    }
};
std::mutex WriteProbe::mutex;
std::vector<std::size_t> WriteProbe::sizes;
int WriteProbe::eintrLeft = 0;

std::atomic<int> g_threadStarts{0};
std::atomic<int> g_failStarts{0};
int countingThreadStart() {
    ++g_threadStarts;
    if (g_failStarts > 0) {
        --g_failStarts;
        return EAGAIN;
    }
    return 0;
}

class Transport : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xobtest::waitForWriterIdle());
        SleepGate::sleeps = 0;
        SleepGate::open();
        xob::seams::setSleepHook(&SleepGate::hook);
        WriteProbe::reset();
        xob::seams::setWriteHook(&WriteProbe::hook);
        g_threadStarts = 0;
        g_failStarts = 0;
        xob::seams::setThreadStartHook(&countingThreadStart);
        device.reset(new DeviceStandIn);
        SyslogCapture::instance().clear();
    }
    void TearDown() override {
        SleepGate::open();
        device.reset();
        xob::seams::setWriteHook(nullptr);
        xob::seams::setThreadStartHook(nullptr);
    }

    // Points the library at a path where no device is.
    void removeDevice() { xob::seams::setDevicePath((device->path() + ".absent").c_str()); }
    void restoreDevice() { xob::seams::setDevicePath(device->path().c_str()); }

    std::unique_ptr<DeviceStandIn> device;
};

TEST_F(Transport, DeliversInOrderOneWritePerRecordAndStampsTheTime) {
    sendTagged(1, 1, 0x12345678);
    GXob::Init_Files(0x418);
    xob::RecordBuilder(kTestId).u8(0xAB).send(false, 0);
    const std::uint32_t before = GXob::getApiHundredthSecond();

    const std::vector<Bytes> records = device->take(3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], taggedRecord(1, 1, 0x345678));  // only the low 24 bits of the caller's time
    EXPECT_EQ(records[1], xobtest::initFilesRecord(0x418));
    ASSERT_EQ(records[2].size(), 13u);  // a one-byte payload: length 11, 13 bytes on the wire
    EXPECT_EQ(records[2][0], 11);
    EXPECT_EQ(records[2][12], 0xAB);
    const std::uint32_t stamp = word(records[2], 8);
    EXPECT_EQ(stamp >> 24, 0u);
    EXPECT_LT((before - stamp) & 0xFFFFFFu, 100u) << "stamped when queued, from the monotonic clock";

    EXPECT_TRUE(xobtest::waitForWriterIdle());
    EXPECT_EQ(WriteProbe::calls(), (std::vector<std::size_t>{20, 10, 13}));
}

TEST_F(Transport, InitNavLogfilesQueuesThreeCommandsInOrder) {
    GXob::Init_NavLogfiles();
    EXPECT_EQ(device->take(3), (std::vector<Bytes>{xobtest::initFilesRecord(0x418), xobtest::initFilesRecord(0x426),
                                                   xobtest::initFilesRecord(0x420)}));
}

TEST_F(Transport, WriterEndsWhenTheRingEmptiesAndTheNextEntryStartsAnother) {
    sendTagged(2, 1);
    Bytes record;
    ASSERT_TRUE(device->next(record));
    ASSERT_TRUE(xobtest::waitForWriterIdle());
    EXPECT_FALSE(GXob::getXOBThreadActive());
    EXPECT_EQ(g_threadStarts, 1);

    sendTagged(2, 2);
    ASSERT_TRUE(device->next(record));
    EXPECT_EQ(record, taggedRecord(2, 2));
    EXPECT_TRUE(xobtest::waitForWriterIdle());
    EXPECT_EQ(g_threadStarts, 2);
}

TEST_F(Transport, FailedThreadStartIsReportedAndRetriedByTheNextEntry) {
    XOB_REQUIRE_SYSLOG();
    g_failStarts = 1;
    sendTagged(3, 1);
    EXPECT_FALSE(GXob::getXOBThreadActive()) << "no thread runs, so the flag must not claim one";
    EXPECT_EQ(SyslogCapture::instance().countStartingWith("XOB: Writer thread couldn't be started (Error: '", 1), 1u);

    sendTagged(3, 2);  // starts the writer, which delivers both
    EXPECT_EQ(device->take(2), (std::vector<Bytes>{taggedRecord(3, 1), taggedRecord(3, 2)}));
    EXPECT_EQ(g_threadStarts, 2);
}

TEST_F(Transport, InterruptedWriteIsRepeatedUpToTenCalls) {
    // Nine interruptions: the tenth call delivers.
    WriteProbe::reset(9);
    sendTagged(4, 1);
    Bytes record;
    ASSERT_TRUE(device->next(record));
    EXPECT_EQ(record, taggedRecord(4, 1));
    ASSERT_TRUE(xobtest::waitForWriterIdle());
    EXPECT_EQ(WriteProbe::calls().size(), 10u);

    // Ten interruptions: given up after the tenth call, silently; the next record goes through.
    WriteProbe::reset(10);
    sendTagged(4, 2);
    sendTagged(4, 3);
    ASSERT_TRUE(device->next(record));
    EXPECT_EQ(record, taggedRecord(4, 3));
    ASSERT_TRUE(xobtest::waitForWriterIdle());
    EXPECT_EQ(WriteProbe::calls().size(), 11u);
    EXPECT_EQ(device->pending(), 0u);
}

TEST_F(Transport, AbsentDeviceIsRetriedThirtyTimesPerRecordThenGivenUp) {
    XOB_REQUIRE_SYSLOG();
    removeDevice();
    sendTagged(5, 1);
    sendTagged(5, 2);
    ASSERT_TRUE(xobtest::waitForWriterIdle());
    EXPECT_EQ(SleepGate::sleeps, 60);
    const std::string expected = "XOB: " + device->path() + ".absent couldn't be opened! Retry in 1 Second...";
    const std::vector<std::string> lines = SyslogCapture::instance().lines(60);
    ASSERT_EQ(lines.size(), 60u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line, expected);
    }
    restoreDevice();
    sendTagged(5, 3);  // delivery resumes by itself
    Bytes record;
    ASSERT_TRUE(device->next(record));
    EXPECT_EQ(record, taggedRecord(5, 3));
}

TEST_F(Transport, FullRingRefusesAndReportsEachLostEntry) {
    XOB_REQUIRE_SYSLOG();
    removeDevice();
    SleepGate::close();  // the writer stays on its first record, retrying
    sendTagged(6, 0);
    while (SleepGate::sleeps == 0) {
        std::this_thread::yield();
    }
    // The head record plus 119 more fill the 120 slots; the next two are lost.
    for (std::uint32_t i = 1; i <= 121; ++i) {
        sendTagged(6, i);
    }
    const std::vector<std::string> lines = SyslogCapture::instance().lines(3);
    std::vector<std::string> lost;
    for (const std::string& line : lines) {
        if (line.find("is full") != std::string::npos) {
            lost.push_back(line);
        }
    }
    EXPECT_EQ(lost, (std::vector<std::string>{
                        "XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x409', ui32Data[0]: '0x00000006')",
                        "XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x409', ui32Data[0]: '0x00000006')"}));

    // Let the device come back: the first record has used up only some attempts, so every queued
    // record is delivered, in order.
    restoreDevice();
    SleepGate::open();
    const std::vector<Bytes> records = device->take(120, 10000);
    ASSERT_EQ(records.size(), 120u);
    for (std::uint32_t i = 0; i < 120; ++i) {
        EXPECT_EQ(records[i], taggedRecord(6, i)) << "record " << i;
    }
}

TEST_F(Transport, ManyProducersDeliverEachRecordOnceInPerThreadOrderOrReportItLost) {
    XOB_REQUIRE_SYSLOG();
    constexpr std::uint32_t kProducers = 8;
    constexpr std::uint32_t kEach = 2000;
    std::vector<std::thread> producers;
    for (std::uint32_t p = 0; p < kProducers; ++p) {
        producers.emplace_back([p] {
            for (std::uint32_t s = 0; s < kEach; ++s) {
                sendTagged(p, s);
            }
        });
    }
    for (std::thread& t : producers) {
        t.join();
    }
    ASSERT_TRUE(xobtest::waitForWriterIdle(30000));

    std::map<std::uint32_t, std::int64_t> lastSequence;
    std::size_t delivered = 0;
    Bytes record;
    while (device->next(record, 200)) {
        ASSERT_EQ(record.size(), 20u);
        const std::uint32_t producer = word(record, 12);
        const std::uint32_t sequence = word(record, 16);
        ASSERT_LT(producer, kProducers);
        auto found = lastSequence.find(producer);
        if (found != lastSequence.end()) {
            ASSERT_GT(static_cast<std::int64_t>(sequence), found->second) << "producer " << producer;
        }
        lastSequence[producer] = sequence;
        ++delivered;
    }
    const std::size_t lost = SyslogCapture::instance().countStartingWith("XOB: XOB_ThreadCmdQueue is full.");
    EXPECT_EQ(delivered + lost, std::size_t{kProducers} * kEach)
        << delivered << " delivered, " << lost << " reported lost";
    EXPECT_GT(delivered, 0u);
}

}  // namespace
