// The engine through HTTP CONNECT and SOCKS5 proxies (our own, tinyproxy, microsocks): control and
// data connections both go through the proxy, credentials are sent and checked, and "<local>"
// keeps loopback traffic away from it.
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftp/ftpsession.h"
#include "support/ftpserverfixture.h"
#include "support/proxyfixture.h"
#include "support/settingsfiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <memory>

using ProxyKind = ProxyFixture::Kind;
using ServerKind = FtpServerFixture::Kind;
Q_DECLARE_METATYPE(ProxyFixture::Kind)
Q_DECLARE_METATYPE(FtpServerFixture::Kind)

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

QString describe(const FtpConnection& c) { return QString::number(c.lastError()) + u' ' + c.lastResponse(); }

// The session for a proxy: credentials, short time-outs, and the test certificate accepted.
bool prepare(
    FtpSession& session, const ProxyFixture& proxy, const QString& bypass, const QString& user, const QString& password)
{
    if (!session.open(FtpSession::Proxy, proxy.proxyText(), bypass))
        return false;
    session.setProxyUserName(user);
    session.setProxyPassword(password);
    session.setOption(FtpSession::ConnectTimeout, 5000);
    session.setOption(FtpSession::ControlReceiveTimeout, 10000);
    session.setOption(FtpSession::DataReceiveTimeout, 10000);
    session.setCertificateDecision([](const FtpSession::CertificateInfo&) { return true; });
    return true;
}

} // namespace

class TestFtpEngineProxy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void throughProxy_data();
    void throughProxy();
    void refusedCredentials_data();
    void refusedCredentials();
    void localBypass_data();
    void localBypass();
    void unreachable_data();
    void unreachable();

private:
    FtpServerFixture& server(ServerKind kind, bool ipv6 = false);

    std::map<std::pair<ServerKind, bool>, std::unique_ptr<FtpServerFixture>> m_servers;
    QTemporaryDir m_local;
    QByteArray m_content;
};

void TestFtpEngineProxy::initTestCase()
{
    QVERIFY(m_local.isValid());
    m_content = QByteArray(1024 * 1024, Qt::Uninitialized);
    for (char& b : m_content)
        b = char(QRandomGenerator::global()->bounded(256));
}

void TestFtpEngineProxy::cleanupTestCase() { m_servers.clear(); }

FtpServerFixture& TestFtpEngineProxy::server(ServerKind kind, bool ipv6)
{
    auto& slot = m_servers[{ kind, ipv6 }];
    if (!slot) {
        FtpServerFixture::Options o;
        o.kind = kind;
        o.ipv6 = ipv6;
        slot = std::make_unique<FtpServerFixture>(o);
        QString error;
        if (!slot->start(&error))
            qFatal("%s", qPrintable(error));
        writeBytes(slot->root() + u"/down.bin", m_content);
    }
    return *slot;
}

void TestFtpEngineProxy::throughProxy_data()
{
    QTest::addColumn<ProxyKind>("proxyKind");
    QTest::addColumn<bool>("credentials");
    QTest::addColumn<ServerKind>("serverKind");
    QTest::addColumn<bool>("ipv6");
    QTest::addColumn<bool>("passive");
    for (ProxyKind k : { ProxyKind::HttpConnect, ProxyKind::Socks5, ProxyKind::Tinyproxy, ProxyKind::Microsocks }) {
        const QString name = ProxyFixture::kindName(k);
        QTest::newRow(qPrintable(name)) << k << false << ServerKind::Pyftpdlib << false << true;
        QTest::newRow(qPrintable(name + u" with credentials")) << k << true << ServerKind::Pyftpdlib << false << true;
    }
    // TLS through the tunnel, vsftpd's session reuse included.
    QTest::newRow("HTTP CONNECT, vsftpd explicit TLS")
        << ProxyKind::HttpConnect << true << ServerKind::VsftpdTls << false << true;
    QTest::newRow("SOCKS5, vsftpd explicit TLS")
        << ProxyKind::Socks5 << false << ServerKind::VsftpdTls << false << true;
    // An IPv6 server address in CONNECT ("[::1]:port") and in SOCKS5 (address type 4).
    QTest::newRow("HTTP CONNECT to ::1") << ProxyKind::HttpConnect << false << ServerKind::Pyftpdlib << true << true;
    QTest::newRow("SOCKS5 to ::1") << ProxyKind::Socks5 << true << ServerKind::Vsftpd << true << true;
    // Active mode cannot cross a proxy: the data connections go passive through it.
    QTest::newRow("active mode asked, HTTP CONNECT")
        << ProxyKind::HttpConnect << false << ServerKind::Vsftpd << false << false;
}

