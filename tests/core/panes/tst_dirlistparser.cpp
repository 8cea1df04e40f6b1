#include "core/panes/dirlistparser.h"
#include "core/panes/listingrecord.h"
#include "support/texttable.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Lines as real servers send them, one "\n" between lines and entries. "$F", "$D" and "$W" start a
// file, folder and DOS folder line, "$E" is the rest of that file's entry, "$X" 70,000 letters.
// "when": Mar or Sep (today in 2024), "gmt" for server times in GMT, "raw" for a text sent as written.
class TestDirListParser : public QObject {
    Q_OBJECT
    static QString listing(const QString& when, QString lines)
    {
        lines.replace(u"$F"_s, u"-rw-r--r--   1 owner    group          10 Aug  5  2003 "_s)
            .replace(u"$D"_s, u"drwxr-xr-x   2 owner    group        4096 Aug  5  2003 "_s)
            .replace(u"$W"_s, u"08-05-04  09:30PM       <DIR>          "_s)
            .replace(u"$X"_s, QString(70000, u'x'));
        return when.contains(u"raw"_s) ? lines : u"total 12\r\n"_s + lines.replace(u"\n"_s, u"\r\n"_s) + u"\r\n"_s;
    }
    static QDate today(const QString& when) { return QDate(2024, when.contains(u"Sep"_s) ? 9 : 3, 15); }
    static ListingRecord parse(const QString& when, const QString& lines, ListingRecord record = {})
    {
        ParseDirList(listing(when, lines), when.contains(u"gmt"_s), today(when), record);
        return record;
    }
    void check()
    {
        QFETCH(QString, when);
        QFETCH(QString, lines);
        QFETCH(QString, entries);
        QStringList out;
        ParseDirList(listing(when, lines), when.contains(u"gmt"_s), today(when), [&out](RemoteEntry&& e) {
            out << QStringList { e.name, QString::number(e.kind), e.size ? QString::number(*e.size) : QString(), e.date,
                e.permissions, e.owner }
                       .join(u'|');
        });
        QCOMPARE(out.join(u'\n'), entries.replace(u"$E"_s, u"|32|10|2003-08-05|rw-r--r--|owner/group"_s));
    }

private Q_SLOTS:
    void unixLines_data()
    {
        TextTable::rows({ "when", "lines", "entries" }, R"(
proftpd, year, runs of blanks | Mar | -rw-r--r--   1 owner    group        1234 Aug  5  2003 index.html | index.html|32|1234|2003-08-05|rw-r--r--|owner/group
proftpd, time, listed in March: last year | Mar | -rw-r--r--   1 owner    group  1234 Aug  5 09:30 a.html | a.html|32|1234|2023-08-05 09:30|rw-r--r--|owner/group
proftpd, time, listed in September: this year | Sep | -rw-r--r--   1 owner  group  1234 Aug  5 09:30 a.html | a.html|32|1234|2024-08-05 09:30|rw-r--r--|owner/group
proftpd, time in the month of today: this year | Mar | -rw-r--r--   1 owner group  1234 Mar 14 09:30 a.txt | a.txt|32|1234|2024-03-14 09:30|rw-r--r--|owner/group
pyftpdlib in GMT, 23:30: 08:30 the next day | Sep gmt | -rw-r--r--   1 root     root         1234 Aug 05 23:30 index.html | index.html|32|1234|2024-08-06 08:30|rw-r--r--|root/root
link: a folder, the target dropped | Mar | lrwxrwxrwx   1 owner    group          19 Aug  5  2003 www -> /home/u/public_html | www|16|19|2003-08-05|rwxrwxrwx|owner/group
a file whose name holds an arrow keeps it | Mar | $Fa -> b | a -> b$E
UTF-8 server, full-width and half-width blanks | Mar | -rw-r--r--   1 owner    group        2048 Mar 01 10:02 日本語　ファイル 1.html | 日本語　ファイル 1.html|32|2048|2024-03-01 10:02|rw-r--r--|owner/group
special files count as folders | Mar | crw-rw-rw-   1 root  root  0 Aug  5  2003 null | null|16|0|2003-08-05|rw-rw-rw-|root/root
)");
    }
    void unixLines() { check(); }

