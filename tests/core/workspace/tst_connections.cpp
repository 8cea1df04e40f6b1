// Runs of many files over several connections, against pyftpdlib and vsftpd: a folder tree goes
// both ways as it does over one connection, a server that allows one session per address leaves
// the run to the pane's connection, a lost extra connection hands its file on, a slow one does not
// hold the run's end, and Stop or a dead server end every connection's transfer without a half
// file or a temporary file left on either side.
#include "core/app/statusreport.h"
#include "core/settings/options.h"
#include "core/transfer/transfers.h"
#include "support/removetree.h"
#include "workspacerig.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <thread>

namespace {

using Tree = QMap<QByteArray, QByteArray>;

const QString Dropped = "FTPサーバーとの接続が切れたため、転送を中止しました。";
const QString Fetched = "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:";
const QString Sent = "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ:";
// "日本語" and a half-width "ｱ", with CR LF: as EUC-JP on the server, as CP932 once converted.
const QByteArray EucPage("<p>\xC6\xFC\xCB\xDC\xB8\xEC</p>\r\n<p>\x8E\xB1</p>\r\n");
const QByteArray SjisPage("<p>\x93\xFA\x96\x7B\x8C\xEA</p>\r\n<p>\xB1</p>\r\n");

QByteArray binary(int seed, int size = 3000)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed * 13) & 0xFF);
    return bytes;
}

// Three folders, 25 files: pages in ASCII mode (one with a Japanese name), an empty file, binaries.
// The extra connections log in while the pane's already moves files; vsftpd logs them in slowly
// (PAM), and 150 more files give them a share of the run.
QMap<QString, QByteArray> siteFiles(bool fillers)
{
    QMap<QString, QByteArray> files { { "site/index.html", EucPage }, { "site/日本語.html", EucPage },
        { "site/empty.txt", {} }, { "site/logo.bin", binary(0) }, { "site/sub/page.html", EucPage },
        { "site/sub/deep/note.txt", "note\n" } };
    for (int i = 1; i <= 7; ++i) {
        if (i <= 5)
            files.insert(QString("site/a%1.txt").arg(i), "line " + QByteArray::number(i) + "\n");
        files.insert(QString("site/sub/b%1.txt").arg(i), QByteArray("text\n").repeated(i));
        files.insert(QString("site/sub/deep/c%1.bin").arg(i), binary(i, 1000 * i));
    }
    for (int i = 0; fillers && i < 150; ++i)
        files.insert(QString("site/sub/deep/f%1.bin").arg(i, 3, 10, QChar(u'0')), binary(i, 4096));
    return files;
}

