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
#include <QBrush>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

// The column texts, colours and path rules of both lists, and the server list filled from a listing.
class TestEntryTexts : public QObject {
    Q_OBJECT
    static QString rowText(const PaneListModel& list, int r)
    {
        QStringList texts;
        for (int c = 0; c < list.columnCount(); ++c)
            texts << list.text(r, c) + u'/' + list.index(r, c).data(Qt::ForegroundRole).value<QBrush>().color().name();
        return texts.join(u' ') + u' ' + list.iconKey(r);
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
type of a hidden read-only file | type | 35 | ﾌｧｲﾙ読込専用隠し
type of a link to a folder | type | 1040 | <DIR>ﾘﾊﾟｰｽ
type with every bit, in the fixed order | type | 3943 | ﾌｧｲﾙ読込専用隠しｼｽﾃﾑ暗号TEMPｽｰﾊﾟｰﾌｧｲﾙﾘﾊﾟｰｽ圧縮
size 0 | size | 0 | ______1_KB|_1_KB
size 512 rounds half to even | size | 512 | ______1_KB|_1_KB
size 20 TiB | size | 21990232555520 | 21474836481_KB|_21474836480_KB
local date drops the seconds | date | 2024-03-05T01:02:59 | 2024-03-05 10:02
1 ms before the epoch rounds down | ms | -1 | 1970-01-01 08:59
server date with time | ftpdate | 2024,3,5,9,7 | 2024-03-05 09:07
drive with label keeps the blank | label | c: [WINDOWS] | c:\s
label never closed | label | d: [open | d:\s
parent of a deep folder | parent | /home/u/site | /home/u
parent below the root | parent | /home |
join under the root | join | /+a | /a
join after a slash | join | /home/u/+日本 | /home/u/日本
page | colour | about.html | #0000ff #0000ff
start page, also in capitals | colour | INDEX.HTML | #ff0000 #ff0000
system file local only | colour | driver.sys | #969696 #000000
no dot | colour | Makefile | #000000 #000000
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
            : rule == u"size"
            ? QString(localSizeText(input.toLongLong()) + u'|' + ftpSizeText(input.toLongLong())).replace(u' ', u'_')
            : rule == u"date"   ? localDateText(QDateTime::fromString(input + u'Z', Qt::ISODate).toMSecsSinceEpoch())
            : rule == u"ms"     ? localDateText(input.toLongLong())
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
        for (const RemoteEntry& e : std::initializer_list<RemoteEntry> {
                 { u"b.html"_s, 32, 1536, u"2024-03-05 10:02"_s, u"rw-r--r--"_s, u"u/www"_s },
                 { u"img"_s, 16, 4096, u"2024-01-01 05:30"_s, u"rwxr-xr-x"_s, u"u/www"_s },
                 { u"index.html"_s, 32, 0, u"2019-11-30"_s, {}, {} },
                 { u"OLD"_s, 0, std::nullopt, u"2001-02-03 04:05"_s, {}, {} } })
            record.Remote.push_back(ftpListRow(e));
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
        const std::optional<FtpListSummary> summary = FillFtpList(record, list);
        QVERIFY(summary);
        QCOMPARE(QStringList({ summary->folders, summary->files, summary->size, QString::number(record.FolderCount),
                     QString::number(record.FileCount), QString::number(reset.count()) }),
            QStringList({ u"ﾌｫﾙﾀﾞｰ数: 2"_s, u"ﾌｧｲﾙ数: 2"_s, u"ｻｲｽﾞ: 12Kb"_s, u"2"_s, u"2"_s, u"1"_s }));
        // Switched off, the rows keep their colours.
        ColourFtpList(list, false);
        list.setData(list.index(3, 0), u"b.txt"_s);
        ColourFtpList(list, true);
        // Old servers give 0 for a folder: a folder row whose type text still says file.
        QStringList rows;
        for (int r = 0; r < list.rowCount(); ++r)
            rows << rowText(list, r) + (list.isFolderRow(r) ? u" folder"_s : QString());
        QCOMPARE(rows,
            QStringList(
                { u"img/#000000 /#000000 <DIR>/#000000 2024-01-01 05:30/#000000 rwxr-xr-x/#000000 u/www/#000000 closed folder"_s,
                    u"OLD/#000000 /#000000 ﾌｧｲﾙ/#000000 2001-02-03 04:05/#000000 /#000000 /#000000 closed folder"_s,
                    u"b.html/#0000ff  2 KB/#0000ff ﾌｧｲﾙ/#0000ff 2024-03-05 10:02/#0000ff rw-r--r--/#0000ff u/www/#0000ff leaf"_s,
                    u"b.txt/#ff0000  1 KB/#ff0000 ﾌｧｲﾙ/#ff0000 2019-11-30/#ff0000 /#ff0000 /#ff0000 leaf"_s }));
        // An empty record empties the list only; the counts are zero.
        record.ClearListings();
        QVERIFY(!FillFtpList(record, list));
        QCOMPARE(list.rowCount() + record.FileCount, 0);
    }

    // Sorting moves whole rows and the selection with them; a rename and a removal touch one row.
    void listRowsMoveWhole()
    {
        PaneListModel list(ftpListHeaders());
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QItemSelectionModel selection(&list);
        std::vector<PaneListModel::Row> rows;
        for (const auto& [name, size, icon] :
            { std::tuple { u"b", u" 3 KB", IconKeys::Leaf }, { u"A", u" 1 KB", IconKeys::Leaf },
                { u"sub", u"", IconKeys::Closed }, { u"c", u" 2 KB", IconKeys::Leaf2 } })
            rows.emplace_back(icon, std::initializer_list<QStringView> { name, size });
        list.replaceRows(std::move(rows));
        selection.select(list.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const auto shown = [&] {
            QStringList texts;
            for (int r = 0; r < list.rowCount(); ++r)
                texts << list.text(r, 0) + u':' + list.text(r, 1).trimmed() + u':' + list.iconKey(r)
                        + (selection.isRowSelected(r) ? u"*"_s : QString());
            return texts.join(u' ');
        };
        list.sortByColumnText(1, Qt::DescendingOrder);
        QCOMPARE(shown(), u"b:3 KB:leaf c:2 KB:leaf2 A:1 KB:leaf* sub::closed"_s);
        list.sortByColumnText(0, Qt::AscendingOrder);
        list.orderFoldersFirst();
        QCOMPARE(shown(), u"sub::closed A:1 KB:leaf* b:3 KB:leaf c:2 KB:leaf2"_s);
        QVERIFY(list.setData(list.index(2, 0), u"longer name.html"_s));
        QVERIFY(list.removeRows(0, 1));
        QCOMPARE(shown(), u"A:1 KB:leaf* longer name.html:3 KB:leaf c:2 KB:leaf2"_s);
        QCOMPARE(list.rowNamed(u"c"_s), 2);
    }
};

QTEST_GUILESS_MAIN(TestEntryTexts)
#include "tst_entrytexts.moc"
