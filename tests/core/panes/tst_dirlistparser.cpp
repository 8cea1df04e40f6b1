#include "core/panes/dirlistparser.h"
#include "core/panes/listingrecord.h"

#include <QTest>

// The LIST parser on lines as real servers send them, each row named after where such a line
// comes from. An entry is written "name|kind|size|date|permissions|owner" (size empty when the
// listing gives none).
class TestDirListParser : public QObject {
    Q_OBJECT
private:
    static QString describe(const RemoteEntry& e)
    {
        return QStringList { e.name, QString::number(e.kind), e.size ? QString::number(*e.size) : QString(), e.date,
            e.permissions, e.owner }
            .join(u'|');
    }

    static QStringList parse(const QString& text, bool check9, QDate today, qint64* totalKB = nullptr)
    {
        ListingRecord record;
        ParseDirList(text, check9, today, record);
        QStringList out;
        for (const RemoteEntry& e : record.Remote)
            out.append(describe(e));
        if (totalKB)
            *totalKB = record.RemoteTotalKB;
        return out;
    }

    // The usual first line of a Unix listing, "total n", then the lines.
    static QString listing(const QStringList& lines) { return u"total 12\r\n"_qs + lines.join(u"\r\n") + u"\r\n"; }

    static void columns()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("check9");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("entries");
    }

    static void check()
    {
        QFETCH(QString, text);
        QFETCH(bool, check9);
        QFETCH(QDate, today);
        QFETCH(QStringList, entries);
        QCOMPARE(parse(text, check9, today), entries);
    }

    static inline const QDate March = QDate(2024, 3, 15);
    static inline const QDate September = QDate(2024, 9, 15);

