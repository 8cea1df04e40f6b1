// Moving between server folders against pyftpdlib (UTF-8 names) and vsftpd (CP932 names): the
// folder change with its fallbacks, the move up, the list's double-click, the tree walk with its
// Stop and the tree's node click.
#include "core/app/itemroles.h"
#include "panerig.h"
#include "support/removetree.h"

#include <QStandardItemModel>
#include <QTest>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Kind = FtpServerFixture::Kind;

namespace {

// Folders and files of the test site, "/"-separated from the root; folders end with "/".
const QStringList SiteEntries { QStringLiteral("pub/"), QStringLiteral("pub/sub/"), QStringLiteral("pub/sub/deep.txt"),
    QStringLiteral("pub/index.html"), QStringLiteral("a b/"), QStringLiteral("a b/c d.txt"),
    QStringLiteral("日本語フォルダ/"), QStringLiteral("日本語フォルダ/中/"), QStringLiteral("日本語フォルダ/表.txt"),
    QStringLiteral("top.txt") };

struct Server {
    Kind kind;
    bool utf8; // names on disk and on the wire
};

// Creates the site with names in the server's encoding (vsftpd without UTF8 sends raw bytes,
// which the program reads as CP932).
bool makeSite(const QString& root, bool utf8)
{
    const QByteArray base = QFile::encodeName(root) + '/';
    for (const QString& entry : SiteEntries) {
        const bool folder = entry.endsWith(u'/');
        const QString name = folder ? entry.chopped(1) : entry;
        const QByteArray path = base + (utf8 ? name.toUtf8() : Cp932::encode(name));
        if (folder) {
            if (::mkdir(path.constData(), 0755) != 0)
                return false;
        } else {
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0)
                return false;
            const bool ok = ::write(fd, "text\n", 5) == 5;
            ::close(fd);
            if (!ok)
                return false;
        }
    }
    return true;
}

