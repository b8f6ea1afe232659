#include "HtmlWriter.h"

#include "Format.h"
#include "viewer_files.h"

#include <cstring>

namespace xob {
namespace decoder {

namespace {

constexpr std::size_t kRowBlock = 3 * 21846;  // base64 goes out in whole groups of three bytes
constexpr char kNumberMark = '\x01';         // where a number of the fields text goes

// The text of an embedded file, cut at a marker: the part before it, or after it.
std::string before(const char* text, const char* marker) {
    const char* at = std::strstr(text, marker);
    return at != nullptr ? std::string(text, static_cast<std::size_t>(at - text)) : std::string(text);
}
const char* after(const char* text, const char* marker) {
    const char* at = std::strstr(text, marker);
    return at != nullptr ? at + std::strlen(marker) : "";
}

void appendBase64(std::string& out, const std::uint8_t* data, std::size_t size) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        const char group[4] = {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
        out.append(group, 4);
    }
    if (i < size) {
        const std::uint32_t v = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0);
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < size ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
}

std::uint64_t zigzag(std::uint64_t now, std::uint64_t last) {
    return now >= last ? (now - last) * 2 : (last - now) * 2 - 1;
}

bool isWordChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.';
}

// Takes the plain decimal numbers (no sign, no leading zero, at most nine digits, not part of a
// word) out of a fields text: what stays is its shape, shared by many records of a kind.
void splitNumbers(const std::string& tail, std::string& shape, std::vector<std::uint32_t>& numbers) {
    shape.clear();
    numbers.clear();
    std::size_t i = 0;
    while (i < tail.size()) {
        const char c = tail[i];
        if (c >= '0' && c <= '9' && (i == 0 || !isWordChar(tail[i - 1]))) {
            std::size_t end = i;
            while (end < tail.size() && tail[end] >= '0' && tail[end] <= '9') {
                ++end;
            }
            const std::size_t digits = end - i;
            if ((end == tail.size() || !isWordChar(tail[end])) && digits <= 9 && (c != '0' || digits == 1)) {
                numbers.push_back(static_cast<std::uint32_t>(std::stoul(tail.substr(i, digits))));
                shape += kNumberMark;
            } else {
                shape.append(tail, i, digits);
            }
            i = end;
            continue;
        }
        // Text lines escape every control character, so the mark never comes from a record.
        shape += c == kNumberMark ? '?' : c;
        ++i;
    }
}

void appendJson(std::string& out, const std::string& text) { appendJsonString(out, text.data(), text.size()); }

}  // namespace

HtmlWriter::HtmlWriter(std::FILE* out, const std::string& title) : m_out(out) {
    std::string head = before(kViewerHtml, "/*xob:style*/");
    head += kViewerCss;
    head += before(after(kViewerHtml, "/*xob:style*/"), "<!--xob:rows-->");
    std::string escaped;
    for (const char c : title) {
        escaped += c == '<' ? std::string("&lt;") : c == '&' ? std::string("&amp;") : std::string(1, c);
    }
    const std::size_t at = head.find("<title>");
    if (at != std::string::npos) {
        head.insert(at + 7, escaped);
    }
    head += "<script type=\"text/plain\" id=\"xob-rows\">";
    std::fwrite(head.data(), 1, head.size(), m_out);
}

void HtmlWriter::beginSource(const std::string& name) {
    m_sources.emplace_back(name, 0);
    m_lastTime = 0;
    m_lastOffset = 0;
}

void HtmlWriter::number(std::uint64_t value) {
    while (value >= 0x80) {
        m_rows.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    m_rows.push_back(static_cast<std::uint8_t>(value));
}

void HtmlWriter::flushRows(bool all) {
    const std::size_t size = all ? m_rows.size() : m_rows.size() / 3 * 3;
    m_base64.clear();
    appendBase64(m_base64, m_rows.data(), size);
    std::fwrite(m_base64.data(), 1, m_base64.size(), m_out);
    m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(size));
}

