#include "core/app/codepage.h"
#include "core/transfer/textconvert.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace TextConvert;
using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (int v : list)
        b.append(static_cast<char>(v));
    return b;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

// glibc iconv over a whole buffer; -c drops what it cannot map, so callers keep one character
// a line and skip the lines that come back empty.
std::optional<QByteArray> iconv(const QByteArray& input, const char* from, const char* to)
{
    if (QStandardPaths::findExecutable(QStringLiteral("iconv")).isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(QStringLiteral("iconv"),
        { QStringLiteral("-c"), QStringLiteral("-f"), QLatin1String(from), QStringLiteral("-t"), QLatin1String(to) });
    if (!p.waitForStarted())
        return std::nullopt;
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

// Rows 1 to 8 and 16 to 84 of JIS X 0208, where both encodings agree with glibc.
bool isJisRow(int row) { return (row >= 1 && row <= 8) || (row >= 16 && row <= 84); }

QByteArray sjisOf(int row, int cell)
{
    const int lead = row <= 62 ? (row + 1) / 2 + 0x80 : (row + 1) / 2 + 0xC0;
    int trail;
    if (row % 2) // odd rows take the lower half of the trail bytes
        trail = cell + (cell <= 63 ? 0x3F : 0x40);
    else
        trail = cell + 0x9E;
    return bytes({ lead, trail });
}

} // namespace

class TestTextConvert : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sjisToEuc_data();
    void sjisToEuc();
    void eucToSjis_data();
    void eucToSjis();
    void kanaWidth_data();
    void kanaWidth();
    void fileConversions();
    void fileFailures();
    void emptyFiles();
    void largeFilesAcrossChunks();
    void againstIconvEveryCharacter();
    void realTextRoundTrip();
};

