// Downloads and uploads between the panes against pyftpdlib and vsftpd: selected files under
// "更新" and "上書", the never-send list and the name case, folder trees with their counts, marks,
// log entries and status lines, the EUC-JP conversion of ASCII transfers, and the time stamps.
#include "core/app/statusreport.h"
#include "core/settings/options.h"
#include "core/transfer/transfers.h"
#include "workspacerig.h"

using Kind = FtpServerFixture::Kind;

class TestTransfers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filesBothWays_data();
    void filesBothWays();
    void treesBothWays_data();
    void treesBothWays();
    void conversionAndTextUpdate();
    void stamps();
};

void TestTransfers::filesBothWays_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("rule"); // 0 "更新", 1 "上書"
    QTest::addColumn<int>("nameCase"); // of uploads: 0 as it is, 1 lower, 2 upper
    QTest::addColumn<QString>("fetched");
    QTest::addColumn<QString>("remoteMarks"); // "*": still selected
    QTest::addColumn<QString>("sent");
    // The server's list shows no time for an older file: the same day with a time is newer.
    const QString update = "localolder.txt new.txt pic.bin";
    const QString updateMarks = "folder=closed done.txt=leaf2* localnewer.txt=leaf3* localolder.txt=leaf2 "
                                "new.txt=leaf2 newer.txt=leaf old.txt=leaf pic.bin=leaf2 sameday.txt=leaf3*";
    const QString overwrite = "localnewer.txt localolder.txt new.txt pic.bin sameday.txt";
    const QString overwriteMarks = "folder=closed done.txt=leaf2* localnewer.txt=leaf2 localolder.txt=leaf2 "
                                   "new.txt=leaf2 newer.txt=leaf old.txt=leaf pic.bin=leaf2 sameday.txt=leaf2";
    QTest::newRow("pyftpdlib 更新") << Kind::Pyftpdlib << 0 << 0 << update << updateMarks
                                    << "Mixed.HTML newer.txt Y.BAK";
    QTest::newRow("pyftpdlib 上書, lower case")
        << Kind::Pyftpdlib << 1 << 1 << overwrite << overwriteMarks << "Mixed.HTML newer.txt old.txt Y.BAK";
    QTest::newRow("vsftpd 更新, upper case")
        << Kind::Vsftpd << 0 << 2 << update << updateMarks << "Mixed.HTML newer.txt Y.BAK";
    QTest::newRow("vsftpd 上書") << Kind::Vsftpd << 1 << 0 << overwrite << overwriteMarks
                                 << "Mixed.HTML newer.txt old.txt Y.BAK";
}

