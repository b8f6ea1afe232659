// The child program of the lifetime and stress tests: it records and then ends, so that the library's exit sequence
// (and fork()) run for real. BOARD is the file of counts (ChildBoard) that the test reads afterwards.
//   send|drain DEVICE COUNT PAYLOAD RETRY_SLEEP_SECONDS: queues COUNT entries of PAYLOAD bytes, the writer pausing as
//       given between open attempts; send returns from main at once, drain once the writer has ended (3: not in 20 s)
//   burst DEVICE BOARD exit|return: 4 threads (ids 1..) send tagged entries without end; once each has sent 400, the
//       process ends under them, by exit() on another thread or by returning from main
//   fork DEVICE BOARD: 3 threads send a burst while processes are forked one after another; child c sends 100 entries
//       (within the ring: none is ever refused) as producer 100 + c and exits (4: not every child ended well)
// The paces and counts are this run's (pick()).
#include "Ledger.h"
#include "TestKit.h"
#include "channel/RecordBuilder.h"
#include "platform/Seams.h"

using namespace xobtest;

unsigned g_retrySleepSeconds = 0;
void retrySleep(unsigned) { std::this_thread::sleep_for(std::chrono::seconds(g_retrySleepSeconds)); }

int burst(ChildBoard& board, unsigned producers, unsigned gapUs, const std::string& how) {
    // Never joined: the process ends under them.
    [[maybe_unused]] static Producers* const running =
        new Producers(1, producers, kSequences, std::chrono::microseconds(gapUs), board.producers);
    for (unsigned i = 1; i <= producers; ++i) {
        if (!eventually([&] { return board.producers[i].completed >= 400; }, std::chrono::seconds(60))) return 3;
    }
    board.exitBeganNs = monotonicNs();
    if (how == "exit") std::thread([] { std::exit(0); }).join();
    return 0;
}

int forkUnderLoad(ChildBoard& board) {
    const unsigned gapUs = pick(300, 300, 1500, 3000), each = pick(20000, 6000, 1500, 0), children = pick(24, 8, 6, 0);
    Producers threads(1, 3, each, std::chrono::microseconds(gapUs), board.producers);
    std::vector<pid_t> pids;
    unsigned clean = 0;
    for (unsigned c = 0; c < children; ++c) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs * each / (children + 1)));  // spread over the burst
        const pid_t pid = fork();
        if (pid == 0) {
            alarm(60);  // a hung child must not outlive the run: it would hold the test's output open
            for (int n = 0; n < 100; ++n) sendCounted(static_cast<std::uint8_t>(100 + c), board.producers[100 + c]);
            std::exit(0);
        }
        if (pid > 0) pids.push_back(pid);
    }
    for (const pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        clean += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    threads.join();
    board.exitBeganNs = monotonicNs();
    return clean == children ? 0 : 4;
}

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    xob::seams::setDevicePath(argc > 2 ? argv[2] : nullptr);
    const auto number = [argv](int at) { return static_cast<unsigned>(std::atoi(argv[at])); };
    if ((mode == "send" || mode == "drain") && argc == 6) {
        close(STDIN_FILENO);  // the device gets descriptor 0, which is as good as any
        g_retrySleepSeconds = number(5);  // long enough, an exit waiting for the writer shows
        xob::seams::setSleepHook(&retrySleep);
        for (std::uint32_t i = 0; i < number(3); ++i) xob::RecordBuilder(0x409).u32le(i).gap(number(4)).send(true, 1);
        return mode == "send" || waitForWriterIdle(20000) ? 0 : 3;
    }
    ChildBoard* board = argc > 3 ? ChildBoard::map(argv[3]) : nullptr;
    if (mode == "burst" && argc == 5 && board != nullptr) return burst(*board, 4, pick(20, 20, 50, 100), argv[4]);
    if (mode == "fork" && argc == 4 && board != nullptr) return forkUnderLoad(*board);
    std::fprintf(stderr, "usage: %s send|drain|burst|fork DEVICE ... (see its source)\n", argv[0]);
    return 2;
}
