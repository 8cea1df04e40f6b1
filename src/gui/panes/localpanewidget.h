#pragma once

#include <QWidget>

class LocalPane;
class QComboBox;
class QLineEdit;
class QToolButton;
class QTreeView;

// The local pane's controls: the drive list `Drive2`, the up button `cmdUp2`, the path box
// `TxtDir2` and the file list `ListView2`, bound to a LocalPane. The folder tree lives in its
// own panel (LocalTreePanel).
class LocalPaneWidget : public QWidget {
    Q_OBJECT
public:
    LocalPaneWidget(LocalPane& pane, QWidget* parent = nullptr);

    LocalPane& pane() const { return m_pane; }
    QComboBox* Drive2() const { return m_drive2; }
    QToolButton* cmdUp2() const { return m_cmdUp2; }
    QLineEdit* TxtDir2() const { return m_txtDir2; }
    QTreeView* ListView2() const { return m_listView2; }

Q_SIGNALS:
    // A double-click on a file row (folders open here). Decided before a folder is opened: the
    // new folder's rows take the old row numbers.
    void fileRowDoubleClicked(int row);

private:
    void showSortIndicator(int column, Qt::SortOrder order);

    LocalPane& m_pane;
    QComboBox* m_drive2;
    QToolButton* m_cmdUp2;
    QLineEdit* m_txtDir2;
    QTreeView* m_listView2;
};
