#pragma once

#include <QStringList>

// Column headers of the two file lists, and the columns a header click sorts.
inline QStringList localListHeaders()
{
    return { QStringLiteral("名前"), QStringLiteral("ｻｲｽﾞ"), QStringLiteral("種類"), QStringLiteral("更新日時") };
}

inline QStringList ftpListHeaders()
{
    return { QStringLiteral("名前"), QStringLiteral("ｻｲｽﾞ"), QStringLiteral("種類"), QStringLiteral("更新日時"),
        QStringLiteral("ｱｸｾｽ権"), QStringLiteral("所有者/ｸﾞﾙｰﾌﾟ") };
}

// The column a click on the header with this text sorts, or -1 (the permission and owner
// columns of the server list do not sort).
inline int sortColumnForHeader(const QString& headerText)
{
    const qsizetype column = localListHeaders().indexOf(headerText);
    return int(column);
}
