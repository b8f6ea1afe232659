// The child program of the lifetime and stress tests: it records and then ends, so that the
// library's exit sequence (and fork()) run for real.
//
//   xob_test_child send DEVICE COUNT PAYLOAD [RETRY_SLEEP_SECONDS]
//       queue COUNT entries of PAYLOAD bytes and return from main while the writer is at work
//   xob_test_child drain DEVICE COUNT PAYLOAD
//       the same without pauses between open attempts; return once the writer has ended (3: not in 20 s)
//   xob_test_child burst DEVICE BOARD PRODUCERS GAP_US exit|return
//       PRODUCERS threads (ids 1..) send tagged entries without end; once each has sent 400, the
//       process ends while they still run: by exit() on a producer thread, or by returning from main
//   xob_test_child fork DEVICE BOARD PRODUCERS EACH GAP_US CHILDREN CHILD_EACH
//       PRODUCERS threads send EACH entries while CHILDREN processes are forked one after another;
//       child c sends CHILD_EACH entries as producer 100 + c and exits
// BOARD is the file of counts (ChildBoard) that the test reads afterwards.
#include <xob/GXob.h>

#include "Eventually.h"
#include "Ledger.h"
#include "channel/RecordBuilder.h"
#include "platform/Seams.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace xobtest;

namespace {

unsigned g_retrySleepSeconds = 0;
void retrySleep(unsigned) { std::this_thread::sleep_for(std::chrono::seconds(g_retrySleepSeconds)); }

void send(int count, int payload) {
    const std::vector<std::uint8_t> filler(static_cast<std::size_t>(payload), 0x5A);
    for (int i = 0; i < count; ++i) {
        xob::RecordBuilder(0x409).u32le(static_cast<std::uint32_t>(i)).bytes(filler.data(), payload).send(true, 1);
    }
}

ChildBoard* g_board = nullptr;
std::atomic<bool> g_exitNow{false};

void pauseFor(int gapUs) {
    if (gapUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(gapUs));
}

int burst(unsigned producers, int gapUs, const std::string& how) {
    for (unsigned i = 0; i < producers; ++i) {
        std::thread([i, gapUs, how] {
            for (;;) {
                if (i == 0 && how == "exit" && g_exitNow) {
                    g_board->exitBeganNs = monotonicNs();
                    std::exit(0);
                }
                sendCounted(static_cast<std::uint8_t>(1 + i), g_board->producers[1 + i]);
                pauseFor(gapUs);
            }
        }).detach();
    }
    for (unsigned i = 0; i < producers; ++i) {
        if (!eventually([i] { return g_board->producers[1 + i].completed >= 400; }, std::chrono::seconds(60))) {
            std::fprintf(stderr, "producer %u did not get going\n", i + 1);
            return 3;
        }
    }
    if (how == "exit") {
        g_exitNow = true;
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));  // a producer ends the process
    }
    g_board->exitBeganNs = monotonicNs();
    return 0;
}

int forkUnderLoad(unsigned producers, std::uint32_t each, int gapUs, unsigned children, std::uint32_t childEach) {
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < producers; ++i) {
        threads.emplace_back([i, each, gapUs] {
            for (std::uint32_t n = 0; n < each; ++n) {
                sendCounted(static_cast<std::uint8_t>(1 + i), g_board->producers[1 + i]);
                pauseFor(gapUs);
            }
        });
    }
    std::vector<pid_t> pids;
    for (unsigned c = 0; c < children; ++c) {
        pauseFor(static_cast<int>(gapUs * each / (children + 1)));  // spread over the parent's burst
        const pid_t pid = fork();
        if (pid == 0) {
            for (std::uint32_t n = 0; n < childEach; ++n) {
                sendCounted(static_cast<std::uint8_t>(100 + c), g_board->producers[100 + c]);
            }
            std::exit(0);
        }
        if (pid > 0) pids.push_back(pid);
        g_board->forked += pid > 0 ? 1 : 0;
    }
    for (const pid_t pid : pids) {
        int status = 0;
        // A hung child must not outlive the run: it would hold the test's output open.
        if (!eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(60))) {
            std::fprintf(stderr, "child %d did not end in time; killed\n", static_cast<int>(pid));
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            ++g_board->cleanChildren;
        }
    }
    for (std::thread& thread : threads) thread.join();
    g_board->exitBeganNs = monotonicNs();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    xob::seams::setDevicePath(argc > 2 ? argv[2] : nullptr);
    const auto number = [argv](int at) { return std::atoi(argv[at]); };
    if (mode == "send" && (argc == 5 || argc == 6)) {
        if (argc == 6) {
            // A pause between open attempts long enough that an exit waiting for it shows.
            g_retrySleepSeconds = static_cast<unsigned>(number(5));
            xob::seams::setSleepHook(&retrySleep);
        }
        send(number(3), number(4));
        return 0;
    }
    if (mode == "drain" && argc == 5) {
        xob::seams::setSleepHook(&retrySleep);
        send(number(3), number(4));
        return waitForWriterIdle(20000) ? 0 : 3;
    }
    g_board = argc > 3 ? ChildBoard::map(argv[3], false) : nullptr;
    if (mode == "burst" && argc == 7 && g_board != nullptr) {
        return burst(static_cast<unsigned>(number(4)), number(5), argv[6]);
    }
    if (mode == "fork" && argc == 9 && g_board != nullptr) {
        return forkUnderLoad(static_cast<unsigned>(number(4)), static_cast<std::uint32_t>(number(5)), number(6),
                             static_cast<unsigned>(number(7)), static_cast<std::uint32_t>(number(8)));
    }
    std::fprintf(stderr, "usage: %s send|drain|burst|fork DEVICE ... (see its source)\n", argv[0]);
    return 2;
}
