// Moving between server folders against pyftpdlib (UTF-8 names) and vsftpd (CP932 names): the
// folder change with its fallbacks, the move up and the list's double-click; and a site with links
// back into itself, walked, downloaded and deleted.
#include "core/manage/deletes.h"
#include "core/transfer/transfers.h"
#include "support/removetree.h"
#include "workspacerig.h"

#include <QRegularExpression>
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
fallback to the last part | /pub | /elsewhere/sub | 1 | /pub/sub | /elsewhere/sub
blank path goes up | /pub/sub | \s\s\s | 1 | /pub | \s\s\s
name with a blank | / | a b | 1 | /a b | a b
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
        // Up to the root: the path box shows the host name.
        pane.onUpClicked();
        QCOMPARE(pane.folderText() + rig.serverFolder(), pane.hostName() + "/");

        // Typed into the path box; up again from below, with the start page red.
        pane.setFolderText("/pub");
        pane.GoToFtpFolder();
        QCOMPARE(rig.serverFolder(), "/pub");
        QVERIFY(pane.openFtpFolderRow(rig.remoteRow("sub")));
        pane.onUpClicked();
        QCOMPARE(pane.folderText(), "/pub");
        QCOMPARE(
            pane.fileList()->index(rig.remoteRow("index.html"), 0).data(Qt::ForegroundRole).value<QBrush>().color(),
            QColor(255, 0, 0));
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
        // Each real file once, nothing through the links.
        const QRegularExpression fetched("RETR /home/site/(a\\.txt|sub/b\\.txt|other/s\\.txt|www/|up/)\\b");
        QCOMPARE(int(s.logText().count(fetched)), mlsd ? 3 : 2);

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
