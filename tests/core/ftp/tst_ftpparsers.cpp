#include "core/ftp/engine/asciiconverter.h"
#include "core/ftp/engine/hostfield.h"
#include "core/ftp/engine/listingparsers.h"
#include "core/ftp/engine/proxyconfig.h"
#include "core/ftp/engine/replyparser.h"
#include "core/ftp/ftperrors.h"

#include <QTest>

Q_DECLARE_METATYPE(HostField::Security)
Q_DECLARE_METATYPE(ProxyConfig::Kind)

class TestFtpParsers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replyShapes_data();
    void replyShapes();
    void replyFedByteByByte();
    void replyLimits();
    void replyTexts();
    void mlsdLines_data();
    void mlsdLines();
    void listLines_data();
    void listLines();
    void linksAndUniqueFacts_data();
    void linksAndUniqueFacts();
    void mlstFeatureFacts_data();
    void mlstFeatureFacts();
    void listYearOfRecentDates_data();
    void listYearOfRecentDates();
    void hostFields_data();
    void hostFields();
    void proxyTexts_data();
    void proxyTexts();
    void proxyBypass_data();
    void proxyBypass();
    void asciiConversion_data();
    void asciiConversion();
    void messagesForEveryCode();
};

void TestFtpParsers::replyShapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QByteArray>("lastText");
    QTest::addColumn<bool>("error");
    QTest::newRow("single line") << QByteArray("220 Welcome\r\n") << QList<int> { 220 } << QByteArray("220 Welcome\r\n")
                                 << false;
    QTest::newRow("multi-line banner") << QByteArray("220-Hello\r\n second line\r\n220 ready\r\n") << QList<int> { 220 }
                                       << QByteArray("220-Hello\r\n second line\r\n220 ready\r\n") << false;
    QTest::newRow("continuation lines that look like codes")
        << QByteArray("211-Features:\r\n EPSV\r\n211-not the end\r\n230 other code\r\n211 End\r\n")
        << QList<int> { 211 }
        << QByteArray("211-Features:\r\n EPSV\r\n211-not the end\r\n230 other code\r\n211 End\r\n") << false;
    QTest::newRow("every line with the code and a dash")
        << QByteArray("230-a\r\n230-b\r\n230 c\r\n") << QList<int> { 230 } << QByteArray("230-a\r\n230-b\r\n230 c\r\n")
        << false;
    QTest::newRow("bare LF line ends") << QByteArray("200 ok\n331 more\n") << QList<int> { 200, 331 }
                                       << QByteArray("331 more\r\n") << false;
    QTest::newRow("preliminary and final in one read")
        << QByteArray("150 Opening (12 bytes)\r\n226 done\r\n") << QList<int> { 150, 226 } << QByteArray("226 done\r\n")
        << false;
    QTest::newRow("code without text") << QByteArray("200\r\n") << QList<int> { 200 } << QByteArray("200\r\n") << false;
    QTest::newRow("multi-line ended by the bare code")
        << QByteArray("214-help\r\n text\r\n214\r\n") << QList<int> { 214 }
        << QByteArray("214-help\r\n text\r\n214\r\n") << false;
    QTest::newRow("empty line between replies")
        << QByteArray("200 a\r\n\r\n200 b\r\n") << QList<int> { 200, 200 } << QByteArray("200 b\r\n") << false;
    QTest::newRow("unfinished multi-line waits")
        << QByteArray("220-a\r\n b\r\n") << QList<int> {} << QByteArray() << false;
    QTest::newRow("unfinished line waits") << QByteArray("220 no line end") << QList<int> {} << QByteArray() << false;
    QTest::newRow("garbage first line") << QByteArray("hello\r\n") << QList<int> {} << QByteArray() << true;
    QTest::newRow("code out of range") << QByteArray("999 what\r\n") << QList<int> {} << QByteArray() << true;
    QTest::newRow("code 099") << QByteArray("099 what\r\n") << QList<int> {} << QByteArray() << true;
    QTest::newRow("good reply then garbage")
        << QByteArray("200 ok\r\nxyz\r\n") << QList<int> { 200 } << QByteArray("200 ok\r\n") << true;
    QTest::newRow("NUL inside the text") << QByteArray("200 a\0b\r\n", 9) << QList<int> { 200 }
                                         << QByteArray("200 a\0b\r\n", 9) << false;
}

void TestFtpParsers::replyShapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<int>, codes);
    QFETCH(QByteArray, lastText);
    QFETCH(bool, error);
    bool failed = false;
    const QList<FtpReply> replies = ReplyParser::parseAll(bytes, &failed);
    QList<int> got;
    for (const FtpReply& r : replies)
        got.append(r.code);
    QCOMPARE(got, codes);
    QCOMPARE(failed, error);
    if (!replies.isEmpty())
        QCOMPARE(replies.last().text, lastText);
}

