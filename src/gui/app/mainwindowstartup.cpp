// Start-up and exit of the main window.
#include "core/app/commandline.h"
#include "core/app/datafolder.h"
#include "core/app/statuslines.h"
#include "core/app/textfile.h"
#include "core/ftpsession/remotepane.h"
#include "core/app/itemroles.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"
#include "gui/app/mainwindow.h"
#include "gui/link/companionlink.h"
#include "gui/panes/localpanewidget.h"
#include "gui/settings/serverpanel.h"
#include "gui/ui/movablepanel.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStringListModel>
#include <QTimer>
#include <QTreeView>

namespace {

// link.txt is a short list of link patterns; anything larger is no list of ours.
constexpr qint64 MaxLinkListBytes = 4 * 1024 * 1024;

} // namespace

void MainWindow::Form_Load(const QString& commandLine)
{
    // 1. The folder-analysis window comes with the help; the window stays hidden until the
    //    command line has been looked at.
    hide();

    // 2.
    m_state.CommandLine = commandLine;
    m_state.MarkColour = QColor(194, 191, 165);
    resize(InitialWidth, height());
    m_state.IsConnected = false;
    m_state.TransferMode = 2;

    // 3.
    m_remotePane->setFolderText(m_profiles->field(0));

    // 4, 5. The home folder stands for "c:/": the drive list shows "/", folderText the home folder,
    //    which is listed and filled. The tree is walked by the commands that work on whole trees.
    m_localPane->showStartFolder();

    // 6.
    m_options->loadAtStartUp(&askUser());
    // 7.
    m_modeRules->LoadModeLists();
    // 8.
    selectLastProfile();
    // 9.
    m_statusPanels[0]->setVisible(true);
    // 10.
    addProfileMenuItems();
    // 11.
    m_statusLines->addRawLine(welcomeLine());
    // 12. The link and message lists that get a horizontal extent come with their panels.
    // 13.
    m_localPane->ColourLocalList();
    QCoreApplication::processEvents();
    // 14.
    loadLinkList();

    // 15.
    if (!runCommandLine(parseCommandLine(m_state.CommandLine, m_options->profileNameModel()->stringList())))
        return;

    // 16.
    show();
    QCoreApplication::processEvents();
    setInitialCommandState();
}

void MainWindow::selectLastProfile()
{
    // The profile shows its name in folderText itself.
    if (m_profiles->selectLastProfile() < 0)
        m_list1Combo->setCurrentIndex(-1);
}

void MainWindow::selectProfile(int row) { m_profiles->selectProfileRow(row); }

void MainWindow::addProfileMenuItems()
{
    for (auto it = m_m2.begin(); it != m_m2.end();) {
        if (it.key() < 5) {
            ++it;
            continue;
        }
        m_mm2->removeAction(it.value());
        it.value()->deleteLater();
        it = m_m2.erase(it);
    }
    const QStringList names = m_options->profileNameModel()->stringList();
    int index = m_m2.isEmpty() ? 1 : m_m2.lastKey() + 1;
    for (int i = 0; i < names.size(); ++i, ++index) {
        const QString caption = QStringLiteral(" %1:%2").arg(i).arg(names[i]);
        QString shown = caption;
        shown.replace(u'&', QStringLiteral("&&"));
        QAction* action = m_mm2->addAction(shown);
        action->setObjectName(QStringLiteral("m2_%1").arg(index));
        action->setData(caption);
        connect(action, &QAction::triggered, this, [this, index] { m2_Click(index); });
        m_m2.insert(index, action);
    }
}

void MainWindow::m2_Click(int index)
{
    QAction* action = m_m2.value(index);
    if (index < 5 || !action)
        return;
    // Everything after the number's ":" is the name, so a name may hold a ":" itself.
    const QString caption = action->data().toString();
    const qsizetype colon = caption.indexOf(u':');
    if (colon < 0)
        return;
    const QString name = caption.mid(colon + 1);
    const qsizetype row = m_options->profileNameModel()->stringList().indexOf(name);
    if (row < 0)
        return;
    if (m_remotePane->FtpHandle()) {
        m_remotePane->DisconnectServer();
        QCoreApplication::processEvents();
    }
    selectProfile(int(row));
    QCoreApplication::processEvents();
    m_remotePane->ConnectServer();
}

