#pragma once

#include "core/sitetools/picturegrid.h"

#include <QImage>
#include <QWidget>
#include <vector>

// The thumbnail box `Picture4`: paints each thumbnail scaled into its cell of the grid, keeping
// its proportions, and tells which cell a mouse press hit.
class ThumbnailBox : public QWidget {
    Q_OBJECT
public:
    explicit ThumbnailBox(QWidget* parent = nullptr);

    // A new grid: every cell empty.
    void setGrid(const PictureGrid& grid);
    void setThumbnail(int index, const QImage& image);
    QImage thumbnail(int index) const;
    int thumbnailCount() const; // cells with a picture drawn

    QSize sizeHint() const override { return QSize(500, 360); }

Q_SIGNALS:
    void cellPressed(GridCell cell);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    PictureGrid m_grid; // only its shape is used
    std::vector<QImage> m_thumbnails; // by index
};