void TestFtpParsers::replyFedByteByByte()
{
    const QByteArray bytes("220-Hello\r\n there\n220 ready\r\n331 Password\r\n150 go\r\n226-done\r\n226 bye\r\n");
    const QList<FtpReply> whole = ReplyParser::parseAll(bytes);
    ReplyParser parser;
    QList<FtpReply> pieces;
    for (char c : bytes) {
        parser.feed(QByteArrayView(&c, 1));
        FtpReply r;
        while (parser.next(&r) == ReplyParser::Status::Reply)
            pieces.append(r);
    }
    QCOMPARE(pieces.size(), 4);
    QCOMPARE(pieces.size(), whole.size());
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        QCOMPARE(pieces[i].code, whole[i].code);
        QCOMPARE(pieces[i].text, whole[i].text);
    }
    QCOMPARE(parser.pending(), 0);
}

void TestFtpParsers::replyLimits()
{
    bool failed = false;
    // A line over 64 KiB, with and without its end.
    ReplyParser::parseAll(QByteArray("200 " + QByteArray(ReplyParser::maxLine + 1, 'a')), &failed);
    QVERIFY(failed);
    ReplyParser::parseAll(QByteArray("200 " + QByteArray(ReplyParser::maxLine + 1, 'a') + "\r\n"), &failed);
    QVERIFY(failed);
    const QList<FtpReply> ok = ReplyParser::parseAll(QByteArray("200 " + QByteArray(60000, 'a') + "\r\n"), &failed);
    QVERIFY(!failed);
    QCOMPARE(ok.size(), 1);

    // A reply over 1 MiB made of short lines, never ended.
    QByteArray huge("211-start\r\n");
    while (huge.size() <= ReplyParser::maxReply)
        huge.append(" line of a reply that never ends\r\n");
    ReplyParser::parseAll(huge, &failed);
    QVERIFY(failed);

    // After a failure the parser stays failed.
    ReplyParser parser;
    parser.feed("garbage\r\n");
    FtpReply r;
    QCOMPARE(parser.next(&r), ReplyParser::Status::Error);
    parser.feed("200 ok\r\n");
    QCOMPARE(parser.next(&r), ReplyParser::Status::Error);
    parser.reset();
    parser.feed("200 ok\r\n");
    QCOMPARE(parser.next(&r), ReplyParser::Status::Reply);
}

void TestFtpParsers::replyTexts()
{
    using namespace FtpReplyText;
    auto pasv = parsePasv("227 Entering Passive Mode (127,0,0,1,195,80).");
    QVERIFY(pasv);
    QCOMPARE(pasv->host, QByteArray("127.0.0.1"));
    QCOMPARE(pasv->port, 195 * 256 + 80);
    QCOMPARE(parsePasv("227 =10,1,2,3,4,5")->port, 4 * 256 + 5); // no parentheses
    QVERIFY(!parsePasv("227 Entering Passive Mode (127,0,0,1,300,80)"));
    QVERIFY(!parsePasv("227 Entering Passive Mode (127,0,0,1,0,0)"));
    QVERIFY(!parsePasv("227 (1,2,3,4,5)"));
    QVERIFY(!parsePasv("227 (1,2,3,4,5,99999999999999999999)"));

    QCOMPARE(parseEpsv("229 Entering Extended Passive Mode (|||6446|)")->port, 6446);
    QCOMPARE(parseEpsv("229 ok (!!!2121!)")->port, 2121);
    QVERIFY(!parseEpsv("229 ok (|||70000|)"));
    QVERIFY(!parseEpsv("229 ok (|||0|)"));
    QVERIFY(!parseEpsv("229 ok (||1|2121|)"));
    QVERIFY(!parseEpsv("229 ok (|||2121)"));
    QVERIFY(!parseEpsv("229 ok ("));

    QCOMPARE(*parsePwd("257 \"/home/u\" is the current directory\r\n"), QByteArray("/home/u"));
    QCOMPARE(*parsePwd("257 \"/a \"\"quoted\"\" b\" ok"), QByteArray("/a \"quoted\" b"));
    QCOMPARE(*parsePwd("257 \"/日本\""), QByteArray("/日本"));
    QVERIFY(!parsePwd("257 \"/no end"));
    QVERIFY(!parsePwd("257 no quotes"));
    QVERIFY(!parsePwd("257 \"\""));

    QCOMPARE(*parseSize("213 1234567890123\r\n"), Q_INT64_C(1234567890123));
    QVERIFY(!parseSize("550 no such file"));
    QVERIFY(!parseSize("213 -5"));
    QVERIFY(!parseSize("213 99999999999999999999"));
    QCOMPARE(*parseTransferSize("150 Opening BINARY mode data connection for big.bin (104857600 bytes).\r\n"),
        Q_INT64_C(104857600));
    QVERIFY(!parseTransferSize("150 File status okay. About to open data connection.\r\n"));
    QVERIFY(!parseTransferSize("150 x bytes)"));

    const QList<QByteArray> features = parseFeatures(
        "211-Features:\r\n EPRT\r\n EPSV\r\n MLST type*;size*;modify*;\r\n utf8\r\n SIZE\r\n211 End\r\n");
    QCOMPARE(features, QList<QByteArray>({ "EPRT", "EPSV", "MLST", "UTF8", "SIZE" }));
    QVERIFY(parseFeatures("211 no features\r\n").isEmpty());
}

