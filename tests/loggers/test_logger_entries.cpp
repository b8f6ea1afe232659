// Each recording operation of the loggers: the records it makes (read from the device) and its
// trace line, which appears only while the channel's level is below 2. Also the capped Latin-1
// conversion.
#include "LoggerTestSupport.h"

#include <functional>
#include <ostream>

using loggertest::Bytes;
using loggertest::cutText;
using loggertest::entry;
using loggertest::le32;
using loggertest::operator+;

namespace {

struct Loggers {
    explicit Loggers(osal::Mutex& mutex) : nav(mutex), map(mutex), rg(mutex), sensor(mutex) {}
    XOBLoggerNav nav;
    XOBLoggerMap map;
    XOBLoggerRG rg;
    XOBLoggerSensor sensor;
};

struct OperationCase {
    const char* name;
    std::function<void(Loggers&)> call;
    std::vector<Bytes> records;
    const char* operation;  // null: the operation writes no trace line
    std::string message;
};

void PrintTo(const OperationCase& c, std::ostream* out) { *out << c.name; }

const unsigned char kSensorBytes[] = {'a', 'b', 0, 'c'};
const Bytes kDefaultMapInfo = {1, 0, 0, 0, 0, 2, 2, 2, 1, 2, 1, 0, 0};

class LoggerOperations : public loggertest::LoggerSuite, public testing::WithParamInterface<OperationCase> {};

TEST_P(LoggerOperations, RecordsItsEntryAndTracesOnlyBelowLevelTwo) {
    const OperationCase& c = GetParam();
    for (short level : {1, 2}) {
        SCOPED_TRACE("channel level " + std::to_string(level));
        Loggers loggers(m_shared);
        loggertest::TraceCapture trace(level);
        c.call(loggers);
        EXPECT_EQ(recordsSoFar(), c.records);
        std::vector<std::string> expected;
        if (c.operation != nullptr && level < 2) {
            expected.push_back(loggertest::traceLine(c.operation, c.message));
        }
        EXPECT_EQ(trace.take(), expected);
    }
}

const OperationCase kOperations[] = {
    {"ReportErrorCutByEntry", [](Loggers& l) { l.rg.Nav_Error_ReportError(std::string(200, 'e').c_str()); },
     {entry(0x760, Bytes{1} + cutText(63, 'e'))}, nullptr, ""},
    {"SwdlCheckNavigation", [](Loggers& l) { l.nav.Nav_SWDL_Check("Navigation", "/fs/usb0", "nav.pkg"); },
     {entry(0x759, Bytes{0, 1} + xobtest::textField("/fs/usb0|nav.pkg"))}, "Nav_SWDL_Check", "update Nav_SWDL_Check"},
    {"SwdlCheckEmptyPartsPersonalPoi", [](Loggers& l) { l.nav.Nav_SWDL_Check("PersonalPOI", "", ""); },
     {entry(0x759, Bytes{0, 2} + xobtest::textField("|"))}, "Nav_SWDL_Check", "update Nav_SWDL_Check"},
    {"SwdlCheckResultLowerCaseMarkerInPath", [](Loggers& l) {
         l.nav.Nav_SWDL_Check_Result("navigation", "a%1b", "c%2", static_cast<XOBLog::SwdlResult>(0x1FF));
     }, {entry(0x759, Bytes{1, 0} + xobtest::textField("a%1b|c%2") + Bytes{0xFF})}, "Nav_SWDL_Check_Result",
     "update Nav_SWDL_Check_Result"},
    {"SwdlPrepareNavigation", [](Loggers& l) { l.nav.Nav_SWDL_Prepare("Navigation"); }, {entry(0x759, {2, 0})},
     "Nav_SWDL_Prepare", "update Nav_SWDL_Prepare"},
    {"SwdlPreparePersonalPoi", [](Loggers& l) { l.nav.Nav_SWDL_Prepare("PersonalPOI"); }, {entry(0x759, {2, 1})},
     "Nav_SWDL_Prepare", "update Nav_SWDL_Prepare"},
    {"SwdlPrepareResultOk", [](Loggers& l) { l.nav.Nav_SWDL_Prepare_Result("PersonalPOI", true); },
     {entry(0x759, {3, 1, 1})}, "Nav_SWDL_Prepare_Result", "update Nav_SWDL_Prepare_Result"},
    {"SwdlFinalizeOtherName", [](Loggers& l) { l.nav.Nav_SWDL_Finalize("Media"); }, {entry(0x759, {4, 0})},
     "Nav_SWDL_Finalize", "update Nav_SWDL_Finalize"},
    {"SwdlFinalizeResultFailed", [](Loggers& l) { l.nav.Nav_SWDL_Finalize_Result("PersonalPOI", false); },
     {entry(0x759, {5, 1, 0})}, "Nav_SWDL_Finalize_Result", "update Nav_SWDL_Finalize_Result"},
    // The first text is cut to 32 characters before the entry's own cap of 129 applies.
    {"WatchDogCaps", [](Loggers& l) {
         l.nav.WatchDogHDU_LogEntry(std::string(40, 'f').c_str(), std::string(200, 's').c_str());
     }, {entry(0x703, cutText(128, 's') + cutText(32, 'f'))}, "WatchDogHDU_LogEntry", "update WatchDogHDU_LogEntry"},
    {"StateOfOperationNaviStateFirst", [](Loggers& l) {
         l.nav.Nav_StateOfOperationHDU_LogEntry(static_cast<XOBLog::NavStateOfOperation>(3),
                                                static_cast<XOBLog::NaviState>(0x105));
     }, {entry(0x418, {0, 5, 3})}, "Nav_StateOfOperationHDU_LogEntry", "update Nav_StateOfOperationHDU_LogEntry"},
    {"InitNavLogfiles", [](Loggers& l) { l.nav.Init_NavLogfiles(); },
     {xobtest::initFilesRecord(0x418), xobtest::initFilesRecord(0x426), xobtest::initFilesRecord(0x420)}, nullptr,
     ""},
    {"SensorData", [](Loggers& l) { l.sensor.Sensoric_SensorData_LogEntry(kSensorBytes, 4); },
     {entry(0x757, Bytes{4, 'a', 'b', 0} + le32(4))}, "Sensoric_SensorData_LogEntry",
     "update Sensoric_SensorData_LogEntry"},
    {"SensorDataEmpty", [](Loggers& l) { l.sensor.Sensoric_SensorData_LogEntry(kSensorBytes + 2, 0); },
     {entry(0x757, Bytes{4, 0} + le32(0))}, "Sensoric_SensorData_LogEntry", "update Sensoric_SensorData_LogEntry"},
    {"RouteGuidanceStoppedLowByte",
     [](Loggers& l) { l.rg.RouteGuidanceStopped(static_cast<XOBLog::NavStopReason>(0x1FE)); },
     {entry(0x418, {2, 0xFE})}, "RouteGuidanceStopped", "update Nav_StopRGHDU_LogEntry"},
    {"NewRouteCalculationWithoutOptions", [](Loggers& l) {
         l.rg.NewRouteCalculation(XOBLog::VGM_TRAFFIC, nullptr, XOBLog::NSR_TmcRecalculationStart, "Station");
     }, {entry(0x418, Bytes{1, 2, 0} + xobtest::textField("Station") + le32(2))}, "FinishNewRouteCalculation",
     "update Nav_StartRGHDU_LogEntry(VGM_TRAFFIC, , Station, NSR_TmcRecalculationStart)"},
    {"MapSendUpdate", [](Loggers& l) {
         l.map.SetNeedUpdate();
         l.map.SendUpdate();
     }, {entry(0x426, kDefaultMapInfo)}, "SendUpdate", "update MapInfo_LogEntry"},
};

INSTANTIATE_TEST_SUITE_P(Loggers, LoggerOperations, testing::ValuesIn(kOperations),
                         [](const testing::TestParamInfo<OperationCase>& info) { return info.param.name; });

// Exposes the conversion of the base.
struct Converter : XOBLoggerBase {
    using XOBLoggerBase::ToCappedLatin1;
};

TEST(ToCappedLatin1, CutsOnlyTextsLongerThanCapPlusOne) {
    struct Case {
        std::string text;
        int cap;
        std::string expected;
    };
    const std::string t33(33, 'x');
    const std::string t34(34, 'x');
    const Case cases[] = {
        {t33, 32, t33},                     // cap + 1 characters stay whole
        {t34, 32, std::string(32, 'x')},    // longer: the first cap characters
        {"", 32, ""},
        {t34, 0, t34},                      // no cap
        {t34, -5, t34},
        {"ab\xC3\xA9z", 3, "ab\xE9z"},      // whole (cap + 1), as Latin-1
        {"ab\xC3\xA9zz", 3, "ab\xE9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(Converter::ToCappedLatin1(c.text.c_str(), c.cap).GetConstData()), c.expected)
            << "text of " << c.text.size() << " bytes, cap " << c.cap;
    }
}

}  // namespace
