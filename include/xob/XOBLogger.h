// libxob, object layer: the navigation loggers.
//
// The navigation process obtains its four loggers from XOBLoggerFactory. Each logger keeps the
// navigation state it needs between calls, decides when an entry is due, formats its texts and then
// records through the plain layer (<xob/GXob.h>). All loggers share one mutex, owned by the factory,
// so that their entries never interleave. Trace lines go to the channel "PC_XOBLOG"
// (XOBLoggerBase::TraceChannel()), at level 1 and only while the channel's level is below 2.
//
// No operation reports a failure, neither by result nor by exception.
#ifndef XOB_XOBLOGGER_H
#define XOB_XOBLOGGER_H

#include <xob/Export.h>
#include <xob/GXob.h>
#include <xob/XOBLogTypes.h>
#include <xob/support/CIPtr.h>
#include <xob/support/OsalMutex.h>
#include <xob/support/OsalTimer.h>
#include <xob/support/RouteOptions.h>
#include <xob/support/SDString.h>
#include <xob/support/TimerCtrl.h>
#include <xob/support/TracingChannel.h>

#include <cstdint>

// The common part of every navigation logger: the reference to the shared logger mutex and the
// navigation error report.
class XOB_EXPORT XOBLoggerBase {
public:
    // Keeps the reference; the mutex is neither locked nor owned.
    explicit XOBLoggerBase(osal::Mutex& mutex);
    virtual ~XOBLoggerBase();
    XOBLoggerBase(const XOBLoggerBase&) = delete;
    XOBLoggerBase& operator=(const XOBLoggerBase&) = delete;

    // Records a navigation error text (at most 128 characters of it are passed on).
    void Nav_Error_ReportError(SDString text);

    // The trace channel "PC_XOBLOG" of the object layer, alive from library load to unload.
    static tracing::Channel& TraceChannel();

protected:
    // The text as NUL-terminated Latin-1 bytes. With a cap above 0, a text longer than cap + 1
    // characters keeps only its first `cap`; anything else is converted whole.
    static SDByteArray ToCappedLatin1(const SDString& text, int cap);

    osal::Mutex& m_mutex;  // the shared logger mutex
};

// An inert timed logger: offers Start, Stop and Update and does nothing with them.
class XOB_EXPORT XOBLogTestLogger : public osal::Timer {
public:
    XOBLogTestLogger();
    ~XOBLogTestLogger() override;

    void Start(unsigned long interval, SDString name, bool flag);
    void Stop();
    void Update();
    bool IsLogging() const;  // always false

private:
    SDString m_name;
    bool m_flag;
    bool m_logging;
    osal::Mutex m_mutex;
};

// Status events of the navigation: software-download steps, watchdog hits, the state of operation,
// and the TMC message counts, recorded together once, 300000 ms after the first change.
class XOB_EXPORT XOBLoggerNav : public XOBLoggerBase, public TimerCtrlClient {
public:
    explicit XOBLoggerNav(osal::Mutex& mutex);
    // Cancels a pending TMC entry. Waits for a tick that is running at that moment, so the caller
    // must not hold the shared mutex unless the timer was stopped beforehand (the factory does so).
    ~XOBLoggerNav() override;

    void Nav_SWDL_Check(SDString app, SDString first, SDString second);
    void Nav_SWDL_Check_Result(SDString app, SDString first, SDString second, XOBLog::SwdlResult result);
    void Nav_SWDL_Prepare(SDString app);
    void Nav_SWDL_Prepare_Result(SDString app, bool ok);
    void Nav_SWDL_Finalize(SDString app);
    void Nav_SWDL_Finalize_Result(SDString app, bool ok);
    void WatchDogHDU_LogEntry(SDString first, SDString second);
    void Nav_StateOfOperationHDU_LogEntry(XOBLog::NavStateOfOperation state, XOBLog::NaviState naviState);
    void Init_NavLogfiles();

    // Store a count; a changed count arms the timer unless it is armed already.
    void Traffic_TmcInfoHDU_LogEntry_SetMessageCount(long count);
    void Traffic_TmcInfoHDU_LogEntry_SetOnRouteCount(long count);

    // Called by the timer controller: records both counts.
    void Tick() override;

    // Component codes of an application name: prepare and finalize steps ("Navigation" 0,
    // "PersonalPOI" 1), check steps ("Navigation" 1, "PersonalPOI" 2); anything else 0.
    signed char AppNameToComponent(SDString app) const;
    signed char GetSwdlComponent(SDString app) const;
    // "first|second".
    SDString GetSwdlPath(SDString first, SDString second) const;

private:
    friend class XOBLoggerFactory;

    void StartTimer();
    void TimerElapsed();
    // Stops the timer for good: no tick starts afterwards and a running one has ended on return.
    void CloseTimer();

    std::int32_t m_tmcMessageCount;
    std::int32_t m_tmcOnRouteCount;
    bool m_timerStarted;
    osal::Mutex m_timerMutex;  // guards the counts and both flags
    std::uint32_t m_timerPeriodMs;
    bool m_timerClosed;  // set when the logger goes away; the timer is not armed again
};

// Map display settings, collected in one record and recorded by SendUpdate when some setting was
// reported since the last entry. The setters and SendUpdate are for one thread at a time.
class XOB_EXPORT XOBLoggerMap : public XOBLoggerBase {
public:
    explicit XOBLoggerMap(osal::Mutex& mutex);
    ~XOBLoggerMap() override;

