// The engine against servers that misbehave on purpose (tests/support/scripted_ftpd.py): drops,
// silence, 421 at awkward moments, odd and oversized replies, hostile listings. Every case must
// end with the right error, within the time-outs, without touching the local file it replaces.
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftp/ftpsession.h"
#include "support/scriptedftpserver.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

// Short time-outs: every wait of these tests ends in about a second.
constexpr int ControlTimeout = 1000;
constexpr int DataTimeout = 1000;
const QByteArray OldContent = "the local copy that must survive\n";

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
    void init();

    void failures_data();
    void failures();
    void oddMultilineReplies();
    void longReplyLineWithinLimit();
    void hostileNames_data();
    void hostileNames();
    void overlongListingLine();
    void dosListing();
    void serverWithoutFeat();
    void pasvAddressIgnored();
    void preliminaryReplies();

private:
    bool startServer(ScriptedFtpServer& server, const QString& scenarioOrScript);
    std::unique_ptr<FtpConnection> connectTo(ScriptedFtpServer& server);

    QTemporaryDir m_tmp;
    QString m_local; // the folder downloads go to, emptied before each test
    QString m_upload; // an 8 MiB file to send
    FtpSession m_session;
};

void TestFtpEngineFaults::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_upload = m_tmp.filePath(QStringLiteral("upload.bin"));
    QVERIFY(writeBytes(m_upload, pattern(8 * 1024 * 1024)));
    QVERIFY(m_session.open(FtpSession::Direct));
    m_session.setOption(FtpSession::ConnectTimeout, 3000);
    m_session.setOption(FtpSession::ControlReceiveTimeout, ControlTimeout);
    m_session.setOption(FtpSession::ControlSendTimeout, ControlTimeout);
    m_session.setOption(FtpSession::DataReceiveTimeout, DataTimeout);
    m_session.setOption(FtpSession::DataSendTimeout, DataTimeout);
}

void TestFtpEngineFaults::init()
{
    m_local = m_tmp.filePath(QStringLiteral("local"));
    QDir(m_local).removeRecursively();
    QVERIFY(QDir().mkpath(m_local));
}

// A scenario name (no blank in it) or a whole script.
bool TestFtpEngineFaults::startServer(ScriptedFtpServer& server, const QString& scenarioOrScript)
{
    QString error;
    const bool ok = scenarioOrScript.contains(u'\n') ? server.startScript(scenarioOrScript, &error)
                                                     : server.startScenario(scenarioOrScript, &error);
    if (!ok)
        qWarning("%s", qPrintable(error));
    return ok;
}

std::unique_ptr<FtpConnection> TestFtpEngineFaults::connectTo(ScriptedFtpServer& server)
{
    auto c = std::make_unique<FtpConnection>(m_session);
    if (!c->connect(server.hostField(), 0, server.user(), server.password(), true)) {
        qWarning("connect failed: %s", qPrintable(describe(*c)));
        return nullptr;
    }
    return c;
}

