// Entry<kind>: the record builder held to an entry kind's statement (entries/EntryKinds.def). It
// writes the function identifier and the sub-identifier that the statement gives, then takes the
// payload fields one by one in payload order. Each field method checks at compile time that the
// statement's next field has its type and width; byte orders, caps, gap sizes and list caps come
// from the statement, and send() does not compile before every field is written. So an entry
// function reads like its payload table and states none of its facts a second time:
//
//     Entry<kind::Nav_StartRGHDU_LogEntry>().s8(mode).text(routeOptions).text(tmcStation)
//         .s32(reason).send(useCallerTime, callerTime);
//
// A kind whose statement names required pointers is built through present<kind>(pointers...),
// which takes exactly as many pointers as the statement names; its entry() is there only when
// none of them is null. Everything here inlines into the plain builder calls, so the call path
// costs what the hand-written chain costs.
#ifndef XOB_ENTRIES_ENTRY_H
#define XOB_ENTRIES_ENTRY_H

#include "channel/RecordBuilder.h"
#include "entries/EntryKinds.h"

#include <cstddef>
#include <cstdint>

namespace xob {

using layout::Kind;
using layout::KeyKind;
using layout::Layout;
using layout::Type;

// The fields of layout L from index I on, still to be written through `Writer` (the record
// builder, or the unchecked writer of a run of list items).
template <const Layout& L, std::size_t I, typename Writer>
class Fields {
    using Next = Fields<L, I + 1, Writer>;

public:
    explicit Fields(Writer& record) noexcept : m_record(record) {}

    Next u8(std::uint32_t value) const noexcept {
        static_assert(is(Type::Unsigned, 1), "the statement has another field here");
        m_record.u8(value);
        return Next(m_record);
    }
    Next s8(int value) const noexcept {
        static_assert(is(Type::Signed, 1), "the statement has another field here");
        m_record.s8(value);
        return Next(m_record);
    }
    Next boolean(bool value) const noexcept {
        static_assert(is(Type::Bool), "the statement has another field here");
        m_record.boolean(value);
        return Next(m_record);
    }
    Next character(char value) const noexcept {
        static_assert(is(Type::Char), "the statement has another field here");
        m_record.data(value);
        return Next(m_record);
    }
    Next u16(std::uint32_t value) const noexcept { return integer<Type::Unsigned, 2>(value); }
    Next s16(int value) const noexcept { return integer<Type::Signed, 2>(static_cast<std::uint32_t>(value)); }
    Next u32(std::uint32_t value) const noexcept { return integer<Type::Unsigned, 4>(value); }
    Next s32(std::int32_t value) const noexcept { return integer<Type::Signed, 4>(static_cast<std::uint32_t>(value)); }
    Next u64(std::uint64_t value) const noexcept { return integer<Type::Unsigned, 8>(value); }
    Next s64(std::int64_t value) const noexcept { return integer<Type::Signed, 8>(static_cast<std::uint64_t>(value)); }
    // A pointer, recorded as its low 32 bits whatever the host's pointer width.
    Next address(const void* value) const noexcept {
        static_assert(is(Type::Unsigned, 4) && field().hex, "the statement has another field here");
        m_record.data(value);
        return Next(m_record);
    }
    Next text(const char* value) const noexcept {
        static_assert(is(Type::Text), "the statement has another field here");
        m_record.text(value, field().size);
        return Next(m_record);
    }
    Next bytes(const void* source) const noexcept {
        static_assert(is(Type::Bytes), "the statement has another field here");
        m_record.bytes(source, field().size);
        return Next(m_record);
    }
    // The first `count` bytes of `source`, at most the field's cap; none for a negative count.
    Next byteRest(const void* source, int count) const noexcept {
        static_assert(is(Type::ByteRest), "the statement has another field here");
        constexpr int most = field().size;
        m_record.bytes(source, count < 0 ? 0 : (count < most ? count : most));
        return Next(m_record);
    }
    Next gap() const noexcept {
        static_assert(is(Type::Gap), "the statement has another field here");
        m_record.gap(field().size);
        return Next(m_record);
    }
    // The flags byte from its bools, bit 0 first: one bool for every bit the statement names.
    template <std::size_t Count>
    Next flags(const bool (&bits)[Count]) const noexcept {
        static_assert(is(Type::Flags), "the statement has another field here");
        static_assert(Count == field().items->count, "one bool for every flag of the statement");
        unsigned byte = 0;
        for (std::size_t bit = 0; bit < Count; ++bit) {
            byte |= bits[bit] ? 1u << bit : 0u;
        }
        m_record.u8(byte);
        return Next(m_record);
    }
    // A list: its item count (one byte), then the items, each written by writeItem(fields, item)
    // against the statement's item layout. An absent list is recorded as an empty one; a longer one
    // is cut to the statement's cap, and the rest of the array is never read. The items are written
    // as one run, their room checked once (the caps keep every list within the record); should a
    // list ever not fit, its items are written one field at a time up to the record's end.
    template <typename Item, typename WriteItem>
    Next list(const Item* items, unsigned count, WriteItem writeItem) const noexcept {
        static_assert(is(Type::List), "the statement has another field here");
        constexpr unsigned cap = field().size;
        constexpr int itemSize = static_cast<int>(field().items->fixedSize());
        const unsigned recorded = items == nullptr ? 0u : (count < cap ? count : cap);
        m_record.u8(recorded);
        const bool written = m_record.run(static_cast<int>(recorded) * itemSize, [&](RecordBuilder::Run& run) {
            for (unsigned i = 0; i < recorded; ++i) {
                writeItem(Fields<*field().items, 0, RecordBuilder::Run>(run), items[i]).end();
            }
        });
        if (!written) {
            for (unsigned i = 0; i < recorded; ++i) {
                writeItem(Fields<*field().items, 0, Writer>(m_record), items[i]).end();
            }
        }
        return Next(m_record);
    }

