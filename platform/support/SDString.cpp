// SDString: UTF-8 in and out, 8-bit conversion, number text and place-marker filling.
#include <xob/support/SDString.h>

#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool inRange(unsigned char byte, unsigned char low, unsigned char high) {
    return byte >= low && byte <= high;
}

// Decodes the NUL-terminated UTF-8 text and hands every code point to `emit` (which returns false
// to stop early). Ill-formed input follows the "maximal subpart" rule: the longest prefix of a
// sequence that could still have become well-formed is replaced by one U+FFFD, and decoding resumes
// at the first byte that broke it.
template <typename Emit>
void decodeUtf8(const char* text, Emit emit) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (bytes[i] != 0) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            if (!emit(static_cast<char32_t>(lead))) return;
            ++i;
            continue;
        }
        // Number of continuation bytes and the range the first of them must lie in; the ranges
        // exclude overlong forms, surrogates and values above U+10FFFF.
        int continuations = 0;
        unsigned char low = 0x80, high = 0xBF;
        char32_t code = 0;
        if (inRange(lead, 0xC2, 0xDF)) {
            continuations = 1;
            code = lead & 0x1Fu;
        } else if (inRange(lead, 0xE0, 0xEF)) {
            continuations = 2;
            code = lead & 0x0Fu;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (inRange(lead, 0xF0, 0xF4)) {
            continuations = 3;
            code = lead & 0x07u;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        std::size_t next = i + 1;
        bool wellFormed = continuations > 0;
        for (int k = 0; k < continuations; ++k, ++next) {
            const unsigned char byte = bytes[next];  // the terminating NUL fails the test below
            if (!inRange(byte, k == 0 ? low : 0x80, k == 0 ? high : 0xBF)) {
                wellFormed = false;
                break;
            }
            code = (code << 6) | (byte & 0x3Fu);
        }
        if (!emit(wellFormed ? code : kReplacement)) return;
        i = next;
    }
}

void appendUtf8(std::string& out, char32_t code) {
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::u32string decoded(const char* utf8) {
    std::u32string text;
    if (utf8 != nullptr) {
        decodeUtf8(utf8, [&text](char32_t code) {
            text += code;
            return true;
        });
    }
    return text;
}

// One byte per character, `highest` and below kept, the rest as '?'.
SDByteArray narrowed(const std::u32string& text, char32_t highest) noexcept {
    try {
        std::string bytes(text.size(), '?');
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] <= highest) bytes[i] = static_cast<char>(text[i]);
        }
        return SDByteArray(std::move(bytes));
    } catch (...) {
        return SDByteArray();
    }
}

// Absolute value as unsigned, without overflow for the most negative value.
unsigned long magnitude(long value) {
    return value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
}

std::u32string numberText(long value, long base) {
    if (base < 2 || base > 36) base = 10;
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    unsigned long rest = magnitude(value);
    std::u32string reversed;
    do {
        reversed += static_cast<char32_t>(digits[rest % static_cast<unsigned long>(base)]);
        rest /= static_cast<unsigned long>(base);
    } while (rest != 0);
    if (value < 0) reversed += U'-';
    return std::u32string(reversed.rbegin(), reversed.rend());
}

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// The number of the place marker at `pos` ('%', a digit 1-9, optionally one more digit) and its
// length in characters; 0 when there is none.
int markerAt(const std::u32string& text, std::size_t pos, std::size_t& length) {
    if (text[pos] != U'%' || pos + 1 >= text.size() || !isDigit(text[pos + 1]) || text[pos + 1] == U'0') return 0;
    int number = static_cast<int>(text[pos + 1] - U'0');
    length = 2;
    if (pos + 2 < text.size() && isDigit(text[pos + 2])) {
        number = number * 10 + static_cast<int>(text[pos + 2] - U'0');
        length = 3;
    }
    return number;
}

