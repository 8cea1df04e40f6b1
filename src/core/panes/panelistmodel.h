#pragma once

#include <QList>
#include <QStandardItemModel>
#include <vector>

class QStandardItem;

// The model of a file list (`fileList`, `fileList`): one row per entry, the name in column 0
// with its icon key (ItemRoles::IconKeyRole), text columns after it. Rows are replaced in one
// reset and reordered in one layout change, so a view never sees a half-built list and the
// cost stays linear in the number of rows.
class PaneListModel : public QStandardItemModel {
    Q_OBJECT
public:
    using Row = QList<QStandardItem*>;

    PaneListModel(const QStringList& headers, QObject* parent = nullptr);

    // Replaces every row with `rows` (the model takes the items) in one model reset.
    void replaceRows(std::vector<Row>&& rows);

    // Rearranges the rows: row i shows what row newOrder[i] showed. Selections follow the rows.
    void reorderRows(const std::vector<int>& newOrder);

    // A row is a folder unless its icon key is a file's ("leaf", "leaf2", "leaf3", "leafkill").
    bool isFolderRow(int row) const;

    // Folders before files, keeping the present order within each group.
    void orderFoldersFirst();

    // Stable sort on the texts of `column` (case-insensitive), ties keeping the present order.
    void sortByColumnText(int column, Qt::SortOrder order);

private:
    static constexpr int RankRole = Qt::UserRole + 90;
};
