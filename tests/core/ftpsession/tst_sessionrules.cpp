// The text rules of the session and the navigation, row by row.
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/sessionrules.h"

#include <QTest>
#include <cerrno>

using namespace SessionRules;

class TestSessionRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void proxy_data();
    void proxy();
    void startFolder_data();
    void startFolder();
    void errorTexts_data();
    void errorTexts();
    void systemErrors_data();
    void systemErrors();
    void responseCodes_data();
    void responseCodes();
    void folderTargets_data();
    void folderTargets();
    void treeKeys_data();
    void treeKeys();
};

void TestSessionRules::proxy_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("expected");
    QTest::newRow("host and port") << "proxy"
                                   << "8080"
                                   << "ftp=ftp://proxy:8080";
    QTest::newRow("empty port") << "proxy"
                                << ""
                                << "ftp=ftp://proxy";
    QTest::newRow("blank port") << "proxy"
                                << "   "
                                << "ftp=ftp://proxy";
    QTest::newRow("port with blanks around it") << "proxy"
                                                << " 3128 "
                                                << "ftp=ftp://proxy:3128";
}

void TestSessionRules::proxy()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, expected);
    QCOMPARE(proxyText(host, port), expected);
}

void TestSessionRules::startFolder_data()
{
    QTest::addColumn<QString>("txtDir");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("expected");
    QTest::newRow("relative below a home folder") << "/home/u"
                                                  << "pub"
                                                  << "/home/u/pub";
    QTest::newRow("slashes on both sides") << "/home/u"
                                           << "/pub/"
                                           << "/home/u/pub/";
    QTest::newRow("leading slash") << "/home/u"
                                   << "/pub"
                                   << "/home/u/pub";
    QTest::newRow("the root") << "/home/u"
                              << "/"
                              << "/";
    QTest::newRow("trailing slash only still gets a separator") << "/home/u"
                                                                << "pub/"
                                                                << "/home/u/pub/";
    QTest::newRow("host name for the root") << "127.0.0.1:2121"
                                            << "pub"
                                            << "127.0.0.1:2121/pub";
    QTest::newRow("deeper start folder") << "/home/u"
                                         << "www/img"
                                         << "/home/u/www/img";
    QTest::newRow("doubled slashes are made single") << "/home/u/"
                                                     << "//pub//x"
                                                     << "/home/u/pub/x";
    QTest::newRow("Japanese name") << "/"
                                   << "ホームページ"
                                   << "/ホームページ";
}

void TestSessionRules::startFolder()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, start);
    QFETCH(QString, expected);
    QCOMPARE(startFolderPath(txtDir, start), expected);
}

void TestSessionRules::errorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("response");
    QTest::addColumn<QString>("expected");
    // The texts of the codes a failed connect gives are checked against real servers.
    QTest::newRow("server error reply") << FtpError::ExtendedError << "530 Login incorrect.\r\n"
                                        << QStringLiteral("WinInet エラー -12003\r\n530 Login incorrect.\r\n    ");
    QTest::newRow("a code without a text") << 12999 << "" << QStringLiteral("WinInet Error -12999\r\n    ");
}

void TestSessionRules::errorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, response);
    QFETCH(QString, expected);
    QCOMPARE(winInetErrorText(code, response), expected);
}

void TestSessionRules::systemErrors_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    // The engine's own codes come first, where they overlap errno numbers too.
    QTest::newRow("no more files (engine)") << 18 << QStringLiteral("これ以上ファイルはありません。");
    QTest::newRow("disk full (engine)") << 112 << QStringLiteral("ディスクの空き領域が不足しています。");
    QTest::newRow("connection refused (errno)") << int(ECONNREFUSED) << QStringLiteral("接続が拒否されました。");
    QTest::newRow("folder not empty (errno)") << int(ENOTEMPTY) << QStringLiteral("フォルダーが空ではありません。");
}

void TestSessionRules::systemErrors()
{
    QFETCH(int, code);
    QFETCH(QString, expected);
    QCOMPARE(systemErrorText(code), expected);
    // Any other code still says something, with its number.
    QVERIFY(systemErrorText(ENOTSOCK).startsWith(QStringLiteral("システムエラー ") + QString::number(ENOTSOCK)));
}

