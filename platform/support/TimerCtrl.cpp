// The timer controller: a list of armed clients and one detached thread that sleeps until the
// earliest is due and calls its Tick(). The controller is created once and never destroyed, so its
// thread can neither outlive it nor hold up the end of the process.
//
// After fork() the child has no controller thread. Its copy of the registrations is kept, the lock
// is taken around the fork so that the copy is consistent, the condition variables are made anew,
// and the child starts a thread of its own at its next Register or Expedite.
#include <xob/support/TimerCtrl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <pthread.h>
#include <thread>
#include <vector>

ITimerCtrlClient::~ITimerCtrlClient() = default;

TimerCtrlClient::~TimerCtrlClient() = default;

namespace {

using Clock = std::chrono::steady_clock;

struct Registration {
    ITimerCtrlClient* client;
    Clock::time_point due;
    std::chrono::milliseconds interval;
    bool repeat;
    unsigned long long order;  // registration order, to tick clients due at once in that order
};

bool dueEarlier(const Registration& a, const Registration& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
}

}  // namespace

struct TimerCtrl::Impl {
    std::mutex mutex;
    std::condition_variable changed;      // the registrations changed
    std::condition_variable tickEnded;    // a Tick returned
    std::vector<Registration> registrations;
    ITimerCtrlClient* ticking = nullptr;  // the client whose Tick runs now
    bool threadStarted = false;
    std::thread::id threadId;
    unsigned long long nextOrder = 0;

    std::vector<Registration>::iterator find(ITimerCtrlClient* client) {
        return std::find_if(registrations.begin(), registrations.end(),
                            [client](const Registration& r) { return r.client == client; });
    }

    // Starts the thread if it is not running yet; called with `mutex` held. When no thread can be
    // started the next Register or Expedite tries again.
    void ensureThread() noexcept {
        if (threadStarted) return;
        try {
            std::thread(&Impl::run, this).detach();
            threadStarted = true;
        } catch (...) {
        }
    }

    void run() noexcept;
    void tick(std::unique_lock<std::mutex>& lock, Registration& due) noexcept;

    static Impl* s_instance;  // the one controller's, for the fork handlers
    static void forkPrepare() noexcept;
    static void forkParent() noexcept;
    static void forkChild() noexcept;
};

void TimerCtrl::Impl::run() noexcept {
    std::unique_lock<std::mutex> lock(mutex);
    threadId = std::this_thread::get_id();
    for (;;) {
        if (registrations.empty()) {
            changed.wait(lock);
            continue;
        }
        auto earliest = std::min_element(registrations.begin(), registrations.end(), dueEarlier);
        // A copy: the registrations may change (and move) while the wait has the lock released.
        const Clock::time_point due = earliest->due;
        if (Clock::now() < due) {
            changed.wait_until(lock, due);
            continue;
        }
        tick(lock, *earliest);
    }
}

// Re-arms or removes the due registration, then calls its Tick without the lock held.
void TimerCtrl::Impl::tick(std::unique_lock<std::mutex>& lock, Registration& due) noexcept {
    ITimerCtrlClient* const client = due.client;
    if (due.repeat) {
        // A repeating client of interval 0 would take the thread for itself; it waits 1 ms.
        due.due = Clock::now() + std::max(due.interval, std::chrono::milliseconds(1));
        due.order = nextOrder++;
    } else {
        registrations.erase(registrations.begin() + (&due - registrations.data()));
    }
    ticking = client;
    lock.unlock();
    try {
        client->Tick();
    } catch (...) {
    }
    lock.lock();
    ticking = nullptr;
    tickEnded.notify_all();
}

void TimerCtrl::Register(ITimerCtrlClient* client) noexcept {
    if (client == nullptr) return;
    const std::chrono::milliseconds interval(client->GetInterval());
    const bool repeat = client->GetRepeat();
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    Registration registration{client, Clock::now() + interval, interval, repeat, m_impl->nextOrder++};
    auto existing = m_impl->find(client);
    try {
        if (existing != m_impl->registrations.end()) {
            *existing = registration;
        } else {
            m_impl->registrations.push_back(registration);
        }
    } catch (...) {
        return;  // out of memory: the client stays unregistered
    }
    m_impl->ensureThread();
    m_impl->changed.notify_all();
}

void TimerCtrl::Unregister(ITimerCtrlClient* client) noexcept {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    auto existing = m_impl->find(client);
    if (existing != m_impl->registrations.end()) m_impl->registrations.erase(existing);
}

void TimerCtrl::Expedite() noexcept {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    const Clock::time_point now = Clock::now();
    for (Registration& registration : m_impl->registrations) registration.due = std::min(registration.due, now);
    if (!m_impl->registrations.empty()) m_impl->ensureThread();
    m_impl->changed.notify_all();
}

void TimerCtrl::WaitWhileTicking(ITimerCtrlClient* client) noexcept {
    std::unique_lock<std::mutex> lock(m_impl->mutex);
    if (std::this_thread::get_id() == m_impl->threadId) return;
    m_impl->tickEnded.wait(lock, [this, client] { return m_impl->ticking != client || client == nullptr; });
}

bool TimerCtrl::IsRegistered(ITimerCtrlClient* client) noexcept {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->find(client) != m_impl->registrations.end();
}

TimerCtrl::Impl* TimerCtrl::Impl::s_instance = nullptr;

void TimerCtrl::Impl::forkPrepare() noexcept { s_instance->mutex.lock(); }

void TimerCtrl::Impl::forkParent() noexcept { s_instance->mutex.unlock(); }

void TimerCtrl::Impl::forkChild() noexcept {
    // The copied condition variables still count the parent's waiters, which do not exist here and
    // would make the next notify wait for them for ever: they are made anew.
    new (&s_instance->changed) std::condition_variable;
    new (&s_instance->tickEnded) std::condition_variable;
    s_instance->threadStarted = false;
    s_instance->threadId = std::thread::id();
    s_instance->ticking = nullptr;  // a Tick running in the parent does not run here
    s_instance->mutex.unlock();
}

TimerCtrl* TimerCtrl_GetInstance() noexcept {
    // Deliberately never deleted (see the top of this file).
    static TimerCtrl* const instance = [] {
        TimerCtrl::Impl* impl = new (std::nothrow) TimerCtrl::Impl;
        if (impl == nullptr) return static_cast<TimerCtrl*>(nullptr);
        TimerCtrl::Impl::s_instance = impl;
        pthread_atfork(TimerCtrl::Impl::forkPrepare, TimerCtrl::Impl::forkParent, TimerCtrl::Impl::forkChild);
        return new (std::nothrow) TimerCtrl(impl);
    }();
    return instance;
}
