#pragma once

#include "core/ftp/ftpsession.h"

#include <QString>
#include <openssl/ssl.h>

// The OpenSSL client context of a session: the system trust store, TLS 1.2 and later, client
// session caching so that data connections can resume the control connection's session
// (servers such as vsftpd with require_ssl_reuse refuse data connections that do not).
class TlsContext {
public:
    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* get() const { return m_ctx; }
    bool valid() const { return m_ctx != nullptr; }

    // The ex_data slot of an SSL that points at the Channel owning it.
    static int channelIndex();

    // What the engine tells the user about the peer certificate of `ssl`, with the problems
    // found for `host` (empty problem when it verifies). `errorCode` receives the SEC code that
    // fits the first problem.
    static FtpSession::CertificateInfo describePeer(SSL* ssl, const QString& host, int* errorCode);

private:
    SSL_CTX* m_ctx = nullptr;
};
