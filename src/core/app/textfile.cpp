#include "core/app/textfile.h"

#include "core/app/codepage.h"

#include <QFile>
#include <QSaveFile>

namespace TextFile {

namespace {

    template <typename Text> QList<Text> split(const Text& text)
    {
        QList<Text> lines;
        qsizetype start = 0;
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            const auto c = text.at(i);
            if (c != '\r' && c != '\n')
                continue;
            lines.append(text.mid(start, i - start));
            if (c == '\r' && i + 1 < n && text.at(i + 1) == '\n')
                ++i;
            start = i + 1;
        }
        if (start < n)
            lines.append(text.mid(start));
        return lines;
    }

} // namespace

QStringList splitLines(const QString& text) { return split(text); }

std::optional<QStringList> readLines(const QString& path, QHash<QString, QByteArray>* undecodable)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringList lines;
    for (const QByteArray& raw : split(bytes)) {
        lines.append(Cp932::decode(raw));
        if (undecodable && Cp932::encode(lines.last()) != raw)
            undecodable->insert(lines.last(), raw);
    }
    return lines;
}

static QString reasonText(const QFileDevice& file)
{
    return QStringLiteral("ファイルに書き込めません: %1\n%2").arg(file.fileName(), file.errorString());
}

bool writeLines(const QString& path, const QStringList& lines, QString* error, QFileDevice::Permissions permissions,
    const QHash<QString, QByteArray>* verbatim)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        const auto kept = verbatim ? verbatim->constFind(line) : QHash<QString, QByteArray>::const_iterator();
        bytes += verbatim && kept != verbatim->cend() ? *kept : Cp932::encode(line);
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = reasonText(file);
        return false;
    }
    // Set before the rename so a password file is never readable by others, not even briefly.
    file.setPermissions(permissions);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = reasonText(file);
        file.cancelWriting();
        return false;
    }
    return true;
}

bool appendText(const QString& path, const QString& text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = reasonText(file);
        return false;
    }
    const QByteArray bytes = Cp932::encode(text);
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = reasonText(file);
        return false;
    }
    return true;
}

} // namespace TextFile
