// xob-decode --trace-event: the records as Trace Event Format JSON, for the trace viewers engineers
// already have. Every record is an instant event ("ph":"i") named after its entry, on the track
// (thread) of its family (see Lanes.h) in the process of its source; "ts" is the elapsed time in
// microseconds and "args" the record's JSON Lines object.
#ifndef XOB_TOOLS_DECODER_TRACEEVENTWRITER_H
#define XOB_TOOLS_DECODER_TRACEEVENTWRITER_H

#include "Printer.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace xob {
namespace decoder {

class TraceEventWriter : public RecordSink {
public:
    explicit TraceEventWriter(std::FILE* out);
    TraceEventWriter(const TraceEventWriter&) = delete;
    TraceEventWriter& operator=(const TraceEventWriter&) = delete;

    void beginSource(const std::string& name) override;
    void add(const DecodedRecord& record, const LineContext& context) override;
    // Closes the JSON document; false when it could not be written.
    bool finish();

private:
    void element(const std::string& text);
    void event(const std::string& body, std::uint64_t time);
    void release(std::uint64_t time);

    std::FILE* m_out;
    int m_pid = 0;
    bool m_first = true;
    bool m_timed = false;  // a record of this source had a timestamp
    std::uint64_t m_lastTime = 0;  // of its last timestamped record; read only once m_timed is set
    std::vector<std::string> m_waiting;  // records before the source's first timestamp
    std::string m_line;
    std::string m_pending;
};

}  // namespace decoder
}  // namespace xob

#endif
