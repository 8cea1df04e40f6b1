#pragma once

#include "gui/ui/movablepanel.h"

class LocalPane;
class QTreeView;

// The movable panel `Frame3` ("ローカルＰＣのツリー表示") holding the local folder tree
// `treeView`. Hidden until a whole-tree command shows it.
class LocalTreePanel : public MovablePanel {
    Q_OBJECT
public:
    LocalTreePanel(LocalPane& pane, QWidget* parent = nullptr);

    QTreeView* treeView() const { return m_treeView; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    LocalPane& m_pane;
    QTreeView* m_treeView;
};
