// Deleting on the server against pyftpdlib and vsftpd, and against a scripted server that
// refuses every change: the tree from the list with its order and its start folder, "中止", Stop in the
// middle, the marked nodes of the tree, and what a refusal leaves.
#include "managerig.h"
#include "support/scriptedftpserver.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QStringList Site { QStringLiteral("work/"), QStringLiteral("work/keep.txt"), QStringLiteral("work/a.txt"),
    QStringLiteral("work/sub/"), QStringLiteral("work/sub/b.txt"), QStringLiteral("work/sub/deep/"),
    QStringLiteral("work/sub/deep/c d.txt"), QStringLiteral("work/sub/deep/日本語.txt") };

} // namespace

class TestServerDeletes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deletesTreeFilesFirstDeepestFolderFirst_data();
    void deletesTreeFilesFirstDeepestFolderFirst();
    void cancelDeletesNothing();
    void stopInTheMiddle();
    void deletesLinkNotItsTarget_data();
    void deletesLinkNotItsTarget();
    void deletesMarkedTreeNodes();
    void refusingServerLeavesPanesConsistent();
};

void TestServerDeletes::deletesTreeFilesFirstDeepestFolderFirst_data()
{
    QTest::addColumn<FtpServerFixture::Kind>("kind");
    QTest::newRow("pyftpdlib, MLSD") << FtpServerFixture::Kind::Pyftpdlib;
    QTest::newRow("vsftpd, LIST") << FtpServerFixture::Kind::Vsftpd;
}

void TestServerDeletes::deletesTreeFilesFirstDeepestFolderFirst()
{
    QFETCH(FtpServerFixture::Kind, kind);
    FtpServerFixture server(kind);
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    // vsftpd sends names as they are on disk, which the program reads as CP932.
    const bool utf8 = kind == FtpServerFixture::Kind::Pyftpdlib;
    const QString japanese = QStringLiteral("work/sub/deep/日本語.txt");
    QStringList entries = Site;
    entries.removeAll(japanese);
    QVERIFY(makeEntries(server.root(), entries));
    const QByteArray onDisk
        = QFile::encodeName(server.root()) + '/' + (utf8 ? japanese.toUtf8() : Cp932::encode(japanese));
    const int fd = ::open(onDisk.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    rig.answerCaution(true);
    QVERIFY(rig.showAndSelect(QStringLiteral("/work"), { QStringLiteral("sub"), QStringLiteral("a.txt") }));
    QSignalSpy frames(&rig.deletes, &Deletes::ftpTreeFrameRequested);

    rig.deletes.DeleteServerSelection();

    QCOMPARE(rig.cautions, QStringList { QStringLiteral("フォルダー数:2　ファイル数:4") });
    QCOMPARE(entriesBelow(server.root()), QStringList({ QStringLiteral("work/"), QStringLiteral("work/keep.txt") }));
    const QStringList files = rig.linesStartingWith(QStringLiteral("ファイル削除:"));
    const QStringList folders = rig.linesStartingWith(QStringLiteral("ﾌｫﾙﾀﾞ削除:"));
    QCOMPARE(files.size(), 4);
    QVERIFY(files.contains(QStringLiteral("/work/sub/deep/c d.txt")));
    QVERIFY(files.contains(QStringLiteral("/work/sub/deep/日本語.txt")));
    QCOMPARE(folders, QStringList({ QStringLiteral("/work/sub/deep"), QStringLiteral("/work/sub") }));
    // Every file was gone before the first folder was asked for.
    const QStringList all = rig.statusLines();
    int lastFile = -1;
    int firstFolder = int(all.size());
    for (int i = 0; i < all.size(); ++i) {
        if (all[i].mid(9).startsWith(QStringLiteral("ファイル削除:")))
            lastFile = i;
        else if (all[i].mid(9).startsWith(QStringLiteral("ﾌｫﾙﾀﾞ削除:")))
            firstFolder = std::min(firstFolder, i);
    }
    QVERIFY(lastFile < firstFolder);
    // The start folder was never asked for (each server logs commands its own way).
    QVERIFY(server.logText().contains(QRegularExpression(QStringLiteral("RMD /work/sub(?!/)"))));
    QVERIFY(!server.logText().contains(QRegularExpression(QStringLiteral("RMD /work(?!/)"))));
    const QString log = rig.logText();
    QVERIFY(log.contains(QStringLiteral("<FTPファイル削除>")));
    QVERIFY(log.contains(QStringLiteral("/work/sub/deep/日本語.txt</FTPファイル削除>")));
    QVERIFY(log.contains(QStringLiteral("/work/sub</FTPフォルダ削除>")));
    // The pane lists the start folder again, nothing selected, the report and the tree hidden.
    QCOMPARE(rig.listNames(), QStringList { QStringLiteral("keep.txt") });
    QVERIFY(!rig.pane->fileSelection()->hasSelection());
    QVERIFY(!rig.report.isShown());
    QCOMPARE(frames.first().first().toBool(), true);
    QCOMPARE(frames.last().first().toBool(), false);
    QCOMPARE(rig.report.FileCount, 4);
    QCOMPARE(rig.report.FolderCount, 2);
    QVERIFY(!rig.state.StopRequested);
}

void TestServerDeletes::cancelDeletesNothing()
{
    FtpServerFixture server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeEntries(server.root(), Site));
    rig.answerCaution(false);
    QVERIFY(rig.showAndSelect(QStringLiteral("/work"), { QStringLiteral("sub"), QStringLiteral("keep.txt") }));
    const QStringList before = rig.listNames();

    rig.deletes.DeleteServerSelection();

    QCOMPARE(rig.cautions.size(), 1);
    QCOMPARE(entriesBelow(server.root()).size(), Site.size());
    QCOMPARE(rig.listNames(), before);
    QVERIFY(rig.linesStartingWith(QStringLiteral("ファイル削除:")).isEmpty());
    QVERIFY(!rig.logText().contains(QStringLiteral("削除")));
    QVERIFY(!rig.state.StopRequested);
    QVERIFY(!rig.report.isShown());
}

