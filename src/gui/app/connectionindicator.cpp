#include "gui/app/connectionindicator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int Side = 18;

// A lamp: a filled circle in the state's colour, with a small arrow while data may flow.
QPixmap drawPicture(int index)
{
    const qreal dpr = 2.0;
    QPixmap pixmap(int(Side * dpr), int(Side * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    static const QColor fills[ConnectionIndicator::Count] = {
        QColor(40, 170, 60), // connected
        QColor(230, 160, 20), // connecting, lost
        QColor(150, 150, 150), // disconnected
        QColor(90, 210, 110), // connected, second phase
    };
    const QRectF lamp(1.5, 1.5, Side - 3, Side - 3);
    p.setPen(QPen(fills[index].darker(160), 1.2));
    p.setBrush(fills[index]);
    p.drawEllipse(lamp);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const qreal c = Side / 2.0;
    if (index == 0 || index == 3) {
        const qreal dir = index == 0 ? 1 : -1;
        QPainterPath arrow;
        arrow.moveTo(c + dir * 4.5, c);
        arrow.lineTo(c - dir * 2.5, c - 4.5);
        arrow.lineTo(c - dir * 2.5, c + 4.5);
        arrow.closeSubpath();
        p.drawPath(arrow);
    } else if (index == 1) {
        p.drawRect(QRectF(c - 1.2, c - 5, 2.4, 6.5));
        p.drawEllipse(QPointF(c, c + 4), 1.3, 1.3);
    } else {
        p.drawRect(QRectF(c - 4.5, c - 1.2, 9, 2.4));
    }
    return pixmap;
}

} // namespace

ConnectionIndicator::ConnectionIndicator(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    static const char* const tips[Count] = { "接続中", "接続処理中", "未接続", "接続中" };
    for (int i = 0; i < Count; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Picture1_%1").arg(i));
        label->setPixmap(drawPicture(i));
        label->setFixedSize(Side, Side);
        label->setToolTip(QString::fromUtf8(tips[i]));
        layout->addWidget(label);
        m_pictures[i] = label;
    }
    showPicture(2);
}

void ConnectionIndicator::showPicture(int index)
{
    for (QLabel* label : m_pictures)
        label->setVisible(false);
    if (index >= 0 && index < Count)
        m_pictures[index]->setVisible(true);
}

int ConnectionIndicator::visiblePicture() const
{
    for (int i = 0; i < Count; ++i) {
        if (!m_pictures[i]->isHidden())
            return i;
    }
    return -1;
}

void ConnectionIndicator::step()
{
    switch (visiblePicture()) {
    case 1:
        showPicture(3);
        break;
    case 2:
        showPicture(1);
        break;
    case 3:
        showPicture(0);
        break;
    case 0:
        showPicture(3);
        break;
    default:
        break;
    }
}
