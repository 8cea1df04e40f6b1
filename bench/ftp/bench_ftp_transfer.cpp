// The engine's transfer speed against the curl command line, both on the same vsftpd on
// 127.0.0.1 and the same files in the same run. Each figure is curl's time divided by ours
// (above 1: we are faster), the best of a few runs per side:
//   download_1g_vs_curl       one 1 GiB file, binary, FtpConnection::getFile against curl -o
//   upload_1g_vs_curl         the same file up, FtpConnection::putFile against curl -T
//   small_files_1000_vs_curl  1,000 files of 4 KiB one after another over one connection
//                             (connect and login included) against one curl with a -K list
// The raw seconds follow as "<name>_ours_s" and "<name>_curl_s". FTPTARVO_BENCH_RUNS sets the
// number of runs per side (default 3).
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftp/ftpsession.h"
#include "support/ftpserverfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

constexpr qint64 BigSize = 1024ll * 1024 * 1024;
constexpr int SmallCount = 1000;
constexpr int SmallSize = 4096;

[[noreturn]] void die(const QString& why)
{
    std::fprintf(stderr, "bench_ftp_transfer: %s\n", qPrintable(why));
    std::exit(1);
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

// Seconds one call takes; dies when it fails, so a broken side never produces a figure.
double seconds(const QString& what, const std::function<bool()>& work)
{
    QElapsedTimer t;
    t.start();
    if (!work())
        die(what + QStringLiteral(" failed"));
    return double(t.nsecsElapsed()) / 1e9;
}

bool runCurl(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("curl"), QStringList { QStringLiteral("-s"), QStringLiteral("-S") } + args);
    return p.waitForStarted() && p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void print(const char* name, double ours, double curl)
{
    std::printf("%s: %.3f\n%s_ours_s: %.3f\n%s_curl_s: %.3f\n", name, curl / ours, name, ours, name, curl);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int asked = qEnvironmentVariableIntValue("FTPTARVO_BENCH_RUNS");
    const int runs = asked > 0 ? asked : 3;

    FtpServerFixture::Options options;
    options.kind = FtpServerFixture::Kind::Vsftpd;
    FtpServerFixture server(options);
    QString error;
    if (!server.start(&error))
        die(error);
    QTemporaryDir local;
    if (!local.isValid())
        die(QStringLiteral("no temporary folder"));
    const QString url = QStringLiteral("ftp://%1:%2").arg(server.host()).arg(server.port());
    const QString credentials = server.user() + u':' + server.password();

    FtpSession session;
    session.open(FtpSession::Direct);
    FtpConnection c(session);
    if (!c.connect(server.hostField(), 0, server.user(), server.password(), true))
        die(QStringLiteral("connect: %1 %2").arg(c.lastError()).arg(c.lastResponse()));
    auto ourOp = [&c](bool ok) {
        if (!ok)
            std::fprintf(stderr, "engine: %d %s\n", c.lastError(), qPrintable(c.lastResponse()));
        return ok;
    };
    auto hasSize = [](const QString& path, qint64 size) { return QFileInfo(path).size() == size; };

    // One 1 GiB file down. The sides take turns, so the page cache favours neither.
    {
        const QString remote = server.root() + u"/big.bin";
        if (!writePattern(remote, BigSize))
            die(QStringLiteral("cannot write ") + remote);
        const QString ours = local.filePath(QStringLiteral("down-ours.bin"));
        const QString theirs = local.filePath(QStringLiteral("down-curl.bin"));
        double best[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
        for (int run = 0; run < runs; ++run) {
            QFile::remove(ours);
            QFile::remove(theirs);
            best[0] = qMin(best[0], seconds(QStringLiteral("engine download"), [&] {
                return ourOp(c.getFile(QStringLiteral("big.bin"), ours, false, TransferType::Binary))
                    && hasSize(ours, BigSize);
            }));
            best[1] = qMin(best[1], seconds(QStringLiteral("curl download"), [&] {
                return runCurl({ QStringLiteral("-u"), credentials, QStringLiteral("-o"), theirs, url + u"/big.bin" })
                    && hasSize(theirs, BigSize);
            }));
        }
        print("download_1g_vs_curl", best[0], best[1]);
        QFile::remove(theirs);

        // The same file up, from the copy just downloaded.
        const QString upOurs = server.root() + u"/up-ours.bin";
        const QString upCurl = server.root() + u"/up-curl.bin";
        best[0] = best[1] = std::numeric_limits<double>::max();
        for (int run = 0; run < runs; ++run) {
            QFile::remove(upOurs);
            QFile::remove(upCurl);
            best[0] = qMin(best[0], seconds(QStringLiteral("engine upload"), [&] {
                return ourOp(c.putFile(ours, QStringLiteral("up-ours.bin"), TransferType::Binary))
                    && hasSize(upOurs, BigSize);
            }));
            best[1] = qMin(best[1], seconds(QStringLiteral("curl upload"), [&] {
                return runCurl({ QStringLiteral("-u"), credentials, QStringLiteral("-T"), ours, url + u"/up-curl.bin" })
                    && hasSize(upCurl, BigSize);
            }));
        }
        print("upload_1g_vs_curl", best[0], best[1]);
        for (const QString& f : { remote, ours, upOurs, upCurl })
            QFile::remove(f);
    }
    c.close();

    // 1,000 files of 4 KiB, one after another over one connection.
    {
        QDir(server.root()).mkdir(QStringLiteral("small"));
        QStringList names;
        for (int i = 0; i < SmallCount; ++i) {
            names.append(QStringLiteral("f%1.bin").arg(i, 4, 10, QLatin1Char('0')));
            if (!writePattern(server.root() + u"/small/" + names.last(), SmallSize))
                die(QStringLiteral("cannot write the small files"));
        }
        const QString oursDir = local.filePath(QStringLiteral("small-ours"));
        const QString curlDir = local.filePath(QStringLiteral("small-curl"));
        const QString config = local.filePath(QStringLiteral("curl-list.txt"));
        {
            QFile f(config);
            if (!f.open(QIODevice::WriteOnly))
                die(QStringLiteral("cannot write ") + config);
            QByteArray text = "user = \"" + credentials.toUtf8() + "\"\n";
            for (const QString& n : std::as_const(names))
                text += "url = \"" + (url + u"/small/" + n).toUtf8() + "\"\noutput = \"" + (curlDir + u'/' + n).toUtf8()
                    + "\"\n";
            f.write(text);
        }
        auto allThere = [&](const QString& dir) {
            for (const QString& n : std::as_const(names))
                if (!QFileInfo(dir + u'/' + n).exists() || QFileInfo(dir + u'/' + n).size() != SmallSize)
                    return false;
            return true;
        };
        double best[2] = { std::numeric_limits<double>::max(), std::numeric_limits<double>::max() };
        for (int run = 0; run < runs; ++run) {
            QDir(oursDir).removeRecursively();
            QDir(curlDir).removeRecursively();
            QDir().mkpath(oursDir);
            QDir().mkpath(curlDir);
            best[0] = qMin(best[0], seconds(QStringLiteral("engine small files"), [&] {
                FtpConnection one(session);
                if (!one.connect(server.hostField(), 0, server.user(), server.password(), true))
                    return false;
                for (const QString& n : std::as_const(names))
                    if (!one.getFile(QStringLiteral("/small/") + n, oursDir + u'/' + n, false, TransferType::Binary)) {
                        std::fprintf(stderr, "engine: %d %s\n", one.lastError(), qPrintable(one.lastResponse()));
                        return false;
                    }
                one.close();
                return allThere(oursDir);
            }));
            best[1] = qMin(best[1], seconds(QStringLiteral("curl small files"), [&] {
                return runCurl({ QStringLiteral("-K"), config }) && allThere(curlDir);
            }));
        }
        print("small_files_1000_vs_curl", best[0], best[1]);
    }
    return 0;
}