void TestTransfers::filesBothWays()
{
    QFETCH(Kind, kind);
    QFETCH(int, rule);
    QFETCH(int, nameCase);
    QFETCH(QString, fetched);
    QFETCH(QString, remoteMarks);
    QFETCH(QString, sent);
    FtpServerFixture server(kind);
    QVERIFY(startServer(server));
    for (const char* name :
        { "new.txt", "localnewer.txt", "localolder.txt", "sameday.txt", "done.txt", "old.txt", "newer.txt" })
        QVERIFY(writeFile(server.root() + u'/' + name, "server\n", at(2024, 3, 10)));
    QVERIFY(writeFile(server.root() + "/pic.bin", QByteArray("\x00\x01\r\n\xFF\n", 6)));
    QVERIFY(QDir().mkpath(server.root() + "/folder"));
    WorkspaceRig rig;
    QVERIFY(writeFile(rig.localPath("localnewer.txt"), "local\n", at(2024, 3, 12)));
    QVERIFY(writeFile(rig.localPath("localolder.txt"), "local\n", at(2024, 3, 1)));
    QVERIFY(writeFile(rig.localPath("sameday.txt"), "local\n", at(2024, 3, 10, 9, 5)));
    QVERIFY(writeFile(rig.localPath("old.txt"), "local\n", at(2024, 3, 1)));
    QVERIFY(writeFile(rig.localPath("newer.txt"), "local\n", at(2024, 3, 10, 9, 5)));
    QVERIFY(makeEntries(rig.local.path(), { "Mixed.HTML", "x.bak", "Y.BAK" }));
    rig.ws->options().setUploadNameCase(nameCase);
    QVERIFY(rig.connect(server));
    Transfers& transfers = rig.ws->transfers();
    StatusReport& report = rig.ws->statusReport();
    transfers.setTransferRule(rule);
    rig.ws->statusLines().setStringList({});
    const qsizetype logged = rig.logEntries().size();

    QVERIFY(rig.selectRemote({ "new.txt", "localnewer.txt", "localolder.txt", "sameday.txt", "pic.bin", "done.txt" }));
    // A row an earlier download of this listing has marked is not fetched again.
    rig.remote().fileList()->setData(
        rig.remote().fileList()->index(rig.remoteRow("done.txt"), 0), IconKeys::Leaf2, ItemRoles::IconKeyRole);
    transfers.DownloadSelection();

    QStringList lines;
    QStringList entries;
    for (const QString& name : fetched.split(u' ')) {
        QCOMPARE(readFile(rig.localPath(name)), readFile(server.root() + u'/' + name));
        lines << "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:" + name + "→" + name;
        entries << "<ファイルﾀﾞダウンロード>2024-03-15 09:05:03 " + name + "→" + name + "</ファイルﾀﾞダウンロード>";
    }
    QCOMPARE(rig.statusTexts(), lines);
    QCOMPARE(rig.logEntries().mid(logged), entries);
    QCOMPARE(rig.remoteMarks(), remoteMarks);
    QCOMPARE(readFile(rig.localPath("sameday.txt")), rule == 1 ? "server\n" : "local\n");
    // The local pane shows what arrived; the run ends with the counts at 0 and the window hidden.
    QVERIFY(rig.localRow("new.txt") >= 0 && !report.isShown() && !transfers.isRunning());
    QCOMPARE(report.statusPanel(0) + report.countsText(), "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了フォルダ数: 0    ファイル数: 0");
    QCOMPARE(QList<qint64>({ report.runDone(), report.runTotal() }), QList<qint64>({ 5, 5 }));

    QVERIFY(rig.selectLocal({ "Mixed.HTML", "old.txt", "newer.txt", "x.bak", "Y.BAK" }));
    transfers.UploadFiles();

    // The never-send list compares with case: x.bak stays where it is, unmarked.
    lines.clear();
    entries.clear();
    for (const QString& name : sent.split(u' ')) {
        const QString onServer = nameCase == 1 ? name.toLower() : nameCase == 2 ? name.toUpper() : name;
        QCOMPARE(readFile(server.root() + u'/' + onServer), readFile(rig.localPath(name)));
        QCOMPARE(rig.localIcon(name), IconKeys::Leaf2);
        lines << "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + name;
        entries << "<ファイルアップロード>2024-03-15 09:05:03 " + name + "→" + name + (rule == 1 ? " " : "")
                + "</ファイルアップロード>";
    }
    QCOMPARE(rig.statusTexts().mid(fetched.count(u' ') + 1), lines);
    QCOMPARE(rig.logEntries().mid(logged + fetched.count(u' ') + 1), entries);
    QCOMPARE(QList<int>({ report.FileCount, report.FileTotal }), QList<int>(2, int(lines.size())));
    QCOMPARE(report.countsText(), "ﾌｫﾙﾀﾞｰ数:0 ﾌｧｲﾙ数: " + QString::number(lines.size() - 1));
    QCOMPARE(rig.localIcon("old.txt"), rule == 1 ? IconKeys::Leaf2 : IconKeys::Leaf3);
    QCOMPARE(rig.localIcon("x.bak"), IconKeys::Leaf);
    QCOMPARE(readFile(server.root() + "/old.txt"), rule == 1 ? "local\n" : "server\n");
    transfers.uploadFiles({ "x.bak" }, rig.local.path(), "/"); // named by the caller, still never sent
    QCOMPARE(entriesBelow(server.root()).filter(".bak", Qt::CaseInsensitive).size(), 1);
}

void TestTransfers::treesBothWays_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("rule");
    QTest::addColumn<QString>("folder"); // of the FTP pane
    QTest::newRow("pyftpdlib 更新") << Kind::Pyftpdlib << 0 << QString();
    QTest::newRow("vsftpd 上書") << Kind::Vsftpd << 1 << QString();
    QTest::newRow("pyftpdlib 更新, in a folder") << Kind::Pyftpdlib << 0 << QStringLiteral("/up");
}

