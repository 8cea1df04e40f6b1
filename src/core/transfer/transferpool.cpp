#include "core/transfer/transferpool.h"

#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"

#include <QMetaObject>

struct TransferPool::Worker {
    int number = 0;
    FtpSession session;
    std::thread thread;
    bool holdStop = false; // its own thread only
    std::atomic<qint64> bytesDone { 0 };
    std::atomic<qint64> bytesTotal { -1 };
    QString shown; // under the pool's mutex
};

TransferPool::TransferPool(const FtpSession& settings, Login login, Conversion conversion, const QString& tempPrefix,
    int extraConnections, QObject* parent)
    : QObject(parent)
    , m_login(std::move(login))
    , m_conversion(conversion)
{
    for (int i = 0; i < extraConnections; ++i) {
        auto worker = std::make_unique<Worker>();
        Worker& w = *worker;
        w.number = i + 1;
        // Set up here, on the window's thread, while the pane's session is not in use elsewhere.
        w.session.copySettingsFrom(settings);
        w.session.setIdleHook([this, &w] { return m_stopping.load() && !w.holdStop; });
        // Nobody can be asked from here: only a certificate already trusted is taken.
        w.session.setCertificateDecision([](const FtpSession::CertificateInfo&) { return false; });
        w.session.setNoticeHook([this](const QString& text) { postNotice(text); });
        m_workers.push_back(std::move(worker));
    }
    for (auto& worker : m_workers) {
        Worker* w = worker.get();
        const QString temp = tempPrefix + QString::number(w->number);
        w->thread = std::thread([this, w, temp] {
            FtpConnection connection(w->session);
            if (!connection.connect(m_login.host, 0, m_login.user, m_login.password, m_login.passive)) {
                // One line for all: a server that takes one connection per user refuses each.
                if (!m_stopping.load() && !m_refusalNoted.exchange(true)) {
                    const QString why = FtpError::messageText(connection.lastError());
                    const QString reply = connection.lastResponse().simplified();
                    postNotice(QStringLiteral("追加の接続%1はサーバーに断られたため、残りの接続で転送します（%2）")
                                   .arg(w->number + 1)
                                   .arg(reply.isEmpty() ? why : reply.left(120)));
                }
                return;
            }
            FileMover mover(connection, temp,
                { [this, w] { return m_stopping.load() && !w->holdStop; }, [w](bool hold) { w->holdStop = hold; } });
            mover.setPassiveAhead(true);
            connection.setProgress([w](qint64 done, qint64 total) {
                w->bytesDone.store(done);
                w->bytesTotal.store(total);
            });
            for (;;) {
                Job job;
                {
                    std::unique_lock lock(m_mutex);
                    m_jobReady.wait(lock, [this] { return m_stopping.load() || !m_queue.empty() || m_queueFinished; });
                    if (m_stopping.load() || m_queue.empty())
                        break;
                    job = std::move(m_queue.front());
                    m_queue.pop_front();
                    ++m_inFlight;
                    w->shown = job.shown;
                }
                w->bytesDone.store(0);
                w->bytesTotal.store(-1);
                Done done { std::move(job), w->number, {}, false };
                const Job& j = done.job;
                done.result = j.upload
                    ? mover.put(j.local, j.remote, j.type, m_conversion.sjisToEuc, j.replace, j.replaceMode)
                    : mover.get(j.remote, j.local, false, j.type, m_conversion.eucToSjis, j.expectedSize);
                // A session that died may first show as a refused data connection or one last
                // error reply: a NOOP tells a lost connection from a file the server refused.
                done.connectionLost = !done.result.ok && !m_stopping.load()
                    && done.result.code != FtpError::OperationCancelled
                    && (!connection.isOpen() || !connection.command(QStringLiteral("NOOP")));
                const bool lost = done.connectionLost;
                post(std::move(done));
                if (lost)
                    break;
            }
            // No ABOR for a port asked ahead: QUIT ends it too.
            connection.setProgress(nullptr);
            w->holdStop = true; // the goodbye is not cut short by a Stop
            connection.close();
        });
    }
}

TransferPool::~TransferPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_queueFinished = true;
        m_queue.clear();
        // The run is over: a connection still logging in (a server slow to answer) gives up now
        // instead of holding the window for its time-out.
        m_stopping.store(true);
    }
    m_jobReady.notify_all();
    for (auto& worker : m_workers) {
        if (worker->thread.joinable())
            worker->thread.join();
    }
}

void TransferPool::add(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_jobReady.notify_one();
}

void TransferPool::retry(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_front(std::move(job));
    }
    m_jobReady.notify_one();
}

void TransferPool::finishQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_queueFinished = true;
    }
    m_jobReady.notify_all();
}

std::optional<TransferPool::Job> TransferPool::takeNext()
{
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return std::nullopt;
    Job job = std::move(m_queue.front());
    m_queue.pop_front();
    return job;
}

std::vector<TransferPool::Done> TransferPool::takeDone()
{
    std::lock_guard lock(m_mutex);
    m_donePosted = false;
    return std::exchange(m_done, {});
}

void TransferPool::stop(bool cancelInFlight)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_queueFinished = true;
        if (cancelInFlight)
            m_stopping.store(true);
    }
    m_jobReady.notify_all();
}

qsizetype TransferPool::queued() const
{
    std::lock_guard lock(m_mutex);
    return qsizetype(m_queue.size());
}

bool TransferPool::busy() const
{
    std::lock_guard lock(m_mutex);
    return !m_queue.empty() || m_inFlight > 0 || !m_done.empty();
}

void TransferPool::waitForDone(int ms)
{
    std::unique_lock lock(m_mutex);
    m_jobDone.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !m_done.empty(); });
}

QStringList TransferPool::inFlight() const
{
    QStringList lines;
    std::lock_guard lock(m_mutex);
    for (const auto& w : m_workers) {
        if (w->shown.isEmpty())
            continue;
        QString line = QStringLiteral("接続%1: ").arg(w->number + 1) + w->shown;
        const qint64 total = w->bytesTotal.load();
        if (total > 0)
            line += QStringLiteral(" %1%").arg(
                qBound(qint64(0), qint64(w->bytesDone.load() * 100 / total), qint64(100)));
        lines.append(line);
    }
    return lines;
}

void TransferPool::post(Done done)
{
    bool signal = false;
    {
        std::lock_guard lock(m_mutex);
        for (auto& w : m_workers) {
            if (w->number == done.connection)
                w->shown.clear();
        }
        --m_inFlight;
        m_done.push_back(std::move(done));
        signal = !std::exchange(m_donePosted, true);
    }
    m_jobDone.notify_all();
    if (signal)
        QMetaObject::invokeMethod(this, &TransferPool::doneAvailable, Qt::QueuedConnection);
}

void TransferPool::postNotice(const QString& text)
{
    QMetaObject::invokeMethod(
        this, [this, text] { Q_EMIT notice(text); }, Qt::QueuedConnection);
}
