// The direct control commands: their records on a real FIFO device, their result codes with the
// device present, absent and writing short, and the flush-ready wait on pipes.
#include <xob/GXob.h>

#include "DeviceStandIn.h"
#include "platform/Seams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <functional>
#include <unistd.h>

using xobtest::Bytes;
using xobtest::DeviceStandIn;

namespace {

ssize_t shortWrite(int descriptor, const void* data, std::size_t) { return ::write(descriptor, data, 4); }
ssize_t failedWrite(int, const void*, std::size_t) {
    errno = EIO;
    return -1;
}

class Control : public testing::Test {
protected:
    void SetUp() override { device.reset(new DeviceStandIn); }
    void TearDown() override {
        xob::seams::setWriteHook(nullptr);
        device.reset();
    }
    void removeDevice() { xob::seams::setDevicePath((device->path() + ".absent").c_str()); }

    std::unique_ptr<DeviceStandIn> device;
};

TEST_F(Control, CommandsWriteTheirEightByteRecords) {
    struct Case {
        const char* name;
        std::function<int()> call;
        Bytes record;
    };
    const Case cases[] = {
        {"flag set", [] { return GXob::writeSetXobActivFlag(true); }, {6, 0, 0, 0, 0x0C, 0, 1, 0}},
        {"flag cleared", [] { return GXob::writeSetXobActivFlag(false); }, {6, 0, 0, 0, 0x0C, 0, 0, 0}},
        {"stop and flush", [] { return GXob::doStop_Flush(); }, {6, 0, 0, 0, 0x0D, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), 0) << c.name;
        Bytes record;
        ASSERT_TRUE(device->next(record)) << c.name;
        EXPECT_EQ(record, c.record) << c.name;
    }
}

TEST_F(Control, ResultCodesWhenTheDeviceIsAbsentOrWritesShort) {
    removeDevice();
    EXPECT_EQ(GXob::writeSetXobActivFlag(true), -1);
    EXPECT_EQ(GXob::doStop_Flush(), 0) << "an absent device counts as done";

    device.reset();  // a fresh device, then writes that fall short or fail
    device.reset(new DeviceStandIn);
    for (xob::seams::WriteHook hook : {&shortWrite, &failedWrite}) {
        xob::seams::setWriteHook(hook);
        EXPECT_EQ(GXob::writeSetXobActivFlag(true), -1);
        EXPECT_EQ(GXob::doStop_Flush(), 1);
    }
}

// A device whose other side is gone: the write fails with EPIPE and raises a real SIGPIPE in the
// calling thread. The caller must survive it (its default action would end the process), and find
// its signal mask and its pending signals as they were: a SIGPIPE of its own, pending before the
// call, is still pending after it.
int g_closedPipe = -1;
ssize_t writeToClosedPipe(int, const void* data, std::size_t size) { return ::write(g_closedPipe, data, size); }

bool pipeSignalPending() {
    sigset_t pending;
    sigpending(&pending);
    return sigismember(&pending, SIGPIPE) == 1;
}

TEST_F(Control, AVanishedDeviceRaisesNoSignalInTheCaller) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    g_closedPipe = ends[1];
    xob::seams::setWriteHook(&writeToClosedPipe);
    for (const bool ownSignalPending : {false, true}) {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        sigset_t callerMask;
        pthread_sigmask(ownSignalPending ? SIG_BLOCK : SIG_UNBLOCK, &pipeSignal, &callerMask);
        if (ownSignalPending) {
            pthread_kill(pthread_self(), SIGPIPE);
        }
        sigset_t before;
        pthread_sigmask(SIG_BLOCK, nullptr, &before);

        EXPECT_EQ(GXob::writeSetXobActivFlag(true), -1);
        EXPECT_EQ(GXob::doStop_Flush(), 1);

        sigset_t after;
        pthread_sigmask(SIG_BLOCK, nullptr, &after);
        EXPECT_EQ(sigismember(&after, SIGPIPE), sigismember(&before, SIGPIPE)) << "the mask is the caller's";
        EXPECT_EQ(sigismember(&after, SIGINT), sigismember(&before, SIGINT));
        EXPECT_EQ(pipeSignalPending(), ownSignalPending) << "only the library's own SIGPIPE is taken";
        if (ownSignalPending) {
            const timespec noWait{0, 0};
            sigtimedwait(&pipeSignal, nullptr, &noWait);
        }
        pthread_sigmask(SIG_SETMASK, &callerMask, nullptr);
    }
    close(ends[1]);
}

TEST(ControlFlush, NotSupportedPrintsANoticeAndSendsNothing) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(GXob::writeFlush_Files(), -2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "XOB: Flush not supported in xobWriteHDU\n");
}

bool isOpen(int descriptor) { return fcntl(descriptor, F_GETFD) != -1; }

TEST(ControlFlush, FlushReadyResultCodes) {
    struct Case {
        const char* name;
        Bytes reply;  // written to the pipe before the call; the write end is then closed
        int expected;
    };
    const Case cases[] = {
        {"ready", {0, 0, 0, 0, 0x0A, 0x55, 0, 0}, 0},
        {"ready, unexamined bytes set", {0xFF, 0xFF, 0xFF, 0xFF, 0x0A, 0xFF, 0, 0}, 0},
        {"not ready", {6, 0, 0, 0, 0x0A, 0, 1, 0}, -4},
        {"status high byte", {6, 0, 0, 0, 0x0A, 0, 0, 1}, -4},
        {"other command", {6, 0, 0, 0, 0x0C, 0, 0, 0}, -4},
        {"short reply", {6, 0, 0, 0, 0x0A}, -5},
        {"hang-up without reply", {}, -5},
    };
    for (const Case& c : cases) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        if (!c.reply.empty()) {
            ASSERT_EQ(write(ends[1], c.reply.data(), c.reply.size()), static_cast<ssize_t>(c.reply.size()));
        }
        close(ends[1]);
        EXPECT_EQ(GXob::writeFlush_Files_Ready(ends[0]), c.expected) << c.name;
        EXPECT_FALSE(isOpen(ends[0])) << c.name << ": the descriptor is closed";
    }
}

TEST(ControlFlush, BadDescriptorsAndFailedWait) {
    EXPECT_EQ(GXob::writeFlush_Files_Ready(0), -1);
    EXPECT_EQ(GXob::writeFlush_Files_Ready(-7), -1);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    close(ends[1]);
    EXPECT_EQ(GXob::writeFlush_Files_Ready(ends[0]), -2) << "a descriptor that is not open";
}

TEST(ControlFlush, NoReplyWithinTenSecondsTimesOut) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GXob::writeFlush_Files_Ready(ends[0]), -3);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(9900));
    EXPECT_FALSE(isOpen(ends[0]));
    close(ends[1]);
}

}  // namespace
