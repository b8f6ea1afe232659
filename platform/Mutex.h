// The transport's lock: a POSIX mutex of the default kind behind lock and unlock, inline, so that
// taking it costs what pthread_mutex_lock costs. The mutex is set up by its static initialiser,
// with no code running at load: a Mutex at namespace scope is usable before any constructor of
// the library has run. It is never destroyed.
#ifndef XOB_PLATFORM_MUTEX_H
#define XOB_PLATFORM_MUTEX_H

#include <pthread.h>

namespace xob {
namespace platform {

class Mutex {
public:
    constexpr Mutex() noexcept = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // 0, or the error number of the failure.
    int lock() noexcept { return pthread_mutex_lock(&m_mutex); }
    void unlock() noexcept { pthread_mutex_unlock(&m_mutex); }

    // In a forked child only, where the one thread left may find the mutex as the parent's threads
    // left it: makes it a fresh, unlocked mutex.
    void resetInChild() noexcept { pthread_mutex_init(&m_mutex, nullptr); }

private:
    pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
};

}  // namespace platform
}  // namespace xob

#endif
