#include "core/workspace/workspace.h"

#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/app/textfile.h"
#include "core/ftpsession/ftpconsole.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/manage/deletes.h"
#include "core/manage/folders.h"
#include "core/manage/permissions.h"
#include "core/panecommands/panecommands.h"
#include "core/panecommands/panepaths.h"
#include "core/panecommands/viewertext.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkexclusions.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"
#include "core/workspace/companionlink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStringListModel>

Workspace::Workspace(Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_dialogs(dialogs)
    , m_statusLines(std::make_unique<StatusLines>())
    , m_statusReport(std::make_unique<StatusReport>(m_state))
    , m_settingsLines(std::make_unique<SettingsLines>())
    , m_options(std::make_unique<Options>(*m_settingsLines))
    , m_profiles(std::make_unique<Profiles>(*m_settingsLines, *m_options, dialogs))
    , m_modeRules(std::make_unique<ModeRules>(*m_settingsLines))
    , m_activityLog(std::make_unique<ActivityLog>())
    , m_listingRecord(std::make_unique<ListingRecord>())
    , m_localPane(std::make_unique<LocalPane>(m_state, *m_listingRecord, dialogs))
    , m_remotePane(std::make_unique<RemotePane>(
          m_state, *m_listingRecord, *m_options, *m_profiles, *m_statusLines, *m_activityLog, dialogs))
    , m_transfers(std::make_unique<Transfers>(m_state, *m_options, *m_modeRules, *m_localPane, *m_remotePane,
          *m_statusLines, *m_activityLog, dialogs, *m_statusReport))
    , m_deletes(std::make_unique<Deletes>(
          m_state, *m_remotePane, *m_localPane, *m_statusLines, *m_activityLog, dialogs, *m_statusReport))
    , m_folders(
          std::make_unique<Folders>(m_state, *m_remotePane, *m_localPane, *m_statusLines, *m_activityLog, dialogs))
    , m_permissions(std::make_unique<Permissions>(m_state, *m_remotePane, *m_statusLines, *m_activityLog, dialogs))
    , m_console(std::make_unique<FtpConsole>(*m_activityLog))
    , m_paneCommands(std::make_unique<PaneCommands>(
          m_state, *m_localPane, *m_remotePane, *m_modeRules, *m_transfers, *m_activityLog, *m_statusLines, dialogs))
    , m_linkExclusions(std::make_unique<LinkExclusions>(DataFolder::file(QStringLiteral("link.txt"))))
    , m_linkChecker(std::make_unique<LinkChecker>(m_state, *m_options, *m_statusLines, *m_linkExclusions, &dialogs))
    , m_companionLink(std::make_unique<CompanionLink>(*this))
{
    m_linkExclusions->setObjectName(QStringLiteral("List7"));
    connectCore();
}

Workspace::~Workspace()
{
    // The link answers messages with the objects below it: it goes first.
    m_companionLink.reset();
}

void Workspace::connectCore()
{
    m_settingsLines->setDialogs(&m_dialogs);
    m_localPane->setOptions(*m_options);

    m_connectionWatch.setObjectName(QStringLiteral("Timer1"));
    m_connectionWatch.setInterval(10000);
    m_moveUpTimer.setObjectName(QStringLiteral("Timer4"));
    m_moveUpTimer.setInterval(500);
    connect(&m_connectionWatch, &QTimer::timeout, m_remotePane.get(), &RemotePane::onConnectionWatchTick);
    connect(&m_moveUpTimer, &QTimer::timeout, this, [this] {
        m_remotePane->setMoveUpFlag(true);
        m_moveUpTimer.stop();
    });
    m_moveUpTimer.start();
    m_remotePane->setTimers(&m_connectionWatch, &m_moveUpTimer);
    m_transfers->setConnectionWatch(&m_connectionWatch);
    m_deletes->setConnectionWatch(&m_connectionWatch);
    m_folders->setConnectionWatch(&m_connectionWatch);
    m_paneCommands->setConnectionWatch(&m_connectionWatch);

    m_remotePane->setConsole(m_console.get());
    connect(m_permissions.get(), &Permissions::consoleReply, m_console.get(), &FtpConsole::append);
    connect(m_linkChecker.get(), &LinkChecker::currentText, m_statusReport.get(), &StatusReport::setCurrentFile);

    // A tree walk reports through the status window.
    m_remotePane->setShowTransferCounts([this] { m_statusReport->ShowTransferCounts(); });
    connect(m_remotePane.get(), &RemotePane::statusTitleChanged, m_statusReport.get(), &StatusReport::setCaption);
    connect(m_remotePane.get(), &RemotePane::statusTextChanged, m_statusReport.get(), &StatusReport::setCurrentFile);

    connect(m_options.get(), &Options::viewOptionChanged, this, [this](int index, bool) {
        if (index > Options::NoFileColours)
            return;
        m_localPane->RefreshLocalPanes();
        m_localPane->ColourLocalList();
        if (index == Options::NoFileColours)
            m_remotePane->ColourFtpList();
    });
    connect(m_profiles.get(), &Profiles::showInFtpFolderText, m_remotePane.get(), &RemotePane::setFolderText);
    connect(m_profiles.get(), &Profiles::localFolderSelected, this, [this](const QString& folder) {
        m_localPane->setFolderText(folder);
        if (m_localPane->ListLocalFolder(folder))
            m_localPane->FillLocalList();
        m_localPane->ColourLocalList();
    });
    // Queued: the failure is shown after the operation that wrote the entry, not in its middle.
    connect(
        m_activityLog.get(), &ActivityLog::writeFailed, this,
        [this](
            const QString& message) { m_dialogs.message(message, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation); },
        Qt::QueuedConnection);
}

void Workspace::setClock(const Clock& clock)
{
    m_statusLines->setClock(clock);
    m_activityLog->setClock(clock);
    m_profiles->setClock(clock);
    m_remotePane->setClock(clock);
    m_transfers->setClock(clock);
}

QString Workspace::welcomeLine()
{
    return QStringLiteral("Welcome to FTPTarvo ") + QStringLiteral("Ver ") + QString::number(FTPTARVO_VERSION_MAJOR)
        + u'.' + QString::number(FTPTARVO_VERSION_MINOR) + u'.' + QString::number(FTPTARVO_VERSION_PATCH)
        + QStringLiteral("  ホームページ作りのためのFTPクライアントです。");
}

CommandLineRequest Workspace::startUp(const QString& commandLine)
{
    m_state.CommandLine = commandLine;
    m_state.MarkColour = QColor(194, 191, 165);
    m_state.IsConnected = false;
    m_remotePane->setFolderText(m_profiles->field(0));
    // The home folder stands for "c:/": the drive list shows "/", the path box the home folder,
    // which is listed and filled. The tree is walked by the commands that work on whole trees.
    m_localPane->showStartFolder();
    m_options->loadAtStartUp(&m_dialogs);
    m_modeRules->LoadModeLists();
    // The profile shows its name in the FTP path box itself.
    m_profiles->selectLastProfile();
    m_statusLines->addRawLine(welcomeLine());
    m_localPane->ColourLocalList();
    QCoreApplication::processEvents();
    m_linkExclusions->load();
    return parseCommandLine(m_state.CommandLine, m_options->profileNameModel()->stringList());
}

void Workspace::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_companionLink->UnhookMessages();
    m_remotePane->DisconnectServer();
    QCoreApplication::processEvents();
    removeTemporaryFiles();
    m_companionLink->sendEnd();
    m_connectionWatch.stop();
    m_moveUpTimer.stop();
}