std::uint32_t HtmlWriter::keyOf(const DecodedRecord& record) {
    const auto key = std::make_tuple(record.command, record.hasFunctionId ? record.functionId : -1, record.sub,
                                     record.kind);
    const auto found = m_keys.find(key);
    if (found != m_keys.end()) {
        return found->second;
    }
    const std::uint32_t index = static_cast<std::uint32_t>(m_keys.size());
    m_keys.emplace(key, index);
    // [command, identifier, sub-identifier, entry, lane, drawn as a rule] as the text line shows them.
    const char* command = commandName(record.command);
    char id[16] = "-";
    if (record.hasFunctionId) {
        std::snprintf(id, sizeof id, "0x%03X", record.functionId);
    }
    m_keyTable += m_keyTable.empty() ? "[" : ",[";
    appendJson(m_keyTable, command != nullptr ? command : record.command < 0 ? "-" : "cmd" + std::to_string(record.command));
    m_keyTable += ',';
    appendJson(m_keyTable, id);
    m_keyTable += ',';
    appendJson(m_keyTable, record.sub >= 0 ? std::to_string(record.sub) : "-");
    m_keyTable += ',';
    appendJson(m_keyTable, record.kind != nullptr ? record.kind->name : "-");
    m_keyTable += ',' + std::to_string(static_cast<int>(laneOf(record))) + (isControlRule(record) ? ",1]" : ",0]");
    return index;
}

std::uint32_t HtmlWriter::shapeOf(const std::string& shape) {
    const auto inserted = m_shapes.emplace(shape, static_cast<std::uint32_t>(m_shapes.size()));
    if (inserted.second) {
        m_shapeOrder.push_back(&inserted.first->first);
    }
    return inserted.first->second;
}

void HtmlWriter::add(const DecodedRecord& record, const LineContext& context) {
    if (m_sources.empty()) {
        beginSource("-");
    }
    ++m_sources.back().second;
    const bool noTime = !context.hasElapsed;
    const bool rawTime = record.hasTimestamp && record.timestamp != context.elapsed % kClockRange;
    number(std::uint64_t{keyOf(record)} << 3 | (rawTime ? 4u : 0u) | (noTime ? 2u : 0u) |
           (record.damaged() ? 1u : 0u));
    // A record without a timestamp is drawn at the time of the record before it.
    const std::uint64_t time = noTime ? m_lastTime : context.elapsed;
    number(zigzag(time, m_lastTime));
    m_lastTime = time;
    if (rawTime) {
        number(record.timestamp);
    }
    number(zigzag(record.offset, m_lastOffset));
    m_lastOffset = record.offset;
    m_tail.clear();
    appendTextTail(m_tail, record);
    splitNumbers(m_tail, m_shape, m_numbers);
    number(shapeOf(m_shape));
    for (const std::uint32_t value : m_numbers) {
        number(value);
    }
    if (m_rows.size() >= kRowBlock) {
        flushRows(false);
    }
}

bool HtmlWriter::finish() {
    flushRows(true);
    const std::string header = textHeader();
    std::string meta = "</script>\n<script type=\"application/json\" id=\"xob-meta\">{\"header\":";
    appendJson(meta, header);
    // The entry column is as wide as the longest name: from its title to the next one.
    meta += ",\"nameWidth\":" + std::to_string(header.find("fields") - header.find("entry") - 2);
    meta += ",\"lanes\":[";
    for (std::size_t lane = 0; lane < kLaneCount; ++lane) {
        meta += lane == 0 ? "" : ",";
        appendJson(meta, laneName(static_cast<Lane>(lane)));
    }
    meta += "],\"keys\":[" + m_keyTable + "],\"shapes\":[";
    for (std::size_t i = 0; i < m_shapeOrder.size(); ++i) {
        meta += i == 0 ? "" : ",";
        appendJson(meta, *m_shapeOrder[i]);
    }
    meta += "],\"sources\":[";
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        meta += i == 0 ? "[" : ",[";
        appendJson(meta, m_sources[i].first);
        meta += ',' + std::to_string(m_sources[i].second) + ']';
    }
    meta += "]}";
    // Nothing in the data may close the script element that holds it.
    for (std::size_t at = meta.find("</", 10); at != std::string::npos; at = meta.find("</", at + 3)) {
        meta.insert(at + 1, "\\");
    }
    meta += "</script>";
    const char* rest = after(kViewerHtml, "<!--xob:rows-->");
    std::fwrite(meta.data(), 1, meta.size(), m_out);
    const std::string beforeScript = before(rest, "/*xob:script*/");
    std::fwrite(beforeScript.data(), 1, beforeScript.size(), m_out);
    std::fputs(kViewerJs, m_out);
    std::fputs(after(rest, "/*xob:script*/"), m_out);
    return std::fflush(m_out) == 0 && std::ferror(m_out) == 0;
}

}  // namespace decoder
}  // namespace xob