void TestSessionRules::responseCodes_data()
{
    QTest::addColumn<QString>("response");
    QTest::addColumn<int>("code");
    QTest::newRow("one line") << "550 No such file.\r\n" << 550;
    QTest::newRow("multi-line: the last line counts") << "230-Welcome\r\n230-more\r\n530 no\r\n" << 530;
    QTest::newRow("nothing") << "" << 0;
    QTest::newRow("garbage") << "hello\r\n" << 0;
}

void TestSessionRules::responseCodes()
{
    QFETCH(QString, response);
    QFETCH(int, code);
    QCOMPARE(responseCode(response), code);
}

void TestSessionRules::folderTargets_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("target");
    const QString host = QStringLiteral("ftp.example.jp");
    QTest::newRow("the host name is the root") << host << host << "/";
    QTest::newRow("the host name with blanks") << "  ftp.example.jp " << host << "/";
    QTest::newRow("host name and one folder: relative") << "ftp.example.jp/pub" << host << "pub";
    QTest::newRow("host name and a path: absolute") << "ftp.example.jp/pub/img" << host << "/pub/img";
    QTest::newRow("one leading slash: relative") << "/pub" << host << "pub";
    QTest::newRow("absolute path") << "/home/u/www" << host << "/home/u/www";
    QTest::newRow("relative path with a slash gets one in front") << "www/img" << host << "/www/img";
    QTest::newRow("plain name") << "www" << host << "www";
    QTest::newRow("the root") << "/" << host << "/";
    QTest::newRow("blank path") << "   " << host << "";
    QTest::newRow("host name and a slash") << "ftp.example.jp/" << host << "/";
    QTest::newRow("host name with a port") << "127.0.0.1:2121/a b"
                                           << "127.0.0.1:2121"
                                           << "a b";
    QTest::newRow("no host name") << "/pub/x"
                                  << ""
                                  << "/pub/x";
    QTest::newRow("host name inside a server path")
        << "/home/ftp.example.jp/public_html" << host << "/home/ftp.example.jp/public_html";
}

void TestSessionRules::folderTargets()
{
    QFETCH(QString, path);
    QFETCH(QString, host);
    QFETCH(QString, target);
    QCOMPARE(changeFolderTarget(path, host), target);
}

void TestSessionRules::treeKeys_data()
{
    QTest::addColumn<QString>("txtDir");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("rootKey");
    QTest::addColumn<QString>("childKey"); // of a child "x" of the root
    QTest::addColumn<QString>("search");
    const QString host = QStringLiteral("ftp.example.jp");
    QTest::newRow("root shown as the host name") << host << "pub"
                                                 << "/pub"
                                                 << "/pub/x"
                                                 << "/pub/*.*";
    QTest::newRow("root itself") << host << ""
                                 << "/"
                                 << "/x"
                                 << "/*.*";
    QTest::newRow("a folder") << " /home/u "
                              << "www"
                              << "/home/u/www"
                              << "/home/u/www/x"
                              << "/home/u/www/*.*";
    QTest::newRow("trailing slash") << "/home/u/"
                                    << "www"
                                    << "/home/u/www"
                                    << "/home/u/www/x"
                                    << "/home/u/www/*.*";
    QTest::newRow("host name and a path") << "ftp.example.jp/pub"
                                          << "a b"
                                          << "/pub/a b"
                                          << "/pub/a b/x"
                                          << "/pub/a b/*.*";
    QTest::newRow("host name as a folder of the path") << "/home/ftp.example.jp"
                                                       << "www"
                                                       << "/home/ftp.example.jp/www"
                                                       << "/home/ftp.example.jp/www/x"
                                                       << "/home/ftp.example.jp/www/*.*";
}

void TestSessionRules::treeKeys()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, folder);
    QFETCH(QString, rootKey);
    QFETCH(QString, childKey);
    QFETCH(QString, search);
    const QString key = treeRootKey(txtDir, QStringLiteral("ftp.example.jp"), folder);
    QCOMPARE(key, rootKey);
    QCOMPARE(treeChildKey(key, QStringLiteral("x")), childKey);
    QCOMPARE(treeSearchText(key), search);
}

QTEST_GUILESS_MAIN(TestSessionRules)
#include "tst_sessionrules.moc"
