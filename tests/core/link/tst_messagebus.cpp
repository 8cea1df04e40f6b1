// The message bus over real Unix-domain sockets: delivery with its answer, the time limits, and
// frames a hostile or broken sender may write.
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray le32(quint32 v)
{
    QByteArray out(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        out[i] = char((v >> (8 * i)) & 0xff);
    return out;
}

QByteArray frame(quint32 message, const QByteArray& payload)
{
    return le32(message) + le32(quint32(payload.size())) + payload;
}

sockaddr_un addressOf(qint64 handle)
{
    sockaddr_un a {};
    a.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(MessageBus::socketPath(handle));
    std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
    return a;
}

// A sender that writes whatever it is given, byte for byte.
class RawClient {
public:
    explicit RawClient(qint64 handle)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const sockaddr_un a = addressOf(handle);
        m_connected = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { ::close(m_fd); }
    bool connected() const { return m_connected; }
    bool write(const QByteArray& bytes)
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
    }
    void finishWriting() { ::shutdown(m_fd, SHUT_WR); }
    // What the listener sent before closing, spinning the event loop meanwhile; "timeout" when it
    // did not close within `ms`.
    QByteArray answerWithin(int ms)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            pollfd p { m_fd, POLLIN, 0 };
            if (::poll(&p, 1, 10) <= 0)
                continue;
            char buf[64];
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return got;
            got.append(buf, n);
        }
        return QByteArrayLiteral("timeout");
    }

private:
    int m_fd;
    bool m_connected = false;
};

// SendMessage from another thread, so that the listener of this thread is reached by its socket.
std::optional<qint32> sendFromThread(qint64 handle, quint32 message, const QByteArray& payload, int timeoutMs = 5000)
{
    std::optional<qint32> result;
    std::atomic<bool> done { false };
    std::thread sender([&] {
        result = MessageBus::SendMessage(handle, message, payload, timeoutMs);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    sender.join();
    return result;
}

} // namespace

class TestMessageBus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void deliversWithAnswer_data();
    void deliversWithAnswer();
    void deliversInProcessAtOnce();
    void unreachableHandles_data();
    void unreachableHandles();
    void silentListenerTimesOut();
    void hostileFrames_data();
    void hostileFrames();
    void slowSenderNeitherBlocksNorStays();
    void staleSocketIsTakenOver();
    void liveHandleIsNotTaken();
    void folderIsPrivate();
    void mainHandleFile_data();
    void mainHandleFile();

private:
    std::unique_ptr<QTemporaryDir> m_runtime;
};

