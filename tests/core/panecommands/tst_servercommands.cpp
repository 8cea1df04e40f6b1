// The server side of the pane commands against pyftpdlib: copy and paste from server to server,
// the move by a drag within the FTP list (and the move that must not delete), drops between the
// lists in both directions, and renaming on the server.
#include "commandsrig.h"
#include "core/app/itemroles.h"

#include <QTest>

namespace {

bool makeSite(const QString& root)
{
    for (const char* file : { "pub/a.txt", "pub/b.html", "pub/sub/deep.txt", "dst/keep.txt" }) {
        if (!CommandsRig::writeFile(root + u'/' + QLatin1String(file), QByteArray("text of ") + file + "\n"))
            return false;
    }
    return true;
}

} // namespace

class TestServerCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void copyAndPasteOnTheServer();
    void moveByDragWithinTheFtpList();
    void dropsBetweenTheLists();
    void renameOnTheServer();

private:
    // Connects the rig and shows `folder` in the FTP pane.
    bool connectTo(CommandsRig& rig, const QString& folder);
    QString serverFile(const QString& path) const { return m_server->root() + u'/' + path; }

    std::unique_ptr<FtpServerFixture> m_server;
};

void TestServerCommands::init()
{
    // The server starts in the current folder, which the last test's local pane may have left
    // in a folder that is gone.
    QDir::setCurrent(QDir::tempPath());
    m_server = std::make_unique<FtpServerFixture>(FtpServerFixture::Kind::Pyftpdlib);
    QString error;
    QVERIFY2(m_server->start(&error), qPrintable(error));
    QVERIFY(makeSite(m_server->root()));
}

void TestServerCommands::cleanup() { m_server.reset(); }

bool TestServerCommands::connectTo(CommandsRig& rig, const QString& folder)
{
    rig.setProfile(*m_server);
    rig.pane->ConnectServer();
    if (!rig.state.IsConnected) {
        qWarning("%s", qPrintable(rig.dialogs.texts().join(u'|')));
        return false;
    }
    if (!rig.pane->ChangeFtpFolder(folder)) {
        qWarning("cannot enter %s: %s %s %d", qPrintable(folder), qPrintable(rig.dialogs.texts().join(u'|')),
            qPrintable(rig.pane->LastResponseText()), rig.pane->FtpHandle() ? rig.pane->FtpHandle()->lastError() : -1);
        return false;
    }
    rig.pane->RefreshFtpPanes();
    return rig.serverFolder() == folder;
}

void TestServerCommands::copyAndPasteOnTheServer()
{
    CommandsRig rig;
    QVERIFY(connectTo(rig, "/pub"));
    QCOMPARE(rig.listNames(), (QStringList { "sub", "a.txt", "b.html" }));
    rig.selectFtp({ "sub", "a.txt", "b.html" });

    rig.commands->copy(QStringLiteral("ListView1"));
    // The folder is refused with the message and stays selected; the files are copied.
    QCOMPARE(rig.dialogs.texts(), QStringList(PaneCommands::folderCopyRefusal()));
    QCOMPARE(rig.commands->TempCopySources, (QStringList { "/pub/a.txt", "/pub/b.html" }));
    QCOMPARE(
        rig.commands->TempCopies, (QStringList { rig.data.filePath("temp/a.txt"), rig.data.filePath("temp/b.html") }));
    QCOMPARE(CommandsRig::readFile(rig.data.filePath("temp/b.html")), QByteArray("text of pub/b.html\n"));
    QVERIFY(rig.pane->fileSelection()->isRowSelected(rig.rowOf("sub"), QModelIndex()));
    QVERIFY(!rig.pane->fileSelection()->isRowSelected(rig.rowOf("a.txt"), QModelIndex()));
    QVERIFY(rig.commands->menuState().itemEnabled(9));
    QCOMPARE(rig.commands->menuState().caption(9), QStringLiteral("FTPファイルの貼り付け"));
    const QString shown = rig.pane->folderText();
    QVERIFY(rig.statusLines().contains("09:05:03 ファイルコピー:" + shown + "/a.txt"));
    QVERIFY(
        rig.logText().contains("<FTPファイルのコピー>2024-03-15 09:05:03 " + shown + "/a.txt</FTPファイルのコピー>"));

    // Pasted with the folder "dst" selected in the root: the folder is opened first.
    QVERIFY(rig.pane->ChangeFtpFolder(m_server->hostField()));
    rig.pane->RefreshFtpPanes();
    rig.selectFtp({ "dst" });
    rig.commands->paste(QStringLiteral("listview1"));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/dst"));
    QCOMPARE(CommandsRig::readFile(serverFile("dst/a.txt")), QByteArray("text of pub/a.txt\n"));
    QCOMPARE(CommandsRig::readFile(serverFile("dst/b.html")), QByteArray("text of pub/b.html\n"));
    QCOMPARE(rig.listNames(), (QStringList { "a.txt", "b.html", "keep.txt" }));
    QVERIFY(!rig.pane->fileSelection()->hasSelection());
    // The sources stay.
    QVERIFY(QFileInfo::exists(serverFile("pub/a.txt")));
    QVERIFY(
        rig.logText().contains("<ファイルの貼り付け>2024-03-15 " + rig.pane->folderText() + "/a.txt</ファイルの貼り付け>"));
    QVERIFY(rig.statusLines().contains("09:05:03 ファイルの貼り付け:" + rig.pane->folderText() + "/b.html"));

    // Copying only a folder copies nothing, and a later paste sends nothing.
    rig.selectFtp({});
    QVERIFY(rig.pane->ChangeFtpFolder("/pub"));
    rig.pane->RefreshFtpPanes();
    rig.selectFtp({ "sub" });
    rig.commands->copy(QStringLiteral("listview1"));
    QVERIFY(rig.commands->TempCopies.isEmpty());
    QVERIFY(QDir(rig.data.filePath("temp")).isEmpty());
    const int pastes = rig.logText().count("<ファイルの貼り付け>");
    rig.commands->paste(QStringLiteral("listview1"));
    QCOMPARE(rig.logText().count("<ファイルの貼り付け>"), pastes);
}

