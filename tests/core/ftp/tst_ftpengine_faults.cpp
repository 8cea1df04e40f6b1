// The engine against servers that misbehave on purpose (tests/support/scripted_ftpd.py): drops,
// silence, 421 at awkward moments, odd and oversized replies, hostile listings. Every failure
// ends with the right error, within the time-outs, without touching the local file it replaces.
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftp/ftpsession.h"
#include "support/scriptedftpserver.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

constexpr int Wait = 1000; // every wait of these tests ends in about a second
const QByteArray OldContent = "the local copy that must survive\n";
const char* const Big = "file /big.bin 1048576\n";

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i % 251);
    return bytes;
}

QString describe(const FtpConnection& c) { return QString::number(c.lastError()) + u' ' + c.lastResponse().left(300); }

} // namespace

class TestFtpEngineFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void failures_data();
    void failures();
    void listings_data();
    void listings();
    void oddReplies();
    void asciiOnTheWire();

private:
    std::unique_ptr<FtpConnection> connectTo(ScriptedFtpServer& server, const QString& script);

    QTemporaryDir m_tmp;
    FtpSession m_session;
};

void TestFtpEngineFaults::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    QVERIFY(writeBytes(m_tmp.filePath(u"upload.bin"_qs), pattern(8 * 1024 * 1024)));
    QVERIFY(m_session.open(FtpSession::Direct));
    m_session.setOption(FtpSession::ConnectTimeout, 3000);
    for (auto option : { FtpSession::ControlReceiveTimeout, FtpSession::ControlSendTimeout,
             FtpSession::DataReceiveTimeout, FtpSession::DataSendTimeout })
        m_session.setOption(option, Wait);
}

// A scenario name of scripted_ftpd.py, or a whole script.
std::unique_ptr<FtpConnection> TestFtpEngineFaults::connectTo(ScriptedFtpServer& server, const QString& script)
{
    QString error;
    if (!(script.contains(u'\n') ? server.startScript(script, &error) : server.startScenario(script, &error))) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    auto c = std::make_unique<FtpConnection>(m_session);
    if (!c->connect(server.hostField(), 0, server.user(), server.password(), true))
        qWarning("connect failed: %s", qPrintable(describe(*c)));
    return c->isOpen() ? std::move(c) : nullptr;
}

