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

// What a printer knows about a record beyond its bytes: where it comes from and its time with the
// clock's wraps counted (see TimeUnwrapper).
struct LineContext {
    const char* source = nullptr;  // text: shown before the line, padded to sourceWidth; JSON: "source"
    int sourceWidth = 0;
    bool hasElapsed = false;
    std::uint64_t elapsed = 0;  // hundredths of a second
};

// The version of the JSON Lines form, its "schema" key (docs/xob-jsonl.schema.json).
constexpr int kJsonSchemaVersion = 1;

// The column titles that go above text lines.
std::string textHeader();
// offset, command, timestamp in hundredths and as h:mm:ss.cc, function identifier, sub-identifier,
// entry name, then every field as name=value and, for a damaged record, "!! " and what is wrong.
std::string textLine(const DecodedRecord& record);

// One object with the keys offset, size, command, commandCode, timestamp, clock, functionId, sub,
// entry, fields, undecoded and damage; keys without a value are null.
nlohmann::ordered_json jsonRecord(const DecodedRecord& record);

// The bulk forms: textLine and jsonRecord(record).dump() appended to `out`, with a newline, without
// temporary strings. With a context, the text line starts with the source and its clock column is
// the elapsed time; the JSON object gets the keys elapsed, source and schema after the others.
void appendTextLine(std::string& out, const DecodedRecord& record, const LineContext* context = nullptr);
void appendJsonLine(std::string& out, const DecodedRecord& record, const LineContext* context = nullptr);
// What a text line holds after the entry column: the fields, undecoded bytes and damage, each
// after two spaces (nothing for a record that has none of them).
void appendTextTail(std::string& out, const DecodedRecord& record);
// A JSON string: the text UTF-8 (from Latin-1 when `latin1`), escaped, in double quotes.
void appendJsonString(std::string& out, const char* text, std::size_t size, bool latin1 = false);

// 123456 -> "0:20:34.56"; the hours go on past the clock's wrap for an elapsed time.
std::string formatClock(std::uint64_t hundredths);
// A text between `mark`s: printable ASCII as it is, the mark and the backslash escaped, \n \r \t,
// every other byte as \xNN.
std::string quote(const std::string& raw, char mark = '"');
// The library records 8-bit Latin-1 texts; JSON strings are UTF-8.
std::string latin1ToUtf8(const std::string& raw);

}  // namespace decoder
}  // namespace xob

#endif
