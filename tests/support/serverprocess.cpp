#include "support/serverprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Every process descended from `root`, found through the parent ids in /proc. vsftpd's session
// processes make themselves session leaders, so neither the process group nor the parent's
// death signal reaches them.
QList<qint64> descendants(qint64 root)
{
    QMultiHash<qint64, qint64> children;
    for (const QString& e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = e.toLongLong(&isPid);
        QFile f(QStringLiteral("/proc/") + e + QStringLiteral("/stat"));
        if (!isPid || !f.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
        const QByteArray stat = f.readAll();
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields[1].toLongLong(), pid);
    }
    QList<qint64> out { root };
    for (qsizetype i = 0; i < out.size(); ++i)
        out += children.values(out[i]);
    return out.mid(1);
}

} // namespace

ServerProcess::~ServerProcess() { stop(); }

bool ServerProcess::start(
    const QString& program, const QStringList& arguments, const QString& outputFile, QString* error)
{
    stop();
    m_outputFile = outputFile;
    m_program = program;
    m_process.setStandardOutputFile(outputFile);
    m_process.setStandardErrorFile(outputFile, QIODevice::Append);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // Not the caller's folder, which a test may remove while the server runs: pyftpdlib reads its
    // own current folder at every CWD and drops the session when that folder is gone.
    m_process.setWorkingDirectory(QFileInfo(outputFile).absolutePath());
    m_process.setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
        return false;
    }
    m_group = m_process.processId();
    return true;
}

bool ServerProcess::waitFor(const std::function<bool()>& ready, int timeoutMs, QString* error)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (ready())
            return true;
        if (m_process.state() != QProcess::Running || m_process.waitForFinished(0)) {
            *error = QStringLiteral("%1 ended before it was ready: %2").arg(m_program, output());
            return false;
        }
        QThread::msleep(20);
    }
    *error = QStringLiteral("%1 was not ready within %2 ms: %3").arg(m_program).arg(timeoutMs).arg(output());
    return false;
}

bool ServerProcess::waitUntilReady(const QString& host, quint16 port, bool greeting, int timeoutMs, QString* error)
{
    const bool ok = waitFor(
        [&] {
            QTcpSocket probe;
            probe.connectToHost(host, port);
            return probe.waitForConnected(500) && (!greeting || (probe.waitForReadyRead(5000) && probe.canReadLine()));
        },
        timeoutMs, error);
    if (!ok)
        error->prepend(QStringLiteral("%1 port %2: ").arg(host).arg(port));
    return ok;
}

bool ServerProcess::waitForOutput(const QString& marker, int timeoutMs, QString* error)
{
    return waitFor([&] { return output().contains(marker); }, timeoutMs, error);
}

bool ServerProcess::isRunning() const { return m_process.state() == QProcess::Running; }

qint64 ServerProcess::pid() const { return m_process.processId(); }

void ServerProcess::signalAll(int signal)
{
    // Found while the leader lives: afterwards they belong to init.
    for (qint64 pid : descendants(m_group))
        ::kill(pid_t(pid), signal);
    ::kill(-pid_t(m_group), signal);
    m_process.waitForFinished(3000);
}

void ServerProcess::stop()
{
    if (m_group <= 0)
        return;
    const QList<qint64> sessions = descendants(m_group);
    if (m_process.state() != QProcess::NotRunning)
        signalAll(SIGTERM);
    for (qint64 pid : sessions)
        ::kill(pid_t(pid), SIGKILL);
    kill();
}

void ServerProcess::kill()
{
    if (m_group <= 0)
        return;
    signalAll(SIGKILL);
    m_group = 0;
}

QString ServerProcess::output() const
{
    QFile f(m_outputFile);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(4000)).trimmed() : QString();
}
