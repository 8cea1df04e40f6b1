#include "gui/link/companionlink.h"

#include "core/app/codepage.h"
#include "core/ftpsession/remotepane.h"
#include "core/link/commandinterpreter.h"
#include "core/link/companionprotocol.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"
#include "core/manage/deletes.h"
#include "core/manage/permissions.h"
#include "core/app/itemroles.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/transfer/transfers.h"
#include "gui/app/mainwindow.h"
#include "gui/manage/frmcaution.h"
#include "gui/ui/movablepanel.h"

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>

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

CompanionLink::CompanionLink(MainWindow& window, QTimer& timerMessage, QWidget* panelParent)
    : QObject(&window)
    , m_window(window)
    , m_timerMessage(timerMessage)
    , m_list8(std::make_unique<QStringListModel>())
{
    m_list8->setObjectName(QStringLiteral("List8"));
    createFrame21(panelParent);
    m_rb4 = new QPlainTextEdit(panelParent);
    m_rb4->setObjectName(QStringLiteral("RB4"));
    m_rb4->setReadOnly(true);
    m_rb4->hide();
}

CompanionLink::~CompanionLink() { UnhookMessages(); }

void CompanionLink::createFrame21(QWidget* parent)
{
    m_frame21 = new MovablePanel(
        QStringLiteral("Frame21"), QStringLiteral("Label21"), QStringLiteral("メッセージの表示"), parent);
    m_text15 = new QPlainTextEdit(m_frame21);
    m_text15->setObjectName(QStringLiteral("Text15"));
    m_text15->setReadOnly(true);
    m_text15->setMaximumHeight(80);
    auto* list8 = new QListView(m_frame21);
    list8->setObjectName(QStringLiteral("List8View"));
    list8->setModel(m_list8.get());
    list8->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list8->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list8->setUniformItemSizes(true);
    m_frame21->body()->addWidget(m_text15);
    m_frame21->body()->addWidget(list8, 1);
    m_frame21->addCloseButton(QStringLiteral("Frame21Close"));
    m_frame21->resize(420, 300);
    m_frame21->hide();
}

void CompanionLink::mmessage_Click()
{
    if (m_frame21->pos() == QPoint(0, 0))
        m_frame21->move(24, 24);
    m_frame21->showInFront();
}

// Command channel ----------------------------------------------------------------------------

bool CompanionLink::HookMessages()
{
    if (isHooked())
        return true;
    auto listener = std::make_unique<MessageListener>();
    if (!listener->listen()) {
        m_window.AddStatusLine(QStringLiteral("メッセージを受け取れません: ") + listener->errorString());
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
        m_window.AddStatusLine(QStringLiteral("main.handle を書けません"));
        return;
    }
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.write(QByteArray::number(mainHandle()) + '\n');
    if (!f.commit())
        m_window.AddStatusLine(QStringLiteral("main.handle を書けません"));
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
    showInText15(text);
    m_timerMessage.start();
}

void CompanionLink::TimerMessage_Timer()
{
    // A message that arrives while a command of the last one still works (a transfer keeps the
    // window live) waits for it: the two would share the list and the connection.
    if (m_interpreting)
        return;
    if (m_pending.isEmpty()) {
        m_timerMessage.stop();
        return;
    }
    m_text15Value = m_pending.takeFirst();
    m_pendingChars -= m_text15Value.size();
    if (m_pending.isEmpty())
        m_timerMessage.stop();
    showInText15(m_text15Value);
    QStringList lines = CompanionProtocol::messageLines(m_text15Value);
    m_list8->setStringList(lines);
    m_interpreting = true;
    CommandInterpreter::run(lines, *this);
    m_interpreting = false;
    m_list8->setStringList(lines);
}

void CompanionLink::showInText15(const QString& text)
{
    // Laying out a megabyte in a text box would hold the window up for seconds; the panel is for
    // looking at what came, the interpreter reads the whole text.
    m_text15->setPlainText(text.size() > Text15ShownChars ? text.left(Text15ShownChars) + QStringLiteral("…") : text);
}