void TestFtpEngineFaults::failures_data()
{
    QTest::addColumn<QString>("script"); // a scenario of scripted_ftpd.py or a script
    QTest::addColumn<QString>("operation"); // connect, cwd, get, put, list, stat; "active ..." in active mode
    QTest::addColumn<QList<int>>("codes"); // the acceptable error codes
    QTest::addColumn<QString>("response"); // a text the last response holds
    QTest::addColumn<bool>("open"); // the connection still works afterwards
    QTest::addColumn<int>("maxMs"); // the operation ends within this
    using namespace FtpError;
    const QList<int> dropped { ConnectionAborted, ConnectionReset };
    const QString big = QString::fromLatin1(Big);
    const QString retr = big + u"on RETR\n reply 150 Opening BINARY mode data connection.\n data-file 300000\n";
    const QString hugeReply
        = u" raw 211-start\\r\\n\n repeat 40000 211-"_qs + QString(70, u'x') + u"\\r\\n\n raw 211 End\\r\\n\n";
    const auto row = [](const char* name, const QString& script, const char* operation, const QList<int>& codes,
                         const char* response, bool open, int maxMs = 4000) {
        QTest::newRow(name) << script << QString::fromLatin1(operation) << codes << QString::fromLatin1(response)
                            << open << maxMs;
    };
    row("silent after the greeting", u"on *\n silent\nend\n"_qs, "connect", { Timeout }, "", false);
    row("421 instead of the greeting", u"421-greeting"_qs, "connect", { ExtendedError },
        "421 Too many users, try again later.", false);
    row("421 at the password", u"on PASS\n reply 421 Login timeout.\n close\nend\n"_qs, "connect",
        { ConnectionAborted }, "421 Login timeout.", false);
    row("user refused", u"login alice wonder\n"_qs, "connect", { BadUserName }, "530", false);
    row("huge greeting", u"on CONNECT\n"_qs + QString(hugeReply).replace(u"211"_qs, u"220"_qs) + u"end\n", "connect",
        { InvalidServerResponse }, "", false, 5000);
    row("421 after login", u"dir /pub\non CWD\n reply 421 Idle timeout.\n close\nend\n"_qs, "cwd",
        { ConnectionAborted }, "421 Idle timeout.", false);
    row("silent after login", u"dir /pub\non CWD\n silent\nend\n"_qs, "cwd", { Timeout }, "", false);
    row("endless preliminary replies", u"dir /pub\non CWD\n repeat 100 150 Still working.\\r\\n\n silent\nend\n"_qs,
        "cwd", { InvalidServerResponse }, "", false);
    row("421 in the middle of a download", retr + u" reply 421 Service shutting down.\n close\nend\n", "get",
        { ConnectionAborted }, "421 Service shutting down.", false);
    row("421 in the middle of an active download", retr + u" reply 421 Service shutting down.\n close\nend\n",
        "active get", { ConnectionAborted }, "421 Service shutting down.", false);
    row("connection dropped in the middle of a download", u"drop-mid-download"_qs, "get", dropped, "", false);
    // In active mode the reset may come before the engine accepted the data connection.
    row("connection dropped in the middle of an active download", u"drop-mid-download"_qs, "active get",
        dropped + QList<int> { CannotConnect }, "", false);
    row("data connection dropped, 426", retr + u" data-close\n reply 426 Connection closed; transfer aborted.\nend\n",
        "get", { ExtendedError }, "426 Connection closed", true);
    // Some servers say 226 for a data connection that ended early: the size they announced
    // (SIZE, or the 150 reply when SIZE is missing) tells.
    row("short download with 226, size from SIZE", u"short-download"_qs, "get", { FtpDropped }, "226", true);
    row("short download with 226, size from the 150 reply",
        big
            + u"disable SIZE\non RETR\n reply 150 Opening data connection for big.bin (1048576 bytes).\n data-file "
              u"300000\n"
              " data-close\n reply 226 Transfer complete.\nend\n",
        "get", { FtpDropped }, "226", true);
    row("data stalls in the middle of a download", retr + u" data-hold\n silent\nend\n", "get", { Timeout }, "", false,
        2 * Wait + 3000);
    row("no final reply after a download",
        big + u"on RETR\n reply 150 Here it comes.\n data-file\n data-close\n silent\nend\n", "get", { Timeout }, "",
        false);
    row("data connection never comes", big + u"on RETR\n reply 150 Opening.\n silent\nend\n", "get", { Timeout }, "",
        false, 2 * Wait + 3000);
    row("active data connection never comes", big + u"on RETR\n reply 150 Opening.\n silent\nend\n", "active get",
        { Timeout }, "", false, 2 * Wait + 3000);
    row("connection dropped in the middle of an upload",
        u"on STOR\n reply 150 Ok to send data.\n data-read 65536\n reset\nend\n"_qs, "put", dropped, "", false, 5000);
    row("listing dropped",
        u"on MLSD,LIST\n reply 150 Here it comes.\n data type=file;size=1; a\\r\\n\n reset\nend\n"_qs, "list", dropped,
        "", false);
    row("reply over 1 MiB", u"on STAT\n"_qs + hugeReply + u"end\n", "stat", { InvalidServerResponse }, "", false, 5000);
    row("reply line over 64 KiB", u"on STAT\n raw 211\\x20\n repeat 70000 x\n raw \\r\\n\nend\n"_qs, "stat",
        { InvalidServerResponse }, "", false);
    row("reply without a code", u"on STAT\n reply Hello, I am not FTP.\nend\n"_qs, "stat", { InvalidServerResponse },
        "", false);
    row("EPSV port out of range", big + u"on EPSV\n reply 229 Entering Extended Passive Mode (|||99999|).\nend\n",
        "get", { InvalidServerResponse }, "", true);
    row("PASV reply without a port",
        big + u"disable EPSV\non PASV\n reply 227 Entering Passive Mode (127,0,0,1).\nend\n", "get",
        { InvalidServerResponse }, "", true);
    row("EPSV to a port nobody listens on", big + u"on EPSV\n reply 229 Entering Extended Passive Mode (|||1|).\nend\n",
        "get", { CannotConnect }, "", true);
}

