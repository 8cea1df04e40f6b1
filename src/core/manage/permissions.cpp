#include "core/manage/permissions.h"

#include "core/app/appstate.h"
#include "core/app/dialogs.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftpsession/remotepane.h"
#include "core/log/activitylog.h"
#include "core/manage/managerules.h"
#include "core/panes/panelistmodel.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QStringList>

Permissions::Permissions(AppState& state, RemotePane& remotePane, StatusLines& statusLines, ActivityLog& log,
    Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_remotePane(remotePane)
    , m_statusLines(statusLines)
    , m_log(log)
    , m_dialogs(dialogs)
{
    // The boxes start as the mode the panel has always shown first, 644.
    m_modeBits = { true, true, false, true, false, false, true, false, false };
    updateMode();
}

Permissions::~Permissions() = default;

QString Permissions::explanation()
{
    static const char16_t* const lines[] = {
        u"多くのFTTサーバーはUNIXと言うプログラムで管理されています。",
        u"UNIXは多くのユーザーが多数のワークステーションから使用する為に",
        u"ファイルやフォルダー３つの権限を付けています。権限は",
        u"read 読むことが出来る権限",
        u"write書き込むことが出来る権限",
        u"execute実行することの出来る権限",
        u"これらの権限を次のユーザーレベルで設定できます。",
        u"ownerファイルやフォルダーの所有者",
        u"group所有者の属するグループ",
        u"Everyone(Public)サーバーにアクセスする全てのユーザー",
        u"",
    };
    QStringList text;
    for (const char16_t* line : lines)
        text.append(QString::fromUtf16(line));
    return text.join(QStringLiteral("\r\n"));
}

bool Permissions::modeBit(int index) const { return index >= 0 && index < 9 && m_modeBits[std::size_t(index)]; }

void Permissions::setModeBit(int index, bool on)
{
    if (index < 0 || index >= 9)
        return;
    m_modeBits[std::size_t(index)] = on;
    updateMode();
}

bool Permissions::setModeText(const QString& mode)
{
    const std::optional<std::array<bool, 9>> boxes = ManageRules::boxesFromMode(mode);
    if (!boxes)
        return false;
    m_modeBits = *boxes;
    updateMode();
    return true;
}

void Permissions::setCloseAfterChange(bool on)
{
    if (m_closeAfterChange == on)
        return;
    m_closeAfterChange = on;
    Q_EMIT changed();
}

QString Permissions::modeDigit(int level) const { return QString::number(ManageRules::levelDigit(m_modeBits, level)); }

void Permissions::updateMode()
{
    m_modeText = ManageRules::modeDigits(m_modeBits);
    m_modeLetters = ManageRules::modeLetters(m_modeBits);
    Q_EMIT changed();
}

void Permissions::ShowPermissionPanel()
{
    m_explanationText = explanation();
    Q_EMIT changed();
    Q_EMIT panelRequested();
}

bool Permissions::ChangeServerPermissions()
{
    const PaneListModel& list = *m_remotePane.fileList();
    const QItemSelectionModel& selection = *m_remotePane.fileSelection();
    // The names first: a listing that arrives while the server answers must not move the rows.
    QStringList names;
    for (int row = 0; row < list.rowCount(); ++row) {
        if (selection.isRowSelected(row))
            names.append(list.index(row, 0).data().toString());
    }
    if (names.isEmpty()) {
        m_dialogs.message(nothingSelectedText(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    if (!m_remotePane.FtpHandle())
        return false;

    const QString mode = m_modeText;
    for (const QString& name : std::as_const(names)) {
        FtpConnection* connection = m_remotePane.FtpHandle();
        if (!connection)
            break;
        const bool ok = connection->nameCommand(ManageRules::chmodCommand(mode, name));
        QCoreApplication::processEvents();
        const QString details = name + u' ' + mode;
        if (ok) {
            Q_EMIT consoleReply(connection->lastResponse());
            m_log.write(QStringLiteral("<パーミッション変更>"), details, QStringLiteral("</パーミッション変更>"));
            m_statusLines.AddStatusLine(name + QStringLiteral(" パーミッション変更"));
        } else {
            if (connection->lastError() == FtpError::OperationCancelled)
                m_state.StopRequested = false;
            else
                m_remotePane.ShowWinInetError();
            m_log.write(
                QStringLiteral("<パーミッション変更失敗>"), details, QStringLiteral("</パーミッション変更失敗>"));
            m_statusLines.AddStatusLine(name + QStringLiteral(" パーミッション変更失敗"));
        }
    }
    if (m_remotePane.FtpHandle())
        m_remotePane.RefreshFtpPanes();
    return true;
}

void Permissions::onRunClicked()
{
    if (ChangeServerPermissions() && m_closeAfterChange)
        Q_EMIT panelHideRequested();
}
