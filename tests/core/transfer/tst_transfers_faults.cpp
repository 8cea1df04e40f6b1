// What goes wrong during transfers: Stop inside a file and between files, a connection that
// drops mid-file, names from the server that would leave the target folder, a second run started
// while one runs; and the time-stamp rules with the server round trips of the folder passes.
#include "core/ftp/ftperrors.h"
#include "support/scriptedftpserver.h"
#include "transferrig.h"

#include <QTest>
#include <unistd.h>

using Kind = FtpServerFixture::Kind;

namespace {

bool serverFile(const FtpServerFixture& server, const QString& path, const QByteArray& bytes,
    const QDateTime& modified = at(2024, 3, 10))
{
    return writeBytes(server.root() + u'/' + path, bytes, modified);
}

bool sparseFile(const QString& path, qint64 size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(size);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Presses Stop once a status line starting with `prefix` appears.
void stopAfterLine(TransferRig& rig, const QString& prefix)
{
    QObject::connect(rig.ftp.status.get(), &StatusLines::lineAdded, rig.ftp.status.get(), [&rig, prefix] {
        if (rig.ftp.status->lastLine().mid(9).startsWith(prefix))
            rig.report->requestStop();
    });
}

bool connectScripted(TransferRig& rig, ScriptedFtpServer& server, const QString& script)
{
    QString error;
    if (!server.startScript(script, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    rig.ftp.setProfile(server.hostField(), server.user(), server.password());
    return rig.connectProfile();
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
    void droppedConnectionKeepsLocalFile();
    void droppedConnectionEndsTheUpload();
    void uploadFailureEndsTheFilePass();
    void listedSizeHoldsTheDownload();
    void hostileNames();
    void secondRunIsRefused();
    void movingThePaneDuringARun();
    void fileStampText_data();
    void fileStampText();
    void compareTreeStamps();
    void treePassesListEachFolderOnce();
};

void TestTransfersFaults::stopInsideFile()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(sparseFile(server.root() + u"/big.bin", qint64(1) << 30));
    QVERIFY(writeBytes(rig.localPath(u"big.bin"_qs), "the old copy"));
    QVERIFY(sparseFile(rig.localPath(u"up.bin"_qs), qint64(1) << 30));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    rig.transfers->setTransferRule(1);
    bool armed = true; // one Stop per transfer
    QObject::connect(rig.report.get(), &StatusReport::changed, rig.report.get(), [&] {
        if (armed && rig.report->fileDone() > 2 * 1024 * 1024) {
            armed = false;
            rig.report->requestStop();
        }
    });

    rig.selectRemote({ u"big.bin"_qs });
    rig.transfers->DownloadSelection();

    QCOMPARE(readBytes(rig.localPath(u"big.bin"_qs)), QByteArray("the old copy"));
    QCOMPARE(entries(rig.localDir.path()), QStringList({ u"big.bin"_qs, u"up.bin"_qs }));
    QCOMPARE(rig.remoteIcon(u"big.bin"_qs), IconKeys::Leaf3);
    QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:big.bin"_qs));
    QCOMPARE(rig.report->FileCount, 0);
    QVERIFY(!rig.ftp.state.StopRequested);

    // Inside an upload: no failure entry, no message, and the connection goes on.
    rig.selectLocal({ u"up.bin"_qs });
    armed = true;
    rig.transfers->UploadFiles();
    QCOMPARE(rig.localIcon(u"up.bin"_qs), IconKeys::Leaf3);
    QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:up.bin"_qs));
    QVERIFY(!rig.ftp.logText().contains(u"失敗"_qs));
    QVERIFY(rig.ftp.dialogs.asked.isEmpty());
    QVERIFY(!rig.ftp.state.StopRequested);
    QString folder;
    QVERIFY(rig.ftp.pane->FtpHandle()->getCurrentDirectory(&folder));

    // The piece left on the server is newer than the local file, yet the next update run sends
    // the file again.
    QVERIFY(QFileInfo(server.root() + u"/up.bin").size() > 0);
    QVERIFY(writeBytes(rig.localPath(u"up.bin"_qs), "whole", QDateTime(QDate(2020, 1, 1), QTime(0, 0))));
    rig.transfers->setTransferRule(0);
    rig.showBoth();
    rig.selectLocal({ u"up.bin"_qs });
    rig.transfers->UploadFiles();
    QCOMPARE(readBytes(server.root() + u"/up.bin"), QByteArray("whole"));
    QCOMPARE(rig.localIcon(u"up.bin"_qs), IconKeys::Leaf2);
}

void TestTransfersFaults::stopBetweenFiles()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QStringList files { u"f1.txt"_qs, u"f2.txt"_qs, u"f3.txt"_qs };
    for (const QString& f : files)
        QVERIFY(serverFile(server, f, "x\n"));
    QVERIFY(serverFile(server, u"dir/d.txt"_qs, "d\n"));
    QVERIFY(serverFile(server, u"tree/t1.txt"_qs, "t\n"));
    QVERIFY(serverFile(server, u"tree/t2.txt"_qs, "t\n"));
    QVERIFY(serverFile(server, u"tree/t3.txt"_qs, "t\n"));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    stopAfterLine(rig, u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:"_qs);

    // The file pass ends after the file in progress; the selected folder still comes.
    rig.selectRemote(files + QStringList { u"dir"_qs });
    rig.transfers->DownloadSelection();
    int arrived = 0;
    for (const QString& f : files) {
        const bool here = QFile::exists(rig.localPath(f));
        arrived += here;
        QCOMPARE(rig.remoteIcon(f), here ? IconKeys::Leaf2 : IconKeys::Leaf);
    }
    QCOMPARE(arrived, 1);
    QVERIFY(QFile::exists(rig.localPath(u"dir/d.txt"_qs)));

    // A folder download looks at Stop too.
    rig.transfers->DownloadTree(u"tree"_qs);
    QCOMPARE(entries(rig.localPath(u"tree"_qs)).size(), 1);
    QCOMPARE(rig.report->FileCount, 1);
    QVERIFY(!rig.ftp.state.StopRequested);

    // A stop in the upload's file pass skips its folders as well.
    for (const char* f : { "u1.txt", "u2.txt", "ufolder/u3.txt" })
        QVERIFY(writeBytes(rig.localPath(QLatin1String(f)), "u\n"));
    rig.local->RefreshLocalPanes();
    stopAfterLine(rig, u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:"_qs);
    rig.selectLocal({ u"u1.txt"_qs, u"u2.txt"_qs, u"ufolder"_qs });
    rig.transfers->UploadSelection();
    QCOMPARE(QFile::exists(server.root() + u"/u1.txt") + QFile::exists(server.root() + u"/u2.txt"), 1);
    QVERIFY(!QFile::exists(server.root() + u"/ufolder"));
    QVERIFY(!rig.ftp.state.StopRequested);
}

void TestTransfersFaults::droppedConnectionKeepsLocalFile()
{
    ScriptedFtpServer server;
    TransferRig rig;
    QString error;
    QVERIFY2(server.startScenario(u"drop-mid-download"_qs, &error), qPrintable(error));
    rig.ftp.setProfile(server.hostField(), server.user(), server.password());
    QVERIFY(writeBytes(rig.localPath(u"big.bin"_qs), "the old copy"));
    QVERIFY(rig.connectProfile());
    rig.transfers->setTransferRule(1);
    rig.selectRemote({ u"big.bin"_qs, u"hello.txt"_qs, u"pub"_qs });

    rig.transfers->DownloadSelection();

    QCOMPARE(readBytes(rig.localPath(u"big.bin"_qs)), QByteArray("the old copy"));
    QCOMPARE(entries(rig.localDir.path()), QStringList({ u"big.bin"_qs }));
    QCOMPARE(rig.remoteIcon(u"big.bin"_qs), IconKeys::Leaf3);
    QVERIFY(rig.remoteSelected(u"big.bin"_qs));
    // The lost connection ends the run: the other file and the folder are not tried one by one
    // (each would fail again, the folder walk with a message box).
    const QStringList texts = rig.statusTexts();
    QCOMPARE(texts.filter(u"失敗"_qs).size(), 1);
    QVERIFY2(texts.filter(u"失敗"_qs).first().startsWith(u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ失敗:big.bin"), qPrintable(texts.join(u'|')));
    QVERIFY(texts.contains(u"FTPサーバーとの接続が切れたため、転送を中止しました。"_qs));
    QCOMPARE(rig.remoteIcon(u"hello.txt"_qs), IconKeys::Leaf);
    QVERIFY2(rig.ftp.dialogs.asked.isEmpty(), qPrintable(rig.ftp.dialogs.texts().join(u'|')));
    QCOMPARE(rig.report->FileCount, 0);
    QCOMPARE(rig.logCount(u"ダウンロード>"_qs), 0);
}

void TestTransfersFaults::droppedConnectionEndsTheUpload()
{
    // The second file of a folder upload loses the connection.
    ScriptedFtpServer server;
    TransferRig rig;
    for (const char* f : { "site/a.html", "site/b.html", "site/c.html", "site/d.html" })
        QVERIFY(writeBytes(rig.localPath(QLatin1String(f)), "<p>\n"));
    QVERIFY(connectScripted(rig, server, u"on STOR 2\n  reset\nend\n"_qs));
    rig.transfers->setTransferRule(1);
    rig.selectLocal({ u"site"_qs });

    rig.transfers->UploadSelection();

    // One file sent, one failed and logged once, no retry and no message box for each of the rest.
    QCOMPARE(countCommands(server.commands(), { u"STOR"_qs }), 2);
    QCOMPARE(rig.logCount(u"<ファイル書込失敗>"_qs), 1);
    QVERIFY(rig.statusTexts().contains(u"FTPサーバーとの接続が切れたため、転送を中止しました。"_qs));
    QVERIFY2(rig.ftp.dialogs.asked.isEmpty(), qPrintable(rig.ftp.dialogs.texts().join(u'|')));
}

void TestTransfersFaults::listedSizeHoldsTheDownload()
{
    // The server ends the data early and still says 226: with the listing's size the engine asks
    // no SIZE and yet sees the short file.
    ScriptedFtpServer server;
    TransferRig rig;
    QString error;
    QVERIFY2(server.startScenario(u"short-download"_qs, &error), qPrintable(error));
    rig.ftp.setProfile(server.hostField(), server.user(), server.password());
    QVERIFY(rig.connectProfile());
    QVERIFY(writeBytes(rig.localPath(u"big.bin"_qs), "the old copy"));
    FtpConnection* c = rig.ftp.pane->FtpHandle();
    c->setExpectedSize(1048576);
    QVERIFY(!c->getFile(u"big.bin"_qs, rig.localPath(u"big.bin"_qs), false, TransferType::Binary));
    QCOMPARE(c->lastError(), FtpError::FtpDropped);
    QCOMPARE(readBytes(rig.localPath(u"big.bin"_qs)), QByteArray("the old copy"));
    QCOMPARE(countCommands(server.commands(), { u"SIZE"_qs }), 0);

    // A file that shrank since the listing, as the server says when it sends it, is whole.
    ScriptedFtpServer changed;
    TransferRig again;
    QVERIFY(connectScripted(again, changed,
        u"file /big.bin 300000\non RETR\n  reply 150 Opening BINARY mode data connection for big.bin (300000 bytes).\n"
        "  data-file\n  data-close\n  reply 226 Transfer complete.\nend\n"_qs));
    c = again.ftp.pane->FtpHandle();
    c->setExpectedSize(1048576);
    QVERIFY2(c->getFile(u"big.bin"_qs, again.localPath(u"big.bin"_qs), false, TransferType::Binary),
        qPrintable(c->lastResponse()));
    QCOMPARE(QFileInfo(again.localPath(u"big.bin"_qs)).size(), 300000);
}

void TestTransfersFaults::uploadFailureEndsTheFilePass()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(QDir().mkpath(server.root() + u"/clash.txt")); // STOR onto a folder fails
    for (const char* f : { "a.txt", "clash.txt", "z.txt", "f/in.txt" })
        QVERIFY(writeBytes(rig.localPath(QLatin1String(f)), "l\n"));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    rig.transfers->setTransferRule(1);
    rig.selectLocal({ u"a.txt"_qs, u"clash.txt"_qs, u"z.txt"_qs, u"f"_qs });

    rig.transfers->UploadSelection();

    QVERIFY(QFile::exists(server.root() + u"/a.txt"));
    QVERIFY(!QFile::exists(server.root() + u"/z.txt"));
    // The folders selected as well are still sent.
    QVERIFY(QFile::exists(server.root() + u"/f/in.txt"));
    QVERIFY(rig.statusTexts().contains(u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ失敗ﾞ:clash.txt"_qs));
    QVERIFY(rig.ftp.logText().contains(
        u"<ファイル書込失敗>2024-03-15 09:05:03 clash.txt→clash.txt</ファイルアップロード失敗>"_qs));
    QCOMPARE(rig.ftp.dialogs.asked.size(), 1);
    QVERIFY2(rig.ftp.dialogs.asked.first().text.startsWith(u"WinInet エラー -12003"),
        qPrintable(rig.ftp.dialogs.texts().join(u'|')));
}

void TestTransfersFaults::hostileNames()
{
    ScriptedFtpServer server;
    TransferRig rig;
    const QString script = uR"(file /ok.txt text ok
file /a\\b.txt text evil
dir /site
file /site/good.txt text good
file /site/x\\y.txt text evil
list / -rw-r--r-- 1 u g 2 Mar 10  2024 ok.txt\r\n-rw-r--r-- 1 u g 4 Mar 10  2024 a\\b.txt\r\n-rw-r--r-- 1 u g 4 Mar 10  2024 ..\r\n-rw-r--r-- 1 u g 4 Mar 10  2024 ../evil.txt\r\ndrwxr-xr-x 2 u g 0 Mar 10  2024 site\r\n
)"_qs;
    QVERIFY(connectScripted(rig, server, script));
    QStringList names;
    for (int r = 0; r < rig.ftp.pane->fileList()->rowCount(); ++r)
        names.append(rig.ftp.pane->fileList()->index(r, 0).data().toString());
    QVERIFY2(names.contains(u"a\\b.txt"_qs), qPrintable(names.join(u'|')));
    rig.selectRemote(names);

    rig.transfers->DownloadSelection();

    // Only the plain names arrive, each inside the local folder.
    QCOMPARE(entries(rig.localDir.path()), QStringList({ u"ok.txt"_qs, u"site"_qs }));
    QCOMPARE(entries(rig.localPath(u"site"_qs)), QStringList({ u"good.txt"_qs }));
    QVERIFY(!QFile::exists(rig.localDir.path() + u"/../evil.txt"));
    QVERIFY(rig.statusTexts().contains(u"不正な名前のため飛ばしました:a\\b.txt"_qs));
    QVERIFY(rig.statusTexts().contains(u"不正な名前のため飛ばしました:/site/x\\y.txt"_qs));
    for (const QString& c : server.commands()) {
        if (c.contains(u"RETR"))
            QVERIFY2(!c.contains(u'\\') && !c.endsWith(u"..") && !c.contains(u"../"), qPrintable(c));
    }
    QVERIFY(server.commands().contains(u"RETR /ok.txt"_qs));
    QVERIFY(server.commands().contains(u"RETR /site/good.txt"_qs));
}

void TestTransfersFaults::secondRunIsRefused()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(serverFile(server, u"one.txt"_qs, "1\n"));
    QVERIFY(serverFile(server, u"two.txt"_qs, "2\n"));
    QVERIFY(writeBytes(rig.localPath(u"mine.txt"_qs), "mine\n"));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    rig.selectLocal({ u"mine.txt"_qs });
    rig.selectRemote({ u"one.txt"_qs, u"two.txt"_qs });
    bool startedAgain = false;
    QObject::connect(rig.ftp.status.get(), &StatusLines::lineAdded, rig.ftp.status.get(), [&] {
        if (!startedAgain && rig.ftp.status->lastLine().contains(u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:")) {
            startedAgain = true;
            rig.transfers->UploadSelection();
            rig.transfers->DownloadTree(u"x"_qs);
        }
    });

    rig.transfers->DownloadSelection();

    QVERIFY(startedAgain);
    QCOMPARE(rig.statusTexts().count(u"転送中のため、新しい転送は始めません。"_qs), 2);
    QVERIFY(!QFile::exists(server.root() + u"/mine.txt"));
    QVERIFY(QFile::exists(rig.localPath(u"two.txt"_qs)));
    QVERIFY(!rig.transfers->isRunning());

    // Without a connection nothing starts.
    rig.ftp.pane->DisconnectServer();
    rig.ftp.status->setStringList({});
    rig.selectLocal({ u"mine.txt"_qs });
    rig.transfers->UploadSelection();
    rig.transfers->DownloadSelection();
    QCOMPARE(rig.statusTexts(), QStringList(2, u"FTPサーバーに接続していないため、転送できません。"_qs));
    QVERIFY(!rig.report->isShown());
}

void TestTransfersFaults::movingThePaneDuringARun()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(serverFile(server, u"one.txt"_qs, "1\n"));
    QVERIFY(serverFile(server, u"two.txt"_qs, "2\n"));
    QVERIFY(serverFile(server, u"other/two.txt"_qs, "other\n"));
    QVERIFY(writeBytes(rig.localPath(u"up1.txt"_qs), "u1\n"));
    QVERIFY(writeBytes(rig.localPath(u"up2.txt"_qs), "u2\n"));
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    bool moved = false;
    QObject::connect(rig.ftp.status.get(), &StatusLines::lineAdded, rig.ftp.status.get(), [&] {
        const QString line = rig.ftp.status->lastLine();
        if (!moved && (line.contains(u"ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:") || line.contains(u"ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:"))) {
            moved = true;
            rig.ftp.pane->ChangeFtpFolder(u"/other"_qs);
        }
    });

    // The files still come from, and go to, the folder the run began in.
    rig.selectRemote({ u"one.txt"_qs, u"two.txt"_qs });
    rig.transfers->DownloadFiles();
    QCOMPARE(readBytes(rig.localPath(u"two.txt"_qs)), QByteArray("2\n"));
    QVERIFY(rig.ftp.pane->FtpHandle()->setCurrentDirectory(u"/"_qs));
    moved = false;
    rig.selectLocal({ u"up1.txt"_qs, u"up2.txt"_qs });
    rig.transfers->UploadFiles();
    QVERIFY(moved);
    QVERIFY(QFile::exists(server.root() + u"/up1.txt"));
    QVERIFY(QFile::exists(server.root() + u"/up2.txt"));
}

void TestTransfersFaults::fileStampText_data()
{
    QTest::addColumn<QDateTime>("modified");
    QTest::addColumn<QString>("text");
    // Today is 2004-07-04.
    QTest::newRow("a year ago today reads as today") << at(2003, 7, 4, 10, 0) << u"2004/07/04 10:00"_qs;
    QTest::newRow("a year ago tomorrow reads as today") << at(2003, 7, 5, 10, 0) << u"2004/07/04 10:00"_qs;
    QTest::newRow("two days on keeps its year") << at(2003, 7, 6, 10, 0) << u"2003/07/06 10:00"_qs;
    QTest::newRow("padded month, day and time") << at(2004, 1, 2, 3, 4) << u"2004/01/02 03:04"_qs;
    QTest::newRow("missing file") << QDateTime() << QString();
}

void TestTransfersFaults::fileStampText()
{
    QFETCH(QDateTime, modified);
    QFETCH(QString, text);
    TransferRig rig;
    rig.ftp.now = at(2004, 7, 4, 12, 0);
    const QString path = rig.localPath(u"f.txt"_qs);
    if (modified.isValid())
        QVERIFY(writeBytes(path, "x", modified));
    QCOMPARE(rig.transfers->FileStampText(path, u"DIR"_qs), text);
    QCOMPARE(rig.transfers->FileStampText(path, u"FTP"_qs), QString()); // not connected
}

void TestTransfersFaults::compareTreeStamps()
{
    FtpServerFixture server(Kind::Pyftpdlib);
    TransferRig rig;
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    rig.ftp.now = at(2004, 7, 4, 12, 0);
    struct Case {
        const char* name;
        QDateTime server; // invalid: not on the server
        QDateTime local; // invalid: not local
        int result;
    };
    const QList<Case> cases {
        { "year-ago-today.txt", at(2003, 7, 4), at(2004, 7, 4), 5 },
        { "year-ago-tomorrow.txt", at(2003, 7, 5), at(2004, 7, 4), 3 },
        { "server-newer.txt", at(2004, 7, 4), at(2004, 7, 1), 4 },
        { "local-newer.txt", at(2004, 7, 1), at(2004, 7, 4, 10, 1), 3 },
        { "only-local.txt", {}, at(2004, 7, 1), 1 },
        { "only-server.txt", at(2004, 7, 1), {}, 2 },
        { "neither.txt", {}, {}, 0 },
    };
    for (const Case& c : cases) {
        if (c.server.isValid())
            QVERIFY(serverFile(server, u"d/"_qs + QLatin1String(c.name), "s", c.server));
        if (c.local.isValid())
            QVERIFY(writeBytes(rig.localPath(QLatin1String(c.name)), "l", c.local));
    }
    rig.ftp.setProfile(server);
    QVERIFY(rig.connectProfile());
    for (const Case& c : cases) {
        const QString name = QLatin1String(c.name);
        QVERIFY2(rig.transfers->CompareTreeStamps(rig.localPath(name), u"d/"_qs + name) == c.result, c.name);
    }
    // The server file found from the root when the relative path does not lead to it.
    QVERIFY(rig.ftp.pane->FtpHandle()->setCurrentDirectory(u"/d"_qs));
    QCOMPARE(rig.transfers->CompareTreeStamps(rig.localPath(u"server-newer.txt"_qs), u"d/server-newer.txt"_qs), 4);
}

void TestTransfersFaults::treePassesListEachFolderOnce()
{
    ScriptedFtpServer server;
    TransferRig rig;
    const QString script = uR"(dir /site
dir /site/a
dir /site/b
file /site/1.txt text 1
file /site/2.txt text 2
file /site/a/3.txt text 3
file /site/a/4.txt text 4
file /site/b/5.txt text 5
)"_qs;
    QVERIFY(connectScripted(rig, server, script));
    const QStringList listings { u"LIST"_qs, u"MLSD"_qs, u"NLST"_qs, u"MDTM"_qs, u"MLST"_qs };
    auto newCommands = [&server](qsizetype since) { return server.commands().mid(since); };

    qsizetype before = server.commands().size();
    rig.transfers->DownloadTree(u"site"_qs);
    QStringList sent = newCommands(before);
    QCOMPARE(rig.report->FileCount, 5);
    // One listing per folder from the walk, none per file.
    QCOMPARE(countCommands(sent, listings), 3);
    QCOMPARE(countCommands(sent, { u"RETR"_qs }), 5);
    // The sizes come from the walk too: no SIZE before each file.
    QCOMPARE(countCommands(sent, { u"SIZE"_qs }), 0);

    for (const char* f : { "up/1.txt", "up/2.txt", "up/3.txt", "up/x/4.txt", "up/x/5.txt", "up/x/6.txt" })
        QVERIFY(writeBytes(rig.localPath(QLatin1String(f)), "u"));
    rig.local->RefreshLocalPanes();
    rig.selectLocal({ u"up"_qs });
    before = server.commands().size();
    rig.transfers->UploadTree();
    sent = newCommands(before);
    QCOMPARE(countCommands(sent, { u"STOR"_qs }), 6);
    // At most one listing per server folder, and one for the list afterwards.
    QVERIFY2(countCommands(sent, listings) <= 2 + 1, qPrintable(sent.join(u'|')));
}

QTEST_GUILESS_MAIN(TestTransfersFaults)
#include "tst_transfers_faults.moc"
