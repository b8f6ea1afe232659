// Each recording operation of the loggers: the entries it makes and its trace line, which appears
// only while the channel's level is below 2. Also the capped Latin-1 conversion of the base.
#include "LoggerTestSupport.h"

using namespace loggertest;

struct Loggers {
    XOBLoggerNav nav;
    XOBLoggerRG rg;
    XOBLoggerSensor sensor;
};

const unsigned char kSensorBytes[] = {'a', 'b', 0, 'c'};

// The operation of the trace line "<operation>: update <first entry's name>"; null: none.
const struct { std::function<void(Loggers&)> call; Lines entries; const char* operation; } kOperations[] = {
    {[](Loggers& l) { l.rg.Nav_Error_ReportError("boom"); }, {"Nav_Error_ReportError_LogEntry text=boom"}, nullptr},
    {[](Loggers& l) { l.nav.Nav_SWDL_Check("Navigation", "/fs/usb0", "nav.pkg"); },
     {"Nav_SWDL_Check component=1 path=/fs/usb0|nav.pkg"}, "Nav_SWDL_Check"},
    {[](Loggers& l) { l.nav.Nav_SWDL_Check("PersonalPOI", "", ""); }, {"Nav_SWDL_Check component=2 path=|"},
     "Nav_SWDL_Check"},
    // Names are compared exactly; markers in the parts are not filled again; the result's low byte.
    {[](Loggers& l) { l.nav.Nav_SWDL_Check_Result("navigation", "a%1b", "c%2", XOBLog::SwdlResult(0x1FF)); },
     {"Nav_SWDL_Check_Result component=0 path=a%1b|c%2 result=-1"}, "Nav_SWDL_Check_Result"},
    {[](Loggers& l) { l.nav.Nav_SWDL_Prepare("Navigation"); }, {"Nav_SWDL_Prepare component=0"}, "Nav_SWDL_Prepare"},
    {[](Loggers& l) { l.nav.Nav_SWDL_Prepare("PersonalPOI"); }, {"Nav_SWDL_Prepare component=1"}, "Nav_SWDL_Prepare"},
    {[](Loggers& l) { l.nav.Nav_SWDL_Prepare_Result("PersonalPOI", true); },
     {"Nav_SWDL_Prepare_Result component=1 result=1"}, "Nav_SWDL_Prepare_Result"},
    {[](Loggers& l) { l.nav.Nav_SWDL_Finalize("Media"); }, {"Nav_SWDL_Finalize component=0"}, "Nav_SWDL_Finalize"},
    {[](Loggers& l) { l.nav.Nav_SWDL_Finalize_Result("PersonalPOI", false); },
     {"Nav_SWDL_Finalize_Result component=1 result=0"}, "Nav_SWDL_Finalize_Result"},
    // The first text is cut to 32 characters, the second is not.
    {[](Loggers& l) { l.nav.WatchDogHDU_LogEntry(std::string(34, 'f').c_str(), std::string(40, 's').c_str()); },
     {"WatchDogHDU_LogEntry second=" + std::string(40, 's') + " first=" + std::string(32, 'f')},
     "WatchDogHDU_LogEntry"},
    {[](Loggers& l) {
         l.nav.Nav_StateOfOperationHDU_LogEntry(XOBLog::NavStateOfOperation(3), XOBLog::NaviState(0x105));
     }, {"Nav_StateOfOperationHDU_LogEntry navState=5 stateOfOperation=3"}, "Nav_StateOfOperationHDU_LogEntry"},
    {[](Loggers& l) { l.nav.Init_NavLogfiles(); },
     {"InitFiles filesOf=" + std::to_string(0x418), "InitFiles filesOf=" + std::to_string(0x426),
      "InitFiles filesOf=" + std::to_string(0x420)}, nullptr},
    {[](Loggers& l) { l.sensor.Sensoric_SensorData_LogEntry(kSensorBytes, 4); },
     {"Sensoric_SensorData_LogEntry data=ab count=4"}, "Sensoric_SensorData_LogEntry"},
    {[](Loggers& l) { l.sensor.Sensoric_SensorData_LogEntry(kSensorBytes + 2, 0); },
     {"Sensoric_SensorData_LogEntry data= count=0"}, "Sensoric_SensorData_LogEntry"},
    {[](Loggers& l) { l.rg.RouteGuidanceStopped(XOBLog::NavStopReason(0x1FE)); },
     {"Nav_StopRGHDU_LogEntry reason=254"}, "RouteGuidanceStopped"},
};

struct LoggerOperations : LoggerSuite {};

TEST_F(LoggerOperations, EachRecordsItsEntryAndTracesOnlyBelowLevelTwo) {
    for (const auto& c : kOperations) {
        for (short level : {0, 1, 2}) {
            SCOPED_TRACE(c.entries.front() + " at channel level " + std::to_string(level));
            Loggers loggers{XOBLoggerNav(m_shared), XOBLoggerRG(m_shared), XOBLoggerSensor(m_shared)};
            TraceCapture trace(level);
            c.call(loggers);
            EXPECT_EQ(entriesSoFar(), c.entries);
            const std::string update = "update " + c.entries.front().substr(0, c.entries.front().find(' '));
            EXPECT_EQ(trace.take(), c.operation && level < 2 ? Lines{traceLine(c.operation, update)} : Lines{});
        }
    }
}

// Exposes the conversion of the base.
struct Converter : XOBLoggerBase { using XOBLoggerBase::ToCappedLatin1; };

TEST(ToCappedLatin1, CutsOnlyTextsLongerThanCapPlusOne) {
    const std::string t33(33, 'x'), t34(34, 'x');
    const std::string cases[][3] = {  // text, cap, expected
        {t33, "32", t33}, {t34, "32", std::string(32, 'x')}, {"", "32", ""}, {t34, "0", t34}, {t34, "-5", t34},
        {"ab\xC3\xA9z", "3", "ab\xE9z"},  // characters are counted, and written as Latin-1
        {"ab\xC3\xA9zz", "3", "ab\xE9"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Converter::ToCappedLatin1(c[0].c_str(), std::stoi(c[1])).GetConstData(), c[2]) << c[0] << " " << c[1];
    }
}
