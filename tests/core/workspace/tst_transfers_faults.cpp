// What goes wrong during transfers: Stop inside a file and between files, a connection that
// drops mid-file, a refused upload, a short download, names from the server that would leave the
// target folder, a second run, the FTP pane moved during a run, and the listings a tree pass asks.
#include "core/app/statusreport.h"
#include "core/ftp/ftperrors.h"
#include "core/transfer/transfers.h"
#include "workspacerig.h"

#include <QRegularExpression>

namespace {

bool sparseFile(const QString& path, qint64 size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(size);
}

int countCommands(const QStringList& commands, const QStringList& verbs)
{
    int n = 0;
    for (const QString& c : commands)
        n += verbs.contains(c.section(u' ', 0, 0));
    return n;
}

} // namespace

class TestTransfersFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void stopInsideFile();
    void stopBetweenFiles();
    void droppedConnectionEndsTheRun();
    void announcedSizeWins();
    void refusedUploadEndsTheFilePass();
    void hostileNames();
    void secondRunIsRefused();
    void movingThePaneDuringARun();
    void treePassesListEachFolderOnce();
};

void TestTransfersFaults::stopInsideFile()
{
    FtpServerFixture server;
    QVERIFY(startServer(server));
    QVERIFY(sparseFile(server.root() + "/big.bin", qint64(1) << 30));
    WorkspaceRig rig;
    QVERIFY(writeFile(rig.localPath("big.bin"), "the old copy"));
    QVERIFY(sparseFile(rig.localPath("up.bin"), qint64(1) << 30));
    QVERIFY(rig.connect(server));
    Transfers& transfers = rig.ws->transfers();
    StatusReport& report = rig.ws->statusReport();
    transfers.setTransferRule(1);
    bool armed = true; // one Stop per transfer
    connect(&report, &StatusReport::changed, this, [&] {
        if (armed && report.fileDone() > 2 * 1024 * 1024) {
            armed = false;
            report.requestStop();
        }
    });
    QVERIFY(rig.selectRemote({ "big.bin" }));
    transfers.DownloadSelection();
    QCOMPARE(readFile(rig.localPath("big.bin")), "the old copy");
    QCOMPARE(entriesBelow(rig.local.path()), QStringList({ "big.bin", "up.bin" }));
    QCOMPARE(rig.remoteMarks(), "big.bin=leaf3*");
    QCOMPARE(report.FileCount, 0);

    // Inside an upload too: no failure entry, no message, and the connection goes on.
    QVERIFY(rig.selectLocal({ "up.bin" }));
    armed = true;
    transfers.UploadFiles();
    QCOMPARE(rig.localIcon("up.bin"), IconKeys::Leaf3);
    QCOMPARE(rig.statusTexts().mid(4), QStringList({ "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:big.bin", "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:up.bin" }));
    QVERIFY(!rig.logText().contains("失敗") && rig.dialogs.asked.isEmpty() && !rig.ws->state().StopRequested);
    QCOMPARE(rig.serverFolder(), "/");

    // The piece left on the server is newer than the local file, yet the next update run sends
    // the file again.
    QVERIFY(QFileInfo(server.root() + "/up.bin").size() > 0);
    QVERIFY(writeFile(rig.localPath("up.bin"), "whole", at(2020, 1, 1)));
    transfers.setTransferRule(0);
    rig.showRemote(rig.remote().hostName());
    rig.showLocal();
    QVERIFY(rig.selectLocal({ "up.bin" }));
    transfers.UploadFiles();
    QCOMPARE(readFile(server.root() + "/up.bin"), "whole");
    QCOMPARE(rig.localIcon("up.bin"), IconKeys::Leaf2);
}

