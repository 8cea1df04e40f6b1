// The transfers of the real main window (offscreen, connected through its own profile) against
// other clients on the same server in the same run. Each figure is their time divided by ours
// (above 1: we are faster); the raw seconds follow as "<name>_ours_s" and "<name>_theirs_s".
//   tree_down_vs_lftp            2,000 files of 4 KiB in 50 folders: Transfers::DownloadTree
//                                against lftp "mirror", pyftpdlib
//   tree_up_vs_lftp              the same tree up: Transfers::UploadTree against "mirror -R"
//   tree_*_vs_lftp_delay20ms     both again with a server that waits 20 ms before every reply,
//                                as round trips on a real network do (each connection on its own)
//   tree_*_vs_lftp_p4_delay20ms  the delayed pair with four connections on each side: ours with
//                                four in the settings, lftp's "mirror --parallel=4"
// The figures without "p4" run ours on one connection and lftp on one, as before several
// connections existed.
//   download_selection_vs_engine one 1 GiB file selected in fileList through DownloadSelection
//                                against the engine's own getFile on the same connection, vsftpd
//   upload_selection_vs_engine   the same file up through UploadSelection against putFile
//   tree_up_replace_vs_lftp_p4_delay20ms
//                                300 files of 4 KiB in 10 folders, every one changed on the
//                                server's side already: UploadTree on four connections replacing
//                                each through a temporary name against "mirror -R --parallel=4",
//                                20 ms server
//   tree_up_replace_vs_direct_delay20ms
//                                the same upload with replacement against ours without it, both
//                                on four connections (below 1: what the safety costs)
// lftp's own start and login (measured alone as "lftp_login_s") is taken off its times, so the
// tree figures compare the transfers only. FTPTARVO_BENCH_RUNS sets the runs per side for the
// undelayed figures (default 3; the delayed ones run once); FTPTARVO_BENCH_ONLY, a regular
// expression, picks figures by name. The trees live on tmpfs (/dev/shm) when there is one.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftpsession/remotepane.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "support/ftpserverfixture.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr int TreeFolders = 50;
constexpr int TreeFilesPerFolder = 40;
constexpr int TreeFileSize = 4096;
constexpr qint64 BigSize = 1024ll * 1024 * 1024;

[[noreturn]] void die(const QString& why)
{
    std::fprintf(stderr, "bench_transfers: %s\n", qPrintable(why));
    std::exit(1);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool writePattern(const QString& path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char((i * 7 + i / 4096) % 251);
    for (qint64 done = 0; done < size; done += block.size())
        if (f.write(block.constData(), qMin<qint64>(block.size(), size - done)) < 0)
            return false;
    return true;
}

// `root`/d00 .. d49, 40 files of 4 KiB each.
void makeTree(const QString& root)
{
    QByteArray content(TreeFileSize, 'x');
    for (int d = 0; d < TreeFolders; ++d) {
        const QString folder = root + QStringLiteral("/d%1").arg(d, 2, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            die(QStringLiteral("cannot make ") + folder);
        for (int f = 0; f < TreeFilesPerFolder; ++f) {
            content[0] = char('a' + f % 26);
            if (!writeBytes(folder + QStringLiteral("/f%1.dat").arg(f, 3, 10, QLatin1Char('0')), content))
                die(QStringLiteral("cannot write into ") + folder);
        }
    }
}

// Where the trees are made: tmpfs when there is one. Creating thousands of small files on a
// disk shared with other work costs anything from a tenth of a second to seconds from one run to
// the next, which would decide the figure; both sides write to the same place.
QString fastFolder()
{
    const QString shm = QStringLiteral("/dev/shm");
    const QFileInfo info(shm);
    const QString base = info.isDir() && info.isWritable() ? shm : QDir::tempPath();
    return base + QStringLiteral("/bench_transfers-XXXXXX");
}

// Files below `root` with exactly `size` bytes.
int countFiles(const QString& root, qint64 size)
{
    int n = 0;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().size() == size)
            ++n;
    }
    return n;
}

