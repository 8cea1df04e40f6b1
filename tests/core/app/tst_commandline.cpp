#include "core/app/commandline.h"

#include <QTest>

using Kind = CommandLineRequest::Kind;

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void forms_data();
    void forms();
    void handleNumber_data();
    void handleNumber();
};

void TestCommandLine::forms_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("profileIndex");
    QTest::addColumn<bool>("companion");
    QTest::addColumn<bool>("hasHandle");
    QTest::addColumn<qint64>("handle");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    auto row = [](const char* tag, const QString& cl, Kind k, int profile = -1, bool companion = false,
                   bool hasHandle = false, qint64 handle = 0, const QString& folder = {}, const QString& name = {}) {
        QTest::newRow(tag) << cl << int(k) << profile << companion << hasHandle << handle << folder << name;
    };

    row("empty", QString(), Kind::Empty);
    row("profile exact", QStringLiteral("Mirror Two"), Kind::ShowOnly, 1);
    row("profile other case", QStringLiteral("mirror ONE"), Kind::ShowOnly, 0);
    row("profile full-width letters fold too", QStringLiteral("ｆｕｌｌ"), Kind::ShowOnly, 3);
    row("profile first of equal names", QStringLiteral("twin"), Kind::ShowOnly, 4);
    row("profile with a blank less", QStringLiteral("MirrorOne"), Kind::ShowOnly);
    row("profile that looks like a path", QStringLiteral("/srv/www/index.html"), Kind::OpenPath, 2, false, false, 0,
        QStringLiteral("/srv/www"), QStringLiteral("index.html"));
    row("message visible", QStringLiteral("<message visible>"), Kind::MessageVisible);
    row("message visible upper case", QStringLiteral("<MESSAGE Visible>"), Kind::MessageVisible);
    row("message invisible", QStringLiteral("<message invisible>"), Kind::MessageInvisible);
    row("message with a blank more", QStringLiteral("<message  visible>"), Kind::ShowOnly);
    row("message quoted is no message", QStringLiteral("\"<message visible>\""), Kind::ShowOnly);
    row("path in quotes", QStringLiteral("\"/home/u/site/index.html\""), Kind::OpenPath, -1, false, false, 0,
        QStringLiteral("/home/u/site"), QStringLiteral("index.html"));
    row("path with a blank", QStringLiteral("\"/home/u/my site/a b.html\""), Kind::OpenPath, -1, false, false, 0,
        QStringLiteral("/home/u/my site"), QStringLiteral("a b.html"));
    row("path of three parts", QStringLiteral("/site/index.html"), Kind::OpenPath, -1, false, false, 0,
        QStringLiteral("/site"), QStringLiteral("index.html"));
    row("path of two parts", QStringLiteral("/index.html"), Kind::ShowOnly);
    row("relative path of two parts", QStringLiteral("site/index.html"), Kind::ShowOnly);
    row("relative path of three parts", QStringLiteral("a/site/index.html"), Kind::OpenPath, -1, false, false, 0,
        QStringLiteral("a/site"), QStringLiteral("index.html"));
    row("root twice", QStringLiteral("//index.html"), Kind::OpenPath, -1, false, false, 0, QStringLiteral("/"),
        QStringLiteral("index.html"));
    row("folder with trailing slash", QStringLiteral("/home/u/site/"), Kind::OpenPath, -1, false, false, 0,
        QStringLiteral("/home/u/site"), QString());
    row("backslashes are no separators", QStringLiteral("C:\\site\\index.html"), Kind::ShowOnly);
    row("plain word", QStringLiteral("hello"), Kind::ShowOnly);
    row("companion path", QStringLiteral("jsTarvo/home/u/site/index.html"), Kind::OpenPath, -1, true, false, 0,
        QStringLiteral("/home/u/site"), QStringLiteral("index.html"));
    row("companion prefix is case-sensitive", QStringLiteral("jstarvo/home/u/site/index.html"), Kind::OpenPath, -1,
        false, false, 0, QStringLiteral("jstarvo/home/u/site"), QStringLiteral("index.html"));
    row("companion with handle", QStringLiteral("jsTarvo\"/home/u/site/index.html\" handle=4242"), Kind::OpenPath, -1,
        true, true, 4242, QStringLiteral("/home/u/site"), QStringLiteral("index.html"));
    row("handle without blank", QStringLiteral("/home/u/site/index.htmlhandle=77x"), Kind::OpenPath, -1, false, true,
        77, QStringLiteral("/home/u/site"), QStringLiteral("index.html"));
    row("handle of a folder", QStringLiteral("jsTarvo/home/u/site handle=12"), Kind::OpenPath, -1, true, true, 12,
        QStringLiteral("/home/u"), QStringLiteral("site"));
    row("handle cuts the path short", QStringLiteral("/a handle=5/b/c"), Kind::ShowOnly, -1, false, true, 5);
    row("handle not a number", QStringLiteral("jsTarvo/home/u/x.html handle=abc"), Kind::OpenPath, -1, true, true, 0,
        QStringLiteral("/home/u"), QStringLiteral("x.html"));
    row("handle too large", QStringLiteral("/home/u/x.html handle=99999999999999999999"), Kind::OpenPath, -1, false,
        true, 0, QStringLiteral("/home/u"), QStringLiteral("x.html"));
    row("handle negative", QStringLiteral("/home/u/x.html handle=-5"), Kind::OpenPath, -1, false, true, 0,
        QStringLiteral("/home/u"), QStringLiteral("x.html"));
    row("handle upper case is part of the path", QStringLiteral("/home/u/HANDLE=5"), Kind::OpenPath, -1, false, false,
        0, QStringLiteral("/home/u"), QStringLiteral("HANDLE=5"));
    row("only quotes", QStringLiteral("\"\""), Kind::ShowOnly);
}

