#include "support/portblock.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Whether nothing listens on `port` of 127.0.0.1 and ::1; only "in use" counts (a machine may lack IPv6).
bool portIsFree(quint16 port)
{
    for (const auto address : { QHostAddress::LocalHost, QHostAddress::LocalHostIPv6 }) {
        QTcpServer probe;
        if (!probe.listen(address, port) && probe.serverError() == QAbstractSocket::AddressInUseError)
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
    // Below the kernel's ephemeral range when there is room, else above it.
    int low = 32768;
    int high = 60999;
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (range.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = range.readAll().simplified().split(' ');
        low = parts.value(0, "32768").toInt();
        high = parts.value(1, "60999").toInt();
    }
    std::tie(low, high) = low - 20000 >= 50 * Size ? std::pair(20000, low)
        : 65535 - high >= 50 * Size                ? std::pair(high + 1, 65536)
                                                   : std::pair(10000, 20000);
    const int blocks = (high - low) / Size;
    const QString lockDir = QDir::tempPath() + QStringLiteral("/ftptarvo-ports-") + QString::number(::getuid());
    QDir().mkpath(lockDir);
    const int start = int(QRandomGenerator::global()->bounded(blocks));
    for (int i = 0; i < blocks; ++i) {
        const quint16 first = quint16(low + (start + i) % blocks * Size);
        const QByteArray path = QFile::encodeName(lockDir + QStringLiteral("/%1.lock").arg(first));
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && portIsFree(first)) {
            m_lockFd = fd;
            m_first = first;
            return true;
        }
        if (fd >= 0)
            ::close(fd);
    }
    if (error)
        *error = QStringLiteral("no free block of %1 ports between %2 and %3 (locks in %4)")
                     .arg(Size)
                     .arg(low)
                     .arg(high)
                     .arg(lockDir);
    return false;
}
