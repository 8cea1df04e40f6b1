#include "core/panes/filecolours.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

// The colour rules of both lists and the colouring pass over a list.
class TestFileColours : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void colour_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("local");
        QTest::addColumn<QColor>("ftp");
        const QColor black(0, 0, 0), blue(0, 0, 255), teal(0, 150, 150), cyan(0, 250, 250), purple(150, 0, 200),
            grey(150, 150, 150), red(255, 0, 0);
        // One extension of each colour; the rows are the rules around the extension table.
        QTest::newRow("page") << QStringLiteral("about.html") << blue << blue;
        QTest::newRow("start page") << QStringLiteral("index.html") << red << red;
        QTest::newRow("start page in capitals") << QStringLiteral("INDEX.HTML") << red << red;
        QTest::newRow("start page in a longer name") << QStringLiteral("old_index.html") << blue << blue;
        QTest::newRow("jpeg") << QStringLiteral("photo.jpg") << teal << teal;
        QTest::newRow("program in capitals") << QStringLiteral("setup.EXE") << cyan << cyan;
        QTest::newRow("several dots take the last") << QStringLiteral("archive.tar.zip") << purple << purple;
        QTest::newRow("system file local only") << QStringLiteral("driver.sys") << grey << black;
        QTest::newRow("no dot") << QStringLiteral("Makefile") << black << black;
        QTest::newRow("dot at the end") << QStringLiteral("name.") << black << black;
        QTest::newRow("hidden name is an extension") << QStringLiteral(".html") << blue << blue;
        QTest::newRow("unknown extension") << QStringLiteral("style.css") << black << black;
        QTest::newRow("extension only as a prefix") << QStringLiteral("a.htmlx") << black << black;
        QTest::newRow("empty") << QString() << black << black;
    }
    void colour()
    {
        QFETCH(QString, name);
        QFETCH(QColor, local);
        QFETCH(QColor, ftp);
        QCOMPARE(fileColour(name, ListSide::Local), local);
        QCOMPARE(fileColour(name, ListSide::Ftp), ftp);
    }

    void passColoursEveryRowAndCell()
    {
        QStandardItemModel list(0, 4);
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QStringList names
            = { QStringLiteral("index.html"), QStringLiteral("driver.sys"), QStringLiteral("folder") };
        for (const QString& name : names)
            list.appendRow({ new QStandardItem(name), new QStandardItem(QStringLiteral("1 KB")), new QStandardItem,
                new QStandardItem });
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        colourListRows(list, ListSide::Local, false);
        QCOMPARE(changed.count(), 1); // one notice for the whole pass
        QCOMPARE(list.item(0, 0)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(list.item(0, 3)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(list.item(1, 1)->foreground().color(), QColor(150, 150, 150));
        // A row without a dot after a coloured one gets the default, not the colour before it.
        QCOMPARE(list.item(2, 0)->foreground().color(), QColor(0, 0, 0));

        ColourFtpList(list, false);
        QCOMPARE(list.item(1, 0)->foreground().color(), QColor(0, 0, 0));
    }

    void switchedOffKeepsColours()
    {
        QStandardItemModel list(0, 1);
        list.appendRow(new QStandardItem(QStringLiteral("a.zip")));
        colourListRows(list, ListSide::Local, false);
        list.item(0)->setText(QStringLiteral("b.txt")); // the list was changed meanwhile
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        colourListRows(list, ListSide::Local, true);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(list.item(0)->foreground().color(), QColor(150, 0, 200));
    }

    void emptyListIsLeftAlone()
    {
        QStandardItemModel list(0, 4);
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        colourListRows(list, ListSide::Local, false);
        QCOMPARE(changed.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFileColours)
#include "tst_filecolours.moc"
