#pragma once

#include "gui/ui/movablepanel.h"

class RemotePane;
class QTreeView;

// The movable panel `Frame20` ("FTPサーバーのツリー表示") holding the server folder tree
// `treeView`. A click on a walked folder's node lists that folder.
class FtpTreePanel : public MovablePanel {
    Q_OBJECT
public:
    FtpTreePanel(RemotePane& pane, QWidget* parent = nullptr);

    QTreeView* treeView() const { return m_treeView; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    RemotePane& m_pane;
    QTreeView* m_treeView;
};
