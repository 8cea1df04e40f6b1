#include "gui/settings/focusoutwatcher.h"

#include <QFocusEvent>
#include <QWidget>
#include <utility>

FocusOutWatcher::FocusOutWatcher(QWidget* widget, std::function<void()> onFocusOut)
    : QObject(widget)
    , m_onFocusOut(std::move(onFocusOut))
{
    setObjectName(widget->objectName() + QStringLiteral("_focusOut"));
    widget->installEventFilter(this);
}

void FocusOutWatcher::watch(QWidget* widget, std::function<void()> onFocusOut)
{
    new FocusOutWatcher(widget, std::move(onFocusOut));
}

bool FocusOutWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason
        && m_onFocusOut)
        m_onFocusOut();
    return QObject::eventFilter(watched, event);
}
