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

using Kind = FtpServerFixture::Kind;

namespace {

const QStringList Site { "pub/", "pub/sub/", "pub/sub/deep.txt", "pub/index.html", "a b/", "a b/c d.txt",
    "日本語フォルダ/", "日本語フォルダ/中/", "日本語フォルダ/表.txt", "top.txt" };
const QStringList RootNames { "a b", "pub", "日本語フォルダ", "top.txt" };

// Names in the server's encoding: vsftpd without UTF8 sends the bytes on disk, which the program
// reads as CP932.
bool makeSite(const QString& root, bool utf8)
{
    for (const QString& entry : Site) {
        const QByteArray path = QFile::encodeName(root) + '/' + (utf8 ? entry.toUtf8() : Cp932::encode(entry));
        if ((entry.endsWith(u'/') ? ::mkdir(path, 0755) : ::close(::open(path, O_CREAT | O_WRONLY, 0644))) != 0)
            return false;
    }
    return true;
}

} // namespace

class TestFtpNavigation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase();
    void changeFolder_data();
    void changeFolder();
    void moveUp_data();
    void moveUp();
    void namesRoundTrip_data();
    void namesRoundTrip();
    void treeWalkAndNodeClicks_data();
    void treeWalkAndNodeClicks();
    void stopEndsTheTreeWalk();
    void withoutConnection();
    void linkedSite_data();
    void linkedSite();

private:
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
            if (!startServer(*s) || !makeSite(s->root(), !sort.endsWith(u"CP932")))
                return false;
        }
        return rig.connect(*s) && rig.serverFolder() == u"/";
    }
    std::map<QString, std::unique_ptr<FtpServerFixture>> m_sites;
};

void TestFtpNavigation::cleanupTestCase()
{
    // QTemporaryDir cannot remove names that are not UTF-8.
    for (auto& [sort, server] : m_sites)
        removeTree(QFile::encodeName(server->root()));
}

void TestFtpNavigation::changeFolder_data()
{
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("from"); // the server's folder before
    QTest::addColumn<QString>("path"); // "HOST" stands for the host name
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("folder"); // the server's folder after
    QTest::addColumn<QString>("txtDir");
    for (const char* sort : { "pyftpdlib", "vsftpd CP932" }) {
        // One row per way through the change and its fallbacks; the paths' own rules have a
        // table of their own.
        auto row = [sort](const char* name, const char* from, const char* path, bool ok, const char* folder,
                       const char* txtDir) {
            QTest::addRow("%s: %s", sort, name)
                << QString(sort) << QString(from) << QString(path) << ok << QString(folder) << QString(txtDir);
        };
        row("the root", "/pub", "/", true, "/", "HOST");
        row("host name and a path", "/", "HOST/pub/sub", true, "/pub/sub", "HOST/pub/sub");
        row("one slash: below the current folder first", "/pub", "/sub", true, "/pub/sub", "/sub");
        row("one slash: from the root when not below", "/a b", "/pub", true, "/pub", "/pub");
        row("name with a blank", "/", "a b", true, "/a b", "a b");
        row("Japanese path", "/", "/日本語フォルダ/中", true, "/日本語フォルダ/中", "/日本語フォルダ/中");
        row("fallback to the last part", "/pub", "/elsewhere/sub", true, "/pub/sub", "/elsewhere/sub");
        row("blank path goes up", "/pub/sub", "   ", true, "/pub", "   ");
        row("missing folder stays", "/pub", "/nothere/either", false, "/pub", "/nothere/either");
        row("empty path changes nothing", "/pub", "", false, "/pub", "before");
    }
}

