// The navigation status logger: software-download steps, watchdog hits, the state of operation, and
// the TMC message counts, summarised in one entry 300000 ms after the change that armed the timer.
//
// Locks: the shared logger mutex before m_timerMutex, never the reverse. The tick takes them one
// at a time. Destruction never waits for a running tick while it holds either of them: the factory
// closes the timer (CloseTimer) before it takes the shared mutex to delete the loggers.
#include <xob/XOBLogger.h>

#include "loggers/LoggerSupport.h"

#include <string>

using xob::loggers::ScopedLock;
using xob::loggers::recordLocked;

namespace {

// An enumeration value as the entries take it: its low 8 bits.
signed char lowByte(int value) { return static_cast<signed char>(value); }

signed char flag(bool ok) { return ok ? 1 : 0; }

// Stores a TMC count; false when it equals the one stored.
bool storeIfChanged(std::int32_t& stored, long count) {
    const std::int32_t value = static_cast<std::int32_t>(count);
    if (stored == value) {
        return false;
    }
    stored = value;
    return true;
}

}  // namespace

XOBLoggerNav::XOBLoggerNav(osal::Mutex& mutex)
    : XOBLoggerBase(mutex),
      m_tmcMessageCount(0),
      m_tmcOnRouteCount(0),
      m_timerStarted(false),
      m_timerMutex(false, false, false),
      m_timerPeriodMs(300000),
      m_timerClosed(false) {
    SetInterval(m_timerPeriodMs);
    SetRepeat(false);
}

XOBLoggerNav::~XOBLoggerNav() { CloseTimer(); }

signed char XOBLoggerNav::AppNameToComponent(SDString app) const {
    if (app == "Navigation") {
        return 0;
    }
    return app == "PersonalPOI" ? 1 : 0;
}

signed char XOBLoggerNav::GetSwdlComponent(SDString app) const {
    if (app == "Navigation") {
        return 1;
    }
    return app == "PersonalPOI" ? 2 : 0;
}

SDString XOBLoggerNav::GetSwdlPath(SDString first, SDString second) const {
    // Joined by appending rather than by filling "%1|%2": a path part that itself contains a
    // place marker such as "%1" stays as it is.
    SDString path(first);
    path.Append("|");
    path.Append(second);
    return path;
}

void XOBLoggerNav::Nav_SWDL_Check(SDString app, SDString first, SDString second) {
    const SDByteArray path = ToCappedLatin1(GetSwdlPath(first, second), 127);
    recordLocked(m_mutex, "Nav_SWDL_Check", "update Nav_SWDL_Check",
                 [&] { GXob::Nav_SWDL_Check(GetSwdlComponent(app), path.GetConstData(), false, 0); });
}

void XOBLoggerNav::Nav_SWDL_Check_Result(SDString app, SDString first, SDString second,
                                         XOBLog::SwdlResult result) {
    const SDByteArray path = ToCappedLatin1(GetSwdlPath(first, second), 126);
    recordLocked(m_mutex, "Nav_SWDL_Check_Result", "update Nav_SWDL_Check_Result", [&] {
        GXob::Nav_SWDL_Check_Result(GetSwdlComponent(app), path.GetConstData(), lowByte(result), false, 0);
    });
}

void XOBLoggerNav::Nav_SWDL_Prepare(SDString app) {
    recordLocked(m_mutex, "Nav_SWDL_Prepare", "update Nav_SWDL_Prepare",
                 [&] { GXob::Nav_SWDL_Prepare(AppNameToComponent(app), false, 0); });
}

void XOBLoggerNav::Nav_SWDL_Prepare_Result(SDString app, bool ok) {
    recordLocked(m_mutex, "Nav_SWDL_Prepare_Result", "update Nav_SWDL_Prepare_Result",
                 [&] { GXob::Nav_SWDL_Prepare_Result(AppNameToComponent(app), flag(ok), false, 0); });
}

void XOBLoggerNav::Nav_SWDL_Finalize(SDString app) {
    recordLocked(m_mutex, "Nav_SWDL_Finalize", "update Nav_SWDL_Finalize",
                 [&] { GXob::Nav_SWDL_Finalize(AppNameToComponent(app), false, 0); });
}

