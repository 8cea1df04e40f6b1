// The thumbnail grid's rules: which files are pictures, the grid for a count, the cell under a
// point, stepping from cell to cell.
#include "core/sitetools/picturegrid.h"
#include "support/texttable.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

GridCell cellFrom(const QString& text) { return { text.section(u',', 0, 0).toInt(), text.section(u',', 1).toInt() }; }

QString cellText(std::optional<GridCell> cell)
{
    return cell ? u"%1,%2"_s.arg(cell->column).arg(cell->row) : u"none"_s;
}

} // namespace

class TestPictureGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pictureNames()
    {
        QStringList pictures;
        for (const QString& name : u"a.jpg A.JPG b.gif c.bmp d.tif e.ico f.png g.jpeg h.jpg.txt jpg i."_s.split(u' '))
            if (PictureFiles::isPicture(name))
                pictures << name;
        QCOMPARE(pictures.join(u' '), u"a.jpg A.JPG b.gif c.bmp d.tif e.ico"_s);
    }

    // Each boundary from both sides; every accepted picture has its own cell, a refused count none.
    void gridForCount()
    {
        QStringList grids;
        for (int count : { 0, 29, 30, 59, 60, 199, 200 }) {
            const PictureGrid grid = PictureGrid::forCount(count);
            QVERIFY(grid.cellCount() >= count || grid.isEmpty());
            grids << u"%1:%2x%3"_s.arg(count).arg(grid.columns()).arg(grid.rows());
        }
        QCOMPARE(grids.join(u' '), u"0:0x0 29:5x6 30:10x6 59:10x6 60:20x10 199:20x10 200:0x0"_s);
    }

    // Boxes whose size the grid does not divide evenly: no pixel of the box is without a cell.
    void cellAtPoint_data()
    {
        TextTable::rows({ u"count"_s, u"width"_s, u"height"_s, u"points"_s, u"cells"_s }, R"(
            inside         | 10  | 500 | 600 | 99,99 100,0 0,100 499,599     | 0,0 1,0 0,1 4,5
            outside        | 10  | 500 | 600 | 500,10 10,600 -1,10 10,-1    | none none none none
            uneven 20 x 10 | 150 | 653 | 337 | 652,336 327,168 327,169      | 19,9 10,4 10,5
        )");
    }
    void cellAtPoint()
    {
        QFETCH(QString, count);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, points);
        QFETCH(QString, cells);
        const PictureGrid grid = PictureGrid::forCount(count.toInt());
        const QSize area(width.toInt(), height.toInt());
        QStringList found;
        for (const QString& text : points.split(u' ')) {
            const QPoint point(cellFrom(text).column, cellFrom(text).row);
            const auto hit = grid.cellAt(point, area);
            found << cellText(hit);
            // The cell drawn there is the one a click there finds.
            QVERIFY(!hit || grid.cellRect(*hit, area).contains(point));
        }
        QCOMPARE(found.join(u' '), cells);
    }

    void stepping_data()
    {
        TextTable::rows({ u"from"_s, u"next"_s, u"previous"_s }, R"(
            wraps to the next row    | 4,0 | 0,1 | 3,0
            wraps to the row above   | 0,2 | 1,2 | 4,1
            back to the first column | 1,2 | 2,2 | 0,2
            first cell stays         | 0,0 | 1,0 | 0,0
            last cell stays          | 4,5 | 4,5 | 3,5
        )");
    }
    void stepping()
    {
        QFETCH(QString, from);
        QFETCH(QString, next);
        QFETCH(QString, previous);
        const PictureGrid grid = PictureGrid::forCount(10);
        QCOMPARE(cellText(grid.next(cellFrom(from))) + u' ' + cellText(grid.previous(cellFrom(from))),
            next + u' ' + previous);
    }

    // Pictures fill the cells row by row; empty cells and cells outside the grid hold "".
    void cellTable()
    {
        PictureGrid grid = PictureGrid::forCount(7);
        for (int i = 0; i < 7; ++i)
            grid.setName(grid.cellOf(i), u"p%1"_s.arg(i));
        grid.setName({ 9, 9 }, u"outside"_s);
        QStringList names;
        for (const GridCell cell : { GridCell { 4, 0 }, { 0, 1 }, { 1, 1 }, { 2, 1 }, { 5, 0 }, { 0, -1 }, { 9, 9 } })
            names << grid.nameAt(cell);
        QCOMPARE(names.join(u'|'), u"p4|p5|p6||||"_s);
        grid.clearNames();
        QCOMPARE(grid.nameAt({ 4, 0 }), QString());
    }
};

QTEST_GUILESS_MAIN(TestPictureGrid)
#include "tst_picturegrid.moc"
