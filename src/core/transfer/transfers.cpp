// Downloads and uploads between the two panes.
#include "core/transfer/transfers.h"

#include "core/app/appstate.h"
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/remotepane.h"
#include "core/ftpsession/sessionrules.h"
#include "core/log/activitylog.h"
#include "core/panes/dirlistparser.h"
#include "core/panes/entrytexts.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/transfer/moderules.h"
#include "core/transfer/textconvert.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QTimer>

namespace {

// The local pane is listed again at most this often while files arrive, and once at the end: a
// listing per file would make a run of n files cost n² work.
constexpr qint64 LocalRefreshIntervalMs = 300;

// A run yields to the event loop at most this often (a repaint of the window).
constexpr qint64 YieldIntervalMs = 25;

// A name from the server that is used as a local path must stay one plain entry of the target
// folder.
bool isSafeLocalName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(u'\\')
        && !name.contains(QChar(0));
}

// Every "/"-separated part of a relative path is a safe name.
bool isSafeRelativePath(const QString& path)
{
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (!isSafeLocalName(part))
            return false;
    }
    return true;
}

QString collapseSlashes(QString path)
{
    while (path.contains(QStringLiteral("//")))
        path.replace(QStringLiteral("//"), QStringLiteral("/"));
    return path;
}

QString cellText(const QAbstractItemModel* model, int row, int column)
{
    if (column >= model->columnCount())
        return QString();
    return model->index(row, column).data().toString();
}

QString iconKey(const QAbstractItemModel* model, int row)
{
    return model->index(row, 0).data(ItemRoles::IconKeyRole).toString();
}

void setIconKey(QAbstractItemModel* model, int row, const QString& key)
{
    model->setData(model->index(row, 0), key, ItemRoles::IconKeyRole);
}

bool isRowSelected(QItemSelectionModel* selection, int row)
{
    return selection && selection->isRowSelected(row, QModelIndex());
}

void deselectRow(QItemSelectionModel* selection, int row)
{
    if (selection)
        selection->select(selection->model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

// The nodes of a tree, parents before their children.
std::vector<QStandardItem*> treeOrder(QStandardItemModel* tree)
{
    std::vector<QStandardItem*> nodes;
    std::vector<QStandardItem*> stack;
    for (int r = tree->rowCount() - 1; r >= 0; --r)
        stack.push_back(tree->item(r));
    while (!stack.empty()) {
        QStandardItem* node = stack.back();
        stack.pop_back();
        if (!node)
            continue;
        nodes.push_back(node);
        for (int r = node->rowCount() - 1; r >= 0; --r)
            stack.push_back(node->child(r));
    }
    return nodes;
}

QString nodeIcon(const QStandardItem* node) { return node->data(ItemRoles::IconKeyRole).toString(); }
QString nodeKey(const QStandardItem* node) { return node->data(ItemRoles::NodeKeyRole).toString(); }

void closeOpenNodes(const std::vector<QStandardItem*>& nodes)
{
    for (QStandardItem* node : nodes) {
        if (nodeIcon(node) == IconKeys::Open)
            node->setData(IconKeys::Closed, ItemRoles::IconKeyRole);
    }
}

QString removeFront(const QString& text, const QString& front)
{
    if (!front.isEmpty() && text.startsWith(front))
        return text.mid(front.size());
    return text;
}

QString dropLeadingSlash(const QString& path) { return path.startsWith(u'/') ? path.mid(1) : path; }

// The texts of a file's time as the tree upload compares them: year, month, day, hour, minute
// run together.
QString compactStamp(const QDateTime& t)
{
    return QString::number(t.date().year()) + PadZero(t.date().month()) + PadZero(t.date().day())
        + PadZero(t.time().hour()) + PadZero(t.time().minute());
}

// The mode digits ("755") of a Unix listing's permissions without the type ("rwxr-xr-x"), or
// nothing for any other text. Set-id and sticky bits are not carried over.
std::optional<QString> modeDigits(QStringView permissions)
{
    if (permissions.size() < 9)
        return std::nullopt;
    QString digits;
    for (int level = 0; level < 3; ++level) {
        const QChar r = permissions[level * 3];
        const QChar w = permissions[level * 3 + 1];
        const QChar x = permissions[level * 3 + 2];
        if ((r != u'r' && r != u'-') || (w != u'w' && w != u'-') || !QStringView(u"xsStTl-").contains(x))
            return std::nullopt;
        const bool executable = x == u'x' || x == u's' || x == u't';
        digits += QChar(u'0' + (r == u'r' ? 4 : 0) + (w == u'w' ? 2 : 0) + (executable ? 1 : 0));
    }
    return digits;
}

// The three-digit code of the server's last reply, 0 when there is none.
int lastReplyCode(const QString& response)
{
    const QStringList lines = response.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QString last = lines.isEmpty() ? QString() : lines.last();
    bool ok = false;
    const int code = last.left(3).toInt(&ok);
    return ok && last.size() >= 3 && code >= 100 && code < 600 ? code : 0;
}

// The server's last reply as one short line for a status line.
QString shortReply(const QString& response)
{
    QString text = response.simplified();
    if (text.size() > 120)
        text = text.left(120) + QStringLiteral("…");
    return text;
}

} // namespace

// Name -> first row of a list, built on demand and dropped whenever the list's rows or names
// change, so comparing every row of a list against the other stays linear.
class Transfers::RowIndex {
public:
    explicit RowIndex(QAbstractItemModel* model)
        : m_model(model)
    {
        // The connections live as long as this index, not as long as the model.
        const auto stale = [this] { m_stale = true; };
        QObject::connect(model, &QAbstractItemModel::modelReset, &m_context, stale);
        QObject::connect(model, &QAbstractItemModel::layoutChanged, &m_context, stale);
        QObject::connect(model, &QAbstractItemModel::rowsInserted, &m_context, stale);
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, &m_context, stale);
        QObject::connect(model, &QAbstractItemModel::rowsMoved, &m_context, stale);
        QObject::connect(model, &QAbstractItemModel::dataChanged, &m_context,
            [this](const QModelIndex& from, const QModelIndex&, const QList<int>& roles) {
                if (from.column() == 0 && (roles.isEmpty() || roles.contains(Qt::DisplayRole)))
                    m_stale = true;
            });
    }

    int rowOf(const QString& name)
    {
        if (m_stale) {
            m_rows.clear();
            const int n = m_model->rowCount();
            m_rows.reserve(n);
            for (int r = 0; r < n; ++r)
                m_rows.insert(m_model->index(r, 0).data().toString(), r); // keeps the first
            m_stale = false;
        }
        return m_rows.value(name, -1);
    }

private:
    QObject m_context;
    QAbstractItemModel* m_model;
    QHash<QString, int> m_rows;
    bool m_stale = true;
};

