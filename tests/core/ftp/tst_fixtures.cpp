// The test servers themselves, checked without the engine (lftp and raw sockets), so a fault in
// a fixture is never mistaken for a fault of the engine.
#include "support/ftpserverfixture.h"
#include "support/proxyfixture.h"
#include "support/rawftpclient.h"
#include "support/scriptedftpserver.h"
#include "support/settingsfiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using Kind = FtpServerFixture::Kind;
Q_DECLARE_METATYPE(FtpServerFixture::Kind)
Q_DECLARE_METATYPE(ProxyFixture::Kind)

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

constexpr int Wait = 10000;

// Runs lftp with `commands` against the fixture; returns its output, or "lftp failed ..." text.
bool runLftp(const FtpServerFixture& fx, const QString& commands, QString* output)
{
    const QString address = fx.options().ipv6 ? QStringLiteral("[::1]") : fx.host();
    const QString url = (fx.isImplicitTls() ? QStringLiteral("ftps://") : QStringLiteral("ftp://")) + address
        + QLatin1Char(':') + QString::number(fx.port());
    QString script = QStringLiteral("set net:max-retries 1; set net:timeout 10; set ssl:verify-certificate no; ");
    if (fx.isTls() && !fx.isImplicitTls())
        script += QStringLiteral("set ftp:ssl-force yes; set ftp:ssl-protect-data yes; ");
    if (!fx.isTls())
        script += QStringLiteral("set ftp:ssl-allow no; ");
    script += commands + QStringLiteral("; bye");
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("lftp"),
        { QStringLiteral("-u"), fx.user() + QLatin1Char(',') + fx.password(), QStringLiteral("-e"), script, url });
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *output = QString::fromLocal8Bit(p.readAll());
    if (!ok)
        *output = QStringLiteral("lftp failed (%1): ").arg(p.errorString()) + *output
            + QStringLiteral("\nserver log:\n") + fx.logText().right(3000);
    return ok;
}

bool rawLogin(const FtpServerFixture& fx, RawFtpClient* c)
{
    return c->connectTo(fx.host(), fx.port(), Wait) && c->readReply(Wait) == 220
        && c->login(fx.user(), fx.password(), Wait);
}

} // namespace

class TestFixtures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void servesFiles_data();
    void servesFiles();
    void tlsKindsRefusePlainLogin_data();
    void tlsKindsRefusePlainLogin();
    void badPasswordIsRefused_data();
    void badPasswordIsRefused();
    void featReflectsOptions_data();
    void featReflectsOptions();
    void asciiConversion_data();
    void asciiConversion();
    void idleTimeoutSends421_data();
    void idleTimeoutSends421();
    void replyDelay();
    void killDropsTransferAndRestartKeepsPort_data();
    void killDropsTransferAndRestartKeepsPort();
    void parallelServersGetSeparatePorts();
    void existingRootIsServed();
    void scriptedServerScenarios();
    void scriptedServerScript();
    void proxiesTunnel_data();
    void proxiesTunnel();
};

void TestFixtures::servesFiles_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("ipv6");
    for (Kind k : FtpServerFixture::allKinds())
        QTest::newRow(qPrintable(FtpServerFixture::kindName(k))) << k << false;
    QTest::newRow("pyftpdlib ::1") << Kind::Pyftpdlib << true;
    QTest::newRow("vsftpd ::1") << Kind::Vsftpd << true;
    QTest::newRow("vsftpd explicit TLS ::1") << Kind::VsftpdTls << true;
}

