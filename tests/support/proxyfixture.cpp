#include "support/proxyfixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

} // namespace

ProxyFixture::ProxyFixture(const Options& options)
    : m_options(options)
{
}

ProxyFixture::ProxyFixture(Kind kind) { m_options.kind = kind; }

ProxyFixture::~ProxyFixture() { stop(); }

QString ProxyFixture::kindName(Kind kind)
{
    switch (kind) {
    case Kind::HttpConnect:
        return QStringLiteral("HTTP CONNECT");
    case Kind::Socks5:
        return QStringLiteral("SOCKS5");
    case Kind::Tinyproxy:
        return QStringLiteral("tinyproxy");
    case Kind::Microsocks:
        return QStringLiteral("microsocks");
    }
    return QString();
}

QString ProxyFixture::proxyText() const
{
    const QString hostPort = host() + QLatin1Char(':') + QString::number(port());
    return isSocks() ? QStringLiteral("socks5://") + hostPort : hostPort;
}

bool ProxyFixture::start(QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    stop();
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    const QString out = m_work->filePath(QStringLiteral("proxy.out"));
    const QString log = m_work->filePath(QStringLiteral("proxy.log"));
    QFile::remove(log);
    QString why;
    bool started = false;
    if (!m_work->isValid()) {
        why = QStringLiteral("cannot create a temporary folder");
    } else if (m_ports.isReserved() || m_ports.reserve(&why)) {
        const bool auth = !m_options.user.isEmpty();
        switch (m_options.kind) {
        case Kind::HttpConnect:
        case Kind::Socks5: {
            QStringList args { QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR "/proxy_server.py"), QStringLiteral("--kind"),
                m_options.kind == Kind::Socks5 ? QStringLiteral("socks5") : QStringLiteral("http"),
                QStringLiteral("--port"), QString::number(port()), QStringLiteral("--log"), log };
            if (auth)
                args << QStringLiteral("--user") << m_options.user << QStringLiteral("--password")
                     << m_options.password;
            started = m_process.start(Python, args, out, &why)
                && m_process.waitForOutput(QStringLiteral("listening"), 20000, &why);
            break;
        }
        case Kind::Tinyproxy: {
            // No ConnectPort line: tinyproxy then allows CONNECT to every port.
            QStringList conf { QStringLiteral("Port ") + QString::number(port()), QStringLiteral("Listen 127.0.0.1"),
                QStringLiteral("Timeout 60"), QStringLiteral("LogFile \"") + log + QLatin1Char('"'),
                QStringLiteral("LogLevel Connect"), QStringLiteral("MaxClients 100"),
                QStringLiteral("Allow 127.0.0.1") };
            static const QRegularExpression blank(QStringLiteral("\\s"));
            if (auth && (m_options.user.contains(blank) || m_options.password.contains(blank))) {
                why = QStringLiteral("tinyproxy cannot take a user name or password with blanks");
                break;
            }
            if (auth)
                conf << QStringLiteral("BasicAuth ") + m_options.user + QLatin1Char(' ') + m_options.password;
            const QString confFile = m_work->filePath(QStringLiteral("tinyproxy.conf"));
            QFile f(confFile);
            if (!f.open(QIODevice::WriteOnly)
                || f.write((conf.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0) {
                why = QStringLiteral("cannot write ") + confFile;
                break;
            }
            f.close();
            started = m_process.start(QStringLiteral("tinyproxy"),
                          { QStringLiteral("-d"), QStringLiteral("-c"), confFile }, out, &why)
                && m_process.waitUntilReady(host(), port(), false, 20000, &why);
            break;
        }
        case Kind::Microsocks: {
            QStringList args { QStringLiteral("-i"), host(), QStringLiteral("-p"), QString::number(port()) };
            if (auth)
                args << QStringLiteral("-u") << m_options.user << QStringLiteral("-P") << m_options.password;
            // microsocks logs to its standard error, which goes to the output file.
            started = m_process.start(QStringLiteral("microsocks"), args, log, &why)
                && m_process.waitUntilReady(host(), port(), false, 20000, &why);
            break;
        }
        }
    }
    if (started) {
        // The readiness probe of the real proxies is no client of the test: wait until it is
        // logged, then forget it.
        const QDeadlineTimer deadline(5000);
        while ((m_options.kind == Kind::Tinyproxy)
            && logLines().filter(QStringLiteral("Connect (file descriptor")).isEmpty() && !deadline.hasExpired())
            QThread::msleep(20);
        m_probeConnections = connectionCount();
        return true;
    }
    *error = kindName(m_options.kind) + QStringLiteral(" proxy: ") + why;
    m_process.stop();
    return false;
}

void ProxyFixture::stop() { m_process.stop(); }

QString ProxyFixture::logText() const
{
    QFile f(m_work ? m_work->filePath(QStringLiteral("proxy.log")) : QString());
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QStringList ProxyFixture::logLines() const { return logText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

int ProxyFixture::connectionCount() const
{
    int n = 0;
    for (const QString& line : logLines()) {
        switch (m_options.kind) {
        case Kind::HttpConnect:
        case Kind::Socks5:
            n += line.startsWith(QLatin1String("ACCEPT ")) ? 1 : 0;
            break;
        case Kind::Tinyproxy:
            n += line.contains(QLatin1String("Connect (file descriptor")) ? 1 : 0;
            break;
        case Kind::Microsocks:
            // microsocks logs a client only once it asked for a target.
            n += line.contains(QLatin1String(": connected to ")) ? 1 : 0;
            break;
        }
    }
    return n - m_probeConnections;
}

QStringList ProxyFixture::tunnels() const
{
    static const QRegularExpression ours(QStringLiteral("^TUNNEL \\d+ (\\S+)$"));
    static const QRegularExpression tinyRequest(
        QStringLiteral("Request \\(file descriptor \\d+\\): CONNECT (\\S+) HTTP"));
    static const QRegularExpression micro(QStringLiteral(": connected to (\\S+)$"));
    QStringList out;
    QString pending; // tinyproxy logs the request before the credentials are checked
    for (const QString& raw : logLines()) {
        const QString line = raw.trimmed();
        QRegularExpressionMatch m;
        switch (m_options.kind) {
        case Kind::HttpConnect:
        case Kind::Socks5:
            m = ours.match(line);
            break;
        case Kind::Microsocks:
            m = micro.match(line);
            break;
        case Kind::Tinyproxy:
            if (line.contains(QLatin1String("Established connection to host")) && !pending.isEmpty()) {
                out.append(pending);
                pending.clear();
            } else if (const QRegularExpressionMatch r = tinyRequest.match(line); r.hasMatch()) {
                pending = r.captured(1);
            }
            break;
        }
        if (m.hasMatch())
            out.append(m.captured(1));
    }
    return out;
}

int ProxyFixture::authFailures() const
{
    return logLines().filter(QRegularExpression(QStringLiteral("^AUTH-FAIL "))).size();
}
