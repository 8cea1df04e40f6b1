#include "core/panes/filecolours.h"

#include <QBrush>
#include <QSignalBlocker>
#include <QStandardItemModel>

QColor fileColour(const QString& name, ListSide side)
{
    if (name.compare(QLatin1String("index.html"), Qt::CaseInsensitive) == 0)
        return QColor(255, 0, 0);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    if (ext.isEmpty())
        return QColor(0, 0, 0);
    static const QLatin1String pages[] = { QLatin1String("html"), QLatin1String("htm"), QLatin1String("txt") };
    static const QLatin1String images[] = { QLatin1String("jpg"), QLatin1String("gif"), QLatin1String("tif"),
        QLatin1String("png"), QLatin1String("bmp") };
    static const QLatin1String archives[] = { QLatin1String("pdf"), QLatin1String("zip"), QLatin1String("lzh") };
    static const QLatin1String systemFiles[]
        = { QLatin1String("sys"), QLatin1String("bin"), QLatin1String("com"), QLatin1String("cnt") };
    const auto in = [&ext](const auto& group) {
        for (const QLatin1String& e : group) {
            if (ext == e)
                return true;
        }
        return false;
    };
    if (in(pages))
        return QColor(0, 0, 255);
    if (in(images))
        return QColor(0, 150, 150);
    if (ext == QLatin1String("exe"))
        return QColor(0, 250, 250);
    if (in(archives))
        return QColor(150, 0, 200);
    if (side == ListSide::Local && in(systemFiles))
        return QColor(150, 150, 150);
    return QColor(0, 0, 0);
}

void colourListRows(QStandardItemModel& list, ListSide side, bool coloursOff)
{
    if (coloursOff)
        return;
    const int rows = list.rowCount();
    const int columns = list.columnCount();
    if (rows == 0 || columns == 0)
        return;
    {
        // One change notice for the whole list instead of one per cell.
        const QSignalBlocker blocker(&list);
        for (int r = 0; r < rows; ++r) {
            QStandardItem* nameItem = list.item(r, 0);
            if (!nameItem)
                continue;
            const QBrush brush(fileColour(nameItem->text(), side));
            for (int c = 0; c < columns; ++c) {
                if (QStandardItem* cell = list.item(r, c))
                    cell->setForeground(brush);
            }
        }
    }
    Q_EMIT list.dataChanged(list.index(0, 0), list.index(rows - 1, columns - 1), { Qt::ForegroundRole });
}
