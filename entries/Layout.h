// The words in which an entry kind's payload is stated (entries/EntryKinds.def): the field types
// with their widths, byte orders, caps and names, item layouts of lists and flag bytes, enumerator
// names, and how a kind is told apart inside its function identifier. Everything here is constexpr
// data, so the entry functions check their builder chains against it at compile time
// (entries/Entry.h) and the decoder, the record-format document and the tests read it at run time.
#ifndef XOB_ENTRIES_LAYOUT_H
#define XOB_ENTRIES_LAYOUT_H

#include <cstddef>
#include <cstdint>

namespace xob {
namespace layout {

// Names for the values of an enumeration.
struct Enumerator {
    std::int64_t value;
    const char* name;
};

struct Names {
    const char* name;  // e.g. "GXob::MediaType"
    const Enumerator* values;
    std::size_t count;

    constexpr const char* lookup(std::int64_t value) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (values[i].value == value) {
                return values[i].name;
            }
        }
        return nullptr;
    }
};

enum class Type : std::uint8_t {
    Unsigned,  // width 1, 2, 4 or 8 bytes
    Signed,    // two's complement, width 1, 2, 4 or 8 bytes
    Bool,      // one byte, 0 or 1
    Char,      // one byte, a character
    Text,      // NUL-terminated, at most `size` bytes including the terminator
    Bytes,     // exactly `size` bytes
    ByteRest,  // the rest of the payload, at most `size` bytes
    Gap,       // `size` bytes that no sender assigns; written as zeros
    Flags,     // one byte; bit i is the Bool item i
    List       // a one-byte item count (at most `size`), then that many items laid out as `items`
};

enum class Order : std::uint8_t { Little, Big };

struct Layout;

struct Field {
    const char* name;
    Type type;
    std::uint8_t width;    // integers
    Order order;           // integers
    std::uint16_t size;    // see Type
    std::uint32_t mask;    // integers: bits that belong to the value (0: all)
    bool hex;              // integers: shown as 0x...
    const Names* names;    // integers: names of the values
    const Layout* items;   // List: the item layout; Flags: one Bool per bit
};

// Fields in payload order.
struct Layout {
    const Field* fields;
    std::size_t count;

    // Bytes the layout always takes: its fields' widths and sizes (texts, lists and rests: 0).
    constexpr std::size_t fixedSize() const {
        std::size_t total = 0;
        for (std::size_t i = 0; i < count; ++i) {
            total += fixedSizeOf(fields[i]);
        }
        return total;
    }
    constexpr const Field& operator[](std::size_t i) const { return fields[i]; }
    // The field of this name; the first one if there is none (callers check the name).
    constexpr const Field& named(const char* name) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (same(fields[i].name, name)) {
                return fields[i];
            }
        }
        return fields[0];
    }

    static constexpr std::size_t fixedSizeOf(const Field& f) {
        switch (f.type) {
        case Type::Unsigned:
        case Type::Signed: return f.width;
        case Type::Bool:
        case Type::Char:
        case Type::Flags: return 1;
        case Type::Bytes:
        case Type::Gap: return f.size;
        default: return 0;
        }
    }
    static constexpr bool same(const char* a, const char* b) {
        while (*a != 0 && *a == *b) {
            ++a;
            ++b;
        }
        return *a == *b;
    }
};

// How an entry kind is told apart from the others that share its function identifier.
enum class KeyKind : std::uint8_t {
    None,      // the only kind of its identifier; the payload starts with its first field
    SubId,     // payload byte 0 equals `value`
    AnySubId,  // payload byte 0 is a sub-identifier that no SubId kind of the identifier claims
    Bits       // the little-endian u32 at payload offset 0, masked with `mask`, equals `value`
};

struct Key {
    KeyKind kind;
    std::uint32_t mask;
    std::uint32_t value;
    // Pointer parameters without which the entry records nothing (an absent text that is not
    // named here is recorded as the empty text).
    const char* required[2];

