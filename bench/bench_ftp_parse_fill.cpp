// Parses a Unix-style LIST text of 10,000 and of 100,000 lines and fills and orders the FTP
// list from it, as the FTP pane does after every change of folder. Prints the best of a few runs
// of each in milliseconds; the cost must grow linearly with the number of lines.

#include "core/panes/dirlistparser.h"
#include "core/panes/ftplist.h"
#include "core/panes/listheaders.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int Runs10k = 9;
constexpr int Runs100k = 5;
const QDate Today(2024, 9, 15);

// Lines as vsftpd and proftpd write them: one folder in twenty, recent times and old years,
// month names in some file names, blanks and Japanese in others.
QString makeListing(int lines)
{
    static const char* const months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    static const char16_t* const names[]
        = { u"page%1.html", u"photo %1.jpg", u"日記%1.txt", u"Janet%1.txt", u"archive%1.zip", u"README%1" };
    QString text = QStringLiteral("total %1\r\n").arg(lines * 4);
    text.reserve(qsizetype(lines) * 72);
    for (int i = 0; i < lines; ++i) {
        const bool folder = i % 20 == 0;
        const QString when = i % 3 == 0
            ? QStringLiteral("%1:%2").arg(i % 24, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0'))
            : QStringLiteral(" %1").arg(1995 + i % 30);
        const QString name = folder ? QStringLiteral("folder %1").arg(i)
                                    : QString::fromUtf16(names[i % 6]).arg(i, 6, 10, QLatin1Char('0'));
        text += QStringLiteral("%1    1 %2  www       %3 %4 %5 %6 %7\r\n")
                    .arg(folder ? QStringLiteral("drwxr-xr-x") : QStringLiteral("-rw-r--r--"))
                    .arg(i % 7 == 0 ? QStringLiteral("Mayumi") : QStringLiteral("owner"))
                    .arg(qint64(i) * 37 % 5000000, 9)
                    .arg(QLatin1String(months[i % 12]))
                    .arg(1 + i % 28, 2)
                    .arg(when)
                    .arg(name);
    }
    return text;
}

double bestOf(int runs, const QString& text, int expectedRows)
{
    double best = 1e300;
    PaneListModel list(ftpListHeaders());
    for (int run = 0; run < runs; ++run) {
        ListingRecord record;
        QElapsedTimer timer;
        timer.start();
        ParseDirList(text, true, Today, record);
        FillFtpList(record, list);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (list.rowCount() != expectedRows) {
            std::fprintf(stderr, "bench_ftp_parse_fill: %d rows, %d expected\n", list.rowCount(), expectedRows);
            return -1;
        }
        best = std::min(best, ms);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString small = makeListing(10000);
    const QString large = makeListing(100000);

    // Warm the allocator once before timing.
    bestOf(1, large, 100000);
    const double ms10k = bestOf(Runs10k, small, 10000);
    const double ms100k = bestOf(Runs100k, large, 100000);
    if (ms10k < 0 || ms100k < 0)
        return 1;
    std::printf("ftp_parse_fill_10k_ms: %.1f\n", ms10k);
    std::printf("ftp_parse_fill_100k_ms: %.1f\n", ms100k);
    return 0;
}
