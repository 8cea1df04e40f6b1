// The main window's side of the companion editor link: the message hook, the command
// interpreter's timer, the replies, and viewing server files for the editor.
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/ftp/session/remotepane.h"
#include "core/link/companionprotocol.h"
#include "core/log/activitylog.h"
#include "core/panes/commands/viewertext.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"
#include "gui/app/mainwindow.h"
#include "gui/link/companionlink.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

void MainWindow::createMessages()
{
    m_companionLink = new CompanionLink(*this, *m_timerMessage, m_central);
    m_mmessage->setEnabled(true);
    connect(m_mmessage, &QAction::triggered, m_companionLink, &CompanionLink::mmessage_Click);
    connect(m_timerMessage, &QTimer::timeout, this, &MainWindow::TimerMessage_Timer);
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
    if (!connection)
        return;
    m_modeRules->SetTransferMode(name);
    const QString copy = DataFolder::file(QStringLiteral("$temp$.") + extension);
    m_transfers->FtpGetFileConv(connection, name, copy, false, 32, m_state.TransferMode, 0);
    QString entry = m_activityLog->entry(
        QStringLiteral("<ファイル読込>"), name + QStringLiteral("→") + copy, QStringLiteral("</ファイル書込>"));
    m_activityLog->WriteLog(entry);
    QCoreApplication::processEvents();

    const QString kind = extension.toLower();
    if (kind == QLatin1String("html") || kind == QLatin1String("htm") || kind == QLatin1String("txt")) {
        ViewerText text;
        if (!ViewerText::load(copy, &text))
            text = ViewerText();
        if (m_state.CompanionWindow != 0) {
            AddStatusLine(QStringLiteral("set text"));
            m_companionLink->sendToEditor(CompanionProtocol::setTextMessage(name, QStringLiteral("FTP"),
                m_remotePane->GetCurrentFtpFolder(), m_companionLink->rb4Handle(), text.text));
        }
    } else if (kind == QLatin1String("pdf")) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(copy)))
            askUser().message(
                QStringLiteral("アクロバットリーダーで読み込めません"), Dialogs::Buttons::Ok, Dialogs::Icon::None);
    }
}
