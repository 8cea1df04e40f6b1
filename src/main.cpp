#include "core/app/datafolder.h"
#include "gui/app/mainwindow.h"
#include "gui/app/signalwatcher.h"

#include <QApplication>

int main(int argc, char* argv[])
{
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
    // SIGTERM and SIGINT end the program as closing the window does. A signal that arrives while
    // start-up still runs (it processes events) is honoured once start-up is over, since quitting
    // before the event loop runs would be lost.
    bool terminated = false;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &window, [&window, &terminated] {
        terminated = true;
        window.Form_Unload();
        QApplication::quit();
    });
    QObject::connect(&app, &QApplication::aboutToQuit, &window, &MainWindow::Form_Unload);
    window.Form_Load(commandLine);
    if (terminated)
        return 0;
    return QApplication::exec();
}
