#include "core/ftp/engine/hostfield.h"

namespace {

bool validHostChar(QChar c)
{
    // Letters of any script (an IDN typed as is), digits and the punctuation of names and addresses.
    return c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_' || c == u':' || c == u'%';
}

std::optional<quint16> parsePort(QStringView s)
{
    if (s.isEmpty() || s.size() > 5)
        return std::nullopt;
    bool ok = false;
    const uint port = s.toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    for (QChar c : s)
        if (!c.isDigit())
            return std::nullopt;
    return quint16(port);
}

} // namespace

std::optional<HostField> HostField::parse(const QString& text, bool* unknownScheme)
{
    if (unknownScheme)
        *unknownScheme = false;
    QStringView s = QStringView(text).trimmed();
    HostField field;
    const qsizetype scheme = s.indexOf(u"://");
    if (scheme >= 0) {
        const QString name = s.first(scheme).toString().toLower();
        if (name == u"ftp")
            field.security = Security::Plain;
        else if (name == u"ftpes")
            field.security = Security::Explicit;
        else if (name == u"ftps")
            field.security = Security::Implicit;
        else {
            if (unknownScheme)
                *unknownScheme = true;
            return std::nullopt;
        }
        s = s.sliced(scheme + 3);
    }
    if (s.endsWith(u'/'))
        s.chop(1);
    if (s.isEmpty())
        return std::nullopt;
    if (s.startsWith(u'[')) {
        const qsizetype close = s.indexOf(u']');
        if (close < 2)
            return std::nullopt;
        field.host = s.sliced(1, close - 1).toString();
        if (!field.host.contains(u':'))
            return std::nullopt;
        const QStringView rest = s.sliced(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return std::nullopt;
            const auto port = parsePort(rest.sliced(1));
            if (!port)
                return std::nullopt;
            field.port = *port;
        }
    } else if (s.count(u':') > 1) {
        field.host = s.toString(); // a bare IPv6 address: no port possible
    } else {
        const qsizetype colon = s.indexOf(u':');
        if (colon >= 0) {
            const auto port = parsePort(s.sliced(colon + 1));
            if (!port)
                return std::nullopt;
            field.port = *port;
            s = s.first(colon);
        }
        field.host = s.toString();
    }
    if (field.host.isEmpty() || field.host.size() > 255)
        return std::nullopt;
    for (QChar c : field.host)
        if (!validHostChar(c))
            return std::nullopt;
    if (!field.host.contains(u':') && field.host.contains(u'%'))
        return std::nullopt;
    return field;
}
