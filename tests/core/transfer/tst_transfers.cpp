// Downloads and uploads against pyftpdlib and vsftpd: selected files under "更新" and "上書",
// the never-send list and the file-name case, folder trees with their counts, marks, log entries
// and status lines, and the EUC-JP conversion of ASCII transfers.
#include "transferrig.h"

#include <QTest>

using Kind = FtpServerFixture::Kind;

namespace {

const QDateTime ServerTime = at(2024, 3, 10);

// Server files are written straight into the server's root folder.
bool serverFile(const FtpServerFixture& server, const QString& path, const QByteArray& bytes,
    const QDateTime& modified = ServerTime)
{
    return writeBytes(server.root() + u'/' + path, bytes, modified);
}

// "日本語" and half-width "ｱ" on two lines.
const QByteArray EucText("\xC6\xFC\xCB\xDC\xB8\xEC\n\x8E\xB1\n");
const QByteArray SjisText("\x93\xFA\x96\x7B\x8C\xEA\r\n\xB1\r\n");

void addKinds()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("option1");
}

} // namespace

class TestTransfers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void downloadFiles_data();
    void downloadFiles();
    void uploadFiles_data();
    void uploadFiles();
    void downloadTree_data();
    void downloadTree();
    void uploadTree_data();
    void uploadTree();
    void conversion();
    void updateRemoteFile();
};

void TestTransfers::downloadFiles_data()
{
    addKinds();
    QTest::newRow("pyftpdlib 更新") << Kind::Pyftpdlib << 0;
    QTest::newRow("pyftpdlib 上書") << Kind::Pyftpdlib << 1;
    QTest::newRow("vsftpd 更新") << Kind::Vsftpd << 0;
    QTest::newRow("vsftpd 上書") << Kind::Vsftpd << 1;
}