void TestServerCommands::moveByDragWithinTheFtpList()
{
    CommandsRig rig;
    QVERIFY(connectTo(rig, "/pub"));

    // Onto a folder: the file goes there, then the source is deleted.
    rig.selectFtp({ "a.txt" });
    rig.commands->DragSource = QStringLiteral("ListView1");
    rig.commands->dropOnFtpList(rig.rowOf("sub"));
    QCOMPARE(CommandsRig::readFile(serverFile("pub/sub/a.txt")), QByteArray("text of pub/a.txt\n"));
    QVERIFY(!QFileInfo::exists(serverFile("pub/a.txt")));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/pub/sub"));
    QCOMPARE(rig.listNames(), (QStringList { "a.txt", "deep.txt" }));
    QVERIFY(rig.statusLines().contains("09:05:03 FTPサーバーファイの削除:/pub/a.txt"));
    QVERIFY(
        rig.logText().contains("<FTPサーバーファイの削除>2024-03-15 09:05:03 /pub/a.txt</FTPサーバーファイの削除>"));
    QVERIFY(rig.logText().contains("<FTPサーバーファイルのペースト>"));
    QVERIFY(rig.commands->DragSource.isEmpty());
    QVERIFY(!rig.pane->fileSelection()->hasSelection());

    // Onto a file: the file is no folder, the copy would land on its source: nothing is deleted.
    rig.selectFtp({ "deep.txt" });
    rig.commands->DragSource = QStringLiteral("ListView1");
    rig.commands->dropOnFtpList(rig.rowOf("deep.txt"));
    QCOMPARE(CommandsRig::readFile(serverFile("pub/sub/deep.txt")), QByteArray("text of pub/sub/deep.txt\n"));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/pub/sub"));

    // Moved onto its own folder: neither sent nor deleted.
    rig.selectFtp({ "a.txt" });
    QVERIFY(rig.commands->CopyRemoteToTemp());
    const int pastes = rig.logText().count("<FTPサーバーファイルのペースト>");
    rig.commands->MoveTempToServer();
    QVERIFY(QFileInfo::exists(serverFile("pub/sub/a.txt")));
    QCOMPARE(rig.logText().count("<FTPサーバーファイルのペースト>"), pastes);
    QCOMPARE(rig.logText().count("<FTPサーバーファイの削除>"), 1);

    // A copy that does not arrive leaves its source: the target name is a folder on the server.
    QVERIFY(QDir().mkpath(serverFile("dst/a.txt")));
    QVERIFY(rig.pane->ChangeFtpFolder("/dst"));
    rig.state.SuppressWinInetErrors = true;
    rig.commands->MoveTempToServer();
    rig.state.SuppressWinInetErrors = false;
    QVERIFY(QFileInfo(serverFile("pub/sub/a.txt")).isFile());
    QCOMPARE(rig.logText().count("<FTPサーバーファイの削除>"), 1);

    // A server that refuses: the file went before the copy (it stays selected, the status list
    // says so), or before its deletion (the copy arrived, the source is reported).
    QVERIFY(rig.pane->ChangeFtpFolder("/pub"));
    rig.pane->RefreshFtpPanes();
    rig.selectFtp({ "b.html" });
    QVERIFY(QFile::remove(serverFile("pub/b.html")));
    QVERIFY(!rig.commands->CopyRemoteToTemp());
    QVERIFY(rig.statusLines().last().endsWith("ファイルコピー失敗:" + rig.pane->folderText() + "/b.html"));
    QVERIFY(rig.pane->fileSelection()->isRowSelected(rig.rowOf("b.html"), QModelIndex()));
    QVERIFY(CommandsRig::writeFile(serverFile("pub/b.html"), "b\n"));
    QVERIFY(rig.commands->CopyRemoteToTemp());
    QVERIFY(QFile::remove(serverFile("pub/b.html")));
    QVERIFY(rig.pane->ChangeFtpFolder("/pub/sub"));
    rig.commands->MoveTempToServer();
    QCOMPARE(CommandsRig::readFile(serverFile("pub/sub/b.html")), QByteArray("b\n"));
    QVERIFY(rig.statusLines().last().endsWith("FTPサーバーファイの削除失敗:/pub/b.html"));

    // A drop on empty space does nothing.
    QVERIFY(rig.pane->ChangeFtpFolder("/pub/sub"));
    rig.pane->RefreshFtpPanes();
    rig.selectFtp({ "a.txt" });
    rig.commands->DragSource = QStringLiteral("ListView1");
    rig.commands->dropOnFtpList(-1);
    QVERIFY(QFileInfo::exists(serverFile("pub/sub/a.txt")));
}

