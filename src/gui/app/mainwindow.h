#pragma once

#include "core/app/appstate.h"

#include <QMainWindow>
#include <QMap>
#include <QSet>
#include <memory>

class ActivityLog;
class CompanionLink;
class ConnectionIndicator;
class ConsolePanel;
class Deletes;
class Folders;
class FrmCaution;
class FrmPic;
class FtpPane;
class Dialogs;
class ListRenamer;
class LocalPane;
class LocalPaneWidget;
class LocalTreePanel;
class LogPanel;
class ModePanel;
class ModeRules;
class MovablePanel;
class Options;
class OtherSettingsPanel;
class PermissionPanel;
class Permissions;
class PaneCommands;
class PaneListModel;
class PaneKeys;
class PaneMouse;
class Profiles;
class ProxyPanel;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStandardItemModel;
class QStringListModel;
class QTimer;
class QToolBar;
class QTreeView;
class QtDialogs;
class RemotePane;
class ServerPanel;
class SettingsLines;
class StatusLines;
class StatusReport;
class Transfers;
struct CommandLineRequest;
struct ListingRecord;

// The main window `FtpTarvo`: the local PC and the server side by side, the menus and the
// toolbar, the status list, and the movable panels. It owns the form-level state and the core
// objects every procedure works on; the widgets show them and forward the user's actions.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up, in the order the program has always done it. Shows the window, except for the
    // command line "<message invisible>".
    void Form_Load(const QString& commandLine);
    // Exit: disconnects, removes the temporary files of the data folder. Runs once; every
    // failure is ignored so that each step runs.
    void Form_Unload();
    bool isUnloaded() const { return m_unloaded; }

    void AddStatusLine(const QString& text);

    // The companion editor link (mainwindowmessages.cpp): the command channel's hook and
    // interpreter, the replies, and the editor channel.
    CompanionLink& companionLink() { return *m_companionLink; }
    void HookMessages();
    void UnhookMessages();
    void TimerMessage_Timer();
    void SendToCompanion(const QString& text);
    // Fetches the FTP file `name` of the current folder into the temporary copy "$temp$." +
    // extension, shows it and, for a text while the editor is linked, sends it to the editor.
    void ViewServerFile(const QString& name);

    // The initial command state: file-operation items 4, 6, 8 and the toolbar buttons "open",
    // "cut", "copy" enabled; items 9, 13, 15, 16, 17, 19 and their buttons disabled.
    void setInitialCommandState();

    // The connection watch (`Timer1`), every 10 s while connected.
    void onConnectionWatchTick();
    // One tick of the watch with the probe's outcome: the indicator steps on, or the watch stops,
    // the status list gets "接続終了" and the connection is made again.
    void watchTick(bool probeSucceeded);
    ConnectionIndicator& connectionIndicator() { return *m_picture1; }

    // The settings menu's items from index 5 on: selects the profile named after the ":".
    void m2_Click(int index);

    AppState& state() { return m_state; }
    StatusLines& statusLines() { return *m_statusLines; }
    // The status window's state (`Frame27`), shared by transfers, deletes and tree walks.
    StatusReport& statusReport() { return *m_statusReport; }
    SettingsLines& settingsLines() { return *m_settingsLines; }
    Options& options() { return *m_options; }
    Profiles& profiles() { return *m_profiles; }
    ModeRules& modeRules() { return *m_modeRules; }
    ActivityLog& activityLog() { return *m_activityLog; }
    ListingRecord& listingRecord() { return *m_listingRecord; }
    LocalPane& localPane() { return *m_localPane; }
    // The FTP pane: the connection, `folderText`, `fileList` and `folderTree`.
    RemotePane& remotePane() { return *m_remotePane; }
    QtDialogs& dialogs() { return *m_dialogs; }
    // Downloads and uploads (`cmdGet`, `cmdPut`, `transferRule`, the status window).
    Transfers& transfers() { return *m_transfers; }
    // Deleting, making folders and changing permissions on both sides.
    Deletes& deletes() { return *m_deletes; }
    Folders& folders() { return *m_folders; }
    Permissions& permissions() { return *m_permissions; }
    // The pane commands: active pane, menu states, clipboard, drag and drop, rename
    // (mainwindowcommands.cpp).
    PaneCommands& paneCommands() { return *m_paneCommands; }
    PaneMouse& paneMouse() { return *m_paneMouse; }
    // The viewer frame `FrmPic`.
    FrmPic& frmPic() { return *m_frmPic; }
    // The file-operation menu and the toolbar act on `ActivePane`; the edit menu on the control
    // with the focus.
    void M1_Click(int index);
    void mh_Click(int index);
    void Toolbar1_ButtonClick(const QString& key);
    // A double-click on a file row of `fileList`: a program with the user's execute bit is run
    // after a question, any other file is opened.
    void ListView2_DblClick(int row);
    // Opens a file of the local pane's folder: pictures and text in `FrmPic`, PDF by the desktop.
    void OpenLocalFile(const QString& name);
    FrmCaution* frmCaution() const { return m_frmCaution; }
    PermissionPanel* frame17() const { return m_frame17; }
    // Menu item 6: the delete of the pane in `ActivePane` (1 FTP tree, 2 FTP list, 3 local tree,
    // 4 local list); nothing for any other value.
    void deleteInActivePane();
    // Menu item 4: a server folder when `ActivePane` is 2, else a local folder.
    void makeFolderInActivePane();
    // The questions seam as the procedures see it.
    Dialogs& askUser();

    // Menu items by their array index (nullptr when there is none).
    QAction* m2(int index) const { return m_m2.value(index); }
    QAction* M1(int index) const { return m_M1.value(index); }
    QAction* mh(int index) const { return m_mh.value(index); }
    QAction* toolbarButton(const QString& key) const { return m_toolbarButtons.value(key); }
    QMenu* fileMenu() const { return m_Mm1; }

    // Every movable panel of the window.
    QList<MovablePanel*> panels() const;

    // Lines of link.txt (`List7`), for the link checker.
    QStringListModel& List7() { return *m_list7; }
    // The move-up flag of the FTP pane, set by `Timer4`.
    bool moveUpFlag() const;
    void setMoveUpFlag(bool on);

    // The window's first width (12735 twips).
    static constexpr int InitialWidth = 849;
    static constexpr int InitialHeight = 640;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createToolbar();
    void createCentralArea();
    QWidget* createFtpSide();
    void createPanels();
    void createStatusBar();
    void createTimers();
    void createMessages();
    void connectCore();
    void connectRemotePane();
    // The transfers' buttons, options, panels and status (mainwindowtransfers.cpp).
    void connectTransfers();
    void placeStatusWindow();
    void showReportPanels();
    void showTreeFrame(MovablePanel* frame, bool shown);
    // Deletes, folders and permissions with their panels (mainwindowmanage.cpp).
    void createManage();
    // The pane commands with the menus, the toolbar, the mouse and the viewer
    // (mainwindowcommands.cpp).
    void createCommands();
    void applyMenuState();

    void openPanel(MovablePanel* panel);
    // Gives a hidden panel its first place and size.
    void placePanel(MovablePanel* panel);
    void placeDockedTrees();
    void dockTree(MovablePanel* panel);

    // Start-up steps.
    void selectLastProfile();
    // The profile menu items from index 5 on, rebuilt whenever profileNameModel changes.
    void addProfileMenuItems();
    QString welcomeLine() const;
    void loadLinkList();
    // False when start-up ends with the command line (the initial command state is skipped).
    bool runCommandLine(const CommandLineRequest& request);
    void openCommandLinePath(const CommandLineRequest& request);

    // Selects a profile in `profileNameModel`, as a click on its name does.
    void selectProfile(int row);

    void removeTemporaryFiles();
    void mcom_Click();

    // Form-level state and the core, created before the widgets and destroyed after them.
    AppState m_state;
    std::unique_ptr<QtDialogs> m_dialogs;
    std::unique_ptr<StatusLines> m_statusLines;
    std::unique_ptr<StatusReport> m_statusReport;
    std::unique_ptr<SettingsLines> m_settingsLines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<Profiles> m_profiles;
    std::unique_ptr<ModeRules> m_modeRules;
    std::unique_ptr<ActivityLog> m_activityLog;
    std::unique_ptr<ListingRecord> m_listingRecord;
    std::unique_ptr<LocalPane> m_localPane;
    std::unique_ptr<QStringListModel> m_list7;
    std::unique_ptr<RemotePane> m_remotePane;
    std::unique_ptr<Transfers> m_transfers;
    std::unique_ptr<Deletes> m_deletes;
    std::unique_ptr<Folders> m_folders;
    std::unique_ptr<Permissions> m_permissions;
    std::unique_ptr<PaneCommands> m_paneCommands;
    PaneMouse* m_paneMouse = nullptr;
    PaneKeys* m_paneKeys = nullptr;
    ListRenamer* m_renamer = nullptr;
    FrmPic* m_frmPic = nullptr;

    // Menus.
    QMenu* m_mm2 = nullptr;
    QMenu* m_mhen = nullptr;
    QMenu* m_Mm1 = nullptr;
    QMenu* m_Mrog = nullptr;
    QMenu* m_Mftp = nullptr;
    QMenu* m_mhelpm = nullptr;
    QAction* m_mmessage = nullptr;
    QMap<int, QAction*> m_m2;
    QMap<int, QAction*> m_M1;
    QMap<int, QAction*> m_mh;
    QMap<QString, QAction*> m_toolbarButtons;
    QToolBar* m_toolbar1 = nullptr;

    // The central area and both panes.
    QWidget* m_central = nullptr;
    QSplitter* m_mainSplitter = nullptr;
    QSplitter* m_paneSplitter = nullptr;
    QSplitter* m_localSplitter = nullptr;
    QSplitter* m_ftpSplitter = nullptr;
    QWidget* m_localTreeArea = nullptr;
    QWidget* m_ftpTreeArea = nullptr;
    LocalPaneWidget* m_localPaneWidget = nullptr;
    // A second view of the profile names (`profileNameModel` proper is on the server settings panel), for
    // choosing the server beside the connect button.
    QComboBox* m_list1Combo = nullptr;
    QPushButton* m_cmdConnect = nullptr;
    QPushButton* m_cmdDisconnect = nullptr;
    QPushButton* m_cmdGet = nullptr;
    QPushButton* m_cmdPut = nullptr;
    QRadioButton* m_transferRule[2] = {};
    ConnectionIndicator* m_picture1 = nullptr;
    FtpPane* m_ftpPane = nullptr;
    QLineEdit* m_folderText = nullptr;
    QTreeView* m_fileList = nullptr;
    QListView* m_lstStates = nullptr;
    QLabel* m_statusPanels[4] = {};
    // The report's panel texts last shown, and the timer that coalesces its changes.
    QString m_reportPanels[3];
    QTimer* m_reportPanelTimer = nullptr;
    // A run asked for the local tree: the status window goes under it.
    bool m_statusUnderLocalTree = false;
    // Tree panels that were closed when a transfer brought them up.
    QSet<const MovablePanel*> m_treesHiddenBeforeTransfer;

    // Panels.
    LocalTreePanel* m_frame3 = nullptr;
    MovablePanel* m_frame20 = nullptr;
    QTreeView* m_folderTree = nullptr;
    MovablePanel* m_frame27 = nullptr;
    ServerPanel* m_frame1 = nullptr;
    ModePanel* m_frame4 = nullptr;
    ProxyPanel* m_frame7 = nullptr;
    OtherSettingsPanel* m_frame19 = nullptr;
    ConsolePanel* m_frame16 = nullptr;
    LogPanel* m_frame14 = nullptr;
    FrmCaution* m_frmCaution = nullptr;
    PermissionPanel* m_frame17 = nullptr;
    // Tree panels that sit in their pane's tree area (not dragged away).
    bool m_frame3Docked = true;
    bool m_frame20Docked = true;

    QTimer* m_connectionWatch = nullptr;
    QTimer* m_timer2 = nullptr;
    QTimer* m_timer3 = nullptr;
    QTimer* m_moveUpTimer = nullptr;
    QTimer* m_timerMessage = nullptr;
    CompanionLink* m_companionLink = nullptr;

    bool m_unloaded = false;
};
