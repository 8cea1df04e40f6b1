// The local side of the pane commands on real files: copy and paste in the local list, moves by
// a drag within the list, renaming, the file calls under them, and the viewer's text round trip.
#include "commandsrig.h"
#include "core/app/codepage.h"
#include "core/panecommands/localfileops.h"
#include "core/panecommands/viewertext.h"

#include <QTest>

class TestLocalCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileCalls();
    void copyAndPasteLocally();
    void moveByDragWithinTheList();
    void renameLocally();
    void viewerText_data();
    void viewerText();
    void viewerTextStoresInItsEncoding();
};

void TestLocalCommands::fileCalls()
{
    QTemporaryDir dir;
    const QString base = dir.path();
    QVERIFY(CommandsRig::writeFile(base + "/site/a.txt", "a"));
    QVERIFY(CommandsRig::writeFile(base + "/site/sub/b.txt", "b"));
    QVERIFY(QFile::link(base + "/outside", base + "/site/link"));

    // A folder copy under a free name when the name is taken; links stay links.
    QString copiedTo;
    QVERIFY(LocalFileOps::copyTree(base + "/site", base + "/copy", &copiedTo));
    QCOMPARE(copiedTo, base + "/copy");
    QVERIFY(LocalFileOps::copyTree(base + "/site", base + "/copy", &copiedTo));
    QCOMPARE(copiedTo, base + "/copy (2)");
    QCOMPARE(CommandsRig::readFile(base + "/copy (2)/sub/b.txt"), QByteArray("b"));
    QVERIFY(QFileInfo(base + "/copy (2)/link").isSymLink());
    // Never into itself.
    QVERIFY(!LocalFileOps::copyTree(base + "/site", base + "/site/sub/inner"));
    QVERIFY(!QFileInfo::exists(base + "/site/sub/inner"));

    // A file copy replaces, but never copies a file onto itself.
    QVERIFY(CommandsRig::writeFile(base + "/other.txt", "old"));
    QVERIFY(LocalFileOps::copyFileOver(base + "/site/a.txt", base + "/other.txt"));
    QCOMPARE(CommandsRig::readFile(base + "/other.txt"), QByteArray("a"));
    QVERIFY(!LocalFileOps::copyFileOver(base + "/site/a.txt", base + "/site//a.txt"));
    QCOMPARE(CommandsRig::readFile(base + "/site/a.txt"), QByteArray("a"));

    // A move never replaces and never goes into itself.
    QVERIFY(!LocalFileOps::moveEntry(base + "/other.txt", base + "/site/a.txt"));
    QCOMPARE(CommandsRig::readFile(base + "/other.txt"), QByteArray("a"));
    QVERIFY(!LocalFileOps::moveEntry(base + "/site", base + "/site/sub/site"));
    QVERIFY(LocalFileOps::moveEntry(base + "/other.txt", base + "/site/sub/other.txt"));
    QVERIFY(!QFileInfo::exists(base + "/other.txt"));

    // A rename replaces a file only when asked to, and never a folder.
    QVERIFY(!LocalFileOps::renameEntry(base + "/site/sub/other.txt", base + "/site/sub/b.txt", false));
    QVERIFY(!LocalFileOps::renameEntry(base + "/site/a.txt", base + "/site/sub", true));
    QVERIFY(LocalFileOps::renameEntry(base + "/site/sub/other.txt", base + "/site/sub/b.txt", true));
    QCOMPARE(CommandsRig::readFile(base + "/site/sub/b.txt"), QByteArray("a"));
}

