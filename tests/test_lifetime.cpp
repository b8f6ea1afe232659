// The transport's lifetime: process exit with records still queued (delivered while the writer
// makes progress, reported when it cannot), exit while the writer waits for an absent device,
// unloading the library under a running writer, and fork() while the writer is busy.
#include <xob/GXob.h>

#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "ForkSupport.h"
#include "SyslogCapture.h"
#include "channel/RecordBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
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
    static void SetUpTestSuite() {
        SyslogCapture::instance().acceptProgram("xob_lifetime_child");
        SyslogCapture::instance().acceptProgram("xob_unload_child");
    }
    void SetUp() override {
        device.reset(new DeviceStandIn);
        SyslogCapture::instance().clear();
    }
    void TearDown() override { device.reset(); }

    std::unique_ptr<DeviceStandIn> device;
};

TEST_F(Lifetime, ExitDeliversWhatTheWriterCanStillDeliver) {
    const xobtest::ChildRun child = runChild({XOBTEST_LIFETIME_CHILD, "send", device->path(), "100", "200"});
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
    const xobtest::ChildRun child = runChild({XOBTEST_LIFETIME_CHILD, "send", device->path(), "100", "2000"});
    ASSERT_EQ(child.status, 0) << "the child must exit cleanly";
    EXPECT_LT(child.elapsed, std::chrono::milliseconds(6000)) << "a blocked writer must not hold exit up";
    EXPECT_GE(child.elapsed, std::chrono::milliseconds(900)) << "it gave the writer its second";

    device->pause(false);
    std::size_t delivered = device->take(100, 2000).size();
    const std::vector<std::string> lines = childLines();
    ASSERT_EQ(lines.size(), 1u);
    unsigned lost = 0;
    unsigned beingWritten = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "XOB: %u Log-Entries still queued at exit are Lost! (%u more", &lost,
                          &beingWritten),
              2)
        << lines[0];
    EXPECT_EQ(beingWritten, 1u);
    EXPECT_EQ(delivered + lost + beingWritten, 100u) << lines[0];
}

TEST_F(Lifetime, ExitIsNotHeldUpByAWriterRetryingAnAbsentDevice) {
    XOB_REQUIRE_SYSLOG();
    // The child's writer pauses 30 s between open attempts; exit must not wait for that pause.
    const xobtest::ChildRun child =
        runChild({XOBTEST_LIFETIME_CHILD, "send", device->path() + ".absent", "5", "8", "30"});
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
        const std::uint32_t sequence = record[13] | (record[14] << 8) | (record[15] << 16) | (record[16] << 24);
        (record[12] == 1 ? parent : child).push_back(sequence);
    }
    Bytes extra;
    EXPECT_FALSE(device->next(extra, 200)) << "nothing more arrives: nothing was delivered twice";
    std::vector<std::uint32_t> expectedParent(kParentRecords);
    for (std::uint32_t i = 0; i < kParentRecords; ++i) {
        expectedParent[i] = i;
    }
    EXPECT_EQ(parent, expectedParent);
    EXPECT_EQ(child, (std::vector<std::uint32_t>{0, 1, 2}));
}

}  // namespace
