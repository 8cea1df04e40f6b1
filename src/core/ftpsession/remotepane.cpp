// The FTP pane's state and the navigation between server folders.
#include "core/ftpsession/remotepane.h"

#include "core/app/appstate.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/ftpconsole.h"
#include "core/ftpsession/remotepaneguards.h"
#include "core/ftpsession/sessionrules.h"
#include "core/log/activitylog.h"
#include "core/panes/filecolours.h"
#include "core/panes/ftplist.h"
#include "core/panes/listftpfolder.h"
#include "core/panes/listheaders.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"
#include "core/panes/pathrules.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QSet>
#include <QStandardItemModel>
#include <QTimer>
#include <deque>

namespace {

// A walk deeper than this is a server that shows a folder inside itself (a link loop); no site
// is built that deep.
constexpr int MaxTreeDepth = 64;

QStandardItem* makeNode(const QString& text, const QString& key, const QString& icon)
{
    auto* node = new QStandardItem(text);
    node->setData(key, ItemRoles::NodeKeyRole);
    node->setData(icon, ItemRoles::IconKeyRole);
    node->setEditable(false);
    return node;
}

} // namespace

RemotePane::RemotePane(AppState& state, ListingRecord& record, Options& options, Profiles& profiles,
    StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_record(record)
    , m_options(options)
    , m_profiles(profiles)
    , m_statusLines(statusLines)
    , m_log(log)
    , m_dialogs(dialogs)
    , m_connection(m_session)
    , m_fileList(std::make_unique<PaneListModel>(ftpListHeaders()))
    , m_folderTree(std::make_unique<QStandardItemModel>())
    , m_fileSelection(std::make_unique<QItemSelectionModel>(m_fileList.get()))
    , m_folderTreeSelection(std::make_unique<QItemSelectionModel>(m_folderTree.get()))
{
    m_fileList->setObjectName(QStringLiteral("ListView1Model"));
    m_folderTree->setObjectName(QStringLiteral("TreeView3Model"));
    m_session.setIdleHook([this] {
        QCoreApplication::processEvents();
        // The watch's probe is no command of the user's: a stop is not meant for it.
        return !m_probing && m_state.StopRequested;
    });
    m_session.setNoticeHook([this](const QString& text) { m_statusLines.AddStatusLine(u' ' + text); });
    m_session.setCertificateDecision([this](const FtpSession::CertificateInfo& info) {
        // A changed certificate may be an attack: Enter must not trust it.
        if (!info.acceptedBefore.isEmpty() && info.acceptedBefore != info.sha256Fingerprint)
            return m_dialogs.message(
                       changedCertificateWarning(info), Dialogs::Buttons::YesNoDefaultNo, Dialogs::Icon::Critical)
                == Dialogs::Answer::Yes;
        return m_dialogs.message(certificateQuestion(info), Dialogs::Buttons::YesNo, Dialogs::Icon::Exclamation)
            == Dialogs::Answer::Yes;
    });
}

RemotePane::~RemotePane() = default;

void RemotePane::setTimers(QTimer* timer1, QTimer* timer4)
{
    m_connectionWatch = timer1;
    m_moveUpTimer = timer4;
}

void RemotePane::setFolderText(const QString& text)
{
    if (m_folderText == text)
        return;
    m_folderText = text;
    Q_EMIT folderTextChanged(text);
}

QString RemotePane::hostName() const { return m_profiles.field(1); }

void RemotePane::beginUserCommand() { m_state.StopRequested = false; }

void RemotePane::clearHonouredStop()
{
    if (m_connection.lastError() == FtpError::OperationCancelled)
        m_state.StopRequested = false;
}

bool RemotePane::trySetFolder(const QString& folder)
{
    if (!m_ftpHandle)
        return false;
    return m_connection.setCurrentDirectory(folder);
}

QString RemotePane::GetCurrentFtpFolder()
{
    QString folder;
    if (!m_ftpHandle || !m_connection.getCurrentDirectory(&folder)) {
        clearHonouredStop();
        return m_folderText;
    }
    if (folder == u"/")
        return hostName();
    return folder;
}

bool RemotePane::ChangeFtpFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString target = SessionRules::changeFolderTarget(path, hostName());
    bool ok = false;
    auto cancelled = [this] { return m_connection.lastError() == FtpError::OperationCancelled; };
    if (target.isEmpty()) {
        ok = trySetFolder(QStringLiteral("..")) || (!cancelled() && trySetFolder(QStringLiteral("/")));
    } else {
        ok = trySetFolder(target);
    }
    // The fallbacks: the last part alone, then the target from the root. A stop ends them.
    if (!ok && !cancelled()) {
        ok = trySetFolder(SessionRules::lastPathPart(target));
        if (!ok && !cancelled()) {
            const QString fromRoot = target.startsWith(u'/') ? target : u'/' + target;
            ok = trySetFolder(fromRoot);
        }
    }
    if (!ok)
        clearHonouredStop();
    setFolderText(path == u"/" ? hostName() : path);
    return ok;
}

