#include "gui/ftp/ftptreepanel.h"

#include "core/ftpsession/remotepane.h"
#include "gui/panes/iconkeydelegate.h"

#include <QShowEvent>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

FtpTreePanel::FtpTreePanel(RemotePane& pane, QWidget* parent)
    : MovablePanel(
        QStringLiteral("Frame20"), QStringLiteral("Label17"), QStringLiteral("FTPサーバーのツリー表示"), parent)
    , m_pane(pane)
    , m_treeView3(new QTreeView(this))
{
    m_treeView3->setObjectName(QStringLiteral("TreeView3"));
    m_treeView3->setModel(pane.TreeView3());
    m_treeView3->setSelectionModel(pane.TreeView3Selection());
    m_treeView3->setItemDelegate(new IconKeyDelegate(m_treeView3));
    m_treeView3->setHeaderHidden(true);
    m_treeView3->setUniformRowHeights(true);
    m_treeView3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    body()->addWidget(m_treeView3);
    resize(300, 360);
    connect(m_treeView3, &QTreeView::clicked, this,
        [this](const QModelIndex& index) { m_pane.TreeView3_NodeClick(m_pane.TreeView3()->itemFromIndex(index)); });
}

void FtpTreePanel::showEvent(QShowEvent* event)
{
    MovablePanel::showEvent(event);
    if (!event->spontaneous())
        m_pane.setTreeFrameShown(true);
}

void FtpTreePanel::hideEvent(QHideEvent* event)
{
    MovablePanel::hideEvent(event);
    // A minimised window hides its panels too; only the panel's own hiding counts.
    if (!event->spontaneous())
        m_pane.setTreeFrameShown(false);
}