QString MainWindow::welcomeLine() const
{
    return QStringLiteral("Welcome to FTPTarvo ") + QStringLiteral("Ver ") + QString::number(FTPTARVO_VERSION_MAJOR)
        + u'.' + QString::number(FTPTARVO_VERSION_MINOR) + u'.' + QString::number(FTPTARVO_VERSION_PATCH)
        + QStringLiteral("  ホームページ作りのためのFTPクライアントです。");
}

void MainWindow::loadLinkList()
{
    const QString path = DataFolder::file(QStringLiteral("link.txt"));
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxLinkListBytes)
        return;
    if (const std::optional<QStringList> lines = TextFile::readLines(path))
        m_list7->setStringList(m_list7->stringList() + *lines);
}

bool MainWindow::runCommandLine(const CommandLineRequest& request)
{
    using Kind = CommandLineRequest::Kind;
    if (request.kind == Kind::Empty)
        return true;

    if (request.profileIndex >= 0) {
        show();
        QCoreApplication::processEvents();
        selectProfile(request.profileIndex);
        m_frame1->onOkOrAnonymousClicked(0);
        m_remotePane->ConnectServer();
    }

    switch (request.kind) {
    case Kind::MessageVisible:
        HookMessages();
        show();
        m_mmessage->setVisible(true);
        return false;
    case Kind::MessageInvisible:
        HookMessages();
        hide();
        return false;
    case Kind::ShowOnly:
    case Kind::OpenPath:
    case Kind::Empty:
        break;
    }

    if (request.hasHandle) {
        m_state.CompanionWindow = request.companionHandle;
        AddStatusLine(QStringLiteral("GetHandle=") + QString::number(request.companionHandle));
        m_companionLink->sendHandshake();
    }
    if (request.kind != Kind::OpenPath) {
        show();
        return false;
    }
    openCommandLinePath(request);
    return true;
}

void MainWindow::openCommandLinePath(const CommandLineRequest& request)
{
    QString folder = request.folder;
    if (QDir::isRelativePath(folder))
        folder = QDir::cleanPath(QDir(LocalPane::homeFolder()).absoluteFilePath(folder));
    m_localPane->setFolderText(folder);
    if (m_localPane->ListLocalFolder(folder))
        m_localPane->FillLocalList(folder);
    m_localPane->ColourLocalList();

    QTreeView* list = m_localPaneWidget->fileView();
    list->clearSelection();
    PaneListModel* rows = m_localPane->fileList();
    for (int row = 0; row < rows->rowCount(); ++row) {
        const QModelIndex index = rows->index(row, 0);
        if (index.data().toString() != request.name)
            continue;
        list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list->scrollTo(index);
        break;
    }
    // The link check of the selected page or folder comes with the link checker; it ends with the
    // status report hidden.
    m_frame27->hide();
}

void MainWindow::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // 1.
    UnhookMessages();
    // 2.
    m_remotePane->DisconnectServer();
    QCoreApplication::processEvents();
    // 3.
    removeTemporaryFiles();
    // 4.
    m_companionLink->sendEnd();
    // 5. The folder-analysis window comes with the help.
    for (QTimer* t : { m_connectionWatch, m_timer2, m_timer3, m_moveUpTimer, m_timerMessage })
        t->stop();
}

void MainWindow::removeTemporaryFiles()
{
    const QDir folder(DataFolder::path());
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::System;
    for (const QFileInfo& info : folder.entryInfoList({ QStringLiteral("$temp$.*") }, files))
        QFile::remove(info.absoluteFilePath());

    // A "temp" that is a link leads out of the data folder: nothing behind it is ours to delete.
    const QFileInfo temp(folder.filePath(QStringLiteral("temp")));
    if (!temp.isDir() || temp.isSymLink())
        return;
    const QDir tempDir(temp.absoluteFilePath());
    for (const QFileInfo& info : tempDir.entryInfoList(files))
        QFile::remove(info.absoluteFilePath());
    folder.rmdir(QStringLiteral("temp"));
}