void XOBLoggerNav::Nav_SWDL_Finalize_Result(SDString app, bool ok) {
    recordLocked(m_mutex, "Nav_SWDL_Finalize_Result", "update Nav_SWDL_Finalize_Result",
                 [&] { GXob::Nav_SWDL_Finalize_Result(AppNameToComponent(app), flag(ok), false, 0); });
}

void XOBLoggerNav::WatchDogHDU_LogEntry(SDString first, SDString second) {
    const SDByteArray firstText = ToCappedLatin1(first, 32);
    recordLocked(m_mutex, "WatchDogHDU_LogEntry", "update WatchDogHDU_LogEntry", [&] {
        const SDByteArray secondText = ToCappedLatin1(second, 1024);
        GXob::WatchDogHDU_LogEntry(firstText.GetConstData(), secondText.GetConstData(), false, 0);
    });
}

void XOBLoggerNav::Nav_StateOfOperationHDU_LogEntry(XOBLog::NavStateOfOperation state,
                                                    XOBLog::NaviState naviState) {
    recordLocked(m_mutex, "Nav_StateOfOperationHDU_LogEntry", "update Nav_StateOfOperationHDU_LogEntry",
                 [&] { GXob::Nav_StateOfOperationHDU_LogEntry(lowByte(naviState), lowByte(state), false, 0); });
}

void XOBLoggerNav::Init_NavLogfiles() {
    ScopedLock lock(m_mutex);
    GXob::Init_NavLogfiles();
}

void XOBLoggerNav::Traffic_TmcInfoHDU_LogEntry_SetMessageCount(long count) {
    ScopedLock shared(m_mutex);
    ScopedLock timer(m_timerMutex);
    if (storeIfChanged(m_tmcMessageCount, count)) {
        StartTimer();
    }
}

void XOBLoggerNav::Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(long count) {
    ScopedLock shared(m_mutex);
    ScopedLock timer(m_timerMutex);
    if (storeIfChanged(m_tmcOnRouteCount, count)) {
        StartTimer();
    }
}

// Runs with both mutexes held.
void XOBLoggerNav::StartTimer() {
    if (m_timerStarted || m_timerClosed) {
        return;
    }
    if (xob::loggers::traceEnabled()) {
        xob::loggers::trace("StartTimer", "Start timer with " + std::to_string(m_timerPeriodMs) + " msec");
    }
    TimerCtrl* const controller = TimerCtrl_GetInstance();
    if (controller == nullptr) {
        return;  // no controller could be made; the next change tries again
    }
    SetInterval(m_timerPeriodMs);
    SetRepeat(false);
    controller->Register(this);
    m_timerStarted = true;
}

void XOBLoggerNav::Tick() {
    xob::loggers::trace("Tick", "");
    TimerElapsed();
}

void XOBLoggerNav::TimerElapsed() {
    // The flag is cleared together with reading the counts: a change after this point arms the
    // timer again instead of waiting, unrecorded, for some later change.
    if (m_timerMutex.Lock() != 0) {
        m_timerStarted = false;  // the counts cannot be read safely: no entry this time
        return;
    }
    SDString counts("%1,%2");
    counts.Argument(static_cast<long>(m_tmcMessageCount)).Argument(static_cast<long>(m_tmcOnRouteCount));
    m_timerStarted = false;
    m_timerMutex.Unlock();

    ScopedLock shared(m_mutex);
    if (xob::loggers::traceEnabled()) {
        xob::loggers::trace("TimerElapsed", std::string("update Traffic_TmcInfoHDU_LogEntry(") +
                                                counts.ToAscii().GetConstData() + ")");
    }
    const SDByteArray text = ToCappedLatin1(counts, 127);
    GXob::Traffic_TmcInfoHDU_LogEntry(text.GetConstData(), false, 0);
}

void XOBLoggerNav::CloseTimer() {
    TimerCtrl* const controller = TimerCtrl_GetInstance();
    {
        ScopedLock timer(m_timerMutex);
        m_timerClosed = true;
        if (m_timerStarted && controller != nullptr) {
            controller->Unregister(this);
        }
    }
    // No tick starts any more; one that started before may still run. It needs the shared mutex,
    // so this wait is made without it (by the factory before it deletes the loggers).
    if (controller != nullptr) {
        controller->WaitWhileTicking(this);
    }
}
