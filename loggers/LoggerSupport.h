// Shared helpers of the navigation loggers: a scoped lock of an osal::Mutex and the trace lines on
// the channel "PC_XOBLOG". Internal to the library.
#ifndef XOB_LOGGERS_LOGGERSUPPORT_H
#define XOB_LOGGERS_LOGGERSUPPORT_H

#include <xob/support/OsalMutex.h>

#include <string>

namespace xob {
namespace loggers {

// Holds the mutex for its scope. A failed lock or unlock has been reported by the mutex wrapper;
// the holder goes on either way.
class ScopedLock {
public:
    explicit ScopedLock(osal::Mutex& mutex) noexcept : m_mutex(mutex) { m_mutex.Lock(); }
    ~ScopedLock() { m_mutex.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    osal::Mutex& m_mutex;
};

// True while the channel's level admits trace lines (below 2). Callers check it before they
// compose a costly message.
bool traceEnabled() noexcept;

// If traceEnabled(), logs "TID <thread id>: <operation>: <message>" at level 1.
void trace(const char* operation, const std::string& message) noexcept;

// The usual recording step: under the shared mutex, the trace line, then the entry that
// `makeEntry` makes.
template <typename MakeEntry>
void recordLocked(osal::Mutex& shared, const char* operation, const char* message, MakeEntry makeEntry) {
    ScopedLock lock(shared);
    trace(operation, message);
    makeEntry();
}

}  // namespace loggers
}  // namespace xob

#endif
