// Downloads and uploads between the panes against pyftpdlib and vsftpd: "更新" and "上書", the
// never-send list and the name case, folder trees with their counts, marks, log entries and status
// lines, the EUC-JP conversion; and what goes wrong: Stop inside a file, a dropped
// connection, a refused upload, hostile names, a second run, and the listings a tree pass asks.
#include "core/app/statusreport.h"
#include "core/settings/options.h"
#include "core/transfer/transfers.h"
#include "workspacerig.h"

#include <QRegularExpression>

namespace {

int countCommands(const QStringList& commands, const QStringList& verbs)
{
    int n = 0;
    for (const QString& c : commands)
        n += verbs.contains(c.section(u' ', 0, 0));
    return n;
}

const QString Dropped = "FTPサーバーとの接続が切れたため、転送を中止しました。";

} // namespace

class TestTransfers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filesBothWays_data()
    {
        // rule: 0 "更新", 1 "上書"; nameCase of uploads: 0 as is, 1 lower, 2 upper.
        TextTable::rows({ "server", "rule", "nameCase" }, R"(
pyftpdlib 更新 | pyftpdlib | 0 | 0
pyftpdlib 上書, lower case | pyftpdlib | 1 | 1
vsftpd 更新, upper case | vsftpd | 0 | 2
)");
    }
    void filesBothWays()
    {
        auto [server, rule, nameCase] = fetch("server", "rule", "nameCase");
        const bool overwrite = rule == u"1";
        FtpServerFixture s(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        QVERIFY(startServer(s));
        for (const char* name :
            { "new.txt", "localnewer.txt", "localolder.txt", "sameday.txt", "done.txt", "old.txt", "newer.txt" })
            QVERIFY(writeFile(s.root() + u'/' + name, "server\n", at(2024, 3, 10)));
        QVERIFY(writeFile(s.root() + "/pic.bin", QByteArray("\x00\x01\r\n\xFF\n", 6)));
        QVERIFY(QDir().mkpath(s.root() + "/folder"));
        WorkspaceRig rig;
        QVERIFY(writeFile(rig.localPath("localnewer.txt"), "local\n", at(2024, 3, 12)));
        QVERIFY(writeFile(rig.localPath("localolder.txt"), "local\n", at(2024, 3, 1)));
        QVERIFY(writeFile(rig.localPath("sameday.txt"), "local\n", at(2024, 3, 10, 9, 5)));
        QVERIFY(writeFile(rig.localPath("old.txt"), "local\n", at(2024, 3, 1)));
        QVERIFY(writeFile(rig.localPath("newer.txt"), "local\n", at(2024, 3, 10, 9, 5)));
        QVERIFY(makeEntries(rig.local.path(), { "Mixed.HTML", "x.bak", "Y.BAK" }));
        // A recent stamp the FTP list shows with its time, the year taken from the rig's clock: the
        // same text on both sides is not newer.
        const QDateTime recent(QDate::currentDate().addDays(-1), QTime(10, 0));
        QDate shown(2024, recent.date().month(), recent.date().day());
        QVERIFY(writeFile(s.root() + "/equal.txt", "server\n", recent)
            && writeFile(rig.localPath("equal.txt"), "local\n",
                QDateTime(shown > QDate(2024, 3, 16) ? shown.addYears(-1) : shown, QTime(10, 0))));
        rig.ws->options().setUploadNameCase(nameCase.toInt());
        QVERIFY(rig.connect(s));
        Transfers& transfers = rig.ws->transfers();
        StatusReport& report = rig.ws->statusReport();
        transfers.setTransferRule(rule.toInt());
        rig.ws->statusLines().setStringList({});
        const qsizetype logged = rig.logEntries().size();

        QVERIFY(
            rig.selectRemote({ "new.txt", "localnewer.txt", "localolder.txt", "sameday.txt", "pic.bin", "done.txt" }));
        // A row an earlier download of this listing has marked is not fetched again.
        rig.remote().fileList()->setData(
            rig.remote().fileList()->index(rig.remoteRow("done.txt"), 0), IconKeys::Leaf2, ItemRoles::IconKeyRole);
        transfers.DownloadSelection();

        // The server's list shows no time for an older file: the same day with a time is newer.
        const QStringList fetched = QString(
            overwrite ? "localnewer.txt localolder.txt new.txt pic.bin sameday.txt" : "localolder.txt new.txt pic.bin")
                                        .split(u' ');
        QStringList lines, entries;
        for (const QString& name : fetched) {
            QCOMPARE(readFile(rig.localPath(name)), readFile(s.root() + u'/' + name));
            lines << "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:" + name + "→" + name;
            entries << "<ファイルﾀﾞダウンロード>2024-03-15 09:05:03 " + name + "→" + name + "</ファイルﾀﾞダウンロード>";
        }
        QCOMPARE(rig.statusTexts(), lines);
        QCOMPARE(rig.logEntries().mid(logged), entries);
        QCOMPARE(rig.remoteMarks(),
            QString("folder=closed done.txt=leaf2* equal.txt=leaf localnewer.txt=%1 localolder.txt=leaf2 new.txt=leaf2 "
                    "newer.txt=leaf old.txt=leaf pic.bin=leaf2 sameday.txt=%1")
                .arg(overwrite ? "leaf2" : "leaf3*"));
        QCOMPARE(readFile(rig.localPath("sameday.txt")), overwrite ? "server\n" : "local\n");
        // The local pane shows what arrived; the run ends with the counts at 0 and the window hidden.
        QVERIFY(rig.localRow("new.txt") >= 0 && !report.isShown() && !transfers.isRunning());
        QCOMPARE(report.runDone() * 10 + report.runTotal(), 55);

        QVERIFY(rig.selectLocal({ "Mixed.HTML", "old.txt", "newer.txt", "x.bak", "Y.BAK", "equal.txt" }));
        transfers.UploadFiles();

        // The never-send list compares with case: x.bak stays where it is, unmarked.
        const QStringList sent
            = QString(overwrite ? "equal.txt Mixed.HTML newer.txt old.txt Y.BAK" : "Mixed.HTML newer.txt Y.BAK")
                  .split(u' ');
        lines.clear();
        entries.clear();
        for (const QString& name : sent) {
            const QString onServer = nameCase == u"1" ? name.toLower() : nameCase == u"2" ? name.toUpper() : name;
            QCOMPARE(readFile(s.root() + u'/' + onServer), readFile(rig.localPath(name)));
            QCOMPARE(rig.localIcon(name), IconKeys::Leaf2);
            lines << "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + name;
            entries << "<ファイルアップロード>2024-03-15 09:05:03 " + name + "→" + name + (overwrite ? " " : "")
                    + "</ファイルアップロード>";
        }
        QCOMPARE(rig.statusTexts().mid(fetched.size()).join(u'|'), lines.join(u'|'));
        QCOMPARE(rig.logEntries().mid(logged + fetched.size()), entries);
        QCOMPARE(QList<int>({ report.FileCount, report.FileTotal }), QList<int>(2, int(lines.size())));
        QCOMPARE(rig.localIcon("old.txt") + rig.localIcon("equal.txt") + rig.localIcon("x.bak"),
            overwrite ? "leaf2leaf2leaf" : "leaf3leaf3leaf");
        QCOMPARE(readFile(s.root() + "/old.txt"), overwrite ? "local\n" : "server\n");
        transfers.uploadFiles({ "x.bak" }, rig.local.path(), "/"); // named by the caller, still never sent
        QCOMPARE(entriesBelow(s.root()).filter(".bak", Qt::CaseInsensitive).size(), 1);
    }

    void treesBothWays_data()
    {
        TextTable::rows({ "server", "rule", "folder" }, R"(
vsftpd 上書 | vsftpd | 1 |
pyftpdlib 更新, in a folder | pyftpdlib | 0 | /up
)");
    }
    void treesBothWays()
    {
        auto [server, rule, folder] = fetch("server", "rule", "folder");
        const bool overwrite = rule == u"1";
        FtpServerFixture s(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        QVERIFY(startServer(s));
        const QString remote = s.root() + folder;
        QVERIFY(makeEntries(remote, { "site/a.txt", "site/sub/b.html", "other.txt" }));
        QVERIFY(writeFile(remote + "/site/keep.txt", "server\n", at(2024, 3, 10)));
        QVERIFY(writeFile(remote + "/site/sub/deep/c.bin", QByteArray("\r\n\x00", 3), at(2024, 3, 10)));
        QVERIFY(writeFile(remote + "/web/a.txt", "server\n", at(2024, 3, 12)));
        WorkspaceRig rig;
        // The local copy of keep.txt is newer.
        QVERIFY(writeFile(rig.localPath("site/keep.txt"), "local\n", QDateTime::currentDateTime().addSecs(60)));
        QVERIFY(writeFile(rig.localPath("web/a.txt"), "local a\n", at(2024, 3, 1)));
        QVERIFY(makeEntries(rig.local.path(), { "web/sub/b.html", "web/sub/x.bak", "web/sub/deep/c.bin", "top.txt" }));
        QVERIFY(rig.connect(s));
        if (!folder.isEmpty())
            rig.showRemote(folder);
        Transfers& transfers = rig.ws->transfers();
        StatusReport& report = rig.ws->statusReport();
        transfers.setTransferRule(rule.toInt());
        const QString local = QDir(rig.local.path()).canonicalPath();

        // A folder comes in the "更新" sense whatever the rule, and without a SIZE before each file.
        QVERIFY(rig.selectRemote({ "site" }));
        transfers.DownloadSelection();
        QCOMPARE(entriesBelow(rig.local.path()).filter("site").join(u' '),
            "site/ site/a.txt site/keep.txt site/sub/ site/sub/b.html site/sub/deep/ site/sub/deep/c.bin");
        QCOMPARE(readFile(rig.localPath("site/sub/deep/c.bin")) + readFile(rig.localPath("site/keep.txt")),
            QByteArray("\r\n\x00local\n", 9));
        const QStringList ftpMarks = treeMarks(rig.remote().folderTree());
        for (const char* mark : { "/site/a.txt=leaf2", "/site/keep.txt=leaf", "/site/sub=closed" })
            QVERIFY2(ftpMarks.contains(folder + mark), qPrintable(ftpMarks.join(u' ')));
        QVERIFY(rig.logEntries().contains("<ファイルダウンロード>2024-03-15 09:05:03 " + folder + "/site/sub/b.html→"
            + local + "/site/sub/b.html</ファイルダウンロード>"));
        QVERIFY(!rig.remoteMarks().contains(u'*') && s.logText().contains("RETR " + folder + "/site/sub/deep/c.bin"));
        QVERIFY(!s.logText().contains("SIZE " + folder + "/site"));
        QCOMPARE(report.runDone() * 10 + report.runTotal(), 44);
        // Again: nothing is newer on the server now.
        transfers.DownloadTree("site");
        QCOMPARE(QList<int>({ report.FileCount, report.FolderCount, rig.logCount("<ファイルダウンロード>") }),
            QList<int>({ 0, 0, 3 }));

        rig.showLocal();
        QVERIFY(rig.selectLocal({ "web", "top.txt" }));
        bool watchPaused = true;
        connect(&rig.ws->statusLines(), &StatusLines::lineAdded, this,
            [&] { watchPaused &= !rig.ws->connectionWatch().isActive(); });
        const qsizetype logged = rig.logEntries().size();
        transfers.UploadSelection();

        QVERIFY(watchPaused && rig.ws->connectionWatch().isActive());
        QCOMPARE(entriesBelow(remote + "/web").join(u' '), "a.txt sub/ sub/b.html sub/deep/ sub/deep/c.bin");
        QCOMPARE(
            readFile(remote + "/web/a.txt") + readFile(remote + "/web/sub/deep/c.bin") + readFile(remote + "/top.txt"),
            (overwrite ? "local a\n" : "server\n") + QByteArray("web/sub/deep/c.bintop.txt"));
        QStringList entries { "<ファイルアップロード>2024-03-15 09:05:03 top.txt→top.txt"
                + QString(overwrite ? " " : "") + "</ファイルアップロード>",
            "<フォルダ作成>2024-03-15 09:05:03 web/sub </フォルダ作成>",
            "<フォルダ作成>2024-03-15 09:05:03 web/sub/deep </フォルダ作成>" };
        const QString shown = rig.localPane().folderText().trimmed();
        for (const char* file : { "web/a.txt", "web/sub/b.html", "web/sub/deep/c.bin" })
            if (overwrite || QByteArray(file) != "web/a.txt")
                entries << "<ファイル書込>2024-03-15 09:05:03 " + shown + u'/' + file + "→" + file + " </ファイル書込>";
        QCOMPARE(rig.logEntries().mid(logged), entries);
        QVERIFY(rig.statusTexts().contains("フォルダー作成:web/sub/deep"));
        // The local list is listed again and keeps the run's marks; so does the local tree.
        QCOMPARE(rig.localIcon("top.txt"), IconKeys::Leaf2);
        QCOMPARE(QList<int>({ report.FolderCount, report.FileTotal, report.FileCount }),
            QList<int>({ 2, 5, int(entries.size()) - 2 }));
        QVERIFY(treeMarks(rig.localPane().folderTree())
                    .contains(shown + (overwrite ? "/web/a.txt=leaf2" : "/web/a.txt=leaf3")));
        QVERIFY(!report.isShown() && rig.remoteRow("top.txt") >= 0);
    }

    void conversionAndTextUpdate()
    {
        // "日本語" and half-width "ｱ" on two lines.
        const QByteArray euc("\xC6\xFC\xCB\xDC\xB8\xEC\n\x8E\xB1\n");
        const QByteArray sjis("\x93\xFA\x96\x7B\x8C\xEA\r\n\xB1\r\n");
        FtpServerFixture server;
        QVERIFY(startServer(server) && writeFile(server.root() + "/euc.html", euc));
        WorkspaceRig rig;
        QVERIFY(writeFile(rig.localPath("sjis.html"), sjis) && rig.connect(server));
        Transfers& transfers = rig.ws->transfers();
        Options& options = rig.ws->options();
        FtpConnection* c = rig.connection();
        // Switched on, an ASCII download comes as CP932 with CR LF, an upload goes as EUC-JP with
        // LF; binary transfers stay as they are.
        options.setCodeConversion(1, true);
        options.setCodeConversion(0, true);
        QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("1"), false, TransferType::Ascii));
        QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("2"), false, TransferType::Binary));
        QVERIFY(transfers.FtpPutFileConv(c, rig.localPath("sjis.html"), "1.html", TransferType::Ascii));
        QCOMPARE(readFile(rig.localPath("1")) + readFile(rig.localPath("2")) + readFile(server.root() + "/1.html"),
            sjis + euc + euc);
        QVERIFY(!QFile::exists(DataFolder::file("TempPut.$$$")));

        // The text view's contents go up through "$1$.txt", in ASCII: the server keeps its own line ends.
        options.setCodeConversion(0, false);
        transfers.UpdateRemoteFile("一行目\n二行目", "page.html");
        QCOMPARE(readFile(server.root() + "/page.html"), Cp932::encode(u"一行目\n二行目"));
        const QString text = DataFolder::file("$1$.txt");
        QVERIFY(!QFile::exists(text));
        QCOMPARE(rig.logEntries().last(), "<ファイル更新>2024-03-15 09:05:03 " + text + "→" + text + "</ファイル書込>");
        QCOMPARE(rig.statusTexts().last(), "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + text);
    }

    void stopInsideFile()
    {
        FtpServerFixture server;
        QVERIFY(startServer(server));
        QFile big(server.root() + "/big.bin"), up;
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(1) << 30));
        WorkspaceRig rig;
        QVERIFY(writeFile(rig.localPath("big.bin"), "the old copy"));
        up.setFileName(rig.localPath("up.bin"));
        QVERIFY(up.open(QIODevice::WriteOnly) && up.resize(qint64(1) << 30) && rig.connect(server));
        Transfers& transfers = rig.ws->transfers();
        StatusReport& report = rig.ws->statusReport();
        transfers.setTransferRule(1);
        bool armed = true; // one Stop per transfer
        connect(&report, &StatusReport::changed, this, [&] {
            if (armed && report.fileDone() > 2 * 1024 * 1024)
                armed = false, report.requestStop();
        });
        QVERIFY(rig.selectRemote({ "big.bin" }));
        transfers.DownloadSelection();
        QCOMPARE(readFile(rig.localPath("big.bin")), "the old copy");
        QCOMPARE(entriesBelow(rig.local.path()), QStringList({ "big.bin", "up.bin" }));
        QVERIFY(rig.remoteMarks() == "big.bin=leaf3*" && report.FileCount == 0);

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
        QCOMPARE(readFile(server.root() + "/up.bin") + rig.localIcon("up.bin"), "wholeleaf2");
    }

    void droppedConnectionEndsTheRun()
    {
        ScriptedFtpServer server;
        WorkspaceRig rig;
        QVERIFY(writeFile(rig.localPath("big.bin"), "the old copy") && rig.connect(server, "drop-mid-download"));
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
        QVERIFY2(texts.value(0).startsWith("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:big.bin") && texts.value(1) == Dropped
                && texts.filter("ﾛｰﾄﾞ").size() == 1,
            qPrintable(texts.join(u'|')));
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
        QVERIFY(countCommands(upload.commands(), { "STOR" }) == 2 && up.logCount("<ファイル書込失敗>") == 1);
        QVERIFY(up.statusTexts().contains(Dropped));
        QVERIFY2(up.dialogs.asked.isEmpty(), qPrintable(up.dialogs.texts().join(u'|')));
    }

    void hostileNames()
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
        // Names with a path, as a companion may give them, are no names either.
        rig.ws->transfers().downloadFiles({ "../ok.txt" }, "/", rig.localPath("site"));
        rig.ws->transfers().downloadTree("../site", "/", rig.localPath("site"));

        // Only the plain names arrive, each inside the local folder.
        QCOMPARE(entriesBelow(rig.local.path()), QStringList({ "ok.txt", "site/", "site/good.txt" }));
        QVERIFY(!QFile::exists(rig.local.path() + "/../evil.txt"));
        QCOMPARE(rig.statusTexts().filter("不正な名前").join(u'|').remove("不正な名前のため飛ばしました:"),
            "a\\b.txt|/site/x\\y.txt|../ok.txt|../site");
        const QStringList retrieved = server.commands().filter("RETR");
        QVERIFY2(retrieved.filter(QRegularExpression(R"(\\|\.\./|\.\.$)")).isEmpty(), qPrintable(retrieved.join(u'|')));
        QVERIFY(retrieved.contains("RETR /ok.txt") && retrieved.contains("RETR /site/good.txt"));
    }

    void secondRunIsRefused()
    {
        FtpServerFixture server;
        WorkspaceRig rig;
        QVERIFY(rig.connectWith(server, { "one.txt", "two.txt" }, { "mine.txt" }));
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
        QVERIFY(startedAgain && !transfers.isRunning() && QFile::exists(rig.localPath("two.txt")));
        QCOMPARE(rig.statusTexts().count("転送中のため、新しい転送は始めません。"), 2);
        QCOMPARE(entriesBelow(server.root()), QStringList({ "one.txt", "two.txt" }));

        // Without a connection nothing starts.
        rig.remote().DisconnectServer();
        QVERIFY(rig.selectLocal({ "mine.txt" }));
        transfers.UploadSelection();
        QCOMPARE(rig.statusTexts().last(), "FTPサーバーに接続していないため、転送できません。");
    }

    void treeUploadListsEachFolderOnce()
    {
        ScriptedFtpServer server;
        WorkspaceRig rig;
        QVERIFY(makeEntries(
                    rig.local.path(), { "up/1.txt", "up/2.txt", "up/3.txt", "up/x/4.txt", "up/x/5.txt", "up/x/6.txt" })
            && rig.connect(server, "dir /pub\n"));
        const qsizetype before = server.commands().size();
        rig.ws->transfers().uploadTrees({ "up" }, rig.local.path(), "/");
        const QStringList sent = server.commands().mid(before);
        QCOMPARE(countCommands(sent, { "STOR" }), 6);
        // At most one listing per server folder, and one for the list afterwards.
        QVERIFY2(countCommands(sent, { "LIST", "MLSD", "NLST", "MDTM", "MLST" }) <= 2 + 1, qPrintable(sent.join(u'|')));
    }
};

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
