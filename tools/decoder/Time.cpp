#include "Time.h"

#include <cctype>
#include <cstddef>

namespace xob {
namespace decoder {

std::uint64_t TimeUnwrapper::next(std::uint32_t timestamp) {
    const std::uint32_t now = static_cast<std::uint32_t>(timestamp & (kClockRange - 1));
    if (m_started && now < m_last && m_last - now > kClockRange / 2) {
        ++m_wraps;
    }
    m_started = true;
    m_last = now;
    return m_wraps * kClockRange + now;
}

namespace {

// Reads `count` digits at `pos` (any number when count is 0, at least one).
bool digits(const std::string& text, std::size_t& pos, std::size_t count, std::uint64_t& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
           (count == 0 || pos - start < count) && pos - start < 12) {
        value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
        ++pos;
    }
    return pos > start && (count == 0 || pos - start == count);
}

}  // namespace

bool parseTime(const std::string& text, std::uint64_t& hundredths) {
    std::size_t pos = 0;
    std::uint64_t hours = 0;
    if (!digits(text, pos, 0, hours)) {
        return false;
    }
    if (pos == text.size()) {
        hundredths = hours;  // a plain number of hundredths
        return true;
    }
    std::uint64_t minutes = 0;
    std::uint64_t seconds = 0;
    std::uint64_t cents = 0;
    if (text[pos++] != ':' || !digits(text, pos, 2, minutes) || pos >= text.size() || text[pos++] != ':' ||
        !digits(text, pos, 2, seconds) || minutes > 59 || seconds > 59) {
        return false;
    }
    if (pos < text.size() && (text[pos++] != '.' || !digits(text, pos, 2, cents))) {
        return false;
    }
    hundredths = ((hours * 60 + minutes) * 60 + seconds) * 100 + cents;
    return pos == text.size();
}

}  // namespace decoder
}  // namespace xob