void TestTransfersFaults::stopBetweenFiles()
{
    FtpServerFixture server;
    QVERIFY(startServer(server));
    QVERIFY(makeEntries(server.root(), { "f1.txt", "f2.txt", "f3.txt", "dir/d.txt", "tree/t1.txt", "tree/t2.txt" }));
    WorkspaceRig rig;
    QVERIFY(makeEntries(rig.local.path(), { "u1.txt", "u2.txt", "ufolder/u3.txt" }));
    QVERIFY(rig.connect(server));
    Transfers& transfers = rig.ws->transfers();
    connect(&rig.ws->statusLines(), &StatusLines::lineAdded, this, [&] {
        if (rig.ws->statusLines().lastLine().contains(QRegularExpression("(ﾀﾞｳﾝﾛｰﾄﾞﾞ|ｱｯﾌﾟﾛｰﾄﾞ):")))
            rig.ws->statusReport().requestStop();
    });

    // The file pass ends after the file in progress; the selected folder still comes.
    QVERIFY(rig.selectRemote({ "f1.txt", "f2.txt", "f3.txt", "dir" }));
    transfers.DownloadSelection();
    QCOMPARE(rig.remoteMarks(), "dir=closed tree=closed f1.txt=leaf2 f2.txt=leaf* f3.txt=leaf*");
    QCOMPARE(entriesBelow(rig.local.path()).filter("txt"),
        QStringList({ "dir/d.txt", "f1.txt", "u1.txt", "u2.txt", "ufolder/u3.txt" }));
    // A folder download looks at Stop too.
    transfers.DownloadTree("tree");
    QCOMPARE(entriesBelow(rig.localPath("tree")).size(), 1);
    QCOMPARE(rig.ws->statusReport().FileCount, 1);
    // A stop in the upload's file pass skips its folders as well.
    rig.showLocal();
    QVERIFY(rig.selectLocal({ "u1.txt", "u2.txt", "ufolder" }));
    transfers.UploadSelection();
    QCOMPARE(entriesBelow(server.root()).filter("u"), QStringList("u1.txt"));
    QVERIFY(!rig.ws->state().StopRequested);
}

void TestTransfersFaults::droppedConnectionEndsTheRun()
{
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(server.startScenario("drop-mid-download", &error), qPrintable(error));
    WorkspaceRig rig;
    QVERIFY(writeFile(rig.localPath("big.bin"), "the old copy"));
    rig.setProfile(server.hostField(), server.user(), server.password());
    QVERIFY(rig.connectProfile());
    rig.ws->transfers().setTransferRule(1);
    QVERIFY(rig.selectRemote({ "big.bin", "hello.txt", "pub" }));
    rig.ws->statusLines().setStringList({});

    rig.ws->transfers().DownloadSelection();

    QCOMPARE(entriesBelow(rig.local.path()), QStringList("big.bin"));
    QCOMPARE(readFile(rig.localPath("big.bin")), "the old copy");
    // The lost connection ends the run: the other file and the folder are not tried one by one
    // (each would fail again, the folder walk with a message box).
    QCOMPARE(rig.remoteMarks(), "pub=closed* big.bin=leaf3* hello.txt=leaf*");
    const QStringList texts = rig.statusTexts();
    QVERIFY2(texts.size() >= 2 && texts.first().startsWith("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:big.bin"), qPrintable(texts.join(u'|')));
    QCOMPARE(texts.value(1), "FTPサーバーとの接続が切れたため、転送を中止しました。");
    QCOMPARE(texts.filter("ﾛｰﾄﾞ").size(), 1);
    QVERIFY2(rig.dialogs.asked.isEmpty(), qPrintable(rig.dialogs.texts().join(u'|')));
    QCOMPARE(rig.ws->statusReport().FileCount + rig.logCount("ダウンロード>"), 0);

    // The second file of a folder upload loses the connection: one file sent, one failed and
    // logged once, no retry and no message box for each of the rest.
    ScriptedFtpServer upload;
    WorkspaceRig up;
    QVERIFY(makeEntries(up.local.path(), { "site/a.html", "site/b.html", "site/c.html", "site/d.html" }));
    QVERIFY(up.connect(upload, "on STOR 2\n  reset\nend\n"));
    up.ws->transfers().setTransferRule(1);
    QVERIFY(up.selectLocal({ "site" }));
    up.ws->transfers().UploadSelection();
    QCOMPARE(countCommands(upload.commands(), { "STOR" }), 2);
    QCOMPARE(up.logCount("<ファイル書込失敗>"), 1);
    QVERIFY(up.statusTexts().contains("FTPサーバーとの接続が切れたため、転送を中止しました。"));
    QVERIFY2(up.dialogs.asked.isEmpty(), qPrintable(up.dialogs.texts().join(u'|')));
}

