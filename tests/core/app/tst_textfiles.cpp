#include "core/app/codepage.h"
#include "core/app/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// CP932 text and the CR LF text files shared with the first platform.
class TestTextFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cp932_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("roundTrip");
        QTest::newRow("ascii") << QByteArray("abc") << u"abc"_s << true;
        QTest::newRow("hiragana") << QByteArray("\x82\xa0") << u"あ"_s << true;
        QTest::newRow("half-width katakana tag") << QByteArray("<\xcc\xa7\xb2\xd9>") << u"<ﾌｧｲﾙ>"_s << true;
        QTest::newRow("NEC circled digit") << QByteArray("\x87\x40") << u"①"_s << true;
        QTest::newRow("ideographic space") << QByteArray("\x81\x40") << u"\u3000"_s << true;
        QTest::newRow("wave dash is fullwidth tilde") << QByteArray("\x81\x60") << u"\uFF5E"_s << true;
        QTest::newRow("lead byte at the end") << QByteArray("ab\x82") << u"ab\uFFFD"_s << false;
        QTest::newRow("undefined lead byte") << QByteArray("\xa0x") << u"\uFFFDx"_s << false;
        QTest::newRow("bad byte in the middle") << QByteArray("\x82\xa0\xff\x82\xa2") << u"あ\uFFFDい"_s << false;
    }
    void cp932()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, roundTrip);
        QCOMPARE(Cp932::decode(bytes), text);
        if (roundTrip)
            QCOMPARE(Cp932::encode(text), bytes);
    }

    void unencodableBecomesQuestionMark()
    {
        QCOMPARE(Cp932::encode(u"a\U0001F600b한"_s), QByteArray("a?b?"));
        QVERIFY(!Cp932::canEncode(u"한"_s));
        QVERIFY(Cp932::canEncode(u"日本語ﾃｽﾄ"_s));
    }

    void splitLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("crlf") << u"a\r\nb\r\n"_s << QStringList { "a", "b" };
        QTest::newRow("no final line end") << u"a\r\nb"_s << QStringList { "a", "b" };
        QTest::newRow("empty lines kept") << u"a\r\n\r\nb\r\n"_s << QStringList { "a", "", "b" };
        QTest::newRow("lone lf and cr") << u"a\nb\rc"_s << QStringList { "a", "b", "c" };
        QTest::newRow("blanks kept") << u"  <パッシブ> \r\n"_s << QStringList { u"  <パッシブ> "_s };
    }
    void splitLines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(TextFile::splitLines(text), lines);
    }

    void writeIsCp932CrLfAndPrivate()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"ftpset.ini"_s);
        QVERIFY(TextFile::writeLines(path, { u"<パッシブ>"_s, u"ON"_s }, nullptr, TextFile::OwnerOnly));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("<\x83p\x83\x62\x83V\x83\x75>\r\nON\r\n"));
        QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
            QFileDevice::Permissions());
        QCOMPARE(*TextFile::readLines(path), (QStringList { u"<パッシブ>"_s, u"ON"_s }));
    }

    void failedWriteKeepsOldFile()
    {
        // A folder standing where the file should be: the write fails (also for root) and says so.
        QTemporaryDir dir;
        const QString path = dir.filePath(u"ftpset.ini"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"ftpset.ini"_s));
        QString error;
        QVERIFY(!TextFile::writeLines(path, { u"new"_s }, &error));
        QVERIFY(error.contains(u"書き込めません"_s));
        QVERIFY(QFileInfo(path).isDir());
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "tst_textfiles.moc"
