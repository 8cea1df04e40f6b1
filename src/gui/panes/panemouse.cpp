#include "gui/panes/panemouse.h"

#include "core/panecommands/panecommands.h"
#include "core/app/itemroles.h"
#include "gui/panes/iconkeydelegate.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>

PaneMouse::PaneMouse(PaneCommands& commands, QTreeView* listView1, QTreeView* listView2, QTreeView* treeView1,
    QTreeView* treeView3, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_listView1(listView1)
    , m_listView2(listView2)
    , m_treeView1(treeView1)
    , m_treeView3(treeView3)
{
    setObjectName(QStringLiteral("PaneMouse"));
    for (QTreeView* list : { listView1, listView2 }) {
        list->setDragEnabled(true);
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
        list->setDragDropMode(QAbstractItemView::DragDrop);
        // Never a move: the view would remove the dragged rows itself.
        list->setDefaultDropAction(Qt::CopyAction);
        list->setDropIndicatorShown(true);
    }
    for (QTreeView* view : { listView1, listView2, treeView1, treeView3 })
        view->viewport()->installEventFilter(this);
}

QString PaneMouse::listName(const QObject* widget) const
{
    if (!widget)
        return QString();
    if (widget == m_listView1 || widget == m_listView1->viewport())
        return QStringLiteral("ListView1");
    if (widget == m_listView2 || widget == m_listView2->viewport())
        return QStringLiteral("ListView2");
    return QString();
}

QModelIndex PaneMouse::dropTargetAt(const QTreeView* list, const QPoint& pos, const QObject* source) const
{
    if ((list != m_listView1 && list != m_listView2) || listName(source).isEmpty())
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

void PaneMouse::ListView1_OLEDragDrop(const QMimeData* data, const QPoint& pos, QObject* source)
{
    if (!data)
        return;
    if (const QString name = listName(source); !name.isEmpty())
        m_commands.DragSource = name;
    const QModelIndex index = m_listView1->indexAt(pos);
    m_commands.dropOnFtpList(index.isValid() ? index.row() : -1);
}

void PaneMouse::ListView2_OLEDragDrop(const QMimeData* data, const QPoint& pos, QObject* source)
{
    if (!data)
        return;
    if (const QString name = listName(source); !name.isEmpty())
        m_commands.DragSource = name;
    const QModelIndex index = m_listView2->indexAt(pos);
    m_commands.dropOnLocalList(index.isValid() ? index.row() : -1);
}

bool PaneMouse::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->position().toPoint();
        if (watched == m_listView1->viewport()) {
            if (mouse->button() == Qt::LeftButton)
                m_commands.DragSource = QStringLiteral("ListView1");
            const QModelIndex index = m_listView1->indexAt(pos);
            m_commands.ListView1_Click(index.isValid() ? index.row() : -1);
        } else if (watched == m_listView2->viewport()) {
            if (mouse->button() == Qt::LeftButton)
                m_commands.DragSource = QStringLiteral("ListView2");
            const QModelIndex index = m_listView2->indexAt(pos);
            m_commands.ListView2_Click(index.isValid() ? index.row() : -1);
        } else if (watched == m_treeView1->viewport()) {
            m_commands.TreeView1_Click();
        } else if (watched == m_treeView3->viewport()) {
            m_commands.TreeView3_Click();
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const bool isList = watched == m_listView1->viewport() || watched == m_listView2->viewport();
        if (!isList)
            break;
        QTreeView* list = watched == m_listView1->viewport() ? m_listView1 : m_listView2;
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
        if (watched == m_listView1->viewport())
            markDropTarget(m_listView1, QModelIndex());
        else if (watched == m_listView2->viewport())
            markDropTarget(m_listView2, QModelIndex());
        break;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QPoint pos = drop->position().toPoint();
        if (watched != m_listView1->viewport() && watched != m_listView2->viewport())
            break;
        markDropTarget(watched == m_listView1->viewport() ? m_listView1 : m_listView2, QModelIndex());
        if (listName(drop->source()).isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The commands run after the drag has ended: a transfer may take long, and the drag's
        // data goes with the drag.
        const bool ftp = watched == m_listView1->viewport();
        const QModelIndex index = (ftp ? m_listView1 : m_listView2)->indexAt(pos);
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
