#pragma once

#include "gui/ui/movablepanel.h"

class Options;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

// The FTP command console `Frame16`. For now it holds the connection entry: useConsoleConnection(0) "use at
// network connection" and its words consoleProxyText(0); the console's own controls go into consoleArea(),
// above the entry.
class ConsolePanel : public MovablePanel {
    Q_OBJECT
public:
    ConsolePanel(Options& options, QWidget* parent);

    QVBoxLayout* consoleArea() const { return m_consoleArea; }
    // The output box `replyView`: server replies (SITE CHMOD and the console's commands).
    QPlainTextEdit* replyView() const { return m_replyView; }
    void appendReply(const QString& text);

private:
    void refresh();

    Options& m_options;
    QVBoxLayout* m_consoleArea;
    QCheckBox* m_useConsoleConnection;
    QLineEdit* m_consoleProxyText;
    QPlainTextEdit* m_replyView;
};
