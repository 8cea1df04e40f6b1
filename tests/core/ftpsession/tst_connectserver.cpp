// Connecting, disconnecting, reconnecting and the error reports, against real servers (and the
// scripted server for what real ones do not do on demand).
#include "core/ftp/ftperrors.h"
#include "panerig.h"
#include "support/portblock.h"
#include "support/proxyfixture.h"
#include "support/scriptedftpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

using Kind = FtpServerFixture::Kind;

namespace {

bool makeSite(const QString& root)
{
    QDir dir(root);
    for (const char* folder : { "pub", "pub/sub", "a b", "日本語" })
        if (!dir.mkpath(QString::fromUtf8(folder)))
            return false;
    for (const char* file : { "index.html", "pub/readme.txt", "pub/sub/note.txt" }) {
        QFile f(dir.filePath(QString::fromUtf8(file)));
        if (!f.open(QIODevice::WriteOnly) || f.write("hello\n") != 6)
            return false;
    }
    return true;
}

bool startServer(FtpServerFixture& server)
{
    QString error;
    // The root exists once the server runs.
    if (!server.start(&error) || !makeSite(server.root())) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

// "<tag>2024-03-15 09:05:03 host</tag>", the entry the rig's clock writes.
QString entry(const QString& open, const QString& host, const QString& close)
{
    return open + QStringLiteral("2024-03-15 09:05:03 ") + host + close;
}

} // namespace

class TestConnectServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void connectAndDisconnect();
    void failures_data();
    void failures();
    void passwordInputBox_data();
    void passwordInputBox();
    void noServerName();
    void connectionEntryQuestion_data();
    void connectionEntryQuestion();
    void proxyFromTheSettings();
    void secondConnectKeepsTheConnection();
    void startFolder_data();
    void startFolder();
    void watchNoticesDropAndReconnects_data();
    void watchNoticesDropAndReconnects();
    void watchLeavesABusyConnectionAlone();
    void commandsDuringAWaitAreDropped();
    void disconnectWhileConnecting();
    void stopWhileConnecting();
    void certificateQuestion();
    void errorReports();
};

