#pragma once

#include "core/app/clock.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

// The activity log ftptarvo.log in the data folder: one tag-framed entry per operation that
// changed something, and per connection, in CP932, entries separated by an empty line. Nothing
// parses it; the log view only counts and moves lines into ftplogback.log.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    explicit ActivityLog(Clock clock = systemNow, QObject* parent = nullptr);

    void setClock(Clock clock) { m_clock = std::move(clock); }
    // The data folder unless set (tests).
    void setFolder(const QString& folder) { m_folder = folder; }
    QString logPath() const;
    QString backupPath() const;

    // Removes every tab from the text (the caller's variable receives the changed text) and
    // appends it to the log followed by CR LF and an empty line, creating the file when missing.
    // A failure returns false with lastError() set; the first failure after a success (or the
    // first of all) also emits `writeFailed`, so the user is told once, not at every entry.
    bool WriteLog(QString& text);
    QString lastError() const { return m_lastError; }

    // Writes entry(openTag, details, closeTag): what every operation logs.
    bool write(const QString& openTag, const QString& details, const QString& closeTag);
    // Writes an entry made by one of the functions below.
    bool writeEntry(QString entry) { return WriteLog(entry); }

    // "yyyy-mm-dd hh:mm:ss " (24-hour clock, a blank after the time).
    static QString timeStamp(const QDateTime& when);

    // The usual entry: opening tag, time stamp from the clock, details, closing tag. The details
    // come from servers and file names: line breaks and other control characters in them become
    // "?" so that a name cannot forge lines of the log.
    QString entry(const QString& openTag, const QString& details, const QString& closeTag) const;
    // The paste entry: the date and one blank, no time.
    QString dateOnlyEntry(const QString& openTag, const QString& details, const QString& closeTag) const;
    // "<FTP接続開始>" preceded by CR LF, so that each session starts after an extra empty line.
    QString connectEntry(const QString& host) const;
    // "<FTP接続終了>" followed by an extra CR LF.
    QString disconnectEntry(const QString& host) const;

    static QString cleanDetails(const QString& details);

    struct View {
        bool ok = true;
        QString error; // Japanese, when !ok
        QStringList lines; // what the log keeps and the panel shows: at most 500 non-empty lines
        qsizetype movedLines = 0; // lines appended to the backup by this view
        QString shownText() const { return lines.join(u'\n'); }
    };

    // The log view (menu item `Mrog1`): reads the log, drops empty lines, appends every full batch
    // of 501 lines to ftplogback.log (each batch as the lines, each preceded by CR LF, and a final
    // CR LF), and rewrites the log with the rest through a temporary file renamed over it. A log
    // that does not exist shows as empty and is not created. When the backup cannot be written
    // the log is left as it was, so no line is ever lost (a batch may then stand in both files).
    View viewLog();

    static constexpr int BatchLines = 501;

Q_SIGNALS:
    void writeFailed(const QString& message);

private:
    QString folder() const;

    Clock m_clock;
    QString m_folder;
    QString m_lastError;
    bool m_failing = false;
};
