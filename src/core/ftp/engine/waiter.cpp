#include "core/ftp/engine/waiter.h"

#include <cerrno>
#include <poll.h>

namespace {
constexpr int slice = 50;
}

void Waiter::begin()
{
    m_cancellable = true;
    m_cancelled = false;
    m_cancelRequested = false;
    m_sinceHook.start();
}

bool Waiter::callHook()
{
    m_sinceHook.start();
    bool stop = false;
    if (m_hook)
        stop = m_hook();
    if ((stop || m_cancelRequested) && m_cancellable)
        m_cancelled = true;
    return !m_cancelled || !m_cancellable;
}

bool Waiter::tick()
{
    if (m_cancelled && m_cancellable)
        return false;
    if (!m_sinceHook.isValid() || m_sinceHook.elapsed() >= slice)
        return callHook();
    return true;
}

Waiter::Result Waiter::wait(int fd, short events, int timeoutMs, short* revents)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (m_cancelled && m_cancellable)
            return Result::Cancelled;
        int step = slice;
        if (!m_sinceHook.isValid())
            m_sinceHook.start();
        step = int(qMax<qint64>(0, slice - m_sinceHook.elapsed()));
        if (timeoutMs > 0)
            step = int(qMin<qint64>(step, qMax<qint64>(0, timeoutMs - waited.elapsed())));
        pollfd p { fd, events, 0 };
        const int n = ::poll(&p, 1, step);
        if (n > 0) {
            if (revents)
                *revents = p.revents;
            return Result::Ready;
        }
        if (n < 0 && errno != EINTR) {
            if (revents)
                *revents = POLLERR;
            return Result::Ready; // the socket call that follows reports the error
        }
        if (m_sinceHook.elapsed() >= slice && !callHook())
            return Result::Cancelled;
        if (timeoutMs > 0 && waited.elapsed() >= timeoutMs)
            return Result::Timeout;
    }
}

Waiter::Result Waiter::sleep(int ms)
{
    QElapsedTimer slept;
    slept.start();
    while (slept.elapsed() < ms) {
        if (m_cancelled && m_cancellable)
            return Result::Cancelled;
        const int step = int(qMin<qint64>(slice, ms - slept.elapsed()));
        ::poll(nullptr, 0, step);
        if (!tick())
            return Result::Cancelled;
    }
    return Result::Ready;
}
