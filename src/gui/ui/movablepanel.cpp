#include "gui/ui/movablepanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

PanelDragState& PanelDragState::instance()
{
    static PanelDragState state;
    if (!state.TimerMove) {
        // Parented to the application so it lives as long as the widgets that use it.
        state.TimerMove = new QTimer(QCoreApplication::instance());
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
    // A title bar: as high as its text, however tall the panel.
    m_title->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_title->installEventFilter(this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(2, 2, 2, 2);
    outer->setSpacing(4);
    outer->addWidget(m_title);
    outer->addLayout(m_body, 1);
    // Contents that cannot grow keep to the top, under the title, in a panel of any height.
    outer->setAlignment(Qt::AlignTop);
    hide();
}

QPushButton* MovablePanel::addCloseButton(const QString& objectName)
{
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(objectName);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    m_body->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    return close;
}

void MovablePanel::showInFront()
{
    if (QWidget* p = parentWidget(); p && !p->rect().intersects(geometry()))
        move(0, 0);
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
    case QEvent::MouseButtonDblClick:
        state.PanelDragging = true;
        state.DragStart = static_cast<QMouseEvent*>(event)->position().toPoint();
        raise();
        if (m_follower && m_follower->isVisible())
            m_follower->raise();
        if (event->type() == QEvent::MouseButtonDblClick)
            Q_EMIT titleDoubleClicked();
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
    const int newLeft = x() + (pos.x() - state.DragStart.x());
    const int newTop = y() + (pos.y() - state.DragStart.y());
    move(newLeft, newTop > 0 ? newTop : y());
    if (m_follower)
        m_follower->setGeometry(x(), y() + height(), width(), m_follower->height());
    Q_EMIT moved();
    QCoreApplication::processEvents();
}
