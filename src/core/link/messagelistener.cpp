#include "core/link/messagelistener.h"

#include "core/link/messagebus.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr qsizetype HeaderBytes = 8;

quint32 le32(const char* in)
{
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(quint8(in[i])) << (8 * i);
    return value;
}

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// The listeners of this process by handle, for delivery without the socket.
QMutex registryMutex;
QHash<qint64, MessageListener*>& registry()
{
    static QHash<qint64, MessageListener*> listeners;
    return listeners;
}

bool fillAddress(const QString& path, sockaddr_un* address)
{
    const QByteArray bytes = QFile::encodeName(path);
    *address = {};
    address->sun_family = AF_UNIX;
    if (size_t(bytes.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, bytes.constData(), size_t(bytes.size()));
    return true;
}

// True when someone accepts connections on the socket at `address`.
bool someoneListens(const sockaddr_un& address)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true;
    const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    ::close(fd);
    // EAGAIN: a full backlog, so somebody is there.
    return r == 0 || error == EAGAIN;
}

} // namespace

MessageListener::MessageListener(QObject* parent)
    : QObject(parent)
{
}

MessageListener::~MessageListener() { close(); }

bool MessageListener::listen(qint64 handle)
{
    close();
    if (handle < 0 || handle > MessageBus::MaxHandle) {
        m_error = QStringLiteral("メッセージのハンドルが正しくありません: %1").arg(handle);
        return false;
    }
    if (!MessageBus::ensureFolder(&m_error))
        return false;

    if (handle > 0) {
        if (bindUnder(handle) != Bind::Bound)
            return false;
    } else {
        // The process id keeps handles of different programs apart; the counter those of one.
        static std::atomic<quint32> counter { 0 };
        const qint64 pid = ::getpid();
        Bind result = Bind::Taken;
        for (int attempt = 0; attempt < 64 && result == Bind::Taken; ++attempt) {
            const quint32 n = ++counter;
            const qint64 candidate = n < 64 && pid < (qint64(1) << 24)
                ? pid * 64 + n
                : 1 + qint64(QRandomGenerator::global()->bounded(quint32(MessageBus::MaxHandle)));
            result = bindUnder(candidate);
        }
        if (result != Bind::Bound) {
            if (result == Bind::Taken)
                m_error = QStringLiteral("メッセージのハンドルを決められません");
            return false;
        }
    }

    m_acceptNotifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &MessageListener::acceptPending);
    m_staleTimer = new QTimer(this);
    m_staleTimer->setInterval(500);
    connect(m_staleTimer, &QTimer::timeout, this, &MessageListener::dropStale);
    {
        QMutexLocker lock(&registryMutex);
        registry().insert(m_handle, this);
    }
    return true;
}

MessageListener::Bind MessageListener::bindUnder(qint64 handle)
{
    const QString path = MessageBus::socketPath(handle);
    sockaddr_un address;
    if (!fillAddress(path, &address)) {
        m_error = QStringLiteral("メッセージ用のフォルダーの名前が長すぎます: %1").arg(MessageBus::folder());
        return Bind::Failed;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return Bind::Failed;
    }
    auto tryBind = [&] { return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0; };
    bool bound = tryBind();
    if (!bound && errno == EADDRINUSE) {
        struct stat st { };
        const bool isSocket = ::lstat(address.sun_path, &st) == 0 && S_ISSOCK(st.st_mode);
        // Left behind by a run that ended without closing: nobody answers on it.
        if (isSocket && !someoneListens(address) && ::unlink(address.sun_path) == 0)
            bound = tryBind();
        if (!bound) {
            ::close(fd);
            m_error = QStringLiteral("メッセージのハンドル %1 は使われています").arg(handle);
            return Bind::Taken;
        }
    }
    if (!bound || ::listen(fd, 16) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return Bind::Failed;
    }
    m_fd = fd;
    m_handle = handle;
    m_path = path;
    return Bind::Bound;
}