// One run: refuses a start while a run goes or without a connection, sets the run up for the
// server folder it works in, and ends it.
class Transfers::RunGuard {
public:
    RunGuard(Transfers& t, const QString& serverFolder)
        : m_t(t)
    {
        if (t.m_running) {
            t.addStatus(QStringLiteral("転送中のため、新しい転送は始めません。"));
            return;
        }
        FtpConnection* c = t.m_remotePane.FtpHandle();
        if (!c) {
            t.addStatus(QStringLiteral("FTPサーバーに接続していないため、転送できません。"));
            return;
        }
        m_ok = true;
        t.m_running = true;
        t.m_runDone = 0;
        t.m_runTotal = 0;
        t.m_report.setFileProgress(0, -1);
        t.m_report.setRunProgress(0, 0);
        // A Stop pressed while nothing ran is not meant for this run.
        t.m_state.StopRequested = false;
        t.m_serverFolders.clear();
        t.m_listedModes.clear();
        t.m_cacheServerFolders = true;
        // Names are sent from the run's folder, even if the user moves the FTP pane elsewhere
        // meanwhile.
        t.m_runFolder = serverFolder;
        t.m_sinceLocalRefresh.invalidate();
        c->setProgress([&report = t.m_report](qint64 done, qint64 total) { report.setFileProgress(done, total); });
        c->setPassiveAhead(true);
        Q_EMIT t.busyChanged(true);
    }
    ~RunGuard()
    {
        if (!m_ok)
            return;
        if (FtpConnection* c = m_t.m_remotePane.FtpHandle()) {
            c->setProgress(nullptr);
            c->setPassiveAhead(false);
        }
        m_t.m_serverFolders.clear();
        m_t.m_listedModes.clear();
        m_t.m_cacheServerFolders = false;
        m_t.m_runFolder.clear();
        m_t.m_report.setFileProgress(0, -1);
        m_t.m_running = false;
        Q_EMIT m_t.busyChanged(false);
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;
    bool ok() const { return m_ok; }

private:
    Transfers& m_t;
    bool m_ok = false;
};

Transfers::Transfers(AppState& state, Options& options, ModeRules& modeRules, LocalPane& localPane,
    RemotePane& remotePane, StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs, StatusReport& report,
    QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_options(options)
    , m_modeRules(modeRules)
    , m_localPane(localPane)
    , m_remotePane(remotePane)
    , m_statusLines(statusLines)
    , m_log(log)
    , m_dialogs(dialogs)
    , m_report(report)
    // The window repaints at most every 25 ms: a repaint after each of thousands of small files
    // cost more than fetching them. The engine keeps the window live within each transfer.
    , m_stop(state, YieldIntervalMs)
    , m_localRows(std::make_unique<RowIndex>(localPane.fileList()))
    , m_ftpRows(std::make_unique<RowIndex>(remotePane.fileList()))
{
}

Transfers::~Transfers() = default;

void Transfers::setTransferRule(int index) { m_transferRule = index == 1 ? 1 : 0; }

// Helpers -------------------------------------------------------------------------------------

TransferType Transfers::typeOf(const QString& name, std::optional<TransferType> type)
{
    const TransferType chosen = m_modeRules.SetTransferMode(name);
    return type.value_or(chosen);
}

bool Transfers::cancelled() const
{
    FtpConnection* c = m_remotePane.FtpHandle();
    return m_state.StopRequested || (c && c->lastError() == FtpError::OperationCancelled);
}

void Transfers::refreshLocalSoon()
{
    // The run's end lists the folder once more in any case.
    if (m_sinceLocalRefresh.isValid() && m_sinceLocalRefresh.elapsed() < LocalRefreshIntervalMs)
        return;
    m_localPane.RefreshLocalPanes();
    m_sinceLocalRefresh.start();
}

void Transfers::flushLocalRefresh()
{
    m_localPane.RefreshLocalPanes();
    m_sinceLocalRefresh.start();
}

void Transfers::stepRun(int addToTotal, int done)
{
    m_runTotal += addToTotal;
    m_runDone += done;
    m_report.setRunProgress(m_runDone, m_runTotal);
}

void Transfers::addStatus(const QString& text) { m_statusLines.AddStatusLine(ActivityLog::cleanDetails(text)); }

QString Transfers::failureNote() const
{
    FtpConnection* c = m_remotePane.FtpHandle();
    if (!c)
        return QStringLiteral("（接続がありません）");
    const QString why = FtpError::messageText(c->lastError());
    return why.isEmpty() ? QString() : QStringLiteral("（") + why + QStringLiteral("）");
}

bool Transfers::connectionOpen() const
{
    FtpConnection* c = m_remotePane.FtpHandle();
    return c && c->isOpen();
}

bool Transfers::connectionLost()
{
    if (connectionOpen())
        return false;
    addStatus(QStringLiteral("FTPサーバーとの接続が切れたため、転送を中止しました。"));
    return true;
}

QString Transfers::uploadKey(const QString& serverPath) const
{
    return m_remotePane.hostName() + u'\n' + QDir::cleanPath(serverPath);
}

void Transfers::noteUpload(const QString& serverPath, bool finished)
{
    if (finished)
        m_unfinishedUploads.remove(uploadKey(serverPath));
    else
        m_unfinishedUploads.insert(uploadKey(serverPath));
}

bool Transfers::uploadUnfinished(const QString& serverPath) const
{
    return m_unfinishedUploads.contains(uploadKey(serverPath));
}

QString Transfers::stampText(QDateTime time) const
{
    const QDate today = m_clock().date();
    const QString todayText = today.toString(QStringLiteral("yyyy/MM/dd"));
    const int y = time.date().year();
    const int m = time.date().month();
    const int d = time.date().day();
    const QString nextYear = QString::number(y + 1) + u'/' + PadZero(m) + u'/';
    QString date;
    if (nextYear + PadZero(d) == todayText)
        date = nextYear + PadZero(d);
    else if (nextYear + PadZero(d - 1) == todayText)
        date = nextYear + PadZero(d - 1);
    else
        date = QString::number(y) + u'/' + PadZero(m) + u'/' + PadZero(d);
    return date + u' ' + PadZero(time.time().hour()) + u':' + PadZero(time.time().minute());
}

QString Transfers::ftpNodeStamp(const QStandardItem* node) const
{
    const QDateTime t = node->data(ItemRoles::StampRole).toDateTime();
    // A listing without a time: the file still arrives when it is missing locally, and never
    // replaces a local copy.
    if (!t.isValid())
        return QStringLiteral("0000/00/00 00:00");
    return stampText(m_options.serverTimesAsLocal() ? t.toLocalTime() : t.toUTC());
}

std::optional<FtpFindData> Transfers::serverEntry(const QString& ftpPath)
{
    FtpConnection* c = m_remotePane.FtpHandle();
    if (!c)
        return std::nullopt;
    const qsizetype slash = ftpPath.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : ftpPath.left(slash));
    const QString name = ftpPath.mid(slash + 1);
    if (name.isEmpty())
        return std::nullopt;
    auto listed = m_serverFolders.constFind(serverFolderKey(folder));
    if (listed == m_serverFolders.constEnd()) {
        // One listing per folder and run, instead of one search per file.
        QHash<QString, FtpFindData> entries;
        FtpFindData entry;
        std::unique_ptr<FtpFind> find = c->findFirstFile(m_cacheServerFolders ? onServer(folder) : folder, &entry);
        for (bool more = find != nullptr; more; more = find->next(&entry))
            entries.insert(entry.name, entry);
        if (!m_cacheServerFolders) {
            const auto found = entries.constFind(name);
            return found == entries.constEnd() ? std::nullopt : std::optional<FtpFindData>(*found);
        }
        // A run walks folder by folder: the listings of a few recent folders serve it, and a
        // run over many folders must not keep every listing it has read.
        if (m_serverFolders.size() >= MaxCachedServerFolders)
            m_serverFolders.clear();
        listed = m_serverFolders.insert(serverFolderKey(folder), entries);
    }
    const auto found = listed->constFind(name);
    if (found == listed->constEnd())
        return std::nullopt;
    return *found;
}

QString Transfers::serverFolderKey(const QString& folder) const
{
    if (!m_cacheServerFolders)
        return folder;
    // "up" and "/up" are one folder when the run stands at the root: one listing serves both.
    return QDir::cleanPath(onServer(folder.isEmpty() ? QStringLiteral(".") : folder));
}

QString Transfers::onServer(const QString& path) const
{
    if (m_runFolder.isEmpty() || path.startsWith(u'/'))
        return path;
    if (path.isEmpty())
        return m_runFolder;
    return collapseSlashes(m_runFolder + u'/' + path);
}

void Transfers::rememberEmptyServerFolder(const QString& folder)
{
    if (m_cacheServerFolders && !folder.isEmpty()) {
        if (m_serverFolders.size() >= MaxCachedServerFolders)
            m_serverFolders.clear();
        m_serverFolders.insert(serverFolderKey(folder), {});
    }
}

QString Transfers::uploadName(const QString& name) const
{
    switch (m_options.uploadNameCase()) {
    case 1:
        return name.toLower();
    case 2:
        return name.toUpper();
    default:
        return name;
    }
}

QString Transfers::uploadCounts(bool withTotal) const
{
    QString text = QStringLiteral("ﾌｫﾙﾀﾞｰ数:") + QString::number(m_report.FolderCount) + QStringLiteral(" ")
        + QStringLiteral("ﾌｧｲﾙ数:") + QStringLiteral(" ") + QString::number(m_report.FileCount);
    if (withTotal)
        text += u'/' + QString::number(m_report.FileTotal);
    return text;
}

QString Transfers::shownServerFolder()
{
    QString folder;
    FtpConnection* c = m_remotePane.FtpHandle();
    if (c && c->getCurrentDirectory(&folder) && folder.startsWith(u'/'))
        return folder;
    // Unknown: names stay relative to wherever the server is.
    return QString();
}

// Single files --------------------------------------------------------------------------------

bool Transfers::FtpGetFileConv(
    FtpConnection* connection, const QString& remote, const QString& local, bool failIfExists, TransferType type)
{
    if (!connection)
        return false;
    if (type != TransferType::Ascii || !m_options.eucToSjisOnDownload())
        return connection->getFile(remote, local, failIfExists, type);

    if (failIfExists && QFileInfo::exists(local))
        return false;
    const QString temp = DataFolder::file(QStringLiteral("TempPut.$$$"));
    bool ok = connection->getFile(remote, temp, false, TransferType::Binary);
    if (ok) {
        // The conversion writes through its own temporary file: the local copy survives a failure.
        TextConvert::Error error;
        ok = TextConvert::EucFileToSjis(temp, local, &error);
        if (!ok) {
            // The user may take long to answer: no port asked ahead may wait meanwhile.
            connection->setPassiveAhead(false);
            m_dialogs.message(
                error.messageText(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, TextConvert::eucErrorTitle());
            connection->setPassiveAhead(m_running);
        }
    }
    QFile::remove(temp);
    return ok;
}

bool Transfers::FtpPutFileConv(
    FtpConnection* connection, const QString& local, const QString& remote, TransferType type)
{
    if (!connection)
        return false;
    QString source = local;
    const QString converted = DataFolder::file(QStringLiteral("TempPut.$$$"));
    const auto removeConverted = qScopeGuard([&] {
        if (source != local)
            QFile::remove(converted);
    });
    if (type == TransferType::Ascii && m_options.sjisToEucOnUpload()) {
        if (!TextConvert::SjisFileToEuc(local, converted))
            return false;
        source = converted;
        type = TransferType::Binary;
    }
    Failure failure;
    Replacement replacement = Replacement::SendDirectly;
    if (const std::optional<QString> mode = replacedFileMode(connection, remote)) {
        replacement = putThroughTemporary(connection, source, remote, type, *mode, &failure);
        connection->setPassiveAhead(m_running);
    }
    bool ok = replacement == Replacement::Replaced;
    if (replacement == Replacement::SendDirectly) {
        ok = connection->putFile(source, remote, type);
        failure = { connection->lastError(), connection->lastResponse() };
    }
    if (!ok)
        m_remotePane.ShowWinInetError(failure.code, failure.response);
    return ok;
}

QString Transfers::temporaryName(const QString& name)
{
    // Room for the marks within the 255 bytes a server's file name may have.
    QString kept = name;
    while (kept.toUtf8().size() > 200) {
        kept.chop(1);
        if (!kept.isEmpty() && kept.back().isHighSurrogate())
            kept.chop(1);
    }
    return QStringLiteral(".~ftptarvo-") + kept + QStringLiteral(".part");
}

void Transfers::forgetOtherConnections()
{
    const quint32 handle = m_remotePane.ftpHandleNumber();
    if (handle == m_replaceConnection)
        return;
    m_replaceConnection = handle;
    m_sendDirectly = false;
    m_deleteBeforeRename = false;
}

std::optional<QString> Transfers::replacedFileMode(FtpConnection* connection, const QString& remote)
{
    // The listings go through the pane's connection: another one is sent to directly.
    if (!m_options.replaceThroughTemporary() || connection != m_remotePane.FtpHandle())
        return std::nullopt;
    forgetOtherConnections();
    if (m_sendDirectly)
        return std::nullopt;
    const std::optional<FtpFindData> entry = serverEntry(remote);
    if (!entry || entry->isFolder || entry->isLink)
        return std::nullopt;
    // A port asked ahead would be closed by the commands between the transfers.
    connection->setPassiveAhead(false);
    const qsizetype slash = remote.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : remote.left(slash));
    const std::optional<QHash<QString, ListedFile>> files = listedFiles(connection, folder);
    // Unknown mode, or a link that the search followed: the direct upload keeps what is there.
    const auto listed = files ? files->constFind(remote.mid(slash + 1)) : QHash<QString, ListedFile>::const_iterator();
    if (!files || listed == files->constEnd() || !listed->plainFile) {
        connection->setPassiveAhead(m_running);
        return std::nullopt;
    }
    return listed->mode;
}

std::optional<QHash<QString, Transfers::ListedFile>> Transfers::listedFiles(
    FtpConnection* connection, const QString& folder)
{
    const QString key = serverFolderKey(folder);
    if (m_cacheServerFolders) {
        const auto cached = m_listedModes.constFind(key);
        if (cached != m_listedModes.constEnd())
            return *cached;
    }
    // The search functions keep no permissions: a LIST of the folder has them.
    constexpr qint64 MaxBytes = qint64(64) * 1024 * 1024;
    const QString path = m_cacheServerFolders ? onServer(folder) : folder;
    // A relative folder that starts with "-" would be read as options.
    const QString argument = path.startsWith(u'-') ? QStringLiteral("./") + path : path;
    std::unique_ptr<FtpDataStream> stream;
    std::optional<QHash<QString, ListedFile>> files;
    if (connection->dataCommand(argument.isEmpty() ? QStringLiteral("LIST") : QStringLiteral("LIST ") + argument,
            TransferType::Ascii, &stream)
        && stream) {
        QByteArray bytes;
        std::vector<char> chunk(65536);
        bool whole = true;
        for (;;) {
            qint64 got = 0;
            if (!stream->read(chunk.data(), qint64(chunk.size()), &got) || got < 0 || bytes.size() + got > MaxBytes) {
                whole = false;
                break;
            }
            if (got == 0)
                break;
            bytes.append(chunk.data(), qsizetype(got));
        }
        stream->close();
        if (whole) {
            files.emplace();
            const QString text = connection->utf8Names() ? QString::fromUtf8(bytes) : Cp932::decode(bytes);
            ParseDirList(TrimAtNul(text), false, m_clock().date(), [&](RemoteEntry&& e) {
                files->insert(e.name, { e.kind == 32, modeDigits(e.permissions).value_or(QString()) });
            });
        }
    }
    if (m_cacheServerFolders) {
        if (m_listedModes.size() >= MaxCachedServerFolders)
            m_listedModes.clear();
        m_listedModes.insert(key, files);
    }
    return files;
}

Transfers::Replacement Transfers::putThroughTemporary(FtpConnection* connection, const QString& source,
    const QString& remote, TransferType type, const QString& mode, Failure* failure)
{
    const qsizetype slash = remote.lastIndexOf(u'/');
    const QString temp = remote.left(slash + 1) + temporaryName(remote.mid(slash + 1));
    // Ends a failed replacement: the temporary file goes, the old file stays.
    const auto fail = [&] {
        *failure = { connection->lastError(), connection->lastResponse() };
        removeTemporary(connection, temp);
        return Replacement::Failed;
    };
    const auto refuse = [&](const QString& step) {
        noteReplaceRefused(step, temp, connection);
        removeTemporary(connection, temp);
        return Replacement::SendDirectly;
    };

    if (!connection->putFile(source, temp, type))
        return replaceRefused(connection) ? refuse(QStringLiteral("作成")) : fail();
    if (!mode.isEmpty() && !connection->nameCommand(QStringLiteral("SITE CHMOD ") + mode + u' ' + temp))
        return replaceRefused(connection) ? refuse(QStringLiteral("パーミッション設定")) : fail();
    if (!m_deleteBeforeRename) {
        if (!connection->nameCommand(QStringLiteral("RNFR ") + temp))
            return replaceRefused(connection) ? refuse(QStringLiteral("名前の変更")) : fail();
        if (connection->nameCommand(QStringLiteral("RNTO ") + remote))
            return Replacement::Replaced;
        if (!replaceRefused(connection))
            return fail();
        m_deleteBeforeRename = true;
    }
    // The old file is gone for a moment here, never half written.
    if (!connection->deleteFile(remote))
        return replaceRefused(connection) ? refuse(QStringLiteral("置き換え")) : fail();
    if (!connection->renameFile(temp, remote))
        return replaceRefused(connection) ? refuse(QStringLiteral("名前の変更")) : fail();
    return Replacement::Replaced;
}

bool Transfers::replaceRefused(FtpConnection* connection) const
{
    // A Stop, a lost connection or a passing trouble (4xx) is no answer about the server's rules.
    return connection->isOpen() && !m_state.StopRequested && connection->lastError() == FtpError::ExtendedError
        && lastReplyCode(connection->lastResponse()) >= 500;
}

void Transfers::noteReplaceRefused(const QString& step, const QString& temp, FtpConnection* connection)
{
    m_sendDirectly = true;
    addStatus(QStringLiteral("サーバーが一時ファイル ") + temp.mid(temp.lastIndexOf(u'/') + 1) + QStringLiteral(" の")
        + step + QStringLiteral("を拒否したため、この接続ではファイルを直接上書きします（")
        + shortReply(connection->lastResponse()) + QStringLiteral("）"));
}

void Transfers::removeTemporary(FtpConnection* connection, const QString& temp)
{
    if (!connection->isOpen())
        return;
    // The Stop that ended the upload must not end its clean-up too; it stays for the caller.
    const bool stop = std::exchange(m_state.StopRequested, false);
    connection->deleteFile(temp);
    m_state.StopRequested = m_state.StopRequested || stop;
}

QString Transfers::FileStampText(const QString& path, const QString& kind)
{
    if (kind == u"FTP") {
        FtpConnection* c = m_remotePane.FtpHandle();
        if (!c)
            return QString();
        FtpFindData entry;
        std::unique_ptr<FtpFind> find = c->findFirstFile(path + u'*', &entry);
        if (!find)
            return QString();
        // The pattern also matches longer names; the file itself wins when it is among them.
        const QString name = path.mid(path.lastIndexOf(u'/') + 1);
        FtpFindData chosen = entry;
        for (FtpFindData next; chosen.name != name && find->next(&next);) {
            if (next.name == name)
                chosen = next;
        }
        if (!chosen.lastWriteTime.isValid())
            return QString();
        return stampText(
            m_options.serverTimesAsLocal() ? chosen.lastWriteTime.toLocalTime() : chosen.lastWriteTime.toUTC());
    }
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    return stampText(info.lastModified().toLocalTime());
}

int Transfers::CompareWithLocal(int row)
{
    const PaneListModel* ftp = m_remotePane.fileList();
    if (row < 0 || row >= ftp->rowCount())
        return 2;
    const QString name = cellText(ftp, row, 0);
    const int local = m_localRows->rowOf(name);
    if (local < 0)
        return 2;
    return cellText(m_localPane.fileList(), local, 3) > cellText(ftp, row, 3) ? 3 : 4;
}

int Transfers::CompareWithServer(int row)
{
    const PaneListModel* localList = m_localPane.fileList();
    if (row < 0 || row >= localList->rowCount())
        return 1;
    const QString name = cellText(localList, row, 0);
    const int ftp = m_ftpRows->rowOf(name);
    if (ftp < 0)
        return 1;
    return cellText(localList, row, 3) > cellText(m_remotePane.fileList(), ftp, 3) ? 3 : 4;
}

int Transfers::CompareTreeStamps(const QString& local, const QString& ftp)
{
    QString ftpStamp;
    std::optional<FtpFindData> entry = serverEntry(ftp);
    // Inside a run a relative path is known to be below the run's folder; "/" + path would be
    // another file.
    if (!entry && !ftp.startsWith(u'/') && m_runFolder.isEmpty())
        entry = serverEntry(u'/' + ftp);
    if (entry && entry->lastWriteTime.isValid()) {
        QDateTime t = entry->lastWriteTime.toLocalTime();
        const QDate today = m_clock().date();
        // A listing that gives no year for a file of today's date a year ago means today.
        if (t.date().month() == today.month() && t.date().day() == today.day() && t.date().year() == today.year() - 1)
            t = t.addYears(1);
        ftpStamp = compactStamp(t);
    } else if (entry) {
        ftpStamp = QStringLiteral("000000000000");
    }
    QString localStamp;
    const QFileInfo info(local);
    if (info.exists())
        localStamp = compactStamp(info.lastModified().toLocalTime());

    if (localStamp.isEmpty() && ftpStamp.isEmpty())
        return 0;
    if (ftpStamp.isEmpty())
        return 1;
    if (localStamp.isEmpty())
        return 2;
    if (localStamp > ftpStamp)
        return 3;
    if (ftpStamp > localStamp)
        return 4;
    return 5;
}

// Download ------------------------------------------------------------------------------------

bool Transfers::downloadFiles(const QStringList& names, const QString& serverFolder, const QString& localFolder,
    std::optional<TransferType> type, const FileDone& done)
{
    RunGuard run(*this, serverFolder);
    if (!run.ok())
        return false;
    stepRun(int(names.size()), 0);
    return fetchFiles(names, localFolder, type, done);
}

bool Transfers::fetchFiles(
    const QStringList& names, const QString& localFolder, std::optional<TransferType> type, const FileDone& done)
{
    bool stopped = false;
    for (const QString& name : names) {
        if (!isSafeLocalName(name)) {
            addStatus(QStringLiteral("不正な名前のため飛ばしました:") + name);
            if (done)
                done(name, Outcome::Failed);
            stepRun(0, 1);
            continue;
        }
        const TransferType fileType = typeOf(name, type);
        m_report.setCurrentFile(name);
        const bool ok = FtpGetFileConv(
            m_remotePane.FtpHandle(), onServer(name), collapseSlashes(localFolder + u'/' + name), false, fileType);
        Outcome outcome = Outcome::Done;
        if (ok) {
            m_log.write(QStringLiteral("<ファイルﾀﾞダウンロード>"), name + QStringLiteral("→") + name,
                QStringLiteral("</ファイルﾀﾞダウンロード>"));
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:") + name + QStringLiteral("→") + name);
            ++m_report.FileCount;
            refreshLocalSoon();
        } else if (cancelled()) {
            outcome = Outcome::Stopped;
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:") + name);
        } else {
            outcome = Outcome::Failed;
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:") + name + failureNote());
        }
        if (done)
            done(name, outcome);
        if (outcome == Outcome::Failed && connectionLost()) {
            stopped = true;
            break;
        }
        m_report.ShowTransferCounts();
        stepRun(0, 1);
        if (m_stop.yieldAndCheckStop()) {
            stopped = true;
            break;
        }
        if (!m_remotePane.FtpHandle())
            break;
    }
    flushLocalRefresh();
    return stopped;
}

bool Transfers::downloadTree(
    const QString& folder, const QString& serverFolder, const QString& localFolder, std::optional<TransferType> type)
{
    RunGuard run(*this, serverFolder);
    return run.ok() && fetchTree(folder, localFolder, type);
}

bool Transfers::fetchTree(const QString& folder, const QString& localFolder, std::optional<TransferType> type)
{
    if (!isSafeLocalName(folder)) {
        addStatus(QStringLiteral("不正な名前のため飛ばしました:") + folder);
        return false;
    }
    // The walk's keys start at the run's folder (the path box's when the server's is unknown).
    const QString parent = m_runFolder.isEmpty() ? m_remotePane.folderText().trimmed() : m_runFolder;
    m_remotePane.folderTree()->clear();
    m_ftpTreeFrameShown = true;
    Q_EMIT ftpTreeFrameRequested(true);
    m_report.FileCount = 0;
    m_report.FolderCount = 0;

    auto finish = [this](bool stopped) {
        flushLocalRefresh();
        m_ftpTreeFrameShown = false;
        Q_EMIT ftpTreeFrameRequested(false);
        return stopped;
    };

    const QString caption = m_report.caption();
    const bool walked = m_remotePane.ExpandFtpTree(true, folder, parent);
    // The walk puts its own caption up and takes it down again.
    m_report.setCaption(caption);
    if (!walked) {
        // Stopped during the walk: a half-known tree is not downloaded.
        addStatus(QStringLiteral("フォルダーのダウンロードを中止しました:") + folder);
        return finish(true);
    }
    // The walk's counts are not the run's.
    m_report.FileCount = 0;
    m_report.FolderCount = 0;
    m_report.ShowTransferCounts();

    QStandardItemModel* tree = m_remotePane.folderTree();
    const std::vector<QStandardItem*> nodes = treeOrder(tree);
    closeOpenNodes(nodes);

    // The part of a key below the run's folder.
    QString folderPath = SessionRules::withoutHostName(parent, m_remotePane.hostName());
    if (folderPath == u"/" || folderPath == u"\\")
        folderPath.clear();
    QString base = localFolder;
    if (!base.endsWith(u'/'))
        base += u'/';

    int files = 0;
    for (const QStandardItem* node : nodes)
        files += nodeIcon(node) == IconKeys::Leaf;
    stepRun(files, 0);

    for (QStandardItem* node : nodes) {
        if (nodeIcon(node) == IconKeys::Leaf)
            continue;
        const QString relative = removeFront(nodeKey(node), folderPath);
        if (!isSafeRelativePath(relative))
            continue; // reported with the files below it
        if (QDir().mkdir(collapseSlashes(base + relative))) {
            ++m_report.FolderCount;
            m_report.ShowTransferCounts();
        }
    }

    QItemSelectionModel* selection = m_remotePane.folderTreeSelection();
    bool stopped = false;
    for (QStandardItem* node : nodes) {
        if (nodeIcon(node) != IconKeys::Leaf)
            continue;
        selection->setCurrentIndex(node->index(), QItemSelectionModel::ClearAndSelect);
        const QString key = nodeKey(node);
        const QString relative = removeFront(key, folderPath);
        const QString remotePath = (node->parent() ? nodeKey(node->parent()) : QString()) + u'/' + node->text();
        if (!isSafeRelativePath(relative)) {
            node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
            addStatus(QStringLiteral("不正な名前のため飛ばしました:") + remotePath);
        } else {
            const QString localPath = collapseSlashes(base + relative);
            const TransferType fileType = typeOf(key, type);
            const QString localStamp = FileStampText(localPath, QStringLiteral("DIR"));
            if (localStamp < ftpNodeStamp(node)) {
                m_report.setCurrentFile(remotePath);
                // The walk's size spares the SIZE round trip of each file.
                FtpConnection* c = m_remotePane.FtpHandle();
                if (c)
                    c->setExpectedSize(node->data(ItemRoles::SizeRole).toLongLong());
                const bool ok = FtpGetFileConv(c, remotePath, localPath, false, fileType);
                if (c)
                    c->setExpectedSize(0);
                if (ok) {
                    node->setData(IconKeys::Leaf2, ItemRoles::IconKeyRole);
                    ++m_report.FileCount;
                    m_report.ShowTransferCounts();
                    m_log.write(QStringLiteral("<ファイルダウンロード>"), remotePath + QStringLiteral("→") + localPath,
                        QStringLiteral("</ファイルダウンロード>"));
                    addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:") + remotePath + QStringLiteral("→") + localPath);
                } else {
                    node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
                    if (cancelled()) {
                        addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:") + remotePath);
                    } else {
                        addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:") + remotePath + failureNote());
                        if (connectionLost()) {
                            stopped = true;
                            break;
                        }
                    }
                }
            }
        }
        stepRun(0, 1);
        if (m_stop.yieldAndCheckStop()) {
            stopped = true;
            break;
        }
        if (!m_ftpTreeFrameShown || !m_remotePane.FtpHandle())
            break;
    }
    return finish(stopped);
}

bool Transfers::downloadSelectedFiles()
{
    PaneListModel* list = m_remotePane.fileList();
    QItemSelectionModel* selection = m_remotePane.fileSelection();
    // The update rule picks the files; the rows are marked as their files end.
    QStringList names;
    int skipped = 0;
    for (int i = 0; i < list->rowCount(); ++i) {
        if (!isRowSelected(selection, i) || iconKey(list, i) != IconKeys::Leaf)
            continue;
        const int r = CompareWithLocal(i);
        if (m_transferRule != 1 && r != 2 && r != 4) {
            setIconKey(list, i, IconKeys::Leaf3);
            ++skipped;
            continue;
        }
        names.append(cellText(list, i, 0));
    }
    stepRun(int(names.size()) + skipped, skipped);
    return fetchFiles(
        names, m_localPane.currentFolder(), {}, [this, list, selection](const QString& name, Outcome outcome) {
            const int row = m_ftpRows->rowOf(name);
            if (row < 0)
                return;
            setIconKey(list, row, outcome == Outcome::Done ? IconKeys::Leaf2 : IconKeys::Leaf3);
            if (outcome == Outcome::Done)
                deselectRow(selection, row);
        });
}

void Transfers::DownloadSelection()
{
    RunGuard run(*this, shownServerFolder());
    if (!run.ok())
        return;
    m_report.resetCounts();
    m_report.show();
    m_report.setCaption(QStringLiteral("ファイルダウンロード実行中"));
    m_report.ShowTransferCounts();
    QCoreApplication::processEvents();
    m_report.setStatusPanel(0, QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中"));
    m_report.setCurrentFile(QStringLiteral("ファイルダウンロード"));

    // A stop in the file pass ends the files only; the selected folders still come.
    downloadSelectedFiles();
    PaneListModel* list = m_remotePane.fileList();
    QItemSelectionModel* selection = m_remotePane.fileSelection();
    QStringList folders;
    QList<QPersistentModelIndex> folderRows;
    for (int i = 0; i < list->rowCount(); ++i) {
        if (isRowSelected(selection, i) && iconKey(list, i) == IconKeys::Closed) {
            folders.append(cellText(list, i, 0));
            folderRows.append(QPersistentModelIndex(list->index(i, 0)));
        }
    }
    const QString localFolder = m_localPane.currentFolder();
    for (qsizetype f = 0; f < folders.size() && connectionOpen(); ++f) {
        const bool treeStopped = fetchTree(folders[f], localFolder, {});
        if (folderRows[f].isValid())
            deselectRow(selection, folderRows[f].row());
        if (treeStopped)
            break;
    }

    m_report.setStatusPanel(0, QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了"));
    m_report.resetCounts();
    m_report.ShowTransferCounts();
    m_report.setCaption(StatusReport::defaultCaption());
    m_report.hide();
}

void Transfers::DownloadFiles()
{
    RunGuard run(*this, shownServerFolder());
    if (run.ok())
        downloadSelectedFiles();
}

void Transfers::DownloadTree(const QString& folder)
{
    RunGuard run(*this, shownServerFolder());
    if (run.ok())
        fetchTree(folder, m_localPane.currentFolder(), {});
}

// Upload --------------------------------------------------------------------------------------

bool Transfers::uploadFiles(const QStringList& names, const QString& localFolder, const QString& serverFolder,
    std::optional<TransferType> type, const FileDone& done)
{
    RunGuard run(*this, serverFolder);
    if (!run.ok())
        return false;
    stepRun(int(names.size()), 0);
    return sendFiles(names, localFolder, type, done);
}

bool Transfers::sendFiles(
    const QStringList& names, const QString& localFolder, std::optional<TransferType> type, const FileDone& done)
{
    const bool overwrite = m_transferRule == 1;
    for (const QString& name : names) {
        QCoreApplication::processEvents();
        if (!m_modeRules.IsSendable(name)) {
            stepRun(0, 1);
            continue;
        }
        const TransferType fileType = typeOf(name, type);
        const QString ftpName = uploadName(name);
        m_report.setCurrentFile(name);
        const bool ok = FtpPutFileConv(
            m_remotePane.FtpHandle(), collapseSlashes(localFolder + u'/' + name), onServer(ftpName), fileType);
        noteUpload(onServer(ftpName), ok);
        const QString details = name + QStringLiteral("→") + name;
        if (ok) {
            m_log.write(QStringLiteral("<ファイルアップロード>"), overwrite ? details + u' ' : details,
                QStringLiteral("</ファイルアップロード>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:") + name);
            m_report.setCountsText(uploadCounts(false));
            ++m_report.FileCount;
            ++m_report.FileTotal;
            stepRun(0, 1);
            if (done)
                done(name, Outcome::Done);
            QCoreApplication::processEvents();
        } else if (cancelled()) {
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:") + name);
            m_state.StopRequested = false;
            if (done)
                done(name, Outcome::Stopped);
            return true;
        } else {
            m_log.write(overwrite ? QStringLiteral("<ファイル書込失敗>") : QStringLiteral("<ファイルアップロード失敗>"),
                details, QStringLiteral("</ファイルアップロード失敗>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ失敗ﾞ:") + name);
            if (done)
                done(name, Outcome::Failed);
            // The folders still come after a refused file, not after a lost connection.
            return connectionLost();
        }
        if (m_state.takeStopRequest())
            return true;
    }
    return false;
}

bool Transfers::uploadSelectedFiles()
{
    PaneListModel* list = m_localPane.fileList();
    QItemSelectionModel* selection = m_localPane.fileSelection();
    // The update rule picks the files; a file passed over loses its selection at once, one sent
    // when it arrived. Folder rows keep their selection: the tree pass takes them next.
    QStringList names;
    int skipped = 0;
    for (int i = 0; i < list->rowCount(); ++i) {
        const QString key = iconKey(list, i);
        if (!isRowSelected(selection, i) || !IconKeys::isFile(key) || key == IconKeys::LeafKill)
            continue;
        const QString name = cellText(list, i, 0);
        if (!m_modeRules.IsSendable(name)) {
            deselectRow(selection, i);
            ++skipped;
            continue;
        }
        const int r = uploadUnfinished(onServer(uploadName(name))) ? 1 : CompareWithServer(i);
        if (m_transferRule != 1 && r != 1 && r != 3) {
            setIconKey(list, i, IconKeys::Leaf3);
            deselectRow(selection, i);
            ++skipped;
            continue;
        }
        names.append(name);
    }
    stepRun(int(names.size()) + skipped, skipped);
    return sendFiles(
        names, m_localPane.currentFolder(), {}, [this, list, selection](const QString& name, Outcome outcome) {
            const int row = m_localRows->rowOf(name);
            if (row < 0 || outcome == Outcome::Failed)
                return;
            setIconKey(list, row, outcome == Outcome::Done ? IconKeys::Leaf2 : IconKeys::Leaf3);
            if (outcome == Outcome::Done)
                deselectRow(selection, row);
        });
}

bool Transfers::uploadSelectedFolders()
{
    PaneListModel* list = m_localPane.fileList();
    QItemSelectionModel* selection = m_localPane.fileSelection();
    if (!selection || !selection->hasSelection())
        return false;
    QStringList folders;
    for (int i = 0; i < list->rowCount(); ++i) {
        if (isRowSelected(selection, i) && iconKey(list, i) == IconKeys::Closed)
            folders.append(cellText(list, i, 0));
    }
    return sendTrees(folders, m_localPane.folderText().trimmed(), {});
}

bool Transfers::uploadTrees(const QStringList& folders, const QString& localFolder, const QString& serverFolder,
    std::optional<TransferType> type)
{
    RunGuard run(*this, serverFolder);
    return run.ok() && sendTrees(folders, localFolder, type);
}

bool Transfers::sendTrees(const QStringList& folders, const QString& localFolder, std::optional<TransferType> type)
{
    if (m_remotePane.folderText().trimmed().isEmpty())
        m_remotePane.setFolderText(m_state.CurrentFtpPath);

    Q_EMIT localTreeFrameRequested(true);
    QStandardItemModel* tree = m_localPane.folderTree();
    tree->clear();
    auto* root = new QStandardItem(localFolder);
    root->setData(localFolder, ItemRoles::NodeKeyRole);
    root->setData(IconKeys::Open, ItemRoles::IconKeyRole);
    root->setEditable(false);
    tree->appendRow(root);
    bool stopped = false;
    for (const QString& folder : folders) {
        if (!m_localPane.WalkLocalTree(localFolder, folder, localFolder)) {
            stopped = true;
            break;
        }
    }
    QCoreApplication::processEvents();
    auto finish = [this](bool wasStopped) {
        m_remotePane.RefreshFtpPanes();
        Q_EMIT localTreeFrameRequested(false);
        return wasStopped;
    };
    if (stopped)
        return finish(true);

    const std::vector<QStandardItem*> nodes = treeOrder(tree);
    closeOpenNodes(nodes);
    // A node's server path is its place below the local folder, taken below the run's server
    // folder. (Paths taken from the connection's start folder, with fallbacks from the root, put
    // the tree one level too deep or at the root once the user had moved on the server.)
    auto ftpPathOf = [&](const QString& key) { return dropLeadingSlash(removeFront(key, localFolder)); };

    FtpConnection* connection = m_remotePane.FtpHandle();
    for (QStandardItem* node : nodes) {
        if (nodeIcon(node) != IconKeys::Closed || !connection)
            continue;
        const QString path = uploadName(ftpPathOf(nodeKey(node)));
        // The root node is the FTP folder itself; a folder that exists is passed over silently.
        QString made;
        if (!path.isEmpty() && connection->createDirectory(onServer(path)))
            made = path;
        if (!made.isEmpty()) {
            // A folder made just now holds nothing: its files need no listing to compare with.
            rememberEmptyServerFolder(made);
            m_log.write(QStringLiteral("<フォルダ作成>"), made + u' ', QStringLiteral("</フォルダ作成>"));
            m_report.setCurrentFile(QStringLiteral("ﾌｫﾙﾀﾞｰ:") + made + QStringLiteral(" 作成"));
            addStatus(QStringLiteral("フォルダー作成:") + made);
            m_report.setCountsText(uploadCounts(false));
            ++m_report.FolderCount;
        }
        if (m_stop.yieldAndCheckStop())
            return finish(true);
        connection = m_remotePane.FtpHandle();
    }

    int files = 0;
    for (const QStandardItem* node : nodes)
        files += nodeIcon(node) == IconKeys::Leaf;
    m_report.FileTotal += files;
    stepRun(files, 0);

    const bool overwrite = m_transferRule == 1;
    QItemSelectionModel* treeSelection = m_localPane.folderTreeSelection();
    for (QStandardItem* node : nodes) {
        if (nodeIcon(node) != IconKeys::Leaf)
            continue;
        const QString key = nodeKey(node);
        QString ftpPath = ftpPathOf(key);
        if (treeSelection)
            treeSelection->setCurrentIndex(node->index(), QItemSelectionModel::ClearAndSelect);
        if (m_state.takeStopRequest()) {
            stopped = true;
            break;
        }
        if (!m_modeRules.IsSendable(key)) {
            stepRun(0, 1);
            continue;
        }
        const TransferType fileType = typeOf(key, type);
        const QString localPath = (node->parent() ? nodeKey(node->parent()) : localFolder) + u'/' + node->text();
        int r = CompareTreeStamps(key, ftpPath);
        ftpPath = uploadName(ftpPath);
        if (uploadUnfinished(onServer(ftpPath)))
            r = 1;
        if (!overwrite && r != 1 && r != 3) {
            node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
            stepRun(0, 1);
            if (m_stop.yieldAndCheckStop()) {
                stopped = true;
                break;
            }
            continue;
        }
        m_state.SuppressWinInetErrors = true;
        bool ok = FtpPutFileConv(m_remotePane.FtpHandle(), localPath, onServer(ftpPath), fileType);
        m_state.SuppressWinInetErrors = false;
        // Once more, now with the error message.
        if (!ok && !cancelled() && connectionOpen())
            ok = FtpPutFileConv(m_remotePane.FtpHandle(), localPath, onServer(ftpPath), fileType);
        noteUpload(onServer(ftpPath), ok);
        if (ok) {
            node->setData(IconKeys::Leaf2, ItemRoles::IconKeyRole);
            m_log.write(QStringLiteral("<ファイル書込>"), localPath + QStringLiteral("→") + ftpPath + u' ',
                QStringLiteral("</ファイル書込>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:") + ftpPath);
            m_report.setCurrentFile(QStringLiteral("ﾌｧｲﾙUP:") + ftpPath);
            m_report.setCountsText(uploadCounts(true));
            ++m_report.FileCount;
        } else if (cancelled()) {
            node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:") + ftpPath);
        } else {
            m_log.write(QStringLiteral("<ファイル書込失敗>"), localPath + QStringLiteral("→") + ftpPath + u' ',
                QStringLiteral("</ファイル書込失敗>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ失敗:") + ftpPath);
            m_report.setCurrentFile(QStringLiteral("ﾌｧｲﾙUP失敗:") + ftpPath);
            m_report.setCountsText(uploadCounts(true));
            ++m_report.FileCount;
            if (connectionLost()) {
                stopped = true;
                break;
            }
        }
        stepRun(0, 1);
        if (m_stop.yieldAndCheckStop()) {
            stopped = true;
            break;
        }
        if (!m_remotePane.FtpHandle())
            break;
    }
    return finish(stopped);
}

void Transfers::UploadSelection()
{
    RunGuard run(*this, shownServerFolder());
    if (!run.ok())
        return;
    // The report sits under the local tree, for a drop or a companion's upload too.
    Q_EMIT localTreeFrameRequested(true);
    m_report.show();
    m_report.resetCounts();
    m_report.setCurrentFile(QStringLiteral("ファイルアップロード中"));
    const bool watching = m_connectionWatch && m_connectionWatch->isActive();
    if (m_connectionWatch)
        m_connectionWatch->stop();
    m_report.setStatusPanel(0, QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中"));

    if (!uploadSelectedFiles())
        uploadSelectedFolders();

    m_remotePane.RefreshFtpPanes();
    if (m_connectionWatch && watching && m_remotePane.FtpHandle())
        m_connectionWatch->start();
    // The server listing emptied the local side of the record: list the folder again, and keep
    // the marks of this run on the rebuilt rows so the user sees what was sent.
    PaneListModel* list = m_localPane.fileList();
    QHash<QString, QString> marks;
    for (int i = 0; i < list->rowCount(); ++i) {
        const QString key = iconKey(list, i);
        if (key == IconKeys::Leaf2 || key == IconKeys::Leaf3)
            marks.insert(cellText(list, i, 0), key);
    }
    const QString localFolder = m_localPane.folderText().trimmed();
    m_localPane.ListLocalFolder(localFolder);
    m_localPane.FillLocalList();
    for (int i = 0; i < list->rowCount() && !marks.isEmpty(); ++i) {
        const auto mark = marks.constFind(cellText(list, i, 0));
        if (mark != marks.constEnd() && iconKey(list, i) == IconKeys::Leaf)
            setIconKey(list, i, *mark);
    }
    m_report.setStatusPanel(0, QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了"));
    m_report.hide();
}

void Transfers::UploadFiles()
{
    RunGuard run(*this, shownServerFolder());
    if (run.ok())
        uploadSelectedFiles();
}

void Transfers::UploadTree()
{
    RunGuard run(*this, shownServerFolder());
    if (run.ok())
        uploadSelectedFolders();
}

void Transfers::UpdateRemoteFile(const QString& text, const QString& ftpName)
{
    Q_EMIT busyChanged(true);
    const QString temp = DataFolder::file(QStringLiteral("$1$.txt"));
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\n', QStringLiteral("\r\n"));
    // Text the code page cannot hold is kept in UTF-8 rather than lost.
    const QByteArray bytes = Cp932::canEncode(lines) ? Cp932::encode(lines) : lines.toUtf8();
    QSaveFile file(temp);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    const QString name = ftpName.trimmed();
    const TransferType type = m_modeRules.SetTransferMode(temp);
    if (saved && !name.isEmpty())
        FtpPutFileConv(m_remotePane.FtpHandle(), temp, name, type);
    m_log.write(QStringLiteral("<ファイル更新>"), temp + QStringLiteral("→") + temp, QStringLiteral("</ファイル書込>"));
    addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:") + temp);
    QFile::remove(temp);
    Q_EMIT busyChanged(false);
}
