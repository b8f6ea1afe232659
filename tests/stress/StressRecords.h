// The records of the stress tests. Every record is made from a 32-bit tag alone: the tag names its
// producer and sequence number, and fixes the entry kind, the size and the content. A reader can
// therefore check each arrival byte for byte, and every loss report, which names a record by its
// function identifier and its first four payload bytes, points at exactly one record.
//
// The tag is the record's first four payload bytes (little-endian): the producer in the top byte,
// the sequence number in the three below. None of the four bytes is ever zero, so that the tag can
// also lead a text. Each record also carries a check value of its tag in the timestamp (passed as
// the caller's own time) and a checksum of its content in its payload.
//
// Shared by the stress tests and their child program; nothing here depends on GoogleTest.
#ifndef XOB_TESTS_STRESSRECORDS_H
#define XOB_TESTS_STRESSRECORDS_H

#include <cstdint>
#include <string>
#include <vector>

namespace xobstress {

using Bytes = std::vector<std::uint8_t>;

// Producer ids run from 1 to 254; 255 marks the records a reader sends itself to find the end of
// what has arrived.
constexpr std::uint8_t kMarkerProducer = 0xFF;
// Sequence numbers run from 0 to kSequences - 1 (three non-zero bytes).
constexpr std::uint32_t kSequences = 255u * 255u * 255u;

std::uint32_t makeTag(std::uint8_t producer, std::uint32_t sequence) noexcept;
// False when `tag` cannot be a tag (one of its bytes is zero).
bool splitTag(std::uint32_t tag, std::uint8_t& producer, std::uint32_t& sequence) noexcept;

// Records the entry of `tag` through the library: one of the entry functions TRIGGERHDU_LogEntry,
// PanelHDU_LogEntry, DiagnosisHDU_LogEntry, SYSHDU_LogEntry, or a block of up to 2044 payload
// bytes laid out by the record builder.
void sendEntry(std::uint32_t tag) noexcept;

// The function identifier of the entry of `tag`, and the whole record the device must receive.
std::uint16_t functionIdOf(std::uint32_t tag) noexcept;
Bytes expectedRecord(std::uint32_t tag);

// Reads the tag of an arrived record. True when the record is exactly the one its tag makes; false
// with the reason otherwise (a foreign or corrupted record).
bool inspect(const Bytes& record, std::uint32_t& tag, std::string& why);

}  // namespace xobstress

#endif