// Login, download, upload and folder creation, and "/" is root(): what every engine test relies on.
void TestFixtures::servesFiles()
{
    QFETCH(Kind, kind);
    QFETCH(bool, ipv6);
    FtpServerFixture::Options o;
    o.kind = kind;
    o.ipv6 = ipv6;
    FtpServerFixture fx(o);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    QCOMPARE(fx.isTls(), kind != Kind::Pyftpdlib && kind != Kind::Vsftpd);
    if (fx.isTls())
        QCOMPARE(fx.certificateFingerprint().size(), 32 * 3 - 1);

    QTemporaryDir local;
    const QByteArray content = QByteArray("fixture \x82\xa0 bytes\r\n\n", 19).repeated(1000);
    QVERIFY(writeBytes(fx.root() + QStringLiteral("/down.bin"), content));
    QVERIFY(writeBytes(local.filePath(QStringLiteral("up.bin")), content + "tail"));
    // A file the test owns, replaced over FTP: the session may overwrite what the test wrote.
    QVERIFY(writeBytes(fx.root() + QStringLiteral("/replace.txt"), "old"));

    QString out;
    const QString commands
        = QStringLiteral("get /down.bin -o %1; put %2 -o /up.bin; put %2 -o replace.txt; mkdir sub")
              .arg(local.filePath(QStringLiteral("got.bin")), local.filePath(QStringLiteral("up.bin")));
    QVERIFY2(runLftp(fx, commands, &out), qPrintable(out));
    QCOMPARE(readBytes(local.filePath(QStringLiteral("got.bin"))), content);
    QCOMPARE(readBytes(fx.root() + QStringLiteral("/up.bin")), content + "tail");
    QCOMPARE(readBytes(fx.root() + QStringLiteral("/replace.txt")), content + "tail");
    QVERIFY(QFileInfo(fx.root() + QStringLiteral("/sub")).isDir());
    QVERIFY2(fx.logText().contains(QStringLiteral("up.bin")), "the protocol log records the session");
    if (ipv6)
        QVERIFY(
            fx.hostField().startsWith(QStringLiteral("[::1]:")) || fx.hostField().contains(QStringLiteral("//[::1]:")));
}

void TestFixtures::tlsKindsRefusePlainLogin_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib") << Kind::PyftpdlibTls;
    QTest::newRow("vsftpd") << Kind::VsftpdTls;
}

void TestFixtures::tlsKindsRefusePlainLogin()
{
    QFETCH(Kind, kind);
    FtpServerFixture fx(kind);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    QVERIFY(fx.hostField().startsWith(QStringLiteral("ftpes://127.0.0.1:")));
    RawFtpClient c;
    QVERIFY(c.connectTo(fx.host(), fx.port(), Wait));
    QCOMPARE(c.readReply(Wait), 220);
    const int code = c.command("USER " + fx.user().toUtf8(), Wait);
    QVERIFY2(code >= 500 && code < 600, qPrintable(QString::number(code)));
}

void TestFixtures::badPasswordIsRefused_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << Kind::Vsftpd;
}

void TestFixtures::badPasswordIsRefused()
{
    QFETCH(Kind, kind);
    FtpServerFixture fx(kind);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    RawFtpClient c;
    QVERIFY(c.connectTo(fx.host(), fx.port(), Wait));
    QCOMPARE(c.readReply(Wait), 220);
    QCOMPARE(c.command("USER " + fx.user().toUtf8(), Wait), 331);
    QCOMPARE(c.command("PASS wrong", Wait), 530);
}

void TestFixtures::featReflectsOptions_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("utf8"); // -1 default, 0 off, 1 on
    QTest::addColumn<bool>("expectUtf8");
    QTest::addColumn<bool>("expectMlst");
    QTest::newRow("pyftpdlib default") << Kind::Pyftpdlib << -1 << true << true;
    QTest::newRow("pyftpdlib utf8 off") << Kind::Pyftpdlib << 0 << false << true;
    QTest::newRow("vsftpd default") << Kind::Vsftpd << -1 << false << false;
    QTest::newRow("vsftpd utf8 on") << Kind::Vsftpd << 1 << true << false;
}

void TestFixtures::featReflectsOptions()
{
    QFETCH(Kind, kind);
    QFETCH(int, utf8);
    QFETCH(bool, expectUtf8);
    QFETCH(bool, expectMlst);
    FtpServerFixture::Options o;
    o.kind = kind;
    if (utf8 >= 0)
        o.utf8 = utf8 == 1;
    FtpServerFixture fx(o);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    RawFtpClient c;
    QVERIFY(rawLogin(fx, &c));
    QByteArray feat;
    QCOMPARE(c.command("FEAT", Wait, &feat), 211);
    QCOMPARE(feat.contains("\r\n UTF8\r\n"), expectUtf8);
    QCOMPARE(feat.contains(" MLST "), expectMlst);
}

void TestFixtures::asciiConversion_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("conversion");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray converted("a\r\nb\r\n\r\nc");
    QTest::newRow("vsftpd converting") << Kind::Vsftpd << true << converted;
    QTest::newRow("vsftpd not converting") << Kind::Vsftpd << false << QByteArray("a\nb\n\nc");
    QTest::newRow("pyftpdlib") << Kind::Pyftpdlib << true << converted;
}