void TestConnectServer::connectAndDisconnect()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    const QString host = server.hostField();
    int controlChanges = 0;
    connect(rig.pane.get(), &RemotePane::controlsChanged, this, [&] { ++controlChanges; });
    QStringList panels;
    connect(rig.pane.get(), &RemotePane::statusPanelsChanged, this,
        [&](const QString& a, const QString& b, const QString& c) {
            panels = { a, b, c };
        });

    rig.pane->onConnectClicked();
    QVERIFY2(rig.state.IsConnected, qPrintable(rig.dialogs.texts().join(u'|')));
    QVERIFY(rig.dialogs.asked.isEmpty());
    QVERIFY(rig.pane->FtpHandle() && rig.pane->InternetHandle());
    QCOMPARE(rig.statusLines(),
        QStringList({ QStringLiteral("09:05:03  セッション作成 ハンドル=1"),
            QStringLiteral("09:05:03  Ftp接続要求 ") + host + QStringLiteral(":ID=") + server.user(),
            QStringLiteral("09:05:03  Ftp開始"), QStringLiteral("09:05:03  サーバーの初期フォルダー表示") }));
    QCOMPARE(rig.logText(),
        entry(QStringLiteral("<Ftp接続開始>"), host, QStringLiteral("</FTP接続開始>")) + QStringLiteral("\r\n\r\n"));
    // At the root the path box shows the host name; the list shows the root, folders first.
    QCOMPARE(rig.pane->folderText(), host);
    QCOMPARE(rig.state.CurrentFtpPath, host);
    QCOMPARE(rig.listNames(),
        QStringList(
            { QStringLiteral("a b"), QStringLiteral("pub"), QStringLiteral("日本語"), QStringLiteral("index.html") }));
    QCOMPARE(panels,
        QStringList({ QStringLiteral("ﾌｫﾙﾀﾞｰ数: 3"), QStringLiteral("ﾌｧｲﾙ数: 1"), QStringLiteral("ｻｲｽﾞ: 12Kb") }));
    // The start page is red in the list.
    QCOMPARE(
        rig.pane->fileList()->item(rig.rowOf(QStringLiteral("index.html")))->foreground().color(), QColor(255, 0, 0));
    QVERIFY(!rig.pane->connectEnabled());
    QVERIFY(rig.pane->connectedCommandsEnabled());
    QVERIFY(!rig.pane->profileChoiceEnabled());
    QVERIFY(controlChanges > 0);
    QVERIFY(rig.timer1.isActive());
    QCOMPARE(rig.pictures, QList<int>({ 1, 0 }));
    // The session's time-outs after the connect.
    QCOMPARE(rig.pane->InternetHandle()->option(FtpSession::ConnectTimeout), 10000u);
    QCOMPARE(rig.pane->InternetHandle()->option(FtpSession::ControlReceiveTimeout), 5000u);
    QCOMPARE(rig.pane->InternetHandle()->option(FtpSession::ControlSendTimeout), 5000u);
    QCOMPARE(rig.pane->InternetHandle()->option(FtpSession::ConnectRetries), 2u);

    // The watch's probe succeeds: the indicator steps on.
    rig.pane->onConnectionWatchTick();
    QCOMPARE(rig.pictures.last(), -1);

    rig.pictures.clear();
    rig.pane->onDisconnectClicked();
    QVERIFY(!rig.state.IsConnected);
    QVERIFY(!rig.pane->FtpHandle() && !rig.pane->InternetHandle());
    QVERIFY(!rig.timer1.isActive());
    QCOMPARE(rig.pictures, QList<int>({ 1, 2 }));
    QCOMPARE(rig.pane->fileList()->rowCount(), 0);
    QVERIFY(rig.record.Remote.empty());
    QVERIFY(rig.pane->connectEnabled());
    QVERIFY(!rig.pane->connectedCommandsEnabled());
    QVERIFY(rig.pane->profileChoiceEnabled());
    QCOMPARE(rig.statusLines().last(), QStringLiteral("09:05:03 ") + host + QStringLiteral(":FTP接続終了"));
    const QString disconnected = entry(QStringLiteral("<FTP接続終了>"), host, QStringLiteral("</FTP接続終了>"));
    QVERIFY(rig.logText().endsWith(disconnected + QStringLiteral("\r\n\r\n\r\n")));

    // A second disconnect writes no log entry but the status line all the same.
    const QString logBefore = rig.logText();
    const qsizetype linesBefore = rig.statusLines().size();
    rig.pane->DisconnectServer();
    QCOMPARE(rig.logText(), logBefore);
    QCOMPARE(rig.statusLines().size(), linesBefore + 1);
    QCOMPARE(rig.statusLines().last(), QStringLiteral("09:05:03 ") + host + QStringLiteral(":FTP接続終了"));
}

void TestConnectServer::failures_data()
{
    QTest::addColumn<QString>("server"); // "pyftpdlib", "closed port", "unknown host", or a scripted scenario
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << "pyftpdlib"
                                    << "wrong"
                                    << QStringLiteral("WinInet Error -12014\r\nパスワードが正しくありません。    ");
    QTest::newRow("connection refused") << "closed port"
                                        << "x"
                                        << QStringLiteral(
                                               "WinInet Error -12029\r\nサーバーに接続できませんでした。    ");
    QTest::newRow("unknown host") << "unknown host"
                                  << "x"
                                  << QStringLiteral("WinInet Error -12007\r\nサーバー名を解決できませんでした。    ");
    QTest::newRow("server refuses with 421")
        << "421-greeting"
        << "x" << QStringLiteral("WinInet エラー -12003\r\n421 Too many users, try again later.\r\n    ");
}

