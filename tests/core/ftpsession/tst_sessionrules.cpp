// The text rules of the session and the navigation, row by row.
#include "core/ftpsession/sessionrules.h"
#include "support/texttable.h"

using namespace SessionRules;

class TestSessionRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rules_data()
    {
        // tree: the root key for the folder b under the path box a, its child "x", its search text.
        TextTable::rows({ "rule", "a", "b", "expected" }, R"(
proxy: host and port | proxy | proxy | 8080 | ftp=ftp://proxy:8080
proxy: port with blanks around it | proxy | proxy | \s3128\s | ftp=ftp://proxy:3128
start: relative below a home folder | start | /home/u | pub | /home/u/pub
start: trailing slash only still gets a separator | start | /home/u | pub/ | /home/u/pub/
start: doubled slashes are made single | start | /home/u/ | //pub//x | /home/u/pub/x
cd: the host name is the root | cd | ftp.example.jp | | /
cd: host name and one folder: relative | cd | ftp.example.jp/pub | | pub
cd: host name and a path: absolute | cd | ftp.example.jp/pub/img | | /pub/img
cd: absolute path | cd | /home/u/www | | /home/u/www
cd: relative path with a slash gets one in front | cd | www/img | | /www/img
cd: blank path | cd | \s\s | |
cd: host name with a port | cd | 127.0.0.1:2121/a b | 127.0.0.1:2121 | a b
cd: no host name | cd | /pub/x | - | /pub/x
cd: host name inside a server path | cd | /home/ftp.example.jp/public_html | | /home/ftp.example.jp/public_html
cd: host name as the start of a longer name | cd | ftp.example.jp.old/x | | /ftp.example.jp.old/x
tree: root shown as the host name | tree | ftp.example.jp | pub | /pub /pub/x /pub/*.*
tree: a folder | tree | \s/home/u\s | www | /home/u/www /home/u/www/x /home/u/www/*.*
tree: host name and a path | tree | ftp.example.jp/pub | a b | /pub/a b /pub/a b/x /pub/a b/*.*
code: the last line counts | code | 230-Welcome\r\n230-more\r\n530 no\r\n | | 530
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
};

QTEST_GUILESS_MAIN(TestSessionRules)
#include "tst_sessionrules.moc"
