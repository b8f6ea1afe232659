// Decoding of command records, one at a time or as a stream. Decoding never reads outside the
// bytes it is given and never gives up on a stream: whatever does not fit the record format is
// reported on the line of the record it belongs to, with that record's offset in the stream, and
// decoding goes on with the next record.
#ifndef XOB_TOOLS_DECODER_DECODER_H
#define XOB_TOOLS_DECODER_DECODER_H

#include "Catalogue.h"
#include "channel/RecordHeader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xob {
namespace decoder {

// The name of a command code (byte 4 of a record): "InitFiles", "LogEntry", "FlushFilesReady",
// "SetActivFlag", "StopFlush"; null for other codes.
const char* commandName(int command);

constexpr std::size_t kHeaderSize = header::kSize;
constexpr std::size_t kLogEntryHeaderSize = header::kLogEntryHeaderSize;
constexpr std::size_t kMaxRecordSize = header::kMaxRecordSize;

struct Field;

// A decoded value. Integers keep their signedness; texts and characters keep their raw 8-bit
// bytes (the library records Latin-1); lists hold one field list per item.
struct Value {
    enum class Kind : std::uint8_t { Signed, Unsigned, Bool, Char, Text, Bytes, List };
    Kind kind = Kind::Unsigned;
    std::int64_t s = 0;
    std::uint64_t u = 0;
    std::string text;
    std::vector<std::uint8_t> bytes;
    std::vector<std::vector<Field>> items;
};

struct Field {
    const FieldLayout* layout;  // name, type and presentation
    Value value;
};

struct DecodedRecord {
    std::size_t offset = 0;  // of the record's first byte in the stream
    std::size_t size = 0;    // bytes of the stream this record stands for
    int command = -1;        // byte 4; -1 when the record is too short to have one
    bool hasTimestamp = false;
    std::uint32_t timestamp = 0;  // hundredths of a second
    bool hasFunctionId = false;
    std::uint16_t functionId = 0;
    int sub = -1;  // the sub-identifier, -1 when the entry kind has none
    const EntryKind* kind = nullptr;
    std::vector<Field> fields;
    std::vector<std::uint8_t> undecoded;  // bytes that no layout explains
    std::vector<std::string> damage;

    bool damaged() const { return !damage.empty(); }
    // Back to a record with nothing decoded, keeping the room its lists have taken.
    void clear();
    // The entry's name, or the command's name for the other commands, or "?".
    const char* name() const;
};

// Decodes one record held in `data[0, size)`. `size` is what the stream holds of it: normally its
// length field + 2; less for a record cut off at the end of the stream.
DecodedRecord decodeRecord(const std::uint8_t* data, std::size_t size, std::size_t offset = 0);
// The same into a record that is used again and again, so that its lists keep their room.
void decodeRecordInto(DecodedRecord& record, const std::uint8_t* data, std::size_t size, std::size_t offset = 0);

// Decodes the payload of a log entry with this function identifier into `record` (kind, sub,
// fields, undecoded bytes and damage).
void decodePayload(std::uint16_t functionId, const std::uint8_t* payload, std::size_t size,
                   DecodedRecord& record);

// True when a well-formed record starts at data[0] and lies whole within `size` bytes: the rule by
// which decodeStream finds its way back into a stream, for readers that cut a stream themselves.
bool plausibleRecordStart(const std::uint8_t* data, std::size_t size);

struct StreamSummary {
    std::size_t records = 0;  // lines produced, damaged ones included
    std::size_t damaged = 0;
    std::size_t bytes = 0;
};

// Cuts a stream of records by their length fields and decodes each. A length field that no
// record can have makes the decoder look for the next place where a well-formed record starts;
// the bytes in between are reported as one damaged line.
StreamSummary decodeStream(const std::uint8_t* data, std::size_t size,
                           const std::function<void(const DecodedRecord&)>& onRecord);

// decodeStream for a stream that arrives in pieces of any size, in memory bounded by the largest
// record: each record is reported as soon as its last byte has arrived (a record is held back
// only while its own bytes, or the bytes that tell where the next well-formed record starts, are
// still to come). Fed the same bytes, it reports the same records as decodeStream, however they
// are cut. The record passed to the callback is valid during the call only.
class StreamDecoder {
public:
    using Callback = std::function<void(const DecodedRecord&)>;
    explicit StreamDecoder(Callback onRecord);
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // The next bytes of the stream.
    void feed(const std::uint8_t* data, std::size_t size);
    // Reading without a copy: room for `size` more bytes, then how many of them were filled.
    std::uint8_t* prepare(std::size_t size);
    void commit(std::size_t size);
    // The stream has ended: what was held back is decoded, cut off where the stream ends.
    void finish();

    const StreamSummary& summary() const { return m_summary; }
    // Bytes received and not yet decoded.
    std::size_t held() const { return m_used; }

private:
    std::size_t run(const std::uint8_t* data, std::size_t size, bool atEnd);
    void emit(const DecodedRecord& record);
    void keepShown(const std::uint8_t* data, std::size_t fromOffset, std::size_t untilOffset);
    void keep(const std::uint8_t* data, std::size_t from, std::size_t size);

    Callback m_onRecord;
    StreamSummary m_summary;
    DecodedRecord m_record;
    std::vector<std::uint8_t> m_buffer;  // the bytes held back, m_used of them, then room
    std::size_t m_used = 0;
    std::size_t m_base = 0;  // stream offset of the first byte held back
    // Looking for the next well-formed record after an impossible length field.
    bool m_skipping = false;
    bool m_stray = false;                // the skip began with a single byte at the end
    std::size_t m_skipStart = 0;         // stream offsets
    std::size_t m_skipLength = 0;        // the length field that no record can have
    std::size_t m_scan = 0;
    std::vector<std::uint8_t> m_shown;   // the skipped bytes' first ones, for the report
};

}  // namespace decoder
}  // namespace xob

#endif