void TestConnectServer::failures()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(QString, message);

    FtpServerFixture pyftpd(Kind::Pyftpdlib);
    ScriptedFtpServer scripted;
    PortBlock closed;
    QString error;
    PaneRig rig;
    QString host;
    if (server == u"pyftpdlib") {
        QVERIFY(startServer(pyftpd));
        host = pyftpd.hostField();
        rig.setProfile(host, pyftpd.user(), password);
    } else if (server == u"closed port") {
        QVERIFY2(closed.reserve(&error), qPrintable(error));
        host = QStringLiteral("127.0.0.1:%1").arg(closed.first());
        rig.setProfile(host, QStringLiteral("u"), password);
    } else if (server == u"unknown host") {
        host = QStringLiteral("ftp.nonexistent.invalid");
        rig.setProfile(host, QStringLiteral("u"), password);
    } else {
        QVERIFY2(scripted.startScenario(server, &error), qPrintable(error));
        host = scripted.hostField();
        rig.setProfile(host, scripted.user(), password);
    }

    QElapsedTimer t;
    t.start();
    rig.pane->ConnectServer();
    QVERIFY2(t.elapsed() < 15000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!rig.state.IsConnected);
    QVERIFY(!rig.pane->FtpHandle());
    QCOMPARE(rig.dialogs.texts(), QStringList(message));
    QCOMPARE(rig.dialogs.asked.first().icon, Dialogs::Icon::Exclamation);
    QCOMPARE(rig.statusLines().last(), QStringLiteral("09:05:03  Ftp接続失敗"));
    QCOMPARE(rig.logText(),
        entry(QStringLiteral("<FTP接続失敗>"), host, QStringLiteral("</FTP接続失敗>")) + QStringLiteral("\r\n\r\n"));
    QVERIFY(rig.pane->connectEnabled());
    QVERIFY(rig.pane->profileChoiceEnabled());
    QVERIFY(!rig.timer1.isActive());
    // The session stays open for the next try; a disconnect leaves no log entry.
    rig.pane->DisconnectServer();
    QVERIFY(!rig.logText().contains(QStringLiteral("<FTP接続終了>")));
}

void TestConnectServer::passwordInputBox_data()
{
    QTest::addColumn<bool>("answer"); // false: the box is cancelled
    QTest::addColumn<bool>("connected");
    QTest::newRow("password typed") << true << true;
    QTest::newRow("cancelled: the empty password") << false << false;
}

void TestConnectServer::passwordInputBox()
{
    QFETCH(bool, answer);
    QFETCH(bool, connected);
    FtpServerFixture server(Kind::Pyftpdlib);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server.hostField(), server.user(), QStringLiteral("   "));
    rig.dialogs.queueInput(answer ? std::optional<QString>(server.password()) : std::nullopt);
    rig.pane->ConnectServer();
    QCOMPARE(rig.state.IsConnected, connected);
    QCOMPARE(rig.dialogs.asked.first().kind, QStringLiteral("input"));
    QCOMPARE(rig.dialogs.asked.first().text, QStringLiteral("パスワードを入力してください。"));
    if (!connected)
        QCOMPARE(
            rig.dialogs.texts().last(), QStringLiteral("WinInet Error -12014\r\nパスワードが正しくありません。    "));
}

void TestConnectServer::noServerName()
{
    PaneRig rig;
    rig.setProfile(QString(), QStringLiteral("u"), QStringLiteral("p"));
    rig.pane->ConnectServer();
    QCOMPARE(rig.dialogs.texts(), QStringList(QStringLiteral("Please enter a server name!")));
    QCOMPARE(rig.statusLines(), QStringList(QStringLiteral("09:05:03  セッション作成 ハンドル=1")));
    QVERIFY(!rig.logText().contains(u'<'));
    QVERIFY(rig.pane->connectEnabled());
}

