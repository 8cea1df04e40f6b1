#pragma once

#include <QMainWindow>

// The main window `FtpTarvo`: the local PC and the server side by side.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};
