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
            return;
        }
        self.start();
        return;
    }
    self.m_path = kSystemSocket;
    self.m_socket = bindDatagramSocket(self.m_path);
    if (self.m_socket < 0) {
        self.m_reason = std::string("cannot bind /dev/log: ") + std::strerror(errno);
        return;
    }
    self.start();
}

SyslogCapture::~SyslogCapture() {
    if (m_receiver.joinable()) {
        m_stop = true;
        m_receiver.join();
    }
    if (m_socket >= 0) {
        close(m_socket);
    }
    if (!m_path.empty()) {
        unlink(m_path.c_str());
    }
}

void SyslogCapture::acceptProgram(const std::string& program) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_programs.push_back(program);
}

void SyslogCapture::start() {
    m_programs.push_back(program_invocation_short_name);
    m_receiver = std::thread([this] { receive(); });
}

void SyslogCapture::receive() {
    // "<PRI>Mmm dd hh:mm:ss program: message" (program may carry "[pid]").
    char datagram[4096];
    while (!m_stop) {
        pollfd watched{m_socket, POLLIN, 0};
        if (poll(&watched, 1, 20) <= 0) {
            continue;
        }
        const ssize_t got = recv(m_socket, datagram, sizeof datagram, MSG_DONTWAIT);
        if (got <= 0) {
            continue;
        }
        const std::string line(datagram, static_cast<std::size_t>(got));
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& program : m_programs) {
            std::size_t at = line.find(" " + program);
            if (at != std::string::npos && (at = line.find(": ", at)) != std::string::npos) {
                m_lines.push_back(line.substr(at + 2));
                break;
            }
        }
        m_received.notify_all();
    }
}

void SyslogCapture::clear() {
    // Lines already sent are in the socket or being read: give them a moment to land first.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}

std::vector<std::string> SyslogCapture::lines(std::size_t atLeast, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_received.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_lines.size() >= atLeast; });
    return m_lines;
}

std::size_t SyslogCapture::countStartingWith(const std::string& prefix, std::size_t expected, int timeoutMs) {
    const auto count = [&] {
        std::size_t n = 0;
        for (const std::string& line : m_lines) {
            n += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        }
        return n;
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    m_received.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return count() >= expected; });
    return count();
}

}  // namespace xobtest
