// The texts of the companion link: field reading, message lines, the name rule, the list replies
// and the editor messages, and the interpreter's visit over the lines of a message.
#include "core/link/commandinterpreter.h"
#include "core/link/companioncommands.h"
#include "core/link/companionprotocol.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace CompanionProtocol;

namespace {

// Records every call as one text, in order; the list replies are fixed texts.
class RecordingCommands : public CompanionCommands {
public:
    QStringList calls;
    void disconnectServer() override { calls << u"disconnect"_s; }
    void endProgram() override { calls << u"end"_s; }
    void setMainWindowVisible(bool visible) override { calls << (visible ? u"show"_s : u"hide"_s); }
    void setCompanionReplyWindow(qint64 handle) override { calls << u"reply=%1"_s.arg(handle); }
    void SendToCompanion(const QString& text) override { calls << u"send "_s + text; }
    QString localListReply() override { return u"L"_s; }
    QString ftpListReply() override { return u"F"_s; }
    void changePermissions(const QString& mode, const QString& name) override
    {
        calls << u"permit %1 %2"_s.arg(mode, name);
    }
    void openLocalFolder(const QString& p) override { calls << u"chdir "_s + p; }
    void openFtpFolder(const QString& p) override { calls << u"ftpchdir "_s + p; }
    void localFolderUp() override { calls << u"upfile"_s; }
    void ftpFolderUp() override { calls << u"ftpupdir"_s; }
    void download(const QString& p) override { calls << u"download "_s + p; }
    void deleteLocal(const QString& p) override { calls << u"localkill "_s + p; }
    void deleteOnServer(const QString& p) override { calls << u"ftpkill "_s + p; }
    void upload(const QString& p) override { calls << u"upload "_s + p; }
    bool connectProfile(const QString& name) override
    {
        // The profiles "site one" and "Mirror": the name must equal a lower-cased profile name.
        const bool known = name == u"site one"_s || name == u"mirror"_s;
        if (known)
            calls << u"connect "_s + name;
        return known;
    }
};

} // namespace

class TestCompanionProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row holds what the rule gave and what it should give.
    void texts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        const auto t = [](const char* tag, const QString& actual, const QString& expected) {
            QTest::newRow(tag) << actual << expected;
        };
        const QString upload = u"<mode=upload><path=/www><name=a.htm><contents=<p>x=1 > 0</p>>"_s;
        t("field of an upload", GetValue(upload, u"path"_s), u"/www"_s);
        t("contents keep < > =", GetValue(upload, u"contents"_s), u"<p>x=1 > 0</p>"_s);
        t("missing field", GetValue(upload, u"handle"_s), QString());
        t("case-sensitive name", GetValue(upload, u"Mode"_s), QString());
        t("no = after the name", GetValue(u"<mode>"_s, u"mode"_s), QString());
        t("no > after the =", GetValue(u"<mode=send"_s, u"mode"_s), QString());
        t("empty value", GetValue(u"<mode=>"_s, u"mode"_s), QString());
        t("first occurrence wins", GetValue(u"<mode=a><mode=b>"_s, u"mode"_s), u"a"_s);
        t("a name that begins another", GetValue(u"<names=x><name=y>"_s, u"name"_s), u"x"_s);
        t("= found beyond the field", GetValue(u"<mode><x=1>"_s, u"mode"_s), u"1"_s);
        t("contents empty", GetValue(u"<mode=sendtext><contents=>"_s, u"contents"_s), QString());
        t("contents at the very end", GetValue(u"<mode=sendtext><contents="_s, u"contents"_s), QString());
        t("contents without closing >", GetValue(u"<contents=ab"_s, u"contents"_s), u"a"_s);
        t("field of an empty text", GetValue(QString(), u"mode"_s), QString());
        t("Japanese value", GetValue(u"<name=日本語ﾌｧｲﾙ.htm>"_s, u"name"_s), u"日本語ﾌｧｲﾙ.htm"_s);

        const auto lines = [](const QString& text) { return messageLines(text).join(u'|'); };
        t("mehandle on one line", lines(u"<mehandle>4660</mehandle>"_s), u"<mehandle>|4660|</mehandle>"_s);
        t("mehandle on CR LF lines", lines(u"<mehandle>\r\n4660\r\n</mehandle>\r\n"_s),
            u"<mehandle>|4660|</mehandle>"_s);
        t("blank pieces dropped, others kept untrimmed", lines(u" <download>\r\n  a b.txt \r\n</download>  "_s),
            u"<download>|  a b.txt |</download>"_s);
        t("bare LF is no line end", lines(u"a\nb"_s), u"a\nb"_s);
        t("nested brackets", lines(u"<<a>>"_s), u"<|<a>|>"_s);
        t("no lines", lines(u"  \r\n "_s), QString());

        t("windows path under the folder", nameRuleTarget(u"c:\\web\\img\\"_s, u"c:/web"_s), u"img"_s);
        t("unix path under the folder", nameRuleTarget(u"/home/u/web/a.htm"_s, u"/home/u/web"_s), u"a.htm"_s);
        t("bare name", nameRuleTarget(u"a.htm"_s, u"/home/u/web"_s), u"a.htm"_s);
        t("one trailing slash only", nameRuleTarget(u"img//"_s, u"/x"_s), u"img"_s);
        t("server root folder", nameRuleTarget(u"/pub/"_s, u"/"_s), u"pub"_s);
        t("empty folder text", nameRuleTarget(u"/a/b"_s, QString()), u"ab"_s);
        t("folder text removed everywhere", nameRuleTarget(u"/w/w/x"_s, u"/w"_s), u"x"_s);

        t("local list",
            localListReply(u"c:\\web"_s, { { "img", "closed", {} }, { "a.htm", "leaf", {} }, { "t", "open", {} } }),
            u"<locallist>\r\nc:/web/img/\r\nc:/web/a.htm\r\nc:/web/t/\r\n</locallist>"_s);
        t("empty local list", localListReply(u"/home/u"_s, {}), u"<locallist>\r\n</locallist>"_s);
        t("server list",
            ftpListReply(
                { { "pub", "closed", "drwxr-xr-x" }, { "a\\b.txt", "leaf", "-rw-r--r--" }, { "w", "open", "x" } }),
            u"<ftplist>\r\npub/           drwxr-xr-x\r\na/b.txt           -rw-r--r--\r\nw           x\r\n</ftplist>"_s);
        t("handshake", handshakeMessage(1234), u"<mode=sendhandle><handle=1234>"_s);
        t("get text", getTextMessage(99), u"<mode=gettext><handle=99>"_s);
        t("set text", setTextMessage(u"a.htm"_s, u"FTP"_s, u"/www"_s, 7, u"<b>x</b>"_s),
            u"<mode=settext><name=a.htm><local=FTP><path=/www><handle=7><contents=<b>x</b>>"_s);
    }
    void texts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void copyDataPayloads()
    {
        QCOMPARE(copyDataPayload(u"<hello>"_s), QByteArray("<hello>\0\0", 9));
        QCOMPARE(copyDataPayload(u"ｱ"_s), QByteArray("\xb1\0\0", 3));
    }

    void interpreter_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("left"); // the lines the visit leaves
        const auto row = [](const char* tag, const QString& message, const QString& calls, const QString& left) {
            QTest::newRow(tag) << message << calls << left;
        };
        row("visible leaves nothing", u"<visible>"_s, u"show"_s, QString());
        row("invisible in capitals", u"<INVISIBLE>"_s, u"hide"_s, QString());
        row("mehandle", u"<mehandle>\r\n4660\r\n</mehandle>"_s, u"reply=4660|send <hello>"_s, QString());
        row("mehandle no number", u"<mehandle>abc</mehandle>"_s, u"reply=0|send <hello>"_s, QString());
        row("mehandle alone", u"</mehandle>"_s, u"reply=0|send <hello>"_s, QString());
        row("end answers by", u"<end><visible>"_s, u"send <by>|end"_s, u"<end>|<visible>"_s);
        row("disconnect ends the visit", u"<disconnect><visible>"_s, u"disconnect"_s, u"<visible>"_s);
        row("locallist", u"<locallist>"_s, u"send L"_s, QString());
        row("ftplist", u"<ftplist>"_s, u"send F"_s, QString());
        row("permit takes three lines before it", u"<x><permit>a.htm<644></permit>"_s, u"permit <644> a.htm"_s,
            u"<x>"_s);
        row("permit plain values", u"<permit>\r\nindex.html\r\n755\r\n</permit>"_s, u"permit 755 index.html"_s,
            QString());
        row("chdir", u"<chdir>c:\\web\\img\\</chdir>"_s, u"chdir c:\\web\\img\\"_s, QString());
        row("ftpchdir", u"<ftpchdir>pub</ftpchdir>"_s, u"ftpchdir pub"_s, QString());
        row("upfile keeps its line", u"<upfile>"_s, u"upfile"_s, u"<upfile>"_s);
        row("ftpupdir keeps its line", u"<ftpupdir>"_s, u"ftpupdir"_s, u"<ftpupdir>"_s);
        row("download", u"<download>a.txt</download>"_s, u"download a.txt"_s, QString());
        row("upload", u"<upload>/home/u/a.txt</upload>"_s, u"upload /home/u/a.txt"_s, QString());
        row("localfilekill parameter before", u"<k>old.htm<localfilekill>"_s, u"localkill old.htm"_s, QString());
        row("ftpfilekill parameter before", u"<k>old.htm<ftpfilekill>"_s, u"ftpkill old.htm"_s, QString());
        row("return echoes", u"<return>ping</return>"_s, u"send ping"_s, QString());
        row("name connects lower-case", u"<name>site one</name><visible>"_s, u"connect site one"_s, u"<visible>"_s);
        row("name compared with the lower-cased profile", u"<name>Mirror</name>"_s, QString(),
            u"<name>|Mirror|</name>"_s);
        row("unknown name removes nothing", u"<name>nobody</name>"_s, QString(), u"<name>|nobody|</name>"_s);
        row("unknown tags ignored", u"<hello><by>text"_s, QString(), u"<hello>|<by>|text"_s);
        // The lines after a consuming command move into the removed places and are skipped.
        row("second command after a consuming one is skipped", u"<download>a</download><visible><invisible>"_s,
            u"download a"_s, u"<visible>|<invisible>"_s);
        row("fourth one is reached", u"<download>a</download><x><y><z><visible>"_s, u"download a|show"_s,
            u"<x>|<y>|<z>"_s);
        row("commands without parameters run in turn", u"<upfile><ftpupdir><locallist>"_s, u"upfile|ftpupdir|send L"_s,
            u"<upfile>|<ftpupdir>"_s);
        row("values keep their case and blanks", u"<download> Big File.TXT </download>"_s, u"download  Big File.TXT "_s,
            QString());
    }
    void interpreter()
    {
        QFETCH(QString, message);
        QFETCH(QString, calls);
        QFETCH(QString, left);
        RecordingCommands commands;
        QStringList lines = messageLines(message);
        CommandInterpreter::run(lines, commands);
        QCOMPARE(commands.calls.join(u'|'), calls);
        QCOMPARE(lines.join(u'|'), left);
    }
};

QTEST_GUILESS_MAIN(TestCompanionProtocol)
#include "tst_companionprotocol.moc"
