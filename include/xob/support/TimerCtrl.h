// The timer controller: one per process, with one thread of its own on which it calls the Tick()
// of the clients whose interval has run out.
//
// - Register(c) arms client c with c->GetInterval() milliseconds and c->GetRepeat(), read at the
//   call. Its Tick() follows about that long afterwards, on the controller thread, never inside
//   Register. A one-shot client (repeat false) is no longer registered once its Tick starts, so it
//   may register again, also from inside that Tick. A repeating client is re-armed with the same
//   interval when its Tick starts and stays registered until unregistered. Registering a client
//   that is registered already re-arms it from now.
// - Unregister(c) never waits. After it returns no new Tick of c starts; one already running may
//   still be running.
// - WaitWhileTicking(c) returns once no Tick of c is running; at once on the controller thread.
// - Expedite() makes every registered client due now; their Ticks still run on the controller
//   thread, one after another.
//
// Ticks run one at a time, without any lock of the controller held, so a Tick may call any
// operation of the controller. An exception leaving a Tick is swallowed. The controller thread
// starts on the first Register and never holds up the end of the process. In a child made by
// fork() it starts anew at the next Register or Expedite; clients registered before the fork then
// tick in the child too.
#ifndef XOB_SUPPORT_TIMERCTRL_H
#define XOB_SUPPORT_TIMERCTRL_H

#include <xob/Export.h>

#include <cstdint>

class XOB_EXPORT ITimerCtrlClient {
public:
    virtual ~ITimerCtrlClient();
    virtual void Tick() = 0;
    virtual std::uint32_t GetInterval() const = 0;  // milliseconds
    virtual void SetInterval(std::uint32_t intervalMs) = 0;
    virtual bool GetRepeat() const = 0;
    virtual void SetRepeat(bool repeat) = 0;
    // A value of the client's own; the controller never reads it.
    virtual std::uint32_t GetUserData() const = 0;
    virtual void SetUserData(std::uint32_t value) = 0;
};

// The usual base of a client: keeps the values of the accessors; the derived class writes Tick().
class XOB_EXPORT TimerCtrlClient : public ITimerCtrlClient {
public:
    TimerCtrlClient() noexcept = default;
    ~TimerCtrlClient() override;

    std::uint32_t GetInterval() const override { return m_interval; }
    void SetInterval(std::uint32_t intervalMs) override { m_interval = intervalMs; }
    bool GetRepeat() const override { return m_repeat; }
    void SetRepeat(bool repeat) override { m_repeat = repeat; }
    std::uint32_t GetUserData() const override { return m_userData; }
    void SetUserData(std::uint32_t value) override { m_userData = value; }

private:
    std::uint32_t m_interval = 0;
    bool m_repeat = false;
    std::uint32_t m_reserved = 0;  // kept for the layout clients expect; nothing reads it
    std::uint32_t m_userData = 0;
};

class TimerCtrl;
// The process-wide controller. It lives until the process ends and is never destroyed, so a client
// may use it from any static destructor.
XOB_EXPORT TimerCtrl* TimerCtrl_GetInstance() noexcept;

class XOB_EXPORT TimerCtrl {
public:
    void Register(ITimerCtrlClient* client) noexcept;
    void Unregister(ITimerCtrlClient* client) noexcept;
    void Expedite() noexcept;
    void WaitWhileTicking(ITimerCtrlClient* client) noexcept;

    // True while `client` is registered (armed and not yet ticked, for a one-shot client).
    bool IsRegistered(ITimerCtrlClient* client) noexcept;

    TimerCtrl(const TimerCtrl&) = delete;
    TimerCtrl& operator=(const TimerCtrl&) = delete;

private:
    struct Impl;
    explicit TimerCtrl(Impl* impl) noexcept : m_impl(impl) {}
    ~TimerCtrl() = default;
    friend TimerCtrl* TimerCtrl_GetInstance() noexcept;

    Impl* m_impl;
};

#endif
