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
// - Texts use writeStringToCommand: strncpy semantics, cut to cap - 1 characters plus terminator.
//   Their zero fill reaches cap bytes past the field start and is overwritten by the next field.
// - Only the header and the bytes a field writes are initialised; every gap an entry leaves must be
//   written with gap(), which writes zeros.
// Nothing here allocates, throws or reads the clock; send() is the only call into the transport.
#ifndef XOB_CHANNEL_RECORDBUILDER_H
#define XOB_CHANNEL_RECORDBUILDER_H

#include <xob/GXob.h>

#include <cstddef>
#include <cstdint>

namespace xob {

class RecordBuilder {
public:
    static constexpr int kMaxPayload = 2044;

    explicit RecordBuilder(std::uint16_t functionId) noexcept : m_offset(0) {
        m_record.ui16Length = 0;
        m_record.ui16Reserved = 0;
        m_record.ui8Command = 0;
        m_record.ui8Spare = 0;
        m_record.ui32TimeStamp = 0;
        std::uint8_t* header = reinterpret_cast<std::uint8_t*>(&m_record);
        GXob::detail::storeLittleEndian(header + 6, functionId, 2);
    }

    RecordBuilder(const RecordBuilder&) = delete;
    RecordBuilder& operator=(const RecordBuilder&) = delete;

    // One byte: the low 8 bits of the value (sub-identifiers, s8 fields, one-byte enumerations).
    RecordBuilder& u8(std::uint32_t value) noexcept { return put(value, 1, false); }
    RecordBuilder& s8(int value) noexcept { return put(static_cast<std::uint32_t>(value), 1, false); }
    RecordBuilder& boolean(bool value) noexcept { return put(value ? 1u : 0u, 1, false); }

    // Little-endian integers: the low 16 or all 32 bits of the value.
    RecordBuilder& u16le(std::uint32_t value) noexcept { return put(value, 2, false); }
    RecordBuilder& u32le(std::uint32_t value) noexcept { return put(value, 4, false); }
    RecordBuilder& s32le(std::int32_t value) noexcept {
        return put(static_cast<std::uint32_t>(value), 4, false);
    }

    RecordBuilder& u64le(std::uint64_t value) noexcept { return put(value, 8, false); }

    // Big-endian integers (the media entries).
    RecordBuilder& u16be(std::uint32_t value) noexcept { return put(value, 2, true); }
    RecordBuilder& u32be(std::uint32_t value) noexcept { return put(value, 4, true); }
    RecordBuilder& u64be(std::uint64_t value) noexcept { return put(value, 8, true); }

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
            m_offset += GXob::writeStringToCommand(value, &m_record, m_offset, cap);
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

    // Payload bytes laid out so far (the length handed to the transport).
    int length() const noexcept { return m_offset; }

    // Queues the record as a log entry (command 8).
    void send(bool useCallerTime, int callerTime) noexcept {
        GXob::writeToXob(&m_record, m_offset, useCallerTime, callerTime, EDevXob_LogEntry);
    }

private:
    int room() const noexcept { return kMaxPayload - m_offset; }
    std::uint8_t* payload() noexcept { return GXob::detail::payloadBytes(&m_record) + m_offset; }

    RecordBuilder& put(std::uint64_t value, int width, bool bigEndian) noexcept {
        if (width <= room()) {
            std::uint8_t* out = payload();
            for (int i = 0; i < width; ++i) {
                const int shift = 8 * (bigEndian ? width - 1 - i : i);
                out[i] = static_cast<std::uint8_t>(value >> shift);
            }
            m_offset += width;
        }
        return *this;
    }

    SClientToDevXob m_record;
    int m_offset;
};

}  // namespace xob

#endif