void TestFtpEngineFaults::failures_data()
{
    QTest::addColumn<QString>("scenario"); // a scenario of scripted_ftpd.py or a script
    QTest::addColumn<QString>("operation"); // connect, cwd, get, put, list, stat
    QTest::addColumn<QList<int>>("codes"); // the acceptable error codes
    QTest::addColumn<QString>("response"); // a text the last response holds ("" for any)
    QTest::addColumn<QString>("after"); // "open": the connection still works; "lost": it is gone
    QTest::addColumn<int>("maxMs"); // the operation must end within this
    QTest::addColumn<bool>("passive");

    using namespace FtpError;
    const QList<int> dropped { ConnectionAborted, ConnectionReset };
    const QString dataSetup = QStringLiteral("file /big.bin 1048576\n");

    QTest::newRow("silent after the greeting") << u"silent-after-greeting"_qs << u"connect"_qs << QList<int> { Timeout }
                                               << u""_qs << u"lost"_qs << 4000 << true;
    QTest::newRow("421 instead of the greeting") << u"421-greeting"_qs << u"connect"_qs << QList<int> { ExtendedError }
                                                 << u"421 Too many users"_qs << u"lost"_qs << 3000 << true;
    QTest::newRow("421 at the password") << u"on PASS\n  reply 421 Login timeout.\n  close\nend\n"_qs << u"connect"_qs
                                         << QList<int> { ConnectionAborted } << u"421 Login timeout."_qs << u"lost"_qs
                                         << 3000 << true;
    QTest::newRow("huge greeting") << u"huge-greeting"_qs << u"connect"_qs << QList<int> { InvalidServerResponse }
                                   << u""_qs << u"lost"_qs << 5000 << true;
    QTest::newRow("421 after login") << u"421-after-login"_qs << u"cwd"_qs << QList<int> { ConnectionAborted }
                                     << u"421 Idle timeout"_qs << u"lost"_qs << 3000 << true;
    QTest::newRow("silent after login") << u"silent-after-login"_qs << u"cwd"_qs << QList<int> { Timeout } << u""_qs
                                        << u"lost"_qs << 4000 << true;
    QTest::newRow("421 in the middle of a download")
        << u"421-mid-download"_qs << u"get"_qs << QList<int> { ConnectionAborted } << u"421 Service shutting down"_qs
        << u"lost"_qs << 4000 << true;
    QTest::newRow("connection dropped in the middle of a download")
        << u"drop-mid-download"_qs << u"get"_qs << dropped << u""_qs << u"lost"_qs << 4000 << true;
    QTest::newRow("data connection dropped, 426")
        << u"drop-data-mid-download"_qs << u"get"_qs << QList<int> { ExtendedError } << u"426 Connection closed"_qs
        << u"open"_qs << 4000 << true;
    // Some servers say 226 for a data connection that ended early: the size they announced
    // (SIZE, or the 150 reply when SIZE is missing) tells.
    QTest::newRow("short download with 226, size from SIZE")
        << u"short-download"_qs << u"get"_qs << QList<int> { FtpDropped } << u"226"_qs << u"open"_qs << 4000 << true;
    QTest::newRow("short download with 226, size from the 150 reply")
        << u"short-download-announced"_qs << u"get"_qs << QList<int> { FtpDropped } << u"226"_qs << u"open"_qs << 4000
        << true;
    QTest::newRow("data stalls in the middle of a download")
        << u"stall-mid-download"_qs << u"get"_qs << QList<int> { Timeout } << u""_qs << u"lost"_qs
        << DataTimeout + ControlTimeout + 3000 << true;
    QTest::newRow("no final reply after a download")
        << u"silent-after-transfer"_qs << u"get"_qs << QList<int> { Timeout } << u""_qs << u"lost"_qs << 4000 << true;
    QTest::newRow("connection dropped in the middle of an upload")
        << u"drop-mid-upload"_qs << u"put"_qs << dropped << u""_qs << u"lost"_qs << 5000 << true;
    QTest::newRow("listing dropped") << dataSetup
            + u"on MLSD,LIST\n  reply 150 Here it comes.\n  data type=file;size=1; a\\r\\n\n  reset\nend\n"_qs
                                     << u"list"_qs << dropped << u""_qs << u"lost"_qs << 4000 << true;
    QTest::newRow("reply over 1 MiB") << u"huge-reply"_qs << u"stat"_qs << QList<int> { InvalidServerResponse }
                                      << u""_qs << u"lost"_qs << 5000 << true;
    QTest::newRow("reply line over 64 KiB")
        << u"on STAT\n  raw 211\\x20\n  repeat 204800 x\n  raw \\r\\n\nend\n"_qs << u"stat"_qs
        << QList<int> { InvalidServerResponse } << u""_qs << u"lost"_qs << 4000 << true;
    QTest::newRow("reply without a code")
        << u"on STAT\n  reply Hello, I am not FTP.\nend\n"_qs << u"stat"_qs << QList<int> { InvalidServerResponse }
        << u""_qs << u"lost"_qs << 3000 << true;
    QTest::newRow("EPSV port out of range")
        << dataSetup + u"on EPSV\n  reply 229 Entering Extended Passive Mode (|||99999|).\nend\n"_qs << u"get"_qs
        << QList<int> { InvalidServerResponse } << u""_qs << u"open"_qs << 3000 << true;
    QTest::newRow("PASV reply without a port")
        << dataSetup + u"disable EPSV\non PASV\n  reply 227 Entering Passive Mode (127,0,0,1).\nend\n"_qs << u"get"_qs
        << QList<int> { InvalidServerResponse } << u""_qs << u"open"_qs << 3000 << true;
    QTest::newRow("EPSV to a port nobody listens on")
        << dataSetup + u"on EPSV\n  reply 229 Entering Extended Passive Mode (|||1|).\nend\n"_qs << u"get"_qs
        << QList<int> { CannotConnect } << u""_qs << u"open"_qs << 4000 << true;
    QTest::newRow("data connection never comes")
        << dataSetup + u"on RETR\n  reply 150 Opening.\n  silent\nend\n"_qs << u"get"_qs << QList<int> { Timeout }
        << u""_qs << u"lost"_qs << DataTimeout + ControlTimeout + 3000 << true;
    QTest::newRow("endless preliminary replies")
        << u"dir /pub\non CWD\n  repeat 100 150 Still working.\\r\\n\n  silent\nend\n"_qs << u"cwd"_qs
        << QList<int> { InvalidServerResponse } << u""_qs << u"lost"_qs << 4000 << true;
    // In active mode the reset may come before the engine accepted the data connection: then
    // it could not be made at all.
    QTest::newRow("connection dropped in the middle of an active download")
        << u"drop-mid-download"_qs << u"get"_qs << (dropped + QList<int> { CannotConnect }) << u""_qs << u"lost"_qs
        << 4000 << false;
    QTest::newRow("421 in the middle of an active download")
        << u"421-mid-download"_qs << u"get"_qs << QList<int> { ConnectionAborted } << u"421 Service shutting down"_qs
        << u"lost"_qs << 4000 << false;
    QTest::newRow("active data connection never comes")
        << dataSetup + u"on RETR\n  reply 150 Opening.\n  silent\nend\n"_qs << u"get"_qs << QList<int> { Timeout }
        << u""_qs << u"lost"_qs << DataTimeout + ControlTimeout + 3000 << false;
}

