#include "core/ftp/engine/channel.h"

#include "core/ftp/engine/tlscontext.h"
#include "core/ftp/ftperrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int errnoToError(int e)
{
    switch (e) {
    case ECONNRESET:
    case EPIPE:
        return FtpError::ConnectionReset;
    case ETIMEDOUT:
        return FtpError::Timeout;
    default:
        return FtpError::ConnectionAborted;
    }
}

} // namespace

Channel::Channel(Waiter& waiter)
    : m_waiter(waiter)
{
}

Channel::~Channel()
{
    close();
    if (m_session)
        SSL_SESSION_free(m_session);
}

void Channel::close()
{
    if (m_ssl) {
        SSL_set_ex_data(m_ssl, TlsContext::channelIndex(), nullptr);
        // Freeing a connection that was not shut down marks its session as not resumable, and
        // data connections share the control connection's session: keep it usable.
        SSL_set_shutdown(m_ssl, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_listening = false;
}

bool Channel::waitFor(short events, int timeoutMs)
{
    switch (m_waiter.wait(m_fd, events, timeoutMs)) {
    case Waiter::Result::Ready:
        return true;
    case Waiter::Result::Timeout:
        m_error = FtpError::Timeout;
        return false;
    case Waiter::Result::Cancelled:
        m_error = FtpError::OperationCancelled;
        return false;
    }
    return false;
}

bool Channel::connectTo(const SocketAddress& address, int timeoutMs)
{
    close();
    m_fd = ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        m_error = FtpError::CannotConnect;
        return false;
    }
    const int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0)
        return true;
    if (errno != EINPROGRESS) {
        m_error = FtpError::CannotConnect;
        close();
        return false;
    }
    if (!waitFor(POLLOUT, timeoutMs)) {
        close();
        return false;
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
        m_error = soError == ETIMEDOUT ? FtpError::Timeout : FtpError::CannotConnect;
        close();
        return false;
    }
    return true;
}

bool Channel::listenOn(const SocketAddress& address)
{
    close();
    SocketAddress any = address;
    any.setPort(0);
    m_fd = ::socket(any.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<const sockaddr*>(&any.storage), any.length) != 0
        || ::listen(m_fd, 1) != 0) {
        m_error = FtpError::CannotConnect;
        close();
        return false;
    }
    m_listening = true;
    return true;
}

bool Channel::acceptOne(int timeoutMs)
{
    if (!m_listening) {
        m_error = FtpError::InternalError;
        return false;
    }
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            ::close(m_fd);
            m_fd = fd;
            m_listening = false;
            return true;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            m_error = FtpError::CannotConnect;
            return false;
        }
        if (!waitFor(POLLIN, timeoutMs))
            return false;
    }
}

int Channel::failSsl(int sslError, int fallback)
{
    if (sslError == SSL_ERROR_SYSCALL && errno != 0)
        m_error = errnoToError(errno);
    else
        m_error = fallback;
    ERR_clear_error();
    return m_error;
}

bool Channel::startTls(SSL_CTX* ctx, const QString& serverName, SSL_SESSION* resume, int timeoutMs)
{
    m_ssl = SSL_new(ctx);
    if (!m_ssl) {
        m_error = FtpError::SecureFailure;
        return false;
    }
    SSL_set_ex_data(m_ssl, TlsContext::channelIndex(), this);
    SSL_set_fd(m_ssl, m_fd);
    const QByteArray sni = serverName.toUtf8();
    unsigned char buffer[16];
    // SNI is for names only.
    if (!sni.isEmpty() && inet_pton(AF_INET, sni.constData(), buffer) != 1
        && inet_pton(AF_INET6, sni.constData(), buffer) != 1)
        SSL_set_tlsext_host_name(m_ssl, sni.constData());
    if (resume)
        SSL_set_session(m_ssl, resume);
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_connect(m_ssl);
        if (rc == 1)
            return true;
        const int e = SSL_get_error(m_ssl, rc);
        if (e == SSL_ERROR_WANT_READ) {
            if (!waitFor(POLLIN, timeoutMs))
                return false;
        } else if (e == SSL_ERROR_WANT_WRITE) {
            if (!waitFor(POLLOUT, timeoutMs))
                return false;
        } else {
            failSsl(e, FtpError::SecureFailure);
            if (m_error != FtpError::Timeout)
                m_error = FtpError::SecureFailure;
            return false;
        }
    }
}

