#include "TestKit.h"

#include <xob/support/OsalTimer.h>

// A timer whose callback finds its object again through the timer pointer, as derived classes do.
struct CountingTimer : osal::Timer {
    explicit CountingTimer(bool periodic)
        : osal::Timer([](Timer* self) { ++static_cast<CountingTimer*>(self)->calls; }, periodic) {}
    std::atomic<int> calls{0};
};

// A one-shot timer calls once per start, also when started again after its call; a periodic one calls until stopped.
TEST(OsalTimer, CallsOncePerStartOrPeriodicallyUntilStopped) {
    for (const bool periodic : {false, true}) {
        SCOPED_TRACE(periodic ? "periodic" : "one-shot");
        CountingTimer timer(periodic);
        const auto began = std::chrono::steady_clock::now();
        for (int started = 1; started <= 2; ++started) {
            ASSERT_TRUE(timer.start(1));
            ASSERT_TRUE(xobtest::eventually([&] { return timer.calls >= (periodic ? 3 * started : started); }));
            xobtest::settle();
            EXPECT_EQ(timer.isRunning(), periodic);
        }
        ASSERT_TRUE(periodic || timer.start(3600000));
        timer.stop();
        EXPECT_FALSE(timer.isRunning());
        const int calls = timer.calls;
        const auto elapsedMs = (std::chrono::steady_clock::now() - began) / std::chrono::milliseconds(1);
        EXPECT_LE(calls, 2 * elapsedMs + 4) << "a periodic timer of 1 ms calls once per millisecond at most";
        xobtest::settle();
        EXPECT_EQ(timer.calls, periodic ? calls : 2);
    }
}
