#include "core/manage/deletes.h"

#include "core/app/appstate.h"
#include "core/app/codepage.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/app/stopcheck.h"
#include "core/ftp/engine/listingparsers.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/manage/managerules.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"

#include <QBrush>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QSet>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

const QString CannotRecycle = QStringLiteral("ファイルの消去ができません。使用していませんか?");

// Every "leaf" kind is a file; "closed" and "open" are folders.

QString iconKey(const QStandardItem* node) { return node->data(ItemRoles::IconKeyRole).toString(); }

QString nodeKey(const QStandardItem* node) { return node->data(ItemRoles::NodeKeyRole).toString(); }

// The nodes of a tree with every parent before its children. Persistent indexes, because a
// removed folder node takes its children with it and processing events may change the tree.
std::vector<QPersistentModelIndex> nodesInOrder(const QStandardItemModel& model)
{
    std::vector<QPersistentModelIndex> nodes;
    std::deque<QModelIndex> queue;
    for (int r = 0; r < model.rowCount(); ++r)
        queue.push_back(model.index(r, 0));
    while (!queue.empty()) {
        const QModelIndex index = queue.front();
        queue.pop_front();
        nodes.emplace_back(index);
        for (int r = 0; r < model.rowCount(index); ++r)
            queue.push_back(model.index(r, 0, index));
    }
    return nodes;
}

void removeNode(QStandardItemModel& model, const QPersistentModelIndex& index)
{
    if (index.isValid())
        model.removeRow(index.row(), index.parent());
}

// The folders of a server folder that are not links, by a LIST of it (MLSD follows links and
// calls a link to a folder a folder). Nothing when it cannot be listed.
std::optional<QSet<QString>> realFolders(FtpConnection& connection, const QString& folder)
{
    constexpr qint64 MaxBytes = qint64(64) * 1024 * 1024;
    QSet<QString> folders;
    std::unique_ptr<FtpDataStream> stream;
    if (!connection.dataCommand(QStringLiteral("LIST ") + folder, TransferType::Ascii, &stream) || !stream)
        return std::nullopt;
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        qint64 got = 0;
        if (!stream->read(chunk, sizeof chunk, &got) || got < 0 || bytes.size() + got > MaxBytes) {
            stream->close();
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(chunk, qsizetype(got));
    }
    stream->close();
    const QDate today = QDate::currentDate();
    for (QByteArray& line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const std::optional<ListingEntry> entry = ListingParsers::parseListLine(line, today);
        if (entry && entry->isFolder && !entry->isLink)
            folders.insert(connection.utf8Names() ? QString::fromUtf8(entry->name) : Cp932::decode(entry->name));
    }
    return folders;
}

// Turns every folder node below `start` that its parent's listing shows as a link into a file
// node without content, so the delete removes the link and never what it points to. False
// when `stopped` says so between two listings, or the tree went meanwhile.
bool dropWalkedLinks(FtpConnection& connection, QStandardItemModel& tree, const QPersistentModelIndex& start,
    const std::function<bool()>& stopped)
{
    const QStandardItemModel* model = &tree;
    std::deque<QPersistentModelIndex> parents;
    for (int r = 0; r < model->rowCount(start); ++r)
        parents.emplace_back(model->index(r, 0, start));
    while (!parents.empty()) {
        const QPersistentModelIndex parent = parents.front();
        parents.pop_front();
        if (!parent.isValid())
            return false;
        std::vector<QPersistentModelIndex> folders;
        for (int r = 0; r < model->rowCount(parent); ++r) {
            const QModelIndex child = model->index(r, 0, parent);
            if (!IconKeys::isFile(child.data(ItemRoles::IconKeyRole).toString()))
                folders.emplace_back(child);
        }
        if (folders.empty())
            continue;
        const std::optional<QSet<QString>> real
            = realFolders(connection, parent.data(ItemRoles::NodeKeyRole).toString());
        if (stopped())
            return false;
        for (const QPersistentModelIndex& folder : folders) {
            if (!folder.isValid())
                return false;
            if (real && !real->contains(folder.data().toString())) {
                tree.removeRows(0, model->rowCount(folder), folder);
                tree.setData(folder, IconKeys::Leaf, ItemRoles::IconKeyRole);
            } else {
                parents.push_back(folder);
            }
        }
    }
    return true;
}

} // namespace

