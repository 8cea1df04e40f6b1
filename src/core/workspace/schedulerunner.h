#pragma once

#include "core/app/clock.h"
#include "core/workspace/schedulerecords.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class Workspace;

// How one session of the schedule ended.
struct ScheduleSessionResult {
    QString profile;
    ScheduleRecords::Action action = ScheduleRecords::Action::None;
    int files = 0; // files sent or fetched
    int failed = 0; // named files that were not there or did not arrive
    bool ok = false;
    QString failure; // Japanese, when !ok

    // "profile Upload 3件 OK", or "... 失敗: reason": the line the window-less run prints.
    QString line() const;
};

// The schedule of timed transfers on a workspace: the schedule text (the panel's `Text11`), the
// record for the current selection, the file auto.txt of the data folder, and the timer (`Timer3`)
// that runs each record once when its time has come: connect with its profile, go to its folders,
// choose its files, transfer them, disconnect.
//
// Sessions never run twice: while due sessions run the runner holds the lock "auto.lock" in the
// data folder (a tick skips while another window or a window-less run holds it), marks each
// session done in its text and in auto.txt, and first takes over the marks auto.txt already has.
class ScheduleRunner : public QObject {
    Q_OBJECT
public:
    explicit ScheduleRunner(Workspace& workspace, QObject* parent = nullptr);
    ~ScheduleRunner() override;

    // "Now" of the due test and of the time boxes.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    QDateTime now() const { return m_clock(); }

    // The schedule text, "\n" line ends (CR LF and lone CRs are turned on the way in).
    QString text() const { return m_text; }
    void setText(const QString& text);

    // `Command41`: appends a record for the rows selected in the local list (upload: from the
    // local folder to the FTP folder) or in the FTP list (download), with the profile name field
    // and `time`. False, and nothing appended, when no row is selected.
    bool appendRecordForSelection(const QString& time, ScheduleRecords::Action action);
    // `Command42`.
    void clear() { setText(QString()); }

    // auto.txt of the data folder.
    static QString filePath();
    // `Command43(0)`: the text replaces the file (CP932, CR LF). The user is told of a failure.
    bool saveFile();
    // `Command43(1)`: each line of the file is appended after a line end (the text is kept).
    bool loadFile();

    // `Command44`: starts the timer when the schedule holds something; false when it is empty.
    bool start();
    void stop();
    bool isRunning() const { return m_started; }
    QTimer& timer() { return m_timer; }

    // One tick of the timer: the timer is off while the due sessions run. A tick while a transfer
    // of the user's runs, or while another holds the lock, waits for the next one.
    void onTick();

    // Runs every due session of the text that is not done, once, and marks it. False (and
    // nothing run) when another window or run holds the lock.
    bool RunDueSessions(QList<ScheduleSessionResult>* results = nullptr);
    // Runs the session when it is due; true when it ran.
    bool RunSessionIfDue(const QString& piece, ScheduleSessionResult* result = nullptr);
    // Connects with the record's profile, transfers its files and disconnects. Every failure
    // gets a status line and a log entry.
    ScheduleSessionResult RunSession(const QString& piece);

    // Files larger than this are no schedule of ours.
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;
    static constexpr int TickMs = 10000;

Q_SIGNALS:
    void textChanged(const QString& text);
    void runningChanged(bool running);
    void sessionFinished(const ScheduleSessionResult& result);

private:
    // Both panes at the session's folders; `serverFolder` the server's path of it (empty when unknown).
    bool showFolders(const QString& localFolder, const QString& serverFolderText, QString* serverFolder,
        ScheduleSessionResult& result);
    bool transferUpload(const QStringList& sources, const QString& destination, ScheduleSessionResult& result);
    bool transferDownload(const QStringList& sources, const QString& destination, ScheduleSessionResult& result);
    // The names not found and the end of the run into the result; true when all went well.
    bool finishTransfer(const QStringList& missing, bool stopped, ScheduleSessionResult& result);
    void finishSession(ScheduleSessionResult& result);
    // The file's text with "\n" line ends; nullopt when it is missing or cannot be read.
    std::optional<QString> readFile(QString* error) const;
    void markDoneInFile(const QString& piece);

    Workspace& m_ws;
    Clock m_clock = systemNow;
    QString m_text;
    QTimer m_timer;
    bool m_started = false;
    bool m_runningSessions = false;
};
