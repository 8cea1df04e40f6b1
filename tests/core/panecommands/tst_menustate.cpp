// The file-operation menu and the toolbar after the clicks and commands a user makes.
#include "core/panecommands/menustate.h"

#include <QTest>

namespace {

// Runs one step of a click sequence: "tree1" (local tree), "tree3" (FTP tree),
// "list1:<name>[:dir]", "list2:<name>[:dir]" (a row of the FTP or local list), "copy1", "copy2",
// "copy" (neither list focused), "top" (the top-page link check).
void run(MenuState& menu, const QString& step, QString& clipboard)
{
    const QStringList parts = step.split(u':');
    const QString what = parts.value(0);
    const QString name = parts.value(1);
    const bool folder = parts.value(2) == QLatin1String("dir");
    if (what == QLatin1String("tree1"))
        menu.SetLocalMenuState();
    else if (what == QLatin1String("tree3"))
        menu.SetRemoteMenuState();
    else if (what == QLatin1String("list1"))
        menu.ftpListClicked(name, folder, clipboard);
    else if (what == QLatin1String("list2"))
        menu.localListClicked(name, folder, clipboard);
    else if (what == QLatin1String("copy1"))
        menu.copied(clipboard = QStringLiteral("listview1"));
    else if (what == QLatin1String("copy2"))
        menu.copied(clipboard = QStringLiteral("listview2"));
    else if (what == QLatin1String("copy"))
        menu.copied(QString());
    else if (what == QLatin1String("top"))
        menu.topPageLinkCheckDone();
    else
        QFAIL(qPrintable(step));
}

} // namespace

class TestMenuState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void situations_data();
    void situations();
    void buttonsFollowTheirItems();
};

// What a user meets in the menu: only the items each situation turns on or off are named.
void TestMenuState::situations_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("on");
    QTest::addColumn<QList<int>>("off");

    QTest::newRow("nothing under the mouse")
        << QStringList { "list2:" } << QList<int> { 4, 6, 8, 11 } << QList<int> { 9, 13, 15, 16, 17, 19 };
    QTest::newRow("local folder") << QStringList { "list2:site:dir" } << QList<int> { 16 } << QList<int> { 15, 19 };
    QTest::newRow("local page, upper-case extension")
        << QStringList { "list2:index.HTML" } << QList<int> { 15 } << QList<int> { 13, 16, 19 };
    QTest::newRow("local picture") << QStringList { "list2:photo.JPG" } << QList<int> { 19 } << QList<int> { 15, 16 };
    // A folder never offers the top-page check in the FTP list.
    QTest::newRow("ftp folder") << QStringList { "list1:pub:dir" } << QList<int> { 13 } << QList<int> { 15, 16, 19 };
    QTest::newRow("a tree leaves delete and pictures only")
        << QStringList { "tree3" } << QList<int> { 6, 11, 19 } << QList<int> { 4, 8, 9, 13, 15, 16, 17 };
    QTest::newRow("a list after a tree has its commands back")
        << QStringList { "tree1", "list2:a.txt" } << QList<int> { 4, 6, 8 } << QList<int> { 19 };
    QTest::newRow("local copy is pasted in the local list")
        << QStringList { "copy2", "list2:a.txt" } << QList<int> { 9 } << QList<int>();
    QTest::newRow("local copy is not pasted in the ftp list")
        << QStringList { "copy2", "list1:a.txt" } << QList<int>() << QList<int> { 9 };
    QTest::newRow("ftp copy comes back in the ftp list")
        << QStringList { "copy1", "list2:a.txt", "list1:b.txt" } << QList<int> { 9 } << QList<int>();
    QTest::newRow("copy without a focused list") << QStringList { "copy" } << QList<int> { 9 } << QList<int>();
    QTest::newRow("top-page check offers the clean-up")
        << QStringList { "list2:site:dir", "top" } << QList<int> { 17 } << QList<int>();
    QTest::newRow("a tree click takes the clean-up away")
        << QStringList { "top", "tree1" } << QList<int>() << QList<int> { 17 };
}

void TestMenuState::situations()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, on);
    QFETCH(QList<int>, off);
    MenuState menu;
    QString clipboard;
    for (const QString& step : steps)
        run(menu, step, clipboard);
    for (int i : on)
        QVERIFY2(menu.itemEnabled(i), qPrintable(QString::number(i)));
    for (int i : off)
        QVERIFY2(!menu.itemEnabled(i), qPrintable(QString::number(i)));
}

void TestMenuState::buttonsFollowTheirItems()
{
    // Whatever happens, the paired buttons say what their items say (the trees excepted, which
    // keep their own table for "link2" and "imageshow").
    MenuState menu;
    QString clipboard;
    for (const char* step : { "list2:a.html", "copy2", "list2:b.jpg", "list1:c.htm", "top", "list2:d:dir" }) {
        run(menu, QString::fromUtf8(step), clipboard);
        for (int i : { 9, 15, 16, 17, 19 })
            QCOMPARE(menu.buttonEnabled(MenuState::buttonOf(i)), menu.itemEnabled(i));
    }
    int changes = 0;
    connect(&menu, &MenuState::changed, this, [&changes] { ++changes; });
    menu.setItem(15, menu.itemEnabled(15));
    QCOMPARE(changes, 0);
    menu.setItem(15, !menu.itemEnabled(15));
    QCOMPARE(changes, 1);
}

QTEST_GUILESS_MAIN(TestMenuState)
#include "tst_menustate.moc"