void TestMessageBus::init()
{
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(m_runtime->isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
}

void TestMessageBus::deliversWithAnswer_data()
{
    QTest::addColumn<quint32>("message");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("copydata with NUL and CP932") << MessageBus::WM_COPYDATA << QByteArray("<hello>\0\x82\xa0", 10);
    QTest::newRow("settext empty") << MessageBus::WM_SETTEXT << QByteArray();
    QTest::newRow("exactly the limit") << MessageBus::WM_COPYDATA << QByteArray(MessageBus::MaxPayload, 'x');
}

void TestMessageBus::deliversWithAnswer()
{
    QFETCH(quint32, message);
    QFETCH(QByteArray, payload);
    MessageListener listener;
    QVERIFY2(listener.listen(), qPrintable(listener.errorString()));
    QVERIFY(listener.handle() > 0 && listener.handle() <= MessageBus::MaxHandle);
    QSignalSpy received(&listener, &MessageListener::messageReceived);

    QCOMPARE(sendFromThread(listener.handle(), message, payload), std::optional<qint32>(0));
    QCOMPARE(received.size(), 1);
    QCOMPARE(received[0][0].toUInt(), message);
    QCOMPARE(received[0][1].toByteArray(), payload);
}

void TestMessageBus::deliversInProcessAtOnce()
{
    MessageListener listener;
    QVERIFY(listener.listen());
    QSignalSpy received(&listener, &MessageListener::messageReceived);
    // No event loop runs: a window of the sending thread gets the message within the call.
    QCOMPARE(
        MessageBus::SendMessage(listener.handle(), MessageBus::WM_SETTEXT, "<mode=end>"), std::optional<qint32>(0));
    QCOMPARE(received.size(), 1);
    QCOMPARE(MessageBus::payloadText(received[0][1].toByteArray()), QStringLiteral("<mode=end>"));
}

void TestMessageBus::unreachableHandles_data()
{
    QTest::addColumn<qint64>("handle");
    QTest::addColumn<quint32>("message");
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("nobody listens") << qint64(4660) << MessageBus::WM_COPYDATA << qsizetype(3);
    QTest::newRow("handle 0") << qint64(0) << MessageBus::WM_COPYDATA << qsizetype(3);
    QTest::newRow("negative handle") << qint64(-5) << MessageBus::WM_COPYDATA << qsizetype(3);
    QTest::newRow("beyond 2^31") << qint64(1) + MessageBus::MaxHandle << MessageBus::WM_COPYDATA << qsizetype(3);
    QTest::newRow("unknown message") << qint64(-1) << quint32(0x10) << qsizetype(3);
    QTest::newRow("over the limit") << qint64(-1) << MessageBus::WM_COPYDATA << qsizetype(MessageBus::MaxPayload + 1);
}

void TestMessageBus::unreachableHandles()
{
    QFETCH(qint64, handle);
    QFETCH(quint32, message);
    QFETCH(qsizetype, size);
    MessageListener listener;
    QVERIFY(listener.listen());
    QSignalSpy received(&listener, &MessageListener::messageReceived);
    if (handle == -1)
        handle = listener.handle();
    QElapsedTimer t;
    t.start();
    QCOMPARE(sendFromThread(handle, message, QByteArray(size, 'a')), std::nullopt);
    QVERIFY(t.elapsed() < 2000);
    QTest::qWait(50);
    QCOMPARE(received.size(), 0);
}

void TestMessageBus::silentListenerTimesOut()
{
    // A socket that accepts (the kernel does) but never answers.
    QVERIFY(MessageBus::ensureFolder());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = addressOf(777);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    QCOMPARE(::listen(fd, 4), 0);
    QElapsedTimer t;
    t.start();
    QCOMPARE(MessageBus::SendMessage(777, MessageBus::WM_COPYDATA, "<end>", 300), std::nullopt);
    QVERIFY(t.elapsed() >= 250 && t.elapsed() < 2000);
    ::close(fd);
}

void TestMessageBus::hostileFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("announces a byte over 1 MiB")
        << le32(MessageBus::WM_COPYDATA) + le32(quint32(MessageBus::MaxPayload + 1));
    QTest::newRow("announces 4 GiB") << le32(MessageBus::WM_SETTEXT) + le32(0xffffffffu) + QByteArray(100, 'x');
    QTest::newRow("cut short in the payload") << le32(MessageBus::WM_COPYDATA) + le32(100) + QByteArray(50, 'x');
    QTest::newRow("cut short in the header") << QByteArray("\x4a\0\0", 3);
    QTest::newRow("unknown message number") << frame(0xdeadbeef, "<end>");
    QTest::newRow("nothing at all") << QByteArray();
}

void TestMessageBus::hostileFrames()
{
    QFETCH(QByteArray, bytes);
    MessageListener listener;
    QVERIFY(listener.listen());
    QSignalSpy received(&listener, &MessageListener::messageReceived);
    {
        RawClient client(listener.handle());
        QVERIFY(client.connected());
        QVERIFY(client.write(bytes));
        client.finishWriting();
        // Dropped without an answer, well before the receive limit.
        QCOMPARE(client.answerWithin(2000), QByteArray());
    }
    QCOMPARE(received.size(), 0);
    // The listener goes on serving.
    QCOMPARE(sendFromThread(listener.handle(), MessageBus::WM_COPYDATA, "<ftplist>"), std::optional<qint32>(0));
    QCOMPARE(received.size(), 1);
}

