#include "core/app/itemroles.h"
#include "core/panes/entrytexts.h"
#include "core/panes/ftplist.h"
#include "core/panes/listheaders.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"
#include "core/panes/pathrules.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

// The column texts of both lists, the path rules of the panes, and the server list filled
// from the listing record.
class TestEntryTexts : public QObject {
    Q_OBJECT
    static QString localDate(int y, int mo, int d, int h, int mi, int s)
    {
        return localDateText(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toMSecsSinceEpoch());
    }
    static QStringList rowTexts(const PaneListModel& list, int r)
    {
        QStringList texts;
        for (int c = 0; c < list.columnCount(); ++c)
            texts.append(list.item(r, c)->text());
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A zone without summer time and nine hours ahead of UTC, as the program's users have.
        qputenv("TZ", "JST-9");
        tzset();
    }

    // Each row holds what the rule gave and what it should give.
    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto t = [](const char* tag, const QString& actual, const QString& expected) {
            QTest::newRow(tag) << actual << expected;
        };
        t("type of a plain folder", AttributeText(16), u"<DIR>"_s);
        t("type of an ordinary file", AttributeText(32), u"ﾌｧｲﾙ"_s);
        t("type without bits", AttributeText(0), u"ﾌｧｲﾙ"_s);
        t("type of a hidden read-only file", AttributeText(32 | 1 | 2), u"ﾌｧｲﾙ読込専用隠し"_s);
        t("type of a hidden folder", AttributeText(16 | 2), u"<DIR>隠し"_s);
        t("type of a pipe", AttributeText(4), u"ﾌｧｲﾙｼｽﾃﾑ"_s);
        t("type of a link to a folder", AttributeText(16 | 1024), u"<DIR>ﾘﾊﾟｰｽ"_s);
        t("type with every bit, in the fixed order", AttributeText(2048 | 1024 | 512 | 256 | 64 | 4 | 2 | 1 | 32),
            u"ﾌｧｲﾙ読込専用隠しｼｽﾃﾑ暗号TEMPｽｰﾊﾟｰﾌｧｲﾙﾘﾊﾟｰｽ圧縮"_s);
        t("unnamed bits are silent", AttributeText(32 | 128 | 4096 | 8192), u"ﾌｧｲﾙ"_s);
        t("pad zero", PadZero(0), u"00"_s);
        t("pad one digit", PadZero(7), u"07"_s);
        t("pad three digits stay whole", PadZero(123), u"123"_s);
        // Local sizes are kilobytes plus one, rounded half to even, padded so that they sort as
        // text; server sizes at least 1 KB.
        const std::pair<qint64, const char*> sizes[] = { { 0, "      1 KB| 1 KB" }, { 511, "      1 KB| 1 KB" },
            { 512, "      1 KB| 1 KB" }, { 513, "      2 KB| 1 KB" }, { 1536, "      3 KB| 2 KB" },
            { 2560, "      3 KB| 2 KB" }, { 1048576, "   1025 KB| 1024 KB" },
            { qint64(5) << 30, "5242881 KB| 5242880 KB" }, { qint64(20) << 40, "21474836481 KB| 21474836480 KB" } };
        for (const auto& [size, texts] : sizes)
            QTest::addRow("size %lld", size)
                << localSizeText(size) + u'|' + ftpSizeText(size) << QString::fromUtf8(texts);
        t("local date drops the seconds", localDate(2024, 3, 5, 1, 2, 59), u"2024-03-05 10:02"_s);
        t("local date on the next day", localDate(2023, 12, 31, 20, 30, 0), u"2024-01-01 05:30"_s);
        t("local midnight", localDate(2024, 2, 28, 15, 0, 0), u"2024-02-29 00:00"_s);
        t("local date before 1970", localDate(1969, 7, 20, 20, 17, 40), u"1969-07-21 05:17"_s);
        t("the epoch", localDateText(0), u"1970-01-01 09:00"_s);
        t("1 ms before the epoch rounds down", localDateText(-1), u"1970-01-01 08:59"_s);
        t("server date with time", ftpDateText(2024, 3, 5, 9, 7), u"2024-03-05 09:07"_s);
        t("server date only (an old file)", ftpDateText(2019, 11, 30), u"2019-11-30"_s);
        t("count zero", signedNumberText(0), u" 0"_s);
        t("count positive", signedNumberText(42), u" 42"_s);
        t("count negative", signedNumberText(-3), u"-3"_s);
        t("drive with label keeps the blank", StripDriveLabel(u"c: [WINDOWS]"_s), u"c: "_s);
        t("volume with label", StripDriveLabel(u"/media/usb [写真]"_s), u"/media/usb "_s);
        t("two labels", StripDriveLabel(u"a[x]b[y]c"_s), u"abc"_s);
        t("label never closed", StripDriveLabel(u"d: [open"_s), u"d: "_s);
        t("closing bracket alone stays", StripDriveLabel(u"e:]"_s), u"e:]"_s);
        t("parent of a deep folder", parentFolderText(u"/home/u/site"_s), u"/home/u"_s);
        t("parent below the root", parentFolderText(u"/home"_s), QString());
        t("parent of a host name", parentFolderText(u"ftp.example.jp"_s), QString());
        t("parent of a drive folder", parentFolderText(u"c:/work"_s), u"c:"_s);
        t("parent with trailing slash", parentFolderText(u"/home/u/"_s), u"/home/u"_s);
        t("join under the root", joinLocalPath(u"/"_s, u"a"_s), u"/a"_s);
        t("join with a blank", joinLocalPath(u"/home/u"_s, u"a b"_s), u"/home/u/a b"_s);
        t("join after a slash", joinLocalPath(u"/home/u/"_s, u"日本"_s), u"/home/u/日本"_s);
    }
    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void ftpListFill()
    {
        PaneListModel list(ftpListHeaders());
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ListingRecord record;
        record.RemoteTotalKB = 12;
        record.Remote = {
            { u"b.html"_s, 32, 1536, u"2024-03-05 10:02"_s, u"rw-r--r--"_s, u"u/www"_s },
            { u"img"_s, 16, 4096, u"2024-01-01 05:30"_s, u"rwxr-xr-x"_s, u"u/www"_s },
            { u"empty.txt"_s, 32, 0, u"2019-11-30"_s, {}, {} },
            { u"OLD"_s, 0, std::nullopt, u"2001-02-03 04:05"_s, {}, {} },
            { u"a.bin"_s, 32, std::nullopt, {}, {}, {} },
        };
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
        const std::optional<FtpListSummary> summary = FillFtpList(record, list, u"/www"_s);
        QCOMPARE(reset.count(), 1);
        QVERIFY(summary);
        QCOMPARE(QStringList({ summary->folders, summary->files, summary->size }),
            QStringList({ u"ﾌｫﾙﾀﾞｰ数: 2"_s, u"ﾌｧｲﾙ数: 3"_s, u"ｻｲｽﾞ: 12Kb"_s }));
        QCOMPARE(record.FolderCount, 2);
        QCOMPARE(record.FileCount, 3);
        QCOMPARE(list.rowCount(), 5);
        QCOMPARE(rowTexts(list, 0), (QStringList { "img", "", "<DIR>", "2024-01-01 05:30", "rwxr-xr-x", "u/www" }));
        // Old servers give 0 for a folder: a folder row whose type text still says file.
        QCOMPARE(rowTexts(list, 1), (QStringList { "OLD", "", "ﾌｧｲﾙ", "2001-02-03 04:05", "", "" }));
        QCOMPARE(
            rowTexts(list, 2), (QStringList { "b.html", " 2 KB", "ﾌｧｲﾙ", "2024-03-05 10:02", "rw-r--r--", "u/www" }));
        QCOMPARE(rowTexts(list, 3).mid(0, 2), (QStringList { "empty.txt", " 1 KB" }));
        QCOMPARE(rowTexts(list, 4).mid(0, 2), (QStringList { "a.bin", "" }));
        QCOMPARE(list.item(1)->data(ItemRoles::IconKeyRole).toString(), IconKeys::Closed);
        QCOMPARE(list.item(2)->data(ItemRoles::IconKeyRole).toString(), IconKeys::Leaf);
        QVERIFY(list.isFolderRow(1));
        QVERIFY(!list.isFolderRow(2));

        // Sorted by name, then folders first again, keeping the sorted order.
        list.sortByColumnText(0, Qt::AscendingOrder);
        QCOMPARE(list.item(0)->text(), u"a.bin"_s);
        OrderFtpList(list);
        QStringList names;
        for (int r = 0; r < list.rowCount(); ++r)
            names.append(list.item(r)->text());
        QCOMPARE(names, (QStringList { "img", "OLD", "a.bin", "b.html", "empty.txt" }));

        // An empty record empties the list only; the counts are zero.
        record.ClearListings();
        QVERIFY(!FillFtpList(record, list));
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(record.FileCount, 0);
    }
};

QTEST_GUILESS_MAIN(TestEntryTexts)
#include "tst_entrytexts.moc"
