// The transport's lifetime and the host process's safety: process exit with records still queued
// (delivered while the writer makes progress, reported when it cannot), exit while the writer waits
// for an absent device, unloading the library under a running writer, fork() while the writer is
// busy or other threads log, a recorder that dies under blocked writers, and a system log that is
// stalled or absent.
#include <xob/GXob.h>

#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "Eventually.h"
#include "ForkSupport.h"
#include "SyslogCapture.h"
#include "channel/RecordBuilder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

using xobtest::Bytes;
using xobtest::DeviceStandIn;
using xobtest::SyslogCapture;

namespace {

// The helper programs end within seconds; 20 s means one has hung.
xobtest::ChildRun runChild(std::vector<std::string> arguments) {
    return xobtest::runChild(std::move(arguments), std::chrono::milliseconds(20000));
}

std::vector<std::string> childLines() {
    std::vector<std::string> lines;
    for (const std::string& line : SyslogCapture::instance().lines()) {
        if (line.find("at exit") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

class Lifetime : public testing::Test {
protected:
    void SetUp() override {
        device.reset(new DeviceStandIn);
        SyslogCapture::instance().clear();
    }
    void TearDown() override { device.reset(); }

    std::unique_ptr<DeviceStandIn> device;
};

TEST_F(Lifetime, ExitDeliversWhatTheWriterCanStillDeliver) {
    const xobtest::ChildRun child = runChild({XOBTEST_CHILD, "send", device->path(), "100", "200"});
    ASSERT_EQ(child.status, 0);
    const std::vector<Bytes> records = device->take(100);
    ASSERT_EQ(records.size(), 100u);
    for (std::uint32_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(records[i][12], static_cast<std::uint8_t>(i)) << "in order";
    }
    EXPECT_TRUE(childLines().empty());
}

TEST_F(Lifetime, ExitWithAStalledDeviceWaitsAtMostASecondAndReportsTheRest) {
    XOB_REQUIRE_SYSLOG();
    device->pause(true);  // the FIFO fills up and the writer blocks inside write()
    const xobtest::ChildRun child = runChild({XOBTEST_CHILD, "send", device->path(), "100", "2000"});
    ASSERT_EQ(child.status, 0) << "the child must exit cleanly";
    EXPECT_LT(child.elapsed, std::chrono::milliseconds(6000)) << "a blocked writer must not hold exit up";
    EXPECT_GE(child.elapsed, std::chrono::milliseconds(900)) << "it gave the writer its second";

    device->pause(false);
    std::size_t delivered = device->take(100, 2000).size();
    const std::vector<std::string> lines = childLines();
    ASSERT_EQ(lines.size(), 1u);
    unsigned lost = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "XOB: %u Log-Entries still queued at exit are Lost!", &lost), 1) << lines[0];
    EXPECT_EQ(lines[0], "XOB: " + std::to_string(lost) + " Log-Entries still queued at exit are Lost!");
    EXPECT_EQ(delivered + lost, 100u) << "the record being written counts among the lost: " << lines[0];
}

TEST_F(Lifetime, ExitIsNotHeldUpByAWriterRetryingAnAbsentDevice) {
    XOB_REQUIRE_SYSLOG();
    // The child's writer pauses 30 s between open attempts; exit must not wait for that pause.
    const xobtest::ChildRun child =
        runChild({XOBTEST_CHILD, "send", device->path() + ".absent", "5", "8", "30"});
    ASSERT_EQ(child.status, 0);
    EXPECT_LT(child.elapsed, std::chrono::milliseconds(10000));
    EXPECT_EQ(childLines(), (std::vector<std::string>{"XOB: 5 Log-Entries still queued at exit are Lost!"}));
}

TEST_F(Lifetime, UnloadingTheLibraryUnderARunningWriterIsSafe) {
    const xobtest::ChildRun child = runChild({XOBTEST_UNLOAD_CHILD, XOBTEST_LIBRARY, device->path(), "50"});
    ASSERT_EQ(child.status, 0);
    const std::vector<Bytes> records = device->take(50);
    ASSERT_EQ(records.size(), 50u);
    EXPECT_EQ(records.back(), xobtest::initFilesRecord(49));
}

void sendTagged(std::uint8_t process, std::uint32_t sequence, int payload) {
    static const std::vector<std::uint8_t> filler(2000, 0x5A);
    xob::RecordBuilder(0x409).u8(process).u32le(sequence).bytes(filler.data(), payload).send(true, 1);
}

TEST_F(Lifetime, ForkedChildRecordsNormallyAndNothingIsDeliveredTwice) {
    XOBTEST_SKIP_WITHOUT_FORKED_CHILDREN();
    device->pause(true);
    constexpr std::uint32_t kParentRecords = 60;  // more than the FIFO holds: the writer blocks
    for (std::uint32_t i = 0; i < kParentRecords; ++i) {
        sendTagged(1, i, 2000);
    }
    ASSERT_TRUE(GXob::getXOBThreadActive());

    const pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        // The child: no writer thread runs here and the parent's records are not ours.
        int failures = GXob::getXOBThreadActive() ? 1 : 0;
        for (std::uint32_t i = 0; i < 3; ++i) {
            sendTagged(2, i, 10);
        }
        failures += xobtest::waitForWriterIdle(10000) ? 0 : 2;
        _exit(failures);
    }
    device->pause(false);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the child saw the parent's writer flag, 2: its records stuck";

    std::vector<std::uint32_t> parent;
    std::vector<std::uint32_t> child;
    for (const Bytes& record : device->take(kParentRecords + 3, 10000)) {
        (record[12] == 1 ? parent : child).push_back(xobtest::le32(record, 13));
    }
    Bytes extra;
    EXPECT_FALSE(device->next(extra, 200)) << "nothing more arrives: nothing was delivered twice";
    EXPECT_EQ(parent.size(), kParentRecords);
    for (std::uint32_t i = 0; i < parent.size(); ++i) {
        EXPECT_EQ(parent[i], i) << "the parent's records, in order";
    }
    EXPECT_EQ(child, (std::vector<std::uint32_t>{0, 1, 2}));
}

// The recorder stand-in (a real xob-recorder process) stops reading while four producer processes
// fill its FIFO, then is killed or terminated: every producer's writer finds the device gone inside
// its write, and no producer may die of it.
TEST_F(Lifetime, ProducersSurviveTheRecorderDyingUnderTheirBlockedWrites) {
    for (const int how : {SIGKILL, SIGTERM}) {
        const std::string dir = xobtest::makeTempDir();
        const std::string fifo = dir + "/xob";
        const pid_t recorder = xobtest::startChild({XOBTEST_RECORDER, "--quiet", fifo}, dir + "/recorder.err");
        struct stat status {};
        ASSERT_TRUE(xobtest::eventually([&] { return stat(fifo.c_str(), &status) == 0 && S_ISFIFO(status.st_mode); }))
            << "the recorder made no FIFO";
        kill(recorder, SIGSTOP);
        std::vector<pid_t> producers;
        for (int p = 0; p < 4; ++p) {
            producers.push_back(xobtest::startChild({XOBTEST_CHILD, "drain", fifo, "60", "2000"}));
        }
        // Wait until the FIFO is full: every producer's writer then waits in its write.
        const int peek = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        int queued = 0;
        EXPECT_TRUE(xobtest::eventually([&] { return ioctl(peek, FIONREAD, &queued) == 0 && queued >= 60000; }))
            << "the producers did not fill the FIFO";
        close(peek);
        kill(recorder, how);
        kill(recorder, SIGCONT);
        xobtest::finishChild(recorder, std::chrono::milliseconds(10000));
        for (const pid_t producer : producers) {
            const xobtest::ChildRun run = xobtest::finishChild(producer, std::chrono::milliseconds(20000));
            EXPECT_TRUE(run.exited) << "signal " << how << ": a producer was killed; " << run.errors;
            EXPECT_EQ(run.status, 0) << "signal " << how;
        }
        unlink(fifo.c_str());
        unlink((dir + "/recorder.err").c_str());
        rmdir(dir.c_str());
    }
}

// fork() while other threads are writing system-log lines: the child's own line must not find a
// lock that the fork left held. Many times, since a fork lands inside a line only now and then.
TEST_F(Lifetime, ForkWhileOtherThreadsLogNeverHangsTheChild) {
    std::atomic<bool> stop{false};
    const auto logLines = [&stop] {
        SClientToDevXob record{};
        while (!stop) {
            GXob::writeToXob(&record, -1, false, 0, EDevXob_LogEntry);  // refused: one line each
        }
    };
    std::thread first(logLines);
    std::thread second(logLines);
    int hung = 0;
    int failed = 0;
    for (int i = 0; i < 200; ++i) {
        const pid_t pid = fork();
        ASSERT_NE(pid, -1);
        if (pid == 0) {
            SClientToDevXob record{};
            GXob::writeToXob(&record, -2, false, 0, EDevXob_LogEntry);
            _exit(0);
        }
        int status = 0;
        if (!xobtest::eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(5))) {
            ++hung;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++failed;
        }
    }
    stop = true;
    first.join();
    second.join();
    EXPECT_EQ(hung, 0) << "children that did not end within 5 s";
    EXPECT_EQ(failed, 0);
}

