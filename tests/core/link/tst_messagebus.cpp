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
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using MessageBus::WM_COPYDATA;
using MessageBus::WM_SETTEXT;

namespace {

// Little-endian, as the test machines are.
QByteArray le32(quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }

// A socket of the bus: bound (and listening) by the test itself, or connected to a handle.
struct RawSocket {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address { AF_UNIX, {} };
    explicit RawSocket(qint64 handle)
    {
        const QByteArray p = QFile::encodeName(MessageBus::socketPath(handle));
        std::memcpy(address.sun_path, p.constData(), size_t(p.size()));
    }
    ~RawSocket() { ::close(fd); }
    bool bind() { return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0; }
    bool connect() { return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0; }
    bool write(const QByteArray& b) { return ::send(fd, b.constData(), size_t(b.size()), MSG_NOSIGNAL) == b.size(); }
    // What the listener sent before closing, spinning the event loop meanwhile; "timeout" when it
    // did not close within `ms`.
    QByteArray answerWithin(int ms)
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, 10) <= 0)
                continue;
            char buf[64];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return got;
            got.append(buf, n);
        }
        return QByteArrayLiteral("timeout");
    }
};

// SendMessage from another thread, so that the listener of this thread is reached by its socket.
std::optional<qint32> sendFromThread(qint64 handle, quint32 message, const QByteArray& payload)
{
    std::optional<qint32> result;
    std::atomic<bool> done { false };
    std::thread sender([&] {
        result = MessageBus::SendMessage(handle, message, payload);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    sender.join();
    return result;
}

const std::optional<qint32> Answered(0);

} // namespace

class TestMessageBus : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_runtime;

private Q_SLOTS:
    void init()
    {
        m_runtime = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
    }

    void sends_data()
    {
        QTest::addColumn<qint64>("handle"); // -1: the listener's
        QTest::addColumn<quint32>("message");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("delivered");
        const auto row = [](const char* tag, qint64 handle, quint32 message, const QByteArray& payload,
                             bool delivered) { QTest::newRow(tag) << handle << message << payload << delivered; };
        row("copydata with NUL and CP932", -1, WM_COPYDATA, QByteArray("<hello>\0\x82\xa0", 10), true);
        row("settext empty", -1, WM_SETTEXT, QByteArray(), true);
        row("exactly the limit", -1, WM_COPYDATA, QByteArray(MessageBus::MaxPayload, 'x'), true);
        row("over the limit", -1, WM_COPYDATA, QByteArray(MessageBus::MaxPayload + 1, 'x'), false);
        row("unknown message", -1, 0x10, "abc", false);
        row("nobody listens", 4660, WM_COPYDATA, "abc", false);
        row("handle 0", 0, WM_COPYDATA, "abc", false);
        row("negative handle", -5, WM_COPYDATA, "abc", false);
        row("beyond 2^31", MessageBus::MaxHandle + 1, WM_COPYDATA, "abc", false);
    }
    void sends()
    {
        QFETCH(qint64, handle);
        QFETCH(quint32, message);
        QFETCH(QByteArray, payload);
        QFETCH(bool, delivered);
        MessageListener listener;
        QVERIFY2(listener.listen(), qPrintable(listener.errorString()));
        QVERIFY(listener.handle() > 0 && listener.handle() <= MessageBus::MaxHandle);
        QSignalSpy received(&listener, &MessageListener::messageReceived);
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendFromThread(handle == -1 ? listener.handle() : handle, message, payload),
            delivered ? Answered : std::nullopt);
        QVERIFY(t.elapsed() < 2000);
        QTest::qWait(delivered ? 0 : 50);
        QCOMPARE(received, (delivered ? QList<QVariantList> { { message, payload } } : QList<QVariantList> {}));
    }

    void deliversInProcessAtOnce()
    {
        MessageListener listener;
        QVERIFY(listener.listen());
        QSignalSpy received(&listener, &MessageListener::messageReceived);
        // No event loop runs: a window of the sending thread gets the message within the call.
        QCOMPARE(
            MessageBus::SendMessage(listener.handle(), WM_SETTEXT, QByteArray("<mode=\x82\xa0>\0junk", 14)), Answered);
        QCOMPARE(received.size(), 1);
        QCOMPARE(MessageBus::payloadText(received[0][1].toByteArray()), QStringLiteral("<mode=あ>"));
    }

    void silentListenerTimesOut()
    {
        // A socket that accepts (the kernel does) but never answers.
        QVERIFY(MessageBus::ensureFolder());
        RawSocket silent(777);
        QVERIFY(silent.bind() && ::listen(silent.fd, 4) == 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(MessageBus::SendMessage(777, WM_COPYDATA, "<end>", 300), std::nullopt);
        QVERIFY(t.elapsed() >= 250 && t.elapsed() < 2000);
    }

    void hostileFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("announces a byte over 1 MiB") << le32(WM_COPYDATA) + le32(quint32(MessageBus::MaxPayload + 1));
        QTest::newRow("announces 4 GiB") << le32(WM_SETTEXT) + le32(0xffffffffu) + QByteArray(100, 'x');
        QTest::newRow("cut short in the payload") << le32(WM_COPYDATA) + le32(100) + QByteArray(50, 'x');
        QTest::newRow("cut short in the header") << QByteArray("\x4a\0\0", 3);
        QTest::newRow("unknown message number") << le32(0xdeadbeef) + le32(5) + "<end>";
        QTest::newRow("nothing at all") << QByteArray();
    }
    void hostileFrames()
    {
        QFETCH(QByteArray, bytes);
        MessageListener listener;
        QVERIFY(listener.listen());
        QSignalSpy received(&listener, &MessageListener::messageReceived);
        {
            RawSocket client(listener.handle());
            QVERIFY(client.connect() && client.write(bytes));
            ::shutdown(client.fd, SHUT_WR);
            // Dropped without an answer, well before the receive limit.
            QCOMPARE(client.answerWithin(2000), QByteArray());
        }
        QCOMPARE(received.size(), 0);
        // The listener goes on serving.
        QCOMPARE(sendFromThread(listener.handle(), WM_COPYDATA, "<ftplist>"), Answered);
        QCOMPARE(received.size(), 1);
    }

    void slowSenderNeitherBlocksNorStays()
    {
        MessageListener listener;
        QVERIFY(listener.listen());
        QSignalSpy received(&listener, &MessageListener::messageReceived);
        RawSocket slow(listener.handle());
        QVERIFY(slow.connect() && slow.write(le32(WM_COPYDATA) + le32(10) + "<en"));
        // Meanwhile others are served.
        QCOMPARE(sendFromThread(listener.handle(), WM_COPYDATA, "<visible>"), Answered);
        QCOMPARE(received.size(), 1);
        QElapsedTimer t;
        t.start();
        QCOMPARE(slow.answerWithin(MessageListener::ReceiveTimeoutMs + 3000), QByteArray());
        QVERIFY(t.elapsed() < MessageListener::ReceiveTimeoutMs + 1500);
        QCOMPARE(received.size(), 1);
    }

    void staleSocketIsTakenOverALiveOneNot()
    {
        // A socket file whose program crashed: bound, never unlinked, nobody listening.
        QVERIFY(MessageBus::ensureFolder());
        QVERIFY(RawSocket(4242).bind());
        QVERIFY(QFile::exists(MessageBus::socketPath(4242)));
        MessageListener listener;
        QVERIFY2(listener.listen(4242), qPrintable(listener.errorString()));
        QSignalSpy received(&listener, &MessageListener::messageReceived);
        QCOMPARE(sendFromThread(4242, WM_COPYDATA, "<by>"), Answered);
        QCOMPARE(received.size(), 1);

        MessageListener second;
        QVERIFY(!second.listen(4242));
        QVERIFY(!second.errorString().isEmpty());
        // A handle of its own is found instead.
        QVERIFY(second.listen());
        QVERIFY(second.handle() != 4242);
        QCOMPARE(sendFromThread(4242, WM_COPYDATA, "x"), Answered);
        QCOMPARE(received.size(), 2);
        listener.close();
        QVERIFY(!QFile::exists(MessageBus::socketPath(4242)));
    }

    void folderIsPrivate()
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

    void mainHandleFile_data()
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
    void mainHandleFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(qint64, handle);
        QVERIFY(MessageBus::ensureFolder());
        QFile f(MessageBus::mainHandleFile());
        if (!contents.isEmpty())
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size() && f.flush());
        QCOMPARE(MessageBus::readMainHandle(), handle);
    }
};

QTEST_GUILESS_MAIN(TestMessageBus)
#include "tst_messagebus.moc"
