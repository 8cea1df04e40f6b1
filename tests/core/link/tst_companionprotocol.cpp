// The texts of the companion link: field reading, message lines, the name rule, the list replies
// and the editor messages, and the interpreter's visit over the lines of a message.
#include "core/link/commandinterpreter.h"
#include "core/link/companioncommands.h"
#include "core/link/companionprotocol.h"

#include <QTest>

using namespace CompanionProtocol;

namespace {

// Records every call as one text, in order; the list replies are fixed texts.
class RecordingCommands : public CompanionCommands {
public:
    QStringList calls;
    QStringList profiles { QStringLiteral("site one"), QStringLiteral("Mirror") };

    void disconnectServer() override { calls << QStringLiteral("disconnect"); }
    void endProgram() override { calls << QStringLiteral("end"); }
    void setMainWindowVisible(bool visible) override
    {
        calls << (visible ? QStringLiteral("show") : QStringLiteral("hide"));
    }
    void setCompanionReplyWindow(qint64 handle) override { calls << QStringLiteral("reply=%1").arg(handle); }
    void SendToCompanion(const QString& text) override { calls << QStringLiteral("send ") + text; }
    QString localListReply() override { return QStringLiteral("L"); }
    QString ftpListReply() override { return QStringLiteral("F"); }
    void changePermissions(const QString& mode, const QString& name) override
    {
        calls << QStringLiteral("permit %1 %2").arg(mode, name);
    }
    void openLocalFolder(const QString& p) override { calls << QStringLiteral("chdir ") + p; }
    void openFtpFolder(const QString& p) override { calls << QStringLiteral("ftpchdir ") + p; }
    void localFolderUp() override { calls << QStringLiteral("upfile"); }
    void ftpFolderUp() override { calls << QStringLiteral("ftpupdir"); }
    void download(const QString& p) override { calls << QStringLiteral("download ") + p; }
    void deleteLocal(const QString& p) override { calls << QStringLiteral("localkill ") + p; }
    void deleteOnServer(const QString& p) override { calls << QStringLiteral("ftpkill ") + p; }
    void upload(const QString& p) override { calls << QStringLiteral("upload ") + p; }
    bool connectProfile(const QString& name) override
    {
        for (const QString& p : profiles) {
            if (p.toLower() == name) {
                calls << QStringLiteral("connect ") + p;
                return true;
            }
        }
        return false;
    }
};

} // namespace

class TestCompanionProtocol : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void getValue_data();
    void getValue();
    void messageLines_data();
    void messageLines();
    void nameRule_data();
    void nameRule();
    void listReplies();
    void editorMessages();
    void interpreter_data();
    void interpreter();
};

void TestCompanionProtocol::getValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    const QString upload = QStringLiteral("<mode=upload><path=/www><name=a.htm><contents=<p>x=1 > 0</p>>");
    QTest::newRow("mode of an upload") << upload << "mode"
                                       << "upload";
    QTest::newRow("path") << upload << "path"
                          << "/www";
    QTest::newRow("contents keep < > =") << upload << "contents"
                                         << "<p>x=1 > 0</p>";
    QTest::newRow("missing field") << upload << "handle"
                                   << "";
    QTest::newRow("case-sensitive name") << upload << "Mode"
                                         << "";
    QTest::newRow("no = after the name") << "<mode>"
                                         << "mode"
                                         << "";
    QTest::newRow("no > after the =") << "<mode=send"
                                      << "mode"
                                      << "";
    QTest::newRow("empty value") << "<mode=>"
                                 << "mode"
                                 << "";
    QTest::newRow("first occurrence wins") << "<mode=a><mode=b>"
                                           << "mode"
                                           << "a";
    QTest::newRow("a name that begins another") << "<names=x><name=y>"
                                                << "name"
                                                << "x";
    QTest::newRow("= found beyond the field") << "<mode><x=1>"
                                              << "mode"
                                              << "1";
    QTest::newRow("contents empty") << "<mode=sendtext><contents=>"
                                    << "contents"
                                    << "";
    QTest::newRow("contents at the very end") << "<mode=sendtext><contents="
                                              << "contents"
                                              << "";
    QTest::newRow("contents without closing >") << "<contents=ab"
                                                << "contents"
                                                << "a";
    QTest::newRow("empty text") << ""
                                << "mode"
                                << "";
    QTest::newRow("Japanese value") << QStringLiteral("<name=日本語ﾌｧｲﾙ.htm>") << "name"
                                    << QStringLiteral("日本語ﾌｧｲﾙ.htm");
}

