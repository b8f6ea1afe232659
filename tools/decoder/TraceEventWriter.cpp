#include "TraceEventWriter.h"

#include "Format.h"
#include "Lanes.h"

#include <cstring>

namespace xob {
namespace decoder {

namespace {

constexpr std::size_t kBlock = 1 << 20;

}  // namespace

TraceEventWriter::TraceEventWriter(std::FILE* out) : m_out(out) {
    m_pending = "{\"displayTimeUnit\":\"ms\",\"traceEvents\":[";
}

void TraceEventWriter::beginSource(const std::string& name) {
    release(0);
    ++m_pid;
    m_timed = false;
    const std::string pid = std::to_string(m_pid);
    std::string meta = "{\"name\":\"process_name\",\"ph\":\"M\",\"pid\":" + pid + ",\"tid\":0,\"args\":{\"name\":";
    appendJsonString(meta, name.data(), name.size());
    element(meta + "}}");
    for (std::size_t lane = 0; lane < kLaneCount; ++lane) {
        const std::string tid = std::to_string(lane + 1);
        element("{\"name\":\"thread_name\",\"ph\":\"M\",\"pid\":" + pid + ",\"tid\":" + tid +
                ",\"args\":{\"name\":\"" + laneName(static_cast<Lane>(lane)) + "\"}}");
        element("{\"name\":\"thread_sort_index\",\"ph\":\"M\",\"pid\":" + pid + ",\"tid\":" + tid +
                ",\"args\":{\"sort_index\":" + tid + "}}");
    }
}

void TraceEventWriter::element(const std::string& text) {
    m_pending += m_first ? "\n" : ",\n";
    m_first = false;
    m_pending += text;
}

void TraceEventWriter::event(const std::string& body, std::uint64_t time) {
    // Hundredths of a second to microseconds.
    element("{\"ts\":" + std::to_string(time * 10000) + ',' + body);
    if (m_pending.size() >= kBlock) {
        std::fwrite(m_pending.data(), 1, m_pending.size(), m_out);
        m_pending.clear();
    }
}

void TraceEventWriter::release(std::uint64_t time) {
    for (const std::string& body : m_waiting) {
        event(body, time);
    }
    m_waiting.clear();
}

void TraceEventWriter::add(const DecodedRecord& record, const LineContext& context) {
    if (m_pid == 0) {
        beginSource("-");
    }
    const Lane lane = laneOf(record);
    m_line = "\"name\":";
    const char* name = record.name();
    appendJsonString(m_line, name, std::strlen(name));
    m_line += ",\"cat\":\"";
    m_line += laneName(lane);
    m_line += "\",\"ph\":\"i\",\"s\":\"";
    m_line += isControlRule(record) ? 'p' : 't';
    m_line += "\",\"pid\":" + std::to_string(m_pid) + ",\"tid\":" + std::to_string(static_cast<int>(lane) + 1) +
              ",\"args\":";
    appendJsonLine(m_line, record, &context);
    m_line.back() = '}';  // the object's newline
    // A record without a timestamp (a control command) goes at the time of the record before it;
    // before the source's first timestamp, at that first timestamp.
    if (context.hasElapsed) {
        m_lastTime = context.elapsed;
        if (!m_timed) {
            m_timed = true;
            release(m_lastTime);
        }
    } else if (!m_timed) {
        m_waiting.push_back(m_line);
        return;
    }
    event(m_line, m_lastTime);
}

bool TraceEventWriter::finish() {
    release(0);
    m_pending += "\n]}\n";
    std::fwrite(m_pending.data(), 1, m_pending.size(), m_out);
    m_pending.clear();
    return std::fflush(m_out) == 0 && std::ferror(m_out) == 0;
}

}  // namespace decoder
}  // namespace xob
