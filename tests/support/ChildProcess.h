// Runs a test's helper program as a child process, bounded in time.
#ifndef XOB_TESTS_CHILDPROCESS_H
#define XOB_TESTS_CHILDPROCESS_H

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace xobtest {

struct ChildRun {
    bool exited = false;  // ended by itself (not killed at the time limit, not by a signal)
    int status = -1;      // its exit status, or -1 when it did not exit
    std::chrono::milliseconds elapsed{0};
    std::uint64_t endedNs = 0;  // CLOCK_MONOTONIC when it was seen to end
    std::string errors;         // its standard error, when `errorPath` was given
};

// CLOCK_MONOTONIC in nanoseconds, comparable between processes.
std::uint64_t monotonicNs();

// Starts `arguments` (the program first) in a process group of its own, with the test's environment plus `environment`
// ("NAME=value" each); -1 when it cannot be started. With `errorPath`, the child's standard error goes to that file;
// with `outFd`, its standard output is that descriptor.
pid_t startChild(std::vector<std::string> arguments, const std::string& errorPath = "",
                 const std::vector<std::string>& environment = {}, int outFd = -1);

// Waits for a started child; at `limit` the whole group is killed, so that nothing it forked
// outlives the test. With `errorPath`, the child's standard error comes back in `errors`.
ChildRun finishChild(pid_t pid, std::chrono::milliseconds limit, const std::string& errorPath = "");

ChildRun runChild(std::vector<std::string> arguments, std::chrono::milliseconds limit,
                  const std::string& errorPath = "", const std::vector<std::string>& environment = {});

}  // namespace xobtest

#endif
