#include "core/panes/panelistmodel.h"

#include "core/app/itemroles.h"

#include <QSignalBlocker>
#include <algorithm>
#include <numeric>

PaneListModel::PaneListModel(const QStringList& headers, QObject* parent)
    : QStandardItemModel(0, int(headers.size()), parent)
{
    setHorizontalHeaderLabels(headers);
}

void PaneListModel::replaceRows(std::vector<Row>&& rows)
{
    const int columns = columnCount();
    beginResetModel();
    {
        const QSignalBlocker blocker(this);
        removeRows(0, rowCount());
        setRowCount(int(rows.size()));
        for (int r = 0; r < int(rows.size()); ++r) {
            Row& row = rows[size_t(r)];
            for (int c = 0; c < int(row.size()); ++c) {
                if (c < columns)
                    setItem(r, c, row[c]);
                else
                    delete row[c];
            }
        }
    }
    endResetModel();
}

void PaneListModel::reorderRows(const std::vector<int>& newOrder)
{
    const int rows = rowCount();
    if (int(newOrder.size()) != rows || rows < 2)
        return;
    // Each row's first cell carries its new position; Qt's own stable sort then moves the rows
    // and the persistent indexes (the selection) in one layout change.
    {
        const QSignalBlocker blocker(this);
        for (int i = 0; i < rows; ++i) {
            const int from = newOrder[size_t(i)];
            if (from < 0 || from >= rows)
                return;
            QStandardItem* cell = item(from, 0);
            if (!cell) {
                cell = new QStandardItem;
                setItem(from, 0, cell);
            }
            cell->setData(i, RankRole);
        }
    }
    const int savedRole = sortRole();
    setSortRole(RankRole);
    sort(0, Qt::AscendingOrder);
    setSortRole(savedRole);
}

bool PaneListModel::isFolderRow(int row) const
{
    const QStandardItem* cell = item(row, 0);
    return cell && !IconKeys::isFile(cell->data(ItemRoles::IconKeyRole).toString());
}

void PaneListModel::orderFoldersFirst()
{
    std::vector<int> order(static_cast<size_t>(rowCount()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_partition(order.begin(), order.end(), [this](int r) { return isFolderRow(r); });
    reorderRows(order);
}

void PaneListModel::sortByColumnText(int column, Qt::SortOrder order)
{
    const int rows = rowCount();
    if (column < 0 || column >= columnCount())
        return;
    std::vector<QString> texts(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        if (const QStandardItem* cell = item(r, column))
            texts[size_t(r)] = cell->text();
    }
    std::vector<int> newOrder(static_cast<size_t>(rows));
    std::iota(newOrder.begin(), newOrder.end(), 0);
    std::stable_sort(newOrder.begin(), newOrder.end(), [&texts, order](int a, int b) {
        const int cmp = QString::compare(texts[size_t(a)], texts[size_t(b)], Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? cmp < 0 : cmp > 0;
    });
    reorderRows(newOrder);
}
