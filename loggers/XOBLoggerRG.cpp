// The route guidance logger: start entries with the route-options summary, and stop entries.
//
// The stored members are used by one thread at a time and take no lock; only the recording
// operations take the shared mutex, each once.
#include <xob/XOBLogger.h>

#include "entries/EntryKinds.h"
#include "loggers/LoggerSupport.h"

#include <cstddef>
#include <string>

using xob::loggers::ScopedLock;
using dsi::navigation::RouteOptions;

namespace {

// One snippet of the summary: a key and either a scalar member or a list member.
struct Snippet {
    const char* key;
    int RouteOptions::*value;
    CIPtr<CIArray<int>> RouteOptions::*list;
};

// The summary's snippets in the order they are printed. "trafficPat=" and "dynPatt=" both print
// dynPatt.
const Snippet kSnippets[] = {
    {"type=", &RouteOptions::type, nullptr},
    {"dyn=", &RouteOptions::dyn, nullptr},
    {"motorw=", &RouteOptions::motorw, nullptr},
    {"ferry=", &RouteOptions::ferry, nullptr},
    {"tollr=", &RouteOptions::tollr, nullptr},
    {"vign=", &RouteOptions::vign, nullptr},
    {"hov=", &RouteOptions::hov, nullptr},
    {"ipd=", &RouteOptions::ipd, nullptr},
    {"hybrid=", &RouteOptions::hybrid, nullptr},
    {"trafficPat=", &RouteOptions::dynPatt, nullptr},
    {"tunnel=", &RouteOptions::tunnel, nullptr},
    {"timeRestr=", &RouteOptions::timeRestr, nullptr},
    {"weight=", &RouteOptions::weight, nullptr},
    {"dynSnF=", &RouteOptions::dynSnF, nullptr},
    {"dynPatt=", &RouteOptions::dynPatt, nullptr},
    {"dynOnl=", &RouteOptions::dynOnl, nullptr},
    {"dynRec=", &RouteOptions::dynRec, nullptr},
    {"penalty=", &RouteOptions::penalty, nullptr},
    {"leftRightTurn=", &RouteOptions::leftRightTurn, nullptr},
    {"slopes=", &RouteOptions::slopes, nullptr},
    {"slopesMaxF=", &RouteOptions::slopesMaxF, nullptr},
    {"vignetteCountries=", nullptr, &RouteOptions::vignetteCountries},
    {"cityMaut=", &RouteOptions::cityMaut, nullptr},
    {"cityMauts=", nullptr, &RouteOptions::cityMauts},
    {"cartrain=", &RouteOptions::cartrain, nullptr},
    {"seasonalRestr=", &RouteOptions::seasonalRestr, nullptr},
    {"unpaved=", &RouteOptions::unpaved, nullptr},
    {"residential=", &RouteOptions::residential, nullptr},
    {"trailer=", &RouteOptions::trailer, nullptr},
    {"border=", &RouteOptions::border, nullptr},
    {"trail=", &RouteOptions::trail, nullptr},
    {"wpm=", &RouteOptions::wpm, nullptr},
    {"ecoTurns=", &RouteOptions::ecoTurns, nullptr},
    {"style=", &RouteOptions::style, nullptr},
};

// The trace line names the mode and the reason as the start entry's statement does.
const char* nameOf(const xob::layout::Names& names, int value, const char* unknown) {
    const char* const name = names.lookup(value);
    return name != nullptr ? name : unknown;
}

}  // namespace

XOBLoggerRG::XOBLoggerRG(osal::Mutex& mutex)
    : XOBLoggerBase(mutex), m_startReason(XOBLog::NSR_ManualStart), m_voiceGuidanceMode(XOBLog::VGM_UNDEFINED) {}

XOBLoggerRG::~XOBLoggerRG() = default;

void XOBLoggerRG::SetStartReason(XOBLog::NavStartReason reason) { m_startReason = reason; }

void XOBLoggerRG::SetVoiceGuidanceMode(XOBLog::VoiceGuidanceMode mode) { m_voiceGuidanceMode = mode; }

