// SyslogCapture: receives the system-log lines of this process and of its child processes for
// real. At start the program binds a datagram socket of its own in a fresh temporary directory and
// names it in XOBTEST_LOG_SOCKET, where the library's test variant (and its child processes, which
// inherit the variable) send their lines instead of to the system's socket. No privileges needed.
#ifndef XOB_TESTS_SYSLOGCAPTURE_H
#define XOB_TESTS_SYSLOGCAPTURE_H

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace xobtest {

class SyslogCapture {
public:
    static void install();  // sets up the socket; call from main() before any thread starts
    static SyslogCapture& instance();
    ~SyslogCapture();

    bool available() const { return m_socket >= 0; }
    const std::string& unavailableReason() const { return m_reason; }

    void clear();  // forgets every line received so far (after settle(): no count of lost lines is left to come)
    // Has the library log a marker line until one arrives, so that every line logged before it is in,
    // or counted lost; returns the lines the library reported lost since the last clear() ("XOB: N
    // system-log lines were lost"), less the markers among them.
    std::size_t settle();
    static bool isSettleLine(const std::string& line);  // the markers of settle(), and counts of lost lines
    std::vector<std::string> lines();  // the message texts (no priority, time, program name) so far
    // How many received lines start with `prefix`, after waiting up to `timeoutMs` for `expected`.
    std::size_t countStartingWith(const std::string& prefix, std::size_t expected = 0, int timeoutMs = 2000);
    void pause(bool paused) { m_paused = paused; }  // reads nothing meanwhile, as a stalled log reader

private:
    SyslogCapture() = default;
    void receive();

    int m_socket = -1;
    std::string m_dir, m_path, m_reason;
    // Like a log reader, a thread reads the socket all the time: a datagram socket holds only a few
    // messages, and the library drops (and counts) lines once it is full.
    std::thread m_receiver;
    std::atomic<bool> m_stop{false}, m_paused{false};
    std::mutex m_mutex;
    std::condition_variable m_received;
    std::vector<std::string> m_lines;
    int m_markers = 0;
};

}  // namespace xobtest

#define XOB_REQUIRE_SYSLOG()                                                                                    \
    do {                                                                                                        \
        const ::xobtest::SyslogCapture& capture_ = ::xobtest::SyslogCapture::instance();                        \
        if (!capture_.available()) GTEST_SKIP() << "no system log capture: " << capture_.unavailableReason(); \
    } while (0)

#endif
