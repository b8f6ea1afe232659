// The navigation, sensor, traffic and system entries, record by record as the device receives them.
#include <xob/GXob.h>

#include "SharedDeviceTest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

using xobtest::Bytes;
using xobtest::operator+;

namespace {

constexpr int kTime = 0x123456;

Bytes le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// `count` copies of `c` and a terminator: a text cut to its cap.
Bytes cutText(std::size_t count, char c) {
    return Bytes(count, static_cast<std::uint8_t>(c)) + Bytes{0};
}

const std::string k70(70, 'p');
std::string k200(200, 'w');  // not const: the system entry takes char*
const unsigned char kSensorBytes[] = {'a', 'b', 0, 'c'};
char kSysText[] = "event";  // the system entry takes char*

GXob::map_info_t mapInfo(bool allFlags) {
    GXob::map_info_t info{};
    if (allFlags) {
        info.drawRoutes = info.highwayMap = info.parkingMapViewMode = info.mapInMapActive = true;
        info.trafficEventArrows = info.landmarks3D = info.memoryPointNames = info.trafficEventIcons = true;
        return info;
    }
    // Distinct numbers per enumeration, one above a byte; flags at bits 0, 3, 5 and 7.
    info.zoomLevelMeters = -500;
    info.autoZoomMode = static_cast<XOBLog::AutoZoomMode>(0x102);
    info.dayNight = static_cast<XOBLog::DayNightSetting>(1);
    info.mapOrientationInstance0 = static_cast<XOBLog::MapOrientation>(3);
    info.mapTypeInstance0 = static_cast<XOBLog::MapType>(4);
    info.mapOrientationInstance2 = static_cast<XOBLog::MapOrientation>(5);
    info.mapTypeInstance2 = static_cast<XOBLog::MapType>(6);
    info.landmarks2D = static_cast<XOBLog::Landmarks2D>(7);
    info.drawRoutes = info.mapInMapActive = info.landmarks3D = info.trafficEventIcons = true;
    return info;
}
const GXob::map_info_t kAllFlags = mapInfo(true);
const GXob::map_info_t kMixed = mapInfo(false);

struct EntryCase {
    const char* name;
    void (*call)();
    std::uint16_t functionId;  // 0: the entry records nothing
    Bytes payload;
};

void PrintTo(const EntryCase& c, std::ostream* out) { *out << c.name; }

// The marker that follows every call: the next record after the entry's own must be this one.
void marker() { GXob::GoogleNav_StartRGHDU_LogEntry(true, kTime); }

class NavigationEntries : public xobtest::SharedDeviceTest<EntryCase> {};

TEST_P(NavigationEntries, RecordsItsPayloadExactlyOnce) {
    const EntryCase& c = GetParam();
    c.call();
    marker();
    // Everything up to the marker is the entry's; reading up to it also keeps a faulty entry's
    // extra records away from the next case.
    const Bytes markerRecord = xobtest::logEntry(0x756, kTime, {1});
    std::vector<Bytes> records;
    std::string seen;
    Bytes record;
    bool markerSeen = false;
    while (!markerSeen && s_device->next(record)) {
        markerSeen = record == markerRecord;
        if (!markerSeen) {
            records.push_back(record);
            seen += xobtest::hex(record) + "\n";
        }
    }
    ASSERT_TRUE(markerSeen) << seen;
    ASSERT_EQ(records.size(), c.functionId != 0 ? 1u : 0u) << seen;
    if (!records.empty()) {
        const Bytes expected = xobtest::logEntry(c.functionId, kTime, c.payload);
        EXPECT_EQ(records[0], expected) << "got      " << seen << "expected " << xobtest::hex(expected);
    }
}

const EntryCase kCases[] = {
    // Software download of navigation components.
    {"SwdlCheck", [] { GXob::Nav_SWDL_Check(-2, "/fs/nav", true, kTime); }, 0x759,
     Bytes{0, 0xFE} + xobtest::textField("/fs/nav")},
    {"SwdlCheckResultLongPath", [] { GXob::Nav_SWDL_Check_Result(5, k70.c_str(), -3, true, kTime); },
     0x759, Bytes{1, 5} + cutText(63, 'p') + Bytes{0xFD}},
    {"SwdlPrepare", [] { GXob::Nav_SWDL_Prepare(127, true, kTime); }, 0x759, {2, 0x7F}},
    {"SwdlPrepareResult", [] { GXob::Nav_SWDL_Prepare_Result(1, -128, true, kTime); }, 0x759, {3, 1, 0x80}},
    {"SwdlFinalize", [] { GXob::Nav_SWDL_Finalize(-127, true, kTime); }, 0x759, {4, 0x81}},
    {"SwdlFinalizeResult", [] { GXob::Nav_SWDL_Finalize_Result(3, -1, true, kTime); }, 0x759, {5, 3, 0xFF}},
    // Route guidance and state.
    {"StateOfOperation", [] { GXob::Nav_StateOfOperationHDU_LogEntry(4, -1, true, kTime); }, 0x418,
     {0, 4, 0xFF}},
    {"StartRG", [] {
         GXob::Nav_StartRGHDU_LogEntry(2, "type=1", "Station", GXob::NSR_TmcRecalculationStart, true,
                                       kTime);
     }, 0x418, Bytes{1, 2} + xobtest::textField("type=1") + xobtest::textField("Station") + le32(2)},
    {"StartRGEmptyTextsWideReason", [] {
         GXob::Nav_StartRGHDU_LogEntry(-1, "", nullptr, static_cast<GXob::NavStartReason>(0x12345678), true,
                                       kTime);
     }, 0x418, Bytes{1, 0xFF, 0, 0} + le32(0x12345678)},
    {"StopRGLowByte",
     [] { GXob::Nav_StopRGHDU_LogEntry(static_cast<GXob::NavStopReason>(0x1FE), true, kTime); }, 0x418,
     {2, 0xFE}},
    {"ProcessStatus", [] { GXob::Nav_ProcessStatus_LogEntry(-2, 0x01020304, "ok", true, kTime); }, 0x418,
     Bytes{3} + le32(0xFFFFFFFE) + le32(0x01020304) + xobtest::textField("ok")},
    // Google navigation.
    {"GoogleProcessStatusNullText",
     [] { GXob::GoogleNav_ProcessStatus_LogEntry(1, -1, nullptr, true, kTime); }, 0x756,
     Bytes{0} + le32(1) + le32(0xFFFFFFFF) + Bytes{0}},
    {"GoogleConnectivityInfo", [] { GXob::GoogleNav_ConnectivityInfo_LogEntry(0xA1B2C3D4u, true, kTime); },
     0x756, Bytes{2, 0, 0, 0} + le32(0xA1B2C3D4u)},
    {"GoogleRouteGuidanceInfo", [] { GXob::GoogleNav_RouteGuidanceInfo_LogEntry(1, true, kTime); }, 0x756,
     Bytes{3, 0, 0, 0} + le32(1)},
    // Sensors.
    {"SatRec", [] { GXob::Sensoric_SatRecHDU_LogEntry(-1, true, kTime); }, 0x757,
     Bytes{0, 0, 0, 0} + le32(~0u)},
    {"OdoQuality", [] { GXob::Sensoric_OdoQualityHDU_LogEntry(0x100, true, kTime); }, 0x757,
     Bytes{1, 0, 0, 0} + le32(0x100)},
    {"GyroQuality", [] { GXob::Sensoric_GyroQualityHDU_LogEntry(7, true, kTime); }, 0x757,
     Bytes{2, 0, 0, 0} + le32(7)},
    {"Calibration", [] { GXob::Sensoric_SensorCalibration_Status("cal ok", true, kTime); }, 0x757,
     Bytes{3} + xobtest::textField("cal ok")},
    {"SensorDataStopsAtZero", [] { GXob::Sensoric_SensorData_LogEntry(kSensorBytes, 4, true, kTime); }, 0x757,
     Bytes{4, 'a', 'b', 0} + le32(4)},
    {"SensorDataCutTo63", [] {
         const auto* data = reinterpret_cast<const unsigned char*>(k70.c_str());
         GXob::Sensoric_SensorData_LogEntry(data, -5, true, kTime);
     }, 0x757, Bytes{4} + cutText(63, 'p') + le32(0xFFFFFFFB)},
    // Traffic information and navigation errors.
    {"TmcInfo", [] { GXob::Traffic_TmcInfoHDU_LogEntry("TMC 12", true, kTime); }, 0x758,
     Bytes{0} + xobtest::textField("TMC 12")},
    {"GoogleTmcInfo", [] { GXob::Traffic_GoogleTmcInfoHDU_LogEntry("g", true, kTime); }, 0x758, {1, 'g', 0}},
    {"GoogleReportError", [] { GXob::Nav_Error_GoogleReportError_LogEntry("e", true, kTime); }, 0x760,
     {0, 'e', 0}},
    {"ReportErrorLong", [] { GXob::Nav_Error_ReportError_LogEntry(k70.c_str(), true, kTime); }, 0x760,
     Bytes{1} + cutText(63, 'p')},
    // On/off, settings and map information.
    {"OnOffTextCap80", [] { GXob::ONOFFHDU_LogEntry(k200.c_str(), true, kTime); }, 0x753,
     Bytes{0} + cutText(79, 'w')},
    {"OnOffEventLow16",
     [] { GXob::ONOFFHDU_LogEntry(static_cast<GXob::OocXobEvent>(0x12345), true, kTime); }, 0x753,
     {1, 0x45, 0x23}},
    {"GoogleMapInfo", [] { GXob::Settings_GoogleMapInfo_LogEntry(0x11223344, true, kTime); }, 0x420,
     Bytes{4} + le32(0x11223344)},
    {"MapInfoAllFlags", [] { GXob::MapInfo_LogEntry(&kAllFlags, true, kTime); }, 0x426,
     {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}},
    {"MapInfoMixed", [] { GXob::MapInfo_LogEntry(&kMixed, true, kTime); }, 0x426,
     Bytes{1} + le32(static_cast<std::uint32_t>(-500)) + Bytes{2, 1, 3, 4, 5, 6, 7, 0xA9}},
    {"MapInfoNull", [] { GXob::MapInfo_LogEntry(nullptr, true, kTime); }, 0, {}},
    // Entries without a sub-identifier.
    {"PanelCap31", [] { GXob::PanelHDU_LogEntry(k70.c_str(), true, kTime); }, 0x408, cutText(30, 'p')},
    {"PanelNull", [] { GXob::PanelHDU_LogEntry(nullptr, true, kTime); }, 0, {}},
    {"MiscFirstTextCut", [] { GXob::MiscHDU_LogEntry("abcd", 'M', "rest", true, kTime); }, 0x409,
     Bytes{'M', 'a', 'b', 'c', 0} + xobtest::textField("rest")},
    {"MiscFirstTextWhole", [] { GXob::MiscHDU_LogEntry("xyz", '\x80', nullptr, true, kTime); }, 0x409,
     {0x80, 'x', 'y', 'z', 0, 0}},
    {"Trigger", [] { GXob::TRIGGERHDU_LogEntry(-2, true, kTime); }, 0x421, le32(0xFFFFFFFE)},
    {"WatchDogSecondFirst", [] { GXob::WatchDogHDU_LogEntry("a", "bc", true, kTime); }, 0x703,
     {'b', 'c', 0, 'a', 0}},
    {"MemoryBelowOneKiB", [] { GXob::MemoryHDU_LogEntry(1023, true, kTime); }, 0x70A, le32(0)},
    {"VideoRam", [] { GXob::MemoryHDU_VideoRAM_LogEntry(1024, true, kTime); }, 0x70A, le32(0x80000001u)},
    {"Exception", [] {
         // Only the low 32 bits are recorded, whatever the pointer width.
         const auto bits = static_cast<std::uintptr_t>(0x1234CAFEBABEull);
         const void* address = reinterpret_cast<const void*>(bits);
         GXob::ExceptionHDU_LogEntry("boom", 1, -1, 'Z', address, true, kTime);
     }, 0x72A, xobtest::textField("boom") + le32(1) + le32(~0u) + Bytes{'Z'} + le32(0xCAFEBABEu)},
    {"DiagnosisNull", [] { GXob::DiagnosisHDU_LogEntry(nullptr, true, kTime); }, 0x750, {0}},
    {"SysFirstCutTo129", [] { GXob::SYSHDU_LogEntry(k200.data(), kSysText, true, kTime); }, 0x752,
     cutText(128, 'w') + xobtest::textField("event")},
    {"OnlineCaps64And128", [] { GXob::OnlineHDU_LogEntry(k70.c_str(), k200.c_str(), true, kTime); }, 0x754,
     cutText(63, 'p') + cutText(127, 'w')},
};

INSTANTIATE_TEST_SUITE_P(Navigation, NavigationEntries, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<EntryCase>& info) { return info.param.name; });

}  // namespace
