// RecordBuilder: lays out one log-entry record on the caller's stack, field by field, and hands it
// to the transport. It owns the running payload offset, byte order, text caps and gaps, so that an
// entry function reads like its payload table:
//
//     RecordBuilder(0x418).u8(1).s8(mode).text(first, 64).text(second, 64).u32le(reason)
//         .send(useCallerTime, callerTime);
//
// Limits, by design rather than by check:
// - The payload holds at most kMaxPayload (2044) bytes. The caps of each entry kind keep its
//   payload within that; the builder does not test it on every field, but a layout that would
//   overflow is stopped at the record's end (see room()), never written past it.
// - Texts are packed as writeStringToCommand packs them (its characters and terminator, cut to
//   cap - 1 characters), less its zero fill past the terminator: the next field overwrites that
//   fill, and none of it lies within the bytes sent, so the record on the wire is the same.
// - Only the header and the bytes a field writes are initialised; every gap an entry leaves must be
//   written with gap(), which writes zeros.
// Nothing here allocates, throws or reads the clock; send() is the only call into the transport.
#ifndef XOB_CHANNEL_RECORDBUILDER_H
#define XOB_CHANNEL_RECORDBUILDER_H

#include <xob/GXob.h>

#include "channel/RecordHeader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace xob {

class RecordBuilder {
public:
    static constexpr int kMaxPayload = static_cast<int>(header::kMaxPayload);

    explicit RecordBuilder(std::uint16_t functionId) noexcept : m_offset(0) {
        m_record.ui16Length = 0;
        m_record.ui16Reserved = 0;
        m_record.ui8Command = 0;
        m_record.ui8Spare = 0;
        m_record.ui32TimeStamp = 0;
        header::setWord(reinterpret_cast<std::uint8_t*>(&m_record), functionId);
    }

    RecordBuilder(const RecordBuilder&) = delete;
    RecordBuilder& operator=(const RecordBuilder&) = delete;

    // One byte: the low 8 bits of the value (sub-identifiers, s8 fields, one-byte enumerations).
    RecordBuilder& u8(std::uint32_t value) noexcept { return put<1, false>(value); }
    RecordBuilder& s8(int value) noexcept { return put<1, false>(static_cast<std::uint32_t>(value)); }
    RecordBuilder& boolean(bool value) noexcept { return put<1, false>(value ? 1u : 0u); }

    // Little-endian integers: the low 16 or all 32 bits of the value.
    RecordBuilder& u16le(std::uint32_t value) noexcept { return put<2, false>(value); }
    RecordBuilder& u32le(std::uint32_t value) noexcept { return put<4, false>(value); }
    RecordBuilder& s32le(std::int32_t value) noexcept {
        return put<4, false>(static_cast<std::uint32_t>(value));
    }

    RecordBuilder& u64le(std::uint64_t value) noexcept { return put<8, false>(value); }

    // Big-endian integers (the media entries).
    RecordBuilder& u16be(std::uint32_t value) noexcept { return put<2, true>(value); }
    RecordBuilder& u32be(std::uint32_t value) noexcept { return put<4, true>(value); }
    RecordBuilder& u64be(std::uint64_t value) noexcept { return put<8, true>(value); }

    // A value packed by writeDataToCommand (little-endian, its own width; pointers 4 bytes).
    template <typename T>
    RecordBuilder& data(T& value) noexcept {
        if (room() >= 8) {
            m_offset += GXob::writeDataToCommand(value, &m_record, m_offset);
        }
        return *this;
    }

    // A NUL-terminated text of at most `cap` bytes including the terminator; null packs as "".
    RecordBuilder& text(const char* value, int cap) noexcept {
        if (cap > room()) {
            cap = room();
        }
        if (cap > 0) {
            // What writeStringToCommand packs, less its zero fill past the terminator: the next
            // field overwrites that fill, and none of it lies within the record that is sent.
            const char* const source = value != nullptr ? value : "";
            const std::size_t length = strnlen(source, static_cast<std::size_t>(cap) - 1);
            std::uint8_t* const out = payload();
            std::memcpy(out, source, length);
            out[length] = 0;
            m_offset += static_cast<int>(length) + 1;
        }
        return *this;
    }

