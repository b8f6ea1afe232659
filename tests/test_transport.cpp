// The queue transport against a real FIFO device: delivery order, one write per record, the on-demand writer thread,
// every loss reported, and what the library refuses to do to its host.
#include "TestKit.h"

#include "channel/RecordBuilder.h"
#include "platform/Seams.h"

#include <sys/time.h>

using namespace xobtest;
using namespace std::chrono_literals;

constexpr std::uint16_t kTestId = 0x409;

// A log entry whose payload is a producer number and a sequence number, and its bytes.
void sendTagged(std::uint32_t producer, std::uint32_t sequence, int time = 0x10) {
    xob::RecordBuilder(kTestId).u32le(producer).u32le(sequence).send(true, time);
}
Bytes taggedRecord(std::uint8_t producer, std::uint8_t sequence, int time = 0x10) {
    return logEntry(kTestId, static_cast<std::uint32_t>(time), Bytes{producer, 0, 0, 0, sequence, 0, 0, 0});
}

// The seams: the writer's one-second sleeps are counted and held while the gate is closed, and they note whether the
// writer blocks the signals its host handles; every write's size is noted and the first `g_eintrLeft` writes fail
// with EINTR.
std::atomic<int> g_sleeps{0};
std::atomic<bool> g_gateClosed{false}, g_writerBlocksSignals{false};
void gatedSleep(unsigned) {
    ++g_sleeps;
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    g_writerBlocksSignals = sigismember(&mask, SIGINT) == 1 && sigismember(&mask, SIGTERM) == 1 &&
                            sigismember(&mask, SIGALRM) == 1 && sigismember(&mask, SIGUSR1) == 1;
    while (g_gateClosed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::mutex g_writesMutex;
std::vector<std::size_t> g_writes;
int g_eintrLeft = 0;
ssize_t probedWrite(int descriptor, const void* data, std::size_t size) {
    std::lock_guard<std::mutex> lock(g_writesMutex);
    g_writes.push_back(size);
    if (g_eintrLeft > 0 && g_eintrLeft--) return errno = EINTR, -1;
    return ::write(descriptor, data, size);
}
// The sizes written since the last call, once the writer is idle; the next `eintr` writes fail.
std::vector<std::size_t> writes(int eintr = 0) {
    EXPECT_TRUE(waitForWriterIdle());
    std::lock_guard<std::mutex> lock(g_writesMutex);
    g_eintrLeft = eintr;
    return std::exchange(g_writes, {});
}

class Transport : public testing::Test {
protected:
    void SetUp() override {
        XOB_REQUIRE_SYSLOG();
        ASSERT_TRUE(waitForWriterIdle());
        g_sleeps = 0;
        xob::seams::setSleepHook(&gatedSleep);
        xob::seams::setWriteHook(&probedWrite);
        writes();
        capture.clear();
    }
    void TearDown() override { g_gateClosed = false; }  // before the device waits for the writer

    SyslogCapture& capture = SyslogCapture::instance();
    DeviceStandIn device;
    const std::string absent = device.path() + ".absent";
};

// The lowest free descriptor number: it grows when descriptors are left open.
int lowestFreeDescriptor() {
    const int descriptor = dup(0);
    close(descriptor);
    return descriptor;
}

TEST_F(Transport, DeliversInOrderInOneWritePerRecordRepeatedWhenInterruptedAndStampsTheTime) {
    const int freeBefore = lowestFreeDescriptor();
    sendTagged(1, 1, 0x12345678);
    GXob::Init_Files(0x418);
    const auto hundredths = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch() / 10ms);
    xob::RecordBuilder(kTestId).u8(0xAB).send(false, 0);

    const std::vector<Bytes> records = device.take(3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], taggedRecord(1, 1, 0x345678));  // only the low 24 bits of the caller's time
    EXPECT_EQ(records[1], initFilesRecord(0x418));
    const std::uint32_t stamp = le32(records[2], 8);
    EXPECT_EQ(records[2], logEntry(kTestId, stamp, {0xAB}));
    EXPECT_EQ(stamp >> 24, 0u);
    EXPECT_LT((stamp - hundredths) & 0xFFFFFFu, 100u) << "hundredths of the monotonic clock, stamped when queued";
    EXPECT_EQ(writes(), (std::vector<std::size_t>{20, 10, 13}));

    // Nine interruptions: the tenth call delivers. Ten: the record is given up after the tenth call, silently, and the
    // next one goes through.
    writes(9);
    sendTagged(4, 1);
    EXPECT_EQ(device.take(1), std::vector<Bytes>{taggedRecord(4, 1)});
    EXPECT_EQ(writes(10).size(), 10u);
    sendTagged(4, 2);
    sendTagged(4, 3);
    EXPECT_EQ(device.take(1), std::vector<Bytes>{taggedRecord(4, 3)});
    EXPECT_EQ(writes().size(), 11u);
    EXPECT_EQ(device.pending(), 0u);
    EXPECT_EQ(lowestFreeDescriptor(), freeBefore) << "the writer left the device open";
}

