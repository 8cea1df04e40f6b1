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
    m_text3 = new QPlainTextEdit(this);
    m_text3->setObjectName(QStringLiteral("Text3"));
    m_text3->setReadOnly(true);
    m_text3->horizontalScrollBar()->setObjectName(QStringLiteral("Text3HScroll"));
    m_text3->verticalScrollBar()->setObjectName(QStringLiteral("Text3VScroll"));
    m_consoleArea->addWidget(m_text3, 1);

    auto* connection = new QHBoxLayout;
    m_check7 = checkBox(QStringLiteral("Check7_0"), QStringLiteral("ネットワークコネクション時に使用"), this);
    m_text5 = lineEdit(QStringLiteral("Text5_0"), this);
    connection->addWidget(m_check7);
    connection->addWidget(m_text5, 1);
    body()->addLayout(connection);

    addCloseButton(QStringLiteral("Frame16Close"));

    connect(m_check7, &QCheckBox::toggled, &m_options, [this](bool on) { m_options.setCheck7(0, on); });
    connect(m_text5, &QLineEdit::textEdited, &m_options, [this](const QString& t) { m_options.setText5(0, t); });
    FocusOutWatcher::watch(m_text5, [this] { m_options.Text5_LostFocus(0); });

    connect(&m_options, &Options::changed, this, &ConsolePanel::refresh);
    refresh();
}

void ConsolePanel::refresh()
{
    mirrorChecked(m_check7, m_options.Check7(0));
    mirrorText(m_text5, m_options.Text5(0));
}

void ConsolePanel::appendText3(const QString& text)
{
    // Appended as it came, its CR LF line ends made the box's own.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text3->moveCursor(QTextCursor::End);
    m_text3->insertPlainText(shown);
    m_text3->moveCursor(QTextCursor::End);
}
