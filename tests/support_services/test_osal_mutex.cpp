#include <xob/support/OsalMutex.h>

#include "TestKit.h"

std::vector<std::string> s_reports;

#if defined(__SANITIZE_THREAD__)
constexpr bool kMayMisuseMutexes = false;  // ThreadSanitizer rightly reports the misuse provoked here
#else
constexpr bool kMayMisuseMutexes = true;
#endif

// A recursive mutex may be relocked by its owner; the failures of an error-checking one go to the
// report function, and the caller goes on with the error code.
TEST(OsalMutex, RelockingAndFailureReports) {
    osal::Mutex::SetReportFunction([](const char* text) { s_reports.emplace_back(text); });
    {
        osal::Mutex recursive(true, false, true);
        EXPECT_EQ(recursive.Lock() + recursive.Lock() + recursive.Unlock() + recursive.Unlock(), 0);
        if (kMayMisuseMutexes) {
            osal::Mutex checking(false, true, false);
            EXPECT_EQ(checking.Unlock(), EPERM);  // not locked
            EXPECT_EQ(checking.Lock(), 0);
            EXPECT_EQ(checking.Lock(), EDEADLK);  // relocked by its owner
            EXPECT_EQ(checking.Unlock(), 0);      // still usable
            osal::Mutex plain(false, false, false);
            plain.Lock();  // destroyed while locked
        }
    }
    osal::Mutex::SetReportFunction(nullptr);
    const std::vector<std::string> expected = {"Error unlocking mutex (error " + std::to_string(EPERM) + ")",
                                               "Error locking mutex (error " + std::to_string(EDEADLK) + ")",
                                               "Error destroying mutex"};
    EXPECT_EQ(s_reports, kMayMisuseMutexes ? expected : std::vector<std::string>{});
}
