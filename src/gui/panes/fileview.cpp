#include "gui/panes/fileview.h"

#include "gui/panes/iconkeydelegate.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace FileView {

void setUp(
    QTreeView* view, QAbstractItemModel* model, QItemSelectionModel* selection, std::initializer_list<int> widths)
{
    view->setModel(model);
    view->setSelectionModel(selection);
    auto* delegate = new IconKeyDelegate(view);
    delegate->setRightAlignedColumn(1);
    view->setItemDelegate(delegate);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(false); // the pane sorts on a header click by itself
    QHeaderView* header = view->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(true);
    int column = 0;
    for (int width : widths)
        header->resizeSection(column++, width);
}

void setUpTree(QTreeView* view, QAbstractItemModel* model, QItemSelectionModel* selection)
{
    view->setModel(model);
    view->setSelectionModel(selection);
    view->setItemDelegate(new IconKeyDelegate(view));
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void layOut(QWidget* pane, QWidget* first, QToolButton* up, QLineEdit* path, QTreeView* view)
{
    up->setIcon(pane->style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(QStringLiteral("一つ上のフォルダーへ"));
    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(first);
    top->addWidget(up);
    top->addWidget(path, 1);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(view, 1);
}

} // namespace FileView
