#include "core/app/codepage.h"
#include "core/transfer/textconvert.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace TextConvert;
using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArrayLiteral("<missing>");
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size());
}

// glibc iconv over a whole buffer; -c drops what it cannot map, so callers keep one character
// a line and skip the lines that come back empty.
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

class TestTextConvert : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sjisToEuc_data()
    {
        QTest::addColumn<QByteArray>("sjis");
        QTest::addColumn<QByteArray>("euc");
        QTest::newRow("ascii") << QByteArray("index.html 1\t2") << QByteArray("index.html 1\t2");
        QTest::newRow("CR LF to LF") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
        QTest::newRow("lone CR keeps the break") << QByteArray("a\rb\r") << QByteArray("a\nb\n");
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArray("a\n\nb");
        QTest::newRow("user-defined gives geta") << bytes({ 0xF0, 0x40, 0x41 }) << bytes({ 0xA2, 0xAE, 0x41 });
        QTest::newRow("lead 0xFC gives geta") << bytes({ 0xFC, 0xFC }) << bytes({ 0xA2, 0xAE });
        QTest::newRow("trail 0xFD gives geta") << bytes({ 0x88, 0xFD, 0x0A }) << bytes({ 0xA2, 0xAE, 0x0A });
        QTest::newRow("lead then LF stays single") << bytes({ 0x82, 0x0A }) << bytes({ 0x82, 0x0A });
        QTest::newRow("lead cut short at end") << bytes({ 0x41, 0x82 }) << bytes({ 0x41, 0x82 });
        QTest::newRow("0x80 copied") << bytes({ 0x80, 0x41 }) << bytes({ 0x80, 0x41 });
        QTest::newRow("kana then kanji") << bytes({ 0xB6, 0xDE, 0x8A, 0xBF })
                                         << bytes({ 0x8E, 0xB6, 0x8E, 0xDE, 0xB4, 0xC1 });
    }
    void sjisToEuc()
    {
        QFETCH(QByteArray, sjis);
        QFETCH(QByteArray, euc);
        QCOMPARE(TextConvert::sjisToEuc(sjis).toHex(' '), euc.toHex(' '));
    }

    void eucToSjis_data()
    {
        QTest::addColumn<QByteArray>("euc");
        QTest::addColumn<QByteArray>("sjis");
        QTest::newRow("LF to CR LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << QByteArray("a\r\nb");
        QTest::newRow("lone CR to CR LF") << QByteArray("a\rb\r") << QByteArray("a\r\nb\r\n");
        QTest::newRow("LF LF") << QByteArray("\n\n") << QByteArray("\r\n\r\n");
        QTest::newRow("LF CR") << QByteArray("\n\r") << QByteArray("\r\n\r\n");
        QTest::newRow("0xFF gives geta") << bytes({ 0xFF, 0xA1, 0x41 }) << bytes({ 0x81, 0xAC, 0x41 });
        QTest::newRow("kana cut short") << bytes({ 0x41, 0x8E }) << QByteArray("A");
        QTest::newRow("kanji cut short") << bytes({ 0x41, 0xA4 }) << bytes({ 0x41, 0x82 });
    }
    void eucToSjis()
    {
        QFETCH(QByteArray, euc);
        QFETCH(QByteArray, sjis);
        QCOMPARE(TextConvert::eucToSjis(euc).toHex(' '), sjis.toHex(' '));
    }

    void everyCharacterAgainstIconv()
    {
        // Every JIS X 0208 position, one a line, both directions: the arithmetic is the code
        // position itself, so every position maps, and back.
        QByteArray sjisLines, eucLines;
        QList<QByteArray> sjisChars, eucChars;
        for (int row = 1; row <= 94; ++row) {
            for (int cell = 1; cell <= 94; ++cell) {
                const int lead = row <= 62 ? (row + 1) / 2 + 0x80 : (row + 1) / 2 + 0xC0;
                // Odd rows take the lower half of the trail bytes, skipping 0x7F.
                const int trail = row % 2 ? cell + (cell <= 63 ? 0x3F : 0x40) : cell + 0x9E;
                sjisChars.append(bytes({ lead, trail }));
                eucChars.append(bytes({ row + 0xA0, cell + 0xA0 }));
                QCOMPARE(TextConvert::sjisToEuc(sjisChars.last()).toHex(), eucChars.last().toHex());
                QCOMPARE(TextConvert::eucToSjis(eucChars.last()).toHex(), sjisChars.last().toHex());
                sjisLines += sjisChars.last() + '\n';
                eucLines += eucChars.last() + '\n';
            }
        }
        for (int kana = 0xA1; kana <= 0xDF; ++kana) {
            QCOMPARE(TextConvert::sjisToEuc(bytes({ kana })), bytes({ 0x8E, kana }));
            QCOMPARE(TextConvert::eucToSjis(bytes({ 0x8E, kana })), bytes({ kana }));
        }
        const QList<QByteArray> eucByIconv = iconvLines(sjisLines, "CP932", "EUC-JP");
        const QList<QByteArray> sjisByIconv = iconvLines(eucLines, "EUC-JP", "CP932");
        QCOMPARE(eucByIconv.size(), sjisChars.size() + 1);
        QCOMPARE(sjisByIconv.size(), eucChars.size() + 1);
        int compared = 0;
        for (qsizetype i = 0; i < sjisChars.size(); ++i) {
            // Rows 1 to 8 and 16 to 84, where both encodings agree with glibc; only characters
            // defined in both (iconv maps them back), and not the few CP932 took from other
            // Unicode points (the wave dash becomes a JIS X 0212 tilde in glibc).
            const qsizetype row = i / 94 + 1;
            if (row > 84 || (row > 8 && row < 16))
                continue;
            if (!sjisByIconv[i].isEmpty() && !eucByIconv[i].isEmpty() && !eucByIconv[i].startsWith('\x8F')) {
                QCOMPARE(TextConvert::sjisToEuc(sjisChars[i]).toHex(), eucByIconv[i].toHex());
                ++compared;
            }
            if (!sjisByIconv[i].isEmpty()) {
                QCOMPARE(TextConvert::eucToSjis(eucChars[i]).toHex(), sjisByIconv[i].toHex());
                ++compared;
            }
        }
        // JIS X 0208 holds 6,879 characters; glibc maps nearly all of them both ways.
        QVERIFY2(compared > 2 * 6870, qPrintable(QString::number(compared)));
    }

    void kanaWidth_data()
    {
        QTest::addColumn<bool>("widen");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ka and mark stay apart") << true << u"ｶﾞ"_s << u"カﾞ"_s;
        QTest::newRow("a to n") << true << u"ｱｲｳﾝ"_s << u"アイウン"_s;
        QTest::newRow("outside the range") << true << u"ｦｧｯｰﾟ｡"_s << u"ｦｧｯｰﾟ｡"_s;
        QTest::newRow("ga narrowed") << false << u"ガ"_s << u"ｶﾞ"_s;
        QTest::newRow("pa narrowed") << false << u"パポ"_s << u"ﾊﾟﾎﾟ"_s;
        QTest::newRow("small kana narrowed") << false << u"ィッャヲン"_s << u"ｨｯｬｦﾝ"_s;
        QTest::newRow("no half-width form") << false << u"ヮヰヱ"_s << u"ヮヰヱ"_s;
        QTest::newRow("outside the range narrowed") << false << u"ァヴー漢a"_s << u"ァヴー漢a"_s;
    }
    void kanaWidth()
    {
        QFETCH(bool, widen);
        QFETCH(QString, input);
        QFETCH(QString, expected);
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
        writeFile(sjis, original);
        // An existing, longer output leaves no trace of its tail.
        writeFile(euc, QByteArray(4096, 'z'));
        QVERIFY(SjisFileToEuc(sjis, euc));
        QCOMPARE(readFile(euc), TextConvert::sjisToEuc(original));
        QVERIFY(EucFileToSjis(euc, back));
        QCOMPARE(readFile(back), original);
        // Converting onto the input itself works: the input is read whole first.
        QVERIFY(SjisFileToEuc(back, back));
        QCOMPARE(readFile(back), readFile(euc));

        const QString half = dir.filePath(u"half.txt"_s), full = dir.filePath(u"full.txt"_s);
        writeFile(half, Cp932::encode(u"ｶﾞｲﾄﾞ\r\nﾎﾟｰﾄ"_s));
        writeFile(full, QByteArray(1000, 'z'));
        QVERIFY(HalfKanaToFull(half, full));
        QCOMPARE(Cp932::decode(readFile(full)), u"カﾞイトﾞ\r\nホﾟｰト\r\n"_s);
        QVERIFY(FullKanaToHalf(full, half));
        QCOMPARE(Cp932::decode(readFile(half)), u"ｶﾞｲﾄﾞ\r\nﾎﾟｰﾄ\r\n"_s);

        // Empty files stay empty, whatever the output held.
        writeFile(sjis, QByteArray());
        for (auto convert : { &SjisFileToEuc, &HalfKanaToFull, &FullKanaToHalf }) {
            writeFile(euc, "old content");
            QVERIFY(convert(sjis, euc));
            QCOMPARE(readFile(euc), QByteArray());
        }
        writeFile(euc, "old content");
        QVERIFY(EucFileToSjis(sjis, euc));
        QCOMPARE(readFile(euc), QByteArray());
    }

    void fileFailures()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(u"missing.txt"_s), out = dir.filePath(u"out.txt"_s),
                      in = dir.filePath(u"in.txt"_s);
        writeFile(out, "kept");
        writeFile(in, "abc\n");
        Error error;
        QVERIFY(!EucFileToSjis(missing, out, &error));
        QCOMPARE(error.messageText(), u"ｴﾗｰNo.53\r\n\r\nファイルが見つかりません。"_s);
        QCOMPARE(eucErrorTitle(), u"EUC -> S-JIS変換 - エラー"_s);
        // A folder or a device is no text file (reading /dev/zero would never end).
        for (const QString& input : { dir.path(), u"/dev/zero"_s }) {
            error = {};
            QVERIFY(!EucFileToSjis(input, out, &error));
            QCOMPARE(error.number, 75);
        }
        for (auto convert : { &SjisFileToEuc, &HalfKanaToFull, &FullKanaToHalf }) {
            for (const QString& input : { missing, QString(), dir.path(), u"/dev/zero"_s })
                QVERIFY(!convert(input, out));
            // Outputs that cannot be written.
            QVERIFY(!convert(in, dir.path()));
            QVERIFY(!convert(in, dir.filePath(u"no/such/folder/out.txt"_s)));
        }
        error = {};
        QVERIFY(!EucFileToSjis(in, dir.path(), &error));
        QVERIFY(error.number != 0);
        QCOMPARE(readFile(out), QByteArray("kept"));
    }

    void largeFilesAcrossChunks()
    {
        // Files are converted a megabyte at a time: a character or a line end cut by a chunk's end
        // must come out as if the file were converted whole.
        QTemporaryDir dir;
        const QString in = dir.filePath(u"big.txt"_s), out = dir.filePath(u"big.out"_s);
        const qsizetype chunk = qsizetype(1) << 20;
        const QByteArray tails[] = { bytes({ 0x82, 0xA0, 0x41 }), QByteArray("\r\nx"), QByteArray("\r\r"),
            bytes({ 0xB1, 0x0A }), bytes({ 0xA4, 0xA2, 0x0D }), bytes({ 0x8E, 0xB1 }), bytes({ 0x82 }) };
        for (qsizetype prefix = chunk - 2; prefix <= chunk + 1; ++prefix) {
            for (const QByteArray& tail : tails) {
                const QByteArray data = QByteArray(prefix, 'a') + tail + tail;
                writeFile(in, data);
                QVERIFY(SjisFileToEuc(in, out));
                QVERIFY2(readFile(out) == TextConvert::sjisToEuc(data), tail.toHex().constData());
                QVERIFY(EucFileToSjis(in, out));
                QVERIFY2(readFile(out) == TextConvert::eucToSjis(data), tail.toHex().constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTextConvert)
#include "tst_textconvert.moc"
