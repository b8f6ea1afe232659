// Shared pieces of the logger tests: trace capture on "PC_XOBLOG", and the records a call made, read
// back through the decoder as "Name field=value ..." (numbers as recorded, texts raw).
#ifndef XOB_TESTS_LOGGERS_LOGGERTESTSUPPORT_H
#define XOB_TESTS_LOGGERS_LOGGERTESTSUPPORT_H

#include <xob/XOBLogger.h>

#include "Decoder.h"
#include "TestKit.h"

#include <condition_variable>
#include <pthread.h>

namespace loggertest {

using Lines = std::vector<std::string>;

inline void appendFields(std::string& out, const std::vector<xob::decoder::Field>& fields) {
    using Kind = xob::decoder::Value::Kind;
    for (const xob::decoder::Field& field : fields) {
        const xob::decoder::Value& v = field.value;
        if (v.kind == Kind::List) {  // flags and list items: their fields in line
            for (const auto& item : v.items) appendFields(out, item);
            continue;
        }
        out += std::string(" ") + field.layout->name + "=" + (v.kind == Kind::Signed ? std::to_string(v.s)
               : v.kind == Kind::Text || v.kind == Kind::Char ? v.text : std::to_string(v.u));
    }
}

// One record as the decoder reads it; damage (a reserved field not 0, say) shows after "!!". The
// loggers stamp entries with the clock, not a time of their own, so a stamp a minute old shows too.
inline std::string decoded(const xobtest::Bytes& bytes) {
    const xob::decoder::DecodedRecord record = xob::decoder::decodeRecord(bytes.data(), bytes.size());
    std::string text = record.name();
    appendFields(text, record.fields);
    if (record.hasTimestamp && ((GXob::getApiHundredthSecond() - record.timestamp) & 0xFFFFFFu) > 6000) {
        text += " !! stamp " + std::to_string(record.timestamp);
    }
    for (const std::string& damage : record.damage) text += " !! " + damage;
    if (!record.undecoded.empty()) text += " !! undecoded bytes";
    return text;
}

// "TID <own thread>: operation: message", the trace line of the calling thread.
inline std::string traceLine(const std::string& operation, const std::string& message) {
    std::ostringstream line;
    line << "TID " << pthread_self() << ": " << operation << ": " << message;
    return line.str();
}

// Captures every line of the trace channel while it lives, the channel at `level`; lines at a
// level other than 1 get the prefix "level N: ". With `holdTicks`, a TMC tick is held inside its
// first trace line until release(), and `atTickEnd` runs at the tick's last line.
struct TraceCapture {
    explicit TraceCapture(short level = 1, bool holdTicks = false, std::function<void()> atTickEnd = [] {})
        : m_released(!holdTicks), m_atTickEnd(std::move(atTickEnd)) {
        XOBLoggerBase::TraceChannel().SetSink([this](short lineLevel, const std::string& text) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_lines.push_back(lineLevel == 1 ? text : "level " + std::to_string(lineLevel) + ": " + text);
            if (text.find(": Tick: ") != std::string::npos) {
                m_tickEntered = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_released; });
            } else if (text.find(": TimerElapsed: ") != std::string::npos) {
                m_atTickEnd();
            }
        });
        XOBLoggerBase::TraceChannel().SetLevel(level);
    }
    ~TraceCapture() {
        release();  // a held tick ends before the sink goes
        XOBLoggerBase::TraceChannel().SetSink(nullptr);
        XOBLoggerBase::TraceChannel().SetLevel(2);
    }
    // The lines captured so far, which are forgotten.
    Lines take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_lines, {});
    }
    void waitForTick() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_tickEntered; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Lines m_lines;
    bool m_tickEntered = false, m_released;
    std::function<void()> m_atTickEnd;
};

// A suite with its own device stand-in and a logger mutex for the loggers the tests build.
struct LoggerSuite : testing::Test {
    static void SetUpTestSuite() { s_device = new xobtest::DeviceStandIn(); }
    static void TearDownTestSuite() { delete std::exchange(s_device, nullptr); }

    // Every record that arrived before a marker entry queued now, decoded.
    static Lines entriesSoFar() {
        GXob::GoogleNav_RouteGuidanceInfo_LogEntry(kMarker, true, 0);
        const std::string marker = "GoogleNav_RouteGuidanceInfo_LogEntry value=" + std::to_string(kMarker);
        Lines entries;
        for (xobtest::Bytes record; s_device->next(record);) {
            entries.push_back(decoded(record));
            if (entries.back().rfind(marker, 0) == 0) {
                entries.pop_back();
                return entries;
            }
        }
        ADD_FAILURE() << "the marker entry did not arrive";
        return entries;
    }

    static constexpr unsigned kMarker = 0x4D41524Bu;
    static inline xobtest::DeviceStandIn* s_device = nullptr;
    osal::Mutex m_shared;
};

}  // namespace loggertest

#endif
