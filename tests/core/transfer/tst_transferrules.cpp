#include "core/app/codepage.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"
#include "core/transfer/textconvert.h"
#include "support/settingsfiles.h"
#include "support/texttable.h"

#include <QAbstractItemModelTester>
#include <QFile>
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

    // The mode switch: "-", all ASCII or all binary.
    void typeAndSendable_data()
    {
        TextTable::rows({ "text", "never", "mode", "names", "result" }, R"(
matching ignores case | $T | $N | - | index.HTML | ascii
last extension decides | $T | $N | - | page.html.gz | binary
no extension or a trailing dot is binary | $T | $N | - | README,name. | binary,binary
all binary beats the list | $T | $N | binary | index.html | binary
entry with a leading dot never matches | .txt | $N | - | a.txt | binary
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
empty text block: every file binary | <SetText>,</SetText>,<NotText>,$N,</NotText> | - | $N | =
no SetText: defaults appended and saved | $P | $T | $N | $P,<SetText>,$T,</SetText>,<NotText>,$N,</NotText>
no SetText but NotText: one NotText block | <NotText>,old,</NotText>,x | $T | $N | <NotText>,$N,</NotText>,x,<SetText>,$T,</SetText>
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

    void addAndDeleteEntries()
    {
        load(list(u"<SetText>,txt,</SetText>,x,</SetText>"_s));
        QVERIFY(!m_rules->addTextExtension(u"   "_s) && !QFile::exists(m_dir->filePath(u"ftpset.ini"_s)));
        QVERIFY(m_rules->addTextExtension(u" php "_s));
        QVERIFY(m_rules->addNeverSendExtension(u"old"_s)); // no block yet
        checkSaved(list(u"<SetText>,txt,php,</SetText>,x,</SetText>,<NotText>,old,</NotText>"_s));
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
CR LF to LF | to euc | a\r\nb\r\n | a\nb\n
user-defined gives geta | to euc | \xf0\x40\x41 | \xa2\xae\x41
lead then LF stays single | to euc | \x82\n | \x82\n
kana then kanji | to euc | \xb6\xde\x8a\xbf | \x8e\xb6\x8e\xde\xb4\xc1
around the skipped trail byte 0x7F | to euc | \x81\x7e\x81\x80 | \xa1\xdf\xa1\xe0
second-level kanji, odd and even row | to sjis | \xdf\xa1\xe0\xfe | \xe0\x40\xe0\xfc
LF to CR LF | to sjis | a\nb\n | a\r\nb\r\n
lone CR to CR LF | to sjis | a\rb\r | a\r\nb\r\n
0xFF gives geta | to sjis | \xff\xa1A | \x81\xacA
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

    void everyJisPositionRoundTrips()
    {
        for (int row = 0xA1; row <= 0xFE; ++row)
            for (int cell = 0xA1; cell <= 0xFE; ++cell)
                QCOMPARE(sjisToEuc(eucToSjis(bytes({ row, cell }))).toHex(), bytes({ row, cell }).toHex());
        for (int kana = 0xA1; kana <= 0xDF; ++kana)
            QCOMPARE(sjisToEuc(bytes({ kana })) + eucToSjis(bytes({ 0x8E, kana })), bytes({ 0x8E, kana, kana }));
    }

    void kanaWidth_data()
    {
        TextTable::rows({ "way", "input", "expected" }, R"(
ka and mark stay apart | widen | ｶﾞ | カﾞ
ga narrowed | narrow | ガ | ｶﾞ
no half-width form | narrow | ヮヰヱ | ヮヰヱ
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
        // An empty file empties the output.
        QVERIFY(writeBytes(sjis, QByteArray()) && FullKanaToHalf(sjis, half) && EucFileToSjis(sjis, euc));
        QCOMPARE(readBytes(half) + readBytes(euc), QByteArray());
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
        QVERIFY(!SjisFileToEuc(u"/dev/zero"_s, out) && !FullKanaToHalf(dir.path(), out));
        QVERIFY(!HalfKanaToFull(in, dir.path()) && !EucFileToSjis(in, dir.filePath(u"no/such/out.txt"_s)));
        QCOMPARE(readBytes(out), QByteArray("kept"));
    }

    void largeFilesAcrossChunks()
    {
        // Read a megabyte at a time: a character or a CR LF cut by a chunk's end comes out whole.
        QTemporaryDir dir;
        const QString in = dir.filePath(u"big.txt"_s), out = dir.filePath(u"big.out"_s);
        for (const QByteArray& tail : { bytes({ 0x82, 0xA0 }), QByteArray("\r\n"), bytes({ 0x8E, 0xB1 }) }) {
            const QByteArray data = QByteArray((1 << 20) - 1, 'a') + tail + tail;
            QVERIFY(writeBytes(in, data) && SjisFileToEuc(in, out) && readBytes(out) == sjisToEuc(data));
            QVERIFY(EucFileToSjis(in, out) && readBytes(out) == eucToSjis(data));
        }
    }
};

QTEST_GUILESS_MAIN(TestTransferRules)
#include "tst_transferrules.moc"
