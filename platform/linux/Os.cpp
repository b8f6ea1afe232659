// Linux (and other POSIX desks): the monotonic clock through clock_gettime, the system log through
// syslog(3) at LOG_DEBUG, and a device open that never blocks on a FIFO without a reader (the rest
// is in posix/).
#include "platform/Os.h"

#include <xob/GXob.h>

#include <cerrno>
#include <cstdarg>
#include <ctime>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <syslog.h>
#include <unistd.h>

#ifdef XOB_TEST_SEAMS
#include "platform/Seams.h"
#endif

namespace xob {
namespace platform {

// writeDevice relies on a FIFO taking a whole record in one write or none of it.
static_assert(sizeof(SClientToDevXob) <= PIPE_BUF, "a record fits in one atomic FIFO write");

bool monotonicNanoseconds(std::uint64_t& nanoseconds) noexcept {
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) {
        return false;
    }
    nanoseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                  static_cast<std::uint64_t>(now.tv_nsec);
    return true;
}

void systemLog(const char* format, ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    vsyslog(LOG_DEBUG, format, arguments);
    va_end(arguments);
}

int openDevice(int accessMode) noexcept {
    // A FIFO without a reader would block a plain open for write-only access forever; opened
    // non-blocking it fails at once (ENXIO), which is what an absent device looks like. The
    // descriptor stays non-blocking: writeDevice waits for room itself, which costs nothing while
    // the device keeps up, where switching the descriptor back would cost a call per record.
    return ::open(devicePath(), accessMode | O_NONBLOCK | O_CLOEXEC);
}

namespace {

ssize_t writeOnce(int descriptor, const void* data, std::size_t size) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::WriteHook hook = seams::writeHook()) {
        return hook(descriptor, data, size);
    }
#endif
    return ::write(descriptor, data, size);
}

}  // namespace

ssize_t writeDevice(int descriptor, const void* data, std::size_t size) noexcept {
    for (;;) {
        const ssize_t written = writeOnce(descriptor, data, size);
        if (written >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            return written;
        }
        // The device is full: wait for room, as a blocking write would. A record is shorter than
        // PIPE_BUF, so a FIFO takes all of it or none, and the retry writes the whole record.
        // An interrupted wait ends like an interrupted write (-1, EINTR).
        pollfd watched{descriptor, POLLOUT, 0};
        if (::poll(&watched, 1, -1) < 0) {
            return -1;
        }
    }
}

}  // namespace platform
}  // namespace xob