// A system log whose reader has stopped: a process that logs many lines (a full ring with the
// device absent, then its exit report) still ends promptly. Where there is no system log socket at
// all, the lines go to standard error instead.
TEST_F(Lifetime, AStalledOrAbsentSystemLogHoldsNothingUp) {
    XOB_REQUIRE_SYSLOG();
    const std::string absentDevice = device->path() + ".absent";
    SyslogCapture::instance().pause(true);
    const xobtest::ChildRun blocked = runChild({XOBTEST_CHILD, "send", absentDevice, "300", "8", "30"});
    SyslogCapture::instance().pause(false);
    EXPECT_EQ(blocked.status, 0) << blocked.errors;
    EXPECT_LT(blocked.elapsed, std::chrono::milliseconds(2000)) << "lines waited for the stalled reader";

    const std::string dir = xobtest::makeTempDir();
    const xobtest::ChildRun noLog =
        xobtest::runChild({XOBTEST_CHILD, "send", absentDevice, "1", "8", "30"}, std::chrono::milliseconds(20000),
                          dir + "/stderr", {"XOBTEST_LOG_SOCKET=" + dir + "/none"});
    EXPECT_EQ(noLog.status, 0);
    // The exit report is there; the writer's first attempt may come before it, after it, or (on a
    // slow run) not at all before the process ends.
    const std::string openFailure = "XOB: " + absentDevice + " couldn't be opened! Retry in 1 Second...\n";
    const std::string exitReport = "XOB: 1 Log-Entries still queued at exit are Lost!\n";
    EXPECT_TRUE(noLog.errors == exitReport || noLog.errors == openFailure + exitReport ||
                noLog.errors == exitReport + openFailure)
        << noLog.errors;
    unlink((dir + "/stderr").c_str());
    rmdir(dir.c_str());
}

}  // namespace
