// The companion link: the message bus over real Unix-domain sockets (delivery with its answer, the
// time limits, frames a hostile or broken sender may write), the texts, and the interpreter's visit.
#include "core/link/commandinterpreter.h"
#include "core/link/companioncommands.h"
#include "core/link/companionprotocol.h"
#include "core/link/messagebus.h"
#include "core/link/messagelistener.h"
#include "core/link/replysender.h"
#include "support/texttable.h"

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

using namespace Qt::StringLiterals;
using namespace CompanionProtocol;
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
    bool send(const QByteArray& b)
    {
        return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0
            && ::send(fd, b.constData(), size_t(b.size()), MSG_NOSIGNAL) == b.size();
    }
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

// Records every call as one text, in order; the list replies are fixed texts.
class RecordingCommands : public CompanionCommands {
public:
    QStringList calls;
    void disconnectServer() override { calls << u"disconnect"_s; }
    void endProgram() override { calls << u"end"_s; }
    void setMainWindowVisible(bool visible) override { calls << (visible ? u"show"_s : u"hide"_s); }
    void setCompanionReplyWindow(qint64 handle) override { calls << u"reply=%1"_s.arg(handle); }
    void SendToCompanion(const QString& text) override { calls << u"send "_s + text; }
    QString localListReply() override { return u"L"_s; }
    QString ftpListReply() override { return u"F"_s; }
    void changePermissions(const QString& mode, const QString& name) override
    {
        calls << u"permit %1 %2"_s.arg(mode, name);
    }
    void openLocalFolder(const QString& p) override { calls << u"chdir "_s + p; }
    void openFtpFolder(const QString& p) override { calls << u"ftpchdir "_s + p; }
    void localFolderUp() override { calls << u"upfile"_s; }
    void ftpFolderUp() override { calls << u"ftpupdir"_s; }
    void download(const QString& p) override { calls << u"download "_s + p; }
    void deleteLocal(const QString& p) override { calls << u"localkill "_s + p; }
    void deleteOnServer(const QString& p) override { calls << u"ftpkill "_s + p; }
    void upload(const QString& p) override { calls << u"upload "_s + p; }
    bool connectProfile(const QString& name) override
    {
        // The profiles "site one" and "Mirror": the name must equal a lower-cased profile name.
        const bool known = name == u"site one"_s || name == u"mirror"_s;
        if (known)
            calls << u"connect "_s + name;
        return known;
    }
};

} // namespace

