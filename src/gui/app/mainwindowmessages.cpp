// The main window's side of the companion editor link: the message hook, the command
// interpreter's timer, the replies, and viewing server files for the editor.
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/ftpsession/remotepane.h"
#include "core/link/companionprotocol.h"
#include "core/log/activitylog.h"
#include "core/panecommands/viewertext.h"
#include "core/panes/panelistmodel.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"
#include "gui/app/mainwindow.h"
#include "gui/ftp/ftppane.h"
#include "gui/link/companionlink.h"
#include "gui/panes/frmpic.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

void MainWindow::createMessages()
{
    m_companionLink = new CompanionLink(*this, *m_timerMessage, m_central);
    m_mmessage->setEnabled(true);
    connect(m_mmessage, &QAction::triggered, m_companionLink, &CompanionLink::mmessage_Click);
    connect(m_timerMessage, &QTimer::timeout, this, &MainWindow::TimerMessage_Timer);

    // "変更内容の更新": shown once a server text went to the editor.
    auto* command45 = new QPushButton(QStringLiteral("変更内容の更新"), m_frmPic);
    command45->setObjectName(QStringLiteral("Command45"));
    command45->hide();
    m_frmPic->body()->addWidget(command45);
    connect(command45, &QPushButton::clicked, this,
        [this] { m_companionLink->Command45_Click(m_frmPic->textView()->toPlainText()); });

    connect(m_companionLink, &CompanionLink::textViewRequested, this,
        [this](const QString& text) { m_frmPic->textView()->setPlainText(text); });
    connect(m_companionLink, &CompanionLink::storeRequested, this, [this](const QString& name, const QString& text) {
        m_frmPic->showServerText(text, name);
        // The contents as they came, not as the view normalised them.
        m_transfers->UpdateRemoteFile(text, name);
    });

    // A file row of the FTP list opens in the viewer (folders are the pane's own).
    connect(m_ftpPane, &FtpPane::fileRowDoubleClicked, this,
        [this](int row) { ViewServerFile(m_remotePane->fileList()->index(row, 0).data().toString()); });
}

void MainWindow::HookMessages() { m_companionLink->HookMessages(); }

void MainWindow::UnhookMessages() { m_companionLink->UnhookMessages(); }

void MainWindow::TimerMessage_Timer() { m_companionLink->TimerMessage_Timer(); }

void MainWindow::SendToCompanion(const QString& text) { m_companionLink->SendToCompanion(text); }

void MainWindow::ViewServerFile(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return;
    const QString extension = name.mid(dot + 1);
    FtpConnection* connection = m_remotePane->FtpHandle();
    // The copy is named after the extension: it must stay a file of the data folder.
    if (!connection || extension.contains(u'/'))
        return;
    m_modeRules->SetTransferMode(name);
    const QString copy = DataFolder::file(QStringLiteral("$temp$.") + extension);
    m_transfers->FtpGetFileConv(connection, name, copy, false, 32, m_state.TransferMode, 0);
    QString entry = m_activityLog->entry(
        QStringLiteral("<ファイル読込>"), name + QStringLiteral("→") + copy, QStringLiteral("</ファイル書込>"));
    m_activityLog->WriteLog(entry);
    QCoreApplication::processEvents();

    m_frmPic->nameBox()->setText(name);

    const QString kind = extension.toLower();
    if (kind == QLatin1String("html") || kind == QLatin1String("htm") || kind == QLatin1String("txt")) {
        // A failed fetch shows what the copy holds: an earlier file, or nothing.
        ViewerText text;
        if (!ViewerText::load(copy, &text))
            text = ViewerText();
        m_frmPic->showServerText(text.text, name);
        openPanel(m_frmPic);
        if (m_state.CompanionWindow != 0) {
            AddStatusLine(QStringLiteral("set text"));
            m_companionLink->sendToEditor(
                CompanionProtocol::setTextMessage(name, m_frmPic->tag(), m_remotePane->GetCurrentFtpFolder(),
                    m_companionLink->rb4Handle(), m_frmPic->textView()->toPlainText()));
            m_frmPic->findChild<QPushButton*>(QStringLiteral("Command45"))->setVisible(true);
        }
    } else if (kind == QLatin1String("pdf")) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(copy)))
            askUser().message(
                QStringLiteral("アクロバットリーダーで読み込めません"), Dialogs::Buttons::Ok, Dialogs::Icon::None);
    } else if (kind == QLatin1String("jpg") || kind == QLatin1String("gif") || kind == QLatin1String("bmp")
        || kind == QLatin1String("tif")) {
        if (m_frmPic->showLocalPicture(copy)) {
            m_frmPic->setTag(QStringLiteral("FTP"));
            m_frmPic->nameBox()->setText(name);
            openPanel(m_frmPic);
        }
    }
}