bool RemotePane::ListFtpFolder()
{
    if (!m_ftpHandle) {
        m_record.ClearListings();
        m_record.RemoteTotalKB = 0;
        return false;
    }
    QString raw;
    const bool ok = ::ListFtpFolder(m_connection, m_record, m_options.serverTimesAsLocal(), m_clock, &raw);
    if (!ok)
        clearHonouredStop();
    else if (m_console)
        m_console->setListingText(raw);
    return ok;
}

void RemotePane::FillFtpList()
{
    if (const std::optional<FtpListSummary> summary = ::FillFtpList(m_record, *m_fileList))
        Q_EMIT statusPanelsChanged(summary->folders, summary->files, summary->size);
}

void RemotePane::ColourFtpList() { ::ColourFtpList(*m_fileList, m_options.noFileColours()); }

void RemotePane::GoToFtpFolder()
{
    const QString path = m_folderText;
    ChangeFtpFolder(path);
    ListFtpFolder();
    FillFtpList();
}

void RemotePane::goToTypedFolder()
{
    if (commandRunning())
        return;
    BusyPointer busy(*this);
    beginUserCommand();
    WatchPause pause(*this);
    GoToFtpFolder();
}

void RemotePane::ShowFtpFolder(const QString& path)
{
    if (!path.isEmpty())
        ChangeFtpFolder(path == hostName() ? QStringLiteral("/") : path);
    ListFtpFolder();
}

void RemotePane::RefreshFtpPanes()
{
    ShowFtpFolder(m_folderText.trimmed());
    setFolderText(m_folderText.trimmed());
    FillFtpList();
    // After a transfer or a delete the list must look as it did, colours included.
    ColourFtpList();
}

void RemotePane::onUpClicked()
{
    if (commandRunning())
        return;
    moveUpCommand();
}

void RemotePane::moveUpCommand()
{
    BusyPointer busy(*this);
    if (m_upWrapperBusy)
        return;
    m_upWrapperBusy = true;
    beginUserCommand();
    {
        WatchPause pause(*this);
        MoveUpFtpFolder();
    }
    ColourFtpList();
    m_upWrapperBusy = false;
}

void RemotePane::MoveUpFtpFolder()
{
    if (m_moveUpBusy)
        return;
    m_moveUpBusy = true;
    const quint64 generation = m_generation;
    const QString path = m_folderText;
    // The tree shows the folders under the old place; a shown tree is emptied rather than kept wrong.
    if (m_treeFrameShown)
        m_folderTree->clear();
    const QString parent = parentFolderText(path);
    const QString host = hostName();

    if (m_moveUpTimer)
        m_moveUpTimer->start();
    bool changed = trySetFolder(QStringLiteral(".."));
    if (!changed && m_connection.lastError() != FtpError::OperationCancelled)
        changed = trySetFolder(QStringLiteral(".."));
    QCoreApplication::processEvents();
    // Only the change itself counts: a slow server's failure must not pass for a move.
    m_moveUpFlag = changed;
    if (disconnectedSince(generation)) {
        m_moveUpBusy = false;
        return;
    }

    if (!m_moveUpFlag) {
        setFolderText(host);
        m_moveUpFlag = trySetFolder(host);
        ListFtpFolder();
    }
    setFolderText(parent.isEmpty() ? QStringLiteral("/") : parent);
    if (m_moveUpFlag) {
        ListFtpFolder();
        setFolderText(parent.isEmpty() ? host : parent);
        FillFtpList();
        setFolderText(GetCurrentFtpFolder());
        m_moveUpBusy = false;
        Q_EMIT firstStatusPanelChanged(m_folderText);
    } else {
        setFolderText(QStringLiteral("/"));
        GoToFtpFolder();
        m_moveUpBusy = false;
    }
    clearHonouredStop();
}

