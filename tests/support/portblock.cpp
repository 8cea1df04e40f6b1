#include "support/portblock.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The ports outside the kernel's ephemeral range that we may use: [low, high).
void usableRange(int* low, int* high)
{
    int ephemeralLow = 32768;
    int ephemeralHigh = 60999;
    QFile f(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = f.readAll().simplified().split(' ');
        if (parts.size() == 2) {
            ephemeralLow = parts[0].toInt();
            ephemeralHigh = parts[1].toInt();
        }
    }
    if (ephemeralLow - 20000 >= 50 * PortBlock::Size) {
        *low = 20000;
        *high = ephemeralLow;
    } else if (65535 - ephemeralHigh >= 50 * PortBlock::Size) {
        *low = ephemeralHigh + 1;
        *high = 65536;
    } else {
        *low = 10000;
        *high = 20000;
    }
}

bool portIsFree(quint16 port)
{
    for (int family : { AF_INET, AF_INET6 }) {
        const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue; // no IPv6 on this machine
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        int rc;
        if (family == AF_INET) {
            sockaddr_in a {};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            rc = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        } else {
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
            sockaddr_in6 a {};
            a.sin6_family = AF_INET6;
            a.sin6_port = htons(port);
            a.sin6_addr = in6addr_loopback;
            rc = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        }
        const bool inUse = rc != 0 && errno == EADDRINUSE;
        ::close(fd);
        if (inUse)
            return false;
    }
    return true;
}

} // namespace

PortBlock::~PortBlock() { release(); }

void PortBlock::release()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    m_lockFd = -1;
    m_first = 0;
}

bool PortBlock::reserve(QString* error)
{
    release();
    int low = 0;
    int high = 0;
    usableRange(&low, &high);
    const int blocks = (high - low) / Size;
    const QString lockDir = QDir::tempPath() + QStringLiteral("/ftptarvo-ports-") + QString::number(::getuid());
    if (!QDir().mkpath(lockDir)) {
        if (error)
            *error = QStringLiteral("cannot create the port lock folder ") + lockDir;
        return false;
    }
    const int start = int(QRandomGenerator::global()->bounded(blocks));
    for (int i = 0; i < blocks; ++i) {
        const int block = (start + i) % blocks;
        const quint16 first = quint16(low + block * Size);
        const QByteArray path = QFile::encodeName(lockDir + QStringLiteral("/") + QString::number(first) + ".lock");
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !portIsFree(first)) {
            ::close(fd);
            continue;
        }
        m_lockFd = fd;
        m_first = first;
        return true;
    }
    if (error)
        *error = QStringLiteral("no free block of %1 ports between %2 and %3").arg(Size).arg(low).arg(high);
    return false;
}
