// Processes that end or fork under load, run for real as child processes against the device
// stand-in: exit() and return from main in the middle of a burst, with the device there and with
// the writer retrying an absent one; and fork() while the parent bursts, the children recording too.
// Each process must end promptly, with status 0 and without a sanitizer report, and the books must
// balance: what neither arrived nor was reported one by one is what the exit report counts.
#include <xob/GXob.h>

#include "ForkSupport.h"
#include "Ledger.h"
#include "SyslogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace xobtest;

namespace {

struct Case {
    const char* mode;  // burst: exit under load; fork: fork under load
    const char* how;   // burst: "exit" on a producer thread or "return" from main
    bool deviceThere;
};

class UnderLoad : public testing::TestWithParam<Case> {};

// Exit: the process ends in the middle of a burst of four producers, which go on calling until the
// very end. With the device there, the writer gets its second to deliver what is queued; with the
// device absent (the writer retrying, real one-second pauses), nothing is waited for.
// Fork: a process bursts on three threads while children are forked from it; each child records as
// a producer of its own and exits. Every record of every process arrives once (a child never
// delivers the records its parent had queued), and every child ends cleanly.
TEST_P(UnderLoad, EndsPromptlyCleanlyAndAccountsForEveryEntry) {
    const Case param = GetParam();
    const bool fork = std::string(param.mode) == "fork";
    if (fork) XOBTEST_SKIP_WITHOUT_FORKED_CHILDREN();
    XOB_REQUIRE_SYSLOG();
    ASSERT_TRUE(waitForWriterIdle(60000));
    DeviceStandIn device;
    Ledger ledger(device);
    const std::string dir = makeTempDir();
    ChildBoard* board = ChildBoard::map(dir + "/board", true);
    ASSERT_NE(board, nullptr);
    SyslogCapture::instance().clear();

    const std::string path = device.path() + (param.deviceThere ? "" : ".absent");
    const unsigned children = fork ? pick(24, 8, 6, 0) : 0;
    const std::uint32_t childEach = 100;  // within the ring: a child's own records are never refused
    std::vector<std::string> arguments = {XOBTEST_CHILD, param.mode, path, dir + "/board"};
    if (fork) {
        for (const std::uint32_t n : {3u, pick(20000, 6000, 1500, 0), pick(300, 300, 1500, 3000), children, childEach}) {
            arguments.push_back(std::to_string(n));
        }
    } else {
        arguments.insert(arguments.end(), {"4", std::to_string(pick(20, 20, 50, 100)), param.how});
    }
    const ChildRun child = runChild(arguments, std::chrono::milliseconds(300000), dir + "/stderr");
    EXPECT_EQ(child.status, 0) << child.errors;
    for (const char* report : {"Sanitizer", "runtime error", "WATCHDOG"}) {
        EXPECT_EQ(child.errors.find(report), std::string::npos) << child.errors;
    }
    ASSERT_NE(board->exitBeganNs, 0u);
    const double exitMs = (static_cast<double>(child.endedNs) - static_cast<double>(board->exitBeganNs)) / 1e6;

    std::vector<std::uint8_t> ids = {1, 2, 3};
    if (!fork) ids.push_back(4);
    for (unsigned c = 0; c < children; ++c) ids.push_back(static_cast<std::uint8_t>(100 + c));
    for (const std::uint8_t id : ids) ledger.sent(id, board->producers[id].attempted, board->producers[id].completed);
    LogReport log = ledger.close(path);
    const Tally tally = ledger.tally();
    // Records neither delivered nor reported one by one: those the exit report counts, lines the
    // library could not send, and calls that the end of the process interrupted.
    const std::uint64_t counted = std::min<std::uint64_t>(tally.unaccounted, log.count["queued"] + log.linesLost);
    printFigures((std::string(param.mode) + "-" + param.how + (param.deviceThere ? "-device" : "-absent")).c_str(),
                 tally, static_cast<double>(child.elapsed.count()) / 1000, "exit-ms=" + std::to_string(exitMs), counted,
                 std::min<std::uint64_t>(tally.unaccounted - counted, tally.inFlight));
    EXPECT_EQ(tally.fault, "");
    EXPECT_GE(tally.unaccounted + 1, log.count["queued"]) << "the one being written may have arrived";
    EXPECT_LE(tally.unaccountedReturned, log.count["queued"] + log.linesLost);
    EXPECT_LE(tally.unaccounted, log.count["queued"] + log.linesLost + tally.inFlight);
    expectNoOtherReports(log);
    if (fork) {
        EXPECT_EQ(board->forked, children);
        EXPECT_EQ(board->cleanChildren, children) << "every child exits with status 0 in time\n" << child.errors;
        EXPECT_EQ(tally.inFlight, 0u);
        for (unsigned c = 0; c < children; ++c) {
            EXPECT_EQ(ledger.arrivals(static_cast<std::uint8_t>(100 + c)).size(), childEach) << "child " << c;
        }
    } else if (param.deviceThere) {
        EXPECT_LT(exitMs, 2000.0) << "the writer gets one second at most";
        EXPECT_GT(tally.delivered, 0u);
        EXPECT_EQ(log.count["open"], 0u);
    } else {
        EXPECT_LT(exitMs, 1000.0) << "nothing waits for the retrying writer";
        EXPECT_EQ(tally.delivered, 0u);
        EXPECT_GE(log.count["open"], 1u) << "the writer should have been retrying";
        EXPECT_EQ(log.count["queued"], 120u) << "the full ring is what is left";
    }
    ChildBoard::unmap(board);
    for (const char* file : {"/board", "/stderr"}) std::remove((dir + file).c_str());
    rmdir(dir.c_str());
}

INSTANTIATE_TEST_SUITE_P(Stress, UnderLoad,
                         testing::Values(Case{"burst", "exit", true}, Case{"burst", "return", true},
                                         Case{"burst", "exit", false}, Case{"burst", "return", false},
                                         Case{"fork", "", true}),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.mode) + info.param.how +
                                    (info.param.deviceThere ? "Device" : "Absent");
                         });

}  // namespace