QByteArray readRaw(const QByteArray& path)
{
    std::ifstream in(path.constData(), std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The files under their names' bytes: CP932 for a server without UTF-8 names.
bool writeRaw(const QString& root, const QMap<QString, QByteArray>& files, bool cp932)
{
    for (auto f = files.cbegin(); f != files.cend(); ++f) {
        const QByteArray path = QFile::encodeName(root) + '/' + (cp932 ? Cp932::encode(f.key()) : f.key().toUtf8());
        for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
            ::mkdir(path.left(slash).constData(), 0755);
        FILE* out = std::fopen(path.constData(), "wb");
        const bool ok = out && std::fwrite(f->constData(), 1, size_t(f->size()), out) == size_t(f->size());
        if (!out || std::fclose(out) != 0 || !ok)
            return false;
    }
    return true;
}

// Every entry below `root` by the bytes of its name (folders end with "/"), with its content.
Tree rawTree(const QByteArray& root, const QByteArray& prefix = {})
{
    Tree out;
    DIR* d = ::opendir(root.constData());
    for (dirent* e; d && (e = ::readdir(d));) {
        const QByteArray name(e->d_name), path = root + '/' + name;
        struct stat st { };
        if (name == "." || name == ".." || ::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            out.insert(prefix + name + '/', {}), out.insert(rawTree(path, prefix + name + '/'));
        else
            out.insert(prefix + name, readRaw(path));
    }
    if (d)
        ::closedir(d);
    return out;
}
Tree rawTree(const QString& root) { return rawTree(QFile::encodeName(root)); }

// Sessions that logged in, as the server's log tells.
int logins(const FtpServerFixture& s) { return int(s.logText().count(QRegularExpression("OK LOGIN|logged in\\."))); }

// The sessions that sent `verb` in a piece of the server's log: pyftpdlib names them by the
// client's address and port, vsftpd by the session process.
int sessionsSending(const QString& log, const QString& verb)
{
    const QRegularExpression command("(\\d+\\.\\d+\\.\\d+\\.\\d+:\\d+)-\\[\\w*\\] <- " + verb
        + " |\\[pid (\\d+)\\] .*FTP command: Client \"[^\"]*\", \"" + verb + " ");
    QSet<QString> sessions;
    for (auto m = command.globalMatch(log); m.hasNext();) {
        const QRegularExpressionMatch found = m.next();
        sessions.insert(found.captured(1) + found.captured(2));
    }
    return int(sessions.size());
}

// What `site` gives below the local folder: the folders, and the files with the binaries' bytes;
// the text files as `arrived` holds them (ASCII mode changes their line ends).
Tree siteArrived(const QMap<QString, QByteArray>& site, const Tree& arrived)
{
    Tree expected { { "site/", {} }, { "site/sub/", {} }, { "site/sub/deep/", {} } };
    for (const auto& [name, bytes] : site.asKeyValueRange())
        expected.insert(name.toUtf8(), name.endsWith(".bin") ? bytes : arrived.value(name.toUtf8()));
    return expected;
}

// QTemporaryDir cannot remove names that are not UTF-8.
void emptyFolder(const QString& root)
{
    removeTree(QFile::encodeName(root));
    QDir().mkpath(root);
}

// What one workspace saw of a folder download and the upload of what arrived.
struct SiteRun {
    Tree local, uploaded;
    QStringList log, status, ftpMarks, localMarks;
    QList<int> counts;
    int logins = 0, downloaders = 0, uploaders = 0; // sessions that logged in, fetched, sent
};

// `count` files "nnn.bin" of 64 KiB under `folder`.
QMap<QString, QByteArray> manyFiles(const QString& folder, int count)
{
    QMap<QString, QByteArray> files;
    for (int i = 0; i < count; ++i)
        files.insert(folder + QString("/%1.bin").arg(i, 3, 10, QChar(u'0')), binary(i, 65536));
    return files;
}

} // namespace

class TestConnections : public QObject {
    Q_OBJECT

    // Downloads "site" with `connections`, then sends the local copy to "/back<connections>".
    void runSite(FtpServerFixture& s, bool passive, int connections, bool conversion, SiteRun& out)
    {
        WorkspaceRig rig;
        Options& options = rig.ws->options();
        options.setPassiveMode(passive);
        options.setTransferConnections(connections);
        options.setCodeConversion(0, conversion);
        options.setCodeConversion(1, conversion);
        if (s.isTls())
            rig.dialogs.queueAnswer(Dialogs::Answer::Yes); // the certificate, asked once for all connections
        const int before = logins(s);
        const qsizetype logStart = s.logText().size();
        QVERIFY(rig.connect(s));
        rig.ws->statusLines().setStringList({});
        const qsizetype logged = rig.logEntries().size();
        Transfers& transfers = rig.ws->transfers();
        StatusReport& report = rig.ws->statusReport();

        transfers.DownloadTree("site");
        out.counts = { report.FileCount, report.FolderCount };
        out.ftpMarks = treeMarks(rig.remote().folderTree());
        out.local = rawTree(rig.local.path());

        const QString back = "/back" + QString::number(connections);
        QVERIFY(QDir(s.root()).mkpath(back.mid(1)));
        rig.showRemote(back);
        rig.showLocal();
        QVERIFY(rig.selectLocal({ "site" }));
        transfers.UploadSelection();
        out.counts << report.FolderCount << report.FileCount << report.FileTotal;
        out.uploaded = rawTree(s.root() + back);
        out.logins = logins(s) - before;
        out.downloaders = sessionsSending(s.logText().mid(logStart), "RETR");
        out.uploaders = sessionsSending(s.logText().mid(logStart), "STOR");
        QVERIFY2(rig.dialogs.asked.size() == (s.isTls() ? 1 : 0), qPrintable(rig.dialogs.texts().join(u'|')));

        // The local folder differs from run to run; the clock is the rig's.
        const auto local = [&](QStringList lines) {
            for (const QString& path : { QDir(rig.local.path()).canonicalPath(), rig.local.path() })
                lines.replaceInStrings(path, "<local>");
            lines.sort();
            return lines;
        };
        out.localMarks = local(treeMarks(rig.localPane().folderTree()));
        out.log = local(rig.logEntries().mid(logged));
        // A server that drops an extra connection (pyftpdlib's threads race for a passive port
        // now and then) costs a line; its file goes over another connection.
        out.status = local(rig.statusTexts().filter(QRegularExpression("^(?!追加の接続\\dが切れたため)")));
    }

private Q_SLOTS:
    void siteBothWays_data()
    {
        TextTable::rows({ "server", "passive", "connections", "conversion" }, R"(
pyftpdlib passive | pyftpdlib | yes | 2 4 | no
pyftpdlib passive, EUC-JP conversion | pyftpdlib | yes | 4 | yes
pyftpdlib explicit TLS | pyftpdlib TLS | yes | 4 | no
vsftpd active, EUC-JP conversion | vsftpd | no | 2 | yes
vsftpd active | vsftpd | no | 4 | no
vsftpd explicit TLS passive | vsftpd TLS | yes | 2 | no
)");
    }
    // Whatever connection moved a file, the trees, log, counts, marks and status lines are those of
    // one connection.
    void siteBothWays()
    {
        auto [server, passive, connections, conversion] = fetch("server", "passive", "connections", "conversion");
        const bool vsftpd = server.startsWith("vsftpd");
        FtpServerFixture::Options o;
        o.kind = server.endsWith("TLS") ? (vsftpd ? Kind::VsftpdTls : Kind::PyftpdlibTls)
                                        : (vsftpd ? Kind::Vsftpd : Kind::Pyftpdlib);
        // A round trip to pyftpdlib as a network has one: its logins are quick, its files too.
        o.replyDelayMs = vsftpd ? 0 : 3;
        FtpServerFixture s(o);
        QVERIFY(startServer(s));
        // vsftpd announces no UTF-8: the Japanese name is CP932 on the server.
        const auto cleanUp = qScopeGuard([&] { emptyFolder(s.root()); });
        const QMap<QString, QByteArray> site = siteFiles(vsftpd);
        const int files = int(site.size());
        QVERIFY(writeRaw(s.root(), site, vsftpd));
        SiteRun one;
        runSite(s, passive == "yes", 1, conversion == "yes", one);
        if (QTest::currentTestFailed())
            return;

        // One connection is the reference: check it where the result is plain. With the conversion
        // on, pages arrive in CP932 with CR LF.
        QCOMPARE(one.local, siteArrived(site, one.local));
        if (conversion == "yes")
            QCOMPARE(one.local.value("site/日本語.html"), SjisPage);
        QCOMPARE(one.counts, QList<int>({ files, 3, 3, files, files }));
        QCOMPARE(QList<int>({ one.logins, one.downloaders, one.uploaders }), QList<int>({ 1, 1, 1 }));
        QCOMPARE(one.uploaded.size(), files + 3);
        QCOMPARE(one.uploaded.value("site/sub/deep/c7.bin"), binary(7, 7000));

        for (const QString& n : connections.split(u' ')) {
            SiteRun many;
            runSite(s, passive == "yes", n.toInt(), conversion == "yes", many);
            if (QTest::currentTestFailed())
                return;
            // The pane's login and, for each of the two runs, the extra connections that logged in
            // before its files were done; several connections moved files both ways.
            QVERIFY2(
                many.logins > 1 && many.logins <= 1 + 2 * (n.toInt() - 1) && many.downloaders > 1 && many.uploaders > 1,
                qPrintable(QString("%1 %2 %3").arg(many.logins).arg(many.downloaders).arg(many.uploaders)));
            QCOMPARE(many.local, one.local);
            QCOMPARE(many.uploaded, one.uploaded);
            QCOMPARE(many.counts, one.counts);
            QCOMPARE(many.ftpMarks, one.ftpMarks);
            QCOMPARE(many.localMarks, one.localMarks);
            QCOMPARE(many.log, one.log);
            QCOMPARE(many.status, one.status);
        }
    }

    void oneSessionPerAddress_data() { serverRows({ "pyftpdlib", "vsftpd" }); }
    // The extra connections are turned away; the pane's connection moves every file.
    void oneSessionPerAddress()
    {
        auto [server] = fetch("server");
        FtpServerFixture::Options o;
        o.kind = server == "vsftpd" ? Kind::Vsftpd : Kind::Pyftpdlib;
        o.maxConnectionsPerIp = 1;
        FtpServerFixture s(o);
        const auto cleanUp = qScopeGuard([&] { emptyFolder(s.root()); });
        // A run long enough that every refusal comes in while it goes.
        const QMap<QString, QByteArray> site = siteFiles(true);
        QVERIFY(startServer(s) && writeRaw(s.root(), site, o.kind == Kind::Vsftpd));
        WorkspaceRig rig;
        rig.ws->options().setTransferConnections(4);
        rig.ws->options().setPassiveMode(true);
        rig.setProfile(s);
        // The probe that found the server ready may count as a session for a moment.
        for (int i = 0; i < 30 && !rig.ws->state().IsConnected; ++i, QTest::qWait(100))
            rig.remote().ConnectServer();
        QVERIFY(rig.ws->state().IsConnected);
        rig.showLocal();
        rig.dialogs.clear();
        rig.ws->statusLines().setStringList({});

        rig.ws->transfers().DownloadTree("site");

        const Tree local = rawTree(rig.local.path());
        QCOMPARE(local, siteArrived(site, local));
        QCOMPARE(rig.ws->statusReport().FileCount, site.size());
        QCOMPARE(rig.statusTexts().filter(Fetched).size(), site.size());
        // One line however many connections were turned away, naming one of them.
        const QStringList refused = rig.statusTexts().filter("追加の接続");
        QCOMPARE(refused.size(), 1);
        QVERIFY2(refused.first().contains(
                     QRegularExpression("^追加の接続[234]はサーバーに断られたため、残りの接続で転送します（.+）$")),
            qPrintable(refused.first()));
        QVERIFY2(rig.dialogs.asked.isEmpty(), qPrintable(rig.dialogs.texts().join(u'|')));
        QCOMPARE(logins(s), 1);
    }

    // One extra connection's session dies in the middle of a run, without a word: its file goes
    // over another connection, the run goes on, and every file arrives once.
    void lostExtraConnection()
    {
        FtpServerFixture s(Kind::Vsftpd);
        const QMap<QString, QByteArray> site = siteFiles(true);
        QVERIFY(startServer(s) && writeRaw(s.root(), site, true));
        const auto cleanUp = qScopeGuard([&] { emptyFolder(s.root()); });
        WorkspaceRig rig;
        rig.ws->options().setTransferConnections(4);
        // Active mode: the dead session shows on the control connection. In passive mode the refused
        // data connection comes first and that file fails instead of moving on, a fault of its own.
        rig.ws->options().setPassiveMode(false);
        QVERIFY(rig.connect(s));
        rig.ws->statusLines().setStringList({});
        const QRegularExpression session("\\[pid (\\d+)\\] \\[\\w+\\] FTP command: Client \"[^\"]*\", \"RETR ");
        const qsizetype paneLog = s.logText().size(); // the pane's session is the only one so far
        // A thread of its own watches the log: the window's thread is busy moving files.
        std::atomic<qint64> killed = 0;
        std::atomic<bool> running = true;
        std::thread watch([&] {
            for (; running && !killed; std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
                const QString log = s.logText();
                for (auto m = session.globalMatch(log, paneLog); !killed && m.hasNext();) {
                    const QString pid = m.next().captured(1);
                    if (log.left(paneLog).contains("[pid " + pid + "]"))
                        continue;
                    // With the session's privileged process, both frozen first: either one left
                    // alone for a moment would say "500 OOPS" as the other goes.
                    const QByteArray stat = readFile("/proc/" + pid + "/stat");
                    const pid_t processes[]
                        = { pid_t(stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toLongLong()),
                              pid_t(pid.toLongLong()) };
                    for (const int signal : { SIGSTOP, SIGKILL })
                        for (const pid_t process : processes)
                            ::kill(process, signal);
                    killed = pid.toLongLong();
                }
            }
        });

        rig.ws->transfers().DownloadTree("site");
        running = false;
        watch.join();

        QVERIFY(killed > 0);
        const QStringList lost = rig.statusTexts().filter("切れたため");
        QCOMPARE(lost.size(), 1);
        QVERIFY2(
            lost.first().contains(QRegularExpression("^追加の接続[234]が切れたため、残りの接続で転送を続けます。$")),
            qPrintable(lost.first()));
        QVERIFY2(rig.statusTexts().filter("失敗").isEmpty(), qPrintable(rig.statusTexts().filter("失敗").join(u'|')));
        const Tree local = rawTree(rig.local.path());
        QCOMPARE(local, siteArrived(site, local));
        QCOMPARE(rig.statusTexts().filter(Fetched).size(), site.size());
        QCOMPARE(rig.ws->statusReport().FileCount, site.size());
    }

    // A run shorter than an extra connection's login ends when its files do: the window does not
    // wait, frozen, for a server that greets late or never.
    void lateExtraLogin_data()
    {
        TextTable::rows({ "greeting" }, R"(
greets after 3 s | on CONNECT 2\n sleep 3000\n default\nend
never greets | on CONNECT 2\n silent\nend
)");
    }
    void lateExtraLogin()
    {
        auto [greeting] = fetch("greeting");
        ScriptedFtpServer server;
        WorkspaceRig rig;
        rig.ws->options().setTransferConnections(2);
        // Active: the scripted server binds its passive ports without SO_REUSEADDR, and a port
        // block another test used a moment ago may hold none it can take.
        rig.ws->options().setPassiveMode(false);
        QVERIFY(rig.connect(server, "dir /site\nfile /site/a.txt text a\\n\n" + greeting + u'\n'));
        QElapsedTimer run;
        run.start();
        rig.ws->transfers().DownloadTree("site");
        QVERIFY2(run.elapsed() < 1500, qPrintable(QString::number(run.elapsed())));
        QVERIFY2(readFile(rig.localPath("site/a.txt")) == "a\n", qPrintable(rig.statusTexts().join(u'|')));
    }

    // Stop, or a server that dies, while four connections download; Stop while they replace files
    // on the server. The run ends at once, every file is the whole old or the whole new one, no
    // temporary file remains, and the status window showed each connection's file meanwhile.
    void cutShort_data() { TextTable::rows({ "cut" }, "Stop | stop\nserver killed | kill\n"); }
    void cutShort()
    {
        auto [cut] = fetch("cut");
        FtpServerFixture::Options o;
        // Each reply takes longer than the engine waits before it looks at Stop: the Stop comes
        // inside the files in flight.
        o.replyDelayMs = 60;
        FtpServerFixture s(o);
        const QMap<QString, QByteArray> down = manyFiles("many", 200), up = manyFiles("up", 200);
        QVERIFY(startServer(s) && writeRaw(s.root(), down, false));
        WorkspaceRig rig;
        for (const QString& name : down.keys() + up.keys()) {
            const bool onServer = name.startsWith("up/");
            QVERIFY(writeFile((onServer ? s.root() : rig.local.path()) + u'/' + name, "old", at(2020, 1, 1)));
        }
        QVERIFY(writeRaw(rig.local.path(), up, false));
        rig.ws->options().setTransferConnections(4);
        rig.ws->options().setPassiveMode(true);
        rig.ws->options().setReplaceThroughTemporary(true);
        QVERIFY(rig.connect(s));
        rig.ws->statusLines().setStringList({});
        StatusReport& report = rig.ws->statusReport();
        Transfers& transfers = rig.ws->transfers();

        QStringList inFlight;
        QElapsedTimer sinceCut;
        QString done = Fetched;
        qsizetype doneAtCut = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&, cut = cut] {
            inFlight += report.inFlight();
            if (sinceCut.isValid() || (doneAtCut = rig.statusTexts().filter(done).size()) < 8)
                return;
            sinceCut.start();
            cut == "stop" ? report.requestStop() : s.kill();
        });
        watch.start(20);
        // Below `root` the files of `files` and nothing else, each with the old or the new content.
        const auto arrived = [&](const QString& root, const QMap<QString, QByteArray>& files, const QString& line) {
            const QString folder = files.firstKey().section(u'/', 0, 0);
            QCOMPARE(entriesBelow(root + u'/' + folder), QStringList(files.keys()).replaceInStrings(folder + u'/', ""));
            int fresh = 0;
            for (const auto& [name, bytes] : files.asKeyValueRange()) {
                const QByteArray held = readFile(root + u'/' + name);
                QVERIFY2(held == "old" || held == bytes, qPrintable(name));
                fresh += held == bytes;
            }
            QVERIFY2(fresh >= 8 && fresh < 150, qPrintable(QString::number(fresh)));
            QCOMPARE(rig.statusTexts().filter(line).size(), fresh);
            // After the cut at most the files the connections were finishing: one in flight on
            // each, and one more on each extra connection that ended and was not yet told.
            QVERIFY2(fresh - doneAtCut <= 7, qPrintable(QString("%1 %2").arg(fresh).arg(doneAtCut)));
        };

        transfers.DownloadTree("many");
        QVERIFY2(sinceCut.isValid(), qPrintable(rig.statusTexts().join(u'|').right(1000)));
        QVERIFY2(sinceCut.elapsed() < 2000, qPrintable(QString::number(sinceCut.elapsed())));
        arrived(rig.local.path(), down, Fetched);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!rig.ws->state().StopRequested && report.inFlight().isEmpty());
        if (cut == "kill") {
            QCOMPARE(rig.statusTexts().count(Dropped), 1);
            return;
        }
        // Stop came inside a file; each connection's file was shown.
        QVERIFY(!rig.statusTexts().filter("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:").isEmpty());
        QVERIFY2(inFlight.filter(QRegularExpression("^接続1: /many/\\d{3}\\.bin$")).size() > 0
                && inFlight.filter(QRegularExpression("^接続[234]: /many/\\d{3}\\.bin( \\d+%)?$")).size() > 0,
            qPrintable(inFlight.join(u'|')));

        rig.ws->statusLines().setStringList({});
        sinceCut.invalidate();
        done = Sent;
        transfers.uploadTrees({ "up" }, rig.local.path(), "/");
        QVERIFY2(sinceCut.isValid(), qPrintable(rig.statusTexts().join(u'|').right(1000)));
        QVERIFY2(sinceCut.elapsed() < 2000, qPrintable(QString::number(sinceCut.elapsed())));
        arrived(s.root(), up, Sent);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!rig.statusTexts().filter("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:").isEmpty());
        QVERIFY(!rig.ws->state().StopRequested && rig.dialogs.asked.isEmpty());
        // The extra connections replaced files too.
        QVERIFY(sessionsSending(s.logText(), "RNTO") > 1);
    }
};

QTEST_GUILESS_MAIN(TestConnections)
#include "tst_connections.moc"
