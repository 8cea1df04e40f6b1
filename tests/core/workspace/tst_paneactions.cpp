// The pane commands on real files and a pyftpdlib server: copy and paste on the server and
// locally, moves by a drag within each list, drops between the lists, renaming; and the
// companion's commands through the workspace's link.
#include "core/panecommands/panecommands.h"
#include "core/workspace/companionlink.h"
#include "workspacerig.h"

#include <sys/stat.h>

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
        QCOMPARE(
            commands.TempCopies, QStringList({ rig.data.filePath("temp/a.txt"), rig.data.filePath("temp/b.html") }));
        QCOMPARE(readFile(rig.data.filePath("temp/b.html")), "pub/b.html");
        QCOMPARE(rig.remoteMarks(), "sub=closed* a.txt=leaf b.html=leaf");
        QVERIFY(commands.menuState().itemEnabled(9));
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
        QCOMPARE(rig.remoteMarks(), "a.txt=leaf b.html=leaf keep.txt=leaf");
        QCOMPARE(rig.logEntries().last(), "<ファイルの貼り付け>2024-03-15 /dst/b.html</ファイルの貼り付け>");
        QCOMPARE(rig.statusTexts().mid(2),
            QStringList({ "ファイルの貼り付け:/dst/a.txt", "ファイルの貼り付け:/dst/b.html" }));

        // Copying only a folder copies nothing, and a later paste sends nothing.
        rig.showRemote("/pub");
        QVERIFY(rig.selectRemote({ "sub" }));
        commands.copy("listview1");
        QVERIFY(commands.TempCopies.isEmpty() && QDir(rig.data.filePath("temp")).isEmpty());
        commands.paste("listview1");
        QCOMPARE(rig.logCount("<ファイルの貼り付け>"), 2);
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
        QCOMPARE(rig.logEntries().mid(2, 2),
            QStringList(
                { "<FTPサーバーファイルのペースト>2024-03-15 09:05:03 /pub/sub/a.txt</FTPサーバーファイルのペースト>",
                    "<FTPサーバーファイの削除>2024-03-15 09:05:03 /pub/a.txt</FTPサーバーファイの削除>" }));
        QVERIFY(!rig.remote().fileSelection()->hasSelection());

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

        // A drop on empty space does nothing.
        rig.showRemote("/pub/sub");
        drag(rig, "ListView1", { "a.txt" }, true, -1);
        QCOMPARE(entriesBelow(onServer("pub")), QStringList({ "sub/", "sub/a.txt", "sub/b.html", "sub/deep.txt" }));
    }

    void dropsBetweenTheLists()
    {
        WorkspaceRig rig;
        QVERIFY(makeEntries(rig.local.path(), { "up.txt", "down/" }));
        rig.showLocal();
        // Without a connection, local entries dropped on the FTP list are refused with the message.
        drag(rig, "ListView2", { "up.txt" }, true, -1);
        QCOMPARE(rig.dialogs.texts(), QStringList("サーバーに接続されていません"));

        // Server files dropped on a local folder go into it; on a local file, into the current local
        // folder. The click that selects the row again makes it a plain file once more.
        QVERIFY(connectTo(rig, "/dst"));
        drag(rig, "ListView1", { "keep.txt" }, false, rig.localRow("down"));
        rig.showLocal();
        QCOMPARE(rig.remoteIcon("keep.txt"), IconKeys::Leaf2);
        rig.ws->paneCommands().onFtpListClicked(rig.remoteRow("keep.txt"));
        QCOMPARE(rig.ws->state().ActivePane, 2);
        drag(rig, "ListView1", { "keep.txt" }, false, rig.localRow("up.txt"));
        // Local files on empty space of the FTP list: into the current FTP folder.
        drag(rig, "ListView2", { "up.txt" }, true, -1);
        QCOMPARE(entriesBelow(rig.local.path()).join(u' ') + " | " + entriesBelow(onServer("dst")).join(u' '),
            "down/ down/keep.txt keep.txt up.txt | keep.txt up.txt");
        QVERIFY(readFile(rig.localPath("up.txt")) == "up.txt" && rig.dialogs.asked.size() == 1);
    }

    void renameOnTheServer()
    {
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, "/pub"));
        PaneCommands& commands = rig.ws->paneCommands();

        commands.beginFtpRename(rig.remoteRow("a.txt"));
        QCOMPARE(commands.RenameOldName, "a.txt");
        QVERIFY(commands.renameFtpEntry(commands.RenameOldName, "名前 変更.txt"));
        // An empty name cancels and sends nothing; a path is refused here, not sent; the server's
        // refusal is shown in a status line.
        QVERIFY(!commands.renameFtpEntry("b.html", "") && !commands.renameFtpEntry("b.html", "../b.html"));
        QVERIFY(!commands.renameFtpEntry("missing.txt", "x.txt"));
        QCOMPARE(entriesBelow(onServer("pub")), QStringList({ "b.html", "sub/", "sub/deep.txt", "名前 変更.txt" }));
        const QStringList lines = rig.statusTexts();
        QCOMPARE(lines.mid(0, 2),
            QStringList({ "ファイル名の変更:a.txt→名前 変更.txt", "ファイル名の変更ができません:../b.html" }));
        QVERIFY2(lines.size() == 3 && lines.last().startsWith("ファイル名の変更ができません:missing.txt→x.txt 550"),
            qPrintable(lines.join(u'|')));
        QVERIFY(rig.ws->connectionWatch().isActive() && rig.dialogs.asked.isEmpty());
    }

    void copyAndPasteLocally()
    {
        WorkspaceRig rig;
        PaneCommands& commands = rig.ws->paneCommands();
        const QString src = rig.localPath("src");
        const QString dst = rig.localPath("dst");
        QVERIFY(makeEntries(rig.local.path(), { "src/page.html", "src/Makefile", "src/site.d/inner/x.txt", "dst/" }));
        rig.showLocal("src");
        QVERIFY(rig.selectLocal({ "page.html", "Makefile", "site.d" }));

        commands.copy("ListView2");
        QCOMPARE(commands.ClipboardSource, "listview2");
        QCOMPARE(commands.LocalClipboard, QStringList({ src + "/site.d", src + "/Makefile", src + "/page.html" }));
        commands.copy("ListView1"); // replaces only the FTP clipboard
        QCOMPARE(commands.LocalClipboard.size(), 3);

        // Twice: files are replaced, a folder gets a free name. A dot in a folder's name does not
        // make it a file; a file without one is still a file.
        rig.showLocal("dst");
        commands.paste("listview2");
        QVERIFY(writeFile(src + "/page.html", "<p>2</p>"));
        commands.paste("listview2");
        QCOMPARE(entriesBelow(dst).join(u' '),
            "Makefile page.html site.d/ site.d/inner/ site.d/inner/x.txt site.d (2)/ site.d (2)/inner/ "
            "site.d (2)/inner/x.txt");
        QCOMPARE(readFile(dst + "/page.html"), "<p>2</p>");
        QCOMPARE(rig.localNames(), QStringList({ "site.d", "site.d (2)", "Makefile", "page.html" }));
        QCOMPARE(rig.statusTexts().mid(3),
            QStringList({ "フォルダーの貼り付け:" + src + "/site.d -> " + dst + "/site.d (2)",
                "ファイルの貼り付け:" + src + "/Makefile -> " + dst + "/Makefile",
                "ファイルの貼り付け:" + src + "/page.html -> " + dst + "/page.html" }));
        QCOMPARE(rig.logEntries().first(),
            "<フォルダーの貼り付け>2024-03-15 09:05:03 " + src + "/site.d -> " + dst
                + "/site.d</フォルダーの貼り付け>");
        // Pasted into the folder the files came from, nothing is copied over itself.
        rig.showLocal("src");
        commands.LocalClipboard = QStringList { src + "/page.html" };
        commands.paste("listview2");
        QVERIFY(readFile(src + "/page.html") == "<p>2</p>" && rig.logEntries().size() == 6);
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
        QCOMPARE(rig.localNames(), QStringList({ "target", "b.txt" }));
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
        QCOMPARE(rig.dialogs.texts(),
            QStringList({ "b.txt は既に有ります。上書きしますか?", "b.txt は既に有ります。上書きしますか?",
                "inner は既に有ります。上書きしますか?" }));
        QCOMPARE(rig.dialogs.asked.first().buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(rig.statusTexts().mid(2, 2),
            QStringList({ "ファイル名の変更:" + base + "/target/a.txt→" + base + "/target/c.txt",
                "ファイル名の変更ができません:../c.txt" }));
    }

    void companionCommands()
    {
        WorkspaceRig rig;
        QVERIFY(makeEntries(rig.local.path(), { "up.txt" }) && connectTo(rig, "/"));
        CompanionCommands& companion = rig.ws->companionLink();

        // Names as the companion gives them: "\" for "/", the current folder in front. Rows the
        // user had selected are not carried along.
        companion.openFtpFolder("pub\\");
        QCOMPARE(rig.remote().folderText(), "/pub");
        companion.upload(rig.local.path() + "/up.txt");
        QVERIFY(rig.selectRemote({ "b.html" }));
        companion.download("/pub/a.txt");
        QCOMPARE(entriesBelow(rig.local.path()), QStringList({ "a.txt", "up.txt" }));
        // Only three octal digits make a mode.
        companion.changePermissions("640", "a.txt");
        companion.changePermissions("6; rm", "a.txt");
        struct stat st { };
        QVERIFY(::stat(QFile::encodeName(onServer("pub/a.txt")).constData(), &st) == 0 && (st.st_mode & 0777) == 0640);

        // A hidden window cannot answer the confirmation: the companion that named the file stands
        // for the user. A shown window asks, as ever.
        companion.deleteOnServer("b.html");
        QVERIFY(rig.dialogs.asked.isEmpty());
        rig.ws->setWindowShown(true);
        companion.deleteOnServer("a.txt");
        QCOMPARE(entriesBelow(onServer("pub")), QStringList({ "a.txt", "sub/", "sub/deep.txt", "up.txt" }));
        QCOMPARE(rig.dialogs.texts(),
            QStringList("表示されているファイルとフォルダーを削除しますか？\r\nフォルダー数:0　ファイル数:1"));

        // Local files go to the trash; up a folder on either side.
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        companion.deleteLocal("up.txt");
        QCOMPARE(entriesBelow(rig.local.path()), QStringList("a.txt"));
        companion.ftpFolderUp();
        companion.localFolderUp();
        QCOMPARE(rig.remote().folderText() + ' ' + rig.localPane().folderText(),
            rig.remote().hostName() + ' ' + QFileInfo(rig.local.path()).path());
    }
};

QTEST_GUILESS_MAIN(TestPaneActions)
#include "tst_paneactions.moc"
