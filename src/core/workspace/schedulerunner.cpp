#include "core/workspace/schedulerunner.h"

#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/textfile.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/profiles.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLockFile>
#include <QStandardItemModel>

using namespace ScheduleRecords;

namespace {

QString lockPath() { return DataFolder::file(QStringLiteral("auto.lock")); }

QString normalised(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(u'\r', u'\n');
    return out;
}

// The rows of `list` whose names are among `names`, selected alone; the names not found stay in
// `missing`. Files and folders come apart by their icon key.
struct Chosen {
    QStringList files, folders, missing;
};

Chosen chooseRows(PaneListModel* list, QItemSelectionModel* selection, const QStringList& names)
{
    Chosen chosen;
    chosen.missing = names;
    selection->clearSelection();
    for (int row = 0; row < list->rowCount(); ++row) {
        const QModelIndex index = list->index(row, 0);
        const QString name = index.data().toString();
        if (!chosen.missing.contains(name))
            continue;
        chosen.missing.removeAll(name);
        selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QString key = index.data(ItemRoles::IconKeyRole).toString();
        (IconKeys::isFile(key) ? chosen.files : chosen.folders).append(name);
    }
    return chosen;
}

// The names of the sources that lie in the first source's folder; the others are reported missing.
QStringList namesInFirstFolder(const QStringList& sources, QStringList* elsewhere)
{
    const QString folder = QDir::cleanPath(folderOf(sources.first()));
    QStringList names;
    for (const QString& source : sources) {
        const QString name = nameOf(source);
        if (QDir::cleanPath(folderOf(source)) == folder && !name.isEmpty())
            names.append(name);
        else
            elsewhere->append(source);
    }
    names.removeDuplicates();
    return names;
}

int countNodes(const QStandardItemModel* tree, const QString& key)
{
    int n = 0;
    QList<QModelIndex> queue;
    for (int r = 0; r < tree->rowCount(); ++r)
        queue << tree->index(r, 0);
    for (qsizetype i = 0; i < queue.size(); ++i) {
        const QModelIndex node = queue.at(i);
        n += node.data(ItemRoles::IconKeyRole).toString() == key;
        for (int r = 0; r < tree->rowCount(node); ++r)
            queue << tree->index(r, 0, node);
    }
    return n;
}

} // namespace

QString ScheduleSessionResult::line() const
{
    const QString text = profile + u' ' + (action == Action::None ? QStringLiteral("-") : actionName(action)) + u' '
        + QString::number(files) + QStringLiteral("件");
    return ok ? QString(text + QStringLiteral(" OK")) : QString(text + QStringLiteral(" 失敗: ") + failure);
}

ScheduleRunner::ScheduleRunner(Workspace& workspace, QObject* parent)
    : QObject(parent)
    , m_ws(workspace)
{
    m_timer.setObjectName(QStringLiteral("Timer3"));
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &ScheduleRunner::onTick);
}

ScheduleRunner::~ScheduleRunner() = default;

void ScheduleRunner::setText(const QString& text)
{
    const QString clean = normalised(text);
    if (clean == m_text)
        return;
    m_text = clean;
    Q_EMIT textChanged(m_text);
}

bool ScheduleRunner::appendRecordForSelection(const QString& time, Action action)
{
    const bool upload = action == Action::Upload;
    const QAbstractItemModel* list = upload ? static_cast<QAbstractItemModel*>(m_ws.localPane().fileList())
                                            : static_cast<QAbstractItemModel*>(m_ws.remotePane().fileList());
    const QItemSelectionModel* selection
        = upload ? m_ws.localPane().fileSelection() : m_ws.remotePane().fileSelection();
    const QString from = upload ? m_ws.localPane().folderText() : m_ws.remotePane().folderText();
    const QString to = upload ? m_ws.remotePane().folderText() : m_ws.localPane().folderText();
    QStringList sources;
    for (int row = 0; row < list->rowCount(); ++row)
        if (selection->isRowSelected(row, QModelIndex()))
            sources.append(from + u'/' + list->index(row, 0).data().toString());
    if (sources.isEmpty())
        return false;
    const QString record = recordText(m_ws.profiles().field(0), time, sources, to, upload ? action : Action::Download);
    setText(m_text + record + u'\n');
    return true;
}

QString ScheduleRunner::filePath() { return DataFolder::file(QStringLiteral("auto.txt")); }

std::optional<QString> ScheduleRunner::readFile(QString* error) const
{
    const QFileInfo info(filePath());
    if (!info.isFile()) {
        *error = QStringLiteral("予約ファイル %1 がありません。").arg(filePath());
        return std::nullopt;
    }
    if (info.size() > MaxFileBytes) {
        *error = QStringLiteral("予約ファイル %1 が大きすぎるため読み込みません。").arg(filePath());
        return std::nullopt;
    }
    const std::optional<QStringList> lines = TextFile::readLines(filePath());
    if (!lines) {
        *error = QStringLiteral("予約ファイル %1 を読めません。").arg(filePath());
        return std::nullopt;
    }
    return lines->join(u'\n');
}