    // `count` raw bytes copied as they are; a null source writes zeros.
    RecordBuilder& bytes(const void* source, int count) noexcept {
        const std::uint8_t* in = static_cast<const std::uint8_t*>(source);
        if (count > room()) {
            count = room();
        }
        std::uint8_t* out = payload();
        for (int i = 0; i < count; ++i) {
            out[i] = in != nullptr ? in[i] : 0;
        }
        m_offset += count > 0 ? count : 0;
        return *this;
    }

    // `count` unassigned bytes, written as zeros.
    RecordBuilder& gap(int count) noexcept { return bytes(nullptr, count); }

    // A run of fixed-size fields whose total size is known beforehand (the items of a list): the
    // room is checked once for all `size` bytes, and fill(run) then writes the fields through a
    // Run, which has the same field methods and checks nothing. fill must write at most `size`
    // bytes. Returns false, writing nothing, when the run does not fit; the caller then writes the
    // fields one by one, which stops them at the record's end.
    class Run;
    template <typename Fill>
    bool run(int size, Fill&& fill) noexcept;

    // Payload bytes laid out so far (the length handed to the transport).
    int length() const noexcept { return m_offset; }

    // Queues the record as a log entry (command 8).
    void send(bool useCallerTime, int callerTime) noexcept {
        GXob::writeToXob(&m_record, m_offset, useCallerTime, callerTime, EDevXob_LogEntry);
    }

private:
    int room() const noexcept { return kMaxPayload - m_offset; }
    std::uint8_t* payload() noexcept { return GXob::detail::payloadBytes(&m_record) + m_offset; }

    // The field's bytes are worked out one by one (an unrolled sequence of shifts, so the byte order
    // is the same on every host), gathered in a local array and copied into the record in one go.
    // The compiler turns that into one store, byte-swapped where needed; byte stores straight into
    // the record would each have to be followed by a reload of m_offset, which they might alias.
    template <int Width, bool BigEndian, std::size_t... Index>
    static void encode(std::uint8_t* bytes, std::uint64_t value, std::index_sequence<Index...>) noexcept {
        constexpr auto shift = [](std::size_t index) {
            return 8 * (BigEndian ? Width - 1 - static_cast<int>(index) : static_cast<int>(index));
        };
        ((bytes[Index] = static_cast<std::uint8_t>(value >> shift(Index))), ...);
    }

    template <int Width, bool BigEndian>
    RecordBuilder& put(std::uint64_t value) noexcept {
        const int offset = m_offset;
        if (Width <= kMaxPayload - offset) {
            std::uint8_t bytes[Width];
            encode<Width, BigEndian>(bytes, value, std::make_index_sequence<Width>());
            std::memcpy(GXob::detail::payloadBytes(&m_record) + offset, bytes, Width);
            m_offset = offset + Width;
        }
        return *this;
    }

    SClientToDevXob m_record;
    int m_offset;
};

// Unchecked field writer of RecordBuilder::run (the big-endian fields the list items use).
class RecordBuilder::Run {
public:
    Run& u8(std::uint32_t value) noexcept { return put<1, false>(value); }
    Run& u16be(std::uint32_t value) noexcept { return put<2, true>(value); }
    Run& u32be(std::uint32_t value) noexcept { return put<4, true>(value); }
    Run& u64be(std::uint64_t value) noexcept { return put<8, true>(value); }

private:
    friend class RecordBuilder;
    explicit Run(std::uint8_t* at) noexcept : m_at(at) {}

    template <int Width, bool BigEndian>
    Run& put(std::uint64_t value) noexcept {
        std::uint8_t bytes[Width];
        RecordBuilder::encode<Width, BigEndian>(bytes, value, std::make_index_sequence<Width>());
        std::memcpy(m_at, bytes, Width);
        m_at += Width;
        return *this;
    }

    std::uint8_t* m_at;
};

template <typename Fill>
bool RecordBuilder::run(int size, Fill&& fill) noexcept {
    if (size < 0 || size > room()) {
        return false;
    }
    std::uint8_t* const start = payload();
    Run writer(start);
    fill(writer);
    m_offset += static_cast<int>(writer.m_at - start);
    return true;
}

}  // namespace xob

#endif