    // Every field written: the record goes to the transport.
    void send(bool useCallerTime, int callerTime) const noexcept {
        end();
        m_record.send(useCallerTime, callerTime);
    }
    // Every field written (of a list item).
    void end() const noexcept { static_assert(I == L.count, "every field of the statement is written"); }

private:
    static constexpr bool is(Type type, int width = 0) {
        return I < L.count && L.fields[I].type == type && (width == 0 || L.fields[I].width == width);
    }
    static constexpr const layout::Field& field() { return L.fields[I < L.count ? I : 0]; }

    template <Type T, int Width>
    Next integer(std::uint64_t value) const noexcept {
        static_assert(is(T, Width), "the statement has another field here");
        constexpr bool big = field().order == layout::Order::Big;
        const auto low = static_cast<std::uint32_t>(value);
        if constexpr (Width == 2 && big) {
            m_record.u16be(low);
        } else if constexpr (Width == 2) {
            m_record.u16le(low);
        } else if constexpr (Width == 4 && big) {
            m_record.u32be(low);
        } else if constexpr (Width == 4) {
            m_record.u32le(low);
        } else if constexpr (big) {
            m_record.u64be(value);
        } else {
            m_record.u64le(value);
        }
        return Next(m_record);
    }

    Writer& m_record;
};

template <const Kind& K>
class Present;

// Holds the record of Entry<K>; a base class, so that it is built before the fields that refer to it.
class EntryRecord {
protected:
    EntryRecord(std::uint16_t functionId, bool hasSubId, std::uint32_t sub) noexcept : m_builder(functionId) {
        if (hasSubId) {
            m_builder.u8(sub);
        }
    }
    RecordBuilder m_builder;
};

// The record of one entry kind, its identifier and sub-identifier in place; the payload fields
// follow through the methods of Fields.
template <const Kind& K>
class Entry : private EntryRecord, public Fields<*K.payload, 0, RecordBuilder> {
    using First = Fields<*K.payload, 0, RecordBuilder>;

public:
    Entry() noexcept : EntryRecord(K.functionId, K.key.kind == KeyKind::SubId, K.key.value), First(m_builder) {
        static_assert(K.key.requiredCount() == 0, "this kind requires pointers: build it through present<kind>()");
        static_assert(K.key.kind != KeyKind::AnySubId, "this kind takes its sub-identifier: Entry<kind>(sub)");
    }
    // A kind whose sub-identifier the caller chooses.
    explicit Entry(std::uint32_t sub) noexcept : EntryRecord(K.functionId, true, sub), First(m_builder) {
        static_assert(K.key.requiredCount() == 0, "this kind requires pointers: build it through present<kind>()");
        static_assert(K.key.kind == KeyKind::AnySubId, "the statement fixes this kind's sub-identifier");
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

private:
    friend class Present<K>;
    struct Checked {};
    Entry(Checked, std::uint32_t sub) noexcept
        : EntryRecord(K.functionId, K.key.hasSubId(), K.key.kind == KeyKind::SubId ? K.key.value : sub),
          First(m_builder) {}
};

// Whether the pointers that a kind requires are all there; entry() is the kind's record, to be
// built only when they are (with `sub` as its sub-identifier where the statement leaves it open).
template <const Kind& K>
class Present {
public:
    explicit operator bool() const noexcept { return m_given; }
    Entry<K> entry(std::uint32_t sub = 0) const noexcept {
        return Entry<K>(typename Entry<K>::Checked{}, sub);
    }

private:
    template <const Kind& Of, typename... Pointers>
    friend Present<Of> present(const Pointers*... pointers) noexcept;
    explicit Present(bool given) noexcept : m_given(given) {}

    bool m_given;
};

template <const Kind& K, typename... Pointers>
Present<K> present(const Pointers*... pointers) noexcept {
    static_assert(sizeof...(Pointers) == static_cast<std::size_t>(K.key.requiredCount()),
                  "one pointer for every required pointer of the statement");
    return Present<K>((... && (pointers != nullptr)));
}

}  // namespace xob

#endif
