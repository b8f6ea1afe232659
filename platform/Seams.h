// Test seams of the library's test variant (built with XOB_TEST_SEAMS). They let tests run the
// real transport against a FIFO of their own, without real one-second sleeps, and inject the
// failures that a desk cannot produce on demand. The production library has none of this.
#ifndef XOB_PLATFORM_SEAMS_H
#define XOB_PLATFORM_SEAMS_H

#include <xob/Export.h>

#include <cstddef>
#include <sys/types.h>

namespace xob {
namespace seams {

using SleepHook = void (*)(unsigned seconds);
using WriteHook = ssize_t (*)(int descriptor, const void* data, std::size_t size);
using ThreadStartHook = int (*)();  // returns 0 to go on, or an error number to fail the start
using AllocationHook = void* (*)(std::size_t size);  // stands in for malloc of a record copy

// Null restores the default (the configured device path, real sleep, real write, real start).
XOB_EXPORT void setDevicePath(const char* path) noexcept;
XOB_EXPORT void setSleepHook(SleepHook hook) noexcept;
XOB_EXPORT void setWriteHook(WriteHook hook) noexcept;
XOB_EXPORT void setThreadStartHook(ThreadStartHook hook) noexcept;
XOB_EXPORT void setAllocationHook(AllocationHook hook) noexcept;

// The system log socket of the test variant: the path in the environment variable
// XOBTEST_LOG_SOCKET, read once, when the first line is sent; null (the system's socket) without it.
// An environment variable rather than a setter, so that the test's child processes use it too.
constexpr const char* kLogSocketVariable = "XOBTEST_LOG_SOCKET";

// Used by the platform layer.
const char* devicePath() noexcept;
const char* logSocketPath() noexcept;
SleepHook sleepHook() noexcept;
WriteHook writeHook() noexcept;
ThreadStartHook threadStartHook() noexcept;
AllocationHook allocationHook() noexcept;

}  // namespace seams
}  // namespace xob

#endif
