// Presentation of decoded records: one aligned text line per record for a terminal, or one JSON
// object per record (JSON Lines) with stable keys for jq, pandas or a database.
#ifndef XOB_TOOLS_DECODER_FORMAT_H
#define XOB_TOOLS_DECODER_FORMAT_H

#include "Decoder.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace xob {
namespace decoder {

// The column titles that go above text lines.
std::string textHeader();
// offset, command, timestamp in hundredths and as h:mm:ss.cc, function identifier, sub-identifier,
// entry name, then every field as name=value and, for a damaged record, "!! " and what is wrong.
std::string textLine(const DecodedRecord& record);

// One object with the keys offset, size, command, commandCode, timestamp, clock, functionId, sub,
// entry, fields, undecoded and damage; keys without a value are null.
nlohmann::ordered_json jsonRecord(const DecodedRecord& record);

// 123456 -> "0:20:34.56"
std::string formatClock(std::uint32_t hundredths);
// A text between `mark`s: printable ASCII as it is, the mark and the backslash escaped, \n \r \t,
// every other byte as \xNN.
std::string quote(const std::string& raw, char mark = '"');
// The library records 8-bit Latin-1 texts; JSON strings are UTF-8.
std::string latin1ToUtf8(const std::string& raw);

}  // namespace decoder
}  // namespace xob

#endif
