#pragma once

#include "core/app/clock.h"
#include "core/app/stopcheck.h"
#include "core/ftp/ftpconnection.h"
#include "core/transfer/filemover.h"
#include "core/transfer/transferpool.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ActivityLog;
class Dialogs;
class LocalPane;
class ModeRules;
class Options;
class QStandardItem;
class QTimer;
class RemotePane;
class StatusLines;
class StatusReport;
struct AppState;

// Downloads and uploads between the two panes: the single-file get and put every other part of
// the program goes through (FtpGetFileConv, FtpPutFileConv, with the optional EUC-JP / Shift-JIS
// conversion of ASCII transfers), operations on named files and folders with their server and
// local folders given, and the procedures that take what the user selected in a list, apply the
// update rule ("更新") and call those operations.
//
// Runs on the user-interface thread; the engine keeps the window live and honours Stop inside a
// file, the loops honour it between files. One run at a time: a second start while one runs, or
// a start without a connection, is refused with a status line. A folder pass compares the time
// stamps with one listing per server folder (the tree walk's, or one per folder and run).
//
// With Options::transferConnections() above 1 the files of a run are spread over the pane's
// connection and extra ones to the same server (TransferPool). The decisions (update rule,
// never-send list, names) are still taken here, one file at a time, and each file's status line,
// log entry, count and mark come on this thread when that file ends; a failed file shows no box
// then, its status line says why.
class Transfers : public QObject {
    Q_OBJECT
public:
    // How one file of a run ended.
    enum class Outcome { Done, Failed, Stopped };
    // Told about each file an operation tried, by the name it was given.
    using FileDone = std::function<void(const QString& name, Outcome outcome)>;

    Transfers(AppState& state, Options& options, ModeRules& modeRules, LocalPane& localPane, RemotePane& remotePane,
        StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs, StatusReport& report, QObject* parent = nullptr);
    ~Transfers() override;

    // 0 "更新" (the default: only missing or newer files), 1 "上書" (every selected file).
    int transferRule() const { return m_transferRule; }
    void setTransferRule(int index);
    // The connection watch, paused while an upload runs. May be null.
    void setConnectionWatch(QTimer* timer) { m_connectionWatch = timer; }
    // "Today" of the stamp year rules.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    bool isRunning() const { return m_running; }
    // The server folder the user looks at: where the server is, else the path box's folder.
    QString shownServerFolder();

    // Operations. `type` nullopt: each file in the type the mode rules give its name. The return
    // value is true when the run ended early (Stop, or the connection was lost).

    // The plain files `names` of the server folder `serverFolder` into `localFolder`, each under
    // its own name; a name that is no plain local name is skipped.
    bool downloadFiles(const QStringList& names, const QString& serverFolder, const QString& localFolder,
        std::optional<TransferType> type = {}, const FileDone& done = {});
    // The folder `folder` of `serverFolder` with everything below it into `localFolder`: the walk
    // goes into the FTP tree, and only files newer than their local copies are fetched.
    bool downloadTree(const QString& folder, const QString& serverFolder, const QString& localFolder,
        std::optional<TransferType> type = {});
    // The files `names` of `localFolder` into `serverFolder` (under the upload name case); names
    // whose extension is never sent are passed over. The first refused file ends the files.
    bool uploadFiles(const QStringList& names, const QString& localFolder, const QString& serverFolder,
        std::optional<TransferType> type = {}, const FileDone& done = {});
    // The folders `folders` of `localFolder` with everything below them into `serverFolder`: the
    // walk goes into the local tree, folders are made, and (under "更新") only files newer than
    // the server's copies are sent.
    bool uploadTrees(const QStringList& folders, const QString& localFolder, const QString& serverFolder,
        std::optional<TransferType> type = {});

    // What the user selected ---------------------------------------------------------------------

    // Everything selected in the FTP list into the local pane's folder: files, then folder trees.
    void DownloadSelection();
    // The selected plain files ("leaf" rows) of the FTP list.
    void DownloadFiles();
    // The folder `folder` of the current FTP folder with everything below it (newer files only).
    void DownloadTree(const QString& folder);
    // Everything selected in the local list to the server's current folder: files, then trees.
    void UploadSelection();
    // The selected plain files of the local list.
    void UploadFiles();
    // The selected folders of the local list with everything below them.
    void UploadTree();

