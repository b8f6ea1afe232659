// Navigation, sensor, traffic and system entries. Each function mirrors its payload layout on the
// record builder; the layouts that several entries share have a helper of their own below.
#include <xob/GXobNavigation.h>

#include "channel/RecordBuilder.h"

#include <cstdint>

namespace {

using xob::RecordBuilder;

// Function identifiers of these entries.
constexpr std::uint16_t kPanel = 0x408;
constexpr std::uint16_t kMisc = 0x409;
constexpr std::uint16_t kNavigation = 0x418;
constexpr std::uint16_t kSettings = 0x420;
constexpr std::uint16_t kTrigger = 0x421;
constexpr std::uint16_t kMapInfo = 0x426;
constexpr std::uint16_t kWatchDog = 0x703;
constexpr std::uint16_t kMemory = 0x70A;
constexpr std::uint16_t kException = 0x72A;
constexpr std::uint16_t kDiagnosis = 0x750;
constexpr std::uint16_t kSystem = 0x752;
constexpr std::uint16_t kOnOff = 0x753;
constexpr std::uint16_t kOnline = 0x754;
constexpr std::uint16_t kGoogleNav = 0x756;
constexpr std::uint16_t kSensors = 0x757;
constexpr std::uint16_t kTraffic = 0x758;
constexpr std::uint16_t kSoftwareDownload = 0x759;
constexpr std::uint16_t kNavErrors = 0x760;

// Text cap of the navigation, sensor, traffic and error entries.
constexpr int kTextCap = 64;
// Text cap of the system-side entries (watchdog, exception, diagnosis, system event).
constexpr int kLongTextCap = 129;

// Bit 31 of a memory figure marks video memory; a kibibyte count never reaches it.
constexpr std::uint32_t kVideoMemoryBit = 0x80000000u;

// Sub-identifier, one text.
void subText(std::uint16_t functionId, unsigned sub, const char* text, int cap, bool useCallerTime,
             int callerTime) noexcept {
    RecordBuilder(functionId).u8(sub).text(text, cap).send(useCallerTime, callerTime);
}

// Sub-identifier, three unassigned bytes, a 32-bit value (signed values as their 32 bits).
void subValue(std::uint16_t functionId, unsigned sub, std::uint32_t value, bool useCallerTime,
              int callerTime) noexcept {
    RecordBuilder(functionId).u8(sub).gap(3).u32le(value).send(useCallerTime, callerTime);
}

// Sub-identifier, two signed values, one text.
void processStatus(std::uint16_t functionId, unsigned sub, int first, int second, const char* text,
                   bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(functionId).u8(sub).s32le(first).s32le(second).text(text, kTextCap)
        .send(useCallerTime, callerTime);
}

// Two texts back to back, no sub-identifier.
void twoTexts(std::uint16_t functionId, const char* first, int firstCap, const char* second,
              int secondCap, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(functionId).text(first, firstCap).text(second, secondCap)
        .send(useCallerTime, callerTime);
}

// The map settings' eight bools as one byte, bit 0 first.
std::uint8_t mapFlags(const GXob::map_info_t& info) noexcept {
    const bool flags[] = {info.drawRoutes,     info.highwayMap,         info.parkingMapViewMode,
                          info.mapInMapActive, info.trafficEventArrows, info.landmarks3D,
                          info.memoryPointNames, info.trafficEventIcons};
    unsigned bits = 0;
    unsigned bit = 1;
    for (bool flag : flags) {
        bits |= flag ? bit : 0u;
        bit <<= 1;
    }
    return static_cast<std::uint8_t>(bits);
}

}  // namespace

namespace GXob {

// Software download of navigation components.

void Nav_SWDL_Check(signed char component, const char* path, bool useCallerTime,
                    int callerTime) noexcept {
    RecordBuilder(kSoftwareDownload).u8(0).s8(component).text(path, kTextCap)
        .send(useCallerTime, callerTime);
}

void Nav_SWDL_Check_Result(signed char component, const char* path, signed char result,
                           bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kSoftwareDownload).u8(1).s8(component).text(path, kTextCap).s8(result)
        .send(useCallerTime, callerTime);
}