void TestTransfers::downloadFiles()
{
    QFETCH(Kind, kind);
    QFETCH(int, option1);
    FtpServerFixture server(kind);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QByteArray binary("\x00\x01\r\n\xFF\n", 6);
    QVERIFY(serverFile(server, u"new.txt"_qs, "new\n"));
    QVERIFY(serverFile(server, u"localnewer.txt"_qs, "server\n"));
    QVERIFY(serverFile(server, u"localolder.txt"_qs, "server\n"));
    QVERIFY(serverFile(server, u"sameday.txt"_qs, "server\n"));
    QVERIFY(serverFile(server, u"pic.bin"_qs, binary));
    QVERIFY(serverFile(server, u"done.txt"_qs, "server\n"));
    QVERIFY(QDir().mkpath(server.root() + u"/folder"));
    QVERIFY(writeBytes(rig.localPath(u"localnewer.txt"_qs), "local\n", at(2024, 3, 12)));
    QVERIFY(writeBytes(rig.localPath(u"localolder.txt"_qs), "local\n", at(2024, 3, 1)));
    // The server's list shows no time for an older file: the same day with a time is newer.
    QVERIFY(writeBytes(rig.localPath(u"sameday.txt"_qs), "local\n", at(2024, 3, 10, 9, 5)));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    rig.transfers->setTransferRule(option1);

    const QStringList selected { u"new.txt"_qs, u"localnewer.txt"_qs, u"localolder.txt"_qs, u"sameday.txt"_qs,
        u"pic.bin"_qs, u"done.txt"_qs };
    rig.selectRemote(selected);
    // A row an earlier download of this listing has marked is not fetched again.
    rig.ftp.pane->fileList()->setData(
        rig.ftp.pane->fileList()->index(TransferRig::rowOf(rig.ftp.pane->fileList(), u"done.txt"_qs), 0),
        IconKeys::Leaf2, ItemRoles::IconKeyRole);

    rig.transfers->DownloadSelection();

    const bool overwrite = option1 == 1;
    QStringList fetched { u"new.txt"_qs, u"localolder.txt"_qs, u"pic.bin"_qs };
    QStringList skipped { u"localnewer.txt"_qs, u"sameday.txt"_qs };
    if (overwrite) {
        fetched += skipped;
        skipped.clear();
    }
    for (const QString& name : std::as_const(fetched)) {
        QCOMPARE(rig.remoteIcon(name), IconKeys::Leaf2);
        QVERIFY2(!rig.remoteSelected(name), qPrintable(name));
        QCOMPARE(readBytes(rig.localPath(name)), readBytes(server.root() + u'/' + name));
        QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:" + name + u"→" + name));
        QVERIFY(rig.ftp.logText().contains(
            u"<ファイルﾀﾞダウンロード>2024-03-15 09:05:03 " + name + u"→" + name + u"</ファイルﾀﾞダウンロード>"));
    }
    for (const QString& name : std::as_const(skipped)) {
        QCOMPARE(rig.remoteIcon(name), IconKeys::Leaf3);
        QVERIFY(rig.remoteSelected(name));
        QCOMPARE(readBytes(rig.localPath(name)), QByteArray("local\n"));
    }
    QCOMPARE(rig.remoteIcon(u"done.txt"_qs), IconKeys::Leaf2);
    QVERIFY(!QFile::exists(rig.localPath(u"done.txt"_qs)));
    QCOMPARE(rig.logCount(u"<ファイルﾀﾞダウンロード>"_qs), fetched.size());
    // The local pane shows what arrived; the run ends with the counts at 0 and the window hidden.
    QVERIFY(TransferRig::rowOf(rig.local->fileList(), u"new.txt"_qs) >= 0);
    QVERIFY(!rig.report->isShown());
    QCOMPARE(rig.report->statusPanel(0), u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了"_qs);
    QCOMPARE(rig.report->countsText(), u"フォルダ数: 0    ファイル数: 0"_qs);
    QCOMPARE(rig.report->runDone(), rig.report->runTotal());
    QCOMPARE(rig.report->runTotal(), 5);
    QVERIFY(!rig.transfers->isRunning());
}

void TestTransfers::uploadFiles_data()
{
    addKinds();
    QTest::addColumn<int>("option5");
    QTest::newRow("pyftpdlib 更新") << Kind::Pyftpdlib << 0 << 0;
    QTest::newRow("pyftpdlib 上書 lower case") << Kind::Pyftpdlib << 1 << 1;
    QTest::newRow("vsftpd 更新 upper case") << Kind::Vsftpd << 0 << 2;
    QTest::newRow("vsftpd 上書") << Kind::Vsftpd << 1 << 0;
}

void TestTransfers::uploadFiles()
{
    QFETCH(Kind, kind);
    QFETCH(int, option1);
    QFETCH(int, option5);
    FtpServerFixture server(kind);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(serverFile(server, u"old.txt"_qs, "server\n"));
    QVERIFY(serverFile(server, u"newer.txt"_qs, "server\n"));
    QVERIFY(writeBytes(rig.localPath(u"Mixed.HTML"_qs), "<p>\n"));
    QVERIFY(writeBytes(rig.localPath(u"old.txt"_qs), "local\n", at(2024, 3, 1)));
    QVERIFY(writeBytes(rig.localPath(u"newer.txt"_qs), "local\n", at(2024, 3, 10, 9, 5)));
    QVERIFY(writeBytes(rig.localPath(u"x.bak"_qs), "bak\n"));
    QVERIFY(writeBytes(rig.localPath(u"Y.BAK"_qs), "BAK\n"));
    rig.ftp.setProfile(server);
    rig.ftp.options->setUploadNameCase(option5);
    QVERIFY(rig.connectProfile());
    rig.transfers->setTransferRule(option1);
    rig.selectLocal({ u"Mixed.HTML"_qs, u"old.txt"_qs, u"newer.txt"_qs, u"x.bak"_qs, u"Y.BAK"_qs });

    rig.transfers->UploadFiles();

    const bool overwrite = option1 == 1;
    auto onServer = [&](const QString& name) {
        return option5 == 1 ? name.toLower() : option5 == 2 ? name.toUpper() : name;
    };
    QStringList sent { u"Mixed.HTML"_qs, u"newer.txt"_qs, u"Y.BAK"_qs };
    if (overwrite)
        sent.append(u"old.txt"_qs);
    for (const QString& name : std::as_const(sent)) {
        QCOMPARE(rig.localIcon(name), IconKeys::Leaf2);
        QCOMPARE(readBytes(server.root() + u'/' + onServer(name)), readBytes(rig.localPath(name)));
        QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + name));
        QVERIFY(rig.ftp.logText().contains(u"<ファイルアップロード>2024-03-15 09:05:03 " + name + u"→" + name
            + (overwrite ? u" " : u"") + u"</ファイルアップロード>"));
    }
    QCOMPARE(rig.logCount(u"<ファイルアップロード>"_qs), sent.size());
    QCOMPARE(rig.report->FileCount, sent.size());
    QCOMPARE(rig.report->FileTotal, sent.size());
    QCOMPARE(rig.localIcon(u"old.txt"_qs), overwrite ? IconKeys::Leaf2 : IconKeys::Leaf3);
    if (!overwrite)
        QCOMPARE(readBytes(server.root() + u"/old.txt"), QByteArray("server\n"));
    // The never-send list compares with case: x.bak stays where it is, unmarked.
    QCOMPARE(rig.localIcon(u"x.bak"_qs), IconKeys::Leaf);
    QVERIFY(!QFile::exists(server.root() + u'/' + onServer(u"x.bak"_qs)));
    QCOMPARE(rig.report->countsText(), u"ﾌｫﾙﾀﾞｰ数:0 ﾌｧｲﾙ数: "_qs + QString::number(sent.size() - 1));
}

