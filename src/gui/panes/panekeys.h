#pragma once

#include <QObject>

class PaneCommands;
class QTreeView;

// The keyboard on the four panes. A pane reached by Tab becomes the active pane as a click would
// make it, so the menu and the toolbar act on the pane the user is looking at. Enter opens the
// current row of a list as a double-click does; Delete and F2 ask for the delete and rename
// commands, which the window runs when its menu offers them.
class PaneKeys : public QObject {
    Q_OBJECT
public:
    PaneKeys(PaneCommands& commands, QTreeView* ftpView, QTreeView* localView, QTreeView* localTreeView,
        QTreeView* ftpTreeView, QObject* parent = nullptr);

Q_SIGNALS:
    void deleteRequested();
    void renameRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The click of `view` on its current row.
    void activate(QTreeView* view);

    PaneCommands& m_commands;
    QTreeView* m_ftpView;
    QTreeView* m_localView;
    QTreeView* m_localTreeView;
    QTreeView* m_ftpTreeView;
};
