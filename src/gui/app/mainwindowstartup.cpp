// Start-up and exit of the main window.
#include "core/app/commandline.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/workspace/companionlink.h"
#include "core/workspace/schedulerunner.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/panes/localpanewidget.h"
#include "gui/schedule/schedulepanel.h"
#include "gui/settings/serverpanel.h"
#include "gui/ui/movablepanel.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QTreeView>

void MainWindow::Form_Load(const QString& commandLine)
{
    // The window stays hidden until the command line has been looked at.
    hide();
    resize(InitialWidth, height());
    const CommandLineRequest request = m_workspace->startUp(commandLine);
    m_statusPanels[0]->setVisible(true);
    rebuildProfileMenu();
    if (!runCommandLine(request))
        return;
    show();
    QCoreApplication::processEvents();
    setInitialCommandState();
}

bool MainWindow::runCommandLine(const CommandLineRequest& request)
{
    using Kind = CommandLineRequest::Kind;
    if (request.kind == Kind::Empty)
        return true;

    if (request.profileIndex >= 0) {
        show();
        QCoreApplication::processEvents();
        m_workspace->selectProfile(request.profileIndex);
        m_serverPanel->onOkOrAnonymousClicked(0);
        m_workspace->remotePane().ConnectServer();
    }

    CompanionLink& link = m_workspace->companionLink();
    switch (request.kind) {
    case Kind::MessageVisible:
        link.HookMessages();
        show();
        m_showMessages->setVisible(true);
        return false;
    case Kind::MessageInvisible:
        link.HookMessages();
        hide();
        return false;
    case Kind::ShowOnly:
    case Kind::OpenPath:
    case Kind::Empty:
        break;
    }

    if (request.hasHandle) {
        m_workspace->state().CompanionWindow = request.companionHandle;
        m_workspace->statusLines().AddStatusLine(
            QStringLiteral("GetHandle=") + QString::number(request.companionHandle));
        link.sendHandshake();
    }
    if (request.kind != Kind::OpenPath) {
        show();
        return false;
    }
    m_workspace->openLocalPath(request.folder, request.name);
    QTreeView* list = m_localPaneWidget->fileView();
    list->scrollTo(list->currentIndex());
    show();
    QCoreApplication::processEvents();
    m_workspace->checkStartPath(request.companionStart);
    m_statusWindow->hide();
    return true;
}

void MainWindow::Form_Unload()
{
    m_schedulePanel->runner().stop();
    m_workspace->shutDown();
}

bool MainWindow::isUnloaded() const { return m_workspace->isShutDown(); }