void TestFtpEngineFaults::failures()
{
    QFETCH(QString, scenario);
    QFETCH(QString, operation);
    QFETCH(QList<int>, codes);
    QFETCH(QString, response);
    QFETCH(QString, after);
    QFETCH(int, maxMs);
    QFETCH(bool, passive);

    ScriptedFtpServer server;
    QVERIFY(startServer(server, scenario));
    FtpConnection c(m_session);
    const QString target = m_local + u"/target.bin";
    QVERIFY(writeBytes(target, OldContent));

    QElapsedTimer t;
    bool ok = false;
    if (operation == u"connect") {
        t.start();
        ok = c.connect(server.hostField(), 0, server.user(), server.password(), passive);
    } else {
        QVERIFY2(c.connect(server.hostField(), 0, server.user(), server.password(), passive), qPrintable(describe(c)));
        t.start();
        if (operation == u"cwd") {
            ok = c.setCurrentDirectory(u"/pub"_qs);
        } else if (operation == u"get") {
            ok = c.getFile(u"big.bin"_qs, target, false, TransferType::Binary);
        } else if (operation == u"put") {
            ok = c.putFile(m_upload, u"up.bin"_qs, TransferType::Binary);
        } else if (operation == u"list") {
            FtpFindData first;
            ok = c.findFirstFile(QString(), &first) != nullptr;
        } else if (operation == u"stat") {
            ok = c.command(u"STAT"_qs);
        } else {
            QFAIL("unknown operation");
        }
    }
    const qint64 elapsed = t.elapsed();
    QVERIFY2(!ok, "the operation reported success");
    QVERIFY2(codes.contains(c.lastError()), qPrintable(describe(c)));
    QVERIFY2(c.lastResponse().contains(response), qPrintable(describe(c)));
    QVERIFY2(elapsed <= maxMs, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));

    // The file a download was to replace is untouched, and nothing is left beside it.
    QCOMPARE(readBytes(target), OldContent);
    QCOMPARE(QDir(m_local).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList { u"target.bin"_qs });

    QString cwd;
    if (after == u"open") {
        QVERIFY(c.isOpen());
        QVERIFY2(c.getCurrentDirectory(&cwd), qPrintable(describe(c)));
        QCOMPARE(cwd, u"/"_qs);
    } else {
        QVERIFY(!c.isOpen());
        QVERIFY(!c.getCurrentDirectory(&cwd));
        QVERIFY2(c.lastError() == FtpError::ConnectionAborted || c.lastError() == FtpError::IncorrectHandleState,
            qPrintable(describe(c)));
    }
    // A new connection after the failure works (the connection object is reusable).
    if (scenario.startsWith(u"silent-after-login") || scenario.startsWith(u"421-after"))
        QVERIFY2(c.connect(server.hostField(), 0, server.user(), server.password(), true), qPrintable(describe(c)));
}

