#include "Printer.h"

#include "Format.h"
#include "Stats.h"

#include <algorithm>
#include <cctype>
#include <fnmatch.h>
#include <utility>

namespace xob {
namespace decoder {

namespace {

constexpr std::size_t kBlock = 1 << 20;

}  // namespace

RecordPrinter::RecordPrinter(std::FILE* out, PrintOptions options)
    : m_out(out), m_options(std::move(options)) {}

RecordPrinter::~RecordPrinter() { flush(); }

void RecordPrinter::beginSource(const std::string& name, int width) {
    m_source = name;
    m_sourceWidth = width;
    m_clock = TimeUnwrapper();
    if (m_stats != nullptr) {
        m_stats->beginSource(name);
    }
    for (RecordSink* sink : m_sinks) {
        sink->beginSource(name);
    }
}

void RecordPrinter::flush() {
    if (!m_pending.empty()) {
        std::fwrite(m_pending.data(), 1, m_pending.size(), m_out);
        m_pending.clear();
    }
}

bool RecordPrinter::selected(const DecodedRecord& record) const {
    if (m_options.damagedOnly && !record.damaged()) {
        return false;
    }
    const auto& ids = m_options.ids;
    if (!ids.empty() &&
        (!record.hasFunctionId || std::find(ids.begin(), ids.end(), record.functionId) == ids.end())) {
        return false;
    }
    const auto& patterns = m_options.patterns;
    return patterns.empty() || std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
               return fnmatch(pattern.c_str(), record.name(), 0) == 0;
           });
}

void RecordPrinter::print(const DecodedRecord& record) {
    ++m_records;
    m_damaged += record.damaged() ? 1 : 0;
    if (m_stats != nullptr) {
        m_stats->count(record);
    }
    LineContext context;
    context.source = m_source.empty() ? nullptr : m_source.c_str();
    context.sourceWidth = m_sourceWidth;
    context.hasElapsed = record.hasTimestamp;
    context.elapsed = record.hasTimestamp ? m_clock.next(record.timestamp) : 0;
    if (m_options.hasSince || m_options.hasUntil) {
        if (!context.hasElapsed || (m_options.hasSince && context.elapsed < m_options.since) ||
            (m_options.hasUntil && context.elapsed > m_options.until)) {
            return;
        }
    }
    if (!selected(record)) {
        return;
    }
    ++m_printed;
    if (m_stats != nullptr) {
        m_stats->add(record, context.hasElapsed ? &context.elapsed : nullptr);
    }
    for (RecordSink* sink : m_sinks) {
        sink->add(record, context);
    }
    if (m_options.quiet) {
        return;
    }
    if (m_options.json) {
        appendJsonLine(m_pending, record, &context);
    } else {
        if (!m_options.showSource) {
            context.source = nullptr;
        }
        if (m_options.header && !m_headerDone) {
            if (context.source != nullptr) {
                m_pending.append("source");
                m_pending.append(static_cast<std::size_t>(std::max(m_sourceWidth - 6, 0)) + 2, ' ');
            }
            m_pending += textHeader();
            m_pending += '\n';
            m_headerDone = true;
        }
        appendTextLine(m_pending, record, &context);
    }
    if (!m_options.buffered || m_pending.size() >= kBlock) {
        flush();
    }
}

bool validPattern(const std::string& pattern) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\\') {
            if (++i == pattern.size()) {
                return false;
            }
        } else if (pattern[i] == '[') {
            // A bracket expression: a leading ! or ^ and a leading ] belong to it.
            std::size_t j = i + 1;
            if (j < pattern.size() && (pattern[j] == '!' || pattern[j] == '^')) {
                ++j;
            }
            if (j < pattern.size() && pattern[j] == ']') {
                ++j;
            }
            j = pattern.find(']', j);
            if (j == std::string::npos) {
                return false;
            }
            i = j;
        }
    }
    return true;
}

bool parseFunctionId(const std::string& text, std::uint16_t& id) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 5) {
        return false;
    }
    unsigned long value = 0;
    for (const char c : digits) {
        const auto u = static_cast<unsigned char>(c);
        if (hex ? !std::isxdigit(u) : !std::isdigit(u)) {
            return false;
        }
        value = value * (hex ? 16 : 10) +
                static_cast<unsigned long>(std::isdigit(u) ? u - '0' : std::tolower(u) - 'a' + 10);
    }
    if (value > 0xFFFF) {
        return false;
    }
    id = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace decoder
}  // namespace xob
