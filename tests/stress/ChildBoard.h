// ChildBoard: what a child process of the stress tests tells its test, through a file that both map.
// The child counts each producer's entry calls as it makes them, so the test knows what was sent
// even when the child ends in the middle of a call. The test reads the board once the child (and
// any process it forked) has ended.
#ifndef XOB_TESTS_CHILDBOARD_H
#define XOB_TESTS_CHILDBOARD_H

#include <atomic>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace xobstress {

struct ChildBoard {
    // Per producer id: entry calls begun and returned.
    std::atomic<std::uint32_t> attempted[256];
    std::atomic<std::uint32_t> completed[256];
    // Monotonic clock (ns) when the child began to exit.
    std::atomic<std::uint64_t> exitBegan;
    // Fork runs: children forked, children that exited with status 0 in time, and the longest
    // time (ns) from a child's fork to its end.
    std::atomic<std::uint32_t> forked;
    std::atomic<std::uint32_t> cleanChildren;
    std::atomic<std::uint64_t> longestChildNs;

    // Maps the board file at `path`; `create` makes it (zeroed) first. Null on failure.
    static ChildBoard* map(const std::string& path, bool create) {
        const int file = open(path.c_str(), create ? O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC : O_RDWR | O_CLOEXEC, 0600);
        if (file < 0) {
            return nullptr;
        }
        if (create && ftruncate(file, sizeof(ChildBoard)) != 0) {
            close(file);
            return nullptr;
        }
        void* memory = mmap(nullptr, sizeof(ChildBoard), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
        close(file);
        return memory == MAP_FAILED ? nullptr : static_cast<ChildBoard*>(memory);
    }
    static void unmap(ChildBoard* board) { munmap(board, sizeof(ChildBoard)); }
};

static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "the board is shared between processes");

}  // namespace xobstress

#endif
