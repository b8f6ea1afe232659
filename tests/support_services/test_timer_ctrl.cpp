#include "TestKit.h"

#include <xob/support/TimerCtrl.h>

#include <future>

using namespace xobtest;

TimerCtrl& controller() { return *TimerCtrl_GetInstance(); }

// A one-shot client that counts its ticks and runs an action inside each. Its destructor takes it
// out of the controller the way the loggers do: unregister, then wait out a running tick.
struct Client : TimerCtrlClient {
    explicit Client(std::uint32_t intervalMs, std::function<void(Client&)> action = [](Client&) {})
        : m_action(std::move(action)) {
        SetInterval(intervalMs);
    }
    ~Client() override {
        controller().Unregister(this);
        controller().WaitWhileTicking(this);
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

// Due at once, yet never ticked inside Register; it may register again from its own tick.
TEST(TimerCtrl, OneShotTicksOnceOnTheControllerThreadAndMayRegisterAgain) {
    for (const int again : {0, 2}) {
        Client client(0, [again](Client& self) {
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
    Client cancelled(3600000), first(3600000), second(3600000);
    for (Client* client : {&cancelled, &first, &second}) controller().Register(client);
    controller().Unregister(&cancelled);  // were it still registered, it would tick first
    controller().Expedite();
    ASSERT_TRUE(eventually([&] { return first.ticks == 1 && second.ticks == 1; }));
    EXPECT_EQ(cancelled.ticks, 0);
}

// Unregister does not wait for a running tick; WaitWhileTicking does (and returns at once inside it).
TEST(TimerCtrl, WaitWhileTickingWaitsForTheRunningTick) {
    std::promise<void> release;
    std::atomic<bool> entered{false}, finished{false};
    Client client(0, [&, released = release.get_future().share()](Client& self) {
        entered = true;
        released.wait();
        controller().WaitWhileTicking(&self);
        finished = true;
    });
    controller().Register(&client);
    ASSERT_TRUE(eventually([&] { return entered.load(); }));
    controller().Unregister(&client);
    std::future<bool> waited = std::async(std::launch::async, [&] {
        controller().WaitWhileTicking(&client);
        return finished.load();  // when the wait returned
    });
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release.set_value();
    EXPECT_TRUE(waited.get());
}

// A fresh process may end while clients are registered and one of them ticks all the time: it must
// end normally, without a sanitizer report.
Client* s_leftRegistered[2];  // still reachable at exit, so no leak is reported either

TEST(TimerCtrl, ProcessEndsNormallyWithClientsStillRegistered) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT({
        s_leftRegistered[0] = new Client(0, [](Client& self) { controller().Register(&self); });
        s_leftRegistered[1] = new Client(3600000);
        controller().Register(s_leftRegistered[0]);
        controller().Register(s_leftRegistered[1]);
        std::exit(eventually([] { return s_leftRegistered[0]->ticks >= 2; }) ? 0 : 3);
    }, testing::ExitedWithCode(0), "");
}
