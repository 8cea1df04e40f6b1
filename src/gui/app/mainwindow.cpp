#include "gui/app/mainwindow.h"

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FtpTarvo"));
    setWindowTitle(QStringLiteral("FTPTarvo"));
}
