// Waiting helpers of the support-service tests: wait for a condition that another thread makes
// true, with a generous limit so that a fault fails the test instead of hanging it.
#ifndef XOBTEST_SUPPORT_SERVICES_EVENTUALLY_H
#define XOBTEST_SUPPORT_SERVICES_EVENTUALLY_H

#include <chrono>
#include <thread>

namespace xobtest {

// True as soon as condition() is; false if it is still false after ten seconds.
template <typename Condition>
bool eventually(Condition condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A pause that gives a wrongly delivered callback the chance to show up before a test checks that
// it did not come.
inline void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

}  // namespace xobtest

#endif
