#include "Decoder.h"

#include <xob/GXob.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

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

// A field's name with the list items it lies in, for damage reports; built only for those.
std::string fieldPath(const std::string& prefix, const FieldLayout& layout) {
    return prefix + layout.name;
}

bool need(const Cursor& c, std::size_t bytes, const std::string& prefix, const FieldLayout& layout,
          std::vector<std::string>& damage, const char* what = "") {
    if (c.left() >= bytes) {
        return true;
    }
    std::string path = fieldPath(prefix, layout);
    path = path.empty() && layout.type == FieldType::Gap ? "(unassigned)" : path + what;
    damage.push_back(format("payload ends inside field '%s': it needs %zu bytes at payload offset %zu, "
                            "%zu are left",
                            path.c_str(), bytes, c.pos, c.left()));
    return false;
}

void integerValue(const FieldLayout& layout, const std::uint8_t* p, Value& value) {
    std::uint64_t raw = 0;
    for (unsigned i = 0; i < layout.width; ++i) {
        const unsigned byte = layout.order == ByteOrder::Big ? i : layout.width - 1 - i;
        raw = (raw << 8) | p[byte];
    }
    if (layout.mask != 0) {
        raw &= layout.mask;
    }
    if (layout.type == FieldType::Signed) {
        const unsigned unused = 64 - 8 * layout.width;
        value.kind = Value::Kind::Signed;
        value.s = static_cast<std::int64_t>(raw << unused) >> unused;
    } else {
        value.kind = Value::Kind::Unsigned;
        value.u = raw;
    }
}

bool decodeFields(const std::vector<FieldLayout>& layouts, Cursor& c, std::vector<Field>& out,
                  const std::string& prefix, std::vector<std::string>& damage);

