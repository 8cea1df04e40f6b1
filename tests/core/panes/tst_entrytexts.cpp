#include "core/panes/entrytexts.h"
#include "core/panes/listingrecord.h"
#include "core/panes/pathrules.h"

#include <QTest>
#include <ctime>

// The column texts of both lists and the path rules of the panes.
class TestEntryTexts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // A zone without summer time and nine hours ahead of UTC, as the program's users have.
        qputenv("TZ", "JST-9");
        tzset();
    }

    void attributeText_data()
    {
        QTest::addColumn<quint32>("attributes");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain folder") << 16u << QStringLiteral("<DIR>");
        QTest::newRow("ordinary file") << 32u << QStringLiteral("ﾌｧｲﾙ");
        QTest::newRow("no bits at all") << 0u << QStringLiteral("ﾌｧｲﾙ");
        QTest::newRow("hidden read-only file") << (32u | 1u | 2u) << QStringLiteral("ﾌｧｲﾙ読込専用隠し");
        QTest::newRow("hidden folder") << (16u | 2u) << QStringLiteral("<DIR>隠し");
        QTest::newRow("pipe") << 4u << QStringLiteral("ﾌｧｲﾙｼｽﾃﾑ");
        QTest::newRow("link to a folder") << (16u | 1024u) << QStringLiteral("<DIR>ﾘﾊﾟｰｽ");
        QTest::newRow("every bit, in the fixed order")
            << (2048u | 1024u | 512u | 256u | 64u | 4u | 2u | 1u | 32u)
            << QStringLiteral("ﾌｧｲﾙ読込専用隠しｼｽﾃﾑ暗号TEMPｽｰﾊﾟｰﾌｧｲﾙﾘﾊﾟｰｽ圧縮");
        QTest::newRow("unnamed bits are silent") << (32u | 128u | 4096u | 8192u) << QStringLiteral("ﾌｧｲﾙ");
    }
    void attributeText()
    {
        QFETCH(quint32, attributes);
        QFETCH(QString, text);
        QCOMPARE(AttributeText(attributes), text);
    }

    void padZero_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << QStringLiteral("00");
        QTest::newRow("one digit") << 7 << QStringLiteral("07");
        QTest::newRow("two digits") << 12 << QStringLiteral("12");
        QTest::newRow("three digits stay whole") << 123 << QStringLiteral("123");
    }
    void padZero()
    {
        QFETCH(int, n);
        QFETCH(QString, text);
        QCOMPARE(PadZero(n), text);
    }

    void sizeTexts_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("ftp");
        QTest::newRow("empty file") << qint64(0) << QStringLiteral("      1 KB") << QStringLiteral(" 1 KB");
        QTest::newRow("511 bytes round down") << qint64(511) << QStringLiteral("      1 KB") << QStringLiteral(" 1 KB");
        QTest::newRow("half of 1 KB goes to even 0")
            << qint64(512) << QStringLiteral("      1 KB") << QStringLiteral(" 1 KB");
        QTest::newRow("513 bytes round up") << qint64(513) << QStringLiteral("      2 KB") << QStringLiteral(" 1 KB");
        QTest::newRow("1.5 KB goes to even 2")
            << qint64(1536) << QStringLiteral("      3 KB") << QStringLiteral(" 2 KB");
        QTest::newRow("2.5 KB goes to even 2")
            << qint64(2560) << QStringLiteral("      3 KB") << QStringLiteral(" 2 KB");
        QTest::newRow("one megabyte") << qint64(1048576) << QStringLiteral("   1025 KB") << QStringLiteral(" 1024 KB");
        QTest::newRow("five gigabytes keep their high bits")
            << qint64(5) * 1024 * 1024 * 1024 << QStringLiteral("5242881 KB") << QStringLiteral(" 5242880 KB");
        QTest::newRow("wider than the pad") << qint64(20) * 1024 * 1024 * 1024 * 1024
                                            << QStringLiteral("21474836481 KB") << QStringLiteral(" 21474836480 KB");
    }
    void sizeTexts()
    {
        QFETCH(qint64, size);
        QFETCH(QString, local);
        QFETCH(QString, ftp);
        QCOMPARE(localSizeText(size), local);
        QCOMPARE(ftpSizeText(size), ftp);
    }

    void sizeTextsSortAsText()
    {
        // The padding is what makes the size column sort by size as text.
        QVERIFY(localSizeText(9 * 1024) < localSizeText(10 * 1024));
        QVERIFY(localSizeText(99 * 1024) < localSizeText(1000 * 1024));
    }

    void localDate_data()
    {
        QTest::addColumn<QDateTime>("utc");
        QTest::addColumn<QString>("text");
        const auto utc = [](int y, int mo, int d, int h, int mi, int s) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
        };
        QTest::newRow("seconds are dropped") << utc(2024, 3, 5, 1, 2, 59) << QStringLiteral("2024-03-05 10:02");
        QTest::newRow("local day is the next day")
            << utc(2023, 12, 31, 20, 30, 0) << QStringLiteral("2024-01-01 05:30");
        QTest::newRow("midnight local") << utc(2024, 2, 28, 15, 0, 0) << QStringLiteral("2024-02-29 00:00");
        QTest::newRow("before 1970") << utc(1969, 7, 20, 20, 17, 40) << QStringLiteral("1969-07-21 05:17");
        QTest::newRow("the epoch") << utc(1970, 1, 1, 0, 0, 0) << QStringLiteral("1970-01-01 09:00");
    }
    void localDate()
    {
        QFETCH(QDateTime, utc);
        QFETCH(QString, text);
        QCOMPARE(localDateText(utc.toMSecsSinceEpoch()), text);
    }

    void localDateBeforeEpochRoundsDown()
    {
        // 1 ms before the epoch is still 08:59 local, not 09:00.
        QCOMPARE(localDateText(-1), QStringLiteral("1970-01-01 08:59"));
    }

    void ftpDate_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour"); // -1: the listing gave no time
        QTest::addColumn<int>("minute");
        QTest::addColumn<QString>("text");
        QTest::newRow("with time") << 2024 << 3 << 5 << 9 << 7 << QStringLiteral("2024-03-05 09:07");
        QTest::newRow("date only (an old file)") << 2019 << 11 << 30 << -1 << -1 << QStringLiteral("2019-11-30");
    }
    void ftpDate()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(QString, text);
        if (hour < 0)
            QCOMPARE(ftpDateText(year, month, day), text);
        else
            QCOMPARE(ftpDateText(year, month, day, hour, minute), text);
    }

    void signedNumbers()
    {
        QCOMPARE(signedNumberText(0), QStringLiteral(" 0"));
        QCOMPARE(signedNumberText(42), QStringLiteral(" 42"));
        QCOMPARE(signedNumberText(-3), QStringLiteral("-3"));
    }

    void stripDriveLabel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("drive with label keeps the blank") << QStringLiteral("c: [WINDOWS]") << QStringLiteral("c: ");
        QTest::newRow("root alone") << QStringLiteral("/") << QStringLiteral("/");
        QTest::newRow("volume with label") << QStringLiteral("/media/usb [写真]") << QStringLiteral("/media/usb ");
        QTest::newRow("two labels") << QStringLiteral("a[x]b[y]c") << QStringLiteral("abc");
        QTest::newRow("bracket never closed") << QStringLiteral("d: [open") << QStringLiteral("d: ");
        QTest::newRow("closing bracket alone stays") << QStringLiteral("e:]") << QStringLiteral("e:]");
        QTest::newRow("empty") << QString() << QString();
    }
    void stripDriveLabel()
    {
        QFETCH(QString, text);
        QFETCH(QString, stripped);
        QCOMPARE(StripDriveLabel(text), stripped);
    }

    void parentFolder_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parent");
        QTest::newRow("deep folder") << QStringLiteral("/home/u/site") << QStringLiteral("/home/u");
        QTest::newRow("below the root") << QStringLiteral("/home") << QString();
        QTest::newRow("server folder") << QStringLiteral("/home/u") << QStringLiteral("/home");
        QTest::newRow("host name") << QStringLiteral("ftp.example.jp") << QString();
        QTest::newRow("first platform drive") << QStringLiteral("c:/work") << QStringLiteral("c:");
        QTest::newRow("trailing slash") << QStringLiteral("/home/u/") << QStringLiteral("/home/u");
    }
    void parentFolder()
    {
        QFETCH(QString, path);
        QFETCH(QString, parent);
        QCOMPARE(parentFolderText(path), parent);
    }

    void joinPath()
    {
        QCOMPARE(joinLocalPath(QStringLiteral("/"), QStringLiteral("a")), QStringLiteral("/a"));
        QCOMPARE(joinLocalPath(QStringLiteral("/home/u"), QStringLiteral("a b")), QStringLiteral("/home/u/a b"));
        QCOMPARE(joinLocalPath(QStringLiteral("/home/u/"), QStringLiteral("日本")), QStringLiteral("/home/u/日本"));
    }

    void clearListingsEmptiesBothSides()
    {
        ListingRecord record;
        record.Local.push_back({ QStringLiteral("a"), 32, 1, 0 });
        record.Remote.push_back({ QStringLiteral("b"), 32, 1, QString(), QString(), QString() });
        record.FileCount = 3;
        record.ClearListings();
        QVERIFY(record.Local.empty());
        QVERIFY(record.Remote.empty());
        QCOMPARE(record.FileCount, 3); // the counts belong to the transfers as well
    }
};

QTEST_GUILESS_MAIN(TestEntryTexts)
#include "tst_entrytexts.moc"