void TestTransfersFaults::announcedSizeWins()
{
    // The server ends the data early and still says 226: with the listing's size the engine asks
    // no SIZE and yet sees the short file.
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(server.startScenario("short-download", &error), qPrintable(error));
    WorkspaceRig rig;
    rig.setProfile(server.hostField(), server.user(), server.password());
    QVERIFY(rig.connectProfile());
    QVERIFY(writeFile(rig.localPath("big.bin"), "the old copy"));
    FtpConnection* c = rig.connection();
    c->setExpectedSize(1048576);
    QVERIFY(!c->getFile("big.bin", rig.localPath("big.bin"), false, TransferType::Binary));
    QCOMPARE(c->lastError(), FtpError::FtpDropped);
    QCOMPARE(readFile(rig.localPath("big.bin")), "the old copy");
    QCOMPARE(countCommands(server.commands(), { "SIZE" }), 0);

    // A file that shrank since the listing, as the server says when it sends it, is whole.
    ScriptedFtpServer shrunk;
    WorkspaceRig again;
    QVERIFY(again.connect(shrunk,
        "file /big.bin 300000\non RETR\n  reply 150 Opening BINARY mode data connection for big.bin (300000 "
        "bytes).\n  data-file\n  data-close\n  reply 226 Transfer complete.\nend\n"));
    again.connection()->setExpectedSize(1048576);
    QVERIFY(again.connection()->getFile("big.bin", again.localPath("big.bin"), false, TransferType::Binary));
    QCOMPARE(QFileInfo(again.localPath("big.bin")).size(), 300000);
}

void TestTransfersFaults::refusedUploadEndsTheFilePass()
{
    FtpServerFixture server;
    QVERIFY(startServer(server));
    QVERIFY(QDir().mkpath(server.root() + "/clash.txt")); // STOR onto a folder fails
    WorkspaceRig rig;
    QVERIFY(makeEntries(rig.local.path(), { "a.txt", "clash.txt", "z.txt", "f/in.txt" }));
    QVERIFY(rig.connect(server));
    rig.ws->transfers().setTransferRule(1);
    QVERIFY(rig.selectLocal({ "a.txt", "clash.txt", "z.txt", "f" }));

    rig.ws->transfers().UploadSelection();

    // The files after the refused one stay; the folders selected as well are still sent.
    QCOMPARE(entriesBelow(server.root()), QStringList({ "a.txt", "clash.txt/", "f/", "f/in.txt" }));
    QVERIFY(rig.statusTexts().contains("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ失敗ﾞ:clash.txt"));
    QVERIFY(rig.logEntries().contains(
        "<ファイル書込失敗>2024-03-15 09:05:03 clash.txt→clash.txt</ファイルアップロード失敗>"));
    QCOMPARE(rig.dialogs.asked.size(), 1);
    QVERIFY2(rig.dialogs.texts().first().startsWith("WinInet エラー -12003"), qPrintable(rig.dialogs.texts().first()));
}

