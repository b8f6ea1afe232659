// The recorded clock: hundredths of a second modulo 2^24, so it wraps to 0 every 46:36:12.16.
// Within one recording the wraps can be counted, which gives each record an elapsed time that
// keeps growing; times on the command line are read here too.
#ifndef XOB_TOOLS_DECODER_TIME_H
#define XOB_TOOLS_DECODER_TIME_H

#include <cstdint>
#include <string>

namespace xob {
namespace decoder {

constexpr std::uint64_t kClockRange = std::uint64_t{1} << 24;

// Counts the wraps of one recording's clock. A step back of more than half the range is a wrap;
// a smaller one is a record stamped out of order. A gap longer than the range (the recorder off
// for more than 46 hours) cannot be seen in the timestamps, and is not counted.
class TimeUnwrapper {
public:
    // The elapsed time of the next record: its timestamp plus the range for every wrap before it.
    std::uint64_t next(std::uint32_t timestamp);

private:
    bool m_started = false;
    std::uint32_t m_last = 0;
    std::uint64_t m_wraps = 0;
};

// "1:02:03.45" (h:mm:ss.cc, the hundredths optional) or a plain number of hundredths; false for
// anything else.
bool parseTime(const std::string& text, std::uint64_t& hundredths);

}  // namespace decoder
}  // namespace xob

#endif
