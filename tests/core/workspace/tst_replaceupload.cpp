// Uploads that replace a server file through a temporary name: an upload cut or stopped in the
// middle leaves the old page whole and no temporary file, the old mode stays, servers that refuse
// a step of it still end with the new content, and the option turns it off.
#include "core/app/statusreport.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "core/transfer/transfers.h"
#include "workspacerig.h"

#include <QRegularExpression>
#include <sys/stat.h>

namespace {

// The commands that change server files, temporary names written "~name".
QString changes(const QStringList& commands)
{
    static const QStringList verbs { "STOR", "DELE", "RNFR", "RNTO", "SITE" };
    QStringList out;
    for (const QString& c : commands) {
        if (verbs.contains(c.section(u' ', 0, 0).toUpper()))
            out << QString(c).replace(QRegularExpression(R"(\.~ftptarvo-(.*)\.part)"), "~\\1");
    }
    return out.join(u'|');
}

// What the server holds under `name` against the old and the new content: "old", "new", "none".
QString heldBy(WorkspaceRig& rig, const QString& name, const QByteArray& oldBytes, const QByteArray& newBytes)
{
    const QString copy = rig.home.filePath("fetched");
    QFile::remove(copy);
    if (!rig.connection()->getFile(name, copy, false, TransferType::Binary))
        return "none";
    const QByteArray held = readFile(copy);
    return held == oldBytes ? "old" : held == newBytes ? "new" : "other";
}

int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool setMode(const QString& path, int mode) { return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0; }

QStringList refusalNotices(const WorkspaceRig& rig) { return rig.statusTexts().filter("一時ファイル"); }

} // namespace

