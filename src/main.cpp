#include "core/app/datafolder.h"
#include "core/workspace/runschedule.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/signalwatcher.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTextStream>

namespace {

// `--run-schedule`: the due sessions of auto.txt, once, without a window.
int runSchedule(int argc, char* argv[])
{
    // cron and systemd timers have no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("FTPTarvo"));
    DataFolder::path();
    QTextStream out(stdout);
    return runScheduleOnce(out);
}

} // namespace

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--run-schedule") == 0)
            return runSchedule(argc, argv);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("FTPTarvo"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(FTPTARVO_VERSION_MAJOR).arg(FTPTARVO_VERSION_MINOR).arg(FTPTARVO_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("ftptarvo"));
    DataFolder::path();

    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    const QString commandLine = arguments.join(u' ');

    SignalWatcher signalWatcher;
    MainWindow window;
    QApplication::setWindowIcon(window.windowIcon());
    // SIGTERM and SIGINT end the program as closing the window does, also while a message box, an
    // input box or the delete confirmation waits: exit() ends every event loop, so each of them
    // returns as if cancelled, and the Stop flag ends a running transfer. The exit steps run once
    // the stack has unwound, not in the middle of the operation that was interrupted.
    bool terminated = false;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, [&window, &terminated] {
        terminated = true;
        window.workspace().state().StopRequested = true;
        QCoreApplication::exit(0);
    });
    QObject::connect(&app, &QApplication::aboutToQuit, &window, &MainWindow::Form_Unload);
    window.Form_Load(commandLine);
    // A signal during start-up: the main event loop never ran, and nothing is left to wait for.
    if (terminated) {
        window.Form_Unload();
        return 0;
    }
    return QApplication::exec();
}
