#pragma once

#include <QStyledItemDelegate>

// Draws the icon of a row's or node's icon key (ItemRoles::IconKeyRole) in its first column,
// so the models carry only the key.
class IconKeyDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The size column of a file list reads better aligned to the right.
    void setRightAlignedColumn(int column) { m_rightAligned = column; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int m_rightAligned = -1;
};
