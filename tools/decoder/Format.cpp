#include "Format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace xob {
namespace decoder {

namespace {

using Json = nlohmann::ordered_json;

// Width of the entry column: the longest name a line can carry.
int nameWidth() {
    static const int s_width = [] {
        std::size_t width = std::strlen("FlushFilesReady");
        for (const EntryKind& kind : entryKinds()) {
            width = std::max(width, std::strlen(kind.name));
        }
        return static_cast<int>(width);
    }();
    return s_width;
}

// Collects a line's bytes in a block of its own and hands them to the output string in large
// pieces: appending to a std::string piece by piece costs a call per piece.
class Writer {
public:
    explicit Writer(std::string& out) : m_out(out) {}
    ~Writer() { spill(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    Writer& operator+=(char c) {
        if (m_used == sizeof m_block) {
            spill();
        }
        m_block[m_used++] = c;
        return *this;
    }
    Writer& operator+=(const char* text) { return append(text, std::strlen(text)); }
    // A literal: its length is known when compiling, and so is the copy.
    template <std::size_t N>
    Writer& lit(const char (&text)[N]) {
        room(N - 1);
        std::memcpy(m_block + m_used, text, N - 1);
        m_used += N - 1;
        return *this;
    }
    Writer& operator+=(const std::string& text) { return append(text.data(), text.size()); }
    Writer& append(const char* text, std::size_t size) {
        if (!room(size)) {
            m_out.append(text, size);
            return *this;
        }
        std::memcpy(m_block + m_used, text, size);
        m_used += size;
        return *this;
    }
    Writer& append(std::size_t count, char c) {
        if (!room(count)) {
            m_out.append(count, c);
            return *this;
        }
        std::memset(m_block + m_used, c, count);
        m_used += count;
        return *this;
    }

    // Room for at most `most` (up to the block's size) bytes written in place, then how many were.
    char* place(std::size_t most) {
        room(most);
        return m_block + m_used;
    }
    void advance(std::size_t count) { m_used += count; }

private:
    // Makes room for `size` more bytes in the block; false when they do not fit even in an empty one.
    bool room(std::size_t size) {
        if (size > sizeof m_block - m_used) {
            spill();
        }
        return size <= sizeof m_block;
    }
    void spill() {
        m_out.append(m_block, m_used);
        m_used = 0;
    }

    std::string& m_out;
    std::size_t m_used = 0;
    char m_block[4096];
};

const char kHexDigits[] = "0123456789ABCDEF";

// A short text built in place, for a column that is padded once its width is known.
struct ShortText {
    char text[32];
    std::size_t size = 0;

    void append(const char* more, std::size_t count) {
        std::memcpy(text + size, more, count);
        size += count;
    }
    ShortText& operator+=(char c) {
        text[size++] = c;
        return *this;
    }
    ShortText& operator+=(const char* more) {
        while (*more != '\0') {
            text[size++] = *more++;
        }
        return *this;
    }
};

// "00" to "99": two digits at a time.
const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The two digits of `value` (below 100) at `at`.
void twoDigits(char* at, unsigned value) {
    at[0] = kDigitPairs[value * 2];
    at[1] = kDigitPairs[value * 2 + 1];
}

// Writes the decimal digits of `value` ending just before `end`; returns where they begin.
char* decimalDigits(std::uint64_t value, char* end) {
    while (value >= 100) {
        const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (value >= 10) {
        *--end = kDigitPairs[value * 2 + 1];
        *--end = kDigitPairs[value * 2];
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

template <typename Out>
void appendUnsigned(Out& out, std::uint64_t value) {
    char digits[20];
    const char* first = decimalDigits(value, digits + sizeof digits);
    out.append(first, static_cast<std::size_t>(digits + sizeof digits - first));
}

// The helpers below write at a local pointer into room made once, for several pieces at a time:
// writing through the Writer reloads its position after every byte (a char may alias it).
// Each returns the end of what it wrote.

// A literal: its length is known when compiling, and so is the copy.
template <std::size_t N>
char* put(char* at, const char (&text)[N]) {
    std::memcpy(at, text, N - 1);
    return at + N - 1;
}

// At most 20 digits. They are counted against powers of ten (most numbers are short), not by
// dividing.
char* putUnsigned(char* at, std::uint64_t value) {
    if (value < 10) {
        *at = static_cast<char>('0' + value);
        return at + 1;
    }
    if (value < 100) {
        twoDigits(at, static_cast<unsigned>(value));
        return at + 2;
    }
    std::size_t count = 3;
    for (std::uint64_t bound = 1000; count < 20 && value >= bound; bound *= 10) {
        ++count;
    }
    decimalDigits(value, at + count);
    return at + count;
}

// Into the line's block directly: numbers are the most frequent thing a line holds.
void appendUnsigned(Writer& out, std::uint64_t value) {
    char* at = out.place(20);
    out.advance(static_cast<std::size_t>(putUnsigned(at, value) - at));
}

void appendSigned(Writer& out, std::int64_t value) {
    if (value < 0) {
        out += '-';
        appendUnsigned(out, 0 - static_cast<std::uint64_t>(value));
    } else {
        appendUnsigned(out, static_cast<std::uint64_t>(value));
    }
}

// "0x%03llX" for words of up to 2 bytes, "0x%08llX" for wider ones.
template <typename Out>
void appendHexWord(Out& out, std::uint64_t value, unsigned width) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = kHexDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    out += "0x";
    for (int pad = width <= 2 ? 3 : 8; pad > n; --pad) {
        out += '0';
    }
    while (n > 0) {
        out += digits[--n];
    }
}

// The same, at most 18 bytes.
char* putHexWord(char* at, std::uint64_t value, unsigned width) {
    int count = 1;
    while (count < 16 && (value >> (4 * count)) != 0) {
        ++count;
    }
    const int digits = std::max(count, width <= 2 ? 3 : 8);
    at[0] = '0';
    at[1] = 'x';
    for (int i = digits; i > 0; --i) {
        at[1 + i] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    return at + 2 + digits;
}

void appendHexWord(Writer& out, std::uint64_t value, unsigned width) {
    char* at = out.place(18);
    out.advance(static_cast<std::size_t>(putHexWord(at, value, width) - at));
}

std::string hexWord(std::uint64_t value, unsigned width) {
    std::string text;
    {
        Writer out(text);
        appendHexWord(out, value, width);
    }
    return text;
}

void appendHexBytes(Writer& out, const std::vector<std::uint8_t>& bytes, bool spaced) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (spaced && i != 0) {
            out += ' ';
        }
        out += kHexDigits[bytes[i] >> 4];
        out += kHexDigits[bytes[i] & 0xF];
    }
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes, const char* separator) {
    std::string text;
    {
        Writer out(text);
        appendHexBytes(out, bytes, *separator != '\0');
    }
    return text;
}

void appendQuoted(Writer& out, const std::string& raw, char mark) {
    out += mark;
    std::size_t plain = 0;  // start of the bytes that go out as they are
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != mark && c != '\\') {
            continue;
        }
        out.append(raw.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c == mark || c == '\\') {
                out += '\\';
                out += c;
            } else {
                out += "\\x";
                out += kHexDigits[byte >> 4];
                out += kHexDigits[byte & 0xF];
            }
        }
    }
    out.append(raw.data() + plain, raw.size() - plain);
    out += mark;
}

// Left or right aligned in `width` columns, as printf's %-*s and %*s.
void appendPadded(Writer& out, const char* text, std::size_t size, int width, bool left) {
    const std::size_t pad = static_cast<std::size_t>(width) > size ? width - size : 0;
    if (!left) {
        out.append(pad, ' ');
    }
    out.append(text, size);
    if (left) {
        out.append(pad, ' ');
    }
}

void appendPadded(Writer& out, const std::string& text, int width, bool left) {
    appendPadded(out, text.data(), text.size(), width, left);
}

template <typename Out>
void appendClock(Out& out, std::uint64_t hundredths) {
    appendUnsigned(out, hundredths / 360000);
    const unsigned parts[] = {static_cast<unsigned>(hundredths / 6000 % 60),
                              static_cast<unsigned>(hundredths / 100 % 60), static_cast<unsigned>(hundredths % 100)};
    const char separators[] = {':', ':', '.'};
    for (int i = 0; i < 3; ++i) {
        out += separators[i];
        out += static_cast<char>('0' + parts[i] / 10);
        out += static_cast<char>('0' + parts[i] % 10);
    }
}

// The same, at most 29 bytes.
char* putClock(char* at, std::uint64_t hundredths) {
    at = putUnsigned(at, hundredths / 360000);
    at[0] = ':';
    twoDigits(at + 1, static_cast<unsigned>(hundredths / 6000 % 60));
    at[3] = ':';
    twoDigits(at + 4, static_cast<unsigned>(hundredths / 100 % 60));
    at[6] = '.';
    twoDigits(at + 7, static_cast<unsigned>(hundredths % 100));
    return at + 9;
}

void appendClock(Writer& out, std::uint64_t hundredths) {
    char* at = out.place(29);
    out.advance(static_cast<std::size_t>(putClock(at, hundredths) - at));
}

// The enumerator's name for an integer field whose values the library names; null otherwise.
const char* enumeratorName(const Field& field) {
    if (field.layout->names == nullptr) {
        return nullptr;
    }
    const std::int64_t number = field.value.kind == Value::Kind::Signed
                                    ? field.value.s
                                    : static_cast<std::int64_t>(field.value.u);
    return field.layout->names->lookup(number);
}

bool isInteger(const Value& value) {
    return value.kind == Value::Kind::Signed || value.kind == Value::Kind::Unsigned;
}

void appendTextValue(Writer& out, const Field& field);
void appendTextTail(Writer& out, const DecodedRecord& record);

void appendTextFields(Writer& out, const std::vector<Field>& fields) {
    bool first = true;
    for (const Field& field : fields) {
        if (!first) {
            out += ' ';
        }
        first = false;
        out += field.layout->name;
        out += '=';
        appendTextValue(out, field);
    }
}

void appendTextValue(Writer& out, const Field& field) {
    const Value& value = field.value;
    switch (value.kind) {
    case Value::Kind::Signed:
    case Value::Kind::Unsigned:
        if (const char* name = enumeratorName(field)) {
            out += name;
        } else if (value.kind == Value::Kind::Signed) {
            appendSigned(out, value.s);
        } else if (field.layout->hex) {
            appendHexWord(out, value.u, field.layout->width);
        } else {
            appendUnsigned(out, value.u);
        }
        return;
    case Value::Kind::Bool:
        out += value.u != 0 ? "true" : "false";
        return;
    case Value::Kind::Char:
        appendQuoted(out, value.text, '\'');
        return;
    case Value::Kind::Text:
        appendQuoted(out, value.text, '"');
        return;
    case Value::Kind::Bytes:
        out += '[';
        appendHexBytes(out, value.bytes, true);
        out += ']';
        return;
    case Value::Kind::List:
        out += '[';
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            out += i == 0 ? "{" : ", {";
            appendTextFields(out, value.items[i]);
            out += '}';
        }
        out += ']';
        return;
    }
}

void writeJsonString(Writer& out, const char* text, std::size_t size, bool latin1 = false);

// `before`, a key and `after` after one room check.
template <std::size_t B, std::size_t A>
void appendWrapped(Writer& out, const char (&before)[B], const char* name, const char (&after)[A]) {
    const std::size_t size = std::strlen(name);
    if (size > 1024) {  // more than a block can take with the rest
        out.lit(before).append(name, size).lit(after);
        return;
    }
    char* const start = out.place(B + size + A);
    char* at = put(start, before);
    std::memcpy(at, name, size);
    at = put(at + size, after);
    out.advance(static_cast<std::size_t>(at - start));
}

void appendJsonKey(Writer& out, const char* key, bool first = false) {
    if (first) {
        appendWrapped(out, "\"", key, "\":");
    } else {
        appendWrapped(out, ",\"", key, "\":");
    }
}

// A name of the catalogue's or the decoder's own (nothing in it needs escaping), or null.
void appendJsonNameOrNull(Writer& out, const char* name) {
    if (name == nullptr) {
        out.lit("null");
        return;
    }
    out += '"';
    out += name;
    out += '"';
}

template <typename Out>
void appendUnsigned(Out& out, std::uint64_t value);

void appendUnsignedOrNull(Writer& out, bool present, std::uint64_t value) {
    if (present) {
        appendUnsigned(out, value);
    } else {
        out.lit("null");
    }
}

void appendJsonFields(Writer& out, const std::vector<Field>& fields);

void appendJsonValue(Writer& out, const Field& field) {
    const Value& value = field.value;
    switch (value.kind) {
    case Value::Kind::Signed:
        appendSigned(out, value.s);
        break;
    case Value::Kind::Unsigned:
        if (field.layout->hex) {
            out += '"';
            appendHexWord(out, value.u, field.layout->width);
            out += '"';
        } else {
            appendUnsigned(out, value.u);
        }
        break;
    case Value::Kind::Bool:
        if (value.u != 0) {
            out.lit("true");
        } else {
            out.lit("false");
        }
        break;
    case Value::Kind::Char:
    case Value::Kind::Text:
        writeJsonString(out, value.text.data(), value.text.size(), true);
        break;
    case Value::Kind::Bytes:
        out += '"';
        appendHexBytes(out, value.bytes, false);
        out += '"';
        break;
    case Value::Kind::List:
        out += '[';
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            if (i != 0) {
                out += ',';
            }
            appendJsonFields(out, value.items[i]);
        }
        out += ']';
        break;
    }
}