void RemotePane::sortByHeader(const QString& headerText)
{
    const int column = sortColumnForHeader(headerText);
    if (column < 0)
        return;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    m_fileList->sortByColumnText(column, m_sortOrder);
    Q_EMIT sortIndicatorChanged(m_sortColumn, m_sortOrder);
}

bool RemotePane::openFtpFolderRow(int row)
{
    if (commandRunning() || row < 0 || row >= m_fileList->rowCount() || !m_fileList->isFolderRow(row))
        return false;
    BusyPointer busy(*this);
    beginUserCommand();
    WatchPause pause(*this);
    const QString name = m_fileList->index(row, 0).data().toString();
    const bool changed = ChangeFtpFolder(SessionRules::joinFtpPath(m_folderText, name));
    ListFtpFolder();
    FillFtpList();
    // The path box shows where the server is, also when the folder could not be entered.
    setFolderText(GetCurrentFtpFolder());
    ColourFtpList();
    return changed;
}

// One walk of the FTP tree, a folder per step.
struct RemotePane::FtpTreeWalk {
    struct Pending {
        QStandardItem* node;
        int depth;
    };
    explicit FtpTreeWalk(RemotePane& pane)
        : busy(pane)
    {
    }
    BusyPointer busy;
    quint64 generation = 0;
    std::deque<Pending> walk;
    // The folders reached so far, by the server's unique fact. A server that follows links in
    // its listings shows "www -> ." as a folder holding the folder itself: without this the walk
    // would list the site again at every level, and with two such links without end. The start
    // folder's ancestors count as reached too ("up -> ..").
    QSet<QByteArray> reached;
    bool stopped = false;
    bool ended = false;
};

bool RemotePane::ExpandFtpTree(bool clearTree, const QString& folderName, const QString& parentFolder)
{
    const std::shared_ptr<FtpTreeWalk> walk = beginFtpTreeWalk(clearTree, folderName, parentFolder);
    while (stepFtpTreeWalk(*walk)) { }
    return !walk->stopped;
}

std::shared_ptr<RemotePane::FtpTreeWalk> RemotePane::beginFtpTreeWalk(
    bool clearTree, const QString& folderName, const QString& parentFolder)
{
    auto w = std::make_shared<FtpTreeWalk>(*this);
    w->generation = m_generation;
    GetCurrentFtpFolder();
    Q_EMIT statusTitleChanged(QStringLiteral("FTPサーバのフォルダーをツリーに展開"));
    if (m_showTransferCounts)
        m_showTransferCounts();
    QCoreApplication::processEvents();

    if (clearTree)
        m_folderTree->clear();
    const QString rootKey = SessionRules::treeRootKey(parentFolder, hostName(), folderName);
    QStandardItem* root
        = makeNode(folderName.isEmpty() ? parentFolder.trimmed() : folderName, rootKey, IconKeys::Closed);
    m_folderTree->appendRow(root);
    m_statusLines.addRawLine(QString());
    w->walk.push_back({ root, 0 });
    if (m_connection.hasUniqueFacts()) {
        QString prefix = rootKey.startsWith(u'/') ? QStringLiteral("/") : QString();
        QStringList paths;
        if (!prefix.isEmpty())
            paths.append(prefix);
        for (const QString& part : rootKey.split(u'/', Qt::SkipEmptyParts)) {
            prefix = prefix.isEmpty() ? part : SessionRules::treeChildKey(prefix, part);
            paths.append(prefix);
        }
        for (const QString& path : std::as_const(paths)) {
            QByteArray unique;
            if (m_connection.getUniqueFact(path, &unique)) {
                w->reached.insert(unique);
            } else if (m_connection.lastError() == FtpError::OperationCancelled) {
                clearHonouredStop();
                w->stopped = true;
                break;
            }
            if (disconnectedSince(w->generation) || !m_ftpHandle)
                break;
        }
    }
    return w;
}

