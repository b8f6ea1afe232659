// QNX Neutrino: ClockTime on the monotonic clock, slogf with the transport's operation code and
// severity, and the device reached over the network file system (the rest is in posix/). CI checks
// this branch for syntax only (tests/qnx_syntax_check.sh, against declaration stand-ins of the QNX
// headers); nothing here is built or run there, so keep it this small.
#include "platform/Os.h"

#include <cstdarg>
#include <fcntl.h>
#include <sys/neutrino.h>
#include <sys/slog.h>
#include <time.h>
#include <unistd.h>

namespace xob {
namespace platform {

namespace {
constexpr int kSlogOpcode = 10000;
constexpr int kSlogSeverity = 6;  // _SLOG_DEBUG1
}  // namespace

bool monotonicNanoseconds(std::uint64_t& nanoseconds) noexcept {
    _Uint64t now = 0;
    if (ClockTime(CLOCK_MONOTONIC, nullptr, &now) == -1) {
        return false;
    }
    nanoseconds = now;
    return true;
}

void systemLog(const char* format, ...) noexcept {
    va_list arguments;
    va_start(arguments, format);
    vslogf(kSlogOpcode, kSlogSeverity, format, arguments);
    va_end(arguments);
}

void systemLogFinish(unsigned) noexcept {}

int openDevice(DeviceAccess access, DeviceCheck) noexcept {
    return ::open(devicePath(), (access == DeviceAccess::WriteOnly ? O_WRONLY : O_RDWR) | O_CLOEXEC);
}

ssize_t writeDevice(int descriptor, const void* data, std::size_t size) noexcept {
    return ::write(descriptor, data, size);
}

}  // namespace platform
}  // namespace xob
