#pragma once

#include "gui/ui/movablepanel.h"

#include <functional>

class FtpConsole;
class Options;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

// The FTP command console `Frame16`: the command box `commandBox` with its list of commands, the
// execute button `runButton`, the clear button `clearButton`, the output `replyView`, and the
// connection entry useConsoleConnection(0) "use at network connection" with its words
// consoleProxyText(0).
class ConsolePanel : public MovablePanel {
    Q_OBJECT
public:
    using Run = std::function<void(const QString& command)>;

    ConsolePanel(Options& options, FtpConsole& console, Run run, QWidget* parent);

    QComboBox* commandBox() const { return m_commandBox; }
    QPushButton* runButton() const { return m_runButton; }
    QPlainTextEdit* replyView() const { return m_replyView; }

    // The menu item: shows the console in front, its command list filled once.
    void open();
    // The execute button and Enter in the command box.
    void runTypedCommand();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    void appendShown(const QString& text);

    Options& m_options;
    FtpConsole& m_console;
    Run m_run;
    QComboBox* m_commandBox;
    QPushButton* m_runButton;
    QCheckBox* m_useConsoleConnection;
    QLineEdit* m_consoleProxyText;
    QPlainTextEdit* m_replyView;
};