void TestTransfers::treesBothWays()
{
    QFETCH(Kind, kind);
    QFETCH(int, rule);
    QFETCH(QString, folder);
    FtpServerFixture server(kind);
    QVERIFY(startServer(server));
    const QString remote = server.root() + folder;
    QVERIFY(makeEntries(remote, { "site/a.txt", "site/sub/b.html", "other.txt" }));
    QVERIFY(writeFile(remote + "/site/keep.txt", "server\n", at(2024, 3, 10)));
    QVERIFY(writeFile(remote + "/site/sub/deep/c.bin", QByteArray("\r\n\x00", 3), at(2024, 3, 10)));
    QVERIFY(writeFile(remote + "/web/a.txt", "server\n", at(2024, 3, 12)));
    WorkspaceRig rig;
    // The local copy of keep.txt is newer.
    QVERIFY(writeFile(rig.localPath("site/keep.txt"), "local\n", QDateTime::currentDateTime().addSecs(60)));
    QVERIFY(writeFile(rig.localPath("web/a.txt"), "local a\n", at(2024, 3, 1)));
    QVERIFY(makeEntries(rig.local.path(), { "web/sub/b.html", "web/sub/x.bak", "web/sub/deep/c.bin", "top.txt" }));
    QVERIFY(rig.connect(server));
    if (!folder.isEmpty())
        rig.showRemote(folder);
    Transfers& transfers = rig.ws->transfers();
    StatusReport& report = rig.ws->statusReport();
    transfers.setTransferRule(rule);
    const QString local = QDir(rig.local.path()).canonicalPath();

    // A folder comes in the "更新" sense whatever the rule, and without a SIZE before each file.
    QVERIFY(rig.selectRemote({ "site" }));
    transfers.DownloadSelection();
    QCOMPARE(entriesBelow(rig.local.path()).filter("site"),
        QStringList({ "site/", "site/a.txt", "site/keep.txt", "site/sub/", "site/sub/b.html", "site/sub/deep/",
            "site/sub/deep/c.bin" }));
    QCOMPARE(readFile(rig.localPath("site/sub/deep/c.bin")), QByteArray("\r\n\x00", 3));
    QCOMPARE(readFile(rig.localPath("site/keep.txt")), "local\n");
    const QStringList ftpMarks = treeMarks(rig.remote().folderTree());
    for (const char* mark : { "/site/a.txt=leaf2", "/site/keep.txt=leaf", "/site/sub=closed" })
        QVERIFY2(ftpMarks.contains(folder + mark), qPrintable(ftpMarks.join(u' ')));
    QVERIFY(rig.logEntries().contains("<ファイルダウンロード>2024-03-15 09:05:03 " + folder + "/site/sub/b.html→"
        + local + "/site/sub/b.html</ファイルダウンロード>"));
    QCOMPARE(rig.logCount("<ファイルダウンロード>"), 3);
    QVERIFY(rig.statusTexts().contains("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:" + folder + "/site/a.txt→" + local + "/site/a.txt"));
    QVERIFY(!rig.remoteMarks().contains(u'*'));
    QVERIFY(server.logText().contains("RETR " + folder + "/site/sub/deep/c.bin"));
    QVERIFY(!server.logText().contains("SIZE " + folder + "/site"));
    QCOMPARE(QList<qint64>({ report.runDone(), report.runTotal() }), QList<qint64>({ 4, 4 }));
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
    QCOMPARE(
        entriesBelow(remote + "/web"), QStringList({ "a.txt", "sub/", "sub/b.html", "sub/deep/", "sub/deep/c.bin" }));
    QCOMPARE(readFile(remote + "/web/a.txt"), rule == 1 ? "local a\n" : "server\n");
    QCOMPARE(readFile(remote + "/web/sub/deep/c.bin"), "web/sub/deep/c.bin");
    QCOMPARE(readFile(remote + "/top.txt"), "top.txt");
    QStringList entries { "<ファイルアップロード>2024-03-15 09:05:03 top.txt→top.txt" + QString(rule == 1 ? " " : "")
            + "</ファイルアップロード>",
        "<フォルダ作成>2024-03-15 09:05:03 web/sub </フォルダ作成>",
        "<フォルダ作成>2024-03-15 09:05:03 web/sub/deep </フォルダ作成>" };
    const QString shown = rig.localPane().folderText().trimmed();
    for (const char* file : { "web/a.txt", "web/sub/b.html", "web/sub/deep/c.bin" }) {
        if (rule == 1 || QByteArray(file) != "web/a.txt")
            entries << "<ファイル書込>2024-03-15 09:05:03 " + shown + u'/' + file + "→" + file + " </ファイル書込>";
    }
    QCOMPARE(rig.logEntries().mid(logged), entries);
    QVERIFY(rig.statusTexts().contains("フォルダー作成:web/sub/deep"));
    QVERIFY(rig.statusTexts().contains("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:web/sub/b.html"));
    // The local list is listed again and keeps the run's marks.
    QCOMPARE(rig.localIcon("top.txt"), IconKeys::Leaf2);
    const int sent = int(entries.size()) - 3;
    QCOMPARE(QList<int>({ report.FolderCount, report.FileTotal, report.FileCount }), QList<int>({ 2, 5, 1 + sent }));
    QCOMPARE(report.countsText(), QStringLiteral("ﾌｫﾙﾀﾞｰ数:2 ﾌｧｲﾙ数: %1/5").arg(sent));
    const QStringList localMarks = treeMarks(rig.localPane().folderTree());
    for (const char* mark :
        { rule == 1 ? "/web/a.txt=leaf2" : "/web/a.txt=leaf3", "/web/sub/x.bak=leaf", "/web/sub/deep/c.bin=leaf2" })
        QVERIFY2(localMarks.contains(shown + mark), qPrintable(localMarks.join(u' ')));
    QCOMPARE(report.statusPanel(0), "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了");
    QVERIFY(!report.isShown() && rig.remoteRow("top.txt") >= 0);
}

