// osal::Mutex: a thin wrapper of a POSIX mutex whose failures are reported, never thrown. Its
// first (and only) member is the pthread_mutex_t itself.
#ifndef XOB_SUPPORT_OSALMUTEX_H
#define XOB_SUPPORT_OSALMUTEX_H

#include <xob/Export.h>

#include <pthread.h>

namespace osal {

class XOB_EXPORT Mutex {
public:
    // Where failure reports go: one line of text, without a line end. The default writes the line
    // to standard error.
    using ReportFunction = void (*)(const char* text);

    // The three creation flags; all false gives a non-recursive mutex with default attributes.
    // - recursive: the owner may lock it again (and must unlock as often).
    // - errorChecking: relocking by the owner and unlocking by another thread fail (EDEADLK,
    //   EPERM) instead of hanging or misbehaving. Ignored when `recursive` is set.
    // - priorityInheritance: the owner inherits the priority of the threads it blocks.
    // A flag the platform refuses is dropped (and reported); the mutex is still usable.
    explicit Mutex(bool recursive = false, bool errorChecking = false, bool priorityInheritance = false) noexcept;
    // A failure to destroy is reported as the warning "Error destroying mutex".
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Lock and Unlock return 0 on success. On failure the error goes to the lock- or unlock-error
    // handler, which reports it and gives back the POSIX error; the operation goes on either way.
    int Lock() noexcept;
    int Unlock() noexcept;

    // Replaces the report function for every mutex of the process (null restores the default);
    // returns the previous one.
    static ReportFunction SetReportFunction(ReportFunction report) noexcept;

private:
    static int HandleLockError(int error) noexcept;
    static int HandleUnlockError(int error) noexcept;

    pthread_mutex_t m_mutex;
};

}  // namespace osal

#endif
