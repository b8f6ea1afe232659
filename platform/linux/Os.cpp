// Linux (and other POSIX desks): the monotonic clock through clock_gettime, the system log through
// syslog(3) at LOG_DEBUG, and a device open that never blocks on a FIFO without a reader.
#include "platform/Os.h"

#include <xob/GXob.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
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

void sleepSeconds(unsigned seconds) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::SleepHook hook = seams::sleepHook()) {
        hook(seconds);
        return;
    }
#endif
    ::sleep(seconds);
}

const char* devicePath() noexcept {
#ifdef XOB_TEST_SEAMS
    if (const char* path = seams::devicePath()) {
        return path;
    }
#endif
    return XOB_DEVICE_PATH;
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

void closeDevice(int descriptor) noexcept { ::close(descriptor); }

void* allocateRecord(std::size_t size) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::AllocationHook hook = seams::allocationHook()) {
        return hook(size);
    }
#endif
    return std::malloc(size);
}

int startDetachedThread(void* (*routine)(void*)) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::ThreadStartHook hook = seams::threadStartHook()) {
        if (const int error = hook()) {
            return error;
        }
    }
#endif
    pthread_attr_t attributes;
    int error = pthread_attr_init(&attributes);
    if (error != 0) {
        return error;
    }
    error = pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (error == 0) {
        pthread_t thread;
        error = pthread_create(&thread, &attributes, routine, nullptr);
    }
    pthread_attr_destroy(&attributes);
    return error;
}

}  // namespace platform
}  // namespace xob
