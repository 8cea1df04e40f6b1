// The rules under the pane commands: the file-operation menu after the clicks a user makes, the
// path and name rules of copy, paste, move and rename, the local file calls, the viewer's text.
#include "core/app/codepage.h"
#include "core/panecommands/localfileops.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panepaths.h"
#include "core/panecommands/viewertext.h"
#include "support/texttable.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <functional>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// Runs the steps of a click sequence, blank-separated: "tree1" (local tree), "tree3" (FTP
// tree), "list1:<name>", "list2:<name>[:dir]" (a row of the FTP or local list), "copy1",
// "copy2", "top" (the top-page link check).
void run(MenuState& menu, const QString& steps, QString& clipboard)
{
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = step.split(u':');
        const QString what = parts.value(0);
        if (what == u"tree1")
            menu.SetLocalMenuState();
        else if (what == u"tree3")
            menu.SetRemoteMenuState();
        else if (what == u"list1")
            menu.ftpListClicked(parts.value(1), clipboard);
        else if (what == u"list2")
            menu.localListClicked(parts.value(1), parts.value(2) == u"dir", clipboard);
        else if (what.startsWith(u"copy"))
            menu.copied(clipboard = what == u"copy1" ? "listview1" : "listview2");
        else if (what == u"top")
            menu.topPageLinkCheckDone();
        else
            QFAIL(qPrintable(step));
    }
}

} // namespace

class TestPanePaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a user meets in the menu: only the items each situation turns on or off are named.
    void menu_data()
    {
        TextTable::rows({ "steps", "on", "off" }, R"(
nothing under the mouse | list2: | 4 6 8 11 | 9 13 15 16 17 19
local folder | list2:site:dir | 16 | 15 19
ftp folder: never the top-page check | list1:pub:dir | 13 | 15 16 19
a tree leaves delete and pictures only | tree3 | 6 11 19 | 4 8 9 13 15 16 17
local copy is pasted in the local list | copy2 list2:a.txt | 9 |
local copy is not pasted in the ftp list | copy2 list1:a.txt | | 9
ftp copy comes back in the ftp list | copy1 list2:a.txt list1:b.txt | 9 |
top-page check offers the clean-up | list2:site:dir top | 17 |
a tree click takes the clean-up away | top tree1 | | 17
)");
    }
    void menu()
    {
        QFETCH(QString, steps);
        QFETCH(QString, on);
        QFETCH(QString, off);
        MenuState menu;
        QString clipboard;
        run(menu, steps, clipboard);
        for (const QString& i : on.split(u' ', Qt::SkipEmptyParts))
            QVERIFY2(menu.itemEnabled(i.toInt()), qPrintable(i));
        for (const QString& i : off.split(u' ', Qt::SkipEmptyParts))
            QVERIFY2(!menu.itemEnabled(i.toInt()), qPrintable(i));
    }

    void paths_data()
    {
        // folder: the server folder of path box a with host b; rename: the check of a as the new
        // name of "a.txt".
        TextTable::rows({ "rule", "a", "b", "expected" }, R"(
folder: host is the root | folder | ftp.example.jp | ftp.example.jp | /
folder: host and port | folder | 127.0.0.1:2121//pub | 127.0.0.1:2121 | /pub
folder: host name inside a server path | folder | /home/ftp.example.jp/www | ftp.example.jp | /home/ftp.example.jp/www
rename: empty cancels | rename | | | cancel
rename: unchanged cancels | rename | a.txt | | cancel
rename: new name | rename | b.txt | | go
rename: into a folder | rename | sub/a.txt | | refuse
rename: dot dot | rename | .. | | refuse
rename: nul | rename | a\x00b | | refuse
)");
    }
    void paths()
    {
        QFETCH(QString, rule);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, expected);
        const PanePaths::RenameCheck check = PanePaths::checkRename("a.txt", a);
        QCOMPARE(rule == u"folder"                        ? PanePaths::serverFolder(a, b)
                : check == PanePaths::RenameCheck::Go     ? "go"
                : check == PanePaths::RenameCheck::Cancel ? "cancel"
                                                          : "refuse",
            expected);
    }

    void firstFreeName()
    {
        const QSet<QString> taken { "/a/site", "/a/site (2)", "/a/site (3)", "/a/.hidden", "/a.b/site" };
        QStringList names;
        for (const char* path : { "/a/site", "/a/b.txt", "/a/.hidden", "/a.b/site" })
            names << PanePaths::firstFreeName(path, [&taken](const QString& p) { return taken.contains(p); });
        QCOMPARE(names, QStringList({ "/a/site (4)", "/a/b.txt (2)", "/a/.hidden (2)", "/a.b/site (2)" }));
    }

    void fileCalls()
    {
        QTemporaryDir dir;
        const QString base = dir.path();
        QVERIFY(writeFile(base + "/site/a.txt", "a") && writeFile(base + "/site/sub/b.txt", "b"));
        QVERIFY(QFile::link(base + "/outside", base + "/site/link"));

        // A folder copy under a free name when the name is taken; links stay links; never into itself.
        QString copiedTo, copiedAgain;
        QVERIFY(LocalFileOps::copyTree(base + "/site", base + "/copy", &copiedTo));
        QVERIFY(LocalFileOps::copyTree(base + "/site", base + "/copy", &copiedAgain));
        QCOMPARE(copiedTo + copiedAgain, base + "/copy" + base + "/copy (2)");
        QCOMPARE(readFile(base + "/copy (2)/sub/b.txt"), "b");
        QVERIFY(QFileInfo(base + "/copy (2)/link").isSymLink());
        QVERIFY(!LocalFileOps::copyTree(base + "/site", base + "/site/sub/inner"));
        QVERIFY(!QFileInfo::exists(base + "/site/sub/inner"));

        // A file copy replaces, but never copies a file onto itself.
        QVERIFY(writeFile(base + "/other.txt", "old"));
        QVERIFY(LocalFileOps::copyFileOver(base + "/site/a.txt", base + "/other.txt"));
        QVERIFY(!LocalFileOps::copyFileOver(base + "/site/a.txt", base + "/site//a.txt"));
        QCOMPARE(readFile(base + "/other.txt") + readFile(base + "/site/a.txt"), "aa");

        // A move never replaces and never goes into itself.
        QVERIFY(!LocalFileOps::moveEntry(base + "/other.txt", base + "/site/a.txt"));
        QVERIFY(!LocalFileOps::moveEntry(base + "/site", base + "/site/sub/site"));
        QVERIFY(LocalFileOps::moveEntry(base + "/other.txt", base + "/site/sub/other.txt"));
        QVERIFY(!QFileInfo::exists(base + "/other.txt"));

        // A rename replaces a file only when asked to, and never a folder.
        QVERIFY(!LocalFileOps::renameEntry(base + "/site/sub/other.txt", base + "/site/sub/b.txt", false));
        QVERIFY(!LocalFileOps::renameEntry(base + "/site/a.txt", base + "/site/sub", true));
        QVERIFY(LocalFileOps::renameEntry(base + "/site/sub/other.txt", base + "/site/sub/b.txt", true));
        QCOMPARE(readFile(base + "/site/sub/b.txt"), "a");
        QVERIFY(QFileInfo(base + "/site/sub").isDir());
    }

    void viewerText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text"); // null: not compared
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<bool>("exact");
        QTest::newRow("ascii lf") << QByteArray("a\nb\n") << "a\nb\n" << true << true;
        QTest::newRow("utf-8 crlf") << QString("日本語\r\n二行目").toUtf8() << "日本語\n二行目" << true << true;
        QTest::newRow("cp932 crlf") << Cp932::encode(u"ﾃｽﾄ表示\r\nです") << "ﾃｽﾄ表示\nです" << false << true;
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc") << "a\nb\nc" << true << false;
        QTest::newRow("binary") << QByteArray("\x89PNG\x00\xff\xfe", 7) << QString() << false << false;
    }
    void viewerText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, utf8);
        QFETCH(bool, exact);
        const ViewerText view = ViewerText::decode(bytes);
        QVERIFY(text.isNull() || view.text == text);
        QCOMPARE(view.encoding == ViewerText::Encoding::Utf8, utf8);
        QCOMPARE(view.exact, exact);
        QVERIFY(!exact || view.encode() == bytes);
    }
};

QTEST_GUILESS_MAIN(TestPanePaths)
#include "tst_panepaths.moc"
