// The thumbnail grid's rules: which files are pictures, the grid for a count, the cell under a
// point, stepping from cell to cell.
#include "core/sitetools/picturegrid.h"
#include "support/texttable.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

GridCell cellFrom(const QString& text)
{
    const QStringList parts = text.split(u',');
    return { parts.value(0).toInt(), parts.value(1).toInt() };
}

QString cellText(std::optional<GridCell> cell)
{
    return cell ? QString::number(cell->column) + u',' + QString::number(cell->row) : u"none"_s;
}

} // namespace

class TestPictureGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pictureNames_data()
    {
        TextTable::rows({ u"name"_s, u"picture"_s }, R"(
            jpg             | photo.jpg       | yes
            upper case      | PHOTO.JPG       | yes
            gif             | anim.gif        | yes
            bmp             | scan.bmp        | yes
            tif             | print.tif       | yes
            icon            | favicon.ico     | yes
            png not taken   | logo.png        | no
            jpeg not taken  | photo.jpeg      | no
            last dot counts | photo.jpg.txt   | no
            no extension    | jpg             | no
            only a dot      | a.              | no
        )");
    }
    void pictureNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, picture);
        QCOMPARE(PictureFiles::isPicture(name), picture == u"yes");
    }

    void gridForCount_data()
    {
        TextTable::rows({ u"count"_s, u"columns"_s, u"rows"_s, u"caption"_s, u"refusal"_s }, R"(
            none         | 0   | 0  | 0  | | 画像を選択してください。
            one          | 1   | 5  | 6  | 拡大 |
            29           | 29  | 5  | 6  | 拡大 |
            30           | 30  | 10 | 6  | 縮小 |
            59           | 59  | 10 | 6  | 縮小 |
            60           | 60  | 20 | 10 | 縮小 |
            199          | 199 | 20 | 10 | 縮小 |
            200          | 200 | 0  | 0  | | 選択画像が多すぎます、最大は200です。
            far too many | 5000 | 0 | 0  | | 選択画像が多すぎます、最大は200です。
        )");
    }
    void gridForCount()
    {
        QFETCH(QString, count);
        QFETCH(QString, columns);
        QFETCH(QString, rows);
        QFETCH(QString, caption);
        QFETCH(QString, refusal);
        const PictureGrid grid = PictureGrid::forCount(count.toInt());
        QCOMPARE(grid.columns(), columns.toInt());
        QCOMPARE(grid.rows(), rows.toInt());
        QCOMPARE(grid.zoomCaption(), caption);
        QCOMPARE(PictureGrid::refusal(count.toInt()), refusal);
        // Every picture of an accepted count has its own cell.
        QVERIFY(grid.isEmpty() || grid.cellCount() >= count.toInt());
    }

    // Boxes whose size the grid does not divide evenly: no pixel of the box is without a cell.
    void cellAtPoint_data()
    {
        TextTable::rows({ u"count"_s, u"width"_s, u"height"_s, u"x"_s, u"y"_s, u"cell"_s }, R"(
            top left             | 10  | 500 | 600 | 0   | 0   | 0,0
            inside first cell    | 10  | 500 | 600 | 99  | 99  | 0,0
            second column starts | 10  | 500 | 600 | 100 | 0   | 1,0
            second row starts    | 10  | 500 | 600 | 0   | 100 | 0,1
            bottom right pixel   | 10  | 500 | 600 | 499 | 599 | 4,5
            right of the box     | 10  | 500 | 600 | 500 | 10  | none
            below the box        | 10  | 500 | 600 | 10  | 600 | none
            left of the box      | 10  | 500 | 600 | -1  | 10  | none
            uneven right strip   | 150 | 653 | 337 | 652 | 336 | 19,9
            uneven row boundary  | 150 | 653 | 337 | 327 | 168 | 10,4
            uneven next row      | 150 | 653 | 337 | 327 | 169 | 10,5
            10 x 6 grid          | 45  | 1000 | 600 | 950 | 550 | 9,5
        )");
    }
    void cellAtPoint()
    {
        QFETCH(QString, count);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, x);
        QFETCH(QString, y);
        QFETCH(QString, cell);
        const PictureGrid grid = PictureGrid::forCount(count.toInt());
        const QSize area(width.toInt(), height.toInt());
        const auto hit = grid.cellAt(QPoint(x.toInt(), y.toInt()), area);
        QCOMPARE(cellText(hit), cell);
        if (hit) // the cell drawn there is the one a click there finds
            QVERIFY(grid.cellRect(*hit, area).contains(QPoint(x.toInt(), y.toInt())));
    }

    void stepping_data()
    {
        TextTable::rows({ u"count"_s, u"from"_s, u"next"_s, u"previous"_s }, R"(
            inside a row            | 10  | 2,3  | 3,3  | 1,3
            wraps to the next row   | 10  | 4,0  | 0,1  | 3,0
            wraps to the row above  | 10  | 0,2  | 1,2  | 4,1
            back to the first column | 10 | 1,2  | 2,2  | 0,2
            first cell stays        | 10  | 0,0  | 1,0  | 0,0
            last cell stays         | 10  | 4,5  | 4,5  | 3,5
            last row moves along    | 10  | 2,5  | 3,5  | 1,5
            large grid last column  | 100 | 19,4 | 0,5  | 18,4
            large grid last cell    | 100 | 19,9 | 19,9 | 18,9
        )");
    }
    void stepping()
    {
        QFETCH(QString, count);
        QFETCH(QString, from);
        QFETCH(QString, next);
        QFETCH(QString, previous);
        const PictureGrid grid = PictureGrid::forCount(count.toInt());
        QCOMPARE(cellText(grid.next(cellFrom(from))), next);
        QCOMPARE(cellText(grid.previous(cellFrom(from))), previous);
    }

    // Pictures fill the cells row by row; the cell table answers "" for empty cells and for
    // cells outside the grid.
    void cellTable()
    {
        PictureGrid grid = PictureGrid::forCount(7);
        for (int i = 0; i < 7; ++i)
            grid.setName(grid.cellOf(i), u"p%1.jpg"_s.arg(i));
        QCOMPARE(grid.nameAt({ 4, 0 }), u"p4.jpg"_s);
        QCOMPARE(grid.nameAt({ 0, 1 }), u"p5.jpg"_s);
        QCOMPARE(grid.nameAt({ 1, 1 }), u"p6.jpg"_s);
        QCOMPARE(grid.nameAt({ 2, 1 }), QString());
        QCOMPARE(grid.nameAt({ 5, 0 }), QString());
        QCOMPARE(grid.nameAt({ 0, -1 }), QString());
        QCOMPARE(grid.indexOf({ 1, 1 }), 6);
        grid.setName({ 9, 9 }, u"outside.jpg"_s);
        QCOMPARE(grid.nameAt({ 9, 9 }), QString());
        grid.clearNames();
        QCOMPARE(grid.nameAt({ 4, 0 }), QString());
    }
};

QTEST_GUILESS_MAIN(TestPictureGrid)
#include "tst_picturegrid.moc"
