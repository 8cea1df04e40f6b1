#pragma once

#include "core/link/companioncommands.h"
#include "core/link/replysender.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringListModel>
#include <QTimer>
#include <memory>

class MessageListener;
class Workspace;

// The program's link with a companion over the message bus, and what the companion's commands do.
//
// The command channel: once hooked (`HookMessages`, for "<message visible>" and "<message
// invisible>"), the program listens under its own handle, announced in main.handle; each
// WM_COPYDATA text waits its turn and is interpreted by a tick of the message timer, which
// answers on the bus to the reply window the companion registered.
//
// The editor channel: a second handle (opened when first needed) takes the companion editor's
// WM_SETTEXT messages ("sendtext", "upload", "end"); the program's messages go to
// `AppState::CompanionWindow`.
class CompanionLink : public QObject, public CompanionCommands {
    Q_OBJECT
public:
    explicit CompanionLink(Workspace& workspace);
    ~CompanionLink() override;

    // Command channel ----------------------------------------------------------------------------
    // False (with a status line) when the bus cannot be listened on.
    bool HookMessages();
    void UnhookMessages();
    bool isHooked() const;
    // The command channel's handle on the bus, 0 when not hooked.
    qint64 mainHandle() const;
    // A message for the command channel: a WM_COPYDATA text, cut at its first NUL, waits its turn
    // (a later message never replaces an earlier one); other messages are not its concern.
    void MessageWindowProc(quint32 message, const QByteArray& payload);
    // Interprets the next waiting message.
    void onMessageTimer();
    // The message interpreted last, and its lines as the interpreter left them.
    QString lastMessage() const { return m_lastMessage; }
    QStringListModel& messageLines() { return m_messageLines; }
    qint64 CompanionReplyWindow() const { return m_replyWindow; }

    // Editor channel -----------------------------------------------------------------------------
    // The editor channel's handle, listening from the first call on; 0 when the bus cannot be
    // listened on.
    qint64 editorHandle();
    // WM_SETTEXT to `CompanionWindow` (nothing when it is 0).
    void sendToEditor(const QString& text);
    // The start-up handshake: "<mode=sendhandle><handle=" + editorHandle() + ">".
    void sendHandshake();
    // "<mode=end>" when the editor is linked.
    void sendEnd();
    // A server text for the editor to edit. False when no editor is linked.
    bool sendServerText(const QString& name, const QString& text);
    // "変更内容の更新": asks the editor for its text, when the text view holds one.
    void requestEditorText(const QString& textViewText);
    // The editor wrote to the editor channel.
    void onEditorMessage(const QString& text);

    // What the companion's commands do -----------------------------------------------------------
    void disconnectServer() override;
    void endProgram() override;
    void setMainWindowVisible(bool visible) override;
    void setCompanionReplyWindow(qint64 handle) override;
    void SendToCompanion(const QString& text) override;
    QString localListReply() override;
    QString ftpListReply() override;
    void changePermissions(const QString& mode, const QString& name) override;
    void openLocalFolder(const QString& parameter) override;
    void openFtpFolder(const QString& parameter) override;
    void localFolderUp() override;
    void ftpFolderUp() override;
    void download(const QString& parameter) override;
    void deleteLocal(const QString& parameter) override;
    void deleteOnServer(const QString& parameter) override;
    void upload(const QString& parameter) override;
    bool connectProfile(const QString& name) override;

Q_SIGNALS:
    // A message arrived or is being interpreted (the message panel shows it).
    void messageShown(const QString& text);
    // The editor's "sendtext", or an "upload" without a name: the text view shows the text.
    void textViewRequested(const QString& text);
    // The editor's "upload": the text went to the server as `name`; the viewer shows it.
    void serverTextStored(const QString& name, const QString& text);
    // The companion asked to show or hide the main window, or to end the program.
    void windowVisibilityRequested(bool visible);
    void endRequested();

private:
    // Selects the first row of the FTP (or local) list whose text is `name`, alone. -1 when none.
    int selectFtpRow(const QString& name);
    int selectLocalRow(const QString& name);
    void handleEditorMessage(const QString& text);
    void writeMainHandleFile();
    void removeMainHandleFile();

    Workspace& m_workspace;
    QTimer m_messageTimer;
    std::unique_ptr<MessageListener> m_mainListener;
    std::unique_ptr<MessageListener> m_editorListener;
    QStringListModel m_messageLines;
    QString m_lastMessage;
    static constexpr qsizetype MaxPendingMessages = 256;
    static constexpr qsizetype MaxPendingChars = 8 * 1024 * 1024;
    QStringList m_pending;
    qsizetype m_pendingChars = 0;
    QString m_editorText;
    qint64 m_replyWindow = 0;
    ReplySender m_sender;
    bool m_interpreting = false;
    bool m_editorBusy = false;
    bool m_editorAgain = false;
};
