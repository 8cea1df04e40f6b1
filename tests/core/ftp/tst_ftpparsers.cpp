// The engine's pure rules as tables: replies, listing lines (each row named after where such a
// line comes from), host fields, proxy texts and bypass lists, ASCII conversion.
#include "core/ftp/engine/asciiconverter.h"
#include "core/ftp/engine/hostfield.h"
#include "core/ftp/engine/listingparsers.h"
#include "core/ftp/engine/proxyconfig.h"
#include "core/ftp/engine/replyparser.h"
#include "support/texttable.h"

#include <QRegularExpression>

namespace {

QString text(const char* column) { return *static_cast<QString*>(QTest::qData(column, QMetaType::QString)); }
QByteArray bytes(const char* column) { return text(column).toUtf8(); }

// "name[/ for a folder][@ for a link] size [time] [#unique]", or "-" for a line that is no entry.
QByteArray describe(const std::optional<ListingEntry>& e)
{
    if (!e)
        return "-";
    QByteArray s = e->name + (e->isFolder ? "/" : "") + (e->isLink ? "@ " : " ") + QByteArray::number(e->size);
    if (e->time.isValid())
        s += e->time.toString(u" yyyy-MM-dd hh:mm:ss"_qs).remove(QRegularExpression(u"( 00:00)?:00$"_qs)).toLatin1();
    return e->unique.isEmpty() ? s : s + " #" + e->unique;
}

} // namespace

