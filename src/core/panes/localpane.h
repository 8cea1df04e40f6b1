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

// The local pane: the path box `TxtDir2`, the file list `ListView2`, the drive list `Drive2`
// and the folder tree `TreeView1`, with the procedures that list, fill, order, sort, colour
// and walk them. The widgets only show this state and forward the user's actions.
//
// The pane works in the process's current folder, as the other procedures expect: a listing
// first changes to the folder, and `TxtDir2` shows it with "/" separators. The home folder is
// the start folder and the place the pane falls back to when a folder cannot be entered.
class LocalPane : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString TxtDir2 READ TxtDir2 WRITE setTxtDir2 NOTIFY TxtDir2Changed)
    Q_PROPERTY(int Drive2Index READ Drive2Index NOTIFY Drive2IndexChanged)
public:
    // Reads the other-settings box `Check10(index)`: 0 "システムファイルは表示しない",
    // 1 "ファイルの色分けをしない".
    using OptionCheck = std::function<bool(int index)>;

    LocalPane(AppState& state, ListingRecord& record, Dialogs& dialogs, QObject* parent = nullptr);
    ~LocalPane() override;

    void setOptionCheck(OptionCheck check) { m_check10 = std::move(check); }
    // Reads the boxes from the program's options (which must outlive the pane).
    void setOptions(const Options& options);

    QString TxtDir2() const { return m_txtDir2; }
    void setTxtDir2(const QString& text);

    PaneListModel* ListView2() const { return m_listView2; }
    QStandardItemModel* TreeView1() const { return m_treeView1; }
    QStandardItemModel* Drive2() const { return m_drive2; }
    // The selections of the list and the tree: the procedures read and change them, the views
    // show them.
    QItemSelectionModel* ListView2Selection() const { return m_listView2Selection; }
    QItemSelectionModel* TreeView1Selection() const { return m_treeView1Selection; }
    int Drive2Index() const { return m_drive2Index; }
    QString Drive2Text() const;

    // The tree panel tells whether it is shown: the up button empties a shown tree.
    void setTreeFrameShown(bool shown) { m_treeFrameShown = shown; }

    // The last column-click sort, for the header's indicator (-1: the list is in listing order).
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // The start and fallback folder (the first platform's "c:/").
    static QString homeFolder();

    // Start-up: the drive list with "/" chosen, the home folder in `TxtDir2`, listed and filled.
    void showStartFolder();

    // Sets the process's current folder; "Please enter the directory to CD" for an empty path.
    bool ChangeLocalFolder(const QString& path);

    // Changes to `path` (when not empty) and reads the current folder into the local side of the
    // listing record, in name order. False when the folder could not be entered (the pane has
    // then gone to the home folder, listed and filled) or not be read.
    bool ListLocalFolder(const QString& path);

    // Rebuilds `ListView2` from the local side of the record, folders first. `folder` is the
    // folder the record was read from; the rows do not depend on it.
    void FillLocalList(const QString& folder = QString());

    // Folders before files, keeping the order within each group.
    void OrderLocalList();

    // Lists the trimmed `TxtDir2` again and fills the list (after a folder's content changed).
    void RefreshLocalPanes();

    // A click on the header with this text: sorts by that column's texts, the order flipping
    // with each click (the first click sorts ascending).
    void ListView2_ColumnClick(const QString& headerText);

    // Re-reads the mounted volumes into `Drive2`: "/" first, then each volume's root (with its
    // label in brackets when it has one).
    void refreshDrives();

    // A drive picked in `Drive2`: goes to the folder last shown on that volume, else its root.
    void Drive2_Change(int index);

    // The up button `cmdUp2`.
    void MoveUpLocalFolder();

    // Adds the folder `folderName` of the folder in `TxtDir2` and everything below it to
    // `TreeView1`, under the node keyed `parentKey` (the tree is emptied first when that is
    // empty). Reports the counts every 10 entries (treeCountsChanged) and honours
    // StopRequested after each entry. False when stopped.
    bool WalkLocalTree(const QString& parentKey, const QString& folderName);

    // The keys of the tree's nodes in the order they were added (parents before children).
    QStringList treeNodeKeys() const;
    int treeFolderCount() const { return m_treeFolders; }
    int treeFileCount() const { return m_treeFiles; }

    // Colours the rows of `ListView2` by file kind, unless "ファイルの色分けをしない" is ticked.
    void ColourLocalList();

    // Opens the folder of row `row` of `ListView2` (a double-click on a folder row). False
    // when the row is a file or the folder could not be listed.
    bool openLocalFolderRow(int row);

    // Enter in `TxtDir2`: goes to the typed folder (relative to the current one, "~" the home
    // folder) and shows it as an absolute path.
    void goToTypedFolder();

Q_SIGNALS:
    void TxtDir2Changed(const QString& text);
    void Drive2IndexChanged(int index);
    void sortIndicatorChanged(int column, Qt::SortOrder order);
    // "ﾌｫﾙﾀﾞ数:" + folders + "  ﾌｧｲﾙ数:" + files, for the status window's counts box.
    void treeCountsChanged(const QString& text);
    // True while a long walk runs (the view shows a busy pointer).
    void busyChanged(bool busy);

private:
    bool option(int index) const { return m_check10 && m_check10(index); }
    bool isVolumeRoot(const QString& folder) const;
    void rememberDriveFolder();
    void clearTree();
    void ensureTreeIndex();
    QStandardItem* addTreeNode(QStandardItem* parent, const QString& text, const QString& key, const QString& icon);
    void reportTreeCounts();
    bool stopRequested();

    AppState& m_state;
    ListingRecord& m_record;
    Dialogs& m_dialogs;
    OptionCheck m_check10;

    QString m_txtDir2;
    PaneListModel* m_listView2;
    QStandardItemModel* m_treeView1;
    QStandardItemModel* m_drive2;
    QItemSelectionModel* m_listView2Selection;
    QItemSelectionModel* m_treeView1Selection;
    int m_drive2Index = -1;
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