void TestConnectServer::connectionEntryQuestion_data()
{
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::addColumn<bool>("bypassLocal"); // bypassProxyForLocal
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("message");
    // The entry names a proxy nobody listens on: only the bypass for local addresses gets through.
    QTest::newRow("No: no session") << Dialogs::Answer::No << true << false << QString();
    QTest::newRow("Yes, local addresses bypass the proxy") << Dialogs::Answer::Yes << true << true << QString();
    QTest::newRow("Yes, through the dead proxy")
        << Dialogs::Answer::Yes << false << false
        << QStringLiteral("WinInet Error -12165\r\nプロキシサーバー経由で接続できませんでした。    ");
}

void TestConnectServer::connectionEntryQuestion()
{
    QFETCH(Dialogs::Answer, answer);
    QFETCH(bool, bypassLocal);
    QFETCH(bool, connected);
    QFETCH(QString, message);
    FtpServerFixture server(Kind::Pyftpdlib);
    QVERIFY(startServer(server));
    PortBlock deadProxy;
    QString error;
    QVERIFY2(deadProxy.reserve(&error), qPrintable(error));
    PaneRig rig;
    rig.setProfile(server);
    rig.options->setUseConsoleConnection(0, true);
    rig.options->setConsoleProxyText(0, QStringLiteral("127.0.0.1:%1").arg(deadProxy.first()));
    rig.options->setUseProxy(true);
    rig.options->setBypassProxyForLocal(bypassLocal);
    rig.dialogs.queueAnswer(answer);
    rig.pane->ConnectServer();

    QCOMPARE(rig.dialogs.asked.first().text,
        QStringLiteral("メニュー　FTP->"
                       "FTPcommandのネットワークコネクション時に使用に\r\nチェックが入っています、これを使いますか?"));
    QCOMPARE(rig.dialogs.asked.first().buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(rig.state.IsConnected, connected);
    if (answer == Dialogs::Answer::No) {
        QCOMPARE(rig.dialogs.asked.size(), 1);
        QCOMPARE(rig.statusLines(), QStringList(QStringLiteral("09:05:03  セッションが開けません")));
        QVERIFY(!rig.pane->InternetHandle());
        return;
    }
    if (!message.isEmpty())
        QCOMPARE(rig.dialogs.texts().last(), message);
}

void TestConnectServer::proxyFromTheSettings()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    QVERIFY(startServer(server));
    ProxyFixture proxy(ProxyFixture::Kind::HttpConnect);
    QString error;
    QVERIFY2(proxy.start(&error), qPrintable(error));
    PaneRig rig;
    rig.setProfile(server);
    rig.options->setUseProxy(true);
    rig.options->setProxyHost(proxy.host());
    rig.options->setProxyPort(QString::number(proxy.port()));
    rig.pane->ConnectServer();
    QVERIFY2(rig.state.IsConnected, qPrintable(rig.dialogs.texts().join(u'|')));
    // The proxy text used is shown in the console's connection entry, and the proxy carried it.
    QCOMPARE(rig.options->consoleProxyText(0), QStringLiteral("ftp=ftp://127.0.0.1:%1").arg(proxy.port()));
    QVERIFY(proxy.tunnels().contains(server.hostField()));
    QCOMPARE(rig.listNames().size(), 4);
}

void TestConnectServer::secondConnectKeepsTheConnection()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
    FtpConnection* first = rig.pane->FtpHandle();
    const QString log = rig.logText();
    const qsizetype lines = rig.statusLines().size();
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
    QCOMPARE(rig.pane->FtpHandle(), first);
    QCOMPARE(rig.pane->ftpHandleNumber(), 2u);
    QCOMPARE(rig.pane->internetHandleNumber(), 3u);
    QCOMPARE(rig.statusLines().mid(lines), QStringList(QStringLiteral("09:05:03  セッション作成 ハンドル=3")));
    QCOMPARE(rig.logText(), log);
    QVERIFY2(!rig.serverFolder().isEmpty(), "the connection still works");
}

