// libxob, object layer: the enumerations of the navigation loggers.
//
// Every enumeration is 32 bits wide with a fixed underlying type, so that any value a caller passes
// is valid; the library stores and records the numbers unchanged and names no enumerator where the
// navigation process owns the meaning.
#ifndef XOB_XOBLOGTYPES_H
#define XOB_XOBLOGTYPES_H

namespace XOBLog {

// Map display settings, as the navigation process reports them to the map settings logger.
enum AutoZoomMode : int {};     // auto-zoom mode of the map
enum DayNightSetting : int {};  // day/night colour setting
enum MapOrientation : int {};   // orientation of one map instance
enum MapType : int {};          // map type of one map instance
enum Landmarks2D : int {};      // 2D landmark display setting

// Which map view a setting is for. The map settings logger keeps the settings of these two
// instances and ignores every other value.
enum MapInstance : int {
    MI_Instance0 = 0,
    MI_Instance2 = 2
};

// Software download and navigation state, forwarded by the navigation status logger as their
// low 8 bits.
enum SwdlResult : int {};           // result of a download check
enum NavStateOfOperation : int {};  // state of operation of the navigation
enum NaviState : int {};            // navigation state

// Voice guidance in force when route guidance starts; recorded as a signed byte.
enum VoiceGuidanceMode : int {
    VGM_UNDEFINED = -1,
    VGM_COMPACT = 0,
    VGM_COMPLETE = 1,
    VGM_TRAFFIC = 2,
    VGM_OFF = 3
};

// Why a route calculation started; the same numbers as GXob::NavStartReason.
enum NavStartReason : int {
    NSR_ManualStart = 0,
    NSR_SectionBlocked = 1,
    NSR_TmcRecalculationStart = 2
};

// Why route guidance stopped; its values belong to the navigation process and are handed to
// GXob::NavStopReason unchanged.
enum NavStopReason : int {};

}  // namespace XOBLog

#endif
