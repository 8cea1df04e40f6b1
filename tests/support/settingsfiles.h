#pragma once

#include "core/app/codepage.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "support/ftpserverfixture.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

// Reading and writing the settings files as bytes, the way the first platform left them.
namespace SettingsFiles {

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Makes the missing folders on the way.
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
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

// ftpset.ini lines of one profile, its fields in the order of Profiles::fieldTag.
inline QByteArray profileLines(const QStringList& fields)
{
    QStringList lines;
    for (int i = 0; i < Profiles::FieldCount; ++i)
        lines << Profiles::fieldTag(i) << fields.value(i) << SettingsLines::closingTag(Profiles::fieldTag(i));
    return cp932Lines(lines);
}

// ftpset.ini lines of one profile for the server; "-" is no start folder.
inline QByteArray profileSettings(
    const FtpServerFixture& server, const QString& name, const QString& startFolder = QStringLiteral("-"))
{
    return profileLines({ name, server.hostField(), server.user(), Profiles::scramblePassword(server.password()),
        QStringLiteral("c:"), startFolder, QStringLiteral("-") });
}

// The lines that make `name` the profile chosen at start.
inline QByteArray lastProfileSettings(const QString& name)
{
    return cp932Lines({ QStringLiteral("<最終 プロﾌｧｲﾙ>"), name, QStringLiteral("</最終 プロﾌｧｲﾙ>") });
}

} // namespace SettingsFiles