QStandardItem* RemotePane::stepFtpTreeWalk(FtpTreeWalk& w)
{
    const auto end = [&]() -> QStandardItem* {
        if (!std::exchange(w.ended, true)) {
            if (m_showTransferCounts)
                m_showTransferCounts();
            Q_EMIT statusTitleChanged(QStringLiteral("状況報告"));
        }
        return nullptr;
    };
    while (!w.walk.empty() && !w.stopped) {
        const FtpTreeWalk::Pending current = w.walk.front();
        w.walk.pop_front();
        QStandardItem* node = current.node;
        if (node->data(ItemRoles::IconKeyRole).toString() != IconKeys::Closed || current.depth >= MaxTreeDepth)
            continue;
        const QString key = node->data(ItemRoles::NodeKeyRole).toString();
        if (m_showTransferCounts)
            m_showTransferCounts();
        Q_EMIT statusTextChanged(node->text());
        QCoreApplication::processEvents();
        if (disconnectedSince(w.generation) || !m_ftpHandle)
            return end();

        QList<QStandardItem*> children;
        QList<QStandardItem*> descending;
        FtpFindData entry;
        std::unique_ptr<FtpFind> find = m_connection.findFirstFile(SessionRules::treeSearchText(key), &entry);
        if (!find && m_connection.lastError() == FtpError::OperationCancelled) {
            clearHonouredStop();
            w.stopped = true;
            return end();
        }
        if (!find && m_connection.lastError() != FtpError::NoMoreFiles)
            m_statusLines.AddStatusLine(QStringLiteral(" ﾌｫﾙﾀﾞの一覧を取得できませんでした:") + key);
        if (const int skipped = m_connection.skippedListingLines())
            m_statusLines.AddStatusLine(QStringLiteral(" 長すぎる行を飛ばしました(%1行):").arg(skipped) + key);
        bool more = find != nullptr;
        while (more) {
            const QString name = entry.name;
            if (!name.isEmpty() && name != u"." && name != u"..") {
                const bool isFolder = entry.isFolder;
                QStandardItem* child = makeNode(
                    name, SessionRules::treeChildKey(key, name), isFolder ? IconKeys::Closed : IconKeys::Leaf);
                child->setData(entry.lastWriteTime, ItemRoles::StampRole);
                child->setData(entry.size, ItemRoles::SizeRole);
                children.append(child);
                ++(isFolder ? m_record.FolderCount : m_record.FileCount);
                // A link to a folder, or a folder reached before, stays a folder without content.
                bool descend = isFolder && !entry.isLink;
                if (descend && !entry.unique.isEmpty()) {
                    descend = !w.reached.contains(entry.unique);
                    w.reached.insert(entry.unique);
                }
                if (descend)
                    descending.append(child);
            }
            if (m_state.takeStopRequest()) {
                w.stopped = true;
                break;
            }
            more = find->next(&entry);
        }
        find.reset();
        // One insertion per folder: a view attached to the tree is told once, not per entry.
        if (!children.isEmpty()) {
            // Columns first: QStandardItem would add them inside the row insertion.
            if (node->columnCount() == 0)
                node->setColumnCount(1);
            node->appendRows(children);
        }
        for (QStandardItem* child : std::as_const(descending))
            w.walk.push_back({ child, current.depth + 1 });
        if (w.stopped)
            return end();
        node->setData(IconKeys::Open, ItemRoles::IconKeyRole);
        return node;
    }
    return end();
}

bool RemotePane::ftpTreeWalkStopped(const FtpTreeWalk& walk) { return walk.stopped; }

void RemotePane::endFtpTreeWalk(FtpTreeWalk& walk)
{
    walk.walk.clear();
    stepFtpTreeWalk(walk);
}

QStringList RemotePane::treeNodeKeys() const
{
    // Parents are walked before their children, level by level: the order the walk added them.
    QStringList keys;
    std::deque<QStandardItem*> queue;
    for (int r = 0; r < m_folderTree->rowCount(); ++r)
        queue.push_back(m_folderTree->item(r));
    while (!queue.empty()) {
        QStandardItem* node = queue.front();
        queue.pop_front();
        keys.append(node->data(ItemRoles::NodeKeyRole).toString());
        for (int r = 0; r < node->rowCount(); ++r)
            queue.push_back(node->child(r));
    }
    return keys;
}

void RemotePane::onFolderTreeNodeClicked(QStandardItem* node)
{
    if (!node || commandRunning())
        return;
    BusyPointer busy(*this);
    beginUserCommand();
    WatchPause pause(*this);
    if (node->data(ItemRoles::IconKeyRole).toString() != IconKeys::Open)
        return;
    const QString key = node->data(ItemRoles::NodeKeyRole).toString();
    trySetFolder(key);
    ListFtpFolder();
    FillFtpList();
    setFolderText(GetCurrentFtpFolder());
}