    constexpr Key needs(const char* first, const char* second = nullptr) const {
        return {kind, mask, value, {first, second}};
    }
    constexpr int requiredCount() const {
        return (required[0] != nullptr ? 1 : 0) + (required[1] != nullptr ? 1 : 0);
    }
    constexpr bool hasSubId() const { return kind == KeyKind::SubId || kind == KeyKind::AnySubId; }
};

struct Kind {
    const char* name;  // the entry function's name without the namespace
    std::uint16_t functionId;
    Key key;
    const Layout* payload;  // after the sub-identifier byte, if any
};

struct Family {
    std::uint16_t functionId;
    const char* title;
};

// ---- The vocabulary of the statements ----

constexpr Field integer(const char* name, Type type, int width, Order order, const Names* names = nullptr) {
    return {name, type, static_cast<std::uint8_t>(width), order, 0, 0, false, names, nullptr};
}
constexpr Field sized(const char* name, Type type, int size, const Layout* items = nullptr) {
    return {name, type, 0, Order::Little, static_cast<std::uint16_t>(size), 0, false, nullptr, items};
}

// The integer words: u8("name"), or u8("name", names) for values that have names.
struct IntegerWord {
    Type type;
    int width;
    Order order;

    constexpr Field operator()(const char* name) const { return integer(name, type, width, order); }
    constexpr Field operator()(const char* name, const Names& names) const {
        return integer(name, type, width, order, &names);
    }
};

constexpr IntegerWord u8{Type::Unsigned, 1, Order::Little}, s8{Type::Signed, 1, Order::Little},
    u16le{Type::Unsigned, 2, Order::Little}, u16be{Type::Unsigned, 2, Order::Big},
    s16be{Type::Signed, 2, Order::Big}, u32le{Type::Unsigned, 4, Order::Little},
    u32be{Type::Unsigned, 4, Order::Big}, s32le{Type::Signed, 4, Order::Little},
    s32be{Type::Signed, 4, Order::Big}, u64be{Type::Unsigned, 8, Order::Big}, s64be{Type::Signed, 8, Order::Big};

// A u32 LE shown in hex (an address).
constexpr Field hex32(const char* name) {
    return {name, Type::Unsigned, 4, Order::Little, 0, 0, true, nullptr, nullptr};
}
// A u32 LE whose value is the bits of `mask` only.
constexpr Field masked32(const char* name, std::uint32_t mask) {
    return {name, Type::Unsigned, 4, Order::Little, 0, mask, false, nullptr, nullptr};
}

constexpr Field boolean(const char* name) { return sized(name, Type::Bool, 1); }
constexpr Field character(const char* name) { return sized(name, Type::Char, 1); }
constexpr Field text(const char* name, int cap) { return sized(name, Type::Text, cap); }
constexpr Field bytes(const char* name, int count) { return sized(name, Type::Bytes, count); }
constexpr Field byteRest(const char* name, int most) { return sized(name, Type::ByteRest, most); }
constexpr Field gap(int count) { return sized("", Type::Gap, count); }
constexpr Field flags(const char* name, const Layout& bits) { return sized(name, Type::Flags, 1, &bits); }
constexpr Field list(const char* name, int cap, const Layout& item) { return sized(name, Type::List, cap, &item); }

constexpr Key only() { return {KeyKind::None, 0, 0, {nullptr, nullptr}}; }
constexpr Key sub(std::uint32_t value) { return {KeyKind::SubId, 0xFF, value, {nullptr, nullptr}}; }
constexpr Key anySub() { return {KeyKind::AnySubId, 0, 0, {nullptr, nullptr}}; }
constexpr Key bits(std::uint32_t mask, std::uint32_t value) { return {KeyKind::Bits, mask, value, {nullptr, nullptr}}; }

// Storage for a statement's fields; a layout without fields keeps one unused slot.
template <std::size_t N>
struct FieldArray {
    Field at[N > 0 ? N : 1];
    static constexpr std::size_t count = N;
};

template <typename... F>
constexpr FieldArray<sizeof...(F)> fieldArray(F... fields) {
    return {{fields...}};
}
constexpr FieldArray<0> fieldArray() { return {{gap(0)}}; }

}  // namespace layout
}  // namespace xob

#endif
