// The transport's lifetime and the host process's safety: process exit with records still queued (delivered while the
// writer makes progress, reported when it cannot), exit while the writer waits for an absent device, unloading the
// library under a running writer, fork() while the writer is busy or other threads log, a recorder that dies under
// blocked writers, and an absent system log.
#include "TestKit.h"

#include "ForkSupport.h"
#include "channel/RecordBuilder.h"

#include <sys/ioctl.h>

using namespace xobtest;

const std::chrono::milliseconds kHung(20000);  // the helper programs end within seconds

void sendTagged(std::uint8_t process, std::uint32_t sequence, int payload) {
    xob::RecordBuilder(0x409).u8(process).u32le(sequence).gap(payload).send(true, 1);
}

struct Lifetime : testing::Test { DeviceStandIn device; };

// A child queues entries and returns from main. Exit gives the writer one second to deliver what it can; the rest is
// counted in one report, and what arrives is the first records, in order. The child runs with its standard input
// closed, so that the device gets descriptor 0.
TEST_F(Lifetime, ExitDeliversWhatTheWriterCanWithinASecondAndReportsTheRest) {
    XOB_REQUIRE_SYSLOG();
    const struct {
        bool stalled;  // the device reads nothing until the child has ended
        std::vector<std::string> arguments;  // send DEVICE COUNT PAYLOAD RETRY_SLEEP_SECONDS (test_child.cpp)
        int minMs, maxMs, reported;  // the child's run time; entries reported lost at exit (-1: some)
    } cases[] = {
        {false, {XOBTEST_CHILD, "send", device.path(), "100", "200", "1"}, 0, 6000, 0},
        {true, {XOBTEST_CHILD, "send", device.path(), "100", "2000", "1"}, 900, 6000, -1},
        {false, {XOBTEST_CHILD, "send", device.path() + ".absent", "5", "8", "30"}, 0, 10000, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[2] + (c.stalled ? ", stalled" : ""));
        SyslogCapture::instance().clear();
        device.pause(c.stalled);  // stalled: the FIFO fills up and the writer blocks inside write()
        const ChildRun child = runChild(c.arguments, kHung);
        device.pause(false);
        EXPECT_EQ(child.status, 0);
        EXPECT_GE(child.elapsed, std::chrono::milliseconds(c.minMs)) << "it gave the writer its second";
        EXPECT_LT(child.elapsed, std::chrono::milliseconds(c.maxMs)) << "exit must not wait for the writer";
        const std::size_t count = std::stoul(c.arguments[3]);
        const std::vector<Bytes> records = device.take(count, 2000);
        for (std::uint32_t i = 0; i < records.size(); ++i) EXPECT_EQ(le32(records[i], 12), i) << "the first, in order";
        unsigned lost = 0;
        for (const std::string& line : SyslogCapture::instance().lines()) {
            if (line.find("at exit") == std::string::npos) continue;
            EXPECT_EQ(std::sscanf(line.c_str(), "XOB: %u", &lost), 1);
            EXPECT_EQ(line, "XOB: " + std::to_string(lost) + " Log-Entries still queued at exit are Lost!");
        }
        EXPECT_EQ(records.size() + lost, count) << "the record being written counts among the lost";
        EXPECT_TRUE(c.reported < 0 ? lost > 0 : lost == static_cast<unsigned>(c.reported)) << lost;
    }
}

TEST_F(Lifetime, UnloadingTheLibraryUnderARunningWriterIsSafe) {
    ASSERT_EQ(runChild({XOBTEST_UNLOAD_CHILD, XOBTEST_LIBRARY, device.path(), "50"}, kHung).status, 0);
    const std::vector<Bytes> records = device.take(50);
    ASSERT_EQ(records.size(), 50u);
    EXPECT_EQ(records.back(), initFilesRecord(49));
}

