// libxob, object layer: the enumerations of the navigation loggers that the plain layer shares.
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
enum MapInstance : int {};      // which map view a setting is for; the logger keeps 0 and 2

}  // namespace XOBLog

#endif