void TestFtpNavigation::changeFolder()
{
    QFETCH(QString, sort);
    QFETCH(QString, from);
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, folder);
    QFETCH(QString, txtDir);
    WorkspaceRig rig;
    QVERIFY(connectTo(rig, sort));
    const QString host = rig.remote().hostName();
    QVERIFY(rig.connection()->setCurrentDirectory(from));
    rig.remote().setFolderText("before");
    QCOMPARE(rig.remote().ChangeFtpFolder(path.replace("HOST", host)), ok);
    QCOMPARE(rig.serverFolder(), folder);
    QCOMPARE(rig.remote().folderText(), txtDir.replace("HOST", host));
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestFtpNavigation::moveUp_data()
{
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("txtDir"); // after; "HOST" for the host name
    QTest::addColumn<QStringList>("names");
    for (const char* sort : { "pyftpdlib", "vsftpd CP932" }) {
        auto row = [sort](const char* name, const char* from, const char* txtDir, const QStringList& names) {
            QTest::addRow("%s: %s", sort, name) << QString(sort) << QString(from) << QString(txtDir) << names;
        };
        row("two levels down", "/pub/sub", "/pub", { "sub", "index.html" });
        row("one level down", "/pub", "HOST", RootNames);
        row("at the root", "/", "HOST", RootNames);
        row("Japanese folder", "/日本語フォルダ/中", "/日本語フォルダ", { "中", "表.txt" });
    }
}

void TestFtpNavigation::moveUp()
{
    QFETCH(QString, sort);
    QFETCH(QString, from);
    QFETCH(QString, txtDir);
    QFETCH(QStringList, names);
    WorkspaceRig rig;
    QVERIFY(connectTo(rig, sort));
    RemotePane& pane = rig.remote();
    txtDir.replace("HOST", pane.hostName());
    QVERIFY(rig.connection()->setCurrentDirectory(from));
    pane.setFolderText(from == u"/" ? pane.hostName() : from);
    QString panel1;
    connect(&pane, &RemotePane::firstStatusPanelChanged, this, [&](const QString& t) { panel1 = t; });
    rig.ws->connectionWatch().stop();

    pane.onUpClicked();
    QCOMPARE(pane.folderText(), txtDir);
    QCOMPARE(rig.remoteNames(), names);
    QCOMPARE(panel1, txtDir);
    QVERIFY(pane.moveUpFlag());
    // The watch was paused and runs again.
    QVERIFY(rig.ws->connectionWatch().isActive());
}

void TestFtpNavigation::namesRoundTrip_data()
{
    QTest::addColumn<QString>("sort");
    for (const char* sort : { "pyftpdlib", "vsftpd CP932", "vsftpd UTF-8" })
        QTest::newRow(sort) << QString(sort);
}