void TestTransfersFaults::hostileNames()
{
    ScriptedFtpServer server;
    WorkspaceRig rig;
    QVERIFY(rig.connect(server, uR"(file /ok.txt text ok
file /a\\b.txt text evil
dir /site
file /site/good.txt text good
file /site/x\\y.txt text evil
list / -rw-r--r-- 1 u g 2 Mar 10  2024 ok.txt\r\n-rw-r--r-- 1 u g 4 Mar 10  2024 a\\b.txt\r\n-rw-r--r-- 1 u g 4 Mar 10  2024 ..\r\n-rw-r--r-- 1 u g 4 Mar 10  2024 ../evil.txt\r\ndrwxr-xr-x 2 u g 0 Mar 10  2024 site\r\n
)"_qs));
    QVERIFY2(rig.remoteNames().contains("a\\b.txt"), qPrintable(rig.remoteNames().join(u'|')));
    QVERIFY(rig.selectRemote(rig.remoteNames()));

    rig.ws->transfers().DownloadSelection();

    // Only the plain names arrive, each inside the local folder.
    QCOMPARE(entriesBelow(rig.local.path()), QStringList({ "ok.txt", "site/", "site/good.txt" }));
    QVERIFY(!QFile::exists(rig.local.path() + "/../evil.txt"));
    QVERIFY(rig.statusTexts().contains("不正な名前のため飛ばしました:a\\b.txt"));
    QVERIFY(rig.statusTexts().contains("不正な名前のため飛ばしました:/site/x\\y.txt"));
    const QStringList retrieved = server.commands().filter("RETR");
    QVERIFY2(retrieved.filter(QRegularExpression(R"(\\|\.\./|\.\.$)")).isEmpty(), qPrintable(retrieved.join(u'|')));
    QVERIFY(retrieved.contains("RETR /ok.txt") && retrieved.contains("RETR /site/good.txt"));
}

void TestTransfersFaults::secondRunIsRefused()
{
    FtpServerFixture server;
    QVERIFY(startServer(server));
    QVERIFY(makeEntries(server.root(), { "one.txt", "two.txt" }));
    WorkspaceRig rig;
    QVERIFY(makeEntries(rig.local.path(), { "mine.txt" }));
    QVERIFY(rig.connect(server));
    Transfers& transfers = rig.ws->transfers();
    QVERIFY(rig.selectLocal({ "mine.txt" }) && rig.selectRemote({ "one.txt", "two.txt" }));
    bool startedAgain = false;
    connect(&rig.ws->statusLines(), &StatusLines::lineAdded, this, [&] {
        if (!startedAgain && rig.ws->statusLines().lastLine().contains("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:")) {
            startedAgain = true;
            transfers.UploadSelection();
            transfers.downloadTree("x", "/", rig.local.path());
        }
    });
    transfers.DownloadSelection();
    QVERIFY(startedAgain && !transfers.isRunning());
    QCOMPARE(rig.statusTexts().count("転送中のため、新しい転送は始めません。"), 2);
    QCOMPARE(entriesBelow(server.root()), QStringList({ "one.txt", "two.txt" }));
    QVERIFY(QFile::exists(rig.localPath("two.txt")));

    // Without a connection nothing starts.
    rig.remote().DisconnectServer();
    rig.ws->statusLines().setStringList({});
    QVERIFY(rig.selectLocal({ "mine.txt" }));
    transfers.UploadSelection();
    transfers.DownloadSelection();
    QCOMPARE(rig.statusTexts(), QStringList(2, "FTPサーバーに接続していないため、転送できません。"));
    QVERIFY(!rig.ws->statusReport().isShown());
}

// The files still come from, and go to, the server folder the run was given.
void TestTransfersFaults::movingThePaneDuringARun()
{
    FtpServerFixture server;
    QVERIFY(startServer(server));
    QVERIFY(makeEntries(server.root(), { "one.txt", "two.txt", "other/two.txt" }));
    WorkspaceRig rig;
    QVERIFY(makeEntries(rig.local.path(), { "up1.txt", "up2.txt" }));
    QVERIFY(rig.connect(server));
    int moves = 0;
    connect(&rig.ws->statusLines(), &StatusLines::lineAdded, this, [&] {
        if (rig.ws->statusLines().lastLine().contains(QRegularExpression("ﾌｧｲﾙ(ﾀﾞｳﾝﾛｰﾄﾞﾞ|ｱｯﾌﾟﾛｰﾄﾞ):(one|up1)")))
            moves += rig.remote().ChangeFtpFolder("/other");
    });
    Transfers& transfers = rig.ws->transfers();
    transfers.downloadFiles({ "one.txt", "two.txt" }, "/", rig.local.path());
    QCOMPARE(readFile(rig.localPath("two.txt")), "two.txt");
    QVERIFY(rig.connection()->setCurrentDirectory("/"));
    transfers.uploadFiles({ "up1.txt", "up2.txt" }, rig.local.path(), "/");
    QCOMPARE(moves, 2);
    QCOMPARE(entriesBelow(server.root()).filter("up"), QStringList({ "up1.txt", "up2.txt" }));
}

void TestTransfersFaults::treePassesListEachFolderOnce()
{
    ScriptedFtpServer server;
    WorkspaceRig rig;
    QVERIFY(rig.connect(server,
        "dir /site\ndir /site/a\ndir /site/b\nfile /site/1.txt text 1\nfile /site/2.txt text 2\n"
        "file /site/a/3.txt text 3\nfile /site/a/4.txt text 4\nfile /site/b/5.txt text 5\n"));
    const QStringList listings { "LIST", "MLSD", "NLST", "MDTM", "MLST" };
    Transfers& transfers = rig.ws->transfers();

    qsizetype before = server.commands().size();
    transfers.downloadTree("site", "/", rig.local.path());
    QStringList sent = server.commands().mid(before);
    QCOMPARE(entriesBelow(rig.localPath("site")).size(), 7);
    // One listing per folder from the walk, none per file, and no SIZE: the walk gave the sizes.
    QCOMPARE(countCommands(sent, listings), 3);
    QCOMPARE(countCommands(sent, { "RETR" }), 5);
    QCOMPARE(countCommands(sent, { "SIZE" }), 0);

    QVERIFY(makeEntries(
        rig.local.path(), { "up/1.txt", "up/2.txt", "up/3.txt", "up/x/4.txt", "up/x/5.txt", "up/x/6.txt" }));
    before = server.commands().size();
    transfers.uploadTrees({ "up" }, rig.local.path(), "/");
    sent = server.commands().mid(before);
    QCOMPARE(countCommands(sent, { "STOR" }), 6);
    // At most one listing per server folder, and one for the list afterwards.
    QVERIFY2(countCommands(sent, listings) <= 2 + 1, qPrintable(sent.join(u'|')));
}

QTEST_GUILESS_MAIN(TestTransfersFaults)
#include "tst_transfers_faults.moc"
