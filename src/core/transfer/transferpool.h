#pragma once

#include "core/ftp/ftpsession.h"
#include "core/transfer/filemover.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The extra connections of a run of many files: each logs in to the same server as the pane's
// connection, on its own thread, and takes the next queued file whenever it is free. The window's
// thread queues the files, may take some itself for the pane's connection, and collects the ends
// (takeDone); nothing here shows or asks anything.
//
// A connection the server refuses (one status line for all), or loses, is left out for the rest
// of the run; the others go on. stop() empties the queue and ends the transfers in flight through the engine's Stop;
// the destructor stops and waits for every thread.
class TransferPool : public QObject {
    Q_OBJECT
public:
    struct Job {
        qsizetype id = 0; // the caller's
        bool upload = false;
        QString remote;
        QString local;
        TransferType type = TransferType::Binary;
        qint64 expectedSize = 0; // a download's size from the listing, 0 unknown
        bool replace = false; // an upload that replaces a file with the mode below: see FileMover::put
        QString replaceMode;
        QString shown; // the file's name in the status window
    };
    struct Done {
        Job job;
        int connection = 0; // 1 and up: the extra connections
        FileMover::Result result;
        bool connectionLost = false; // failed because its connection went: worth another try
    };
    struct Login {
        QString host;
        QString user;
        QString password;
        bool passive = true;
    };
    struct Conversion {
        bool eucToSjis = false;
        bool sjisToEuc = false;
    };

    // `settings`: the pane's session, whose proxy, time-outs and known certificates the extra
    // sessions take over. `tempPrefix`: a path the connections' conversion files begin with.
    TransferPool(const FtpSession& settings, Login login, Conversion conversion, const QString& tempPrefix,
        int extraConnections, QObject* parent = nullptr);
    ~TransferPool() override;

    void add(Job job);
    // A job whose connection was lost, for the next free connection.
    void retry(Job job);
    // No more jobs will come: the threads end when the queue is empty.
    void finishQueue();
    // The next queued job, for the pane's own connection.
    std::optional<Job> takeNext();
    std::vector<Done> takeDone();
    // Drops the queued jobs; `cancelInFlight` also stops the transfers in flight.
    void stop(bool cancelInFlight = true);
    bool stopping() const { return m_stopping.load(); }

    qsizetype queued() const;
    // Jobs queued, in flight on an extra connection, or done and not yet taken.
    bool busy() const;
    // Waits until a job ends or `ms` pass.
    void waitForDone(int ms);
    // One line per extra connection with a file in flight: "接続2: name 45%".
    QStringList inFlight() const;

Q_SIGNALS:
    // From the threads, delivered on the window's thread: jobs ended (takeDone).
    void doneAvailable();
    // A status line: a refused extra connection, or the engine's own notices.
    void notice(const QString& text);

private:
    struct Worker;
    void work(Worker& worker);
    void post(Done done);
    void postNotice(const QString& text);

    Login m_login;
    Conversion m_conversion;
    std::vector<std::unique_ptr<Worker>> m_workers;
    mutable std::mutex m_mutex;
    std::condition_variable m_jobReady;
    std::condition_variable m_jobDone;
    std::deque<Job> m_queue;
    std::vector<Done> m_done;
    int m_inFlight = 0;
    bool m_queueFinished = false;
    bool m_donePosted = false;
    std::atomic<bool> m_stopping { false };
    std::atomic<bool> m_refusalNoted { false };
};
