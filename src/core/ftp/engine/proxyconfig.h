#pragma once

#include <QString>
#include <optional>

// The proxy text and bypass list of the session. Accepted proxy texts: "host", "host:port",
// "http://host:port" (an HTTP proxy used with CONNECT), the first platform's
// "ftp=ftp://host:port" (also inside a ";"-separated list of "scheme=proxy" entries, where the
// "ftp=" entry wins), and "socks5://host:port" or "socks=host:port" (SOCKS5).
struct ProxyConfig {
    enum class Kind { HttpConnect, Socks5 };
    Kind kind = Kind::HttpConnect;
    QString host;
    quint16 port = 0;

    static std::optional<ProxyConfig> parse(const QString& text);

    // Whether a connection to `host` goes around the proxy. The list holds entries separated by
    // ";", "," or blanks: "<local>" (127.0.0.0/8, ::1, "localhost" and names without a dot) or a
    // host pattern with "*" wildcards ("*.example.jp", "192.168.*"), matched without case.
    static bool bypasses(const QString& host, const QString& bypassList);
};
