#include "gui/panes/listrenamer.h"

#include "core/panecommands/panecommands.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"

#include <QAbstractItemDelegate>
#include <QItemSelectionModel>
#include <QTreeView>

ListRenamer::ListRenamer(PaneCommands& commands, LocalPane& localPane, QTreeView* ftpView, PaneListModel* ftpModel,
    QTreeView* localView, PaneListModel* localModel, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_localPane(localPane)
    , m_ftpView(ftpView)
    , m_localView(localView)
{
    setObjectName(QStringLiteral("ListRenamer"));
    watch(ftpView, ftpModel, true);
    watch(localView, localModel, false);
}

void ListRenamer::watch(QTreeView* view, PaneListModel* model, bool ftp)
{
    connect(model, &QAbstractItemModel::dataChanged, this,
        [this, ftp](const QModelIndex& changed, const QModelIndex&, const QList<int>& roles) {
            if (!m_index.isValid() || m_ftp != ftp || changed != QModelIndex(m_index) || !roles.contains(Qt::EditRole))
                return;
            const QPersistentModelIndex index = m_index;
            const QString oldName = m_oldName;
            const QString newName = changed.data().toString();
            m_index = QPersistentModelIndex();
            // After the editor has closed: a rename on the server waits for its answer.
            QMetaObject::invokeMethod(
                this, [this, index, oldName, newName, ftp] { finish(index, oldName, newName, ftp); },
                Qt::QueuedConnection);
        });
    // Escape, or the editor closed without a change.
    connect(view->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this, ftp] {
        if (m_ftp == ftp)
            m_index = QPersistentModelIndex();
    });
}

bool ListRenamer::start(bool ftp)
{
    QTreeView* view = ftp ? m_ftpView : m_localView;
    QItemSelectionModel* selection = view->selectionModel();
    QModelIndex index = selection->currentIndex();
    if (!index.isValid() || !selection->isRowSelected(index.row(), QModelIndex())) {
        const QModelIndexList rows = selection->selectedRows();
        if (rows.isEmpty())
            return false;
        index = rows.first();
    }
    index = index.siblingAtColumn(0);
    m_index = QPersistentModelIndex(index);
    m_oldName = index.data().toString();
    m_ftp = ftp;
    if (ftp)
        m_commands.beginFtpRename(index.row());
    view->setFocus();
    view->scrollTo(index);
    view->edit(index);
    return true;
}

void ListRenamer::finish(const QPersistentModelIndex& index, const QString& oldName, const QString& newName, bool ftp)
{
    const bool renamed
        = ftp ? m_commands.renameFtpEntry(oldName, newName) : m_commands.renameLocalEntry(oldName, newName);
    if (!renamed && index.isValid())
        const_cast<QAbstractItemModel*>(index.model())->setData(index, oldName);
    // A replaced file leaves its old row behind.
    if (renamed && !ftp)
        m_localPane.RefreshLocalPanes();
}
