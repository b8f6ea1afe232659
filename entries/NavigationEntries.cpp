// Navigation, sensor, traffic and system entries. Each function writes its fields in the order of
// its statement in entries/EntryKinds.def, which gives their types, caps and gaps; the layouts
// that several entries share have a helper of their own below.
#include <xob/GXobNavigation.h>

#include "entries/Entry.h"

#include <cstdint>

namespace {

using xob::Entry;
using xob::layout::Kind;
namespace kind = xob::kind;

// Sub-identifier, one text.
template <const Kind& K>
void subText(const char* text, bool useCallerTime, int callerTime) noexcept {
    Entry<K>().text(text).send(useCallerTime, callerTime);
}

// Sub-identifier, three unassigned bytes, a signed 32-bit value.
template <const Kind& K>
void subValue(int value, bool useCallerTime, int callerTime) noexcept {
    Entry<K>().gap().s32(value).send(useCallerTime, callerTime);
}

// Sub-identifier, two signed values, one text.
template <const Kind& K>
void processStatus(int first, int second, const char* text, bool useCallerTime, int callerTime) noexcept {
    Entry<K>().s32(first).s32(second).text(text).send(useCallerTime, callerTime);
}

// Two texts back to back, no sub-identifier.
template <const Kind& K>
void twoTexts(const char* first, const char* second, bool useCallerTime, int callerTime) noexcept {
    Entry<K>().text(first).text(second).send(useCallerTime, callerTime);
}

}  // namespace

namespace GXob {

// Software download of navigation components.

void Nav_SWDL_Check(signed char component, const char* path, bool useCallerTime,
                    int callerTime) noexcept {
    Entry<kind::Nav_SWDL_Check>().s8(component).text(path).send(useCallerTime, callerTime);
}

void Nav_SWDL_Check_Result(signed char component, const char* path, signed char result,
                           bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Nav_SWDL_Check_Result>().s8(component).text(path).s8(result)
        .send(useCallerTime, callerTime);
}

void Nav_SWDL_Prepare(signed char component, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Nav_SWDL_Prepare>().s8(component).send(useCallerTime, callerTime);
}

void Nav_SWDL_Prepare_Result(signed char component, signed char result, bool useCallerTime,
                             int callerTime) noexcept {
    Entry<kind::Nav_SWDL_Prepare_Result>().s8(component).s8(result).send(useCallerTime, callerTime);
}

void Nav_SWDL_Finalize(signed char component, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Nav_SWDL_Finalize>().s8(component).send(useCallerTime, callerTime);
}

void Nav_SWDL_Finalize_Result(signed char component, signed char result, bool useCallerTime,
                              int callerTime) noexcept {
    Entry<kind::Nav_SWDL_Finalize_Result>().s8(component).s8(result).send(useCallerTime, callerTime);
}

// Navigation route guidance and state.

void Nav_StateOfOperationHDU_LogEntry(signed char navState, signed char stateOfOperation,
                                      bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Nav_StateOfOperationHDU_LogEntry>().s8(navState).s8(stateOfOperation)
        .send(useCallerTime, callerTime);
}

void Nav_StartRGHDU_LogEntry(signed char voiceGuidanceMode, const char* routeOptions,
                             const char* tmcStation, NavStartReason reason, bool useCallerTime,
                             int callerTime) noexcept {
    Entry<kind::Nav_StartRGHDU_LogEntry>().s8(voiceGuidanceMode).text(routeOptions).text(tmcStation)
        .s32(reason).send(useCallerTime, callerTime);
}

void Nav_StopRGHDU_LogEntry(NavStopReason reason, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::Nav_StopRGHDU_LogEntry>().u8(reason).send(useCallerTime, callerTime);
}

void Nav_ProcessStatus_LogEntry(int first, int second, const char* text, bool useCallerTime,
                                int callerTime) noexcept {
    processStatus<kind::Nav_ProcessStatus_LogEntry>(first, second, text, useCallerTime, callerTime);
}

// Google navigation.

void GoogleNav_ProcessStatus_LogEntry(int first, int second, const char* text, bool useCallerTime,
                                      int callerTime) noexcept {
    processStatus<kind::GoogleNav_ProcessStatus_LogEntry>(first, second, text, useCallerTime, callerTime);
}

void GoogleNav_StartRGHDU_LogEntry(bool useCallerTime, int callerTime) noexcept {
    Entry<kind::GoogleNav_StartRGHDU_LogEntry>().send(useCallerTime, callerTime);
}

void GoogleNav_ConnectivityInfo_LogEntry(unsigned int value, bool useCallerTime,
                                         int callerTime) noexcept {
    Entry<kind::GoogleNav_ConnectivityInfo_LogEntry>().gap().u32(value).send(useCallerTime, callerTime);
}

void GoogleNav_RouteGuidanceInfo_LogEntry(unsigned int value, bool useCallerTime,
                                          int callerTime) noexcept {
    Entry<kind::GoogleNav_RouteGuidanceInfo_LogEntry>().gap().u32(value).send(useCallerTime, callerTime);
}

// Sensors.

void Sensoric_SatRecHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    subValue<kind::Sensoric_SatRecHDU_LogEntry>(value, useCallerTime, callerTime);
}

void Sensoric_OdoQualityHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    subValue<kind::Sensoric_OdoQualityHDU_LogEntry>(value, useCallerTime, callerTime);
}

void Sensoric_GyroQualityHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    subValue<kind::Sensoric_GyroQualityHDU_LogEntry>(value, useCallerTime, callerTime);
}

