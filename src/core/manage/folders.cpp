#include "core/manage/folders.h"

#include "core/app/appstate.h"
#include "core/app/dialogs.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/manage/managerules.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QTimer>

namespace {

const QString FolderTitle = QStringLiteral("フォルダーの作成");

// The connection watch is off while a command works on the connection, and on again afterwards
// when it was running.
class WatchPause {
public:
    WatchPause(QTimer* timer, const AppState& state)
        : m_timer(timer)
        , m_state(state)
        , m_wasActive(timer && timer->isActive())
    {
        if (m_timer)
            m_timer->stop();
    }
    ~WatchPause()
    {
        if (m_wasActive && m_state.IsConnected)
            m_timer->start();
    }
    WatchPause(const WatchPause&) = delete;
    WatchPause& operator=(const WatchPause&) = delete;

private:
    QTimer* m_timer;
    const AppState& m_state;
    bool m_wasActive;
};

} // namespace

Folders::Folders(AppState& state, RemotePane& remotePane, LocalPane& localPane, StatusLines& statusLines,
    ActivityLog& log, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_remotePane(remotePane)
    , m_localPane(localPane)
    , m_statusLines(statusLines)
    , m_log(log)
    , m_dialogs(dialogs)
{
}

Folders::~Folders() = default;

void Folders::MakeServerFolder()
{
    if (!m_remotePane.FtpHandle())
        return;
    WatchPause pause(m_connectionWatch, m_state);

    QString proposal;
    const PaneListModel& list = *m_remotePane.fileList();
    const QItemSelectionModel& selection = *m_remotePane.fileSelection();
    for (int row = 0; row < list.rowCount(); ++row) {
        if (selection.isRowSelected(row)) {
            proposal = list.index(row, 0).data().toString();
            break;
        }
    }
    const QString name
        = m_dialogs
              .input(QStringLiteral("Ftpサーバー上で作成するフォルダーの名前を入れてください"), FolderTitle, proposal)
              .value_or(QString());
    FtpConnection* connection = m_remotePane.FtpHandle();
    const bool made = !name.isEmpty() && connection && connection->createDirectory(name);
    // A refusal is shown with the server's answer; a stop is no failure.
    if (!name.isEmpty() && connection && !made && connection->lastError() != FtpError::OperationCancelled)
        m_remotePane.ShowWinInetError();
    if (made) {
        const QString path = ManageRules::joinPath(m_remotePane.folderText().trimmed(), name);
        QString folder = name;
        if (m_remotePane.ChangeFtpFolder(path)) {
            m_remotePane.setFolderText(m_remotePane.GetCurrentFtpFolder());
            // The path as the server names it; the path box shows the host name for the root.
            if (FtpConnection* c = m_remotePane.FtpHandle(); c && !c->getCurrentDirectory(&folder))
                folder = name;
            m_remotePane.ListFtpFolder();
            m_remotePane.FillFtpList();
        }
        m_log.write(QStringLiteral("<FTPフォルダ作成>"), folder, QStringLiteral("</FTPフォルダ作成>"));
        m_statusLines.AddStatusLine(QStringLiteral("FTPﾌｫﾙﾀﾞｰ作成:") + folder);
    }
    if (m_remotePane.FtpHandle())
        m_remotePane.RefreshFtpPanes();
}

void Folders::MakeLocalFolder()
{
    WatchPause pause(m_connectionWatch, m_state);
    const QString path
        = m_dialogs
              .input(QStringLiteral("ローカルコンピューター上で作成するフォルダーの名前を入れてください"), FolderTitle,
                  ManageRules::localFolderProposal(m_localPane.folderText()))
              .value_or(QString());
    if (path.isEmpty())
        return;
    // One folder, as CreateDirectory makes it: no missing parents, nothing that exists already.
    if (QDir().mkdir(path)) {
        m_localPane.RefreshLocalPanes();
        m_log.write(QStringLiteral("<ローカルフォルダ作成>"), path, QStringLiteral("</ローカルフォルダ作成>"));
        m_statusLines.AddStatusLine(QStringLiteral("ﾛｰｶﾙﾌｫﾙﾀﾞｰ作成:") + path);
    } else {
        m_dialogs.message(path + QStringLiteral("のフォルダーは作成されませんでした。"), Dialogs::Buttons::Ok,
            Dialogs::Icon::Exclamation);
        m_log.write(QStringLiteral("<ローカルフォルダ作成失敗>"), path, QStringLiteral("</ローカルフォルダ作成>"));
        m_statusLines.AddStatusLine(QStringLiteral("ﾛｰｶﾙﾌｫﾙﾀﾞー作成失敗:") + path);
    }
}
