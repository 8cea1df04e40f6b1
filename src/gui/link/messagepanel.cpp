#include "gui/link/messagepanel.h"

#include "core/workspace/companionlink.h"

#include <QListView>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// Laying out a megabyte in a text box would hold the window up for seconds; the panel is for
// looking at what came, the interpreter reads the whole text.
constexpr qsizetype ShownChars = 16 * 1024;

} // namespace

MessagePanel::MessagePanel(CompanionLink& link, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame21"), QStringLiteral("Label21"), QStringLiteral("メッセージの表示"), parent)
    , m_message(new QPlainTextEdit(this))
{
    m_message->setObjectName(QStringLiteral("Text15"));
    m_message->setReadOnly(true);
    m_message->setMaximumHeight(80);
    auto* lines = new QListView(this);
    lines->setObjectName(QStringLiteral("List8View"));
    lines->setModel(&link.messageLines());
    lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lines->setUniformItemSizes(true);
    body()->addWidget(m_message);
    body()->addWidget(lines, 1);
    addCloseButton(QStringLiteral("Frame21Close"));
    resize(420, 300);
    hide();
    connect(&link, &CompanionLink::messageShown, this, &MessagePanel::showMessage);
}

void MessagePanel::showMessage(const QString& text)
{
    m_message->setPlainText(text.size() > ShownChars ? text.left(ShownChars) + QStringLiteral("…") : text);
}
