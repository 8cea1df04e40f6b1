#pragma once

#include <QModelIndex>
#include <QObject>
#include <QPoint>

class PaneCommands;
class QMimeData;
class QTreeView;

// The mouse on the four panes: a press in a list or a tree is that pane's click (it makes the
// pane active and sets the menu), a left press in a list names it as the drag source, and the
// lists drag their selected rows to each other and within themselves. Drops are accepted only
// from the two lists of this window; the drop handlers act on the row under the drop point.
// While a drag is over a list, the folder row it would drop into is marked, until the drag
// moves off it, leaves, drops or is cancelled.
class PaneMouse : public QObject {
    Q_OBJECT
public:
    PaneMouse(PaneCommands& commands, QTreeView* ftpView, QTreeView* localView, QTreeView* localTreeView,
        QTreeView* ftpTreeView, QObject* parent = nullptr);

    // A drop of `data` at `pos` (viewport coordinates). `source` is the widget the drag came
    // from (null: the drag source the last left press named).
    void dropMimeOnFtpList(const QMimeData* data, const QPoint& pos, QObject* source = nullptr);
    void dropMimeOnLocalList(const QMimeData* data, const QPoint& pos, QObject* source = nullptr);

    // The row a drag from `source` over `list` at `pos` (viewport coordinates) drops into: a
    // folder row (column 0), the one the drop handlers open; invalid when the drop goes to the
    // list's own folder or is refused.
    QModelIndex dropTargetAt(const QTreeView* list, const QPoint& pos, const QObject* source) const;
    // A drag from `source` moved over `list` at `pos`: marks the row dropTargetAt() names, or
    // none. Drag events call it with the drag's source.
    void dragOver(QTreeView* list, const QPoint& pos, const QObject* source);
    // The row marked as the drop target of `list` now (invalid: none).
    QModelIndex markedDropTarget(const QTreeView* list) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "fileList", "fileList", or empty for anything else.
    QString listName(const QObject* widget) const;
    void markDropTarget(QTreeView* list, const QModelIndex& index);

    PaneCommands& m_commands;
    QTreeView* m_ftpView;
    QTreeView* m_localView;
    QTreeView* m_localTreeView;
    QTreeView* m_ftpTreeView;
};