SSL_SESSION* Channel::session() const
{
    if (m_session)
        return m_session;
    return m_ssl ? SSL_get0_session(m_ssl) : nullptr;
}

void Channel::storeSession(SSL_SESSION* session)
{
    if (m_session)
        SSL_SESSION_free(m_session);
    m_session = session;
}

qint64 Channel::readSome(char* buffer, qint64 size, int timeoutMs)
{
    if (m_fd < 0) {
        m_error = FtpError::ConnectionAborted;
        return -1;
    }
    const int chunk = int(qMin<qint64>(size, 1 << 30));
    for (;;) {
        if (m_ssl) {
            ERR_clear_error();
            errno = 0;
            const int n = SSL_read(m_ssl, buffer, chunk);
            if (n > 0)
                return n;
            const int e = SSL_get_error(m_ssl, n);
            if (e == SSL_ERROR_ZERO_RETURN)
                return 0;
            if (e == SSL_ERROR_WANT_READ) {
                if (!waitFor(POLLIN, timeoutMs))
                    return -1;
                continue;
            }
            if (e == SSL_ERROR_WANT_WRITE) {
                if (!waitFor(POLLOUT, timeoutMs))
                    return -1;
                continue;
            }
            if (e == SSL_ERROR_SYSCALL && errno == 0)
                return 0;
            failSsl(e, FtpError::SecureFailure);
            return -1;
        }
        const ssize_t n = ::recv(m_fd, buffer, size_t(chunk), 0);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(POLLIN, timeoutMs))
                return -1;
            continue;
        }
        m_error = errnoToError(errno);
        return -1;
    }
}

bool Channel::writeAll(const char* data, qint64 size, int timeoutMs)
{
    if (m_fd < 0) {
        m_error = FtpError::ConnectionAborted;
        return false;
    }
    while (size > 0) {
        const int chunk = int(qMin<qint64>(size, 1 << 30));
        if (m_ssl) {
            ERR_clear_error();
            errno = 0;
            const int n = SSL_write(m_ssl, data, chunk);
            if (n > 0) {
                data += n;
                size -= n;
                continue;
            }
            const int e = SSL_get_error(m_ssl, n);
            if (e == SSL_ERROR_WANT_WRITE) {
                if (!waitFor(POLLOUT, timeoutMs))
                    return false;
                continue;
            }
            if (e == SSL_ERROR_WANT_READ) {
                if (!waitFor(POLLIN, timeoutMs))
                    return false;
                continue;
            }
            failSsl(e, FtpError::SecureFailure);
            return false;
        }
        const ssize_t n = ::send(m_fd, data, size_t(chunk), MSG_NOSIGNAL);
        if (n >= 0) {
            data += n;
            size -= n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFor(POLLOUT, timeoutMs))
                return false;
            continue;
        }
        m_error = errnoToError(errno);
        return false;
    }
    return true;
}

bool Channel::finishSending(int timeoutMs)
{
    if (m_fd < 0)
        return false;
    if (m_ssl) {
        ERR_clear_error();
        const int rc = SSL_shutdown(m_ssl);
        if (rc < 0) {
            const int e = SSL_get_error(m_ssl, rc);
            if (e == SSL_ERROR_WANT_WRITE && waitFor(POLLOUT, timeoutMs))
                SSL_shutdown(m_ssl);
            ERR_clear_error();
        }
    }
    ::shutdown(m_fd, SHUT_WR);
    // Drain until the peer closes; a peer that never does only costs the time-out.
    char scratch[16384];
    for (int i = 0; i < 1024; ++i) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, 0);
        if (n == 0)
            return true;
        if (n > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return true;
        // Servers close at once when they have read everything; one that keeps the connection
        // open is not waited for long.
        if (m_waiter.wait(m_fd, POLLIN, qMin(timeoutMs, 2000)) != Waiter::Result::Ready)
            return false;
    }
    return true;
}
