// The path and name rules of copy, paste, move and rename.
#include "core/panecommands/panepaths.h"

#include <QSet>
#include <QTest>

class TestPanePaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void serverFolder_data();
    void serverFolder();
    void renameCheck_data();
    void renameCheck();
    void firstFreeName_data();
    void firstFreeName();
};

void TestPanePaths::serverFolder_data()
{
    QTest::addColumn<QString>("txtDir");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("folder");
    QTest::newRow("host is the root") << "ftp.example.jp"
                                      << "ftp.example.jp"
                                      << "/";
    QTest::newRow("host with blanks") << " ftp.example.jp "
                                      << "ftp.example.jp"
                                      << "/";
    QTest::newRow("below the host") << "ftp.example.jp/pub/www"
                                    << "ftp.example.jp"
                                    << "/pub/www";
    QTest::newRow("host and port") << "127.0.0.1:2121//pub"
                                   << "127.0.0.1:2121"
                                   << "/pub";
    QTest::newRow("absolute path") << "/home/u/www"
                                   << "ftp.example.jp"
                                   << "/home/u/www";
    QTest::newRow("no host") << "/pub"
                             << ""
                             << "/pub";
}

void TestPanePaths::serverFolder()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, host);
    QFETCH(QString, folder);
    QCOMPARE(PanePaths::serverFolder(txtDir, host), folder);
}

void TestPanePaths::renameCheck_data()
{
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<int>("check");
    const int cancel = int(PanePaths::RenameCheck::Cancel);
    const int refuse = int(PanePaths::RenameCheck::Refuse);
    const int go = int(PanePaths::RenameCheck::Go);
    QTest::newRow("empty cancels") << "a.txt"
                                   << "" << cancel;
    QTest::newRow("unchanged cancels") << "a.txt"
                                       << "a.txt" << cancel;
    QTest::newRow("new name") << "a.txt"
                              << "b.txt" << go;
    QTest::newRow("case only") << "a.txt"
                               << "A.txt" << go;
    QTest::newRow("blanks") << "a.txt"
                            << "my file.txt" << go;
    QTest::newRow("japanese") << "a.txt"
                              << "日本語.txt" << go;
    QTest::newRow("into a folder") << "a.txt"
                                   << "sub/a.txt" << refuse;
    QTest::newRow("up and out") << "a.txt"
                                << "../a.txt" << refuse;
    QTest::newRow("dot dot") << "a.txt"
                             << ".." << refuse;
    QTest::newRow("dot") << "a.txt"
                         << "." << refuse;
    QTest::newRow("nul") << "a.txt" << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << refuse;
}

void TestPanePaths::renameCheck()
{
    QFETCH(QString, oldName);
    QFETCH(QString, newName);
    QFETCH(int, check);
    QCOMPARE(int(PanePaths::checkRename(oldName, newName)), check);
}

void TestPanePaths::firstFreeName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("free");
    QTest::newRow("folder") << "/a/site" << QStringList { "/a/site" } << "/a/site (2)";
    QTest::newRow("file") << "/a/b.txt" << QStringList { "/a/b.txt" } << "/a/b.txt (2)";
    QTest::newRow("skips taken numbers") << "/a/site" << QStringList { "/a/site", "/a/site (2)", "/a/site (3)" }
                                         << "/a/site (4)";
    QTest::newRow("dot file") << "/a/.hidden" << QStringList { "/a/.hidden" } << "/a/.hidden (2)";
    QTest::newRow("dot in a folder above") << "/a.b/site" << QStringList { "/a.b/site" } << "/a.b/site (2)";
}

void TestPanePaths::firstFreeName()
{
    QFETCH(QString, path);
    QFETCH(QStringList, taken);
    QFETCH(QString, free);
    const QSet<QString> set(taken.begin(), taken.end());
    QCOMPARE(PanePaths::firstFreeName(path, [&set](const QString& p) { return set.contains(p); }), free);
}

QTEST_GUILESS_MAIN(TestPanePaths)
#include "tst_panepaths.moc"
