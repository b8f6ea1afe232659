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
using std::chrono::milliseconds;

namespace {

class ChildUnderLoad : public testing::Test {
protected:
    void SetUp() override {
        XOB_REQUIRE_SYSLOG();
        ASSERT_TRUE(waitForWriterIdle(60000));
        device.reset(new DeviceStandIn);
        ledger.reset(new Ledger(*device));
        dir = makeTempDir();
        board = ChildBoard::map(dir + "/board", true);
        ASSERT_NE(board, nullptr);
        SyslogCapture::instance().clear();
    }
    void TearDown() override {
        if (board != nullptr) ChildBoard::unmap(board);
        std::remove((dir + "/board").c_str());
        std::remove((dir + "/stderr").c_str());
        rmdir(dir.c_str());
        ledger.reset();
        device.reset();
    }

    // Runs the child program; it must end by itself, with status 0 and no sanitizer report.
    void run(const char* mode, const std::string& path, const std::vector<std::string>& rest) {
        std::vector<std::string> arguments = {XOBTEST_CHILD, mode, path, dir + "/board"};
        arguments.insert(arguments.end(), rest.begin(), rest.end());
        child = runChild(arguments, milliseconds(300000), dir + "/stderr");
        EXPECT_TRUE(child.exited) << child.errors;
        EXPECT_EQ(child.status, 0) << child.errors;
        for (const char* report : {"Sanitizer", "runtime error", "WATCHDOG"}) {
            EXPECT_EQ(child.errors.find(report), std::string::npos) << child.errors;
        }
    }
    // Books what producers `ids` sent, waits for the rest; the records neither delivered nor
    // reported one by one may be those the exit report counts, lines the library could not send,
    // and (`cutOff`) calls that the end of the process interrupted.
    Tally close(const char* scenario, const std::vector<std::uint8_t>& ids, const std::string& path, LogReport& log,
                const std::string& extra) {
        ledger->sent(*board, ids);
        log = ledger->close(path);
        const Tally tally = ledger->tally();
        const std::uint64_t counted = std::min<std::uint64_t>(tally.unaccounted, log.queuedAtExit + log.linesLost);
        const std::uint64_t cutOff = std::min<std::uint64_t>(tally.unaccounted - counted, tally.inFlight);
        printFigures(scenario, tally, static_cast<double>(child.elapsed.count()) / 1000, extra, counted, cutOff);
        EXPECT_EQ(tally.faults, 0u) << tally.sample;
        EXPECT_GE(tally.unaccounted + 1, log.queuedAtExit) << "the one being written may have arrived";
        EXPECT_LE(tally.unaccountedReturned, log.queuedAtExit + log.linesLost) << tally.sample;
        EXPECT_LE(tally.unaccounted, log.queuedAtExit + log.linesLost + tally.inFlight) << tally.sample;
        EXPECT_LE(log.exitLines, 1u);
        expectNoOtherReports(log);
        return tally;
    }

    std::unique_ptr<DeviceStandIn> device;
    std::unique_ptr<Ledger> ledger;
    std::string dir;
    ChildBoard* board = nullptr;
    ChildRun child;
};

struct ExitCase {
    const char* how;  // "exit": exit() on a producer thread; "return": return from main
    bool deviceThere;
};

class ExitUnderLoad : public ChildUnderLoad, public testing::WithParamInterface<ExitCase> {};

// The process ends in the middle of a burst of four producers, which go on calling until the very
// end. With the device there, the writer gets its second to deliver what is queued; with the device
// absent (the writer retrying, real one-second pauses), nothing is waited for.
TEST_P(ExitUnderLoad, EndsPromptlyCleanlyAndAccountsForEveryEntryItReturnedFrom) {
    const ExitCase param = GetParam();
    const std::string path = device->path() + (param.deviceThere ? "" : ".absent");
    run("burst", path, {"4", std::to_string(pick(20, 20, 50, 100)), param.how});
    ASSERT_NE(board->exitBeganNs, 0u);
    const double exitMs = (static_cast<double>(child.endedNs) - static_cast<double>(board->exitBeganNs)) / 1e6;
    LogReport log;
    const std::string scenario = std::string("exit-") + param.how + (param.deviceThere ? "-device" : "-absent");
    const Tally tally = close(scenario.c_str(), {1, 2, 3, 4}, path, log, "exit-ms=" + std::to_string(exitMs));
    EXPECT_LT(exitMs, param.deviceThere ? 2000.0 : 1000.0) << "the writer gets one second at most";
    if (param.deviceThere) {
        EXPECT_GT(tally.delivered, 0u);
        EXPECT_EQ(log.openFailures, 0u);
    } else {
        EXPECT_EQ(tally.delivered, 0u);
        EXPECT_GE(log.openFailures, 1u) << "the writer should have been retrying";
        EXPECT_EQ(log.queuedAtExit, 120u) << "the full ring is what is left";
    }
}

INSTANTIATE_TEST_SUITE_P(Stress, ExitUnderLoad,
                         testing::Values(ExitCase{"exit", true}, ExitCase{"return", true}, ExitCase{"exit", false},
                                         ExitCase{"return", false}),
                         [](const testing::TestParamInfo<ExitCase>& info) {
                             return std::string(info.param.how) + (info.param.deviceThere ? "Device" : "Absent");
                         });

using ForkUnderLoad = ChildUnderLoad;

// A process bursts on three threads while children are forked from it; each child records as a
// producer of its own and exits. Every record of every process arrives once (a child never delivers
// the records its parent had queued), and every child ends cleanly.
TEST_F(ForkUnderLoad, EveryProcessDeliversItsOwnRecordsOnceAndChildrenExitCleanly) {
    XOBTEST_SKIP_WITHOUT_FORKED_CHILDREN();
    const unsigned children = pick(24, 8, 6, 0);
    const std::uint32_t childEach = 100;  // within the ring: a child's own records are never refused
    run("fork", device->path(), {"3", std::to_string(pick(20000, 6000, 1500, 0)),
         std::to_string(pick(300, 300, 1500, 3000)), std::to_string(children), std::to_string(childEach)});
    std::vector<std::uint8_t> ids = {1, 2, 3};
    for (unsigned c = 0; c < children; ++c) ids.push_back(static_cast<std::uint8_t>(100 + c));
    LogReport log;
    const Tally tally = close("fork", ids, device->path(), log, "children=" + std::to_string(board->forked));
    EXPECT_EQ(board->forked, children);
    EXPECT_EQ(board->cleanChildren, children) << "every child exits with status 0 in time\n" << child.errors;
    EXPECT_EQ(tally.inFlight, 0u);
    for (unsigned c = 0; c < children; ++c) {
        const std::uint8_t id = static_cast<std::uint8_t>(100 + c);
        EXPECT_EQ(ledger->arrivals(id).size(), childEach) << "child " << c << " delivered its records once";
    }
}

}  // namespace
