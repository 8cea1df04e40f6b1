#pragma once

#include "core/app/codepage.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

// Reading and writing the settings files as bytes, the way the first platform left them.
namespace SettingsFiles {

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

inline QByteArray cp932Lines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& l : lines)
        out += Cp932::encode(l) + "\r\n";
    return out;
}

inline QString dataFile(const QString& name) { return QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/") + name; }

inline bool ownerOnly(const QString& path)
{
    const QFileDevice::Permissions others
        = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther;
    return (QFileInfo(path).permissions() & others) == QFileDevice::Permissions();
}

} // namespace SettingsFiles