    // FTP list row `row` against its local twin: 2 no local copy, 3 local newer, 4 otherwise. The
    // lists' "更新日時" texts ("yyyy-mm-dd hh:mm", or the date alone) are compared as text.
    int CompareWithLocal(int row);
    // Local list row `row` against its FTP twin: 1 none on the server, 3 local newer, 4 otherwise.
    int CompareWithServer(int row);
    // 1 only local, 2 only on the server, 3 local newer, 4 server newer, 5 equal, 0 neither found.
    int CompareTreeStamps(const QString& local, const QString& ftp);
    // "yyyy/mm/dd hh:mm" of a local ("DIR") or server ("FTP") file, "" when not found.
    QString FileStampText(const QString& path, const QString& kind);

    // Single files -------------------------------------------------------------------------------

    // The engine's getFile, through a temporary file and the EUC-JP to Shift-JIS conversion for
    // an ASCII transfer when the option is on. No message on failure.
    bool FtpGetFileConv(
        FtpConnection* connection, const QString& remote, const QString& local, bool failIfExists, TransferType type);
    // The engine's putFile, through the Shift-JIS to EUC-JP conversion for an ASCII transfer when
    // the option is on. A failed transfer is reported by ShowWinInetError (unless suppressed).
    //
    // With Options::replaceThroughTemporary(), a plain file that the run's listing (or, outside a
    // run, a listing of its folder) shows on the server is replaced without ever being half
    // written: the upload goes to FileMover::temporaryName() in the same folder, gets the old file's mode by
    // SITE CHMOD when a LIST gave it, and is renamed over the old file (delete, then rename, on a
    // server that refuses to rename onto an existing name). A failed or stopped upload removes the
    // temporary file and leaves the old one as it was. A server that refuses the temporary file,
    // the mode or the rename is named once in a status line and gets direct uploads for the rest
    // of that connection. New files, folders' names and links are always sent directly.
    bool FtpPutFileConv(FtpConnection* connection, const QString& local, const QString& remote, TransferType type);
    // Stores the text view's contents `text` on the server as `ftpName` (the view's name box).
    void UpdateRemoteFile(const QString& text, const QString& ftpName);

    // The FTP tree panel tells whether it is shown: a folder download ends when the user closes it.
    void setFtpTreeFrameShown(bool shown) { m_ftpTreeFrameShown = shown; }

Q_SIGNALS:
    // True while a run is going (the hourglass pointer).
    void busyChanged(bool busy);
    // The FTP tree panel ("FTPツリー表示") and the local tree panel, shown or hidden by the runs.
    void ftpTreeFrameRequested(bool shown);
    void localTreeFrameRequested(bool shown);

private:
    class RunGuard;
    class RowIndex;

    // One file of a run, and what its end means for the run.
    using Job = TransferPool::Job;
    using Result = FileMover::Result;
    enum class Next { Go, NoMoreFiles, End };
    // The next file to move, nothing when there is none; files passed over are dealt with inside.
    using NextJob = std::function<std::optional<Job>()>;
    using JobEnded = std::function<Next(const Job&, const Result&)>;
    struct RunStyle {
        bool retryOnce = false; // one connection: a failure is tried once more, with its message
        bool failureBox = false; // one connection: a failure shows the engine's message
    };
    // Moves the files `next` gives over the run's connections; `ended` is told each file's end on
    // this thread; `files` is how many `next` may give at most. True when the run was stopped or
    // its connection lost.
    bool moveFiles(const NextJob& next, const JobEnded& ended, RunStyle style, qsizetype files);
    bool moveOneByOne(const NextJob& next, const JobEnded& ended, RunStyle style);
    bool moveInParallel(const NextJob& next, const JobEnded& ended, int extraConnections);
    static Job downloadJob(qsizetype id, const QString& remote, const QString& local, TransferType type, qint64 size,
        const QString& shown);
    Job uploadJob(qsizetype id, const QString& local, const QString& remote, TransferType type, const QString& shown);
    Result moveOnPane(const Job& job);
    FileMover& paneMover(FtpConnection* connection);
    bool stoppedBy(const Result& result) const;
    QString failureNote(const Result& result) const;
    void showConversionError(const Result& result, bool asBox);