void TestFixtures::asciiConversion()
{
    QFETCH(Kind, kind);
    QFETCH(bool, conversion);
    QFETCH(QByteArray, expected);
    FtpServerFixture::Options o;
    o.kind = kind;
    o.asciiConversion = conversion;
    FtpServerFixture fx(o);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    QVERIFY(writeBytes(fx.root() + QStringLiteral("/t.txt"), "a\nb\n\nc"));
    RawFtpClient c;
    QVERIFY(rawLogin(fx, &c));
    QCOMPARE(c.command("TYPE A", Wait), 200);
    RawFtpClient data;
    QVERIFY(c.openPassiveData(&data, Wait));
    QVERIFY(c.sendLine("RETR t.txt"));
    const int preliminary = c.readReply(Wait);
    QVERIFY2(preliminary == 150 || preliminary == 125, qPrintable(QString::number(preliminary)));
    QByteArray got;
    QVERIFY(data.readToEnd(Wait, &got));
    QCOMPARE(c.readReply(Wait), 226);
    QCOMPARE(got, expected);
}

void TestFixtures::idleTimeoutSends421_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << Kind::Vsftpd;
}

void TestFixtures::idleTimeoutSends421()
{
    QFETCH(Kind, kind);
    FtpServerFixture::Options o;
    o.kind = kind;
    o.idleTimeoutSeconds = 1;
    FtpServerFixture fx(o);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    RawFtpClient c;
    QVERIFY(rawLogin(fx, &c));
    QElapsedTimer t;
    t.start();
    QCOMPARE(c.readReply(8000), 421);
    QVERIFY2(t.elapsed() < 6000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(c.readToEnd(Wait));
}

void TestFixtures::replyDelay()
{
    FtpServerFixture::Options o;
    o.replyDelayMs = 300;
    FtpServerFixture fx(o);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    RawFtpClient c;
    QVERIFY(rawLogin(fx, &c));
    QElapsedTimer t;
    t.start();
    QCOMPARE(c.command("NOOP", Wait), 200);
    QVERIFY2(t.elapsed() >= 280, qPrintable(QString::number(t.elapsed())));

    o.kind = Kind::Vsftpd;
    FtpServerFixture vs(o);
    QVERIFY(!vs.start(&error));
    QVERIFY2(error.contains(QStringLiteral("pyftpdlib")), qPrintable(error));
}

void TestFixtures::killDropsTransferAndRestartKeepsPort_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << Kind::Vsftpd;
}

// "A server killed in the middle of a transfer": vsftpd serves each session from a process of
// its own, which must die with the listener.
void TestFixtures::killDropsTransferAndRestartKeepsPort()
{
    QFETCH(Kind, kind);
    FtpServerFixture fx(kind);
    QString error;
    QVERIFY2(fx.start(&error), qPrintable(error));
    {
        QFile big(fx.root() + QStringLiteral("/big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(512ll * 1024 * 1024)); // sparse: costs no disk
    }
    RawFtpClient c;
    QVERIFY(rawLogin(fx, &c));
    QCOMPARE(c.command("TYPE I", Wait), 200);
    RawFtpClient data;
    QVERIFY(c.openPassiveData(&data, Wait));
    QVERIFY(c.sendLine("RETR big.bin"));
    const int preliminary = c.readReply(Wait);
    QVERIFY2(preliminary == 150 || preliminary == 125, qPrintable(QString::number(preliminary)));
    QVERIFY(!data.readSome(Wait).isEmpty()); // the transfer runs
    const quint16 port = fx.port();
    fx.kill();
    QVERIFY(!fx.isRunning());
    QElapsedTimer t;
    t.start();
    // Both connections end (end of stream or reset) instead of staying open.
    QVERIFY(data.readToEnd(5000));
    QVERIFY(c.readToEnd(5000));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));

    QVERIFY2(fx.start(&error), qPrintable(error));
    QCOMPARE(fx.port(), port);
    RawFtpClient again;
    QVERIFY(rawLogin(fx, &again));
}

void TestFixtures::parallelServersGetSeparatePorts()
{
    FtpServerFixture a(Kind::Pyftpdlib);
    FtpServerFixture b(Kind::Pyftpdlib);
    FtpServerFixture c(Kind::Vsftpd);
    QString error;
    QVERIFY2(a.start(&error), qPrintable(error));
    QVERIFY2(b.start(&error), qPrintable(error));
    QVERIFY2(c.start(&error), qPrintable(error));
    QSet<int> blocks { a.port() / PortBlock::Size, b.port() / PortBlock::Size, c.port() / PortBlock::Size };
    QCOMPARE(blocks.size(), 3);
    QVERIFY(a.root() != b.root());
    QVERIFY(a.logFile() != b.logFile());
}

