#include "core/app/codepage.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"
#include "core/transfer/textconvert.h"
#include "support/settingsfiles.h"
#include "support/texttable.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace TextConvert;
using namespace Qt::StringLiterals;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

// glibc iconv over a whole buffer, one character a line; -c drops what it cannot map (an empty line).
QList<QByteArray> iconvLines(const QByteArray& input, const char* from, const char* to)
{
    QProcess p;
    p.start(u"iconv"_s, { u"-c"_s, u"-f"_s, QLatin1String(from), u"-t"_s, QLatin1String(to) });
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return p.readAllStandardOutput().split('\n');
}

} // namespace

// The transfer type and never-send rules with the two lists kept in the settings lines, and the
// text conversions of the transfer menu. In the tables, lines and list entries are separated by ",",
// "-" is no entry and '' one empty entry; "$T" and "$N" stand for the default lists, "$P" a profile.
class TestTransferRules : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<ModeRules> m_rules;

    static QStringList list(QString text)
    {
        text.replace(u"$T"_s, ModeRules::defaultTextExtensions().join(u','))
            .replace(u"$N"_s, ModeRules::defaultNeverSendExtensions().join(u','))
            .replace(u"$P"_s, u"<管理用の名前（任意の名前）>,p,</管理用の名前（任意の名前）>"_s);
        return text == u"-"_s ? QStringList() : text == u"''"_s ? QStringList { QString() } : text.split(u',');
    }
    void load(const QStringList& lines)
    {
        m_lines->setLines(lines);
        m_rules->LoadModeLists();
    }
    // The lines are what the file holds.
    void checkSaved(const QStringList& lines)
    {
        QCOMPARE(m_lines->lines(), lines);
        QCOMPARE(readBytes(m_dir->filePath(u"ftpset.ini"_s)), SettingsFiles::cp932Lines(lines));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_lines = std::make_unique<SettingsLines>();
        m_lines->setFilePath(m_dir->filePath(u"ftpset.ini"_s));
        m_rules = std::make_unique<ModeRules>(*m_lines);
        for (QAbstractItemModel* model : { m_rules->textExtensionModel(), m_rules->neverSendExtensionModel() })
            new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, m_rules.get());
    }

    void getExtension_data()
    {
        TextTable::rows({ "name", "extension" }, R"(
plain | index.html | html
case kept | index.HTML | HTML
two dots | archive.tar.gz | gz
blanks around | \s\spage.htm\s\s | htm
ideographic blank around | 　page.htm　 | htm
no dot | README |
ends with a dot | name. |
dot file | .htaccess | htaccess
blank inside the extension | a.b c | b c
japanese name | 日本語.ﾃｷｽﾄ | ﾃｷｽﾄ
)");
    }
    void getExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QCOMPARE(ModeRules::GetExtension(name), extension);
    }

    // The mode switch: "-", all ASCII or all binary.
    void typeAndSendable_data()
    {
        TextTable::rows({ "text", "never", "mode", "names", "result" }, R"(
html is text | $T | $N | - | index.html | ascii
matching ignores case | $T | $N | - | index.HTML | ascii
entry in capitals matches | TXT | $N | - | a.txt | ascii
doc and dat are text by default | $T | $N | - | letter.doc,data.dat | ascii,ascii
picture is binary | $T | $N | - | photo.jpg | binary
last extension decides | $T | $N | - | page.html.gz | binary
blanks around the name | $T | $N | - | \spage.htm\s | ascii
no extension or a trailing dot is binary | $T | $N | - | README,name. | binary,binary
no extension, all ASCII | $T | $N | ascii | README | ascii
all binary beats the list | $T | $N | binary | index.html | binary
all ASCII on a picture | $T | $N | ascii | photo.jpg | ascii
entry with a leading dot never matches | .txt | $N | - | a.txt | binary
empty list sends binary | - | $N | - | a.txt | binary
empty entries make no bare name text nor block it | '' | '' | - | Makefile | binary
bak is never sent, BAK is | $T | $N | - | backup.bak,backup.BAK | binary never,binary
dollar extension, blanks around the name | $T | $N | - | TempPut.$$$,\sx.tmp\s | binary never,binary never
)");
    }
    void typeAndSendable()
    {
        QFETCH(QString, text);
        QFETCH(QString, never);
        QFETCH(QString, mode);
        QFETCH(QString, names);
        QFETCH(QString, result);
        load(QStringList { "<SetText>" } + list(text) + QStringList { "</SetText>", "<NotText>" } + list(never)
            + QStringList { "</NotText>" });
        m_rules->setAllAscii(mode == u"ascii"_s);
        m_rules->setAllBinary(mode == u"binary"_s);
        QStringList out;
        for (const QString& name : names.split(u',')) {
            const TransferType type = m_rules->SetTransferMode(name);
            out << (type == TransferType::Ascii ? u"ascii"_s : u"binary"_s)
                    + (m_rules->indicator() == type ? QString() : u" shown otherwise"_s)
                    + (m_rules->IsSendable(name) ? QString() : u" never"_s);
        }
        QCOMPARE(out.join(u','), result);
    }

    void loadModeLists_data()
    {
        TextTable::rows({ "lines", "text", "never", "after" }, R"(
blocks read in order | $P,<SetText>,txt,php,</SetText>,<NotText>,bak,</NotText> | txt,php | bak | =
empty text block: every file binary | <SetText>,</SetText>,<NotText>,$N,</NotText> | - | $N | =
no SetText: defaults appended and saved | $P | $T | $N | $P,<SetText>,$T,</SetText>,<NotText>,$N,</NotText>
no SetText but NotText: one NotText block | <NotText>,old,</NotText>,x | $T | $N | <NotText>,$N,</NotText>,x,<SetText>,$T,</SetText>
two text blocks both count | <SetText>,a,</SetText>,<SetText>,b,</SetText> | a,b | - | =
)");
    }
    void loadModeLists()
    {
        QFETCH(QString, lines);
        QFETCH(QString, text);
        QFETCH(QString, never);
        QFETCH(QString, after);
        load(list(lines));
        QCOMPARE(
            QList({ m_rules->textExtensions(), m_rules->neverSendExtensions() }), QList({ list(text), list(never) }));
        if (after == u"="_s)
            QVERIFY(m_lines->lines() == list(lines) && !QFile::exists(m_dir->filePath(u"ftpset.ini"_s)));
        else
            checkSaved(list(after));
    }

    void restoreDefaultsRewritesTheBlocks()
    {
        load(list(u"a,<SetText>,php,txt,</SetText>,<NotText>,old,</NotText>,<SetText>,dup,</SetText>,z"_s));
        m_rules->setAllAscii(true);
        QVERIFY(!m_rules->textListEnabled());
        m_rules->restoreDefaults();
        QVERIFY(!m_rules->allAscii() && m_rules->textListEnabled());
        QCOMPARE(QList({ m_rules->textExtensions(), m_rules->neverSendExtensions() }),
            QList({ list(u"$T"_s), list(u"$N"_s) }));
        checkSaved(list(u"a,<SetText>,$T,</SetText>,<NotText>,$N,</NotText>,z"_s));
        // Reloading gives the same lists: nothing is counted twice.
        ModeRules again(*m_lines);
        again.LoadModeLists();
        QCOMPARE(again.textExtensions(), list(u"$T"_s));
    }

    void addAndDeleteEntries()
    {
        load(list(u"<SetText>,txt,</SetText>,x,</SetText>"_s));
        QVERIFY(!m_rules->addTextExtension(u"   "_s) && !QFile::exists(m_dir->filePath(u"ftpset.ini"_s)));
        QVERIFY(m_rules->addTextExtension(u" php "_s));
        QVERIFY(m_rules->addNeverSendExtension(u"old"_s)); // no block yet
        QCOMPARE(QList({ m_rules->textExtensions(), m_rules->neverSendExtensions() }),
            QList({ list(u"txt,php"_s), list(u"old"_s) }));
        checkSaved(list(u"<SetText>,txt,php,</SetText>,x,</SetText>,<NotText>,old,</NotText>"_s));
        QVERIFY(m_rules->SetTransferMode(u"index.PHP"_s) == TransferType::Ascii && !m_rules->IsSendable(u"a.old"_s));
        // The second "txt" and "css" of the text list, "tmp" and "$$$" of the never-send list; 7 is no row.
        load(list(u"p,<SetText>,txt,htm,txt,css,</SetText>,<NotText>,tmp,bak,$$$,</NotText>,q"_s));
        m_rules->deleteEntries({ 3, 2 }, { 0, 2, 7 });
        QCOMPARE(QList({ m_rules->textExtensions(), m_rules->neverSendExtensions() }),
            QList({ list(u"txt,htm"_s), list(u"bak"_s) }));
        checkSaved(list(u"p,<SetText>,txt,htm,</SetText>,<NotText>,bak,</NotText>,q"_s));
    }
    // Bytes as \xHH; "to euc" from S-JIS, "to sjis" from EUC.
    void bytesBothWays_data()
    {
        TextTable::rows({ "way", "input", "output" }, R"(
ascii | to euc | index.html 1\t2 | index.html 1\t2
CR LF to LF | to euc | a\r\nb\r\n | a\nb\n
lone CR keeps the break | to euc | a\rb\r | a\nb\n
CR CR LF | to euc | a\r\r\nb | a\n\nb
user-defined gives geta | to euc | \xf0\x40\x41 | \xa2\xae\x41
lead 0xFC gives geta | to euc | \xfc\xfc | \xa2\xae
trail 0xFD gives geta | to euc | \x88\xfd\n | \xa2\xae\n
lead then LF stays single | to euc | \x82\n | \x82\n
lead cut short at end | to euc | A\x82 | A\x82
0x80 copied | to euc | \x80A | \x80A
kana then kanji | to euc | \xb6\xde\x8a\xbf | \x8e\xb6\x8e\xde\xb4\xc1
LF to CR LF | to sjis | a\nb\n | a\r\nb\r\n
CR LF kept | to sjis | a\r\nb | a\r\nb
lone CR to CR LF | to sjis | a\rb\r | a\r\nb\r\n
LF LF, LF CR | to sjis | \n\n\n\r | \r\n\r\n\r\n\r\n
0xFF gives geta | to sjis | \xff\xa1A | \x81\xacA
kana cut short | to sjis | A\x8e | A
kanji cut short | to sjis | A\xa4 | A\x82
)");
    }
    void bytesBothWays()
    {
        QFETCH(QString, way);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QCOMPARE((way == u"to euc"_s ? sjisToEuc(input.toLatin1()) : eucToSjis(input.toLatin1())).toHex(' '),
            output.toLatin1().toHex(' '));
    }

    void everyCharacterAgainstIconv()
    {
        // Every JIS X 0208 position, one a line, both ways: the arithmetic is the code position
        // itself, so every position maps, and back.
        QByteArray sjisLines, eucLines;
        QList<QByteArray> sjisChars, eucChars;
        for (int row = 1; row <= 94; ++row) {
            for (int cell = 1; cell <= 94; ++cell) {
                const int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
                // Odd rows take the lower half of the trail bytes, skipping 0x7F.
                sjisChars << bytes({ lead, row % 2 ? cell + (cell <= 63 ? 0x3F : 0x40) : cell + 0x9E });
                eucChars << bytes({ row + 0xA0, cell + 0xA0 });
                QCOMPARE(sjisToEuc(sjisChars.last()).toHex() + eucToSjis(eucChars.last()).toHex(),
                    eucChars.last().toHex() + sjisChars.last().toHex());
                sjisLines += sjisChars.last() + '\n';
                eucLines += eucChars.last() + '\n';
            }
        }
        for (int kana = 0xA1; kana <= 0xDF; ++kana)
            QCOMPARE(sjisToEuc(bytes({ kana })) + eucToSjis(bytes({ 0x8E, kana })), bytes({ 0x8E, kana, kana }));
        const QList<QByteArray> eucByIconv = iconvLines(sjisLines, "CP932", "EUC-JP");
        const QList<QByteArray> sjisByIconv = iconvLines(eucLines, "EUC-JP", "CP932");
        QCOMPARE(eucByIconv.size() + sjisByIconv.size(), 2 * sjisChars.size() + 2);
        int compared = 0;
        for (qsizetype i = 0; i < sjisChars.size(); ++i) {
            // Rows 1 to 8 and 16 to 84, where both encodings agree with glibc; only characters
            // defined in both (iconv maps them back), and not the few CP932 took from other
            // Unicode points (the wave dash becomes a JIS X 0212 tilde in glibc).
            const qsizetype row = i / 94 + 1;
            if (row > 84 || (row > 8 && row < 16) || sjisByIconv[i].isEmpty())
                continue;
            QCOMPARE(eucToSjis(eucChars[i]).toHex(), sjisByIconv[i].toHex());
            ++compared;
            if (!eucByIconv[i].isEmpty() && !eucByIconv[i].startsWith('\x8F')) {
                QCOMPARE(sjisToEuc(sjisChars[i]).toHex(), eucByIconv[i].toHex());
                ++compared;
            }
        }
        // JIS X 0208 holds 6,879 characters; glibc maps nearly all of them both ways.
        QVERIFY2(compared > 2 * 6870, qPrintable(QString::number(compared)));
    }

    void kanaWidth_data()
    {
        TextTable::rows({ "way", "input", "expected" }, R"(
ka and mark stay apart | widen | ｶﾞ | カﾞ
a to n | widen | ｱｲｳﾝ | アイウン
outside the range | widen | ｦｧｯｰﾟ｡ | ｦｧｯｰﾟ｡
ga narrowed | narrow | ガ | ｶﾞ
pa narrowed | narrow | パポ | ﾊﾟﾎﾟ
small kana narrowed | narrow | ィッャヲン | ｨｯｬｦﾝ
no half-width form | narrow | ヮヰヱ | ヮヰヱ
outside the range narrowed | narrow | ァヴー漢a | ァヴー漢a
)");
    }
    void kanaWidth()
    {
        QFETCH(QString, way);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const bool widen = way == u"widen"_s;
        QCOMPARE(widen ? halfKanaToFullText(input) : fullKanaToHalfText(input), expected);
        // The file form: lines joined with CR LF, one CR LF at the end, CP932.
        const QByteArray text = Cp932::encode(QString(input + u"\nx\r\n"_s));
        QCOMPARE(Cp932::decode(widen ? halfKanaToFull(text) : fullKanaToHalf(text)), expected + u"\r\nx\r\n"_s);
    }

    void fileConversions()
    {
        QTemporaryDir dir;
        const QString sjis = dir.filePath(u"sjis.txt"_s), euc = dir.filePath(u"euc.txt"_s),
                      back = dir.filePath(u"back.txt"_s);
        const QByteArray original = Cp932::encode(u"日本語のﾃｷｽﾄ\r\nline 2\r\n"_s);
        // An existing, longer output leaves no trace of its tail; converting onto the input itself
        // works, as the input is read whole first.
        QVERIFY(writeBytes(sjis, original) && writeBytes(euc, QByteArray(4096, 'z')));
        QVERIFY(SjisFileToEuc(sjis, euc) && EucFileToSjis(euc, back));
        QCOMPARE(readBytes(euc) + readBytes(back), sjisToEuc(original) + original);
        QVERIFY(SjisFileToEuc(back, back));
        QCOMPARE(readBytes(back), readBytes(euc));
        const QString half = dir.filePath(u"half.txt"_s), full = dir.filePath(u"full.txt"_s);
        QVERIFY(writeBytes(half, Cp932::encode(u"ｶﾞｲﾄﾞ\r\nﾎﾟｰﾄ"_s)) && writeBytes(full, QByteArray(1000, 'z')));
        QVERIFY(HalfKanaToFull(half, full));
        QCOMPARE(Cp932::decode(readBytes(full)), u"カﾞイトﾞ\r\nホﾟｰト\r\n"_s);
        QVERIFY(FullKanaToHalf(full, half));
        QCOMPARE(Cp932::decode(readBytes(half)), u"ｶﾞｲﾄﾞ\r\nﾎﾟｰﾄ\r\n"_s);
        // Empty files stay empty, whatever the output held.
        QVERIFY(writeBytes(sjis, QByteArray()));
        for (auto convert : { &SjisFileToEuc, &HalfKanaToFull, &FullKanaToHalf }) {
            QVERIFY(writeBytes(euc, "old content") && convert(sjis, euc));
            QCOMPARE(readBytes(euc), QByteArray());
        }
        QVERIFY(writeBytes(euc, "old content") && EucFileToSjis(sjis, euc));
        QCOMPARE(readBytes(euc), QByteArray());
    }

    void fileFailures()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(u"missing.txt"_s), out = dir.filePath(u"out.txt"_s),
                      in = dir.filePath(u"in.txt"_s);
        QVERIFY(writeBytes(out, "kept") && writeBytes(in, "abc\n"));
        Error error;
        QVERIFY(!EucFileToSjis(missing, out, &error));
        QCOMPARE(error.messageText() + eucErrorTitle(),
            u"ｴﾗｰNo.53\r\n\r\nファイルが見つかりません。EUC -> S-JIS変換 - エラー"_s);
        // A folder or a device is no text file (reading /dev/zero would never end).
        for (const QString& input : { dir.path(), u"/dev/zero"_s }) {
            error = {};
            QVERIFY(!EucFileToSjis(input, out, &error) && error.number == 75);
        }
        error = {};
        QVERIFY(!EucFileToSjis(in, dir.path(), &error) && error.number != 0);
        for (auto convert : { &SjisFileToEuc, &HalfKanaToFull, &FullKanaToHalf }) {
            // Inputs that cannot be read, outputs that cannot be written.
            for (const QString& input : { missing, QString(), dir.path(), u"/dev/zero"_s })
                QVERIFY(!convert(input, out));
            QVERIFY(!convert(in, dir.path()) && !convert(in, dir.filePath(u"no/such/folder/out.txt"_s)));
        }
        QCOMPARE(readBytes(out), QByteArray("kept"));
    }

    void largeFilesAcrossChunks()
    {
        // A megabyte at a time: a character or a line end cut by a chunk's end comes out as if the
        // file were converted whole.
        QTemporaryDir dir;
        const QString in = dir.filePath(u"big.txt"_s), out = dir.filePath(u"big.out"_s);
        const QByteArray tails[] = { bytes({ 0x82, 0xA0, 0x41 }), QByteArray("\r\nx"), QByteArray("\r\r"),
            bytes({ 0xB1, 0x0A }), bytes({ 0xA4, 0xA2, 0x0D }), bytes({ 0x8E, 0xB1 }), bytes({ 0x82 }) };
        for (qsizetype prefix = (1 << 20) - 2; prefix <= (1 << 20) + 1; ++prefix) {
            for (const QByteArray& tail : tails) {
                const QByteArray data = QByteArray(prefix, 'a') + tail + tail;
                QVERIFY(writeBytes(in, data) && SjisFileToEuc(in, out));
                QVERIFY2(readBytes(out) == sjisToEuc(data), tail.toHex().constData());
                QVERIFY(EucFileToSjis(in, out));
                QVERIFY2(readBytes(out) == eucToSjis(data), tail.toHex().constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTransferRules)
#include "tst_transferrules.moc"
