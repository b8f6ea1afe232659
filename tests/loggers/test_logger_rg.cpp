// The route guidance logger: the route-options summary, the names in its trace line, and the
// stored state of the incremental and one-shot starts.
#include "LoggerTestSupport.h"

using dsi::navigation::RouteOptions;
using namespace loggertest;

// Every scalar 0, and both lists present but empty or both absent (neither list key appears).
const std::string kZeroHead = "type=0dyn=0motorw=0ferry=0tollr=0vign=0hov=0ipd=0hybrid=0trafficPat=0tunnel=0timeRestr=0"
                              "weight=0dynSnF=0dynPatt=0dynOnl=0dynRec=0penalty=0leftRightTurn=0slopes=0slopesMaxF=0";
const std::string kZeroTail =
    "cartrain=0seasonalRestr=0unpaved=0residential=0trailer=0border=0trail=0wpm=0ecoTurns=0style=0";
const std::string kZeroSummary = kZeroHead + "vignetteCountries=cityMaut=0cityMauts=" + kZeroTail;
const std::string kNoListsSummary = kZeroHead + "cityMaut=0" + kZeroTail;

std::string summaryOf(const XOBLoggerRG& rg, const CIPtr<RouteOptions>& options, const char* prefix = "") {
    SDString out(prefix);
    rg.CreateRouteOptionsString(options, out);
    return out.ToUtf8();
}

std::string startEntry(int mode, const std::string& summary, const std::string& station, int reason) {
    return "Nav_StartRGHDU_LogEntry voiceGuidanceMode=" + std::to_string(mode) + " routeOptions=" + summary +
           " tmcStation=" + station + " reason=" + std::to_string(reason);
}

std::string startTrace(const std::string& arguments) {
    return traceLine("FinishNewRouteCalculation", "update Nav_StartRGHDU_LogEntry(" + arguments + ")");
}

struct RouteGuidance : LoggerSuite {
    RouteGuidance() : m_rg(m_shared) {}
    XOBLoggerRG m_rg;
};

// Each member under its key; absent lists and absent options leave their keys out; the summary is
// appended to the text, not written over it.
TEST_F(RouteGuidance, SummaryOfTheRouteOptions) {
    // The members numbered in declaration order (the last one negative), and two short lists.
    using R = RouteOptions;
    int R::*const scalars[] = {&R::type, &R::weight, &R::hybrid, &R::dyn, &R::dynSnF, &R::dynPatt, &R::dynOnl,
        &R::dynRec, &R::motorw, &R::ferry, &R::tollr, &R::penalty, &R::tunnel, &R::leftRightTurn, &R::slopes,
        &R::slopesMaxF, &R::vign, &R::cityMaut, &R::cartrain, &R::timeRestr, &R::seasonalRestr, &R::unpaved,
        &R::residential, &R::trailer, &R::hov, &R::border, &R::ipd, &R::trail, &R::wpm, &R::ecoTurns, &R::style};
    CIPtr<R> numbered(new R);
    int number = 0;
    for (int R::*member : scalars) (*numbered).*member = ++number;
    numbered->style = -31;
    numbered->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>{276, 40});
    numbered->cityMauts = CIPtr<CIArray<int>>(new CIArray<int>{-5});
    EXPECT_EQ(summaryOf(m_rg, numbered),
              "type=1dyn=4motorw=9ferry=10tollr=11vign=17hov=25ipd=27hybrid=3trafficPat=6tunnel=13timeRestr=20"
              "weight=2dynSnF=5dynPatt=6dynOnl=7dynRec=8penalty=12leftRightTurn=14slopes=15slopesMaxF=16"
              "vignetteCountries=276,40,cityMaut=18cityMauts=-5,cartrain=19seasonalRestr=21unpaved=22"
              "residential=23trailer=24border=26trail=28wpm=29ecoTurns=30style=-31");
    EXPECT_EQ(summaryOf(m_rg, CIPtr<RouteOptions>(new RouteOptions)), kNoListsSummary);
    EXPECT_EQ(summaryOf(m_rg, nullptr, "kept"), "kept");
    CIPtr<RouteOptions> emptyLists(new RouteOptions);
    emptyLists->vignetteCountries = CIPtr<CIArray<int>>(new CIArray<int>);
    emptyLists->cityMauts = CIPtr<CIArray<int>>(new CIArray<int>);
    EXPECT_EQ(summaryOf(m_rg, emptyLists, "kept"), "kept" + kZeroSummary);
}

