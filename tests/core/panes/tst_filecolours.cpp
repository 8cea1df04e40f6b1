#include "core/panes/filecolours.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

using namespace Qt::StringLiterals;

// The colour rules of both lists and the colouring pass over a list.
class TestFileColours : public QObject {
    Q_OBJECT
    static QString colourOf(const QStandardItemModel& list, int row, int column = 0)
    {
        return list.item(row, column)->foreground().color().name();
    }

private Q_SLOTS:
    void colour_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("colours"); // local, server
        // One extension of each colour; the rows are the rules around the extension table.
        QTest::newRow("page") << u"about.html"_s << u"#0000ff #0000ff"_s;
        QTest::newRow("start page") << u"index.html"_s << u"#ff0000 #ff0000"_s;
        QTest::newRow("start page in capitals") << u"INDEX.HTML"_s << u"#ff0000 #ff0000"_s;
        QTest::newRow("start page in a longer name") << u"old_index.html"_s << u"#0000ff #0000ff"_s;
        QTest::newRow("jpeg") << u"photo.jpg"_s << u"#009696 #009696"_s;
        QTest::newRow("program in capitals") << u"setup.EXE"_s << u"#00fafa #00fafa"_s;
        QTest::newRow("several dots take the last") << u"archive.tar.zip"_s << u"#9600c8 #9600c8"_s;
        QTest::newRow("system file local only") << u"driver.sys"_s << u"#969696 #000000"_s;
        QTest::newRow("no dot") << u"Makefile"_s << u"#000000 #000000"_s;
        QTest::newRow("dot at the end") << u"name."_s << u"#000000 #000000"_s;
        QTest::newRow("hidden name is an extension") << u".html"_s << u"#0000ff #0000ff"_s;
        QTest::newRow("unknown extension") << u"style.css"_s << u"#000000 #000000"_s;
        QTest::newRow("extension only as a prefix") << u"a.htmlx"_s << u"#000000 #000000"_s;
    }
    void colour()
    {
        QFETCH(QString, name);
        QFETCH(QString, colours);
        QCOMPARE(fileColour(name, ListSide::Local).name() + u' ' + fileColour(name, ListSide::Ftp).name(), colours);
    }

    void passColoursEveryRowAndCell()
    {
        QStandardItemModel list(0, 4);
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        colourListRows(list, ListSide::Local, false);
        QCOMPARE(changed.count(), 0); // an empty list is left alone
        for (const QString& name : { u"index.html"_s, u"driver.sys"_s, u"folder"_s })
            list.appendRow(
                { new QStandardItem(name), new QStandardItem(u"1 KB"_s), new QStandardItem, new QStandardItem });
        colourListRows(list, ListSide::Local, false);
        QCOMPARE(changed.count(), 1); // one notice for the whole pass
        QCOMPARE(colourOf(list, 0), u"#ff0000"_s);
        QCOMPARE(colourOf(list, 0, 3), u"#ff0000"_s);
        QCOMPARE(colourOf(list, 1, 1), u"#969696"_s);
        // A row without a dot after a coloured one gets the default, not the colour before it.
        QCOMPARE(colourOf(list, 2), u"#000000"_s);
        ColourFtpList(list, false);
        QCOMPARE(colourOf(list, 1), u"#000000"_s);

        // Switched off, the rows keep their colours although the list changed meanwhile.
        list.item(0)->setText(u"b.txt"_s);
        changed.clear();
        colourListRows(list, ListSide::Local, true);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(colourOf(list, 0), u"#ff0000"_s);
    }
};

QTEST_GUILESS_MAIN(TestFileColours)
#include "tst_filecolours.moc"
