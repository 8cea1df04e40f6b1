// Opening and closing the connection, reconnecting, the connection watch and the error reports.
#include "core/app/appstate.h"
#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/remotepane.h"
#include "core/ftpsession/remotepaneguards.h"
#include "core/ftpsession/sessionrules.h"
#include "core/log/activitylog.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"

#include <QCoreApplication>
#include <QTimer>
#include <optional>

namespace {

const QString KnownCertificatesName = QStringLiteral("ftpcerts.txt");

QString dateText(const QDateTime& when)
{
    return when.isValid() ? when.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")) : QStringLiteral("不明");
}

} // namespace

void RemotePane::setControls(bool connected)
{
    m_connectEnabled = !connected;
    m_connectedCommandsEnabled = connected;
    Q_EMIT controlsChanged();
}

void RemotePane::setProfileChoiceEnabled(bool enabled)
{
    m_profileChoiceEnabled = enabled;
    Q_EMIT controlsChanged();
}

void RemotePane::onConnectClicked()
{
    beginUserCommand();
    ConnectServer();
}

void RemotePane::onDisconnectClicked() { DisconnectServer(); }

void RemotePane::ConnectServer()
{
    // A second click while the first connect still waits would pull the session from under it.
    if (m_connecting)
        return;
    m_connecting = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done { m_connecting };
    const quint64 generation = m_generation;

    if (!openSession())
        return;
    m_statusLines.AddStatusLine(
        QStringLiteral(" セッション作成") + QStringLiteral(" ハンドル=") + QString::number(m_internetHandle));
    QCoreApplication::processEvents();
    Q_EMIT pictureRequested(1);
    QCoreApplication::processEvents();
    if (disconnectedSince(generation))
        return;
    applySessionDefaults();
    // A connect while connected only renews the session.
    if (!m_state.IsConnected && logIn(generation))
        showStartFolder(generation);
    ColourFtpList();
}

bool RemotePane::openSession()
{
    // Direct, through the proxy of the settings, or through the console's connection entry.
    bool attempt = true;
    FtpSession::Access access = FtpSession::Direct;
    QString proxy;
    const QString bypass = m_options.bypassProxyForLocal() ? QStringLiteral("<local>") : QString();
    if (m_options.useConsoleConnection(0)) {
        const Dialogs::Answer answer
            = m_dialogs.message(QStringLiteral("メニュー　FTP->FTPcommandのネットワークコネクション時に使用に")
                    + QStringLiteral("\r\n") + QStringLiteral("チェックが入っています、これを使いますか?"),
                Dialogs::Buttons::YesNo, Dialogs::Icon::Question);
        if (answer == Dialogs::Answer::Yes) {
            access = FtpSession::Proxy;
            proxy = m_options.consoleProxyText(0);
        } else {
            attempt = false;
        }
    } else if (m_options.useProxy() && !m_options.proxyHost().isEmpty()) {
        access = FtpSession::Proxy;
        proxy = SessionRules::proxyText(m_options.proxyHost(), m_options.proxyPort());
    }
    m_internetHandle = 0;
    if (attempt) {
        if (m_session.open(access, proxy, access == FtpSession::Proxy ? bypass : QString()))
            m_internetHandle = ++m_lastHandle;
        m_options.setConsoleProxyText(0, proxy);
    }
    if (m_internetHandle)
        return true;
    // Answering No opens nothing: there is no failed call to report.
    if (attempt)
        ShowWinInetError(m_session.lastError(), QString());
    m_statusLines.AddStatusLine(QStringLiteral(" セッションが開けません"));
    QCoreApplication::processEvents();
    return false;
}

void RemotePane::applySessionDefaults()
{
    // A new session starts from the engine's defaults, as a new handle would.
    m_session.setOption(FtpSession::ConnectTimeout, 5000);
    m_session.setOption(FtpSession::ConnectRetries, 2);
    m_session.setOption(FtpSession::ConnectBackoff, 1000);
    m_session.setOption(FtpSession::ControlSendTimeout, 1000);
    m_session.setOption(FtpSession::ControlReceiveTimeout, 0);
    m_session.setOption(FtpSession::DataSendTimeout, 5000);
    m_session.setOption(FtpSession::DataReceiveTimeout, 5000);
    const QString proxyUser = m_options.proxyCredential(0).trimmed();
    const QString proxyPassword = m_options.proxyCredential(1).trimmed();
    m_session.setProxyUserName(proxyUser.isEmpty() ? QString() : m_options.proxyCredential(0));
    m_session.setProxyPassword(proxyPassword.isEmpty() ? QString() : m_options.proxyCredential(1));
    m_session.setKnownCertificatesFile(
        m_knownCertificatesFile.isEmpty() ? DataFolder::file(KnownCertificatesName) : m_knownCertificatesFile);
}