void Workspace::removeTemporaryFiles()
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

void Workspace::selectProfile(int row) { m_profiles->selectProfileRow(row); }

void Workspace::connectProfile(int row)
{
    if (m_remotePane->FtpHandle()) {
        m_remotePane->DisconnectServer();
        QCoreApplication::processEvents();
    }
    selectProfile(row);
    QCoreApplication::processEvents();
    m_remotePane->ConnectServer();
}

void Workspace::openLocalPath(const QString& folder, const QString& name)
{
    QString path = folder;
    if (QDir::isRelativePath(path))
        path = QDir::cleanPath(QDir(LocalPane::homeFolder()).absoluteFilePath(path));
    m_localPane->setFolderText(path);
    if (m_localPane->ListLocalFolder(path))
        m_localPane->FillLocalList();
    m_localPane->ColourLocalList();

    QItemSelectionModel& selection = *m_localPane->fileSelection();
    selection.clearSelection();
    PaneListModel& rows = *m_localPane->fileList();
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QModelIndex index = rows.index(row, 0);
        if (index.data().toString() == name) {
            selection.setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            break;
        }
    }
}

bool Workspace::runConsoleCommand(const QString& command) { return m_console->run(m_remotePane->FtpHandle(), command); }

void Workspace::checkStartPath(bool companionStart)
{
    const PaneListModel& list = *m_localPane->fileList();
    const QModelIndex current = m_localPane->fileSelection()->currentIndex();
    if (!current.isValid() || !m_localPane->fileSelection()->isRowSelected(current.row()))
        return;
    m_state.ActivePane = 4;
    if (list.isFolderRow(current.row()))
        traceSelectedFolder(!companionStart);
    else if (!companionStart)
        checkLocalPages({ PanePaths::join(m_localPane->folderText().trimmed(), list.text(current.row(), 0)) });
}

void Workspace::deleteInActivePane()
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

void Workspace::makeFolderInActivePane()
{
    if (m_state.ActivePane == 2)
        m_folders->MakeServerFolder();
    else
        m_folders->MakeLocalFolder();
}

void Workspace::viewServerFile(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return;
    const QString extension = name.mid(dot + 1);
    FtpConnection* connection = m_remotePane->FtpHandle();
    // The copy is named after the extension: it must stay a file of the data folder.
    if (!connection || extension.contains(u'/'))
        return;
    const QString copy = DataFolder::file(QStringLiteral("$temp$.") + extension);
    m_transfers->FtpGetFileConv(connection, name, copy, false, m_modeRules->SetTransferMode(name));
    m_activityLog->write(
        QStringLiteral("<ファイル読込>"), name + QStringLiteral("→") + copy, QStringLiteral("</ファイル書込>"));
    QCoreApplication::processEvents();

    const QString kind = extension.toLower();
    if (kind == QLatin1String("html") || kind == QLatin1String("htm") || kind == QLatin1String("txt")) {
        // A failed fetch shows what the copy holds: an earlier file, or nothing.
        ViewerText text;
        if (!ViewerText::load(copy, &text))
            text = ViewerText();
        Q_EMIT serverTextFetched(name, text.text);
        if (m_state.CompanionWindow != 0 && m_companionLink->sendServerText(name, text.text))
            Q_EMIT serverTextSentToEditor();
    } else if (kind == QLatin1String("pdf")) {
        Q_EMIT documentFetched(copy);
    } else if (kind == QLatin1String("jpg") || kind == QLatin1String("gif") || kind == QLatin1String("bmp")
        || kind == QLatin1String("tif")) {
        Q_EMIT serverPictureFetched(name, copy);
    }
}
