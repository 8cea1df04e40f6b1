#pragma once

#include "core/ftp/engine/resolver.h"
#include "core/ftp/engine/waiter.h"

#include <QByteArray>
#include <QString>
#include <openssl/ssl.h>

// One TCP connection of the engine, optionally inside TLS: non-blocking, every wait through the
// Waiter. Each call that fails leaves an FtpError code in error().
class Channel {
public:
    explicit Channel(Waiter& waiter);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    bool connectTo(const SocketAddress& address, int timeoutMs);
    // Listens on `address` (its port replaced by a free one) for one incoming connection.
    bool listenOn(const SocketAddress& address);
    // Accepts the connection the channel listens for; the channel becomes that connection.
    bool acceptOne(int timeoutMs);

    // TLS client handshake, resuming `resume` when given.
    bool startTls(SSL_CTX* ctx, const QString& serverName, SSL_SESSION* resume, int timeoutMs);
    SSL* ssl() const { return m_ssl; }
    // The newest resumable session the server gave this connection (owned by the channel).
    SSL_SESSION* session() const;
    void storeSession(SSL_SESSION* session);

    // > 0 bytes read, 0 at the end of the stream, -1 on failure.
    qint64 readSome(char* buffer, qint64 size, int timeoutMs);
    bool writeAll(const char* data, qint64 size, int timeoutMs);
    // Ends the sending direction cleanly (TLS close_notify, then FIN) and waits briefly for the
    // peer to close, so no unread byte turns our close into a reset that loses data.
    bool finishSending(int timeoutMs);
    void close();

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    int error() const { return m_error; }
    void setError(int error) { m_error = error; }
    SocketAddress localAddress() const { return SocketAddress::fromFd(m_fd, false); }
    SocketAddress peerAddress() const { return SocketAddress::fromFd(m_fd, true); }

private:
    bool waitFor(short events, int timeoutMs);
    int failSsl(int sslError, int fallback);

    Waiter& m_waiter;
    int m_fd = -1;
    bool m_listening = false;
    SSL* m_ssl = nullptr;
    SSL_SESSION* m_session = nullptr;
    int m_error = 0;
};
