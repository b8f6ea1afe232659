#include "Eventually.h"

#include <xob/support/OsalTimer.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

using xobtest::eventually;
using xobtest::settle;

// A timer whose callback finds its object again through the timer pointer, as derived classes do.
class CountingTimer : public osal::Timer {
public:
    explicit CountingTimer(bool periodic) : osal::Timer(&onTimer, periodic) {}
    std::atomic<int> calls{0};

private:
    static void onTimer(osal::Timer* timer) { ++static_cast<CountingTimer*>(timer)->calls; }
};

TEST(OsalTimer, OneShotCallsOncePerStart) {
    CountingTimer timer(false);
    ASSERT_TRUE(timer.start(1));
    ASSERT_TRUE(eventually([&] { return timer.calls == 1; }));
    settle();
    EXPECT_EQ(timer.calls, 1);
    EXPECT_FALSE(timer.isRunning());
    ASSERT_TRUE(timer.start(3600000));
    timer.stop();
    settle();
    EXPECT_EQ(timer.calls, 1);
}

TEST(OsalTimer, PeriodicCallsUntilStopped) {
    CountingTimer timer(true);
    ASSERT_TRUE(timer.start(1));
    ASSERT_TRUE(eventually([&] { return timer.calls >= 3; }));
    timer.stop();
    const int calls = timer.calls;
    settle();
    EXPECT_EQ(timer.calls, calls);
}

}  // namespace
