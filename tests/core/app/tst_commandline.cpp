#include "core/app/commandline.h"

#include <QTest>

using namespace Qt::StringLiterals;

// A request written as one text: the form, then what it carries.
static QString describe(const CommandLineRequest& r)
{
    static const char* const kinds[] = { "empty", "visible", "invisible", "show", "open" };
    QString s = QLatin1String(kinds[int(r.kind)]);
    if (r.profileIndex >= 0)
        s += QStringLiteral(" profile%1").arg(r.profileIndex);
    if (r.companionStart)
        s += QStringLiteral(" companion");
    if (r.hasHandle)
        s += QStringLiteral(" handle=%1").arg(r.companionHandle);
    if (!r.folder.isEmpty() || !r.name.isEmpty())
        s += QStringLiteral(" [%1][%2]").arg(r.folder, r.name);
    return s;
}

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row holds what the rule gave and what it should give.
    void forms_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QString& line, const char* request) {
            const QStringList profiles { u"Mirror One"_s, u"Mirror Two"_s, u"/SRV/WWW/INDEX.HTML"_s, u"ＦＵＬＬ"_s,
                u"Twin"_s, u"TWIN"_s };
            QTest::newRow(tag) << describe(parseCommandLine(line, profiles)) << QString::fromUtf8(request);
        };
        row("empty", QString(), "empty");
        row("profile exact", u"Mirror Two"_s, "show profile1");
        row("profile other case", u"mirror ONE"_s, "show profile0");
        row("profile full-width letters fold too", u"ｆｕｌｌ"_s, "show profile3");
        row("profile first of equal names", u"twin"_s, "show profile4");
        row("profile with a blank less", u"MirrorOne"_s, "show");
        row("profile that looks like a path", u"/srv/www/index.html"_s, "open profile2 [/srv/www][index.html]");
        row("message visible", u"<message visible>"_s, "visible");
        row("message visible upper case", u"<MESSAGE Visible>"_s, "visible");
        row("message invisible", u"<message invisible>"_s, "invisible");
        row("message with a blank more", u"<message  visible>"_s, "show");
        row("message quoted is no message", u"\"<message visible>\""_s, "show");
        row("path in quotes", u"\"/home/u/site/index.html\""_s, "open [/home/u/site][index.html]");
        row("path with a blank", u"\"/home/u/my site/a b.html\""_s, "open [/home/u/my site][a b.html]");
        row("path of two parts", u"/index.html"_s, "show");
        row("relative path of two parts", u"site/index.html"_s, "show");
        row("relative path of three parts", u"a/site/index.html"_s, "open [a/site][index.html]");
        row("root twice", u"//index.html"_s, "open [/][index.html]");
        row("folder with trailing slash", u"/home/u/site/"_s, "open [/home/u/site][]");
        row("backslashes are no separators", u"C:\\site\\index.html"_s, "show");
        row("companion path", u"jsTarvo/home/u/site/index.html"_s, "open companion [/home/u/site][index.html]");
        row("companion prefix is case-sensitive", u"jstarvo/home/u/a.html"_s, "open [jstarvo/home/u][a.html]");
        row("companion with handle", u"jsTarvo\"/home/u/site/index.html\" handle=4242"_s,
            "open companion handle=4242 [/home/u/site][index.html]");
        row("handle without blank", u"/home/u/site/index.htmlhandle=77x"_s,
            "open handle=77 [/home/u/site][index.html]");
        row("handle of a folder", u"jsTarvo/home/u/site handle=12"_s, "open companion handle=12 [/home/u][site]");
        row("handle cuts the path short", u"/a handle=5/b/c"_s, "show handle=5");
        row("handle not a number", u"/home/u/x.html handle=abc"_s, "open handle=0 [/home/u][x.html]");
        row("handle too large", u"/home/u/x.html handle=99999999999999999999"_s, "open handle=0 [/home/u][x.html]");
        row("handle negative", u"/home/u/x.html handle=-5"_s, "open handle=0 [/home/u][x.html]");
        row("handle upper case is part of the path", u"/home/u/HANDLE=5"_s, "open [/home/u][HANDLE=5]");
        row("only quotes", u"\"\""_s, "show");
        const auto number = [](const char* tag, const QString& text, const char* value) {
            QTest::newRow(tag) << QString::number(leadingHandleNumber(text)) << QString::fromLatin1(value);
        };
        number("handle digits", u"1234"_s, "1234");
        number("handle after blanks", u"  \t56"_s, "56");
        number("handle with plus sign", u"+9"_s, "9");
        number("handle before text", u"31abc"_s, "31");
        number("largest handle", u"2147483647"_s, "2147483647");
        number("one past the largest handle", u"2147483648"_s, "0");
        number("empty handle", QString(), "0");
        number("minus handle", u"-1"_s, "0");
        number("full-width digits are no digits", u"１２"_s, "0");
    }
    void forms()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
