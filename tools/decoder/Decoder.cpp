#include "Decoder.h"

#include <xob/GXob.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace xob {
namespace decoder {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// Reads fields from a payload; never past its end.
struct Cursor {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos;

    std::size_t left() const { return size - pos; }
};

std::string fieldPath(const std::string& prefix, const FieldLayout& layout) {
    return prefix + layout.name;
}

bool need(const Cursor& c, std::size_t bytes, const std::string& path, std::vector<std::string>& damage) {
    if (c.left() >= bytes) {
        return true;
    }
    damage.push_back(format("payload ends inside field '%s': it needs %zu bytes at payload offset %zu, "
                            "%zu are left",
                            path.c_str(), bytes, c.pos, c.left()));
    return false;
}

Value integerValue(const FieldLayout& layout, const std::uint8_t* p) {
    std::uint64_t raw = 0;
    for (unsigned i = 0; i < layout.width; ++i) {
        const unsigned byte = layout.order == ByteOrder::Big ? i : layout.width - 1 - i;
        raw = (raw << 8) | p[byte];
    }
    if (layout.mask != 0) {
        raw &= layout.mask;
    }
    Value value;
    if (layout.type == FieldType::Signed) {
        const unsigned unused = 64 - 8 * layout.width;
        value.kind = Value::Kind::Signed;
        value.s = static_cast<std::int64_t>(raw << unused) >> unused;
    } else {
        value.kind = Value::Kind::Unsigned;
        value.u = raw;
    }
    return value;
}

bool decodeFields(const std::vector<FieldLayout>& layouts, Cursor& c, std::vector<Field>& out,
                  const std::string& prefix, std::vector<std::string>& damage);

// Decodes one field at the cursor and moves past it. False when the payload does not hold it; the
// cursor then stays at the field's start, except behind a text without terminator, which is kept
// as far as it goes.
bool decodeField(const FieldLayout& layout, Cursor& c, std::vector<Field>& out, const std::string& prefix,
                 std::vector<std::string>& damage) {
    const std::string path = fieldPath(prefix, layout);
    const std::uint8_t* at = c.data + c.pos;
    Value value;
    switch (layout.type) {
    case FieldType::Unsigned:
    case FieldType::Signed:
        if (!need(c, layout.width, path, damage)) {
            return false;
        }
        value = integerValue(layout, at);
        c.pos += layout.width;
        break;
    case FieldType::Bool:
        if (!need(c, 1, path, damage)) {
            return false;
        }
        if (*at > 1) {
            value.kind = Value::Kind::Unsigned;
            value.u = *at;
            damage.push_back(format("flag '%s' is %u, neither 0 nor 1", path.c_str(), *at));
        } else {
            value.kind = Value::Kind::Bool;
            value.u = *at;
        }
        c.pos += 1;
        break;
    case FieldType::Char:
        if (!need(c, 1, path, damage)) {
            return false;
        }
        value.kind = Value::Kind::Char;
        value.text.assign(1, static_cast<char>(*at));
        c.pos += 1;
        break;
    case FieldType::Text: {
        const std::size_t window = c.left() < layout.size ? c.left() : layout.size;
        const void* end = std::memchr(at, 0, window);
        value.kind = Value::Kind::Text;
        if (end == nullptr) {
            value.text.assign(reinterpret_cast<const char*>(at), window);
            out.push_back({&layout, value});
            c.pos += window;
            damage.push_back(window == layout.size
                                 ? format("text '%s' has no terminator within its cap of %u bytes",
                                          path.c_str(), unsigned{layout.size})
                                 : format("text '%s' has no terminator before the payload ends",
                                          path.c_str()));
            return false;
        }
        const std::size_t length = static_cast<const std::uint8_t*>(end) - at;
        value.text.assign(reinterpret_cast<const char*>(at), length);
        c.pos += length + 1;
        break;
    }
    case FieldType::Bytes:
        if (!need(c, layout.size, path, damage)) {
            return false;
        }
        value.kind = Value::Kind::Bytes;
        value.bytes.assign(at, at + layout.size);
        c.pos += layout.size;
        break;
    case FieldType::ByteRest: {
        const std::size_t count = c.left() < layout.size ? c.left() : layout.size;
        value.kind = Value::Kind::Bytes;
        value.bytes.assign(at, at + count);
        c.pos += count;
        break;
    }
    case FieldType::Gap:
        if (!need(c, layout.size, path.empty() ? "(unassigned)" : path, damage)) {
            return false;
        }
        // No sender assigns these bytes, and every sender writes them as zeros.
        if (std::any_of(at, at + layout.size, [](std::uint8_t byte) { return byte != 0; })) {
            damage.push_back(format("unassigned bytes at payload offset %zu to %zu are not zero", c.pos,
                                    c.pos + layout.size - 1));
        }
        c.pos += layout.size;
        return true;
    case FieldType::Flags:
        if (!need(c, 1, path, damage)) {
            return false;
        }
        for (std::size_t bit = 0; bit < layout.items.size(); ++bit) {
            Value flag;
            flag.kind = Value::Kind::Bool;
            flag.u = (*at >> bit) & 1u;
            out.push_back({&layout.items[bit], flag});
        }
        c.pos += 1;
        return true;
    case FieldType::List: {
        if (!need(c, 1, path + " (item count)", damage)) {
            return false;
        }
        const unsigned count = *at;
        c.pos += 1;
        if (count > layout.size) {
            damage.push_back(format("list '%s' counts %u items, more than its cap of %u", path.c_str(),
                                    count, unsigned{layout.size}));
        }
        value.kind = Value::Kind::List;
        for (unsigned i = 0; i < count; ++i) {
            std::vector<Field> item;
            const bool whole = decodeFields(layout.items, c, item, path + "[" + std::to_string(i) + "].", damage);
            if (!item.empty()) {
                value.items.push_back(std::move(item));
            }
            if (!whole) {
                out.push_back({&layout, std::move(value)});
                return false;
            }
        }
        break;
    }
    }
    out.push_back({&layout, std::move(value)});
    return true;
}

bool decodeFields(const std::vector<FieldLayout>& layouts, Cursor& c, std::vector<Field>& out,
                  const std::string& prefix, std::vector<std::string>& damage) {
    for (const FieldLayout& layout : layouts) {
        if (!decodeField(layout, c, out, prefix, damage)) {
            return false;
        }
    }
    return true;
}

// Header words of the commands other than log entries, shown as fields.
FieldLayout headerField(const char* name, bool hex) {
    FieldLayout layout;
    layout.name = name;
    layout.type = FieldType::Unsigned;
    layout.width = 2;
    layout.hex = hex;
    return layout;
}

// The field a command other than a log entry shows: the u16 at byte 8 of InitFiles, the header
// word of the others.
const FieldLayout& wordLayout(int command) {
    static const FieldLayout s_filesOf = headerField("filesOf", true);
    static const FieldLayout s_flag = headerField("flag", false);
    static const FieldLayout s_value = headerField("value", false);
    static const FieldLayout s_status = headerField("status", false);
    switch (command) {
    case EDevXob_InitFiles: return s_filesOf;
    case EDevXob_SetActivFlag: return s_flag;
    case EDevXob_StopFlush: return s_value;
    default: return s_status;
    }
}

void addWord(DecodedRecord& record, const FieldLayout& layout, std::uint32_t word) {
    Value value;
    value.u = word;
    record.fields.push_back({&layout, value});
}

constexpr std::uint16_t kInitFilesId = 0x503;
constexpr std::size_t kMinLength = kHeaderSize - 2;
constexpr std::size_t kMaxLength = kMaxRecordSize - 2;

// The length field every record of this command has; 0 for log entries, whose length varies.
std::size_t fixedLength(int command) {
    switch (command) {
    case EDevXob_InitFiles: return 8;
    case EDevXob_FlushFilesReady:
    case EDevXob_SetActivFlag:
    case EDevXob_StopFlush: return 6;
    default: return 0;
    }
}

// True where a record that this decoder reads without complaint about its header could start:
// used to find the way back into a stream after a length field that no record can have.
bool wellFormedAt(const std::uint8_t* data, std::size_t size, std::size_t pos) {
    if (size - pos < kHeaderSize) {
        return false;
    }
    const std::uint8_t* p = data + pos;
    const std::size_t length = header::length(p);
    const int command = header::command(p);
    const std::uint32_t word = header::word(p);
    if (header::reserved(p) != 0 || length < kMinLength || length > kMaxLength || length + 2 > size - pos) {
        return false;
    }
    switch (command) {
    case EDevXob_LogEntry:
        return length >= kLogEntryHeaderSize - 1 && (header::timestamp(p) >> 24) == 0;
    case EDevXob_InitFiles:
        return length == fixedLength(command) && word == kInitFilesId;
    case EDevXob_SetActivFlag:
        return length == fixedLength(command) && word <= 1;
    case EDevXob_StopFlush:
        return length == fixedLength(command) && word == 0;
    case EDevXob_FlushFilesReady:
        return length == fixedLength(command);
    default:
        return false;
    }
}

std::size_t nextWellFormed(const std::uint8_t* data, std::size_t size, std::size_t from) {
    for (std::size_t pos = from; pos < size; ++pos) {
        if (wellFormedAt(data, size, pos)) {
            return pos;
        }
    }
    return size;
}

constexpr std::size_t kUndecodedShown = 64;

std::string skipped(std::size_t count, std::size_t next, std::size_t size) {
    return next < size ? format("skipped %zu bytes to the next well-formed record at offset %zu", count, next)
                       : format("skipped %zu bytes to the end of the stream", count);
}

}  // namespace