// Decodes one field at the cursor and moves past it. False when the payload does not hold it; the
// cursor then stays at the field's start, except behind a text without terminator, which is kept
// as far as it goes.
bool decodeField(const FieldLayout& layout, Cursor& c, std::vector<Field>& out, const std::string& prefix,
                 std::vector<std::string>& damage) {
    const std::uint8_t* at = c.data + c.pos;
    if (layout.type == FieldType::Gap) {
        if (!need(c, layout.size, prefix, layout, damage)) {
            return false;
        }
        // No sender assigns these bytes, and every sender writes them as zeros.
        if (std::any_of(at, at + layout.size, [](std::uint8_t byte) { return byte != 0; })) {
            damage.push_back(format("unassigned bytes at payload offset %zu to %zu are not zero", c.pos,
                                    c.pos + layout.size - 1));
        }
        c.pos += layout.size;
        return true;
    }
    if (layout.type == FieldType::Flags) {
        if (!need(c, 1, prefix, layout, damage)) {
            return false;
        }
        for (std::size_t bit = 0; bit < layout.items.size(); ++bit) {
            out.emplace_back();
            out.back().layout = &layout.items[bit];
            out.back().value.kind = Value::Kind::Bool;
            out.back().value.u = (*at >> bit) & 1u;
        }
        c.pos += 1;
        return true;
    }
    // The field is built in its place in the list, and taken out again if the payload lacks it.
    out.emplace_back();
    out.back().layout = &layout;
    Value& value = out.back().value;
    const auto missing = [&out] {
        out.pop_back();
        return false;
    };
    switch (layout.type) {
    case FieldType::Unsigned:
    case FieldType::Signed:
        if (!need(c, layout.width, prefix, layout, damage)) {
            return missing();
        }
        integerValue(layout, at, value);
        c.pos += layout.width;
        break;
    case FieldType::Bool:
        if (!need(c, 1, prefix, layout, damage)) {
            return missing();
        }
        if (*at > 1) {
            value.kind = Value::Kind::Unsigned;
            value.u = *at;
            damage.push_back(format("flag '%s' is %u, neither 0 nor 1", fieldPath(prefix, layout).c_str(), *at));
        } else {
            value.kind = Value::Kind::Bool;
            value.u = *at;
        }
        c.pos += 1;
        break;
    case FieldType::Char:
        if (!need(c, 1, prefix, layout, damage)) {
            return missing();
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
            c.pos += window;
            const std::string path = fieldPath(prefix, layout);
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
        if (!need(c, layout.size, prefix, layout, damage)) {
            return missing();
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
    case FieldType::Flags:
        break;
    case FieldType::List: {
        if (!need(c, 1, prefix, layout, damage, " (item count)")) {
            return missing();
        }
        const unsigned count = *at;
        c.pos += 1;
        const std::string path = fieldPath(prefix, layout);
        if (count > layout.size) {
            damage.push_back(format("list '%s' counts %u items, more than its cap of %u", path.c_str(),
                                    count, unsigned{layout.size}));
        }
        value.kind = Value::Kind::List;
        for (unsigned i = 0; i < count; ++i) {
            std::vector<Field> item;
            item.reserve(layout.items.size());
            const bool whole = decodeFields(layout.items, c, item, path + "[" + std::to_string(i) + "].", damage);
            if (!item.empty()) {
                value.items.push_back(std::move(item));
            }
            if (!whole) {
                return false;
            }
        }
        break;
    }
    }
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

// Whether a record that this decoder reads without complaint about its header starts at `p`, with
// `available` bytes from there on: used to find the way back into a stream after a length field
// that no record can have. Before the end of the stream, the answer may have to wait for bytes
// still to come.
enum class Start { Yes, No, NeedMore };

Start recordStart(const std::uint8_t* p, std::size_t available, bool atEnd) {
    if (available < kHeaderSize) {
        return atEnd ? Start::No : Start::NeedMore;
    }
    const std::size_t length = header::length(p);
    const int command = header::command(p);
    const std::uint32_t word = header::word(p);
    if (header::reserved(p) != 0 || length < kMinLength || length > kMaxLength) {
        return Start::No;
    }
    bool header = false;
    switch (command) {
    case EDevXob_LogEntry:
        // A log entry may have no payload at all (writeToXob takes length 0). Byte 11 (the timestamp's top byte) is
        // read only where the record's bytes are there.
        header = length >= kLogEntryHeaderSize - 2 && (length + 2 > available || p[11] == 0);
        break;
    case EDevXob_InitFiles:
        header = length == fixedLength(command) && word == kInitFilesId;
        break;
    case EDevXob_SetActivFlag:
        header = length == fixedLength(command) && word <= 1;
        break;
    case EDevXob_StopFlush:
        header = length == fixedLength(command) && word == 0;
        break;
    case EDevXob_FlushFilesReady:
        header = length == fixedLength(command);
        break;
    default:
        break;
    }
    if (!header) {
        return Start::No;
    }
    if (length + 2 > available) {
        return atEnd ? Start::No : Start::NeedMore;
    }
    return Start::Yes;
}

constexpr std::size_t kUndecodedShown = 64;

std::string skipped(std::size_t count, std::size_t next, bool found) {
    return found ? format("skipped %zu bytes to the next well-formed record at offset %zu", count, next)
                 : format("skipped %zu bytes to the end of the stream", count);
}

constexpr std::size_t kChunkRoom = 1 << 16;

// findEntryKind reads the identifier and at most the first four payload bytes; a recording
// repeats a few kinds over and over, so the answers are kept for those keys.
const EntryKind* cachedEntryKind(std::uint16_t functionId, const std::uint8_t* payload, std::size_t size,
                                 bool& known) {
    struct Slot {
        bool used = false;
        std::uint16_t functionId = 0;
        std::uint8_t keySize = 0;
        std::uint32_t key = 0;
        const EntryKind* kind = nullptr;
        bool known = false;
    };
    thread_local Slot t_slots[256];
    const std::uint8_t keySize = static_cast<std::uint8_t>(std::min<std::size_t>(size, 4));
    std::uint32_t key = 0;
    for (std::uint8_t i = 0; i < keySize; ++i) {
        key |= static_cast<std::uint32_t>(payload[i]) << (8 * i);
    }
    Slot& slot = t_slots[(functionId ^ (key * 0x9E3779B1u >> 24) ^ keySize) & 0xFF];
    if (!slot.used || slot.functionId != functionId || slot.keySize != keySize || slot.key != key) {
        slot.used = true;
        slot.functionId = functionId;
        slot.keySize = keySize;
        slot.key = key;
        slot.kind = findEntryKind(functionId, payload, size, &slot.known);
    }
    known = slot.known;
    return slot.kind;
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
    const EntryKind* kind = cachedEntryKind(functionId, payload, size, known);
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

void DecodedRecord::clear() {
    offset = 0;
    size = 0;
    command = -1;
    hasTimestamp = false;
    timestamp = 0;
    hasFunctionId = false;
    functionId = 0;
    sub = -1;
    kind = nullptr;
    fields.clear();
    undecoded.clear();
    damage.clear();
}

DecodedRecord decodeRecord(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    DecodedRecord record;
    decodeRecordInto(record, data, size, offset);
    return record;
}

void decodeRecordInto(DecodedRecord& record, const std::uint8_t* data, std::size_t size, std::size_t offset) {
    record.clear();
    record.offset = offset;
    record.size = size;
    if (size < kHeaderSize) {
        record.damage.push_back(format("%zu bytes are not a record: the header alone has 8", size));
        record.undecoded.assign(data, data + size);
        return;
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
            return;
        }
        record.hasTimestamp = true;
        record.timestamp = header::timestamp(data);
        if (record.timestamp > 0xFFFFFFu) {
            record.damage.push_back(format("timestamp 0x%08X has bits above the low 24", record.timestamp));
        }
        decodePayload(record.functionId, data + kLogEntryHeaderSize, end - kLogEntryHeaderSize, record);
        return;
    }
    const char* commandText = commandName(record.command);
    if (commandText == nullptr) {
        record.damage.push_back(format("unknown command %d", record.command));
        record.undecoded.assign(data + 6, data + end);
        return;
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
}

bool plausibleRecordStart(const std::uint8_t* data, std::size_t size) { return recordStart(data, size, true) == Start::Yes; }

StreamSummary decodeStream(const std::uint8_t* data, std::size_t size,
                           const std::function<void(const DecodedRecord&)>& onRecord) {
    StreamDecoder stream(onRecord);
    stream.feed(data, size);
    stream.finish();
    return stream.summary();
}

StreamDecoder::StreamDecoder(Callback onRecord) : m_onRecord(std::move(onRecord)) {}

void StreamDecoder::emit(const DecodedRecord& record) {
    ++m_summary.records;
    m_summary.damaged += record.damaged() ? 1 : 0;
    m_onRecord(record);
}

void StreamDecoder::feed(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    if (m_used > 0) {
        std::memcpy(prepare(size), data, size);
        commit(size);
        return;
    }
    // Nothing held back: decode straight from the caller's bytes and keep only the undecided tail.
    m_summary.bytes += size;
    keep(data, run(data, size, false), size);
}

std::uint8_t* StreamDecoder::prepare(std::size_t size) {
    if (m_buffer.size() < m_used + size) {
        m_buffer.resize(m_used + size);
    }
    return m_buffer.data() + m_used;
}

void StreamDecoder::commit(std::size_t size) {
    m_used += size;
    m_summary.bytes += size;
    const std::size_t done = run(m_buffer.data(), m_used, false);
    keep(m_buffer.data(), done, m_used);
}

void StreamDecoder::finish() {
    run(m_buffer.data(), m_used, true);
    m_used = 0;
    m_buffer.clear();
    m_buffer.shrink_to_fit();
}

// Holds back data[from, size): the bytes not decided yet, at most one record's worth.
void StreamDecoder::keep(const std::uint8_t* data, std::size_t from, std::size_t size) {
    if (m_skipping) {
        keepShown(data, m_base, m_base + from);
    }
    const std::size_t count = size - from;
    if (data != m_buffer.data() && m_buffer.size() < count + kChunkRoom) {
        m_buffer.resize(count + kChunkRoom);
    }
    if (count > 0) {
        std::memmove(m_buffer.data(), data + from, count);
    }
    m_used = count;
    m_base += from;
}

// Copies the skipped bytes in [fromOffset, untilOffset) of `data` (which begins at stream offset
// fromOffset) that the report shows and that are not copied yet.
void StreamDecoder::keepShown(const std::uint8_t* data, std::size_t fromOffset, std::size_t untilOffset) {
    const std::size_t end = std::min(untilOffset, m_skipStart + kUndecodedShown);
    for (std::size_t at = m_skipStart + m_shown.size(); at < end; ++at) {
        m_shown.push_back(data[at - fromOffset]);
    }
}

// Decodes the records that data[0, size) (at stream offset m_base) completes; returns where the
// bytes still undecided begin.
std::size_t StreamDecoder::run(const std::uint8_t* data, std::size_t size, bool atEnd) {
    std::size_t pos = 0;
    for (;;) {
        if (m_skipping) {
            std::size_t at = m_scan - m_base;
            Start start = Start::No;
            for (; at < size; ++at) {
                start = recordStart(data + at, size - at, atEnd);
                if (start != Start::No) {
                    break;
                }
            }
            m_scan = m_base + at;
            if (start == Start::NeedMore || (at == size && !atEnd)) {
                return at;
            }
            const bool found = at < size;
            keepShown(data, m_base, m_scan);
            m_record.clear();
            m_record.offset = m_skipStart;
            m_record.size = m_scan - m_skipStart;
            m_record.damage.push_back(
                (m_stray ? std::string("a stray byte at the end of the stream")
                         : format("impossible length field %zu (a record has 6 to 2054 bytes after it)",
                                  m_skipLength)) +
                "; " + skipped(m_record.size, m_scan, found));
            m_record.undecoded.swap(m_shown);
            m_shown.clear();
            m_skipping = false;
            emit(m_record);
            pos = at;
            continue;
        }
        const std::size_t left = size - pos;
        if (left == 0 || (left < 2 && !atEnd)) {
            return pos;
        }
        const std::size_t length = left >= 2 ? header::length(data + pos) : 0;
        if (left < 2 || length < kMinLength || length > kMaxLength) {
            // No record has this length: find where the next well-formed one starts.
            m_skipping = true;
            m_stray = left < 2;
            m_skipStart = m_base + pos;
            m_skipLength = length;
            m_scan = m_skipStart + 1;
            m_shown.clear();
            continue;
        }
        if (length + 2 <= left) {
            decodeRecordInto(m_record, data + pos, length + 2, m_base + pos);
            emit(m_record);
            pos += length + 2;
            continue;
        }
        if (!atEnd) {
            return pos;
        }
        // Cut off by the end of the stream, or a length field that points past it: decode what
        // there is, and look for well-formed records in the rest.
        std::size_t next = pos + 1;
        while (next < size && recordStart(data + next, size - next, true) != Start::Yes) {
            ++next;
        }
        decodeRecordInto(m_record, data + pos, next - pos, m_base + pos);
        if (next < size) {
            m_record.damage.push_back(
                format("continuing at the next well-formed record at offset %zu", m_base + next));
        }
        emit(m_record);
        pos = next;
    }
}

}  // namespace decoder
}  // namespace xob