bool ScheduleRunner::saveFile()
{
    QString error;
    if (TextFile::writeLines(filePath(), m_text.split(u'\n'), &error))
        return true;
    m_ws.dialogs().message(
        QStringLiteral("予約を記録できませんでした。\n") + error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
    return false;
}

bool ScheduleRunner::loadFile()
{
    QString error;
    const std::optional<QString> file = readFile(&error);
    if (!file) {
        m_ws.dialogs().message(error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    QString text = m_text;
    for (const QString& line : file->split(u'\n'))
        text += u'\n' + line;
    setText(text);
    return true;
}

void ScheduleRunner::markDoneInFile(const QString& piece)
{
    // Lines that are no CP932 go back as they were read.
    QHash<QString, QByteArray> undecodable;
    const QFileInfo info(filePath());
    if (!info.isFile() || info.size() > MaxFileBytes)
        return;
    const std::optional<QStringList> lines = TextFile::readLines(filePath(), &undecodable);
    if (!lines)
        return;
    const QString before = lines->join(u'\n');
    const QString after = markDone(before, piece);
    if (after == before)
        return;
    QString error;
    if (!TextFile::writeLines(filePath(), after.split(u'\n'), &error,
            TextFile::OwnerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther, &undecodable))
        m_ws.statusLines().AddStatusLine(QStringLiteral("予約ファイルに実行済みの印を付けられませんでした:") + error);
}

bool ScheduleRunner::start()
{
    if (m_text.trimmed().isEmpty()) {
        stop();
        return false;
    }
    m_timer.start();
    if (!m_started) {
        m_started = true;
        Q_EMIT runningChanged(true);
    }
    return true;
}

void ScheduleRunner::stop()
{
    m_timer.stop();
    if (m_started) {
        m_started = false;
        Q_EMIT runningChanged(false);
    }
}

void ScheduleRunner::onTick()
{
    m_timer.stop();
    // A run of the user's would lose its connection to the session: the session waits for it.
    if (!m_ws.transfers().isRunning())
        RunDueSessions();
    // "中止" during the sessions ends the schedule.
    if (m_started)
        m_timer.start();
}

bool ScheduleRunner::RunDueSessions(QList<ScheduleSessionResult>* results)
{
    if (m_runningSessions)
        return false;
    QLockFile lock(lockPath());
    // Only a lock whose process is gone is stale, however long a session takes.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return false;
    m_runningSessions = true;

    QString error;
    if (const std::optional<QString> file = readFile(&error))
        setText(takeOverMarks(m_text, *file));

    for (const Piece& piece : pieces(m_text)) {
        // The text may have changed meanwhile: an equal record that ran marked this one too.
        if (piece.done || !m_text.contains(OpenTag + piece.body))
            continue;
        ScheduleSessionResult result;
        if (!RunSessionIfDue(piece.body, &result))
            continue;
        setText(markDone(m_text, piece.body));
        markDoneInFile(piece.body);
        if (results)
            results->append(result);
    }
    m_runningSessions = false;
    return true;
}

bool ScheduleRunner::RunSessionIfDue(const QString& piece, ScheduleSessionResult* result)
{
    if (!isDue(piece, m_clock()))
        return false;
    const ScheduleSessionResult r = RunSession(piece);
    if (result)
        *result = r;
    return true;
}

ScheduleSessionResult ScheduleRunner::RunSession(const QString& piece)
{
    ScheduleSessionResult result;
    result.profile = profileOf(piece).trimmed();
    result.action = actionOf(piece);
    m_ws.statusLines().AddStatusLine(
        QStringLiteral("予約転送開始:") + result.profile + u' ' + actionName(result.action));

    const QStringList sources = sourcesOf(piece);
    const QStringList destinations = destinationsOf(piece);
    const int row = int(m_ws.profiles().profileNames().indexOf(result.profile));
    if (row < 0 || result.profile.isEmpty()) {
        result.failure = QStringLiteral("プロファイル「%1」は登録されていません。").arg(result.profile);
    } else if (result.action == Action::None) {
        result.failure = QStringLiteral("転送の向き（Upload または Download）が書かれていません。");
    } else if (sources.isEmpty() || destinations.isEmpty()) {
        result.failure = QStringLiteral("転送するファイルが書かれていません。");
    } else {
        m_ws.connectProfile(row);
        if (!m_ws.state().IsConnected || !m_ws.remotePane().FtpHandle())
            result.failure = QStringLiteral("FTPサーバーに接続できませんでした。");
        else if (result.action == Action::Upload)
            transferUpload(sources, destinations.first(), result);
        else
            transferDownload(sources, destinations.first(), result);
        m_ws.remotePane().DisconnectServer();
    }
    finishSession(result);
    return result;
}

bool ScheduleRunner::showFolders(
    const QString& localFolder, const QString& serverFolderText, QString* serverFolder, ScheduleSessionResult& result)
{
    LocalPane& local = m_ws.localPane();
    RemotePane& remote = m_ws.remotePane();
    if (!QFileInfo(localFolder).isDir()) {
        result.failure = QStringLiteral("ローカルのフォルダー「%1」がありません。").arg(localFolder);
        return false;
    }
    local.setFolderText(localFolder);
    if (!local.ListLocalFolder(localFolder)) {
        result.failure = QStringLiteral("ローカルのフォルダー「%1」を開けません。").arg(localFolder);
        return false;
    }
    local.FillLocalList();
    if (!remote.ChangeFtpFolder(serverFolderText)) {
        result.failure = QStringLiteral("サーバーのフォルダー「%1」に移動できません。").arg(serverFolderText);
        return false;
    }
    remote.ListFtpFolder();
    remote.FillFtpList();
    if (FtpConnection* c = remote.FtpHandle(); !c || !c->getCurrentDirectory(serverFolder))
        serverFolder->clear();
    return true;
}

bool ScheduleRunner::transferUpload(
    const QStringList& sources, const QString& destination, ScheduleSessionResult& result)
{
    LocalPane& local = m_ws.localPane();
    QString serverFolder;
    if (!showFolders(folderOf(sources.first()), destination, &serverFolder, result))
        return false;

    QStringList elsewhere;
    const QStringList names = namesInFirstFolder(sources, &elsewhere);
    Chosen chosen = chooseRows(local.fileList(), local.fileSelection(), names);
    chosen.missing += elsewhere;

    Transfers& transfers = m_ws.transfers();
    const QString from = local.currentFolder();
    bool stopped = false;
    if (!chosen.files.isEmpty())
        stopped = transfers.uploadFiles(
            chosen.files, from, serverFolder, {}, [&result](const QString&, Transfers::Outcome outcome) {
                (outcome == Transfers::Outcome::Done ? result.files : result.failed) += 1;
            });
    if (!stopped && !chosen.folders.isEmpty()) {
        stopped = transfers.uploadTrees(chosen.folders, from, serverFolder);
        result.files += countNodes(local.folderTree(), IconKeys::Leaf2);
    }
    return finishTransfer(chosen.missing, stopped, result);
}

bool ScheduleRunner::transferDownload(
    const QStringList& sources, const QString& destination, ScheduleSessionResult& result)
{
    LocalPane& local = m_ws.localPane();
    RemotePane& remote = m_ws.remotePane();
    const QString serverFolderText = folderOf(sources.first());
    QString serverFolder;
    if (!showFolders(
            destination, serverFolderText.isEmpty() ? QStringLiteral("/") : serverFolderText, &serverFolder, result))
        return false;

    QStringList elsewhere;
    const QStringList names = namesInFirstFolder(sources, &elsewhere);
    Chosen chosen = chooseRows(remote.fileList(), remote.fileSelection(), names);
    chosen.missing += elsewhere;

    Transfers& transfers = m_ws.transfers();
    const QString to = local.currentFolder();
    bool stopped = false;
    if (!chosen.files.isEmpty())
        stopped = transfers.downloadFiles(
            chosen.files, serverFolder, to, {}, [&result](const QString&, Transfers::Outcome outcome) {
                (outcome == Transfers::Outcome::Done ? result.files : result.failed) += 1;
            });
    for (const QString& folder : chosen.folders) {
        if (stopped)
            break;
        stopped = transfers.downloadTree(folder, serverFolder, to);
        result.files += countNodes(remote.folderTree(), IconKeys::Leaf2);
        result.failed += countNodes(remote.folderTree(), IconKeys::Leaf3);
    }
    return finishTransfer(chosen.missing, stopped, result);
}

bool ScheduleRunner::finishTransfer(const QStringList& missing, bool stopped, ScheduleSessionResult& result)
{
    for (const QString& name : missing)
        m_ws.statusLines().AddStatusLine(QStringLiteral("予約転送のファイルが見つかりません:") + name);
    result.failed += int(missing.size());
    if (!result.failure.isEmpty())
        return false;
    if (stopped)
        result.failure = QStringLiteral("転送が途中で終わりました。");
    else if (result.failed > 0)
        result.failure = QStringLiteral("%1件のファイルを転送できませんでした。").arg(result.failed);
    return result.failure.isEmpty();
}

void ScheduleRunner::finishSession(ScheduleSessionResult& result)
{
    result.ok = result.failure.isEmpty();
    const QString details = result.line();
    if (result.ok) {
        m_ws.statusLines().AddStatusLine(QStringLiteral("予約転送終了:") + details);
        m_ws.activityLog().write(QStringLiteral("<予約転送>"), details, QStringLiteral("</予約転送>"));
    } else {
        m_ws.statusLines().AddStatusLine(QStringLiteral("予約転送失敗:") + details);
        m_ws.activityLog().write(QStringLiteral("<予約転送失敗>"), details, QStringLiteral("</予約転送失敗>"));
    }
    Q_EMIT sessionFinished(result);
}
