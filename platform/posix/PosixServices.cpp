// The services that QNX and Linux provide alike through POSIX: sleeping, the device's path, its
// read, wait and close, a device write that raises no signal, the record copies' memory, the
// detached writer thread and the fork handlers. The test variant of the library can replace several of them through its seams.
#include "platform/Os.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#ifdef XOB_TEST_SEAMS
#include "platform/Seams.h"
#endif

namespace xob {
namespace platform {

void sleepSeconds(unsigned seconds) noexcept {
#ifdef XOB_TEST_SEAMS
    if (seams::SleepHook hook = seams::sleepHook()) {
        hook(seconds);
        return;
    }
#endif
    // To an absolute deadline on the monotonic clock: a signal that cuts the sleep short only
    // makes it go on for the time that is left.
    timespec deadline{};
    if (clock_gettime(CLOCK_MONOTONIC, &deadline) != 0) {
        ::sleep(seconds);
        return;
    }
    deadline.tv_sec += static_cast<time_t>(seconds);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

void pauseMilliseconds(unsigned milliseconds) noexcept {
    const timespec pause{0, static_cast<long>(milliseconds) * 1000000L};
    nanosleep(&pause, nullptr);
}

const char* devicePath() noexcept {
#ifdef XOB_TEST_SEAMS
    if (const char* path = seams::devicePath()) {
        return path;
    }
#endif
    return XOB_DEVICE_PATH;
}

// poll() rather than select(), so that any descriptor number works; a descriptor that is not
// open fails the wait, as it would with select().
Readiness waitReadable(int descriptor, int milliseconds) noexcept {
    pollfd watched{descriptor, POLLIN, 0};
    const int ready = ::poll(&watched, 1, milliseconds);
    if (ready < 0 || (ready > 0 && (watched.revents & POLLNVAL) != 0)) {
        return Readiness::Failed;
    }
    return ready == 0 ? Readiness::TimedOut : Readiness::Ready;
}

ssize_t readDevice(int descriptor, void* data, std::size_t size) noexcept {
    return ::read(descriptor, data, size);
}

void closeDevice(int descriptor) noexcept { ::close(descriptor); }

ssize_t writeDeviceWithoutSignal(int descriptor, const void* data, std::size_t size) noexcept {
    // SIGPIPE is blocked around the write, so that one the write raises stays pending instead of
    // ending the process. Only that one is then taken back: a SIGPIPE already pending before the
    // write was the caller's and stays (the two cannot be told apart once merged, so none is taken).
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t callerMask;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &callerMask);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;

    const ssize_t written = writeDevice(descriptor, data, size);
    const int writeError = errno;

    if (written < 0 && writeError == EPIPE && !pendingBefore) {
        sigemptyset(&pending);
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            const timespec noWait{0, 0};
            while (sigtimedwait(&pipeSignal, nullptr, &noWait) < 0 && errno == EINTR) {
            }
        }
    }
    pthread_sigmask(SIG_SETMASK, &callerMask, nullptr);
    errno = writeError;
    return written;
}

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
        // A new thread inherits its creator's signal mask: block everything asynchronous for the
        // moment of the creation, so that the thread runs with it from its first instruction. The
        // signals of faults stay open, so that a fault in the thread ends the process as it should.
        sigset_t blocked;
        sigfillset(&blocked);
        for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) {
            sigdelset(&blocked, fault);
        }
        sigset_t creatorMask;
        pthread_sigmask(SIG_SETMASK, &blocked, &creatorMask);
        pthread_t thread;
        error = pthread_create(&thread, &attributes, routine, nullptr);
        pthread_sigmask(SIG_SETMASK, &creatorMask, nullptr);
    }
    pthread_attr_destroy(&attributes);
    return error;
}

int registerForkHandlers(void (*prepare)(), void (*parent)(), void (*child)()) noexcept {
    return pthread_atfork(prepare, parent, child);
}

}  // namespace platform
}  // namespace xob
