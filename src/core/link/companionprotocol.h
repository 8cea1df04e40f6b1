#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The texts of the link with the companion editor jsTarvo: the fields of the editor channel, the
// lines of a command-channel message, the list replies and the editor messages the program sends.
namespace CompanionProtocol {

// The value of the field "<" + name + "=" value ">" in an editor message: from the first "<" +
// name, the text after its first "=" up to the next ">" (empty when there is no "<" + name, no
// "=" or no ">"). The field "contents" runs to the end of the message but its last character, so
// it may hold "<", ">" and "=" and must come last.
QString GetValue(const QString& text, const QString& name);

// A command-channel message as the interpreter reads it: every "<" starts a line and every ">"
// ends one; lines are split at CR LF; lines that are blank after trimming are dropped (the others
// are kept untrimmed).
QStringList messageLines(const QString& text);

// The bytes of a reply on the command channel: the CP932 text, its NUL, and the one byte more that
// the companion has always been sent.
QByteArray copyDataPayload(const QString& text);
// The payload of a reply cut to at most `maxBytes`: whole lines are left out from the end, and a
// line that says so goes before the closing tag, which always stays.
QByteArray fittedPayload(const QString& reply, qsizetype maxBytes);

// The list entry named by a command's parameter: "\" read as "/", one trailing "/" dropped, every
// occurrence of the current folder text removed, then every "/".
QString nameRuleTarget(const QString& parameter, const QString& currentFolder);

// One row of a file list as the replies see it.
struct ListRow {
    QString text;
    QString iconKey; // "closed" or "open" a folder, "leaf" a file
    QString column4; // the fifth column (FTP list only)
};

// "<locallist>", then for each row CR LF, the folder, "\", the name and "/" for a folder, then
// CR LF "</locallist>"; every "\" turned into "/".
QString localListReply(const QString& localFolder, const QList<ListRow>& rows);
// "<ftplist>", then for each row CR LF, the name, "/" for a folder ("closed"), eleven blanks and
// the fifth column, then CR LF "</ftplist>"; every "\" turned into "/".
QString ftpListReply(const QList<ListRow>& rows);

// Editor-channel messages of the program.
QString handshakeMessage(qint64 rb4Handle);
QString getTextMessage(qint64 rb4Handle);
QString setTextMessage(
    const QString& name, const QString& tag, const QString& ftpPath, qint64 rb4Handle, const QString& contents);
inline const QString EndMessage = QStringLiteral("<mode=end>");

} // namespace CompanionProtocol
