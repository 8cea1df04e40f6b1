#include "core/app/appstate.h"
#include "core/app/folderanalysis.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

bool writeBytes(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

} // namespace

// The folder analysis over real folder trees on the disk.
class TestFolderAnalysis : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_site;
    AppState m_state;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_site = m_dir.filePath(u"site"_s);
        // Sizes are distinct, so the order of the largest files is fixed.
        const std::pair<const char*, qint64> files[] = {
            { "index.html", 1200 },
            { "diary.HTM", 300 },
            { "sub/page.html", 800 },
            { "sub/deep/more.html", 50 },
            { "img/a.gif", 5000 },
            { "img/b.GIF", 7000 },
            { "img/photo.jpeg", 90000 },
            { "README", 10 },
            { ".htaccess", 20 },
            { "archive.tar.gz", 40000 },
            { "dot.", 5 },
            { "empty.txt", 0 },
        };
        for (const auto& [name, size] : files)
            QVERIFY(writeBytes(m_site + u'/' + QLatin1String(name), size));
        QVERIFY(QDir().mkpath(m_site + u"/emptyfolder"_s));
        // A link back up would loop, a link out of the tree would count what is not in it.
        QVERIFY(QFile::link(m_site, m_site + u"/sub/loop"_s));
        QVERIFY(writeBytes(m_dir.filePath(u"outside.bin"_s), 123456));
        QVERIFY(QFile::link(m_dir.filePath(u"outside.bin"_s), m_site + u"/img/outside.bin"_s));
    }

    void countsEverythingBelowTheFolderOnce()
    {
        FolderAnalysis analysis(m_state);
        const FolderAnalysis::Result r = analysis.run(m_site);
        QVERIFY(r.found);
        QVERIFY(!r.stopped);
        QCOMPARE(r.files, 12);
        QCOMPARE(r.folders, 4); // sub, sub/deep, img, emptyfolder
        QCOMPARE(r.bytes, 1200 + 300 + 800 + 50 + 5000 + 7000 + 90000 + 10 + 20 + 40000 + 5 + 0);
        QCOMPARE(r.links, 2);

        QStringList byExtension;
        for (const auto& t : r.byExtension)
            byExtension << u"%1 %2 %3"_s.arg(t.extension).arg(t.files).arg(t.bytes);
        QCOMPARE(byExtension,
            QStringList({ u"jpeg 1 90000"_s, u"gz 1 40000"_s, u"gif 2 12000"_s, u"html 3 2050"_s, u"htm 1 300"_s,
                u" 3 35"_s, u"txt 1 0"_s }));

        QStringList largest;
        for (const auto& f : r.largest)
            largest << u"%1 %2"_s.arg(f.path).arg(f.bytes);
        QCOMPARE(largest,
            QStringList({ u"img/photo.jpeg 90000"_s, u"archive.tar.gz 40000"_s, u"img/b.GIF 7000"_s,
                u"img/a.gif 5000"_s, u"index.html 1200"_s, u"sub/page.html 800"_s, u"diary.HTM 300"_s,
                u"sub/deep/more.html 50"_s, u".htaccess 20"_s, u"README 10"_s }));
    }

    void extensionOfAName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::newRow("upper case") << u"index.HTML"_s << u"html"_s;
        QTest::newRow("last dot counts") << u"archive.tar.gz"_s << u"gz"_s;
        QTest::newRow("no dot") << u"README"_s << QString();
        QTest::newRow("dot file") << u".profile"_s << QString();
        QTest::newRow("trailing dot") << u"name."_s << QString();
        QTest::newRow("dot file with extension") << u".config.bak"_s << u"bak"_s;
    }
    void extensionOfAName()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QCOMPARE(FolderAnalysis::extensionOf(name), extension);
    }

    void reportLinesOfASmallTree()
    {
        const QString folder = m_dir.filePath(u"small"_s);
        QVERIFY(writeBytes(folder + u"/a.html"_s, 1234567));
        QVERIFY(writeBytes(folder + u"/pics/b.png"_s, 2048));
        QVERIFY(writeBytes(folder + u"/line\nbreak.txt"_s, 1));
        FolderAnalysis analysis(m_state);
        QCOMPARE(FolderAnalysis::lines(analysis.run(folder)),
            QStringList({ u"フォルダー: "_s + folder, u"合計: フォルダー 1 個、ファイル 3 個、1,236,616 バイト"_s,
                QString(), u"■ 拡張子別"_s, u".html　1 個　1,234,567 バイト"_s, u".png　1 個　2,048 バイト"_s,
                u".txt　1 個　1 バイト"_s, QString(), u"■ 大きいファイル（上位 10）"_s,
                u"1. a.html　1,234,567 バイト"_s, u"2. pics/b.png　2,048 バイト"_s,
                u"3. line?break.txt　1 バイト"_s }));
    }

    void missingFolderIsSaid_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("does not exist") << m_dir.filePath(u"nothing-here"_s);
        QTest::newRow("a file") << m_dir.filePath(u"outside.bin"_s);
        QTest::newRow("empty path") << QString();
    }
    void missingFolderIsSaid()
    {
        QFETCH(QString, folder);
        FolderAnalysis analysis(m_state);
        const FolderAnalysis::Result r = analysis.run(folder);
        QVERIFY(!r.found);
        QCOMPARE(r.files, 0);
        const QStringList lines = FolderAnalysis::lines(r);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1], u"このフォルダーは見つからないか、読み込めません。"_s);
    }

    void stopEndsTheWalkAndIsTaken()
    {
        const QString folder = m_dir.filePath(u"many"_s);
        const int count = FolderAnalysis::YieldEvery * 2 + 50;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeBytes(folder + u"/f%1.dat"_s.arg(i, 4, 10, QChar(u'0')), 1));

        FolderAnalysis analysis(m_state);
        const FolderAnalysis::Result whole = analysis.run(folder);
        QCOMPARE(whole.files, count);
        QVERIFY(!whole.stopped);

        m_state.StopRequested = true;
        const FolderAnalysis::Result stopped = analysis.run(folder);
        QVERIFY(stopped.stopped);
        QCOMPARE(stopped.files, FolderAnalysis::YieldEvery);
        QVERIFY(!m_state.StopRequested);
        QCOMPARE(FolderAnalysis::lines(stopped).value(1), u"中止しました。ここまでに調べた分の集計です。"_s);
    }
};

QTEST_GUILESS_MAIN(TestFolderAnalysis)
#include "tst_folderanalysis.moc"
