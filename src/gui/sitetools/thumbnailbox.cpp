#include "gui/sitetools/thumbnailbox.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

ThumbnailBox::ThumbnailBox(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture4"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMinimumSize(100, 60);
}

void ThumbnailBox::setGrid(const PictureGrid& grid)
{
    m_grid = grid;
    m_grid.clearNames();
    m_thumbnails.assign(std::max(0, grid.cellCount()), QImage());
    update();
}

void ThumbnailBox::setThumbnail(int index, const QImage& image)
{
    if (index < 0 || index >= int(m_thumbnails.size()))
        return;
    m_thumbnails[index] = image;
    update(m_grid.cellRect(m_grid.cellOf(index), size()));
}

QImage ThumbnailBox::thumbnail(int index) const
{
    return index < 0 || index >= int(m_thumbnails.size()) ? QImage() : m_thumbnails[index];
}

int ThumbnailBox::thumbnailCount() const
{
    return int(std::count_if(m_thumbnails.begin(), m_thumbnails.end(), [](const QImage& i) { return !i.isNull(); }));
}

void ThumbnailBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int index = 0; index < int(m_thumbnails.size()); ++index) {
        const QImage& image = m_thumbnails[index];
        const QRect cell = m_grid.cellRect(m_grid.cellOf(index), size()).adjusted(1, 1, -1, -1);
        if (image.isNull() || !cell.intersects(event->rect()) || cell.isEmpty())
            continue;
        QRect target(QPoint(), image.size().scaled(cell.size(), Qt::KeepAspectRatio));
        target.moveCenter(cell.center());
        painter.drawImage(target, image);
    }
}

void ThumbnailBox::mousePressEvent(QMouseEvent* event)
{
    if (const auto cell = m_grid.cellAt(event->position().toPoint(), size()))
        Q_EMIT cellPressed(*cell);
    QWidget::mousePressEvent(event);
}
