#include "Lanes.h"

#include <xob/GXob.h>

namespace xob {
namespace decoder {

namespace {

struct IdLane {
    std::uint16_t functionId;
    Lane lane;
};

// Every function identifier of the catalogue, by the part of the head unit that records it.
constexpr IdLane kIdLanes[] = {
    {0x418, Lane::Navigation}, {0x420, Lane::Navigation}, {0x426, Lane::Navigation},
    {0x428, Lane::Navigation}, {0x756, Lane::Navigation}, {0x759, Lane::Navigation},
    {0x760, Lane::Navigation}, {0x757, Lane::Sensors},    {0x758, Lane::Traffic},
    {0x408, Lane::System},     {0x409, Lane::System},     {0x413, Lane::System},
    {0x421, Lane::System},     {0x703, Lane::System},     {0x70A, Lane::System},
    {0x72A, Lane::System},     {0x750, Lane::System},     {0x752, Lane::System},
    {0x753, Lane::System},     {0x754, Lane::System},     {0x41B, Lane::Media},
    {0x410, Lane::Telephone},  {0x414, Lane::Telephone},  {0x411, Lane::Bluetooth},
    {0x412, Lane::Bluetooth},  {0x740, Lane::Wlan},       {0x741, Lane::Wlan},
    {0x429, Lane::Psd},
};

}  // namespace

const char* laneName(Lane lane) {
    static const char* const s_names[kLaneCount] = {"navigation", "sensors", "traffic", "system",
                                                    "media",      "telephone", "Bluetooth", "WLAN",
                                                    "PSD",        "control commands", "unknown"};
    return s_names[static_cast<std::size_t>(lane)];
}

Lane laneOf(const DecodedRecord& record) {
    if (record.command != EDevXob_LogEntry) {
        return commandName(record.command) != nullptr ? Lane::Control : Lane::Unknown;
    }
    for (const IdLane& entry : kIdLanes) {
        if (entry.functionId == record.functionId) {
            return entry.lane;
        }
    }
    return Lane::Unknown;
}

bool isControlRule(const DecodedRecord& record) {
    return record.command == EDevXob_InitFiles || record.command == EDevXob_SetActivFlag ||
           record.command == EDevXob_StopFlush;
}

}  // namespace decoder
}  // namespace xob
