#pragma once

#include "core/ftp/engine/proxyconfig.h"
#include "core/ftp/engine/tlscontext.h"
#include "core/ftp/ftpsession.h"

#include <QHash>
#include <QSet>
#include <memory>
#include <optional>

struct FtpSession::Private {
    bool open = false;
    Access access = Direct;
    std::optional<ProxyConfig> proxy;
    QString bypass;
    QString proxyUser;
    QString proxyPassword;
    QHash<int, quint32> options;
    IdleHook idleHook;
    CertificateDecision decide;
    NoticeHook notice;
    QString knownCertificatesFile;
    QSet<QString> acceptedThisSession; // "host fingerprint", also when no file is set
    int lastError = 0;
    std::unique_ptr<TlsContext> tls;

    // The option in milliseconds, or `fallback` when it was never set (or set to 0).
    int timeout(Option option, int fallback) const;
    // The proxy for a connection to `host`, or nothing for a direct connection.
    std::optional<ProxyConfig> proxyFor(const QString& host) const;
    TlsContext* tlsContext();
};