void TestFtpEngineFaults::failures()
{
    QFETCH(QString, script);
    QFETCH(QString, operation);
    QFETCH(QList<int>, codes);
    QFETCH(QString, response);
    QFETCH(bool, open);
    QFETCH(int, maxMs);
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(script.contains(u'\n') ? server.startScript(script, &error) : server.startScenario(script, &error),
        qPrintable(error));
    FtpConnection c(m_session);
    const QString target = m_tmp.filePath(u"local/target.bin"_qs);
    QDir(m_tmp.filePath(u"local"_qs)).removeRecursively();
    QVERIFY(writeBytes(target, OldContent));
    const bool passive = !operation.startsWith(u"active ");
    operation.remove(u"active "_qs);
    QElapsedTimer t;
    t.start();
    bool ok = c.connect(server.hostField(), 0, server.user(), server.password(), passive);
    if (operation != u"connect") {
        QVERIFY2(ok, qPrintable(describe(c)));
        t.start();
        FtpFindData first;
        ok = operation == u"cwd"   ? c.setCurrentDirectory(u"/pub"_qs)
            : operation == u"get"  ? c.getFile(u"big.bin"_qs, target, false, TransferType::Binary)
            : operation == u"put"  ? c.putFile(m_tmp.filePath(u"upload.bin"_qs), u"up.bin"_qs, TransferType::Binary)
            : operation == u"list" ? c.findFirstFile(QString(), &first) != nullptr
                                   : c.command(u"STAT"_qs);
    }
    QVERIFY2(!ok, "the operation reported success");
    QVERIFY2(codes.contains(c.lastError()) && c.lastResponse().contains(response), qPrintable(describe(c)));
    QVERIFY2(t.elapsed() <= maxMs, qPrintable(QStringLiteral("took %1 ms").arg(t.elapsed())));
    // The file a download was to replace is untouched, and nothing is left beside it.
    QCOMPARE(readBytes(target), OldContent);
    QCOMPARE(QDir(m_tmp.filePath(u"local"_qs)).entryList(QDir::Files | QDir::Hidden), QStringList(u"target.bin"_qs));
    QString cwd;
    QCOMPARE(c.isOpen(), open);
    QCOMPARE(c.getCurrentDirectory(&cwd), open);
    QVERIFY2(open ? cwd == u"/"
                  : QList<int>({ FtpError::ConnectionAborted, FtpError::IncorrectHandleState }).contains(c.lastError()),
        qPrintable(describe(c)));
    // The same connection object connects again.
    if (operation == u"cwd")
        QVERIFY2(c.connect(server.hostField(), 0, server.user(), server.password(), true), qPrintable(describe(c)));
}

