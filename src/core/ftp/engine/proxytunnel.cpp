#include "core/ftp/engine/proxytunnel.h"

#include "core/ftp/ftperrors.h"

#include <QUrl>
#include <arpa/inet.h>

namespace {

QByteArray hostBytes(const QString& host)
{
    const QByteArray ace = QUrl::toAce(host);
    return ace.isEmpty() ? host.toLatin1() : ace;
}

// Reads exactly `size` bytes.
bool readExactly(Channel& channel, char* buffer, qint64 size, int timeoutMs)
{
    while (size > 0) {
        const qint64 n = channel.readSome(buffer, size, timeoutMs);
        if (n <= 0) {
            if (n == 0)
                channel.setError(FtpError::ProxyFailure);
            return false;
        }
        buffer += n;
        size -= n;
    }
    return true;
}

int failure(Channel& channel)
{
    const int e = channel.error();
    return e == FtpError::Timeout || e == FtpError::OperationCancelled ? e : FtpError::ProxyFailure;
}

} // namespace

namespace ProxyTunnel {

int httpConnect(
    Channel& channel, const QString& host, quint16 port, const QString& user, const QString& password, int timeoutMs)
{
    QByteArray target = hostBytes(host);
    if (target.contains(':'))
        target = '[' + target + ']';
    target += ':' + QByteArray::number(port);
    QByteArray request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
    if (!user.isEmpty())
        request += "Proxy-Authorization: Basic " + (user + u':' + password).toUtf8().toBase64() + "\r\n";
    request += "\r\n";
    if (!channel.writeAll(request.constData(), request.size(), timeoutMs))
        return failure(channel);

    // Read the response head byte by byte: nothing after it may be consumed, it belongs to FTP.
    QByteArray head;
    char c;
    while (!head.endsWith("\r\n\r\n") && !head.endsWith("\n\n")) {
        if (head.size() > 16384)
            return FtpError::ProxyFailure;
        if (!readExactly(channel, &c, 1, timeoutMs))
            return failure(channel);
        head.append(c);
    }
    // "HTTP/1.x 200 ..."
    const qsizetype space = head.indexOf(' ');
    if (!head.startsWith("HTTP/") || space < 0 || head.mid(space + 1, 3) != "200")
        return FtpError::ProxyFailure;
    return FtpError::None;
}

int socks5Connect(
    Channel& channel, const QString& host, quint16 port, const QString& user, const QString& password, int timeoutMs)
{
    const bool withAuth = !user.isEmpty();
    const QByteArray greeting = withAuth ? QByteArray("\x05\x02\x00\x02", 4) : QByteArray("\x05\x01\x00", 3);
    if (!channel.writeAll(greeting.constData(), greeting.size(), timeoutMs))
        return failure(channel);
    char reply[2];
    if (!readExactly(channel, reply, 2, timeoutMs))
        return failure(channel);
    if (reply[0] != 5)
        return FtpError::ProxyFailure;
    if (reply[1] == 2 && withAuth) {
        const QByteArray u = user.toUtf8().left(255);
        const QByteArray p = password.toUtf8().left(255);
        QByteArray auth;
        auth.append(char(1)).append(char(u.size())).append(u).append(char(p.size())).append(p);
        if (!channel.writeAll(auth.constData(), auth.size(), timeoutMs))
            return failure(channel);
        if (!readExactly(channel, reply, 2, timeoutMs))
            return failure(channel);
        if (reply[1] != 0)
            return FtpError::ProxyFailure;
    } else if (reply[1] != 0) {
        return FtpError::ProxyFailure;
    }

    QByteArray request("\x05\x01\x00", 3);
    const QByteArray name = hostBytes(host);
    unsigned char address[16];
    if (inet_pton(AF_INET, name.constData(), address) == 1) {
        request.append(char(1)).append(reinterpret_cast<const char*>(address), 4);
    } else if (inet_pton(AF_INET6, name.constData(), address) == 1) {
        request.append(char(4)).append(reinterpret_cast<const char*>(address), 16);
    } else {
        if (name.size() > 255)
            return FtpError::NameNotResolved;
        request.append(char(3)).append(char(name.size())).append(name);
    }
    request.append(char(port >> 8)).append(char(port & 0xff));
    if (!channel.writeAll(request.constData(), request.size(), timeoutMs))
        return failure(channel);
    char head[4];
    if (!readExactly(channel, head, 4, timeoutMs))
        return failure(channel);
    if (head[0] != 5 || head[1] != 0)
        return FtpError::ProxyFailure;
    qint64 rest = 0;
    if (head[3] == 1)
        rest = 4;
    else if (head[3] == 4)
        rest = 16;
    else if (head[3] == 3) {
        char len;
        if (!readExactly(channel, &len, 1, timeoutMs))
            return failure(channel);
        rest = static_cast<unsigned char>(len);
    } else {
        return FtpError::ProxyFailure;
    }
    char skip[258];
    if (!readExactly(channel, skip, rest + 2, timeoutMs))
        return failure(channel);
    return FtpError::None;
}

} // namespace ProxyTunnel