void TestFtpParsers::mlsdLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("entry");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QDateTime>("time");
    const QDateTime t(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::UTC);
    QTest::newRow("pyftpdlib file") << QByteArray(
        "type=file;size=10;modify=20210304050607;perm=radfw;unique=803g1a2; a.txt")
                                    << true << QByteArray("a.txt") << false << qint64(10) << t;
    QTest::newRow("pyftpdlib folder") << QByteArray("type=dir;size=4096;modify=20210304050607;perm=flcdmpe; folder")
                                      << true << QByteArray("folder") << true << qint64(0) << t;
    QTest::newRow("proftpd facts in another order")
        << QByteArray("modify=20210304050607;perm=adfr;size=1234;type=file;unique=FD00U1C2A2;UNIX.group=1000;"
                      "UNIX.mode=0644;UNIX.owner=1000; index.html")
        << true << QByteArray("index.html") << false << qint64(1234) << t;
    QTest::newRow("fraction of a second") << QByteArray("type=file;size=1;modify=20210304050607.123; f") << true
                                          << QByteArray("f") << false << qint64(1) << t;
    QTest::newRow("fact names without case") << QByteArray("Type=File;Size=5;Modify=20210304050607; x") << true
                                             << QByteArray("x") << false << qint64(5) << t;
    QTest::newRow("blanks belong to the name") << QByteArray("type=file;size=1; a b  c ") << true
                                               << QByteArray("a b  c ") << false << qint64(1) << QDateTime();
    QTest::newRow("Japanese name") << QByteArray("type=file;size=3; 日本語.html") << true << QByteArray("日本語.html")
                                   << false << qint64(3) << QDateTime();
    QTest::newRow("symbolic link") << QByteArray("type=OS.unix=symlink;size=7; link") << true << QByteArray("link")
                                   << false << qint64(7) << QDateTime();
    QTest::newRow("current folder") << QByteArray("type=cdir;modify=20210304050607; .") << false << QByteArray()
                                    << false << qint64(0) << QDateTime();
    QTest::newRow("parent folder") << QByteArray("type=pdir;modify=20210304050607; ..") << false << QByteArray()
                                   << false << qint64(0) << QDateTime();
    QTest::newRow("dot as a plain entry")
        << QByteArray("type=dir; ..") << false << QByteArray() << false << qint64(0) << QDateTime();
    QTest::newRow("hostile name with slash")
        << QByteArray("type=file;size=1; ../x") << false << QByteArray() << false << qint64(0) << QDateTime();
    QTest::newRow("no type fact") << QByteArray("size=1; x") << false << QByteArray() << false << qint64(0)
                                  << QDateTime();
    QTest::newRow("no blank before the name")
        << QByteArray("type=file;size=1;x") << false << QByteArray() << false << qint64(0) << QDateTime();
    QTest::newRow("bad date is no date") << QByteArray("type=file;modify=20211304050607; x") << true << QByteArray("x")
                                         << false << qint64(0) << QDateTime();
    QTest::newRow("absurd size ignored") << QByteArray("type=file;size=99999999999999999999999; x") << true
                                         << QByteArray("x") << false << qint64(0) << QDateTime();
    QTest::newRow("empty name") << QByteArray("type=file;size=1; ") << false << QByteArray() << false << qint64(0)
                                << QDateTime();
}

void TestFtpParsers::mlsdLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, entry);
    const auto parsed = ListingParsers::parseMlsdLine(line);
    QCOMPARE(parsed.has_value(), entry);
    if (!entry)
        return;
    QFETCH(QByteArray, name);
    QFETCH(bool, folder);
    QFETCH(qint64, size);
    QFETCH(QDateTime, time);
    QCOMPARE(parsed->name, name);
    QCOMPARE(parsed->isFolder, folder);
    QCOMPARE(parsed->size, size);
    QCOMPARE(parsed->time, time);
}

