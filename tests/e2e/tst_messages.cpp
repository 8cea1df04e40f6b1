// The real program started with "<message invisible>", driven over the message bus by
// ftptarvo-msg as the companion editor would, against a real FTP server: what each command does
// on both sides, and what comes back to the companion.
#include "core/app/codepage.h"
#include "core/link/messagebus.h"
#include "support/ftpserverfixture.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

// One profile "Site One" for the server, starting in its folder "pub".
QByteArray settingsFor(const FtpServerFixture& server)
{
    return SettingsFiles::profileSettings(server, QStringLiteral("Site One"), QStringLiteral("pub"));
}

// "rwxr-xr-x": the permission column as the FTP list shows it.
QString modeText(const QString& path)
{
    const QFileInfo info(path);
    const QFileDevice::Permissions p = info.permissions();
    QString text;
    const QFileDevice::Permission bits[] = { QFileDevice::ReadOwner, QFileDevice::WriteOwner, QFileDevice::ExeOwner,
        QFileDevice::ReadGroup, QFileDevice::WriteGroup, QFileDevice::ExeGroup, QFileDevice::ReadOther,
        QFileDevice::WriteOther, QFileDevice::ExeOther };
    for (int i = 0; i < 9; ++i)
        text += (p & bits[i]) ? QLatin1Char("rwxrwxrwx"[i]) : QLatin1Char('-');
    return text;
}

