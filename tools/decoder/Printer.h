// Prints decoded records for xob-decode and xob-recorder alike: the selection (identifiers, name
// patterns, damaged only, a time window), text or JSON Lines, and the counts for the closing
// summary and for --stats.
#ifndef XOB_TOOLS_DECODER_PRINTER_H
#define XOB_TOOLS_DECODER_PRINTER_H

#include "Decoder.h"
#include "Format.h"
#include "Time.h"

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
    // A window on the elapsed time, in hundredths, both ends included; records without a
    // timestamp fall outside any window.
    bool hasSince = false;
    std::uint64_t since = 0;
    bool hasUntil = false;
    std::uint64_t until = 0;
    bool quiet = false;        // count and select, print nothing
    bool showSource = false;   // text: the source's name before each line
    bool buffered = false;     // lines wait in memory until flush() (or a large block is full)
};

class Stats;

// Something more than lines that the selected records go to (a page, a trace file).
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void beginSource(const std::string& name) = 0;
    // A record that the selection keeps, with its source and elapsed time.
    virtual void add(const DecodedRecord& record, const LineContext& context) = 0;
};

class RecordPrinter {
public:
    RecordPrinter(std::FILE* out, PrintOptions options);
    ~RecordPrinter();
    RecordPrinter(const RecordPrinter&) = delete;
    RecordPrinter& operator=(const RecordPrinter&) = delete;

    // The records that follow come from this source: its name goes on their lines, and its clock
    // is unwrapped on its own. `width`: the longest name that will be shown, for the text column.
    void beginSource(const std::string& name, int width = 0);
    // Selected records are added here too (and every record counted).
    void setStats(Stats* stats) { m_stats = stats; }
    // Selected records go to this sink too.
    void addSink(RecordSink* sink) { m_sinks.push_back(sink); }
    // Writes out the lines that wait.
    void flush();

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
    std::string m_source;
    int m_sourceWidth = 0;
    TimeUnwrapper m_clock;
    Stats* m_stats = nullptr;
    std::vector<RecordSink*> m_sinks;
    std::string m_pending;
    std::size_t m_records = 0;
    std::size_t m_damaged = 0;
    std::size_t m_printed = 0;
};

// "0x41B" or "1051"; false for anything else or a value above 0xFFFF.
bool parseFunctionId(const std::string& text, std::uint16_t& id);
// False for a shell pattern with an unclosed [ or a trailing backslash.
bool validPattern(const std::string& pattern);

}  // namespace decoder
}  // namespace xob

#endif
