// The FTP command console against pyftpdlib and vsftpd: replies appended, listings replacing the
// text, a password never shown, and the program's own transfers still right after the user typed
// commands that change the server's state.
#include "core/ftpsession/ftpconsole.h"
#include "core/transfer/transfers.h"
#include "workspacerig.h"

class TestConsole : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandsAndTransfersAfterThem_data() { serverRows({ "pyftpdlib", "vsftpd" }); }
    void commandsAndTransfersAfterThem()
    {
        auto [server] = fetch("server");
        FtpServerFixture ftp(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        WorkspaceRig rig;
        QByteArray binary;
        for (int i = 0; i < 70000; ++i)
            binary += char(i % 251) + (i % 97 == 0 ? QByteArray("\r\n") : QByteArray("\n"));
        QVERIFY(rig.connectWith(ftp, { "pub/", "pub/.hidden", "pub/data.bin", "pub/sub/" }));
        QVERIFY(writeFile(ftp.root() + "/pub/data.bin", binary) && writeFile(rig.localPath("up.bin"), binary));
        FtpConsole& console = rig.ws->console();
        const auto run = [&](const QString& command) -> QString {
            const bool ok = rig.ws->runConsoleCommand(command);
            return (ok ? QStringLiteral("ok ") : QStringLiteral("failed ")) + console.text();
        };
        QVERIFY(run("PWD").contains(u"> PWD\n257 \"/\""));
        QVERIFY(run("help").contains(u"214"));
        QVERIFY(run("SYST").contains(u"215 UNIX"));
        QVERIFY(run("STAT").contains(u"211"));
        QVERIFY(run("CWD pub").contains(u"250"));
        // Listings replace the text; a hidden file shows only when asked for.
        const QString list = run("LIST");
        QVERIFY2(
            list.startsWith(u"ok ") && list.contains(u"data.bin") && list.contains(u"sub") && !list.contains(u"> "),
            qPrintable(list));
        QVERIFY(run("list -a").contains(u".hidden"));
        QCOMPARE(run("NLST").split(u'\n').filter(u"data.bin").size(), 1);
        // A password is sent but never shown, here or in the log.
        console.clear();
        QVERIFY(!run("PASS hunter2").contains(u"hunter2"));
        QVERIFY(console.text().startsWith(u"> PASS ****") && !rig.logText().contains(u"hunter2"));
        QVERIFY(rig.logText().contains(u"PASS ****"));
        // The user left the server in ASCII mode in another folder after a binary transfer:
        // binary transfers still arrive whole.
        Transfers& transfers = rig.ws->transfers();
        QVERIFY(!transfers.downloadFiles({ "data.bin" }, "/pub", rig.local.path(), TransferType::Binary));
        QVERIFY(run("TYPE A").contains(u"200"));
        QVERIFY(run("CWD /").contains(u"250"));
        QVERIFY(!transfers.downloadFiles({ "data.bin" }, "/pub", rig.local.path(), TransferType::Binary));
        QVERIFY(!transfers.uploadFiles({ "up.bin" }, rig.local.path(), "/pub", TransferType::Binary));
        QCOMPARE(readFile(rig.localPath("data.bin")), binary);
        QCOMPARE(readFile(ftp.root() + "/pub/up.bin"), binary);
        // A failed command leaves the text as it was, with the server's answer.
        QVERIFY(run("CWD /nowhere").startsWith(u"failed "));
        QVERIFY(console.text().contains(u"550"));
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