void appendJsonFields(Writer& out, const std::vector<Field>& fields) {
    out += '{';
    bool first = true;
    for (const Field& field : fields) {
        appendJsonKey(out, field.layout->name, first);
        first = false;
        appendJsonValue(out, field);
        if (field.layout->names != nullptr && isInteger(field.value)) {
            out.lit(",\"");
            out += field.layout->name;
            out.lit("Name\":");
            appendJsonNameOrNull(out, enumeratorName(field));
        }
    }
    out += '}';
}

Json jsonFields(const std::vector<Field>& fields);

void addJsonField(Json& object, const Field& field) {
    const Value& value = field.value;
    const std::string name = field.layout->name;
    switch (value.kind) {
    case Value::Kind::Signed:
        object[name] = value.s;
        break;
    case Value::Kind::Unsigned:
        object[name] = field.layout->hex ? Json(hexWord(value.u, field.layout->width)) : Json(value.u);
        break;
    case Value::Kind::Bool:
        object[name] = value.u != 0;
        break;
    case Value::Kind::Char:
    case Value::Kind::Text:
        object[name] = latin1ToUtf8(value.text);
        break;
    case Value::Kind::Bytes:
        object[name] = hexBytes(value.bytes, "");
        break;
    case Value::Kind::List: {
        Json items = Json::array();
        for (const std::vector<Field>& item : value.items) {
            items.push_back(jsonFields(item));
        }
        object[name] = items;
        break;
    }
    }
    if (field.layout->names != nullptr && isInteger(value)) {
        const char* enumerator = enumeratorName(field);
        object[name + "Name"] = enumerator != nullptr ? Json(enumerator) : Json(nullptr);
    }
}

