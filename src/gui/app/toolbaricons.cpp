#include "gui/app/toolbaricons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

constexpr int Side = 24;
const QColor Ink(50, 60, 80);
const QColor Paper(250, 250, 245);
const QColor FolderYellow(240, 200, 90);

void drawPage(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Paper);
    QPainterPath page;
    const qreal fold = r.width() * 0.3;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.drawPath(page);
}

void drawFolder(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(FolderYellow.darker(170), 1.2));
    p.setBrush(FolderYellow);
    QPainterPath folder;
    folder.moveTo(r.left(), r.top() + 3);
    folder.lineTo(r.left() + r.width() * 0.35, r.top() + 3);
    folder.lineTo(r.left() + r.width() * 0.45, r.top() + 6);
    folder.lineTo(r.right(), r.top() + 6);
    folder.lineTo(r.bottomRight());
    folder.lineTo(r.bottomLeft());
    folder.closeSubpath();
    p.drawPath(folder);
}

void drawChain(QPainter& p, const QPointF& centre, const QColor& colour)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 2.2));
    p.save();
    p.translate(centre);
    p.rotate(-35);
    p.drawRoundedRect(QRectF(-8.5, -3, 10, 6), 3, 3);
    p.drawRoundedRect(QRectF(-1.5, -3, 10, 6), 3, 3);
    p.restore();
}

void drawCross(QPainter& p, const QPointF& c, qreal half, const QColor& colour)
{
    p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    p.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
}

void drawPlus(QPainter& p, const QPointF& c, qreal half, const QColor& colour)
{
    p.setPen(QPen(colour, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-half, 0), c + QPointF(half, 0));
    p.drawLine(c + QPointF(0, -half), c + QPointF(0, half));
}

void paintKey(QPainter& p, const QString& key)
{
    if (key == QLatin1String("open")) {
        drawFolder(p, QRectF(2, 4, 18, 15));
        drawPlus(p, QPointF(18, 17), 4.5, QColor(20, 140, 40));
    } else if (key == QLatin1String("cut")) {
        drawPage(p, QRectF(4, 2, 14, 18));
        drawCross(p, QPointF(16, 16), 4.5, QColor(200, 30, 30));
    } else if (key == QLatin1String("copy")) {
        drawPage(p, QRectF(3, 2, 12, 15));
        drawPage(p, QRectF(9, 7, 12, 15));
    } else if (key == QLatin1String("paste")) {
        p.setPen(QPen(QColor(120, 80, 40), 1.2));
        p.setBrush(QColor(200, 150, 90));
        p.drawRoundedRect(QRectF(3, 4, 15, 18), 2, 2);
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(QRectF(7, 2, 7, 4));
        drawPage(p, QRectF(10, 9, 11, 13));
    } else if (key == QLatin1String("link1")) {
        drawPage(p, QRectF(3, 2, 14, 19));
        drawChain(p, QPointF(14, 15), QColor(30, 90, 200));
    } else if (key == QLatin1String("link2")) {
        drawChain(p, QPointF(9, 9), QColor(30, 90, 200));
        p.setPen(QPen(QColor(20, 140, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 19), QPointF(20, 19));
        p.drawLine(QPointF(20, 19), QPointF(16.5, 15.5));
        p.drawLine(QPointF(20, 19), QPointF(16.5, 22.5));
    } else if (key == QLatin1String("linkcut")) {
        drawChain(p, QPointF(11, 11), QColor(30, 90, 200));
        drawCross(p, QPointF(17, 17), 4, QColor(200, 30, 30));
    } else if (key == QLatin1String("imageshow")) {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(200, 230, 250));
        p.drawRect(QRectF(2.5, 4.5, 19, 15));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(240, 190, 40));
        p.drawEllipse(QPointF(16, 9), 2.3, 2.3);
        p.setBrush(QColor(60, 150, 70));
        QPainterPath hill;
        hill.moveTo(3, 19);
        hill.lineTo(9, 10);
        hill.lineTo(14, 16);
        hill.lineTo(17, 13);
        hill.lineTo(21, 19);
        hill.closeSubpath();
        p.drawPath(hill);
    } else if (key == QLatin1String("Timer")) {
        p.setPen(QPen(Ink, 1.6));
        p.setBrush(Paper);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setPen(QPen(Ink, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 12), QPointF(12, 6));
        p.drawLine(QPointF(12, 12), QPointF(16, 14));
    } else if (key == QLatin1String("Stop")) {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
            octagon << QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a));
        }
        p.setPen(QPen(QColor(140, 10, 10), 1.2));
        p.setBrush(QColor(210, 30, 30));
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, 2.6));
        p.drawLine(QPointF(7.5, 12), QPointF(16.5, 12));
    }
}

QPixmap render(const QString& key, qreal dpr)
{
    QPixmap pixmap(int(Side * dpr), int(Side * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paintKey(p, key);
    return pixmap;
}

} // namespace

QIcon toolbarIcon(const QString& key)
{
    QIcon icon;
    icon.addPixmap(render(key, 1.0));
    icon.addPixmap(render(key, 2.0));
    return icon;
}
