// The counts of xob-decode --stats: per source and entry kind the records, their bytes, the first
// and last elapsed time and the mean rate; per source the damaged records and the bytes that no
// record explains; the same summed over all sources.
#ifndef XOB_TOOLS_DECODER_STATS_H
#define XOB_TOOLS_DECODER_STATS_H

#include "Decoder.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace xob {
namespace decoder {

class Stats {
public:
    void beginSource(const std::string& name);
    // Every record of the source, selected or not.
    void count(const DecodedRecord& record);
    // A record that the selection keeps, with its elapsed time if it has one.
    void add(const DecodedRecord& record, const std::uint64_t* elapsed);

    void writeText(std::FILE* out) const;
    // One JSON object on one line: {"schema", "sources": [...], "total": {...}}.
    void writeJson(std::FILE* out) const;

    struct Row {
        std::size_t count = 0;
        std::uint64_t bytes = 0;
        bool timed = false;
        std::uint64_t first = 0;
        std::uint64_t last = 0;
    };
    struct Source {
        std::string name;
        std::size_t records = 0;
        std::size_t damaged = 0;
        std::uint64_t bytes = 0;
        std::uint64_t skipped = 0;  // bytes of lines that are no record at all
        std::unordered_map<const char*, Row> rows;  // by DecodedRecord::name()
    };
    const std::vector<Source>& sources() const { return m_sources; }
    Source total() const;

private:
    std::vector<Source> m_sources;
};

}  // namespace decoder
}  // namespace xob

#endif
