// The direct control commands: their records on a real FIFO device, their result codes with the device present, absent,
// writing short or gone, and the flush-ready wait on pipes.
#include "TestKit.h"

#include "platform/Seams.h"

#include <pthread.h>

int g_closedPipe = -1;
ssize_t shortWrite(int descriptor, const void* data, std::size_t) { return ::write(descriptor, data, 4); }
ssize_t failedWrite(int, const void*, std::size_t) { return errno = EIO, -1; }
ssize_t writeToClosedPipe(int, const void* data, std::size_t size) { return ::write(g_closedPipe, data, size); }

TEST(Control, CommandsWriteTheirRecordsAndReportFailedWrites) {
    xobtest::DeviceStandIn device;
    EXPECT_EQ(GXob::writeSetXobActivFlag(true), 0);
    EXPECT_EQ(GXob::writeSetXobActivFlag(false), 0);
    EXPECT_EQ(GXob::doStop_Flush(), 0);
    EXPECT_EQ(device.take(3), (std::vector<xobtest::Bytes>{{6, 0, 0, 0, 0x0C, 0, 1, 0}, {6, 0, 0, 0, 0x0C, 0, 0, 0},
                                                 {6, 0, 0, 0, 0x0D, 0, 0, 0}}));
    for (xob::seams::WriteHook hook : {&shortWrite, &failedWrite}) {
        xob::seams::setWriteHook(hook);
        EXPECT_EQ(GXob::writeSetXobActivFlag(true), -1);
        EXPECT_EQ(GXob::doStop_Flush(), 1);
    }
    xob::seams::setWriteHook(nullptr);
}

// A device whose other side is gone: the write fails with EPIPE and raises a real SIGPIPE in the calling thread. The
// caller must survive it (its default action would end the process), and find its signal mask and its pending signals
// as they were: a SIGPIPE of its own, pending before the call, is still pending after it.
TEST(Control, AVanishedDeviceRaisesNoSignalInTheCaller) {
    xobtest::DeviceStandIn device;
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    g_closedPipe = ends[1];
    xob::seams::setWriteHook(&writeToClosedPipe);
    sigset_t pipeSignal, callerMask, after, pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    for (const bool ownSignalPending : {false, true}) {
        pthread_sigmask(ownSignalPending ? SIG_BLOCK : SIG_UNBLOCK, &pipeSignal, &callerMask);
        if (ownSignalPending) pthread_kill(pthread_self(), SIGPIPE);
        EXPECT_EQ(GXob::writeSetXobActivFlag(true), -1);
        EXPECT_EQ(GXob::doStop_Flush(), 1);
        pthread_sigmask(SIG_BLOCK, nullptr, &after);
        EXPECT_EQ(sigismember(&after, SIGPIPE) == 1, ownSignalPending) << "the mask is the caller's";
        sigpending(&pending);
        EXPECT_EQ(sigismember(&pending, SIGPIPE) == 1, ownSignalPending) << "only the library's own SIGPIPE is taken";
        const timespec noWait{0, 0};
        if (ownSignalPending) sigtimedwait(&pipeSignal, nullptr, &noWait);
        pthread_sigmask(SIG_SETMASK, &callerMask, nullptr);
    }
    xob::seams::setWriteHook(nullptr);
    close(ends[1]);
}

TEST(Control, FlushIsNotSupportedAndFlushReadyReadsTheReply) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(GXob::writeFlush_Files(), -2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "XOB: Flush not supported in xobWriteHDU\n");
    EXPECT_EQ(GXob::writeFlush_Files_Ready(0), -1);
    EXPECT_EQ(GXob::writeFlush_Files_Ready(-7), -1);
    const struct {
        const char* name;
        xobtest::Bytes reply;  // written to the pipe before the call
        bool hangUp;  // the write end is closed before the call
        int expected;
    } cases[] = {
        {"ready", {0, 0, 0, 0, 0x0A, 0x55, 0, 0}, true, 0},
        {"ready, unexamined bytes set", {0xFF, 0xFF, 0xFF, 0xFF, 0x0A, 0xFF, 0, 0}, true, 0},
        {"not ready", {6, 0, 0, 0, 0x0A, 0, 1, 0}, true, -4},
        {"status high byte", {6, 0, 0, 0, 0x0A, 0, 0, 1}, true, -4},
        {"other command", {6, 0, 0, 0, 0x0C, 0, 0, 0}, true, -4},
        {"short reply", {6, 0, 0, 0, 0x0A}, true, -5},
        {"hang-up without reply", {}, true, -5},
        {"no reply within ten seconds", {}, false, -3},
    };
    for (const auto& c : cases) {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(write(ends[1], c.reply.data(), c.reply.size()), static_cast<ssize_t>(c.reply.size()));
        if (c.hangUp) close(ends[1]);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(GXob::writeFlush_Files_Ready(ends[0]), c.expected) << c.name;
        EXPECT_EQ(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(9900), !c.hangUp) << c.name;
        EXPECT_EQ(fcntl(ends[0], F_GETFD), -1) << c.name << ": the descriptor is closed";
        if (!c.hangUp) close(ends[1]);
    }
    EXPECT_EQ(GXob::writeFlush_Files_Ready(0x7FFF), -2) << "a descriptor that is not open";
}