void TestLocalCommands::copyAndPasteLocally()
{
    CommandsRig rig;
    const QString src = rig.local.filePath("src");
    const QString dst = rig.local.filePath("dst");
    QVERIFY(CommandsRig::writeFile(src + "/page.html", "<p>1</p>"));
    QVERIFY(CommandsRig::writeFile(src + "/Makefile", "all:"));
    QVERIFY(CommandsRig::writeFile(src + "/site.d/inner/x.txt", "x"));
    QVERIFY(QDir().mkpath(dst));
    rig.showLocal(src);
    rig.selectLocal({ "page.html", "Makefile", "site.d" });

    rig.commands->copy(QStringLiteral("ListView2"));
    QCOMPARE(rig.commands->ClipboardSource, QStringLiteral("listview2"));
    QCOMPARE(rig.commands->LocalClipboard, (QStringList { src + "/site.d", src + "/Makefile", src + "/page.html" }));
    QVERIFY(rig.commands->menuState().itemEnabled(9));
    QCOMPARE(rig.commands->menuState().caption(9), QStringLiteral("ローカルPCのファイル又はフォルダーの貼り付け"));

    // A copy in the FTP list replaces only the FTP clipboard.
    rig.commands->copy(QStringLiteral("ListView1"));
    QCOMPARE(rig.commands->LocalClipboard.size(), 3);
    rig.commands->ClipboardSource = QStringLiteral("listview2");

    rig.showLocal(dst);
    rig.commands->paste(QStringLiteral("listview2"));
    // A dot in a folder's name does not make it a file; a file without one is still a file.
    QCOMPARE(CommandsRig::readFile(dst + "/site.d/inner/x.txt"), QByteArray("x"));
    QCOMPARE(CommandsRig::readFile(dst + "/Makefile"), QByteArray("all:"));
    QCOMPARE(CommandsRig::readFile(dst + "/page.html"), QByteArray("<p>1</p>"));
    QCOMPARE(rig.localNames(), (QStringList { "site.d", "Makefile", "page.html" }));

    // Again: files are replaced, the folder gets a free name.
    QVERIFY(CommandsRig::writeFile(src + "/page.html", "<p>2</p>"));
    rig.commands->paste(QStringLiteral("listview2"));
    QCOMPARE(CommandsRig::readFile(dst + "/page.html"), QByteArray("<p>2</p>"));
    QCOMPARE(CommandsRig::readFile(dst + "/site.d (2)/inner/x.txt"), QByteArray("x"));

    const QStringList lines = rig.statusLines();
    QVERIFY(lines.contains("09:05:03 フォルダーの貼り付け:" + src + "/site.d -> " + dst + "/site.d (2)"));
    QVERIFY(lines.contains("09:05:03 ファイルの貼り付け:" + src + "/page.html -> " + dst + "/page.html"));
    const QString log = rig.logText();
    QVERIFY(log.contains(
        "<フォルダーの貼り付け>2024-03-15 09:05:03 " + src + "/site.d -> " + dst + "/site.d</フォルダーの貼り付け>"));
    QCOMPARE(log.count("<ファイルの貼り付け>"), 4);

    // Pasting into the folder the files came from copies nothing over itself.
    rig.showLocal(src);
    rig.commands->LocalClipboard = { src + "/page.html" };
    rig.commands->paste(QStringLiteral("listview2"));
    QCOMPARE(CommandsRig::readFile(src + "/page.html"), QByteArray("<p>2</p>"));
    QCOMPARE(rig.logText().count("<ファイルの貼り付け>"), 4);
}

void TestLocalCommands::moveByDragWithinTheList()
{
    CommandsRig rig;
    const QString base = rig.local.path();
    QVERIFY(CommandsRig::writeFile(base + "/a.txt", "a"));
    QVERIFY(CommandsRig::writeFile(base + "/b.txt", "b"));
    QVERIFY(CommandsRig::writeFile(base + "/inner/x", "x"));
    QVERIFY(CommandsRig::writeFile(base + "/target/b.txt", "kept"));
    rig.showLocal(base);

    // Onto a file: nothing moves.
    rig.selectLocal({ "a.txt" });
    rig.commands->DragSource = QStringLiteral("ListView2");
    rig.commands->dropOnLocalList(rig.localRow("b.txt"));
    QVERIFY(QFileInfo::exists(base + "/a.txt"));
    QVERIFY(rig.commands->DragSource.isEmpty());

    // Onto a folder, the folder itself among the selection: everything else moves, except a name
    // that is taken in the target.
    rig.selectLocal({ "a.txt", "b.txt", "inner", "target" });
    rig.commands->DragSource = QStringLiteral("listview2");
    rig.commands->dropOnLocalList(rig.localRow("target"));
    QCOMPARE(CommandsRig::readFile(base + "/target/a.txt"), QByteArray("a"));
    QCOMPARE(CommandsRig::readFile(base + "/target/inner/x"), QByteArray("x"));
    QCOMPARE(CommandsRig::readFile(base + "/target/b.txt"), QByteArray("kept"));
    QCOMPARE(CommandsRig::readFile(base + "/b.txt"), QByteArray("b"));
    QCOMPARE(rig.localNames(), (QStringList { "target", "b.txt" }));
    QVERIFY(rig.statusLines().contains(
        "09:05:03 ファイル又はフォルダー移動:" + base + "/a.txt->" + base + "/target/a.txt"));
    QCOMPARE(rig.logText().count("<ファイル又はフォルダー移動>"), 2);

    // A drop on empty space moves nothing.
    rig.selectLocal({ "b.txt" });
    rig.commands->DragSource = QStringLiteral("ListView2");
    rig.commands->dropOnLocalList(-1);
    QVERIFY(QFileInfo::exists(base + "/b.txt"));
}

