#pragma once

#include "core/app/clock.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftpsession.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class ActivityLog;
class Dialogs;
class FtpConsole;
class Options;
class PaneListModel;
class Profiles;
class QStandardItem;
class QItemSelectionModel;
class QStandardItemModel;
class QTimer;
class StatusLines;
struct AppState;
struct ListingRecord;

// The FTP pane: the one connection of the program (`InternetHandle`, `FtpHandle`) with its
// states, and the server side's path box `folderText`, file list `fileList` and folder tree
// `folderTree`, with the procedures that connect, disconnect, reconnect, report engine errors and
// move between server folders. The widgets only show this state and forward the user's actions.
//
// The engine objects live as long as the pane: a handle of 0 is a closed session or connection,
// never a destroyed one, so a disconnect that arrives from the event loop while an operation runs
// (the exit, a profile menu item) closes the connection without pulling it from under that
// operation. The procedures check after every step that waits whether a disconnect happened
// meanwhile and then end quietly.
//
// The engine keeps the window live through its idle hook (pending events are processed) and ends
// the running operation when the user asks to stop (`StopRequested`). A stop that was pressed
// while nothing ran is dropped when a user's command begins.
class RemotePane : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString folderText READ folderText WRITE setFolderText NOTIFY folderTextChanged)
public:
    RemotePane(AppState& state, ListingRecord& record, Options& options, Profiles& profiles, StatusLines& statusLines,
        ActivityLog& log, Dialogs& dialogs, QObject* parent = nullptr);
    ~RemotePane() override;

    // The main window's connection watch (10 s) and move-up timer (500 ms). Both may be null.
    void setTimers(QTimer* timer1, QTimer* timer4);
    // The clock of the listing's year rule and of the watch's status line.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // The status window's counts during a tree walk (the transfers show them; nothing by default).
    void setShowTransferCounts(std::function<void()> show) { m_showTransferCounts = std::move(show); }
    // The tree panel tells whether it is shown: moving up empties a shown tree.
    void setTreeFrameShown(bool shown) { m_treeFrameShown = shown; }
    // Where accepted server certificates are remembered; the data folder's file unless set.
    void setKnownCertificatesFile(const QString& path) { m_knownCertificatesFile = path; }
    // Where each folder listing leaves its raw text.
    void setConsole(FtpConsole* console) { m_console = console; }

    // The engine objects, or null while the handle is 0.
    FtpSession* InternetHandle() { return m_internetHandle ? &m_session : nullptr; }
    FtpConnection* FtpHandle() { return m_ftpHandle ? &m_connection : nullptr; }
    // How the open connection logged in, for further connections to the same server (a run over
    // several connections). The password is the one typed at the prompt when the profile has
    // none.
    struct Login {
        QString host;
        QString user;
        QString password;
        bool passive = true;
    };
    const Login& login() const { return m_login; }
    // The handle numbers shown in the status lines, 0 when none.
    quint32 internetHandleNumber() const { return m_internetHandle; }
    quint32 ftpHandleNumber() const { return m_ftpHandle; }

    QString folderText() const { return m_folderText; }
    void setFolderText(const QString& text);
    PaneListModel* fileList() const { return m_fileList.get(); }
    QStandardItemModel* folderTree() const { return m_folderTree.get(); }
    // The selections of the list and the tree: the procedures read and change them, the views
    // show them.
    QItemSelectionModel* fileSelection() const { return m_fileSelection.get(); }
    QItemSelectionModel* folderTreeSelection() const { return m_folderTreeSelection.get(); }
    // The host name of the selected profile (`field(1)`), which stands for the root in `folderText`.
    QString hostName() const;

    // Enabled states of the connection's controls.
    bool connectEnabled() const { return m_connectEnabled; }
    // Put, get and disconnect.
    bool connectedCommandsEnabled() const { return m_connectedCommandsEnabled; }
    bool profileChoiceEnabled() const { return m_profileChoiceEnabled; }

    // Session ----------------------------------------------------------------------------------

    void onConnectClicked();
    void onDisconnectClicked();
    // Opens the session and the connection of the selected profile and shows its start folder.
    void ConnectServer();
    // Safe in any state.
    void DisconnectServer();
    // After a lost connection: disconnect, connect, and go back to `folder` (the path box text
    // when the loss was noticed).
    void Reconnect(QString folder);
    // Connect 10 s, control receive 5 s, control send 5 s.
    void SetSessionTimeouts();

    // The message box for the last failed call on the connection (nothing while
    // `SuppressWinInetErrors`).
    void ShowWinInetError();
    void ShowWinInetError(int code, const QString& lastResponse);
    static QString WinInetMessageText(int code);
    QString LastResponseText() const;
    // Shows the Japanese text of a system error code in a message box and returns it.
    QString LastDllErrToErrMsg(int lngLastDllError);
    // The failure report of a folder walk: access denied (5) keeps the connection and sets
    // `AccessDenied`; any other error closes it.
    void ErrorOut(int dError, const QString& szCallFunction);

    // The connection watch (`Timer1`): asks the server for its folder. A connection busy with an
    // operation is alive.
    void onConnectionWatchTick();
    // One tick with the probe's outcome: the indicator steps on, or the watch stops, the status
    // list gets hh:mm:ss + "接続終了" and the connection is made again.
    void watchTick(bool probeSucceeded);

    // Navigation -------------------------------------------------------------------------------

    // The server's current folder, the host name for "/". When it cannot be read, the path box
    // text as it is.
    QString GetCurrentFtpFolder();
    // Changes the server's folder to `path` with the fallbacks of the path rules; `folderText` becomes
    // the path given (the host name for "/"). True when the last attempt succeeded.
    bool ChangeFtpFolder(const QString& path);
    void GoToFtpFolder();
    // Enter in `folderText`: GoToFtpFolder as the user's command.
    void goToTypedFolder();
    void ShowFtpFolder(const QString& path);
    // Lists the trimmed `folderText` again and fills the list (after a folder's content changed).
    void RefreshFtpPanes();
    // Lists the server's current folder into the record. False when nothing could be listed.
    bool ListFtpFolder();
    // Fills `fileList` from the record and updates the status bar panels 2 to 4.
    void FillFtpList();
    void ColourFtpList();

    // The up button `cmdUp`: the move up, with the watch paused, then the colours.
    void onUpClicked();
    void MoveUpFtpFolder();
    bool moveUpFlag() const { return m_moveUpFlag; }
    // The tick of `Timer4`.
    void setMoveUpFlag(bool on) { m_moveUpFlag = on; }

    // A click on the header with this text: sorts by that column's texts, the order flipping with
    // each click (the first sorts ascending). The permission and owner columns do not sort.
    void sortByHeader(const QString& headerText);
    // The last column-click sort, for the header's indicator (-1: the list is in listing order).
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // A double-click on a row of `fileList`: a folder row is opened as the current folder and
    // the list coloured. False for a file row or when the folder could not be entered.
    bool openFtpFolderRow(int row);

    // Walks the server's folders under the folder `folderName` of `parentFolder` (a server path,
    // or the path box's text with the host name for the root) into `folderTree` (emptied first
    // when `clearTree`), parents before children. False when the user stopped it; the nodes added
    // so far stay. A link to a folder, and a folder the server's unique fact shows to be the start
    // folder, one of its ancestors or one reached before, stays a folder node without children:
    // links back up ("www -> .") would otherwise repeat the site at every level.
    bool ExpandFtpTree(bool clearTree, const QString& folderName, const QString& parentFolder);
    // The same below the folder the path box shows.
    bool ExpandFtpTree(bool clearTree, const QString& folderName)
    {
        return ExpandFtpTree(clearTree, folderName, m_folderText);
    }
    // The same walk a folder at a time, so a run can fetch the files of the folders listed so far
    // while the walk goes on: each step lists one folder and returns its node (children added),
    // or null at the end, also when the user stopped it (ftpTreeWalkStopped).
    struct FtpTreeWalk;
    std::shared_ptr<FtpTreeWalk> beginFtpTreeWalk(
        bool clearTree, const QString& folderName, const QString& parentFolder);
    QStandardItem* stepFtpTreeWalk(FtpTreeWalk& walk);
    static bool ftpTreeWalkStopped(const FtpTreeWalk& walk);
    // Ends a walk before its last folder.
    void endFtpTreeWalk(FtpTreeWalk& walk);
    // The keys of the tree's nodes in the order they were added.
    QStringList treeNodeKeys() const;
    // A click on a node: a walked folder ("open") becomes the current folder and is listed.
    void onFolderTreeNodeClicked(QStandardItem* node);