void Nav_SWDL_Prepare(signed char component, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kSoftwareDownload).u8(2).s8(component).send(useCallerTime, callerTime);
}

void Nav_SWDL_Prepare_Result(signed char component, signed char result, bool useCallerTime,
                             int callerTime) noexcept {
    RecordBuilder(kSoftwareDownload).u8(3).s8(component).s8(result).send(useCallerTime, callerTime);
}

void Nav_SWDL_Finalize(signed char component, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kSoftwareDownload).u8(4).s8(component).send(useCallerTime, callerTime);
}

void Nav_SWDL_Finalize_Result(signed char component, signed char result, bool useCallerTime,
                              int callerTime) noexcept {
    RecordBuilder(kSoftwareDownload).u8(5).s8(component).s8(result).send(useCallerTime, callerTime);
}

// Navigation route guidance and state.

void Nav_StateOfOperationHDU_LogEntry(signed char navState, signed char stateOfOperation,
                                      bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kNavigation).u8(0).s8(navState).s8(stateOfOperation)
        .send(useCallerTime, callerTime);
}

void Nav_StartRGHDU_LogEntry(signed char voiceGuidanceMode, const char* routeOptions,
                             const char* tmcStation, NavStartReason reason, bool useCallerTime,
                             int callerTime) noexcept {
    RecordBuilder(kNavigation).u8(1).s8(voiceGuidanceMode).text(routeOptions, kTextCap)
        .text(tmcStation, kTextCap).s32le(reason).send(useCallerTime, callerTime);
}

void Nav_StopRGHDU_LogEntry(NavStopReason reason, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kNavigation).u8(2).u8(reason).send(useCallerTime, callerTime);
}

void Nav_ProcessStatus_LogEntry(int first, int second, const char* text, bool useCallerTime,
                                int callerTime) noexcept {
    processStatus(kNavigation, 3, first, second, text, useCallerTime, callerTime);
}

// Google navigation.

void GoogleNav_ProcessStatus_LogEntry(int first, int second, const char* text, bool useCallerTime,
                                      int callerTime) noexcept {
    processStatus(kGoogleNav, 0, first, second, text, useCallerTime, callerTime);
}

void GoogleNav_StartRGHDU_LogEntry(bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kGoogleNav).u8(1).send(useCallerTime, callerTime);
}

void GoogleNav_ConnectivityInfo_LogEntry(unsigned int value, bool useCallerTime,
                                         int callerTime) noexcept {
    subValue(kGoogleNav, 2, value, useCallerTime, callerTime);
}

void GoogleNav_RouteGuidanceInfo_LogEntry(unsigned int value, bool useCallerTime,
                                          int callerTime) noexcept {
    subValue(kGoogleNav, 3, value, useCallerTime, callerTime);
}

// Sensors.

void Sensoric_SatRecHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    subValue(kSensors, 0, static_cast<std::uint32_t>(value), useCallerTime, callerTime);
}

void Sensoric_OdoQualityHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    subValue(kSensors, 1, static_cast<std::uint32_t>(value), useCallerTime, callerTime);
}

void Sensoric_GyroQualityHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    subValue(kSensors, 2, static_cast<std::uint32_t>(value), useCallerTime, callerTime);
}

void Sensoric_SensorCalibration_Status(const char* text, bool useCallerTime,
                                       int callerTime) noexcept {
    subText(kSensors, 3, text, kTextCap, useCallerTime, callerTime);
}

void Sensoric_SensorData_LogEntry(const unsigned char* data, int count, bool useCallerTime,
                                  int callerTime) noexcept {
    // The sensor bytes are packed as a text: up to their first zero byte, cut to the cap.
    RecordBuilder(kSensors).u8(4).text(reinterpret_cast<const char*>(data), kTextCap).s32le(count)
        .send(useCallerTime, callerTime);
}

// Traffic information and navigation errors. The plain traffic entry is sub-identifier 0, the
// plain error entry 1.

void Traffic_TmcInfoHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    subText(kTraffic, 0, text, kTextCap, useCallerTime, callerTime);
}