QString unescape(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar c = text[++i];
        if (c == u'r')
            out += u'\r';
        else if (c == u'n')
            out += u'\n';
        else if (c == u't')
            out += u'\t';
        else if (c == u'x' && i + 2 < text.size()) {
            out += QChar(text.mid(i + 1, 2).toUShort(nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

// ftptarvo-msg --listen: the companion's window that receives the replies.
class Companion {
public:
    bool start(QString* error)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(FTPTARVO_MSG_BINARY),
            { QStringLiteral("--listen"), QStringLiteral("--timeout"), QStringLiteral("240") });
        if (!m_process.waitForStarted(5000) || !waitLine(5000)) {
            *error = QStringLiteral("ftptarvo-msg --listen did not start");
            return false;
        }
        const QString first = m_lines.takeFirst();
        m_handle = first.section(u' ', 1).toLongLong();
        return first.startsWith(QLatin1String("handle ")) && m_handle > 0;
    }
    ~Companion()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    qint64 handle() const { return m_handle; }
    // The next message as "0x4A text", the text unescaped; empty after `ms` without one.
    QString next(int ms = 15000)
    {
        if (m_lines.isEmpty() && !waitLine(ms))
            return QString();
        const QString line = m_lines.takeFirst();
        return line.left(5) + unescape(line.mid(5));
    }

private:
    bool waitLine(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            while (m_process.canReadLine())
                m_lines.append(QString::fromUtf8(m_process.readLine()).chopped(1));
            if (!m_lines.isEmpty())
                return true;
            m_process.waitForReadyRead(100);
        }
        return false;
    }

    QProcess m_process;
    QStringList m_lines;
    qint64 m_handle = 0;
};

// ftptarvo-msg main TEXT: one command message to the program; true when it was answered.
bool command(const QString& text)
{
    QProcess msg;
    msg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    msg.start(QStringLiteral(FTPTARVO_MSG_BINARY), { QStringLiteral("main"), text });
    return msg.waitForFinished(10000) && msg.exitCode() == 0 && msg.readAllStandardOutput() == "0\n";
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void companionDrivesTheProgram();
    void toolSendsAndListens();
};

void TestMessages::companionDrivesTheProgram()
{
    FtpServerFixture server(FtpServerFixture::Kind::Pyftpdlib);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QString root = server.root();
    QVERIFY(QDir(root).mkpath(QStringLiteral("pub/docs")));
    QVERIFY(writeBytes(root + QStringLiteral("/pub/readme.txt"), "read me\r\n"));
    QVERIFY(writeBytes(root + QStringLiteral("/pub/docs/old.htm"), "<p>old</p>"));
    QVERIFY(writeBytes(root + QStringLiteral("/pub/docs/note.txt"), "note"));

    QTemporaryDir data, home, runtime;
    QVERIFY(data.isValid() && home.isValid() && runtime.isValid());
    QVERIFY(writeBytes(data.filePath(QStringLiteral("ftpset.ini")), settingsFor(server)));
    const QString work = home.filePath(QStringLiteral("work"));
    QVERIFY(writeBytes(work + QStringLiteral("/up.txt"), "up\r\n"));
    // ftptarvo-msg and the program meet in this bus folder.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FTPTARVO_HOME"), data.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(FTPTARVO_BINARY), { QStringLiteral("<message"), QStringLiteral("invisible>") });
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));
    auto cleanup = qScopeGuard([&program] {
        program.kill();
        program.waitForFinished(5000);
    });

    // The main window announces its handle for the companion.
    QTRY_VERIFY_WITH_TIMEOUT(MessageBus::readMainHandle() > 0, 20000);
    const QString bus = MessageBus::folder();
    QCOMPARE(
        QFileInfo(bus).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());

    Companion companion;
    QVERIFY2(companion.start(&error), qPrintable(error));

    QVERIFY(command(QStringLiteral("<mehandle>\r\n%1\r\n</mehandle>").arg(companion.handle())));
    QCOMPARE(companion.next(), QStringLiteral("0x4A <hello>"));

    // The profile's name in lower case connects; the start folder is listed.
    QVERIFY(command(QStringLiteral("<name>site one</name>")));
    QTRY_VERIFY_WITH_TIMEOUT(server.logText().contains(QStringLiteral("<- CWD pub")), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(
        server.logText().indexOf(QStringLiteral("<- LIST"), server.logText().lastIndexOf(QStringLiteral("CWD pub")))
            > 0,
        20000);

    auto ftpList = [&] {
        if (!command(QStringLiteral("<ftplist>")))
            return QString();
        return companion.next();
    };
    auto rowsOf = [](const QString& reply, const QString& tag) {
        const QString head = u'<' + tag + u'>';
        const QString tail = QStringLiteral("</") + tag + u'>';
        QStringList lines = reply.split(QStringLiteral("\r\n"));
        if (lines.size() < 2 || lines.first() != QStringLiteral("0x4A ") + head || lines.last() != tail)
            return QSet<QString> { QStringLiteral("bad frame: ") + reply };
        lines.removeFirst();
        lines.removeLast();
        return QSet<QString>(lines.begin(), lines.end());
    };
    const QString blanks(11, u' ');
    QString reply;
    QTRY_VERIFY_WITH_TIMEOUT((reply = ftpList()).contains(QStringLiteral("readme.txt")), 15000);
    QCOMPARE(rowsOf(reply, QStringLiteral("ftplist")),
        (QSet<QString> { QStringLiteral("docs/") + blanks + modeText(root + QStringLiteral("/pub/docs")),
            QStringLiteral("readme.txt") + blanks + modeText(root + QStringLiteral("/pub/readme.txt")) }));

    // The local pane starts in the home folder; "</chdir>" opens a folder of it by its full path.
    QVERIFY(command(QStringLiteral("<locallist>")));
    QCOMPARE(rowsOf(companion.next(), QStringLiteral("locallist")), QSet<QString> { work + u'/' });
    QVERIFY(command(QStringLiteral("<chdir>%1/</chdir>").arg(work)));
    QVERIFY(command(QStringLiteral("<locallist>")));
    QCOMPARE(rowsOf(companion.next(), QStringLiteral("locallist")), QSet<QString> { work + QStringLiteral("/up.txt") });

    QVERIFY(command(QStringLiteral("<download>readme.txt</download>")));
    QTRY_COMPARE_WITH_TIMEOUT(readBytes(work + QStringLiteral("/readme.txt")), QByteArray("read me\n"), 15000);

    QVERIFY(command(QStringLiteral("<upload>%1/up.txt</upload>").arg(work)));
    QTRY_COMPARE_WITH_TIMEOUT(readBytes(root + QStringLiteral("/pub/up.txt")), QByteArray("up\n"), 15000);

    QVERIFY(command(QStringLiteral("<ftpchdir>docs\\</ftpchdir>")));
    QTRY_VERIFY2_WITH_TIMEOUT((reply = ftpList()).contains(QStringLiteral("old.htm")), qPrintable(reply), 15000);

    // The parameter stands before the tag.
    QVERIFY(command(QStringLiteral("<ftpfilekill>old.htm<ftpfilekill>")));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(root + QStringLiteral("/pub/docs/old.htm")), 15000);
    QVERIFY(QFile::exists(root + QStringLiteral("/pub/docs/note.txt")));

    QVERIFY(command(QStringLiteral("<permit>\r\nnote.txt\r\n640\r\n</permit>")));
    QTRY_COMPARE_WITH_TIMEOUT(
        modeText(root + QStringLiteral("/pub/docs/note.txt")), QStringLiteral("rw-r-----"), 15000);
    // No mode, no command to the server.
    QVERIFY(command(QStringLiteral("<permit>\r\nnote.txt\r\n6; rm\r\n</permit>")));

    QVERIFY(command(QStringLiteral("<return>ping</return>")));
    QCOMPARE(companion.next(), QStringLiteral("0x4A ping"));
    QVERIFY(!server.logText().contains(QStringLiteral("SITE CHMOD 6;")));

    QVERIFY(command(QStringLiteral("<end>")));
    QCOMPARE(companion.next(), QStringLiteral("0x4A <by>"));
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QFile::exists(MessageBus::mainHandleFile()));
}

