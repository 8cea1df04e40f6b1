#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// Draws the icon of a row's or node's icon key (ItemRoles::IconKeyRole) in its first column,
// so the models carry only the key. A list also marks the row a drag would drop into.
class IconKeyDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The size column of a file list reads better aligned to the right.
    void setRightAlignedColumn(int column) { m_rightAligned = column; }

    // The row (any column of it) drawn as the drop target; an invalid index draws none. The
    // caller repaints the view.
    void setDropTarget(const QModelIndex& index) { m_dropTarget = index; }
    QModelIndex dropTarget() const { return m_dropTarget; }
    bool isDropTarget(const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int m_rightAligned = -1;
    QPersistentModelIndex m_dropTarget;
};
