#include "SyslogCapture.h"

#include "DeviceStandIn.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace xobtest {
namespace {

const char kSystemSocket[] = "/dev/log";

int bindDatagramSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// True when something answers on the socket at `path`.
bool isServed(const char* path) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    const bool served = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return served;
}

}  // namespace

SyslogCapture& SyslogCapture::instance() {
    static SyslogCapture capture;
    return capture;
}

void SyslogCapture::install() {
    SyslogCapture& self = instance();
    struct stat existing {};
    const bool exists = lstat(kSystemSocket, &existing) == 0;
    if (exists && S_ISSOCK(existing.st_mode) && !isServed(kSystemSocket)) {
        unlink(kSystemSocket);  // left behind by an earlier run
    } else if (exists) {
        // Served by someone else: serve a private socket mounted over it, in our own namespace.
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            self.m_reason = std::string("/dev/log is in use and no private mount namespace: ") + std::strerror(errno);
            return;
        }
        self.m_path = makeTempDir() + "/log";
        self.m_socket = bindDatagramSocket(self.m_path);
        if (self.m_socket < 0 || mount(self.m_path.c_str(), kSystemSocket, nullptr, MS_BIND, nullptr) != 0) {
            self.m_reason = std::string("cannot mount a private /dev/log: ") + std::strerror(errno);
            if (self.m_socket >= 0) {
                close(self.m_socket);
                self.m_socket = -1;
            }
        }
        return;
    }
    self.m_path = kSystemSocket;
    self.m_socket = bindDatagramSocket(self.m_path);
    if (self.m_socket < 0) {
        self.m_reason = std::string("cannot bind /dev/log: ") + std::strerror(errno);
        return;
    }
    self.m_unlinkAtExit = true;
}

SyslogCapture::~SyslogCapture() {
    if (m_socket >= 0) {
        close(m_socket);
    }
    if (!m_path.empty()) {
        unlink(m_path.c_str());
    }
}

void SyslogCapture::drain(int timeoutMs) {
    pollfd watched{m_socket, POLLIN, 0};
    if (poll(&watched, 1, timeoutMs) <= 0) {
        return;
    }
    char datagram[4096];
    for (;;) {
        const ssize_t got = recv(m_socket, datagram, sizeof datagram - 1, MSG_DONTWAIT);
        if (got <= 0) {
            return;
        }
        std::string line(datagram, static_cast<std::size_t>(got));
        // "<PRI>Mmm dd hh:mm:ss program: message" (program may carry "[pid]").
        const std::string marker = std::string(program_invocation_short_name);
        std::size_t at = line.find(marker);
        if (at == std::string::npos) {
            continue;  // another program's line
        }
        at = line.find(": ", at);
        if (at != std::string::npos) {
            m_lines.push_back(line.substr(at + 2));
        }
    }
}

void SyslogCapture::clear() {
    if (m_socket >= 0) {
        drain(0);
    }
    m_lines.clear();
}

std::vector<std::string> SyslogCapture::lines(std::size_t atLeast, int timeoutMs) {
    if (m_socket < 0) {
        return {};
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    drain(0);
    while (m_lines.size() < atLeast && std::chrono::steady_clock::now() < deadline) {
        drain(10);
    }
    return m_lines;
}

std::size_t SyslogCapture::countStartingWith(const std::string& prefix, std::size_t expected, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::size_t count = 0;
        for (const std::string& line : lines()) {
            count += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        }
        if (count >= expected || std::chrono::steady_clock::now() >= deadline) {
            return count;
        }
        drain(10);
    }
}

}  // namespace xobtest