void TestCommandLine::forms()
{
    QFETCH(QString, commandLine);
    QFETCH(int, kind);
    QFETCH(int, profileIndex);
    QFETCH(bool, companion);
    QFETCH(bool, hasHandle);
    QFETCH(qint64, handle);
    QFETCH(QString, folder);
    QFETCH(QString, name);

    const QStringList profiles { QStringLiteral("Mirror One"), QStringLiteral("Mirror Two"),
        QStringLiteral("/SRV/WWW/INDEX.HTML"), QStringLiteral("ＦＵＬＬ"), QStringLiteral("Twin"),
        QStringLiteral("TWIN") };
    const CommandLineRequest r = parseCommandLine(commandLine, profiles);
    QCOMPARE(int(r.kind), kind);
    QCOMPARE(r.profileIndex, profileIndex);
    QCOMPARE(r.companionStart, companion);
    QCOMPARE(r.hasHandle, hasHandle);
    QCOMPARE(r.companionHandle, handle);
    QCOMPARE(r.folder, folder);
    QCOMPARE(r.name, name);
}

void TestCommandLine::handleNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("digits") << QStringLiteral("1234") << qint64(1234);
    QTest::newRow("leading blanks") << QStringLiteral("  \t56") << qint64(56);
    QTest::newRow("plus sign") << QStringLiteral("+9") << qint64(9);
    QTest::newRow("trailing text") << QStringLiteral("31abc") << qint64(31);
    QTest::newRow("largest") << QStringLiteral("2147483647") << qint64(2147483647);
    QTest::newRow("one past the largest") << QStringLiteral("2147483648") << qint64(0);
    QTest::newRow("empty") << QString() << qint64(0);
    QTest::newRow("minus") << QStringLiteral("-1") << qint64(0);
    QTest::newRow("full-width digits are no digits") << QStringLiteral("１２") << qint64(0);
}

void TestCommandLine::handleNumber()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(leadingHandleNumber(text), value);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