private Q_SLOTS:
    void unixLines_data()
    {
        columns();
        QTest::newRow("proftpd, year, runs of blanks")
            << listing({ u"-rw-r--r--   1 owner    group        1234 Aug  5  2003 index.html"_qs }) << false << March
            << QStringList { u"index.html|32|1234|2003-08-05|rw-r--r--|owner/group"_qs };
        QTest::newRow("proftpd, time, listed in March: last year")
            << listing({ u"-rw-r--r--   1 owner    group        1234 Aug  5 09:30 index.html"_qs }) << false << March
            << QStringList { u"index.html|32|1234|2023-08-05 09:30|rw-r--r--|owner/group"_qs };
        QTest::newRow("proftpd, time, listed in September: this year")
            << listing({ u"-rw-r--r--   1 owner    group        1234 Aug  5 09:30 index.html"_qs }) << false
            << September << QStringList { u"index.html|32|1234|2024-08-05 09:30|rw-r--r--|owner/group"_qs };
        QTest::newRow("proftpd, time in the month of today: this year")
            << listing({ u"-rw-r--r--   1 owner    group        1234 Mar 14 09:30 a.txt"_qs }) << false << March
            << QStringList { u"a.txt|32|1234|2024-03-14 09:30|rw-r--r--|owner/group"_qs };
        QTest::newRow("pyftpdlib in GMT, 23:30 with the option: 08:30 the next day")
            << listing({ u"-rw-r--r--   1 root     root         1234 Aug 05 23:30 index.html"_qs }) << true << September
            << QStringList { u"index.html|32|1234|2024-08-06 08:30|rw-r--r--|root/root"_qs };
        QTest::newRow("pyftpdlib in GMT, 02:05 with the option: 11:05 the same day")
            << listing({ u"drwxr-xr-x   2 root     root         4096 Sep 01 02:05 images"_qs }) << true << September
            << QStringList { u"images|16|4096|2024-09-01 11:05|rwxr-xr-x|root/root"_qs };
        QTest::newRow("pyftpdlib in GMT, the last day of a month: the day is not carried")
            << listing({ u"-rw-r--r--   1 root     root           10 Jan 31 23:30 a.txt"_qs }) << true << March
            << QStringList { u"a.txt|32|10|2024-01-32 08:30|rw-r--r--|root/root"_qs };
        QTest::newRow("pyftpdlib, old file: the option moves no date without a time")
            << listing({ u"-rw-r--r--   1 root     root         1234 Aug 05  2003 index.html"_qs }) << true << March
            << QStringList { u"index.html|32|1234|2003-08-05|rw-r--r--|root/root"_qs };
        QTest::newRow("vsftpd, numeric owner and group, folder and file")
            << listing({ u"drwxr-xr-x    2 1000     1000         4096 Mar 01 10:02 images"_qs,
                   u"-rw-r--r--    1 1000     1000     123456789 Feb 29 23:59 movie.mpg"_qs })
            << false << March
            << QStringList { u"images|16|4096|2024-03-01 10:02|rwxr-xr-x|1000/1000"_qs,
                   u"movie.mpg|32|123456789|2024-02-29 23:59|rw-r--r--|1000/1000"_qs };
        QTest::newRow("pure-ftpd, wide columns")
            << listing({ u"-rw-r--r--    1 1000       1000             2560 Dec 24  2023 card.gif"_qs }) << false
            << March << QStringList { u"card.gif|32|2560|2023-12-24|rw-r--r--|1000/1000"_qs };
        QTest::newRow("proftpd, name with one blank")
            << listing({ u"-rw-r--r--   1 owner    group          10 Aug  5  2003 my page.html"_qs }) << false << March
            << QStringList { u"my page.html|32|10|2003-08-05|rw-r--r--|owner/group"_qs };
        QTest::newRow("proftpd, name with two blanks in a row and one in front: all kept")
            << listing({ u"-rw-r--r--   1 owner    group          10 Aug  5  2003  my  page.html"_qs }) << false
            << March << QStringList { u" my  page.html|32|10|2003-08-05|rw-r--r--|owner/group"_qs };
        QTest::newRow("month names only in the month field: Jan.html, owner Mayumi")
            << listing({ u"-rw-r--r--   1 Mayumi   group          10 Aug  5  2003 Jan.html"_qs,
                   u"-rw-r--r--   1 owner    group          10 Dec 24 09:30 Decoration Mar.gif"_qs })
            << false << March
            << QStringList { u"Jan.html|32|10|2003-08-05|rw-r--r--|Mayumi/group"_qs,
                   u"Decoration Mar.gif|32|10|2023-12-24 09:30|rw-r--r--|owner/group"_qs };
        QTest::newRow("month names are case-sensitive")
            << listing({ u"-rw-r--r--   1 owner    group          10 Aug  5  2003 JAN jan.txt"_qs }) << false << March
            << QStringList { u"JAN jan.txt|32|10|2003-08-05|rw-r--r--|owner/group"_qs };
        QTest::newRow("link: a folder, the target dropped")
            << listing({ u"lrwxrwxrwx   1 owner    group          19 Aug  5  2003 www -> /home/u/public_html"_qs })
            << false << March << QStringList { u"www|16|19|2003-08-05|rwxrwxrwx|owner/group"_qs };
        QTest::newRow("link with blanks in its name")
            << listing({ u"lrwxrwxrwx   1 owner    group           6 Aug  5  2003 old page -> new page"_qs }) << false
            << March << QStringList { u"old page|16|6|2003-08-05|rwxrwxrwx|owner/group"_qs };
        QTest::newRow("a file whose name holds an arrow keeps it")
            << listing({ u"-rw-r--r--   1 owner    group           6 Aug  5  2003 a -> b"_qs }) << false << March
            << QStringList { u"a -> b|32|6|2003-08-05|rw-r--r--|owner/group"_qs };
        QTest::newRow("UTF-8 server, Japanese name with a full-width blank and a half-width one")
            << listing({ u"-rw-r--r--   1 owner    group        2048 Mar 01 10:02 日本語　ファイル 1.html"_qs })
            << false << March
            << QStringList { u"日本語　ファイル 1.html|32|2048|2024-03-01 10:02|rw-r--r--|owner/group"_qs };
        QTest::newRow("CP932 server, half-width katakana name and owner")
            << listing({ u"drwxr-xr-x    2 ﾀﾛｳ      ftp          4096 Aug  5  2003 ﾌｫﾙﾀﾞ"_qs }) << false << March
            << QStringList { u"ﾌｫﾙﾀﾞ|16|4096|2003-08-05|rwxr-xr-x|ﾀﾛｳ/ftp"_qs };
        QTest::newRow("special files count as folders")
            << listing({ u"crw-rw-rw-   1 root     root            0 Aug  5  2003 null"_qs,
                   u"prw-r--r--   1 root     root            0 Aug  5  2003 fifo"_qs })
            << false << March
            << QStringList { u"null|16|0|2003-08-05|rw-rw-rw-|root/root"_qs,
                   u"fifo|16|0|2003-08-05|rw-r--r--|root/root"_qs };
    }
    void unixLines() { check(); }

    void dosLines_data()
    {
        columns();
        QTest::newRow("IIS, PM folder") << listing({ u"08-05-04  09:30PM       <DIR>          images"_qs }) << false
                                        << March << QStringList { u"images|16||2004-08-05 21:30||"_qs };
        QTest::newRow("IIS, AM file of 1998")
            << listing({ u"12-01-98  10:15AM                 2048 a.htm"_qs }) << false << March
            << QStringList { u"a.htm|32|2048|1998-12-01 10:15||"_qs };
        QTest::newRow("IIS, year 50 belongs to 2050, 51 to 1951")
            << listing({ u"01-02-50  10:15AM                    1 a.htm"_qs,
                   u"01-02-51  10:15AM                    1 b.htm"_qs })
            << false << March
            << QStringList { u"a.htm|32|1|2050-01-02 10:15||"_qs, u"b.htm|32|1|1951-01-02 10:15||"_qs };
        QTest::newRow("IIS, noon and midnight")
            << listing({ u"08-05-04  12:15PM                    1 noon.txt"_qs,
                   u"08-05-04  12:05AM                    1 midnight.txt"_qs })
            << false << March
            << QStringList { u"noon.txt|32|1|2004-08-05 12:15||"_qs, u"midnight.txt|32|1|2004-08-05 00:05||"_qs };
        QTest::newRow("IIS in GMT, 09:30PM with the option: 06:30 the next day")
            << listing({ u"08-05-04  09:30PM       <DIR>          images"_qs }) << true << March
            << QStringList { u"images|16||2004-08-06 06:30||"_qs };
        QTest::newRow("IIS in GMT, the 31st: the day is not carried")
            << listing({ u"12-31-98  11:00PM                    5 a.htm"_qs }) << true << March
            << QStringList { u"a.htm|32|5|1998-12-32 08:00||"_qs };
        QTest::newRow("IIS, four-digit years") << listing({ u"08-05-2004  09:30PM       <DIR>          images"_qs })
                                               << false << March << QStringList { u"images|16||2004-08-05 21:30||"_qs };
        QTest::newRow("IIS, 24-hour clock") << listing({ u"08-05-04  21:30                 2048 a.htm"_qs }) << false
                                            << March << QStringList { u"a.htm|32|2048|2004-08-05 21:30||"_qs };
        QTest::newRow("IIS, names with blanks keep them")
            << listing({ u"08-05-04  09:30PM                  100 my page.htm"_qs,
                   u"08-05-04  09:30PM       <DIR>          a b c d e"_qs })
            << false << March
            << QStringList { u"my page.htm|32|100|2004-08-05 21:30||"_qs, u"a b c d e|16||2004-08-05 21:30||"_qs };
        QTest::newRow("IIS, six words make eight fields: read as Unix, skipped")
            << listing({ u"08-05-04  09:30PM       <DIR>          a b c d e f"_qs }) << false << March
            << QStringList {};
        QTest::newRow("IIS, Japanese name, month name inside")
            << listing({ u"03-01-24  10:02AM                 2048 日本語 Mayday.txt"_qs }) << false << March
            << QStringList { u"日本語 Mayday.txt|32|2048|2024-03-01 10:02||"_qs };
    }
    void dosLines() { check(); }

    void listingShape_data()
    {
        columns();
        const QString line = u"-rw-r--r--   1 owner    group          10 Aug  5  2003 "_qs;
        const QString entry = u"|32|10|2003-08-05|rw-r--r--|owner/group"_qs;
        QTest::newRow("pyftpdlib sends no total line: its first entry is kept")
            << (line + u"a.txt\r\n" + line + u"b.txt\r\n") << false << March
            << QStringList { u"a.txt"_qs + entry, u"b.txt"_qs + entry };
        QTest::newRow("a single line is an entry")
            << (line + u"a.txt") << false << March << QStringList { u"a.txt"_qs + entry };
        QTest::newRow("a Japanese total line is no entry")
            << (u"合計 12\r\n"_qs + line + u"a.txt") << false << March << QStringList { u"a.txt"_qs + entry };
        QTest::newRow("the last line without a line end")
            << (u"total 1\r\n"_qs + line + u"a.txt") << false << March << QStringList { u"a.txt"_qs + entry };
        QTest::newRow("line ends of LF alone") << (u"total 1\n"_qs + line + u"a.txt\n" + line + u"b.txt\n") << false
                                               << March << QStringList { u"a.txt"_qs + entry, u"b.txt"_qs + entry };
        QTest::newRow("empty and blank lines, server chatter")
            << (u"total 1\r\n\r\n   \r\n226 Transfer complete\r\n"_qs + line + u"a.txt\r\n\r\n") << false << March
            << QStringList { u"a.txt"_qs + entry };
        QTest::newRow("a total line later on is skipped")
            << listing({ line + u"a.txt", u"total 8"_qs, line + u"b.txt" }) << false << March
            << QStringList { u"a.txt"_qs + entry, u"b.txt"_qs + entry };
        QTest::newRow("empty text") << QString() << false << March << QStringList {};
        QTest::newRow("a lone CR inside a name stays")
            << listing({ line + u"a\rb.txt" }) << false << March << QStringList { u"a\rb.txt"_qs + entry };
    }
    void listingShape() { check(); }

    // Lines a hostile or unknown server may send: none crashes, none becomes a row that could
    // name the folder itself, its parent or another folder.
    void hostileLines_data()
    {
        columns();
        const QString dir = u"drwxr-xr-x   2 owner    group        4096 Aug  5  2003 "_qs;
        QTest::newRow("ls -a: . and .. are no entries")
            << listing({ dir + u".", dir + u"..", dir + u"..." }) << false << March
            << QStringList { u"...|16|4096|2003-08-05|rwxr-xr-x|owner/group"_qs };
        QTest::newRow("a name with slashes becomes one name with blanks")
            << listing({ dir + u"../../etc/passwd" }) << false << March
            << QStringList { u".. .. etc passwd|16|4096|2003-08-05|rwxr-xr-x|owner/group"_qs };
        QTest::newRow("names that trim to nothing, . or ..")
            << listing({ dir + u"/", dir + u" .. ", dir + u"\t.\t", dir + u"/.." }) << false << March << QStringList {};
        QTest::newRow("a line ending in a blank has an empty name")
            << listing({ dir, dir + u" " }) << false << March << QStringList {};
        QTest::newRow("DOS-style . and ..") << listing(
            { u"08-05-04  09:30PM       <DIR>          ."_qs, u"08-05-04  09:30PM       <DIR>          .."_qs })
                                            << false << March << QStringList {};
        QTest::newRow("no group (a layout the rules do not know): skipped, not misread")
            << listing({ u"-rw-r--r--   1 owner        1234 Aug  5  2003 my file.txt"_qs }) << false << March
            << QStringList {};
        QTest::newRow("size not a number")
            << listing({ u"-rw-r--r--   1 owner    group        12x4 Aug  5  2003 a.txt"_qs,
                   u"crw-rw-rw-   1 root     root       1,   3 Aug  5  2003 null"_qs })
            << false << March << QStringList {};
        QTest::newRow("size beyond 64 bits")
            << listing({ u"-rw-r--r--   1 owner    group 99999999999999999999 Aug  5  2003 a.txt"_qs }) << false
            << March << QStringList {};
        QTest::newRow("unknown month, month in capitals")
            << listing({ u"-rw-r--r--   1 owner    group          10 Foo  5  2003 a.txt"_qs,
                   u"-rw-r--r--   1 owner    group          10 AUG  5  2003 b.txt"_qs })
            << false << March << QStringList {};
        QTest::newRow("day out of range or not a number")
            << listing({ u"-rw-r--r--   1 owner    group          10 Aug 32  2003 a.txt"_qs,
                   u"-rw-r--r--   1 owner    group          10 Aug  0  2003 b.txt"_qs,
                   u"-rw-r--r--   1 owner    group          10 Aug 5x  2003 c.txt"_qs })
            << false << March << QStringList {};
        QTest::newRow("time out of range, short, or with seconds")
            << listing({ u"-rw-r--r--   1 owner    group          10 Aug  5 25:61 a.txt"_qs,
                   u"-rw-r--r--   1 owner    group          10 Aug  5 :30 b.txt"_qs,
                   u"-rw-r--r--   1 owner    group          10 Aug  5 9:30:00 c.txt"_qs })
            << false << March << QStringList {};
        QTest::newRow("year not four digits")
            << listing({ u"-rw-r--r--   1 owner    group          10 Aug  5 203 a.txt"_qs,
                   u"-rw-r--r--   1 owner    group          10 Aug  5 20x3 b.txt"_qs })
            << false << March << QStringList {};
        QTest::newRow("DOS date, time or size not numbers")
            << listing({ u"ab-cd-ef  09:30PM       <DIR>          a"_qs, u"08-05-04  9:30PM       <DIR>          b"_qs,
                   u"08-05-04  09:30XM       <DIR>          c"_qs, u"08-05-04  13:30PM       <DIR>          d"_qs,
                   u"08-05-04  09:30PM       <dir>          e"_qs, u"08-05-04  09:30PM       -12          f"_qs,
                   u"13-05-04  09:30PM       <DIR>          g"_qs, u"08-05  09:30PM       <DIR>          h"_qs })
            << false << March << QStringList {};
        QTest::newRow("DOS date with slashes") << listing({ u"08/05/04  09:30PM       <DIR>          images"_qs })
                                               << false << March << QStringList { u"images|16||2004-08-05 21:30||"_qs };
        QTest::newRow("too few fields") << listing({ u"-rw-r--r--"_qs, u"a b c"_qs, u"08-05-04  09:30PM  <DIR>"_qs })
                                        << false << March << QStringList {};
        QTest::newRow("a line of 70,000 characters is skipped") << listing(
            { u"-rw-r--r--   1 owner    group          10 Aug  5  2003 "_qs + QString(70000, u'x'),
                dir + u"ok" }) << false << March << QStringList { u"ok|16|4096|2003-08-05|rwxr-xr-x|owner/group"_qs };
        QTest::newRow("full-width digits are no digits")
            << listing({ u"-rw-r--r--   1 owner    group          １０ Aug  5  2003 a.txt"_qs }) << false << March
            << QStringList {};
    }
    void hostileLines() { check(); }

    void totalKilobytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("totalKB");
        QTest::newRow("whole kilobytes of each Unix entry, folders included") << listing(
            { u"-rw-r--r-- 1 u g 1023 Aug 5 2003 a"_qs, u"-rw-r--r-- 1 u g 2047 Aug 5 2003 b"_qs,
                u"drwxr-xr-x 2 u g 4096 Aug 5 2003 c"_qs }) << qint64(0 + 1 + 4);
        QTest::newRow("DOS entries add nothing")
            << listing({ u"08-05-04  09:30PM                 4096 a.htm"_qs, u"-rw-r--r-- 1 u g 2048 Aug 5 2003 b"_qs })
            << qint64(2);
        QTest::newRow("skipped entries add nothing") << listing({ u"drwxr-xr-x 2 u g 4096 Aug 5 2003 ."_qs,
            u"-rw-r--r-- 1 u g 8192 Aug 5 2003 b"_qs, u"-rw-r--r-- 1 u g 8192 Aug 5 x b"_qs })
                                                     << qint64(8);
        QTest::newRow("beyond 32 bits") << listing({ u"-rw-r--r-- 1 u g 5497558138880 Aug 5 2003 big"_qs })
                                        << qint64(5368709120);
    }
    void totalKilobytes()
    {
        QFETCH(QString, text);
        QFETCH(qint64, totalKB);
        qint64 total = -1;
        parse(text, false, March, &total);
        QCOMPARE(total, totalKB);
    }

    void appendsToTheRecord()
    {
        ListingRecord record;
        record.RemoteTotalKB = 3;
        ParseDirList(listing({ u"-rw-r--r-- 1 u g 2048 Aug 5 2003 a"_qs }), false, March, record);
        ParseDirList(listing({ u"-rw-r--r-- 1 u g 1024 Aug 5 2003 b"_qs }), false, March, record);
        QCOMPARE(record.Remote.size(), size_t(2));
        QCOMPARE(record.Remote[1].name, u"b"_qs);
        QCOMPARE(record.RemoteTotalKB, qint64(6));
    }

    void trimAtNul_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("blanks at both ends") << u"  total 1\r\nx  "_qs << u"total 1\r\nx"_qs;
        QTest::newRow("cut at the first NUL") << QStringLiteral("ab c\0 de\0f") << u"ab c"_qs;
        QTest::newRow("NUL first") << QStringLiteral("\0abc") << QString();
        QTest::newRow("line ends and tabs stay") << u"\r\n a \t\r\n"_qs << u"\r\n a \t\r\n"_qs;
        QTest::newRow("blanks only") << u"    "_qs << QString();
        QTest::newRow("full-width blank stays") << u"　a　"_qs << u"　a　"_qs;
        QTest::newRow("empty") << QString() << QString();
    }
    void trimAtNul()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(TrimAtNul(text), trimmed);
    }
};

QTEST_GUILESS_MAIN(TestDirListParser)
#include "tst_dirlistparser.moc"
