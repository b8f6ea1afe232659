// Unicode text as the navigation loggers handle it: a value type of code points, filled from UTF-8
// and turned into 8-bit text (Latin-1 or ASCII) for the recorder. SDChar is one character and
// SDByteArray the NUL-terminated byte buffer the 8-bit conversions hand back.
//
// Nothing here throws: when memory runs out an operation leaves the text as it was.
#ifndef XOB_SUPPORT_SDSTRING_H
#define XOB_SUPPORT_SDSTRING_H

#include <xob/Export.h>

#include <string>
#include <utility>

// One Unicode character. Built from a `char`, whose byte is taken as a Latin-1 character (so '\xE9'
// is U+00E9), or from a code point with FromUnicode.
class SDChar {
public:
    SDChar(char c) noexcept : m_code(static_cast<unsigned char>(c)) {}  // NOLINT: implicit on purpose
    static SDChar FromUnicode(char32_t code) noexcept { return SDChar(code, 0); }
    char32_t Unicode() const noexcept { return m_code; }
    bool operator==(const SDChar& other) const noexcept { return m_code == other.m_code; }
    bool operator!=(const SDChar& other) const noexcept { return m_code != other.m_code; }

private:
    SDChar(char32_t code, int) noexcept : m_code(code) {}
    char32_t m_code;
};

// A byte buffer. GetConstData() always points at the bytes followed by a NUL, so the 8-bit text
// of a conversion can be handed on as a C string; GetSize() counts the bytes without that NUL.
class XOB_EXPORT SDByteArray {
public:
    SDByteArray() = default;
    explicit SDByteArray(std::string bytes) noexcept : m_bytes(std::move(bytes)) {}
    const char* GetConstData() const noexcept { return m_bytes.c_str(); }
    long GetSize() const noexcept { return static_cast<long>(m_bytes.size()); }

private:
    std::string m_bytes;
};

class XOB_EXPORT SDString {
public:
    SDString() = default;
    // Decodes UTF-8. Each ill-formed part (a stray continuation byte, a truncated sequence, an
    // overlong form, a surrogate or a value above U+10FFFF) becomes one U+FFFD, following the
    // Unicode "maximal subpart" practice. A null pointer gives the empty text.
    SDString(const char* utf8);  // NOLINT: implicit on purpose, texts are passed as literals
    SDString(const SDString&) = default;
    SDString(SDString&&) noexcept = default;
    SDString& operator=(const SDString&) = default;
    SDString& operator=(SDString&&) noexcept = default;
    ~SDString() = default;

    // Length in characters (code points).
    long GetLength() const noexcept { return static_cast<long>(m_text.size()); }
    bool IsEmpty() const noexcept { return m_text.empty(); }

    // Exact, case-sensitive comparison with UTF-8 text (decoded as the constructor does).
    bool operator==(const char* utf8) const noexcept;
    bool operator!=(const char* utf8) const noexcept { return !(*this == utf8); }
    bool operator==(const SDString& other) const noexcept { return m_text == other.m_text; }
    bool operator!=(const SDString& other) const noexcept { return m_text != other.m_text; }

    // Keeps the first n characters; n at or above the length changes nothing, n below 0 empties.
    void Chop(long n) noexcept;
    // Replaces the character at position i (from 0); a position outside the text changes nothing.
    void SetAt(long i, const SDChar& c) noexcept;
    // The character at position i, or U+0000 outside the text.
    SDChar GetAt(long i) const noexcept;

    // 8-bit forms. Characters above U+00FF (Latin-1) or U+007F (ASCII) become '?'. A U+0000 in
    // the text is kept as a 0 byte, so GetConstData() reads as a C string that ends there.
    SDByteArray ToLatin1() const noexcept;
    SDByteArray ToAscii() const noexcept;
    std::string ToUtf8() const;

    // The signed text of `value` in `base` (2 to 36, digits above 9 as lower-case letters); any
    // other base is taken as 10.
    static SDString FromNumber(long value, long base = 10) noexcept;

    SDString& Append(const char* utf8) noexcept;
    SDString& Append(const SDString& text) noexcept;

    // Replaces, in place, every occurrence of the lowest-numbered place marker left in the text
    // (`%1` to `%99`; a marker reads up to two digits) with the argument, and returns *this, so
    // that calls chain: SDString("%1|%2").Argument(a, 0, ' ').Argument(b, 0, ' '). The argument
    // is padded with `fill` to |width| characters: right-aligned for a positive width,
    // left-aligned for a negative one. A number right-aligned with the fill '0' keeps its minus
    // sign in front of the zeros. Without a marker left the text stays as it is.
    SDString& Argument(const SDString& text, long width = 0, const SDChar& fill = SDChar(' ')) noexcept;
    SDString& Argument(long value, long width = 0, long base = 10,
                       const SDChar& fill = SDChar(' ')) noexcept;

    void Clear() noexcept { m_text.clear(); }

private:
    std::u32string m_text;
};

#endif
