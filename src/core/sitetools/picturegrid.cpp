#include "core/sitetools/picturegrid.h"

#include <algorithm>

namespace PictureFiles {

bool isPicture(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QString extension = name.mid(dot + 1).toLower();
    return extension == u"jpg" || extension == u"gif" || extension == u"bmp" || extension == u"tif"
        || extension == u"ico";
}

} // namespace PictureFiles

PictureGrid::PictureGrid(int columns, int rows, const QString& zoomCaption)
    : m_columns(columns)
    , m_rows(rows)
    , m_zoomCaption(zoomCaption)
{
    m_names.resize(cellCount());
}

QString PictureGrid::refusal(int count)
{
    if (count <= 0)
        return QStringLiteral("画像を選択してください。");
    if (count >= MaxPictures)
        return QStringLiteral("選択画像が多すぎます、最大は200です。");
    return QString();
}

PictureGrid PictureGrid::forCount(int count)
{
    if (!refusal(count).isEmpty())
        return PictureGrid();
    if (count < 30)
        return PictureGrid(5, 6, QStringLiteral("拡大"));
    if (count < 60)
        return PictureGrid(10, 6, QStringLiteral("縮小"));
    return PictureGrid(20, 10, QStringLiteral("縮小"));
}

bool PictureGrid::contains(GridCell cell) const
{
    return cell.column >= 0 && cell.column < m_columns && cell.row >= 0 && cell.row < m_rows;
}

GridCell PictureGrid::cellOf(int index) const
{
    if (m_columns == 0)
        return {};
    return { index % m_columns, index / m_columns };
}

int PictureGrid::indexOf(GridCell cell) const { return contains(cell) ? cell.row * m_columns + cell.column : -1; }

QString PictureGrid::nameAt(GridCell cell) const
{
    const int index = indexOf(cell);
    return index < 0 ? QString() : m_names.at(index);
}

void PictureGrid::setName(GridCell cell, const QString& name)
{
    const int index = indexOf(cell);
    if (index >= 0)
        m_names[index] = name;
}

void PictureGrid::clearNames() { std::fill(m_names.begin(), m_names.end(), QString()); }

std::optional<GridCell> PictureGrid::cellAt(QPoint point, QSize area) const
{
    if (isEmpty() || point.x() < 0 || point.y() < 0 || point.x() >= area.width() || point.y() >= area.height())
        return std::nullopt;
    // Proportional rather than by a rounded cell width, so the strip a rounding would leave at the
    // right or bottom edge still belongs to the last cell.
    return GridCell { int(qint64(point.x()) * m_columns / area.width()),
        int(qint64(point.y()) * m_rows / area.height()) };
}

QRect PictureGrid::cellRect(GridCell cell, QSize area) const
{
    if (!contains(cell))
        return QRect();
    // The first pixel that cellAt() gives to a column or row is where its share begins, rounded up.
    const auto start = [](int n, int length, int parts) { return int((qint64(n) * length + parts - 1) / parts); };
    const int left = start(cell.column, area.width(), m_columns);
    const int top = start(cell.row, area.height(), m_rows);
    return QRect(QPoint(left, top),
        QPoint(start(cell.column + 1, area.width(), m_columns) - 1, start(cell.row + 1, area.height(), m_rows) - 1));
}

QSize PictureGrid::cellSize(QSize area) const
{
    if (isEmpty())
        return QSize();
    return QSize(std::max(1, area.width() / m_columns), std::max(1, area.height() / m_rows));
}

GridCell PictureGrid::next(GridCell cell) const
{
    if (!contains(cell))
        return cell;
    if (cell.column + 1 < m_columns)
        return { cell.column + 1, cell.row };
    if (cell.row + 1 < m_rows)
        return { 0, cell.row + 1 };
    return cell;
}

GridCell PictureGrid::previous(GridCell cell) const
{
    if (!contains(cell))
        return cell;
    if (cell.column > 0)
        return { cell.column - 1, cell.row };
    if (cell.row > 0)
        return { m_columns - 1, cell.row - 1 };
    return cell;
}
