// Fuzz target of the decoder: any bytes, as a stream and as a single record, through decoding and
// both output formats. Beyond the sanitizers' checks it asserts what the decoder promises about a
// stream: its lines follow one another and cover every byte exactly once.
#include "Decoder.h"
#include "Format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t next = 0;
    xob::decoder::decodeStream(data, size, [&](const xob::decoder::DecodedRecord& record) {
        if (record.offset != next || record.size == 0 || record.offset + record.size > size) {
            std::abort();
        }
        next = record.offset + record.size;
        (void)xob::decoder::textLine(record);
        (void)xob::decoder::jsonRecord(record).dump();  // throws on text that is not UTF-8
    });
    if (next != size) {
        std::abort();
    }
    // As xob-recorder --decode sees a record: cut by the splitter, whatever its length field says.
    const xob::decoder::DecodedRecord record = xob::decoder::decodeRecord(data, size);
    (void)xob::decoder::textLine(record);
    (void)xob::decoder::jsonRecord(record).dump();
    return 0;
}
