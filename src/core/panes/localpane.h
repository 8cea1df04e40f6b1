#pragma once

#include "core/panes/panelistmodel.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class Dialogs;
class Options;
class QStandardItem;
class QItemSelectionModel;
class QStandardItemModel;
struct AppState;
struct ListingRecord;

// The local pane: the path box `folderText`, the file list `fileList`, the drive list `driveList`
// and the folder tree `folderTree`, with the procedures that list, fill, order, sort, colour
// and walk them. The widgets only show this state and forward the user's actions.
//
// The pane has a current folder of its own (the process's is never used): a listing first enters
// the folder, and `folderText` shows it with "/" separators. The home folder is the start folder
// and the place the pane falls back to when a folder cannot be entered.
class LocalPane : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString folderText READ folderText WRITE setFolderText NOTIFY folderTextChanged)
    Q_PROPERTY(int driveIndex READ driveIndex NOTIFY driveIndexChanged)
public:
    // Reads the other-settings box `viewOption(index)`: 0 "システムファイルは表示しない",
    // 1 "ファイルの色分けをしない".
    using OptionCheck = std::function<bool(int index)>;

    LocalPane(AppState& state, ListingRecord& record, Dialogs& dialogs, QObject* parent = nullptr);
    ~LocalPane() override;

    void setOptionCheck(OptionCheck check) { m_viewOptions = std::move(check); }
    // Reads the boxes from the program's options (which must outlive the pane).
    void setOptions(const Options& options);

    QString folderText() const { return m_folderText; }
    void setFolderText(const QString& text);

    PaneListModel* fileList() const { return m_fileList; }
    QStandardItemModel* folderTree() const { return m_folderTree; }
    QStandardItemModel* driveList() const { return m_driveList; }
    // The selections of the list and the tree: the procedures read and change them, the views
    // show them.
    QItemSelectionModel* fileSelection() const { return m_fileSelection; }
    QItemSelectionModel* folderTreeSelection() const { return m_folderTreeSelection; }
    int driveIndex() const { return m_driveIndex; }
    QString driveText() const;

    // The tree panel tells whether it is shown: the up button empties a shown tree.
    void setTreeFrameShown(bool shown) { m_treeFrameShown = shown; }

    // The last column-click sort, for the header's indicator (-1: the list is in listing order).
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // The start and fallback folder (the first platform's "c:/").
    static QString homeFolder();

    // Start-up: the drive list with "/" chosen, the home folder in `folderText`, listed and filled.
    void showStartFolder();

    // Enters the folder (relative paths from the current one); "Please enter the directory to CD"
    // for an empty path. False when it does not exist or may not be searched.
    bool ChangeLocalFolder(const QString& path);
    // The folder last entered, absolute, links resolved: where the list's files are. The path box
    // may hold something the user is still typing.
    QString currentFolder() const { return m_currentFolder; }

    // Changes to `path` (when not empty) and reads the current folder into the local side of the
    // listing record, in name order. False when the folder could not be entered (the pane has
    // then gone to the home folder, listed and filled) or not be read.
    bool ListLocalFolder(const QString& path);

    // Rebuilds `fileList` from the local side of the record, folders first. `folder` is the
    // folder the record was read from; the rows do not depend on it.
    void FillLocalList();

    // Folders before files, keeping the order within each group.
    void OrderLocalList();

    // Lists the trimmed `folderText` again and fills the list (after a folder's content changed).
    void RefreshLocalPanes();

    // A click on the header with this text: sorts by that column's texts, the order flipping
    // with each click (the first click sorts ascending).
    void sortByHeader(const QString& headerText);

    // Re-reads the mounted volumes into `driveList`: "/" first, then each volume's root (with its
    // label in brackets when it has one).
    void refreshDrives();

    // A drive picked in `driveList`: goes to the folder last shown on that volume, else its root.
    void chooseDrive(int index);

    // The up button `cmdUp2`.
    void MoveUpLocalFolder();

    // Adds the folder `folderName` of `parentFolder` and everything below it to `folderTree`, under
    // the node keyed `parentKey` (the tree is emptied first when that is empty). Reports the
    // counts every 10 entries (treeCountsChanged) and honours StopRequested after each entry.
    // False when stopped.
    bool WalkLocalTree(const QString& parentKey, const QString& folderName, const QString& parentFolder);
    // The same below the folder the path box shows.
    bool WalkLocalTree(const QString& parentKey, const QString& folderName)
    {
        return WalkLocalTree(parentKey, folderName, folderText().trimmed());
    }

    // The keys of the tree's nodes in the order they were added (parents before children).
    QStringList treeNodeKeys() const;
    int treeFolderCount() const { return m_treeFolders; }
    int treeFileCount() const { return m_treeFiles; }

    // Colours the rows of `fileList` by file kind, unless "ファイルの色分けをしない" is ticked.
    void ColourLocalList();

    // Opens the folder of row `row` of `fileList` (a double-click on a folder row). False
    // when the row is a file or the folder could not be listed.
    bool openLocalFolderRow(int row);

    // Enter in `folderText`: goes to the typed folder (relative to the current one, "~" the home
    // folder) and shows it as an absolute path.
    void goToTypedFolder();

Q_SIGNALS:
    void folderTextChanged(const QString& text);
    void driveIndexChanged(int index);
    void sortIndicatorChanged(int column, Qt::SortOrder order);
    // "ﾌｫﾙﾀﾞ数:" + folders + "  ﾌｧｲﾙ数:" + files, for the status window's counts box.
    void treeCountsChanged(const QString& text);
    // True while a long walk runs (the view shows a busy pointer).
    void busyChanged(bool busy);

private:
    bool option(int index) const { return m_viewOptions && m_viewOptions(index); }
    bool isVolumeRoot(const QString& folder) const;
    void rememberDriveFolder();
    void clearTree();
    void ensureTreeIndex();
    QStandardItem* addTreeNode(QStandardItem* parent, const QString& text, const QString& key, const QString& icon);
    void reportTreeCounts();

    AppState& m_state;
    ListingRecord& m_record;
    Dialogs& m_dialogs;
    OptionCheck m_viewOptions;

    QString m_folderText;
    QString m_currentFolder = homeFolder();
    PaneListModel* m_fileList;
    QStandardItemModel* m_folderTree;
    QStandardItemModel* m_driveList;
    QItemSelectionModel* m_fileSelection;
    QItemSelectionModel* m_folderTreeSelection;
    int m_driveIndex = -1;
    QHash<QString, QString> m_driveFolders; // volume root -> the last folder shown on it

    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder; // flipped before each sort
    bool m_treeFrameShown = false;
    bool m_fallingBack = false;

    std::vector<QStandardItem*> m_treeNodes; // in the order added
    QHash<QString, QStandardItem*> m_treeByKey;
    bool m_treeIndexStale = false; // rows were removed from the tree by someone else
    int m_treeFolders = 0;
    int m_treeFiles = 0;
};
