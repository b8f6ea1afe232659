#include "Eventually.h"

#include <xob/support/TimerCtrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

namespace {

using xobtest::eventually;
using xobtest::settle;

// A client that counts its ticks and runs an optional action inside each. Its destructor takes it
// out of the controller the way the loggers do: unregister, then wait out a running tick.
class Client : public TimerCtrlClient {
public:
    Client(std::uint32_t intervalMs, bool repeat, std::function<void(Client&)> action = [](Client&) {})
        : m_action(std::move(action)) {
        SetInterval(intervalMs);
        SetRepeat(repeat);
    }
    ~Client() override {
        TimerCtrl_GetInstance()->Unregister(this);
        TimerCtrl_GetInstance()->WaitWhileTicking(this);
    }
    void Tick() override {
        tickThread = std::this_thread::get_id();
        m_action(*this);
        ++ticks;
    }

    std::atomic<int> ticks{0};
    std::atomic<std::thread::id> tickThread{};

private:
    std::function<void(Client&)> m_action;
};

TimerCtrl& controller() { return *TimerCtrl_GetInstance(); }

// Due at once, yet never ticked inside Register; a one-shot client may register again from its own
// tick.
TEST(TimerCtrl, OneShotTicksOnceOnTheControllerThreadAndMayRegisterAgain) {
    for (const int again : {0, 2}) {
        Client client(0, false, [again](Client& self) {
            if (self.ticks < again) controller().Register(&self);  // ticks counts the earlier ticks here
        });
        controller().Register(&client);
        ASSERT_TRUE(eventually([&] { return client.ticks == again + 1; }));
        EXPECT_NE(client.tickThread.load(), std::this_thread::get_id());
        settle();
        EXPECT_EQ(client.ticks, again + 1);
        EXPECT_FALSE(controller().IsRegistered(&client));
    }
}

TEST(TimerCtrl, ExpediteTicksEveryRegisteredClientButNotAnUnregisteredOne) {
    Client cancelled(3600000, false), first(3600000, false), second(3600000, false);
    for (Client* client : {&cancelled, &first, &second}) controller().Register(client);
    controller().Unregister(&cancelled);  // were it still registered, it would tick first
    controller().Expedite();
    ASSERT_TRUE(eventually([&] { return first.ticks == 1 && second.ticks == 1; }));
    EXPECT_NE(first.tickThread.load(), std::this_thread::get_id());
    EXPECT_EQ(cancelled.ticks, 0);
}

TEST(TimerCtrl, WaitWhileTickingWaitsForTheRunningTick) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> entered{false}, finished{false};
    Client client(0, false, [&](Client& self) {
        entered = true;
        released.wait();
        controller().WaitWhileTicking(&self);  // on the controller thread: returns at once
        finished = true;
    });
    controller().Register(&client);
    ASSERT_TRUE(eventually([&] { return entered.load(); }));

    controller().Unregister(&client);  // must not wait for the running tick
    std::atomic<bool> waitReturned{false};
    bool finishedWhenWaitReturned = false;
    std::thread waiter([&] {
        controller().WaitWhileTicking(&client);
        finishedWhenWaitReturned = finished;
        waitReturned = true;
    });
    settle();
    EXPECT_FALSE(waitReturned);
    release.set_value();
    waiter.join();
    EXPECT_TRUE(finishedWhenWaitReturned);
}

TEST(TimerCtrl, RepeatingClientTicksUntilUnregistered) {
    Client client(1, true);
    controller().Register(&client);
    ASSERT_TRUE(eventually([&] { return client.ticks >= 3; }));
    EXPECT_TRUE(controller().IsRegistered(&client));
    controller().Unregister(&client);
    controller().WaitWhileTicking(&client);
    const int ticks = client.ticks;
    settle();
    EXPECT_EQ(client.ticks, ticks);
}

// A process may end while clients are registered and one of them ticks all the time: a fresh
// process does so and must end normally, without a sanitizer report.
Client* s_leftRegistered[2];  // still reachable at exit, so no leak is reported either

TEST(TimerCtrl, ProcessEndsNormallyWithClientsStillRegistered) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            s_leftRegistered[0] = new Client(1, true);
            s_leftRegistered[1] = new Client(3600000, false);
            controller().Register(s_leftRegistered[0]);
            controller().Register(s_leftRegistered[1]);
            std::exit(eventually([] { return s_leftRegistered[0]->ticks >= 2; }) ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
