#include "core/workspace/companionlink.h"

#include "core/app/codepage.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/link/commandinterpreter.h"
#include "core/link/companionprotocol.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"
#include "core/manage/deletes.h"
#include "core/manage/permissions.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"

#include <QCoreApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QSaveFile>

namespace {

QList<CompanionProtocol::ListRow> rowsOf(const PaneListModel& model, bool withColumn4)
{
    QList<CompanionProtocol::ListRow> rows;
    rows.reserve(model.rowCount());
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex name = model.index(row, 0);
        rows.append({ name.data().toString(), name.data(ItemRoles::IconKeyRole).toString(),
            withColumn4 ? model.index(row, 4).data().toString() : QString() });
    }
    return rows;
}

// Selects the first row of `model` whose text is `name`, and only that row: rows the user had
// selected must not be carried along into a transfer or a delete the companion asked for.
int selectRow(PaneListModel& model, QItemSelectionModel& selection, const QString& name)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row, 0);
        if (index.data().toString() != name)
            continue;
        selection.setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return row;
    }
    return -1;
}

} // namespace

CompanionLink::CompanionLink(Workspace& workspace)
    : m_workspace(workspace)
{
    m_messageLines.setObjectName(QStringLiteral("List8"));
    m_messageTimer.setObjectName(QStringLiteral("TimerMessage"));
    m_messageTimer.setInterval(10);
    connect(&m_messageTimer, &QTimer::timeout, this, &CompanionLink::onMessageTimer);
}

CompanionLink::~CompanionLink() { UnhookMessages(); }

// Command channel ----------------------------------------------------------------------------

bool CompanionLink::HookMessages()
{
    if (isHooked())
        return true;
    auto listener = std::make_unique<MessageListener>();
    if (!listener->listen()) {
        m_workspace.statusLines().AddStatusLine(
            QStringLiteral("メッセージを受け取れません: ") + listener->errorString());
        return false;
    }
    connect(listener.get(), &MessageListener::messageReceived, this, &CompanionLink::MessageWindowProc);
    m_mainListener = std::move(listener);
    writeMainHandleFile();
    return true;
}

void CompanionLink::UnhookMessages()
{
    if (!m_mainListener)
        return;
    removeMainHandleFile();
    m_mainListener.reset();
}

bool CompanionLink::isHooked() const { return m_mainListener && m_mainListener->isListening(); }

qint64 CompanionLink::mainHandle() const { return isHooked() ? m_mainListener->handle() : 0; }

void CompanionLink::writeMainHandleFile()
{
    QSaveFile f(MessageBus::mainHandleFile());
    if (!f.open(QIODevice::WriteOnly)) {
        m_workspace.statusLines().AddStatusLine(QStringLiteral("main.handle を書けません"));
        return;
    }
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(QByteArray::number(mainHandle()) + '\n');
    if (!f.commit())
        m_workspace.statusLines().AddStatusLine(QStringLiteral("main.handle を書けません"));
}

void CompanionLink::removeMainHandleFile()
{
    // A later program may have announced itself meanwhile: its file stays.
    if (MessageBus::readMainHandle() == mainHandle())
        QFile::remove(MessageBus::mainHandleFile());
}

void CompanionLink::MessageWindowProc(quint32 message, const QByteArray& payload)
{
    if (message != MessageBus::WM_COPYDATA)
        return;
    const QString text = MessageBus::payloadText(payload);
    // Messages wait their turn: one that came before the last was interpreted is not lost. A
    // flood beyond what any companion sends is dropped.
    if (m_pending.size() >= MaxPendingMessages || m_pendingChars + text.size() > MaxPendingChars)
        return;
    m_pending.append(text);
    m_pendingChars += text.size();
    Q_EMIT messageShown(text);
    m_messageTimer.start();
}

void CompanionLink::onMessageTimer()
{
    // A message that arrives while a command of the last one still works (a transfer keeps the
    // window live) waits for it: the two would share the list and the connection.
    if (m_interpreting)
        return;
    if (m_pending.isEmpty()) {
        m_messageTimer.stop();
        return;
    }
    m_lastMessage = m_pending.takeFirst();
    m_pendingChars -= m_lastMessage.size();
    if (m_pending.isEmpty())
        m_messageTimer.stop();
    Q_EMIT messageShown(m_lastMessage);
    QStringList lines = CompanionProtocol::messageLines(m_lastMessage);
    m_messageLines.setStringList(lines);
    m_interpreting = true;
    CommandInterpreter::run(lines, *this);
    m_interpreting = false;
    m_messageLines.setStringList(lines);
}