// Editor channel -------------------------------------------------------------------------------

qint64 CompanionLink::rb4Handle()
{
    if (m_rb4Listener && m_rb4Listener->isListening())
        return m_rb4Listener->handle();
    auto listener = std::make_unique<MessageListener>();
    if (!listener->listen()) {
        m_window.AddStatusLine(QStringLiteral("メッセージを受け取れません: ") + listener->errorString());
        return 0;
    }
    connect(
        listener.get(), &MessageListener::messageReceived, this, [this](quint32 message, const QByteArray& payload) {
            if (message != MessageBus::WM_SETTEXT)
                return;
            m_rb4Value = MessageBus::payloadText(payload);
            m_rb4->setPlainText(m_rb4Value);
            RB4_Change();
        });
    m_rb4Listener = std::move(listener);
    return m_rb4Listener->handle();
}

void CompanionLink::sendToEditor(const QString& text)
{
    const qint64 companion = m_window.state().CompanionWindow;
    if (companion == 0)
        return;
    MessageBus::SendMessage(companion, MessageBus::WM_SETTEXT, Cp932::encode(text));
}

void CompanionLink::sendHandshake() { sendToEditor(CompanionProtocol::handshakeMessage(rb4Handle())); }

void CompanionLink::sendEnd()
{
    if (m_window.state().CompanionWindow != 0)
        sendToEditor(CompanionProtocol::EndMessage);
}

void CompanionLink::Command45_Click(const QString& textViewText)
{
    if (textViewText.isEmpty())
        return;
    sendToEditor(CompanionProtocol::getTextMessage(rb4Handle()));
}

void CompanionLink::RB4_Change()
{
    // A store keeps the window live while it runs; a message that comes meanwhile is handled
    // after it, not in its middle.
    if (m_rb4Busy) {
        m_rb4Again = true;
        return;
    }
    m_rb4Busy = true;
    do {
        m_rb4Again = false;
        handleRB4(m_rb4Value);
    } while (m_rb4Again);
    m_rb4Busy = false;
}

void CompanionLink::handleRB4(const QString& text)
{
    const QString mode = CompanionProtocol::GetValue(text, QStringLiteral("mode"));
    if (mode == QLatin1String("sendtext")) {
        Q_EMIT textViewRequested(CompanionProtocol::GetValue(text, QStringLiteral("contents")));
        QCoreApplication::processEvents();
    } else if (mode == QLatin1String("upload")) {
        const QString path = CompanionProtocol::GetValue(text, QStringLiteral("path"));
        const QString name = CompanionProtocol::GetValue(text, QStringLiteral("name"));
        const QString contents = CompanionProtocol::GetValue(text, QStringLiteral("contents"));
        RemotePane& remote = m_window.remotePane();
        remote.setFolderText(path);
        remote.GoToFtpFolder();
        // Without a name there is nothing to store under, as with the viewer's own button.
        if (name.trimmed().isEmpty())
            Q_EMIT textViewRequested(contents);
        else
            Q_EMIT storeRequested(name, contents);
    } else if (mode == QLatin1String("end")) {
        endProgram();
    }
}

// The companion's commands ---------------------------------------------------------------------

void CompanionLink::disconnectServer() { m_window.remotePane().DisconnectServer(); }

void CompanionLink::endProgram()
{
    m_window.Form_Unload();
    m_window.hide();
    QCoreApplication::quit();
}

void CompanionLink::setMainWindowVisible(bool visible) { m_window.setVisible(visible); }

void CompanionLink::setCompanionReplyWindow(qint64 handle) { m_replyWindow = handle; }

void CompanionLink::SendToCompanion(const QString& text)
{
    const QByteArray payload = CompanionProtocol::copyDataPayload(text);
    // A list longer than the bus carries goes nowhere, as to a window that is gone.
    MessageBus::SendMessage(m_replyWindow, MessageBus::WM_COPYDATA, payload);
}

