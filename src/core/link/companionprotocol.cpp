#include "core/link/companionprotocol.h"

#include "core/app/codepage.h"
#include "core/app/itemroles.h"

namespace CompanionProtocol {

QString GetValue(const QString& text, const QString& name)
{
    const qsizetype start = text.indexOf(u'<' + name);
    if (start < 0)
        return QString();
    const qsizetype equals = text.indexOf(u'=', start);
    if (equals < 0)
        return QString();
    if (name == QLatin1String("contents")) {
        // "<contents=" at the very end leaves nothing, not a negative length.
        const qsizetype length = text.size() - 1 - (equals + 1);
        return length > 0 ? text.mid(equals + 1, length) : QString();
    }
    const qsizetype close = text.indexOf(u'>', equals + 1);
    if (close < 0)
        return QString();
    return text.mid(equals + 1, close - equals - 1);
}

QStringList messageLines(const QString& text)
{
    QString spread;
    spread.reserve(text.size() + text.size() / 4);
    for (const QChar c : text) {
        if (c == u'<')
            spread += QStringLiteral("\r\n<");
        else if (c == u'>')
            spread += QStringLiteral(">\r\n");
        else
            spread += c;
    }
    QStringList lines;
    for (const QString& piece : spread.split(QStringLiteral("\r\n"))) {
        if (!piece.trimmed().isEmpty())
            lines.append(piece);
    }
    return lines;
}

QByteArray copyDataPayload(const QString& text)
{
    QByteArray bytes = Cp932::encode(text);
    bytes.append('\0');
    bytes.append('\0');
    return bytes;
}

QByteArray fittedPayload(const QString& reply, qsizetype maxBytes)
{
    QByteArray whole = copyDataPayload(reply);
    if (whole.size() <= maxBytes)
        return whole;
    const QString crlf = QStringLiteral("\r\n");
    QStringList lines = reply.split(crlf);
    const QString closing = lines.takeLast();
    const qsizetype entries = lines.size() - 1; // after the opening tag
    const QString note = QStringLiteral("（一覧が長すぎるため、全%1件のうち%2件目以降を省きました）");
    // The opening tag, the note at its widest, the closing tag and the two NULs always go.
    qsizetype used
        = Cp932::encode(QString(lines.first() + crlf + note.arg(entries).arg(entries) + crlf + closing)).size() + 2;
    qsizetype kept = 1;
    for (; kept < lines.size(); ++kept) {
        used += Cp932::encode(lines[kept]).size() + 2;
        if (used > maxBytes)
            break;
    }
    lines = lines.mid(0, kept);
    lines << note.arg(entries).arg(kept) << closing;
    return copyDataPayload(lines.join(crlf));
}

QString nameRuleTarget(const QString& parameter, const QString& currentFolder)
{
    QString name = parameter;
    name.replace(u'\\', u'/');
    if (name.endsWith(u'/'))
        name.chop(1);
    if (!currentFolder.isEmpty())
        name.remove(currentFolder);
    name.remove(u'/');
    return name;
}

QString localListReply(const QString& localFolder, const QList<ListRow>& rows)
{
    QString reply = QStringLiteral("<locallist>");
    for (const ListRow& row : rows) {
        reply += QStringLiteral("\r\n") + localFolder + u'\\' + row.text;
        if (row.iconKey == IconKeys::Closed || row.iconKey == IconKeys::Open)
            reply += u'/';
    }
    reply += QStringLiteral("\r\n</locallist>");
    reply.replace(u'\\', u'/');
    return reply;
}

QString ftpListReply(const QList<ListRow>& rows)
{
    QString reply = QStringLiteral("<ftplist>");
    for (const ListRow& row : rows) {
        reply += QStringLiteral("\r\n") + row.text;
        if (row.iconKey == IconKeys::Closed)
            reply += u'/';
        reply += QString(11, u' ') + row.column4;
    }
    reply += QStringLiteral("\r\n</ftplist>");
    reply.replace(u'\\', u'/');
    return reply;
}

QString handshakeMessage(qint64 rb4Handle)
{
    return QStringLiteral("<mode=sendhandle>") + QStringLiteral("<handle=") + QString::number(rb4Handle) + u'>';
}

QString getTextMessage(qint64 rb4Handle)
{
    return QStringLiteral("<mode=") + QStringLiteral("gettext>") + QStringLiteral("<handle=")
        + QString::number(rb4Handle) + u'>';
}

QString setTextMessage(
    const QString& name, const QString& tag, const QString& ftpPath, qint64 rb4Handle, const QString& contents)
{
    return QStringLiteral("<mode=") + QStringLiteral("settext>") + QStringLiteral("<name=") + name + u'>'
        + QStringLiteral("<local=") + tag + u'>' + QStringLiteral("<path=") + ftpPath + u'>'
        + QStringLiteral("<handle=") + QString::number(rb4Handle) + u'>' + QStringLiteral("<contents=") + contents
        + u'>';
}

} // namespace CompanionProtocol
