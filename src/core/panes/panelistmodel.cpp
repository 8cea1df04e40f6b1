#include "core/panes/panelistmodel.h"

#include "core/app/itemroles.h"

#include <QBrush>
#include <QColor>
#include <algorithm>
#include <numeric>
#include <optional>

namespace {

const QString& iconKeyAt(quint8 index)
{
    static const std::array<QString, 6> keys { IconKeys::Closed, IconKeys::Open, IconKeys::Leaf, IconKeys::Leaf2,
        IconKeys::Leaf3, IconKeys::LeafKill };
    return keys[index < keys.size() ? index : 0];
}

std::optional<quint8> iconIndex(const QString& key)
{
    for (quint8 i = 0; i < 6; ++i) {
        if (iconKeyAt(i) == key)
            return i;
    }
    return std::nullopt;
}

} // namespace

PaneListModel::Row::Row(const QString& iconKey, std::initializer_list<QStringView> texts)
    : m_icon(iconIndex(iconKey).value_or(0))
{
    qsizetype length = 0;
    for (QStringView t : texts)
        length += t.size();
    m_texts.reserve(length);
    int column = 0;
    for (QStringView t : texts) {
        if (column == MaxColumns)
            break;
        m_texts += t;
        m_ends[size_t(column++)] = quint32(m_texts.size());
    }
    for (; column < MaxColumns; ++column)
        m_ends[size_t(column)] = quint32(m_texts.size());
}

QStringView PaneListModel::Row::text(int column) const
{
    if (column < 0 || column >= MaxColumns)
        return {};
    const quint32 begin = column == 0 ? 0 : m_ends[size_t(column - 1)];
    return QStringView(m_texts).sliced(begin, m_ends[size_t(column)] - begin);
}

QString PaneListModel::Row::iconKey() const { return iconKeyAt(m_icon); }

void PaneListModel::Row::setText(int column, QStringView text)
{
    const quint32 begin = column == 0 ? 0 : m_ends[size_t(column - 1)];
    const quint32 end = m_ends[size_t(column)];
    m_texts.replace(begin, end - begin, text.toString());
    const qint64 shift = qint64(text.size()) - qint64(end - begin);
    for (int c = column; c < MaxColumns; ++c)
        m_ends[size_t(c)] = quint32(qint64(m_ends[size_t(c)]) + shift);
}

PaneListModel::PaneListModel(const QStringList& headers, QObject* parent)
    : QAbstractTableModel(parent)
    , m_headers(headers.mid(0, MaxColumns))
{
}

int PaneListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int PaneListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_headers.size()); }

QVariant PaneListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row& row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.text(index.column()).toString();
    case ItemRoles::IconKeyRole:
        return index.column() == 0 ? QVariant(row.iconKey()) : QVariant();
    case Qt::ForegroundRole:
        return qAlpha(row.m_colour) ? QVariant(QBrush(QColor::fromRgba(row.m_colour))) : QVariant();
    default:
        return {};
    }
}

bool PaneListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    Row& row = m_rows[size_t(index.row())];
    if (role == Qt::EditRole || role == Qt::DisplayRole) {
        if (row.text(index.column()) == value.toString())
            return true;
        row.setText(index.column(), value.toString());
        Q_EMIT dataChanged(index, index, { Qt::DisplayRole, Qt::EditRole });
        return true;
    }
    if (role == ItemRoles::IconKeyRole && index.column() == 0) {
        const std::optional<quint8> icon = iconIndex(value.toString());
        if (!icon)
            return false;
        if (*icon != row.m_icon) {
            row.m_icon = *icon;
            Q_EMIT dataChanged(index, index, { ItemRoles::IconKeyRole });
        }
        return true;
    }
    return false;
}

QVariant PaneListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_headers.size())
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PaneListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == 0)
        f |= Qt::ItemIsEditable; // renaming in place; the views start no editor on their own
    return f;
}

bool PaneListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    endRemoveRows();
    return true;
}

QString PaneListModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[size_t(row)].text(column).toString();
}

QString PaneListModel::iconKey(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].iconKey() : QString();
}

int PaneListModel::rowNamed(const QString& name) const
{
    for (int r = 0; r < rowCount(); ++r) {
        if (m_rows[size_t(r)].text(0) == name)
            return r;
    }
    return -1;
}

void PaneListModel::replaceRows(std::vector<Row>&& rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_rows.shrink_to_fit();
    endResetModel();
}

void PaneListModel::colourRows(const std::function<QRgb(const QString& name)>& colourOf)
{
    if (m_rows.empty() || m_headers.isEmpty())
        return;
    for (Row& row : m_rows)
        row.m_colour = colourOf(row.text(0).toString());
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), { Qt::ForegroundRole });
}

void PaneListModel::reorderRows(const std::vector<int>& newOrder)
{
    const int rows = rowCount();
    if (int(newOrder.size()) != rows || rows < 2)
        return;
    std::vector<int> newRowOf(size_t(rows), -1);
    for (int i = 0; i < rows; ++i) {
        const int from = newOrder[size_t(i)];
        if (from < 0 || from >= rows || newRowOf[size_t(from)] != -1)
            return;
        newRowOf[size_t(from)] = i;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> reordered;
    reordered.reserve(size_t(rows));
    for (int from : newOrder)
        reordered.push_back(std::move(m_rows[size_t(from)]));
    m_rows = std::move(reordered);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
        after.append(index(newRowOf[size_t(i.row())], i.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool PaneListModel::isFolderRow(int row) const
{
    return row >= 0 && row < rowCount() && !IconKeys::isFile(m_rows[size_t(row)].iconKey());
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
    if (column < 0 || column >= columnCount())
        return;
    std::vector<int> newOrder(static_cast<size_t>(rowCount()));
    std::iota(newOrder.begin(), newOrder.end(), 0);
    std::stable_sort(newOrder.begin(), newOrder.end(), [this, column, order](int a, int b) {
        const int cmp = m_rows[size_t(a)].text(column).compare(m_rows[size_t(b)].text(column), Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? cmp < 0 : cmp > 0;
    });
    reorderRows(newOrder);
}
