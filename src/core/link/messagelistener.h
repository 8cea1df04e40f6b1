#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;

// A window's ear on the message bus (MessageBus): listens on the socket of its handle and emits
// each complete message. The wire is read as it comes, on the event loop: a slow or silent sender
// never blocks the window; it is dropped after ReceiveTimeoutMs. A frame that announces more than
// MaxPayload bytes (ForeignMaxPayload from another user) is refused, one cut short is dropped, an unknown message
// number is dropped; none of them is answered. A complete message is answered with 0 before it is emitted, so a
// receiver that works long does not keep the sender waiting.
//
// A socket left behind by a crashed run (no one listening) is removed and taken over; a socket
// somebody listens on is left alone and another handle is chosen.
class MessageListener : public QObject {
    Q_OBJECT
public:
    static constexpr int ReceiveTimeoutMs = 5000;
    static constexpr int MaxConnections = 16;

    explicit MessageListener(QObject* parent = nullptr);
    ~MessageListener() override;

    // Listens under `handle`, or under a new handle of this process when 0. False (with
    // errorString()) when the bus folder or the socket cannot be made, or `handle` is taken.
    bool listen(qint64 handle = 0);
    void close();
    bool isListening() const { return m_fd >= 0; }
    qint64 handle() const { return m_handle; }
    QString errorString() const { return m_error; }

    // Delivery inside the process, for MessageBus::SendMessage: the listener of `handle`, when it
    // lives on the calling thread, emits the message at once. No answer when there is none.
    static std::optional<qint32> deliverInProcess(qint64 handle, quint32 message, QByteArrayView payload);

Q_SIGNALS:
    void messageReceived(quint32 message, const QByteArray& payload);

private:
    struct Connection {
        int fd = -1;
        QSocketNotifier* notifier = nullptr;
        QByteArray buffer;
        qint64 startedMs = 0;
        qint64 maxPayload = 0; // smaller for a sender that is another user
    };
    enum class Bind { Bound, Taken, Failed };

    Bind bindUnder(qint64 handle);
    void acceptPending();
    void readFrom(int fd);
    void dropConnection(int fd);
    void dropStale();
    Connection* connectionOf(int fd);

    int m_fd = -1;
    qint64 m_handle = 0;
    QString m_path;
    QString m_error;
    QSocketNotifier* m_acceptNotifier = nullptr;
    QTimer* m_staleTimer = nullptr;
    std::vector<Connection> m_connections;
};
