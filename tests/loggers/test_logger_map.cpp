// The map settings logger: which setting lands in which field, and when SendUpdate records.
#include "LoggerTestSupport.h"

#include <functional>
#include <ostream>

using loggertest::Lines;

namespace {

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

template <typename Enum>
Enum as(int value) {
    return static_cast<Enum>(value);
}

class MapSettings : public loggertest::LoggerSuite {
protected:
    MapSettings() : m_map(m_shared) {}
    XOBLoggerMap m_map;
};

struct SetterCase {
    const char* name;
    std::function<void(XOBLoggerMap&)> set;
    const char* recorded;
};

void PrintTo(const SetterCase& c, std::ostream* out) { *out << c.name; }

class MapSetters : public MapSettings, public testing::WithParamInterface<SetterCase> {};

// Each setter alone: its field is recorded and nothing else changes.
TEST_P(MapSetters, StoreTheirFieldAndMarkAnUpdate) {
    GetParam().set(m_map);
    EXPECT_TRUE(m_map.NeedsUpdate());
    m_map.SendUpdate();
    EXPECT_EQ(entriesSoFar(), Lines{mapEntry(GetParam().recorded)});
}

const XOBLog::MapInstance kInstance0 = XOBLog::MI_Instance0;
const XOBLog::MapInstance kInstance2 = XOBLog::MI_Instance2;

const SetterCase kSetters[] = {
    {"ZoomLevelMeters", [](XOBLoggerMap& m) { m.SetZoomLevelMeters(-500); }, "zoomLevelMeters=-500"},
    {"AutoZoomModeLowByte", [](XOBLoggerMap& m) { m.SetAutoZoomMode(as<XOBLog::AutoZoomMode>(0x105)); },
     "autoZoomMode=5"},
    {"DayNight", [](XOBLoggerMap& m) { m.SetDayNight(as<XOBLog::DayNightSetting>(0)); }, "dayNight=0"},
    {"OrientationInstance0", [](XOBLoggerMap& m) { m.SetMapOrientation(kInstance0, as<XOBLog::MapOrientation>(4)); },
     "mapOrientationInstance0=4"},
    {"TypeInstance0", [](XOBLoggerMap& m) { m.SetMapType(kInstance0, as<XOBLog::MapType>(6)); }, "mapTypeInstance0=6"},
    {"OrientationInstance2", [](XOBLoggerMap& m) { m.SetMapOrientation(kInstance2, as<XOBLog::MapOrientation>(0)); },
     "mapOrientationInstance2=0"},
    {"TypeInstance2", [](XOBLoggerMap& m) { m.SetMapType(kInstance2, as<XOBLog::MapType>(3)); }, "mapTypeInstance2=3"},
    {"Landmarks2D", [](XOBLoggerMap& m) { m.SetLandmarks2D(as<XOBLog::Landmarks2D>(-1)); }, "landmarks2D=255"},
    {"DrawRoutes", [](XOBLoggerMap& m) { m.SetDrawRoutes(true); }, "drawRoutes=1"},
    {"HighwayMap", [](XOBLoggerMap& m) { m.SetHighwayMap(true); }, "highwayMap=1"},
    {"ParkingMapViewMode", [](XOBLoggerMap& m) { m.SetParkingMapViewMode(true); }, "parkingMapViewMode=1"},
    {"MapInMapActive", [](XOBLoggerMap& m) { m.SetMapInMapActive(true); }, "mapInMapActive=1"},
    {"TrafficEventArrows", [](XOBLoggerMap& m) { m.SetTrafficEventArrows(true); }, "trafficEventArrows=1"},
    {"Landmarks3D", [](XOBLoggerMap& m) { m.SetLandmarks3D(true); }, "landmarks3D=1"},
    {"MemoryPointNames", [](XOBLoggerMap& m) { m.SetMemoryPointNames(true); }, "memoryPointNames=1"},
    {"TrafficEventIcons", [](XOBLoggerMap& m) { m.SetTrafficEventIcons(true); }, "trafficEventIcons=1"},
    // A value equal to the one held still marks an update.
    {"HighwayMapUnchanged", [](XOBLoggerMap& m) { m.SetHighwayMap(false); }, ""},
    {"MarkAlone", [](XOBLoggerMap& m) { m.SetNeedUpdate(); }, ""},
};

INSTANTIATE_TEST_SUITE_P(Map, MapSetters, testing::ValuesIn(kSetters),
                         [](const testing::TestParamInfo<SetterCase>& info) { return info.param.name; });

TEST_F(MapSettings, NothingIsRecordedWithoutAMark) {
    loggertest::TraceCapture trace;
    EXPECT_FALSE(m_map.NeedsUpdate());
    m_map.SendUpdate();
    // Instances other than 0 and 2 are ignored altogether.
    m_map.SetMapType(as<XOBLog::MapInstance>(1), as<XOBLog::MapType>(3));
    m_map.SetMapOrientation(as<XOBLog::MapInstance>(-1), as<XOBLog::MapOrientation>(0));
    m_map.SetMapOrientation(as<XOBLog::MapInstance>(0x102), as<XOBLog::MapOrientation>(0));
    EXPECT_FALSE(m_map.NeedsUpdate());
    m_map.SendUpdate();
    EXPECT_EQ(entriesSoFar(), Lines{});
    EXPECT_EQ(trace.take(), Lines{});

    m_map.SetNeedUpdate();
    m_map.SendUpdate();
    EXPECT_EQ(entriesSoFar(), Lines{mapEntry()}) << "an ignored instance changed a field";
    EXPECT_EQ(trace.take(), Lines{loggertest::traceLine("SendUpdate", "update MapInfo_LogEntry")});
}

// One entry per batch of changes, with the latest values, which stay across entries; a reset drops
// the mark but not the values.
TEST_F(MapSettings, OneEntryPerBatchAndResetKeepsTheValues) {
    m_map.SetDrawRoutes(true);
    m_map.SetZoomLevelMeters(100);
    m_map.SetZoomLevelMeters(500);
    m_map.SendUpdate();
    m_map.SendUpdate();
    EXPECT_FALSE(m_map.NeedsUpdate());
    m_map.SetMapOrientation(kInstance2, as<XOBLog::MapOrientation>(0));
    m_map.SendUpdate();
    m_map.SetLandmarks3D(true);
    m_map.ResetUpdate();
    m_map.SendUpdate();
    EXPECT_EQ(entriesSoFar(), (Lines{mapEntry("zoomLevelMeters=500 drawRoutes=1"),
                                     mapEntry("zoomLevelMeters=500 mapOrientationInstance2=0 drawRoutes=1")}));
    m_map.SetNeedUpdate();
    m_map.SendUpdate();
    EXPECT_EQ(entriesSoFar(),
              Lines{mapEntry("zoomLevelMeters=500 mapOrientationInstance2=0 drawRoutes=1 landmarks3D=1")});
}

}  // namespace