void TestFtpNavigation::namesRoundTrip()
{
    QFETCH(QString, sort);
    WorkspaceRig rig;
    QVERIFY(connectTo(rig, sort));
    RemotePane& pane = rig.remote();

    // Names as the list shows them open as folders, and their contents list.
    QVERIFY(pane.openFtpFolderRow(rig.remoteRow("日本語フォルダ")));
    QCOMPARE(pane.folderText(), "/日本語フォルダ");
    QCOMPARE(rig.remoteNames(), QStringList({ "中", "表.txt" }));
    QVERIFY(pane.openFtpFolderRow(rig.remoteRow("中")));
    QCOMPARE(rig.serverFolder(), "/日本語フォルダ/中");
    QCOMPARE(pane.folderText(), "/日本語フォルダ/中");

    pane.setFolderText(pane.hostName());
    pane.GoToFtpFolder();
    QCOMPARE(pane.folderText(), pane.hostName());
    QVERIFY(pane.openFtpFolderRow(rig.remoteRow("a b")));
    QCOMPARE(rig.serverFolder(), "/a b");
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

void TestFtpNavigation::treeWalkAndNodeClicks_data()
{
    QTest::addColumn<QString>("sort");
    QTest::newRow("pyftpdlib") << QStringLiteral("pyftpdlib");
    QTest::newRow("vsftpd CP932") << QStringLiteral("vsftpd CP932");
}

void TestFtpNavigation::treeWalkAndNodeClicks()
{
    QFETCH(QString, sort);
    WorkspaceRig rig;
    QVERIFY(connectTo(rig, sort));
    RemotePane& pane = rig.remote();
    QStringList titles;
    connect(&pane, &RemotePane::statusTitleChanged, this, [&](const QString& t) { titles << t; });
    rig.ws->listingRecord().FolderCount = 0;
    rig.ws->listingRecord().FileCount = 0;

    // The whole tree under the root, every folder walked, parents before children. (MLSD lists a
    // folder in no particular order.)
    QVERIFY(pane.ExpandFtpTree(true, QString()));
    QStringList marks = treeMarks(pane.folderTree());
    QVERIFY(std::is_sorted(marks.begin(), marks.end(), [](const QString& a, const QString& b) {
        return a.section(u'=', 0, 0).count(u'/') < b.section(u'=', 0, 0).count(u'/');
    }));
    marks.sort();
    QCOMPARE(marks,
        QStringList({ "/=open", "/a b/c d.txt=leaf", "/a b=open", "/pub/index.html=leaf", "/pub/sub/deep.txt=leaf",
            "/pub/sub=open", "/pub=open", "/top.txt=leaf", "/日本語フォルダ/中=open", "/日本語フォルダ/表.txt=leaf",
            "/日本語フォルダ=open" }));
    QCOMPARE(treeNode(pane.folderTree(), "日本語フォルダ")->index().parent(), pane.folderTree()->index(0, 0));
    QCOMPARE(
        QList<int>({ rig.ws->listingRecord().FolderCount, rig.ws->listingRecord().FileCount }), QList<int>({ 5, 5 }));
    QCOMPARE(titles, QStringList({ "FTPサーバのフォルダーをツリーに展開", "状況報告" }));
    QCOMPARE(rig.ws->statusLines().stringList().last(), QString());

    // A walked folder's node lists that folder; a file node does nothing.
    rig.ws->connectionWatch().stop();
    pane.onFolderTreeNodeClicked(treeNode(pane.folderTree(), "日本語フォルダ"));
    QCOMPARE(rig.serverFolder(), "/日本語フォルダ");
    QCOMPARE(pane.folderText(), "/日本語フォルダ");
    QCOMPARE(rig.remoteNames(), QStringList({ "中", "表.txt" }));
    QVERIFY(rig.ws->connectionWatch().isActive());
    pane.onFolderTreeNodeClicked(treeNode(pane.folderTree(), "top.txt"));
    QCOMPARE(rig.serverFolder(), "/日本語フォルダ");

    // A folder of the current one, added under the root without emptying the tree.
    pane.setFolderText(pane.hostName());
    QVERIFY(pane.ExpandFtpTree(false, "pub"));
    QCOMPARE(pane.treeNodeKeys().count("/pub/sub/deep.txt"), 2);
}

void TestFtpNavigation::stopEndsTheTreeWalk()
{
    WorkspaceRig rig;
    QVERIFY(connectTo(rig, "pyftpdlib"));
    // The user presses Stop while the walk lists "pub".
    connect(&rig.remote(), &RemotePane::statusTextChanged, this, [&](const QString& text) {
        if (text == u"pub")
            rig.ws->state().StopRequested = true;
    });
    QVERIFY(!rig.remote().ExpandFtpTree(true, QString()));
    QVERIFY(!rig.ws->state().StopRequested);
    // What was added stays; nothing below "pub" was read.
    const QStringList keys = rig.remote().treeNodeKeys();
    QVERIFY(keys.contains("/pub") && keys.contains("/top.txt"));
    QVERIFY(!keys.contains("/pub/sub/deep.txt"));
    // The connection is fine afterwards.
    rig.showRemote("/pub");
    QCOMPARE(rig.remoteNames(), QStringList({ "sub", "index.html" }));
}

void TestFtpNavigation::withoutConnection()
{
    WorkspaceRig rig;
    rig.setProfile("ftp.example.jp", "u", "p");
    RemotePane& pane = rig.remote();
    pane.setFolderText("/pub");
    QVERIFY(!pane.ChangeFtpFolder("/pub"));
    QVERIFY(!pane.ListFtpFolder());
    pane.onUpClicked();
    QCOMPARE(pane.fileList()->rowCount(), 0);
    // Moving up does not switch on the watch of a pane that is not connected.
    QVERIFY(!rig.ws->connectionWatch().isActive());
    QVERIFY(pane.ExpandFtpTree(true, QString()));
    QCOMPARE(pane.treeNodeKeys().size(), 1);
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestFtpNavigation::linkedSite_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib, MLSD follows links") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd, LIST shows links") << Kind::Vsftpd;
}