void TestTransfers::downloadTree_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << Kind::Vsftpd;
}

void TestTransfers::downloadTree()
{
    QFETCH(Kind, kind);
    FtpServerFixture server(kind);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(serverFile(server, u"site/a.txt"_qs, "a\n"));
    QVERIFY(serverFile(server, u"site/keep.txt"_qs, "server\n"));
    QVERIFY(serverFile(server, u"site/sub/b.html"_qs, "<b>\n"));
    QVERIFY(serverFile(server, u"site/sub/deep/c.bin"_qs, QByteArray("\r\n\x00", 3)));
    QVERIFY(serverFile(server, u"other.txt"_qs, "not selected\n"));
    // The local copy of keep.txt is newer; the folder site exists already.
    QVERIFY(writeBytes(rig.localPath(u"site/keep.txt"_qs), "local\n", QDateTime::currentDateTime()));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    rig.selectRemote({ u"site"_qs });

    rig.transfers->DownloadSelection();

    for (const QString& name : { u"site/a.txt"_qs, u"site/sub/b.html"_qs, u"site/sub/deep/c.bin"_qs })
        QCOMPARE(readBytes(rig.localPath(name)), readBytes(server.root() + u'/' + name));
    QCOMPARE(readBytes(rig.localPath(u"site/keep.txt"_qs)), QByteArray("local\n"));
    QVERIFY(!QFile::exists(rig.localPath(u"other.txt"_qs)));
    const QMap<QString, QString> icons = TransferRig::treeIcons(rig.ftp.pane->folderTree());
    QCOMPARE(icons.value(u"/site/a.txt"_qs), IconKeys::Leaf2);
    QCOMPARE(icons.value(u"/site/sub/deep/c.bin"_qs), IconKeys::Leaf2);
    QCOMPARE(icons.value(u"/site/keep.txt"_qs), IconKeys::Leaf);
    QCOMPARE(icons.value(u"/site/sub"_qs), IconKeys::Closed);
    const QString local = QDir(rig.localDir.path()).canonicalPath();
    QVERIFY(rig.ftp.logText().contains(u"<ファイルダウンロード>2024-03-15 09:05:03 /site/sub/b.html→" + local
        + u"/site/sub/b.html</ファイルダウンロード>"));
    QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:/site/a.txt→" + local + u"/site/a.txt"));
    QCOMPARE(rig.logCount(u"<ファイルダウンロード>"_qs), 3);
    QVERIFY(!rig.remoteSelected(u"site"_qs));
    // The walk's sizes spare the SIZE before each binary file.
    QVERIFY(server.logText().contains(u"RETR /site/sub/deep/c.bin"_qs));
    QVERIFY(!server.logText().contains(u"SIZE /site"_qs));
    QCOMPARE(rig.report->runTotal(), 4);
    QCOMPARE(rig.report->runDone(), 4);

    // Again: nothing is newer on the server now.
    rig.ftp.status->setStringList({});
    rig.transfers->DownloadTree(u"site"_qs);
    QCOMPARE(rig.report->FileCount, 0);
    QCOMPARE(rig.report->FolderCount, 0);
    QCOMPARE(rig.logCount(u"<ファイルダウンロード>"_qs), 3);
}

