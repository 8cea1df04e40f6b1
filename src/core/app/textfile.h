#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Text files shared with the first platform: CP932, lines ended by CR LF.
namespace TextFile {

// Splits at CR LF, and also at a lone CR or LF so hand-edited files load. nullopt when the file
// cannot be opened or read. Each line is decoded on its own, so a broken character spoils only
// its line; such lines go into `undecodable` (text as read to the bytes on disk), so they can be
// written back unchanged.
std::optional<QStringList> readLines(const QString& path, QHash<QString, QByteArray>* undecodable = nullptr);

// Splits bytes the same way (exposed for the converters and tests).
QStringList splitLines(const QString& text);

// Writes every line followed by CR LF, in CP932, through a temporary file renamed over the old
// one, so a failure never leaves a half-written file. `permissions` applies to a newly
// created file and is enforced on an existing one. On failure `error` gets a Japanese reason.
// A line that is a key of `verbatim` is written as its bytes.
bool writeLines(const QString& path, const QStringList& lines, QString* error = nullptr,
    QFileDevice::Permissions permissions
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther,
    const QHash<QString, QByteArray>* verbatim = nullptr);

// Appends the text in CP932 (no line end is added).
bool appendText(const QString& path, const QString& text, QString* error = nullptr);

// Permissions for files that hold passwords.
constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace TextFile