// Removes the site's entries before the server's root folder goes.
struct Site {
    QString root;
    ~Site()
    {
        if (root.isEmpty())
            return;
        const QByteArray base = QFile::encodeName(root);
        if (DIR* d = ::opendir(base.constData())) {
            QList<QByteArray> names;
            while (dirent* ent = ::readdir(d)) {
                const QByteArray name(ent->d_name);
                if (name != "." && name != "..")
                    names.append(name);
            }
            ::closedir(d);
            for (const QByteArray& name : std::as_const(names))
                removeTree(base + '/' + name);
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(Server)

class TestFtpNavigation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changeFolder_data();
    void changeFolder();
    void moveUp_data();
    void moveUp();
    void namesRoundTrip_data();
    void namesRoundTrip();
    void expandTreeAndClickNodes_data();
    void expandTreeAndClickNodes();
    void stopEndsTheTreeWalk();
    void withoutConnection();

private:
    void addServers();
    // A connected pane at the root of a fresh site.
    bool connect(PaneRig& rig, FtpServerFixture& server, Site& site, bool utf8);
};

void TestFtpNavigation::addServers() { QTest::addColumn<Server>("server"); }

bool TestFtpNavigation::connect(PaneRig& rig, FtpServerFixture& server, Site& site, bool utf8)
{
    QString error;
    // The root exists once the server runs.
    if (!server.start(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    site.root = server.root();
    if (!makeSite(server.root(), utf8))
        return false;
    rig.setProfile(server);
    rig.pane->ConnectServer();
    if (!rig.state.IsConnected)
        qWarning("%s", qPrintable(rig.dialogs.texts().join(u'|')));
    return rig.state.IsConnected && rig.serverFolder() == u"/";
}

void TestFtpNavigation::changeFolder_data()
{
    QTest::addColumn<Server>("server");
    QTest::addColumn<QString>("from"); // the server's folder before
    QTest::addColumn<QString>("path"); // "HOST" stands for the host name
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("folder"); // the server's folder after
    QTest::addColumn<QString>("txtDir");

    const QList<std::pair<const char*, Server>> servers { { "pyftpdlib", { Kind::Pyftpdlib, true } },
        { "vsftpd CP932", { Kind::Vsftpd, false } } };
    for (const auto& [name, s] : servers) {
        auto row = [&](const char* what) -> QTestData& { return QTest::addRow("%s: %s", name, what) << s; };
        // One row per way through the change and its fallbacks; the paths' own rules have a
        // table of their own.
        row("the root") << "/pub"
                        << "/" << true << "/"
                        << "HOST";
        row("host name and a path") << "/"
                                    << "HOST/pub/sub" << true << "/pub/sub"
                                    << "HOST/pub/sub";
        row("one slash: below the current folder first") << "/pub"
                                                         << "/sub" << true << "/pub/sub"
                                                         << "/sub";
        row("one slash: from the root when not below") << "/a b"
                                                       << "/pub" << true << "/pub"
                                                       << "/pub";
        row("name with a blank") << "/"
                                 << "a b" << true << "/a b"
                                 << "a b";
        row("Japanese path") << "/"
                             << "/日本語フォルダ/中" << true << "/日本語フォルダ/中"
                             << "/日本語フォルダ/中";
        row("fallback to the last part") << "/pub"
                                         << "/elsewhere/sub" << true << "/pub/sub"
                                         << "/elsewhere/sub";
        row("blank path goes up") << "/pub/sub"
                                  << "   " << true << "/pub"
                                  << "   ";
        row("missing folder stays") << "/pub"
                                    << "/nothere/either" << false << "/pub"
                                    << "/nothere/either";
        row("empty path changes nothing") << "/pub"
                                          << "" << false << "/pub"
                                          << "before";
    }
}

void TestFtpNavigation::changeFolder()
{
    QFETCH(Server, server);
    QFETCH(QString, from);
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, folder);
    QFETCH(QString, txtDir);
    FtpServerFixture fixture(server.kind);
    Site site;
    PaneRig rig;
    QVERIFY(connect(rig, fixture, site, server.utf8));
    const QString host = fixture.hostField();
    QVERIFY(rig.pane->FtpHandle()->setCurrentDirectory(from));
    rig.pane->setFolderText(QStringLiteral("before"));
    path.replace(QStringLiteral("HOST"), host);
    txtDir.replace(QStringLiteral("HOST"), host);

    QCOMPARE(rig.pane->ChangeFtpFolder(path), ok);
    QCOMPARE(rig.serverFolder(), folder);
    QCOMPARE(rig.pane->folderText(), txtDir);
    QVERIFY(rig.dialogs.asked.isEmpty());
}

void TestFtpNavigation::moveUp_data()
{
    addServers();
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("txtDir"); // after; "HOST" for the host name
    QTest::addColumn<QStringList>("names");
    const QStringList root { QStringLiteral("a b"), QStringLiteral("pub"), QStringLiteral("日本語フォルダ"),
        QStringLiteral("top.txt") };
    for (const Server s : { Server { Kind::Pyftpdlib, true }, Server { Kind::Vsftpd, false } }) {
        const QByteArray k = FtpServerFixture::kindName(s.kind).toUtf8();
        QTest::addRow("%s: two levels down", k.constData())
            << s << "/pub/sub"
            << "/pub" << QStringList({ QStringLiteral("sub"), QStringLiteral("index.html") });
        QTest::addRow("%s: one level down", k.constData()) << s << "/pub"
                                                           << "HOST" << root;
        QTest::addRow("%s: at the root", k.constData()) << s << "/"
                                                        << "HOST" << root;
        QTest::addRow("%s: Japanese folder", k.constData())
            << s << "/日本語フォルダ/中"
            << "/日本語フォルダ" << QStringList({ QStringLiteral("中"), QStringLiteral("表.txt") });
    }
}

void TestFtpNavigation::moveUp()
{
    QFETCH(Server, server);
    QFETCH(QString, from);
    QFETCH(QString, txtDir);
    QFETCH(QStringList, names);
    FtpServerFixture fixture(server.kind);
    Site site;
    PaneRig rig;
    QVERIFY(connect(rig, fixture, site, server.utf8));
    const QString host = fixture.hostField();
    txtDir.replace(QStringLiteral("HOST"), host);
    QVERIFY(rig.pane->FtpHandle()->setCurrentDirectory(from));
    rig.pane->setFolderText(from == u"/" ? host : from);
    QString panel1;
    QObject::connect(rig.pane.get(), &RemotePane::firstStatusPanelChanged, this, [&](const QString& t) { panel1 = t; });
    rig.timer1.stop();

    rig.pane->onUpClicked();
    QCOMPARE(rig.pane->folderText(), txtDir);
    QCOMPARE(rig.listNames(), names);
    QCOMPARE(panel1, txtDir);
    QVERIFY(rig.pane->moveUpFlag());
    // The watch was paused and runs again.
    QVERIFY(rig.timer1.isActive());
}

void TestFtpNavigation::namesRoundTrip_data()
{
    addServers();
    QTest::newRow("pyftpdlib, UTF-8") << Server { Kind::Pyftpdlib, true };
    QTest::newRow("vsftpd, CP932") << Server { Kind::Vsftpd, false };
    QTest::newRow("vsftpd, UTF-8") << Server { Kind::Vsftpd, true };
}

void TestFtpNavigation::namesRoundTrip()
{
    QFETCH(Server, server);
    FtpServerFixture::Options o;
    o.kind = server.kind;
    if (server.kind == Kind::Vsftpd)
        o.utf8 = server.utf8;
    FtpServerFixture fixture(o);
    Site site;
    PaneRig rig;
    QVERIFY(connect(rig, fixture, site, server.utf8));
    const QString host = fixture.hostField();

    // Names as the list shows them open as folders, and their contents list.
    QVERIFY(rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("日本語フォルダ"))));
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/日本語フォルダ"));
    QCOMPARE(rig.listNames(), QStringList({ QStringLiteral("中"), QStringLiteral("表.txt") }));
    QVERIFY(rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("中"))));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/日本語フォルダ/中"));
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/日本語フォルダ/中"));

    rig.pane->setFolderText(host);
    rig.pane->GoToFtpFolder();
    QCOMPARE(rig.pane->folderText(), host);
    QVERIFY(rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("a b"))));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/a b"));
    QCOMPARE(rig.listNames(), QStringList(QStringLiteral("c d.txt")));

    // A file row is no folder; the list stays.
    QVERIFY(!rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("c d.txt"))));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/a b"));

    // Typed into the path box, the Japanese path is found as well; the start page is red.
    rig.pane->setFolderText(QStringLiteral("/pub"));
    rig.pane->GoToFtpFolder();
    QCOMPARE(rig.serverFolder(), QStringLiteral("/pub"));
    QVERIFY(rig.pane->openFtpFolderRow(rig.rowOf(QStringLiteral("sub"))));
    rig.pane->onUpClicked();
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/pub"));
    QCOMPARE(
        rig.pane->fileList()->item(rig.rowOf(QStringLiteral("index.html")))->foreground().color(), QColor(255, 0, 0));
}

