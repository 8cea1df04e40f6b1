#include "support/serverprocess.h"

#include "support/rawftpclient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
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
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (!ok)
            continue;
        QFile f(QStringLiteral("/proc/") + e + QStringLiteral("/stat"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = f.readAll();
        // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children[fields[1].toLongLong()].append(pid);
    }
    QList<qint64> out;
    QList<qint64> todo { root };
    QSet<qint64> seen { root };
    while (!todo.isEmpty()) {
        for (qint64 c : children.value(todo.takeFirst())) {
            if (!seen.contains(c)) {
                seen.insert(c);
                out.append(c);
                todo.append(c);
            }
        }
    }
    return out;
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

bool ServerProcess::waitUntilReady(const QString& host, quint16 port, bool greeting, int timeoutMs, QString* error)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running || m_process.waitForFinished(0)) {
            *error = QStringLiteral("%1 ended before it accepted connections on %2 port %3: %4")
                         .arg(m_program, host)
                         .arg(port)
                         .arg(output());
            return false;
        }
        RawFtpClient probe;
        if (probe.connectTo(host, port, 500)) {
            if (!greeting)
                return true;
            if (probe.readReply(int(qMax<qint64>(500, deadline.remainingTime()))) > 0)
                return true;
        }
        QThread::msleep(30);
    }
    *error = QStringLiteral("%1 did not answer on %2 port %3 within %4 ms: %5")
                 .arg(m_program, host)
                 .arg(port)
                 .arg(timeoutMs)
                 .arg(output());
    return false;
}

bool ServerProcess::waitForOutput(const QString& marker, int timeoutMs, QString* error)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (output().contains(marker))
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

bool ServerProcess::isRunning() const { return m_process.state() == QProcess::Running; }

qint64 ServerProcess::pid() const { return m_process.processId(); }

void ServerProcess::signalAll(int signal, const QList<qint64>& sessions)
{
    for (qint64 pid : sessions)
        ::kill(pid_t(pid), signal);
    if (m_group > 0)
        ::kill(-pid_t(m_group), signal);
}

void ServerProcess::reap(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning)
        m_process.waitForFinished(timeoutMs);
}

void ServerProcess::stop()
{
    if (m_group <= 0)
        return;
    // Found while the leader lives: afterwards they belong to init.
    const QList<qint64> sessions = descendants(m_group);
    if (m_process.state() != QProcess::NotRunning) {
        signalAll(SIGTERM, sessions);
        reap(3000);
    }
    signalAll(SIGKILL, sessions);
    reap(3000);
    m_group = 0;
}

void ServerProcess::kill()
{
    if (m_group <= 0)
        return;
    signalAll(SIGKILL, descendants(m_group));
    reap(3000);
    m_group = 0;
}

QString ServerProcess::output() const
{
    QFile f(m_outputFile);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.readAll().right(4000)).trimmed();
}