void TestFtpParsers::listLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("entry");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QDateTime>("time");
    auto at
        = [](int y, int mo, int d, int h = 0, int mi = 0) { return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC); };
    // "today" for these rows is 2024-03-10.
    QTest::newRow("pyftpdlib file, old") << QByteArray("-rw-r--r--   1 root     root           10 Mar 04  2021 a.txt")
                                         << true << QByteArray("a.txt") << false << qint64(10) << at(2021, 3, 4);
    QTest::newRow("pyftpdlib folder, recent")
        << QByteArray("drwxr-xr-x   2 root     root         4096 Mar 06 20:35 folder") << true << QByteArray("folder")
        << true << qint64(0) << at(2024, 3, 6, 20, 35);
    QTest::newRow("vsftpd numeric owner")
        << QByteArray("-rw-r--r--    1 0        0         3145745 Dec 06 20:35 t.bin") << true << QByteArray("t.bin")
        << false << qint64(3145745) << at(2023, 12, 6, 20, 35);
    QTest::newRow("proftpd") << QByteArray("-rw-r--r--   1 ftp      ftp          1234 Aug  5  2003 index.html") << true
                             << QByteArray("index.html") << false << qint64(1234) << at(2003, 8, 5);
    QTest::newRow("pure-ftpd") << QByteArray("-rw-r--r--    1 1000       1000             5 Jan 15 10:20 hello.txt")
                               << true << QByteArray("hello.txt") << false << qint64(5) << at(2024, 1, 15, 10, 20);
    QTest::newRow("single blanks") << QByteArray("-rw-r--r-- 1 owner group 1234 Aug 5 2003 my page.html") << true
                                   << QByteArray("my page.html") << false << qint64(1234) << at(2003, 8, 5);
    QTest::newRow("two blanks inside the name")
        << QByteArray("-rw-r--r-- 1 owner group 1 Aug 5 2003 two  blanks") << true << QByteArray("two  blanks") << false
        << qint64(1) << at(2003, 8, 5);
    QTest::newRow("Japanese name") << QByteArray(
        "-rw-r--r--   1 user     group        1234 Aug  5  2003 日本語のページ.html")
                                   << true << QByteArray("日本語のページ.html") << false << qint64(1234)
                                   << at(2003, 8, 5);
    QTest::newRow("month word in the name")
        << QByteArray("-rw-r--r-- 1 u g 7 Aug 5 2003 Janet Feb 1 2000.txt") << true
        << QByteArray("Janet Feb 1 2000.txt") << false << qint64(7) << at(2003, 8, 5);
    QTest::newRow("no group column") << QByteArray("-rw-r--r--   1 owner      1234 Aug  5  2003 nogroup.txt") << true
                                     << QByteArray("nogroup.txt") << false << qint64(1234) << at(2003, 8, 5);
    QTest::newRow("owner called like a month") << QByteArray("-rw-r--r-- 1 may staff 12 Aug 5 2003 x") << true
                                               << QByteArray("x") << false << qint64(12) << at(2003, 8, 5);
    QTest::newRow("symbolic link") << QByteArray(
        "lrwxrwxrwx   1 root     root            7 Jan 01  2020 link -> target")
                                   << true << QByteArray("link") << false << qint64(7) << at(2020, 1, 1);
    QTest::newRow("ISO dates") << QByteArray("-rw-r--r-- 1 user group 1234 2023-08-05 09:30 iso.txt") << true
                               << QByteArray("iso.txt") << false << qint64(1234) << at(2023, 8, 5, 9, 30);
    QTest::newRow("sticky and setuid bits") << QByteArray("drwxrwxrwt   9 root root 4096 Mar  1 12:00 tmp") << true
                                            << QByteArray("tmp") << true << qint64(0) << at(2024, 3, 1, 12, 0);
    QTest::newRow("IIS folder") << QByteArray("08-05-04  09:30PM       <DIR>          images") << true
                                << QByteArray("images") << true << qint64(0) << at(2004, 8, 5, 21, 30);
    QTest::newRow("IIS file, last century") << QByteArray("12-01-98  10:15AM                 2048 a.htm") << true
                                            << QByteArray("a.htm") << false << qint64(2048) << at(1998, 12, 1, 10, 15);
    QTest::newRow("IIS four-digit year, blank in name")
        << QByteArray("01-15-2024  12:05AM                  123 report 2024.txt") << true
        << QByteArray("report 2024.txt") << false << qint64(123) << at(2024, 1, 15, 0, 5);
    QTest::newRow("IIS noon") << QByteArray("01-15-2024  12:05PM                  1 n") << true << QByteArray("n")
                              << false << qint64(1) << at(2024, 1, 15, 12, 5);
    QTest::newRow("IIS 24-hour clock") << QByteArray("01-15-24  17:45       <DIR>          logs") << true
                                       << QByteArray("logs") << true << qint64(0) << at(2024, 1, 15, 17, 45);
    QTest::newRow("IIS Japanese name") << QByteArray("03-01-24  09:00AM                  500 写真.jpg") << true
                                       << QByteArray("写真.jpg") << false << qint64(500) << at(2024, 3, 1, 9, 0);
    QTest::newRow("total line") << QByteArray("total 12") << false << QByteArray() << false << qint64(0) << QDateTime();
    QTest::newRow("current folder") << QByteArray("drwxr-xr-x 2 u g 4096 Aug 5 2003 .") << false << QByteArray()
                                    << false << qint64(0) << QDateTime();
    QTest::newRow("parent folder") << QByteArray("drwxr-xr-x 2 u g 4096 Aug 5 2003 ..") << false << QByteArray()
                                   << false << qint64(0) << QDateTime();
    QTest::newRow("hostile ../x") << QByteArray("-rw-r--r-- 1 u g 12 Aug 5 2003 ../x") << false << QByteArray() << false
                                  << qint64(0) << QDateTime();
    QTest::newRow("hostile a/b") << QByteArray("-rw-r--r-- 1 u g 12 Aug 5 2003 a/b") << false << QByteArray() << false
                                 << qint64(0) << QDateTime();
    QTest::newRow("hostile IIS name") << QByteArray("01-15-2024  12:05PM  1 ../../etc") << false << QByteArray()
                                      << false << qint64(0) << QDateTime();
    QTest::newRow("size too large") << QByteArray("-rw-r--r-- 1 u g 99999999999999999999 Aug 5 2003 big") << false
                                    << QByteArray() << false << qint64(0) << QDateTime();
    QTest::newRow("impossible date") << QByteArray("-rw-r--r-- 1 u g 1 Feb 30 2003 x") << false << QByteArray() << false
                                     << qint64(0) << QDateTime();
    QTest::newRow("no name") << QByteArray("-rw-r--r-- 1 u g 1 Aug 5 2003") << false << QByteArray() << false
                             << qint64(0) << QDateTime();
    QTest::newRow("garbage") << QByteArray("hello world, this is no listing") << false << QByteArray() << false
                             << qint64(0) << QDateTime();
    QTest::newRow("empty") << QByteArray() << false << QByteArray() << false << qint64(0) << QDateTime();
    QTest::newRow("IIS bad hour") << QByteArray("01-15-2024  13:05PM  1 x") << false << QByteArray() << false
                                  << qint64(0) << QDateTime();
}

