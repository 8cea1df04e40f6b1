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
#include <limits>

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
        t.m_lostNoted = false;
        t.m_replaceNoted = false;
        c->setProgress([&report = t.m_report](qint64 done, qint64 total) { report.setFileProgress(done, total); });
        t.paneMover(c).setPassiveAhead(true);
        Q_EMIT t.busyChanged(true);
    }
    ~RunGuard()
    {
        if (!m_ok)
            return;
        if (FtpConnection* c = m_t.m_remotePane.FtpHandle()) {
            c->setProgress(nullptr);
            m_t.paneMover(c).setPassiveAhead(false);
        }
        m_t.m_report.setInFlight({});
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

QString Transfers::failureNote(const Result& result) const
{
    if (!m_remotePane.FtpHandle())
        return QStringLiteral("（接続がありません）");
    const QString why = FtpError::messageText(result.code);
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
    if (!std::exchange(m_lostNoted, true))
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
    const Result result = paneMover(connection).get(remote, local, failIfExists, type, m_options.eucToSjisOnDownload());
    showConversionError(result, true);
    return result.ok;
}

bool Transfers::FtpPutFileConv(
    FtpConnection* connection, const QString& local, const QString& remote, TransferType type)
{
    if (!connection)
        return false;
    const std::optional<QString> mode = replacedFileMode(connection, remote);
    const Result result
        = paneMover(connection)
              .put(local, remote, type, m_options.sjisToEucOnUpload(), mode.has_value(), mode.value_or(QString()));
    if (!result.notice.isEmpty())
        addStatus(result.notice);
    // A conversion that failed before anything was sent has no engine error to show.
    if (!result.ok && result.code != 0)
        m_remotePane.ShowWinInetError(result.code, result.response);
    return result.ok;
}

void Transfers::showConversionError(const Result& result, bool asBox)
{
    if (!result.conversionError)
        return;
    if (!asBox) {
        addStatus(TextConvert::eucErrorTitle() + u' ' + result.conversionError->messageText().simplified());
        return;
    }
    FtpConnection* c = m_remotePane.FtpHandle();
    // The user may take long to answer: no port asked ahead may wait meanwhile.
    if (c)
        c->setPassiveAhead(false);
    m_dialogs.message(result.conversionError->messageText(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation,
        TextConvert::eucErrorTitle());
    if (c)
        c->setPassiveAhead(m_running);
}

bool Transfers::stoppedBy(const Result& result) const
{
    return m_state.StopRequested || result.code == FtpError::OperationCancelled;
}

Transfers::Job Transfers::downloadJob(
    qsizetype id, const QString& remote, const QString& local, TransferType type, qint64 size, const QString& shown)
{
    Job job;
    job.id = id;
    job.remote = remote;
    job.local = local;
    job.type = type;
    job.expectedSize = size;
    job.shown = shown;
    return job;
}

Transfers::Job Transfers::uploadJob(
    qsizetype id, const QString& local, const QString& remote, TransferType type, const QString& shown)
{
    Job job = downloadJob(id, remote, local, type, 0, shown);
    job.upload = true;
    if (const std::optional<QString> mode = replacedFileMode(m_remotePane.FtpHandle(), remote)) {
        job.replace = true;
        job.replaceMode = *mode;
    }
    return job;
}

Transfers::Result Transfers::moveOnPane(const Job& job)
{
    FtpConnection* c = m_remotePane.FtpHandle();
    if (!c)
        return { false, FtpError::IncorrectHandleState, {}, {}, {} };
    FileMover& mover = paneMover(c);
    Result result = job.upload
        ? mover.put(job.local, job.remote, job.type, m_options.sjisToEucOnUpload(), job.replace, job.replaceMode)
        : mover.get(job.remote, job.local, false, job.type, m_options.eucToSjisOnDownload(), job.expectedSize);
    if (!result.notice.isEmpty())
        addStatus(result.notice);
    return result;
}

bool Transfers::moveFiles(const NextJob& next, const JobEnded& ended, RunStyle style, qsizetype files)
{
    // No connection more than there are files to give it.
    const int extra = int(qMin<qsizetype>(m_options.transferConnections(), files) - 1);
    if (extra > 0 && m_remotePane.InternetHandle() && m_remotePane.FtpHandle())
        return moveInParallel(next, ended, extra);
    return moveOneByOne(next, ended, style);
}

bool Transfers::moveOneByOne(const NextJob& next, const JobEnded& ended, RunStyle style)
{
    for (;;) {
        const std::optional<Job> job = next();
        if (!job)
            return m_state.takeStopRequest();
        m_state.SuppressWinInetErrors = style.retryOnce;
        Result result = moveOnPane(*job);
        m_state.SuppressWinInetErrors = false;
        // Once more, now with the error message; a lost connection is said once by the run.
        bool showFailure = style.failureBox && !style.retryOnce;
        if (style.retryOnce && !result.ok && !stoppedBy(result) && connectionOpen()) {
            result = moveOnPane(*job);
            showFailure = style.failureBox;
        }
        if (showFailure && !result.ok && result.code != 0)
            m_remotePane.ShowWinInetError(result.code, result.response);
        showConversionError(result, true);
        const Next go = ended(*job, result);
        if (go == Next::End) {
            m_state.StopRequested = false;
            return true;
        }
        if (go == Next::NoMoreFiles)
            return false;
        if (m_stop.yieldAndCheckStop())
            return true;
    }
}

bool Transfers::moveInParallel(const NextJob& next, const JobEnded& ended, int extraConnections)
{
    const RemotePane::Login& login = m_remotePane.login();
    TransferPool pool(*m_remotePane.InternetHandle(), { login.host, login.user, login.password, login.passive },
        { m_options.eucToSjisOnDownload(), m_options.sjisToEucOnUpload() }, DataFolder::file(QStringLiteral("TempPut")),
        extraConnections);
    connect(&pool, &TransferPool::notice, this, [this](const QString& text) { addStatus(text); });

    bool producing = true;
    bool ending = false; // a Stop or a lost connection: the files in flight are stopped
    bool delivering = false;
    bool lostNoted = false;
    QString paneFile;
    // A file's end on this thread, whichever connection moved it.
    const auto fileEnded = [&](const Job& job, const Result& result) {
        showConversionError(result, false);
        if (job.upload && !result.ok && !stoppedBy(result))
            addStatus(job.shown + failureNote(result));
        const Next go = ended(job, result);
        if (go == Next::End && !ending) {
            ending = true;
            producing = false;
            pool.stop(true);
        } else if (go == Next::NoMoreFiles) {
            producing = false;
            pool.stop(false);
        }
    };
    const auto deliver = [&] {
        if (std::exchange(delivering, true))
            return;
        for (TransferPool::Done& done : pool.takeDone()) {
            if (done.connectionLost && !ending && !stoppedBy(done.result)) {
                // Another connection takes the file over.
                if (!std::exchange(lostNoted, true))
                    addStatus(QStringLiteral("追加の接続%1が切れたため、残りの接続で転送を続けます。")
                                  .arg(done.connection + 1));
                pool.retry(std::move(done.job));
                continue;
            }
            fileEnded(done.job, done.result);
        }
        delivering = false;
    };
    const auto showInFlight = [&] {
        QStringList lines = pool.inFlight();
        if (!paneFile.isEmpty())
            lines.prepend(QStringLiteral("接続1: ") + paneFile);
        m_report.setInFlight(lines);
    };
    connect(&pool, &TransferPool::doneAvailable, this, deliver);
    QTimer inFlightTimer;
    connect(&inFlightTimer, &QTimer::timeout, this, showInFlight);
    inFlightTimer.start(200);

    // Enough files queued that the extra connections keep busy while the pane's moves one.
    const qsizetype depth = 4 * (extraConnections + 1) + 8;
    for (;;) {
        deliver();
        if (m_state.StopRequested && !ending) {
            ending = true;
            producing = false;
            pool.stop(true);
        }
        while (producing && pool.queued() < depth) {
            std::optional<Job> job = next();
            if (m_state.StopRequested)
                break; // taken at the top of the loop
            if (!job) {
                producing = false;
                pool.finishQueue();
                break;
            }
            pool.add(std::move(*job));
        }
        if (!ending) {
            if (std::optional<Job> job = pool.takeNext()) {
                paneFile = job->shown;
                showInFlight();
                const Result result = moveOnPane(*job);
                paneFile.clear();
                fileEnded(*job, result);
                if (m_stop.yieldAndCheckStop())
                    m_state.StopRequested = true; // taken at the top of the loop
                continue;
            }
        }
        if (!producing && !pool.busy())
            break;
        pool.waitForDone(10);
        QCoreApplication::processEvents();
    }
    inFlightTimer.stop();
    m_report.setInFlight({});
    const bool stopped = ending || std::exchange(m_state.StopRequested, false);
    m_state.StopRequested = false;
    return stopped;
}

FileMover& Transfers::paneMover(FtpConnection* connection)
{
    forgetOtherConnections();
    if (!m_paneMover || &m_paneMover->connection() != connection) {
        FileMover::Stop stop { [this] { return m_state.StopRequested; },
            [this](bool hold) {
                if (hold)
                    m_heldStop = std::exchange(m_state.StopRequested, false);
                else
                    m_state.StopRequested = m_state.StopRequested || std::exchange(m_heldStop, false);
            } };
        m_paneMover = std::make_unique<FileMover>(*connection, DataFolder::file(QStringLiteral("TempPut.$$$")), stop);
    }
    return *m_paneMover;
}

void Transfers::forgetOtherConnections()
{
    const quint32 handle = m_remotePane.ftpHandleNumber();
    if (handle == m_replaceConnection)
        return;
    m_replaceConnection = handle;
    m_paneMover.reset();
}

std::optional<QString> Transfers::replacedFileMode(FtpConnection* connection, const QString& remote)
{
    // The listings go through the pane's connection: another one is sent to directly.
    if (!m_options.replaceThroughTemporary() || connection != m_remotePane.FtpHandle()
        || paneMover(connection).sendsDirectly())
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
    qsizetype next = 0;
    const auto nextJob = [&]() -> std::optional<Job> {
        while (next < names.size() && m_remotePane.FtpHandle()) {
            const QString& name = names[next++];
            if (!isSafeLocalName(name)) {
                addStatus(QStringLiteral("不正な名前のため飛ばしました:") + name);
                if (done)
                    done(name, Outcome::Failed);
                stepRun(0, 1);
                continue;
            }
            m_report.setCurrentFile(name);
            return downloadJob(
                next - 1, onServer(name), collapseSlashes(localFolder + u'/' + name), typeOf(name, type), 0, name);
        }
        return std::nullopt;
    };
    const auto ended = [&](const Job& job, const Result& result) {
        const QString& name = names[job.id];
        Outcome outcome = Outcome::Done;
        if (result.ok) {
            m_log.write(QStringLiteral("<ファイルﾀﾞダウンロード>"), name + QStringLiteral("→") + name,
                QStringLiteral("</ファイルﾀﾞダウンロード>"));
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:") + name + QStringLiteral("→") + name);
            ++m_report.FileCount;
            refreshLocalSoon();
        } else if (stoppedBy(result)) {
            outcome = Outcome::Stopped;
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:") + name);
        } else {
            outcome = Outcome::Failed;
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:") + name + failureNote(result));
        }
        if (done)
            done(name, outcome);
        if (outcome == Outcome::Failed && connectionLost())
            return Next::End;
        m_report.ShowTransferCounts();
        stepRun(0, 1);
        return Next::Go;
    };
    const bool stopped = moveFiles(nextJob, ended, {}, names.size());
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
    // Over several connections the files of the folders listed so far are fetched while the walk
    // lists the next ones; over one, the whole tree is known first.
    const bool alongTheWalk = m_options.transferConnections() > 1;
    std::shared_ptr<RemotePane::FtpTreeWalk> walk = m_remotePane.beginFtpTreeWalk(true, folder, parent);
    const auto walkEnded = [&] {
        // The walk puts its own caption up and takes it down again.
        m_report.setCaption(caption);
        if (!RemotePane::ftpTreeWalkStopped(*walk))
            return false;
        // Stopped during the walk: a half-known tree is not downloaded further.
        addStatus(QStringLiteral("フォルダーのダウンロードを中止しました:") + folder);
        return true;
    };
    if (!alongTheWalk) {
        while (m_remotePane.stepFtpTreeWalk(*walk)) { }
        if (walkEnded())
            return finish(true);
        // The walk's counts are not the run's.
        m_report.FileCount = 0;
        m_report.FolderCount = 0;
        m_report.ShowTransferCounts();
    }

    // The part of a key below the run's folder.
    QString folderPath = SessionRules::withoutHostName(parent, m_remotePane.hostName());
    if (folderPath == u"/" || folderPath == u"\\")
        folderPath.clear();
    QString base = localFolder;
    if (!base.endsWith(u'/'))
        base += u'/';

    const auto makeFolder = [&](const QStandardItem* node) {
        const QString relative = removeFront(nodeKey(node), folderPath);
        if (!isSafeRelativePath(relative))
            return; // reported with the files below it
        if (QDir().mkdir(collapseSlashes(base + relative))) {
            ++m_report.FolderCount;
            m_report.ShowTransferCounts();
        }
    };
    // Folders are made before their files: all at once after a whole walk, else a listed folder's
    // subfolders with it.
    std::vector<QStandardItem*> leaves;
    // Files to the run, folders made.
    const auto takeNodes = [&](const auto& nodes) {
        int files = 0;
        for (QStandardItem* node : nodes) {
            if (nodeIcon(node) == IconKeys::Leaf) {
                leaves.push_back(node);
                ++files;
            } else {
                makeFolder(node);
            }
        }
        stepRun(files, 0);
    };
    const auto takeFolder = [&](QStandardItem* node) {
        makeFolder(node);
        std::vector<QStandardItem*> children;
        for (int r = 0; r < node->rowCount(); ++r)
            children.push_back(node->child(r));
        takeNodes(children);
    };
    if (!alongTheWalk) {
        const std::vector<QStandardItem*> nodes = treeOrder(m_remotePane.folderTree());
        closeOpenNodes(nodes);
        takeNodes(nodes);
    }
    // The next folder of a walk still going, false at its end.
    bool walking = alongTheWalk;
    const auto listMore = [&] {
        if (!walking)
            return false;
        if (QStandardItem* node = m_remotePane.stepFtpTreeWalk(*walk)) {
            takeFolder(node);
            return true;
        }
        walking = false;
        if (walkEnded())
            m_state.StopRequested = true; // the run stops too
        closeOpenNodes(treeOrder(m_remotePane.folderTree()));
        return false;
    };

    QItemSelectionModel* selection = m_remotePane.folderTreeSelection();
    const auto remotePathOf = [](const QStandardItem* node) -> QString {
        QString path;
        if (node->parent())
            path = nodeKey(node->parent());
        return path + u'/' + node->text();
    };
    size_t next = 0;
    const auto nextJob = [&]() -> std::optional<Job> {
        while ((next < leaves.size() || listMore()) && m_ftpTreeFrameShown && m_remotePane.FtpHandle()) {
            if (next >= leaves.size())
                continue; // a folder without files
            QStandardItem* node = leaves[next++];
            selection->setCurrentIndex(node->index(), QItemSelectionModel::ClearAndSelect);
            const QString key = nodeKey(node);
            const QString relative = removeFront(key, folderPath);
            const QString remotePath = remotePathOf(node);
            if (!isSafeRelativePath(relative)) {
                node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
                addStatus(QStringLiteral("不正な名前のため飛ばしました:") + remotePath);
                stepRun(0, 1);
                continue;
            }
            const QString localPath = collapseSlashes(base + relative);
            if (FileStampText(localPath, QStringLiteral("DIR")) >= ftpNodeStamp(node)) {
                stepRun(0, 1);
                continue;
            }
            m_report.setCurrentFile(remotePath);
            // The walk's size spares the SIZE round trip of each file.
            return downloadJob(qsizetype(next - 1), remotePath, localPath, typeOf(key, type),
                node->data(ItemRoles::SizeRole).toLongLong(), remotePath);
        }
        return std::nullopt;
    };
    const auto ended = [&](const Job& job, const Result& result) {
        QStandardItem* node = leaves[size_t(job.id)];
        const QString& remotePath = job.remote;
        Next go = Next::Go;
        if (result.ok) {
            node->setData(IconKeys::Leaf2, ItemRoles::IconKeyRole);
            ++m_report.FileCount;
            m_report.ShowTransferCounts();
            m_log.write(QStringLiteral("<ファイルダウンロード>"), remotePath + QStringLiteral("→") + job.local,
                QStringLiteral("</ファイルダウンロード>"));
            addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:") + remotePath + QStringLiteral("→") + job.local);
        } else {
            node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
            if (stoppedBy(result)) {
                addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:") + remotePath);
            } else {
                addStatus(QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:") + remotePath + failureNote(result));
                if (connectionLost())
                    go = Next::End;
            }
        }
        stepRun(0, 1);
        return go;
    };
    // Along the walk the number of files is not known yet.
    const bool stopped = moveFiles(
        nextJob, ended, {}, alongTheWalk ? std::numeric_limits<qsizetype>::max() : qsizetype(leaves.size()));
    if (walking) {
        // The run ended before the walk (Stop, a lost connection, the panel closed).
        walking = false;
        m_remotePane.endFtpTreeWalk(*walk);
        m_report.setCaption(caption);
        closeOpenNodes(treeOrder(m_remotePane.folderTree()));
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
    qsizetype next = 0;
    const auto nextJob = [&]() -> std::optional<Job> {
        while (next < names.size() && m_remotePane.FtpHandle()) {
            const QString& name = names[next++];
            if (!m_modeRules.IsSendable(name)) {
                stepRun(0, 1);
                continue;
            }
            m_report.setCurrentFile(name);
            const QString remote = onServer(uploadName(name));
            return uploadJob(next - 1, collapseSlashes(localFolder + u'/' + name), remote, typeOf(name, type), name);
        }
        return std::nullopt;
    };
    bool lost = false;
    const auto ended = [&](const Job& job, const Result& result) {
        const QString& name = names[job.id];
        noteUpload(job.remote, result.ok);
        const QString details = name + QStringLiteral("→") + name;
        if (result.ok) {
            m_log.write(QStringLiteral("<ファイルアップロード>"), overwrite ? details + u' ' : details,
                QStringLiteral("</ファイルアップロード>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:") + name);
            m_report.setCountsText(uploadCounts(false));
            ++m_report.FileCount;
            ++m_report.FileTotal;
            stepRun(0, 1);
            if (done)
                done(name, Outcome::Done);
            return Next::Go;
        }
        if (stoppedBy(result)) {
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:") + name);
            if (done)
                done(name, Outcome::Stopped);
            return Next::End;
        }
        m_log.write(overwrite ? QStringLiteral("<ファイル書込失敗>") : QStringLiteral("<ファイルアップロード失敗>"),
            details, QStringLiteral("</ファイルアップロード失敗>"));
        addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ失敗ﾞ:") + name);
        if (done)
            done(name, Outcome::Failed);
        // The folders still come after a refused file, not after a lost connection.
        lost = lost || connectionLost();
        return lost ? Next::End : Next::NoMoreFiles;
    };
    return moveFiles(nextJob, ended, { false, true }, names.size()) || lost;
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
    std::vector<QStandardItem*> leaves;
    for (QStandardItem* node : nodes) {
        if (nodeIcon(node) == IconKeys::Leaf)
            leaves.push_back(node);
    }
    size_t next = 0;
    const auto nextJob = [&]() -> std::optional<Job> {
        while (next < leaves.size() && m_remotePane.FtpHandle()) {
            QStandardItem* node = leaves[next++];
            const QString key = nodeKey(node);
            if (treeSelection)
                treeSelection->setCurrentIndex(node->index(), QItemSelectionModel::ClearAndSelect);
            if (!m_modeRules.IsSendable(key)) {
                stepRun(0, 1);
                continue;
            }
            const QString localPath = (node->parent() ? nodeKey(node->parent()) : localFolder) + u'/' + node->text();
            const QString ftpPath = ftpPathOf(key);
            int r = CompareTreeStamps(key, ftpPath);
            const QString remote = onServer(uploadName(ftpPath));
            if (uploadUnfinished(remote))
                r = 1;
            if (!overwrite && r != 1 && r != 3) {
                node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
                stepRun(0, 1);
                if (m_stop.yieldAndCheckStop()) {
                    m_state.StopRequested = true; // for the run's loop
                    return std::nullopt;
                }
                continue;
            }
            return uploadJob(qsizetype(next - 1), localPath, remote, typeOf(key, type), uploadName(ftpPath));
        }
        return std::nullopt;
    };
    const auto ended = [&](const Job& job, const Result& result) {
        QStandardItem* node = leaves[size_t(job.id)];
        const QString& ftpPath = job.shown;
        noteUpload(job.remote, result.ok);
        Next go = Next::Go;
        if (result.ok) {
            node->setData(IconKeys::Leaf2, ItemRoles::IconKeyRole);
            m_log.write(QStringLiteral("<ファイル書込>"), job.local + QStringLiteral("→") + ftpPath + u' ',
                QStringLiteral("</ファイル書込>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:") + ftpPath);
            m_report.setCurrentFile(QStringLiteral("ﾌｧｲﾙUP:") + ftpPath);
            m_report.setCountsText(uploadCounts(true));
            ++m_report.FileCount;
        } else if (stoppedBy(result)) {
            node->setData(IconKeys::Leaf3, ItemRoles::IconKeyRole);
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:") + ftpPath);
        } else {
            m_log.write(QStringLiteral("<ファイル書込失敗>"), job.local + QStringLiteral("→") + ftpPath + u' ',
                QStringLiteral("</ファイル書込失敗>"));
            addStatus(QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ失敗:") + ftpPath);
            m_report.setCurrentFile(QStringLiteral("ﾌｧｲﾙUP失敗:") + ftpPath);
            m_report.setCountsText(uploadCounts(true));
            ++m_report.FileCount;
            if (connectionLost())
                go = Next::End;
        }
        stepRun(0, 1);
        return go;
    };
    return finish(moveFiles(nextJob, ended, { true, true }, qsizetype(leaves.size())));
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
