#include "core/panes/filecolours.h"

#include "core/panes/panelistmodel.h"

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

void colourListRows(PaneListModel& list, ListSide side, bool coloursOff)
{
    if (!coloursOff)
        list.colourRows([side](const QString& name) { return fileColour(name, side).rgba(); });
}