void Traffic_GoogleTmcInfoHDU_LogEntry(const char* text, bool useCallerTime,
                                       int callerTime) noexcept {
    subText(kTraffic, 1, text, kTextCap, useCallerTime, callerTime);
}

void Nav_Error_GoogleReportError_LogEntry(const char* text, bool useCallerTime,
                                          int callerTime) noexcept {
    subText(kNavErrors, 0, text, kTextCap, useCallerTime, callerTime);
}

void Nav_Error_ReportError_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    subText(kNavErrors, 1, text, kTextCap, useCallerTime, callerTime);
}

// On/off, settings and map information.

void ONOFFHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    subText(kOnOff, 0, text, 80, useCallerTime, callerTime);
}

void ONOFFHDU_LogEntry(OocXobEvent event, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kOnOff).u8(1).u16le(event).send(useCallerTime, callerTime);
}

void Settings_GoogleMapInfo_LogEntry(unsigned int value, bool useCallerTime,
                                     int callerTime) noexcept {
    RecordBuilder(kSettings).u8(4).u32le(value).send(useCallerTime, callerTime);
}

void MapInfo_LogEntry(const map_info_t* info, bool useCallerTime, int callerTime) noexcept {
    if (info == nullptr) {
        return;
    }
    // Enumerations as their low bytes, instance 0 before instance 2, then the bools as flags.
    RecordBuilder(kMapInfo).u8(1).s32le(info->zoomLevelMeters).u8(info->autoZoomMode)
        .u8(info->dayNight).u8(info->mapOrientationInstance0).u8(info->mapTypeInstance0)
        .u8(info->mapOrientationInstance2).u8(info->mapTypeInstance2).u8(info->landmarks2D)
        .u8(mapFlags(*info)).send(useCallerTime, callerTime);
}

// Entries without a sub-identifier.

void PanelHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept {
    if (text == nullptr) {
        return;
    }
    RecordBuilder(kPanel).text(text, 31).send(useCallerTime, callerTime);
}

void MiscHDU_LogEntry(const char* first, char character, const char* second, bool useCallerTime,
                      int callerTime) noexcept {
    RecordBuilder(kMisc).data(character).text(first, 4).text(second, 60)
        .send(useCallerTime, callerTime);
}

void TRIGGERHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kTrigger).s32le(value).send(useCallerTime, callerTime);
}

void WatchDogHDU_LogEntry(const char* first, const char* second, bool useCallerTime,
                          int callerTime) noexcept {
    // The second text leads on the wire.
    twoTexts(kWatchDog, second, kLongTextCap, first, kLongTextCap, useCallerTime, callerTime);
}

void MemoryHDU_LogEntry(unsigned int bytes, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kMemory).u32le(bytes >> 10).send(useCallerTime, callerTime);
}

void MemoryHDU_VideoRAM_LogEntry(unsigned int bytes, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kMemory).u32le((bytes >> 10) | kVideoMemoryBit).send(useCallerTime, callerTime);
}

void ExceptionHDU_LogEntry(const char* text, int first, int second, char character,
                           const void* address, bool useCallerTime, int callerTime) noexcept {
    // The address is recorded as its low 32 bits, whatever the host's pointer width.
    RecordBuilder(kException).text(text, kLongTextCap).s32le(first).s32le(second).data(character)
        .data(address).send(useCallerTime, callerTime);
}

void DiagnosisHDU_LogEntry(char* text, bool useCallerTime, int callerTime) noexcept {
    RecordBuilder(kDiagnosis).text(text, kLongTextCap).send(useCallerTime, callerTime);
}

void SYSHDU_LogEntry(char* first, char* second, bool useCallerTime, int callerTime) noexcept {
    twoTexts(kSystem, first, kLongTextCap, second, kLongTextCap, useCallerTime, callerTime);
}

void OnlineHDU_LogEntry(const char* first, const char* second, bool useCallerTime,
                        int callerTime) noexcept {
    twoTexts(kOnline, first, kTextCap, second, 128, useCallerTime, callerTime);
}

}  // namespace GXob