void TestFixtures::existingRootIsServed()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("mine.txt")), "mine"));
    for (Kind k : { Kind::Pyftpdlib, Kind::Vsftpd }) {
        FtpServerFixture::Options o;
        o.kind = k;
        o.root = dir.path();
        FtpServerFixture fx(o);
        QString error;
        QVERIFY2(fx.start(&error), qPrintable(error));
        QCOMPARE(fx.root(), dir.path());
        QString out;
        QVERIFY2(runLftp(fx, QStringLiteral("cls -1 /"), &out), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("mine.txt")), qPrintable(out));
    }
    QVERIFY2(QFile::exists(dir.filePath(QStringLiteral("mine.txt"))), "the fixture leaves a given root alone");
}

void TestFixtures::scriptedServerScenarios()
{
    const QStringList names = ScriptedFtpServer::scenarios();
    QVERIFY2(names.contains(QStringLiteral("drop-mid-download")) && names.contains(QStringLiteral("silent")),
        qPrintable(names.join(QLatin1Char(' '))));

    ScriptedFtpServer normal;
    QString error;
    QVERIFY2(normal.startScenario(QStringLiteral("normal"), &error), qPrintable(error));
    RawFtpClient c;
    QVERIFY(c.connectTo(normal.host(), normal.port(), Wait));
    QCOMPARE(c.readReply(Wait), 220);
    QVERIFY(c.login(normal.user(), normal.password(), Wait));
    RawFtpClient data;
    QVERIFY(c.openPassiveData(&data, Wait));
    QVERIFY(c.sendLine("RETR hello.txt"));
    QCOMPARE(c.readReply(Wait), 150);
    QByteArray got;
    QVERIFY(data.readToEnd(Wait, &got));
    QCOMPARE(got, QByteArray("Hello, world!\n"));
    QCOMPARE(c.readReply(Wait), 226);
    QVERIFY(normal.commands().contains(QStringLiteral("RETR hello.txt")));
    QCOMPARE(normal.connectionCount(), 1); // waiting for the start made no connection

    // The odd multi-line reply is one reply: the next command gets its own answer.
    ScriptedFtpServer odd;
    QVERIFY2(odd.startScenario(QStringLiteral("multiline-odd"), &error), qPrintable(error));
    RawFtpClient o;
    QVERIFY(o.connectTo(odd.host(), odd.port(), Wait));
    QByteArray text;
    QCOMPARE(o.readReply(Wait, &text), 220);
    QVERIFY(text.endsWith("220 Ready.\r\n"));
    QCOMPARE(o.command("FEAT", Wait, &text), 211);
    QVERIFY(text.contains("2110 nor this") && text.endsWith("211 End\r\n"));
    QCOMPARE(o.command("NOOP", Wait), 200);

    ScriptedFtpServer silent;
    QVERIFY2(silent.startScenario(QStringLiteral("silent"), &error), qPrintable(error));
    RawFtpClient s;
    QVERIFY(s.connectTo(silent.host(), silent.port(), Wait));
    QCOMPARE(s.readReply(300), -1);

    ScriptedFtpServer drop;
    QVERIFY2(drop.startScenario(QStringLiteral("drop-mid-download"), &error), qPrintable(error));
    RawFtpClient d;
    QVERIFY(d.connectTo(drop.host(), drop.port(), Wait));
    QCOMPARE(d.readReply(Wait), 220);
    QVERIFY(d.login(drop.user(), drop.password(), Wait));
    RawFtpClient dropData;
    QVERIFY(d.openPassiveData(&dropData, Wait));
    QVERIFY(d.sendLine("RETR big.bin"));
    QCOMPARE(d.readReply(Wait), 150);
    dropData.readToEnd(Wait, &got);
    QVERIFY2(got.size() <= 300000, qPrintable(QString::number(got.size())));
    QCOMPARE(d.readReply(Wait), -1); // no final reply: the connection is gone
}

