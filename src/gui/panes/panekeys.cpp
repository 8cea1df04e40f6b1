#include "gui/panes/panekeys.h"

#include "core/panecommands/panecommands.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTreeView>

PaneKeys::PaneKeys(PaneCommands& commands, QTreeView* ftpView, QTreeView* localView, QTreeView* localTreeView,
    QTreeView* ftpTreeView, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_ftpView(ftpView)
    , m_localView(localView)
    , m_localTreeView(localTreeView)
    , m_ftpTreeView(ftpTreeView)
{
    setObjectName(QStringLiteral("PaneKeys"));
    for (QTreeView* view : { ftpView, localView, localTreeView, ftpTreeView })
        view->installEventFilter(this);
}

void PaneKeys::activate(QTreeView* view)
{
    const QModelIndex current = view->currentIndex();
    const int row = current.isValid() && view->selectionModel()->isSelected(current) ? current.row() : -1;
    if (view == m_ftpView)
        m_commands.onFtpListClicked(row);
    else if (view == m_localView)
        m_commands.onLocalListClicked(row);
    else if (view == m_localTreeView)
        m_commands.onLocalTreeClicked();
    else if (view == m_ftpTreeView)
        m_commands.onFtpTreeClicked();
}

bool PaneKeys::eventFilter(QObject* watched, QEvent* event)
{
    auto* view = qobject_cast<QTreeView*>(watched);
    if (!view)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        // Only the keyboard: a mouse press makes its own click, and focus coming back with the
        // window must not count as one (a click also clears the transfer marks of the FTP list).
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
            activate(view);
        return QObject::eventFilter(watched, event);
    }
    // Keys a label editor let through (its Enter ends the edit) are not the list's.
    if (event->type() != QEvent::KeyPress || QApplication::focusWidget() != view)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return QObject::eventFilter(watched, event);
    const bool isList = view == m_ftpView || view == m_localView;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QModelIndex current = view->currentIndex();
        if (!isList || !current.isValid())
            break;
        activate(view);
        Q_EMIT view->doubleClicked(current);
        return true;
    }
    case Qt::Key_Delete:
        activate(view);
        Q_EMIT deleteRequested();
        return true;
    case Qt::Key_F2:
        if (!isList)
            break;
        activate(view);
        Q_EMIT renameRequested();
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
