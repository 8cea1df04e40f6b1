// The rules of deleting and permissions with branches of their own: the root a server delete
// starts from, and the mode between the nine boxes, digits and letters.
#include "core/manage/managerules.h"
#include "support/texttable.h"

class TestManageRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deletionRoot_data()
    {
        // Hosting layouts name the site's folder after the host: that is a path, not the root.
        TextTable::rows({ "txtDir", "host", "root" }, R"(
host name is the root | \sftp.example.jp\s | ftp.example.jp | /
host name with a port and a path | 127.0.0.1:2121/a b | 127.0.0.1:2121 | /a b
host name as the start of a longer name | ftp.example.jp.old/x | ftp.example.jp | ftp.example.jp.old/x
)");
    }
    void deletionRoot()
    {
        QFETCH(QString, txtDir);
        QFETCH(QString, host);
        QFETCH(QString, root);
        QCOMPARE(ManageRules::deletionRoot(txtDir, host), root);
        QCOMPARE(ManageRules::joinPath(root, "x y"), root == u"/" ? QString("/x y") : root + "/x y");
    }

    void mode_data()
    {
        // boxes: nine 0/1, modeBit(0) first, or a typed text; digits empty: refused.
        TextTable::rows({ "boxes", "digits", "letters" }, R"(
all checked | 111111111 | 777 | rwxrwxrwx
first mode of the panel | 110100100 | 644 | rw-r--r--
three digits | 705 | 705 | rwx---r-x
eight is not octal | 648 | |
two digits | 64 | |
a command after the mode | 644 x | |
empty | | |
)");
    }
    void mode()
    {
        QFETCH(QString, boxes);
        QFETCH(QString, digits);
        QFETCH(QString, letters);
        std::optional<std::array<bool, 9>> checks = ManageRules::boxesFromMode(boxes);
        if (boxes.size() == 9) {
            checks.emplace();
            for (int i = 0; i < 9; ++i)
                (*checks)[std::size_t(i)] = boxes.at(i) == u'1';
        }
        QCOMPARE(checks.has_value(), !digits.isEmpty());
        if (!checks)
            return;
        QCOMPARE(ManageRules::modeDigits(*checks) + ManageRules::modeLetters(*checks), digits + letters);
        for (int level = 0; level < 3; ++level)
            QCOMPARE(QString::number(ManageRules::levelDigit(*checks, level)), digits.mid(level, 1));
        QCOMPARE(ManageRules::levelDigit(*checks, 3), 0);
        QVERIFY(ManageRules::boxesFromMode(digits) == checks);
    }
};

QTEST_GUILESS_MAIN(TestManageRules)
#include "tst_managerules.moc"
