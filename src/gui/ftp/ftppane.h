#pragma once

#include <QWidget>

class RemotePane;
class QLineEdit;
class QToolButton;
class QTreeView;

// The server pane's controls: the up button `upButton`, the path box `pathBox` and the file list
// `fileView` (six columns), bound to a RemotePane. The folder tree lives in its own panel
// (FtpTreePanel); the connect row belongs to the main window.
class FtpPane : public QWidget {
    Q_OBJECT
public:
    FtpPane(RemotePane& pane, QWidget* parent = nullptr);

    RemotePane& pane() const { return m_pane; }
    QToolButton* upButton() const { return m_upButton; }
    QLineEdit* pathBox() const { return m_pathBox; }
    QTreeView* fileView() const { return m_fileView; }

Q_SIGNALS:
    // A double-click on a file row (folders open here). Decided before a folder is opened: the
    // new folder's rows take the old row numbers.
    void fileRowDoubleClicked(int row);

private:
    void showSortIndicator(int column, Qt::SortOrder order);

    RemotePane& m_pane;
    QToolButton* m_upButton;
    QLineEdit* m_pathBox;
    QTreeView* m_fileView;
};
