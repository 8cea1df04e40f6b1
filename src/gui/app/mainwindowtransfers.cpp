// The main window's side of the runs: the get and put buttons, the transfer rule `Option1`, the
// status window and the status bar panels it shares with the FTP pane, the tree panels a run
// shows and hides, the delete confirmation and the permission panel.
#include "core/app/itemroles.h"
#include "core/app/statusreport.h"
#include "core/manage/deletes.h"
#include "core/manage/permissions.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/ftp/ftppane.h"
#include "gui/manage/deleteconfirmation.h"
#include "gui/manage/permissionpanel.h"
#include "gui/panes/localtreepanel.h"
#include "gui/ui/consolepanel.h"
#include "gui/ui/movablepanel.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Where a download shows the status window: 1000 twips from the left, 2000 from the top.
constexpr QPoint DownloadStatusPlace(67, 133);
// The status bar follows the report at most this often: a run of small files counts faster.
constexpr int StatusBarIntervalMs = 50;

} // namespace

void MainWindow::createTransferRule()
{
    // "更新" and "上書" under the put and get buttons.
    Transfers& transfers = m_workspace->transfers();
    QWidget* middle = m_downloadButton->parentWidget();
    auto* layout = qobject_cast<QVBoxLayout*>(middle->layout());
    auto* group = new QButtonGroup(middle);
    group->setObjectName(QStringLiteral("Option1"));
    const std::pair<const char16_t*, const char16_t*> captions[] = {
        { u"更新", u"新しいファイルだけを転送します" },
        { u"上書", u"選択したファイルをすべて転送します" },
    };
    int at = layout->indexOf(m_downloadButton) + 1;
    for (int i = 0; i < 2; ++i) {
        auto* button = new QRadioButton(QString::fromUtf16(captions[i].first), middle);
        button->setObjectName(QStringLiteral("Option1_%1").arg(i));
        button->setToolTip(QString::fromUtf16(captions[i].second));
        button->setChecked(transfers.transferRule() == i);
        group->addButton(button, i);
        layout->insertWidget(at++, button);
    }
    connect(group, &QButtonGroup::idToggled, &transfers, [&transfers](int id, bool checked) {
        if (checked)
            transfers.setTransferRule(id);
    });
}