Q_SIGNALS:
    void folderTextChanged(const QString& text);
    // The enabled states of connect, disconnect, put, get and `profileNameModel` changed.
    void controlsChanged();
    // The connection indicator: show one picture, or move on one step.
    void pictureRequested(int index);
    void pictureStepRequested();
    // True while the hourglass pointer is shown.
    void busyChanged(bool busy);
    // Status bar panels 2 to 4 after a fill, and panel 1 after a move up.
    void statusPanelsChanged(const QString& folders, const QString& files, const QString& size);
    void firstStatusPanelChanged(const QString& text);
    // The status window's title (`caption`) and its text box (`currentFile`) during a tree walk.
    void statusTitleChanged(const QString& title);
    void statusTextChanged(const QString& text);
    void sortIndicatorChanged(int column, Qt::SortOrder order);

private:
    class BusyPointer;
    class WatchPause;

    // A command of the user's that arrives (from the event loop) while another one waits for the
    // server is dropped: both would work on the one connection.
    bool commandRunning() const { return m_busyDepth > 0; }
    // The steps of ConnectServer.
    bool openSession();
    void applySessionDefaults();
    // False when the login failed (the user was told) or the connection went meanwhile.
    bool logIn(quint64 generation);
    void showStartFolder(quint64 generation);
    // The up button's command without that check (the connect runs it).
    void moveUpCommand();
    void setControls(bool connected);
    void setProfileChoiceEnabled(bool enabled);
    // Drops a stop that was pressed while nothing ran.
    void beginUserCommand();
    // After a failed operation: a stop that ended it has been honoured.
    void clearHonouredStop();
    bool trySetFolder(const QString& folder);
    bool disconnectedSince(quint64 generation) const { return m_generation != generation; }
    QString certificateQuestion(const FtpSession::CertificateInfo& info) const;
    QString changedCertificateWarning(const FtpSession::CertificateInfo& info) const;

    AppState& m_state;
    ListingRecord& m_record;
    Options& m_options;
    Profiles& m_profiles;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    Clock m_clock = systemNow;
    std::function<void()> m_showTransferCounts;
    QString m_knownCertificatesFile;

    FtpSession m_session;
    FtpConnection m_connection;
    Login m_login;
    quint32 m_internetHandle = 0;
    quint32 m_ftpHandle = 0;
    quint32 m_lastHandle = 0;
    // Counts disconnects, so a procedure that waited can tell the connection went meanwhile.
    quint64 m_generation = 0;
    bool m_connecting = false;
    bool m_probing = false;
    bool m_startLogged = false;

    QString m_folderText;
    std::unique_ptr<PaneListModel> m_fileList;
    FtpConsole* m_console = nullptr;
    std::unique_ptr<QStandardItemModel> m_folderTree;
    std::unique_ptr<QItemSelectionModel> m_fileSelection;
    std::unique_ptr<QItemSelectionModel> m_folderTreeSelection;
    bool m_treeFrameShown = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder; // flipped before each sort

    bool m_connectEnabled = true;
    bool m_connectedCommandsEnabled = false;
    bool m_profileChoiceEnabled = true;

    QTimer* m_connectionWatch = nullptr;
    QTimer* m_moveUpTimer = nullptr;
    bool m_moveUpFlag = false;
    bool m_moveUpBusy = false;
    bool m_upWrapperBusy = false;
    int m_busyDepth = 0;
};