QString CompanionLink::localListReply()
{
    LocalPane& local = m_window.localPane();
    return CompanionProtocol::localListReply(local.folderText(), rowsOf(*local.fileList(), false));
}

QString CompanionLink::ftpListReply()
{
    return CompanionProtocol::ftpListReply(rowsOf(*m_window.remotePane().fileList(), true));
}

int CompanionLink::selectFtpRow(const QString& name)
{
    RemotePane& remote = m_window.remotePane();
    return selectRow(*remote.fileList(), *remote.fileSelection(), name);
}

int CompanionLink::selectLocalRow(const QString& name)
{
    LocalPane& local = m_window.localPane();
    return selectRow(*local.fileList(), *local.fileSelection(), name);
}

void CompanionLink::changePermissions(const QString& mode, const QString& name)
{
    // The mode goes to the server as it stands: anything but three octal digits is no mode.
    Permissions& permissions = m_window.permissions();
    if (!permissions.setModeText(mode) || selectFtpRow(name) < 0)
        return;
    permissions.ChangeServerPermissions();
}

void CompanionLink::openLocalFolder(const QString& parameter)
{
    LocalPane& local = m_window.localPane();
    const int row = selectLocalRow(CompanionProtocol::nameRuleTarget(parameter, local.folderText()));
    if (row >= 0 && local.fileList()->isFolderRow(row))
        local.openLocalFolderRow(row);
}

void CompanionLink::openFtpFolder(const QString& parameter)
{
    RemotePane& remote = m_window.remotePane();
    const int row = selectFtpRow(CompanionProtocol::nameRuleTarget(parameter, remote.folderText()));
    if (row < 0)
        return;
    if (remote.fileList()->isFolderRow(row))
        remote.openFtpFolderRow(row);
    else
        m_window.ViewServerFile(remote.fileList()->index(row, 0).data().toString());
}

void CompanionLink::localFolderUp() { m_window.localPane().MoveUpLocalFolder(); }

void CompanionLink::ftpFolderUp() { m_window.remotePane().onUpClicked(); }

void CompanionLink::download(const QString& parameter)
{
    if (selectFtpRow(CompanionProtocol::nameRuleTarget(parameter, m_window.remotePane().folderText())) >= 0)
        m_window.transfers().DownloadSelection();
}

void CompanionLink::upload(const QString& parameter)
{
    if (selectLocalRow(CompanionProtocol::nameRuleTarget(parameter, m_window.localPane().folderText())) >= 0)
        m_window.transfers().UploadSelection();
}

void CompanionLink::deleteLocal(const QString& parameter)
{
    if (selectLocalRow(CompanionProtocol::nameRuleTarget(parameter, m_window.localPane().folderText())) >= 0)
        m_window.deletes().RecycleLocalSelection();
}

void CompanionLink::deleteOnServer(const QString& parameter)
{
    if (selectFtpRow(CompanionProtocol::nameRuleTarget(parameter, m_window.remotePane().folderText())) < 0)
        return;
    Deletes& deletes = m_window.deletes();
    if (m_window.isVisible()) {
        deletes.DeleteServerSelection();
        return;
    }
    // The confirmation panel of a hidden window can be neither seen nor answered, and would keep
    // the program waiting for good: the companion that named the file stands for the user then.
    deletes.setCaution([](const QString&) { return true; });
    deletes.DeleteServerSelection();
    MainWindow* window = &m_window;
    deletes.setCaution([window](const QString& counts) { return window->frmCaution()->ask(counts); });
}

bool CompanionLink::connectProfile(const QString& name)
{
    const QStringList names = m_window.options().profileNameModel()->stringList();
    for (int row = 0; row < names.size(); ++row) {
        if (names[row].toLower() != name)
            continue;
        RemotePane& remote = m_window.remotePane();
        if (remote.FtpHandle()) {
            remote.DisconnectServer();
            QCoreApplication::processEvents();
        }
        m_window.profiles().selectProfileRow(row);
        QCoreApplication::processEvents();
        remote.ConnectServer();
        return true;
    }
    return false;
}