void TestFtpEngineProxy::throughProxy()
{
    QFETCH(ProxyKind, proxyKind);
    QFETCH(bool, credentials);
    QFETCH(ServerKind, serverKind);
    QFETCH(bool, ipv6);
    QFETCH(bool, passive);
    FtpServerFixture& fx = server(serverKind, ipv6);
    ProxyFixture::Options po;
    po.kind = proxyKind;
    if (credentials) {
        po.user = u"proxyuser"_qs;
        po.password = proxyKind == ProxyKind::Tinyproxy ? u"proxy-pass"_qs : u"proxy pass:é"_qs;
    }
    ProxyFixture proxy(po);
    QString error;
    QVERIFY2(proxy.start(&error), qPrintable(error));

    FtpSession session;
    QVERIFY(prepare(session, proxy, QString(), po.user, po.password));
    FtpConnection c(session);
    QVERIFY2(c.connect(fx.hostField(), 0, fx.user(), fx.password(), passive), qPrintable(describe(c)));

    const QString down = m_local.filePath(u"down.bin"_qs);
    QVERIFY2(c.getFile(u"/down.bin"_qs, down, false, TransferType::Binary), qPrintable(describe(c)));
    QCOMPARE(readBytes(down), m_content);
    QVERIFY2(c.putFile(down, u"/up-through-proxy.bin"_qs, TransferType::Binary), qPrintable(describe(c)));
    QCOMPARE(readBytes(fx.root() + u"/up-through-proxy.bin"), m_content);
    FtpFindData data;
    QVERIFY2(c.findFirstFile(u"/"_qs, &data), qPrintable(describe(c)));
    c.close();

    // The control connection and the three data connections all went through the proxy.
    const QString serverAddress = ipv6 ? u"[::1]"_qs : u"127.0.0.1"_qs;
    const QStringList tunnels = proxy.tunnels();
    QVERIFY2(tunnels.size() >= 4, qPrintable(proxy.logText()));
    const QString control = serverAddress + u':' + QString::number(fx.port());
    QVERIFY2(
        tunnels.first() == control || tunnels.first() == control.mid(1).remove(u']'), qPrintable(tunnels.join(u", ")));
    QVERIFY(proxy.connectionCount() >= 4);
    if (proxyKind == ProxyKind::HttpConnect || proxyKind == ProxyKind::Socks5)
        QCOMPARE(proxy.authFailures(), 0);
}

void TestFtpEngineProxy::refusedCredentials_data()
{
    QTest::addColumn<ProxyKind>("proxyKind");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    for (ProxyKind k : { ProxyKind::HttpConnect, ProxyKind::Socks5, ProxyKind::Tinyproxy, ProxyKind::Microsocks }) {
        const QString name = ProxyFixture::kindName(k);
        QTest::newRow(qPrintable(name + u", wrong password")) << k << u"proxyuser"_qs << u"wrong"_qs;
        QTest::newRow(qPrintable(name + u", no credentials")) << k << QString() << QString();
    }
}

void TestFtpEngineProxy::refusedCredentials()
{
    QFETCH(ProxyKind, proxyKind);
    QFETCH(QString, user);
    QFETCH(QString, password);
    FtpServerFixture& fx = server(ServerKind::Pyftpdlib);
    const qsizetype logBefore = fx.logText().size();
    ProxyFixture::Options po;
    po.kind = proxyKind;
    po.user = u"proxyuser"_qs;
    po.password = u"right"_qs;
    ProxyFixture proxy(po);
    QString error;
    QVERIFY2(proxy.start(&error), qPrintable(error));

    FtpSession session;
    QVERIFY(prepare(session, proxy, QString(), user, password));
    FtpConnection c(session);
    QVERIFY(!c.connect(fx.hostField(), 0, fx.user(), fx.password(), true));
    QCOMPARE(c.lastError(), FtpError::ProxyFailure);
    QVERIFY(!c.isOpen());
    QVERIFY(proxy.tunnels().isEmpty());
    if (proxyKind == ProxyKind::HttpConnect || proxyKind == ProxyKind::Socks5)
        QCOMPARE(proxy.authFailures(), 1);
    QVERIFY2(!fx.logText().mid(logBefore).contains(u"USER"), "the server saw no login");
}