void TestTransfers::conversionAndTextUpdate()
{
    // "日本語" and half-width "ｱ" on two lines.
    const QByteArray euc("\xC6\xFC\xCB\xDC\xB8\xEC\n\x8E\xB1\n");
    const QByteArray sjis("\x93\xFA\x96\x7B\x8C\xEA\r\n\xB1\r\n");
    FtpServerFixture server;
    QVERIFY(startServer(server));
    QVERIFY(writeFile(server.root() + "/euc.html", euc));
    WorkspaceRig rig;
    QVERIFY(writeFile(rig.localPath("sjis.html"), sjis));
    QVERIFY(rig.connect(server));
    Transfers& transfers = rig.ws->transfers();
    Options& options = rig.ws->options();
    FtpConnection* c = rig.connection();
    const TransferType ascii = TransferType::Ascii;
    const TransferType binary = TransferType::Binary;
    // Down: on, ASCII: CP932 with CR LF; on, binary, or off: unchanged.
    options.setCodeConversion(1, true);
    QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("1"), false, ascii));
    QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("2"), false, binary));
    options.setCodeConversion(1, false);
    QVERIFY(transfers.FtpGetFileConv(c, "euc.html", rig.localPath("3"), false, ascii));
    QCOMPARE(
        QByteArrayList({ readFile(rig.localPath("1")), readFile(rig.localPath("2")), readFile(rig.localPath("3")) }),
        QByteArrayList({ sjis, euc, euc }));
    // Up: on, ASCII: EUC-JP with LF; on, binary: unchanged.
    options.setCodeConversion(0, true);
    QVERIFY(transfers.FtpPutFileConv(c, rig.localPath("sjis.html"), "1.html", ascii));
    QVERIFY(transfers.FtpPutFileConv(c, rig.localPath("sjis.html"), "2.html", binary));
    QCOMPARE(readFile(server.root() + "/1.html") + readFile(server.root() + "/2.html"), euc + sjis);
    QVERIFY(!QFile::exists(DataFolder::file("TempPut.$$$")));
    // An unreadable local file: no transfer, no message.
    QVERIFY(!transfers.FtpPutFileConv(c, rig.localPath("missing.html"), "m.html", ascii));
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
void TestTransfers::stamps()
{
    struct Case {
        const char* name;
        QDateTime server; // invalid: not on the server
        QDateTime local; // invalid: not local
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
        QVERIFY2(
            transfers.CompareTreeStamps(rig.localPath(c.name), QStringLiteral("d/") + c.name) == c.compared, c.name);
        QCOMPARE(transfers.FileStampText(rig.localPath(c.name), "DIR"), c.localText);
    }
    QCOMPARE(transfers.FileStampText("/d/only-server.txt", "FTP"), "2004/01/02 03:04");
    // Found from the root when the relative path does not lead to it.
    QVERIFY(rig.connection()->setCurrentDirectory("/d"));
    QCOMPARE(transfers.CompareTreeStamps(rig.localPath("server-newer.txt"), "d/server-newer.txt"), 4);
}

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