    void SetZoomLevelMeters(long meters);
    void SetAutoZoomMode(XOBLog::AutoZoomMode mode);
    void SetDayNight(XOBLog::DayNightSetting setting);
    // Instances 0 and 2 are kept; any other instance is ignored (nothing is marked either).
    void SetMapOrientation(XOBLog::MapInstance instance, XOBLog::MapOrientation orientation);
    void SetMapType(XOBLog::MapInstance instance, XOBLog::MapType type);
    void SetDrawRoutes(bool on);
    void SetHighwayMap(bool on);
    void SetParkingMapViewMode(bool on);
    void SetMapInMapActive(bool on);
    void SetTrafficEventArrows(bool on);
    void SetLandmarks3D(bool on);
    void SetMemoryPointNames(bool on);
    void SetLandmarks2D(XOBLog::Landmarks2D setting);
    void SetTrafficEventIcons(bool on);

    void SetNeedUpdate();
    bool NeedsUpdate();
    void ResetUpdate();
    // Records the whole record if an update is marked, then clears the mark.
    void SendUpdate();

private:
    GXob::map_info_t m_mapInfo;
    osal::Mutex m_updateMutex;  // guards m_updateCount
    std::int32_t m_updateCount;
};

// Route guidance: a start entry per route calculation (voice-guidance mode, route-options summary,
// TMC station, start reason) and a stop entry when guidance ends. The setters, the calculation
// starts and the argument-less FinishNewRouteCalculation are for one thread at a time.
class XOB_EXPORT XOBLoggerRG : public XOBLoggerBase {
public:
    explicit XOBLoggerRG(osal::Mutex& mutex);
    ~XOBLoggerRG() override;

    void SetStartReason(XOBLog::NavStartReason reason);
    void SetVoiceGuidanceMode(XOBLog::VoiceGuidanceMode mode);
    void SetTmcStation(SDString station);
    // Keeps a share of the record: later changes by its owner show in the next summary.
    void SetRouteOptions(const CIPtr<dsi::navigation::RouteOptions>& options);

    // Opens a calculation: drops the route options, empties the TMC station, stores the reason.
    void BeginNewRouteCalculation(XOBLog::NavStartReason reason);
    // Records a start entry from the stored values; they stay as they are.
    void FinishNewRouteCalculation() const;
    void FinishNewRouteCalculation(XOBLog::VoiceGuidanceMode mode,
                                   const CIPtr<dsi::navigation::RouteOptions>& options,
                                   XOBLog::NavStartReason reason, SDString tmcStation) const;
    // BeginNewRouteCalculation(NSR_ManualStart), then a start entry from the arguments.
    void NewRouteCalculation(XOBLog::VoiceGuidanceMode mode, const CIPtr<dsi::navigation::RouteOptions>& options,
                             XOBLog::NavStartReason reason, SDString tmcStation);
    void RouteGuidanceStopped(XOBLog::NavStopReason reason) const;

    // Appends the one-line summary "type=..dyn=..(34 snippets)..style=.." to `out`; nothing for
    // empty options.
    void CreateRouteOptionsString(const CIPtr<dsi::navigation::RouteOptions>& options, SDString& out) const;
    // `key` and the value in decimal.
    void AppendRouteOptionsSnippet(SDString& out, const char* key, int value) const;
    // `key` and every element followed by ","; nothing at all for an empty reference.
    void AppendRouteOptionsSnippet(SDString& out, const char* key, CIPtr<CIArray<int>> list) const;

private:
    CIPtr<dsi::navigation::RouteOptions> m_routeOptions;
    XOBLog::NavStartReason m_startReason;
    SDString m_tmcStation;
    XOBLog::VoiceGuidanceMode m_voiceGuidanceMode;
};

// Raw sensor data blocks, handed unchanged to the sensor-data entry.
class XOB_EXPORT XOBLoggerSensor : public XOBLoggerBase {
public:
    explicit XOBLoggerSensor(osal::Mutex& mutex);
    ~XOBLoggerSensor() override;

    void Sensoric_SensorData_LogEntry(const unsigned char* data, long length);
};

// The process-wide owner of the four loggers and their shared mutex. Each logger is created on its
// first request and lives until the process ends (or the library is unloaded); at that point the
// loggers go in the order navigation, route guidance, map, sensor.
class XOB_EXPORT XOBLoggerFactory {
public:
    virtual ~XOBLoggerFactory();
    XOBLoggerFactory(const XOBLoggerFactory&) = delete;
    XOBLoggerFactory& operator=(const XOBLoggerFactory&) = delete;

    static XOBLoggerFactory* getInstance();
    static XOBLoggerNav* GetXobLoggerNav();
    static XOBLoggerMap* GetXobLoggerMap();
    static XOBLoggerRG* GetXobLoggerRG();
    static XOBLoggerSensor* GetXobLoggerSensor();

private:
    XOBLoggerFactory();

    static osal::Mutex s_singleton_mutex;  // guards the creation of the single instance

    XOBLoggerNav* m_loggerNav;
    XOBLoggerRG* m_loggerRG;
    XOBLoggerMap* m_loggerMap;
    XOBLoggerSensor* m_loggerSensor;
    osal::Mutex m_mutex;  // the shared logger mutex
};

#endif
