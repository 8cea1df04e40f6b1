// The link check of a local site of 1,000 pages with 20 links each (pages in ten folders,
// links to other pages, to anchors in them and in the page itself, and to pictures; no external
// link), against Debian's linkchecker on the same files in the same run. Prints our time in
// milliseconds and the ratio of speeds (above 1: we are faster).

#include "core/app/appstate.h"
#include "core/app/statuslines.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkexclusions.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <sys/stat.h>

namespace {

constexpr int Pages = 1000;

QString pagePath(int i) { return QStringLiteral("sec%1/p%2.html").arg(i / 100).arg(i); }

bool write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    // Readable by all: linkchecker started as root reads the files as "nobody".
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool makeSite(const QString& root, QStringList* pages)
{
    for (int i = 0; i < Pages; ++i) {
        QByteArray page = "<html><head><title>p" + QByteArray::number(i) + "</title></head><body>\n";
        for (int s = 0; s < 5; ++s)
            page += "<h2><a name=\"s" + QByteArray::number(s) + "\">S</a></h2><p>text of the section</p>\n";
        for (int k = 0; k < 20; ++k) {
            const int j = (i * 7 + k * 13) % Pages;
            const QByteArray target = "../" + pagePath(j).toUtf8();
            switch (k % 4) {
            case 0:
                page += "<a href=\"#s" + QByteArray::number(k % 5) + "\">anchor</a>\n";
                break;
            case 1:
                page += "<a href=\"" + target + "\">page</a>\n";
                break;
            case 2:
                page += "<a href=\"" + target + "#s" + QByteArray::number(k % 5) + "\">section</a>\n";
                break;
            default:
                page += "<img src=\"../img/i" + QByteArray::number(j % 50) + ".gif\">\n";
            }
        }
        page += "</body></html>\n";
        if (!write(root + u'/' + pagePath(i), page))
            return false;
        pages->append(root + u'/' + pagePath(i));
    }
    for (int j = 0; j < 50; ++j) {
        if (!write(root + QStringLiteral("/img/i%1.gif").arg(j), "GIF89a"))
            return false;
    }
    QByteArray index = "<html><body>\n";
    for (int i = 0; i < Pages; ++i)
        index += "<a href=\"" + pagePath(i).toUtf8() + "\">p</a>\n";
    return write(root + QStringLiteral("/index.html"), index + "</body></html>\n");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Readable by all: linkchecker started as root reads the files as "nobody".
    ::umask(022);
    QTemporaryDir data, site;
    qputenv("FTPTARVO_HOME", data.path().toUtf8());
    QStringList pages;
    if (!makeSite(site.path(), &pages))
        return std::fprintf(stderr, "bench_linkcheck: cannot write the site\n"), 1;
    pages.prepend(site.filePath(QStringLiteral("index.html")));

    AppState state;
    SettingsLines lines;
    Options options(lines);
    StatusLines status;
    LinkExclusions exclusions(data.filePath(QStringLiteral("link.txt")));
    LinkChecker checker(state, options, status, exclusions);
    QElapsedTimer timer;
    timer.start();
    checker.checkLocalPages(pages);
    const double ours = double(timer.nsecsElapsed()) / 1e6;
    const QStringList report = checker.report()->stringList();
    if (report.filter(QStringLiteral("NG-")).size() != 0
        || report.filter(QStringLiteral("OK-")).size() != Pages * 20 + Pages)
        return std::fprintf(stderr, "bench_linkcheck: unexpected report (%d lines)\n", int(report.size())), 1;
    std::printf("link_check_1000_pages_ms: %.0f\n", ours);

    const QString linkchecker = QStandardPaths::findExecutable(QStringLiteral("linkchecker"));
    if (linkchecker.isEmpty())
        return std::fprintf(stderr, "bench_linkcheck: linkchecker is not installed\n"), 0;
    // linkchecker run as root reads the files as "nobody".
    QFile::setPermissions(site.path(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
    QProcess process;
    process.setWorkingDirectory(site.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    timer.restart();
    process.start(linkchecker,
        QStringList { QStringLiteral("--no-warnings"), QStringLiteral("--no-status"), QStringLiteral("-o"),
            QStringLiteral("none"), QUrl::fromLocalFile(pages.first()).toString() });
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return std::fprintf(stderr, "bench_linkcheck: linkchecker failed: %s\n", process.readAll().constData()), 1;
    const double theirs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("link_check_vs_linkchecker: %.2f\n", theirs / ours);
    return 0;
}
