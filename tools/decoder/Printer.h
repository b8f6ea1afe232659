// Prints decoded records for xob-decode and xob-recorder alike: the selection (identifiers, name
// patterns, damaged only), text or JSON Lines, and the counts for the closing summary.
#ifndef XOB_TOOLS_DECODER_PRINTER_H
#define XOB_TOOLS_DECODER_PRINTER_H

#include "Decoder.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace xob {
namespace decoder {

struct PrintOptions {
    bool json = false;
    bool header = true;  // text: column titles before the first line
    bool damagedOnly = false;
    std::vector<std::uint16_t> ids;     // empty: every identifier
    std::vector<std::string> patterns;  // shell wildcards on the entry (or command) name; empty: all
};

class RecordPrinter {
public:
    RecordPrinter(std::FILE* out, PrintOptions options);

    bool selected(const DecodedRecord& record) const;
    // Counts the record and prints it if it is selected.
    void print(const DecodedRecord& record);

    std::size_t records() const { return m_records; }
    std::size_t damaged() const { return m_damaged; }
    std::size_t printed() const { return m_printed; }

private:
    std::FILE* m_out;
    PrintOptions m_options;
    bool m_headerDone = false;
    std::size_t m_records = 0;
    std::size_t m_damaged = 0;
    std::size_t m_printed = 0;
};

// "0x41B" or "1051"; false for anything else or a value above 0xFFFF.
bool parseFunctionId(const std::string& text, std::uint16_t& id);

}  // namespace decoder
}  // namespace xob

#endif