// Editor channel -------------------------------------------------------------------------------

qint64 CompanionLink::editorHandle()
{
    if (m_editorListener && m_editorListener->isListening())
        return m_editorListener->handle();
    auto listener = std::make_unique<MessageListener>();
    if (!listener->listen()) {
        m_workspace.statusLines().AddStatusLine(
            QStringLiteral("メッセージを受け取れません: ") + listener->errorString());
        return 0;
    }
    connect(
        listener.get(), &MessageListener::messageReceived, this, [this](quint32 message, const QByteArray& payload) {
            if (message == MessageBus::WM_SETTEXT)
                onEditorMessage(MessageBus::payloadText(payload));
        });
    m_editorListener = std::move(listener);
    return m_editorListener->handle();
}

void CompanionLink::sendToEditor(const QString& text)
{
    const qint64 companion = m_workspace.state().CompanionWindow;
    if (companion == 0)
        return;
    m_sender.send(companion, MessageBus::WM_SETTEXT, Cp932::encode(text));
}

void CompanionLink::sendHandshake() { sendToEditor(CompanionProtocol::handshakeMessage(editorHandle())); }

void CompanionLink::sendEnd()
{
    if (m_workspace.state().CompanionWindow != 0)
        sendToEditor(CompanionProtocol::EndMessage);
}

bool CompanionLink::sendServerText(const QString& name, const QString& text)
{
    if (m_workspace.state().CompanionWindow == 0)
        return false;
    m_workspace.statusLines().AddStatusLine(QStringLiteral("set text"));
    sendToEditor(CompanionProtocol::setTextMessage(
        name, QStringLiteral("FTP"), m_workspace.remotePane().GetCurrentFtpFolder(), editorHandle(), text));
    return true;
}

void CompanionLink::requestEditorText(const QString& textViewText)
{
    if (textViewText.isEmpty())
        return;
    sendToEditor(CompanionProtocol::getTextMessage(editorHandle()));
}

void CompanionLink::onEditorMessage(const QString& text)
{
    m_editorText = text;
    // A store keeps the window live while it runs; a message that comes meanwhile is handled
    // after it, not in its middle.
    if (m_editorBusy) {
        m_editorAgain = true;
        return;
    }
    m_editorBusy = true;
    do {
        m_editorAgain = false;
        handleEditorMessage(m_editorText);
    } while (m_editorAgain);
    m_editorBusy = false;
}

void CompanionLink::handleEditorMessage(const QString& text)
{
    const QString mode = CompanionProtocol::GetValue(text, QStringLiteral("mode"));
    if (mode == QLatin1String("sendtext")) {
        Q_EMIT textViewRequested(CompanionProtocol::GetValue(text, QStringLiteral("contents")));
        QCoreApplication::processEvents();
    } else if (mode == QLatin1String("upload")) {
        const QString path = CompanionProtocol::GetValue(text, QStringLiteral("path"));
        const QString name = CompanionProtocol::GetValue(text, QStringLiteral("name"));
        const QString contents = CompanionProtocol::GetValue(text, QStringLiteral("contents"));
        RemotePane& remote = m_workspace.remotePane();
        remote.setFolderText(path);
        remote.GoToFtpFolder();
        // Without a name there is nothing to store under, as with the viewer's own button.
        if (name.trimmed().isEmpty()) {
            Q_EMIT textViewRequested(contents);
        } else {
            Q_EMIT serverTextStored(name, contents);
            // The contents as they came, not as a text view would normalise them.
            m_workspace.transfers().UpdateRemoteFile(contents, name);
        }
    } else if (mode == QLatin1String("end")) {
        endProgram();
    }
}

// The companion's commands ---------------------------------------------------------------------

void CompanionLink::disconnectServer() { m_workspace.remotePane().DisconnectServer(); }

void CompanionLink::endProgram()
{
    m_workspace.shutDown();
    Q_EMIT endRequested();
}

void CompanionLink::setMainWindowVisible(bool visible) { Q_EMIT windowVisibilityRequested(visible); }