const char* commandName(int command) {
    switch (command) {
    case EDevXob_InitFiles: return "InitFiles";
    case EDevXob_LogEntry: return "LogEntry";
    case EDevXob_FlushFilesReady: return "FlushFilesReady";
    case EDevXob_SetActivFlag: return "SetActivFlag";
    case EDevXob_StopFlush: return "StopFlush";
    default: return nullptr;
    }
}

const char* DecodedRecord::name() const {
    if (kind != nullptr) {
        return kind->name;
    }
    const char* commandText = command != EDevXob_LogEntry ? commandName(command) : nullptr;
    return commandText != nullptr ? commandText : "?";
}

void decodePayload(std::uint16_t functionId, const std::uint8_t* payload, std::size_t size,
                   DecodedRecord& record) {
    bool known = false;
    const EntryKind* kind = findEntryKind(functionId, payload, size, &known);
    record.kind = kind;
    if (kind == nullptr) {
        if (!known) {
            record.damage.push_back(format("unknown function identifier 0x%03X", functionId));
        } else if (size == 0) {
            record.damage.push_back("empty payload: the entry kind cannot be told");
        } else {
            record.sub = payload[0];
            record.damage.push_back(
                format("unknown sub-identifier %u of function identifier 0x%03X", payload[0], functionId));
        }
        record.undecoded.assign(payload, payload + size);
        return;
    }
    Cursor cursor{payload, size, 0};
    if (kind->hasSubId()) {
        record.sub = payload[0];
        cursor.pos = 1;
    }
    if (!decodeFields(kind->fields, cursor, record.fields, "", record.damage)) {
        record.undecoded.assign(payload + cursor.pos, payload + size);
        return;
    }
    if (cursor.left() > 0) {
        record.damage.push_back(format("%zu payload bytes beyond the layout of %s", cursor.left(), kind->name));
        record.undecoded.assign(payload + cursor.pos, payload + size);
    }
}

