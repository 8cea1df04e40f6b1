// Connecting, disconnecting and reconnecting the FTP pane, and what the user is told when that
// fails, against real servers (the scripted one for what they do not do on demand).
#include "core/ftp/ftperrors.h"
#include "support/portblock.h"
#include "workspacerig.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>

namespace {

bool startSite(FtpServerFixture& server)
{
    return startServer(server)
        && makeEntries(server.root(), { "pub/sub/note.txt", "a b/", "日本語/", "index.html", "pub/readme.txt" });
}

// "<tag>2024-03-15 09:05:03 host</tag>", the entry the rig's clock writes.
QString entry(const QString& open, const QString& host, const QString& close)
{
    return open + "2024-03-15 09:05:03 " + host + close;
}

} // namespace

class TestFtpSession : public QObject {
    Q_OBJECT
    FtpServerFixture m_site; // pyftpdlib, for the tests that change nothing on it
    FtpServerFixture m_vsftpdSite { Kind::Vsftpd };

private Q_SLOTS:
    void initTestCase() { QVERIFY(startSite(m_site)); }

    void connectDisconnectAndErrorReports()
    {
        WorkspaceRig rig;
        rig.setProfile(m_site);
        RemotePane& pane = rig.remote();
        AppState& state = rig.ws->state();
        const QString host = m_site.hostField();

        pane.onConnectClicked();
        QVERIFY2(state.IsConnected && rig.dialogs.asked.isEmpty(), qPrintable(rig.dialogs.texts().join(u'|')));
        QCOMPARE(rig.statusTexts(),
            QStringList({ " セッション作成 ハンドル=1", " Ftp接続要求 " + host + ":ID=" + m_site.user(), " Ftp開始",
                " サーバーの初期フォルダー表示" }));
        QCOMPARE(rig.logText(), entry("<Ftp接続開始>", host, "</FTP接続開始>") + "\r\n\r\n");
        // At the root the path box shows the host name; the list shows the root, folders first.
        QCOMPARE(QStringList({ pane.folderText(), state.CurrentFtpPath }), QStringList(2, host));
        QCOMPARE(rig.remoteMarks(), "a b=closed pub=closed 日本語=closed index.html=leaf");
        QVERIFY(rig.ws->connectionWatch().isActive());

        // A second connect renews the session only.
        FtpConnection* first = pane.FtpHandle();
        pane.ConnectServer();
        QVERIFY(pane.FtpHandle() == first && pane.ftpHandleNumber() == 2 && rig.logEntries().size() == 1);
        QCOMPARE(rig.statusTexts().last(), " セッション作成 ハンドル=3");

        pane.onDisconnectClicked();
        QVERIFY(!state.IsConnected && !pane.FtpHandle() && !pane.InternetHandle() && pane.fileList()->rowCount() == 0);
        QVERIFY(!rig.ws->connectionWatch().isActive() && rig.ws->listingRecord().Remote.empty());
        QVERIFY(rig.logText().endsWith(entry("<FTP接続終了>", host, "</FTP接続終了>") + "\r\n\r\n\r\n"));
        // A second disconnect says so in the status list only.
        pane.DisconnectServer();
        QCOMPARE(rig.logEntries().size(), 2);
        QCOMPARE(rig.statusTexts().mid(5), QStringList(2, host + ":FTP接続終了"));

        // A server's refusal shows its reply, a system code its Japanese text.
        pane.ConnectServer();
        QVERIFY(!pane.FtpHandle()->setCurrentDirectory("nothere"));
        const QString response = pane.LastResponseText();
        QVERIFY2(response.startsWith("550 "), qPrintable(response));
        pane.ShowWinInetError();
        pane.ShowWinInetError(FtpError::FileNotFound, QString());
        // Access denied keeps the connection; any other error ends it, a server's with its reply.
        pane.ErrorOut(FtpError::AccessDenied, "ListLocalFolder");
        QVERIFY(state.AccessDenied && pane.FtpHandle());
        pane.ErrorOut(FtpError::ExtendedError, "ListLocalFolder");
        QCOMPARE(rig.dialogs.texts(),
            QStringList({ "WinInet エラー -12003\r\n" + response + "    ", "ファイルが見つかりません。",
                "フォルダへのアクセスが拒否されました。", "ListLocalFolder Extd Err: 550 " + response,
                "ListLocalFolder エラ－: 12003\r\n処理を中断します。" }));
        QVERIFY(!state.IsConnected && !pane.FtpHandle() && !pane.InternetHandle());
        pane.onConnectionWatchTick(); // the watch notices and connects again
        QVERIFY(state.IsConnected);
    }