    void dosLines_data()
    {
        TextTable::rows({ "when", "lines", "entries" }, R"(
IIS, PM folder, names with blanks | Mar | $Wimages\n08-05-04  09:30PM                  100 my page.htm\n$Wa b c d e | images|16||2004-08-05 21:30||\nmy page.htm|32|100|2004-08-05 21:30||\na b c d e|16||2004-08-05 21:30||
IIS, year 50 belongs to 2050, 51 to 1951 | Mar | 01-02-50  10:15AM      1 a.htm\n01-02-51  10:15AM      1 b.htm | a.htm|32|1|2050-01-02 10:15||\nb.htm|32|1|1951-01-02 10:15||
IIS, noon and midnight | Mar | 08-05-04  12:15PM      1 noon.txt\n08-05-04  12:05AM      1 midnight.txt | noon.txt|32|1|2004-08-05 12:15||\nmidnight.txt|32|1|2004-08-05 00:05||
IIS in GMT, 09:30PM: 06:30 the next day | Mar gmt | $Wimages | images|16||2004-08-06 06:30||
IIS, four-digit years, 24-hour clock, slashes | Mar | 08-05-2004  09:30PM  <DIR>  a\n08-05-04  21:30  2048 b.htm\n08/05/04  09:30PM  <DIR>  c | a|16||2004-08-05 21:30||\nb.htm|32|2048|2004-08-05 21:30||\nc|16||2004-08-05 21:30||
IIS, six words make eight fields: read as Unix, skipped | Mar | $Wa b c d e f |
)");
    }
    void dosLines() { check(); }

    void listingShape_data()
    {
        TextTable::rows({ "when", "lines", "entries" }, R"(
pyftpdlib sends no total line: its first entry is kept | raw | $Fa.txt\r\n$Fb.txt\r\n | a.txt$E\nb.txt$E
line ends of LF alone | raw | total 1\n$Fa.txt\n$Fb.txt\n | a.txt$E\nb.txt$E
empty and blank lines, server chatter | raw | total 1\r\n\r\n   \r\n226 Transfer complete\r\n$Fa.txt\r\n\r\n | a.txt$E
a total line later on is skipped | Mar | $Fa.txt\ntotal 8\n$Fb.txt | a.txt$E\nb.txt$E
)");
    }
    void listingShape() { check(); }

    // None crashes, none becomes a row that could name the folder itself, its parent or another.
    void hostileLines_data()
    {
        TextTable::rows({ "when", "lines", "entries" }, R"(
ls -a: . and .. are no entries | Mar | $D.\n$D..\n$D... | ...|16|4096|2003-08-05|rwxr-xr-x|owner/group
a name with slashes becomes one name with blanks | Mar | $D../../etc/passwd | .. .. etc passwd|16|4096|2003-08-05|rwxr-xr-x|owner/group
names that trim to nothing, . or .. | Mar | $D/\n$D .. \n$D\t.\t\n$D/..\n$D\n$D\s\n$W.\n$W.. |
size not a number or beyond 64 bits | Mar | -rw-r--r--  1 o g  12x4 Aug  5  2003 a\ncrw-rw-rw-  1 r r  1,   3 Aug  5  2003 b\n-rw-r--r--  1 o g 99999999999999999999 Aug  5  2003 c |
day out of range or not a number | Mar | -rw-r--r-- 1 o g 10 Aug 32  2003 a\n-rw-r--r-- 1 o g 10 Aug  0  2003 b\n-rw-r--r-- 1 o g 10 Aug 5x  2003 c |
a line of 70,000 characters is skipped | Mar | $F$X\n$Dok | ok|16|4096|2003-08-05|rwxr-xr-x|owner/group
)");
    }
    void hostileLines() { check(); }

    void totalKilobytes_data()
    {
        TextTable::rows({ "lines", "kb" }, R"(
whole kilobytes of each Unix entry, folders included | -rw-r--r-- 1 u g 1023 Aug 5 2003 a\n-rw-r--r-- 1 u g 2047 Aug 5 2003 b\n$Dc | 5
DOS entries and skipped ones add nothing | 08-05-04  09:30PM  4096 a.htm\n$D.\n-rw-r--r-- 1 u g 8192 Aug 5 x b\n-rw-r--r-- 1 u g 2048 Aug 5 2003 b | 2
beyond 32 bits | -rw-r--r-- 1 u g 5497558138880 Aug 5 2003 big | 5368709120
)");
    }
    void totalKilobytes()
    {
        QFETCH(QString, lines);
        QFETCH(QString, kb);
        QCOMPARE(parse(u"Mar"_s, lines).RemoteTotalKB, kb.toLongLong());
        // A second listing appends to the record.
        const ListingRecord twice = parse(u"Mar"_s, lines, parse(u"Mar"_s, lines));
        QCOMPARE(twice.RemoteTotalKB, 2 * kb.toLongLong());
        QCOMPARE(twice.Remote.size(), 2 * parse(u"Mar"_s, lines).Remote.size());
    }

    void trimAtNul_data()
    {
        TextTable::rows({ "text", "trimmed" }, R"(
blanks at both ends | \s\stotal 1\r\nx\s\s | total 1\r\nx
cut at the first NUL | ab c\x00 de\x00f | ab c
line ends and tabs stay | \r\n a \t\r\n | \r\n a \t\r\n
)");
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
