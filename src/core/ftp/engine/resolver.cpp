#include "core/ftp/engine/resolver.h"

#include "core/ftp/ftperrors.h"

#include <QElapsedTimer>
#include <QUrl>
#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <thread>

quint16 SocketAddress::port() const
{
    if (storage.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    if (storage.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
    return 0;
}

void SocketAddress::setPort(quint16 port)
{
    if (storage.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
    else if (storage.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
}

QString SocketAddress::addressText() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (storage.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr, text, sizeof text);
    else if (storage.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

SocketAddress SocketAddress::fromFd(int fd, bool peer)
{
    SocketAddress a;
    a.length = sizeof a.storage;
    const int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&a.storage), &a.length)
                        : getsockname(fd, reinterpret_cast<sockaddr*>(&a.storage), &a.length);
    if (rc != 0)
        a = SocketAddress();
    return a;
}

namespace {

struct Lookup {
    std::mutex mutex;
    bool done = false;
    int rc = 0;
    QList<SocketAddress> addresses;
};

} // namespace

int resolveHost(const QString& host, quint16 port, Waiter& waiter, int timeoutMs, QList<SocketAddress>* addresses)
{
    addresses->clear();
    QByteArray name = QUrl::toAce(host);
    if (name.isEmpty())
        name = host.toLatin1();
    if (name.isEmpty() || name.contains('\0'))
        return FtpError::NameNotResolved;

    // A numeric address needs no thread.
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    const QByteArray service = QByteArray::number(port);
    addrinfo* result = nullptr;
    if (getaddrinfo(name.constData(), service.constData(), &hints, &result) == 0) {
        for (addrinfo* ai = result; ai; ai = ai->ai_next) {
            SocketAddress a;
            std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
            a.length = ai->ai_addrlen;
            addresses->append(a);
        }
        freeaddrinfo(result);
        return addresses->isEmpty() ? FtpError::NameNotResolved : FtpError::None;
    }

    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name, service] {
        addrinfo h {};
        h.ai_socktype = SOCK_STREAM;
        h.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
        addrinfo* res = nullptr;
        const int rc = getaddrinfo(name.constData(), service.constData(), &h, &res);
        QList<SocketAddress> found;
        if (rc == 0) {
            for (addrinfo* ai = res; ai; ai = ai->ai_next) {
                SocketAddress a;
                std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
                a.length = ai->ai_addrlen;
                found.append(a);
            }
            freeaddrinfo(res);
        }
        std::lock_guard lock(lookup->mutex);
        lookup->rc = rc;
        lookup->addresses = found;
        lookup->done = true;
    }).detach();

    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        {
            std::lock_guard lock(lookup->mutex);
            if (lookup->done) {
                if (lookup->rc != 0 || lookup->addresses.isEmpty())
                    return FtpError::NameNotResolved;
                *addresses = lookup->addresses;
                return FtpError::None;
            }
        }
        if (timeoutMs > 0 && elapsed.elapsed() >= timeoutMs)
            return FtpError::Timeout;
        if (waiter.sleep(10) == Waiter::Result::Cancelled)
            return FtpError::OperationCancelled;
    }
}
