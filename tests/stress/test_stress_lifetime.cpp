// Processes that end or fork under load, run for real as child processes against the device
// stand-in: exit() and return from main in the middle of a burst, with the device there and with
// the writer retrying an absent one; and fork() while the parent bursts, the children recording too.
// Each child must end promptly, with status 0 and without a sanitizer report, and the books must
// balance: what neither arrived nor was reported one by one is what the exit report counts.
#include <xob/GXob.h>

#include "ChildBoard.h"
#include "ChildProcess.h"
#include "DeviceStandIn.h"
#include "ForkSupport.h"
#include "StressKit.h"
#include "SyslogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

using namespace xobstress;
using std::chrono::milliseconds;
using xobtest::DeviceStandIn;

namespace {

using xobtest::ChildRun;

// Of the records neither delivered nor reported one by one: how many the count reports cover (what
// was left in the ring at exit, and lines the library could not send), and how many entry calls the
// end of the process cut off before they returned.
void splitUnaccounted(const Tally& tally, const LogReport& log, std::uint64_t& counted, std::uint64_t& cutOff) {
    counted = std::min<std::uint64_t>(tally.unaccounted, log.queuedAtExit + log.linesLost);
    cutOff = std::min<std::uint64_t>(tally.unaccounted - counted, tally.inFlight);
}

void expectCleanEnd(const ChildRun& run) {
    EXPECT_TRUE(run.exited) << run.errors;
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const char* report : {"Sanitizer", "runtime error", "WATCHDOG"}) {
        EXPECT_EQ(run.errors.find(report), std::string::npos) << run.errors;
    }
}

class ChildProcess : public testing::Test {
protected:

    void SetUp() override {
        XOB_REQUIRE_SYSLOG();
        ASSERT_TRUE(xobtest::waitForWriterIdle(60000));
        device.reset(new DeviceStandIn);
        ledger.reset(new Ledger);
        collector.reset(new Collector(*device, *ledger));
        dir = xobtest::makeTempDir();
        board = ChildBoard::map(dir + "/board", true);
        ASSERT_NE(board, nullptr);
        xobtest::SyslogCapture::instance().clear();
        start = Clock::now();
    }
    void TearDown() override {
        if (board != nullptr) {
            ChildBoard::unmap(board);
        }
        std::remove((dir + "/board").c_str());
        std::remove((dir + "/stderr").c_str());
        rmdir(dir.c_str());
        collector.reset();
        device.reset();
    }

    ChildRun run(std::vector<std::string> arguments, milliseconds limit) {
        arguments.insert(arguments.begin(), XOBSTRESS_CHILD);
        return xobtest::runChild(arguments, limit, dir + "/stderr");
    }

    // Books what the child's producers (ids) sent, waits for the rest to arrive and be logged.
    Tally close(const std::vector<std::uint8_t>& ids, const std::string& devicePath, LogReport& log) {
        for (std::uint8_t id : ids) {
            ledger->sent(id, board->attempted[id].load(), board->completed[id].load());
        }
        EXPECT_TRUE(collector->settle(pick(600000, 60000, 300000, 300000)));
        log = readSystemLog(devicePath);
        ledger->lost(log.losses);
        return ledger->tally();
    }

    std::unique_ptr<DeviceStandIn> device;
    std::unique_ptr<Ledger> ledger;
    std::unique_ptr<Collector> collector;
    Clock::time_point start;
    std::string dir;
    ChildBoard* board = nullptr;
};

// How a burst ends, and whether the device is there meanwhile.
struct ExitCase {
    const char* how;  // "exit": exit() on a producer thread; "return": return from main
    bool deviceThere;
};

class ExitUnderLoad : public ChildProcess, public testing::WithParamInterface<ExitCase> {};

