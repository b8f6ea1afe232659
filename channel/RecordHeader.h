// The header of a command record: where each field lies, how wide it is, and its byte order. Every
// reader and writer of a header (the record builder, the transport and its loss lines, the ring,
// the control commands, the decoder) goes through these accessors; nothing else works out a header
// offset. All multi-byte fields are little-endian and are read and written byte by byte, so a
// header may lie at any address.
//
//   byte 0  u16  length     record bytes after this field (record size - 2)
//   byte 2  u16  reserved   always 0
//   byte 4  u8   command    EDevXobCommands
//   byte 5  u8   spare      not assigned by any sender; written as 0
//   byte 6  u16  word       log entry and initialise files: the function identifier; the control
//                           commands: their argument; the flush-ready reply: its status
//   byte 8  u32  timestamp  log entries only; bits 24 to 31 are 0
//   byte 8  u16  filesOf    initialise files only: the identifier whose recorder files are meant
//   byte 12      payload    log entries only, at most 2044 bytes
#ifndef XOB_CHANNEL_RECORDHEADER_H
#define XOB_CHANNEL_RECORDHEADER_H

#include <cstddef>
#include <cstdint>

namespace xob {
namespace header {

constexpr std::size_t kSize = 8;               // the header every record has
constexpr std::size_t kLogEntryHeaderSize = 12;  // with the timestamp: where the payload starts
constexpr std::size_t kInitFilesSize = 10;     // with the filesOf argument
constexpr std::size_t kMaxRecordSize = 2056;
constexpr std::size_t kMaxPayload = kMaxRecordSize - kLogEntryHeaderSize;

constexpr std::size_t kLengthAt = 0;
constexpr std::size_t kReservedAt = 2;
constexpr std::size_t kCommandAt = 4;
constexpr std::size_t kSpareAt = 5;
constexpr std::size_t kWordAt = 6;
constexpr std::size_t kTimestampAt = 8;
constexpr std::size_t kFilesOfAt = 8;
constexpr std::size_t kPayloadAt = kLogEntryHeaderSize;

inline std::uint32_t loadLittleEndian(const std::uint8_t* bytes, int width) noexcept {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

inline void storeLittleEndian(std::uint8_t* bytes, std::uint32_t value, int width) noexcept {
    for (int i = 0; i < width; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint32_t length(const std::uint8_t* record) noexcept { return loadLittleEndian(record + kLengthAt, 2); }
// Bytes of the whole record, by its length field.
inline std::uint32_t recordSize(const std::uint8_t* record) noexcept { return length(record) + 2u; }
inline std::uint32_t reserved(const std::uint8_t* record) noexcept { return loadLittleEndian(record + kReservedAt, 2); }
inline std::uint8_t command(const std::uint8_t* record) noexcept { return record[kCommandAt]; }
inline std::uint32_t word(const std::uint8_t* record) noexcept { return loadLittleEndian(record + kWordAt, 2); }
inline std::uint32_t timestamp(const std::uint8_t* record) noexcept {
    return loadLittleEndian(record + kTimestampAt, 4);
}
inline std::uint32_t filesOf(const std::uint8_t* record) noexcept { return loadLittleEndian(record + kFilesOfAt, 2); }
// The first four payload bytes of a log entry as a little-endian value (the loss lines show it).
inline std::uint32_t firstPayloadWord(const std::uint8_t* record) noexcept {
    return loadLittleEndian(record + kPayloadAt, 4);
}

// The length field, for a record of `size` bytes in all; reserved 0.
inline void setSize(std::uint8_t* record, std::uint32_t size) noexcept {
    storeLittleEndian(record + kLengthAt, size - 2u, 2);
    storeLittleEndian(record + kReservedAt, 0u, 2);
}
inline void setCommand(std::uint8_t* record, int command) noexcept {
    record[kCommandAt] = static_cast<std::uint8_t>(command);
}
inline void clearSpare(std::uint8_t* record) noexcept { record[kSpareAt] = 0; }
inline void setWord(std::uint8_t* record, std::uint32_t word) noexcept { storeLittleEndian(record + kWordAt, word, 2); }
inline void setTimestamp(std::uint8_t* record, std::uint32_t time) noexcept {
    storeLittleEndian(record + kTimestampAt, time, 4);
}
inline void setFilesOf(std::uint8_t* record, std::uint32_t functionId) noexcept {
    storeLittleEndian(record + kFilesOfAt, functionId, 2);
}

}  // namespace header
}  // namespace xob

#endif
