#pragma once

#include <QObject>
#include <QPoint>

class PaneCommands;
class QMimeData;
class QTreeView;

// The mouse on the four panes: a press in a list or a tree is that pane's click (it makes the
// pane active and sets the menu), a left press in a list names it as the drag source, and the
// lists drag their selected rows to each other and within themselves. Drops are accepted only
// from the two lists of this window; the drop handlers act on the row under the drop point.
class PaneMouse : public QObject {
    Q_OBJECT
public:
    PaneMouse(PaneCommands& commands, QTreeView* listView1, QTreeView* listView2, QTreeView* treeView1,
        QTreeView* treeView3, QObject* parent = nullptr);

    // A drop of `data` at `pos` (viewport coordinates). `source` is the widget the drag came
    // from (null: the drag source the last left press named).
    void ListView1_OLEDragDrop(const QMimeData* data, const QPoint& pos, QObject* source = nullptr);
    void ListView2_OLEDragDrop(const QMimeData* data, const QPoint& pos, QObject* source = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "ListView1", "ListView2", or empty for anything else.
    QString listName(const QObject* widget) const;

    PaneCommands& m_commands;
    QTreeView* m_listView1;
    QTreeView* m_listView2;
    QTreeView* m_treeView1;
    QTreeView* m_treeView3;
};
