#include "core/panes/dirlistparser.h"
#include "core/panes/listingrecord.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The LIST parser on lines as real servers send them, each row named after where such a line
// comes from. An entry is written "name|kind|size|date|permissions|owner" (size empty when the
// listing gives none).
namespace {

const QDate March(2024, 3, 15);
const QDate September(2024, 9, 15);

ListingRecord parse(const QString& text, bool check9, QDate today)
{
    ListingRecord record;
    ParseDirList(text, check9, today, record);
    return record;
}

QStringList entries(const ListingRecord& record)
{
    QStringList out;
    for (const RemoteEntry& e : record.Remote)
        out.append(QStringList { e.name, QString::number(e.kind), e.size ? QString::number(*e.size) : QString(), e.date,
            e.permissions, e.owner }
                       .join(u'|'));
    return out;
}

// The usual first line of a Unix listing, "total n", then the lines.
QString listing(const QStringList& lines) { return u"total 12\r\n"_s + lines.join(u"\r\n") + u"\r\n"; }

void columns()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("check9");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("entries");
}

// A listing of `lines` after a total line.
void row(
    const char* tag, const QStringList& lines, const QStringList& expected, bool check9 = false, QDate today = March)
{
    QTest::newRow(tag) << listing(lines) << check9 << today << expected;
}

const QString File = u"-rw-r--r--   1 owner    group          10 Aug  5  2003 "_s;
const QString FileEntry = u"|32|10|2003-08-05|rw-r--r--|owner/group"_s;
const QString Dir = u"drwxr-xr-x   2 owner    group        4096 Aug  5  2003 "_s;
const QString DosDir = u"08-05-04  09:30PM       <DIR>          "_s;

} // namespace