void TestFtpNavigation::expandTreeAndClickNodes_data()
{
    addServers();
    QTest::newRow("pyftpdlib") << Server { Kind::Pyftpdlib, true };
    QTest::newRow("vsftpd, CP932") << Server { Kind::Vsftpd, false };
}

void TestFtpNavigation::expandTreeAndClickNodes()
{
    QFETCH(Server, server);
    FtpServerFixture fixture(server.kind);
    Site site;
    PaneRig rig;
    QVERIFY(connect(rig, fixture, site, server.utf8));
    QStringList titles;
    QObject::connect(rig.pane.get(), &RemotePane::statusTitleChanged, this, [&](const QString& t) { titles << t; });
    rig.record.FolderCount = 0;
    rig.record.FileCount = 0;

    // The whole tree under the root, parents before children, every folder walked.
    QVERIFY(rig.pane->ExpandFtpTree(true, QString()));
    QStringList keys = rig.pane->treeNodeKeys();
    QCOMPARE(keys.value(0), QStringLiteral("/"));
    QCOMPARE(QSet<QString>(keys.begin() + 1, keys.end()),
        QSet<QString>({ QStringLiteral("/pub"), QStringLiteral("/pub/sub"), QStringLiteral("/pub/sub/deep.txt"),
            QStringLiteral("/pub/index.html"), QStringLiteral("/a b"), QStringLiteral("/a b/c d.txt"),
            QStringLiteral("/日本語フォルダ"), QStringLiteral("/日本語フォルダ/中"),
            QStringLiteral("/日本語フォルダ/表.txt"), QStringLiteral("/top.txt") }));
    QVERIFY(keys.indexOf(QStringLiteral("/pub")) < keys.indexOf(QStringLiteral("/pub/sub")));
    QVERIFY(keys.indexOf(QStringLiteral("/top.txt")) < keys.indexOf(QStringLiteral("/pub/sub")));
    QCOMPARE(rig.record.FolderCount, 5);
    QCOMPARE(rig.record.FileCount, 5);
    QCOMPARE(
        titles, QStringList({ QStringLiteral("FTPサーバのフォルダーをツリーに展開"), QStringLiteral("状況報告") }));
    QCOMPARE(rig.statusLines().last(), QString());

    auto node = [&](const QString& key) -> QStandardItem* {
        const QModelIndexList found = rig.pane->folderTree()->match(
            rig.pane->folderTree()->index(0, 0), ItemRoles::NodeKeyRole, key, 1, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : rig.pane->folderTree()->itemFromIndex(found.first());
    };
    QCOMPARE(node(QStringLiteral("/日本語フォルダ/中"))->data(ItemRoles::IconKeyRole).toString(), IconKeys::Open);
    QCOMPARE(node(QStringLiteral("/pub/sub/deep.txt"))->data(ItemRoles::IconKeyRole).toString(), IconKeys::Leaf);
    QCOMPARE(node(QStringLiteral("/日本語フォルダ"))->text(), QStringLiteral("日本語フォルダ"));

    // A walked folder's node lists that folder; a file node does nothing.
    rig.timer1.stop();
    rig.pane->onFolderTreeNodeClicked(node(QStringLiteral("/日本語フォルダ")));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/日本語フォルダ"));
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/日本語フォルダ"));
    QCOMPARE(rig.listNames(), QStringList({ QStringLiteral("中"), QStringLiteral("表.txt") }));
    QVERIFY(rig.timer1.isActive());
    rig.pane->onFolderTreeNodeClicked(node(QStringLiteral("/top.txt")));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/日本語フォルダ"));

    // A folder of the current one, added under the root without emptying the tree.
    rig.pane->setFolderText(fixture.hostField());
    QVERIFY(rig.pane->ExpandFtpTree(false, QStringLiteral("pub")));
    keys = rig.pane->treeNodeKeys();
    QCOMPARE(keys.count(QStringLiteral("/pub/sub/deep.txt")), 2);
}

void TestFtpNavigation::stopEndsTheTreeWalk()
{
    FtpServerFixture fixture(Kind::Pyftpdlib);
    Site site;
    PaneRig rig;
    QVERIFY(connect(rig, fixture, site, true));
    // The user presses Stop while the walk lists "pub".
    QObject::connect(rig.pane.get(), &RemotePane::statusTextChanged, this, [&](const QString& text) {
        if (text == u"pub")
            rig.state.StopRequested = true;
    });
    QVERIFY(!rig.pane->ExpandFtpTree(true, QString()));
    QVERIFY(!rig.state.StopRequested);
    const QStringList keys = rig.pane->treeNodeKeys();
    // What was added stays; nothing below "pub" was read.
    QVERIFY(keys.contains(QStringLiteral("/pub")));
    QVERIFY(keys.contains(QStringLiteral("/top.txt")));
    QVERIFY(!keys.contains(QStringLiteral("/pub/sub/deep.txt")));
    // The connection is fine afterwards.
    rig.pane->setFolderText(QStringLiteral("/pub"));
    rig.pane->GoToFtpFolder();
    QCOMPARE(rig.listNames(), QStringList({ QStringLiteral("sub"), QStringLiteral("index.html") }));
}

void TestFtpNavigation::withoutConnection()
{
    PaneRig rig;
    rig.setProfile(QStringLiteral("ftp.example.jp"), QStringLiteral("u"), QStringLiteral("p"));
    rig.pane->setFolderText(QStringLiteral("/pub"));
    QVERIFY(!rig.pane->ChangeFtpFolder(QStringLiteral("/pub")));
    QVERIFY(!rig.pane->ListFtpFolder());
    rig.pane->onUpClicked();
    QCOMPARE(rig.pane->fileList()->rowCount(), 0);
    // Moving up does not switch on the watch of a pane that is not connected.
    QVERIFY(!rig.timer1.isActive());
    QVERIFY(rig.pane->ExpandFtpTree(true, QString()));
    QCOMPARE(rig.pane->treeNodeKeys().size(), 1);
    QVERIFY(rig.dialogs.asked.isEmpty());
}

QTEST_GUILESS_MAIN(TestFtpNavigation)
#include "tst_ftpnavigation.moc"