void TestFtpEngineProxy::localBypass_data()
{
    QTest::addColumn<ProxyKind>("proxyKind");
    QTest::addColumn<QString>("bypass");
    QTest::addColumn<bool>("localhostName"); // the host field says "localhost" instead of 127.0.0.1
    QTest::addColumn<bool>("bypassed");
    QTest::newRow("HTTP, <local>") << ProxyKind::HttpConnect << u"<local>"_qs << false << true;
    QTest::newRow("SOCKS5, <local>") << ProxyKind::Socks5 << u"<local>"_qs << false << true;
    QTest::newRow("HTTP, <local> for localhost") << ProxyKind::HttpConnect << u"<local>"_qs << true << true;
    QTest::newRow("SOCKS5, <local> among others") << ProxyKind::Socks5 << u"*.example.jp; <local>"_qs << false << true;
    QTest::newRow("HTTP, a list without <local>") << ProxyKind::HttpConnect << u"*.example.jp"_qs << false << false;
    QTest::newRow("SOCKS5, no list") << ProxyKind::Socks5 << QString() << false << false;
}

void TestFtpEngineProxy::localBypass()
{
    QFETCH(ProxyKind, proxyKind);
    QFETCH(QString, bypass);
    QFETCH(bool, localhostName);
    QFETCH(bool, bypassed);
    FtpServerFixture& fx = server(ServerKind::Pyftpdlib);
    ProxyFixture proxy(proxyKind);
    QString error;
    QVERIFY2(proxy.start(&error), qPrintable(error));
    FtpSession session;
    QVERIFY(prepare(session, proxy, bypass, QString(), QString()));
    FtpConnection c(session);
    const QString host = localhostName ? u"localhost:"_qs + QString::number(fx.port()) : fx.hostField();
    QVERIFY2(c.connect(host, 0, fx.user(), fx.password(), true), qPrintable(describe(c)));
    const QString down = m_local.filePath(u"bypass.bin"_qs);
    QVERIFY2(c.getFile(u"/down.bin"_qs, down, false, TransferType::Binary), qPrintable(describe(c)));
    QCOMPARE(readBytes(down), m_content);
    c.close();
    if (bypassed) {
        QCOMPARE(proxy.connectionCount(), 0);
        QVERIFY(proxy.tunnels().isEmpty());
    } else {
        QVERIFY2(proxy.tunnels().size() >= 2, qPrintable(proxy.logText()));
    }
}

void TestFtpEngineProxy::unreachable_data()
{
    QTest::addColumn<ProxyKind>("proxyKind");
    QTest::addColumn<bool>("proxyRunning");
    QTest::newRow("HTTP proxy not running") << ProxyKind::HttpConnect << false;
    QTest::newRow("SOCKS5 proxy not running") << ProxyKind::Socks5 << false;
    QTest::newRow("HTTP proxy cannot reach the server") << ProxyKind::HttpConnect << true;
    QTest::newRow("SOCKS5 proxy cannot reach the server") << ProxyKind::Socks5 << true;
    QTest::newRow("tinyproxy cannot reach the server") << ProxyKind::Tinyproxy << true;
    QTest::newRow("microsocks cannot reach the server") << ProxyKind::Microsocks << true;
}

void TestFtpEngineProxy::unreachable()
{
    QFETCH(ProxyKind, proxyKind);
    QFETCH(bool, proxyRunning);
    ProxyFixture proxy(proxyKind);
    QString error;
    QVERIFY2(proxy.start(&error), qPrintable(error));
    // A port of the proxy's own block that nothing listens on stands for a dead server.
    const QString deadServer = u"127.0.0.1:"_qs + QString::number(proxy.port() + 1);
    if (!proxyRunning)
        proxy.stop();
    FtpSession session;
    QVERIFY(prepare(session, proxy, QString(), QString(), QString()));
    FtpConnection c(session);
    QVERIFY(!c.connect(deadServer, 0, u"u"_qs, u"p"_qs, true));
    QCOMPARE(c.lastError(), FtpError::ProxyFailure);
    QVERIFY(!c.isOpen());
}

QTEST_GUILESS_MAIN(TestFtpEngineProxy)
#include "tst_ftpengine_proxy.moc"