DecodedRecord decodeRecord(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    DecodedRecord record;
    record.offset = offset;
    record.size = size;
    if (size < kHeaderSize) {
        record.damage.push_back(format("%zu bytes are not a record: the header alone has 8", size));
        record.undecoded.assign(data, data + size);
        return record;
    }
    const std::size_t length = header::length(data);
    record.command = header::command(data);
    const std::uint32_t word = header::word(data);
    if (length + 2 > size) {
        record.damage.push_back(
            format("truncated: the length field announces %zu bytes, the stream holds %zu", length + 2, size));
    } else if (length + 2 < size) {
        record.damage.push_back(format("%zu bytes beyond the length field", size - length - 2));
    }
    if (length < kMinLength || length > kMaxLength) {
        record.damage.push_back(
            format("impossible length field %zu (a record has 6 to 2054 bytes after it)", length));
    }
    if (header::reserved(data) != 0) {
        record.damage.push_back(format("reserved header field is 0x%04X, not 0", header::reserved(data)));
    }
    // The bytes that belong to the record: what its length field says, within what there is, and
    // never less than the header that has been read.
    const std::size_t end = std::max(kHeaderSize, std::min(length + 2, size));
    if (record.command == EDevXob_LogEntry) {
        record.hasFunctionId = true;
        record.functionId = static_cast<std::uint16_t>(word);
        if (end < kLogEntryHeaderSize) {
            record.damage.push_back(format("a log entry of %zu bytes has no room for its timestamp", end));
            record.undecoded.assign(data + kHeaderSize, data + end);
            return record;
        }
        record.hasTimestamp = true;
        record.timestamp = header::timestamp(data);
        if (record.timestamp > 0xFFFFFFu) {
            record.damage.push_back(format("timestamp 0x%08X has bits above the low 24", record.timestamp));
        }
        decodePayload(record.functionId, data + kLogEntryHeaderSize, end - kLogEntryHeaderSize, record);
        return record;
    }
    const char* commandText = commandName(record.command);
    if (commandText == nullptr) {
        record.damage.push_back(format("unknown command %d", record.command));
        record.undecoded.assign(data + 6, data + end);
        return record;
    }
    if (length != fixedLength(record.command)) {
        record.damage.push_back(format("length field %zu: %s records have %zu", length, commandText,
                                       fixedLength(record.command)));
    }
    switch (record.command) {
    case EDevXob_InitFiles:
        record.hasFunctionId = true;
        record.functionId = static_cast<std::uint16_t>(word);
        if (word != kInitFilesId) {
            record.damage.push_back(format("identifier 0x%03X, not 0x503", word));
        }
        if (end >= header::kInitFilesSize) {
            addWord(record, wordLayout(record.command), header::filesOf(data));
        }
        break;
    case EDevXob_SetActivFlag:
        addWord(record, wordLayout(record.command), word);
        if (word > 1) {
            record.damage.push_back(format("flag %u is neither 0 nor 1", word));
        }
        break;
    case EDevXob_StopFlush:
        addWord(record, wordLayout(record.command), word);
        if (word != 0) {
            record.damage.push_back(format("value %u, not 0", word));
        }
        break;
    default:
        addWord(record, wordLayout(record.command), word);
        break;
    }
    const std::size_t used = record.command == EDevXob_InitFiles ? header::kInitFilesSize : kHeaderSize;
    if (end > used) {
        record.undecoded.assign(data + used, data + end);
    }
    return record;
}

