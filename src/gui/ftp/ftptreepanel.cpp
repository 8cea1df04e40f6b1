#include "gui/ftp/ftptreepanel.h"

#include "core/ftpsession/remotepane.h"
#include "gui/panes/fileview.h"

#include <QShowEvent>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

FtpTreePanel::FtpTreePanel(RemotePane& pane, QWidget* parent)
    : MovablePanel(
        QStringLiteral("Frame20"), QStringLiteral("Label17"), QStringLiteral("FTPサーバーのツリー表示"), parent)
    , m_pane(pane)
    , m_treeView(new QTreeView(this))
{
    m_treeView->setObjectName(QStringLiteral("TreeView3"));
    FileView::setUpTree(m_treeView, pane.folderTree(), pane.folderTreeSelection());
    body()->addWidget(m_treeView);
    resize(300, 360);
    connect(m_treeView, &QTreeView::clicked, this,
        [this](const QModelIndex& index) { m_pane.onFolderTreeNodeClicked(m_pane.folderTree()->itemFromIndex(index)); });
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
