#include "support/proxyfixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

QString ProxyFixture::proxyText() const
{
    return (isSocks() ? QStringLiteral("socks5://") : QString()) + host() + u':' + QString::number(port());
}

bool ProxyFixture::start(QString* error)
{
    stop();
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    const QString log = m_work->filePath(QStringLiteral("proxy.log"));
    QFile::remove(log);
    const bool auth = !m_options.user.isEmpty();
    QString why = QStringLiteral("cannot create a temporary folder");
    bool started = m_work->isValid() && (m_ports.isReserved() || m_ports.reserve(&why));
    if (started && isSocks()) {
        QStringList args { QStringLiteral("-i"), host(), QStringLiteral("-p"), QString::number(port()) };
        if (auth)
            args << QStringLiteral("-u") << m_options.user << QStringLiteral("-P") << m_options.password;
        // microsocks logs to its standard error, which goes to the output file.
        started = m_process.start(QStringLiteral("microsocks"), args, log, &why)
            && m_process.waitUntilReady(host(), port(), false, 20000, &why);
    } else if (started) {
        // No ConnectPort line: tinyproxy then allows CONNECT to every port.
        QFile conf(m_work->filePath(QStringLiteral("tinyproxy.conf")));
        const QString text
            = QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nLogFile \"%2\"\nLogLevel Connect\n"
                             "MaxClients 100\nAllow 127.0.0.1\n%3\n")
                  .arg(QString::number(port()), log,
                      auth ? QStringLiteral("BasicAuth ") + m_options.user + u' ' + m_options.password : QString());
        started = conf.open(QIODevice::WriteOnly) && conf.write(text.toUtf8()) > 0 && conf.flush()
            && m_process.start(QStringLiteral("tinyproxy"),
                { QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName() },
                m_work->filePath(QStringLiteral("proxy.out")), &why)
            && m_process.waitUntilReady(host(), port(), false, 20000, &why);
        // The readiness probe is no client of the test: wait until it is logged, then forget it.
        const QDeadlineTimer deadline(5000);
        while (started && !logText().contains(QStringLiteral("Connect (file descriptor")) && !deadline.hasExpired())
            QThread::msleep(20);
    }
    m_probeConnections = 0;
    m_probeConnections = started ? connectionCount() : 0; // connectionCount() subtracts it
    if (!started && error)
        *error = (isSocks() ? u"microsocks: "_qs : u"tinyproxy: "_qs) + why;
    if (!started)
        m_process.stop();
    return started;
}

QString ProxyFixture::logText() const
{
    QFile f(m_work ? m_work->filePath(QStringLiteral("proxy.log")) : QString());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

int ProxyFixture::connectionCount() const
{
    const QString mark = isSocks() ? QStringLiteral(": connected to ") : QStringLiteral("Connect (file descriptor");
    return int(logLines().filter(mark).size()) - m_probeConnections;
}

QStringList ProxyFixture::tunnels() const
{
    static const QRegularExpression micro(QStringLiteral(": connected to (\\S+)$"));
    static const QRegularExpression tiny(QStringLiteral("Request \\(file descriptor \\d+\\): CONNECT (\\S+) HTTP"));
    QStringList out;
    QString pending; // tinyproxy logs the request before it checks the credentials
    for (const QString& raw : logLines()) {
        const QString line = raw.trimmed();
        const QRegularExpressionMatch m = (isSocks() ? micro : tiny).match(line);
        if (m.hasMatch() && isSocks())
            out.append(m.captured(1));
        else if (m.hasMatch())
            pending = m.captured(1);
        else if (!isSocks() && line.contains(u"Established connection to host") && !pending.isEmpty())
            out.append(std::exchange(pending, QString()));
    }
    return out;
}
