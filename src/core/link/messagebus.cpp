#include "core/link/messagebus.h"

#include "core/app/codepage.h"
#include "core/link/messagelistener.h"

#include <QDeadlineTimer>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace MessageBus {

namespace {

    void putLe32(char* out, quint32 value)
    {
        for (int i = 0; i < 4; ++i)
            out[i] = char((value >> (8 * i)) & 0xff);
    }

    // Waits for `events` on `fd` until the deadline. False on time-out or error.
    bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
    {
        for (;;) {
            const qint64 left = deadline.remainingTime();
            if (left <= 0)
                return false;
            pollfd p { fd, events, 0 };
            const int r = ::poll(&p, 1, int(std::min<qint64>(left, 1000)));
            if (r > 0)
                return (p.revents & (events | POLLHUP | POLLERR)) != 0;
            if (r < 0 && errno != EINTR)
                return false;
        }
    }

    class Fd {
    public:
        explicit Fd(int fd)
            : m_fd(fd)
        {
        }
        ~Fd()
        {
            if (m_fd >= 0)
                ::close(m_fd);
        }
        Fd(const Fd&) = delete;
        Fd& operator=(const Fd&) = delete;
        int get() const { return m_fd; }

    private:
        int m_fd;
    };

} // namespace

QString folder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return QFile::decodeName(runtime) + QStringLiteral("/ftptarvo-bus");
    return QStringLiteral("/tmp/ftptarvo-bus-%1").arg(::getuid());
}

bool ensureFolder(QString* error)
{
    const QByteArray path = QFile::encodeName(folder());
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("メッセージ用のフォルダーを作れません: %1 (%2)")
                        .arg(folder(), QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st { };
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return fail(QStringLiteral("メッセージ用のフォルダーが自分のものではありません: %1").arg(folder()));
    if ((st.st_mode & 07777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        return fail(QStringLiteral("メッセージ用のフォルダーを保護できません: %1").arg(folder()));
    return true;
}

QString socketPath(qint64 handle) { return folder() + u'/' + QString::number(handle); }

QString mainHandleFile() { return folder() + QStringLiteral("/main.handle"); }

qint64 readMainHandle()
{
    QFile f(mainHandleFile());
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 handle = f.read(32).trimmed().toLongLong(&ok);
    return ok && handle > 0 && handle <= MaxHandle ? handle : 0;
}

bool isKnownMessage(quint32 message) { return message == WM_COPYDATA || message == WM_SETTEXT; }

namespace {

    std::optional<qint32> sendFrame(
        qint64 handle, quint32 message, QByteArrayView payload, const QDeadlineTimer& deadline)
    {
        const QByteArray path = QFile::encodeName(socketPath(handle));
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (size_t(path.size()) >= sizeof address.sun_path)
            return std::nullopt;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));

        Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (fd.get() < 0)
            return std::nullopt;
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            // A full backlog: wait for room as long as the time limit allows.
            if (errno != EAGAIN && errno != EINPROGRESS)
                return std::nullopt;
            if (!waitFor(fd.get(), POLLOUT, deadline))
                return std::nullopt;
            int soError = 0;
            socklen_t len = sizeof soError;
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0)
                return std::nullopt;
        }

        QByteArray frame(8, Qt::Uninitialized);
        putLe32(frame.data(), message);
        putLe32(frame.data() + 4, quint32(payload.size()));
        frame.append(payload.data(), payload.size());
        qsizetype sent = 0;
        while (sent < frame.size()) {
            const ssize_t n = ::send(fd.get(), frame.constData() + sent, size_t(frame.size() - sent), MSG_NOSIGNAL);
            if (n > 0) {
                sent += n;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN && waitFor(fd.get(), POLLOUT, deadline))
                continue;
            return std::nullopt;
        }

        char answer[4];
        size_t got = 0;
        while (got < sizeof answer) {
            const ssize_t n = ::recv(fd.get(), answer + got, sizeof answer - got, 0);
            if (n > 0) {
                got += size_t(n);
                continue;
            }
            if (n == 0)
                return std::nullopt;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN && waitFor(fd.get(), POLLIN, deadline))
                continue;
            return std::nullopt;
        }
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value |= quint32(quint8(answer[i])) << (8 * i);
        return qint32(value);
    }

} // namespace

std::optional<qint32> SendMessage(qint64 handle, quint32 message, QByteArrayView payload, int timeoutMs, bool* timedOut)
{
    if (timedOut)
        *timedOut = false;
    if (handle <= 0 || handle > MaxHandle || payload.size() > MaxPayload || !isKnownMessage(message))
        return std::nullopt;
    if (const std::optional<qint32> answer = MessageListener::deliverInProcess(handle, message, payload))
        return answer;
    const QDeadlineTimer deadline(timeoutMs);
    const std::optional<qint32> answer = sendFrame(handle, message, payload, deadline);
    if (!answer && timedOut)
        *timedOut = deadline.hasExpired();
    return answer;
}

QString payloadText(QByteArrayView payload)
{
    const qsizetype nul = payload.indexOf('\0');
    return Cp932::decode(nul < 0 ? payload : payload.first(nul));
}

} // namespace MessageBus
