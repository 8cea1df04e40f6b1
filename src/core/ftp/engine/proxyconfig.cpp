#include "core/ftp/engine/proxyconfig.h"

#include <QRegularExpression>
#include <QStringList>
#include <arpa/inet.h>
#include <cstring>

namespace {

std::optional<ProxyConfig> parseOne(QString text, ProxyConfig::Kind kind, quint16 defaultPort)
{
    text = text.trimmed();
    const qsizetype scheme = text.indexOf(u"://");
    if (scheme >= 0) {
        const QString name = text.first(scheme).toLower();
        if (name == u"socks5" || name == u"socks5h" || name == u"socks") {
            kind = ProxyConfig::Kind::Socks5;
            defaultPort = 1080;
        } else if (name != u"http" && name != u"ftp") {
            return std::nullopt;
        }
        text = text.sliced(scheme + 3);
    }
    if (text.endsWith(u'/'))
        text.chop(1);
    ProxyConfig config;
    config.kind = kind;
    config.port = defaultPort;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close < 2)
            return std::nullopt;
        config.host = text.sliced(1, close - 1);
        text = text.sliced(close + 1);
        if (!text.isEmpty() && !text.startsWith(u':'))
            return std::nullopt;
        text = text.isEmpty() ? QString() : text.sliced(1);
    } else {
        const qsizetype colon = text.lastIndexOf(u':');
        if (colon >= 0) {
            config.host = text.first(colon);
            text = text.sliced(colon + 1);
        } else {
            config.host = text;
            text.clear();
        }
    }
    if (!text.trimmed().isEmpty()) {
        bool ok = false;
        const uint port = text.trimmed().toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        config.port = quint16(port);
    }
    config.host = config.host.trimmed();
    if (config.host.isEmpty() || config.host.contains(u' ') || config.host.contains(u'/') || config.host.contains(u'@'))
        return std::nullopt;
    return config;
}

bool isLocal(const QString& host)
{
    const QString lower = host.toLower();
    if (lower == u"localhost" || lower.endsWith(u".localhost"))
        return true;
    const QByteArray ascii = host.toLatin1();
    in_addr v4;
    if (inet_pton(AF_INET, ascii.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6;
    if (inet_pton(AF_INET6, ascii.constData(), &v6) == 1) {
        static const unsigned char loopback[16] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1 };
        static const unsigned char mapped[12] = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff };
        if (std::memcmp(&v6, loopback, 16) == 0)
            return true;
        return std::memcmp(&v6, mapped, 12) == 0 && reinterpret_cast<const unsigned char*>(&v6)[12] == 127;
    }
    return !host.contains(u'.');
}

} // namespace

std::optional<ProxyConfig> ProxyConfig::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    if (trimmed.contains(u'=')) {
        // "scheme=proxy" entries: the FTP one, else SOCKS, else HTTP.
        std::optional<ProxyConfig> http, socks;
        for (const QString& part : trimmed.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
            const qsizetype eq = part.indexOf(u'=');
            if (eq <= 0)
                continue;
            const QString scheme = part.first(eq).toLower();
            const QString value = part.sliced(eq + 1);
            if (scheme == u"ftp")
                return parseOne(value, Kind::HttpConnect, 80);
            if (scheme == u"socks" || scheme == u"socks5")
                socks = parseOne(value, Kind::Socks5, 1080);
            else if (scheme == u"http" || scheme == u"https")
                http = parseOne(value, Kind::HttpConnect, 80);
        }
        return socks ? socks : http;
    }
    return parseOne(trimmed, Kind::HttpConnect, 80);
}

bool ProxyConfig::bypasses(const QString& host, const QString& bypassList)
{
    const QStringList entries = bypassList.split(QRegularExpression(QStringLiteral("[;,\\s]+")), Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        if (entry.compare(u"<local>", Qt::CaseInsensitive) == 0) {
            if (isLocal(host))
                return true;
            continue;
        }
        const QRegularExpression pattern(
            QRegularExpression::wildcardToRegularExpression(entry), QRegularExpression::CaseInsensitiveOption);
        if (pattern.match(host).hasMatch())
            return true;
    }
    return false;
}