    void outcomes_data()
    {
        // server: pyftpdlib, "closed port", "no host" or "silent" (the scripted server). password:
        // blank asks in the box, PASSWORD is the right one. answer: typed into the box ("" cancels).
        // asked: every message. status: the last status line, "" when connected.
        TextTable::rows({ "server", "password", "answer", "asked", "status" }, R"(
password typed in the box | pyftpdlib | \s | PASSWORD | BOX |
box cancelled: the empty password | pyftpdlib | \s | | BOX|WRONG | \sFtp接続失敗
wrong password | pyftpdlib | wrong | | WRONG | \sFtp接続失敗
connection refused | closed port | x | | WinInet Error -12029\r\nサーバーに接続できませんでした。\s\s\s\s | \sFtp接続失敗
stop while the server is silent: no message, nothing logged | silent | x | | | \sFtp接続失敗
no server name | no host | x | | Please enter a server name! | \sセッション作成 ハンドル=1
)");
    }
    void outcomes()
    {
        auto [server, password, answer, asked, status] = fetch("server", "password", "answer", "asked", "status");
        asked.replace("BOX", "パスワードを入力してください。")
            .replace("WRONG", "WinInet Error -12014\r\nパスワードが正しくありません。    ");
        ScriptedFtpServer scripted;
        PortBlock ports;
        QString error;
        WorkspaceRig rig;
        QString host = server == u"no host" ? "" : m_site.hostField();
        if (server == u"closed port") {
            QVERIFY2(ports.reserve(&error), qPrintable(error));
            host = QStringLiteral("127.0.0.1:%1").arg(ports.first());
        } else if (server == u"silent") {
            QVERIFY2(scripted.startScenario(server, &error), qPrintable(error));
            host = scripted.hostField();
        }
        rig.setProfile(host, m_site.user(), password == u"PASSWORD" ? m_site.password() : password);
        if (password.trimmed().isEmpty())
            rig.dialogs.queueInput(answer.isEmpty() ? std::nullopt : std::optional<QString>(m_site.password()));
        if (server == u"silent")
            QTimer::singleShot(200, &rig.remote(), [&] { rig.ws->state().StopRequested = true; });

        QElapsedTimer t;
        t.start();
        rig.remote().ConnectServer();
        QVERIFY2(t.elapsed() < (server == u"silent" ? 2000 : 15000), qPrintable(QString::number(t.elapsed())));
        QCOMPARE(rig.dialogs.texts().join(u'|'), asked);
        QCOMPARE(rig.ws->state().IsConnected, status.isEmpty());
        if (status.isEmpty())
            return;
        QCOMPARE(rig.statusTexts().last(), status);
        QVERIFY(!rig.ws->state().StopRequested && !rig.remote().FtpHandle());
        for (const ScriptedDialogs::Asked& message : std::as_const(rig.dialogs.asked))
            QVERIFY(!message.text.startsWith("WinInet") || message.icon == Dialogs::Icon::Exclamation);
        QCOMPARE(rig.logText(),
            asked.contains("WinInet") ? entry("<FTP接続失敗>", host, "</FTP接続失敗>") + "\r\n\r\n" : QString());
        QVERIFY(rig.remote().connectEnabled() && rig.remote().profileChoiceEnabled());
        QVERIFY(!rig.ws->connectionWatch().isActive());
        // The session stays open for the next try; a disconnect leaves no log entry.
        rig.remote().DisconnectServer();
        QVERIFY(!rig.logText().contains("<FTP接続終了>"));
    }

