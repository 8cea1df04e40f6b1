// Downloads and uploads between the panes against pyftpdlib and vsftpd: "更新" and "上書", the
// never-send list and the name case, folder trees with their counts, marks, log entries and status
// lines, the EUC-JP conversion, the time stamps; and what goes wrong: Stop inside a file and
// between files, a dropped connection, a refused upload, a short download, hostile names, a second
// run, the FTP pane moved during a run, and the listings a tree pass asks.
#include "core/app/statusreport.h"
#include "core/ftp/ftperrors.h"
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
vsftpd 上書 | vsftpd | 1 | 0
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
            overwrite ? "folder=closed done.txt=leaf2* equal.txt=leaf localnewer.txt=leaf2 localolder.txt=leaf2 "
                        "new.txt=leaf2 "
                        "newer.txt=leaf old.txt=leaf pic.bin=leaf2 sameday.txt=leaf2"
                      : "folder=closed done.txt=leaf2* equal.txt=leaf localnewer.txt=leaf3* localolder.txt=leaf2 "
                        "new.txt=leaf2 "
                        "newer.txt=leaf old.txt=leaf pic.bin=leaf2 sameday.txt=leaf3*");
        QCOMPARE(readFile(rig.localPath("sameday.txt")), overwrite ? "server\n" : "local\n");
        // The local pane shows what arrived; the run ends with the counts at 0 and the window hidden.
        QVERIFY(rig.localRow("new.txt") >= 0 && !report.isShown() && !transfers.isRunning());
        QCOMPARE(report.statusPanel(0) + report.countsText(), "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了フォルダ数: 0    ファイル数: 0");
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
        QCOMPARE(report.countsText(), "ﾌｫﾙﾀﾞｰ数:0 ﾌｧｲﾙ数: " + QString::number(lines.size() - 1));
        QCOMPARE(rig.localIcon("old.txt") + rig.localIcon("equal.txt") + rig.localIcon("x.bak"),
            overwrite ? "leaf2leaf2leaf" : "leaf3leaf3leaf");
        QCOMPARE(readFile(s.root() + "/old.txt"), overwrite ? "local\n" : "server\n");
        transfers.uploadFiles({ "x.bak" }, rig.local.path(), "/"); // named by the caller, still never sent
        QCOMPARE(entriesBelow(s.root()).filter(".bak", Qt::CaseInsensitive).size(), 1);
    }

    void treesBothWays_data()
    {
        TextTable::rows({ "server", "rule", "folder" }, R"(
pyftpdlib 更新 | pyftpdlib | 0 |
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
        QCOMPARE(rig.logCount("<ファイルダウンロード>"), 3);
        QVERIFY(rig.statusTexts().contains("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:" + folder + "/site/a.txt→" + local + "/site/a.txt"));
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
        QVERIFY(rig.statusTexts().contains("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:web/sub/b.html"));
        // The local list is listed again and keeps the run's marks.
        QCOMPARE(rig.localIcon("top.txt"), IconKeys::Leaf2);
        const int sent = int(entries.size()) - 3;
        QCOMPARE(
            QList<int>({ report.FolderCount, report.FileTotal, report.FileCount }), QList<int>({ 2, 5, 1 + sent }));
        QCOMPARE(report.countsText(), QStringLiteral("ﾌｫﾙﾀﾞｰ数:2 ﾌｧｲﾙ数: %1/5").arg(sent));
        const QStringList localMarks = treeMarks(rig.localPane().folderTree());
        for (const char* mark :
            { overwrite ? "/web/a.txt=leaf2" : "/web/a.txt=leaf3", "/web/sub/x.bak=leaf", "/web/sub/deep/c.bin=leaf2" })
            QVERIFY2(localMarks.contains(shown + mark), qPrintable(localMarks.join(u' ')));
        QCOMPARE(report.statusPanel(0), "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了");
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
        // Down: on, ASCII: CP932 with CR LF; on, binary, or off: unchanged.
        options.setCodeConversion(1, true);
        QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("1"), false, TransferType::Ascii));
        QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("2"), false, TransferType::Binary));
        options.setCodeConversion(1, false);
        QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("3"), false, TransferType::Ascii));
        QCOMPARE(readFile(rig.localPath("1")) + readFile(rig.localPath("2")) + readFile(rig.localPath("3")),
            sjis + euc + euc);
        // Up: on, ASCII: EUC-JP with LF; on, binary: unchanged.
        options.setCodeConversion(0, true);
        QVERIFY(transfers.FtpPutFileConv(c, rig.localPath("sjis.html"), "1.html", TransferType::Ascii));
        QVERIFY(transfers.FtpPutFileConv(c, rig.localPath("sjis.html"), "2.html", TransferType::Binary));
        QCOMPARE(readFile(server.root() + "/1.html") + readFile(server.root() + "/2.html"), euc + sjis);
        QVERIFY(!QFile::exists(DataFolder::file("TempPut.$$$")));
        // An unreadable local file: no transfer, no message.
        QVERIFY(!transfers.FtpPutFileConv(c, rig.localPath("missing.html"), "m.html", TransferType::Ascii));
        QVERIFY(rig.dialogs.asked.isEmpty() && !QFile::exists(server.root() + "/m.html"));

        // The text view's contents go up through "$1$.txt", in ASCII: the server keeps its own line ends.
        options.setCodeConversion(0, false);
        transfers.UpdateRemoteFile("一行目\n二行目", "page.html");
        QCOMPARE(readFile(server.root() + "/page.html"), Cp932::encode(u"一行目\n二行目"));
        const QString text = DataFolder::file("$1$.txt");
        QVERIFY(!QFile::exists(text));
        QCOMPARE(rig.logEntries().last(), "<ファイル更新>2024-03-15 09:05:03 " + text + "→" + text + "</ファイル書込>");
        QCOMPARE(rig.statusTexts().last(), "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + text);
    }

    // A listing without the year for files of the last months: a date of a year ago today or
    // tomorrow means today.
    void stamps()
    {
        struct Case {
            const char* name;
            QDateTime server, local; // invalid: not there
            int compared;
            const char* localText;
        };
        const QList<Case> cases {
            { "year-ago-today.txt", at(2003, 7, 4), at(2004, 7, 4), 5, "2004/07/04 10:00" },
            { "year-ago-tomorrow.txt", at(2003, 7, 5), at(2004, 7, 4), 3, "2004/07/04 10:00" },
            { "server-newer.txt", at(2004, 7, 4), at(2003, 7, 5), 4, "2004/07/04 10:00" },
            { "local-newer.txt", at(2004, 7, 1), at(2004, 7, 4, 10, 1), 3, "2004/07/04 10:01" },
            { "only-local.txt", {}, at(2003, 7, 6), 1, "2003/07/06 10:00" },
            { "only-server.txt", at(2004, 1, 2, 3, 4), {}, 2, "" },
            { "neither.txt", {}, {}, 0, "" },
        };
        FtpServerFixture server;
        QVERIFY(startServer(server));
        WorkspaceRig rig;
        rig.now = at(2004, 7, 4, 12, 0);
        for (const Case& c : cases) {
            QVERIFY(!c.server.isValid() || writeFile(server.root() + "/d/" + c.name, "s", c.server));
            QVERIFY(!c.local.isValid() || writeFile(rig.localPath(c.name), "l", c.local));
        }
        Transfers& transfers = rig.ws->transfers();
        QCOMPARE(transfers.FileStampText(rig.localPath("only-local.txt"), "FTP"), QString()); // not connected
        QVERIFY(rig.connect(server));
        for (const Case& c : cases) {
            QVERIFY2(transfers.CompareTreeStamps(rig.localPath(c.name), QStringLiteral("d/") + c.name) == c.compared,
                c.name);
            QCOMPARE(transfers.FileStampText(rig.localPath(c.name), "DIR"), c.localText);
        }
        QCOMPARE(transfers.FileStampText("/d/only-server.txt", "FTP"), "2004/01/02 03:04");
        // Found from the root when the relative path does not lead to it.
        QVERIFY(rig.connection()->setCurrentDirectory("/d"));
        QCOMPARE(transfers.CompareTreeStamps(rig.localPath("server-newer.txt"), "d/server-newer.txt"), 4);
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

    void stopBetweenFiles()
    {
        FtpServerFixture server;
        WorkspaceRig rig;
        QVERIFY(rig.connectWith(server, { "f1.txt", "f2.txt", "f3.txt", "dir/d.txt", "tree/t1.txt", "tree/t2.txt" },
            { "u1.txt", "u2.txt", "ufolder/u3.txt" }));
        Transfers& transfers = rig.ws->transfers();
        connect(&rig.ws->statusLines(), &StatusLines::lineAdded, this, [&] {
            if (rig.ws->statusLines().lastLine().contains(QRegularExpression("(ﾀﾞｳﾝﾛｰﾄﾞﾞ|ｱｯﾌﾟﾛｰﾄﾞ):")))
                rig.ws->statusReport().requestStop();
        });

        // The file pass ends after the file in progress; the selected folder still comes.
        QVERIFY(rig.selectRemote({ "f1.txt", "f2.txt", "f3.txt", "dir" }));
        transfers.DownloadSelection();
        QCOMPARE(rig.remoteMarks(), "dir=closed tree=closed f1.txt=leaf2 f2.txt=leaf* f3.txt=leaf*");
        QCOMPARE(
            entriesBelow(rig.local.path()).filter("txt").join(u' '), "dir/d.txt f1.txt u1.txt u2.txt ufolder/u3.txt");
        // A folder download looks at Stop too.
        transfers.DownloadTree("tree");
        QVERIFY(entriesBelow(rig.localPath("tree")).size() == 1 && rig.ws->statusReport().FileCount == 1);
        // A stop in the upload's file pass skips its folders as well.
        rig.showLocal();
        QVERIFY(rig.selectLocal({ "u1.txt", "u2.txt", "ufolder" }));
        transfers.UploadSelection();
        QCOMPARE(entriesBelow(server.root()).filter("u"), QStringList("u1.txt"));
        QVERIFY(!rig.ws->state().StopRequested);
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

    void announcedSizeWins()
    {
        // The server ends the data early and still says 226: with the listing's size the engine asks
        // no SIZE and yet sees the short file.
        ScriptedFtpServer server;
        WorkspaceRig rig;
        QVERIFY(rig.connect(server, "short-download") && writeFile(rig.localPath("big.bin"), "the old copy"));
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

    void refusedUploadEndsTheFilePass()
    {
        FtpServerFixture server;
        WorkspaceRig rig; // STOR onto a folder fails
        QVERIFY(rig.connectWith(server, { "clash.txt/" }, { "a.txt", "clash.txt", "z.txt", "f/in.txt" }));
        rig.ws->transfers().setTransferRule(1);
        QVERIFY(rig.selectLocal({ "a.txt", "clash.txt", "z.txt", "f" }));

        rig.ws->transfers().UploadSelection();

        // The files after the refused one stay; the folders selected as well are still sent.
        QCOMPARE(entriesBelow(server.root()), QStringList({ "a.txt", "clash.txt/", "f/", "f/in.txt" }));
        QVERIFY(rig.statusTexts().contains("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ失敗ﾞ:clash.txt"));
        QVERIFY(rig.logEntries().contains(
            "<ファイル書込失敗>2024-03-15 09:05:03 clash.txt→clash.txt</ファイルアップロード失敗>"));
        QVERIFY2(rig.dialogs.asked.size() == 1 && rig.dialogs.texts().first().startsWith("WinInet エラー -12003"),
            qPrintable(rig.dialogs.texts().join(u'|')));
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
        rig.ws->statusLines().setStringList({});
        QVERIFY(rig.selectLocal({ "mine.txt" }));
        transfers.UploadSelection();
        transfers.DownloadSelection();
        QCOMPARE(rig.statusTexts(), QStringList(2, "FTPサーバーに接続していないため、転送できません。"));
        QVERIFY(!rig.ws->statusReport().isShown());
    }

    // The files still come from, and go to, the server folder the run was given.
    void movingThePaneDuringARun()
    {
        FtpServerFixture server;
        WorkspaceRig rig;
        QVERIFY(rig.connectWith(server, { "one.txt", "two.txt", "other/two.txt" }, { "up1.txt", "up2.txt" }));
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

    void treePassesListEachFolderOnce()
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
        QCOMPARE(QList<int>({ countCommands(sent, listings), countCommands(sent, { "RETR" }),
                     countCommands(sent, { "SIZE" }) }),
            QList<int>({ 3, 5, 0 }));

        QVERIFY(makeEntries(
            rig.local.path(), { "up/1.txt", "up/2.txt", "up/3.txt", "up/x/4.txt", "up/x/5.txt", "up/x/6.txt" }));
        before = server.commands().size();
        transfers.uploadTrees({ "up" }, rig.local.path(), "/");
        sent = server.commands().mid(before);
        QCOMPARE(countCommands(sent, { "STOR" }), 6);
        // At most one listing per server folder, and one for the list afterwards.
        QVERIFY2(countCommands(sent, listings) <= 2 + 1, qPrintable(sent.join(u'|')));
    }
};

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
