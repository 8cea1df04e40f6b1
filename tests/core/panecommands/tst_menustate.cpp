// The file-operation menu and the toolbar after each kind of click and command.
#include "core/panes/commands/menustate.h"

#include <QTest>

namespace {

// Runs one step of a click sequence: "tree1" (local tree), "tree3" (FTP tree),
// "list1:<name>[:dir]", "list2:<name>[:dir]" (a row of the FTP or local list), "copy1", "copy2",
// "copy" (neither list focused), "top" (the top-page link check), "clean".
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
    else if (what == QLatin1String("clean"))
        menu.cleanUpDone();
    else
        QFAIL(qPrintable(step));
}

} // namespace

class TestMenuState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void states_data();
    void states();
    void captions_data();
    void captions();
    void buttonsFollowTheirItems();
};

void TestMenuState::states_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("itemsOn");
    QTest::addColumn<QStringList>("buttonsOn");

    const QStringList startButtons { "open", "cut", "copy", "Stop" };
    QTest::newRow("start") << QStringList() << QList<int> { 4, 6, 8, 11 } << startButtons;
    QTest::newRow("local tree") << QStringList { "tree1" } << QList<int> { 6, 11, 19 } << QStringList { "cut", "Stop" };
    QTest::newRow("ftp tree") << QStringList { "tree3" } << QList<int> { 6, 11, 19 }
                              << QStringList { "cut", "link2", "imageshow", "Stop" };
    QTest::newRow("local list page") << QStringList { "list2:index.HTML" } << QList<int> { 4, 6, 8, 11, 15 }
                                     << QStringList { "open", "cut", "copy", "link1", "Stop" };
    QTest::newRow("local list folder") << QStringList { "list2:site:dir" } << QList<int> { 4, 6, 8, 11, 16 }
                                       << QStringList { "open", "cut", "copy", "link2", "Stop" };
    QTest::newRow("local list picture") << QStringList { "list2:photo.JPG" } << QList<int> { 4, 6, 8, 11, 19 }
                                        << QStringList { "open", "cut", "copy", "imageshow", "Stop" };
    QTest::newRow("local list empty space") << QStringList { "list2:" } << QList<int> { 4, 6, 8, 11 } << startButtons;
    QTest::newRow("ftp list file") << QStringList { "list1:readme.txt" } << QList<int> { 4, 6, 8, 11, 13 }
                                   << startButtons;
    // A folder never offers the top-page check in the FTP list.
    QTest::newRow("ftp list folder") << QStringList { "list1:pub:dir" } << QList<int> { 4, 6, 8, 11, 13 }
                                     << startButtons;
    QTest::newRow("ftp list page") << QStringList { "list1:a.htm" } << QList<int> { 4, 6, 8, 11, 13, 15 }
                                   << QStringList { "open", "cut", "copy", "link1", "Stop" };
    QTest::newRow("tree then list gives the list its commands")
        << QStringList { "tree3", "list1:a.gif" } << QList<int> { 4, 6, 8, 11, 13, 19 }
        << QStringList { "open", "cut", "copy", "imageshow", "Stop" };
    QTest::newRow("local copy offers paste in the local list") << QStringList { "copy2",
        "list2:a.txt" } << QList<int> { 4, 6, 8, 9, 11 } << QStringList { "open", "cut", "copy", "paste", "Stop" };
    QTest::newRow("local copy is not pasted in the ftp list")
        << QStringList { "copy2", "list1:a.txt" } << QList<int> { 4, 6, 8, 11, 13 } << startButtons;
    QTest::newRow("ftp copy is not pasted in the local list")
        << QStringList { "copy1", "list2:a.txt" } << QList<int> { 4, 6, 8, 11 } << startButtons;
    QTest::newRow("ftp copy offers paste in the ftp list")
        << QStringList { "copy1", "list2:a.txt", "list1:b.txt" } << QList<int> { 4, 6, 8, 9, 11, 13 }
        << QStringList { "open", "cut", "copy", "paste", "Stop" };
    QTest::newRow("copy without a focused list offers paste") << QStringList { "copy" } << QList<int> { 4, 6, 8, 9, 11 }
                                                              << QStringList { "open", "cut", "copy", "paste", "Stop" };
    QTest::newRow("top-page check offers the clean-up")
        << QStringList { "list2:site:dir", "top" } << QList<int> { 4, 6, 8, 11, 16, 17 }
        << QStringList { "open", "cut", "copy", "link2", "linkcut", "Stop" };
    QTest::newRow("clean-up takes itself away")
        << QStringList { "top", "clean" } << QList<int> { 4, 6, 8, 11 } << startButtons;
    QTest::newRow("a tree click takes the clean-up away")
        << QStringList { "top", "tree1" } << QList<int> { 6, 11, 19 } << QStringList { "cut", "Stop" };
}

void TestMenuState::states()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, itemsOn);
    QFETCH(QStringList, buttonsOn);
    MenuState menu;
    QString clipboard;
    for (const QString& step : steps)
        run(menu, step, clipboard);
    QList<int> on;
    for (int i : MenuState::itemIndexes()) {
        if (menu.itemEnabled(i))
            on.append(i);
    }
    QCOMPARE(on, itemsOn);
    QStringList buttons;
    for (const QString& key : MenuState::buttonKeys()) {
        if (menu.buttonEnabled(key))
            buttons.append(key);
    }
    QCOMPARE(buttons, buttonsOn);
}

void TestMenuState::captions_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("captions"); // items 4, 6, 8, 9

    QTest::newRow("design") << QStringList()
                            << QStringList { "フォルダーの作成(&N)", "フォルダーとファイルの削除(&T)", "ファイルコピー",
                                   "ファイル貼り付け" };
    QTest::newRow("local tree") << QStringList { "tree1" }
                                << QStringList { "ローカルPC上にフォルダーの作成(&N)",
                                       "ローカルPCのフォルダーとﾌｧｲﾙの削除(&T)", "ローカルPC上のファイルのコピー",
                                       "ローカルPC上のファイルの貼り付け" };
    QTest::newRow("ftp tree") << QStringList { "tree3" }
                              << QStringList { "FTP上にフォルダーの作成(&N)", "FTPのフォルダーとﾌｧｲﾙの削除(&T)",
                                     "FTP上のファイルのコピー", "FTP上のファイルの貼り付け" };
    QTest::newRow("local list after a local copy")
        << QStringList { "copy2", "list2:a.txt" }
        << QStringList { "ローカルPC上にフォルダーの作成(&N)", "ローカルPCのフォルダーとﾌｧｲﾙの削除(&T)",
               "フォルダー又はファイルのコピー", "ローカルPCのファイル又はフォルダーの貼り付け" };
    QTest::newRow("ftp list after an ftp copy")
        << QStringList { "copy1", "list1:a.txt" }
        << QStringList { "FTP上にフォルダーの作成(&N)", "FTPのフォルダーとﾌｧｲﾙの削除(&T)", "FTP上のファイルのコピー",
               "FTPファイルの貼り付け" };
}

void TestMenuState::captions()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, captions);
    MenuState menu;
    QString clipboard;
    for (const QString& step : steps)
        run(menu, step, clipboard);
    QCOMPARE((QStringList { menu.caption(4), menu.caption(6), menu.caption(8), menu.caption(9) }), captions);
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
