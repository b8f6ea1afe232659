#include "TestKit.h"

#include "platform/Seams.h"

#include <sys/socket.h>
#include <sys/un.h>

namespace xobtest {

namespace {

// The marker: an entry that the library refuses for its payload length (-1, -2, ...) and reports.
const char kMarker[] = "XOB: Invalid payload length %d. LogEntry is Lost! (functionId: '0x7FF')";
const char kLinesLost[] = " system-log lines were lost";

std::string markerLine(int length) {
    char line[128];
    std::snprintf(line, sizeof line, kMarker, length);
    return line;
}

}  // namespace

SyslogCapture& SyslogCapture::instance() {
    static SyslogCapture capture;
    return capture;
}

void SyslogCapture::install() {
    SyslogCapture& self = instance();
    self.m_dir = makeTempDir();
    self.m_path = self.m_dir + "/log";
    self.m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, self.m_path.c_str(), sizeof address.sun_path - 1);
    if (bind(self.m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        self.m_reason = "cannot bind " + self.m_path + ": " + std::strerror(errno);
        close(self.m_socket);  // also when socket() failed: close(-1) does nothing
        self.m_socket = -1;
        return;
    }
    const timeval wake{0, 20000};  // the receiver looks at m_stop between reads
    setsockopt(self.m_socket, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    setenv(xob::seams::kLogSocketVariable, self.m_path.c_str(), 1);
    self.m_receiver = std::thread([&self] { self.receive(); });
}

SyslogCapture::~SyslogCapture() {
    m_stop = true;
    if (m_receiver.joinable()) m_receiver.join();
    if (m_socket >= 0) close(m_socket);
    unlink(m_path.c_str());
    rmdir(m_dir.c_str());
}

void SyslogCapture::receive() {
    char datagram[4096];  // "<PRI>name[pid]: message", perhaps with a time after the priority
    for (ssize_t got; !m_stop;) {
        if (m_paused) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else if ((got = recv(m_socket, datagram, sizeof datagram, 0)) > 0) {  // else a time-out or a signal
            const std::string line(datagram, static_cast<std::size_t>(got));
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(line.find(": ") == std::string::npos ? line : line.substr(line.find(": ") + 2));
            m_received.notify_all();
        }
    }
}

void SyslogCapture::clear() {
    settle();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}

bool SyslogCapture::isSettleLine(const std::string& line) {
    int length = 0;
    return (std::sscanf(line.c_str(), kMarker, &length) == 1 && line == markerLine(length)) ||
           line.find(kLinesLost) != std::string::npos;
}

std::size_t SyslogCapture::settle() {
    if (!available()) return 0;
    const int first = m_markers + 1;
    for (bool seen = false; !seen && m_markers - first < 600;) {
        SClientToDevXob record{};
        record.functionId = 0x7FF;
        GXob::writeToXob(&record, -++m_markers, false, 0, EDevXob_LogEntry);
        seen = countStartingWith(markerLine(-m_markers), 1, 100) == 1;
    }
    std::size_t lost = 0, markersLost = static_cast<std::size_t>(m_markers - first + 1);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::string& line : m_lines) {
        unsigned count = 0;
        int length = 0;
        if (line.find(kLinesLost) != std::string::npos && std::sscanf(line.c_str(), "XOB: %u", &count) == 1) {
            lost += count;
        } else if (std::sscanf(line.c_str(), kMarker, &length) == 1 && -length >= first && -length <= m_markers) {
            --markersLost;
        }
    }
    return lost - std::min(lost, markersLost);
}

std::vector<std::string> SyslogCapture::lines() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::size_t SyslogCapture::countStartingWith(const std::string& prefix, std::size_t expected, int timeoutMs) {
    const auto count = [&] {
        return static_cast<std::size_t>(std::count_if(m_lines.begin(), m_lines.end(), [&](const std::string& line) {
            return line.compare(0, prefix.size(), prefix) == 0;
        }));
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    m_received.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return count() >= expected; });
    return count();
}

}  // namespace xobtest