void TestServerDeletes::stopInTheMiddle()
{
    FtpServerFixture server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeEntries(server.root(), Site));
    rig.answerCaution(true);
    QVERIFY(rig.showAndSelect(QStringLiteral("/work"), { QStringLiteral("sub") }));
    // The status window's "中止" after the first file.
    QObject::connect(rig.status.get(), &StatusLines::lineAdded, &rig.report, [&rig](int) {
        if (rig.status->lastLine().contains(QStringLiteral("ファイル削除:")))
            rig.report.requestStop();
    });

    rig.deletes.DeleteServerSelection();

    QCOMPARE(rig.linesStartingWith(QStringLiteral("ファイル削除:")).size(), 1);
    QVERIFY(rig.linesStartingWith(QStringLiteral("ﾌｫﾙﾀﾞ削除:")).isEmpty());
    QCOMPARE(entriesBelow(server.root()).size(), Site.size() - 1);
    QVERIFY(!rig.state.StopRequested);
    // The list shows what is left.
    QStringList names = rig.listNames();
    names.sort();
    QCOMPARE(names, QStringList({ QStringLiteral("a.txt"), QStringLiteral("keep.txt"), QStringLiteral("sub") }));
    QVERIFY(!rig.report.isShown());
}

void TestServerDeletes::deletesLinkNotItsTarget_data()
{
    QTest::addColumn<FtpServerFixture::Kind>("kind");
    QTest::newRow("pyftpdlib") << FtpServerFixture::Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << FtpServerFixture::Kind::Vsftpd;
}

void TestServerDeletes::deletesLinkNotItsTarget()
{
    QFETCH(FtpServerFixture::Kind, kind);
    FtpServerFixture server(kind);
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeEntries(server.root(),
        { QStringLiteral("work/"), QStringLiteral("work/sub/"), QStringLiteral("work/sub/x.txt"),
            QStringLiteral("target/"), QStringLiteral("target/inside.txt") }));
    QVERIFY(QFile::link(QStringLiteral("../target"), server.root() + QStringLiteral("/work/link")));
    QVERIFY(QFile::link(QStringLiteral("../../target"), server.root() + QStringLiteral("/work/sub/deeplink")));
    rig.answerCaution(true);
    QVERIFY(rig.showAndSelect(QStringLiteral("/work"), { QStringLiteral("link"), QStringLiteral("sub") }));

    rig.deletes.DeleteServerSelection();

    QCOMPARE(rig.cautions, QStringList { QStringLiteral("フォルダー数:1　ファイル数:3") });
    QCOMPARE(entriesBelow(server.root()),
        QStringList({ QStringLiteral("target/"), QStringLiteral("target/inside.txt"), QStringLiteral("work/") }));
}

