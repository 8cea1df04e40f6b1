// Runs of many files over several connections, against pyftpdlib and vsftpd: a folder tree goes
// both ways as it does over one connection, a server that allows one session per address leaves
// the run to the pane's connection, and Stop or a dead server end every connection's transfer
// without a half file or a temporary file left on either side.
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
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

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
    QByteArray bytes;
    if (FILE* f = std::fopen(path.constData(), "rb")) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
            bytes.append(chunk, qsizetype(n));
        std::fclose(f);
    }
    return bytes;
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
    void siteBothWays(FtpServerFixture& s, bool passive, int connections, bool conversion, SiteRun& out)
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
        siteBothWays(s, passive == "yes", 1, conversion == "yes", one);
        if (QTest::currentTestFailed())
            return;

        // One connection is the reference: check it where the result is plain. Text files travel
        // in ASCII mode, and with the conversion on they arrive in CP932 with CR LF.
        Tree expected, arrived = one.local;
        for (const auto& [name, bytes] : site.asKeyValueRange())
            expected.insert(name.toUtf8(), name.endsWith(".bin") ? bytes : QByteArray());
        for (const char* folder : { "site/", "site/sub/", "site/sub/deep/" })
            expected.insert(folder, {});
        for (auto f = arrived.begin(); f != arrived.end(); ++f) {
            if (f.key().endsWith(".html") && conversion == "yes")
                QCOMPARE(f.value(), SjisPage);
            if (!f.key().endsWith(".bin"))
                f.value().clear();
        }
        QCOMPARE(arrived, expected);
        QCOMPARE(one.counts, QList<int>({ files, 3, 3, files, files }));
        QCOMPARE(QList<int>({ one.logins, one.downloaders, one.uploaders }), QList<int>({ 1, 1, 1 }));
        QCOMPARE(one.uploaded.size(), files + 3);
        QCOMPARE(one.uploaded.value("site/sub/deep/c7.bin"), binary(7, 7000));

        for (const QString& n : connections.split(u' ')) {
            SiteRun many;
            siteBothWays(s, passive == "yes", n.toInt(), conversion == "yes", many);
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
        QCOMPARE(local.size(), site.size() + 3);
        QCOMPARE(local.value("site/sub/deep/c5.bin"), binary(5, 5000));
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
        rig.ws->options().setPassiveMode(true);
        QVERIFY(rig.connect(s));
        rig.ws->statusLines().setStringList({});
        const QRegularExpression session("\\[pid (\\d+)\\] \\[\\w+\\] FTP command: Client \"[^\"]*\", \"RETR ");
        const qsizetype paneLog = s.logText().size(); // the pane's session is the only one so far
        qint64 killed = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString log = s.logText();
            for (auto m = session.globalMatch(log, paneLog); !killed && m.hasNext();) {
                const QString pid = m.next().captured(1);
                if (log.left(paneLog).contains("[pid " + pid + "]"))
                    continue;
                // The session's privileged process too, or it would say "500 OOPS" before it goes.
                killed = pid.toLongLong();
                const QByteArray stat = readFile("/proc/" + pid + "/stat");
                ::kill(pid_t(stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toLongLong()), SIGKILL);
                ::kill(pid_t(killed), SIGKILL);
            }
        });
        watch.start(5);

        rig.ws->transfers().DownloadTree("site");

        QVERIFY(killed > 0);
        const QStringList lost = rig.statusTexts().filter("切れたため");
        QCOMPARE(lost.size(), 1);
        QVERIFY2(
            lost.first().contains(QRegularExpression("^追加の接続[234]が切れたため、残りの接続で転送を続けます。$")),
            qPrintable(lost.first()));
        Tree expected, local = rawTree(rig.local.path());
        for (const auto& [name, bytes] : site.asKeyValueRange())
            expected.insert(name.toUtf8(), name.endsWith(".bin") ? bytes : local.value(name.toUtf8()));
        for (const char* folder : { "site/", "site/sub/", "site/sub/deep/" })
            expected.insert(folder, {});
        QCOMPARE(local, expected);
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

    // Stop while four connections download, and while they replace files on the server: the run
    // ends at once, every file is the whole old or the whole new one, no temporary file remains,
    // and the status window showed each connection's file meanwhile.
    void stopEndsEveryConnection()
    {
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
        StatusReport& report = rig.ws->statusReport();
        Transfers& transfers = rig.ws->transfers();

        QStringList inFlight;
        QElapsedTimer sinceStop;
        QString done = Fetched;
        qsizetype doneAtStop = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            inFlight += report.inFlight();
            if (!sinceStop.isValid() && (doneAtStop = rig.statusTexts().filter(done).size()) >= 8)
                sinceStop.start(), report.requestStop();
        });
        watch.start(20);
        const auto wholeOrOld = [&](const QString& root, const QMap<QString, QByteArray>& files) {
            int fresh = 0;
            for (const auto& [name, bytes] : files.asKeyValueRange()) {
                const QByteArray held = readFile(root + u'/' + name);
                if (held != "old" && held != bytes)
                    return qWarning("%s: %d bytes", qPrintable(name), int(held.size())), -1;
                fresh += held == bytes;
            }
            return fresh;
        };

        transfers.DownloadTree("many");
        QVERIFY(sinceStop.isValid());
        QVERIFY2(sinceStop.elapsed() < 2000, qPrintable(QString::number(sinceStop.elapsed())));
        QCOMPARE(entriesBelow(rig.localPath("many")), QStringList(down.keys()).replaceInStrings("many/", ""));
        const int fetched = wholeOrOld(rig.local.path(), down);
        QVERIFY2(fetched >= 8 && fetched < 150, qPrintable(QString::number(fetched)));
        QCOMPARE(rig.statusTexts().filter(Fetched).size(), fetched);
        QCOMPARE(report.FileCount, fetched);
        QVERIFY(!rig.statusTexts().filter("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ中止:").isEmpty());
        // After the Stop at most the files the connections were finishing: one in flight on each,
        // and one more on each extra connection that ended and was not yet told.
        QVERIFY2(fetched - doneAtStop <= 7, qPrintable(QString("%1 %2").arg(fetched).arg(doneAtStop)));
        QVERIFY(!rig.ws->state().StopRequested && report.inFlight().isEmpty());
        // Each connection's file was shown, the extra ones with their share done.
        QVERIFY2(inFlight.filter(QRegularExpression("^接続1: /many/\\d{3}\\.bin$")).size() > 0
                && inFlight.filter(QRegularExpression("^接続[234]: /many/\\d{3}\\.bin( \\d+%)?$")).size() > 0,
            qPrintable(inFlight.join(u'|')));

        rig.ws->statusLines().setStringList({});
        sinceStop.invalidate();
        done = Sent;
        transfers.uploadTrees({ "up" }, rig.local.path(), "/");
        QVERIFY(sinceStop.isValid());
        QVERIFY2(sinceStop.elapsed() < 2000, qPrintable(QString::number(sinceStop.elapsed())));
        QCOMPARE(entriesBelow(s.root() + "/up"), QStringList(up.keys()).replaceInStrings("up/", ""));
        const int sent = wholeOrOld(s.root(), up);
        QVERIFY2(sent >= 8 && sent < 150, qPrintable(QString::number(sent)));
        QCOMPARE(rig.statusTexts().filter(Sent).size(), sent);
        QVERIFY(!rig.statusTexts().filter("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄﾞ中止:").isEmpty());
        QVERIFY2(sent - doneAtStop <= 7, qPrintable(QString("%1 %2").arg(sent).arg(doneAtStop)));
        QVERIFY(!rig.ws->state().StopRequested && rig.dialogs.asked.isEmpty());
        // The extra connections replaced files too.
        QVERIFY(sessionsSending(s.logText(), "RNTO") > 1);
    }

    // The server dies while four connections download: one line says so, and the run ends.
    void serverKilled()
    {
        FtpServerFixture::Options o;
        o.replyDelayMs = 10;
        FtpServerFixture s(o);
        const QMap<QString, QByteArray> down = manyFiles("many", 200);
        QVERIFY(startServer(s) && writeRaw(s.root(), down, false));
        WorkspaceRig rig;
        for (const QString& name : down.keys())
            QVERIFY(writeFile(rig.localPath(name), "old", at(2020, 1, 1)));
        rig.ws->options().setTransferConnections(4);
        rig.ws->options().setPassiveMode(true);
        QVERIFY(rig.connect(s));
        rig.ws->statusLines().setStringList({});
        QElapsedTimer sinceKill;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (!sinceKill.isValid() && rig.statusTexts().filter(Fetched).size() >= 8)
                sinceKill.start(), s.kill();
        });
        watch.start(20);

        rig.ws->transfers().DownloadTree("many");

        QVERIFY(sinceKill.isValid());
        QVERIFY2(sinceKill.elapsed() < 5000, qPrintable(QString::number(sinceKill.elapsed())));
        QCOMPARE(rig.statusTexts().count(Dropped), 1);
        QCOMPARE(entriesBelow(rig.localPath("many")), QStringList(down.keys()).replaceInStrings("many/", ""));
        int fetched = 0;
        for (const auto& [name, bytes] : down.asKeyValueRange()) {
            const QByteArray held = readFile(rig.localPath(name));
            QVERIFY2(held == "old" || held == bytes, qPrintable(name));
            fetched += held == bytes;
        }
        QCOMPARE(rig.statusTexts().filter(Fetched).size(), fetched);
        QVERIFY(!rig.ws->transfers().isRunning() && rig.ws->statusReport().inFlight().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestConnections)
#include "tst_connections.moc"
