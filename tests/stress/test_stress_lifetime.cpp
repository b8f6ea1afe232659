// Processes that end (exit() on another thread, return from main) or fork under load, run as child processes against
// the device stand-in (the scenarios: README.md).
#include "TestKit.h"

#include "ForkSupport.h"
#include "Ledger.h"

#include <sys/mman.h>

using namespace xobtest;

// MODE_HOW_DEVICE. burst: exit under load, by "exit" on a producer thread or "return" from main; fork: fork under load.
// The device there or absent.
class UnderLoad : public testing::TestWithParam<const char*> {};

TEST_P(UnderLoad, EndsPromptlyCleanlyAndAccountsForEveryEntry) {
    const std::string scenario = GetParam();
    const bool fork = scenario.compare(0, 5, "fork_") == 0;
    const bool deviceThere = scenario.find("_device") != std::string::npos;
    if (fork) XOBTEST_SKIP_WITHOUT_FORKED_CHILDREN();
    XOB_REQUIRE_SYSLOG();
    ASSERT_TRUE(waitForWriterIdle(60000));
    DeviceStandIn device;
    Ledger ledger(device);
    ChildBoard* board = ChildBoard::map(device.path() + ".board");
    ASSERT_NE(board, nullptr);

    const std::string path = device.path() + (deviceThere ? "" : ".absent");
    std::vector<std::string> arguments = {XOBTEST_CHILD, fork ? "fork" : "burst", path, device.path() + ".board"};
    if (!fork) arguments.push_back(scenario.find("_exit_") != std::string::npos ? "exit" : "return");
    const ChildRun child = runChild(arguments, std::chrono::milliseconds(300000), device.path() + ".stderr");
    EXPECT_EQ(child.status, 0) << "4: a forked child did not exit with status 0 in time\n" << child.errors;
    EXPECT_EQ(child.errors.find("runtime error"), std::string::npos) << child.errors;
    EXPECT_EQ(child.errors.find("Sanitizer"), std::string::npos) << child.errors;
    ASSERT_NE(board->exitBeganNs, 0u);
    const double exitMs = (static_cast<double>(child.endedNs) - static_cast<double>(board->exitBeganNs)) / 1e6;

    Books books = ledger.close(path, board->producers);
    expectBalanced(scenario.c_str(), books, "exit-ms=" + std::to_string(exitMs));
    EXPECT_GE(books.missing + books.cutOff + 1, books.reports["queued"]) << "the one being written may have arrived";
    if (fork) {
        for (unsigned c = 100; c < 256 && board->producers[c].attempted > 0; ++c) {
            EXPECT_EQ(books.arrivals[c].size(), 100u) << "child " << c - 100;
        }
    } else if (deviceThere) {
        EXPECT_LT(exitMs, 2000.0) << "the writer gets one second at most";
        EXPECT_GT(books.delivered, 0u);
        EXPECT_EQ(books.reports["open"], 0u);
    } else {
        EXPECT_LT(exitMs, 1000.0) << "nothing waits for the retrying writer";
        EXPECT_EQ(books.delivered, 0u);
        EXPECT_GE(books.reports["open"], 1u) << "the writer should have been retrying";
        EXPECT_EQ(books.reports["queued"], 120u) << "the full ring is what is left";
    }
    munmap(board, sizeof(ChildBoard));
}

INSTANTIATE_TEST_SUITE_P(Stress, UnderLoad,
                         testing::Values("burst_exit_device", "burst_return_device", "burst_exit_absent",
                                         "burst_return_absent", "fork_device"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
