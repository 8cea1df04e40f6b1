// Lists, fills and orders a local folder of 10,000 and of 100,000 files, as the local pane does
// when the user opens it. Prints the best of a few runs of each in milliseconds; the cost must
// grow linearly with the number of files.

#include "core/app/appstate.h"
#include "core/app/dialogs.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

class SilentDialogs : public Dialogs {
public:
    Answer message(const QString& text, Buttons, Icon, const QString&) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Answer::Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return std::nullopt; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString folderName(const QString&, const QString&) override { return {}; }
};

// One folder in twenty, files of a few sizes, names of the kinds a home page has.
bool makeFolder(const QString& path, int entries)
{
    if (!QDir().mkpath(path))
        return false;
    const QByteArray base = QFile::encodeName(path) + '/';
    static const char* const extensions[] = { ".html", ".jpg", ".png", ".txt", ".zip", "" };
    for (int i = 0; i < entries; ++i) {
        if (i % 20 == 0) {
            if (!QDir().mkdir(path + QStringLiteral("/folder%1").arg(i, 6, 10, QLatin1Char('0'))))
                return false;
            continue;
        }
        const QByteArray name = base + "page" + QByteArray::number(i).rightJustified(6, '0') + extensions[i % 6];
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        if (i % 7 == 0)
            (void)!::ftruncate(fd, off_t(i) * 13);
        ::close(fd);
    }
    return true;
}

double bestOf(int runs, LocalPane& pane, const ListingRecord& record, const QString& folder, int expectedRows)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        pane.ListLocalFolder(folder);
        pane.FillLocalList();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (pane.fileList()->rowCount() != expectedRows || int(record.Local.size()) != expectedRows) {
            std::fprintf(
                stderr, "bench_local_list: %d rows listed, %d expected\n", pane.fileList()->rowCount(), expectedRows);
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
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString small = dir.filePath(QStringLiteral("10k"));
    const QString large = dir.filePath(QStringLiteral("100k"));
    if (!makeFolder(small, 10000) || !makeFolder(large, 100000)) {
        std::fprintf(stderr, "bench_local_list: cannot create the test folders\n");
        return 1;
    }

    AppState state;
    ListingRecord record;
    SilentDialogs dialogs;
    LocalPane pane(state, record, dialogs);
    const QString start = QDir::currentPath();

    // Warm the file system's caches and the allocator once before timing.
    bestOf(1, pane, record, large, 100000);
    const double ms10k = bestOf(9, pane, record, small, 10000);
    const double ms100k = bestOf(5, pane, record, large, 100000);
    QDir::setCurrent(start);
    if (ms10k < 0 || ms100k < 0)
        return 1;
    std::printf("local_list_10k_ms: %.1f\n", ms10k);
    std::printf("local_list_100k_ms: %.1f\n", ms100k);
    return 0;
}
