// The families that a picture of a recording draws one lane each for: every record belongs to
// exactly one, by its command and its function identifier. The page (--html) and the trace file
// (--trace-event) both take their lanes from here.
#ifndef XOB_TOOLS_DECODER_LANES_H
#define XOB_TOOLS_DECODER_LANES_H

#include "Decoder.h"

#include <cstddef>

namespace xob {
namespace decoder {

enum class Lane : unsigned char {
    Navigation,
    Sensors,
    Traffic,
    System,
    Media,
    Telephone,
    Bluetooth,
    Wlan,
    Psd,
    Control,  // InitFiles, SetActivFlag, StopFlush and the device's FlushFilesReady
    Unknown   // bytes that are no record, unknown commands and unknown function identifiers
};
constexpr std::size_t kLaneCount = 11;

// "navigation", "sensors", ..., "control commands", "unknown".
const char* laneName(Lane lane);
Lane laneOf(const DecodedRecord& record);
// InitFiles, SetActivFlag and StopFlush: drawn as a rule across every lane.
bool isControlRule(const DecodedRecord& record);

}  // namespace decoder
}  // namespace xob

#endif
