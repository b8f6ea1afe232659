// The logger factory: one process-wide instance, created on first use, owning the four loggers and
// their shared mutex.
//
// Lifetime: s_singleton_mutex is built at load after the trace channel and before the ring, and the
// instance later, on first use; the runtime destroys them in reverse, so the loggers go before the
// ring, the singleton mutex and the trace channel that they use.
//
// Locks: s_singleton_mutex is held only around the creation of the instance and never together
// with another lock. The shared mutex is held while a logger is created and while all are deleted.
#include <xob/XOBLogger.h>

#include "loggers/LoggerSupport.h"

using xob::loggers::ScopedLock;

osal::Mutex XOBLoggerFactory::s_singleton_mutex __attribute__((init_priority(1002)))(false, false, false);

namespace {

// The logger in `slot`, created with the shared mutex on the first request.
template <typename Logger>
Logger* obtain(osal::Mutex& shared, Logger*& slot) {
    ScopedLock lock(shared);
    if (slot == nullptr) {
        slot = new Logger(shared);
    }
    return slot;
}

}  // namespace

XOBLoggerFactory::XOBLoggerFactory()
    : m_loggerNav(nullptr), m_loggerRG(nullptr), m_loggerMap(nullptr), m_loggerSensor(nullptr),
      m_mutex(false, false, false) {}

XOBLoggerFactory::~XOBLoggerFactory() {
    // A TMC tick may be running and waiting for the shared mutex. Close the navigation logger's
    // timer first, without the shared mutex, so that the tick has ended before the logger goes.
    XOBLoggerNav* nav = nullptr;
    {
        ScopedLock lock(m_mutex);
        nav = m_loggerNav;
    }
    if (nav != nullptr) {
        nav->CloseTimer();
    }
    ScopedLock lock(m_mutex);
    delete m_loggerNav;
    delete m_loggerRG;
    delete m_loggerMap;
    delete m_loggerSensor;
    m_loggerNav = nullptr;
    m_loggerRG = nullptr;
    m_loggerMap = nullptr;
    m_loggerSensor = nullptr;
}

XOBLoggerFactory* XOBLoggerFactory::getInstance() {
    ScopedLock lock(s_singleton_mutex);
    static XOBLoggerFactory instance;
    return &instance;
}

XOBLoggerNav* XOBLoggerFactory::GetXobLoggerNav() {
    XOBLoggerFactory* const factory = getInstance();
    return obtain(factory->m_mutex, factory->m_loggerNav);
}

XOBLoggerMap* XOBLoggerFactory::GetXobLoggerMap() {
    XOBLoggerFactory* const factory = getInstance();
    return obtain(factory->m_mutex, factory->m_loggerMap);
}

XOBLoggerRG* XOBLoggerFactory::GetXobLoggerRG() {
    XOBLoggerFactory* const factory = getInstance();
    return obtain(factory->m_mutex, factory->m_loggerRG);
}

XOBLoggerSensor* XOBLoggerFactory::GetXobLoggerSensor() {
    XOBLoggerFactory* const factory = getInstance();
    return obtain(factory->m_mutex, factory->m_loggerSensor);
}
