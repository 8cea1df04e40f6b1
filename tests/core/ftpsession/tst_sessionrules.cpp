// The text rules of the session and the navigation, row by row.
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/sessionrules.h"
#include "support/textrows.h"

#include <cerrno>

using namespace SessionRules;
using namespace TextRows;

namespace {

const char* const Host = "ftp.example.jp";

} // namespace

class TestSessionRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void proxy_data();
    void proxy();
    void startFolder_data();
    void startFolder();
    void errorTexts();
    void responseCodes();
    void folderTargets_data();
    void folderTargets();
    void treeKeys_data();
    void treeKeys();
};

void TestSessionRules::proxy_data()
{
    columns("host", "port", "expected");
    row("host and port", "proxy", "8080", "ftp=ftp://proxy:8080");
    row("empty port", "proxy", "", "ftp=ftp://proxy");
    row("blank port", "proxy", "   ", "ftp=ftp://proxy");
    row("port with blanks around it", "proxy", " 3128 ", "ftp=ftp://proxy:3128");
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
    columns("txtDir", "start", "expected");
    row("relative below a home folder", "/home/u", "pub", "/home/u/pub");
    row("slashes on both sides", "/home/u", "/pub/", "/home/u/pub/");
    row("leading slash", "/home/u", "/pub", "/home/u/pub");
    row("the root", "/home/u", "/", "/");
    row("trailing slash only still gets a separator", "/home/u", "pub/", "/home/u/pub/");
    row("host name for the root", "127.0.0.1:2121", "pub", "127.0.0.1:2121/pub");
    row("deeper start folder", "/home/u", "www/img", "/home/u/www/img");
    row("doubled slashes are made single", "/home/u/", "//pub//x", "/home/u/pub/x");
    row("Japanese name", "/", "ホームページ", "/ホームページ");
}

void TestSessionRules::startFolder()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, start);
    QFETCH(QString, expected);
    QCOMPARE(startFolderPath(txtDir, start), expected);
}

void TestSessionRules::errorTexts()
{
    // The texts of the codes a failed connect gives are checked against real servers.
    QCOMPARE(winInetErrorText(FtpError::ExtendedError, "530 Login incorrect.\r\n"),
        "WinInet エラー -12003\r\n530 Login incorrect.\r\n    ");
    QCOMPARE(winInetErrorText(12999, ""), "WinInet Error -12999\r\n    ");
    // The engine's own codes come first, where they overlap errno numbers too; any other code
    // still says something, with its number.
    QCOMPARE(systemErrorText(18), "これ以上ファイルはありません。");
    QCOMPARE(systemErrorText(112), "ディスクの空き領域が不足しています。");
    QCOMPARE(systemErrorText(ECONNREFUSED), "接続が拒否されました。");
    QCOMPARE(systemErrorText(ENOTEMPTY), "フォルダーが空ではありません。");
    QVERIFY(systemErrorText(ENOTSOCK).startsWith("システムエラー " + QString::number(ENOTSOCK)));
}

void TestSessionRules::responseCodes()
{
    QCOMPARE(responseCode("550 No such file.\r\n"), 550);
    QCOMPARE(responseCode("230-Welcome\r\n230-more\r\n530 no\r\n"), 530); // the last line counts
    QCOMPARE(responseCode(""), 0);
    QCOMPARE(responseCode("hello\r\n"), 0);
}

void TestSessionRules::folderTargets_data()
{
    columns("path", "host", "target");
    row("the host name is the root", Host, Host, "/");
    row("the host name with blanks", "  ftp.example.jp ", Host, "/");
    row("host name and one folder: relative", "ftp.example.jp/pub", Host, "pub");
    row("host name and a path: absolute", "ftp.example.jp/pub/img", Host, "/pub/img");
    row("one leading slash: relative", "/pub", Host, "pub");
    row("absolute path", "/home/u/www", Host, "/home/u/www");
    row("relative path with a slash gets one in front", "www/img", Host, "/www/img");
    row("plain name", "www", Host, "www");
    row("the root", "/", Host, "/");
    row("blank path", "   ", Host, "");
    row("host name and a slash", "ftp.example.jp/", Host, "/");
    row("host name with a port", "127.0.0.1:2121/a b", "127.0.0.1:2121", "a b");
    row("no host name", "/pub/x", "", "/pub/x");
    row("host name inside a server path", "/home/ftp.example.jp/public_html", Host, "/home/ftp.example.jp/public_html");
    row("host name as the start of a longer name", "ftp.example.jp.old/x", Host, "/ftp.example.jp.old/x");
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
    columns("txtDir", "folder", "rootKey", "childKey", "search"); // childKey: of a child "x" of the root
    row("root shown as the host name", Host, "pub", "/pub", "/pub/x", "/pub/*.*");
    row("root itself", Host, "", "/", "/x", "/*.*");
    row("a folder", " /home/u ", "www", "/home/u/www", "/home/u/www/x", "/home/u/www/*.*");
    row("trailing slash", "/home/u/", "www", "/home/u/www", "/home/u/www/x", "/home/u/www/*.*");
    row("host name and a path", "ftp.example.jp/pub", "a b", "/pub/a b", "/pub/a b/x", "/pub/a b/*.*");
    row("host name as a folder of the path", "/home/ftp.example.jp", "www", "/home/ftp.example.jp/www",
        "/home/ftp.example.jp/www/x", "/home/ftp.example.jp/www/*.*");
}

void TestSessionRules::treeKeys()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, folder);
    QFETCH(QString, rootKey);
    QFETCH(QString, childKey);
    QFETCH(QString, search);
    const QString key = treeRootKey(txtDir, Host, folder);
    QCOMPARE(key, rootKey);
    QCOMPARE(treeChildKey(key, "x"), childKey);
    QCOMPARE(treeSearchText(key), search);
}

QTEST_GUILESS_MAIN(TestSessionRules)
#include "tst_sessionrules.moc"