class TestFtpParsers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The codes of the complete replies, "!" when the stream is broken; the last reply's text ("=":
    // all the bytes). <64K>, <60000>: runs of letters; <1M>: short lines up to 1 MiB.
    void replyShapes_data()
    {
        TextTable::rows({ "bytes", "codes", "last" }, R"(
single line | 220 Welcome\r\n | 220 | =
multi-line banner | 220-Hello\r\n second line\r\n220 ready\r\n | 220 | =
continuation lines that look like codes | 211-Features:\r\n EPSV\r\n211-not the end\r\n230 other code\r\n2110 nor this\r\n 211 padded\r\n211 End\r\n | 211 | =
every line with the code and a dash | 230-a\r\n230-b\r\n230 c\r\n | 230 | =
bare LF line ends | 200 ok\n331 more\n | 200,331 | 331 more\r\n
preliminary and final in one read | 150 Opening (12 bytes)\r\n226 done\r\n | 150,226 | 226 done\r\n
code without text | 200\r\n | 200 | =
multi-line ended by the bare code | 214-help\r\n text\r\n214\r\n | 214 | =
unfinished multi-line waits | 220-a\r\n b\r\n | none | -
unfinished line waits | 220 no line end | none | -
garbage first line | hello\r\n | ! | -
code out of range | 999 what\r\n | ! | -
good reply then garbage | 200 ok\r\nxyz\r\n | 200! | 200 ok\r\n
line over 64 KiB | 200 <64K> | ! | -
line over 64 KiB, ended | 200 <64K>\r\n | ! | -
line of 60,000 bytes | 200 <60000>\r\n | 200 | =
reply over 1 MiB of short lines | 211-start\r\n<1M> | ! | -)");
    }
    void replyShapes()
    {
        QByteArray in = bytes("bytes").replace("<64K>", QByteArray(ReplyParser::maxLine, 'a'));
        in.replace("<60000>", QByteArray(59996, 'a'));
        const bool huge = in.endsWith("<1M>");
        in.chop(huge ? 4 : 0);
        while (huge && in.size() <= ReplyParser::maxReply)
            in += " line of a reply that never ends\r\n";
        bool failed = false;
        const QList<FtpReply> replies = ReplyParser::parseAll(in, &failed);
        QByteArrayList codes;
        for (const FtpReply& r : replies)
            codes.append(QByteArray::number(r.code));
        QCOMPARE((codes.isEmpty() && !failed ? "none" : codes.join(',')) + (failed ? "!" : ""), bytes("codes"));
        QCOMPARE(replies.isEmpty() ? "-" : replies.last().text, bytes("last") == "=" ? in : bytes("last"));
    }

    // Fed byte by byte the parser gives what it gives for the whole; after a failure it stays failed.
    void replyStream()
    {
        const QByteArray in("220-Hello\r\n there\n220 ready\r\n331 Password\r\n150 go\r\n226-done\r\n226 bye\r\n");
        ReplyParser parser;
        QByteArrayList whole, pieces;
        for (const FtpReply& r : ReplyParser::parseAll(in))
            whole.append(r.text);
        for (char c : in) {
            parser.feed(QByteArrayView(&c, 1));
            for (FtpReply r; parser.next(&r) == ReplyParser::Status::Reply;)
                pieces.append(r.text);
        }
        QCOMPARE(pieces, whole);
        QCOMPARE(pieces.value(1), QByteArray("331 Password\r\n"));
        QVERIFY(pieces.size() == 4 && parser.pending() == 0);
        FtpReply r;
        parser.feed("garbage\r\n200 ok\r\n");
        QCOMPARE(parser.next(&r), ReplyParser::Status::Error);
        QCOMPARE(parser.next(&r), ReplyParser::Status::Error);
        parser.reset();
        parser.feed("200 ok\r\n");
        QCOMPARE(parser.next(&r), ReplyParser::Status::Reply);
    }

    // What reads the text (pasv, epsv, pwd, size, 150, feat, facts); the text; what it reads.
    void replyTexts_data()
    {
        TextTable::rows({ "kind", "reply", "read" }, R"(
PASV | pasv | 227 Entering Passive Mode (127,0,0,1,195,80). | 127.0.0.1:50000
PASV without parentheses | pasv | 227 =10,1,2,3,4,5 | 10.1.2.3:1029
PASV port byte over 255 | pasv | 227 Entering Passive Mode (127,0,0,1,300,80) | -
PASV port 0 | pasv | 227 Entering Passive Mode (127,0,0,1,0,0) | -
EPSV | epsv | 229 Entering Extended Passive Mode (|||6446|) | :6446
EPSV other delimiter | epsv | 229 ok (!!!2121!) | :2121
EPSV port over 65535 | epsv | 229 ok (|||70000|) | -
EPSV unclosed | epsv | 229 ok (|||2121) | -
PWD | pwd | 257 "/home/u" is the current directory\r\n | /home/u
PWD doubled quotes | pwd | 257 "/a ""quoted"" b" ok | /a "quoted" b
PWD unclosed | pwd | 257 \x22/no end | -
SIZE | size | 213 1234567890123\r\n | 1234567890123
SIZE refused | size | 550 no such file | -
150 of vsftpd | 150 | 150 Opening BINARY mode data connection for big.bin (104857600 bytes).\r\n | 104857600
FEAT | feat | 211-Features:\r\n EPRT\r\n EPSV\r\n MLST type*;size*;modify*;\r\n utf8\r\n SIZE\r\n211 End\r\n | EPRT,EPSV,MLST,UTF8,SIZE
MLST facts of pyftpdlib | facts | 211-Features supported:\r\n EPRT\r\n MLST type*;perm*;size*;modify*;unique;unix.mode;\r\n UTF8\r\n211 End. | type,perm,size,modify,unique,unix.mode
no MLST line | facts | 211-Features:\r\n SIZE\r\n UTF8\r\n211 End | none
MLSD is no fact list | facts | 211-Features:\r\n MLSD\r\n211 End | none)");
    }
    void replyTexts()
    {
        using namespace FtpReplyText;
        const QByteArray kind = bytes("kind"), reply = bytes("reply");
        QByteArray got = "-";
        if (kind == "pasv" || kind == "epsv") {
            if (const auto hp = kind == "pasv" ? parsePasv(reply) : parseEpsv(reply))
                got = hp->host + ':' + QByteArray::number(hp->port);
        } else if (kind == "pwd") {
            got = parsePwd(reply).value_or("-");
        } else if (kind == "size" || kind == "150") {
            if (const auto n = kind == "size" ? parseSize(reply) : parseTransferSize(reply))
                got = QByteArray::number(*n);
        } else {
            got = (kind == "feat" ? parseFeatures(reply) : parseMlstFacts(reply)).join(',');
        }
        QCOMPARE(got.isEmpty() ? "none" : got, bytes("read"));
    }

    // U128: a unique fact of 128 letters.
    void mlsdLines_data()
    {
        TextTable::rows({ "line", "entry" }, R"(
pyftpdlib file | type=file;size=10;modify=20210304050607;perm=radfw;unique=803g1a2; a.txt | a.txt 10 2021-03-04 05:06:07 #803g1a2
pyftpdlib folder: no size | type=dir;size=4096;modify=20210304050607;perm=flcdmpe; folder | folder/ 0 2021-03-04 05:06:07
proftpd facts in another order | modify=20210304050607;perm=adfr;size=1234;type=file;unique=FD00U1C2A2;UNIX.mode=0644; index.html | index.html 1234 2021-03-04 05:06:07 #FD00U1C2A2
fraction of a second | type=file;size=1;modify=20210304050607.123; f | f 1 2021-03-04 05:06:07
blanks belong to the name | type=file;size=1; a b  c\x20 | a b  c  1
proftpd slink with target | type=OS.unix=slink:/home/u/site;unique=FD00U2; www | www@ 0 #FD00U2
symlink type | type=OS.unix=symlink;size=7; up | up@ 7
pyftpdlib followed link | type=dir;size=4096;unique=803g1a2; www | www/ 0 #803g1a2
unique of 128 bytes | type=dir;unique=U128; x | x/ 0 #U128
overlong unique | type=dir;unique=U129; x | x/ 0
current folder | type=cdir;modify=20210304050607; . | -
parent folder | type=pdir;modify=20210304050607; .. | -
hostile name with slash | type=file;size=1; ../x | -
hostile name with CR | type=file;size=1; cr\rname | -
no blank before the name | type=file;size=1;x | -
bad date is no date | type=file;modify=20211304050607; x | x 0
MLST of a folder path | mlst type=dir;size=0;unique=803g5; /home/site | /home/site/ 0 #803g5
MLST answered with cdir | mlst type=cdir;unique=803g6; / | // 0 #803g6)");
    }
    void mlsdLines()
    {
        const QByteArray line
            = bytes("line").replace("U128", QByteArray(128, 'u')).replace("U129", QByteArray(129, 'u'));
        const auto entry = line.startsWith("mlst ") ? ListingParsers::parseMlstLine(line.mid(5))
                                                    : ListingParsers::parseMlsdLine(line);
        QCOMPARE(describe(entry), bytes("entry").replace("U128", QByteArray(128, 'u')));
    }

    // Listed on 2024-03-10 unless the row's name starts with another date.
    void listLines_data()
    {
        TextTable::rows({ "line", "entry" }, R"(
pyftpdlib file, old | -rw-r--r--   1 root     root           10 Mar 04  2021 a.txt | a.txt 10 2021-03-04
pyftpdlib folder, recent | drwxr-xr-x   2 root     root         4096 Mar 06 20:35 folder | folder/ 0 2024-03-06 20:35
vsftpd numeric owner, last year | -rw-r--r--    1 0        0         3145745 Dec 06 20:35 t.bin | t.bin 3145745 2023-12-06 20:35
vsftpd link to a folder | lrwxrwxrwx    1 1000     1000            1 Dec 06 20:35 www -> . | www@ 1 2023-12-06 20:35
two blanks inside the name | -rw-r--r-- 1 owner group 1 Aug 5 2003 two  blanks | two  blanks 1 2003-08-05
month word in the name | -rw-r--r-- 1 u g 7 Aug 5 2003 Janet Feb 1 2000.txt | Janet Feb 1 2000.txt 7 2003-08-05
no group column | -rw-r--r--   1 owner      1234 Aug  5  2003 nogroup.txt | nogroup.txt 1234 2003-08-05
link to a parent with blanks | lrwxrwxrwx 1 u g 9 Aug 5 2003 my up -> ../a b | my up@ 9 2003-08-05
arrow inside a file name | -rw-r--r-- 1 u g 9 Aug 5 2003 a -> b | a -> b 9 2003-08-05
ISO dates | -rw-r--r-- 1 user group 1234 2023-08-05 09:30 iso.txt | iso.txt 1234 2023-08-05 09:30
IIS folder | 08-05-04  09:30PM       <DIR>          images | images/ 0 2004-08-05 21:30
IIS file, last century | 12-01-98  10:15AM                 2048 a.htm | a.htm 2048 1998-12-01 10:15
IIS four-digit year, blank in name | 01-15-2024  12:05AM                  123 report 2024.txt | report 2024.txt 123 2024-01-15 00:05
IIS noon | 01-15-2024  12:05PM                  1 n | n 1 2024-01-15 12:05
IIS 24-hour clock | 01-15-24  17:45       <DIR>          logs | logs/ 0 2024-01-15 17:45
tomorrow: clocks differ | -rw-r--r-- 1 u g 5 Mar 11 09:30 f | f 5 2024-03-11 09:30
a later month is last year | -rw-r--r-- 1 u g 5 Sep  1 09:30 f | f 5 2023-09-01 09:30
2025-03-01: 29 February of last year | -rw-r--r-- 1 u g 5 Feb 29 10:00 f | f 5 2024-02-29 10:00
total line | total 12 | -
current folder | drwxr-xr-x 2 u g 4096 Aug 5 2003 . | -
hostile ../x | -rw-r--r-- 1 u g 12 Aug 5 2003 ../x | -
hostile IIS name | 01-15-2024  12:05PM  1 ../../etc | -
size too large | -rw-r--r-- 1 u g 99999999999999999999 Aug 5 2003 big | -
impossible date | -rw-r--r-- 1 u g 1 Feb 30 2003 x | -
no name | -rw-r--r-- 1 u g 1 Aug 5 2003 | -
garbage | hello world, this is no listing | -
IIS bad hour | 01-15-2024  13:05PM  1 x | -)");
    }
    void listLines()
    {
        const QDate date = QDate::fromString(QString::fromLatin1(QTest::currentDataTag()).left(10), Qt::ISODate);
        const QDate today = date.isValid() ? date : QDate(2024, 3, 10);
        QCOMPARE(describe(ListingParsers::parseListLine(bytes("line"), today)), bytes("entry"));
        // A CR left over from the line end changes nothing.
        QCOMPARE(describe(ListingParsers::parseListLine(QByteArray(bytes("line") + '\r'), today)), bytes("entry"));
    }

    // Security (0 plain, 1 explicit, 2 implicit), host, port, port used; "-" invalid, "scheme" an
    // unknown scheme.
    void hostFields_data()
    {
        TextTable::rows({ "field", "parsed" }, R"(
name | ftp.example.jp | 0 ftp.example.jp 0 21
name and port | ftp.example.jp:2121 | 0 ftp.example.jp 2121 2121
ftp scheme, trailing slash | \x20ftp://host:2121/\x20 | 0 host 2121 2121
explicit TLS | ftpes://host | 1 host 0 21
implicit TLS default port | ftps://host | 2 host 0 990
scheme in capitals | FTPS://host:999 | 2 host 999 999
IPv6 with scheme | ftpes://[::1]:21 | 1 ::1 21 21
empty |  | -
other scheme | http://127.0.0.1 | scheme
port 0 | host:0 | -
port too large | host:65536 | -
user information | user@host | -
unclosed bracket | [::1:21 | -
blank inside | my host | -
CR LF inside | host\r\nUSER x | -)");
    }
    void hostFields()
    {
        bool unknownScheme = false;
        const auto h = HostField::parse(text("field"), &unknownScheme);
        const QString got = h ? u"%1 %2 %3 %4"_qs.arg(QString::number(int(h->security)), h->host,
                                QString::number(h->port), QString::number(h->effectivePort()))
                              : (unknownScheme ? u"scheme"_qs : u"-"_qs);
        QCOMPARE(got, text("parsed"));
    }

    // A proxy text and what it names; or a host, a bypass list and whether the proxy is bypassed.
    void proxyTexts_data()
    {
        TextTable::rows({ "text", "bypass", "named" }, R"(
host and port | proxy:8080 | | http proxy:8080
first platform's form | ftp=ftp://proxy:8080 | | http proxy:8080
list with an ftp entry | http=web:1;ftp=ftp://files:2 | | http files:2
socks5 URL | socks5://socks.example.jp:1081 | | socks5 socks.example.jp:1081
socks5 default port | socks5://s | | socks5 s:1080
empty |  | | -
unknown scheme | gopher://x:70 | | -
bad port | ftp=ftp://proxy:99999 | | -
bypass: all of 127/8 | 127.5.6.7 | <local> | bypass
bypass: localhost | localhost | <local> | bypass
bypass: name without a dot | intranet | <local> | bypass
bypass: outside name | ftp.example.jp | <local> | proxy
bypass: private address is not local | 192.168.1.1 | <local> | proxy
bypass: no list | 127.0.0.1 |  | proxy
bypass: wildcard domain | ftp.example.jp | *.example.jp | bypass
bypass: other domain | ftp.example.com | *.example.jp | proxy
bypass: address pattern in a list | 10.1.2.3 | <local>; 10.* | bypass
bypass: exact name in a list | files | files,other | bypass)");
    }
    void proxyTexts()
    {
        if (QByteArray(QTest::currentDataTag()).startsWith("bypass:")) {
            QCOMPARE(ProxyConfig::bypasses(text("text"), text("bypass")), text("named") == u"bypass");
            return;
        }
        const auto p = ProxyConfig::parse(text("text"));
        const QString kind = p && p->kind == ProxyConfig::Kind::Socks5 ? u"socks5"_qs : u"http"_qs;
        QCOMPARE(p ? u"%1 %2:%3"_qs.arg(kind, p->host, QString::number(p->port)) : u"-"_qs, text("named"));
    }

    // Downloads turn CR LF into LF, uploads a LF without CR before it into CR LF; however the text
    // is cut into pieces.
    void asciiConversion_data()
    {
        TextTable::rows({ "text" }, R"(
mixed line ends | a\r\nb\rc\nd\r\n
CR before CR LF | x\r\r\ny\n\n\r\r
starts with LF and ends with CR | \nline\r
only line ends | \r\n\r\n\n\r\r\n
binary noise | \x00\r\n\xff\r\x80\n)");
    }
    void asciiConversion()
    {
        const QByteArray in = text("text").toLatin1();
        const QByteArray download = QByteArray(in).replace("\r\n", "\n");
        QByteArray upload;
        for (qsizetype i = 0; i < in.size(); ++i)
            upload += (in[i] == '\n' && (i == 0 || in[i - 1] != '\r')) ? QByteArray("\r\n") : in.mid(i, 1);
        for (qsizetype i = 0; i <= in.size(); ++i) {
            for (qsizetype j = i; j <= in.size(); ++j) {
                for (const auto direction :
                    { AsciiConverter::Direction::Download, AsciiConverter::Direction::Upload }) {
                    AsciiConverter converter(direction);
                    QByteArray out;
                    for (const QByteArrayView piece : { QByteArrayView(in).first(i),
                             QByteArrayView(in).sliced(i, j - i), QByteArrayView(in).sliced(j) })
                        converter.convert(piece, &out);
                    converter.finish(&out);
                    QCOMPARE(out, direction == AsciiConverter::Direction::Download ? download : upload);
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFtpParsers)
#include "tst_ftpparsers.moc"
