// The pane commands on real files and a pyftpdlib server: copy and paste on the server, moves by
// a drag within each list, local renames. The local file calls under them have their own table.
#include "core/panecommands/panecommands.h"
#include "workspacerig.h"

namespace {

// The rows `names` of the list `from` ("ListView1" the FTP list, "ListView2" the local one)
// dragged onto row `row` of the FTP list (or the local one), -1 for empty space.
void drag(WorkspaceRig& rig, const QString& from, const QStringList& names, bool ontoFtp, int row)
{
    QVERIFY(from == u"ListView1" ? rig.selectRemote(names) : rig.selectLocal(names));
    PaneCommands& commands = rig.ws->paneCommands();
    commands.DragSource = from;
    ontoFtp ? commands.dropOnFtpList(row) : commands.dropOnLocalList(row);
    QVERIFY(commands.DragSource.isEmpty());
}

} // namespace

class TestPaneActions : public QObject {
    Q_OBJECT
    std::unique_ptr<FtpServerFixture> m_server;

    // A fresh site on pyftpdlib, the rig connected and showing `folder`.
    bool connectTo(WorkspaceRig& rig, const QString& folder)
    {
        m_server = std::make_unique<FtpServerFixture>();
        if (!startServer(*m_server)
            || !makeEntries(m_server->root(), { "pub/a.txt", "pub/b.html", "pub/sub/deep.txt", "dst/keep.txt" })
            || !rig.connect(*m_server))
            return false;
        rig.showRemote(folder);
        rig.ws->statusLines().setStringList({});
        return rig.serverFolder() == folder;
    }
    QString onServer(const QString& path) const { return m_server->root() + u'/' + path; }

private Q_SLOTS:
    void cleanup() { m_server.reset(); }

