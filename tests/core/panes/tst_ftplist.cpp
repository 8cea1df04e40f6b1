#include "core/panes/ftplist.h"
#include "core/app/itemroles.h"
#include "core/panes/listheaders.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

// The server list filled from the server side of the listing record.
class TestFtpList : public QObject {
    Q_OBJECT
private:
    static QStringList row(const PaneListModel& list, int r)
    {
        QStringList texts;
        for (int c = 0; c < list.columnCount(); ++c)
            texts.append(list.item(r, c)->text());
        return texts;
    }

private Q_SLOTS:
    void fillsRowsCountsAndStatusTexts()
    {
        PaneListModel list(ftpListHeaders());
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ListingRecord record;
        record.RemoteTotalKB = 12;
        record.Remote = {
            { QStringLiteral("index.html"), 32, 1536, QStringLiteral("2024-03-05 10:02"), QStringLiteral("rw-r--r--"),
                QStringLiteral("u/www") },
            { QStringLiteral("img"), 16, 4096, QStringLiteral("2024-01-01 05:30"), QStringLiteral("rwxr-xr-x"),
                QStringLiteral("u/www") },
            { QStringLiteral("empty.txt"), 32, 0, QStringLiteral("2019-11-30"), QString(), QString() },
            { QStringLiteral("small.txt"), 32, 400, QStringLiteral("2019-11-30"), QString(), QString() },
            { QStringLiteral("OLD"), 0, std::nullopt, QStringLiteral("2001-02-03 04:05"), QString(), QString() },
            { QStringLiteral("nosize.bin"), 32, std::nullopt, QString(), QString(), QString() },
        };
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
        const std::optional<FtpListSummary> summary = FillFtpList(record, list, QStringLiteral("/www"));
        QCOMPARE(reset.count(), 1);
        QVERIFY(summary);
        QCOMPARE(summary->folders, QStringLiteral("ﾌｫﾙﾀﾞｰ数: 2"));
        QCOMPARE(summary->files, QStringLiteral("ﾌｧｲﾙ数: 4"));
        QCOMPARE(summary->size, QStringLiteral("ｻｲｽﾞ: 12Kb"));
        QCOMPARE(record.FolderCount, 2);
        QCOMPARE(record.FileCount, 4);

        QCOMPARE(list.rowCount(), 6);
        QCOMPARE(row(list, 0), (QStringList { "img", "", "<DIR>", "2024-01-01 05:30", "rwxr-xr-x", "u/www" }));
        // Old servers give 0 for a folder: a folder row whose type text still says file.
        QCOMPARE(row(list, 1), (QStringList { "OLD", "", "ﾌｧｲﾙ", "2001-02-03 04:05", "", "" }));
        QCOMPARE(
            row(list, 2), (QStringList { "index.html", " 2 KB", "ﾌｧｲﾙ", "2024-03-05 10:02", "rw-r--r--", "u/www" }));
        QCOMPARE(row(list, 3).mid(0, 2), (QStringList { "empty.txt", " 1 KB" }));
        QCOMPARE(row(list, 4).mid(0, 2), (QStringList { "small.txt", " 1 KB" }));
        QCOMPARE(row(list, 5).mid(0, 2), (QStringList { "nosize.bin", "" }));
        QCOMPARE(list.item(0)->data(ItemRoles::IconKeyRole).toString(), IconKeys::Closed);
        QCOMPARE(list.item(1)->data(ItemRoles::IconKeyRole).toString(), IconKeys::Closed);
        QCOMPARE(list.item(2)->data(ItemRoles::IconKeyRole).toString(), IconKeys::Leaf);
    }

    void emptyRecordEmptiesTheListOnly()
    {
        PaneListModel list(ftpListHeaders());
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ListingRecord record;
        record.Remote = { { QStringLiteral("a"), 32, 1, QString(), QString(), QString() } };
        QVERIFY(FillFtpList(record, list));
        record.ClearListings();
        record.FileCount = 7;
        QVERIFY(!FillFtpList(record, list));
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(record.FileCount, 0);
        QCOMPARE(list.columnCount(), 6);
    }

    void orderFtpListAfterASort()
    {
        PaneListModel list(ftpListHeaders());
        ListingRecord record;
        record.Remote = { { QStringLiteral("b"), 32, 1, QString(), QString(), QString() },
            { QStringLiteral("z"), 16, {}, QString(), QString(), QString() },
            { QStringLiteral("a"), 32, 1, QString(), QString(), QString() },
            { QStringLiteral("y"), 16, {}, QString(), QString(), QString() } };
        FillFtpList(record, list);
        list.sortByColumnText(0, Qt::AscendingOrder);
        QCOMPARE(list.item(0)->text(), QStringLiteral("a"));
        OrderFtpList(list);
        QStringList names;
        for (int r = 0; r < list.rowCount(); ++r)
            names.append(list.item(r)->text());
        QCOMPARE(names, (QStringList { "y", "z", "a", "b" }));
    }

    void headersAndSortColumns()
    {
        QCOMPARE(ftpListHeaders().size(), 6);
        QCOMPARE(sortColumnForHeader(QStringLiteral("名前")), 0);
        QCOMPARE(sortColumnForHeader(QStringLiteral("更新日時")), 3);
        QCOMPARE(sortColumnForHeader(QStringLiteral("ｱｸｾｽ権")), -1);
        QCOMPARE(sortColumnForHeader(QStringLiteral("所有者/ｸﾞﾙｰﾌﾟ")), -1);
    }
};

QTEST_GUILESS_MAIN(TestFtpList)
#include "tst_ftplist.moc"