void TestFtpEngineFaults::oddMultilineReplies()
{
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"multiline-odd"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    QVERIFY(!c->utf8Names()); // "UTF8" appears in no feature line of this FEAT

    // Blank and indented lines, other codes and "211-" inside: one reply, to its last line.
    QVERIFY2(c->command(u"STAT"_qs), qPrintable(describe(*c)));
    const QString stat = c->lastResponse();
    QVERIFY2(stat.startsWith(u"211-Status of the odd server\r\n"), qPrintable(stat));
    QVERIFY2(stat.contains(u"\r\n226 another code inside\r\n"), qPrintable(stat));
    QVERIFY2(stat.endsWith(u"211 End of status\r\n"), qPrintable(stat));

    // Lines ended by a lone LF.
    QVERIFY2(c->command(u"SITE HELP"_qs), qPrintable(describe(*c)));
    QCOMPARE(c->lastResponse(), u"214-Lone LF lines follow\r\n214-second\r\n214 End\r\n"_qs);

    // Still in step: each command gets its own reply.
    QString cwd;
    QVERIFY2(c->getCurrentDirectory(&cwd), qPrintable(describe(*c)));
    QCOMPARE(cwd, u"/"_qs);
    QVERIFY2(c->setCurrentDirectory(u"pub"_qs), qPrintable(describe(*c)));
    QVERIFY(c->getCurrentDirectory(&cwd));
    QCOMPARE(cwd, u"/pub"_qs);
    const QString target = m_local + u"/readme.txt";
    QVERIFY2(c->getFile(u"readme.txt"_qs, target, false, TransferType::Binary), qPrintable(describe(*c)));
    QCOMPARE(readBytes(target), QByteArray("readme\n"));
}

void TestFtpEngineFaults::longReplyLineWithinLimit()
{
    // A 60,000-byte line is long but within what the engine takes.
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"on STAT\n  raw 211\\x20\n  repeat 60000 x\n  raw \\r\\n\nend\n"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    QVERIFY2(c->command(u"STAT"_qs), qPrintable(describe(*c)));
    QCOMPARE(c->lastResponse().size(), 4 + 60000 + 2);
    QString cwd;
    QVERIFY(c->getCurrentDirectory(&cwd));
}

void TestFtpEngineFaults::hostileNames_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("mlsd");
    QTest::newRow("MLSD") << u"hostile-names"_qs << true;
    QTest::newRow("LIST") << u"hostile-names-list"_qs << false;
}

// "../x", "a/b", ".", "..", "/etc/passwd", names with CR or NUL, an empty name: none comes back.
void TestFtpEngineFaults::hostileNames()
{
    QFETCH(QString, scenario);
    QFETCH(bool, mlsd);
    ScriptedFtpServer server;
    QVERIFY(startServer(server, scenario));
    auto c = connectTo(server);
    QVERIFY(c);
    QCOMPARE(c->hasMlsd(), mlsd);
    for (const QString& search : { QString(), u"/"_qs, u"/*"_qs }) {
        FtpFindData data;
        auto find = c->findFirstFile(search, &data);
        QVERIFY2(find, qPrintable(describe(*c)));
        QSet<QString> names;
        do {
            QVERIFY2(!data.name.isEmpty() && !data.name.contains(u'/') && data.name != u"." && data.name != u".."
                    && !data.name.contains(u'\r') && !data.name.contains(u'\n') && !data.name.contains(QChar(0)),
                qPrintable(data.name));
            names.insert(data.name);
        } while (find->next(&data));
        QCOMPARE(find->lastError(), FtpError::NoMoreFiles);
        QCOMPARE(names, (QSet<QString> { u"ok.txt"_qs, u"sub"_qs }));
    }
    QVERIFY2(server.commands().contains(mlsd ? u"MLSD"_qs : u"LIST"_qs)
            || server.commands().contains(mlsd ? u"MLSD /"_qs : u"LIST /"_qs),
        qPrintable(server.commands().join(u", ")));
}