class TestReplaceUpload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scriptedServers_data()
    {
        // a.html and b.html are on the server, c.html is new. after: what the server then holds.
        TextTable::rows({ "script", "option", "commands", "after", "notices" }, R"(
replaced through temporary names, new file direct | | ON | STOR /~a.html|SITE CHMOD 644 /~a.html|RNFR /~a.html|RNTO /a.html|STOR /~b.html|SITE CHMOD 644 /~b.html|RNFR /~b.html|RNTO /b.html|STOR /c.html | new new new | 0
option off: every file direct | | OFF | STOR /a.html|STOR /b.html|STOR /c.html | new new new | 0
data connection dropped mid-STOR | on STOR 1\n reply 150 Ok to send data.\n data-read 1000\n data-reset\n reply 426 Connection closed; transfer aborted.\nend | ON | STOR /~a.html|DELE /~a.html | old old none | 0
rename onto an existing name refused | on RNTO 1\n reply 550 Cannot rename onto an existing file.\nend | ON | STOR /~a.html|SITE CHMOD 644 /~a.html|RNFR /~a.html|RNTO /a.html|DELE /a.html|RNFR /~a.html|RNTO /a.html|STOR /~b.html|SITE CHMOD 644 /~b.html|DELE /b.html|RNFR /~b.html|RNTO /b.html|STOR /c.html | new new new | 0
rename refused | disable RNFR | ON | STOR /~a.html|SITE CHMOD 644 /~a.html|RNFR /~a.html|DELE /~a.html|STOR /a.html|STOR /b.html|STOR /c.html | new new new | 1
temporary file refused | on STOR 1\n reply 553 Could not create file.\nend | ON | STOR /~a.html|DELE /~a.html|STOR /a.html|STOR /b.html|STOR /c.html | new new new | 1
mode refused | on SITE\n reply 502 SITE not implemented.\nend | ON | STOR /~a.html|SITE CHMOD 644 /~a.html|DELE /~a.html|STOR /a.html|STOR /b.html|STOR /c.html | new new new | 1
)");
    }
    void scriptedServers()
    {
        auto [script, option, commands, after, notices] = fetch("script", "option", "commands", "after", "notices");
        ScriptedFtpServer server;
        WorkspaceRig rig;
        // No line end: the page travels in ASCII mode.
        const QByteArray fresh = QByteArray("<p>new page</p>").repeated(20000);
        QVERIFY(writeFile(rig.localPath("a.html"), fresh) && writeFile(rig.localPath("b.html"), fresh)
            && writeFile(rig.localPath("c.html"), fresh));
        // The choice as the settings file keeps it, the option set the other way first.
        rig.ws->options().setReplaceThroughTemporary(option != u"ON");
        rig.ws->options().settingsLines().updateOrAppend("<置き換え>", option);
        rig.ws->options().ApplySettings();
        QCOMPARE(rig.ws->options().replaceThroughTemporary(), option == u"ON");
        QVERIFY(rig.connect(server, "file /a.html text old page\nfile /b.html text old page\n" + script + u'\n'));
        rig.ws->statusLines().setStringList({});

        rig.ws->transfers().uploadFiles({ "a.html", "b.html", "c.html" }, rig.local.path(), "/");

        QCOMPARE(changes(server.commands()), commands);
        const QStringList held { heldBy(rig, "/a.html", "old page", fresh), heldBy(rig, "/b.html", "old page", fresh),
            heldBy(rig, "/c.html", "old page", fresh) };
        QCOMPARE(held.join(u' '), after);
        // The user sees the files as always; only a refusal names the temporary file, once.
        QCOMPARE(refusalNotices(rig).size(), notices.toInt());
        const QStringList others = rig.statusTexts().filter(QRegularExpression("^(?!.*一時ファイル)"));
        QVERIFY2(others.filter("ftptarvo").isEmpty(), qPrintable(others.join(u'|')));
        QCOMPARE(others.filter("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:").size(), after.count("new"));
        QVERIFY2(
            rig.dialogs.asked.size() == (after.contains("old") ? 1 : 0), qPrintable(rig.dialogs.texts().join(u'|')));
    }

    void cutUploadKeepsOldPage_data()
    {
        serverRows({ "pyftpdlib", "vsftpd" }, { "cut" }, R"(
stopped | stop
server killed | kill
)");
    }
    void cutUploadKeepsOldPage()
    {
        auto [server, cut] = fetch("server", "cut");
        FtpServerFixture s(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        WorkspaceRig rig;
        QFile big(rig.localPath("page.html"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(1) << 30));
        big.close();
        QVERIFY(rig.connectWith(s, { "keep.txt" }));
        QVERIFY(writeFile(s.root() + "/page.html", "the old page, whole\n"));
        StatusReport& report = rig.ws->statusReport();
        bool armed = true;
        connect(&report, &StatusReport::changed, this, [&, cut = cut] {
            if (!armed || report.fileDone() < 4 * 1024 * 1024)
                return;
            armed = false;
            cut == u"stop" ? report.requestStop() : s.kill();
        });

        rig.ws->transfers().uploadFiles({ "page.html" }, rig.local.path(), "/");

        QVERIFY(!armed);
        QCOMPARE(readFile(s.root() + "/page.html"), "the old page, whole\n");
        if (cut == u"kill")
            return; // nobody is left to remove the piece
        QCOMPARE(entriesBelow(s.root()), QStringList({ "keep.txt", "page.html" }));
        QCOMPARE(rig.statusTexts().last(), "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:page.html");
        QVERIFY(rig.dialogs.asked.isEmpty() && !rig.ws->state().StopRequested);

        // The connection goes on, and the next upload replaces the page.
        QVERIFY(writeFile(rig.localPath("page.html"), "the new page\n"));
        rig.ws->transfers().uploadFiles({ "page.html" }, rig.local.path(), "/");
        QCOMPARE(readFile(s.root() + "/page.html"), "the new page\n");
        QCOMPARE(entriesBelow(s.root()), QStringList({ "keep.txt", "page.html" }));
    }

    void replacedFilesKeepTheirMode_data() { serverRows({ "pyftpdlib", "vsftpd" }); }
    void replacedFilesKeepTheirMode()
    {
        auto [server] = fetch("server");
        FtpServerFixture s(server == u"vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib);
        QVERIFY(startServer(s));
        const QStringList local { "cgi-bin/run.cgi", "cgi-bin/data.txt", "cgi-bin/new.html" };
        QStringList runs[2]; // the status lines with the option on and off
        for (const bool replace : { true, false }) {
            QVERIFY(makeEntries(s.root(), { "cgi-bin/run.cgi", "cgi-bin/data.txt" }));
            QFile::remove(s.root() + "/cgi-bin/new.html");
            QVERIFY(setMode(s.root() + "/cgi-bin/run.cgi", 0755) && setMode(s.root() + "/cgi-bin/data.txt", 0600));
            WorkspaceRig rig;
            QVERIFY(makeEntries(rig.local.path(), local));
            for (const QString& name : local)
                QVERIFY(writeFile(rig.localPath(name), "#!/bin/sh\necho new\n"));
            rig.ws->options().setReplaceThroughTemporary(replace);
            QVERIFY(rig.connect(s));
            rig.ws->transfers().setTransferRule(1);

            rig.ws->transfers().uploadTrees({ "cgi-bin" }, rig.local.path(), "/");

            QCOMPARE(entriesBelow(s.root()),
                QStringList({ "cgi-bin/", "cgi-bin/data.txt", "cgi-bin/new.html", "cgi-bin/run.cgi" }));
            for (const QString& name : local)
                QCOMPARE(readFile(s.root() + u'/' + name), "#!/bin/sh\necho new\n");
            QCOMPARE(modeOf(s.root() + "/cgi-bin/run.cgi"), 0755);
            QCOMPARE(modeOf(s.root() + "/cgi-bin/data.txt"), 0600);
            QCOMPARE(rig.logCount("<ファイル書込>"), 3);
            runs[replace ? 0 : 1] = rig.statusTexts();
        }
        QCOMPARE(runs[0], runs[1]);
    }
};

QTEST_GUILESS_MAIN(TestReplaceUpload)
#include "tst_replaceupload.moc"