void CompanionLink::setCompanionReplyWindow(qint64 handle)
{
    m_replyWindow = handle;
    m_sender.revive(handle);
}

void CompanionLink::SendToCompanion(const QString& text)
{
    m_sender.send(
        m_replyWindow, MessageBus::WM_COPYDATA, CompanionProtocol::fittedPayload(text, MessageBus::MaxPayload));
}

QString CompanionLink::localListReply()
{
    LocalPane& local = m_workspace.localPane();
    return CompanionProtocol::localListReply(local.folderText(), rowsOf(*local.fileList(), false));
}

QString CompanionLink::ftpListReply()
{
    return CompanionProtocol::ftpListReply(rowsOf(*m_workspace.remotePane().fileList(), true));
}

int CompanionLink::selectFtpRow(const QString& name)
{
    RemotePane& remote = m_workspace.remotePane();
    return selectRow(*remote.fileList(), *remote.fileSelection(), name);
}

int CompanionLink::selectLocalRow(const QString& name)
{
    LocalPane& local = m_workspace.localPane();
    return selectRow(*local.fileList(), *local.fileSelection(), name);
}

void CompanionLink::changePermissions(const QString& mode, const QString& name)
{
    // The mode goes to the server as it stands: anything but three octal digits is no mode.
    Permissions& permissions = m_workspace.permissions();
    if (!permissions.setModeText(mode) || selectFtpRow(name) < 0)
        return;
    permissions.ChangeServerPermissions();
}

void CompanionLink::openLocalFolder(const QString& parameter)
{
    LocalPane& local = m_workspace.localPane();
    const int row = selectLocalRow(CompanionProtocol::nameRuleTarget(parameter, local.folderText()));
    if (row >= 0 && local.fileList()->isFolderRow(row))
        local.openLocalFolderRow(row);
}

void CompanionLink::openFtpFolder(const QString& parameter)
{
    RemotePane& remote = m_workspace.remotePane();
    const int row = selectFtpRow(CompanionProtocol::nameRuleTarget(parameter, remote.folderText()));
    if (row < 0)
        return;
    if (remote.fileList()->isFolderRow(row))
        remote.openFtpFolderRow(row);
    else
        m_workspace.viewServerFile(remote.fileList()->index(row, 0).data().toString());
}

void CompanionLink::localFolderUp() { m_workspace.localPane().MoveUpLocalFolder(); }

void CompanionLink::ftpFolderUp() { m_workspace.remotePane().onUpClicked(); }

void CompanionLink::download(const QString& parameter)
{
    if (selectFtpRow(CompanionProtocol::nameRuleTarget(parameter, m_workspace.remotePane().folderText())) >= 0)
        m_workspace.transfers().DownloadSelection();
}

void CompanionLink::upload(const QString& parameter)
{
    if (selectLocalRow(CompanionProtocol::nameRuleTarget(parameter, m_workspace.localPane().folderText())) >= 0)
        m_workspace.transfers().UploadSelection();
}

void CompanionLink::deleteLocal(const QString& parameter)
{
    if (selectLocalRow(CompanionProtocol::nameRuleTarget(parameter, m_workspace.localPane().folderText())) >= 0)
        m_workspace.deletes().RecycleLocalSelection();
}

void CompanionLink::deleteOnServer(const QString& parameter)
{
    if (selectFtpRow(CompanionProtocol::nameRuleTarget(parameter, m_workspace.remotePane().folderText())) < 0)
        return;
    Deletes& deletes = m_workspace.deletes();
    if (m_workspace.windowShown()) {
        deletes.DeleteServerSelection();
        return;
    }
    // The confirmation of a hidden window can be neither seen nor answered, and would keep the
    // program waiting for good: the companion that named the file stands for the user then.
    const Deletes::Caution caution = deletes.caution();
    deletes.setCaution([](const QString&) { return true; });
    deletes.DeleteServerSelection();
    deletes.setCaution(caution);
}

bool CompanionLink::connectProfile(const QString& name)
{
    const QStringList names = m_workspace.options().profileNameModel()->stringList();
    for (int row = 0; row < names.size(); ++row) {
        if (names[row].toLower() == name) {
            m_workspace.connectProfile(row);
            return true;
        }
    }
    return false;
}