void TestFtpParsers::listLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, entry);
    const auto parsed = ListingParsers::parseListLine(line, QDate(2024, 3, 10));
    QCOMPARE(parsed.has_value(), entry);
    if (!entry)
        return;
    QFETCH(QByteArray, name);
    QFETCH(bool, folder);
    QFETCH(qint64, size);
    QFETCH(QDateTime, time);
    QCOMPARE(parsed->name, name);
    QCOMPARE(parsed->isFolder, folder);
    QCOMPARE(parsed->size, size);
    QCOMPARE(parsed->time, time);
    // A CR left over from the line end changes nothing.
    QCOMPARE(ListingParsers::parseListLine(QByteArray(line + '\r'), QDate(2024, 3, 10))->name, name);
}

void TestFtpParsers::listYearOfRecentDates_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("earlier this year") << QDate(2024, 3, 10) << QByteArray("Mar  9 09:30") << QDate(2024, 3, 9);
    QTest::newRow("tomorrow: clocks differ") << QDate(2024, 3, 10) << QByteArray("Mar 11 09:30") << QDate(2024, 3, 11);
    QTest::newRow("later month is last year") << QDate(2024, 3, 10) << QByteArray("Sep  1 09:30") << QDate(2023, 9, 1);
    QTest::newRow("listed in September") << QDate(2024, 9, 20) << QByteArray("Aug  5 09:30") << QDate(2024, 8, 5);
    QTest::newRow("29 February of last year") << QDate(2025, 3, 1) << QByteArray("Feb 29 10:00") << QDate(2024, 2, 29);
}

void TestFtpParsers::listYearOfRecentDates()
{
    QFETCH(QDate, today);
    QFETCH(QByteArray, date);
    QFETCH(QDate, expected);
    const auto parsed = ListingParsers::parseListLine(QByteArray("-rw-r--r-- 1 u g 5 " + date + " f"), today);
    QVERIFY(parsed);
    QCOMPARE(parsed->time.date(), expected);
}

