#include "core/app/codepage.h"
#include "core/app/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestTextFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cp932RoundTrip_data();
    void cp932RoundTrip();
    void hostileBytesDecode();
    void unencodableBecomesQuestionMark();
    void splitLines_data();
    void splitLines();
    void writeIsCp932CrLfAndPrivate();
    void failedWriteKeepsOldFile();
};

void TestTextFiles::cp932RoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("hiragana") << QByteArray("\x82\xa0") << QStringLiteral("あ");
    QTest::newRow("half-width katakana tag") << QByteArray("<\xcc\xa7\xb2\xd9>") << QStringLiteral("<ﾌｧｲﾙ>");
    QTest::newRow("NEC circled digit") << QByteArray("\x87\x40") << QStringLiteral("①");
    QTest::newRow("ideographic space") << QByteArray("\x81\x40") << QStringLiteral("\u3000");
    QTest::newRow("wave dash is fullwidth tilde") << QByteArray("\x81\x60") << QStringLiteral("\uFF5E");
}

void TestTextFiles::cp932RoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Cp932::decode(bytes), text);
    QCOMPARE(Cp932::encode(text), bytes);
}

void TestTextFiles::hostileBytesDecode()
{
    // A lead byte at the end, an undefined lead byte, and a lone trail byte in the middle.
    QCOMPARE(Cp932::decode(QByteArray("ab\x82")), QStringLiteral("ab\uFFFD"));
    QCOMPARE(Cp932::decode(QByteArray("\xa0x")).size(), 2);
    const QString s = Cp932::decode(QByteArray("\x82\xa0\xff\x82\xa2"));
    QCOMPARE(s, QStringLiteral("あ\uFFFDい"));
}

void TestTextFiles::unencodableBecomesQuestionMark()
{
    QCOMPARE(Cp932::encode(QStringLiteral("a\U0001F600b한")), QByteArray("a?b?"));
    QVERIFY(!Cp932::canEncode(QStringLiteral("한")));
    QVERIFY(Cp932::canEncode(QStringLiteral("日本語ﾃｽﾄ")));
}

void TestTextFiles::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << QStringLiteral("a\r\nb\r\n") << QStringList { "a", "b" };
    QTest::newRow("no final line end") << QStringLiteral("a\r\nb") << QStringList { "a", "b" };
    QTest::newRow("empty lines kept") << QStringLiteral("a\r\n\r\nb\r\n") << QStringList { "a", "", "b" };
    QTest::newRow("lone lf and cr") << QStringLiteral("a\nb\rc") << QStringList { "a", "b", "c" };
    QTest::newRow("blanks kept") << QStringLiteral("  <パッシブ> \r\n") << QStringList { "  <パッシブ> " };
}

void TestTextFiles::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(TextFile::splitLines(text), lines);
}

void TestTextFiles::writeIsCp932CrLfAndPrivate()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ftpset.ini"));
    QVERIFY(TextFile::writeLines(path, { QStringLiteral("<パッシブ>"), QStringLiteral("ON") }, nullptr, TextFile::OwnerOnly));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("<\x83p\x83\x62\x83V\x83\x75>\r\nON\r\n"));
    QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther), QFileDevice::Permissions());
    QCOMPARE(*TextFile::readLines(path), (QStringList { QStringLiteral("<パッシブ>"), QStringLiteral("ON") }));
}

void TestTextFiles::failedWriteKeepsOldFile()
{
    // A folder standing where the file should be: the write fails (also for root) and says so.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ftpset.ini"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ftpset.ini")));
    QString error;
    QVERIFY(!TextFile::writeLines(path, { QStringLiteral("new") }, &error));
    QVERIFY(error.contains(QStringLiteral("書き込めません")));
    QVERIFY(QFileInfo(path).isDir());
}

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
