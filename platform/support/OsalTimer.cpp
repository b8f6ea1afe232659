// osal::Timer: each armed timer has a detached thread that waits for the due time and calls the
// callback. The thread shares only State with the timer object, and calls the callback only while
// the timer is armed, so stopping (or destroying) the timer never leaves the thread touching it.
#include <xob/support/OsalTimer.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace osal {

using Clock = std::chrono::steady_clock;

struct Timer::State {
    std::mutex mutex;
    std::condition_variable changed;   // armed, due time or interval changed
    std::condition_variable finished;  // a callback call returned
    bool armed = false;
    bool threadRunning = false;
    bool inCallback = false;
    std::thread::id threadId;
    Clock::time_point due;
    std::chrono::milliseconds interval{0};

    void run(Timer* timer, Callback callback, bool periodic);
};

void Timer::State::run(Timer* timer, Callback callback, bool periodic) {
    std::unique_lock<std::mutex> lock(mutex);
    threadId = std::this_thread::get_id();
    while (armed) {
        const Clock::time_point now = Clock::now();
        if (now < due) {
            const Clock::time_point until = due;  // `due` may change while the lock is released
            changed.wait_until(lock, until);
            continue;
        }
        if (periodic) {
            due = std::max(due + interval, now);
        } else {
            armed = false;
        }
        inCallback = true;
        lock.unlock();
        callback(timer);
        lock.lock();
        inCallback = false;
        finished.notify_all();
    }
    threadRunning = false;
    threadId = std::thread::id();
}

Timer::Timer(Callback callback, bool periodic) noexcept : m_callback(callback), m_periodic(periodic) {}

Timer::~Timer() { stop(); }

bool Timer::start(unsigned long intervalMs) noexcept {
    if (m_callback == nullptr) return false;
    try {
        if (!m_state) m_state = std::make_shared<State>();
        State& state = *m_state;
        std::lock_guard<std::mutex> lock(state.mutex);
        // A periodic timer of interval 0 would call back without pause.
        state.interval = std::chrono::milliseconds(m_periodic ? std::max(intervalMs, 1UL) : intervalMs);
        state.due = Clock::now() + state.interval;
        state.armed = true;
        if (state.threadRunning) {
            state.changed.notify_all();
            return true;
        }
        std::thread(&State::run, m_state, this, m_callback, m_periodic).detach();
        state.threadRunning = true;
        return true;
    } catch (...) {
        if (m_state) {
            std::lock_guard<std::mutex> lock(m_state->mutex);
            m_state->armed = m_state->threadRunning;
        }
        return false;
    }
}

void Timer::stop() noexcept {
    if (!m_state) return;
    State& state = *m_state;
    std::unique_lock<std::mutex> lock(state.mutex);
    state.armed = false;
    state.changed.notify_all();
    if (state.threadId == std::this_thread::get_id()) return;  // called from the callback
    state.finished.wait(lock, [&state] { return !state.inCallback; });
}

bool Timer::isRunning() const noexcept {
    if (!m_state) return false;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->armed;
}

}  // namespace osal