void TestCompanionProtocol::getValue()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QCOMPARE(GetValue(text, name), value);
}

void TestCompanionProtocol::messageLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("one tag") << "<visible>" << QStringList { "<visible>" };
    QTest::newRow("mehandle on one line")
        << "<mehandle>4660</mehandle>" << QStringList { "<mehandle>", "4660", "</mehandle>" };
    QTest::newRow("mehandle on CR LF lines") << "<mehandle>\r\n4660\r\n</mehandle>\r\n"
                                             << QStringList { "<mehandle>", "4660", "</mehandle>" };
    QTest::newRow("blank pieces dropped, others kept untrimmed")
        << " <download>\r\n  a b.txt \r\n</download>  " << QStringList { "<download>", "  a b.txt ", "</download>" };
    QTest::newRow("bare LF is no line end") << "a\nb" << QStringList { "a\nb" };
    QTest::newRow("nested brackets") << "<<a>>" << QStringList { "<", "<a>", ">" };
    QTest::newRow("nothing") << "  \r\n " << QStringList {};
}

void TestCompanionProtocol::messageLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(CompanionProtocol::messageLines(text), lines);
}

void TestCompanionProtocol::nameRule_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::newRow("windows path under the folder") << "c:\\web\\img\\"
                                                   << "c:/web"
                                                   << "img";
    QTest::newRow("unix path under the folder") << "/home/u/web/a.htm"
                                                << "/home/u/web"
                                                << "a.htm";
    QTest::newRow("bare name") << "a.htm"
                               << "/home/u/web"
                               << "a.htm";
    QTest::newRow("one trailing slash only") << "img//"
                                             << "/x"
                                             << "img";
    QTest::newRow("server root folder") << "/pub/"
                                        << "/"
                                        << "pub";
    QTest::newRow("empty folder text") << "/a/b"
                                       << ""
                                       << "ab";
    QTest::newRow("folder text removed everywhere") << "/w/w/x"
                                                    << "/w"
                                                    << "x";
}

void TestCompanionProtocol::nameRule()
{
    QFETCH(QString, parameter);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QCOMPARE(nameRuleTarget(parameter, folder), name);
}

void TestCompanionProtocol::listReplies()
{
    const QList<ListRow> local { { "img", "closed", {} }, { "a.htm", "leaf", {} }, { "tree", "open", {} } };
    QCOMPARE(localListReply(QStringLiteral("c:\\web"), local),
        QStringLiteral("<locallist>\r\nc:/web/img/\r\nc:/web/a.htm\r\nc:/web/tree/\r\n</locallist>"));
    QCOMPARE(localListReply(QStringLiteral("/home/u"), {}), QStringLiteral("<locallist>\r\n</locallist>"));

    const QList<ListRow> ftp { { "pub", "closed", "drwxr-xr-x" }, { "a\\b.txt", "leaf", "-rw-r--r--" },
        { "walked", "open", "x" } };
    QCOMPARE(ftpListReply(ftp),
        QStringLiteral("<ftplist>\r\npub/           drwxr-xr-x\r\na/b.txt           -rw-r--r--\r\n"
                       "walked           x\r\n</ftplist>"));

    QCOMPARE(copyDataPayload(QStringLiteral("<hello>")), QByteArray("<hello>\0\0", 9));
    QCOMPARE(copyDataPayload(QStringLiteral("ｱ")), QByteArray("\xb1\0\0", 3));
}

void TestCompanionProtocol::editorMessages()
{
    QCOMPARE(handshakeMessage(1234), QStringLiteral("<mode=sendhandle><handle=1234>"));
    QCOMPARE(getTextMessage(99), QStringLiteral("<mode=gettext><handle=99>"));
    const QString set = setTextMessage(
        QStringLiteral("a.htm"), QStringLiteral("FTP"), QStringLiteral("/www"), 7, QStringLiteral("<b>x</b>"));
    QCOMPARE(set, QStringLiteral("<mode=settext><name=a.htm><local=FTP><path=/www><handle=7><contents=<b>x</b>>"));
    // The editor reads it back with the same rule.
    QCOMPARE(GetValue(set, QStringLiteral("contents")), QStringLiteral("<b>x</b>"));
    QCOMPARE(GetValue(set, QStringLiteral("handle")), QStringLiteral("7"));
}

