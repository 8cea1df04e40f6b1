#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

// One cell of the thumbnail grid.
struct GridCell {
    int column = 0;
    int row = 0;
    friend bool operator==(const GridCell&, const GridCell&) = default;
};

// Which files the image viewer takes: a lower-case extension of "jpg", "gif", "bmp", "tif" or
// "ico". An icon counts like any other picture, so the grid chosen for the count always has a
// cell for every picture that is drawn.
namespace PictureFiles {

bool isPicture(const QString& name);

} // namespace PictureFiles

// The thumbnail grid for a number of pictures, and its cell table: the name of the picture in
// each cell, "" for a cell without one. Pictures fill the cells row by row, in the order of the
// source, so the i-th picture sits in cellOf(i).
class PictureGrid {
public:
    static constexpr int MaxPictures = 200;

    // "" when `count` pictures can be shown, else the message that refuses them.
    static QString refusal(int count);
    // The grid for `count` pictures: 5 × 6 up to 29, 10 × 6 up to 59, 20 × 10 up to 199. A grid
    // without cells when refusal(count) is not empty.
    static PictureGrid forCount(int count);

    PictureGrid() = default;

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    int cellCount() const { return m_columns * m_rows; }
    bool isEmpty() const { return cellCount() == 0; }
    // The zoom button's caption that goes with this grid: "拡大" while the frame is small,
    // "縮小" while it is large.
    QString zoomCaption() const { return m_zoomCaption; }

    bool contains(GridCell cell) const;
    GridCell cellOf(int index) const;
    int indexOf(GridCell cell) const; // -1 outside the grid

    QString nameAt(GridCell cell) const; // "" for an empty cell or one outside the grid
    void setName(GridCell cell, const QString& name); // ignored outside the grid
    void clearNames();

    // The cell under `point` in a box of `area` pixels split evenly; nullopt outside the box.
    std::optional<GridCell> cellAt(QPoint point, QSize area) const;
    QRect cellRect(GridCell cell, QSize area) const;
    // The size every cell has at least in a box of `area` pixels.
    QSize cellSize(QSize area) const;

    // One cell to the right, wrapping to the first column of the next row; the last cell stays.
    GridCell next(GridCell cell) const;
    // One cell to the left, wrapping to the last column of the row above; the first cell stays.
    GridCell previous(GridCell cell) const;

private:
    PictureGrid(int columns, int rows, const QString& zoomCaption);

    int m_columns = 0;
    int m_rows = 0;
    QString m_zoomCaption;
    QStringList m_names; // by index, row by row
};