Json jsonFields(const std::vector<Field>& fields) {
    Json object = Json::object();
    for (const Field& field : fields) {
        addJsonField(object, field);
    }
    return object;
}

template <typename T>
Json orNull(bool present, T value) {
    return present ? Json(value) : Json(nullptr);
}

}  // namespace

std::string formatClock(std::uint64_t hundredths) {
    std::string text;
    {
        Writer out(text);
        appendClock(out, hundredths);
    }
    return text;
}

std::string quote(const std::string& raw, char mark) {
    std::string text;
    {
        Writer out(text);
        appendQuoted(out, raw, mark);
    }
    return text;
}

std::string latin1ToUtf8(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string textHeader() {
    char text[256];
    std::snprintf(text, sizeof text, "%8s  %-15s %9s %11s  %-5s %3s  %-*s  %s", "offset", "command", "time",
                  "clock", "id", "sub", nameWidth(), "entry", "fields");
    return text;
}

std::string textLine(const DecodedRecord& record) {
    std::string line;
    appendTextLine(line, record);
    line.pop_back();
    return line;
}

void appendTextLine(std::string& line, const DecodedRecord& record, const LineContext* context) {
    Writer out(line);
    if (context != nullptr && context->source != nullptr) {
        appendPadded(out, context->source, std::strlen(context->source), context->sourceWidth, true);
        out += "  ";
    }
    ShortText offset;
    appendUnsigned(offset, record.offset);
    appendPadded(out, offset.text, offset.size, 8, false);
    out += "  ";
    const char* command = commandName(record.command);
    if (command != nullptr) {
        appendPadded(out, command, std::strlen(command), 15, true);
    } else {
        appendPadded(out, record.command < 0 ? "-" : "cmd" + std::to_string(record.command), 15, true);
    }
    out += ' ';
    if (record.hasTimestamp) {
        ShortText time;
        appendUnsigned(time, record.timestamp);
        appendPadded(out, time.text, time.size, 9, false);
        out += ' ';
        ShortText clock;
        const bool elapsed = context != nullptr && context->hasElapsed;
        appendClock(clock, elapsed ? context->elapsed : record.timestamp);
        appendPadded(out, clock.text, clock.size, 11, false);
    } else {
        out += "        -           -";
    }
    out += "  ";
    if (record.hasFunctionId) {
        ShortText id;
        appendHexWord(id, record.functionId, 2);
        appendPadded(out, id.text, id.size, 5, true);
    } else {
        out += "-    ";
    }
    out += ' ';
    if (record.sub >= 0) {
        ShortText sub;
        appendUnsigned(sub, static_cast<unsigned>(record.sub));
        appendPadded(out, sub.text, sub.size, 3, false);
    } else {
        out += "  -";
    }
    out += "  ";
    const char* name = record.kind != nullptr ? record.kind->name : "-";
    appendPadded(out, name, std::strlen(name), nameWidth(), true);
    appendTextTail(out, record);
    out += '\n';
}

void appendTextTail(std::string& tail, const DecodedRecord& record) {
    Writer out(tail);
    appendTextTail(out, record);
}

namespace {

void appendTextTail(Writer& out, const DecodedRecord& record) {
    if (!record.fields.empty() || !record.undecoded.empty()) {
        out += "  ";
        appendTextFields(out, record.fields);
        if (!record.undecoded.empty()) {
            out += record.fields.empty() ? "undecoded=[" : " undecoded=[";
            appendHexBytes(out, record.undecoded, true);
            out += ']';
        }
    }
    if (record.damaged()) {
        out += "  !! ";
        for (std::size_t i = 0; i < record.damage.size(); ++i) {
            out += i == 0 ? "" : "; ";
            out += record.damage[i];
        }
    }
}

}  // namespace

void appendJsonString(std::string& text, const char* raw, std::size_t size, bool latin1) {
    Writer out(text);
    writeJsonString(out, raw, size, latin1);
}

namespace {

// Bytes that a JSON string cannot hold as they are: 1 for control characters, the quote and the
// backslash, 2 for bytes above 0x7F, which are Latin-1 characters to be written as UTF-8.
struct JsonEscapes {
    unsigned char kind[256];
    JsonEscapes() : kind() {
        for (int byte = 0; byte < 256; ++byte) {
            kind[byte] = byte < 0x20 || byte == '"' || byte == '\\' ? 1 : byte >= 0x80 ? 2 : 0;
        }
    }
};

// Whether none of the 8 bytes at `text` needs escaping, tested in one word: a byte below 0x20, a
// quote, a backslash, and (for Latin-1) a byte above 0x7F. Each test can only err towards "needs
// escaping"; the byte loop then decides.
bool plainWord(const char* text, bool latin1) {
    const std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t highs = ones * 0x80;
    std::uint64_t word;
    std::memcpy(&word, text, sizeof word);
    const auto hasZero = [&](std::uint64_t x) { return (x - ones) & ~x & highs; };
    std::uint64_t found = ((word - ones * 0x20) & ~word & highs) | hasZero(word ^ (ones * '"')) |
                          hasZero(word ^ (ones * '\\'));
    if (latin1) {
        found |= word & highs;
    }
    return found == 0;
}

void writeJsonString(Writer& out, const char* text, std::size_t size, bool latin1) {
    static const JsonEscapes s_escapes;
    const unsigned char special = latin1 ? 2 : 1;  // the highest kind that needs escaping
    out += '"';
    std::size_t plain = 0;  // start of the bytes that go out as they are
    for (std::size_t i = 0; i < size; ++i) {
        while (size - i >= 8 && plainWord(text + i, latin1)) {
            i += 8;
        }
        if (i == size) {
            break;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        const unsigned char kind = s_escapes.kind[byte];
        if (kind == 0 || kind > special) {
            continue;
        }
        out.append(text + plain, i - plain);
        plain = i + 1;
        switch (byte) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += static_cast<char>('0' + (byte >> 4));
                out += "0123456789abcdef"[byte & 0xF];
            } else {
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
    }
    out.append(text + plain, size - plain);
    out += '"';
}

}  // namespace

void appendJsonLine(std::string& line, const DecodedRecord& record, const LineContext* context) {
    Writer out(line);
    // Up to the entry's name every piece has a bound: 10 + 20 + 8 + 20 + 11 + 17 + 15 + 20 + 13
    // + 20 + 9 + 31 + 14 + 20 + 7 + 20 bytes at most.
    char* const start = out.place(256);
    char* at = put(start, "{\"offset\":");
    at = putUnsigned(at, record.offset);
    at = put(at, ",\"size\":");
    at = putUnsigned(at, record.size);
    at = put(at, ",\"command\":");
    if (const char* command = commandName(record.command)) {  // at most 15 letters
        *at++ = '"';
        const std::size_t size = std::strlen(command);
        std::memcpy(at, command, size);
        at += size;
        *at++ = '"';
    } else {
        at = put(at, "null");
    }
    at = put(at, ",\"commandCode\":");
    at = record.command >= 0 ? putUnsigned(at, static_cast<std::uint64_t>(record.command)) : put(at, "null");
    at = put(at, ",\"timestamp\":");
    if (record.hasTimestamp) {
        at = putUnsigned(at, record.timestamp);
        at = put(at, ",\"clock\":\"");
        at = putClock(at, record.timestamp);
        *at++ = '"';
    } else {
        at = put(at, "null,\"clock\":null");
    }
    at = put(at, ",\"functionId\":");
    if (record.hasFunctionId) {
        *at++ = '"';
        at = putHexWord(at, record.functionId, 2);
        *at++ = '"';
    } else {
        at = put(at, "null");
    }
    at = put(at, ",\"sub\":");
    at = record.sub >= 0 ? putUnsigned(at, static_cast<std::uint64_t>(record.sub)) : put(at, "null");
    out.advance(static_cast<std::size_t>(at - start));
    out.lit(",\"entry\":");
    appendJsonNameOrNull(out, record.kind != nullptr ? record.kind->name : nullptr);
    out.lit(",\"fields\":");
    appendJsonFields(out, record.fields);
    out.lit(",\"undecoded\":");
    if (!record.undecoded.empty()) {
        out += '"';
        appendHexBytes(out, record.undecoded, false);
        out += '"';
    } else {
        out.lit("null");
    }
    out.lit(",\"damage\":");
    out += '[';
    for (std::size_t i = 0; i < record.damage.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        writeJsonString(out, record.damage[i].data(), record.damage[i].size());
    }
    out += ']';
    if (context != nullptr) {
        out.lit(",\"elapsed\":");
        appendUnsignedOrNull(out, context->hasElapsed, context->elapsed);
        // The rest is the same for every line of a source: made once.
        thread_local std::string t_source;
        thread_local std::string t_tail;
        const char* source = context->source != nullptr ? context->source : "-";
        if (t_tail.empty() || std::strcmp(t_source.c_str(), source) != 0) {
            t_source = source;
            t_tail = ",\"source\":";
            appendJsonString(t_tail, source, t_source.size());
            t_tail += ",\"schema\":" + std::to_string(kJsonSchemaVersion) + "}\n";
        }
        out += t_tail;
        return;
    }
    out.lit("}\n");
}

Json jsonRecord(const DecodedRecord& record) {
    const char* command = commandName(record.command);
    Json object = Json::object();
    object["offset"] = record.offset;
    object["size"] = record.size;
    object["command"] = command != nullptr ? Json(command) : Json(nullptr);
    object["commandCode"] = orNull(record.command >= 0, record.command);
    object["timestamp"] = orNull(record.hasTimestamp, record.timestamp);
    object["clock"] = orNull(record.hasTimestamp, formatClock(record.timestamp));
    object["functionId"] = orNull(record.hasFunctionId, hexWord(record.functionId, 2));
    object["sub"] = orNull(record.sub >= 0, record.sub);
    object["entry"] = record.kind != nullptr ? Json(record.kind->name) : Json(nullptr);
    object["fields"] = jsonFields(record.fields);
    object["undecoded"] = orNull(!record.undecoded.empty(), hexBytes(record.undecoded, ""));
    object["damage"] = record.damage;
    return object;
}

}  // namespace decoder
}  // namespace xob
