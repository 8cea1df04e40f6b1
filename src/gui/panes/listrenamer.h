#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

class LocalPane;
class PaneCommands;
class PaneListModel;
class QTreeView;

// Renaming in place in `fileList` and `fileList` (menu item 11): starts the label edit of the
// selected row and, once the editor has closed with a new text, asks the pane commands to
// rename. A row whose rename did not happen shows its old name again.
class ListRenamer : public QObject {
    Q_OBJECT
public:
    ListRenamer(PaneCommands& commands, LocalPane& localPane, QTreeView* ftpView, PaneListModel* ftpModel,
        QTreeView* localView, PaneListModel* localModel, QObject* parent = nullptr);

    // False when the list has no selected row.
    bool start(bool ftp);

private:
    void watch(QTreeView* view, PaneListModel* model, bool ftp);
    void finish(const QPersistentModelIndex& index, const QString& oldName, const QString& newName, bool ftp);

    PaneCommands& m_commands;
    LocalPane& m_localPane;
    QTreeView* m_ftpView;
    QTreeView* m_localView;
    QPersistentModelIndex m_index;
    QString m_oldName;
    bool m_ftp = false;
};
