#include <xob/support/OsalMutex.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

std::vector<std::string> s_reports;
void collectReport(const char* text) { s_reports.emplace_back(text); }

// Sends the mutex reports to s_reports while a test runs.
struct CollectedReports {
    CollectedReports() { osal::Mutex::SetReportFunction(&collectReport); }
    ~CollectedReports() {
        osal::Mutex::SetReportFunction(nullptr);
        s_reports.clear();
    }
};

static_assert(sizeof(osal::Mutex) == sizeof(pthread_mutex_t), "the POSIX mutex is the only member");

TEST(OsalMutex, RecursiveFlagAllowsRelocking) {
    CollectedReports reports;
    osal::Mutex mutex(true, false, true);
    EXPECT_EQ(mutex.Lock(), 0);
    EXPECT_EQ(mutex.Lock(), 0);
    EXPECT_EQ(mutex.Unlock(), 0);
    EXPECT_EQ(mutex.Unlock(), 0);
    EXPECT_TRUE(s_reports.empty());
}

#if defined(__SANITIZE_THREAD__)
constexpr bool kMayMisuseMutexes = false;  // ThreadSanitizer rightly reports the misuse provoked here
#else
constexpr bool kMayMisuseMutexes = true;
#endif

TEST(OsalMutex, FailuresGoToTheHandlersAndTheCallerGoesOn) {
    if (!kMayMisuseMutexes) GTEST_SKIP() << "provokes mutex misuse";
    CollectedReports reports;
    {
        osal::Mutex checking(false, true, false);
        EXPECT_EQ(checking.Unlock(), EPERM);  // not locked
        EXPECT_EQ(checking.Lock(), 0);
        EXPECT_EQ(checking.Lock(), EDEADLK);  // relocked by its owner
        EXPECT_EQ(checking.Unlock(), 0);      // still usable

        osal::Mutex plain(false, false, false);
        plain.Lock();  // destroyed while locked
    }
    const std::vector<std::string> expected = {
        "Error unlocking mutex (error " + std::to_string(EPERM) + ")",
        "Error locking mutex (error " + std::to_string(EDEADLK) + ")", "Error destroying mutex"};
    EXPECT_EQ(s_reports, expected);
}

}  // namespace
