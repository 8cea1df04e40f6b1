#include "core/app/codepage.h"
#include "core/app/commandline.h"
#include "core/app/statuslines.h"
#include "core/app/textfile.h"
#include "support/texttable.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commandLine_data()
    {
        TextTable::rows({ "line", "request" }, R"(
empty | | empty
profile in another case | mirror ONE | show profile0
profile with full-width letters folds too | ｆｕｌｌ | show profile3
profile that looks like a path | /srv/www/index.html | open profile2 [/srv/www][index.html]
message visible in capitals | <MESSAGE Visible> | visible
path in quotes with blanks | "/home/u/my site/a b.html" | open [/home/u/my site][a b.html]
path of two parts | /index.html | show
relative path of three parts | a/site/index.html | open [a/site][index.html]
folder with a trailing slash | /home/u/site/ | open [/home/u/site][]
companion path | jsTarvo/home/u/site/index.html | open companion [/home/u/site][index.html]
companion with a handle | jsTarvo"/home/u/site/index.html" handle=4242 | open companion handle=4242 [/home/u/site][index.html]
handle without a blank, text after it | /home/u/site/index.htmlhandle=77x | open handle=77 [/home/u/site][index.html]
handle cuts the path short | /a handle=5/b/c | show handle=5
handle of 2^31 | /a/b handle=2147483648 | open handle=0 [/a][b]
)");
    }
    void commandLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, request);
        const CommandLineRequest r = parseCommandLine(
            line, { u"Mirror One"_s, u"Mirror Two"_s, u"/SRV/WWW/INDEX.HTML"_s, u"ＦＵＬＬ"_s, u"Twin"_s, u"TWIN"_s });
        QString s = QStringList { "empty", "visible", "invisible", "show", "open" }.at(int(r.kind));
        if (r.profileIndex >= 0)
            s += u" profile%1"_s.arg(r.profileIndex);
        s += r.companionStart ? u" companion"_s : QString();
        if (r.hasHandle)
            s += u" handle=%1"_s.arg(r.companionHandle);
        if (r.kind == CommandLineRequest::Kind::OpenPath)
            s += u" [%1][%2]"_s.arg(r.folder, r.name);
        QCOMPARE(s, request);
    }

    // CP932 both ways or one way, and lines split from the text of a file (shown joined with "|").
    void texts_data()
    {
        TextTable::rows({ "rule", "raw", "text" }, R"(
half-width katakana tag | both | <\xcc\xa7\xb2\xd9> | <ﾌｧｲﾙ>
NEC circled digit | both | \x87\x40 | ①
wave dash is the full-width tilde | both | \x81\x60 | ～
lead byte at the end | decode | ab\x82 | ab�
bad byte in the middle | decode | \x82\xa0\xff\x82\xa2 | あ�い
characters CP932 lacks become ? | encode | a?b? | a😀b한
CR LF | split | a\r\nb\r\n | a|b
empty lines kept | split | a\r\n\r\nb\r\n | a||b
)");
    }
    void texts()
    {
        QFETCH(QString, rule);
        QFETCH(QString, raw);
        QFETCH(QString, text);
        if (rule == u"split")
            QCOMPARE(TextFile::splitLines(raw).join(u'|'), text);
        if (rule == u"both" || rule == u"decode")
            QCOMPARE(Cp932::decode(raw.toLatin1()), text);
        if (rule == u"both" || rule == u"encode")
            QCOMPARE(Cp932::encode(text), raw.toLatin1());
    }

    void writeLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"ftpset.ini"_s);
        QVERIFY(TextFile::writeLines(path, { u"<パッシブ>"_s, u"ON"_s }, nullptr, TextFile::OwnerOnly));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("<\x83p\x83\x62\x83V\x83\x75>\r\nON\r\n"));
        QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
            QFileDevice::Permissions());
    }

    // A run over a very large site must not grow the status list without end.
    void statusListStaysBounded()
    {
        StatusLines lines;
        for (int i = 0; i <= StatusLines::MaxLines; ++i)
            lines.addRawLine(QString::number(i));
        QCOMPARE(lines.rowCount(), StatusLines::MaxLines + 1 - StatusLines::DropLines);
        QCOMPARE(lines.stringList().first(), QString::number(StatusLines::DropLines));
        QCOMPARE(lines.lastLine(), QString::number(StatusLines::MaxLines));
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