void TestFtpEngineFaults::listings_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("entries"); // "name[/ for a folder][@ for a link] size [time] [#unique]"
    QTest::addColumn<QString>("command"); // how the folder was listed
    const QString noMlsd
        = u"disable MLSD MLST\nfeat 211-Features:\\n SIZE\\n MDTM\\n211 End\nfile /ok.txt text ok\n"_qs;
    const QString line = u"-rw-r--r--   1 u g   1 Jun 15  2023 "_qs;
    // "../x", "a/b", ".", "..", "/etc/passwd", names with CR or NUL, an empty name: none comes back.
    QTest::newRow("hostile names in MLSD")
        << u"file /ok.txt text ok\nmlsd / type=file;size=2; ok.txt\\r\\ntype=file;size=1; ../x\\r\\ntype=file;size=1; "
           u"a/b\\r\\n"
           "type=dir; .\\r\\ntype=dir; ..\\r\\ntype=cdir; /\\r\\ntype=pdir; /\\r\\ntype=file;size=1; /etc/passwd\\r\\n"
           "type=file;size=1; cr\\rname\\r\\ntype=file;size=1; nul\\0name\\r\\ntype=file;size=1; \\r\\n"
           "type=file;size=1;\\r\\ntype=dir; sub\\r\\n"_qs
        << QStringList { u"ok.txt 2"_qs, u"sub/ 0"_qs } << u"MLSD"_qs;
    QTest::newRow("hostile names in LIST")
        << noMlsd + u"list / "_qs + line + u"ok.txt\\r\\n" + line + u"../x\\r\\n" + line + u"a/b\\r\\n" + line
            + u".\\r\\n" + line + u"..\\r\\n" + line + u"/etc/passwd\\r\\n" + line + u"cr\\rname\\r\\n" + line
            + u"nul\\0name\\r\\n" + line + u"\\r\\ndrwxr-xr-x   2 u g 4096 Jun 15  2023 sub\\r\\n"
        << QStringList { u"ok.txt 1 2023-06-15"_qs, u"sub/ 0 2023-06-15"_qs } << u"LIST"_qs;
    QTest::newRow("DOS listing of IIS") << noMlsd
            + u"list / 06-15-23  08:19PM       <DIR>          folder\\r\\n06-15-23  08:19PM                 1234 "
              "file.txt\\r\\n01-02-2024  11:05AM                    0 empty file.txt\\r\\n"
                                        << QStringList { u"empty file.txt 0 2024-01-02 11:05"_qs,
                                               u"file.txt 1234 2023-06-15 20:19"_qs, u"folder/ 0 2023-06-15 20:19"_qs }
                                        << u"LIST"_qs;
    // No FEAT at all: LIST, and names in CP932.
    QTest::newRow("server without FEAT") << u"feat none\ndisable MLSD MLST OPTS\nlist / "_qs + line
            + u"\\x83e\\x83X\\x83g.txt\\r\\n" + line + u"plain.txt\\r\\n"
                                         << QStringList { u"plain.txt 1 2023-06-15"_qs, u"テスト.txt 1 2023-06-15"_qs }
                                         << u"LIST"_qs;
    // Links as links (type OS.unix=slink) with unique facts, asked for by OPTS MLST when offered.
    const QString links = u"\non OPTS\n reply 200 OK\nend\nmlsd / type=dir;unique=801g1; sub\\r\\n"
                          "type=OS.unix=slink:/site;unique=801g9; www\\r\\ntype=OS.unix=symlink;unique=801g3; up\\r\\n"
                          "type=file;size=3;unique=801g2; a.txt\\r\\ntype=dir;unique="_qs
        + QString(200, u'7') + u"; odd\\r\\n"; // an overlong fact is no identity to trust
    QTest::newRow("links and unique facts")
        << u"feat 211-Features:\\n MLST type*;size*;modify*;perm;unique;UNIX.mode;\\n UTF8\\n211 End"_qs + links
        << QStringList { u"a.txt 3 #801g2"_qs, u"odd/ 0"_qs, u"sub/ 0 #801g1"_qs, u"up@ 0 #801g3"_qs,
               u"www@ 0 #801g9"_qs }
        << u"OPTS MLST type;size;modify;perm;unique;"_qs;
    QTest::newRow("links, unique not offered")
        << u"feat 211-Features:\\n MLST type*;size*;modify*;\\n UTF8\\n211 End"_qs + links
        << QStringList { u"a.txt 3 #801g2"_qs, u"odd/ 0"_qs, u"sub/ 0 #801g1"_qs, u"up@ 0 #801g3"_qs,
               u"www@ 0 #801g9"_qs }
        << u"MLSD"_qs;
    QTest::newRow("listing line over 64 KiB")
        << u"on MLSD\n reply 150 Here it comes.\n data type=file;size=2; ok.txt\\r\\ntype=file;size=1;\\x20\n"
           " data-repeat 70000 n\n data \\r\\ntype=file;size=2; after.txt\\r\\n\n data-close\n reply 226 Done.\nend\n"_qs
        << QStringList { u"error 12152"_qs } << u"MLSD"_qs;
}

// What a folder search returns, whatever the server lists, and the connection goes on.
void TestFtpEngineFaults::listings()
{
    QFETCH(QString, script);
    QFETCH(QStringList, entries);
    QFETCH(QString, command);
    ScriptedFtpServer server;
    auto c = connectTo(server, script);
    QVERIFY(c);
    QCOMPARE(c->hasUniqueFacts(), command.startsWith(u"OPTS"));
    QCOMPARE(server.commands().filter(u"OPTS MLST"_qs).size(), command.startsWith(u"OPTS") ? 1 : 0);
    for (const QString& search : { QString(), u"/"_qs, u"/*"_qs }) {
        QStringList found;
        FtpFindData data;
        std::unique_ptr<FtpFind> find = c->findFirstFile(search, &data);
        for (bool more = find != nullptr; more; more = find->next(&data)) {
            QString s = data.name + (data.isFolder ? u"/" : u"") + (data.isLink ? u"@" : u"") + u' '
                + QString::number(data.size);
            if (data.lastWriteTime.isValid())
                s += data.lastWriteTime.toString(u" yyyy-MM-dd hh:mm"_qs).remove(u" 00:00"_qs);
            found.append(data.unique.isEmpty() ? s : s + u" #" + QString::fromLatin1(data.unique));
        }
        if (!find)
            found.append(u"error "_qs + QString::number(c->lastError()));
        found.sort();
        QCOMPARE(found, entries);
    }
    QVERIFY2(server.commands().contains(command) || server.commands().contains(command + u" /"),
        qPrintable(server.commands().join(u", ")));
    QString cwd;
    QVERIFY2(c->getCurrentDirectory(&cwd), qPrintable(describe(*c)));
    // Names without UTF8 in FEAT go out in CP932 too.
    if (!c->utf8Names()) {
        QVERIFY(writeBytes(m_tmp.filePath(u"small"_qs), "small"));
        QVERIFY2(
            c->putFile(m_tmp.filePath(u"small"_qs), u"戻り.txt"_qs, TransferType::Binary), qPrintable(describe(*c)));
        QVERIFY(server.commands().contains(u"STOR \\x96\\xdf\\x82\\xe8.txt"_qs));
    }
}

