// The catalogue of entry kinds as data: for every kind of log entry its function identifier, how it
// is told apart from the other kinds of that identifier (sub-identifier, or bits of its first
// value), and the layout of its payload. The decoder, the record-format document, the round-trip
// test and the fuzzer all read this one table; nothing decodes an entry kind by code of its own.
#ifndef XOB_TOOLS_DECODER_CATALOGUE_H
#define XOB_TOOLS_DECODER_CATALOGUE_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xob {
namespace decoder {

// Names for the values of an enumeration that the library defines.
struct Enumerator {
    std::int64_t value;
    const char* name;
};

struct EnumTable {
    const char* name;  // e.g. "GXob::MediaType"
    std::vector<Enumerator> values;

    const char* lookup(std::int64_t value) const;  // null when the value has no name
};

enum class FieldType : std::uint8_t {
    Unsigned,  // width 1, 2, 4 or 8 bytes
    Signed,    // two's complement, width 1, 2, 4 or 8 bytes
    Bool,      // one byte, 0 or 1
    Char,      // one byte, a character
    Text,      // NUL-terminated, at most `size` bytes including the terminator
    Bytes,     // exactly `size` bytes
    ByteRest,  // the rest of the payload, at most `size` bytes
    Gap,       // `size` bytes that no sender assigns
    Flags,     // one byte; bit i is the Bool `items[i]`
    List       // a one-byte item count (at most `size`), then that many items laid out as `items`
};

enum class ByteOrder : std::uint8_t { Little, Big };

struct FieldLayout {
    const char* name = "";
    FieldType type = FieldType::Unsigned;
    std::uint8_t width = 0;                    // integers
    ByteOrder order = ByteOrder::Little;       // integers
    std::uint16_t size = 0;                    // see FieldType
    std::uint64_t mask = 0;                    // integers: bits that belong to the value (0: all)
    bool hex = false;                          // integers: shown as 0x...
    const EnumTable* names = nullptr;          // integers: names of the values
    std::vector<FieldLayout> items;              // List: item layout; Flags: one Bool per bit
};

// How an entry kind is told apart from the others that share its function identifier.
enum class KeyKind : std::uint8_t {
    None,      // the only kind of its identifier; the payload starts with its first field
    SubId,     // payload byte 0 equals `keyValue`
    AnySubId,  // payload byte 0 is a sub-identifier that no SubId row of the identifier claims
    Bits       // the little-endian u32 at payload offset 0, masked with `keyMask`, equals `keyValue`
};

struct EntryKind {
    const char* name;  // the entry function's name without the namespace
    std::uint16_t functionId;
    KeyKind key;
    std::uint32_t keyMask;
    std::uint32_t keyValue;
    std::vector<FieldLayout> fields;  // in payload order, after the sub-identifier byte if any

    bool hasSubId() const { return key == KeyKind::SubId || key == KeyKind::AnySubId; }
};

// One function identifier and what its entries record.
struct Family {
    std::uint16_t functionId;
    const char* title;
};

// Every entry kind, grouped by function identifier; within an identifier the SubId and Bits rows
// come before its AnySubId row.
const std::vector<EntryKind>& entryKinds();
const std::vector<Family>& families();
const Family* findFamily(std::uint16_t functionId);

// The entry kind of a log entry with this identifier and payload, or null. `known` tells whether
// the identifier itself is in the catalogue.
const EntryKind* findEntryKind(std::uint16_t functionId, const std::uint8_t* payload,
                               std::size_t size, bool* known = nullptr);

}  // namespace decoder
}  // namespace xob

#endif
