// Deleting, making folders and changing permissions: on the server against pyftpdlib, vsftpd and a
// scripted server that refuses every change, and locally through the trash.
#include "core/app/statusreport.h"
#include "core/manage/deletes.h"
#include "core/manage/folders.h"
#include "core/manage/managerules.h"
#include "core/manage/permissions.h"
#include "workspacerig.h"

#include <QRegularExpression>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList Site { "work/keep.txt", "work/a.txt", "work/sub/b.txt", "work/sub/deep/c d.txt" };

// The delete confirmation answered with `run`; "中止" sets the stop flag, as the panel does.
void answerCaution(WorkspaceRig& rig, bool run, QStringList& cautions)
{
    rig.ws->deletes().setCaution([&rig, &cautions, run](const QString& counts) {
        cautions << counts;
        rig.ws->state().StopRequested = !run;
        return run;
    });
}

// The octal modes of files of `folder`, blank-separated ("-" when missing).
QString modes(const QString& folder, const QStringList& names)
{
    QStringList out;
    for (const QString& name : names) {
        struct stat st { };
        out << (::stat(QFile::encodeName(folder + name).constData(), &st) ? "-"
                                                                          : QString::number(st.st_mode & 0777, 8));
    }
    return out.join(u' ');
}

} // namespace

class TestManageFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Files first from the last node back, then the folders deepest first; the start folder stays.
    void deletesTree_data() { serverRows({ "pyftpdlib", "vsftpd" }); }
    void deletesTree()
    {
        QFETCH(QString, server);
        FtpServerFixture s(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        QVERIFY(startServer(s) && makeEntries(s.root(), Site));
        // vsftpd sends names as they are on disk, which the program reads as CP932.
        const QString japanese = "work/sub/deep/日本語.txt";
        const QByteArray onDisk = QFile::encodeName(s.root()) + '/'
            + (server == u"pyftpdlib" ? japanese.toUtf8() : Cp932::encode(japanese));
        QCOMPARE(::close(::open(onDisk.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644)), 0);
        WorkspaceRig rig;
        QVERIFY(rig.connect(s));
        StatusReport& report = rig.ws->statusReport();
        QStringList cautions;
        answerCaution(rig, true, cautions);
        rig.showRemote("/work");
        QVERIFY(rig.selectRemote({ "sub", "a.txt" }));
        rig.ws->statusLines().setStringList({});

        rig.ws->deletes().DeleteServerSelection();

        QCOMPARE(cautions, QStringList("フォルダー数:2　ファイル数:4"));
        QCOMPARE(entriesBelow(s.root()), QStringList({ "work/", "work/keep.txt" }));
        // The walk's empty line first; the files in no particular order (MLSD lists a folder so).
        QStringList lines = rig.statusTexts();
        std::sort(lines.begin() + 1, lines.begin() + 5);
        QCOMPARE(lines,
            QStringList(
                { "", "ファイル削除:/work/a.txt", "ファイル削除:/work/sub/b.txt", "ファイル削除:/work/sub/deep/c d.txt",
                    "ファイル削除:/work/sub/deep/日本語.txt", "ﾌｫﾙﾀﾞ削除:/work/sub/deep", "ﾌｫﾙﾀﾞ削除:/work/sub" }));
        QCOMPARE(rig.logEntries().last(), "<FTPフォルダ削除>2024-03-15 09:05:03 /work/sub</FTPフォルダ削除>");
        QVERIFY(!s.logText().contains(QRegularExpression("RMD /work(?!/)")));
        // The pane lists the start folder again, nothing selected, the report hidden.
        QCOMPARE(rig.remoteMarks(), "keep.txt=leaf");
        QVERIFY(report.FileCount == 4 && report.FolderCount == 2 && !report.isShown());
    }

    void cancelStopAndMarkedNodes()
    {
        FtpServerFixture server;
        WorkspaceRig rig;
        QVERIFY(rig.connectWith(server, Site));
        Deletes& deletes = rig.ws->deletes();
        StatusReport& report = rig.ws->statusReport();
        QStringList cautions;

        // "中止" deletes nothing; a Stop pressed while the panel was shown cancels as well.
        answerCaution(rig, false, cautions);
        rig.showRemote("/work");
        QVERIFY(rig.selectRemote({ "sub", "keep.txt" }));
        const QString before = rig.remoteMarks();
        deletes.DeleteServerSelection();
        deletes.setCaution([&rig](const QString&) { return rig.ws->state().StopRequested = true; });
        deletes.DeleteServerSelection();
        QVERIFY(cautions.size() == 1 && entriesBelow(server.root()).size() == 7 && rig.remoteMarks() == before);
        QVERIFY(!rig.logText().contains("削除") && !rig.ws->state().StopRequested && !report.isShown());

        // The status window's "中止" after the first file: the list shows what is left.
        answerCaution(rig, true, cautions);
        connect(&rig.ws->statusLines(), &StatusLines::lineAdded, &report, [&] {
            if (rig.ws->statusLines().lastLine().contains("ファイル削除:"))
                report.requestStop();
        });
        QVERIFY(rig.selectRemote({ "sub" }));
        deletes.DeleteServerSelection();
        QCOMPARE(rig.statusTexts().filter("削除"), QStringList("ファイル削除:/work/sub/deep/c d.txt"));
        QCOMPARE(rig.remoteMarks(), "sub=closed a.txt=leaf keep.txt=leaf");
        QVERIFY(!rig.ws->state().StopRequested && !report.isShown());

        // The marked files of the tree; a folder never goes from the tree, marked or not.
        cautions.clear();
        QVERIFY(rig.remote().ExpandFtpTree(true, "sub"));
        QStandardItemModel* tree = rig.remote().folderTree();
        deletes.toggleMark(treeNode(tree, "b.txt"));
        deletes.toggleMark(treeNode(tree, "deep"));
        deletes.DeleteServerMarked();
        QCOMPARE(cautions, QStringList("フォルダー数:0　ファイル数:1"));
        QCOMPARE(entriesBelow(server.root()).join(u' '), "work/ work/a.txt work/keep.txt work/sub/ work/sub/deep/");
        QCOMPARE(rig.statusTexts().last(), "ﾌｧｲﾙ削除:/work/sub/b.txt");
        QCOMPARE(treeMarks(tree), QStringList({ "/work/sub=open", "/work/sub/deep=open" }));
    }

    void refusingServer()
    {
        ScriptedFtpServer server;
        WorkspaceRig rig;
        QVERIFY(rig.connect(server,
            "dir /work\ndir /work/sub\nfile /work/sub/b.txt text b\nfile /work/a\\x20b.html text a\n"
            "file /work/c.html text c\non DELE,RMD,MKD,SITE\n  reply 550 Permission denied.\nend\n"));
        QStringList cautions;
        answerCaution(rig, true, cautions);
        rig.showRemote("/work");
        const QStringList before = rig.remoteNames();
        QVERIFY(rig.selectRemote({ "sub", "a b.html" }));
        rig.ws->statusLines().setStringList({});

        // Each refusal is said in the status list, the files' also in the log; the tree keeps every
        // node it could not delete, a marked file's too.
        rig.ws->deletes().DeleteServerSelection();
        QCOMPARE(rig.remoteNames(), before);
        QCOMPARE(rig.statusTexts().mid(1),
            QStringList({ "ﾌｧｲﾙ削除失敗:/work/sub/b.txt", "ﾌｧｲﾙ削除失敗:/work/a b.html", "ﾌｫﾙﾀﾞ削除失敗:/work/sub" }));
        QCOMPARE(rig.logEntries().mid(1),
            QStringList({ "<FTPファイル削除失敗>2024-03-15 09:05:03 /work/sub/b.txt</FTPファイル削除>",
                "<FTPファイル削除失敗>2024-03-15 09:05:03 /work/a b.html</FTPファイル削除>" }));
        QCOMPARE(
            rig.remote().treeNodeKeys(), QStringList({ "/work", "/work/sub", "/work/a b.html", "/work/sub/b.txt" }));
        rig.ws->deletes().toggleMark(treeNode(rig.remote().folderTree(), "b.txt"));
        rig.ws->deletes().DeleteServerMarked();
        QVERIFY(rig.statusTexts().last() == "ﾌｧｲﾙ削除失敗:/work/sub/b.txt" && rig.remote().treeNodeKeys().size() == 4);

        // Each refused mode is shown (the engine's error box) and logged as a failure.
        const QString refused = "WinInet エラー -12003\r\n550 Permission denied.\r\n    ";
        QVERIFY(rig.selectRemote({ "a b.html", "c.html" }));
        QVERIFY(rig.ws->permissions().ChangeServerPermissions());
        QCOMPARE(server.commands().filter("SITE"), QStringList({ "SITE CHMOD 644 a b.html", "SITE CHMOD 644 c.html" }));
        QCOMPARE(rig.dialogs.texts(), QStringList(2, refused));
        QCOMPARE(rig.statusTexts().last(), "c.html パーミッション変更失敗");
        QCOMPARE(
            rig.logEntries().last(), "<パーミッション変更失敗>2024-03-15 09:05:03 c.html 644</パーミッション変更失敗>");

        // A refused folder: the server's answer is shown, the pane stays where it was.
        rig.dialogs.clear();
        rig.dialogs.queueInput("new");
        rig.ws->folders().MakeServerFolder();
        QVERIFY(server.commands().contains("MKD new") && rig.dialogs.texts().last() == refused);
        QVERIFY(rig.remote().folderText() == u"/work" && rig.remoteNames() == before);
        QVERIFY(!rig.statusTexts().last().contains("作成") && rig.ws->state().IsConnected);
    }

    // Local files only ever go to the trash; what cannot be put there stays.
    void localTrash()
    {
        WorkspaceRig rig;
        const QString dir = rig.local.path();
        QVERIFY(makeEntries(dir, { "a.txt", "b c.txt", "keep.txt", "sub/inner.txt", "t.txt", "tsub/in.txt" }));
        rig.showLocal();
        const QString trash = rig.home.filePath(".local/share/Trash/files/");
        Deletes& deletes = rig.ws->deletes();
        const QString question = "選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?";

        // No keeps everything; Yes moves the selected rows, a folder with its content.
        QVERIFY(rig.selectLocal({ "a.txt", "b c.txt", "sub" }));
        rig.dialogs.queueAnswer(Dialogs::Answer::No);
        deletes.RecycleLocalSelection();
        QVERIFY(entriesBelow(dir).size() == 8 && !QDir(trash).exists() && rig.statusTexts().isEmpty());
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        deletes.RecycleLocalSelection();
        QCOMPARE(rig.dialogs.texts(), QStringList({ question, question }));
        QCOMPARE(entriesBelow(dir).join(u' ') + " | " + entriesBelow(trash).join(u' '),
            "keep.txt t.txt tsub/ tsub/in.txt | a.txt b c.txt sub/ sub/inner.txt");
        QCOMPARE(rig.statusTexts().first(), "ﾛｰｶﾙﾌｧｲﾙをごみ箱に:" + dir + "/b c.txt");
        QCOMPARE(rig.logEntries().first(),
            "<ローカルファイルをごみ箱に>2024-03-15 09:05:03 " + dir + "/b c.txt</ローカルファイルをごみ箱に>");
        QVERIFY(rig.ws->statusReport().FileCount == 2 && rig.localNames().size() == 3);

        // A trash that cannot be made: nothing is deleted instead. From the last row up: the files
        // come after the folders in the list.
        qputenv("XDG_DATA_HOME", dir.toUtf8() + "/keep.txt/data");
        QVERIFY(rig.selectLocal({ "keep.txt", "tsub" }));
        rig.dialogs.clear();
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        deletes.RecycleLocalSelection();
        QCOMPARE(entriesBelow(dir).size(), 4);
        const QString cannot = "ファイルの消去ができません。使用していませんか?";
        QCOMPARE(rig.dialogs.texts(), QStringList({ question, dir + "/keep.txt" + cannot, dir + "/tsub" + cannot }));
    }

    void makeFolders()
    {
        FtpServerFixture server;
        WorkspaceRig rig;
        QVERIFY(rig.connectWith(server, { "www/index.html" }));
        rig.showRemote("/www");
        QVERIFY(rig.selectRemote({ "index.html" }));
        rig.ws->statusLines().setStringList({});

        // On the server, proposed as the first selected row; the pane goes into the new folder.
        // Cancelled, nothing is made or logged.
        rig.dialogs.queueInput("新しい フォルダ");
        rig.ws->folders().MakeServerFolder();
        rig.ws->folders().MakeServerFolder();
        QCOMPARE(rig.dialogs.proposals, QStringList({ "index.html", "" }));
        QCOMPARE(entriesBelow(server.root()), QStringList({ "www/", "www/index.html", "www/新しい フォルダ/" }));
        QCOMPARE(rig.remote().folderText() + rig.serverFolder(), "/www/新しい フォルダ/www/新しい フォルダ");
        QCOMPARE(rig.statusTexts(), QStringList("FTPﾌｫﾙﾀﾞｰ作成:/www/新しい フォルダ"));
        QCOMPARE(
            rig.logEntries().last(), "<FTPフォルダ作成>2024-03-15 09:05:03 /www/新しい フォルダ</FTPフォルダ作成>");

        // Locally, a whole path proposed as the current folder and "/"; a folder that exists, or
        // whose parent is missing, is not made.
        const QString proposal = rig.local.path() + u'/';
        rig.dialogs.clear();
        rig.dialogs.proposals.clear();
        for (const QString& answer : QStringList { proposal + "新しい フォルダ", proposal, proposal + "x/y" })
            rig.dialogs.queueInput(answer);
        for (int i = 0; i < 3; ++i)
            rig.ws->folders().MakeLocalFolder();
        QCOMPARE(entriesBelow(rig.local.path()), QStringList("新しい フォルダ/"));
        QCOMPARE(rig.dialogs.proposals, QStringList(3, proposal));
        QCOMPARE(rig.dialogs.texts().filter("作成されません"),
            QStringList({ proposal + "のフォルダーは作成されませんでした。",
                proposal + "x/yのフォルダーは作成されませんでした。" }));
        QCOMPARE(rig.statusTexts().mid(1),
            QStringList({ "ﾛｰｶﾙﾌｫﾙﾀﾞｰ作成:" + proposal + "新しい フォルダ", "ﾛｰｶﾙﾌｫﾙﾀﾞー作成失敗:" + proposal,
                "ﾛｰｶﾙﾌｫﾙﾀﾞー作成失敗:" + proposal + "x/y" }));
    }

    // SITE CHMOD for the selected rows in list order, each name exactly as it is.
    void chmod_data() { serverRows({ "pyftpdlib", "vsftpd" }); }
    void chmod()
    {
        QFETCH(QString, server);
        FtpServerFixture s(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        QVERIFY(startServer(s));
        // The listing keeps one blank at the end of a name (a blank in front is lost in its columns).
        const QString trailing = "trail .html ";
        const QString both = " lead and trail .html ";
        const QStringList names { "a.cgi", "b.cgi", "c.html", trailing, "trail .html", both, "lead and trail .html" };
        const QString www = s.root() + "/www/";
        for (const QString& name : names)
            QVERIFY(writeFile(www + name, "x") && ::chmod(QFile::encodeName(www + name).constData(), 0600) == 0);
        WorkspaceRig rig;
        QVERIFY(rig.connect(s));
        Permissions& permissions = rig.ws->permissions();
        rig.showRemote("/www");
        QVERIFY(rig.selectRemote({ "b.cgi", "a.cgi" }));
        for (int i : { 2, 5, 8 })
            permissions.setModeBit(i, true); // 644 and x everywhere
        rig.ws->statusLines().setStringList({});

        permissions.onRunClicked();

        QCOMPARE(modes(www, names), "755 755 600 600 600 600 600");
        QCOMPARE(rig.statusTexts(), QStringList({ "a.cgi パーミッション変更", "b.cgi パーミッション変更" }));
        QVERIFY(rig.logEntries().contains("<パーミッション変更>2024-03-15 09:05:03 a.cgi 755</パーミッション変更>"));

        // Blanks at either end belong to the name: a trimmed command line changes the mode of
        // another file, or of none.
        QVERIFY(rig.selectRemote({ trailing }) && permissions.setModeText("754"));
        QVERIFY(permissions.ChangeServerPermissions());
        // Elsewhere on the server (the user moved in the console) the name still goes exactly, blanks
        // in front included. Line ends and NUL never reach the server, not even inside a name.
        FtpConnection& connection = *rig.connection();
        QVERIFY(connection.command("CWD /"));
        QVERIFY2(connection.nameCommand(ManageRules::chmodCommand("640", both)), qPrintable(connection.lastResponse()));
        QCOMPARE(modes(www, names), "755 755 600 754 600 640 600");
        for (const QString& name : QStringList { "a\r\nDELE b", "a\nb", QString("a") + QChar(0) })
            QVERIFY(!connection.nameCommand(ManageRules::chmodCommand("777", name)));

        // Without a selection the user is told.
        QVERIFY(rig.selectRemote({}));
        permissions.onRunClicked();
        QCOMPARE(rig.dialogs.texts(), QStringList("パーミッション変更を変更するファイルが選択されていません。"));
    }
};

QTEST_GUILESS_MAIN(TestManageFiles)
#include "tst_managefiles.moc"
