// The text rules of the session and the navigation, row by row.
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/sessionrules.h"
#include "support/texttable.h"

#include <cerrno>

using namespace SessionRules;

class TestSessionRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rules_data()
    {
        // tree: the root key for the folder b under the path box a, its child "x", its search text.
        TextTable::rows({ "rule", "a", "b", "expected" }, R"(
proxy: host and port | proxy | proxy | 8080 | ftp=ftp://proxy:8080
proxy: empty port | proxy | proxy | | ftp=ftp://proxy
proxy: blank port | proxy | proxy | \s\s | ftp=ftp://proxy
proxy: port with blanks around it | proxy | proxy | \s3128\s | ftp=ftp://proxy:3128
start: relative below a home folder | start | /home/u | pub | /home/u/pub
start: slashes on both sides | start | /home/u | /pub/ | /home/u/pub/
start: leading slash | start | /home/u | /pub | /home/u/pub
start: the root | start | /home/u | / | /
start: trailing slash only still gets a separator | start | /home/u | pub/ | /home/u/pub/
start: host name for the root | start | 127.0.0.1:2121 | pub | 127.0.0.1:2121/pub
start: doubled slashes are made single | start | /home/u/ | //pub//x | /home/u/pub/x
start: Japanese name | start | / | ホームページ | /ホームページ
cd: the host name is the root | cd | ftp.example.jp | | /
cd: the host name with blanks | cd | \s\sftp.example.jp\s | | /
cd: host name and one folder: relative | cd | ftp.example.jp/pub | | pub
cd: host name and a path: absolute | cd | ftp.example.jp/pub/img | | /pub/img
cd: one leading slash: relative | cd | /pub | | pub
cd: absolute path | cd | /home/u/www | | /home/u/www
cd: relative path with a slash gets one in front | cd | www/img | | /www/img
cd: plain name | cd | www | | www
cd: the root | cd | / | | /
cd: blank path | cd | \s\s | |
cd: host name and a slash | cd | ftp.example.jp/ | | /
cd: host name with a port | cd | 127.0.0.1:2121/a b | 127.0.0.1:2121 | a b
cd: no host name | cd | /pub/x | - | /pub/x
cd: host name inside a server path | cd | /home/ftp.example.jp/public_html | | /home/ftp.example.jp/public_html
cd: host name as the start of a longer name | cd | ftp.example.jp.old/x | | /ftp.example.jp.old/x
tree: root shown as the host name | tree | ftp.example.jp | pub | /pub /pub/x /pub/*.*
tree: root itself | tree | ftp.example.jp | | / /x /*.*
tree: a folder | tree | \s/home/u\s | www | /home/u/www /home/u/www/x /home/u/www/*.*
tree: trailing slash | tree | /home/u/ | www | /home/u/www /home/u/www/x /home/u/www/*.*
tree: host name and a path | tree | ftp.example.jp/pub | a b | /pub/a b /pub/a b/x /pub/a b/*.*
tree: host name as a folder of the path | tree | /home/ftp.example.jp | www | /home/ftp.example.jp/www /home/ftp.example.jp/www/x /home/ftp.example.jp/www/*.*
code: a reply | code | 550 No such file.\r\n | | 550
code: the last line counts | code | 230-Welcome\r\n230-more\r\n530 no\r\n | | 530
code: empty | code | | | 0
code: no code | code | hello\r\n | | 0
)");
    }
    void rules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, expected);
        const QString host = rule != u"cd" || b.isEmpty() ? QStringLiteral("ftp.example.jp") : b == u"-" ? "" : b;
        const QString key = treeRootKey(a, host, b);
        QCOMPARE(rule == u"proxy"  ? proxyText(a, b)
                : rule == u"start" ? startFolderPath(a, b)
                : rule == u"cd"    ? changeFolderTarget(a, host)
                : rule == u"code"  ? QString::number(responseCode(a))
                                   : key + u' ' + treeChildKey(key, "x") + u' ' + treeSearchText(key),
            expected);
    }

    void errorTexts()
    {
        // The texts of the codes a failed connect gives are checked against real servers.
        QCOMPARE(winInetErrorText(FtpError::ExtendedError, "530 Login incorrect.\r\n"),
            "WinInet エラー -12003\r\n530 Login incorrect.\r\n    ");
        QCOMPARE(winInetErrorText(12999, ""), "WinInet Error -12999\r\n    ");
        // The engine's own codes come first, where they overlap errno numbers too; any other code
        // still says something, with its number.
        QCOMPARE(QStringList({ systemErrorText(18), systemErrorText(112), systemErrorText(ECONNREFUSED),
                     systemErrorText(ENOTEMPTY) }),
            QStringList({ "これ以上ファイルはありません。", "ディスクの空き領域が不足しています。",
                "接続が拒否されました。", "フォルダーが空ではありません。" }));
        QVERIFY(systemErrorText(ENOTSOCK).startsWith("システムエラー " + QString::number(ENOTSOCK)));
    }
};

QTEST_GUILESS_MAIN(TestSessionRules)
#include "tst_sessionrules.moc"