void TestTransfers::uploadTree_data()
{
    addKinds();
    QTest::addColumn<QString>("folder"); // the FTP pane's folder below the root
    QTest::newRow("pyftpdlib 更新") << Kind::Pyftpdlib << 0 << QString();
    QTest::newRow("vsftpd 上書") << Kind::Vsftpd << 1 << QString();
    QTest::newRow("pyftpdlib 更新 in a folder") << Kind::Pyftpdlib << 0 << u"up"_qs;
}

void TestTransfers::uploadTree()
{
    QFETCH(Kind, kind);
    QFETCH(int, option1);
    QFETCH(QString, folder);
    FtpServerFixture server(kind);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QString remote = folder.isEmpty() ? server.root() : server.root() + u'/' + folder;
    QVERIFY(writeBytes(remote + u"/site/a.txt", "server\n", at(2024, 3, 12)));
    QVERIFY(writeBytes(rig.localPath(u"site/a.txt"_qs), "local a\n", at(2024, 3, 1)));
    QVERIFY(writeBytes(rig.localPath(u"site/sub/b.html"_qs), "<b>\n"));
    QVERIFY(writeBytes(rig.localPath(u"site/sub/x.bak"_qs), "bak\n"));
    QVERIFY(writeBytes(rig.localPath(u"site/sub/deep/c.bin"_qs), QByteArray("\r\n\x00", 3)));
    QVERIFY(writeBytes(rig.localPath(u"top.txt"_qs), "top\n"));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    rig.transfers->setTransferRule(option1);
    if (!folder.isEmpty()) {
        QVERIFY(rig.ftp.pane->ChangeFtpFolder(u'/' + folder));
        rig.ftp.pane->RefreshFtpPanes();
    }
    rig.selectLocal({ u"site"_qs, u"top.txt"_qs });
    QTimer timer1;
    timer1.start(100000);
    rig.transfers->setConnectionWatch(&timer1);
    bool watchPaused = true;
    QObject::connect(rig.ftp.status.get(), &StatusLines::lineAdded, [&] { watchPaused &= !timer1.isActive(); });

    rig.transfers->UploadSelection();

    QVERIFY(watchPaused);
    QVERIFY(timer1.isActive());
    const bool overwrite = option1 == 1;
    QStringList sent { u"site/sub/b.html"_qs, u"site/sub/deep/c.bin"_qs };
    if (overwrite)
        sent.append(u"site/a.txt"_qs);
    for (const QString& name : std::as_const(sent)) {
        QCOMPARE(readBytes(remote + u'/' + name), readBytes(rig.localPath(name)));
        QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + name));
    }
    QCOMPARE(readBytes(remote + u"/top.txt"), QByteArray("top\n"));
    // The local list is listed again and keeps the run's marks.
    QCOMPARE(rig.localIcon(u"top.txt"_qs), IconKeys::Leaf2);
    QCOMPARE(readBytes(remote + u"/site/a.txt"), overwrite ? QByteArray("local a\n") : QByteArray("server\n"));
    QVERIFY(!QFile::exists(remote + u"/site/sub/x.bak"));
    QCOMPARE(rig.logCount(u"<フォルダ作成>"_qs), 2);
    QVERIFY(rig.ftp.logText().contains(u"<フォルダ作成>2024-03-15 09:05:03 site/sub </フォルダ作成>"_qs));
    QVERIFY(rig.statusTexts().contains(u"フォルダー作成:site/sub/deep"_qs));
    QCOMPARE(rig.logCount(u"<ファイル書込>"_qs), sent.size());
    const QString local = rig.local->folderText().trimmed();
    QVERIFY(rig.ftp.logText().contains(
        u"<ファイル書込>2024-03-15 09:05:03 " + local + u"/site/sub/b.html→site/sub/b.html </ファイル書込>"));
    QCOMPARE(rig.report->FolderCount, 2);
    QCOMPARE(rig.report->FileTotal, 1 + 4);
    QCOMPARE(rig.report->FileCount, 1 + sent.size());
    QCOMPARE(rig.report->countsText(), u"ﾌｫﾙﾀﾞｰ数:2 ﾌｧｲﾙ数: %1/5"_qs.arg(sent.size()));
    const QMap<QString, QString> icons = TransferRig::treeIcons(rig.local->folderTree());
    QCOMPARE(icons.value(local + u"/site/a.txt"), overwrite ? IconKeys::Leaf2 : IconKeys::Leaf3);
    QCOMPARE(icons.value(local + u"/site/sub/x.bak"), IconKeys::Leaf);
    QCOMPARE(icons.value(local + u"/site/sub/deep/c.bin"), IconKeys::Leaf2);
    QCOMPARE(rig.report->statusPanel(0), u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了"_qs);
    QVERIFY(!rig.report->isShown());
    // The server list shows the new entries.
    QVERIFY(TransferRig::rowOf(rig.ftp.pane->fileList(), u"top.txt"_qs) >= 0);
}

