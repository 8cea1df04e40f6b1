#include "gui/ui/consolepanel.h"

#include "core/settings/options.h"
#include "gui/settings/focusoutwatcher.h"
#include "gui/settings/panelcontrols.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace PanelControls;

ConsolePanel::ConsolePanel(Options& options, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame16"), QStringLiteral("Label14"), QStringLiteral("FTPCommand"), parent)
    , m_options(options)
    , m_consoleArea(new QVBoxLayout)
{
    m_consoleArea->setObjectName(QStringLiteral("consoleArea"));
    body()->addLayout(m_consoleArea, 1);
    m_replyView = new QPlainTextEdit(this);
    m_replyView->setObjectName(QStringLiteral("Text3"));
    m_replyView->setReadOnly(true);
    m_replyView->horizontalScrollBar()->setObjectName(QStringLiteral("Text3HScroll"));
    m_replyView->verticalScrollBar()->setObjectName(QStringLiteral("Text3VScroll"));
    m_consoleArea->addWidget(m_replyView, 1);

    auto* connection = new QHBoxLayout;
    m_useConsoleConnection = checkBox(QStringLiteral("Check7_0"), QStringLiteral("ネットワークコネクション時に使用"), this);
    m_consoleProxyText = lineEdit(QStringLiteral("Text5_0"), this);
    connection->addWidget(m_useConsoleConnection);
    connection->addWidget(m_consoleProxyText, 1);
    body()->addLayout(connection);

    addCloseButton(QStringLiteral("Frame16Close"));

    connect(m_useConsoleConnection, &QCheckBox::toggled, &m_options, [this](bool on) { m_options.setUseConsoleConnection(0, on); });
    connect(m_consoleProxyText, &QLineEdit::textEdited, &m_options, [this](const QString& t) { m_options.setConsoleProxyText(0, t); });
    FocusOutWatcher::watch(m_consoleProxyText, [this] { m_options.consoleProxyTextEditingFinished(0); });

    connect(&m_options, &Options::changed, this, &ConsolePanel::refresh);
    refresh();
}

void ConsolePanel::refresh()
{
    mirrorChecked(m_useConsoleConnection, m_options.useConsoleConnection(0));
    mirrorText(m_consoleProxyText, m_options.consoleProxyText(0));
}

void ConsolePanel::appendReply(const QString& text)
{
    // Appended as it came, its CR LF line ends made the box's own.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_replyView->moveCursor(QTextCursor::End);
    m_replyView->insertPlainText(shown);
    m_replyView->moveCursor(QTextCursor::End);
}