void TestConnectServer::startFolder_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("folder"); // where the server is afterwards
    QTest::addColumn<QString>("txtDir"); // with "HOST" for the host name
    QTest::addColumn<QString>("firstRow");

    for (Kind kind : { Kind::Pyftpdlib, Kind::Vsftpd }) {
        const QString k = FtpServerFixture::kindName(kind) + u": ";
        QTest::addRow("%s the root", qPrintable(k)) << kind << "/"
                                                    << "/"
                                                    << "HOST"
                                                    << "a b";
        QTest::addRow("%s blank: up from the root", qPrintable(k)) << kind << "  "
                                                                   << "/"
                                                                   << "HOST"
                                                                   << "a b";
        QTest::addRow("%s nested, trailing slash", qPrintable(k)) << kind << "pub/sub/"
                                                                  << "/pub/sub"
                                                                  << "HOST/pub/sub/"
                                                                  << "note.txt";
        QTest::addRow("%s missing folder stays at the root", qPrintable(k)) << kind << "nothere"
                                                                            << "/"
                                                                            << "HOST/nothere"
                                                                            << "a b";
    }
    QTest::newRow("pyftpdlib: Japanese name") << Kind::Pyftpdlib << "日本語"
                                              << "/日本語"
                                              << "HOST/日本語"
                                              << "";
}

void TestConnectServer::startFolder()
{
    QFETCH(Kind, kind);
    QFETCH(QString, start);
    QFETCH(QString, folder);
    QFETCH(QString, txtDir);
    QFETCH(QString, firstRow);
    FtpServerFixture server(kind);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server, start);
    rig.pane->ConnectServer();
    QVERIFY2(rig.state.IsConnected, qPrintable(rig.dialogs.texts().join(u'|')));
    QCOMPARE(rig.serverFolder(), folder);
    txtDir.replace(QStringLiteral("HOST"), server.hostField());
    QCOMPARE(rig.pane->folderText(), txtDir);
    QCOMPARE(rig.state.CurrentFtpPath, txtDir);
    QCOMPARE(rig.listNames().value(0), firstRow);
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestConnectServer::watchNoticesDropAndReconnects_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("vsftpd idle time-out") << Kind::Vsftpd;
    QTest::newRow("pyftpdlib idle time-out") << Kind::Pyftpdlib;
}

void TestConnectServer::watchNoticesDropAndReconnects()
{
    QFETCH(Kind, kind);
    FtpServerFixture::Options o;
    o.kind = kind;
    o.idleTimeoutSeconds = 2;
    FtpServerFixture server(o);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
    QVERIFY(rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("pub"))));
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/pub"));

    // The server closes the idle connection (421); the next probe notices.
    QTest::qWait(3500);
    rig.now = rig.now.addSecs(10);
    const QString host = server.hostField();
    rig.pictures.clear();
    rig.pane->onConnectionWatchTick();

    const QStringList lines = rig.statusLines();
    const qsizetype lost = lines.indexOf(QStringLiteral("09:05:13接続終了"));
    QVERIFY2(lost >= 0, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines.value(lost + 1), QStringLiteral("09:05:13 ") + host + QStringLiteral(":FTP接続終了"));
    QCOMPARE(lines.last(), QStringLiteral("09:05:13 ") + host + QStringLiteral(": Ftp開始"));
    QCOMPARE(rig.pictures.first(), 1);
    QVERIFY(rig.dialogs.asked.isEmpty());
    // Back in the folder the user was in, connected and watched.
    QVERIFY(rig.state.IsConnected);
    QVERIFY(rig.timer1.isActive());
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/pub"));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/pub"));
    QCOMPARE(rig.listNames(), QStringList({ QStringLiteral("sub"), QStringLiteral("readme.txt") }));
    const QString log = rig.logText();
    const qsizetype end = log.indexOf(QStringLiteral("<FTP接続終了>2024-03-15 09:05:13 ") + host);
    const qsizetype again = log.indexOf(QStringLiteral("<Ftp接続開始>2024-03-15 09:05:13 ") + host);
    const qsizetype reconnected = log.indexOf(QStringLiteral("\r\n<FTP接続開始>2024-03-15 09:05:13 ") + host);
    QVERIFY2(end > 0 && again > end && reconnected > again, qPrintable(log));
}