void TestMessageBus::slowSenderNeitherBlocksNorStays()
{
    MessageListener listener;
    QVERIFY(listener.listen());
    QSignalSpy received(&listener, &MessageListener::messageReceived);
    RawClient slow(listener.handle());
    QVERIFY(slow.connected());
    QVERIFY(slow.write(le32(MessageBus::WM_COPYDATA) + le32(10) + "<en"));
    // Meanwhile others are served.
    QCOMPARE(sendFromThread(listener.handle(), MessageBus::WM_COPYDATA, "<visible>"), std::optional<qint32>(0));
    QCOMPARE(received.size(), 1);
    QElapsedTimer t;
    t.start();
    QCOMPARE(slow.answerWithin(MessageListener::ReceiveTimeoutMs + 3000), QByteArray());
    QVERIFY(t.elapsed() < MessageListener::ReceiveTimeoutMs + 1500);
    QCOMPARE(received.size(), 1);
}

void TestMessageBus::staleSocketIsTakenOver()
{
    // A socket file whose program crashed: bound, never unlinked, nobody listening.
    QVERIFY(MessageBus::ensureFolder());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = addressOf(4242);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a), 0);
    ::close(fd);
    QVERIFY(QFile::exists(MessageBus::socketPath(4242)));

    MessageListener listener;
    QVERIFY2(listener.listen(4242), qPrintable(listener.errorString()));
    QSignalSpy received(&listener, &MessageListener::messageReceived);
    QCOMPARE(sendFromThread(4242, MessageBus::WM_COPYDATA, "<by>"), std::optional<qint32>(0));
    QCOMPARE(received.size(), 1);
    listener.close();
    QVERIFY(!QFile::exists(MessageBus::socketPath(4242)));
}

void TestMessageBus::liveHandleIsNotTaken()
{
    MessageListener first;
    QVERIFY(first.listen());
    MessageListener second;
    QVERIFY(!second.listen(first.handle()));
    QVERIFY(!second.errorString().isEmpty());
    // A handle of its own is found instead.
    QVERIFY(second.listen());
    QVERIFY(second.handle() != first.handle());
    QSignalSpy toFirst(&first, &MessageListener::messageReceived);
    QCOMPARE(sendFromThread(first.handle(), MessageBus::WM_COPYDATA, "x"), std::optional<qint32>(0));
    QCOMPARE(toFirst.size(), 1);
}

void TestMessageBus::folderIsPrivate()
{
    const QByteArray path = QFile::encodeName(MessageBus::folder());
    QVERIFY(::mkdir(path.constData(), 0755) == 0);
    QVERIFY(MessageBus::ensureFolder());
    struct stat st { };
    QCOMPARE(::lstat(path.constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0700));

    // A link in its place could lead anywhere: refused.
    QVERIFY(::rmdir(path.constData()) == 0);
    QVERIFY(::symlink(QFile::encodeName(m_runtime->path()).constData(), path.constData()) == 0);
    QString error;
    QVERIFY(!MessageBus::ensureFolder(&error));
    QVERIFY(!error.isEmpty());
    MessageListener listener;
    QVERIFY(!listener.listen());
}

void TestMessageBus::mainHandleFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<qint64>("handle");
    QTest::newRow("number and line end") << QByteArray("123456\n") << qint64(123456);
    QTest::newRow("CR LF") << QByteArray("77\r\n") << qint64(77);
    QTest::newRow("garbage") << QByteArray("main\n") << qint64(0);
    QTest::newRow("zero") << QByteArray("0\n") << qint64(0);
    QTest::newRow("beyond 2^31") << QByteArray("2147483648\n") << qint64(0);
    QTest::newRow("missing") << QByteArray() << qint64(0);
}

void TestMessageBus::mainHandleFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(qint64, handle);
    QVERIFY(MessageBus::ensureFolder());
    if (!contents.isEmpty()) {
        QFile f(MessageBus::mainHandleFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    QCOMPARE(MessageBus::readMainHandle(), handle);
}

QTEST_GUILESS_MAIN(TestMessageBus)
#include "tst_messagebus.moc"
