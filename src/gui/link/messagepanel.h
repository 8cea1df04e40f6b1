#pragma once

#include "gui/ui/movablepanel.h"

class CompanionLink;
class QPlainTextEdit;

// The panel `Frame21` "メッセージの表示": the companion's message being interpreted (`Text15`)
// and its lines as the interpreter left them (`List8`), opened by the menu item "メッセージ表示".
class MessagePanel : public MovablePanel {
    Q_OBJECT
public:
    MessagePanel(CompanionLink& link, QWidget* parent);

    QPlainTextEdit* messageView() const { return m_message; }

private:
    void showMessage(const QString& text);

    QPlainTextEdit* m_message;
};
