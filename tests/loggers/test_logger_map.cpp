// The map settings logger: which setting lands in which field, and when SendUpdate records.
#include "LoggerTestSupport.h"

using namespace loggertest;
using namespace XOBLog;

// The entry of a fresh logger with the settings `changes` ("name=value ...", in field order).
std::string mapEntry(const std::string& changes = "") {
    std::string entry =
        "MapInfo_LogEntry zoomLevelMeters=0 autoZoomMode=2 dayNight=2 mapOrientationInstance0=2 mapTypeInstance0=1 "
        "mapOrientationInstance2=2 mapTypeInstance2=1 landmarks2D=0 drawRoutes=0 highwayMap=0 parkingMapViewMode=0 "
        "mapInMapActive=0 trafficEventArrows=0 landmarks3D=0 memoryPointNames=0 trafficEventIcons=0 ";
    std::istringstream list(changes);
    for (std::string change; list >> change;) {
        const std::size_t at = entry.find(" " + change.substr(0, change.find('=') + 1));
        entry.replace(at + 1, entry.find(' ', at + 1) - at - 1, change);
    }
    entry.pop_back();
    return entry;
}

struct MapSettings : LoggerSuite {};


// Each setter alone marks an update, and its field is recorded with nothing else changed.
TEST_F(MapSettings, EachSetterStoresItsFieldAndMarksAnUpdate) {
    const struct { std::function<void(XOBLoggerMap&)> set; const char* recorded; } setters[] = {
        {[](XOBLoggerMap& m) { m.SetZoomLevelMeters(-500); }, "zoomLevelMeters=-500"},
        {[](XOBLoggerMap& m) { m.SetAutoZoomMode(AutoZoomMode(0x105)); }, "autoZoomMode=5"},
        {[](XOBLoggerMap& m) { m.SetDayNight(DayNightSetting(0)); }, "dayNight=0"},
        {[](XOBLoggerMap& m) { m.SetMapOrientation(MI_Instance0, MapOrientation(4)); }, "mapOrientationInstance0=4"},
        {[](XOBLoggerMap& m) { m.SetMapType(MI_Instance0, MapType(6)); }, "mapTypeInstance0=6"},
        {[](XOBLoggerMap& m) { m.SetMapOrientation(MI_Instance2, MapOrientation(0)); }, "mapOrientationInstance2=0"},
        {[](XOBLoggerMap& m) { m.SetMapType(MI_Instance2, MapType(3)); }, "mapTypeInstance2=3"},
        {[](XOBLoggerMap& m) { m.SetLandmarks2D(Landmarks2D(-1)); }, "landmarks2D=255"},
        {[](XOBLoggerMap& m) { m.SetDrawRoutes(true); }, "drawRoutes=1"},
        {[](XOBLoggerMap& m) { m.SetHighwayMap(true); }, "highwayMap=1"},
        {[](XOBLoggerMap& m) { m.SetParkingMapViewMode(true); }, "parkingMapViewMode=1"},
        {[](XOBLoggerMap& m) { m.SetMapInMapActive(true); }, "mapInMapActive=1"},
        {[](XOBLoggerMap& m) { m.SetTrafficEventArrows(true); }, "trafficEventArrows=1"},
        {[](XOBLoggerMap& m) { m.SetLandmarks3D(true); }, "landmarks3D=1"},
        {[](XOBLoggerMap& m) { m.SetMemoryPointNames(true); }, "memoryPointNames=1"},
        {[](XOBLoggerMap& m) { m.SetTrafficEventIcons(true); }, "trafficEventIcons=1"},
        {[](XOBLoggerMap& m) { m.SetHighwayMap(false); }, ""},  // the value held still marks an update
        {[](XOBLoggerMap& m) { m.SetNeedUpdate(); }, ""},
    };
    for (const auto& c : setters) {
        XOBLoggerMap map(m_shared);
        c.set(map);
        EXPECT_TRUE(map.NeedsUpdate()) << c.recorded;
        map.SendUpdate();
        EXPECT_EQ(entriesSoFar(), Lines{mapEntry(c.recorded)});
    }
}

// Nothing is recorded without a mark; one entry per batch of changes, with the latest values, which
// stay across entries; a reset drops the mark but not the values.
TEST_F(MapSettings, OneEntryPerMarkedBatchAndResetKeepsTheValues) {
    XOBLoggerMap map(m_shared);
    TraceCapture trace;
    map.SendUpdate();
    // Instances other than 0 and 2 are ignored altogether.
    map.SetMapType(MapInstance(1), MapType(3));
    map.SetMapOrientation(MapInstance(-1), MapOrientation(0));
    map.SetMapOrientation(MapInstance(0x102), MapOrientation(0));
    EXPECT_FALSE(map.NeedsUpdate());
    map.SendUpdate();
    EXPECT_EQ(trace.take(), Lines{});
    map.SetDrawRoutes(true);
    map.SetZoomLevelMeters(100);
    map.SetZoomLevelMeters(500);
    map.SendUpdate();
    map.SendUpdate();
    EXPECT_FALSE(map.NeedsUpdate());
    EXPECT_EQ(trace.take(), Lines{traceLine("SendUpdate", "update MapInfo_LogEntry")});
    map.SetMapOrientation(MI_Instance2, MapOrientation(0));
    map.SendUpdate();
    map.SetLandmarks3D(true);
    map.ResetUpdate();
    map.SendUpdate();
    map.SetNeedUpdate();
    map.SendUpdate();
    EXPECT_EQ(entriesSoFar(), (Lines{mapEntry("zoomLevelMeters=500 drawRoutes=1"),
                                     mapEntry("zoomLevelMeters=500 mapOrientationInstance2=0 drawRoutes=1"),
                                     mapEntry("zoomLevelMeters=500 mapOrientationInstance2=0 drawRoutes=1 "
                                              "landmarks3D=1")}));
}
