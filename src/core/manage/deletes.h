#pragma once

#include "core/app/stopcheck.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <functional>
#include <vector>

class ActivityLog;
class Dialogs;
class LocalPane;
class QStandardItem;
class QTimer;
class RemotePane;
class StatusLines;
class StatusReport;
struct AppState;

// Deleting what the user chose, one procedure per pane (the menu dispatcher picks by
// `ActivePane`):
//   DeleteServerMarked()     1 FTP tree: the marked file nodes of `folderTree`
//   DeleteServerSelection()  2 FTP list: the selected rows of `fileList`, folders with their content
//   RecycleLocalMarked()     3 local tree: the selected or marked nodes of `folderTree`, to the trash
//   RecycleLocalSelection()  4 local list: the selected rows of `fileList`, to the trash
//   RecycleLocalPath(path)   one local file or folder to the trash; 0 on success
//   toggleMark(node)         marks a tree node for deletion, or clears its mark
//
// Server files are deleted for real after the confirmation panel `DeleteConfirmation`; local files only
// ever go to the trash: what cannot be trashed stays where it is. Runs on the user-interface
// thread and yields after each item, so the status window's "中止" (`StopRequested`) ends a run
// after the item in hand. One run at a time.
class Deletes : public QObject {
    Q_OBJECT
public:
    // Shows `DeleteConfirmation` with the counts text and returns when it is answered: true for "実行".
    // "中止" also sets `StopRequested`, as it always has.
    using Caution = std::function<bool(const QString& counts)>;

    Deletes(AppState& state, RemotePane& remotePane, LocalPane& localPane, StatusLines& statusLines, ActivityLog& log,
        Dialogs& dialogs, StatusReport& report, QObject* parent = nullptr);
    ~Deletes() override;

    // The connection watch, paused while a delete runs. May be null.
    void setConnectionWatch(QTimer* timer) { m_connectionWatch = timer; }
    // The confirmation panel. Unset: a Yes/No message box with the same texts.
    void setCaution(Caution caution) { m_caution = std::move(caution); }
    const Caution& caution() const { return m_caution; }

    // A name of a server folder, and whether the list shows it as a folder.
    struct ServerItem {
        QString name;
        bool isFolder = false;
    };

    // Collects `items` of the server folder `serverFolder` into the FTP tree, asks, then deletes
    // every file and every folder below that folder, deepest first; the folder itself stays. A
    // folder is walked only when the server's listing calls it a folder and no link.
    void deleteOnServer(const QList<ServerItem>& items, const QString& serverFolder);
    // FTP list: deleteOnServer with the selected rows of the folder the path box shows.
    void DeleteServerSelection();
    // Builds the deletion tree from the selected rows of `fileList`: node 1 is the current
    // folder, selected folders are walked with everything below them. False when stopped.
    bool CollectServerSelection();
    // FTP tree: deletes the file nodes of `folderTree` marked with the mark colour.
    void DeleteServerMarked();
    // Local list: moves the selected rows to the trash, from the last row up.
    void RecycleLocalSelection();
    // Local tree: moves the selected or marked nodes to the trash, from the last node up.
    void RecycleLocalMarked();
    // Moves one local file or folder to the trash. 0 on success, else an errno-style code;
    // nothing is ever deleted outright.
    int RecycleLocalPath(const QString& path);

    // The mark of a tree node: its background in `AppState::MarkColour`.
    bool isMarked(const QStandardItem* node) const;
    void toggleMark(QStandardItem* node);

    bool isRunning() const { return m_running; }

    // The texts the procedures show, for the panel and the tests.
    static QString cautionTitle() { return QStringLiteral("ファイルとフォルダーの削除"); }
    static QString cautionQuestion() { return QStringLiteral("表示されているファイルとフォルダーを削除しますか？"); }

Q_SIGNALS:
    // True while a run is going (the hourglass pointer).
    void busyChanged(bool busy);
    // The FTP tree panel `Frame20`: shown while the deletion tree is built and deleted.
    void ftpTreeFrameRequested(bool shown);

private:
    class RunGuard;

    bool confirm(const QString& counts);
    bool collectOnServer(QList<ServerItem> chosen, const QString& root);
    QList<ServerItem> selectedServerItems() const;
    // The one delete loop of the server: the file nodes among `nodes` for which `chosenFile`
    // holds, from the last node back, then (with `withFolders`) every folder node but the first,
    // deepest first. Each success is logged, counted, shown with `showCounts` and gets a status
    // line (`fileLine` and the path for a file); a failure leaves the node. False when it ended
    // early: Stop, or the connection went.
    bool deleteServerNodes(const std::vector<QPersistentModelIndex>& nodes,
        const std::function<bool(const QPersistentModelIndex&)>& chosenFile, bool withFolders, const QString& fileLine,
        const std::function<void()>& showCounts);
    void finishServerSelection(const QString& folder);
    bool askRecycle();

    AppState& m_state;
    RemotePane& m_remotePane;
    LocalPane& m_localPane;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    StatusReport& m_report;
    QTimer* m_connectionWatch = nullptr;
    StopCheck m_stop;
    Caution m_caution;
    bool m_running = false;
};