TEST_F(RouteGuidance, NamesInTheTraceAndNumbersInTheEntry) {
    const struct { int mode, reason; const char *modeName, *reasonName; } cases[] = {
        {-1, 0, "VGM_UNDEFINED", "NSR_ManualStart"},    {0, 1, "VGM_COMPACT", "NSR_SectionBlocked"},
        {1, 2, "VGM_COMPLETE", "NSR_TmcRecalculationStart"}, {2, 3, "VGM_TRAFFIC", "Unknown NavStartReason value"},
        {3, -1, "VGM_OFF", "Unknown NavStartReason value"},
        {7, 0x10000, "Unknown VoiceGuidanceMode value", "Unknown NavStartReason value"},
        {-2, 0, "Unknown VoiceGuidanceMode value", "NSR_ManualStart"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modeName + std::string(" ") + c.reasonName);
        TraceCapture trace;
        m_rg.FinishNewRouteCalculation(static_cast<XOBLog::VoiceGuidanceMode>(c.mode), nullptr,
                                       static_cast<XOBLog::NavStartReason>(c.reason), "");
        EXPECT_EQ(entriesSoFar(), Lines{startEntry(static_cast<signed char>(c.mode), "", "", c.reason)});
        EXPECT_EQ(trace.take(), Lines{startTrace(std::string(c.modeName) + ", , , " + c.reasonName)});
    }
}

TEST_F(RouteGuidance, IncrementalStartRecordsTheStoredValuesAsOftenAsAsked) {
    CIPtr<RouteOptions> options(new RouteOptions);
    options->type = 4;
    m_rg.SetVoiceGuidanceMode(XOBLog::VGM_OFF);
    m_rg.BeginNewRouteCalculation(XOBLog::NSR_SectionBlocked);
    m_rg.SetRouteOptions(options);
    m_rg.SetTmcStation("Stn");
    EXPECT_EQ(options.GetRefCount(), 2);
    m_rg.FinishNewRouteCalculation();
    options->type = 9;  // the logger shares the record: the owner's change shows in the next entry
    m_rg.FinishNewRouteCalculation();

    // The lists are absent; the entry keeps the first 63 characters of the summary.
    const std::string rest = kNoListsSummary.substr(6, 57);
    EXPECT_EQ(entriesSoFar(),
              (Lines{startEntry(3, "type=4" + rest, "Stn", 1), startEntry(3, "type=9" + rest, "Stn", 1)}));
}

// Its trace line holds the whole summary, the entry the first 63 characters; the station is traced
// and recorded as Latin-1.
TEST_F(RouteGuidance, OneShotStartLeavesACleanCalculationBehind) {
    TraceCapture trace;
    CIPtr<RouteOptions> stored(new RouteOptions);
    m_rg.SetVoiceGuidanceMode(XOBLog::VGM_COMPLETE);
    m_rg.SetStartReason(XOBLog::NSR_SectionBlocked);
    m_rg.SetTmcStation("Old");
    m_rg.SetRouteOptions(stored);

    // The arguments may be the very record the logger stores.
    m_rg.NewRouteCalculation(XOBLog::VGM_TRAFFIC, stored, XOBLog::NSR_TmcRecalculationStart, "K\xC3\xB6ln");
    EXPECT_EQ(stored.GetRefCount(), 1) << "the stored share was kept";
    m_rg.FinishNewRouteCalculation();  // mode kept; options, station and reason from the opening

    const std::string summary = kNoListsSummary, station = "K\xF6ln";
    EXPECT_EQ(entriesSoFar(), (Lines{startEntry(2, summary.substr(0, 63), station, 2), startEntry(1, "", "", 0)}));
    EXPECT_EQ(trace.take(),
              (Lines{startTrace("VGM_TRAFFIC, " + summary + ", " + station + ", NSR_TmcRecalculationStart"),
                     startTrace("VGM_COMPLETE, , , NSR_ManualStart")}));
}