    void startFolder_data()
    {
        // folder: where the server is afterwards; txtDir: the path box, HOST for the host name.
        TextTable::rows({ "server", "start", "folder", "txtDir" }, R"(
pyftpdlib: the root | pyftpdlib | / | / | HOST
pyftpdlib: nested, trailing slash | pyftpdlib | pub/sub/ | /pub/sub | HOST/pub/sub/
pyftpdlib: missing folder stays at the root | pyftpdlib | nothere | / | HOST/nothere
pyftpdlib: Japanese name | pyftpdlib | 日本語 | /日本語 | HOST/日本語
vsftpd: blank, up from the root | vsftpd | \s\s | / | HOST
vsftpd: missing folder stays at the root | vsftpd | nothere | / | HOST/nothere
)");
    }
    void startFolder()
    {
        auto [server, start, folder, txtDir] = fetch("server", "start", "folder", "txtDir");
        if (server == u"vsftpd" && !m_vsftpdSite.isRunning())
            QVERIFY(startSite(m_vsftpdSite));
        FtpServerFixture& s = server == u"vsftpd" ? m_vsftpdSite : m_site;
        WorkspaceRig rig;
        QVERIFY(rig.connect(s, start));
        QCOMPARE(rig.serverFolder(), folder);
        txtDir.replace("HOST", s.hostField());
        QCOMPARE(QStringList({ rig.remote().folderText(), rig.ws->state().CurrentFtpPath }), QStringList(2, txtDir));
        QCOMPARE(rig.remoteNames().value(0), folder == u"/pub/sub" ? "note.txt" : folder == u"/" ? "a b" : "");
        QVERIFY(rig.dialogs.asked.isEmpty());
    }

    void watchNoticesDropAndReconnects()
    {
        FtpServerFixture::Options o;
        o.kind = Kind::Vsftpd;
        o.idleTimeoutSeconds = 2;
        FtpServerFixture s(o);
        QVERIFY(startSite(s));
        WorkspaceRig rig;
        QVERIFY(rig.connect(s) && rig.remote().openFtpFolderRow(rig.remoteRow("pub")));
        const qsizetype lines = rig.statusTexts().size();
        const qsizetype entries = rig.logEntries().size();

        // The server closes the idle connection (421); the next probe notices.
        QTest::qWait(3500);
        rig.now = rig.now.addSecs(10);
        rig.remote().onConnectionWatchTick();

        QCOMPARE(rig.ws->statusLines().stringList().value(lines), "09:05:13接続終了");
        QVERIFY(rig.statusTexts().last() == s.hostField() + ": Ftp開始" && rig.dialogs.asked.isEmpty());
        // Back in the folder the user was in, connected and watched.
        QVERIFY(rig.ws->state().IsConnected && rig.ws->connectionWatch().isActive());
        QCOMPARE(rig.remote().folderText() + rig.serverFolder(), "/pub/pub");
        QCOMPARE(rig.remoteNames(), QStringList({ "sub", "readme.txt" }));
        const QString at = "2024-03-15 09:05:13 " + s.hostField();
        QCOMPARE(rig.logEntries().mid(entries),
            QStringList({ "<FTP接続終了>" + at + "</FTP接続終了>", "<Ftp接続開始>" + at + "</FTP接続開始>",
                "<FTP接続開始>" + at + "</FTP接続開始>" }));
    }

    // Every reply comes late: what the user and the watch do while the program waits.
    void slowServer()
    {
        FtpServerFixture::Options o;
        o.replyDelayMs = 150;
        FtpServerFixture s(o);
        QVERIFY(startSite(s));
        WorkspaceRig rig;
        RemotePane& pane = rig.remote();
        rig.setProfile(s);

        // The exit (or a profile menu item) arrives while the login still waits.
        QTimer::singleShot(300, &pane, [&] { pane.DisconnectServer(); });
        pane.ConnectServer();
        QVERIFY(!rig.ws->state().IsConnected && !pane.FtpHandle() && pane.connectEnabled());
        QVERIFY(!rig.ws->connectionWatch().isActive() && !rig.logText().contains("接続開始"));
        QVERIFY(rig.connectProfile()); // normally afterwards

        // The watch ticks while a listing waits: a busy connection is alive.
        int pictures = 0;
        connect(&pane, &RemotePane::pictureRequested, this, [&] { ++pictures; });
        connect(&pane, &RemotePane::pictureStepRequested, this, [&] { ++pictures; });
        QTimer::singleShot(50, &pane, [&] { pane.onConnectionWatchTick(); });
        QVERIFY(pane.ListFtpFolder() && pictures == 0 && rig.ws->state().IsConnected);

        // While Enter in the path box waits, the user double-clicks and presses the up button: none
        // of it may run on the busy connection, and the path box shows no other folder on the way.
        bool opened = true;
        QTimer::singleShot(100, &pane, [&] {
            opened = pane.openFtpFolderRow(rig.remoteRow("a b"));
            pane.onUpClicked();
        });
        pane.setFolderText("/pub");
        QStringList shown;
        connect(&pane, &RemotePane::folderTextChanged, this, [&](const QString& text) { shown << text; });
        pane.goToTypedFolder();
        QVERIFY(!opened && shown.isEmpty() && rig.dialogs.asked.isEmpty());
        QCOMPARE(rig.serverFolder(), "/pub");
        QCOMPARE(rig.remoteNames(), QStringList({ "sub", "readme.txt" }));
    }