void TestServerDeletes::deletesMarkedTreeNodes()
{
    FtpServerFixture server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeEntries(server.root(), Site));
    rig.answerCaution(true);
    rig.pane->setFolderText(QStringLiteral("/work"));
    QVERIFY(rig.pane->ExpandFtpTree(true, QStringLiteral("sub")));
    QStandardItemModel& tree = *rig.pane->folderTree();
    const QList<QStandardItem*> found = tree.findItems(QStringLiteral("b.txt"), Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    rig.deletes.toggleMark(found.first());
    QVERIFY(rig.deletes.isMarked(found.first()));
    QStandardItem* deep = tree.findItems(QStringLiteral("deep"), Qt::MatchExactly | Qt::MatchRecursive).first();
    // A folder is never deleted from the tree, marked or not.
    rig.deletes.toggleMark(deep);

    rig.deletes.DeleteServerMarked();

    QCOMPARE(rig.cautions, QStringList { QStringLiteral("フォルダー数:0　ファイル数:1") });
    QVERIFY(!QFile::exists(server.root() + QStringLiteral("/work/sub/b.txt")));
    QVERIFY(QDir(server.root() + QStringLiteral("/work/sub/deep")).exists());
    QCOMPARE(rig.linesStartingWith(QStringLiteral("ﾌｧｲﾙ削除:")), QStringList { QStringLiteral("/work/sub/b.txt") });
    QVERIFY(tree.findItems(QStringLiteral("b.txt"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    QCOMPARE(rig.report.countsText(), QStringLiteral("消去ファイル:1"));
    QCOMPARE(rig.report.caption(), StatusReport::defaultCaption());
}

void TestServerDeletes::refusingServerLeavesPanesConsistent()
{
    ScriptedFtpServer server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server,
        QStringLiteral("dir /work\n"
                       "dir /work/sub\n"
                       "file /work/sub/b.txt text b\n"
                       "file /work/a.txt text a\n"
                       "on DELE,RMD,MKD,SITE\n"
                       "  reply 550 Permission denied.\n"
                       "end\n")));
    rig.answerCaution(true);
    QVERIFY(rig.showAndSelect(QStringLiteral("/work"), { QStringLiteral("sub"), QStringLiteral("a.txt") }));
    const QStringList before = rig.listNames();

    rig.deletes.DeleteServerSelection();

    QVERIFY(server.commands().contains(QStringLiteral("DELE /work/a.txt")));
    QVERIFY(server.commands().contains(QStringLiteral("RMD /work/sub")));
    QCOMPARE(rig.listNames(), before);
    QVERIFY(rig.linesStartingWith(QStringLiteral("ファイル削除:")).isEmpty());
    // Each refusal is said in the status list, the files' also in the log.
    QStringList failedFiles = rig.linesStartingWith(QStringLiteral("ﾌｧｲﾙ削除失敗:"));
    failedFiles.sort();
    QCOMPARE(failedFiles, QStringList({ QStringLiteral("/work/a.txt"), QStringLiteral("/work/sub/b.txt") }));
    QCOMPARE(rig.linesStartingWith(QStringLiteral("ﾌｫﾙﾀﾞ削除失敗:")), QStringList { QStringLiteral("/work/sub") });
    QVERIFY(!rig.logText().contains(QStringLiteral("<FTPファイル削除>")));
    QVERIFY(rig.logText().contains(QStringLiteral("/work/a.txt</FTPファイル削除>")));
    // The tree keeps every node it could not delete.
    QStringList keys = rig.pane->treeNodeKeys();
    QCOMPARE(keys.first(), QStringLiteral("/work"));
    keys.sort();
    QCOMPARE(keys,
        QStringList({ QStringLiteral("/work"), QStringLiteral("/work/a.txt"), QStringLiteral("/work/sub"),
            QStringLiteral("/work/sub/b.txt") }));

    // The tree's marked file: the refusal is logged and shown, the node stays.
    QStandardItem* b
        = rig.pane->folderTree()->findItems(QStringLiteral("b.txt"), Qt::MatchExactly | Qt::MatchRecursive).first();
    rig.deletes.toggleMark(b);
    rig.deletes.DeleteServerMarked();
    QCOMPARE(rig.linesStartingWith(QStringLiteral("ﾌｧｲﾙ削除失敗:")).last(), QStringLiteral("/work/sub/b.txt"));
    QVERIFY(rig.logText().contains(QStringLiteral("<FTPファイル削除失敗>")));
    QCOMPARE(rig.pane->treeNodeKeys().size(), 4);
    QVERIFY(rig.state.IsConnected);
}

QTEST_GUILESS_MAIN(TestServerDeletes)
#include "tst_serverdeletes.moc"
