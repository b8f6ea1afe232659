// Runs a test's helper program as a child process, bounded in time.
#ifndef XOB_TESTS_CHILDPROCESS_H
#define XOB_TESTS_CHILDPROCESS_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace xobtest {

struct ChildRun {
    bool exited = false;  // ended by itself (not killed at the time limit, not by a signal)
    int status = -1;      // its exit status, or -1 when it did not exit
    std::chrono::milliseconds elapsed{0};
    std::uint64_t endedNs = 0;  // CLOCK_MONOTONIC when it was seen to end
    std::string errors;         // its standard error, when `errorPath` was given
};

// Runs `arguments` (the program first) in a process group of its own; at `limit` the whole group
// is killed, so that nothing it forked outlives the test. With `errorPath`, the child's standard
// error goes to that file and comes back in `errors`.
ChildRun runChild(std::vector<std::string> arguments, std::chrono::milliseconds limit,
                  const std::string& errorPath = "");

// The two halves of runChild, for a child that the test works with while it runs: startChild
// returns its process id (-1 when it could not start); with `outFd`, the child's standard output
// is that descriptor. waitChild waits for it (counting `limit` from the call) and kills its group
// at the limit.
int startChild(std::vector<std::string> arguments, const std::string& errorPath = "", int outFd = -1);
ChildRun waitChild(int pid, std::chrono::milliseconds limit, const std::string& errorPath = "");

}  // namespace xobtest

#endif
