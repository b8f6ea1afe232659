// Fuzz target of the decoder: any bytes, as a stream and as a single record, through decoding and
// both output formats. Beyond the sanitizers' checks it asserts what the decoder promises about a
// stream: its lines follow one another and cover every byte exactly once, and read in pieces of
// any sizes (drawn from the input itself) the stream gives the same lines as in one piece.
#include "Decoder.h"
#include "Format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t next = 0;
    std::string whole;
    xob::decoder::decodeStream(data, size, [&](const xob::decoder::DecodedRecord& record) {
        if (record.offset != next || record.size == 0 || record.offset + record.size > size) {
            std::abort();
        }
        next = record.offset + record.size;
        whole += xob::decoder::textLine(record) + "\n";
        std::string line;
        xob::decoder::appendJsonLine(line, record);
        if (line != xob::decoder::jsonRecord(record).dump() + "\n") {  // throws on text that is not UTF-8
            std::abort();
        }
    });
    if (next != size) {
        std::abort();
    }
    std::string pieces;
    xob::decoder::StreamDecoder stream(
        [&](const xob::decoder::DecodedRecord& record) { pieces += xob::decoder::textLine(record) + "\n"; });
    std::uint32_t seed = size > 0 ? data[0] : 1;
    for (std::size_t at = 0; at < size;) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t piece = (seed >> 16) % 3000 + 1;
        const std::size_t count = piece < size - at ? piece : size - at;
        stream.feed(data + at, count);
        if (stream.held() > xob::decoder::kMaxRecordSize) {
            std::abort();
        }
        at += count;
    }
    stream.finish();
    if (pieces != whole) {
        std::abort();
    }
    // As xob-recorder --decode sees a record: cut by the splitter, whatever its length field says.
    const xob::decoder::DecodedRecord record = xob::decoder::decodeRecord(data, size);
    (void)xob::decoder::textLine(record);
    (void)xob::decoder::jsonRecord(record).dump();
    return 0;
}
