// The catalogue of entry kinds as data: for every kind of log entry its function identifier, how it
// is told apart from the other kinds of that identifier (sub-identifier, or bits of its first
// value), and the layout of its payload. It is made from the library's own statements of the entry
// kinds (entries/EntryKinds.def), so the decoder reads what the entry functions write. The decoder,
// the record-format document, the round-trip test and the fuzzer all read this one table; nothing
// decodes an entry kind by code of its own.
#ifndef XOB_TOOLS_DECODER_CATALOGUE_H
#define XOB_TOOLS_DECODER_CATALOGUE_H

#include "entries/Layout.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xob {
namespace decoder {

// The words of the statements (entries/Layout.h), shared with the library.
using Enumerator = layout::Enumerator;  // a value and its name
using FieldType = layout::Type;
using ByteOrder = layout::Order;

// Names for the values of an enumeration that the library defines.
struct EnumTable {
    const char* name;  // e.g. "GXob::MediaType"
    std::vector<Enumerator> values;

    const char* lookup(std::int64_t value) const;  // null when the value has no name
};

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

// How an entry kind is told apart from the others that share its function identifier: None (the
// only kind of its identifier), SubId (payload byte 0 equals `keyValue`), AnySubId (a
// sub-identifier that no SubId kind of the identifier claims), Bits (the little-endian u32 at
// payload offset 0, masked with `keyMask`, equals `keyValue`).
using KeyKind = layout::KeyKind;

struct EntryKind {
    const char* name;  // the entry function's name without the namespace
    std::uint16_t functionId;
    KeyKind key;
    std::uint32_t keyMask;
    std::uint32_t keyValue;
    std::vector<FieldLayout> fields;  // in payload order, after the sub-identifier byte if any
    std::vector<const char*> required;  // pointer parameters without which nothing is recorded

    bool hasSubId() const { return key == KeyKind::SubId || key == KeyKind::AnySubId; }
};

// One function identifier and what its entries record (functionId, title).
using Family = layout::Family;

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