void TestFtpEngineFaults::overlongListingLine()
{
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"long-listing-line"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    FtpFindData data;
    QVERIFY(!c->findFirstFile(QString(), &data));
    QCOMPARE(c->lastError(), FtpError::InvalidServerResponse);
    // The listing ended properly (226): the connection goes on.
    QString cwd;
    QVERIFY2(c->getCurrentDirectory(&cwd), qPrintable(describe(*c)));
}

void TestFtpEngineFaults::dosListing()
{
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"dos-listing"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    QVERIFY(!c->hasMlsd());
    FtpFindData data;
    auto find = c->findFirstFile(QString(), &data);
    QVERIFY2(find, qPrintable(describe(*c)));
    QMap<QString, FtpFindData> entries;
    do
        entries.insert(data.name, data);
    while (find->next(&data));
    QCOMPARE(entries.keys(), (QStringList { u"empty file.txt"_qs, u"file.txt"_qs, u"folder"_qs }));
    QVERIFY(entries[u"folder"_qs].isFolder);
    QVERIFY(!entries[u"file.txt"_qs].isFolder);
    QCOMPARE(entries[u"file.txt"_qs].size, 1234);
    QCOMPARE(entries[u"file.txt"_qs].lastWriteTime, QDateTime(QDate(2023, 6, 15), QTime(20, 19), Qt::UTC));
    QCOMPARE(entries[u"empty file.txt"_qs].size, 0);
    QCOMPARE(entries[u"empty file.txt"_qs].lastWriteTime, QDateTime(QDate(2024, 1, 2), QTime(11, 5), Qt::UTC));

    // A pattern applies to DOS entries too.
    find = c->findFirstFile(u"*.txt"_qs, &data);
    QVERIFY(find);
    QStringList txt { data.name };
    while (find->next(&data))
        txt.append(data.name);
    txt.sort();
    QCOMPARE(txt, (QStringList { u"empty file.txt"_qs, u"file.txt"_qs }));
}

// No FEAT, no MLSD, no OPTS: LIST and CP932 names, both ways.
void TestFtpEngineFaults::serverWithoutFeat()
{
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"no-feat"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    QVERIFY(!c->utf8Names());
    QVERIFY(!c->hasMlsd());
    FtpFindData data;
    auto find = c->findFirstFile(QString(), &data);
    QVERIFY2(find, qPrintable(describe(*c)));
    QStringList names { data.name };
    while (find->next(&data))
        names.append(data.name);
    names.sort();
    QCOMPARE(names, (QStringList { u"plain.txt"_qs, u"テスト.txt"_qs }));

    const QString target = m_local + u"/テスト.txt";
    QVERIFY2(c->getFile(u"テスト.txt"_qs, target, false, TransferType::Binary), qPrintable(describe(*c)));
    QCOMPARE(readBytes(target), QByteArray("sjis name"));
    QVERIFY2(c->putFile(target, u"戻り.txt"_qs, TransferType::Binary), qPrintable(describe(*c)));
    QVERIFY2(
        server.commands().contains(u"STOR \\x96\\xdf\\x82\\xe8.txt"_qs), qPrintable(server.commands().join(u", ")));
    QVERIFY(!server.commands().contains(u"MLSD"_qs));
}

void TestFtpEngineFaults::pasvAddressIgnored()
{
    // EPSV refused, and PASV names 192.0.2.1 (TEST-NET-1): the data connection must still go to
    // the server's own address.
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"pasv-bogus-address"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    const QString target = m_local + u"/hello.txt";
    QVERIFY2(c->getFile(u"hello.txt"_qs, target, false, TransferType::Binary), qPrintable(describe(*c)));
    QCOMPARE(readBytes(target), QByteArray("Hello, world!\n"));
    QVERIFY(server.commands().contains(u"PASV"_qs));
}

void TestFtpEngineFaults::preliminaryReplies()
{
    // A 120 before the greeting, and 125 instead of 150 for a transfer.
    ScriptedFtpServer server;
    QVERIFY(startServer(server, u"preliminary-replies"_qs));
    auto c = connectTo(server);
    QVERIFY(c);
    const QString target = m_local + u"/big.bin";
    QVERIFY2(c->getFile(u"big.bin"_qs, target, false, TransferType::Binary), qPrintable(describe(*c)));
    QCOMPARE(readBytes(target), pattern(1048576));
    QString cwd;
    QVERIFY(c->getCurrentDirectory(&cwd));
}

QTEST_GUILESS_MAIN(TestFtpEngineFaults)
#include "tst_ftpengine_faults.moc"