void TestFtpParsers::hostFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<HostField::Security>("security");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("effectivePort");
    using S = HostField::Security;
    QTest::newRow("name") << u"ftp.example.jp"_qs << true << S::Plain << u"ftp.example.jp"_qs << 0 << 21;
    QTest::newRow("name and port") << u"ftp.example.jp:2121"_qs << true << S::Plain << u"ftp.example.jp"_qs << 2121
                                   << 2121;
    QTest::newRow("ftp scheme, trailing slash")
        << u" ftp://host:2121/ "_qs << true << S::Plain << u"host"_qs << 2121 << 2121;
    QTest::newRow("explicit TLS") << u"ftpes://host"_qs << true << S::Explicit << u"host"_qs << 0 << 21;
    QTest::newRow("implicit TLS default port") << u"ftps://host"_qs << true << S::Implicit << u"host"_qs << 0 << 990;
    QTest::newRow("scheme in capitals") << u"FTPS://host:999"_qs << true << S::Implicit << u"host"_qs << 999 << 999;
    QTest::newRow("IPv6 with port") << u"[::1]:2121"_qs << true << S::Plain << u"::1"_qs << 2121 << 2121;
    QTest::newRow("IPv6 without port") << u"[fe80::1%eth0]"_qs << true << S::Plain << u"fe80::1%eth0"_qs << 0 << 21;
    QTest::newRow("bare IPv6") << u"2001:db8::5"_qs << true << S::Plain << u"2001:db8::5"_qs << 0 << 21;
    QTest::newRow("IPv6 with scheme") << u"ftpes://[::1]:21"_qs << true << S::Explicit << u"::1"_qs << 21 << 21;
    QTest::newRow("IPv4") << u"127.0.0.1:21"_qs << true << S::Plain << u"127.0.0.1"_qs << 21 << 21;
    QTest::newRow("Japanese domain") << u"日本語.jp"_qs << true << S::Plain << u"日本語.jp"_qs << 0 << 21;
    QTest::newRow("empty") << QString() << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("scheme only") << u"ftp://"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("port 0") << u"host:0"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("port too large") << u"host:65536"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("port not a number") << u"host:ftp"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("signed port") << u"host:+21"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("user information") << u"user@host"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("path") << u"host/pub"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("unclosed bracket") << u"[::1:21"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("IPv4 in brackets") << u"[1.2.3.4]"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("blank inside") << u"my host"_qs << false << S::Plain << QString() << 0 << 0;
    QTest::newRow("CR LF inside") << u"host\r\nUSER x"_qs << false << S::Plain << QString() << 0 << 0;
}

void TestFtpParsers::hostFields()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto field = HostField::parse(text);
    QCOMPARE(field.has_value(), valid);
    if (!valid)
        return;
    QFETCH(HostField::Security, security);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, effectivePort);
    QCOMPARE(field->security, security);
    QCOMPARE(field->host, host);
    QCOMPARE(int(field->port), port);
    QCOMPARE(int(field->effectivePort()), effectivePort);
}

void TestFtpParsers::proxyTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<ProxyConfig::Kind>("kind");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    using K = ProxyConfig::Kind;
    QTest::newRow("host and port") << u"proxy:8080"_qs << true << K::HttpConnect << u"proxy"_qs << 8080;
    QTest::newRow("http URL") << u"http://proxy.example.jp:3128/"_qs << true << K::HttpConnect << u"proxy.example.jp"_qs
                              << 3128;
    QTest::newRow("first platform's form")
        << u"ftp=ftp://proxy:8080"_qs << true << K::HttpConnect << u"proxy"_qs << 8080;
    QTest::newRow("first platform's form, no port")
        << u"ftp=ftp://proxy"_qs << true << K::HttpConnect << u"proxy"_qs << 80;
    QTest::newRow("list with an ftp entry")
        << u"http=web:1;ftp=ftp://files:2"_qs << true << K::HttpConnect << u"files"_qs << 2;
    QTest::newRow("socks5 URL") << u"socks5://socks.example.jp:1081"_qs << true << K::Socks5 << u"socks.example.jp"_qs
                                << 1081;
    QTest::newRow("socks5 default port") << u"socks5://s"_qs << true << K::Socks5 << u"s"_qs << 1080;
    QTest::newRow("socks entry") << u"socks=s:9"_qs << true << K::Socks5 << u"s"_qs << 9;
    QTest::newRow("IPv6 proxy") << u"[::1]:8080"_qs << true << K::HttpConnect << u"::1"_qs << 8080;
    QTest::newRow("empty") << QString() << false << K::HttpConnect << QString() << 0;
    QTest::newRow("unknown scheme") << u"gopher://x:70"_qs << false << K::HttpConnect << QString() << 0;
    QTest::newRow("bad port") << u"ftp=ftp://proxy:99999"_qs << false << K::HttpConnect << QString() << 0;
    QTest::newRow("blank inside") << u"my proxy:8080"_qs << false << K::HttpConnect << QString() << 0;
    QTest::newRow("no usable entry") << u"gopher=g:70"_qs << false << K::HttpConnect << QString() << 0;
}

void TestFtpParsers::proxyTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto proxy = ProxyConfig::parse(text);
    QCOMPARE(proxy.has_value(), valid);
    if (!valid)
        return;
    QFETCH(ProxyConfig::Kind, kind);
    QFETCH(QString, host);
    QFETCH(int, port);
    QCOMPARE(proxy->kind, kind);
    QCOMPARE(proxy->host, host);
    QCOMPARE(int(proxy->port), port);
}

