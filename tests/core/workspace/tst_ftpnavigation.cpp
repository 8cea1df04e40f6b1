// Moving between server folders against pyftpdlib (UTF-8 names) and vsftpd (CP932 names): the
// folder change with its fallbacks, the move up, the list's double-click, the tree walk with its
// Stop and the tree's node click; and a site with links back into itself.
#include "core/manage/deletes.h"
#include "core/transfer/transfers.h"
#include "support/removetree.h"
#include "workspacerig.h"

#include <QRegularExpression>
#include <algorithm>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

class TestFtpNavigation : public QObject {
    Q_OBJECT
    std::map<QString, std::unique_ptr<FtpServerFixture>> m_sites;

    // "pyftpdlib", "vsftpd CP932" or "vsftpd UTF-8" with the site, started once: nothing here
    // changes it. The rig is connected at its root.
    bool connectTo(WorkspaceRig& rig, const QString& sort)
    {
        auto& s = m_sites[sort];
        if (!s) {
            FtpServerFixture::Options o;
            o.kind = sort.startsWith(u"vsftpd") ? Kind::Vsftpd : Kind::Pyftpdlib;
            if (o.kind == Kind::Vsftpd)
                o.utf8 = !sort.endsWith(u"CP932");
            s = std::make_unique<FtpServerFixture>(o);
            if (!startServer(*s))
                return false;
            // Names in the server's encoding: vsftpd without UTF8 sends the bytes on disk, which the
            // program reads as CP932.
            for (const QString& entry : QStringList { "pub/", "pub/sub/", "pub/sub/deep.txt", "pub/index.html", "a b/",
                     "a b/c d.txt", "日本語フォルダ/", "日本語フォルダ/中/", "日本語フォルダ/表.txt", "top.txt" }) {
                const QByteArray path = QFile::encodeName(s->root()) + '/'
                    + (sort.endsWith(u"CP932") ? Cp932::encode(entry) : entry.toUtf8());
                if ((entry.endsWith(u'/') ? ::mkdir(path, 0755) : ::close(::open(path, O_CREAT | O_WRONLY, 0644))))
                    return false;
            }
        }
        return rig.connect(*s) && rig.serverFolder() == u"/";
    }

private Q_SLOTS:
    void cleanupTestCase()
    {
        // QTemporaryDir cannot remove names that are not UTF-8.
        for (auto& [sort, server] : m_sites)
            removeTree(QFile::encodeName(server->root()));
    }

