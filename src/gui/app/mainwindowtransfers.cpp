// The main window's side of the transfers: the `Transfers` object, the get and put buttons, the
// overwrite option `transferRule`, the status window and the status bar panels it shares with the
// FTP pane, the tree panels a run shows and hides, and the busy pointer.
#include "core/app/statusreport.h"
#include "core/transfer/transfers.h"
#include "gui/app/mainwindow.h"
#include "gui/panes/localtreepanel.h"
#include "gui/ui/movablepanel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Where a download shows the status window: 1000 twips from the left, 2000 from the top.
constexpr QPoint DownloadStatusPlace(67, 133);
// The status bar follows the report at most this often: a run of small files counts faster.
constexpr int StatusBarIntervalMs = 50;

} // namespace

void MainWindow::connectTransfers()
{
    Transfers* transfers = m_transfers.get();
    transfers->setConnectionWatch(m_connectionWatch);

    // "更新" and "上書" under the put and get buttons.
    auto* middle = m_cmdGet->parentWidget();
    auto* layout = qobject_cast<QVBoxLayout*>(middle->layout());
    auto* option1 = new QButtonGroup(middle);
    option1->setObjectName(QStringLiteral("Option1"));
    const std::pair<const char16_t*, const char16_t*> captions[] = {
        { u"更新", u"新しいファイルだけを転送します" },
        { u"上書", u"選択したファイルをすべて転送します" },
    };
    int at = layout ? layout->indexOf(m_cmdGet) + 1 : 0;
    for (int i = 0; i < 2; ++i) {
        auto* button = new QRadioButton(QString::fromUtf16(captions[i].first), middle);
        button->setObjectName(QStringLiteral("Option1_%1").arg(i));
        button->setToolTip(QString::fromUtf16(captions[i].second));
        option1->addButton(button, i);
        if (layout)
            layout->insertWidget(at++, button);
        m_transferRule[i] = button;
    }
    m_transferRule[transfers->transferRule() == 1 ? 1 : 0]->setChecked(true);
    connect(option1, &QButtonGroup::idToggled, transfers, [transfers](int id, bool checked) {
        if (checked)
            transfers->setTransferRule(id);
    });

    connect(m_cmdGet, &QPushButton::clicked, transfers, &Transfers::DownloadSelection);
    connect(m_cmdPut, &QPushButton::clicked, transfers, [this, transfers] {
        // An upload reports under the local tree, which it brings to the front.
        if (!transfers->isRunning())
            m_statusUnderLocalTree = true;
        transfers->UploadSelection();
    });

    connect(transfers, &Transfers::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    connect(
        transfers, &Transfers::ftpTreeFrameRequested, this, [this](bool shown) { showTreeFrame(m_frame20, shown); });
    // The user closing the FTP tree is seen in eventFilter.
    m_frame20->installEventFilter(this);
    connect(transfers, &Transfers::localTreeFrameRequested, this, [this](bool shown) {
        showTreeFrame(m_frame3, shown);
        // An upload shows the report right under the local tree.
        if (shown) {
            m_statusUnderLocalTree = true;
            if (m_statusReport->isShown())
                placeStatusWindow();
        }
    });

    // The window shows and hides itself with the report; the main window gives it its place.
    connect(m_statusReport.get(), &StatusReport::shownChanged, this, [this](bool shown) {
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
    connect(m_statusReport.get(), &StatusReport::changed, m_reportPanelTimer, [this] {
        if (!m_reportPanelTimer->isActive())
            m_reportPanelTimer->start();
    });
}

void MainWindow::showReportPanels()
{
    m_reportPanelTimer->stop();
    // Only what the report changed: the FTP pane writes the same panels after each listing.
    for (int i = 0; i < 3; ++i) {
        const QString text = m_statusReport->statusPanel(i);
        if (text != m_reportPanels[i]) {
            m_reportPanels[i] = text;
            m_statusPanels[i]->setText(text);
        }
    }
}

void MainWindow::placeStatusWindow()
{
    if (m_statusUnderLocalTree && m_frame3->isVisible()) {
        m_frame27->setGeometry(
            m_frame3->x(), m_frame3->y() + m_frame3->height(), m_frame3->width(), m_frame27->height());
    } else {
        m_frame27->move(DownloadStatusPlace);
    }
    m_frame27->showInFront();
}

void MainWindow::showTreeFrame(MovablePanel* frame, bool shown)
{
    // A transfer takes the tree back down only if the user had it closed: hiding a tree that
    // was open before leaves an empty hole where it stood, with no way to bring it back.
    if (!shown) {
        if (m_treesHiddenBeforeTransfer.remove(frame))
            frame->hide();
        return;
    }
    if (!frame->isVisibleTo(m_central))
        m_treesHiddenBeforeTransfer.insert(frame);
    placeDockedTrees();
    frame->showInFront();
    // The status window stays in front of the tree it reports on.
    if (m_frame27->isVisible())
        m_frame27->raise();
}