void TestTextConvert::sjisToEuc_data()
{
    QTest::addColumn<QByteArray>("sjis");
    QTest::addColumn<QByteArray>("euc");
    QTest::newRow("hiragana a") << bytes({ 0x82, 0xA0 }) << bytes({ 0xA4, 0xA2 });
    QTest::newRow("half-width a") << bytes({ 0xB1 }) << bytes({ 0x8E, 0xB1 });
    QTest::newRow("ascii") << QByteArray("index.html 1\t2") << QByteArray("index.html 1\t2");
    QTest::newRow("CR LF to LF") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
    QTest::newRow("lone CR keeps the break") << QByteArray("a\rb\r") << QByteArray("a\nb\n");
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArray("a\n\nb");
    QTest::newRow("lower trail, lead 0x81") << bytes({ 0x81, 0x40 }) << bytes({ 0xA1, 0xA1 });
    QTest::newRow("trail 0x80 skips the gap") << bytes({ 0x81, 0x80 }) << bytes({ 0xA1, 0xE0 });
    QTest::newRow("lead 0xE0") << bytes({ 0xE0, 0x40 }) << bytes({ 0xDF, 0xA1 });
    QTest::newRow("lead 0xEA upper trail") << bytes({ 0xEA, 0xA4 }) << bytes({ 0xF4, 0xA6 });
    QTest::newRow("user-defined gives geta") << bytes({ 0xF0, 0x40, 0x41 }) << bytes({ 0xA2, 0xAE, 0x41 });
    QTest::newRow("lead 0xFC gives geta") << bytes({ 0xFC, 0xFC }) << bytes({ 0xA2, 0xAE });
    QTest::newRow("trail 0xFD gives geta") << bytes({ 0x88, 0xFD, 0x0A }) << bytes({ 0xA2, 0xAE, 0x0A });
    QTest::newRow("lead then LF stays single") << bytes({ 0x82, 0x0A }) << bytes({ 0x82, 0x0A });
    QTest::newRow("lead cut short at end") << bytes({ 0x41, 0x82 }) << bytes({ 0x41, 0x82 });
    QTest::newRow("0x80 copied") << bytes({ 0x80, 0x41 }) << bytes({ 0x80, 0x41 });
    QTest::newRow("kana then kanji") << bytes({ 0xB6, 0xDE, 0x8A, 0xBF })
                                     << bytes({ 0x8E, 0xB6, 0x8E, 0xDE, 0xB4, 0xC1 });
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestTextConvert::sjisToEuc()
{
    QFETCH(QByteArray, sjis);
    QFETCH(QByteArray, euc);
    QCOMPARE(TextConvert::sjisToEuc(sjis).toHex(' '), euc.toHex(' '));
}

void TestTextConvert::eucToSjis_data()
{
    QTest::addColumn<QByteArray>("euc");
    QTest::addColumn<QByteArray>("sjis");
    QTest::newRow("hiragana a") << bytes({ 0xA4, 0xA2 }) << bytes({ 0x82, 0xA0 });
    QTest::newRow("half-width a") << bytes({ 0x8E, 0xB1 }) << bytes({ 0xB1 });
    QTest::newRow("LF to CR LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("lone CR to CR LF") << QByteArray("a\rb\r") << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF LF") << QByteArray("\n\n") << QByteArray("\r\n\r\n");
    QTest::newRow("LF CR") << QByteArray("\n\r") << QByteArray("\r\n\r\n");
    QTest::newRow("row 63 odd") << bytes({ 0xDF, 0xA1 }) << bytes({ 0xE0, 0x40 });
    QTest::newRow("cell 64 skips 0x7F") << bytes({ 0xA1, 0xE0 }) << bytes({ 0x81, 0x80 });
    QTest::newRow("even row") << bytes({ 0xF4, 0xA6 }) << bytes({ 0xEA, 0xA4 });
    QTest::newRow("0xFF gives geta") << bytes({ 0xFF, 0xA1, 0x41 }) << bytes({ 0x81, 0xAC, 0x41 });
    QTest::newRow("kana cut short") << bytes({ 0x41, 0x8E }) << QByteArray("A");
    QTest::newRow("kanji cut short") << bytes({ 0x41, 0xA4 }) << bytes({ 0x41, 0x82 });
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestTextConvert::eucToSjis()
{
    QFETCH(QByteArray, euc);
    QFETCH(QByteArray, sjis);
    QCOMPARE(TextConvert::eucToSjis(euc).toHex(' '), sjis.toHex(' '));
}

void TestTextConvert::kanaWidth_data()
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

void TestTextConvert::kanaWidth()
{
    QFETCH(bool, widen);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(widen ? halfKanaToFullText(input) : fullKanaToHalfText(input), expected);
    // The file form: lines joined with CR LF, one CR LF at the end, CP932.
    const QByteArray text = Cp932::encode(QString(input + u"\nx\r\n"_s));
    const QByteArray converted = widen ? halfKanaToFull(text) : fullKanaToHalf(text);
    QCOMPARE(Cp932::decode(converted), expected + u"\r\nx\r\n"_s);
}

void TestTextConvert::fileConversions()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString sjis = dir.filePath(QStringLiteral("sjis.txt"));
    const QString euc = dir.filePath(QStringLiteral("euc.txt"));
    const QString back = dir.filePath(QStringLiteral("back.txt"));
    const QByteArray original = Cp932::encode(u"日本語のﾃｷｽﾄ\r\nline 2\r\n"_s);
    writeFile(sjis, original);
    // An existing, longer output leaves no trace of its tail.
    writeFile(euc, QByteArray(4096, 'z'));
    QVERIFY(SjisFileToEuc(sjis, euc));
    QCOMPARE(readFile(euc), TextConvert::sjisToEuc(original));
    QVERIFY(!readFile(euc).contains('\r'));
    QVERIFY(EucFileToSjis(euc, back));
    QCOMPARE(readFile(back), original);

    // Converting onto the input itself works: the input is read whole first.
    QVERIFY(SjisFileToEuc(back, back));
    QCOMPARE(readFile(back), readFile(euc));

    const QString half = dir.filePath(QStringLiteral("half.txt"));
    const QString full = dir.filePath(QStringLiteral("full.txt"));
    writeFile(half, Cp932::encode(u"ｶﾞｲﾄﾞ\r\nﾎﾟｰﾄ"_s));
    writeFile(full, QByteArray(1000, 'z'));
    QVERIFY(HalfKanaToFull(half, full));
    QCOMPARE(Cp932::decode(readFile(full)), u"カﾞイトﾞ\r\nホﾟｰト\r\n"_s);
    QVERIFY(FullKanaToHalf(full, half));
    QCOMPARE(Cp932::decode(readFile(half)), u"ｶﾞｲﾄﾞ\r\nﾎﾟｰﾄ\r\n"_s);
}

void TestTextConvert::fileFailures()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    writeFile(out, "kept");

    Error error;
    QVERIFY(!EucFileToSjis(missing, out, &error));
    QCOMPARE(error.number, 53);
    QCOMPARE(error.messageText(), u"ｴﾗｰNo.53\r\n\r\nファイルが見つかりません。"_s);
    QCOMPARE(eucErrorTitle(), u"EUC -> S-JIS変換 - エラー"_s);
    QVERIFY(!SjisFileToEuc(missing, out));
    QVERIFY(!HalfKanaToFull(missing, out));
    QVERIFY(!FullKanaToHalf(missing, out));
    QVERIFY(!SjisFileToEuc(QString(), out));
    QCOMPARE(readFile(out), QByteArray("kept"));

    // A folder as input, and outputs that cannot be written.
    const QString in = dir.filePath(QStringLiteral("in.txt"));
    writeFile(in, "abc\n");
    error = {};
    QVERIFY(!EucFileToSjis(dir.path(), out, &error));
    QCOMPARE(error.number, 75);
    error = {};
    QVERIFY(!EucFileToSjis(in, dir.path(), &error));
    QVERIFY(error.number != 0);
    QVERIFY(!SjisFileToEuc(in, dir.filePath(QStringLiteral("no/such/folder/out.txt"))));
    QVERIFY(!FullKanaToHalf(in, dir.path()));
    QCOMPARE(readFile(out), QByteArray("kept"));

    // A device is not a text file: reading /dev/zero would never end.
    if (QFile::exists(QStringLiteral("/dev/zero"))) {
        error = {};
        QVERIFY(!EucFileToSjis(QStringLiteral("/dev/zero"), out, &error));
        QCOMPARE(error.number, 75);
        QVERIFY(!SjisFileToEuc(QStringLiteral("/dev/zero"), out));
        QVERIFY(!HalfKanaToFull(QStringLiteral("/dev/zero"), out));
        QCOMPARE(readFile(out), QByteArray("kept"));
    }
}

