// xob-decode --html: one self-contained page that draws a recording as a timeline (tools/viewer/).
// The records go into the page as they arrive, as compact rows: per record a few variable-length
// numbers (entry kind, time step, offset step, the shape of its fields text and the numbers in it),
// so that a page of a million records stays small and the writer's memory stays flat; the tables
// the rows refer to (entry kinds, field shapes, sources) follow at the end.
#ifndef XOB_TOOLS_DECODER_HTMLWRITER_H
#define XOB_TOOLS_DECODER_HTMLWRITER_H

#include "Lanes.h"
#include "Printer.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace xob {
namespace decoder {

class HtmlWriter : public RecordSink {
public:
    // Writes the page to `out`, which stays the caller's; `title` goes into the page's title.
    HtmlWriter(std::FILE* out, const std::string& title);
    HtmlWriter(const HtmlWriter&) = delete;
    HtmlWriter& operator=(const HtmlWriter&) = delete;

    void beginSource(const std::string& name) override;
    void add(const DecodedRecord& record, const LineContext& context) override;
    // Writes the tables and the script; false when the page could not be written.
    bool finish();

private:
    void number(std::uint64_t value);
    void flushRows(bool all);
    std::uint32_t keyOf(const DecodedRecord& record);
    std::uint32_t shapeOf(const std::string& tail);

    std::FILE* m_out;
    std::vector<std::uint8_t> m_rows;  // not yet written as base64
    std::string m_base64;
    std::string m_tail;
    std::string m_shape;
    std::vector<std::uint32_t> m_numbers;
    // The entry kinds seen: command, function identifier (-1 for none), sub-identifier, kind.
    std::map<std::tuple<int, int, int, const EntryKind*>, std::uint32_t> m_keys;
    std::string m_keyTable;  // JSON arrays, in key order
    std::unordered_map<std::string, std::uint32_t> m_shapes;
    std::vector<const std::string*> m_shapeOrder;
    std::vector<std::pair<std::string, std::size_t>> m_sources;  // name, records
    std::uint64_t m_lastTime = 0;
    std::uint64_t m_lastOffset = 0;
};

}  // namespace decoder
}  // namespace xob

#endif
