// libxob, plain layer: the navigation, sensor, traffic and system log entries.
//
// Each function records one log entry (command 8) with its own function identifier and, for most,
// a sub-identifier in payload byte 0. Multi-byte values are little-endian; texts are NUL-terminated
// and cut to their cap (terminator included); a null text packs as an empty one unless a function
// says otherwise. The trailing pair useCallerTime/callerTime selects the timestamp: the caller's
// own 24-bit count of hundredths of a second, or the clock read when the entry is queued.
#ifndef XOB_GXOB_NAVIGATION_H
#define XOB_GXOB_NAVIGATION_H

#include <xob/GXob.h>
#include <xob/XOBLogTypes.h>

#include <cstdint>

namespace GXob {

// Why route guidance started; recorded as its full 32-bit value.
enum NavStartReason : int {
    NSR_ManualStart = 0,
    NSR_SectionBlocked = 1,
    NSR_TmcRecalculationStart = 2
};

// Why route guidance stopped; the values belong to the navigation process. Recorded as one byte.
enum NavStopReason : int {};

// On/off event of the calling process; its values belong to that process. Recorded as two bytes.
enum OocXobEvent : int {};

// The map settings recorded by MapInfo_LogEntry, filled by the map settings logger.
struct map_info_t {
    std::int32_t zoomLevelMeters;
    XOBLog::AutoZoomMode autoZoomMode;
    XOBLog::DayNightSetting dayNight;
    XOBLog::MapOrientation mapOrientationInstance0;
    XOBLog::MapType mapTypeInstance0;
    bool drawRoutes;
    bool highwayMap;
    bool parkingMapViewMode;
    bool mapInMapActive;
    XOBLog::MapOrientation mapOrientationInstance2;
    XOBLog::MapType mapTypeInstance2;
    bool trafficEventArrows;
    bool landmarks3D;
    bool memoryPointNames;
    XOBLog::Landmarks2D landmarks2D;
    bool trafficEventIcons;
};

// Software download of navigation components (0x759, sub-identifiers 0 to 5): the component, the
// path (cap 64) and the result of each step.
// component: the component's code; XOBLoggerNav passes its code for the application's name.
// path: where the update is read from; XOBLoggerNav passes its two path parts joined by '|'.
// result: the step's outcome; XOBLoggerNav passes its XOBLog::SwdlResult for the check, 0 or 1
//         for prepare and finalize.
XOB_EXPORT void Nav_SWDL_Check(signed char component, const char* path, bool useCallerTime,
                               int callerTime) noexcept;
XOB_EXPORT void Nav_SWDL_Check_Result(signed char component, const char* path, signed char result,
                                      bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void Nav_SWDL_Prepare(signed char component, bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void Nav_SWDL_Prepare_Result(signed char component, signed char result,
                                        bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void Nav_SWDL_Finalize(signed char component, bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void Nav_SWDL_Finalize_Result(signed char component, signed char result,
                                         bool useCallerTime, int callerTime) noexcept;

// Navigation route guidance and state (0x418, sub-identifiers 0 to 3).
// The navigation state and the state of operation.
// navState: XOBLoggerNav passes its XOBLog::NaviState.
// stateOfOperation: XOBLoggerNav passes its XOBLog::NavStateOfOperation.
XOB_EXPORT void Nav_StateOfOperationHDU_LogEntry(signed char navState, signed char stateOfOperation,
                                                 bool useCallerTime, int callerTime) noexcept;
// Start of route guidance: voice-guidance mode, route-options summary and TMC station (cap 64
// each), and the reason. XOBLoggerRG passes its XOBLog::VoiceGuidanceMode, its one-line summary of
// the route options and the TMC station's name.
XOB_EXPORT void Nav_StartRGHDU_LogEntry(signed char voiceGuidanceMode, const char* routeOptions,
                                        const char* tmcStation, NavStartReason reason,
                                        bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void Nav_StopRGHDU_LogEntry(NavStopReason reason, bool useCallerTime,
                                       int callerTime) noexcept;
// Two status values and a text (cap 64).
// first, second, text: set by the calling component.
XOB_EXPORT void Nav_ProcessStatus_LogEntry(int first, int second, const char* text,
                                           bool useCallerTime, int callerTime) noexcept;

// Google navigation (0x756, sub-identifiers 0 to 3).
// first, second, text (process status), value (connectivity, route guidance): set by the calling
// component.
XOB_EXPORT void GoogleNav_ProcessStatus_LogEntry(int first, int second, const char* text,
                                                 bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void GoogleNav_StartRGHDU_LogEntry(bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void GoogleNav_ConnectivityInfo_LogEntry(unsigned int value, bool useCallerTime,
                                                    int callerTime) noexcept;
XOB_EXPORT void GoogleNav_RouteGuidanceInfo_LogEntry(unsigned int value, bool useCallerTime,
                                                     int callerTime) noexcept;

// Sensors (0x757, sub-identifiers 0 to 4).
// value: the satellites received, odometer quality or gyro quality, on the calling component's
//        scale (set by the calling component).
// text: the calibration status; set by the calling component.
XOB_EXPORT void Sensoric_SatRecHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void Sensoric_OdoQualityHDU_LogEntry(int value, bool useCallerTime,
                                                int callerTime) noexcept;
XOB_EXPORT void Sensoric_GyroQualityHDU_LogEntry(int value, bool useCallerTime,
                                                 int callerTime) noexcept;
XOB_EXPORT void Sensoric_SensorCalibration_Status(const char* text, bool useCallerTime,
                                                  int callerTime) noexcept;
// The data bytes up to their first zero byte (at most 63 of them), then `count` unchanged.
// data, count: XOBLoggerSensor passes its block and the block's length.
XOB_EXPORT void Sensoric_SensorData_LogEntry(const unsigned char* data, int count,
                                             bool useCallerTime, int callerTime) noexcept;

// Traffic information (0x758) and navigation errors (0x760), one text each (cap 64).
// text: XOBLoggerNav passes its text of the TMC message counts (Traffic_TmcInfoHDU_LogEntry), the
//       loggers their error text (Nav_Error_ReportError_LogEntry); set by the calling component
//       for the two Google entries.
XOB_EXPORT void Traffic_TmcInfoHDU_LogEntry(const char* text, bool useCallerTime,
                                            int callerTime) noexcept;
XOB_EXPORT void Traffic_GoogleTmcInfoHDU_LogEntry(const char* text, bool useCallerTime,
                                                  int callerTime) noexcept;
XOB_EXPORT void Nav_Error_GoogleReportError_LogEntry(const char* text, bool useCallerTime,
                                                     int callerTime) noexcept;
XOB_EXPORT void Nav_Error_ReportError_LogEntry(const char* text, bool useCallerTime,
                                               int callerTime) noexcept;

// On/off (0x753): a text (cap 80) or an event.
// text, event: set by the calling component.
XOB_EXPORT void ONOFFHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void ONOFFHDU_LogEntry(OocXobEvent event, bool useCallerTime, int callerTime) noexcept;

// Settings (0x420): the Google map information value.
// value: set by the calling component.
XOB_EXPORT void Settings_GoogleMapInfo_LogEntry(unsigned int value, bool useCallerTime,
                                                int callerTime) noexcept;
// Map information (0x426): every map setting in 13 bytes. A null `info` records nothing.
XOB_EXPORT void MapInfo_LogEntry(const map_info_t* info, bool useCallerTime,
                                 int callerTime) noexcept;

// Entries without a sub-identifier.
// Panel event (0x408), cap 31. A null text records nothing.
// text: set by the calling component.
XOB_EXPORT void PanelHDU_LogEntry(const char* text, bool useCallerTime, int callerTime) noexcept;
// Miscellaneous event (0x409): the character, then the texts (caps 4 and 60).
// first, character, second: set by the calling component.
XOB_EXPORT void MiscHDU_LogEntry(const char* first, char character, const char* second,
                                 bool useCallerTime, int callerTime) noexcept;
// Trigger (0x421).
// value: set by the calling component.
XOB_EXPORT void TRIGGERHDU_LogEntry(int value, bool useCallerTime, int callerTime) noexcept;
// Watchdog hit (0x703): the second text first, then the first (cap 129 each).
// first, second: XOBLoggerNav passes the two texts of its WatchDogHDU_LogEntry; set by the calling
//                component otherwise.
XOB_EXPORT void WatchDogHDU_LogEntry(const char* first, const char* second, bool useCallerTime,
                                     int callerTime) noexcept;
// Memory figures (0x70A) in whole kibibytes; the video-memory entry sets bit 31.
XOB_EXPORT void MemoryHDU_LogEntry(unsigned int bytes, bool useCallerTime, int callerTime) noexcept;
XOB_EXPORT void MemoryHDU_VideoRAM_LogEntry(unsigned int bytes, bool useCallerTime,
                                            int callerTime) noexcept;
// Exception (0x72A): a text (cap 129), two values, a character and the address's low 32 bits.
// text, first, second, character, address: set by the calling component.
XOB_EXPORT void ExceptionHDU_LogEntry(const char* text, int first, int second, char character,
                                      const void* address, bool useCallerTime,
                                      int callerTime) noexcept;
// Diagnosis (0x750), cap 129. The text is only read (char* for callers that pass null).
// text: set by the calling component.
XOB_EXPORT void DiagnosisHDU_LogEntry(char* text, bool useCallerTime, int callerTime) noexcept;
// System event (0x752), two texts of cap 129. Both are only read (char* for callers that pass
// null; see <xob/GXob.h> for passing a literal or a std::string).
// first, second: set by the calling component.
XOB_EXPORT void SYSHDU_LogEntry(char* first, char* second, bool useCallerTime,
                                int callerTime) noexcept;
// Online event (0x754), texts of caps 64 and 128.
// first, second: set by the calling component.
XOB_EXPORT void OnlineHDU_LogEntry(const char* first, const char* second, bool useCallerTime,
                                   int callerTime) noexcept;

}  // namespace GXob

#endif