void TestServerCommands::dropsBetweenTheLists()
{
    CommandsRig rig;
    const QString base = rig.local.path();
    QVERIFY(CommandsRig::writeFile(base + "/up.txt", "up\n"));
    QVERIFY(QDir().mkpath(base + "/down"));
    rig.showLocal(base);

    // Without a connection, local entries dropped on the FTP list are refused with the message.
    rig.selectLocal({ "up.txt" });
    rig.commands->DragSource = QStringLiteral("ListView2");
    rig.commands->dropOnFtpList(-1);
    QCOMPARE(rig.dialogs.texts(), QStringList("サーバーに接続されていません"));

    QVERIFY(connectTo(rig, "/dst"));
    rig.dialogs.clear();
    rig.selectFtp({ "keep.txt" });
    rig.commands->DragSource = QStringLiteral("ListView1");
    rig.commands->dropOnLocalList(rig.localRow("down"));
    QCOMPARE(CommandsRig::readFile(base + "/down/keep.txt"), QByteArray("text of dst/keep.txt\n"));

    // FTP on a local file: downloaded into the current local folder. The click that selects the
    // row again makes it a plain file once more for the download.
    rig.showLocal(base);
    QCOMPARE(rig.pane->fileList()->index(rig.rowOf("keep.txt"), 0).data(ItemRoles::IconKeyRole).toString(),
        IconKeys::Leaf2);
    rig.commands->onFtpListClicked(rig.rowOf("keep.txt"));
    QCOMPARE(rig.state.ActivePane, 2);
    rig.selectFtp({ "keep.txt" });
    rig.commands->DragSource = QStringLiteral("ListView1");
    rig.commands->dropOnLocalList(rig.localRow("up.txt"));
    QCOMPARE(CommandsRig::readFile(base + "/keep.txt"), QByteArray("text of dst/keep.txt\n"));
    QCOMPARE(CommandsRig::readFile(base + "/up.txt"), QByteArray("up\n"));

    // Local on empty space of the FTP list: into the current FTP folder.
    QVERIFY(CommandsRig::writeFile(base + "/up2.txt", "up2\n"));
    rig.showLocal(base);
    rig.selectLocal({ "up2.txt" });
    rig.commands->DragSource = QStringLiteral("ListView2");
    rig.commands->dropOnFtpList(-1);
    QCOMPARE(CommandsRig::readFile(serverFile("dst/up2.txt")), QByteArray("up2\n"));
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestServerCommands::renameOnTheServer()
{
    CommandsRig rig;
    QVERIFY(connectTo(rig, "/pub"));
    rig.timer1.start();

    rig.commands->beginFtpRename(rig.rowOf("a.txt"));
    QCOMPARE(rig.commands->RenameOldName, QStringLiteral("a.txt"));
    QVERIFY(rig.commands->renameFtpEntry(rig.commands->RenameOldName, "名前 変更.txt"));
    QVERIFY(QFileInfo::exists(serverFile("pub/名前 変更.txt")));
    QVERIFY(!QFileInfo::exists(serverFile("pub/a.txt")));
    QVERIFY(rig.timer1.isActive());

    // An empty name cancels and sends nothing; a path is refused here, not sent.
    const int lines = rig.statusLines().size();
    QVERIFY(!rig.commands->renameFtpEntry("b.html", ""));
    QCOMPARE(rig.statusLines().size(), lines);
    QVERIFY(!rig.commands->renameFtpEntry("b.html", "../b.html"));
    QVERIFY(QFileInfo::exists(serverFile("pub/b.html")));

    // The server's refusal is shown in a status line.
    QVERIFY(!rig.commands->renameFtpEntry("missing.txt", "x.txt"));
    const QString last = rig.statusLines().last();
    QVERIFY2(last.startsWith("09:05:03 ファイル名の変更ができません:missing.txt→x.txt 550"), qPrintable(last));
    QVERIFY(rig.timer1.isActive());
    QVERIFY(rig.dialogs.asked.isEmpty());
}

QTEST_GUILESS_MAIN(TestServerCommands)
#include "tst_servercommands.moc"