void TestConnectServer::watchLeavesABusyConnectionAlone()
{
    // Every reply comes late: the watch ticks while a listing waits.
    FtpServerFixture::Options o;
    o.replyDelayMs = 150;
    FtpServerFixture server(o);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
    rig.pictures.clear();
    bool ticked = false;
    QTimer::singleShot(50, rig.pane.get(), [&] {
        ticked = true;
        rig.pane->onConnectionWatchTick();
    });
    QVERIFY(rig.pane->ListFtpFolder());
    QVERIFY(ticked);
    QVERIFY(rig.pictures.isEmpty());
    QVERIFY(rig.state.IsConnected);
    QVERIFY(!rig.statusLines().last().endsWith(QStringLiteral("接続終了")));
}

void TestConnectServer::commandsDuringAWaitAreDropped()
{
    FtpServerFixture::Options o;
    o.replyDelayMs = 150;
    FtpServerFixture server(o);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
    // While Enter in the path box waits for the server, the user double-clicks, presses the up
    // button and clicks the tree: none of it may run on the busy connection.
    bool clicked = false;
    bool opened = true;
    QTimer::singleShot(100, rig.pane.get(), [&] {
        clicked = true;
        opened = rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("a b")));
        rig.pane->onUpClicked();
    });
    rig.pane->setFolderText(QStringLiteral("/pub"));
    QStringList shown;
    connect(rig.pane.get(), &RemotePane::folderTextChanged, this, [&](const QString& text) { shown << text; });
    rig.pane->goToTypedFolder();
    QVERIFY(clicked);
    QVERIFY(!opened);
    // The path box never showed another folder on the way.
    QCOMPARE(shown, QStringList());
    QCOMPARE(rig.serverFolder(), QStringLiteral("/pub"));
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/pub"));
    QCOMPARE(rig.listNames(), QStringList({ QStringLiteral("sub"), QStringLiteral("readme.txt") }));
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestConnectServer::disconnectWhileConnecting()
{
    // The exit (or a profile menu item) arrives while the login still waits for the server.
    FtpServerFixture::Options o;
    o.replyDelayMs = 200;
    FtpServerFixture server(o);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    QTimer::singleShot(300, rig.pane.get(), [&] { rig.pane->DisconnectServer(); });
    rig.pane->ConnectServer();
    QVERIFY(!rig.state.IsConnected);
    QVERIFY(!rig.pane->FtpHandle());
    QVERIFY(!rig.timer1.isActive());
    QVERIFY(rig.pane->connectEnabled());
    QVERIFY(!rig.logText().contains(QStringLiteral("接続開始")));
    QVERIFY(rig.dialogs.asked.isEmpty());
    // The pane connects again normally afterwards.
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
}

void TestConnectServer::stopWhileConnecting()
{
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(server.startScenario(QStringLiteral("silent"), &error), qPrintable(error));
    PaneRig rig;
    rig.setProfile(server.hostField(), server.user(), server.password());
    QTimer::singleShot(200, rig.pane.get(), [&] { rig.state.StopRequested = true; });
    QElapsedTimer t;
    t.start();
    rig.pane->ConnectServer();
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!rig.state.IsConnected);
    QVERIFY(!rig.state.StopRequested);
    // A stop is no failure: no message, nothing in the log.
    QVERIFY(rig.dialogs.asked.isEmpty());
    QVERIFY(!rig.logText().contains(QStringLiteral("<FTP接続失敗>")));
    QCOMPARE(rig.statusLines().last(), QStringLiteral("09:05:03  Ftp接続失敗"));
}

