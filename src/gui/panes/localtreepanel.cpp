#include "gui/panes/localtreepanel.h"

#include "core/panes/localpane.h"
#include "gui/panes/fileview.h"

#include <QShowEvent>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

LocalTreePanel::LocalTreePanel(LocalPane& pane, QWidget* parent)
    : MovablePanel(
        QStringLiteral("Frame3"), QStringLiteral("Label16"), QStringLiteral("ローカルＰＣのツリー表示"), parent)
    , m_pane(pane)
    , m_treeView(new QTreeView(this))
{
    m_treeView->setObjectName(QStringLiteral("TreeView1"));
    FileView::setUpTree(m_treeView, pane.folderTree(), pane.folderTreeSelection());
    body()->addWidget(m_treeView);
    resize(300, 360);
}

void LocalTreePanel::showEvent(QShowEvent* event)
{
    MovablePanel::showEvent(event);
    if (!event->spontaneous())
        m_pane.setTreeFrameShown(true);
}

void LocalTreePanel::hideEvent(QHideEvent* event)
{
    MovablePanel::hideEvent(event);
    // A minimised window hides its panels too; only the panel's own hiding counts.
    if (!event->spontaneous())
        m_pane.setTreeFrameShown(false);
}