// `argument` widened to |width| characters with `fill`: in front for a positive width, behind for
// a negative one. With `keepSignFirst`, a leading '-' stays in front of the padding.
std::u32string padded(std::u32string argument, long width, char32_t fill, bool keepSignFirst) {
    const unsigned long wanted = magnitude(width);
    if (argument.size() >= wanted) return argument;
    const std::u32string padding(wanted - argument.size(), fill);
    if (width < 0) return argument + padding;
    if (keepSignFirst && !argument.empty() && argument[0] == U'-') return U"-" + padding + argument.substr(1);
    return padding + argument;
}

// Replaces every occurrence of the lowest-numbered place marker in `text` with `argument`.
void fillLowestMarker(std::u32string& text, const std::u32string& argument) {
    int lowest = 0;
    std::size_t length = 0;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const int number = markerAt(text, pos, length);
        if (number != 0 && (lowest == 0 || number < lowest)) lowest = number;
    }
    if (lowest == 0) return;
    std::u32string result;
    for (std::size_t pos = 0; pos < text.size();) {
        if (markerAt(text, pos, length) == lowest) {
            result += argument;
            pos += length;
        } else {
            result += text[pos++];
        }
    }
    text.swap(result);
}

}  // namespace

SDString::SDString(const char* utf8) {
    try {
        m_text = decoded(utf8);
    } catch (...) {
        m_text.clear();
    }
}

bool SDString::operator==(const char* utf8) const noexcept {
    if (utf8 == nullptr) return m_text.empty();
    std::size_t matched = 0;
    bool equal = true;
    decodeUtf8(utf8, [&](char32_t code) {
        equal = matched < m_text.size() && m_text[matched] == code;
        ++matched;
        return equal;
    });
    return equal && matched == m_text.size();
}

void SDString::Chop(long n) noexcept {
    if (n < 0) n = 0;
    if (static_cast<unsigned long>(n) < m_text.size()) m_text.resize(static_cast<std::size_t>(n));
}

void SDString::SetAt(long i, const SDChar& c) noexcept {
    if (i >= 0 && static_cast<unsigned long>(i) < m_text.size()) m_text[static_cast<std::size_t>(i)] = c.Unicode();
}

SDChar SDString::GetAt(long i) const noexcept {
    if (i < 0 || static_cast<unsigned long>(i) >= m_text.size()) return SDChar::FromUnicode(0);
    return SDChar::FromUnicode(m_text[static_cast<std::size_t>(i)]);
}

SDByteArray SDString::ToLatin1() const noexcept { return narrowed(m_text, 0xFF); }

SDByteArray SDString::ToAscii() const noexcept { return narrowed(m_text, 0x7F); }

std::string SDString::ToUtf8() const {
    std::string out;
    out.reserve(m_text.size());
    for (char32_t code : m_text) appendUtf8(out, code);
    return out;
}

SDString SDString::FromNumber(long value, long base) noexcept {
    SDString result;
    try {
        result.m_text = numberText(value, base);
    } catch (...) {
        result.m_text.clear();
    }
    return result;
}

SDString& SDString::Append(const char* utf8) noexcept {
    if (utf8 == nullptr) return *this;
    // Decoded in place: a piece has at most as many characters as bytes, so one reservation
    // covers it and no temporary string is built. A failed reservation leaves the text as it was.
    const std::size_t before = m_text.size();
    try {
        m_text.reserve(before + std::strlen(utf8));
        decodeUtf8(utf8, [this](char32_t code) {
            m_text.push_back(code);
            return true;
        });
    } catch (...) {
        m_text.resize(before);
    }
    return *this;
}

SDString& SDString::Append(const SDString& text) noexcept {
    try {
        m_text += text.m_text;
    } catch (...) {
    }
    return *this;
}

SDString& SDString::Argument(const SDString& text, long width, const SDChar& fill) noexcept {
    try {
        fillLowestMarker(m_text, padded(text.m_text, width, fill.Unicode(), false));
    } catch (...) {
    }
    return *this;
}

SDString& SDString::Argument(long value, long width, long base, const SDChar& fill) noexcept {
    try {
        fillLowestMarker(m_text, padded(numberText(value, base), width, fill.Unicode(), fill.Unicode() == U'0'));
    } catch (...) {
    }
    return *this;
}