void TestTextConvert::emptyFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString in = dir.filePath(QStringLiteral("empty.txt"));
    writeFile(in, QByteArray());
    using Converter = bool (*)(const QString&, const QString&);
    const Converter converters[] = {
        &SjisFileToEuc,
        [](const QString& a, const QString& b) { return EucFileToSjis(a, b); },
        &HalfKanaToFull,
        &FullKanaToHalf,
    };
    for (Converter convert : converters) {
        const QString out = dir.filePath(QStringLiteral("out.txt"));
        writeFile(out, "old content");
        QVERIFY(convert(in, out));
        QCOMPARE(readFile(out), QByteArray());
    }
}

void TestTextConvert::largeFilesAcrossChunks()
{
    // Files are converted a megabyte at a time: a character or a line end cut by a chunk's end
    // must come out as if the file were converted whole.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString in = dir.filePath(QStringLiteral("big.txt"));
    const QString out = dir.filePath(QStringLiteral("big.out"));
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

void TestTextConvert::againstIconvEveryCharacter()
{
    // Every JIS X 0208 position in the lead-byte ranges, one a line, both directions.
    QByteArray sjisLines;
    QByteArray eucLines;
    QList<QByteArray> sjisChars;
    QList<QByteArray> eucChars;
    for (int row = 1; row <= 94; ++row) {
        if (!isJisRow(row))
            continue;
        for (int cell = 1; cell <= 94; ++cell) {
            const QByteArray s = sjisOf(row, cell);
            const QByteArray e = bytes({ row + 0xA0, cell + 0xA0 });
            sjisChars.append(s);
            eucChars.append(e);
            sjisLines += s + '\n';
            eucLines += e + '\n';
        }
    }
    const std::optional<QByteArray> toEuc = iconv(sjisLines, "CP932", "EUC-JP");
    const std::optional<QByteArray> toSjis = iconv(eucLines, "EUC-JP", "CP932");
    if (!toEuc || !toSjis)
        QSKIP("iconv is not installed");
    const QList<QByteArray> eucByIconv = toEuc->split('\n');
    const QList<QByteArray> sjisByIconv = toSjis->split('\n');
    QCOMPARE(eucByIconv.size(), sjisChars.size() + 1);
    QCOMPARE(sjisByIconv.size(), eucChars.size() + 1);
    int compared = 0;
    for (qsizetype i = 0; i < sjisChars.size(); ++i) {
        // The arithmetic is the code position itself: every position maps, and back.
        QCOMPARE(TextConvert::sjisToEuc(sjisChars[i]).toHex(), eucChars[i].toHex());
        QCOMPARE(TextConvert::eucToSjis(eucChars[i]).toHex(), sjisChars[i].toHex());
        // Only defined characters (iconv maps them back), and not the few CP932 took from
        // other Unicode points (the wave dash becomes a JIS X 0212 tilde in glibc).
        const bool defined = !sjisByIconv[i].isEmpty();
        if (defined && !eucByIconv[i].isEmpty() && !eucByIconv[i].startsWith('\x8F')) {
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

void TestTextConvert::realTextRoundTrip()
{
    const QString text = u"<html><head><title>ようこそ、日本語のホームページへ</title></head>\r\n"
                         "<body>\r\n<p>漢字・ひらがな・カタカナ（全角）とﾊﾝｶｸｶﾀｶﾅ、記号「◎△□〒※」。</p>\r\n"
                         "<p>東京都千代田区　電話：０３‐１２３４‐５６７８</p>\r\n"
                         "<p>Ωαβγ ДЖЯ ┌─┐│└┘ 鬱蔑熙</p>\r\n</body></html>\r\n"_s;
    const QByteArray sjis = Cp932::encode(text);
    QVERIFY(!sjis.contains('?'));
    QByteArray withoutCr = sjis;
    withoutCr.replace("\r\n", "\n");
    const std::optional<QByteArray> oracle = iconv(withoutCr, "CP932", "EUC-JP");
    if (!oracle)
        QSKIP("iconv is not installed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.filePath(QStringLiteral("index.html"));
    const QString b = dir.filePath(QStringLiteral("index.euc"));
    const QString c = dir.filePath(QStringLiteral("index.back"));
    writeFile(a, sjis);
    QVERIFY(SjisFileToEuc(a, b));
    QCOMPARE(readFile(b), *oracle);
    QVERIFY(EucFileToSjis(b, c));
    QCOMPARE(readFile(c), sjis);
}

QTEST_GUILESS_MAIN(TestTextConvert)
#include "tst_textconvert.moc"