void TestFtpParsers::proxyBypass_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("bypass");
    QTest::newRow("loopback") << u"127.0.0.1"_qs << u"<local>"_qs << true;
    QTest::newRow("all of 127/8") << u"127.5.6.7"_qs << u"<local>"_qs << true;
    QTest::newRow("IPv6 loopback") << u"::1"_qs << u"<local>"_qs << true;
    QTest::newRow("localhost") << u"localhost"_qs << u"<local>"_qs << true;
    QTest::newRow("name without a dot") << u"intranet"_qs << u"<local>"_qs << true;
    QTest::newRow("outside name") << u"ftp.example.jp"_qs << u"<local>"_qs << false;
    QTest::newRow("private address is not local") << u"192.168.1.1"_qs << u"<local>"_qs << false;
    QTest::newRow("no list") << u"127.0.0.1"_qs << QString() << false;
    QTest::newRow("wildcard domain") << u"ftp.example.jp"_qs << u"*.example.jp"_qs << true;
    QTest::newRow("wildcard without case") << u"FTP.Example.JP"_qs << u"*.example.jp"_qs << true;
    QTest::newRow("other domain") << u"ftp.example.com"_qs << u"*.example.jp"_qs << false;
    QTest::newRow("address pattern in a list") << u"10.1.2.3"_qs << u"<local>; 10.*"_qs << true;
    QTest::newRow("exact name") << u"files"_qs << u"files,other"_qs << true;
}

void TestFtpParsers::proxyBypass()
{
    QFETCH(QString, host);
    QFETCH(QString, list);
    QFETCH(bool, bypass);
    QCOMPARE(ProxyConfig::bypasses(host, list), bypass);
}

namespace {

QByteArray referenceUpload(const QByteArray& in)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            out.append('\r');
        out.append(in[i]);
    }
    return out;
}

QByteArray convertInPieces(AsciiConverter::Direction direction, const QByteArray& in, QList<qsizetype> cuts)
{
    AsciiConverter converter(direction);
    QByteArray out;
    qsizetype start = 0;
    cuts.append(in.size());
    for (qsizetype cut : cuts) {
        converter.convert(QByteArrayView(in).sliced(start, cut - start), &out);
        start = cut;
    }
    converter.finish(&out);
    return out;
}

} // namespace

void TestFtpParsers::asciiConversion_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("mixed line ends") << QByteArray("a\r\nb\rc\nd\r\n");
    QTest::newRow("CR before CR LF") << QByteArray("x\r\r\ny\n\n\r\r");
    QTest::newRow("starts with LF and ends with CR") << QByteArray("\nline\r");
    QTest::newRow("no line end") << QByteArray("plain");
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n\r\r\n");
    QTest::newRow("binary noise") << QByteArray("\0\r\n\xff\r\x80\n", 8);
}

void TestFtpParsers::asciiConversion()
{
    QFETCH(QByteArray, text);
    QByteArray download = text;
    download.replace("\r\n", "\n");
    const QByteArray upload = referenceUpload(text);
    // Every way to cut the text in two and in three pieces gives the same result.
    for (qsizetype i = 0; i <= text.size(); ++i) {
        QCOMPARE(convertInPieces(AsciiConverter::Direction::Download, text, { i }), download);
        QCOMPARE(convertInPieces(AsciiConverter::Direction::Upload, text, { i }), upload);
        for (qsizetype j = i; j <= text.size(); ++j) {
            QCOMPARE(convertInPieces(AsciiConverter::Direction::Download, text, { i, j }), download);
            QCOMPARE(convertInPieces(AsciiConverter::Direction::Upload, text, { i, j }), upload);
        }
    }
    // A file already uploaded with CR LF comes back unchanged by an upload conversion.
    QCOMPARE(referenceUpload(upload), upload);
}

void TestFtpParsers::messagesForEveryCode()
{
    using namespace FtpError;
    for (int code : { FileNotFound, PathNotFound, AccessDenied, NoMoreFiles, WriteFault, ReadFault, FileExists,
             DiskFull, InvalidName, Timeout, ExtendedError, InternalError, InvalidUrl, UnrecognizedScheme,
             NameNotResolved, BadUserName, BadPassword, OperationCancelled, IncorrectHandleState, CannotConnect,
             ConnectionAborted, ConnectionReset, SecCertDateInvalid, SecCertCnInvalid, SecInvalidCert, SecureFailure,
             TransferInProgress, FtpDropped, InvalidServerResponse, ProxyFailure }) {
        const QString text = messageText(code);
        QVERIFY2(!text.isEmpty(), qPrintable(QString::number(code)));
        // Japanese: at least one character outside ASCII.
        QVERIFY(std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x7f; }));
    }
    QVERIFY(messageText(424242).isEmpty());
}

