#include "gui/panes/iconkeydelegate.h"

#include "core/app/itemroles.h"
#include "gui/panes/paneicons.h"

#include <QHeaderView>
#include <QPainter>
#include <QTreeView>

namespace {

// The logical columns drawn leftmost and rightmost: the row's frame closes at their edges.
std::pair<int, int> outerColumns(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    std::pair<int, int> outer { 0, index.model()->columnCount(index.parent()) - 1 };
    const auto* tree = qobject_cast<const QTreeView*>(option.widget);
    if (!tree)
        return outer;
    const QHeaderView* header = tree->header();
    int first = -1;
    int last = -1;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        if (first < 0)
            first = logical;
        last = logical;
    }
    return first < 0 ? outer : std::pair<int, int> { first, last };
}

} // namespace

bool IconKeyDelegate::isDropTarget(const QModelIndex& index) const
{
    return m_dropTarget.isValid() && index.isValid() && index.model() == m_dropTarget.model()
        && index.row() == m_dropTarget.row() && index.parent() == m_dropTarget.parent();
}

void IconKeyDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (isDropTarget(index)) {
        QColor fill = option->palette.color(QPalette::Highlight);
        fill.setAlpha(70);
        option->backgroundBrush = fill;
    }
    if (index.column() == m_rightAligned)
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    if (index.column() != 0)
        return;
    const QString key = index.data(ItemRoles::IconKeyRole).toString();
    if (key.isEmpty())
        return;
    option->icon = paneIcon(key);
    option->features |= QStyleOptionViewItem::HasDecoration;
}

void IconKeyDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!isDropTarget(index))
        return;
    // A frame round the whole row, seen also when the row is selected: each cell draws its part.
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 2));
    const auto [first, last] = outerColumns(option, index);
    // Inset by the pen's half width at the row's ends only, so the cells' lines meet.
    const QRect r = option.rect.adjusted(index.column() == first ? 1 : 0, 1, index.column() == last ? -1 : 0, -1);
    painter->drawLine(r.topLeft(), r.topRight());
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    if (index.column() == first)
        painter->drawLine(r.topLeft(), r.bottomLeft());
    if (index.column() == last)
        painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
}
