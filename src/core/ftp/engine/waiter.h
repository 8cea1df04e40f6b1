#pragma once

#include <QElapsedTimer>
#include <functional>

// Every wait of the engine goes through here: a poll of at most 50 ms, then the idle hook, which
// the engine also calls every 50 ms while data flows without waiting. When the hook answers true
// the operation is cancelled; during the clean-up of a cancelled or failed operation the engine
// marks the waiter not cancellable, so the hook still keeps the window live but cannot stop the
// clean-up half-way.
class Waiter {
public:
    enum class Result { Ready, Timeout, Cancelled };

    void setHook(std::function<bool()> hook) { m_hook = std::move(hook); }
    // A new operation: not cancelled, cancellable.
    void begin();
    void setCancellable(bool cancellable) { m_cancellable = cancellable; }
    bool cancelled() const { return m_cancelled; }
    // Asked from outside (a close during an operation): the operation ends as cancelled.
    void requestCancel() { m_cancelRequested = true; }

    // Waits until `fd` is ready for `events` or `timeoutMs` passes without it (0: no limit).
    // `revents` receives what poll reported.
    Result wait(int fd, short events, int timeoutMs, short* revents = nullptr);
    // Sleeps `ms`, keeping the window live.
    Result sleep(int ms);
    // Calls the hook when 50 ms have passed since the last call; false when cancelled.
    bool tick();

private:
    bool callHook();

    std::function<bool()> m_hook;
    QElapsedTimer m_sinceHook;
    bool m_cancellable = true;
    bool m_cancelled = false;
    bool m_cancelRequested = false;
};
