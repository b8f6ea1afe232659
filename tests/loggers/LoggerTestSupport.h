// Shared pieces of the logger tests: trace capture on "PC_XOBLOG", a device per suite, and the
// records a call produced (up to a marker entry, so that extra records are seen too).
#ifndef XOB_TESTS_LOGGERS_LOGGERTESTSUPPORT_H
#define XOB_TESTS_LOGGERS_LOGGERTESTSUPPORT_H

#include <xob/XOBLogger.h>

#include "DeviceStandIn.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <string>
#include <vector>

namespace loggertest {

using xobtest::Bytes;
using xobtest::operator+;

inline Bytes le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// `count` copies of `c` and a terminator.
inline Bytes cutText(std::size_t count, char c) { return Bytes(count, static_cast<std::uint8_t>(c)) + Bytes{0}; }

// A log entry as it is compared: timestamp bytes zeroed.
inline Bytes entry(std::uint16_t functionId, const Bytes& payload) { return xobtest::logEntry(functionId, 0, payload); }

// The record with its timestamp zeroed when it is a log entry (command 8).
inline Bytes withoutTime(Bytes record) {
    if (record.size() >= 12 && record[4] == 8) {
        record[8] = record[9] = record[10] = record[11] = 0;
    }
    return record;
}

// The trace line the calling thread writes for `operation` and `message`.
inline std::string traceLine(const std::string& operation, const std::string& message) {
    std::ostringstream line;
    line << "TID " << pthread_self() << ": " << operation << ": " << message;
    return line.str();
}

// True when `line` is the trace line of `operation` and `message` written by a thread other than
// the calling one.
inline bool isTraceOfOtherThread(const std::string& line, const std::string& operation, const std::string& message) {
    const std::string tail = ": " + operation + ": " + message;
    if (line.compare(0, 4, "TID ") != 0 || line.size() <= 4 + tail.size() ||
        line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
        return false;
    }
    const std::string id = line.substr(4, line.size() - 4 - tail.size());
    std::ostringstream own;
    own << pthread_self();
    return id.find_first_not_of("0123456789") == std::string::npos && id != own.str();
}

// Captures every line logged on the trace channel while it lives, with the channel at `level`.
// Lines logged at a level other than 1 are kept with the prefix "level N: ".
class TraceCapture {
public:
    explicit TraceCapture(short level = 1) {
        tracing::Channel& channel = XOBLoggerBase::TraceChannel();
        channel.SetSink([this](short lineLevel, const std::string& text) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(lineLevel == 1 ? text : "level " + std::to_string(lineLevel) + ": " + text);
        });
        channel.SetLevel(level);
    }
    ~TraceCapture() {
        tracing::Channel& channel = XOBLoggerBase::TraceChannel();
        channel.SetSink(nullptr);
        channel.SetLevel(2);
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // The lines captured so far, which are forgotten.
    std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> lines;
        lines.swap(m_lines);
        return lines;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// A suite with its own device stand-in and a shared logger mutex for loggers built by the tests.
class LoggerSuite : public testing::Test {
protected:
    static void SetUpTestSuite() { s_device = new xobtest::DeviceStandIn(); }
    static void TearDownTestSuite() {
        delete s_device;
        s_device = nullptr;
    }

    // Every record that arrived before the marker entry, which is queued now (timestamps zeroed).
    static std::vector<Bytes> recordsSoFar() {
        GXob::GoogleNav_RouteGuidanceInfo_LogEntry(kMarkerValue, true, 0);
        const Bytes marker = entry(0x756, Bytes{3, 0, 0, 0} + le32(kMarkerValue));
        std::vector<Bytes> records;
        Bytes record;
        while (s_device->next(record)) {
            record = withoutTime(record);
            if (record == marker) {
                return records;
            }
            records.push_back(record);
        }
        ADD_FAILURE() << "the marker entry did not arrive";
        return records;
    }

    static constexpr std::uint32_t kMarkerValue = 0x4D41524Bu;
    static inline xobtest::DeviceStandIn* s_device = nullptr;
    osal::Mutex m_shared;
};

}  // namespace loggertest

#endif
