#pragma once

#include <QString>
#include <optional>

// The host field of a profile: "host", "host:port", "[v6 address]:port", a bare IPv6 address,
// each optionally after "ftp://" (plain), "ftpes://" (explicit TLS) or "ftps://" (implicit TLS).
// A trailing "/" is allowed; a path, user information or blanks inside are not.
struct HostField {
    enum class Security { Plain, Explicit, Implicit };
    Security security = Security::Plain;
    QString host; // without brackets
    quint16 port = 0; // 0 when the field names none

    quint16 effectivePort() const { return port ? port : (security == Security::Implicit ? 990 : 21); }

    // Nothing for a field that cannot be parsed; `unknownScheme` tells a "xyz://" apart.
    static std::optional<HostField> parse(const QString& text, bool* unknownScheme = nullptr);
};