void MessageListener::close()
{
    if (m_fd < 0)
        return;
    {
        QMutexLocker lock(&registryMutex);
        registry().remove(m_handle);
    }
    while (!m_connections.empty())
        dropConnection(m_connections.back().fd);
    delete m_acceptNotifier;
    m_acceptNotifier = nullptr;
    delete m_staleTimer;
    m_staleTimer = nullptr;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
    m_handle = 0;
}

std::optional<qint32> MessageListener::deliverInProcess(qint64 handle, quint32 message, QByteArrayView payload)
{
    QPointer<MessageListener> listener;
    {
        QMutexLocker lock(&registryMutex);
        MessageListener* found = registry().value(handle);
        if (!found || found->thread() != QThread::currentThread())
            return std::nullopt;
        listener = found;
    }
    Q_EMIT listener->messageReceived(message, payload.toByteArray());
    return 0;
}

void MessageListener::acceptPending()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        // Many senders at once are no companion: the newest waits for nobody.
        if (m_connections.size() >= size_t(MaxConnections)) {
            ::close(fd);
            continue;
        }
        Connection c;
        c.fd = fd;
        c.startedMs = nowMs();
        ucred peer {};
        socklen_t peerLength = sizeof peer;
        const bool sameUser
            = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) == 0 && peer.uid == ::getuid();
        c.maxPayload = sameUser ? MessageBus::MaxPayload : MessageBus::ForeignMaxPayload;
        c.notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
        connect(c.notifier, &QSocketNotifier::activated, this, [this, fd] { readFrom(fd); });
        m_connections.push_back(std::move(c));
        m_staleTimer->start();
    }
}

MessageListener::Connection* MessageListener::connectionOf(int fd)
{
    for (Connection& c : m_connections)
        if (c.fd == fd)
            return &c;
    return nullptr;
}

void MessageListener::readFrom(int fd)
{
    Connection* c = connectionOf(fd);
    if (!c)
        return;
    qsizetype needed = HeaderBytes;
    for (;;) {
        if (c->buffer.size() >= HeaderBytes) {
            const quint32 message = le32(c->buffer.constData());
            const quint32 length = le32(c->buffer.constData() + 4);
            if (!MessageBus::isKnownMessage(message) || length > c->maxPayload) {
                dropConnection(fd);
                return;
            }
            needed = HeaderBytes + qsizetype(length);
            if (c->buffer.size() >= needed)
                break;
        }
        char chunk[65536];
        const size_t want = size_t(std::min<qsizetype>(qsizetype(sizeof chunk), needed - c->buffer.size()));
        const ssize_t n = ::recv(fd, chunk, want, 0);
        if (n > 0) {
            c->buffer.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return; // the rest comes later
        // The sender closed (or failed) before the frame was complete.
        dropConnection(fd);
        return;
    }

    const quint32 message = le32(c->buffer.constData());
    const QByteArray payload = c->buffer.mid(HeaderBytes, needed - HeaderBytes);
    const char answer[4] = { 0, 0, 0, 0 };
    // Four bytes fit into any socket buffer; a sender that is gone does not matter.
    (void)::send(fd, answer, sizeof answer, MSG_NOSIGNAL);
    dropConnection(fd);
    Q_EMIT messageReceived(message, payload);
}

void MessageListener::dropConnection(int fd)
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->fd != fd)
            continue;
        it->notifier->setEnabled(false);
        it->notifier->deleteLater();
        ::close(it->fd);
        m_connections.erase(it);
        break;
    }
    if (m_connections.empty() && m_staleTimer)
        m_staleTimer->stop();
}

void MessageListener::dropStale()
{
    const qint64 limit = nowMs() - ReceiveTimeoutMs;
    std::vector<int> stale;
    for (const Connection& c : m_connections)
        if (c.startedMs < limit)
            stale.push_back(c.fd);
    for (int fd : stale)
        dropConnection(fd);
}
