#pragma once

#include <QByteArray>
#include <QSet>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Sends messages to other programs' windows off the caller's thread, in the order given, so a
// receiver that takes the connection and never answers cannot freeze the window. A handle that
// timed out once is taken for gone: its later messages are dropped at once, until revive().
// A listener on the caller's thread still gets its message at once.
class ReplySender {
public:
    ReplySender();
    ~ReplySender();
    ReplySender(const ReplySender&) = delete;
    ReplySender& operator=(const ReplySender&) = delete;

    void send(qint64 handle, quint32 message, QByteArray payload);
    void revive(qint64 handle);
    bool isGone(qint64 handle) const;

private:
    struct Job {
        qint64 handle;
        quint32 message;
        QByteArray payload;
    };
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    QSet<qint64> m_gone;
    bool m_ending = false;
    std::thread m_thread;
};
