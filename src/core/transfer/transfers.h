#pragma once

#include "core/app/clock.h"
#include "core/ftp/ftpconnection.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
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
struct ListingRecord;

// Downloads and uploads between the two panes: the selected files of a list, whole folder
// trees, and the single-file get and put every other part of the program goes through
// (FtpGetFileConv, FtpPutFileConv) with the optional EUC-JP / Shift-JIS conversion of ASCII
// transfers. Runs on the user-interface thread; the engine keeps the window live and honours
// Stop inside a file, the loops honour it between files. One run at a time: a second start while
// one runs, or a start without a connection, is refused with a status line. A run sends and
// fetches relative names from the server folder it began in, and compares the time stamps of a
// folder pass with one listing per server folder (the tree walk's, or one per folder and run).
// Tested in tests/core/transfer/tst_transfers*.cpp.
class Transfers : public QObject {
    Q_OBJECT
public:
    Transfers(AppState& state, ListingRecord& record, Options& options, ModeRules& modeRules, LocalPane& localPane,
        RemotePane& remotePane, StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs, StatusReport& report,
        QObject* parent = nullptr);
    ~Transfers() override;

    // `transferRule`: 0 "更新" (the default: only missing or newer files), 1 "上書" (every selected file).
    int transferRule() const { return m_transferRule; }
    void setTransferRule(int index);
    // The connection watch, paused while an upload runs. May be null.
    void setConnectionWatch(QTimer* timer) { m_connectionWatch = timer; }
    // "Today" of the stamp year rules.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Download -----------------------------------------------------------------------------------

    // Everything selected in the FTP list into the local pane's folder: files, then folder trees.
    void DownloadSelection();
    // The selected plain files ("leaf" rows) of the FTP list.
    void DownloadFiles();
    // The folder `folder` of the current FTP folder with everything below it (newer files only).
    void DownloadTree(const QString& folder);
    // FTP list row `row` against its local twin: 2 no local copy, 3 local newer, 4 otherwise. The
    // lists' "更新日時" texts ("yyyy-mm-dd hh:mm", or the date alone) are compared as text.
    int CompareWithLocal(int row);
    // "yyyy/mm/dd hh:mm" of a local ("DIR") or server ("FTP") file, "" when not found.
    QString FileStampText(const QString& path, const QString& kind);
    // The single-file get: the engine's getFile, through a temporary file and the EUC-JP to
    // Shift-JIS conversion when `flags` is 1 (ASCII) and codeConversion(1) is on. No message on failure.
    bool FtpGetFileConv(FtpConnection* connection, const QString& remote, const QString& local, bool failIfExists,
        int attributes, int flags, int context);

    // Upload -------------------------------------------------------------------------------------

    // Everything selected in the local list to the server's current folder: files, then trees.
    void UploadSelection();
    // The selected plain files of the local list.
    void UploadFiles();
    // The selected folders of the local list with everything below them.
    void UploadTree();
    // Local list row `row` against its FTP twin: 1 none on the server, 3 local newer, 4 otherwise.
    int CompareWithServer(int row);
    // 1 only local, 2 only on the server, 3 local newer, 4 server newer, 5 equal, 0 neither found.
    int CompareTreeStamps(const QString& local, const QString& ftp);
    // The single-file put, through the Shift-JIS to EUC-JP conversion when `flags` is 1 (ASCII)
    // and codeConversion(0) is on. A failed transfer is reported by ShowWinInetError (unless suppressed).
    bool FtpPutFileConv(FtpConnection* connection, const QString& local, const QString& remote, int flags, int context);
    // Stores the text view's contents `text` on the server as `ftpName` (the view's name box).
    void UpdateRemoteFile(const QString& text, const QString& ftpName);

    bool isRunning() const { return m_running; }

Q_SIGNALS:
    // True while a run is going (the hourglass pointer).
    void busyChanged(bool busy);
    // The FTP tree panel ("FTPツリー表示") and the local tree panel, shown or hidden by the runs.
    void ftpTreeFrameRequested(bool shown);
    void localTreeFrameRequested(bool shown);

public:
    // The FTP tree panel tells whether it is shown: a folder download ends when the user closes it.
    void setFtpTreeFrameShown(bool shown) { m_ftpTreeFrameShown = shown; }

private:
    class RunGuard;
    class RowIndex;

    // The passes without the run's frame (status window, guard, refresh at the end). True when
    // the user stopped the run.
    bool downloadFilesPass();
    bool downloadTreePass(const QString& folder);
    bool uploadFilesPass();
    bool uploadTreePass();

    bool yieldAndCheckStop();
    bool cancelled() const;
    void refreshLocalSoon();
    void flushLocalRefresh();
    void stepRun(int addToTotal, int done);
    void writeLog(const QString& openTag, const QString& details, const QString& closeTag);
    void addStatus(const QString& text);
    QString failureNote() const;
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
    // A path relative to the server folder the run began in, made absolute.
    QString onServer(const QString& path) const;
    void rememberEmptyServerFolder(const QString& folder);
    QString uploadName(const QString& name) const;
    QString uploadCounts(bool withTotal) const;

    AppState& m_state;
    ListingRecord& m_record;
    Options& m_options;
    ModeRules& m_modeRules;
    LocalPane& m_localPane;
    RemotePane& m_remotePane;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    StatusReport& m_report;
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
    QHash<QString, QHash<QString, FtpFindData>> m_serverFolders;
    QString m_runFolder; // the server's folder when the run began; empty when unknown
    // Server files whose upload began and did not end: what is there is a piece, newer than the
    // local file, and would be passed over by the next update run.
    QSet<QString> m_unfinishedUploads;
};
