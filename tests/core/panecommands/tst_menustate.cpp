// The file-operation menu and the toolbar after the clicks and commands a user makes.
#include "core/panecommands/menustate.h"
#include "support/textrows.h"

#include <functional>

using namespace TextRows;

namespace {

// Runs the steps of a click sequence, blank-separated: "tree1" (local tree), "tree3" (FTP
// tree), "list1:<name>[:dir]", "list2:<name>[:dir]" (a row of the FTP or local list), "copy1",
// "copy2", "copy" (neither list focused), "top" (the top-page link check).
void run(MenuState& menu, const QString& steps, QString& clipboard)
{
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = step.split(u':');
        const QString what = parts.value(0);
        if (what == u"tree1")
            menu.SetLocalMenuState();
        else if (what == u"tree3")
            menu.SetRemoteMenuState();
        else if (what.startsWith(u"list"))
            std::invoke(what == u"list1" ? &MenuState::ftpListClicked : &MenuState::localListClicked, menu,
                parts.value(1), parts.value(2) == u"dir", clipboard);
        else if (what.startsWith(u"copy"))
            menu.copied(what == u"copy" ? QString() : clipboard = what == u"copy1" ? "listview1" : "listview2");
        else if (what == u"top")
            menu.topPageLinkCheckDone();
        else
            QFAIL(qPrintable(step));
    }
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
    columns("steps", "on", "off");
    row("nothing under the mouse", "list2:", "4 6 8 11", "9 13 15 16 17 19");
    row("local folder", "list2:site:dir", "16", "15 19");
    row("local page, upper-case extension", "list2:index.HTML", "15", "13 16 19");
    row("local picture", "list2:photo.JPG", "19", "15 16");
    // A folder never offers the top-page check in the FTP list.
    row("ftp folder", "list1:pub:dir", "13", "15 16 19");
    row("a tree leaves delete and pictures only", "tree3", "6 11 19", "4 8 9 13 15 16 17");
    row("a list after a tree has its commands back", "tree1 list2:a.txt", "4 6 8", "19");
    row("local copy is pasted in the local list", "copy2 list2:a.txt", "9", "");
    row("local copy is not pasted in the ftp list", "copy2 list1:a.txt", "", "9");
    row("ftp copy comes back in the ftp list", "copy1 list2:a.txt list1:b.txt", "9", "");
    row("copy without a focused list", "copy", "9", "");
    row("top-page check offers the clean-up", "list2:site:dir top", "17", "");
    row("a tree click takes the clean-up away", "top tree1", "", "17");
}

void TestMenuState::situations()
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

void TestMenuState::buttonsFollowTheirItems()
{
    // Whatever happens, the paired buttons say what their items say (the trees excepted, which
    // keep their own table for "link2" and "imageshow").
    MenuState menu;
    QString clipboard;
    for (const char* steps : { "list2:a.html", "copy2", "list2:b.jpg", "list1:c.htm", "top", "list2:d:dir" }) {
        run(menu, steps, clipboard);
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