// One run at a time, with the hourglass and the connection watch paused for its length.
class Deletes::RunGuard {
public:
    explicit RunGuard(Deletes& deletes)
        : m_deletes(deletes)
        , m_timerWasActive(deletes.m_connectionWatch && deletes.m_connectionWatch->isActive())
    {
        m_deletes.m_running = true;
        if (m_deletes.m_connectionWatch)
            m_deletes.m_connectionWatch->stop();
        // A stop pressed while nothing ran is not meant for this run.
        m_deletes.m_state.StopRequested = false;
    }
    ~RunGuard()
    {
        if (m_timerWasActive && m_deletes.m_connectionWatch && m_deletes.m_state.IsConnected)
            m_deletes.m_connectionWatch->start();
        m_deletes.m_running = false;
        if (m_busy)
            Q_EMIT m_deletes.busyChanged(false);
    }
    // The hourglass, once the user has answered: not over the question.
    void busy()
    {
        if (!m_busy)
            Q_EMIT m_deletes.busyChanged(true);
        m_busy = true;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    Deletes& m_deletes;
    bool m_timerWasActive;
    bool m_busy = false;
};

Deletes::Deletes(AppState& state, RemotePane& remotePane, LocalPane& localPane, StatusLines& statusLines,
    ActivityLog& log, Dialogs& dialogs, StatusReport& report, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_remotePane(remotePane)
    , m_localPane(localPane)
    , m_statusLines(statusLines)
    , m_log(log)
    , m_dialogs(dialogs)
    , m_report(report)
    , m_stop(state)
{
}

Deletes::~Deletes() = default;

bool Deletes::confirm(const QString& counts)
{
    const bool run = m_caution ? m_caution(counts)
                               : m_dialogs.message(cautionQuestion() + QStringLiteral("\r\n") + counts,
                                     Dialogs::Buttons::YesNo, Dialogs::Icon::Question, cautionTitle())
            == Dialogs::Answer::Yes;
    // The panel's "中止" and a Stop pressed while it was shown both cancel.
    if (run && !m_state.StopRequested)
        return true;
    m_state.StopRequested = false;
    return false;
}

bool Deletes::isMarked(const QStandardItem* node) const
{
    if (!node)
        return false;
    const QVariant background = node->data(Qt::BackgroundRole);
    if (!background.isValid())
        return false;
    const QColor colour
        = background.canConvert<QBrush>() ? background.value<QBrush>().color() : background.value<QColor>();
    return colour == m_state.MarkColour;
}

void Deletes::toggleMark(QStandardItem* node)
{
    if (!node)
        return;
    if (isMarked(node))
        node->setData(QVariant(), Qt::BackgroundRole);
    else
        node->setData(QBrush(m_state.MarkColour), Qt::BackgroundRole);
}

// Server ----------------------------------------------------------------------------------------

QList<Deletes::ServerItem> Deletes::selectedServerItems() const
{
    const PaneListModel& list = *m_remotePane.fileList();
    const QItemSelectionModel& selection = *m_remotePane.fileSelection();
    QList<ServerItem> chosen;
    for (int row = 0; row < list.rowCount(); ++row) {
        const QString name = selection.isRowSelected(row) ? list.text(row, 0) : QString();
        if (!name.isEmpty())
            chosen.append({ name, list.isFolderRow(row) });
    }
    return chosen;
}

void Deletes::DeleteServerSelection()
{
    deleteOnServer(
        selectedServerItems(), ManageRules::deletionRoot(m_remotePane.folderText(), m_remotePane.hostName()));
}

void Deletes::deleteOnServer(const QList<ServerItem>& items, const QString& serverFolder)
{
    if (m_running || !m_remotePane.FtpHandle())
        return;
    RunGuard guard(*this);
    const QString folder = m_remotePane.folderText();

    if (!collectOnServer(items, serverFolder)) {
        // A stop while collecting: the tree is incomplete, and deleting part of a selection is
        // never what the user meant.
        Q_EMIT ftpTreeFrameRequested(false);
        return;
    }
    qint32 folders = 0;
    qint32 files = 0;
    const std::vector<QPersistentModelIndex> nodes = nodesInOrder(*m_remotePane.folderTree());
    for (std::size_t i = 1; i < nodes.size(); ++i)
        ++(IconKeys::isFile(nodes[i].data(ItemRoles::IconKeyRole).toString()) ? files : folders);
    if (!confirm(ManageRules::cautionCounts(folders, files))) {
        Q_EMIT ftpTreeFrameRequested(false);
        return;
    }

    guard.busy();
    m_report.show();
    m_report.FolderCount = 0;
    m_report.FileCount = 0;
    m_report.ShowTransferCounts();
    // Every file, then every folder but the start folder (the first node).
    deleteServerNodes(
        nodes, [](const QPersistentModelIndex&) { return true; }, true, QStringLiteral("ファイル削除:"),
        [this] { m_report.ShowTransferCounts(); });
    finishServerSelection(folder);
}

bool Deletes::CollectServerSelection()
{
    return collectOnServer(
        selectedServerItems(), ManageRules::deletionRoot(m_remotePane.folderText(), m_remotePane.hostName()));
}

bool Deletes::collectOnServer(QList<ServerItem> chosen, const QString& root)
{
    Q_EMIT ftpTreeFrameRequested(true);
    m_report.hide();
    QStandardItemModel& tree = *m_remotePane.folderTree();
    tree.clear();

    auto* start = new QStandardItem(root);
    start->setData(root, ItemRoles::NodeKeyRole);
    start->setData(IconKeys::Open, ItemRoles::IconKeyRole);
    start->setEditable(false);
    tree.appendRow(start);
    // Processing events may let another command empty the tree: the start node is checked after
    // each wait.
    const QPersistentModelIndex startIndex = start->index();
    QCoreApplication::processEvents();
    if (!startIndex.isValid())
        return false;

    // The list shows a link to a folder as a folder; walking it would delete the content of the
    // folder it points to. A folder is walked only when the server's listing of the start folder
    // calls it a folder and not a link; anything else is deleted as a file (a link goes, its
    // target stays).
    if (std::any_of(chosen.begin(), chosen.end(), [](const ServerItem& c) { return c.isFolder; })) {
        FtpConnection* connection = m_remotePane.FtpHandle();
        const std::optional<QSet<QString>> folders
            = connection ? realFolders(*connection, root) : std::optional<QSet<QString>>();
        for (ServerItem& c : chosen)
            c.isFolder = c.isFolder && (!folders || folders->contains(c.name));
    }

    m_report.resetCounts();
    for (const ServerItem& entry : chosen) {
        const QString path = ManageRules::joinPath(root, entry.name);
        if (entry.isFolder) {
            ++m_report.FolderCount;
            const bool completed = m_remotePane.ExpandFtpTree(false, entry.name, root);
            if (!startIndex.isValid() || startIndex.row() != 0 || startIndex.parent().isValid())
                return false;
            // The walk adds the folder as a top-level node: it belongs under the start folder.
            while (tree.rowCount() > 1)
                start->appendRow(tree.takeRow(1));
            if (!completed)
                return false;
        } else {
            auto* node = new QStandardItem(entry.name);
            node->setData(path, ItemRoles::NodeKeyRole);
            node->setData(IconKeys::Leaf, ItemRoles::IconKeyRole);
            node->setEditable(false);
            start->appendRow(node);
            ++m_report.FileCount;
        }
        m_report.ShowTransferCounts();
        if (m_stop.yieldAndCheckStop() || !startIndex.isValid() || !m_remotePane.FtpHandle())
            return false;
    }
    // The walk's search may call a link a folder too, further down.
    FtpConnection* connection = m_remotePane.FtpHandle();
    return connection && dropWalkedLinks(*connection, tree, startIndex, [this] { return m_stop.yieldAndCheckStop(); });
}

bool Deletes::deleteServerNodes(const std::vector<QPersistentModelIndex>& nodes,
    const std::function<bool(const QPersistentModelIndex&)>& chosenFile, bool withFolders, const QString& fileLine,
    const std::function<void()>& showCounts)
{
    QStandardItemModel& tree = *m_remotePane.folderTree();
    // Files first, from the last node back, so each folder is empty when its turn comes; then the
    // folders, deepest first. The first node is the start folder and stays.
    for (const bool folders : { false, true }) {
        if (folders && !withFolders)
            break;
        for (std::size_t i = nodes.size(); i-- > (folders ? 1 : 0);) {
            const QPersistentModelIndex& index = nodes[i];
            FtpConnection* connection = m_remotePane.FtpHandle();
            if (!connection)
                return false;
            const QString icon = index.isValid() ? index.data(ItemRoles::IconKeyRole).toString() : QString();
            const bool wanted = folders ? icon == IconKeys::Open : IconKeys::isFile(icon) && chosenFile(index);
            if (wanted) {
                const QString key = index.data(ItemRoles::NodeKeyRole).toString();
                m_report.setCurrentFile(key);
                const QString what = folders ? QStringLiteral("FTPフォルダ削除") : QStringLiteral("FTPファイル削除");
                if (folders ? connection->removeDirectory(key) : connection->deleteFile(key)) {
                    removeNode(tree, index);
                    ++(folders ? m_report.FolderCount : m_report.FileCount);
                    m_log.write(u'<' + what + u'>', key, QStringLiteral("</") + what + u'>');
                    m_statusLines.AddStatusLine((folders ? QStringLiteral("ﾌｫﾙﾀﾞ削除:") : fileLine) + key);
                    showCounts();
                } else if (connection->lastError() == FtpError::OperationCancelled) {
                    // A user's Stop during a server call ends the call; it is a stop, not a failure.
                    m_state.StopRequested = false;
                    return false;
                } else {
                    // The node stays; the user learns what is still there.
                    if (!folders)
                        m_log.write(QStringLiteral("<FTPファイル削除失敗>"), key, QStringLiteral("</FTPファイル削除>"));
                    m_statusLines.AddStatusLine(
                        (folders ? QStringLiteral("ﾌｫﾙﾀﾞ削除失敗:") : QStringLiteral("ﾌｧｲﾙ削除失敗:")) + key);
                }
            }
            if (m_stop.yieldAndCheckStop())
                return false;
        }
    }
    return true;
}

void Deletes::finishServerSelection(const QString& folder)
{
    m_report.hide();
    Q_EMIT ftpTreeFrameRequested(false);
    if (!m_remotePane.FtpHandle())
        return;
    // Also after a stop: the list must show what is left on the server.
    m_remotePane.setFolderText(folder);
    m_remotePane.RefreshFtpPanes();
    if (m_remotePane.fileList()->rowCount() > 0)
        m_remotePane.fileSelection()->clearSelection();
}

void Deletes::DeleteServerMarked()
{
    if (m_running || !m_remotePane.FtpHandle())
        return;
    RunGuard guard(*this);
    QStandardItemModel& tree = *m_remotePane.folderTree();
    const std::vector<QPersistentModelIndex> nodes = nodesInOrder(tree);
    auto marked = [this, &tree](const QPersistentModelIndex& index) {
        return index.isValid() && isMarked(tree.itemFromIndex(index));
    };
    qint32 files = 0;
    for (const QPersistentModelIndex& index : nodes)
        files += IconKeys::isFile(index.data(ItemRoles::IconKeyRole).toString()) && marked(index);
    if (!confirm(ManageRules::cautionCounts(0, files))) {
        m_report.hide();
        return;
    }

    guard.busy();
    m_report.FolderCount = 0;
    m_report.FileCount = 0;
    m_report.setCaption(QStringLiteral("ファイル消去中"));
    Q_EMIT ftpTreeFrameRequested(true);
    m_report.show();
    const qint32 before = m_report.FileCount;
    // Only the marked files: no folder goes here.
    deleteServerNodes(nodes, marked, false, QStringLiteral("ﾌｧｲﾙ削除:"),
        [this] { m_report.setCountsText(QStringLiteral("消去ファイル:") + QString::number(m_report.FileCount)); });
    m_report.hide();
    m_report.setCaption(StatusReport::defaultCaption());
    // The list may show files that are gone now.
    if (m_report.FileCount > before && m_remotePane.FtpHandle())
        m_remotePane.RefreshFtpPanes();
}

// Local -----------------------------------------------------------------------------------------

bool Deletes::askRecycle()
{
    return m_dialogs.message(QStringLiteral("選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?"),
               Dialogs::Buttons::YesNo, Dialogs::Icon::Question)
        == Dialogs::Answer::Yes;
}

int Deletes::RecycleLocalPath(const QString& path)
{
    if (path.isEmpty())
        return ENOENT;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return ENOENT;
    // Qt 6.4 moves the file into "files" of the process's current folder when it cannot set up
    // the home trash, so the trash is made here first, and a move anywhere else is taken back.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString homeTrash = dataHome + QStringLiteral("/Trash");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        return EACCES;
    if (!QFileInfo(homeTrash).isDir()) {
        if (!QDir().mkpath(homeTrash))
            return EACCES;
        QFile::setPermissions(homeTrash, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // The trash renames: what it cannot take stays where it is, it is never deleted instead.
    QString inTrash;
    if (!QFile::moveToTrash(path, &inTrash))
        return EIO;
    const QFileInfo moved(inTrash);
    if (moved.isAbsolute() && moved.dir().dirName() == u"files")
        return 0;
    QDir().rename(inTrash, path);
    QFile::remove(QStringLiteral("info/") + moved.fileName() + QStringLiteral(".trashinfo"));
    return EIO;
}

void Deletes::RecycleLocalSelection()
{
    if (m_running)
        return;
    RunGuard guard(*this);
    if (!askRecycle())
        return;
    guard.busy();

    m_report.show();
    m_report.resetCounts();
    m_report.ShowTransferCounts();
    m_report.setCaption(QStringLiteral("ファイルの削除実行"));
    PaneListModel& list = *m_localPane.fileList();
    QItemSelectionModel& selection = *m_localPane.fileSelection();
    const QString folder = m_localPane.folderText();
    bool changed = false;
    // From the last row up, so that removing a row never skips the next one.
    for (int row = list.rowCount() - 1; row >= 0; --row) {
        if (row >= list.rowCount() || !selection.isRowSelected(row))
            continue;
        const QString name = list.text(row, 0);
        if (name.isEmpty())
            continue;
        const QString path = ManageRules::joinPath(folder, name);
        const bool isFile = !list.isFolderRow(row);
        m_report.setCurrentFile(path + QStringLiteral("の削除実行中"));
        if (RecycleLocalPath(path) == 0) {
            m_log.write(
                QStringLiteral("<ローカルファイルをごみ箱に>"), path, QStringLiteral("</ローカルファイルをごみ箱に>"));
            m_statusLines.AddStatusLine(QStringLiteral("ﾛｰｶﾙﾌｧｲﾙをごみ箱に:") + path);
            ++(isFile ? m_report.FileCount : m_report.FolderCount);
            m_report.ShowTransferCounts();
            list.removeRow(row);
            changed = true;
        } else {
            m_dialogs.message(path + CannotRecycle, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        }
        if (m_stop.yieldAndCheckStop())
            break;
    }
    m_report.setCaption(StatusReport::defaultCaption());
    m_report.hide();
    // The list is read again, so it matches the folder (and the listing record) once more.
    if (changed && m_localPane.folderText() == folder)
        m_localPane.RefreshLocalPanes();
}

void Deletes::RecycleLocalMarked()
{
    if (m_running)
        return;
    RunGuard guard(*this);
    if (!askRecycle())
        return;
    guard.busy();

    m_report.show();
    m_report.setCaption(QStringLiteral("ファイルの消去"));
    m_report.resetCounts();
    m_report.ShowTransferCounts();
    QStandardItemModel& tree = *m_localPane.folderTree();
    const QItemSelectionModel& selection = *m_localPane.folderTreeSelection();
    const std::vector<QPersistentModelIndex> nodes = nodesInOrder(tree);
    bool changed = false;
    // From the last node back: children go before their folder.
    for (std::size_t i = nodes.size(); i-- > 0;) {
        const QPersistentModelIndex& index = nodes[i];
        if (!index.isValid())
            continue;
        const QStandardItem* node = tree.itemFromIndex(index);
        if (!selection.isSelected(index) && !isMarked(node))
            continue;
        const QString key = nodeKey(node);
        const bool isFile = IconKeys::isFile(iconKey(node));
        if (RecycleLocalPath(key) == 0) {
            m_report.setCurrentFile(key);
            removeNode(tree, index);
            ++(isFile ? m_report.FileCount : m_report.FolderCount);
            m_report.ShowTransferCounts();
            m_log.write(
                QStringLiteral("<ローカルファイルをごみ箱に>"), key, QStringLiteral("</ローカルファイルをごみ箱に>"));
            m_statusLines.AddStatusLine(QStringLiteral("ﾛｰｶﾙﾌｧｲﾙをごみ箱に:") + key);
            changed = true;
        } else {
            m_dialogs.message(key + CannotRecycle, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
            m_log.write(
                QStringLiteral("<ファイルの消去ができません>"), key, QStringLiteral("</ローカルファイルをごみ箱に>"));
            m_statusLines.AddStatusLine(QStringLiteral("ファイルの消去ができません:") + key);
        }
        if (m_stop.yieldAndCheckStop())
            break;
    }
    m_report.setCaption(StatusReport::defaultCaption());
    m_report.hide();
    if (changed)
        m_localPane.RefreshLocalPanes();
}
