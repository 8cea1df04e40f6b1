#pragma once

#include <QObject>
#include <QString>

class ActivityLog;
class Dialogs;
class LocalPane;
class QTimer;
class RemotePane;
class StatusLines;
struct AppState;

// Making folders, asked for with an input box "フォルダーの作成":
//   MakeServerFolder()  in the current FTP folder; the FTP pane then shows the new folder
//   MakeLocalFolder()   a whole local path, proposed as the current local folder and "/"
// Cancelling either box (or answering with nothing) makes nothing and logs nothing.
class Folders : public QObject {
    Q_OBJECT
public:
    Folders(AppState& state, RemotePane& remotePane, LocalPane& localPane, StatusLines& statusLines, ActivityLog& log,
        Dialogs& dialogs, QObject* parent = nullptr);
    ~Folders() override;

    // The connection watch, paused while a command runs. May be null.
    void setConnectionWatch(QTimer* timer) { m_connectionWatch = timer; }

    // The proposal is the first selected row of the FTP list. A refusal is shown with the
    // server's answer; the FTP pane is listed again either way.
    void MakeServerFolder();
    // A failure says so in a message box, the log and the status list; an existing folder is
    // left as it is.
    void MakeLocalFolder();

private:
    AppState& m_state;
    RemotePane& m_remotePane;
    LocalPane& m_localPane;
    StatusLines& m_statusLines;
    ActivityLog& m_log;
    Dialogs& m_dialogs;
    QTimer* m_connectionWatch = nullptr;
};
