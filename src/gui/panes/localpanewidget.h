#pragma once

#include <QWidget>

class LocalPane;
class QComboBox;
class QLineEdit;
class QToolButton;
class QTreeView;

// The local pane's controls: the drive list `driveBox`, the up button `upButton`, the path box
// `pathBox` and the file list `fileView`, bound to a LocalPane. The folder tree lives in its
// own panel (LocalTreePanel).
class LocalPaneWidget : public QWidget {
    Q_OBJECT
public:
    LocalPaneWidget(LocalPane& pane, QWidget* parent = nullptr);

    LocalPane& pane() const { return m_pane; }
    QComboBox* driveBox() const { return m_driveBox; }
    QToolButton* upButton() const { return m_upButton; }
    QLineEdit* pathBox() const { return m_pathBox; }
    QTreeView* fileView() const { return m_fileView; }

Q_SIGNALS:
    // A double-click on a file row (folders open here). Decided before a folder is opened: the
    // new folder's rows take the old row numbers.
    void fileRowDoubleClicked(int row);

private:
    void showSortIndicator(int column, Qt::SortOrder order);

    LocalPane& m_pane;
    QComboBox* m_driveBox;
    QToolButton* m_upButton;
    QLineEdit* m_pathBox;
    QTreeView* m_fileView;
};