void TestFtpParsers::linksAndUniqueFacts_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("parser"); // "mlsd", "mlst" or "list"
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("link");
    QTest::addColumn<QByteArray>("unique");
    QTest::newRow("proftpd slink with target")
        << QByteArray("type=OS.unix=slink:/home/u/site;unique=FD00U2; www") << QByteArray("mlsd") << QByteArray("www")
        << false << true << QByteArray("FD00U2");
    QTest::newRow("symlink type") << QByteArray("type=OS.unix=symlink;size=7; up") << QByteArray("mlsd")
                                  << QByteArray("up") << false << true << QByteArray();
    QTest::newRow("pyftpdlib followed link")
        << QByteArray("type=dir;size=4096;unique=803g1a2; www") << QByteArray("mlsd") << QByteArray("www") << true
        << false << QByteArray("803g1a2");
    QTest::newRow("unique with a control byte") << QByteArray("type=dir;unique=80\x01g; x") << QByteArray("mlsd")
                                                << QByteArray("x") << true << false << QByteArray();
    QTest::newRow("empty unique") << QByteArray("type=dir;unique=; x") << QByteArray("mlsd") << QByteArray("x") << true
                                  << false << QByteArray();
    QTest::newRow("overlong unique") << QByteArray("type=dir;unique=" + QByteArray(129, 'a') + "; x")
                                     << QByteArray("mlsd") << QByteArray("x") << true << false << QByteArray();
    QTest::newRow("MLST of a folder path")
        << QByteArray("type=dir;size=0;unique=803g5; /home/site") << QByteArray("mlst") << QByteArray("/home/site")
        << true << false << QByteArray("803g5");
    QTest::newRow("MLST answered with cdir") << QByteArray("type=cdir;unique=803g6; /") << QByteArray("mlst")
                                             << QByteArray("/") << true << false << QByteArray("803g6");
    QTest::newRow("vsftpd link to a folder")
        << QByteArray("lrwxrwxrwx    1 1000     1000            1 Dec 06 20:35 www -> .") << QByteArray("list")
        << QByteArray("www") << false << true << QByteArray();
    QTest::newRow("link to a parent with blanks")
        << QByteArray("lrwxrwxrwx 1 u g 9 Aug 5 2003 my up -> ../a b") << QByteArray("list") << QByteArray("my up")
        << false << true << QByteArray();
    QTest::newRow("arrow inside a file name")
        << QByteArray("-rw-r--r-- 1 u g 9 Aug 5 2003 a -> b") << QByteArray("list") << QByteArray("a -> b") << false
        << false << QByteArray();
}

void TestFtpParsers::linksAndUniqueFacts()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, parser);
    QFETCH(QByteArray, name);
    QFETCH(bool, folder);
    QFETCH(bool, link);
    QFETCH(QByteArray, unique);
    const std::optional<ListingEntry> entry = parser == "mlsd" ? ListingParsers::parseMlsdLine(line)
        : parser == "mlst"                                     ? ListingParsers::parseMlstLine(line)
                           : ListingParsers::parseListLine(line, QDate(2024, 3, 10));
    QVERIFY(entry);
    QCOMPARE(entry->name, name);
    QCOMPARE(entry->isFolder, folder);
    QCOMPARE(entry->isLink, link);
    QCOMPARE(entry->unique, unique);
}

void TestFtpParsers::mlstFeatureFacts_data()
{
    QTest::addColumn<QByteArray>("feat");
    QTest::addColumn<QByteArrayList>("facts");
    QTest::newRow("pyftpdlib") << QByteArray("211-Features supported:\r\n EPRT\r\n MLST type*;perm*;size*;modify*;"
                                             "unique;unix.mode;unix.uid;unix.gid;\r\n UTF8\r\n211 End FEAT.")
                               << QByteArrayList { "type", "perm", "size", "modify", "unique", "unix.mode", "unix.uid",
                                      "unix.gid" };
    QTest::newRow("proftpd upper case") << QByteArray("211-Features:\r\n MLST modify*;perm*;size*;type*;unique*;"
                                                      "UNIX.group*;UNIX.mode*;\r\n211 End")
                                        << QByteArrayList { "modify", "perm", "size", "type", "unique", "unix.group",
                                               "unix.mode" };
    QTest::newRow("no MLST line") << QByteArray("211-Features:\r\n SIZE\r\n UTF8\r\n211 End") << QByteArrayList {};
    QTest::newRow("MLSD is no fact list") << QByteArray("211-Features:\r\n MLSD\r\n211 End") << QByteArrayList {};
}

void TestFtpParsers::mlstFeatureFacts()
{
    QFETCH(QByteArray, feat);
    QFETCH(QByteArrayList, facts);
    QCOMPARE(FtpReplyText::parseMlstFacts(feat), facts);
}

QTEST_GUILESS_MAIN(TestFtpParsers)
#include "tst_ftpparsers.moc"
