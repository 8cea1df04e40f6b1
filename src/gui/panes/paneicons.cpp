#include "gui/panes/paneicons.h"

#include "core/app/itemroles.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QStyle>

namespace {

// The file icon with a coloured mark in its lower right corner.
QIcon markedFileIcon(const QColor& mark)
{
    const QIcon base = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    QPixmap pixmap = base.pixmap(16, 16);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mark);
    painter.drawEllipse(QRectF(8.5, 8.5, 7, 7));
    return QIcon(pixmap);
}

} // namespace

QIcon paneIcon(const QString& key)
{
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QStyle* style = QApplication::style();
    QIcon icon;
    if (key == IconKeys::Closed)
        icon = style->standardIcon(QStyle::SP_DirClosedIcon);
    else if (key == IconKeys::Open)
        icon = style->standardIcon(QStyle::SP_DirOpenIcon);
    else if (key == IconKeys::Leaf)
        icon = style->standardIcon(QStyle::SP_FileIcon);
    else if (key == IconKeys::Leaf2)
        icon = markedFileIcon(QColor(0, 160, 0));
    else if (key == IconKeys::Leaf3)
        icon = markedFileIcon(QColor(0, 0, 220));
    else if (key == IconKeys::LeafKill)
        icon = markedFileIcon(QColor(220, 0, 0));
    cache.insert(key, icon);
    return icon;
}
