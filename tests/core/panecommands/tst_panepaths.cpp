// The path and name rules of copy, paste, move and rename, the local file calls under them, and
// the viewer's text round trip.
#include "core/app/codepage.h"
#include "core/panecommands/localfileops.h"
#include "core/panecommands/panepaths.h"
#include "core/panecommands/viewertext.h"
#include "support/textrows.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

using namespace TextRows;

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

} // namespace

class TestPanePaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serverFolder_data();
    void serverFolder();
    void renameCheck_data();
    void renameCheck();
    void firstFreeName();
    void fileCalls();
    void viewerText_data();
    void viewerText();
    void viewerTextStoresInItsEncoding();
};

void TestPanePaths::serverFolder_data()
{
    columns("txtDir", "host", "folder");
    row("host is the root", "ftp.example.jp", "ftp.example.jp", "/");
    row("host with blanks", " ftp.example.jp ", "ftp.example.jp", "/");
    row("below the host", "ftp.example.jp/pub/www", "ftp.example.jp", "/pub/www");
    row("host and port", "127.0.0.1:2121//pub", "127.0.0.1:2121", "/pub");
    row("absolute path", "/home/u/www", "ftp.example.jp", "/home/u/www");
    row("no host", "/pub", "", "/pub");
    row("host name inside a server path", "/home/ftp.example.jp/www", "ftp.example.jp", "/home/ftp.example.jp/www");
}

void TestPanePaths::serverFolder()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, host);
    QFETCH(QString, folder);
    QCOMPARE(PanePaths::serverFolder(txtDir, host), folder);
}

void TestPanePaths::renameCheck_data()
{
    columns("newName", "check"); // the old name is "a.txt"
    row("empty cancels", "", "cancel");
    row("unchanged cancels", "a.txt", "cancel");
    row("new name", "b.txt", "go");
    row("case only", "A.txt", "go");
    row("blanks", "my file.txt", "go");
    row("japanese", "日本語.txt", "go");
    row("into a folder", "sub/a.txt", "refuse");
    row("up and out", "../a.txt", "refuse");
    row("dot dot", "..", "refuse");
    row("dot", ".", "refuse");
    QTest::newRow("nul") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << QStringLiteral("refuse");
}

void TestPanePaths::renameCheck()
{
    QFETCH(QString, newName);
    QFETCH(QString, check);
    const PanePaths::RenameCheck result = PanePaths::checkRename("a.txt", newName);
    QCOMPARE(result == PanePaths::RenameCheck::Go      ? "go"
            : result == PanePaths::RenameCheck::Cancel ? "cancel"
                                                       : "refuse",
        check);
}

void TestPanePaths::firstFreeName()
{
    const QSet<QString> taken { "/a/site", "/a/site (2)", "/a/site (3)", "/a/.hidden", "/a.b/site" };
    auto exists = [&taken](const QString& p) { return taken.contains(p); };
    QCOMPARE(PanePaths::firstFreeName("/a/site", exists), "/a/site (4)");
    QCOMPARE(PanePaths::firstFreeName("/a/b.txt", exists), "/a/b.txt (2)");
    QCOMPARE(PanePaths::firstFreeName("/a/.hidden", exists), "/a/.hidden (2)");
    QCOMPARE(PanePaths::firstFreeName("/a.b/site", exists), "/a.b/site (2)");
}

void TestPanePaths::fileCalls()
{
    QTemporaryDir dir;
    const QString base = dir.path();
    QVERIFY(writeFile(base + "/site/a.txt", "a") && writeFile(base + "/site/sub/b.txt", "b"));
    QVERIFY(QFile::link(base + "/outside", base + "/site/link"));

    // A folder copy under a free name when the name is taken; links stay links.
    QString copiedTo;
    QVERIFY(LocalFileOps::copyTree(base + "/site", base + "/copy", &copiedTo));
    QCOMPARE(copiedTo, base + "/copy");
    QVERIFY(LocalFileOps::copyTree(base + "/site", base + "/copy", &copiedTo));
    QCOMPARE(copiedTo, base + "/copy (2)");
    QCOMPARE(readFile(base + "/copy (2)/sub/b.txt"), "b");
    QVERIFY(QFileInfo(base + "/copy (2)/link").isSymLink());
    // Never into itself.
    QVERIFY(!LocalFileOps::copyTree(base + "/site", base + "/site/sub/inner"));
    QVERIFY(!QFileInfo::exists(base + "/site/sub/inner"));

    // A file copy replaces, but never copies a file onto itself.
    QVERIFY(writeFile(base + "/other.txt", "old"));
    QVERIFY(LocalFileOps::copyFileOver(base + "/site/a.txt", base + "/other.txt"));
    QCOMPARE(readFile(base + "/other.txt"), "a");
    QVERIFY(!LocalFileOps::copyFileOver(base + "/site/a.txt", base + "/site//a.txt"));
    QCOMPARE(readFile(base + "/site/a.txt"), "a");

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

void TestPanePaths::viewerText_data()
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

void TestPanePaths::viewerText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, utf8);
    QFETCH(bool, exact);
    const ViewerText view = ViewerText::decode(bytes);
    if (!text.isNull())
        QCOMPARE(view.text, text);
    QCOMPARE(view.encoding == ViewerText::Encoding::Utf8, utf8);
    QCOMPARE(view.exact, exact);
    if (exact)
        QCOMPARE(view.encode(), bytes);
}

void TestPanePaths::viewerTextStoresInItsEncoding()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("page.html");
    QVERIFY(writeFile(path, Cp932::encode(u"<p>表</p>\r\n")));
    ViewerText view;
    QVERIFY(ViewerText::load(path, &view));
    view.text.replace("表", "裏");
    QVERIFY(view.save(path));
    QCOMPARE(readFile(path), Cp932::encode(u"<p>裏</p>\r\n"));
    QString error;
    QVERIFY(!ViewerText::load(dir.filePath("missing.txt"), &view, &error));
    QVERIFY(error.endsWith("missing.txt を読み込めません。"));
}

QTEST_GUILESS_MAIN(TestPanePaths)
#include "tst_panepaths.moc"