void Sensoric_SensorCalibration_Status(const char* text, bool useCallerTime,
                                       int callerTime) noexcept {
    subText<kind::Sensoric_SensorCalibration_Status>(text, useCallerTime, callerTime);
}

void Sensoric_SensorData_LogEntry(const unsigned char* data, int count, bool useCallerTime,
                                  int callerTime) noexcept {
    // The sensor bytes are packed as a text: up to their first zero byte, cut to the cap.
    Entry<kind::Sensoric_SensorData_LogEntry>().text(reinterpret_cast<const char*>(data)).s32(count)
        .send(useCallerTime, callerTime);
}

// Traffic information and navigation errors.

void Traffic_TmcInfoHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    subText<kind::Traffic_TmcInfoHDU_LogEntry>(text, useCallerTime, callerTime);
}

void Traffic_GoogleTmcInfoHDU_LogEntry(const char* text, bool useCallerTime,
                                       int callerTime) noexcept {
    subText<kind::Traffic_GoogleTmcInfoHDU_LogEntry>(text, useCallerTime, callerTime);
}

void Nav_Error_GoogleReportError_LogEntry(const char* text, bool useCallerTime,
                                          int callerTime) noexcept {
    subText<kind::Nav_Error_GoogleReportError_LogEntry>(text, useCallerTime, callerTime);
}

void Nav_Error_ReportError_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    subText<kind::Nav_Error_ReportError_LogEntry>(text, useCallerTime, callerTime);
}

// On/off, settings and map information.

void ONOFFHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    subText<kind::ONOFFHDU_LogEntry_Text>(text, useCallerTime, callerTime);
}

void ONOFFHDU_LogEntry(OocXobEvent event, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::ONOFFHDU_LogEntry_Event>().u16(event).send(useCallerTime, callerTime);
}

void Settings_GoogleMapInfo_LogEntry(unsigned int value, bool useCallerTime,
                                     int callerTime) noexcept {
    Entry<kind::Settings_GoogleMapInfo_LogEntry>().u32(value).send(useCallerTime, callerTime);
}

void MapInfo_LogEntry(const map_info_t* info, bool useCallerTime, int callerTime) noexcept {
    const auto given = xob::present<kind::MapInfo_LogEntry>(info);
    if (!given) {
        return;
    }
    // Enumerations as their low bytes, instance 0 before instance 2, then the bools as flags.
    const bool flags[] = {info->drawRoutes,     info->highwayMap,         info->parkingMapViewMode,
                          info->mapInMapActive, info->trafficEventArrows, info->landmarks3D,
                          info->memoryPointNames, info->trafficEventIcons};
    given.entry().s32(info->zoomLevelMeters).u8(info->autoZoomMode).u8(info->dayNight)
        .u8(info->mapOrientationInstance0).u8(info->mapTypeInstance0).u8(info->mapOrientationInstance2)
        .u8(info->mapTypeInstance2).u8(info->landmarks2D).flags(flags).send(useCallerTime, callerTime);
}

// Entries without a sub-identifier.

void PanelHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    if (const auto given = xob::present<kind::PanelHDU_LogEntry>(text)) {
        given.entry().text(text).send(useCallerTime, callerTime);
    }
}

void MiscHDU_LogEntry(const char* first, char character, const char* second, bool useCallerTime,
                      int callerTime) noexcept {
    Entry<kind::MiscHDU_LogEntry>().character(character).text(first).text(second)
        .send(useCallerTime, callerTime);
}

void TRIGGERHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::TRIGGERHDU_LogEntry>().s32(value).send(useCallerTime, callerTime);
}

void WatchDogHDU_LogEntry(const char* first, const char* second, bool useCallerTime,
                          int callerTime) noexcept {
    // The second text leads on the wire.
    twoTexts<kind::WatchDogHDU_LogEntry>(second, first, useCallerTime, callerTime);
}

void MemoryHDU_LogEntry(unsigned int bytes, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::MemoryHDU_LogEntry>().u32(bytes >> 10).send(useCallerTime, callerTime);
}

void MemoryHDU_VideoRAM_LogEntry(unsigned int bytes, bool useCallerTime, int callerTime) noexcept {
    // The bit that tells video memory is the kind's key; a kibibyte count never reaches it.
    constexpr std::uint32_t videoMemory = kind::MemoryHDU_VideoRAM_LogEntry.key.value;
    Entry<kind::MemoryHDU_VideoRAM_LogEntry>().u32((bytes >> 10) | videoMemory)
        .send(useCallerTime, callerTime);
}

void ExceptionHDU_LogEntry(const char* text, int first, int second, char character,
                           const void* address, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::ExceptionHDU_LogEntry>().text(text).s32(first).s32(second).character(character)
        .address(address).send(useCallerTime, callerTime);
}

void DiagnosisHDU_LogEntry(char* text, bool useCallerTime, int callerTime) noexcept {
    Entry<kind::DiagnosisHDU_LogEntry>().text(text).send(useCallerTime, callerTime);
}

void SYSHDU_LogEntry(char* first, char* second, bool useCallerTime, int callerTime) noexcept {
    twoTexts<kind::SYSHDU_LogEntry>(first, second, useCallerTime, callerTime);
}

void OnlineHDU_LogEntry(const char* first, const char* second, bool useCallerTime,
                        int callerTime) noexcept {
    twoTexts<kind::OnlineHDU_LogEntry>(first, second, useCallerTime, callerTime);
}

}  // namespace GXob