bool RemotePane::logIn(quint64 generation)
{
    const QString host = hostName();
    if (host.isEmpty()) {
        m_dialogs.message(QStringLiteral("Please enter a server name!"), Dialogs::Buttons::Ok);
        return false;
    }
    const bool passive = m_options.passiveMode();
    const QString user = m_profiles.field(2);
    m_statusLines.AddStatusLine(QStringLiteral(" Ftp接続要求 ") + host + QStringLiteral(":ID=") + user);

    // The hourglass comes after the question, so the box is not covered by it.
    QString password = m_profiles.field(3);
    if (password.trimmed().isEmpty())
        password = m_dialogs.input(QStringLiteral("パスワードを入力してください。")).value_or(QString());
    QCoreApplication::processEvents();
    if (disconnectedSince(generation))
        return false;

    std::optional<BusyPointer> busy;
    busy.emplace(*this);
    const bool connected = m_connection.connect(host.trimmed(), 0, user, password, passive);
    if (disconnectedSince(generation))
        return false;
    if (connected) {
        m_login = { host.trimmed(), user, password, passive };
        return true;
    }

    // A stop is the user's decision: no message and no failure in the log.
    const int code = m_connection.lastError();
    m_ftpHandle = 0;
    m_state.IsConnected = false;
    busy.reset();
    if (code == FtpError::OperationCancelled) {
        m_state.StopRequested = false;
    } else {
        ShowWinInetError(code, m_connection.lastResponse());
        m_log.write(QStringLiteral("<FTP接続失敗>"), host, QStringLiteral("</FTP接続失敗>"));
    }
    m_statusLines.AddStatusLine(QStringLiteral(" Ftp接続失敗"));
    return false;
}

void RemotePane::showStartFolder(quint64 generation)
{
    const QString host = hostName();
    m_ftpHandle = ++m_lastHandle;
    m_state.IsConnected = true;
    setFolderText(host);
    ListFtpFolder();
    FillFtpList();
    if (disconnectedSince(generation))
        return;

    m_statusLines.AddStatusLine(QStringLiteral(" Ftp開始"));
    SetSessionTimeouts();
    m_log.write(QStringLiteral("<Ftp接続開始>"), host, QStringLiteral("</FTP接続開始>"));
    m_startLogged = true;
    if (m_connectionWatch)
        m_connectionWatch->start();
    setProfileChoiceEnabled(false);
    Q_EMIT pictureRequested(0);
    setFolderText(GetCurrentFtpFolder());

    // Without a start folder the pane moves up one folder, as the up button does; the server
    // stays in the folder the list shows, so that every later command works where the user looks.
    const QString startFolder = m_profiles.field(5).trimmed();
    if (!startFolder.isEmpty()) {
        setFolderText(SessionRules::startFolderPath(m_folderText, startFolder));
        GoToFtpFolder();
    } else {
        moveUpCommand();
    }
    if (disconnectedSince(generation))
        return;
    m_statusLines.AddStatusLine(QStringLiteral(" サーバーの初期フォルダー表示"));
    m_state.CurrentFtpPath = m_folderText;
    setControls(true);
}

void RemotePane::DisconnectServer()
{
    ++m_generation;
    const QString host = hostName();
    // Closing from inside a running operation (the login of a connect too) cancels it; the
    // operation closes when it ends.
    if (m_ftpHandle || m_connecting)
        m_connection.close();
    m_ftpHandle = 0;
    m_record.ClearListings();
    if (m_connectionWatch)
        m_connectionWatch->stop();
    m_state.IsConnected = false;
    Q_EMIT pictureRequested(1);
    m_fileList->replaceRows({});

    if (m_internetHandle)
        m_session.close();
    m_internetHandle = 0;
    Q_EMIT pictureRequested(2);
    // A start that was logged gets its end, also when the exit came before the start folder.
    const bool wasConnected = !m_connectEnabled || m_startLogged;
    m_startLogged = false;
    m_connectedCommandsEnabled = false;
    if (wasConnected) {
        m_connectEnabled = true;
        m_log.writeEntry(m_log.disconnectEntry(host));
    }
    Q_EMIT controlsChanged();
    m_statusLines.AddStatusLine(host + QStringLiteral(":FTP接続終了"));
    setProfileChoiceEnabled(true);
}

void RemotePane::Reconnect(QString folder)
{
    DisconnectServer();
    ConnectServer();
    setFolderText(folder);
    // A failed connect is no start: nothing is listed and nothing logged as one.
    if (!m_state.IsConnected || !m_ftpHandle)
        return;
    const quint64 generation = m_generation;
    RefreshFtpPanes();
    if (disconnectedSince(generation))
        return;
    setFolderText(GetCurrentFtpFolder());
    const QString host = hostName();
    m_statusLines.AddStatusLine(host + QStringLiteral(": Ftp開始"));
    SetSessionTimeouts();
    m_log.writeEntry(m_log.connectEntry(host));
}

void RemotePane::SetSessionTimeouts()
{
    m_session.setOption(FtpSession::ConnectTimeout, 10000);
    m_session.setOption(FtpSession::ControlReceiveTimeout, 5000);
    m_session.setOption(FtpSession::ControlSendTimeout, 5000);
}

