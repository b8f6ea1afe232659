// The operating-system services the recorder channel uses: the monotonic clock, the system log,
// sleeping, the recorder device, detached threads and fork handlers (the transport's lock is in
// Mutex.h). What differs per platform lives beside this header in qnx/ and linux/, what POSIX gives
// both in posix/; channel/ reaches the OS through these functions alone.
#ifndef XOB_PLATFORM_OS_H
#define XOB_PLATFORM_OS_H

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace xob {
namespace platform {

// Nanoseconds of the monotonic clock; false when the clock cannot be read.
bool monotonicNanoseconds(std::uint64_t& nanoseconds) noexcept;

// One line in the system log at the transport's level (QNX: slogf with operation code 10000 and
// severity 6; Linux: a datagram to the system log socket at LOG_USER|LOG_DEBUG, sent without
// waiting and without any lock, so that it is safe at any moment, across fork() included; lines
// that cannot be sent are counted and the count goes ahead of the next line that gets through;
// with no log socket at all, the line goes to standard error).
void systemLog(const char* format, ...) noexcept __attribute__((format(printf, 1, 2)));

// For the end of the process: from now on, for `milliseconds` at most, lines wait for the log
// reader to make room instead of being dropped; and the count of lines lost so far is sent at
// once. (QNX: nothing to do.)
void systemLogFinish(unsigned milliseconds) noexcept;

// Sleeps the whole time even when signals interrupt the sleep.
void sleepSeconds(unsigned seconds) noexcept;

// A short pause of about `milliseconds` (below 1000); a signal may end it early.
void pauseMilliseconds(unsigned milliseconds) noexcept;

// The recorder device: its path, and open/write/read/close on it. openDevice never blocks waiting
// for the other side of the device to appear; it returns -1 (with errno) when the device is absent.
// Where the platform checks what it opened (Linux: a FIFO, character device or socket, nothing
// else), DeviceCheck::Trust skips that check, a system call, for a caller that saw the same path
// pass it moments ago; what is not a device fails with ENODEV.
enum class DeviceAccess { WriteOnly, ReadWrite };
enum class DeviceCheck { Verify, Trust };
const char* devicePath() noexcept;
int openDevice(DeviceAccess access, DeviceCheck check = DeviceCheck::Verify) noexcept;
ssize_t writeDevice(int descriptor, const void* data, std::size_t size) noexcept;
// writeDevice on the caller's own thread: a write that finds the other side gone fails with EPIPE
// but raises no SIGPIPE in the caller; its signal mask and pending signals stay as they were.
ssize_t writeDeviceWithoutSignal(int descriptor, const void* data, std::size_t size) noexcept;
// Waits until `descriptor` has something to read, `milliseconds` at most: Ready, TimedOut, or
// Failed (the wait failed, or the descriptor is not open). Any descriptor number works.
enum class Readiness { Ready, TimedOut, Failed };
Readiness waitReadable(int descriptor, int milliseconds) noexcept;
ssize_t readDevice(int descriptor, void* data, std::size_t size) noexcept;
void closeDevice(int descriptor) noexcept;

// Memory for one queued record copy (std::malloc; null when there is none).
void* allocateRecord(std::size_t size) noexcept;

// Starts a detached thread running `routine(nullptr)` with every asynchronous signal blocked for
// its whole life (the process's signals are the application's, for its own threads to take); 0 or
// the error number of the failure.
int startDetachedThread(void* (*routine)(void*)) noexcept;

// Registers the handlers fork() runs in the forking thread before the fork, and after it in the
// parent and in the child; 0 or the error number of the failure.
int registerForkHandlers(void (*prepare)(), void (*parent)(), void (*child)()) noexcept;

}  // namespace platform
}  // namespace xob

#endif