class TestCompanionLink : public QObject {
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
        QTest::newRow("copydata, NUL, CP932")
            << qint64(-1) << WM_COPYDATA << QByteArray("<hello>\0\x82\xa0", 10) << true;
        QTest::newRow("exactly the limit")
            << qint64(-1) << WM_COPYDATA << QByteArray(MessageBus::MaxPayload, 'x') << true;
        QTest::newRow("over the limit") << qint64(-1) << WM_COPYDATA << QByteArray(MessageBus::MaxPayload + 1, 'x')
                                        << false;
        QTest::newRow("nobody listens") << qint64(4660) << WM_COPYDATA << QByteArray("abc") << false;
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
        // No event loop runs: a window of the sending thread gets the message within the call.
        QCOMPARE(
            MessageBus::SendMessage(listener.handle(), WM_SETTEXT, QByteArray("<mode=\x82\xa0>\0junk", 14)), Answered);
        QCOMPARE(received.size(), delivered ? 2 : 1);
        QCOMPARE(MessageBus::payloadText(received.last()[1].toByteArray()), QStringLiteral("<mode=あ>"));
    }

    void hostileFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("announces a byte over the limit")
            << le32(WM_COPYDATA) + le32(quint32(MessageBus::MaxPayload + 1));
        QTest::newRow("cut short in the payload") << le32(WM_COPYDATA) + le32(100) + QByteArray(50, 'x');
        QTest::newRow("unknown message number") << le32(0xdeadbeef) + le32(5) + "<end>";
    }
    void hostileFrames()
    {
        QFETCH(QByteArray, bytes);
        MessageListener listener;
        QVERIFY(listener.listen());
        QSignalSpy received(&listener, &MessageListener::messageReceived);
        {
            RawSocket client(listener.handle());
            QVERIFY(client.send(bytes));
            ::shutdown(client.fd, SHUT_WR);
            // Dropped without an answer, well before the receive limit.
            QCOMPARE(client.answerWithin(2000), QByteArray());
        }
        QCOMPARE(received.size(), 0);
        // The listener goes on serving.
        QCOMPARE(sendFromThread(listener.handle(), WM_COPYDATA, "<ftplist>"), Answered);
        QCOMPARE(received.size(), 1);
    }

    // Replies to a companion that takes the connection and never answers: sent off the window's
    // thread; after one time-out the handle counts as gone (no more connections) until named again.
    void muteCompanion()
    {
        QVERIFY(MessageBus::ensureFolder());
        RawSocket mute(4242);
        QVERIFY(mute.bind() && ::listen(mute.fd, 8) == 0);
        QList<int> taken;
        const auto take = [&](int ms) {
            for (pollfd p { mute.fd, POLLIN, 0 }; ::poll(&p, 1, ms) > 0; ms = 0)
                taken << ::accept(mute.fd, nullptr, nullptr);
            return taken.size();
        };
        const auto closedBySender = [](int fd) {
            char buf[256];
            for (pollfd p { fd, POLLIN, 0 }; ::poll(&p, 1, 0) > 0;)
                if (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) <= 0)
                    return true;
            return false;
        };
        ReplySender sender;
        sender.send(4242, WM_COPYDATA, "<hello>");
        sender.send(4242, WM_COPYDATA, "<ftplist>");
        QCOMPARE(take(2000), 1);
        QVERIFY(!closedBySender(taken[0])); // the sender still waits, and this thread goes on
        QTRY_VERIFY_WITH_TIMEOUT(sender.isGone(4242), MessageBus::SendTimeoutMs + 3000);
        QVERIFY(closedBySender(taken[0]));
        sender.send(4242, WM_COPYDATA, "dropped at once");
        QCOMPARE(take(500), 1);
        sender.revive(4242);
        sender.send(4242, WM_COPYDATA, "<hello>");
        QCOMPARE(take(2000), 2);
        for (int fd : taken)
            ::close(fd);
    }

    // A reply over the limit is cut at a whole line, says so, and keeps its closing tag.
    void replyOverTheLimit()
    {
        QString reply = u"<ftplist>"_s;
        for (int i = 0; i < 30000; ++i)
            reply += u"\r\nファイル%1.html           2024/03/15 09:05"_s.arg(i);
        reply += u"\r\n</ftplist>"_s;
        QCOMPARE(fittedPayload(reply, MessageBus::MaxPayload), copyDataPayload(reply));
        const QByteArray cut = fittedPayload(reply, 300);
        const QStringList lines = MessageBus::payloadText(cut).split(u"\r\n"_s);
        QVERIFY(cut.size() <= 300 && lines.size() > 3);
        QCOMPARE(lines.mid(0, 2), QStringList({ u"<ftplist>"_s, u"ファイル0.html           2024/03/15 09:05"_s }));
        QCOMPARE(lines.mid(lines.size() - 2),
            QStringList({ u"（一覧が長すぎるため、全30000件のうち%1件目以降を省きました）"_s.arg(lines.size() - 2),
                u"</ftplist>"_s }));
    }

    void folderIsPrivate()
    {
        const QByteArray path = QFile::encodeName(MessageBus::folder());
        QVERIFY(::mkdir(path.constData(), 0755) == 0 && MessageBus::ensureFolder());
        struct stat st { };
        QVERIFY(::lstat(path.constData(), &st) == 0 && (st.st_mode & 07777) == 0700);
        // A link in its place could lead anywhere: refused.
        QVERIFY(::rmdir(path.constData()) == 0
            && ::symlink(QFile::encodeName(m_runtime->path()).constData(), path.constData()) == 0);
        MessageListener listener;
        QVERIFY(!MessageBus::ensureFolder() && !listener.listen());
    }

    // "field": the value of field `arg`; "lines": the message lines joined with "|"; "name": the
    // name rule's target under the folder `arg`.
    void texts_data()
    {
        TextTable::rows({ "rule", "text", "arg", "expected" }, R"(
field of an upload | field | <mode=upload><path=/www><contents=<p>x=1 > 0</p>> | path | /www
contents keep < > = | field | <mode=upload><path=/www><contents=<p>x=1 > 0</p>> | contents | <p>x=1 > 0</p>
first occurrence wins | field | <mode=a><mode=b> | mode | a
a name that begins another | field | <names=x><name=y> | name | x
= found beyond the field | field | <mode><x=1> | mode | 1
contents without closing > | field | <contents=ab | contents | a
blank pieces dropped, others kept untrimmed | lines | \s<download>\r\n  a b.txt \r\n</download>\s\s | | <download>|  a b.txt |</download>
windows path under the folder | name | c:\\web\\img\\ | c:/web | img
unix path under the folder | name | /home/u/web/a.htm | /home/u/web | a.htm
folder text removed everywhere | name | /w/w/x | /w | x
)");
    }
    void texts()
    {
        QFETCH(QString, rule);
        QFETCH(QString, text);
        QFETCH(QString, arg);
        QFETCH(QString, expected);
        QCOMPARE(rule == u"field"  ? GetValue(text, arg)
                : rule == u"lines" ? messageLines(text).join(u'|')
                                   : nameRuleTarget(text, arg),
            expected);
    }

    void replies()
    {
        QCOMPARE(QStringList({ localListReply(u"c:\\web"_s,
                                   { { "img", "closed", {} }, { "a.htm", "leaf", {} }, { "t", "open", {} } }),
                     localListReply(u"/home/u"_s, {}),
                     ftpListReply({ { "pub", "closed", "drwxr-xr-x" }, { "a\\b.txt", "leaf", "-rw-r--r--" },
                         { "w", "open", "x" } }) }),
            QStringList({ u"<locallist>\r\nc:/web/img/\r\nc:/web/a.htm\r\nc:/web/t/\r\n</locallist>"_s,
                u"<locallist>\r\n</locallist>"_s,
                u"<ftplist>\r\npub/           drwxr-xr-x\r\na/b.txt           -rw-r--r--\r\nw           x\r\n</ftplist>"_s }));
        QCOMPARE(copyDataPayload(u"<hello>"_s) + copyDataPayload(u"ｱ"_s), QByteArray("<hello>\0\0\xb1\0\0", 12));
    }

    // The calls made, and the lines the visit leaves.
    void interpreter_data()
    {
        TextTable::rows({ "message", "calls", "left" }, R"(
invisible in capitals | <INVISIBLE> | hide |
mehandle | <mehandle>\r\n4660\r\n</mehandle> | reply=4660|send <hello> |
end answers by | <end><visible> | send <by>|end | <end>|<visible>
disconnect ends the visit | <disconnect><visible> | disconnect | <visible>
permit takes three lines before it | <x><permit>a.htm<644></permit> | permit <644> a.htm | <x>
permit plain values | <permit>\r\nindex.html\r\n755\r\n</permit> | permit 755 index.html |
localfilekill parameter before | <k>old.htm<localfilekill> | localkill old.htm |
name connects lower-case | <name>site one</name><visible> | connect site one | <visible>
name compared with the lower-cased profile | <name>Mirror</name> | | <name>|Mirror|</name>
second command after a consuming one is skipped | <download>a</download><visible><invisible> | download a | <visible>|<invisible>
fourth one is reached | <download>a</download><x><y><z><visible> | download a|show | <x>|<y>|<z>
commands without parameters run in turn | <upfile><ftpupdir><locallist> | upfile|ftpupdir|send L | <upfile>|<ftpupdir>
values keep their case and blanks | <download> Big File.TXT </download> | download  Big File.TXT\s |
)");
    }
    void interpreter()
    {
        QFETCH(QString, message);
        QFETCH(QString, calls);
        QFETCH(QString, left);
        RecordingCommands commands;
        QStringList lines = messageLines(message);
        CommandInterpreter::run(lines, commands);
        QCOMPARE(commands.calls.join(u'|') + u" / "_s + lines.join(u'|'), calls + u" / "_s + left);
    }
};

QTEST_GUILESS_MAIN(TestCompanionLink)
#include "tst_companionlink.moc"
