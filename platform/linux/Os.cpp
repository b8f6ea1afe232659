// Linux (and other POSIX desks): the monotonic clock through clock_gettime, the system log written
// by the library itself (see systemLog), and a device open that never blocks on a FIFO without a
// reader and takes nothing but a device (the rest is in posix/).
#include "platform/Os.h"

#include <xob/GXob.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// The system log. syslog(3) would block in send() while the log reader is stalled, and it takes
// locks of the C library (its own, and the time conversion's) that a fork() in another thread can
// leave held in the child for good. Instead each line is formatted on the stack in the datagram
// form syslog(3) sends ("<15>name[pid]: text", LOG_USER|LOG_DEBUG; the reader adds the time) and
// sent without waiting. All shared state is atomic, so that no thread, and no forked child, ever
// waits for another here.
namespace {

constexpr char kSystemLogSocket[] = "/dev/log";
constexpr int kLogPriority = LOG_USER | LOG_DEBUG;
constexpr std::uint64_t kReconnectPauseNanoseconds = 1000000000u;
constexpr std::size_t kLineSize = 1024;

// The socket is made at the first line and never closed, so that no thread can send on a descriptor
// that another has closed and the process has reused. A forked child shares it with its parent,
// which suits datagrams; its lines carry its own pid.
std::atomic<int> g_logSocket{-1};
// Whether the socket is connected to the log reader. One thread at a time connects; the others
// wait the few microseconds that a local connect takes, so that no send overlaps a connect.
enum LogState : int { kUnconnected, kConnecting, kConnected };
std::atomic<int> g_logState{kUnconnected};
std::atomic<std::uint64_t> g_nextConnectNanoseconds{0};  // after a failed connect, the next try
std::atomic<unsigned> g_linesLost{0};                    // since the last "were lost" line
std::atomic<std::uint64_t> g_waitDeadlineNanoseconds{0};  // set at exit: lines may wait till then

const char* logSocketPath() noexcept {
#ifdef XOB_TEST_SEAMS
    if (const char* path = seams::logSocketPath()) {
        return path;
    }
#endif
    return kSystemLogSocket;
}

int logSocket() noexcept {
    const int existing = g_logSocket.load(std::memory_order_acquire);
    if (existing >= 0) {
        return existing;
    }
    const int created = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (created < 0) {
        return -1;
    }
    int expected = -1;
    if (!g_logSocket.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) {
        ::close(created);  // another thread made one first
        return expected;
    }
    return created;
}

// Connects the socket (again) to the system log. After a failure the lines of the next second go
// without trying, so that a desk without a log socket does not pay for a connect per line.
bool connectLog(int descriptor) noexcept {
    std::uint64_t now = 0;
    monotonicNanoseconds(now);
    if (now < g_nextConnectNanoseconds.load(std::memory_order_relaxed)) {
        return false;
    }
    int state = kUnconnected;
    if (!g_logState.compare_exchange_strong(state, kConnecting, std::memory_order_acq_rel)) {
        for (int spins = 0; spins < 10000 && state == kConnecting; ++spins) {
            sched_yield();
            state = g_logState.load(std::memory_order_acquire);
        }
        return state == kConnected;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, logSocketPath(), sizeof address.sun_path - 1);
    const bool connected =
        ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (!connected) {
        g_nextConnectNanoseconds.store(now + kReconnectPauseNanoseconds, std::memory_order_relaxed);
    }
    g_logState.store(connected ? kConnected : kUnconnected, std::memory_order_release);
    return connected;
}

enum class Sent { Yes, Dropped, NoLog };

Sent sendToLog(const char* datagram, std::size_t length) noexcept {
    const int descriptor = logSocket();
    if (descriptor < 0) {
        return Sent::Dropped;
    }
    if (g_logState.load(std::memory_order_acquire) != kConnected && !connectLog(descriptor)) {
        return Sent::NoLog;
    }
    if (::send(descriptor, datagram, length, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
        return Sent::Yes;
    }
    // At exit only: wait for room until the deadline.
    for (std::uint64_t now = 0; (errno == EAGAIN || errno == EWOULDBLOCK) && monotonicNanoseconds(now) &&
                                now < g_waitDeadlineNanoseconds.load(std::memory_order_relaxed);) {
        const std::uint64_t left = g_waitDeadlineNanoseconds.load(std::memory_order_relaxed) - now;
        pollfd watched{descriptor, POLLOUT, 0};
        ::poll(&watched, 1, static_cast<int>(left / 1000000u) + 1);
        if (::send(descriptor, datagram, length, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            return Sent::Yes;
        }
    }
    if (errno == ECONNREFUSED || errno == ENOTCONN) {
        // The log reader went away, or was restarted on a new socket: connect again, once.
        int connected = kConnected;
        g_logState.compare_exchange_strong(connected, kUnconnected, std::memory_order_acq_rel);
        if (!connectLog(descriptor)) {
            return Sent::NoLog;
        }
        if (::send(descriptor, datagram, length, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            return Sent::Yes;
        }
    }
    return Sent::Dropped;  // the reader is behind (its queue is full): the line is counted
}

// Where there is no system log, the text and a newline go to standard error in one write, if it
// can take them without waiting.
bool writeToStandardError(const char* text, std::size_t length) noexcept {
    pollfd watched{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&watched, 1, 0) != 1 || (watched.revents & POLLOUT) == 0) {
        return false;
    }
    return ::write(STDERR_FILENO, text, length) == static_cast<ssize_t>(length);
}

// One line: `line` holds `length` bytes, a header of `header` bytes and the text, and has room for
// a newline after them. False when it could not be sent.
bool emitLine(char* line, std::size_t header, std::size_t length) noexcept {
    switch (sendToLog(line, length)) {
    case Sent::Yes:
        return true;
    case Sent::NoLog:
        line[length] = '\n';
        return writeToStandardError(line + header, length + 1 - header);
    case Sent::Dropped:
        break;
    }
    return false;
}

// Formats "<15>name[pid]: " and the text into `line`, keeping a byte free for a newline; returns
// the length and sets `header` to the header's.
std::size_t formatLine(char* line, std::size_t& header, const char* format, va_list arguments) noexcept {
    const int written = std::snprintf(line, kLineSize, "<%d>%s[%d]: ", kLogPriority,
                                      program_invocation_short_name, static_cast<int>(::getpid()));
    header = written > 0 && static_cast<std::size_t>(written) < kLineSize / 2 ? static_cast<std::size_t>(written) : 0;
    const std::size_t room = kLineSize - 1 - header;
    const int text = std::vsnprintf(line + header, room, format, arguments);
    if (text <= 0) {
        return header;
    }
    return header + (static_cast<std::size_t>(text) < room ? static_cast<std::size_t>(text) : room - 1);
}

bool emitFormatted(const char* format, va_list arguments) noexcept {
    char line[kLineSize];
    std::size_t header = 0;
    const std::size_t length = formatLine(line, header, format, arguments);
    return emitLine(line, header, length);
}

bool emitFormatted(const char* format, ...) noexcept __attribute__((format(printf, 1, 2)));
bool emitFormatted(const char* format, ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    const bool sent = emitFormatted(format, arguments);
    va_end(arguments);
    return sent;
}

// Sends the count of the lines lost since the last such report, if any; false (the count kept)
// when that line could not be sent either.
bool reportLostLines() noexcept {
    const unsigned lost = g_linesLost.exchange(0, std::memory_order_relaxed);
    if (lost != 0 && !emitFormatted("XOB: %u system-log lines were lost", lost)) {
        g_linesLost.fetch_add(lost, std::memory_order_relaxed);
        return false;
    }
    return true;
}

// True unless the log reader is known to have no room now (checked only while lines are being
// lost: a refused send costs more than the look, since the kernel builds the datagram first).
bool logHasRoom() noexcept {
    const int descriptor = g_logSocket.load(std::memory_order_acquire);
    if (descriptor < 0 || g_logState.load(std::memory_order_acquire) != kConnected) {
        return true;
    }
    pollfd watched{descriptor, POLLOUT, 0};
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLOUT) != 0;
}

}  // namespace

void systemLog(const char* format, ...) noexcept {
    if (g_linesLost.load(std::memory_order_relaxed) != 0) {
        std::uint64_t now = 0;
        if (!logHasRoom() && !(monotonicNanoseconds(now) && now < g_waitDeadlineNanoseconds.load())) {
            g_linesLost.fetch_add(1, std::memory_order_relaxed);  // still behind: count it at once
            return;
        }
        if (!reportLostLines()) {
            g_linesLost.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    }
    va_list arguments;
    va_start(arguments, format);
    const bool sent = emitFormatted(format, arguments);
    va_end(arguments);
    if (!sent) {
        g_linesLost.fetch_add(1, std::memory_order_relaxed);
    }
}

void systemLogFinish(unsigned milliseconds) noexcept {
    std::uint64_t now = 0;
    monotonicNanoseconds(now);
    g_waitDeadlineNanoseconds.store(now + std::uint64_t{milliseconds} * 1000000u, std::memory_order_relaxed);
    reportLostLines();
}

int openDevice(DeviceAccess access, DeviceCheck check) noexcept {
    const int accessMode = access == DeviceAccess::WriteOnly ? O_WRONLY : O_RDWR;
    // A FIFO without a reader would block a plain open for write-only access forever; opened
    // non-blocking it fails at once (ENXIO), which is what an absent device looks like. The
    // descriptor stays non-blocking: writeDevice waits for room itself, which costs nothing while
    // the device keeps up, where switching the descriptor back would cost a call per record.
    // Neither O_CREAT nor O_TRUNC: opening never makes or changes what is at the path, and what is
    // not a device (a FIFO, a character device or a socket) is closed at once, unwritten.
    const int descriptor = ::open(devicePath(), accessMode | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0 || check == DeviceCheck::Trust) {
        return descriptor;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 ||
        !(S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode))) {
        ::close(descriptor);
        errno = ENODEV;
        return -1;
    }
    return descriptor;
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
