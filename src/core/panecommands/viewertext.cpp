#include "core/panecommands/viewertext.h"

#include "core/app/codepage.h"

#include <QFile>
#include <QSaveFile>

ViewerText ViewerText::decode(const QByteArray& bytes)
{
    ViewerText out;
    if (Utf8::isValid(bytes)) {
        out.encoding = Encoding::Utf8;
        out.text = QString::fromUtf8(bytes);
    } else {
        out.encoding = Encoding::Cp932;
        out.text = Cp932::decode(bytes);
    }
    out.crlf = bytes.contains("\r\n");
    if (out.crlf)
        out.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.exact = out.encode() == bytes;
    return out;
}

QByteArray ViewerText::encode() const
{
    QString body = text;
    if (crlf)
        body.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return encoding == Encoding::Utf8 ? body.toUtf8() : Cp932::encode(body);
}

bool ViewerText::load(const QString& path, ViewerText* out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(" を読み込めません。");
        return false;
    }
    if (file.size() > MaxBytes) {
        if (error)
            *error = path + QStringLiteral(" は大きすぎて表示できません。");
        return false;
    }
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (bytes.size() > MaxBytes) {
        if (error)
            *error = path + QStringLiteral(" は大きすぎて表示できません。");
        return false;
    }
    *out = decode(bytes);
    return true;
}

bool ViewerText::save(const QString& path, QString* error) const
{
    QSaveFile file(path);
    const QByteArray bytes = encode();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = path + QStringLiteral(" に保存できません。");
        return false;
    }
    return true;
}