class TestDirListParser : public QObject {
    Q_OBJECT
    void check()
    {
        QFETCH(QString, text);
        QFETCH(bool, check9);
        QFETCH(QDate, today);
        QFETCH(QStringList, entries);
        QCOMPARE(::entries(parse(text, check9, today)), entries);
    }

private Q_SLOTS:
    void unixLines_data()
    {
        columns();
        row("proftpd, year, runs of blanks", { u"-rw-r--r--   1 owner    group        1234 Aug  5  2003 index.html"_s },
            { u"index.html|32|1234|2003-08-05|rw-r--r--|owner/group"_s });
        row("proftpd, time, listed in March: last year",
            { u"-rw-r--r--   1 owner    group  1234 Aug  5 09:30 a.html"_s },
            { u"a.html|32|1234|2023-08-05 09:30|rw-r--r--|owner/group"_s });
        row("proftpd, time, listed in September: this year",
            { u"-rw-r--r--   1 owner  group  1234 Aug  5 09:30 a.html"_s },
            { u"a.html|32|1234|2024-08-05 09:30|rw-r--r--|owner/group"_s }, false, September);
        row("proftpd, time in the month of today: this year",
            { u"-rw-r--r--   1 owner group  1234 Mar 14 09:30 a.txt"_s },
            { u"a.txt|32|1234|2024-03-14 09:30|rw-r--r--|owner/group"_s });
        row("pyftpdlib in GMT, 23:30 with the option: 08:30 the next day",
            { u"-rw-r--r--   1 root     root         1234 Aug 05 23:30 index.html"_s },
            { u"index.html|32|1234|2024-08-06 08:30|rw-r--r--|root/root"_s }, true, September);
        row("pyftpdlib in GMT, 02:05 with the option: 11:05 the same day",
            { u"drwxr-xr-x   2 root     root         4096 Sep 01 02:05 images"_s },
            { u"images|16|4096|2024-09-01 11:05|rwxr-xr-x|root/root"_s }, true, September);
        row("pyftpdlib in GMT, the last day of a month: the day is not carried",
            { u"-rw-r--r--   1 root     root           10 Jan 31 23:30 a.txt"_s },
            { u"a.txt|32|10|2024-01-32 08:30|rw-r--r--|root/root"_s }, true);
        row("pyftpdlib, old file: the option moves no date without a time",
            { u"-rw-r--r--   1 root     root         1234 Aug 05  2003 index.html"_s },
            { u"index.html|32|1234|2003-08-05|rw-r--r--|root/root"_s }, true);
        row("vsftpd, numeric owner and group, folder and file",
            { u"drwxr-xr-x    2 1000     1000         4096 Mar 01 10:02 images"_s,
                u"-rw-r--r--    1 1000     1000     123456789 Feb 29 23:59 movie.mpg"_s },
            { u"images|16|4096|2024-03-01 10:02|rwxr-xr-x|1000/1000"_s,
                u"movie.mpg|32|123456789|2024-02-29 23:59|rw-r--r--|1000/1000"_s });
        row("pure-ftpd, wide columns", { u"-rw-r--r--    1 1000       1000             2560 Dec 24  2023 card.gif"_s },
            { u"card.gif|32|2560|2023-12-24|rw-r--r--|1000/1000"_s });
        row("proftpd, name with one blank", { File + u"my page.html" }, { u"my page.html"_s + FileEntry });
        row("proftpd, two blanks in a row and one in front: all kept", { File + u" my  page.html" },
            { u" my  page.html"_s + FileEntry });
        // The month names used to be replaced in the whole line: "Jan.html" became "01.html".
        row("month names only in the month field: Jan.html, owner Mayumi",
            { u"-rw-r--r--   1 Mayumi   group          10 Aug  5  2003 Jan.html"_s,
                u"-rw-r--r--   1 owner    group          10 Dec 24 09:30 Decoration Mar.gif"_s },
            { u"Jan.html|32|10|2003-08-05|rw-r--r--|Mayumi/group"_s,
                u"Decoration Mar.gif|32|10|2023-12-24 09:30|rw-r--r--|owner/group"_s });
        row("month names are case-sensitive", { File + u"JAN jan.txt" }, { u"JAN jan.txt"_s + FileEntry });
        row("link: a folder, the target dropped",
            { u"lrwxrwxrwx   1 owner    group          19 Aug  5  2003 www -> /home/u/public_html"_s },
            { u"www|16|19|2003-08-05|rwxrwxrwx|owner/group"_s });
        row("link with blanks in its name",
            { u"lrwxrwxrwx   1 owner    group           6 Aug  5  2003 old page -> new"_s },
            { u"old page|16|6|2003-08-05|rwxrwxrwx|owner/group"_s });
        row("a file whose name holds an arrow keeps it", { File + u"a -> b" }, { u"a -> b"_s + FileEntry });
        row("UTF-8 server, Japanese name with a full-width blank and a half-width one",
            { u"-rw-r--r--   1 owner    group        2048 Mar 01 10:02 日本語　ファイル 1.html"_s },
            { u"日本語　ファイル 1.html|32|2048|2024-03-01 10:02|rw-r--r--|owner/group"_s });
        row("CP932 server, half-width katakana name and owner",
            { u"drwxr-xr-x    2 ﾀﾛｳ      ftp   4096 Aug  5  2003 ﾌｫﾙﾀﾞ"_s },
            { u"ﾌｫﾙﾀﾞ|16|4096|2003-08-05|rwxr-xr-x|ﾀﾛｳ/ftp"_s });
        row("special files count as folders",
            { u"crw-rw-rw-   1 root  root  0 Aug  5  2003 null"_s,
                u"prw-r--r--   1 root  root  0 Aug  5  2003 fifo"_s },
            { u"null|16|0|2003-08-05|rw-rw-rw-|root/root"_s, u"fifo|16|0|2003-08-05|rw-r--r--|root/root"_s });
    }
    void unixLines() { check(); }

    void dosLines_data()
    {
        columns();
        row("IIS, PM folder", { DosDir + u"images" }, { u"images|16||2004-08-05 21:30||"_s });
        row("IIS, AM file of 1998", { u"12-01-98  10:15AM                 2048 a.htm"_s },
            { u"a.htm|32|2048|1998-12-01 10:15||"_s });
        row("IIS, year 50 belongs to 2050, 51 to 1951",
            { u"01-02-50  10:15AM                    1 a.htm"_s, u"01-02-51  10:15AM                    1 b.htm"_s },
            { u"a.htm|32|1|2050-01-02 10:15||"_s, u"b.htm|32|1|1951-01-02 10:15||"_s });
        row("IIS, noon and midnight",
            { u"08-05-04  12:15PM                    1 noon.txt"_s,
                u"08-05-04  12:05AM                    1 midnight.txt"_s },
            { u"noon.txt|32|1|2004-08-05 12:15||"_s, u"midnight.txt|32|1|2004-08-05 00:05||"_s });
        row("IIS in GMT, 09:30PM with the option: 06:30 the next day", { DosDir + u"images" },
            { u"images|16||2004-08-06 06:30||"_s }, true);
        row("IIS in GMT, the 31st: the day is not carried", { u"12-31-98  11:00PM                    5 a.htm"_s },
            { u"a.htm|32|5|1998-12-32 08:00||"_s }, true);
        row("IIS, four-digit years", { u"08-05-2004  09:30PM       <DIR>          images"_s },
            { u"images|16||2004-08-05 21:30||"_s });
        row("IIS, 24-hour clock", { u"08-05-04  21:30                 2048 a.htm"_s },
            { u"a.htm|32|2048|2004-08-05 21:30||"_s });
        row("IIS, names with blanks keep them",
            { u"08-05-04  09:30PM                  100 my page.htm"_s, DosDir + u"a b c d e" },
            { u"my page.htm|32|100|2004-08-05 21:30||"_s, u"a b c d e|16||2004-08-05 21:30||"_s });
        row("IIS, six words make eight fields: read as Unix, skipped", { DosDir + u"a b c d e f" }, {});
        row("IIS, Japanese name, month name inside", { u"03-01-24  10:02AM                 2048 日本語 Mayday.txt"_s },
            { u"日本語 Mayday.txt|32|2048|2024-03-01 10:02||"_s });
        row("DOS date with slashes", { u"08/05/04  09:30PM       <DIR>          images"_s },
            { u"images|16||2004-08-05 21:30||"_s });
    }
    void dosLines() { check(); }