void RemotePane::ShowWinInetError() { ShowWinInetError(m_connection.lastError(), m_connection.lastResponse()); }

void RemotePane::ShowWinInetError(int code, const QString& lastResponse)
{
    if (m_state.SuppressWinInetErrors)
        return;
    // A stop is the user's own decision, not a failure to report.
    if (code == FtpError::OperationCancelled)
        return;
    if (code < 12000) {
        LastDllErrToErrMsg(code);
        return;
    }
    m_dialogs.message(
        SessionRules::winInetErrorText(code, lastResponse), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
}

QString RemotePane::WinInetMessageText(int code) { return FtpError::messageText(code); }

QString RemotePane::LastResponseText() const { return m_connection.lastResponse(); }

QString RemotePane::LastDllErrToErrMsg(int lngLastDllError)
{
    const QString text = SessionRules::systemErrorText(lngLastDllError);
    m_dialogs.message(text, Dialogs::Buttons::Ok);
    return text;
}

void RemotePane::ErrorOut(int dError, const QString& szCallFunction)
{
    if (dError == FtpError::ExtendedError) {
        const QString response = LastResponseText();
        m_dialogs.message(szCallFunction + QStringLiteral(" Extd Err: ")
                + QString::number(SessionRules::responseCode(response)) + u' ' + response,
            Dialogs::Buttons::Ok);
    }
    if (dError != FtpError::AccessDenied) {
        m_dialogs.message(szCallFunction + QStringLiteral(" エラ－: ") + QString::number(dError)
                + QStringLiteral("\r\n") + QStringLiteral("処理を中断します。"),
            Dialogs::Buttons::Ok);
        ++m_generation;
        if (m_ftpHandle)
            m_connection.close();
        if (m_internetHandle)
            m_session.close();
        m_ftpHandle = 0;
        m_internetHandle = 0;
        m_state.IsConnected = false;
        return;
    }
    m_dialogs.message(QStringLiteral("フォルダへのアクセスが拒否されました。"), Dialogs::Buttons::Ok);
    m_state.AccessDenied = true;
}

void RemotePane::onConnectionWatchTick()
{
    QString folder;
    bool alive = false;
    if (m_ftpHandle) {
        m_probing = true;
        alive = m_connection.getCurrentDirectory(&folder);
        m_probing = false;
        // A connection in the middle of an operation (the watch ticks while it waits) is alive.
        if (!alive && m_connection.lastError() == FtpError::TransferInProgress)
            return;
    }
    watchTick(alive);
}

void RemotePane::watchTick(bool probeSucceeded)
{
    if (probeSucceeded) {
        Q_EMIT pictureStepRequested();
        QCoreApplication::processEvents();
        return;
    }
    if (m_connectionWatch)
        m_connectionWatch->stop();
    Q_EMIT pictureRequested(1);
    m_statusLines.addRawLine(m_clock().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("接続終了"));
    Reconnect(m_folderText);
}

namespace {

QString certificateFacts(const FtpSession::CertificateInfo& info)
{
    const QString nl = QStringLiteral("\r\n");
    return QStringLiteral("サーバー: ") + info.host + nl + QStringLiteral("理由: ") + info.problem + nl
        + QStringLiteral("発行者: ") + info.issuer + nl + QStringLiteral("発行先: ") + info.subject + nl
        + QStringLiteral("有効期間: ") + dateText(info.notBefore) + QStringLiteral(" から ") + dateText(info.notAfter)
        + QStringLiteral(" まで") + nl;
}

} // namespace

QString RemotePane::certificateQuestion(const FtpSession::CertificateInfo& info) const
{
    const QString nl = QStringLiteral("\r\n");
    return QStringLiteral("サーバーの証明書を確認できませんでした。") + nl + nl + certificateFacts(info)
        + QStringLiteral("SHA-256 フィンガープリント: ") + nl + info.sha256Fingerprint + nl + nl
        + QStringLiteral("この証明書を信頼して接続しますか?");
}

QString RemotePane::changedCertificateWarning(const FtpSession::CertificateInfo& info) const
{
    const QString nl = QStringLiteral("\r\n");
    return QStringLiteral("警告: サーバーの証明書が、以前に信頼した証明書から変わっています。") + nl
        + QStringLiteral("第三者が通信に割り込んでいる（なりすまし）おそれがあります。") + nl + nl
        + certificateFacts(info) + QStringLiteral("以前の SHA-256 フィンガープリント: ") + nl + info.acceptedBefore + nl
        + QStringLiteral("今回の SHA-256 フィンガープリント: ") + nl + info.sha256Fingerprint + nl + nl
        + QStringLiteral("サーバーの管理者が証明書を更新したと確かめられない場合は「いいえ」を選んでください。") + nl
        + QStringLiteral("この新しい証明書を信頼して接続しますか?");
}