// A writer runs only while records wait: it ends when the ring empties, the next entry starts another, and a start that
// fails is reported and left to the next entry. Thread starts are counted, and the first `failStarts` fail.
std::atomic<int> g_threadStarts{0}, g_failStarts{0};

TEST_F(Transport, WriterThreadStartsOnDemandAndAFailedStartIsRetried) {
    xob::seams::setThreadStartHook([] {
        ++g_threadStarts;
        return g_failStarts-- > 0 ? EAGAIN : 0;
    });
    sendTagged(2, 1);
    EXPECT_EQ(device.take(1), std::vector<Bytes>{taggedRecord(2, 1)});
    ASSERT_TRUE(waitForWriterIdle());
    EXPECT_EQ(g_threadStarts, 1);

    g_failStarts = 1;
    sendTagged(3, 1);
    EXPECT_FALSE(GXob::getXOBThreadActive()) << "no thread runs, so the flag must not claim one";
    EXPECT_EQ(capture.countStartingWith("XOB: Writer thread couldn't be started (Error: '", 1), 1u);
    sendTagged(3, 2);  // starts the writer, which delivers both
    EXPECT_EQ(device.take(2), (std::vector<Bytes>{taggedRecord(3, 1), taggedRecord(3, 2)}));
    EXPECT_TRUE(waitForWriterIdle());
    EXPECT_EQ(g_threadStarts, 3);
    xob::seams::setThreadStartHook(nullptr);
}


TEST_F(Transport, FullRingRefusesAndReportsEachLostEntry) {
    xob::seams::setDevicePath(absent.c_str());
    g_gateClosed = true;  // the writer stays on its first record, retrying
    sendTagged(6, 0);
    ASSERT_TRUE(eventually([] { return g_sleeps > 0; }));
    // The head record plus 119 more fill the 120 slots; the next two are lost.
    for (std::uint8_t i = 1; i <= 121; ++i) sendTagged(6, i);
    EXPECT_EQ(capture.countStartingWith("XOB: XOB_ThreadCmdQueue is full. LogEntry is Lost! (functionId: '0x409', "
                                        "ui32Data[0]: '0x00000006')", 2), 2u);

    // Let the device come back: the first record has used up only some attempts, so every queued record is delivered,
    // in order.
    xob::seams::setDevicePath(device.path().c_str());
    g_gateClosed = false;
    std::vector<Bytes> expected;
    for (std::uint8_t i = 0; i < 120; ++i) expected.push_back(taggedRecord(6, i));
    EXPECT_EQ(device.take(120, 10000), expected);
}

// The shortest payload (none) and the longest go in one write each and arrive whole; a length outside them is refused,
// changes nothing and is reported.
TEST_F(Transport, PayloadLengthOutsideTheRecordIsRefusedAndReportedWithoutWaitingForTheLog) {
    for (const int length : {-12, 2044, 2045, 0}) {
        SClientToDevXob record{};
        record.functionId = kTestId;
        const SClientToDevXob before = record;
        GXob::writeToXob(&record, length, true, 1, EDevXob_LogEntry);
        const bool refused = length < 0 || length > 2044;
        EXPECT_EQ(writes(), refused ? std::vector<std::size_t>{} : std::vector<std::size_t>{12u + length}) << length;
        if (refused) {
            EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << length;
            const std::string line = "XOB: Invalid payload length " + std::to_string(length) + ". LogEntry is Lost!";
            EXPECT_EQ(capture.countStartingWith(line + " (functionId: '0x409')", 1), 1u);
        }
    }
    EXPECT_EQ(device.take(2), (std::vector<Bytes>{logEntry(kTestId, 1, Bytes(2044, 0)), logEntry(kTestId, 1, {})}));

    // While the log reader reads nothing, lines are dropped at once instead of waited for, and counted: the first line
    // after it reads again is the count, and no line is unaccounted for.
    capture.pause(true);
    SClientToDevXob record{};
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 200; ++i) {
        const auto before = std::chrono::steady_clock::now();
        GXob::writeToXob(&record, -1, false, 0, EDevXob_LogEntry);
        slowest = std::max(slowest, std::chrono::steady_clock::now() - before);
    }
    EXPECT_LT(slowest, std::chrono::milliseconds(50)) << "an entry call waited for the log reader";
    capture.pause(false);
    const std::size_t lost = capture.settle();
    EXPECT_GT(lost, 0u) << "the reader's queue cannot hold all of them";
    EXPECT_EQ(capture.countStartingWith("XOB: Invalid payload length -1.") + lost, std::size_t{200});
}