void TestConnectServer::certificateQuestion()
{
    FtpServerFixture server(Kind::PyftpdlibTls);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    const QString known = rig.data.filePath(QStringLiteral("ftpcerts.txt"));

    // Refused: no connection, and the failure is reported.
    rig.dialogs.queueAnswer(Dialogs::Answer::No);
    rig.pane->ConnectServer();
    QVERIFY(!rig.state.IsConnected);
    const QString question = rig.dialogs.asked.first().text;
    QCOMPARE(rig.dialogs.asked.first().buttons, Dialogs::Buttons::YesNo);
    QVERIFY2(question.startsWith(QStringLiteral("サーバーの証明書を確認できませんでした。")), qPrintable(question));
    QVERIFY2(question.contains(server.certificateFingerprint()), qPrintable(question));
    QVERIFY(question.contains(QStringLiteral("発行者: ")));
    QVERIFY(question.contains(QStringLiteral("有効期間: ")));
    QVERIFY(question.endsWith(QStringLiteral("この証明書を信頼して接続しますか?")));
    QVERIFY(rig.dialogs.asked.size() >= 2);
    QVERIFY(rig.dialogs.asked.last().text.startsWith(QStringLiteral("WinInet Error -")));

    // Accepted: connected, and remembered in the data folder for the next time.
    rig.dialogs.clear();
    rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
    rig.pane->ConnectServer();
    QVERIFY2(rig.state.IsConnected, qPrintable(rig.dialogs.texts().join(u'|')));
    QVERIFY(QFile::exists(known));
    rig.pane->DisconnectServer();
    rig.dialogs.clear();
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestConnectServer::errorReports()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    QVERIFY(startServer(server));
    PaneRig rig;
    rig.setProfile(server);
    rig.pane->ConnectServer();
    QVERIFY(rig.state.IsConnected);

    // A server's refusal shows its reply; a system code its Japanese text; silenced, nothing.
    QVERIFY(!rig.pane->FtpHandle()->setCurrentDirectory(QStringLiteral("nothere")));
    const QString response = rig.pane->LastResponseText();
    QVERIFY2(response.startsWith(QStringLiteral("550 ")), qPrintable(response));
    rig.pane->ShowWinInetError();
    rig.pane->ShowWinInetError(FtpError::FileNotFound, QString());
    rig.state.SuppressWinInetErrors = true;
    rig.pane->ShowWinInetError();
    rig.state.SuppressWinInetErrors = false;
    QCOMPARE(rig.dialogs.texts(),
        QStringList({ QStringLiteral("WinInet エラー -12003\r\n") + response + QStringLiteral("    "),
            QStringLiteral("ファイルが見つかりません。") }));

    // Access denied keeps the connection and marks the refusal.
    rig.dialogs.clear();
    rig.pane->ErrorOut(FtpError::AccessDenied, QStringLiteral("ListLocalFolder"));
    QCOMPARE(rig.dialogs.texts(), QStringList(QStringLiteral("フォルダへのアクセスが拒否されました。")));
    QVERIFY(rig.state.AccessDenied);
    QVERIFY(rig.pane->FtpHandle());

    // Any other error ends the connection; a server error shows the reply first.
    rig.dialogs.clear();
    rig.pane->ErrorOut(FtpError::ExtendedError, QStringLiteral("ListLocalFolder"));
    QCOMPARE(rig.dialogs.texts(),
        QStringList({ QStringLiteral("ListLocalFolder Extd Err: 550 ") + response,
            QStringLiteral("ListLocalFolder エラ－: 12003\r\n処理を中断します。") }));
    QVERIFY(!rig.pane->FtpHandle());
    QVERIFY(!rig.pane->InternetHandle());
    QVERIFY(!rig.state.IsConnected);
    // The watch notices and connects again.
    rig.pane->onConnectionWatchTick();
    QVERIFY(rig.state.IsConnected);
}

QTEST_GUILESS_MAIN(TestConnectServer)
#include "tst_connectserver.moc"