// A site folder with links to itself, to its parent and to a sibling, as shared hosting has them:
// walked, downloaded and deleted, each real entry once and no link followed.
void TestFtpNavigation::linkedSite()
{
    QFETCH(Kind, kind);
    const bool mlsd = kind == Kind::Pyftpdlib;
    FtpServerFixture server(kind);
    QVERIFY(startServer(server));
    const QString home = server.root() + "/home/";
    QVERIFY(makeEntries(server.root(), { "home/site/a.txt", "home/site/sub/b.txt", "home/sibling/s.txt" }));
    QVERIFY(QFile::link(".", home + "site/www") && QFile::link("..", home + "site/up"));
    QVERIFY(QFile::link("../sibling", home + "site/other") && QFile::link("sibling", home + "tosib"));
    WorkspaceRig rig;
    QVERIFY(rig.connect(server));
    rig.showRemote("/home");

    // Links look like folders in MLSD: the one to the site and the one to its parent are cut by
    // the unique fact; the sibling is a folder first reached here, so it is walked.
    QVERIFY(rig.remote().ExpandFtpTree(true, "site"));
    QStringList marks = treeMarks(rig.remote().folderTree());
    marks.sort();
    QCOMPARE(marks.join(u' '),
        mlsd ? "/home/site/a.txt=leaf /home/site/other/s.txt=leaf /home/site/other=open /home/site/sub/b.txt=leaf "
               "/home/site/sub=open /home/site/up=closed /home/site/www=closed /home/site=open"
             : "/home/site/a.txt=leaf /home/site/other=leaf /home/site/sub/b.txt=leaf /home/site/sub=open "
               "/home/site/up=leaf /home/site/www=leaf /home/site=open");
    if (mlsd) {
        QCOMPARE(int(server.logText().count(QRegularExpression("MLSD /home/site\\b(?!/)"))), 1);
        QVERIFY(!server.logText().contains("MLSD /home/site/www"));
    }

    QVERIFY(rig.selectRemote({ "site" }));
    rig.ws->transfers().DownloadSelection();
    QStringList local { "site/", "site/a.txt", "site/sub/", "site/sub/b.txt" };
    if (mlsd)
        local = QStringList { "site/", "site/a.txt", "site/other/", "site/other/s.txt", "site/sub/", "site/sub/b.txt",
            "site/up/", "site/www/" };
    QCOMPARE(entriesBelow(rig.local.path()), local);
    QCOMPARE(readFile(rig.localPath("site/sub/b.txt")), "home/site/sub/b.txt");
    auto retrieved = [&server](const char* path) {
        return int(server.logText().count(QRegularExpression("RETR " + QRegularExpression::escape(path) + "\\b")));
    };
    QCOMPARE(retrieved("/home/site/a.txt"), 1);
    QCOMPARE(retrieved("/home/site/sub/b.txt"), 1);
    QCOMPARE(retrieved("/home/site/other/s.txt"), mlsd ? 1 : 0);
    QCOMPARE(retrieved("/home/site/www/") + retrieved("/home/site/up/"), 0);

    // The site and the links go, as links; what they point to stays.
    rig.showRemote("/home");
    QVERIFY(rig.selectRemote({ "site", "tosib" }));
    QStringList cautions;
    rig.ws->deletes().setCaution([&](const QString& counts) {
        cautions << counts;
        return true;
    });
    rig.ws->deletes().DeleteServerSelection();
    QCOMPARE(cautions, QStringList("フォルダー数:2　ファイル数:6"));
    QCOMPARE(entriesBelow(server.root()), QStringList({ "home/", "home/sibling/", "home/sibling/s.txt" }));
}

QTEST_GUILESS_MAIN(TestFtpNavigation)
#include "tst_ftpnavigation.moc"