void TestFixtures::scriptedServerScript()
{
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(server.startScript(QStringLiteral("login alice wonder\n"
                                               "file /a\\x20b.txt text x\\x83y\n"
                                               "on NOOP 2\n"
                                               "  reply 421 Bye now.\n"
                                               "  close\n"
                                               "end\n"),
                 &error),
        qPrintable(error));
    RawFtpClient c;
    QVERIFY(c.connectTo(server.host(), server.port(), Wait));
    QCOMPARE(c.readReply(Wait), 220);
    QVERIFY(!c.login(QStringLiteral("bob"), QStringLiteral("wonder"), Wait));
    QVERIFY(!c.login(QStringLiteral("alice"), QStringLiteral("wrong"), Wait));
    QVERIFY(c.login(QStringLiteral("alice"), QStringLiteral("wonder"), Wait));
    QCOMPARE(c.command("SIZE a b.txt", Wait), 213);
    QCOMPARE(c.command("NOOP", Wait), 200);
    QCOMPARE(c.command("NOOP", Wait), 421);
    QVERIFY(c.readToEnd(Wait));
    QVERIFY(server.commands().contains(QStringLiteral("SIZE a b.txt")));
}

void TestFixtures::proxiesTunnel_data()
{
    QTest::addColumn<ProxyFixture::Kind>("kind");
    QTest::addColumn<bool>("auth");
    for (ProxyFixture::Kind k : { ProxyFixture::Kind::HttpConnect, ProxyFixture::Kind::Socks5,
             ProxyFixture::Kind::Tinyproxy, ProxyFixture::Kind::Microsocks }) {
        QTest::newRow(qPrintable(ProxyFixture::kindName(k))) << k << false;
        QTest::newRow(qPrintable(ProxyFixture::kindName(k) + QStringLiteral(" with credentials"))) << k << true;
    }
}

// curl through each proxy: the file arrives and the proxy saw both the control and the data
// connection; wrong credentials are refused.
void TestFixtures::proxiesTunnel()
{
    QFETCH(ProxyFixture::Kind, kind);
    QFETCH(bool, auth);
    ScriptedFtpServer ftp;
    QString error;
    QVERIFY2(ftp.startScenario(QStringLiteral("normal"), &error), qPrintable(error));
    ProxyFixture::Options o;
    o.kind = kind;
    if (auth) {
        o.user = QStringLiteral("proxyuser");
        // tinyproxy's configuration cannot hold a blank in a password.
        o.password
            = kind == ProxyFixture::Kind::Tinyproxy ? QStringLiteral("proxy-pass") : QStringLiteral("proxy pass");
    }
    ProxyFixture proxy(o);
    QVERIFY2(proxy.start(&error), qPrintable(error));
    QCOMPARE(proxy.connectionCount(), 0);

    auto curl = [&](const QString& credentials, QByteArray* out) {
        QStringList args { QStringLiteral("-s"), QStringLiteral("--max-time"), QStringLiteral("20"),
            QStringLiteral("-u"), ftp.user() + QLatin1Char(':') + ftp.password() };
        if (proxy.isSocks())
            args << QStringLiteral("--socks5") << proxy.host() + QLatin1Char(':') + QString::number(proxy.port());
        else
            args << QStringLiteral("-p") << QStringLiteral("-x")
                 << QStringLiteral("http://") + proxy.host() + QLatin1Char(':') + QString::number(proxy.port());
        if (!credentials.isEmpty())
            args << QStringLiteral("-U") << credentials;
        args << QStringLiteral("ftp://%1/hello.txt").arg(ftp.hostField());
        QProcess p;
        p.start(QStringLiteral("curl"), args);
        const bool ok = p.waitForFinished(30000) && p.exitCode() == 0;
        *out = p.readAllStandardOutput();
        return ok;
    };
    QByteArray got;
    QVERIFY2(curl(auth ? o.user + QLatin1Char(':') + o.password : QString(), &got), qPrintable(proxy.logText()));
    QCOMPARE(got, QByteArray("Hello, world!\n"));
    QVERIFY2(proxy.connectionCount() >= 2, qPrintable(proxy.logText()));
    const QStringList tunnels = proxy.tunnels();
    QVERIFY2(tunnels.size() >= 2, qPrintable(proxy.logText()));
    QCOMPARE(tunnels.first(), ftp.hostField());

    if (auth) {
        const int before = proxy.tunnels().size();
        QVERIFY(!curl(o.user + QStringLiteral(":wrong"), &got));
        QCOMPARE(proxy.tunnels().size(), before);
        if (kind == ProxyFixture::Kind::HttpConnect || kind == ProxyFixture::Kind::Socks5)
            QCOMPARE(proxy.authFailures(), 1);
    }
}

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
