#pragma once

#include <QColor>
#include <QString>

// The main window's form-level state shared by the procedures of every subsystem. It is
// plain data: the procedures that own a field set it, the others read it.
struct AppState {
    QString CommandLine; // the program's arguments joined with one blank each
    bool IsConnected = false;
    QString CurrentFtpPath; // the FTP folder shown after the last connect
    bool StopRequested = false; // set by the Stop buttons; the loop that honours it clears it
    bool SuppressWinInetErrors = false;
    bool AccessDenied = false;
    int ActivePane = 0; // 1 FTP tree, 2 FTP list, 3 local tree, 4 local list
    qint64 CompanionWindow = 0; // the companion editor's handle on the message bus, 0 when none
    QColor MarkColour = QColor(194, 191, 165); // tree nodes chosen for deletion

    // True when Stop was pressed; the request is cleared, since the loop that sees it honours it.
    bool takeStopRequest()
    {
        const bool requested = StopRequested;
        StopRequested = false;
        return requested;
    }
};