    // The operations without the run's frame (guard, status window).
    bool fetchFiles(
        const QStringList& names, const QString& localFolder, std::optional<TransferType> type, const FileDone& done);
    bool fetchTree(const QString& folder, const QString& localFolder, std::optional<TransferType> type);
    bool sendFiles(
        const QStringList& names, const QString& localFolder, std::optional<TransferType> type, const FileDone& done);
    bool sendTrees(const QStringList& folders, const QString& localFolder, std::optional<TransferType> type);

    // The selection procedures' halves: the chosen rows through the update rule, then the
    // operation, with the rows marked as their files end.
    bool downloadSelectedFiles();
    bool uploadSelectedFiles();
    bool uploadSelectedFolders();

    TransferType typeOf(const QString& name, std::optional<TransferType> type);
    void refreshLocalSoon();
    void flushLocalRefresh();
    void stepRun(int addToTotal, int done);
    void addStatus(const QString& text);
    // After a failed file: true, with a status line, when the connection is gone. Every later file
    // would fail the same way (and an upload would ask the user about each), so the run ends.
    bool connectionLost();
    QString uploadKey(const QString& serverPath) const;
    void noteUpload(const QString& serverPath, bool finished);
    bool uploadUnfinished(const QString& serverPath) const;
    bool connectionOpen() const;
    QString stampText(QDateTime time) const;
    QString ftpNodeStamp(const QStandardItem* node) const;
    std::optional<FtpFindData> serverEntry(const QString& ftpPath);
    QString serverFolderKey(const QString& folder) const;
    // A path relative to the server folder of the run, made absolute.
    QString onServer(const QString& path) const;
    void rememberEmptyServerFolder(const QString& folder);
    QString uploadName(const QString& name) const;
    QString uploadCounts(bool withTotal) const;

    // Replacing server files through a temporary name (see FtpPutFileConv).
    struct ListedFile {
        bool plainFile = false;
        QString mode; // "755"; empty when the listing gave no permissions
    };
    // The old file's mode when `remote` is to be replaced through a temporary name; nothing when it
    // is sent directly.
    std::optional<QString> replacedFileMode(FtpConnection* connection, const QString& remote);
    std::optional<QHash<QString, ListedFile>> listedFiles(FtpConnection* connection, const QString& folder);
    // The pane's mover belongs to one connection of the pane: dropped when it connects again.
    void forgetOtherConnections();

    AppState& m_state;
    Options& m_options;
    ModeRules& m_modeRules;
    LocalPane& m_localPane;
    RemotePane& m_remotePane;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    StatusReport& m_report;
    StopCheck m_stop;
    Clock m_clock = systemNow;
    QTimer* m_connectionWatch = nullptr;
    int m_transferRule = 0;
    bool m_running = false;
    bool m_ftpTreeFrameShown = false;

    qint64 m_runDone = 0;
    qint64 m_runTotal = 0;

    // Local pane refreshes coalesced during a run.
    QElapsedTimer m_sinceLocalRefresh;

    // Name -> first row of the two lists, rebuilt when a list changes.
    std::unique_ptr<RowIndex> m_localRows;
    std::unique_ptr<RowIndex> m_ftpRows;

    // The server folders listed during one run: folder -> name -> entry.
    bool m_cacheServerFolders = false;
    static constexpr qsizetype MaxCachedServerFolders = 16;
    QHash<QString, QHash<QString, FtpFindData>> m_serverFolders;
    // The same folders' LIST, for the modes of replaced files; a failed listing is kept as none.
    QHash<QString, std::optional<QHash<QString, ListedFile>>> m_listedModes;
    quint32 m_replaceConnection = 0; // the handle number the pane's mover is about
    std::unique_ptr<FileMover> m_paneMover;
    bool m_heldStop = false; // a Stop held while the mover cleans up
    bool m_lostNoted = false; // the run said its connection was lost
    bool m_replaceNoted = false; // the run showed an extra connection's direct uploads
    QString m_runFolder; // the server folder of the run; empty when unknown
    // Server files whose upload began and did not end: what is there is a piece, newer than the
    // local file, and would be passed over by the next update run.
    QSet<QString> m_unfinishedUploads;
};