    void copyAndPasteOnTheServer()
    {
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, "/pub"));
        PaneCommands& commands = rig.ws->paneCommands();
        QVERIFY(rig.selectRemote({ "sub", "a.txt", "b.html" }));

        // The folder is refused with the message and stays selected; the files are copied.
        commands.copy("ListView1");
        QCOMPARE(rig.dialogs.texts(),
            QStringList(
                "FTPサーバー上のフォルダーはコピー又は移動出来ません｡\r\nファイル単位でコピー又は移動します。"));
        QCOMPARE(commands.TempCopySources, QStringList({ "/pub/a.txt", "/pub/b.html" }));
        QCOMPARE(readFile(rig.data.filePath("temp/b.html")), "pub/b.html");
        QCOMPARE(rig.remoteMarks(), "sub=closed* a.txt=leaf b.html=leaf");
        QCOMPARE(rig.statusTexts(), QStringList({ "ファイルコピー:/pub/a.txt", "ファイルコピー:/pub/b.html" }));
        QCOMPARE(rig.logEntries().last(), "<FTPファイルのコピー>2024-03-15 09:05:03 /pub/b.html</FTPファイルのコピー>");

        // Pasted with the folder "dst" selected in the root: the folder is opened first; the sources stay.
        rig.showRemote(rig.remote().hostName());
        QVERIFY(rig.selectRemote({ "dst" }));
        commands.paste("listview1");
        QCOMPARE(rig.serverFolder(), "/dst");
        QCOMPARE(entriesBelow(onServer("")).join(u' '),
            "dst/ dst/a.txt dst/b.html dst/keep.txt pub/ pub/a.txt pub/b.html pub/sub/ pub/sub/deep.txt");
        QCOMPARE(readFile(onServer("dst/b.html")), "pub/b.html");
        QCOMPARE(rig.logEntries().last(), "<ファイルの貼り付け>2024-03-15 /dst/b.html</ファイルの貼り付け>");
        QCOMPARE(rig.statusTexts().last(), "ファイルの貼り付け:/dst/b.html");
    }

    // A server file moved by a drag is deleted only after its copy arrived under another path.
    void moveByDragWithinTheFtpList()
    {
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, "/pub"));
        PaneCommands& commands = rig.ws->paneCommands();

        // Onto a folder: the file goes there, then the source is deleted. Onto a file: that is no
        // folder, and the copy would land on its source.
        drag(rig, "ListView1", { "a.txt" }, true, rig.remoteRow("sub"));
        QCOMPARE(rig.serverFolder() + ' ' + rig.remoteMarks(), "/pub/sub a.txt=leaf deep.txt=leaf");
        drag(rig, "ListView1", { "deep.txt" }, true, rig.remoteRow("deep.txt"));
        QCOMPARE(entriesBelow(onServer("pub")), QStringList({ "b.html", "sub/", "sub/a.txt", "sub/deep.txt" }));
        QCOMPARE(readFile(onServer("pub/sub/a.txt")), "pub/a.txt");
        QCOMPARE(rig.statusTexts(),
            QStringList({ "ファイルコピー:/pub/a.txt", "FTPサーバーファイルのペースト:/pub/sub/a.txt",
                "FTPサーバーファイの削除:/pub/a.txt", "ファイルコピー:/pub/sub/deep.txt" }));
        QCOMPARE(rig.logEntries().value(3),
            "<FTPサーバーファイの削除>2024-03-15 09:05:03 /pub/a.txt</FTPサーバーファイの削除>");

        // Moved onto its own folder: neither sent nor deleted. A copy that does not arrive (the name
        // is a folder there) leaves its source.
        QVERIFY(rig.selectRemote({ "a.txt" }) && commands.CopyRemoteToTemp());
        commands.MoveTempToServer();
        QVERIFY(QDir().mkpath(onServer("dst/a.txt")) && rig.remote().ChangeFtpFolder("/dst"));
        rig.ws->state().SuppressWinInetErrors = true;
        commands.MoveTempToServer();
        rig.ws->state().SuppressWinInetErrors = false;
        QVERIFY(QFileInfo(onServer("pub/sub/a.txt")).isFile() && rig.logEntries().filter("<FTPサーバー").size() == 2);

        // The file went before the copy (it stays selected, the status list says so), or before its
        // deletion (the copy arrived, the source is reported).
        rig.showRemote("/pub");
        QVERIFY(rig.selectRemote({ "b.html" }) && QFile::remove(onServer("pub/b.html")));
        QVERIFY(!commands.CopyRemoteToTemp());
        QCOMPARE(rig.statusTexts().last() + ' ' + rig.remoteMarks(),
            "ファイルコピー失敗:/pub/b.html sub=closed b.html=leaf*");
        QVERIFY(writeFile(onServer("pub/b.html"), "b\n") && commands.CopyRemoteToTemp());
        QVERIFY(QFile::remove(onServer("pub/b.html")) && rig.remote().ChangeFtpFolder("/pub/sub"));
        commands.MoveTempToServer();
        QCOMPARE(readFile(onServer("pub/sub/b.html")), "b\n");
        QCOMPARE(rig.statusTexts().last(), "FTPサーバーファイの削除失敗:/pub/b.html");
    }

    void moveAndRenameLocally()
    {
        WorkspaceRig rig;
        PaneCommands& commands = rig.ws->paneCommands();
        const QString base = rig.local.path();
        QVERIFY(makeEntries(base, { "a.txt", "b.txt", "inner/x", "target/b.txt" }));
        rig.showLocal();

        // Onto a file, or empty space: nothing moves. Onto a folder, itself among the selection:
        // everything else moves, except a name taken in the target.
        drag(rig, "ListView2", { "a.txt" }, false, rig.localRow("b.txt"));
        drag(rig, "ListView2", { "a.txt" }, false, -1);
        drag(rig, "listview2", { "a.txt", "b.txt", "inner", "target" }, false, rig.localRow("target"));
        QCOMPARE(entriesBelow(base).join(u' '), "b.txt target/ target/a.txt target/b.txt target/inner/ target/inner/x");
        QCOMPARE(readFile(base + "/target/b.txt"), "target/b.txt");
        QCOMPARE(rig.statusTexts().first(), "ファイル又はフォルダー移動:" + base + "/a.txt->" + base + "/target/a.txt");
        QCOMPARE(rig.logCount("<ファイル又はフォルダー移動>"), 2);

        // A rename: empty cancels, a path is refused; a taken name asks, No keeps both files, Yes
        // replaces; a folder is never replaced, even when the user agrees.
        rig.showLocal("target");
        QVERIFY(commands.renameLocalEntry("a.txt", "c.txt"));
        QVERIFY(!commands.renameLocalEntry("c.txt", "") && !commands.renameLocalEntry("c.txt", "../c.txt"));
        rig.dialogs.queueAnswer(Dialogs::Answer::No);
        QVERIFY(!commands.renameLocalEntry("c.txt", "b.txt"));
        QCOMPARE(entriesBelow(base + "/target"), QStringList({ "b.txt", "c.txt", "inner/", "inner/x" }));
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        QVERIFY(commands.renameLocalEntry("c.txt", "b.txt"));
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        QVERIFY(!commands.renameLocalEntry("b.txt", "inner"));
        QCOMPARE(entriesBelow(base + "/target"), QStringList({ "b.txt", "inner/", "inner/x" }));
        QCOMPARE(readFile(base + "/target/b.txt"), "a.txt");
        QCOMPARE(rig.dialogs.asked.size(), 3);
        QCOMPARE(rig.statusTexts().mid(2, 2),
            QStringList({ "ファイル名の変更:" + base + "/target/a.txt→" + base + "/target/c.txt",
                "ファイル名の変更ができません:../c.txt" }));
    }
};

QTEST_GUILESS_MAIN(TestPaneActions)
#include "tst_paneactions.moc"
