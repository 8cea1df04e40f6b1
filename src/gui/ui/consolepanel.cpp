#include "gui/ui/consolepanel.h"

#include "core/ftpsession/ftpconsole.h"
#include "core/settings/options.h"
#include "gui/settings/focusoutwatcher.h"
#include "gui/settings/panelcontrols.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace PanelControls;

ConsolePanel::ConsolePanel(Options& options, FtpConsole& console, Run run, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame16"), QStringLiteral("Label14"), QStringLiteral("FTPCommand"), parent)
    , m_options(options)
    , m_console(console)
    , m_run(std::move(run))
    , m_commandBox(new QComboBox(this))
    , m_runButton(new QPushButton(QStringLiteral("実行"), this))
{
    m_commandBox->setObjectName(QStringLiteral("Combo1"));
    m_commandBox->setEditable(true);
    m_commandBox->setInsertPolicy(QComboBox::NoInsert);
    m_commandBox->setToolTip(QStringLiteral("FTPサーバーに送るコマンド"));
    m_commandBox->lineEdit()->installEventFilter(this);
    m_runButton->setObjectName(QStringLiteral("Command20"));
    auto* clearButton = new QPushButton(QStringLiteral("CLS"), this);
    clearButton->setObjectName(QStringLiteral("Command25"));
    clearButton->setToolTip(QStringLiteral("表示を消します"));
    auto* commandRow = new QHBoxLayout;
    commandRow->addWidget(m_commandBox, 1);
    commandRow->addWidget(m_runButton);
    commandRow->addWidget(clearButton);
    body()->addLayout(commandRow);

    m_replyView = new QPlainTextEdit(this);
    m_replyView->setObjectName(QStringLiteral("Text3"));
    m_replyView->setReadOnly(true);
    m_replyView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_replyView->horizontalScrollBar()->setObjectName(QStringLiteral("Text3HScroll"));
    m_replyView->verticalScrollBar()->setObjectName(QStringLiteral("Text3VScroll"));
    body()->addWidget(m_replyView, 1);

    auto* connection = new QHBoxLayout;
    m_useConsoleConnection
        = checkBox(QStringLiteral("Check7_0"), QStringLiteral("ネットワークコネクション時に使用"), this);
    m_consoleProxyText = lineEdit(QStringLiteral("Text5_0"), this);
    connection->addWidget(m_useConsoleConnection);
    connection->addWidget(m_consoleProxyText, 1);
    body()->addLayout(connection);

    addCloseButton(QStringLiteral("Frame16Close"));

    connect(m_runButton, &QPushButton::clicked, this, &ConsolePanel::runTypedCommand);
    connect(clearButton, &QPushButton::clicked, &m_console, &FtpConsole::clear);
    // Every folder listing replaces the text: a hidden console is brought up to date when shown.
    connect(&m_console, &FtpConsole::textReplaced, this, [this](const QString& text) {
        if (isVisible())
            m_replyView->setPlainText(text);
    });
    connect(&m_console, &FtpConsole::textAppended, this, &ConsolePanel::appendShown);
    connect(m_useConsoleConnection, &QCheckBox::toggled, &m_options,
        [this](bool on) { m_options.setUseConsoleConnection(0, on); });
    connect(m_consoleProxyText, &QLineEdit::textEdited, &m_options,
        [this](const QString& t) { m_options.setConsoleProxyText(0, t); });
    FocusOutWatcher::watch(m_consoleProxyText, [this] { m_options.consoleProxyTextEditingFinished(0); });

    connect(&m_options, &Options::changed, this, &ConsolePanel::refresh);
    refresh();
    resize(620, 440);
}

void ConsolePanel::showEvent(QShowEvent* event)
{
    m_replyView->setPlainText(m_console.text());
    m_replyView->moveCursor(QTextCursor::End);
    MovablePanel::showEvent(event);
}

void ConsolePanel::open()
{
    if (m_commandBox->count() <= 2) {
        m_commandBox->clear();
        m_commandBox->addItems(FtpConsole::commandList());
        m_commandBox->setEditText(QStringLiteral("HELP"));
    }
    showInFront();
    m_commandBox->setFocus();
}

void ConsolePanel::runTypedCommand()
{
    const QString command = FtpConsole::commandOf(m_commandBox->currentText());
    m_commandBox->setEditText(command);
    if (!command.isEmpty() && m_run)
        m_run(command);
}

bool ConsolePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_commandBox->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runTypedCommand();
            return true;
        }
    }
    return MovablePanel::eventFilter(watched, event);
}

void ConsolePanel::refresh()
{
    mirrorChecked(m_useConsoleConnection, m_options.useConsoleConnection(0));
    mirrorText(m_consoleProxyText, m_options.consoleProxyText(0));
}

void ConsolePanel::appendShown(const QString& text)
{
    if (!isVisible())
        return;
    m_replyView->moveCursor(QTextCursor::End);
    m_replyView->insertPlainText(text);
    m_replyView->moveCursor(QTextCursor::End);
}