void XOBLoggerRG::SetTmcStation(SDString station) { m_tmcStation = station; }

void XOBLoggerRG::SetRouteOptions(const CIPtr<RouteOptions>& options) { m_routeOptions = options; }

void XOBLoggerRG::BeginNewRouteCalculation(XOBLog::NavStartReason reason) {
    m_routeOptions.Reset();
    m_startReason = reason;
    m_tmcStation.Clear();
}

void XOBLoggerRG::FinishNewRouteCalculation() const {
    // The stored values are read before the recording step takes the shared mutex.
    FinishNewRouteCalculation(m_voiceGuidanceMode, m_routeOptions, m_startReason, m_tmcStation);
}

void XOBLoggerRG::FinishNewRouteCalculation(XOBLog::VoiceGuidanceMode mode, const CIPtr<RouteOptions>& options,
                                            XOBLog::NavStartReason reason, SDString tmcStation) const {
    ScopedLock lock(m_mutex);
    SDString summary;
    CreateRouteOptionsString(options, summary);
    if (xob::loggers::traceEnabled()) {
        std::string message("update Nav_StartRGHDU_LogEntry(");
        message.append(nameOf(xob::kind::kVoiceGuidanceMode, mode, "Unknown VoiceGuidanceMode value")).append(", ");
        message.append(summary.ToLatin1().GetConstData()).append(", ");
        message.append(tmcStation.ToLatin1().GetConstData()).append(", ");
        message.append(nameOf(xob::kind::kNavStartReason, reason, "Unknown NavStartReason value")).append(")");
        xob::loggers::trace("FinishNewRouteCalculation", message);
    }
    const SDByteArray summaryText = ToCappedLatin1(summary, 127);
    const SDByteArray stationText = ToCappedLatin1(tmcStation, 127);
    GXob::Nav_StartRGHDU_LogEntry(static_cast<signed char>(mode), summaryText.GetConstData(),
                                  stationText.GetConstData(), static_cast<GXob::NavStartReason>(reason), false, 0);
}

void XOBLoggerRG::NewRouteCalculation(XOBLog::VoiceGuidanceMode mode, const CIPtr<RouteOptions>& options,
                                      XOBLog::NavStartReason reason, SDString tmcStation) {
    // `options` may be the stored reference itself; keep a share across the reset.
    const CIPtr<RouteOptions> recorded(options);
    BeginNewRouteCalculation(XOBLog::NSR_ManualStart);
    FinishNewRouteCalculation(mode, recorded, reason, tmcStation);
}

void XOBLoggerRG::RouteGuidanceStopped(XOBLog::NavStopReason reason) const {
    xob::loggers::recordLocked(m_mutex, "RouteGuidanceStopped", "update Nav_StopRGHDU_LogEntry",
                               [&] { GXob::Nav_StopRGHDU_LogEntry(static_cast<GXob::NavStopReason>(reason), false, 0); });
}

void XOBLoggerRG::CreateRouteOptionsString(const CIPtr<RouteOptions>& options, SDString& out) const {
    const RouteOptions* const record = options.Get();
    if (record == nullptr) {
        return;
    }
    for (const Snippet& snippet : kSnippets) {
        if (snippet.list != nullptr) {
            AppendRouteOptionsSnippet(out, snippet.key, record->*snippet.list);
        } else {
            AppendRouteOptionsSnippet(out, snippet.key, record->*snippet.value);
        }
    }
}

void XOBLoggerRG::AppendRouteOptionsSnippet(SDString& out, const char* key, int value) const {
    out.Append(key);
    out.Append(SDString::FromNumber(value, 10));
}

void XOBLoggerRG::AppendRouteOptionsSnippet(SDString& out, const char* key, CIPtr<CIArray<int>> list) const {
    const CIArray<int>* const items = list.Get();
    if (items == nullptr) {
        return;
    }
    out.Append(key);
    for (long i = 0; i < items->GetSize(); ++i) {
        out.Append(SDString::FromNumber((*items)[i], 10));
        out.Append(",");
    }
}