// Replies real servers do not send: odd multi-line replies (blank and indented lines, other
// codes inside, lone LF), a line of 60,000 bytes, a 120 before the greeting, 125 instead of 150, and a PASV reply
// naming another address, which the engine ignores (the data connection goes to the server itself).
void TestFtpEngineFaults::oddReplies()
{
    ScriptedFtpServer server;
    auto c = connectTo(server,
        u"dir /pub\nfile /pub/readme.txt text readme\\n\ndisable EPSV EPRT\npasv-address 192.0.2.1\n"
        "greeting 220-Welcome\\n\\n220-\\n   indented line\\n 220 padded line\\n220 Ready.\n"
        "feat 211-Features:\\n\\n MDTM\\n211-not the end\\n200 not the end either\\n2110 nor this\\n 211 padded\\n "
        "SIZE\\n211 End\n"
        "on CONNECT\n reply 120 Service ready in a moment.\n sleep 200\n default\nend\n"
        "on STAT\n reply 211-Status\\n\\n   \\n211-still going\\n226 another code inside\\n211 End of status\nend\n"
        "on SITE\n raw 214-Lone LF lines follow\\n214-second\\n214 End\\r\\n\nend\n"
        "on HELP\n raw 214\\x20\n repeat 60000 x\n raw \\r\\n\nend\n"
        "on RETR\n accept-data\n reply 125 Data connection already open.\n data-file\n data-close\n reply 226 Done.\nend\n"_qs);
    QVERIFY(c);
    QVERIFY(!c->utf8Names()); // "UTF8" appears in no feature line of this FEAT
    QVERIFY2(c->command(u"STAT"_qs), qPrintable(describe(*c)));
    QCOMPARE(c->lastResponse(),
        u"211-Status\r\n\r\n   \r\n211-still going\r\n226 another code inside\r\n211 End of status\r\n"_qs);
    QVERIFY2(c->command(u"SITE HELP"_qs), qPrintable(describe(*c)));
    QCOMPARE(c->lastResponse(), u"214-Lone LF lines follow\r\n214-second\r\n214 End\r\n"_qs);
    QVERIFY2(c->command(u"HELP"_qs), qPrintable(describe(*c))); // a long line, within the limit
    QCOMPARE(c->lastResponse(), u"214 "_qs + QString(60000, u'x') + u"\r\n");
    // Still in step: each command gets its own reply.
    QString cwd;
    QVERIFY(c->setCurrentDirectory(u"pub"_qs) && c->getCurrentDirectory(&cwd));
    QCOMPARE(cwd, u"/pub"_qs);
    const QString target = m_tmp.filePath(u"readme.txt"_qs);
    QVERIFY2(c->getFile(u"readme.txt"_qs, target, false, TransferType::Binary), qPrintable(describe(*c)));
    QCOMPARE(readBytes(target), QByteArray("readme\n"));
    QVERIFY(server.commands().contains(u"PASV"_qs));
}

// ASCII mode on the wire, seen on a server that stores and sends bytes as they are: uploads
// send LF as CR LF, downloads turn CR LF into LF; binary leaves both alone.
void TestFtpEngineFaults::asciiOnTheWire()
{
    ScriptedFtpServer server;
    auto c = connectTo(server, u"file /crlf.txt text a\\r\\nb\\rc\\nd\\r\\n\n"_qs);
    QVERIFY(c);
    const QString local = m_tmp.filePath(u"wire.txt"_qs);
    QVERIFY(c->getFile(u"crlf.txt"_qs, local, false, TransferType::Ascii));
    QCOMPARE(readBytes(local), QByteArray("a\nb\rc\nd\n"));
    QVERIFY(
        c->putFile(local, u"up.txt"_qs, TransferType::Ascii) && c->putFile(local, u"bin.txt"_qs, TransferType::Binary));
    QVERIFY(c->getFile(u"up.txt"_qs, local, false, TransferType::Binary));
    QCOMPARE(readBytes(local), QByteArray("a\r\nb\rc\r\nd\r\n"));
    QVERIFY(c->getFile(u"bin.txt"_qs, local, false, TransferType::Binary));
    QCOMPARE(readBytes(local), QByteArray("a\nb\rc\nd\n"));
}

QTEST_GUILESS_MAIN(TestFtpEngineFaults)
#include "tst_ftpengine_faults.moc"
