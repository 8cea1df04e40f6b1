#include "gui/log/logpanel.h"

#include "core/app/dialogs.h"
#include "core/log/activitylog.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

LogPanel::LogPanel(ActivityLog& log, Dialogs& dialogs, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame14"), QStringLiteral("Label28"), QStringLiteral("ログの表示"), parent)
    , m_log(log)
    , m_dialogs(dialogs)
    , m_richTextBox1(new QPlainTextEdit(this))
{
    m_richTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_richTextBox1->setReadOnly(true);
    m_richTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    body()->addWidget(m_richTextBox1, 1);

    addCloseButton(QStringLiteral("Frame14Close"));
}

void LogPanel::showLog()
{
    showInFront();
    const ActivityLog::View view = m_log.viewLog();
    m_richTextBox1->setPlainText(view.shownText());
    m_richTextBox1->verticalScrollBar()->setValue(m_richTextBox1->verticalScrollBar()->maximum());
    if (!view.ok)
        m_dialogs.message(view.error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, QStringLiteral("FTPTarvo"));
}
