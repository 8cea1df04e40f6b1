#include "core/app/itemroles.h"
#include "core/panes/entrytexts.h"
#include "core/panes/filecolours.h"
#include "core/panes/ftplist.h"
#include "core/panes/listheaders.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"
#include "core/panes/pathrules.h"
#include "support/texttable.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

// The column texts, colours and path rules of both lists, and the server list filled from a listing.
class TestEntryTexts : public QObject {
    Q_OBJECT
    static QString rowText(const QStandardItemModel& list, int r)
    {
        QStringList texts;
        for (int c = 0; c < list.columnCount(); ++c)
            texts << list.item(r, c)->text() + u'/' + list.item(r, c)->foreground().color().name();
        return texts.join(u' ') + u' ' + list.item(r)->data(ItemRoles::IconKeyRole).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "JST-9"); // nine hours ahead of UTC, no summer time, as the users have
        tzset();
    }

    // Sizes show blanks as "_"; dates are given in UTC; "colour" is the local then the server colour.
    void texts_data()
    {
        TextTable::rows({ "rule", "input", "expected" }, R"(
type of a plain folder | type | 16 | <DIR>
type without bits | type | 0 | ﾌｧｲﾙ
type of a hidden read-only file | type | 35 | ﾌｧｲﾙ読込専用隠し
type of a pipe | type | 4 | ﾌｧｲﾙｼｽﾃﾑ
type of a link to a folder | type | 1040 | <DIR>ﾘﾊﾟｰｽ
type with every bit, in the fixed order | type | 3943 | ﾌｧｲﾙ読込専用隠しｼｽﾃﾑ暗号TEMPｽｰﾊﾟｰﾌｧｲﾙﾘﾊﾟｰｽ圧縮
unnamed bits are silent | type | 12448 | ﾌｧｲﾙ
pad one digit | pad | 7 | 07
pad three digits stay whole | pad | 123 | 123
size 0 | size | 0 | ______1_KB|_1_KB
size 512 rounds half to even | size | 512 | ______1_KB|_1_KB
size 513 | size | 513 | ______2_KB|_1_KB
size 1536 | size | 1536 | ______3_KB|_2_KB
size 2560 | size | 2560 | ______3_KB|_2_KB
size 1 MiB | size | 1048576 | ___1025_KB|_1024_KB
size 5 GiB | size | 5368709120 | 5242881_KB|_5242880_KB
size 20 TiB | size | 21990232555520 | 21474836481_KB|_21474836480_KB
local date drops the seconds | date | 2024-03-05T01:02:59 | 2024-03-05 10:02
local date on the next day | date | 2023-12-31T20:30:00 | 2024-01-01 05:30
local date before 1970 | date | 1969-07-20T20:17:40 | 1969-07-21 05:17
the epoch | ms | 0 | 1970-01-01 09:00
1 ms before the epoch rounds down | ms | -1 | 1970-01-01 08:59
server date with time | ftpdate | 2024,3,5,9,7 | 2024-03-05 09:07
server date only (an old file) | ftpdate | 2019,11,30 | 2019-11-30
count zero | count | 0 | \s0
count negative | count | -3 | -3
drive with label keeps the blank | label | c: [WINDOWS] | c:\s
two labels | label | a[x]b[y]c | abc
label never closed | label | d: [open | d:\s
closing bracket alone stays | label | e:] | e:]
parent of a deep folder | parent | /home/u/site | /home/u
parent below the root | parent | /home |
parent of a host name | parent | ftp.example.jp |
parent of a drive folder | parent | c:/work | c:
parent with trailing slash | parent | /home/u/ | /home/u
join under the root | join | /+a | /a
join with a blank | join | /home/u+a b | /home/u/a b
join after a slash | join | /home/u/+日本 | /home/u/日本
page | colour | about.html | #0000ff #0000ff
start page, also in capitals | colour | INDEX.HTML | #ff0000 #ff0000
start page in a longer name | colour | old_index.html | #0000ff #0000ff
jpeg | colour | photo.jpg | #009696 #009696
program in capitals | colour | setup.EXE | #00fafa #00fafa
several dots take the last | colour | archive.tar.zip | #9600c8 #9600c8
system file local only | colour | driver.sys | #969696 #000000
no dot | colour | Makefile | #000000 #000000
dot at the end | colour | name. | #000000 #000000
hidden name is an extension | colour | .html | #0000ff #0000ff
extension only as a prefix | colour | a.htmlx | #000000 #000000
)");
    }
    void texts()
    {
        QFETCH(QString, rule);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QStringList n = input.split(u',');
        const QString actual = rule == u"type" ? AttributeText(input.toUInt())
            : rule == u"pad"                   ? PadZero(input.toInt())
            : rule == u"size"
            ? QString(localSizeText(input.toLongLong()) + u'|' + ftpSizeText(input.toLongLong())).replace(u' ', u'_')
            : rule == u"date"   ? localDateText(QDateTime::fromString(input + u'Z', Qt::ISODate).toMSecsSinceEpoch())
            : rule == u"ms"     ? localDateText(input.toLongLong())
            : rule == u"count"  ? signedNumberText(input.toLongLong())
            : rule == u"label"  ? StripDriveLabel(input)
            : rule == u"parent" ? parentFolderText(input)
            : rule == u"join"   ? joinLocalPath(input.section(u'+', 0, 0), input.section(u'+', 1))
            : rule == u"colour"
            ? fileColour(input, ListSide::Local).name() + u' ' + fileColour(input, ListSide::Ftp).name()
            : n.size() == 5 ? ftpDateText(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt(), n[4].toInt())
                            : ftpDateText(n[0].toInt(), n[1].toInt(), n[2].toInt());
        QCOMPARE(actual, expected);
    }

    void ftpListFillColourAndOrder()
    {
        PaneListModel list(ftpListHeaders());
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ListingRecord record;
        record.RemoteTotalKB = 12;
        record.Remote = { { u"b.html"_s, 32, 1536, u"2024-03-05 10:02"_s, u"rw-r--r--"_s, u"u/www"_s },
            { u"img"_s, 16, 4096, u"2024-01-01 05:30"_s, u"rwxr-xr-x"_s, u"u/www"_s },
            { u"index.html"_s, 32, 0, u"2019-11-30"_s, {}, {} }, { u"README"_s, 32, std::nullopt, {}, {}, {} },
            { u"OLD"_s, 0, std::nullopt, u"2001-02-03 04:05"_s, {}, {} },
            { u"a.sys"_s, 32, std::nullopt, {}, {}, {} } };
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
        const std::optional<FtpListSummary> summary = FillFtpList(record, list);
        QVERIFY(summary);
        QCOMPARE(QStringList({ summary->folders, summary->files, summary->size, QString::number(record.FolderCount),
                     QString::number(record.FileCount), QString::number(reset.count()) }),
            QStringList({ u"ﾌｫﾙﾀﾞｰ数: 2"_s, u"ﾌｧｲﾙ数: 4"_s, u"ｻｲｽﾞ: 12Kb"_s, u"2"_s, u"4"_s, u"1"_s }));
        // The local pass: system files grey, a row without a dot after a coloured one black.
        colourListRows(list, ListSide::Local, false);
        QStringList rows;
        for (int r = 0; r < list.rowCount(); ++r)
            rows << rowText(list, r).section(u' ', 0, 0);
        QCOMPARE(rows.join(u' '),
            u"img/#000000 OLD/#000000 b.html/#0000ff index.html/#ff0000 README/#000000 a.sys/#969696"_s);
        // One notice for the whole server pass; switched off, the rows keep their colours.
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        ColourFtpList(list, false);
        list.item(3)->setText(u"b.txt"_s);
        ColourFtpList(list, true);
        QCOMPARE(changed.count(), 2);
        // Old servers give 0 for a folder: a folder row whose type text still says file.
        rows.clear();
        for (int r = 0; r < list.rowCount(); ++r)
            rows << rowText(list, r) + (list.isFolderRow(r) ? u" folder"_s : QString());
        QCOMPARE(rows,
            QStringList(
                { u"img/#000000 /#000000 <DIR>/#000000 2024-01-01 05:30/#000000 rwxr-xr-x/#000000 u/www/#000000 closed folder"_s,
                    u"OLD/#000000 /#000000 ﾌｧｲﾙ/#000000 2001-02-03 04:05/#000000 /#000000 /#000000 closed folder"_s,
                    u"b.html/#0000ff  2 KB/#0000ff ﾌｧｲﾙ/#0000ff 2024-03-05 10:02/#0000ff rw-r--r--/#0000ff u/www/#0000ff leaf"_s,
                    u"b.txt/#ff0000  1 KB/#ff0000 ﾌｧｲﾙ/#ff0000 2019-11-30/#ff0000 /#ff0000 /#ff0000 leaf"_s,
                    u"README/#000000 /#000000 ﾌｧｲﾙ/#000000 /#000000 /#000000 /#000000 leaf"_s,
                    u"a.sys/#000000 /#000000 ﾌｧｲﾙ/#000000 /#000000 /#000000 /#000000 leaf"_s }));
        // Sorted by name, then folders first again, keeping the sorted order.
        list.sortByColumnText(0, Qt::AscendingOrder);
        QCOMPARE(list.item(0)->text(), u"a.sys"_s);
        OrderFtpList(list);
        QStringList names;
        for (int r = 0; r < list.rowCount(); ++r)
            names << list.item(r)->text();
        QCOMPARE(names, (QStringList { "img", "OLD", "a.sys", "b.html", "b.txt", "README" }));
        // An empty record empties the list only; the counts are zero.
        record.ClearListings();
        QVERIFY(!FillFtpList(record, list));
        QCOMPARE(list.rowCount() + record.FileCount, 0);
    }
};

QTEST_GUILESS_MAIN(TestEntryTexts)
#include "tst_entrytexts.moc"
