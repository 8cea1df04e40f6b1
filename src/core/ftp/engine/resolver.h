#pragma once

#include "core/ftp/engine/waiter.h"

#include <QList>
#include <QString>
#include <sys/socket.h>

struct SocketAddress {
    sockaddr_storage storage {};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    quint16 port() const;
    void setPort(quint16 port);
    // The numeric address without port or brackets.
    QString addressText() const;
    static SocketAddress fromFd(int fd, bool peer);
};

// Resolves a host name or address without blocking the caller's waits: getaddrinfo runs on a
// short-lived thread while the waiter keeps the window live. Returns an FtpError code (0 on
// success): NameNotResolved, Timeout or OperationCancelled.
int resolveHost(const QString& host, quint16 port, Waiter& waiter, int timeoutMs, QList<SocketAddress>* addresses);
