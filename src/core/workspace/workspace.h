#pragma once

#include "core/app/appstate.h"
#include "core/app/clock.h"
#include "core/app/commandline.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class ActivityLog;
class CompanionLink;
class Deletes;
class Dialogs;
class Folders;
class LocalPane;
class ModeRules;
class Options;
class PaneCommands;
class Permissions;
class FtpConsole;
class LinkChecker;
class LinkExclusions;
struct CleanupResult;
struct PictureSource;
class Profiles;
class QStringListModel;
class RemotePane;
class SettingsLines;
class StatusLines;
class StatusReport;
class Transfers;
struct ListingRecord;

// The application without its window: the shared state and every core object, wired together,
// with the start-up and exit steps and the operations that work on both panes. The window is
// built on it and only shows what it holds; tests build it alone.
//
// Everything runs on the user-interface thread. `dialogs` answers every question the core asks
// and must outlive the workspace.
class Workspace : public QObject {
    Q_OBJECT
public:
    explicit Workspace(Dialogs& dialogs, QObject* parent = nullptr);
    ~Workspace() override;

    AppState& state() { return m_state; }
    Dialogs& dialogs() { return m_dialogs; }
    StatusLines& statusLines() { return *m_statusLines; }
    // The status window's state, shared by transfers, deletes and tree walks.
    StatusReport& statusReport() { return *m_statusReport; }
    SettingsLines& settingsLines() { return *m_settingsLines; }
    Options& options() { return *m_options; }
    Profiles& profiles() { return *m_profiles; }
    ModeRules& modeRules() { return *m_modeRules; }
    ActivityLog& activityLog() { return *m_activityLog; }
    ListingRecord& listingRecord() { return *m_listingRecord; }
    LocalPane& localPane() { return *m_localPane; }
    // The FTP pane: the connection, the path box, the file list and the folder tree.
    RemotePane& remotePane() { return *m_remotePane; }
    Transfers& transfers() { return *m_transfers; }
    Deletes& deletes() { return *m_deletes; }
    Folders& folders() { return *m_folders; }
    Permissions& permissions() { return *m_permissions; }
    // The FTP command console and its text.
    FtpConsole& console() { return *m_console; }
    // Sends a command typed into the console over the FTP pane's connection.
    bool runConsoleCommand(const QString& command);
    // Active pane, menu states, clipboard, drag and drop, rename.
    PaneCommands& paneCommands() { return *m_paneCommands; }
    // The message bus: commands from a companion, and the companion editor.
    CompanionLink& companionLink() { return *m_companionLink; }
    // The lines of link.txt (`List7`): links the link checker leaves alone.
    LinkExclusions& linkExclusions() { return *m_linkExclusions; }
    // The link checker, its report `List6` and the page it reads.
    LinkChecker& linkChecker() { return *m_linkChecker; }

    // The file-operation menu's link check: the selected pages of the local list (`ActivePane`
    // 4) or the selected HTML pages of the FTP list (2). False when nothing ran to its end.
    bool checkLinksInActivePane();
    bool checkLocalPages(const QStringList& pages);
    // The top-page check (`ActivePane` 3 or 4): the selected local folder is opened, its files
    // gathered into the local tree, and, when `checkLinks`, the links followed from its start
    // page "index.html" (or "index.htm"). A whole trace offers the clean-up.
    bool traceSelectedFolder(bool checkLinks = true);
    // The clean-up after a whole trace, from the local list (`ActivePane` 4); always withdraws the
    // offer.
    CleanupResult removeUnlinkedFiles();
    // The pictures the image viewer shows for the active pane: the selected files of a list, the
    // marked files of a tree.
    QList<PictureSource> selectedPictures() const;
    // The command line named a local page or folder (already opened and selected): a page is
    // checked, a folder's files are gathered and traced; a companion start only gathers.
    void checkStartPath(bool companionStart);

    // "Now" for every rule and record that depends on it (tests fix it).
    void setClock(const Clock& clock);

    // The connection watch: every 10 s while connected.
    QTimer& connectionWatch() { return m_connectionWatch; }

    // The start-up steps that need no window: the settings and mode lists read, the last profile
    // chosen, both panes at their start folders, the welcome line, link.txt. Returns what the
    // command line asks for, which the window carries out.
    CommandLineRequest startUp(const QString& commandLine);
    // The exit steps: the message hook removed, the connection closed, the temporary files of the
    // data folder removed, the editor told. Runs once; every failure is ignored so that each
    // step runs.
    void shutDown();
    bool isShutDown() const { return m_shutDown; }

    static QString welcomeLine();

    // Shows the profile of row `row` in the fields and the panes, as a click on its name does.
    void selectProfile(int row);
    // Disconnects when connected, selects the profile of `row` and connects.
    void connectProfile(int row);
    // Opens the folder `folder` in the local pane and makes the row `name` the only selected one.
    void openLocalPath(const QString& folder, const QString& name);

    // The file-operation menu's delete and new folder, for the pane in `ActivePane` (1 FTP tree,
    // 2 FTP list, 3 local tree, 4 local list).
    void deleteInActivePane();
    void makeFolderInActivePane();

    // Fetches the server file `name` of the FTP pane's folder into the data folder's temporary
    // copy "$temp$." + extension and asks the window to show it (text, picture, or a PDF for the
    // desktop's reader). A text goes to the linked editor too.
    void viewServerFile(const QString& name);

    // Whether the window can be seen: a hidden window cannot answer the delete confirmation.
    void setWindowShown(bool shown) { m_windowShown = shown; }
    bool windowShown() const { return m_windowShown; }

Q_SIGNALS:
    // A link check or trace starts: the window shows the report and the page being read.
    void linkRunStarted();
    // viewServerFile: what the viewer shows.
    void serverTextFetched(const QString& name, const QString& text);
    void serverPictureFetched(const QString& name, const QString& path);
    void documentFetched(const QString& path);
    // The server text went to the linked editor: the viewer offers to take its changes back.
    void serverTextSentToEditor();

private:
    void connectCore();
    void beginLinkRun();
    void endLinkRun();
    QString selectedLocalFolder() const;
    void removeTemporaryFiles();

    Dialogs& m_dialogs;
    AppState m_state;
    std::unique_ptr<StatusLines> m_statusLines;
    std::unique_ptr<StatusReport> m_statusReport;
    std::unique_ptr<SettingsLines> m_settingsLines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<Profiles> m_profiles;
    std::unique_ptr<ModeRules> m_modeRules;
    std::unique_ptr<ActivityLog> m_activityLog;
    std::unique_ptr<ListingRecord> m_listingRecord;
    std::unique_ptr<LocalPane> m_localPane;
    std::unique_ptr<RemotePane> m_remotePane;
    std::unique_ptr<Transfers> m_transfers;
    std::unique_ptr<Deletes> m_deletes;
    std::unique_ptr<Folders> m_folders;
    std::unique_ptr<Permissions> m_permissions;
    std::unique_ptr<FtpConsole> m_console;
    std::unique_ptr<PaneCommands> m_paneCommands;
    std::unique_ptr<LinkExclusions> m_linkExclusions;
    std::unique_ptr<LinkChecker> m_linkChecker;
    QString m_tracedSite; // the site folder of the last whole trace, until its clean-up
    std::unique_ptr<CompanionLink> m_companionLink;
    QTimer m_connectionWatch;
    // Lets the FTP pane's up button empty a shown tree only once the pane has settled.
    QTimer m_moveUpTimer;
    bool m_windowShown = false;
    bool m_shutDown = false;
};
