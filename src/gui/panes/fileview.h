#pragma once

#include <initializer_list>

class QAbstractItemModel;
class QItemSelectionModel;
class QLineEdit;
class QToolButton;
class QTreeView;
class QWidget;

// What the local and the FTP file list share: a list view of rows with icon keys, sorted by the
// pane itself on a header click, and the row of the up button and the path box above it.
namespace FileView {

void setUp(
    QTreeView* view, QAbstractItemModel* model, QItemSelectionModel* selection, std::initializer_list<int> widths);

// A folder tree of the same icons, without a header.
void setUpTree(QTreeView* view, QAbstractItemModel* model, QItemSelectionModel* selection);

// `first` (a label or the drive box), the up button and the path box in a row, the list below.
void layOut(QWidget* pane, QWidget* first, QToolButton* up, QLineEdit* path, QTreeView* view);

} // namespace FileView
