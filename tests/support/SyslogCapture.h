// SyslogCapture: receives this process's system-log lines for real, by serving the local syslog
// socket (/dev/log) for the lifetime of the test program. Where /dev/log is already served (a
// desk with a syslog daemon), the program moves into a mount namespace of its own and serves a
// private socket mounted over it; without the privileges for either, captures are unavailable and
// the tests that need them skip with the reason.
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
    // Sets up the socket; call from main() before any thread starts.
    static void install();
    static SyslogCapture& instance();

    bool available() const { return m_socket >= 0; }
    const std::string& unavailableReason() const { return m_reason; }

    // Also take the lines of another program (a child process of the test).
    void acceptProgram(const std::string& program);

    // Forgets every line received so far.
    void clear();
    // The message texts (without priority, time and program name) received so far, waiting up to
    // `timeoutMs` until there are at least `atLeast` of them.
    std::vector<std::string> lines(std::size_t atLeast = 0, int timeoutMs = 2000);
    // How many received lines start with `prefix`, after waiting up to `timeoutMs` for `expected`.
    std::size_t countStartingWith(const std::string& prefix, std::size_t expected = 0, int timeoutMs = 2000);

    ~SyslogCapture();

private:
    SyslogCapture() = default;
    void start();
    void receive();

    int m_socket = -1;
    std::string m_path;
    std::string m_reason;
    // Like a syslog daemon, a thread reads the socket all the time: a datagram socket holds only a
    // few messages, and a sender blocks once it is full.
    std::thread m_receiver;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_received;
    std::vector<std::string> m_programs;
    std::vector<std::string> m_lines;
};

}  // namespace xobtest

#define XOB_REQUIRE_SYSLOG()                                                                  \
    do {                                                                                      \
        if (!::xobtest::SyslogCapture::instance().available()) {                              \
            GTEST_SKIP() << "system log capture unavailable: "                               \
                         << ::xobtest::SyslogCapture::instance().unavailableReason();        \
        }                                                                                     \
    } while (0)

#endif