    void certificateQuestion()
    {
        FtpServerFixture s(Kind::PyftpdlibTls);
        QVERIFY(startSite(s));
        WorkspaceRig rig;
        rig.setProfile(s);

        // Refused: no connection, and the failure is reported.
        rig.dialogs.queueAnswer(Dialogs::Answer::No);
        rig.remote().ConnectServer();
        QVERIFY(!rig.ws->state().IsConnected);
        const QString question = rig.dialogs.asked.first().text;
        QVERIFY2(question.startsWith("サーバーの証明書を確認できませんでした。")
                && question.contains(s.certificateFingerprint())
                && question.endsWith("この証明書を信頼して接続しますか?"),
            qPrintable(question));
        QVERIFY(rig.dialogs.asked.size() >= 2 && rig.dialogs.asked.last().text.startsWith("WinInet Error -"));

        // Accepted: connected, and remembered in the data folder for the next time.
        rig.dialogs.clear();
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        QVERIFY(rig.connectProfile() && QFile::exists(rig.data.filePath("ftpcerts.txt")));
        rig.remote().DisconnectServer();
        rig.dialogs.clear();
        QVERIFY(rig.connectProfile() && rig.dialogs.asked.isEmpty());
    }

    // A settings file as the first platform left it (CP932, CR LF, scrambled passwords with
    // double-byte characters) chooses its last profile at start-up, whose password must reach the
    // server as the same CP932 bytes the first platform sent.
    void firstPlatformProfile()
    {
        // "パス①ワード"; "①" is one of the NEC row 13 characters. Only these bytes log in.
        const QByteArray password("\x83p\x83X\x87@\x83\x8f\x81[\x83h");
        ScriptedFtpServer s;
        QString error;
        QVERIFY2(s.startScript("login hanako " + QString::fromLatin1(password) + "\ndir /public_html\n", &error),
            qPrintable(error));
        WorkspaceRig rig;
        // The profile's host pointed at the scripted server; every other byte stays as it was.
        QByteArray file = readFile(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/profiles.ini"));
        file.replace("\r\nftp.example.ne.jp\r\n", QByteArray("\r\n" + s.hostField().toLatin1() + "\r\n"));
        QVERIFY(writeFile(rig.data.filePath("ftpset.ini"), file));
        QVERIFY(QFile::setPermissions(rig.data.filePath("ftpset.ini"), QFile::ReadOwner | QFile::WriteOwner));

        rig.ws->startUp(QString());
        QVERIFY2(rig.dialogs.asked.isEmpty(), qPrintable(rig.dialogs.texts().join(u'|')));
        QCOMPARE(rig.ws->profiles().field(0), "ホームページ①");
        QVERIFY2(rig.connectProfile(), qPrintable(s.commands().join(u'|')));
        QCOMPARE(rig.serverFolder(), "/public_html");
        // The scripted server logs bytes outside printable ASCII as "\xHH".
        QCOMPARE(s.commands().filter(QRegularExpression("^(USER|PASS) ")),
            QStringList({ "USER hanako", "PASS \\x83p\\x83X\\x87@\\x83\\x8f\\x81[\\x83h" }));
        QCOMPARE(s.connectionCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFtpSession)
#include "tst_ftpsession.moc"