    void changeFolder_data()
    {
        // One row per way through the change and its fallbacks; the paths' own rules have a table
        // of their own. from/folder: the server's folder before/after; HOST for the host name.
        serverRows({ "pyftpdlib", "vsftpd CP932" }, { "from", "path", "ok", "folder", "txtDir" }, R"(
the root | /pub | / | 1 | / | HOST
host name and a path | / | HOST/pub/sub | 1 | /pub/sub | HOST/pub/sub
one slash: below the current folder first | /pub | /sub | 1 | /pub/sub | /sub
one slash: from the root when not below | /a b | /pub | 1 | /pub | /pub
name with a blank | / | a b | 1 | /a b | a b
Japanese path | / | /日本語フォルダ/中 | 1 | /日本語フォルダ/中 | /日本語フォルダ/中
fallback to the last part | /pub | /elsewhere/sub | 1 | /pub/sub | /elsewhere/sub
blank path goes up | /pub/sub | \s\s\s | 1 | /pub | \s\s\s
missing folder stays | /pub | /nothere/either | 0 | /pub | /nothere/either
empty path changes nothing | /pub | | 0 | /pub | before
)");
    }
    void changeFolder()
    {
        auto [server, from, path, ok, folder, txtDir] = fetch("server", "from", "path", "ok", "folder", "txtDir");
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, server));
        const QString host = rig.remote().hostName();
        QVERIFY(rig.connection()->setCurrentDirectory(from));
        rig.remote().setFolderText("before");
        QCOMPARE(rig.remote().ChangeFtpFolder(path.replace("HOST", host)), ok == u"1");
        QCOMPARE(rig.serverFolder(), folder);
        QCOMPARE(rig.remote().folderText(), txtDir.replace("HOST", host));
        QVERIFY(rig.dialogs.asked.isEmpty());
    }

    void moveUp_data()
    {
        serverRows({ "pyftpdlib", "vsftpd CP932" }, { "from", "txtDir", "names" }, R"(
two levels down | /pub/sub | /pub | sub|index.html
one level down | /pub | HOST | a b|pub|日本語フォルダ|top.txt
at the root | / | HOST | a b|pub|日本語フォルダ|top.txt
Japanese folder | /日本語フォルダ/中 | /日本語フォルダ | 中|表.txt
)");
    }
    void moveUp()
    {
        auto [server, from, txtDir, names] = fetch("server", "from", "txtDir", "names");
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, server));
        RemotePane& pane = rig.remote();
        txtDir.replace("HOST", pane.hostName());
        QVERIFY(rig.connection()->setCurrentDirectory(from));
        pane.setFolderText(from == u"/" ? pane.hostName() : from);
        QString panel1;
        connect(&pane, &RemotePane::firstStatusPanelChanged, this, [&](const QString& t) { panel1 = t; });
        rig.ws->connectionWatch().stop();

        pane.onUpClicked();
        QCOMPARE(QStringList({ pane.folderText(), panel1, rig.remoteNames().join(u'|') }),
            QStringList({ txtDir, txtDir, names }));
        // The watch was paused and runs again.
        QVERIFY(pane.moveUpFlag() && rig.ws->connectionWatch().isActive());
    }

    void namesRoundTrip_data() { serverRows({ "pyftpdlib", "vsftpd CP932", "vsftpd UTF-8" }); }
    void namesRoundTrip()
    {
        QFETCH(QString, server);
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, server));
        RemotePane& pane = rig.remote();

        // Names as the list shows them open as folders, and their contents list.
        QVERIFY(pane.openFtpFolderRow(rig.remoteRow("日本語フォルダ")));
        QCOMPARE(pane.folderText(), "/日本語フォルダ");
        QCOMPARE(rig.remoteNames(), QStringList({ "中", "表.txt" }));
        QVERIFY(pane.openFtpFolderRow(rig.remoteRow("中")));
        QCOMPARE(rig.serverFolder() + pane.folderText(), "/日本語フォルダ/中/日本語フォルダ/中");

        pane.setFolderText(pane.hostName());
        pane.GoToFtpFolder();
        QCOMPARE(pane.folderText(), pane.hostName());
        QVERIFY(pane.openFtpFolderRow(rig.remoteRow("a b")));
        QCOMPARE(rig.remoteNames(), QStringList("c d.txt"));
        // A file row is no folder; the list stays.
        QVERIFY(!pane.openFtpFolderRow(rig.remoteRow("c d.txt")));
        QCOMPARE(rig.serverFolder(), "/a b");

        // Typed into the path box; up again from below, with the start page red.
        pane.setFolderText("/pub");
        pane.GoToFtpFolder();
        QCOMPARE(rig.serverFolder(), "/pub");
        QVERIFY(pane.openFtpFolderRow(rig.remoteRow("sub")));
        pane.onUpClicked();
        QCOMPARE(pane.folderText(), "/pub");
        QCOMPARE(pane.fileList()->item(rig.remoteRow("index.html"))->foreground().color(), QColor(255, 0, 0));
    }

    void treeWalkAndNodeClicks_data() { serverRows({ "pyftpdlib", "vsftpd CP932" }); }
    void treeWalkAndNodeClicks()
    {
        QFETCH(QString, server);
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, server));
        RemotePane& pane = rig.remote();
        QStringList titles;
        connect(&pane, &RemotePane::statusTitleChanged, this, [&](const QString& t) { titles << t; });
        rig.ws->listingRecord().FolderCount = rig.ws->listingRecord().FileCount = 0;

        // The whole tree under the root, every folder walked, parents before children. (MLSD lists a
        // folder in no particular order.)
        QVERIFY(pane.ExpandFtpTree(true, QString()));
        QStringList marks = treeMarks(pane.folderTree());
        QVERIFY(std::is_sorted(marks.begin(), marks.end(), [](const QString& a, const QString& b) {
            return a.section(u'=', 0, 0).count(u'/') < b.section(u'=', 0, 0).count(u'/');
        }));
        marks.sort();
        QCOMPARE(marks.join(u' '),
            "/=open /a b/c d.txt=leaf /a b=open /pub/index.html=leaf /pub/sub/deep.txt=leaf /pub/sub=open /pub=open "
            "/top.txt=leaf /日本語フォルダ/中=open /日本語フォルダ/表.txt=leaf /日本語フォルダ=open");
        QCOMPARE(treeNode(pane.folderTree(), "日本語フォルダ")->index().parent(), pane.folderTree()->index(0, 0));
        QCOMPARE(rig.ws->listingRecord().FolderCount * 10 + rig.ws->listingRecord().FileCount, 55);
        QCOMPARE(titles, QStringList({ "FTPサーバのフォルダーをツリーに展開", "状況報告" }));
        QCOMPARE(rig.ws->statusLines().stringList().last(), QString());

        // A walked folder's node lists that folder; a file node does nothing.
        rig.ws->connectionWatch().stop();
        pane.onFolderTreeNodeClicked(treeNode(pane.folderTree(), "日本語フォルダ"));
        QCOMPARE(rig.serverFolder() + pane.folderText(), "/日本語フォルダ/日本語フォルダ");
        QCOMPARE(rig.remoteNames(), QStringList({ "中", "表.txt" }));
        QVERIFY(rig.ws->connectionWatch().isActive());
        pane.onFolderTreeNodeClicked(treeNode(pane.folderTree(), "top.txt"));
        QCOMPARE(rig.serverFolder(), "/日本語フォルダ");

        // A folder of the current one, added under the root without emptying the tree.
        pane.setFolderText(pane.hostName());
        QVERIFY(pane.ExpandFtpTree(false, "pub"));
        QCOMPARE(pane.treeNodeKeys().count("/pub/sub/deep.txt"), 2);
    }

    void stopEndsTheTreeWalk()
    {
        WorkspaceRig rig;
        QVERIFY(connectTo(rig, "pyftpdlib"));
        // The user presses Stop while the walk lists "pub".
        connect(&rig.remote(), &RemotePane::statusTextChanged, this,
            [&](const QString& text) { rig.ws->state().StopRequested |= text == u"pub"; });
        QVERIFY(!rig.remote().ExpandFtpTree(true, QString()) && !rig.ws->state().StopRequested);
        // What was added stays; nothing below "pub" was read.
        const QStringList keys = rig.remote().treeNodeKeys();
        QVERIFY(keys.contains("/pub") && keys.contains("/top.txt") && !keys.contains("/pub/sub/deep.txt"));
        rig.showRemote("/pub"); // the connection is fine afterwards
        QCOMPARE(rig.remoteNames(), QStringList({ "sub", "index.html" }));
    }

    void withoutConnection()
    {
        WorkspaceRig rig;
        rig.setProfile("ftp.example.jp", "u", "p");
        RemotePane& pane = rig.remote();
        pane.setFolderText("/pub");
        QVERIFY(!pane.ChangeFtpFolder("/pub") && !pane.ListFtpFolder());
        pane.onUpClicked();
        // Moving up does not switch on the watch of a pane that is not connected.
        QVERIFY(pane.fileList()->rowCount() == 0 && !rig.ws->connectionWatch().isActive());
        QVERIFY(pane.ExpandFtpTree(true, QString()) && pane.treeNodeKeys().size() == 1 && rig.dialogs.asked.isEmpty());
    }

    // A site folder with links to itself, to its parent and to a sibling, as shared hosting has
    // them: walked, downloaded and deleted, each real entry once and no link followed. MLSD shows
    // links as folders, LIST as links.
    void linkedSite_data() { serverRows({ "pyftpdlib", "vsftpd" }); }
    void linkedSite()
    {
        QFETCH(QString, server);
        const bool mlsd = server == u"pyftpdlib";
        FtpServerFixture s(mlsd ? Kind::Pyftpdlib : Kind::Vsftpd);
        QVERIFY(startServer(s));
        const QString home = s.root() + "/home/";
        QVERIFY(makeEntries(s.root(), { "home/site/a.txt", "home/site/sub/b.txt", "home/sibling/s.txt" }));
        QVERIFY(QFile::link(".", home + "site/www") && QFile::link("..", home + "site/up"));
        QVERIFY(QFile::link("../sibling", home + "site/other") && QFile::link("sibling", home + "tosib"));
        WorkspaceRig rig;
        QVERIFY(rig.connect(s));
        rig.showRemote("/home");

        // The link to the site and the one to its parent are cut by the unique fact; the sibling is
        // a folder first reached here, so it is walked.
        QVERIFY(rig.remote().ExpandFtpTree(true, "site"));
        QStringList marks = treeMarks(rig.remote().folderTree());
        marks.sort();
        QCOMPARE(marks.join(u' '),
            mlsd ? "/home/site/a.txt=leaf /home/site/other/s.txt=leaf /home/site/other=open /home/site/sub/b.txt=leaf "
                   "/home/site/sub=open /home/site/up=closed /home/site/www=closed /home/site=open"
                 : "/home/site/a.txt=leaf /home/site/other=leaf /home/site/sub/b.txt=leaf /home/site/sub=open "
                   "/home/site/up=leaf /home/site/www=leaf /home/site=open");
        QCOMPARE(int(s.logText().count(QRegularExpression("MLSD /home/site\\b(?!/)"))), mlsd ? 1 : 0);
        QVERIFY(!s.logText().contains("MLSD /home/site/www"));

        QVERIFY(rig.selectRemote({ "site" }));
        rig.ws->transfers().DownloadSelection();
        QCOMPARE(entriesBelow(rig.local.path()).join(u' '),
            mlsd ? "site/ site/a.txt site/other/ site/other/s.txt site/sub/ site/sub/b.txt site/up/ site/www/"
                 : "site/ site/a.txt site/sub/ site/sub/b.txt");
        QCOMPARE(readFile(rig.localPath("site/sub/b.txt")), "home/site/sub/b.txt");
        QStringList retrieved; // how often each was fetched
        for (const char* path : { "a.txt", "sub/b.txt", "other/s.txt", "www/", "up/" })
            retrieved << QString::number(
                s.logText().count(QRegularExpression(QStringLiteral("RETR /home/site/%1\\b").arg(path))));
        QCOMPARE(retrieved.join(u' '), mlsd ? "1 1 1 0 0" : "1 1 0 0 0");

        // The site and the links go, as links; what they point to stays.
        rig.showRemote("/home");
        QVERIFY(rig.selectRemote({ "site", "tosib" }));
        QStringList cautions;
        rig.ws->deletes().setCaution([&](const QString& counts) { return cautions << counts, true; });
        rig.ws->deletes().DeleteServerSelection();
        QCOMPARE(cautions, QStringList("フォルダー数:2　ファイル数:6"));
        QCOMPARE(entriesBelow(s.root()), QStringList({ "home/", "home/sibling/", "home/sibling/s.txt" }));
    }
};

QTEST_GUILESS_MAIN(TestFtpNavigation)
#include "tst_ftpnavigation.moc"