// fork() 200 times while one thread records and another logs system-log lines: the child finds no writer of its
// parent's, delivers its own record and nothing of its parent's, and never finds a lock that the fork left held (a fork
// lands inside a line or a record only now and then).
TEST_F(Lifetime, ForkWhileThreadsRecordAndLogNeverHangsOrDuplicates) {
    const bool childThreads = whyForkedChildrenCannotAllocate() == nullptr;
    std::atomic<bool> stop{false};
    std::thread recording([&stop] {
        for (std::uint32_t i = 0; !stop; usleep(50)) sendTagged(1, i++, 200);
    });
    std::thread logging([&stop] {  // refused entries: a system-log line each
        for (SClientToDevXob record{}; !stop;) GXob::writeToXob(&record, -1, false, 0, EDevXob_LogEntry);
    });
    int failed = 0;
    for (std::uint32_t i = 0; i < 200; ++i) {
        const pid_t pid = fork();
        ASSERT_NE(pid, -1);
        if (pid == 0) {
            alarm(5);  // a child that hangs ends
            SClientToDevXob record{};
            GXob::writeToXob(&record, -2, false, 0, EDevXob_LogEntry);
            int failures = GXob::getXOBThreadActive() ? 1 : 0;
            if (childThreads) sendTagged(2, i, 10);  // its own writer thread delivers it
            _exit(failures + (waitForWriterIdle(10000) ? 0 : 2));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        failed += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }
    stop = true;
    recording.join();
    logging.join();
    EXPECT_EQ(failed, 0) << "children that hung, saw their parent's writer or could not deliver";
    std::vector<std::uint32_t> parent, children;
    Bytes record;
    while (device.next(record, 1000)) (record[12] == 1 ? parent : children).push_back(le32(record, 13));
    EXPECT_TRUE(std::adjacent_find(parent.begin(), parent.end(), std::greater_equal<std::uint32_t>()) == parent.end())
        << "the parent's records in order, none twice";
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; childThreads && i < 200; ++i) expected.push_back(i);
    EXPECT_EQ(children, expected) << "each child delivered its own record, once";
}

// The recorder stand-in (a real xob-recorder process) stops reading while four producer processes fill its FIFO, then
// is killed or terminated: every producer's writer finds the device gone inside its write, and no producer may die of
// it.
TEST_F(Lifetime, ProducersSurviveTheRecorderDyingUnderTheirBlockedWrites) {
    for (const int how : {SIGKILL, SIGTERM}) {
        const std::string fifo = device.path() + ".recorder";
        const pid_t recorder = startChild({XOBTEST_RECORDER, "--quiet", fifo});
        ASSERT_TRUE(eventually([&] { return access(fifo.c_str(), F_OK) == 0; })) << "the recorder made no FIFO";
        kill(recorder, SIGSTOP);
        std::vector<pid_t> producers;
        for (int p = 0; p < 4; ++p) producers.push_back(startChild({XOBTEST_CHILD, "drain", fifo, "60", "2000", "0"}));
        // Wait until the FIFO is full: every producer's writer then waits in its write.
        const int peek = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        int queued = 0;
        EXPECT_TRUE(eventually([&] { return ioctl(peek, FIONREAD, &queued) == 0 && queued >= 60000; })) << "not full";
        close(peek);
        kill(recorder, how);
        kill(recorder, SIGCONT);
        finishChild(recorder, std::chrono::milliseconds(10000));
        for (const pid_t producer : producers) {
            const ChildRun run = finishChild(producer, kHung);
            EXPECT_TRUE(run.exited) << "signal " << how << ": a producer was killed";
            EXPECT_EQ(run.status, 0) << "signal " << how;
        }
        unlink(fifo.c_str());
    }
}

// Where there is no system log socket at all, the lines go to standard error instead. (A stalled one costs lines, not
// time: Transport.PayloadLengthOutsideTheRecordIsRefusedAndReportedWithoutWaitingForTheLog.)
TEST_F(Lifetime, AnAbsentSystemLogGoesToStandardError) {
    const std::string absentDevice = device.path() + ".absent";
    const std::string errors = device.path() + ".stderr";
    const ChildRun noLog = runChild({XOBTEST_CHILD, "send", absentDevice, "1", "8", "30"}, kHung, errors,
                                    {"XOBTEST_LOG_SOCKET=" + device.path() + ".none"});
    EXPECT_EQ(noLog.status, 0);
    // The exit report is there; the writer's first attempt may come before it, after it, or (on a slow run) not at all
    // before the process ends.
    const std::string openFailure = "XOB: " + absentDevice + " couldn't be opened! Retry in 1 Second...\n";
    const std::string exitReport = "XOB: 1 Log-Entries still queued at exit are Lost!\n";
    EXPECT_TRUE(noLog.errors == exitReport || noLog.errors == openFailure + exitReport ||
                noLog.errors == exitReport + openFailure)
        << noLog.errors;
}
