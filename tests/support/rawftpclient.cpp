#include "support/rawftpclient.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawFtpClient::~RawFtpClient() { close(); }

void RawFtpClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_buffer.clear();
}

bool RawFtpClient::connectTo(const QString& host, quint16 port, int timeoutMs)
{
    close();
    m_host = host;
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &res) != 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    for (addrinfo* ai = res; ai && m_fd < 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
            ::close(fd);
            continue;
        }
        pollfd p { fd, POLLOUT, 0 };
        int err = 0;
        socklen_t len = sizeof err;
        if (::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime()))) != 1
            || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
    }
    ::freeaddrinfo(res);
    return m_fd >= 0;
}

bool RawFtpClient::sendRaw(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p { m_fd, POLLOUT, 0 };
            if (::poll(&p, 1, 5000) != 1)
                return false;
        } else {
            return false;
        }
    }
    return m_fd >= 0;
}

bool RawFtpClient::fill(int timeoutMs)
{
    if (m_fd < 0)
        return false;
    pollfd p { m_fd, POLLIN, 0 };
    if (::poll(&p, 1, qMax(0, timeoutMs)) != 1)
        return false;
    char buf[65536];
    const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
    if (n <= 0)
        return false;
    m_buffer.append(buf, n);
    return true;
}

int RawFtpClient::readReply(int timeoutMs, QByteArray* text)
{
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray all;
    QByteArray code;
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n');
        if (nl < 0) {
            if (!fill(int(deadline.remainingTime())))
                return -1;
            continue;
        }
        QByteArray line = m_buffer.left(nl + 1);
        m_buffer.remove(0, nl + 1);
        all += line;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (code.isEmpty()) {
            if (line.size() < 3)
                continue;
            code = line.left(3);
            if (line.size() == 3 || line.at(3) != '-')
                break;
        } else if (line.startsWith(code) && (line.size() == 3 || line.at(3) == ' ')) {
            break;
        }
    }
    if (text)
        *text = all;
    bool ok = false;
    const int value = code.toInt(&ok);
    return ok ? value : -1;
}

int RawFtpClient::command(const QByteArray& line, int timeoutMs, QByteArray* text)
{
    if (!sendLine(line))
        return -1;
    return readReply(timeoutMs, text);
}

bool RawFtpClient::login(const QString& user, const QString& password, int timeoutMs)
{
    int code = command("USER " + user.toUtf8(), timeoutMs);
    if (code == 331)
        code = command("PASS " + password.toUtf8(), timeoutMs);
    return code == 230;
}

QByteArray RawFtpClient::readSome(int timeoutMs)
{
    if (m_buffer.isEmpty())
        fill(timeoutMs);
    QByteArray out;
    out.swap(m_buffer);
    return out;
}

bool RawFtpClient::readToEnd(int timeoutMs, QByteArray* data)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0) {
        pollfd p { m_fd, POLLIN, 0 };
        if (::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime()))) != 1)
            return false;
        char buf[65536];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        m_buffer.append(buf, n);
    }
    if (data)
        *data = m_buffer;
    m_buffer.clear();
    return true;
}

bool RawFtpClient::openPassiveData(RawFtpClient* data, int timeoutMs)
{
    QByteArray text;
    int port = -1;
    if (command("EPSV", timeoutMs, &text) == 229) {
        static const QRegularExpression epsv(QStringLiteral("\\(\\|\\|\\|(\\d+)\\|\\)"));
        const QRegularExpressionMatch m = epsv.match(QString::fromLatin1(text));
        if (m.hasMatch())
            port = m.captured(1).toInt();
    } else if (command("PASV", timeoutMs, &text) == 227) {
        static const QRegularExpression pasv(QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
        const QRegularExpressionMatch m = pasv.match(QString::fromLatin1(text));
        if (m.hasMatch())
            port = m.captured(5).toInt() * 256 + m.captured(6).toInt();
    }
    return port > 0 && port < 65536 && data->connectTo(m_host, quint16(port), timeoutMs);
}