// ftptarvo-msg on its own: what it prints, and how it ends when nobody is there.
void TestMessages::toolSendsAndListens()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString tool = QStringLiteral(FTPTARVO_MSG_BINARY);

    QProcess listener;
    listener.start(tool, { QStringLiteral("--listen"), QStringLiteral("--count"), QStringLiteral("2") });
    QVERIFY(listener.waitForReadyRead(5000));
    const QByteArray first = listener.readLine();
    QVERIFY2(first.startsWith("handle "), first.constData());
    const QString handle = QString::fromLatin1(first.mid(7).trimmed());

    auto run = [&tool](const QStringList& args, QByteArray* out = nullptr) {
        QProcess p;
        p.start(tool, args);
        p.waitForFinished(10000);
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QByteArray answer;
    QCOMPARE(run({ handle, QStringLiteral("<ftplist>\r\na\\b\tｱ") }, &answer), 0);
    QCOMPARE(answer, QByteArray("0\n"));
    QTemporaryDir files;
    const QString text = files.filePath(QStringLiteral("text"));
    QVERIFY(writeBytes(text, Cp932::encode(QStringLiteral("<mode=end>漢字"))));
    QCOMPARE(run({ QStringLiteral("--settext"), QStringLiteral("--file"), text, handle }), 0);
    QVERIFY(listener.waitForFinished(5000));
    QCOMPARE(listener.exitCode(), 0);
    QCOMPARE(
        QString::fromUtf8(listener.readAll()), QStringLiteral("0x4A <ftplist>\\r\\na\\\\b\\tｱ\n0x0C <mode=end>漢字\n"));

    // Nobody under the handle, no program announced, a listener that hears nothing.
    QCOMPARE(run({ handle, QStringLiteral("<end>") }), 1);
    QCOMPARE(run({ QStringLiteral("main"), QStringLiteral("<end>") }), 1);
    QCOMPARE(run({ QStringLiteral("0"), QStringLiteral("<end>") }), 1);
    QCOMPARE(run({ QStringLiteral("--listen"), QStringLiteral("--timeout"), QStringLiteral("0.3") }), 2);
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