    void listingShape_data()
    {
        columns();
        const auto raw = [](const char* tag, const QString& text, const QStringList& expected) {
            QTest::newRow(tag) << text << false << March << expected;
        };
        // The first line used to be skipped as the total line, which most servers never send.
        raw("pyftpdlib sends no total line: its first entry is kept", File + u"a.txt\r\n" + File + u"b.txt\r\n",
            { u"a.txt"_s + FileEntry, u"b.txt"_s + FileEntry });
        raw("a single line without a line end", File + u"a.txt", { u"a.txt"_s + FileEntry });
        raw("a Japanese total line is no entry", u"合計 12\r\n"_s + File + u"a.txt", { u"a.txt"_s + FileEntry });
        raw("line ends of LF alone", u"total 1\n"_s + File + u"a.txt\n" + File + u"b.txt\n",
            { u"a.txt"_s + FileEntry, u"b.txt"_s + FileEntry });
        raw("empty and blank lines, server chatter",
            u"total 1\r\n\r\n   \r\n226 Transfer complete\r\n"_s + File + u"a.txt\r\n\r\n", { u"a.txt"_s + FileEntry });
        row("a total line later on is skipped", { File + u"a.txt", u"total 8"_s, File + u"b.txt" },
            { u"a.txt"_s + FileEntry, u"b.txt"_s + FileEntry });
        raw("empty text", QString(), {});
        row("a lone CR inside a name stays", { File + u"a\rb.txt" }, { u"a\rb.txt"_s + FileEntry });
    }
    void listingShape() { check(); }