void TestCompanionProtocol::interpreter_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("left");

    auto row = [](const char* tag, const QString& message, const QStringList& calls, const QStringList& left) {
        QTest::newRow(tag) << message << calls << left;
    };
    row("visible leaves nothing", "<visible>", { "show" }, {});
    row("invisible in capitals", "<INVISIBLE>", { "hide" }, {});
    row("mehandle", "<mehandle>\r\n4660\r\n</mehandle>", { "reply=4660", "send <hello>" }, {});
    row("mehandle no number", "<mehandle>abc</mehandle>", { "reply=0", "send <hello>" }, {});
    row("mehandle alone", "</mehandle>", { "reply=0", "send <hello>" }, {});
    row("end answers by", "<end><visible>", { "send <by>", "end" }, { "<end>", "<visible>" });
    row("disconnect ends the visit", "<disconnect><visible>", { "disconnect" }, { "<visible>" });
    row("locallist", "<locallist>", { "send L" }, {});
    row("ftplist", "<ftplist>", { "send F" }, {});
    row("permit takes three lines before it", "<x><permit>a.htm<644></permit>", { "permit <644> a.htm" }, { "<x>" });
    row("permit plain values", "<permit>\r\nindex.html\r\n755\r\n</permit>", { "permit 755 index.html" }, {});
    row("chdir", "<chdir>c:\\web\\img\\</chdir>", { "chdir c:\\web\\img\\" }, {});
    row("ftpchdir", "<ftpchdir>pub</ftpchdir>", { "ftpchdir pub" }, {});
    row("upfile keeps its line", "<upfile>", { "upfile" }, { "<upfile>" });
    row("ftpupdir keeps its line", "<ftpupdir>", { "ftpupdir" }, { "<ftpupdir>" });
    row("download", "<download>a.txt</download>", { "download a.txt" }, {});
    row("upload", "<upload>/home/u/a.txt</upload>", { "upload /home/u/a.txt" }, {});
    row("localfilekill parameter before", "<k>old.htm<localfilekill>", { "localkill old.htm" }, {});
    row("ftpfilekill parameter before", "<k>old.htm<ftpfilekill>", { "ftpkill old.htm" }, {});
    row("return echoes", "<return>ping</return>", { "send ping" }, {});
    row("name connects lower-case", "<name>site one</name><visible>", { "connect site one" }, { "<visible>" });
    row("name compared with the lower-cased profile", "<name>Mirror</name>", {}, { "<name>", "Mirror", "</name>" });
    row("unknown name removes nothing", "<name>nobody</name>", {}, { "<name>", "nobody", "</name>" });
    row("unknown tags ignored", "<hello><by>text", {}, { "<hello>", "<by>", "text" });
    // The lines after a consuming command move into the removed places and are skipped.
    row("second command after a consuming one is skipped", "<download>a</download><visible><invisible>",
        { "download a" }, { "<visible>", "<invisible>" });
    row("fourth one is reached", "<download>a</download><x><y><z><visible>", { "download a", "show" },
        { "<x>", "<y>", "<z>" });
    row("commands without parameters run in turn", "<upfile><ftpupdir><locallist>", { "upfile", "ftpupdir", "send L" },
        { "<upfile>", "<ftpupdir>" });
    row("values keep their case and blanks", "<download> Big File.TXT </download>", { "download  Big File.TXT " }, {});
}

void TestCompanionProtocol::interpreter()
{
    QFETCH(QString, message);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, left);
    RecordingCommands commands;
    QStringList lines = CompanionProtocol::messageLines(message);
    CommandInterpreter::run(lines, commands);
    QCOMPARE(commands.calls, calls);
    QCOMPARE(lines, left);
}

QTEST_GUILESS_MAIN(TestCompanionProtocol)
#include "tst_companionprotocol.moc"
