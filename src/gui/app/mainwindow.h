#pragma once

#include <QMainWindow>
#include <QMap>
#include <QSet>
#include <memory>

class ConnectionIndicator;
class ConsolePanel;
class FolderWindow;
class LinkExclusionPanel;
class LinkReportPanel;
class PicturePanel;
class SchedulePanel;
class DeleteConfirmation;
class Dialogs;
class FtpPane;
class ListRenamer;
class LocalPaneWidget;
class LocalTreePanel;
class LogPanel;
class MessagePanel;
class ModePanel;
class MovablePanel;
class OtherSettingsPanel;
class PaneKeys;
class PaneMouse;
class PermissionPanel;
class ProxyPanel;
class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeView;
class QtDialogs;
class ServerPanel;
class ViewerPanel;
class Workspace;
struct CommandLineRequest;

// The main window `FtpTarvo`: the local PC and the server side by side, the menus and the
// toolbar, the status list, and the movable panels. It is built on the workspace, which holds
// the state and does the work: the window makes the widgets, shows the workspace's models and
// passes the user's actions and selections on.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Workspace& workspace() { return *m_workspace; }
    // The questions seam; tests answer through setOverride.
    QtDialogs& dialogs() { return *m_dialogs; }

    // Start-up: the workspace's steps, then what the command line asks for. Shows the window,
    // except for "<message invisible>".
    void Form_Load(const QString& commandLine);
    // Exit: the workspace's exit steps. Runs once.
    void Form_Unload();
    bool isUnloaded() const;

    // The file-operation menu and the toolbar act on `ActivePane`; the edit menu on the control
    // with the focus.
    void onFileMenuItem(int index);
    void onEditMenuItem(int index);
    void onToolbarButton(const QString& key);
    // The settings menu's items from index 5 on: connects to the profile named after the ":".
    void onProfileMenuItem(int index);
    // A double-click on a file row of the local list: a program with the user's execute bit is
    // run after a question, any other file is opened.
    void onLocalFileDoubleClicked(int row);
    // Opens a file of the local pane's folder: pictures and text in the viewer, PDF by the desktop.
    void OpenLocalFile(const QString& name);

    // Menu items by their array index (nullptr when there is none).
    QAction* settingsMenuItem(int index) const { return m_settingsItems.value(index); }
    QAction* fileMenuItem(int index) const { return m_fileItems.value(index); }
    QAction* editMenuItem(int index) const { return m_editItems.value(index); }
    QAction* toolbarButton(const QString& key) const { return m_toolbarButtons.value(key); }
    QMenu* fileMenu() const { return m_fileMenu; }

    ConnectionIndicator& connectionIndicator() { return *m_connectionIndicator; }
    PaneMouse& paneMouse() { return *m_paneMouse; }
    ViewerPanel& viewer() { return *m_viewer; }
    DeleteConfirmation* deleteConfirmation() const { return m_deleteConfirmation; }
    PermissionPanel* permissionPanel() const { return m_permissionPanel; }
    // Every movable panel of the window.
    QList<MovablePanel*> panels() const;

    // The window's first size.
    static constexpr int InitialWidth = 849;
    static constexpr int InitialHeight = 640;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction (mainwindow.cpp).
    void createMenus();
    void createToolbar();
    void createCentralArea();
    QWidget* createLocalSide();
    QWidget* createTransferButtons();
    QWidget* createFtpSide();
    QListView* createStatusList();
    void createPanels();
    void createStatusBar();
    void connectWorkspace();
    void connectRemotePane();
    void rebuildProfileMenu();
    void setInitialCommandState();
    void applyMenuState();

    // Commands, the viewer and the companion's link (mainwindowcommands.cpp).
    void createCommands();
    void createViewer();
    void connectCompanion();
    void showServerText(const QString& name, const QString& text);
    void offerBrowser(const QString& path);
    void connectSiteTools();
    void showPictures();
    void openSchedule();
    void showServerPicture(const QString& name, const QString& path);

    // Transfers, deletes and permissions: the status window and the tree panels they bring up
    // (mainwindowtransfers.cpp).
    void createTransferRule();
    void connectRuns();
    void placeStatusWindow();
    void showReportPanels();
    void showTreeFrame(MovablePanel* frame, bool shown);
    void placePermissionPanel();

    // Start-up (mainwindowstartup.cpp). False when start-up ends with the command line.
    bool runCommandLine(const CommandLineRequest& request);

    void openPanel(MovablePanel* panel);
    // Gives a hidden panel its first place and size.
    void placePanel(MovablePanel* panel);
    void placeDockedTrees();
    void dockTree(MovablePanel* panel);
    void setBusy(bool busy);
    // The questions seam as the core sees it.
    Dialogs& askUser();

    // The questions seam and the workspace, made before the widgets and destroyed after them.
    std::unique_ptr<QtDialogs> m_dialogs;
    std::unique_ptr<Workspace> m_workspace;
    int m_busyDepth = 0;

    // Menus and the toolbar.
    QMenu* m_settingsMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_showMessages = nullptr;
    QMap<int, QAction*> m_settingsItems;
    QMap<int, QAction*> m_fileItems;
    QMap<int, QAction*> m_editItems;
    QMap<QString, QAction*> m_toolbarButtons;

    // The central area and both panes.
    QWidget* m_central = nullptr;
    QWidget* m_localTreeArea = nullptr;
    QWidget* m_ftpTreeArea = nullptr;
    LocalPaneWidget* m_localPaneWidget = nullptr;
    FtpPane* m_ftpPane = nullptr;
    // The profile names beside the connect button (the server settings panel has its own list).
    QComboBox* m_profileCombo = nullptr;
    QPushButton* m_connectButton = nullptr;
    QPushButton* m_disconnectButton = nullptr;
    QPushButton* m_downloadButton = nullptr;
    QPushButton* m_uploadButton = nullptr;
    ConnectionIndicator* m_connectionIndicator = nullptr;
    QLabel* m_statusPanels[4] = {};
    // The report's panel texts last shown, and the timer that coalesces its changes.
    QString m_reportPanels[3];
    QTimer* m_reportPanelTimer = nullptr;
    // A run asked for the local tree: the status window goes under it.
    bool m_statusUnderLocalTree = false;
    // Tree panels that were closed when a run brought them up.
    QSet<const MovablePanel*> m_treesHiddenBeforeRun;
    // Tree panels the user dragged out of their pane's tree area.
    QSet<const MovablePanel*> m_undockedTrees;

    // Panels.
    LocalTreePanel* m_localTreePanel = nullptr;
    MovablePanel* m_ftpTreePanel = nullptr;
    QTreeView* m_ftpTreeView = nullptr;
    MovablePanel* m_statusWindow = nullptr;
    ServerPanel* m_serverPanel = nullptr;
    ModePanel* m_modePanel = nullptr;
    ProxyPanel* m_proxyPanel = nullptr;
    OtherSettingsPanel* m_otherSettingsPanel = nullptr;
    ConsolePanel* m_consolePanel = nullptr;
    LogPanel* m_logPanel = nullptr;
    LinkReportPanel* m_linkReport = nullptr;
    LinkExclusionPanel* m_linkExclusions = nullptr;
    PicturePanel* m_pictures = nullptr;
    SchedulePanel* m_schedulePanel = nullptr;
    FolderWindow* m_folderWindow = nullptr;
    MessagePanel* m_messagePanel = nullptr;
    DeleteConfirmation* m_deleteConfirmation = nullptr;
    PermissionPanel* m_permissionPanel = nullptr;
    ViewerPanel* m_viewer = nullptr;
    QPushButton* m_takeEditorChanges = nullptr;
    // `Command34` "IE": the page shown in the viewer, in the desktop's browser.
    QPushButton* m_openInBrowser = nullptr;
    QString m_shownPagePath;

    PaneMouse* m_paneMouse = nullptr;
    PaneKeys* m_paneKeys = nullptr;
    ListRenamer* m_renamer = nullptr;
};