void TestTransfers::conversion()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(serverFile(server, u"euc.html"_qs, EucText));
    QVERIFY(serverFile(server, u"euc.bin"_qs, EucText));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    FtpConnection* c = rig.ftp.pane->FtpHandle();
    const QString temp = DataFolder::file(u"TempPut.$$$"_qs);

    struct Case {
        const char* what;
        int check11;
        QString name;
        int mode;
        QByteArray local;
    };
    const QList<Case> downloads { { "on, ASCII: CP932 with CR LF", 1, u"euc.html"_qs, 1, SjisText },
        { "on, binary: unchanged", 1, u"euc.bin"_qs, 2, EucText },
        { "off, ASCII: unchanged", 0, u"euc.html"_qs, 1, EucText } };
    for (const Case& d : downloads) {
        rig.ftp.options->setCodeConversion(1, d.check11);
        const QString local = rig.localPath(u"got-"_qs + QString::number(d.check11) + d.name);
        QVERIFY2(rig.transfers->FtpGetFileConv(
                     c, d.name, local, false, d.mode == 1 ? TransferType::Ascii : TransferType::Binary),
            d.what);
        QVERIFY2(readBytes(local) == d.local, d.what);
        QVERIFY(!QFile::exists(temp));
    }

    QVERIFY(writeBytes(rig.localPath(u"sjis.html"_qs), SjisText));
    const QList<Case> uploads { { "on, ASCII: EUC-JP with LF", 1, u"up-on.html"_qs, 1, EucText },
        { "on, binary: unchanged", 1, u"up-on.bin"_qs, 2, SjisText } };
    for (const Case& u : uploads) {
        rig.ftp.options->setCodeConversion(0, u.check11);
        QVERIFY2(rig.transfers->FtpPutFileConv(c, rig.localPath(u"sjis.html"_qs), u.name,
                     u.mode == 1 ? TransferType::Ascii : TransferType::Binary),
            u.what);
        QVERIFY2(readBytes(server.root() + u'/' + u.name) == u.local, u.what);
        QVERIFY(!QFile::exists(temp));
    }
    // An unreadable local file: no transfer, no message.
    QVERIFY(!rig.transfers->FtpPutFileConv(c, rig.localPath(u"missing.html"_qs), u"m.html"_qs, TransferType::Ascii));
    QVERIFY(rig.ftp.dialogs.asked.isEmpty());
    QVERIFY(!QFile::exists(server.root() + u"/m.html"));
}

void TestTransfers::updateRemoteFile()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());

    rig.transfers->UpdateRemoteFile(u"一行目\n二行目"_qs, u"page.html"_qs);

    // ASCII (the temporary file's extension is "txt"): the server keeps its own line ends.
    QCOMPARE(readBytes(server.root() + u"/page.html"), Cp932::encode(u"一行目\n二行目"));
    const QString temp = DataFolder::file(u"$1$.txt"_qs);
    QVERIFY(!QFile::exists(temp));
    QVERIFY(
        rig.ftp.logText().contains(u"<ファイル更新>2024-03-15 09:05:03 " + temp + u"→" + temp + u"</ファイル書込>"));
    QCOMPARE(rig.statusTexts().last(), u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:" + temp);
}

QTEST_GUILESS_MAIN(TestTransfers)
#include "tst_transfers.moc"
