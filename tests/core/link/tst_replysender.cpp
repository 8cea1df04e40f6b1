// Replies to the companion: never blocking the window, never dropped without a word.
#include "core/link/companionprotocol.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"
#include "core/link/replysender.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

class TestReplySender : public QObject {
    Q_OBJECT
    QTemporaryDir m_runtime;

    // A receiver that takes connections and never answers; counts them.
    struct Mute {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QList<int> taken;
        explicit Mute(qint64 handle)
        {
            sockaddr_un a { AF_UNIX, {} };
            const QByteArray p = QFile::encodeName(MessageBus::socketPath(handle));
            std::memcpy(a.sun_path, p.constData(), size_t(p.size()));
            ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
            ::listen(fd, 8);
        }
        ~Mute()
        {
            for (int c : taken)
                ::close(c);
            ::close(fd);
        }
        void takeWithin(int ms)
        {
            pollfd p { fd, POLLIN, 0 };
            while (::poll(&p, 1, ms) > 0)
                taken << ::accept(fd, nullptr, nullptr), ms = 0;
        }
        // The sender gave up on a connection when it closed its end.
        bool closedBySender(int c)
        {
            pollfd p { c, POLLIN, 0 };
            char buf[65536];
            while (::poll(&p, 1, 0) > 0)
                if (::recv(c, buf, sizeof buf, MSG_DONTWAIT) <= 0)
                    return true;
            return false;
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toUtf8());
        QVERIFY(MessageBus::ensureFolder());
    }

    // Two replies to a receiver that never answers: the window goes on at once, the first costs the
    // time limit on the sender's thread, the second is dropped without a connection, until the
    // companion names its window again.
    void muteReceiver()
    {
        Mute mute(4242);
        ReplySender sender;
        sender.send(4242, MessageBus::WM_COPYDATA, "<hello>");
        sender.send(4242, MessageBus::WM_COPYDATA, "<ftplist>");
        mute.takeWithin(2000);
        QCOMPARE(mute.taken.size(), 1);
        QVERIFY(!mute.closedBySender(mute.taken[0])); // still waiting for the answer: not on this thread
        QTRY_VERIFY_WITH_TIMEOUT(sender.isGone(4242), MessageBus::SendTimeoutMs + 3000);
        QVERIFY(mute.closedBySender(mute.taken[0]));
        mute.takeWithin(500);
        QCOMPARE(mute.taken.size(), 1);

        sender.send(4242, MessageBus::WM_COPYDATA, "dropped at once");
        sender.revive(4242);
        sender.send(4242, MessageBus::WM_COPYDATA, "<hello>");
        mute.takeWithin(2000);
        QCOMPARE(mute.taken.size(), 2);
    }

    // A list of 30,000 entries crosses the bus whole; what would not fit is cut with a line that
    // says so, and the closing tag always comes.
    void longReplies()
    {
        QStringList rows;
        for (int i = 0; i < 30000; ++i)
            rows << QStringLiteral("\r\nファイル%1.html           2024/03/15 09:05").arg(i);
        const QString reply = "<ftplist>" + rows.join(QString()) + "\r\n</ftplist>";
        MessageListener listener;
        QVERIFY(listener.listen());
        QSignalSpy got(&listener, &MessageListener::messageReceived);
        // From another thread, so the frame goes over the socket.
        std::thread([&] {
            MessageBus::SendMessage(listener.handle(), MessageBus::WM_COPYDATA,
                CompanionProtocol::fittedPayload(reply, MessageBus::MaxPayload));
        }).detach();
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), 1, 10000);
        QCOMPARE(MessageBus::payloadText(got[0][1].toByteArray()), reply);

        const QByteArray cut = CompanionProtocol::fittedPayload(reply, 300);
        const QStringList lines = MessageBus::payloadText(cut).split("\r\n");
        QVERIFY(cut.size() <= 300 && lines.size() > 3);
        QCOMPARE(lines.mid(0, 2), QStringList({ "<ftplist>", "ファイル0.html           2024/03/15 09:05" }));
        QCOMPARE(lines.mid(lines.size() - 2),
            QStringList(
                { QStringLiteral("（一覧が長すぎるため、全30000件のうち%1件目以降を省きました）").arg(lines.size() - 2),
                    "</ftplist>" }));
    }
};

QTEST_GUILESS_MAIN(TestReplySender)
#include "tst_replysender.moc"
