#include "gui/ui/movablepanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

PanelDragState& PanelDragState::instance()
{
    static PanelDragState state;
    if (!state.TimerMove) {
        state.TimerMove = new QTimer(qApp);
        state.TimerMove->setObjectName(QStringLiteral("TimerMove"));
        state.TimerMove->setInterval(1);
        QObject::connect(state.TimerMove, &QTimer::timeout, [] {
            state.PanelMoveBusy = false;
            state.TimerMove->stop();
        });
    }
    return state;
}

MovablePanel::MovablePanel(const QString& objectName, const QString& labelName, const QString& title, QWidget* parent)
    : QFrame(parent)
    , m_title(new QLabel(title, this))
    , m_body(new QVBoxLayout)
{
    setObjectName(objectName);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    m_title->setObjectName(labelName);
    m_title->setAutoFillBackground(true);
    QPalette pal = m_title->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    pal.setColor(QPalette::WindowText, Qt::white);
    m_title->setPalette(pal);
    m_title->setContentsMargins(4, 2, 4, 2);
    m_title->setCursor(Qt::SizeAllCursor);
    m_title->installEventFilter(this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(4);
    outer->addWidget(m_title);
    outer->addLayout(m_body);
    hide();
}

void MovablePanel::showInFront()
{
    show();
    raise();
}

bool MovablePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_title)
        return QFrame::eventFilter(watched, event);
    PanelDragState& state = PanelDragState::instance();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        state.PanelDragging = true;
        state.DragStart = static_cast<QMouseEvent*>(event)->position().toPoint();
        raise();
        return true;
    case QEvent::MouseMove:
        dragTo(static_cast<QMouseEvent*>(event)->position().toPoint());
        return true;
    case QEvent::MouseButtonRelease:
        state.PanelDragging = false;
        return true;
    default:
        return QFrame::eventFilter(watched, event);
    }
}

void MovablePanel::dragTo(const QPoint& pos)
{
    PanelDragState& state = PanelDragState::instance();
    if (pos.y() > DragBandPixels || !state.PanelDragging || state.PanelMoveBusy)
        return;
    state.PanelMoveBusy = true;
    state.TimerMove->start();
    int x = this->x() + (pos.x() - state.DragStart.x());
    const int newTop = this->y() + (pos.y() - state.DragStart.y());
    move(x, newTop > 0 ? newTop : this->y());
    if (m_follower)
        m_follower->setGeometry(this->x(), this->y() + height(), width(), m_follower->height());
    QCoreApplication::processEvents();
}
