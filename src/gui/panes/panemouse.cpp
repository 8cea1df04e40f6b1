#include "gui/panes/panemouse.h"

#include "core/panecommands/panecommands.h"
#include "core/app/itemroles.h"
#include "gui/panes/iconkeydelegate.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>

PaneMouse::PaneMouse(PaneCommands& commands, QTreeView* ftpView, QTreeView* localView, QTreeView* localTreeView,
    QTreeView* ftpTreeView, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_ftpView(ftpView)
    , m_localView(localView)
    , m_localTreeView(localTreeView)
    , m_ftpTreeView(ftpTreeView)
{
    setObjectName(QStringLiteral("PaneMouse"));
    for (QTreeView* list : { ftpView, localView }) {
        list->setDragEnabled(true);
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
        list->setDragDropMode(QAbstractItemView::DragDrop);
        // Never a move: the view would remove the dragged rows itself.
        list->setDefaultDropAction(Qt::CopyAction);
        list->setDropIndicatorShown(true);
    }
    for (QTreeView* view : { ftpView, localView, localTreeView, ftpTreeView })
        view->viewport()->installEventFilter(this);
}

QString PaneMouse::listName(const QObject* widget) const
{
    if (!widget)
        return QString();
    if (widget == m_ftpView || widget == m_ftpView->viewport())
        return QStringLiteral("ListView1");
    if (widget == m_localView || widget == m_localView->viewport())
        return QStringLiteral("ListView2");
    return QString();
}

QModelIndex PaneMouse::dropTargetAt(const QTreeView* list, const QPoint& pos, const QObject* source) const
{
    if ((list != m_ftpView && list != m_localView) || listName(source).isEmpty())
        return QModelIndex();
    const QModelIndex at = list->indexAt(pos);
    if (!at.isValid())
        return QModelIndex();
    const QModelIndex row = at.siblingAtColumn(0);
    // The drop handlers go into a row only when it is a folder; anything else lands in the
    // list's own folder.
    return row.data(ItemRoles::IconKeyRole).toString() == IconKeys::Closed ? row : QModelIndex();
}

QModelIndex PaneMouse::markedDropTarget(const QTreeView* list) const
{
    const auto* delegate = list ? qobject_cast<const IconKeyDelegate*>(list->itemDelegate()) : nullptr;
    return delegate ? delegate->dropTarget() : QModelIndex();
}

void PaneMouse::dragOver(QTreeView* list, const QPoint& pos, const QObject* source)
{
    markDropTarget(list, dropTargetAt(list, pos, source));
}

void PaneMouse::markDropTarget(QTreeView* list, const QModelIndex& index)
{
    auto* delegate = qobject_cast<IconKeyDelegate*>(list->itemDelegate());
    if (!delegate || delegate->dropTarget() == index)
        return;
    delegate->setDropTarget(index);
    list->viewport()->update();
}

void PaneMouse::dropMimeOnFtpList(const QMimeData* data, const QPoint& pos, QObject* source)
{
    if (!data)
        return;
    if (const QString name = listName(source); !name.isEmpty())
        m_commands.DragSource = name;
    const QModelIndex index = m_ftpView->indexAt(pos);
    m_commands.dropOnFtpList(index.isValid() ? index.row() : -1);
}

void PaneMouse::dropMimeOnLocalList(const QMimeData* data, const QPoint& pos, QObject* source)
{
    if (!data)
        return;
    if (const QString name = listName(source); !name.isEmpty())
        m_commands.DragSource = name;
    const QModelIndex index = m_localView->indexAt(pos);
    m_commands.dropOnLocalList(index.isValid() ? index.row() : -1);
}

bool PaneMouse::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->position().toPoint();
        if (watched == m_ftpView->viewport()) {
            if (mouse->button() == Qt::LeftButton)
                m_commands.DragSource = QStringLiteral("ListView1");
            const QModelIndex index = m_ftpView->indexAt(pos);
            m_commands.onFtpListClicked(index.isValid() ? index.row() : -1);
        } else if (watched == m_localView->viewport()) {
            if (mouse->button() == Qt::LeftButton)
                m_commands.DragSource = QStringLiteral("ListView2");
            const QModelIndex index = m_localView->indexAt(pos);
            m_commands.onLocalListClicked(index.isValid() ? index.row() : -1);
        } else if (watched == m_localTreeView->viewport()) {
            m_commands.onLocalTreeClicked();
        } else if (watched == m_ftpTreeView->viewport()) {
            m_commands.onFtpTreeClicked();
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const bool isList = watched == m_ftpView->viewport() || watched == m_localView->viewport();
        if (!isList)
            break;
        QTreeView* list = watched == m_ftpView->viewport() ? m_ftpView : m_localView;
        dragOver(list, drag->position().toPoint(), drag->source());
        if (listName(drag->source()).isEmpty()) {
            drag->ignore();
            return true;
        }
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::DragLeave:
        if (watched == m_ftpView->viewport())
            markDropTarget(m_ftpView, QModelIndex());
        else if (watched == m_localView->viewport())
            markDropTarget(m_localView, QModelIndex());
        break;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QPoint pos = drop->position().toPoint();
        if (watched != m_ftpView->viewport() && watched != m_localView->viewport())
            break;
        markDropTarget(watched == m_ftpView->viewport() ? m_ftpView : m_localView, QModelIndex());
        if (listName(drop->source()).isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The commands run after the drag has ended: a transfer may take long, and the drag's
        // data goes with the drag.
        const bool ftp = watched == m_ftpView->viewport();
        const QModelIndex index = (ftp ? m_ftpView : m_localView)->indexAt(pos);
        const int row = index.isValid() ? index.row() : -1;
        const QString source = listName(drop->source());
        QMetaObject::invokeMethod(
            this,
            [this, ftp, row, source] {
                m_commands.DragSource = source;
                if (ftp)
                    m_commands.dropOnFtpList(row);
                else
                    m_commands.dropOnLocalList(row);
            },
            Qt::QueuedConnection);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
