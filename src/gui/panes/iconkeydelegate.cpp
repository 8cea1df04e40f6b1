#include "gui/panes/iconkeydelegate.h"

#include "core/panes/itemroles.h"
#include "gui/panes/paneicons.h"

void IconKeyDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
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
