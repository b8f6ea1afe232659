// osal::Timer: calls a static callback, with the timer as its argument, after an interval; once, or
// again and again until stopped. The callback runs on a thread of the timer's own. A timer that was
// armed when the process forked is left alone in the child (its thread did not come along).
#ifndef XOB_SUPPORT_OSALTIMER_H
#define XOB_SUPPORT_OSALTIMER_H

#include <xob/Export.h>

#include <memory>

namespace osal {

class XOB_EXPORT Timer {
public:
    using Callback = void (*)(Timer* timer);

    // `periodic`: true fires every interval until stopped; false fires once per start.
    Timer(Callback callback, bool periodic) noexcept;
    // Stops the timer (see stop()).
    virtual ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Arms the timer: the first call of the callback follows `intervalMs` milliseconds from now. A
    // timer already armed is re-armed from now. False when no thread could be started (or the
    // callback is null); the timer is then not armed.
    bool start(unsigned long intervalMs) noexcept;

    // Disarms the timer. No call of the callback starts after stop() returns, and a call running on
    // another thread has finished by then. Called from inside the callback it only disarms, so the
    // callback may start, stop and even destroy its own timer.
    void stop() noexcept;

    bool isRunning() const noexcept;
    bool isPeriodic() const noexcept { return m_periodic; }

private:
    struct State;

    Callback m_callback;
    bool m_periodic;
    std::shared_ptr<State> m_state;  // shared with the timer's thread
};

}  // namespace osal

#endif
