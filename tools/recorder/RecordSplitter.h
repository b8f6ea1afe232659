// RecordSplitter: cuts the byte stream that arrives at the device into command records by their
// length fields, as it arrives. A place where no well-formed record starts (a length field no record
// can have, a header that does not parse) is reported once, with its stream offset, and the
// splitter goes on at the next place where a well-formed record starts, by the decoder's rule. It
// holds at most one record's worth of bytes beyond the chunk being fed.
#ifndef XOB_TOOLS_RECORDSPLITTER_H
#define XOB_TOOLS_RECORDSPLITTER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xob {
namespace recorder {

using Record = std::vector<std::uint8_t>;

// Bytes between records that no record explains.
struct Skip {
    std::uint64_t offset = 0;  // stream offset of the first skipped byte
    std::size_t size = 0;      // bytes skipped
    std::string reason;        // why no record starts at `offset`
    bool toEnd = false;        // no well-formed record followed before the stream ended
    std::vector<std::uint8_t> head;  // the first skipped bytes (at most kSkipHeadShown)
};

constexpr std::size_t kSkipHeadShown = 64;

using RecordHandler = std::function<void(Record&&)>;
using SkipHandler = std::function<void(const Skip&)>;

class RecordSplitter {
public:
    // Takes the next bytes of the stream; hands each complete record to `onRecord` and each run of
    // skipped bytes, once its end is known, to `onSkip` (if set), in stream order.
    void feed(const std::uint8_t* data, std::size_t size, const RecordHandler& onRecord,
              const SkipHandler& onSkip = nullptr);
    // Everything written so far has arrived (the FIFO was read empty, and every record came in one
    // write): while bytes are being skipped, a length field whose record has not arrived whole
    // starts none, so the records behind it need not wait for more bytes.
    void settle(const RecordHandler& onRecord, const SkipHandler& onSkip = nullptr);
    // The stream has ended: what is still held is cut as if nothing more could follow (a record cut
    // off, or bytes skipped to the end).
    void finish(const RecordHandler& onRecord, const SkipHandler& onSkip = nullptr);

    std::size_t pendingBytes() const { return m_pending.size(); }
    std::uint64_t skippedBytes() const { return m_skippedBytes; }

private:
    enum class Arrived { More, AllWritten, All };
    void split(Arrived arrived, const RecordHandler& onRecord, const SkipHandler& onSkip);
    void endSkip(bool toEnd, const SkipHandler& onSkip);

    std::vector<std::uint8_t> m_pending;
    std::uint64_t m_offset = 0;  // stream offset of m_pending[0]
    std::uint64_t m_skippedBytes = 0;
    bool m_skipping = false;
    Skip m_skip;
};

}  // namespace recorder
}  // namespace xob

#endif