double seconds(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

void print(const char* name, double ours, double theirs)
{
    std::printf("%s: %.3f\n%s_ours_s: %.3f\n%s_theirs_s: %.3f\n", name, theirs / ours, name, ours, name, theirs);
    std::fflush(stdout);
}

bool wanted(const QString& name)
{
    const QString only = qEnvironmentVariable("FTPTARVO_BENCH_ONLY");
    return only.isEmpty() || QRegularExpression(only).match(name).hasMatch();
}

// The commands a server received since `from` (a length of its log), by verb, and their total.
struct Commands {
    int total = 0;
    QMap<QString, int> verbs;
    QString text() const
    {
        QStringList parts;
        for (auto it = verbs.cbegin(); it != verbs.cend(); ++it)
            parts.append(it.key() + u'=' + QString::number(it.value()));
        return parts.join(u' ');
    }
};

Commands commandsSince(const FtpServerFixture& server, qsizetype from)
{
    Commands c;
    static const QRegularExpression command(QStringLiteral("<- ([A-Za-z]+)"));
    const QString log = server.logText().mid(from);
    for (auto it = command.globalMatch(log); it.hasNext();) {
        ++c.total;
        ++c.verbs[it.next().captured(1).toUpper()];
    }
    return c;
}

// The round trips behind a figure: commands per side, on stdout; their verbs on stderr.
void printCommands(const QString& name, const Commands& ours, const Commands& theirs)
{
    std::printf(
        "%s_ours_commands: %d\n%s_theirs_commands: %d\n", qPrintable(name), ours.total, qPrintable(name), theirs.total);
    std::fprintf(stderr, "%s ours: %s\n%s theirs: %s\n", qPrintable(name), qPrintable(ours.text()), qPrintable(name),
        qPrintable(theirs.text()));
    std::fflush(stdout);
}

// lftp against `server`, the commands `script` in `workDir`; dies when it fails.
void runLftp(const FtpServerFixture& server, const QString& workDir, const QString& script)
{
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    const QString settings = QStringLiteral("set cmd:fail-exit yes; set ftp:ssl-allow no; set net:max-retries 1; "
                                            "set ftp:passive-mode on; ");
    p.start(QStringLiteral("lftp"),
        { QStringLiteral("-u"), server.user() + u',' + server.password(), QStringLiteral("-p"),
            QString::number(server.port()), QStringLiteral("-e"), settings + script + QStringLiteral("; quit"),
            server.host() });
    if (!p.waitForStarted() || !p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        die(QStringLiteral("lftp failed: ") + script);
}

// The program's data folder with one profile for `server`, chosen as the last one.
QByteArray settingsFor(const FtpServerFixture& server)
{
    const QStringList fields { QStringLiteral("bench"), server.hostField(), server.user(),
        Profiles::scramblePassword(server.password()), QStringLiteral("c:"), QStringLiteral("-"), QStringLiteral("-") };
    QByteArray out;
    auto line = [&out](const QString& text) { out += Cp932::encode(text) + "\r\n"; };
    for (int i = 0; i < Profiles::FieldCount; ++i) {
        line(Profiles::fieldTag(i));
        line(fields[i]);
        line(SettingsLines::closingTag(Profiles::fieldTag(i)));
    }
    line(QStringLiteral("<最終 プロﾌｧｲﾙ>"));
    line(fields[0]);
    line(QStringLiteral("</最終 プロﾌｧｲﾙ>"));
    return out;
}

// The main window connected to one server, with a data folder of its own.
class Window {
public:
    explicit Window(const FtpServerFixture& server)
    {
        if (!m_data.isValid())
            die(QStringLiteral("no temporary folder"));
        qputenv("FTPTARVO_HOME", m_data.path().toUtf8());
        DataFolder::reset();
        if (!writeBytes(m_data.filePath(QStringLiteral("ftpset.ini")), settingsFor(server)))
            die(QStringLiteral("cannot write the settings"));
        w = std::make_unique<MainWindow>();
        w->Form_Load(QString());
        w->show();
        // Passive data connections, as lftp uses them.
        w->workspace().options().setPassiveMode(true);
        w->workspace().remotePane().onConnectClicked();
        if (!w->workspace().state().IsConnected)
            die(QStringLiteral("the window did not connect"));
    }
    ~Window()
    {
        w.reset();
        DataFolder::reset();
    }

    // Shows `folder` in the local pane (and makes it the process's folder).
    void showLocal(const QString& folder)
    {
        LocalPane& local = w->workspace().localPane();
        local.setFolderText(folder);
        if (!local.ListLocalFolder(folder))
            die(QStringLiteral("cannot list ") + folder);
        local.FillLocalList();
    }
    void showRemote(const QString& folder)
    {
        RemotePane& remote = w->workspace().remotePane();
        if (!remote.ChangeFtpFolder(folder)) {
            FtpConnection* c = remote.FtpHandle();
            die(QStringLiteral("cannot enter ") + folder
                + (c ? QStringLiteral(" (%1 %2)").arg(c->lastError()).arg(c->lastResponse().trimmed()) : QString()));
        }
        remote.RefreshFtpPanes();
    }
    static void selectRow(PaneListModel* model, QItemSelectionModel* selection, const QString& name)
    {
        selection->clearSelection();
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data().toString() == name) {
                selection->select(model->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
                return;
            }
        }
        die(QStringLiteral("no row ") + name);
    }

    std::unique_ptr<MainWindow> w;

private:
    QTemporaryDir m_data;
};

// pyftpdlib on a fast temporary root, each reply delayed `replyDelayMs`, and a local folder.
struct DelayedSite {
    QTemporaryDir root { fastFolder() };
    QTemporaryDir local { fastFolder() };
    FtpServerFixture server;

    explicit DelayedSite(int replyDelayMs)
        : server(options(root, replyDelayMs))
    {
        QString error;
        if (!root.isValid() || !local.isValid())
            die(QStringLiteral("no temporary folder"));
        if (!server.start(&error))
            die(error);
    }
    static FtpServerFixture::Options options(const QTemporaryDir& root, int replyDelayMs)
    {
        FtpServerFixture::Options o;
        o.kind = FtpServerFixture::Kind::Pyftpdlib;
        o.replyDelayMs = replyDelayMs;
        o.root = root.path();
        return o;
    }
};

// Down and up a tree of small files, ours against lftp's mirror; `suffix` names the variant.
void treeBenchmarks(int replyDelayMs, int runs, const QString& suffix, int connections = 1)
{
    const QString parallel = connections > 1 ? QStringLiteral(" --parallel=%1").arg(connections) : QString();
    const QString downName = QStringLiteral("tree_down_vs_lftp") + suffix;
    const QString upName = QStringLiteral("tree_up_vs_lftp") + suffix;
    if (!wanted(downName) && !wanted(upName))
        return;
    DelayedSite site(replyDelayMs);
    QTemporaryDir& local = site.local;
    FtpServerFixture& server = site.server;
    const QString remoteRoot = server.root();
    makeTree(remoteRoot + u"/tree");
    constexpr int Files = TreeFolders * TreeFilesPerFolder;

    // lftp's start, connection and login, taken off each of its runs.
    double login = std::numeric_limits<double>::max();
    for (int run = 0; run < 3; ++run)
        login = qMin(login, seconds([&] { runLftp(server, local.path(), QStringLiteral("cd /")); }));
    std::printf("lftp_login%s_s: %.3f\n", qPrintable(suffix), login);

    Window window(server);
    window.w->workspace().options().setTransferConnections(connections);
    Transfers& transfers = window.w->workspace().transfers();

    if (wanted(downName)) {
        const QString ours = local.filePath(QStringLiteral("down-ours"));
        const QString theirs = local.filePath(QStringLiteral("down-lftp"));
        double best[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
        Commands commands[2];
        for (int run = 0; run < runs; ++run) {
            QDir(ours).removeRecursively();
            QDir(theirs).removeRecursively();
            QDir().mkpath(ours);
            QDir().mkpath(theirs);
            window.showLocal(ours);
            window.showRemote(QStringLiteral("/"));
            qsizetype mark = server.logText().size();
            best[0] = qMin(best[0], seconds([&] { transfers.DownloadTree(QStringLiteral("tree")); }));
            commands[0] = commandsSince(server, mark);
            mark = server.logText().size();
            if (countFiles(ours, TreeFileSize) != Files)
                die(QStringLiteral("DownloadTree fetched %1 of %2 files")
                        .arg(countFiles(ours, TreeFileSize))
                        .arg(Files));
            best[1] = qMin(best[1], seconds([&] {
                runLftp(server, theirs, QStringLiteral("mirror") + parallel + QStringLiteral(" tree tree"));
            }) - login);
            commands[1] = commandsSince(server, mark);
            if (countFiles(theirs, TreeFileSize) != Files)
                die(QStringLiteral("lftp mirror fetched %1 files").arg(countFiles(theirs, TreeFileSize)));
        }
        print(qPrintable(downName), best[0], best[1]);
        printCommands(downName, commands[0], commands[1]);
    }

    if (wanted(upName)) {
        const QString source = local.filePath(QStringLiteral("up-source"));
        makeTree(source + u"/up");
        const QString ours = remoteRoot + u"/up-ours";
        const QString theirs = remoteRoot + u"/up-lftp";
        double best[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
        Commands commands[2];
        for (int run = 0; run < runs; ++run) {
            QDir(ours).removeRecursively();
            QDir(theirs).removeRecursively();
            QDir().mkpath(ours);
            QDir().mkpath(theirs);
            window.showRemote(QStringLiteral("/up-ours"));
            window.showLocal(source);
            LocalPane& pane = window.w->workspace().localPane();
            Window::selectRow(pane.fileList(), pane.fileSelection(), QStringLiteral("up"));
            qsizetype mark = server.logText().size();
            best[0] = qMin(best[0], seconds([&] { transfers.UploadTree(); }));
            commands[0] = commandsSince(server, mark);
            mark = server.logText().size();
            if (countFiles(ours, TreeFileSize) != Files)
                die(QStringLiteral("UploadTree sent %1 of %2 files").arg(countFiles(ours, TreeFileSize)).arg(Files));
            best[1] = qMin(best[1], seconds([&] {
                runLftp(server, source, QStringLiteral("mirror -R") + parallel + QStringLiteral(" up /up-lftp/up"));
            }) - login);
            commands[1] = commandsSince(server, mark);
            if (countFiles(theirs, TreeFileSize) != Files)
                die(QStringLiteral("lftp mirror -R sent %1 files").arg(countFiles(theirs, TreeFileSize)));
        }
        print(qPrintable(upName), best[0], best[1]);
        printCommands(upName, commands[0], commands[1]);
    }
}

// `root`/up/r00 .. r09, 30 files of 4 KiB each filled with `fill`, all dated `stamp`.
void makeReplaceTree(const QString& root, char fill, const QDateTime& stamp)
{
    for (int d = 0; d < 10; ++d) {
        const QString folder = root + QStringLiteral("/up/r%1").arg(d, 2, 10, QLatin1Char('0'));
        for (int f = 0; f < 30; ++f) {
            const QString path = folder + QStringLiteral("/p%1.dat").arg(f, 3, 10, QLatin1Char('0'));
            QFile file(path);
            if (!writeBytes(path, QByteArray(TreeFileSize, fill)) || !file.open(QIODevice::ReadWrite)
                || !file.setFileTime(stamp, QFileDevice::FileModificationTime))
                die(QStringLiteral("cannot write ") + path);
        }
    }
}

// Files below `root` whose content begins with `fill`; `others` counts the rest.
int countFilled(const QString& root, char fill, int* others)
{
    int n = 0;
    *others = 0;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        char first = 0;
        const bool match = f.open(QIODevice::ReadOnly) && f.getChar(&first) && first == fill;
        n += match;
        *others += !match;
    }
    return n;
}

// A site whose every file changed, sent again: with replacement through temporary names against
// lftp's mirror on four connections and against our own direct upload.
void replaceBenchmarks()
{
    const QString lftpName = QStringLiteral("tree_up_replace_vs_lftp_p4_delay20ms");
    const QString directName = QStringLiteral("tree_up_replace_vs_direct_delay20ms");
    if (!wanted(lftpName) && !wanted(directName))
        return;
    DelayedSite site(20);
    QTemporaryDir& local = site.local;
    FtpServerFixture& server = site.server;
    constexpr int Files = 300;
    const QDateTime old(QDate(2020, 1, 1), QTime(12, 0));
    const QString source = local.filePath(QStringLiteral("source"));
    makeReplaceTree(source, 'n', QDateTime::currentDateTime().addSecs(-60));
    const QString ours = server.root() + u"/ours";
    const QString theirs = server.root() + u"/lftp";

    double login = std::numeric_limits<double>::max();
    for (int run = 0; run < 3; ++run)
        login = qMin(login, seconds([&] { runLftp(server, local.path(), QStringLiteral("cd /")); }));

    Window window(server);
    Transfers& transfers = window.w->workspace().transfers();
    Options& settings = window.w->workspace().options();
    settings.setTransferConnections(4);
    // One upload of the changed tree over the old one; its time and commands.
    auto upload = [&](bool replace, Commands* commands) {
        QDir(ours).removeRecursively();
        makeReplaceTree(ours, 'o', old);
        settings.setReplaceThroughTemporary(replace);
        window.showRemote(QStringLiteral("/ours"));
        window.showLocal(source);
        LocalPane& pane = window.w->workspace().localPane();
        Window::selectRow(pane.fileList(), pane.fileSelection(), QStringLiteral("up"));
        const qsizetype mark = server.logText().size();
        const double t = seconds([&] { transfers.UploadTree(); });
        *commands = commandsSince(server, mark);
        int others = 0;
        const int sent = countFilled(ours, 'n', &others);
        if (sent != Files || others != 0)
            die(QStringLiteral("UploadTree replaced %1 of %2 files, %3 other files").arg(sent).arg(Files).arg(others));
        return t;
    };
    Commands commands[3];
    const double replaced = upload(true, &commands[0]);
    const double direct = wanted(directName) ? upload(false, &commands[1]) : 0;
    settings.setReplaceThroughTemporary(true);

    if (wanted(lftpName)) {
        QDir(theirs).removeRecursively();
        makeReplaceTree(theirs, 'o', old);
        const qsizetype mark = server.logText().size();
        const double t
            = seconds([&] { runLftp(server, source, QStringLiteral("mirror -R --parallel=4 up /lftp/up")); }) - login;
        commands[2] = commandsSince(server, mark);
        int others = 0;
        const int sent = countFilled(theirs, 'n', &others);
        if (sent != Files || others != 0)
            die(QStringLiteral("lftp mirror -R replaced %1 of %2 files").arg(sent).arg(Files));
        print(qPrintable(lftpName), replaced, t);
        printCommands(lftpName, commands[0], commands[2]);
    }
    if (wanted(directName)) {
        print(qPrintable(directName), replaced, direct);
        printCommands(directName, commands[0], commands[1]);
    }
}

// Each side goes first in every other run, so neither always meets the other's dirty pages and
// page cache.
void takeTurns(int run, const std::function<void()>& ours, const std::function<void()>& theirs)
{
    if (run % 2 == 0) {
        ours();
        theirs();
    } else {
        theirs();
        ours();
    }
}

// 1 GiB through the window's selection procedures against the engine on the same connection.
void selectionBenchmarks(int runs)
{
    const bool down = wanted(QStringLiteral("download_selection_vs_engine"));
    const bool up = wanted(QStringLiteral("upload_selection_vs_engine"));
    if (!down && !up)
        return;
    FtpServerFixture server(FtpServerFixture::Kind::Vsftpd);
    QString error;
    if (!server.start(&error))
        die(error);
    QTemporaryDir local;
    if (!local.isValid())
        die(QStringLiteral("no temporary folder"));
    const QString remoteBig = server.root() + u"/big.bin";
    if (!writePattern(remoteBig, BigSize))
        die(QStringLiteral("cannot write ") + remoteBig);
    const QString oursDir = local.filePath(QStringLiteral("ours"));
    QDir().mkpath(oursDir);
    const QString engineCopy = local.filePath(QStringLiteral("engine.bin"));

    Window window(server);
    Transfers& transfers = window.w->workspace().transfers();
    RemotePane& remote = window.w->workspace().remotePane();
    // Every selected file is sent, whatever the stamps say.
    transfers.setTransferRule(1);
    auto engine = [&remote]() -> FtpConnection& {
        FtpConnection* c = remote.FtpHandle();
        if (!c)
            die(QStringLiteral("not connected"));
        return *c;
    };
    // The window's run ends with a listing of the FTP folder, so its time includes the server's
    // answer to the first command after a transfer; vsftpd takes up to half a second for that
    // after a large upload. The engine's side waits for that answer too (one NOOP), or the
    // figure would measure the server's stall instead of the window's work.
    auto serverReady = [&engine] {
        if (!engine().command(QStringLiteral("NOOP")))
            die(QStringLiteral("engine NOOP: %1").arg(engine().lastResponse()));
    };

    if (down) {
        double best[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
        for (int run = 0; run < runs; ++run) {
            QFile::remove(oursDir + u"/big.bin");
            QFile::remove(engineCopy);
            window.showLocal(oursDir);
            window.showRemote(QStringLiteral("/"));
            Window::selectRow(remote.fileList(), remote.fileSelection(), QStringLiteral("big.bin"));
            auto ours = [&] {
                best[0] = qMin(best[0], seconds([&] { transfers.DownloadSelection(); }));
                if (QFileInfo(oursDir + u"/big.bin").size() != BigSize)
                    die(QStringLiteral("DownloadSelection did not fetch the file"));
            };
            auto theirs = [&] {
                best[1] = qMin(best[1], seconds([&] {
                    if (!engine().getFile(QStringLiteral("big.bin"), engineCopy, false, TransferType::Binary))
                        die(QStringLiteral("engine getFile: %1").arg(engine().lastResponse()));
                    serverReady();
                }));
                if (QFileInfo(engineCopy).size() != BigSize)
                    die(QStringLiteral("getFile did not fetch the file"));
            };
            takeTurns(run, ours, theirs);
        }
        print("download_selection_vs_engine", best[0], best[1]);
    }

    if (up) {
        // The local copy to send: the one just fetched, or a new one.
        const QString source = oursDir + u"/big.bin";
        if (QFileInfo(source).size() != BigSize && !writePattern(source, BigSize))
            die(QStringLiteral("cannot write ") + source);
        QFile::remove(remoteBig);
        QDir(server.root()).mkdir(QStringLiteral("up"));
        const QString remoteOurs = server.root() + u"/up/big.bin";
        const QString remoteEngine = server.root() + u"/up/engine.bin";
        double best[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
        for (int run = 0; run < runs; ++run) {
            QFile::remove(remoteOurs);
            QFile::remove(remoteEngine);
            window.showRemote(QStringLiteral("/up"));
            window.showLocal(oursDir);
            LocalPane& pane = window.w->workspace().localPane();
            Window::selectRow(pane.fileList(), pane.fileSelection(), QStringLiteral("big.bin"));
            auto ours = [&] {
                best[0] = qMin(best[0], seconds([&] { transfers.UploadSelection(); }));
                if (QFileInfo(remoteOurs).size() != BigSize)
                    die(QStringLiteral("UploadSelection did not send the file"));
            };
            auto theirs = [&] {
                best[1] = qMin(best[1], seconds([&] {
                    if (!engine().putFile(source, QStringLiteral("engine.bin"), TransferType::Binary))
                        die(QStringLiteral("engine putFile: %1").arg(engine().lastResponse()));
                    serverReady();
                }));
                if (QFileInfo(remoteEngine).size() != BigSize)
                    die(QStringLiteral("putFile did not send the file"));
            };
            takeTurns(run, ours, theirs);
        }
        print("upload_selection_vs_engine", best[0], best[1]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int asked = qEnvironmentVariableIntValue("FTPTARVO_BENCH_RUNS");
    const int runs = asked > 0 ? asked : 3;
    QTemporaryDir home;
    if (!home.isValid())
        die(QStringLiteral("no temporary folder"));
    qputenv("HOME", home.path().toUtf8());

    treeBenchmarks(0, runs, QString());
    treeBenchmarks(20, 1, QStringLiteral("_delay20ms"));
    treeBenchmarks(20, 1, QStringLiteral("_p4_delay20ms"), 4);
    selectionBenchmarks(runs);
    replaceBenchmarks();
    return 0;
}
