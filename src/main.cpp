#include "gui/app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("FTPTarvo"));
    MainWindow window;
    window.show();
    return app.exec();
}
