// The folder analysis over real folder trees on the disk.
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

class TestFolderAnalysis : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    AppState m_state;

private Q_SLOTS:
    // Every file below the folder once, links counted but not followed, a name's line break
    // kept on its line, the largest ten largest first.
    void report()
    {
        const QString site = m_dir.filePath(u"site"_s);
        // Distinct sizes, so the order of the largest files is fixed.
        const std::pair<const char*, qint64> files[] = { { "index.html", 1200 }, { "diary.HTM", 300 },
            { "sub/page.html", 800 }, { "sub/deep/more.html", 50 }, { "img/a.gif", 5000 }, { "img/b.GIF", 7000 },
            { "img/photo.jpeg", 90000 }, { "README", 10 }, { ".htaccess", 20 }, { ".config.bak", 30 },
            { "archive.tar.gz", 40000 }, { "dot.", 5 }, { "empty.txt", 0 }, { "line\nbreak.txt", 25 } };
        for (const auto& [name, size] : files)
            QVERIFY(writeBytes(site + u'/' + QString::fromUtf8(name), size));
        QVERIFY(QDir().mkpath(site + u"/emptyfolder"_s));
        QVERIFY(QFile::link(site, site + u"/sub/loop"_s));
        QVERIFY(writeBytes(m_dir.filePath(u"outside.bin"_s), 123456));
        QVERIFY(QFile::link(m_dir.filePath(u"outside.bin"_s), site + u"/img/outside.bin"_s));

        FolderAnalysis analysis(m_state);
        QCOMPARE(FolderAnalysis::lines(analysis.run(site)).join(u'\n'), u"フォルダー: "_s + site + uR"(
合計: フォルダー 4 個、ファイル 14 個、144,440 バイト
シンボリックリンク 2 個（たどらず、集計に含めていません）

■ 拡張子別
.jpeg　1 個　90,000 バイト
.gz　1 個　40,000 バイト
.gif　2 個　12,000 バイト
.html　3 個　2,050 バイト
.htm　1 個　300 バイト
（拡張子なし）　3 個　35 バイト
.bak　1 個　30 バイト
.txt　2 個　25 バイト

■ 大きいファイル（上位 10）
1. img/photo.jpeg　90,000 バイト
2. archive.tar.gz　40,000 バイト
3. img/b.GIF　7,000 バイト
4. img/a.gif　5,000 バイト
5. index.html　1,200 バイト
6. sub/page.html　800 バイト
7. diary.HTM　300 バイト
8. sub/deep/more.html　50 バイト
9. .config.bak　30 バイト
10. line?break.txt　25 バイト)"_s);
    }

    void missingFolder()
    {
        FolderAnalysis analysis(m_state);
        QVERIFY(writeBytes(m_dir.filePath(u"file"_s), 1));
        for (const QString& folder : { m_dir.filePath(u"nothing-here"_s), m_dir.filePath(u"file"_s), QString() })
            QCOMPARE(FolderAnalysis::lines(analysis.run(folder)),
                QStringList({ u"フォルダー: "_s + folder, u"このフォルダーは見つからないか、読み込めません。"_s }));
    }

    // Stop is seen at the first yield, and taken.
    void stop()
    {
        const QString folder = m_dir.filePath(u"many"_s);
        const int count = FolderAnalysis::YieldEvery + 20;
        for (int i = 0; i < count; ++i)
            QVERIFY(writeBytes(folder + u"/f%1"_s.arg(i), 1));
        FolderAnalysis analysis(m_state);
        QCOMPARE(analysis.run(folder).files, count);
        m_state.StopRequested = true;
        const FolderAnalysis::Result stopped = analysis.run(folder);
        QVERIFY(stopped.stopped && !m_state.StopRequested);
        QCOMPARE(stopped.files, FolderAnalysis::YieldEvery);
    }
};

QTEST_GUILESS_MAIN(TestFolderAnalysis)
#include "tst_folderanalysis.moc"
