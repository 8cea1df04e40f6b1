#pragma once

#include "core/link/companioncommands.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class MainWindow;
class MessageListener;
class MovablePanel;
class QPlainTextEdit;
class QStringListModel;
class QTimer;
class QWidget;

// The main window's link with the companion editor jsTarvo over the message bus.
//
// The command channel: once hooked (`HookMessages`, for "<message visible>" and "<message
// invisible>"), the main window listens under its own handle, announced in main.handle; each
// WM_COPYDATA text goes into `Text15` and starts `TimerMessage`, whose tick interprets it
// (`TimerMessage_Timer`) and answers on the bus to `CompanionReplyWindow`.
//
// The editor channel: `RB4` listens under a handle of its own (opened when first needed) for the
// companion's WM_SETTEXT messages; the program's messages go to `CompanionWindow`.
class CompanionLink : public QObject, public CompanionCommands {
    Q_OBJECT
public:
    CompanionLink(MainWindow& window, QTimer& timerMessage, QWidget* panelParent);
    ~CompanionLink() override;

    // Command channel ----------------------------------------------------------------------------
    // False (with a status line) when the bus cannot be listened on.
    bool HookMessages();
    void UnhookMessages();
    bool isHooked() const;
    // The main window's handle on the bus, 0 when not hooked.
    qint64 mainHandle() const;
    // A message for the main window: WM_COPYDATA text, cut at its first NUL, into `Text15`, and
    // `TimerMessage` started. Messages queue up until the timer's ticks interpret them one by one
    // (a later message never replaces an earlier one). Other messages are not the main window's
    // concern.
    void MessageWindowProc(quint32 message, const QByteArray& payload);
    void TimerMessage_Timer();
    QString Text15() const { return m_text15Value; }
    QStringListModel& List8() { return *m_list8; }
    MovablePanel* Frame21() const { return m_frame21; }
    // The menu item "メッセージ表示": the message panel.
    void mmessage_Click();
    qint64 CompanionReplyWindow() const { return m_replyWindow; }

    // Editor channel -----------------------------------------------------------------------------
    // `RB4`'s handle, listening from the first call on; 0 when the bus cannot be listened on.
    qint64 rb4Handle();
    QPlainTextEdit* RB4() const { return m_rb4; }
    // WM_SETTEXT to `CompanionWindow` (nothing when it is 0).
    void sendToEditor(const QString& text);
    // The start-up handshake: "<mode=sendhandle><handle=" RB4 ">".
    void sendHandshake();
    // "<mode=end>" when the editor is linked.
    void sendEnd();
    // "変更内容の更新": asks the editor for its text, when the text view holds one.
    void Command45_Click(const QString& textViewText);
    // The companion wrote into `RB4`: "sendtext", "upload" or "end".
    void RB4_Change();

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
    // The companion's "sendtext" or "upload" put text into the text view.
    void textViewRequested(const QString& text);
    // "upload": the text view's name box `Text4` and the upload of the text under that name.
    void storeRequested(const QString& name, const QString& text);

private:
    void createFrame21(QWidget* parent);
    // Selects the first row of the FTP (or local) list whose text is `name`, alone. -1 when none.
    int selectFtpRow(const QString& name);
    int selectLocalRow(const QString& name);
    void showInText15(const QString& text);
    void handleRB4(const QString& text);
    void writeMainHandleFile();
    void removeMainHandleFile();

    MainWindow& m_window;
    QTimer& m_timerMessage;
    std::unique_ptr<MessageListener> m_mainListener;
    std::unique_ptr<MessageListener> m_rb4Listener;
    std::unique_ptr<QStringListModel> m_list8;
    MovablePanel* m_frame21 = nullptr;
    QPlainTextEdit* m_text15 = nullptr;
    QPlainTextEdit* m_rb4 = nullptr;
    QString m_text15Value;
    static constexpr qsizetype Text15ShownChars = 16 * 1024;
    static constexpr qsizetype MaxPendingMessages = 256;
    static constexpr qsizetype MaxPendingChars = 8 * 1024 * 1024;
    QStringList m_pending;
    qsizetype m_pendingChars = 0;
    QString m_rb4Value;
    qint64 m_replyWindow = 0;
    bool m_interpreting = false;
    bool m_rb4Busy = false;
    bool m_rb4Again = false;
};