void TestLocalCommands::renameLocally()
{
    CommandsRig rig;
    const QString base = rig.local.path();
    QVERIFY(CommandsRig::writeFile(base + "/a.txt", "a"));
    QVERIFY(CommandsRig::writeFile(base + "/b.txt", "b"));
    QVERIFY(QDir().mkpath(base + "/folder"));
    rig.showLocal(base);

    QVERIFY(rig.commands->renameLocalEntry("a.txt", "c.txt"));
    QCOMPARE(CommandsRig::readFile(base + "/c.txt"), QByteArray("a"));
    QVERIFY(rig.dialogs.asked.isEmpty());

    // Empty cancels, a path is refused.
    QVERIFY(!rig.commands->renameLocalEntry("c.txt", ""));
    QVERIFY(!rig.commands->renameLocalEntry("c.txt", "../c.txt"));
    QVERIFY(QFileInfo::exists(base + "/c.txt"));
    QVERIFY(rig.statusLines().last().endsWith("ファイル名の変更ができません:../c.txt"));

    // A taken name asks; No keeps both files.
    rig.dialogs.queueAnswer(Dialogs::Answer::No);
    QVERIFY(!rig.commands->renameLocalEntry("c.txt", "b.txt"));
    QCOMPARE(rig.dialogs.texts(), QStringList("b.txt は既に有ります。上書きしますか?"));
    QCOMPARE(rig.dialogs.asked.first().buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(CommandsRig::readFile(base + "/b.txt"), QByteArray("b"));
    rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
    QVERIFY(rig.commands->renameLocalEntry("c.txt", "b.txt"));
    QCOMPARE(CommandsRig::readFile(base + "/b.txt"), QByteArray("a"));
    QVERIFY(!QFileInfo::exists(base + "/c.txt"));

    // A folder is never replaced, even when the user agrees.
    rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
    QVERIFY(!rig.commands->renameLocalEntry("b.txt", "folder"));
    QVERIFY(QFileInfo(base + "/folder").isDir());
    QVERIFY(QFileInfo::exists(base + "/b.txt"));
}

void TestLocalCommands::viewerText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<bool>("exact");
    QTest::newRow("ascii lf") << QByteArray("a\nb\n") << "a\nb\n" << true << true;
    QTest::newRow("utf-8 crlf") << QString("日本語\r\n二行目").toUtf8() << "日本語\n二行目" << true << true;
    QTest::newRow("cp932 crlf") << Cp932::encode(u"ﾃｽﾄ表示\r\nです") << "ﾃｽﾄ表示\nです" << false << true;
    QTest::newRow("mixed line ends") << QByteArray("a\r\nb\nc") << "a\nb\nc" << true << false;
    QTest::newRow("binary") << QByteArray("\x89PNG\x00\xff\xfe", 7) << QString() << false << false;
}

void TestLocalCommands::viewerText()
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

void TestLocalCommands::viewerTextStoresInItsEncoding()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("page.html");
    QVERIFY(CommandsRig::writeFile(path, Cp932::encode(u"<p>表</p>\r\n")));
    ViewerText view;
    QVERIFY(ViewerText::load(path, &view));
    view.text.replace(QStringLiteral("表"), QStringLiteral("裏"));
    QVERIFY(view.save(path));
    QCOMPARE(CommandsRig::readFile(path), Cp932::encode(u"<p>裏</p>\r\n"));

    QString error;
    QVERIFY(!ViewerText::load(dir.filePath("missing.txt"), &view, &error));
    QVERIFY(error.endsWith("missing.txt を読み込めません。"));
}

QTEST_GUILESS_MAIN(TestLocalCommands)
#include "tst_localcommands.moc"
