// The map settings logger: which setting lands where in the record, and when SendUpdate records.
#include "LoggerTestSupport.h"

#include <functional>
#include <ostream>

using loggertest::Bytes;
using loggertest::entry;

namespace {

// The map-information payload of a fresh logger.
const Bytes kDefaults = {1, 0, 0, 0, 0, 2, 2, 2, 1, 2, 1, 0, 0};

Bytes defaultsWith(std::size_t offset, std::uint8_t value) {
    Bytes payload = kDefaults;
    payload[offset] = value;
    return payload;
}

Bytes mapEntry(const Bytes& payload) { return entry(0x426, payload); }

class MapSettings : public loggertest::LoggerSuite {
protected:
    MapSettings() : m_map(m_shared) {}
    XOBLoggerMap m_map;
};

struct SetterCase {
    const char* name;
    std::function<void(XOBLoggerMap&)> set;
    Bytes payload;
};

void PrintTo(const SetterCase& c, std::ostream* out) { *out << c.name; }

class MapSetters : public MapSettings, public testing::WithParamInterface<SetterCase> {};

// Each setter alone: its field is recorded and nothing else changes.
TEST_P(MapSetters, StoreTheirFieldAndMarkAnUpdate) {
    GetParam().set(m_map);
    EXPECT_TRUE(m_map.NeedsUpdate());
    m_map.SendUpdate();
    EXPECT_EQ(recordsSoFar(), std::vector<Bytes>{mapEntry(GetParam().payload)});
}

template <typename Enum>
Enum as(int value) {
    return static_cast<Enum>(value);
}

const XOBLog::MapInstance kInstance0 = XOBLog::MI_Instance0;
const XOBLog::MapInstance kInstance2 = XOBLog::MI_Instance2;

const SetterCase kSetters[] = {
    {"ZoomLevelMeters", [](XOBLoggerMap& m) { m.SetZoomLevelMeters(-500); },
     Bytes{1, 0x0C, 0xFE, 0xFF, 0xFF, 2, 2, 2, 1, 2, 1, 0, 0}},
    {"AutoZoomModeLowByte", [](XOBLoggerMap& m) { m.SetAutoZoomMode(as<XOBLog::AutoZoomMode>(0x105)); },
     defaultsWith(5, 5)},
    {"DayNight", [](XOBLoggerMap& m) { m.SetDayNight(as<XOBLog::DayNightSetting>(0)); }, defaultsWith(6, 0)},
    {"OrientationInstance0", [](XOBLoggerMap& m) { m.SetMapOrientation(kInstance0, as<XOBLog::MapOrientation>(4)); },
     defaultsWith(7, 4)},
    {"TypeInstance0", [](XOBLoggerMap& m) { m.SetMapType(kInstance0, as<XOBLog::MapType>(6)); }, defaultsWith(8, 6)},
    {"OrientationInstance2", [](XOBLoggerMap& m) { m.SetMapOrientation(kInstance2, as<XOBLog::MapOrientation>(0)); },
     defaultsWith(9, 0)},
    {"TypeInstance2", [](XOBLoggerMap& m) { m.SetMapType(kInstance2, as<XOBLog::MapType>(3)); }, defaultsWith(10, 3)},
    {"Landmarks2D", [](XOBLoggerMap& m) { m.SetLandmarks2D(as<XOBLog::Landmarks2D>(-1)); }, defaultsWith(11, 0xFF)},
    {"DrawRoutes", [](XOBLoggerMap& m) { m.SetDrawRoutes(true); }, defaultsWith(12, 0x01)},
    {"HighwayMap", [](XOBLoggerMap& m) { m.SetHighwayMap(true); }, defaultsWith(12, 0x02)},
    {"ParkingMapViewMode", [](XOBLoggerMap& m) { m.SetParkingMapViewMode(true); }, defaultsWith(12, 0x04)},
    {"MapInMapActive", [](XOBLoggerMap& m) { m.SetMapInMapActive(true); }, defaultsWith(12, 0x08)},
    {"TrafficEventArrows", [](XOBLoggerMap& m) { m.SetTrafficEventArrows(true); }, defaultsWith(12, 0x10)},
    {"Landmarks3D", [](XOBLoggerMap& m) { m.SetLandmarks3D(true); }, defaultsWith(12, 0x20)},
    {"MemoryPointNames", [](XOBLoggerMap& m) { m.SetMemoryPointNames(true); }, defaultsWith(12, 0x40)},
    {"TrafficEventIcons", [](XOBLoggerMap& m) { m.SetTrafficEventIcons(true); }, defaultsWith(12, 0x80)},
    // A value equal to the one held still marks an update.
    {"HighwayMapUnchanged", [](XOBLoggerMap& m) { m.SetHighwayMap(false); }, kDefaults},
    {"MarkAlone", [](XOBLoggerMap& m) { m.SetNeedUpdate(); }, kDefaults},
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
    EXPECT_TRUE(recordsSoFar().empty());
    EXPECT_TRUE(trace.take().empty());

    m_map.SetNeedUpdate();
    m_map.SendUpdate();
    EXPECT_EQ(recordsSoFar(), std::vector<Bytes>{mapEntry(kDefaults)}) << "an ignored instance changed a field";
}

TEST_F(MapSettings, OneEntryPerBatchOfChangesWithTheLatestValues) {
    m_map.SetDrawRoutes(true);
    m_map.SetZoomLevelMeters(100);
    m_map.SetZoomLevelMeters(500);
    m_map.SendUpdate();
    m_map.SendUpdate();
    EXPECT_FALSE(m_map.NeedsUpdate());
    // The values stay across entries.
    m_map.SetMapOrientation(kInstance2, as<XOBLog::MapOrientation>(0));
    m_map.SendUpdate();
    EXPECT_EQ(recordsSoFar(), (std::vector<Bytes>{mapEntry({1, 0xF4, 0x01, 0, 0, 2, 2, 2, 1, 2, 1, 0, 0x01}),
                                                  mapEntry({1, 0xF4, 0x01, 0, 0, 2, 2, 2, 1, 0, 1, 0, 0x01})}));
}

TEST_F(MapSettings, ResetDropsTheMarkButNotTheValues) {
    m_map.SetLandmarks3D(true);
    m_map.SetDayNight(as<XOBLog::DayNightSetting>(1));
    m_map.ResetUpdate();
    m_map.SendUpdate();
    EXPECT_TRUE(recordsSoFar().empty());
    m_map.SetNeedUpdate();
    m_map.SendUpdate();
    EXPECT_EQ(recordsSoFar(), std::vector<Bytes>{mapEntry({1, 0, 0, 0, 0, 2, 1, 2, 1, 2, 1, 0, 0x20})});
}

}  // namespace