    // Lines a hostile or unknown server may send: none crashes, none becomes a row that could
    // name the folder itself, its parent or another folder.
    void hostileLines_data()
    {
        columns();
        row("ls -a: . and .. are no entries", { Dir + u".", Dir + u"..", Dir + u"..." },
            { u"...|16|4096|2003-08-05|rwxr-xr-x|owner/group"_s });
        row("a name with slashes becomes one name with blanks", { Dir + u"../../etc/passwd" },
            { u".. .. etc passwd|16|4096|2003-08-05|rwxr-xr-x|owner/group"_s });
        row("names that trim to nothing, . or ..", { Dir + u"/", Dir + u" .. ", Dir + u"\t.\t", Dir + u"/.." }, {});
        row("a line ending in a blank has an empty name", { Dir, Dir + u" " }, {});
        row("DOS-style . and ..", { DosDir + u".", DosDir + u".." }, {});
        row("no group (a layout the rules do not know): skipped, not misread",
            { u"-rw-r--r--   1 owner        1234 Aug  5  2003 my file.txt"_s }, {});
        row("size not a number",
            { u"-rw-r--r--   1 owner    group        12x4 Aug  5  2003 a.txt"_s,
                u"crw-rw-rw-   1 root     root       1,   3 Aug  5  2003 null"_s },
            {});
        row("size beyond 64 bits", { u"-rw-r--r--   1 owner    group 99999999999999999999 Aug  5  2003 a.txt"_s }, {});
        row("unknown month, month in capitals",
            { u"-rw-r--r--   1 owner    group          10 Foo  5  2003 a.txt"_s,
                u"-rw-r--r--   1 owner    group          10 AUG  5  2003 b.txt"_s },
            {});
        row("day out of range or not a number",
            { u"-rw-r--r--   1 owner    group          10 Aug 32  2003 a.txt"_s,
                u"-rw-r--r--   1 owner    group          10 Aug  0  2003 b.txt"_s,
                u"-rw-r--r--   1 owner    group          10 Aug 5x  2003 c.txt"_s },
            {});
        row("time out of range, short, or with seconds",
            { u"-rw-r--r--   1 owner    group          10 Aug  5 25:61 a.txt"_s,
                u"-rw-r--r--   1 owner    group          10 Aug  5 :30 b.txt"_s,
                u"-rw-r--r--   1 owner    group          10 Aug  5 9:30:00 c.txt"_s },
            {});
        row("year not four digits",
            { u"-rw-r--r--   1 owner    group          10 Aug  5 203 a.txt"_s,
                u"-rw-r--r--   1 owner    group          10 Aug  5 20x3 b.txt"_s },
            {});
        row("DOS date, time or size not numbers",
            { u"ab-cd-ef  09:30PM       <DIR>          a"_s, u"08-05-04  9:30PM       <DIR>          b"_s,
                u"08-05-04  09:30XM       <DIR>          c"_s, u"08-05-04  13:30PM       <DIR>          d"_s,
                u"08-05-04  09:30PM       <dir>          e"_s, u"08-05-04  09:30PM       -12          f"_s,
                u"13-05-04  09:30PM       <DIR>          g"_s, u"08-05  09:30PM       <DIR>          h"_s },
            {});
        row("too few fields", { u"-rw-r--r--"_s, u"a b c"_s, u"08-05-04  09:30PM  <DIR>"_s }, {});
        row("a line of 70,000 characters is skipped", { File + QString(70000, u'x'), Dir + u"ok" },
            { u"ok|16|4096|2003-08-05|rwxr-xr-x|owner/group"_s });
        row("full-width digits are no digits", { u"-rw-r--r--   1 owner    group          １０ Aug  5  2003 a.txt"_s },
            {});
    }
    void hostileLines() { check(); }

    void totalKilobytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("totalKB");
        QTest::newRow("whole kilobytes of each Unix entry, folders included") << listing(
            { u"-rw-r--r-- 1 u g 1023 Aug 5 2003 a"_s, u"-rw-r--r-- 1 u g 2047 Aug 5 2003 b"_s,
                u"drwxr-xr-x 2 u g 4096 Aug 5 2003 c"_s }) << qint64(0 + 1 + 4);
        QTest::newRow("DOS entries add nothing")
            << listing({ u"08-05-04  09:30PM                 4096 a.htm"_s, u"-rw-r--r-- 1 u g 2048 Aug 5 2003 b"_s })
            << qint64(2);
        QTest::newRow("skipped entries add nothing") << listing({ u"drwxr-xr-x 2 u g 4096 Aug 5 2003 ."_s,
            u"-rw-r--r-- 1 u g 8192 Aug 5 2003 b"_s, u"-rw-r--r-- 1 u g 8192 Aug 5 x b"_s })
                                                     << qint64(8);
        QTest::newRow("beyond 32 bits") << listing({ u"-rw-r--r-- 1 u g 5497558138880 Aug 5 2003 big"_s })
                                        << qint64(5368709120);
    }
    void totalKilobytes()
    {
        QFETCH(QString, text);
        QFETCH(qint64, totalKB);
        QCOMPARE(parse(text, false, March).RemoteTotalKB, totalKB);
    }

    void appendsToTheRecord()
    {
        ListingRecord record;
        record.RemoteTotalKB = 3;
        ParseDirList(listing({ u"-rw-r--r-- 1 u g 2048 Aug 5 2003 a"_s }), false, March, record);
        ParseDirList(listing({ u"-rw-r--r-- 1 u g 1024 Aug 5 2003 b"_s }), false, March, record);
        QCOMPARE(entries(record).size(), 2);
        QCOMPARE(record.Remote[1].name, u"b"_s);
        QCOMPARE(record.RemoteTotalKB, qint64(6));
    }

    void trimAtNul_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("blanks at both ends") << u"  total 1\r\nx  "_s << u"total 1\r\nx"_s;
        QTest::newRow("cut at the first NUL") << u"ab c\0 de\0f"_s << u"ab c"_s;
        QTest::newRow("NUL first") << u"\0abc"_s << QString();
        QTest::newRow("line ends and tabs stay") << u"\r\n a \t\r\n"_s << u"\r\n a \t\r\n"_s;
        QTest::newRow("blanks only") << u"    "_s << QString();
        QTest::newRow("full-width blank stays") << u"　a　"_s << u"　a　"_s;
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