void MainWindow::connectRuns()
{
    Transfers* transfers = &m_workspace->transfers();
    StatusReport* report = &m_workspace->statusReport();
    connect(m_downloadButton, &QPushButton::clicked, transfers, &Transfers::DownloadSelection);
    connect(m_uploadButton, &QPushButton::clicked, transfers, [this, transfers] {
        // An upload reports under the local tree, which it brings to the front.
        if (!transfers->isRunning())
            m_statusUnderLocalTree = true;
        transfers->UploadSelection();
    });
    connect(transfers, &Transfers::busyChanged, this, &MainWindow::setBusy);
    connect(transfers, &Transfers::ftpTreeFrameRequested, this,
        [this](bool shown) { showTreeFrame(m_ftpTreePanel, shown); });
    // The user closing the FTP tree is seen in eventFilter.
    m_ftpTreePanel->installEventFilter(this);
    connect(transfers, &Transfers::localTreeFrameRequested, this, [this, report](bool shown) {
        showTreeFrame(m_localTreePanel, shown);
        // An upload shows the report right under the local tree.
        if (shown) {
            m_statusUnderLocalTree = true;
            if (report->isShown())
                placeStatusWindow();
        }
    });

    // The window shows and hides itself with the report; the main window gives it its place.
    connect(report, &StatusReport::shownChanged, this, [this](bool shown) {
        if (shown) {
            placeStatusWindow();
        } else {
            m_statusUnderLocalTree = false;
            showReportPanels();
        }
    });
    m_reportPanelTimer = new QTimer(this);
    m_reportPanelTimer->setObjectName(QStringLiteral("reportPanelTimer"));
    m_reportPanelTimer->setSingleShot(true);
    m_reportPanelTimer->setInterval(StatusBarIntervalMs);
    connect(m_reportPanelTimer, &QTimer::timeout, this, &MainWindow::showReportPanels);
    connect(report, &StatusReport::changed, m_reportPanelTimer, [this] {
        if (!m_reportPanelTimer->isActive())
            m_reportPanelTimer->start();
    });

    Deletes* deletes = &m_workspace->deletes();
    m_deleteConfirmation = new DeleteConfirmation(m_workspace->state(), m_central);
    deletes->setCaution([this](const QString& counts) { return m_deleteConfirmation->ask(counts); });
    connect(deletes, &Deletes::busyChanged, this, &MainWindow::setBusy);
    // The FTP tree panel shows the deletion tree while it is built and deleted.
    connect(
        deletes, &Deletes::ftpTreeFrameRequested, this, [this](bool shown) { showTreeFrame(m_ftpTreePanel, shown); });
    // A click on a file node of either tree marks it for deletion, or clears its mark; a click
    // on a folder node keeps its own meaning (the folder is listed).
    for (QTreeView* view : { m_ftpTreeView, m_localTreePanel->treeView() }) {
        connect(view, &QTreeView::clicked, this, [deletes, view](const QModelIndex& index) {
            auto* model = qobject_cast<QStandardItemModel*>(view->model());
            QStandardItem* node = model ? model->itemFromIndex(index) : nullptr;
            if (node && node->data(ItemRoles::IconKeyRole).toString().startsWith(IconKeys::Leaf))
                deletes->toggleMark(node);
        });
    }

    Permissions* permissions = &m_workspace->permissions();
    m_permissionPanel = new PermissionPanel(*permissions, m_central);
    connect(permissions, &Permissions::panelRequested, this, &MainWindow::placePermissionPanel);
}

void MainWindow::placePermissionPanel()
{
    // Over the FTP list, where the files it works on are chosen; never smaller than its boxes
    // need, or a short list squeezes the nine check boxes out of sight.
    const QTreeView* list = m_ftpPane->fileView();
    const QSize size = list->size().expandedTo(m_permissionPanel->minimumSizeHint());
    QPoint topLeft = list->mapTo(m_central, QPoint(0, 0));
    topLeft.setX(std::max(0, std::min(topLeft.x(), m_central->width() - size.width())));
    topLeft.setY(std::max(0, std::min(topLeft.y(), m_central->height() - size.height())));
    m_permissionPanel->setGeometry(QRect(topLeft, size));
    m_permissionPanel->showInFront();
}

void MainWindow::showReportPanels()
{
    m_reportPanelTimer->stop();
    // Only what the report changed: the FTP pane writes the same panels after each listing.
    for (int i = 0; i < 3; ++i) {
        const QString text = m_workspace->statusReport().statusPanel(i);
        if (text != m_reportPanels[i]) {
            m_reportPanels[i] = text;
            m_statusPanels[i]->setText(text);
        }
    }
}

void MainWindow::placeStatusWindow()
{
    if (m_statusUnderLocalTree && m_localTreePanel->isVisible()) {
        m_statusWindow->setGeometry(m_localTreePanel->x(), m_localTreePanel->y() + m_localTreePanel->height(),
            m_localTreePanel->width(), m_statusWindow->height());
    } else {
        m_statusWindow->move(DownloadStatusPlace);
    }
    m_statusWindow->showInFront();
}

void MainWindow::showTreeFrame(MovablePanel* frame, bool shown)
{
    // A run takes the tree back down only if the user had it closed: hiding a tree that was
    // open before leaves an empty hole where it stood, with no way to bring it back.
    if (!shown) {
        if (m_treesHiddenBeforeRun.remove(frame))
            frame->hide();
        return;
    }
    if (!frame->isVisibleTo(m_central))
        m_treesHiddenBeforeRun.insert(frame);
    placeDockedTrees();
    frame->showInFront();
    // The status window stays in front of the tree it reports on.
    if (m_statusWindow->isVisible())
        m_statusWindow->raise();
}
