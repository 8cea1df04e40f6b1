// Peak memory of listing one server folder of 200,000 entries from a real server (pyftpdlib):
// the workspace connected, the FTP list shown in a view as the window shows it, the folder
// opened. Prints the peak resident size during the listing minus the size before it, in MB,
// and the same for the local list of that folder.

#include "../tests/core/workspace/workspacerig.h"
#include "core/ftpsession/remotepane.h"
#include "core/panes/panelistmodel.h"
#include "core/workspace/workspace.h"
#include "gui/panes/fileview.h"

#include <QApplication>
#include <QTreeView>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Entries = 200000;

qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(strlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

bool makeFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray base = QFile::encodeName(folder);
    for (int i = 0; i < Entries; ++i) {
        const QByteArray path = base + (i % 20 == 0 ? "/images" : "/page")
            + QByteArray::number(i).rightJustified(6, '0') + (i % 20 == 0 ? "" : ".html");
        const int fd
            = i % 20 == 0 ? ::mkdir(path.constData(), 0755) : ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return false;
        if (i % 20 != 0)
            ::close(fd);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FtpServerFixture server;
    if (!startServer(server) || !makeFolder(server.root() + QStringLiteral("/big")))
        return std::fprintf(stderr, "bench_list_memory: no server or folder\n"), 1;
    auto rig = std::make_unique<WorkspaceRig>();
    if (!rig->connect(server))
        return 1;
    QTreeView view;
    RemotePane& remote = rig->remote();
    FileView::setUp(&view, remote.fileList(), remote.fileSelection(), { 150, 80, 80, 120, 80, 80 });
    view.resize(800, 600);
    view.show();
    QCoreApplication::processEvents();

    // The peak is counted from the idle program, connected, at the server's root.
    const auto peakMb = [&view](const std::function<void()>& list) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
            return -1.0;
        clear.close();
        malloc_trim(0); // what an earlier listing freed must not be counted as room
        const qint64 idle = statusKb("VmRSS:");
        list();
        view.doItemsLayout();
        QCoreApplication::processEvents();
        return double(statusKb("VmHWM:") - idle) / 1024.0;
    };
    const double ftp = peakMb([&] { rig->showRemote(QStringLiteral("/big")); });
    if (remote.fileList()->rowCount() != Entries)
        return std::fprintf(stderr, "bench_list_memory: %d rows listed\n", remote.fileList()->rowCount()), 1;
    rig->showRemote(QStringLiteral("/"));
    view.setModel(rig->localPane().fileList());
    const double local = peakMb([&] {
        rig->localPane().setFolderText(server.root() + QStringLiteral("/big"));
        rig->localPane().RefreshLocalPanes();
    });
    if (rig->localPane().fileList()->rowCount() != Entries)
        return std::fprintf(stderr, "bench_list_memory: %d local rows\n", rig->localPane().fileList()->rowCount()), 1;
    std::printf("ftp_list_200k_peak_mb: %.1f\nlocal_list_200k_peak_mb: %.1f\n", ftp, local);
    return 0;
}