// Scenario: the process ends in the middle of a burst of four producers, which go on calling until
// the very end. With the device there, the writer gets its second to deliver what is queued; with
// the device absent (the writer retrying, real one-second pauses), nothing is waited for.
TEST_P(ExitUnderLoad, EndsPromptlyCleanlyAndAccountsForEveryEntryItReturnedFrom) {
    const ExitCase param = GetParam();
    const std::string path = param.deviceThere ? device->path() : device->path() + ".absent";
    const ChildRun child = run({"burst", path, dir + "/board", "4", std::to_string(pick(20, 20, 50, 100)), param.how},
                               milliseconds(120000));
    expectCleanEnd(child);
    LogReport log;
    const Tally tally = close({1, 2, 3, 4}, path, log);
    const std::uint64_t began = board->exitBegan.load();
    const double exitMs = began != 0 && child.endedNs > began ? (child.endedNs - began) / 1e6 : -1;
    const std::string scenario = std::string("exit-") + param.how + (param.deviceThere ? "-device" : "-absent");
    char extra[160];
    std::snprintf(extra, sizeof extra, "exit-ms=%.0f queued-at-exit=%llu lines-lost=%llu in-flight=%llu", exitMs,
                  static_cast<unsigned long long>(log.queuedAtExit), static_cast<unsigned long long>(log.linesLost),
                  static_cast<unsigned long long>(tally.inFlight));
    std::uint64_t counted = 0;
    std::uint64_t cutOff = 0;
    splitUnaccounted(tally, log, counted, cutOff);
    printFigures(scenario.c_str(), tally, secondsSince(start), extra, counted, cutOff);

    // Promptly: the library gives the writer one second at most, and none while the device is absent.
    ASSERT_GE(exitMs, 0.0);
    EXPECT_LT(exitMs, param.deviceThere ? 2000.0 : 1000.0);

    expectNoFaults(tally, *ledger);
    EXPECT_LE(log.exitLines, 1u);
    // The records left in the ring at exit are reported as a count, the one being written included,
    // which may still have arrived. Besides those, only entry calls cut off by the end of the process
    // and records whose lines the library could not send may be unreported.
    const std::uint64_t leftInRing = log.queuedAtExit + log.linesLost;
    EXPECT_GE(tally.unaccounted + 1, log.queuedAtExit) << ledger->unaccountedSample();
    EXPECT_LE(tally.unaccountedReturned, leftInRing) << ledger->unaccountedSample();
    EXPECT_LE(tally.unaccounted, leftInRing + tally.inFlight) << ledger->unaccountedSample();
    if (param.deviceThere) {
        EXPECT_GT(tally.delivered, 0u);
        EXPECT_EQ(log.openFailures, 0u);
    } else {
        EXPECT_EQ(tally.delivered, 0u);
        EXPECT_GE(log.openFailures, 1u) << "the writer should have been retrying";
        EXPECT_EQ(log.queuedAtExit, 120u) << "the full ring is what is left";
    }
    expectNoOtherReports(log);
}

INSTANTIATE_TEST_SUITE_P(Stress, ExitUnderLoad,
                         testing::Values(ExitCase{"exit", true}, ExitCase{"return", true}, ExitCase{"exit", false},
                                         ExitCase{"return", false}),
                         [](const testing::TestParamInfo<ExitCase>& info) {
                             return std::string(info.param.how) + (info.param.deviceThere ? "Device" : "Absent");
                         });

using ForkUnderLoad = ChildProcess;

// Scenario: a process bursts on three threads while children are forked from it; each child records
// as a producer of its own and exits. Every record of every process arrives once (a child never
// delivers the records that its parent had queued), and every child ends cleanly.
TEST_F(ForkUnderLoad, EveryProcessDeliversItsOwnRecordsOnceAndChildrenExitCleanly) {
    XOBTEST_SKIP_WITHOUT_FORKED_CHILDREN();
    const unsigned children = pick(24, 8, 6, 0);
    const std::uint32_t each = pick(20000, 6000, 1500, 0);
    const std::uint32_t childEach = 100;  // within the ring: a child's own records are never refused
    const ChildRun parent = run({"fork", device->path(), dir + "/board", "3", std::to_string(each),
                                 std::to_string(pick(300, 300, 1500, 3000)), std::to_string(children),
                                 std::to_string(childEach)},
                                milliseconds(300000));
    expectCleanEnd(parent);
    std::vector<std::uint8_t> ids = {1, 2, 3};
    for (unsigned c = 0; c < children; ++c) {
        ids.push_back(static_cast<std::uint8_t>(100 + c));
    }
    LogReport log;
    const Tally tally = close(ids, device->path(), log);
    char extra[128];
    std::snprintf(extra, sizeof extra, "children=%u clean=%u longest-child-ms=%.0f", board->forked.load(),
                  board->cleanChildren.load(), board->longestChildNs.load() / 1e6);
    std::uint64_t counted = 0;
    std::uint64_t cutOff = 0;
    splitUnaccounted(tally, log, counted, cutOff);
    printFigures("fork", tally, secondsSince(start), extra, counted, cutOff);

    EXPECT_EQ(board->forked.load(), children);
    EXPECT_EQ(board->cleanChildren.load(), children) << "every child exits with status 0\n" << parent.errors;
    EXPECT_LT(board->longestChildNs.load(), 10000000000u) << "a child hung at exit";
    expectNoFaults(tally, *ledger);
    EXPECT_EQ(tally.inFlight, 0u);
    const std::uint64_t leftInRing = log.queuedAtExit + log.linesLost;
    EXPECT_GE(tally.unaccounted + 1, log.queuedAtExit) << ledger->unaccountedSample();
    EXPECT_LE(tally.unaccounted, leftInRing) << ledger->unaccountedSample();
    for (unsigned c = 0; c < children; ++c) {
        const std::uint8_t id = static_cast<std::uint8_t>(100 + c);
        EXPECT_EQ(board->completed[id].load(), childEach) << "child " << c;
        EXPECT_EQ(ledger->arrivals(id).size(), childEach) << "child " << c << " delivered its records once";
    }
    EXPECT_GT(tally.delivered, std::uint64_t{children} * childEach);
    expectNoOtherReports(log);
}

}  // namespace
