// The rules of deleting and permissions with branches of their own, table-driven: the root a
// server delete starts from, and the mode between the nine boxes, digits and letters.
#include "core/manage/managerules.h"
#include "support/textrows.h"

using namespace TextRows;

class TestManageRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deletionRoot_data();
    void deletionRoot();
    void mode_data();
    void mode();
    void modeText_data();
    void modeText();
};

void TestManageRules::deletionRoot_data()
{
    columns("txtDir", "host", "root");
    row("host name is the root", " ftp.example.jp ", "ftp.example.jp", "/");
    row("host name with a port and a path", "127.0.0.1:2121/a b", "127.0.0.1:2121", "/a b");
    row("server path", "/home/u/www", "ftp.example.jp", "/home/u/www");
    row("doubled slashes", "//home//u", "ftp.example.jp", "/home/u");
    row("host name and a slash", "ftp.example.jp/", "ftp.example.jp", "/");
    row("no host name", "/pub", "", "/pub");
    // Hosting layouts name the site's folder after the host: that is a path, not the root.
    row("host name inside a server path", "/home/ftp.example.jp/public_html", "ftp.example.jp",
        "/home/ftp.example.jp/public_html");
    row("host name as the start of a longer name", "ftp.example.jp.old/x", "ftp.example.jp", "ftp.example.jp.old/x");
}

void TestManageRules::deletionRoot()
{
    QFETCH(QString, txtDir);
    QFETCH(QString, host);
    QFETCH(QString, root);
    QCOMPARE(ManageRules::deletionRoot(txtDir, host), root);
    QCOMPARE(ManageRules::joinPath(root, "x y"), root == u"/" ? QString("/x y") : root + "/x y");
}

void TestManageRules::mode_data()
{
    columns("boxes", "digits", "letters"); // boxes: nine 0/1, modeBit(0) first
    row("all clear", "000000000", "000", "---------");
    row("all checked", "111111111", "777", "rwxrwxrwx");
    row("first mode of the panel", "110100100", "644", "rw-r--r--");
    row("write only for others", "000000010", "002", "-------w-");
    row("execute only", "001001001", "111", "--x--x--x");
}

void TestManageRules::mode()
{
    QFETCH(QString, boxes);
    QFETCH(QString, digits);
    QFETCH(QString, letters);
    std::array<bool, 9> checks {};
    for (int i = 0; i < 9; ++i)
        checks[std::size_t(i)] = boxes.at(i) == u'1';
    QCOMPARE(ManageRules::modeDigits(checks), digits);
    QCOMPARE(ManageRules::modeLetters(checks), letters);
    for (int level = 0; level < 3; ++level)
        QCOMPARE(QString::number(ManageRules::levelDigit(checks, level)), digits.mid(level, 1));
    QCOMPARE(ManageRules::levelDigit(checks, 3), 0);
    const std::optional<std::array<bool, 9>> back = ManageRules::boxesFromMode(digits);
    QVERIFY(back && *back == checks);
}

void TestManageRules::modeText_data()
{
    columns("text", "digits"); // digits empty: refused
    row("three digits", "705", "705");
    row("blanks around", " 644 ", "644");
    row("eight is not octal", "648", "");
    row("four digits", "4755", "");
    row("two digits", "64", "");
    row("a command after the mode", "644 x", "");
    row("letters", "rwx", "");
    row("full-width digits", "６４４", "");
    row("empty", "", "");
}

void TestManageRules::modeText()
{
    QFETCH(QString, text);
    QFETCH(QString, digits);
    const std::optional<std::array<bool, 9>> boxes = ManageRules::boxesFromMode(text);
    QCOMPARE(boxes.has_value(), !digits.isEmpty());
    if (boxes)
        QCOMPARE(ManageRules::modeDigits(*boxes), digits);
}

QTEST_GUILESS_MAIN(TestManageRules)
#include "tst_managerules.moc"
