// The one way the tests wait: for a condition that another thread or process makes true, with a
// limit, so that a fault fails the test instead of hanging it.
#ifndef XOBTEST_SUPPORT_EVENTUALLY_H
#define XOBTEST_SUPPORT_EVENTUALLY_H

#include <chrono>
#include <thread>

namespace xobtest {

// True as soon as condition() is; false if it is still false after `limit`.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A pause that gives a wrongly delivered callback the chance to show up before a test checks that it did not come.
inline void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }

}  // namespace xobtest

#endif
