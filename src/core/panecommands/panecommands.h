#pragma once

#include "core/panecommands/menustate.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ActivityLog;
class Dialogs;
class LocalPane;
class ModeRules;
class QTimer;
class RemotePane;
class StatusLines;
class Transfers;
struct AppState;

// The commands of the four panes: which pane is active and what the menu offers after each
// click, copy and paste in both lists, drag and drop between and within the lists, and renaming.
//   onLocalTreeClicked, onFtpTreeClicked, onFtpListClicked(row), onLocalListClicked(row)  clicks
//   copy(focused), paste(focused)            menu items 8 and 9; `focused` names the list with the
//                                            focus ("listview1", "listview2" or anything else)
//   CopyRemoteToTemp, PasteTempToServer, MoveTempToServer   server files through the temp folder
//   fillLocalClipboard, pasteLocal, CopyLocalFolder         local copies
//   dropOnFtpList(row), dropOnLocalList(row) the drop handlers; `DragSource` names the list the
//                                            drag came from; row -1 is empty space
//   renameFtpEntry, renameLocalEntry         the end of a label edit
// Server folders are never copied or moved; a server file moved by a drag is deleted only after
// its copy arrived under another path. Runs on the user-interface thread.
class PaneCommands : public QObject {
    Q_OBJECT
public:
    PaneCommands(AppState& state, LocalPane& localPane, RemotePane& remotePane, ModeRules& modeRules,
        Transfers& transfers, ActivityLog& log, StatusLines& statusLines, Dialogs& dialogs, QObject* parent = nullptr);
    ~PaneCommands() override;

    MenuState& menuState() { return m_menu; }
    // The connection watch, paused while a rename waits for the server. May be null.
    void setConnectionWatch(QTimer* timer) { m_connectionWatch = timer; }
    // The temp folder of server copies; the data folder's "temp" unless set.
    void setTempFolder(const QString& folder) { m_tempFolder = folder; }
    QString tempFolder() const;

    // Clipboard and drag state. The arrays hold the used slots only.
    QString ClipboardSource; // "listview1", "listview2" or empty
    QString DragSource; // "fileList", "fileList" or empty
    QString RenameOldName;
    QStringList LocalClipboard; // full local paths
    QStringList TempCopies; // local copies of server files
    QStringList TempCopySources; // the server path each copy came from

    // Clicks -------------------------------------------------------------------------------------
    void onLocalTreeClicked();
    void onFtpTreeClicked();
    // `row` is the row under the mouse, -1 for empty space.
    void onFtpListClicked(int row);
    void onLocalListClicked(int row);

    QString FirstSelectedRemoteName() const;
    QString FirstSelectedLocalName() const;

    // Copy and paste ------------------------------------------------------------------------------
    void copy(const QString& focused);
    void paste(const QString& focused);
    bool CopyRemoteToTemp();
    void PasteTempToServer();
    // The selected rows of the local list as full paths.
    void fillLocalClipboard();
    // Copies every path of `LocalClipboard` into the local pane's folder: files over files of the
    // same name, folders under a free name.
    void pasteLocal();
    bool CopyLocalFolder(const QString& source, const QString& destination);
    void MoveTempToServer();

    // Drag and drop -------------------------------------------------------------------------------
    void dropOnFtpList(int targetRow);
    void dropOnLocalList(int targetRow);

    // Rename ----------------------------------------------------------------------------------------
    // A label edit of an FTP row began.
    void beginFtpRename(int row);
    // The server's answer decides; a refusal is shown in a status line. False when nothing was
    // renamed (the row should show the old name again).
    bool renameFtpEntry(const QString& oldName, const QString& newName);
    // Asks before replacing an existing file. False when nothing was renamed.
    bool renameLocalEntry(const QString& oldName, const QString& newName);

    // The server's current folder as a path from the root ("/" when it cannot be read from the
    // server: the path box text stands for it then).
    QString currentServerFolder();

    static QString folderCopyRefusal();
    static QString notConnectedText() { return QStringLiteral("サーバーに接続されていません"); }

Q_SIGNALS:
    // The first status bar panel.
    void firstStatusPanelRequested(const QString& text);
    // True while the hourglass pointer is shown.
    void busyChanged(bool busy);

private:
    // Refused names are told in a status line; a cancelled rename says nothing.
    bool renameAllowed(const QString& oldName, const QString& newName);
    class Busy;

    void relistLocal();
    bool ftpRowIsFile(int row) const;
    void selectFtpRow(int row);
    void moveLocalSelectionInto(int targetRow);

    AppState& m_state;
    LocalPane& m_localPane;
    RemotePane& m_remotePane;
    ModeRules& m_modeRules;
    Transfers& m_transfers;
    ActivityLog& m_log;
    StatusLines& m_statusLines;
    Dialogs& m_dialogs;
    MenuState m_menu;
    QTimer* m_connectionWatch = nullptr;
    QString m_tempFolder;
};
