// The main window's part of deleting, making folders and changing permissions: the core
// procedures, their two panels and the wiring between them and the window.
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/manage/deletes.h"
#include "core/manage/folders.h"
#include "core/manage/permissions.h"
#include "core/app/itemroles.h"
#include "core/panes/localpane.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/ftp/ftptreepanel.h"
#include "gui/manage/frmcaution.h"
#include "gui/manage/permissionpanel.h"
#include "gui/panes/localtreepanel.h"
#include "gui/ui/consolepanel.h"

#include <QApplication>
#include <QStandardItemModel>
#include <QTreeView>
#include <algorithm>
#include <memory>

void MainWindow::createManage()
{
    m_deletes = std::make_unique<Deletes>(
        m_state, *m_remotePane, *m_localPane, *m_statusLines, *m_activityLog, *m_dialogs, *m_statusReport);
    m_deletes->setConnectionWatch(m_connectionWatch);
    m_folders
        = std::make_unique<Folders>(m_state, *m_remotePane, *m_localPane, *m_statusLines, *m_activityLog, *m_dialogs);
    m_folders->setConnectionWatch(m_connectionWatch);
    m_permissions = std::make_unique<Permissions>(m_state, *m_remotePane, *m_statusLines, *m_activityLog, *m_dialogs);

    m_frmCaution = new FrmCaution(m_state, m_central);
    m_deletes->setCaution([this](const QString& counts) { return m_frmCaution->ask(counts); });
    m_frame17 = new PermissionPanel(*m_permissions, m_central);

    connect(m_permissions.get(), &Permissions::panelRequested, this, [this] {
        // Over the FTP list, where the files it works on are chosen; never smaller than its
        // boxes need, or a short list squeezes the nine check boxes out of sight.
        const QSize size = m_fileList->size().expandedTo(m_frame17->minimumSizeHint());
        QPoint topLeft = m_fileList->mapTo(m_central, QPoint(0, 0));
        topLeft.setX(std::max(0, std::min(topLeft.x(), m_central->width() - size.width())));
        topLeft.setY(std::max(0, std::min(topLeft.y(), m_central->height() - size.height())));
        m_frame17->setGeometry(QRect(topLeft, size));
        m_frame17->showInFront();
    });
    connect(m_permissions.get(), &Permissions::consoleReply, m_frame16, &ConsolePanel::appendReply);

    connect(m_deletes.get(), &Deletes::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    // The FTP tree panel shows the deletion tree while it is built and deleted, and goes back to
    // how the user had it afterwards.
    auto treeWasHidden = std::make_shared<bool>(false);
    connect(m_deletes.get(), &Deletes::ftpTreeFrameRequested, this, [this, treeWasHidden](bool shown) {
        if (shown) {
            *treeWasHidden = !m_frame20->isVisibleTo(m_central);
            m_frame20->showInFront();
        } else if (*treeWasHidden) {
            m_frame20->hide();
            *treeWasHidden = false;
        }
    });

    // A click on a file node of either tree marks it for deletion, or clears its mark; a click
    // on a folder node keeps its own meaning (the folder is listed).
    auto markOnClick = [this](QTreeView* view) {
        connect(view, &QTreeView::clicked, this, [this, view](const QModelIndex& index) {
            auto* model = qobject_cast<QStandardItemModel*>(view->model());
            QStandardItem* node = model ? model->itemFromIndex(index) : nullptr;
            if (node && node->data(ItemRoles::IconKeyRole).toString().startsWith(IconKeys::Leaf))
                m_deletes->toggleMark(node);
        });
    };
    markOnClick(m_folderTree);
    markOnClick(m_frame3->treeView());
}

void MainWindow::deleteInActivePane()
{
    switch (m_state.ActivePane) {
    case 1:
        m_deletes->DeleteServerMarked();
        break;
    case 2:
        m_deletes->DeleteServerSelection();
        break;
    case 3:
        m_deletes->RecycleLocalMarked();
        break;
    case 4:
        m_deletes->RecycleLocalSelection();
        break;
    default:
        break;
    }
}

void MainWindow::makeFolderInActivePane()
{
    if (m_state.ActivePane == 2)
        m_folders->MakeServerFolder();
    else
        m_folders->MakeLocalFolder();
}
