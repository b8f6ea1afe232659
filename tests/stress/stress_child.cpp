// Child process of the stress tests: bursts of entries from several threads, ended by the process's
// exit in the middle of the burst, and fork() under load. It counts every entry call on the board
// (ChildBoard.h) that its test reads afterwards.
//
//   xob_stress_child burst DEVICE BOARD PRODUCERS GAP_US HOW
//       PRODUCERS threads (ids 1..) send entries without end, GAP_US apart. Once each has sent 400,
//       the process ends while they still run: HOW "exit" calls exit() on one of the producer
//       threads, HOW "return" returns from main.
//   xob_stress_child fork DEVICE BOARD PRODUCERS EACH GAP_US CHILDREN CHILD_EACH
//       PRODUCERS threads send EACH entries, GAP_US apart; meanwhile CHILDREN processes are forked
//       one after another, child c sends CHILD_EACH entries as producer 100 + c and calls exit().
//       The process returns from main once the children have ended and the producers are done.
#include "ChildBoard.h"
#include "StressRecords.h"
#include "platform/Seams.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace xobstress;

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

ChildBoard* g_board = nullptr;
std::atomic<bool> g_exitNow{false};

void sendOne(std::uint8_t id, std::uint32_t sequence) {
    g_board->attempted[id].store(sequence + 1);
    sendEntry(makeTag(id, sequence));
    g_board->completed[id].store(sequence + 1);
}

void pauseFor(std::chrono::microseconds gap) {
    if (gap.count() > 0) {
        std::this_thread::sleep_for(gap);
    }
}

int burst(unsigned producers, std::chrono::microseconds gap, const std::string& how) {
    for (unsigned i = 0; i < producers; ++i) {
        std::thread([i, gap, how] {
            const std::uint8_t id = static_cast<std::uint8_t>(1 + i);
            for (std::uint32_t sequence = 0; sequence + 1 < kSequences; ++sequence) {
                if (i == 0 && how == "exit" && g_exitNow) {
                    g_board->exitBegan.store(monotonicNs());
                    std::exit(0);
                }
                sendOne(id, sequence);
                pauseFor(gap);
            }
        }).detach();
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    for (unsigned i = 0; i < producers; ++i) {
        while (g_board->completed[1 + i].load() < 400) {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "producer %u did not get going\n", i + 1);
                return 3;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (how == "exit") {
        g_exitNow = true;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));  // the producer ends the process
        }
    }
    g_board->exitBegan.store(monotonicNs());
    return 0;
}

// The forked children, reaped as they end by a thread of their own, so that each one's time from
// fork to end is measured while the others are still being forked.
class Reaper {
public:
    Reaper() : m_thread([this] { run(); }) {}
    ~Reaper() { m_thread.join(); }

    void add(pid_t pid, std::uint64_t forkedNs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_children.push_back({pid, forkedNs});
    }
    // No more children will be added; the thread ends once all are reaped. Those still running
    // after `limit` are killed (and not counted clean).
    void finish(std::chrono::seconds limit) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deadline = Clock::now() + limit;
        m_finishing = true;
    }

private:
    struct Child {
        pid_t pid;
        std::uint64_t forkedNs;
    };

    void run() {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (auto child = m_children.begin(); child != m_children.end();) {
                    int status = 0;
                    if (waitpid(child->pid, &status, WNOHANG) != child->pid) {
                        ++child;
                        continue;
                    }
                    const std::uint64_t took = monotonicNs() - child->forkedNs;
                    if (took > g_board->longestChildNs.load()) {
                        g_board->longestChildNs.store(took);
                    }
                    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                        ++g_board->cleanChildren;
                    }
                    child = m_children.erase(child);
                }
                if (m_finishing && !m_children.empty() && Clock::now() > m_deadline) {
                    // A hung child must not outlive the run: it would keep the test's output
                    // open, and the runner would wait for it long after the verdict.
                    for (const Child& child : m_children) {
                        std::fprintf(stderr, "child %d did not end in time; killed\n", static_cast<int>(child.pid));
                        kill(child.pid, SIGKILL);
                        waitpid(child.pid, nullptr, 0);
                    }
                    m_children.clear();
                }
                if (m_finishing && m_children.empty()) {
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::mutex m_mutex;
    std::vector<Child> m_children;
    bool m_finishing = false;
    Clock::time_point m_deadline;
    std::thread m_thread;
};

int forkUnderLoad(unsigned producers, std::uint32_t each, std::chrono::microseconds gap, unsigned children,
                  std::uint32_t childEach) {
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < producers; ++i) {
        threads.emplace_back([i, each, gap] {
            for (std::uint32_t sequence = 0; sequence < each; ++sequence) {
                sendOne(static_cast<std::uint8_t>(1 + i), sequence);
                pauseFor(gap);
            }
        });
    }
    // Spread the forks over the parent's burst.
    const auto spacing = gap * each / (children + 1);
    Reaper reaper;
    for (unsigned c = 0; c < children; ++c) {
        std::this_thread::sleep_for(spacing);
        const std::uint64_t at = monotonicNs();
        const pid_t pid = fork();
        if (pid == 0) {
            const std::uint8_t id = static_cast<std::uint8_t>(100 + c);
            for (std::uint32_t sequence = 0; sequence < childEach; ++sequence) {
                sendOne(id, sequence);
            }
            std::exit(0);
        }
        if (pid > 0) {
            reaper.add(pid, at);
            ++g_board->forked;
        }
    }
    reaper.finish(std::chrono::seconds(60));
    for (std::thread& thread : threads) {
        thread.join();
    }
    g_board->exitBegan.store(monotonicNs());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "burst" && argc == 7) || (mode == "fork" && argc == 9)) {
        xob::seams::setDevicePath(argv[2]);
        g_board = ChildBoard::map(argv[3], false);
        if (g_board == nullptr) {
            std::fprintf(stderr, "cannot map the board %s\n", argv[3]);
            return 2;
        }
        const unsigned producers = static_cast<unsigned>(std::atoi(argv[4]));
        if (mode == "burst") {
            return burst(producers, std::chrono::microseconds(std::atoi(argv[5])), argv[6]);
        }
        return forkUnderLoad(producers, static_cast<std::uint32_t>(std::atoi(argv[5])),
                             std::chrono::microseconds(std::atoi(argv[6])), static_cast<unsigned>(std::atoi(argv[7])),
                             static_cast<std::uint32_t>(std::atoi(argv[8])));
    }
    std::fprintf(stderr,
                 "usage: %s burst DEVICE BOARD PRODUCERS GAP_US exit|return\n"
                 "       %s fork DEVICE BOARD PRODUCERS EACH GAP_US CHILDREN CHILD_EACH\n",
                 argv[0], argv[0]);
    return 2;
}
