// osal::Mutex: POSIX mutex with reported, never thrown, failures.
#include <xob/support/OsalMutex.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace osal {

namespace {

void reportToStandardError(const char* text) { std::fprintf(stderr, "%s\n", text); }

std::atomic<Mutex::ReportFunction> s_report{nullptr};

void report(const char* text) {
    const Mutex::ReportFunction function = s_report.load();
    (function != nullptr ? function : reportToStandardError)(text);
}

void reportError(const char* what, int error) {
    char text[64];
    std::snprintf(text, sizeof text, "%s (error %d)", what, error);
    report(text);
}

// Fills `attributes` from the creation flags; false (after a report) when the platform refuses
// one of them, in which case the mutex falls back to default attributes.
bool setAttributes(pthread_mutexattr_t& attributes, bool recursive, bool errorChecking, bool priorityInheritance) {
    int result = 0;
    if (recursive) {
        result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    } else if (errorChecking) {
        result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ERRORCHECK);
    }
    if (result == 0 && priorityInheritance) result = pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    if (result != 0) reportError("Error setting mutex attributes", result);
    return result == 0;
}

}  // namespace

Mutex::Mutex(bool recursive, bool errorChecking, bool priorityInheritance) noexcept {
    int result = EINVAL;
    if (recursive || errorChecking || priorityInheritance) {
        pthread_mutexattr_t attributes;
        if (pthread_mutexattr_init(&attributes) == 0) {
            if (setAttributes(attributes, recursive, errorChecking, priorityInheritance)) {
                result = pthread_mutex_init(&m_mutex, &attributes);
            }
            pthread_mutexattr_destroy(&attributes);
        }
    }
    if (result != 0) result = pthread_mutex_init(&m_mutex, nullptr);
    if (result != 0) reportError("Error creating mutex", result);
}

Mutex::~Mutex() {
    if (pthread_mutex_destroy(&m_mutex) != 0) report("Error destroying mutex");
}

int Mutex::Lock() noexcept {
    const int result = pthread_mutex_lock(&m_mutex);
    return result == 0 ? 0 : HandleLockError(result);
}

int Mutex::Unlock() noexcept {
    const int result = pthread_mutex_unlock(&m_mutex);
    return result == 0 ? 0 : HandleUnlockError(result);
}

Mutex::ReportFunction Mutex::SetReportFunction(ReportFunction function) noexcept {
    return s_report.exchange(function);
}

int Mutex::HandleLockError(int error) noexcept {
    reportError("Error locking mutex", error);
    return error;
}

int Mutex::HandleUnlockError(int error) noexcept {
    reportError("Error unlocking mutex", error);
    return error;
}

}  // namespace osal