// A record is given up after 30 attempts to open the device, each reported. A file at the device path (or a symbolic
// link to one) counts as absent and is never written: it stays byte for byte what it was.
TEST_F(Transport, AbsentDeviceOrAFileAtItsPathIsRetriedThirtyTimesPerRecordThenGivenUp) {
    const std::string file = device.path() + ".passwd";
    const std::string content = "root:x:0:0:root:/root:/bin/sh\n";
    std::ofstream(file) << content;
    ASSERT_EQ(symlink(file.c_str(), (device.path() + ".link").c_str()), 0);
    for (const std::string& path : {absent, file, device.path() + ".link"}) {
        xob::seams::setDevicePath(path.c_str());
        capture.clear();
        g_sleeps = 0;
        sendTagged(5, 1);
        ASSERT_TRUE(waitForWriterIdle());
        EXPECT_EQ(g_sleeps, 30) << path;
        EXPECT_TRUE(g_writerBlocksSignals) << "the writer could take a signal meant for its host's threads";
        // Lines the capture could not take in time are counted by the library instead.
        const std::size_t lost = capture.settle();
        EXPECT_EQ(capture.countStartingWith("XOB: " + path + " couldn't be opened! Retry in 1 Second...") +
                      lost, 30u) << path;
        EXPECT_EQ(GXob::writeSetXobActivFlag(true), -1) << path;
        EXPECT_EQ(GXob::doStop_Flush(), 0) << path;
        EXPECT_EQ(readFile(file), content) << path;
    }
    xob::seams::setDevicePath(device.path().c_str());
    sendTagged(5, 3);  // delivery resumes by itself
    EXPECT_EQ(device.take(1), std::vector<Bytes>{taggedRecord(5, 3)});
}

// Within a run the writer checks what it opened at the first record and every 64th: a file put in the device's place
// while the run goes on takes fewer than 64 records, and every record after that check is retried and given up.
std::string g_swapTo;
ssize_t swappingWrite(int descriptor, const void* data, std::size_t size) {
    const ssize_t written = ::write(descriptor, data, size);
    if (!g_swapTo.empty()) xob::seams::setDevicePath(std::exchange(g_swapTo, "").c_str());
    return written;
}
TEST_F(Transport, AFileSwappedInForTheDeviceDuringARunTakesFewerThan64Records) {
    const std::string file = device.path() + ".file";
    std::ofstream{file};
    g_swapTo = file;
    xob::seams::setWriteHook(&swappingWrite);
    for (std::uint8_t sequence = 0; sequence < 70; ++sequence) sendTagged(6, sequence);
    ASSERT_TRUE(waitForWriterIdle(20000));
    xob::seams::setDevicePath(device.path().c_str());
    EXPECT_EQ(device.take(1), std::vector<Bytes>{taggedRecord(6, 0)});
    const Bytes inFile = readFile<Bytes>(file);  // each open writes at its start: the last record the file took
    ASSERT_EQ(inFile.size(), taggedRecord(6, 0).size());
    EXPECT_LE(int{inFile[16]}, 63) << "a record after the run's 64th went into the file";
    EXPECT_GE(g_sleeps, 30) << "no open after the swap was checked";
}

// Signals at a high rate while the writer pauses between open attempts of an absent device: each pause still lasts its
// second (real sleeps here), so a few seconds see only a few attempts.
TEST_F(Transport, SignalsDoNotShortenTheOneSecondPauses) {
    struct sigaction action {};
    action.sa_handler = [](int) {};  // no SA_RESTART: a signal interrupts whatever waits
    sigaction(SIGALRM, &action, nullptr);
    itimerval often{{0, 100}, {0, 100}};  // a signal to the process every 100 microseconds
    setitimer(ITIMER_REAL, &often, nullptr);
    xob::seams::setSleepHook(nullptr);
    xob::seams::setDevicePath(absent.c_str());
    const std::string failure = "XOB: " + absent + " couldn't be opened!";
    sendTagged(8, 1);
    // Two pauses, from the second attempt to the fourth, timed by the real clock (a late look at the second one can
    // only make them seem shorter).
    EXPECT_GE(capture.countStartingWith(failure, 2, 5000), 2u);
    const auto second = std::chrono::steady_clock::now();
    EXPECT_GE(capture.countStartingWith(failure, 4, 5000), 4u);
    const auto fourth = std::chrono::steady_clock::now();
    xob::seams::setDevicePath(device.path().c_str());
    often = {};
    setitimer(ITIMER_REAL, &often, nullptr);
    EXPECT_GE(fourth - second, std::chrono::milliseconds(1500)) << "the pauses were cut short";
    EXPECT_EQ(device.take(1).size(), 1u) << "delivered once the device is back";
}
