#include "core/link/replysender.h"

#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"

ReplySender::ReplySender()
    : m_thread([this] { run(); })
{
}

ReplySender::~ReplySender()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
        m_jobs.clear(); // what is not sent yet goes nowhere, as for a window that is gone
    }
    m_wake.notify_one();
    m_thread.join();
}

void ReplySender::send(qint64 handle, quint32 message, QByteArray payload)
{
    if (isGone(handle))
        return;
    if (MessageListener::deliverInProcess(handle, message, payload))
        return;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({ handle, message, std::move(payload) });
    }
    m_wake.notify_one();
}

void ReplySender::revive(qint64 handle)
{
    std::lock_guard lock(m_mutex);
    m_gone.remove(handle);
}

bool ReplySender::isGone(qint64 handle) const
{
    std::lock_guard lock(m_mutex);
    return m_gone.contains(handle);
}

void ReplySender::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_ending || !m_jobs.empty(); });
            if (m_ending)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
            if (m_gone.contains(job.handle))
                continue;
        }
        bool timedOut = false;
        MessageBus::SendMessage(job.handle, job.message, job.payload, MessageBus::SendTimeoutMs, &timedOut);
        if (timedOut) {
            std::lock_guard lock(m_mutex);
            m_gone.insert(job.handle);
        }
    }
}
