// The map settings logger: every setter stores its value and marks an update; SendUpdate records
// the whole record once per batch of marks.
//
// Locks: the setters write the record without a lock (they and SendUpdate run on one thread at a
// time) and take only the update mutex for the mark. SendUpdate takes the shared mutex and, inside
// it, the update mutex to clear the mark.
#include <xob/XOBLogger.h>

#include "loggers/LoggerSupport.h"

#include <cstdint>

using xob::loggers::ScopedLock;

namespace {

// Values of a fresh logger, as the numbers of the enumerations.
constexpr int kDefaultAutoZoomMode = 2;
constexpr int kDefaultDayNight = 2;
constexpr int kDefaultMapOrientation = 2;
constexpr int kDefaultMapType = 1;

GXob::map_info_t defaultMapInfo() {
    GXob::map_info_t info{};  // zoom 0, every flag false, 2D landmarks 0
    info.autoZoomMode = static_cast<XOBLog::AutoZoomMode>(kDefaultAutoZoomMode);
    info.dayNight = static_cast<XOBLog::DayNightSetting>(kDefaultDayNight);
    info.mapOrientationInstance0 = static_cast<XOBLog::MapOrientation>(kDefaultMapOrientation);
    info.mapOrientationInstance2 = static_cast<XOBLog::MapOrientation>(kDefaultMapOrientation);
    info.mapTypeInstance0 = static_cast<XOBLog::MapType>(kDefaultMapType);
    info.mapTypeInstance2 = static_cast<XOBLog::MapType>(kDefaultMapType);
    return info;
}

// The field of a setting kept per map instance; null for an instance the logger does not keep.
template <typename Value>
Value* instanceField(XOBLog::MapInstance instance, Value& instance0, Value& instance2) {
    switch (instance) {
        case XOBLog::MI_Instance0:
            return &instance0;
        case XOBLog::MI_Instance2:
            return &instance2;
        default:
            return nullptr;
    }
}

// Stores a setting unchanged (a repeated value included) and marks the update.
template <typename Value>
void store(XOBLoggerMap& logger, Value& field, Value value) {
    field = value;
    logger.SetNeedUpdate();
}

}  // namespace

XOBLoggerMap::XOBLoggerMap(osal::Mutex& mutex)
    : XOBLoggerBase(mutex), m_mapInfo(defaultMapInfo()), m_updateMutex(false, false, false), m_updateCount(0) {}

XOBLoggerMap::~XOBLoggerMap() = default;

void XOBLoggerMap::SetZoomLevelMeters(long meters) {
    store(*this, m_mapInfo.zoomLevelMeters, static_cast<std::int32_t>(meters));
}

void XOBLoggerMap::SetAutoZoomMode(XOBLog::AutoZoomMode mode) { store(*this, m_mapInfo.autoZoomMode, mode); }

void XOBLoggerMap::SetDayNight(XOBLog::DayNightSetting setting) { store(*this, m_mapInfo.dayNight, setting); }

void XOBLoggerMap::SetMapOrientation(XOBLog::MapInstance instance, XOBLog::MapOrientation orientation) {
    XOBLog::MapOrientation* const field =
        instanceField(instance, m_mapInfo.mapOrientationInstance0, m_mapInfo.mapOrientationInstance2);
    if (field != nullptr) {
        store(*this, *field, orientation);
    }
}

void XOBLoggerMap::SetMapType(XOBLog::MapInstance instance, XOBLog::MapType type) {
    XOBLog::MapType* const field = instanceField(instance, m_mapInfo.mapTypeInstance0, m_mapInfo.mapTypeInstance2);
    if (field != nullptr) {
        store(*this, *field, type);
    }
}

void XOBLoggerMap::SetDrawRoutes(bool on) { store(*this, m_mapInfo.drawRoutes, on); }

void XOBLoggerMap::SetHighwayMap(bool on) { store(*this, m_mapInfo.highwayMap, on); }

void XOBLoggerMap::SetParkingMapViewMode(bool on) { store(*this, m_mapInfo.parkingMapViewMode, on); }

void XOBLoggerMap::SetMapInMapActive(bool on) { store(*this, m_mapInfo.mapInMapActive, on); }

void XOBLoggerMap::SetTrafficEventArrows(bool on) { store(*this, m_mapInfo.trafficEventArrows, on); }

void XOBLoggerMap::SetLandmarks3D(bool on) { store(*this, m_mapInfo.landmarks3D, on); }

void XOBLoggerMap::SetMemoryPointNames(bool on) { store(*this, m_mapInfo.memoryPointNames, on); }

void XOBLoggerMap::SetLandmarks2D(XOBLog::Landmarks2D setting) { store(*this, m_mapInfo.landmarks2D, setting); }

void XOBLoggerMap::SetTrafficEventIcons(bool on) { store(*this, m_mapInfo.trafficEventIcons, on); }

void XOBLoggerMap::SetNeedUpdate() {
    ScopedLock lock(m_updateMutex);
    // Saturates instead of wrapping, so that no number of marks ever reads as "no update".
    if (m_updateCount < INT32_MAX) {
        ++m_updateCount;
    }
}

bool XOBLoggerMap::NeedsUpdate() {
    ScopedLock lock(m_updateMutex);
    return m_updateCount > 0;
}

void XOBLoggerMap::ResetUpdate() {
    ScopedLock lock(m_updateMutex);
    m_updateCount = 0;
}

void XOBLoggerMap::SendUpdate() {
    if (!NeedsUpdate()) {
        return;
    }
    xob::loggers::trace("SendUpdate", "update MapInfo_LogEntry");
    ScopedLock shared(m_mutex);
    GXob::MapInfo_LogEntry(&m_mapInfo, false, 0);
    ResetUpdate();
}
