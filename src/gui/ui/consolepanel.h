#pragma once

#include "gui/ui/movablepanel.h"

class Options;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

// The FTP command console `Frame16`. For now it holds the connection entry: Check7(0) "use at
// network connection" and its words Text5(0); the console's own controls go into consoleArea(),
// above the entry.
class ConsolePanel : public MovablePanel {
    Q_OBJECT
public:
    ConsolePanel(Options& options, QWidget* parent);

    QVBoxLayout* consoleArea() const { return m_consoleArea; }
    // The output box `Text3`: server replies (SITE CHMOD and the console's commands).
    QPlainTextEdit* Text3() const { return m_text3; }
    void appendText3(const QString& text);

private:
    void refresh();

    Options& m_options;
    QVBoxLayout* m_consoleArea;
    QCheckBox* m_check7;
    QLineEdit* m_text5;
    QPlainTextEdit* m_text3;
};
