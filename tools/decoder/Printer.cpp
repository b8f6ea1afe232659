#include "Printer.h"

#include "Format.h"

#include <algorithm>
#include <cctype>
#include <fnmatch.h>
#include <utility>

namespace xob {
namespace decoder {

RecordPrinter::RecordPrinter(std::FILE* out, PrintOptions options)
    : m_out(out), m_options(std::move(options)) {}

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
    if (!selected(record)) {
        return;
    }
    ++m_printed;
    if (m_options.json) {
        std::fprintf(m_out, "%s\n", jsonRecord(record).dump().c_str());
    } else {
        if (m_options.header && !m_headerDone) {
            std::fprintf(m_out, "%s\n", textHeader().c_str());
            m_headerDone = true;
        }
        std::fprintf(m_out, "%s\n", textLine(record).c_str());
    }
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
