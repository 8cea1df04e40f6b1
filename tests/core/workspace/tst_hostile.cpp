// What broken or hostile servers do to a run: over-long listing lines, folders that cannot be
// listed, active data connections that never arrive, a certificate that changed.
#include "core/settings/options.h"
#include "core/transfer/transfers.h"
#include "workspacerig.h"

#include <QRegularExpression>

class TestHostile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // One line longer than the engine takes (a 70,000-character name, 10 MB without a line end)
    // costs that line only; a folder the server refuses to list is said, not taken for empty.
    void overlongListingLines_data()
    {
        QTest::addColumn<QString>("longPart");
        QTest::newRow("long name") << " data -rw-r--r-- 1 u g 5 Jan 01 2020 " + QString(70000, u'x') + "\\r\\n\n";
        QTest::newRow("10 MB, no line end") << " data-repeat 1000000 xxxxxxxxxx\n data \\r\\n\n";
    }
    void overlongListingLines()
    {
        QFETCH(QString, longPart);
        ScriptedFtpServer server;
        WorkspaceRig rig;
        QVERIFY(rig.connect(server,
            "feat none\ndir /site\ndir /site/sub\nfile /site/a.txt text A\nfile /site/b.txt text B\n"
            "on LIST 3\n reply 150 Here it comes.\n data -rw-r--r-- 1 u g 1 Jan 01 2020 a.txt\\r\\n\n"
                + longPart
                + " data drwxr-xr-x 2 u g 0 Jan 01 2020 sub\\r\\n-rw-r--r-- 1 u g 1 Jan 01 2020 b.txt\\r\\n\n"
                  " data-close\n reply 226 Done.\nend\non LIST 4\n reply 550 Permission denied.\nend\n"));
        QVERIFY(rig.selectRemote({ "site" }));
        rig.ws->transfers().DownloadSelection();
        QCOMPARE(entriesBelow(rig.local.path()), QStringList({ "site/", "site/a.txt", "site/b.txt", "site/sub/" }));
        const QString status = rig.statusTexts().join(u'\n');
        QVERIFY2(status.contains("長すぎる行を飛ばしました(1行):/site")
                && status.contains("ﾌｫﾙﾀﾞの一覧を取得できませんでした:/site/sub"),
            qPrintable(status));
    }

    // Behind a home router the server's data connection never arrives: the command is tried once
    // more in passive mode, said once, and the connection stays passive; the stored choice stays.
    void activeFallsBackToPassive_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("PORT and EPRT refused") << "disable PORT EPRT\n";
        QTest::newRow("425") << "on LIST 1\n reply 425 Can't open data connection.\nend\n";
        QTest::newRow("no connection in 10 s") << "on LIST 1\n reply 150 Here it comes.\n sleep 12000\nend\n";
    }
    void activeFallsBackToPassive()
    {
        QFETCH(QString, script);
        ScriptedFtpServer server;
        WorkspaceRig rig;
        rig.ws->options().setPassiveMode(false);
        QVERIFY(rig.connect(server, "feat none\ndir /pub\nfile /hello.txt text Hello\n" + script));
        QCOMPARE(rig.remoteNames(), QStringList({ "pub", "hello.txt" }));
        rig.showRemote("/pub");
        QCOMPARE(rig.statusTexts().filter("ﾊﾟｯｼﾌﾞﾓｰﾄﾞに切り替えました").size(), 1);
        QVERIFY(!rig.ws->options().passiveMode());
        QVERIFY(server.commands().filter(QRegularExpression("^(PASV|EPSV)")).size() >= 2);
    }

    // A changed certificate is warned about with both fingerprints, and Enter does not trust it.
    void changedCertificate()
    {
        FtpServerFixture server(Kind::PyftpdlibTls);
        QVERIFY(startServer(server));
        WorkspaceRig rig;
        const QString old = "AA:" + QString("BB:").repeated(30) + "CC";
        QVERIFY(writeFile(rig.data.filePath("ftpcerts.txt"), "127.0.0.1 " + old.toLatin1() + "\n"));
        rig.setProfile(server);
        rig.remote().ConnectServer();
        QVERIFY(!rig.ws->state().IsConnected);
        const auto& warning = rig.dialogs.asked.first();
        QVERIFY2(warning.buttons == Dialogs::Buttons::YesNoDefaultNo
                && warning.text.startsWith("警告: サーバーの証明書が、以前に信頼した証明書から変わっています。")
                && warning.text.contains("以前の SHA-256 フィンガープリント: \r\n" + old)
                && warning.text.contains("今回の SHA-256 フィンガープリント: \r\n" + server.certificateFingerprint()),
            qPrintable(warning.text));
        rig.dialogs.clear();
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        QVERIFY(rig.connectProfile());
    }

    // A local target that is a link to a file elsewhere is replaced, never written through.
    void localLinkIsReplaced()
    {
        FtpServerFixture server;
        QVERIFY(startServer(server) && writeFile(server.root() + "/page.html", "new"));
        WorkspaceRig rig;
        QTemporaryDir outside;
        QVERIFY(writeFile(outside.filePath("secret"), "keep"));
        QVERIFY(QFile::link(outside.filePath("secret"), rig.localPath("page.html")));
        QVERIFY(rig.connect(server) && rig.selectRemote({ "page.html" }));
        rig.ws->transfers().setTransferRule(1);
        rig.ws->transfers().DownloadSelection();
        QCOMPARE(readFile(outside.filePath("secret")), "keep");
        QVERIFY(readFile(rig.localPath("page.html")) == "new" && !QFileInfo(rig.localPath("page.html")).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