StreamSummary decodeStream(const std::uint8_t* data, std::size_t size,
                           const std::function<void(const DecodedRecord&)>& onRecord) {
    StreamSummary summary;
    summary.bytes = size;
    const auto emit = [&](const DecodedRecord& record) {
        ++summary.records;
        summary.damaged += record.damaged() ? 1 : 0;
        onRecord(record);
    };
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t left = size - pos;
        const std::size_t length = left >= 2 ? header::length(data + pos) : 0;
        if (left < 2 || length < kMinLength || length > kMaxLength) {
            // No record has this length: find where the next well-formed one starts.
            const std::size_t next = nextWellFormed(data, size, pos + 1);
            DecodedRecord record;
            record.offset = pos;
            record.size = next - pos;
            record.damage.push_back(
                (left < 2 ? std::string("a stray byte at the end of the stream")
                          : format("impossible length field %zu (a record has 6 to 2054 bytes after it)",
                                   length)) +
                "; " + skipped(record.size, next, size));
            const std::size_t shown = record.size < kUndecodedShown ? record.size : kUndecodedShown;
            record.undecoded.assign(data + pos, data + pos + shown);
            emit(record);
            pos = next;
            continue;
        }
        if (length + 2 <= left) {
            emit(decodeRecord(data + pos, length + 2, pos));
            pos += length + 2;
            continue;
        }
        // Cut off by the end of the stream, or a length field that points past it: decode what
        // there is, and look for well-formed records in the rest.
        const std::size_t next = nextWellFormed(data, size, pos + 1);
        DecodedRecord record = decodeRecord(data + pos, next - pos, pos);
        if (next < size) {
            record.damage.push_back(format("continuing at the next well-formed record at offset %zu", next));
        }
        emit(record);
        pos = next;
    }
    return summary;
}

}  // namespace decoder
}  // namespace xob
