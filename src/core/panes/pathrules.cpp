#include "core/panes/pathrules.h"

QString StripDriveLabel(const QString& text)
{
    QString out;
    out.reserve(text.size());
    bool inLabel = false;
    for (const QChar c : text) {
        if (inLabel) {
            if (c == QLatin1Char(']'))
                inLabel = false;
        } else if (c == QLatin1Char('[')) {
            inLabel = true;
        } else {
            out += c;
        }
    }
    return out;
}

QString parentFolderText(const QString& path)
{
    const qsizetype lastSlash = path.lastIndexOf(QLatin1Char('/'));
    if (lastSlash < 0)
        return QString();
    QString parent = path.left(lastSlash + 1);
    parent.chop(1);
    return parent;
}

QString joinLocalPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}
