// The engine against a server that misbehaves on purpose (tests/support/scripted_ftpd.py): every
// failure ends with the right error, in time, without touching the local file it would replace.
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"
#include "core/ftp/ftpsession.h"
#include "support/scriptedftpserver.h"
#include "support/settingsfiles.h"
#include "support/texttable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

QString describe(const FtpConnection& c) { return QString::number(c.lastError()) + u' ' + c.lastResponse().left(300); }
QString text(const char* column) { return *static_cast<QString*>(QTest::qData(column, QMetaType::QString)); }

// A script of scripted_ftpd.py with its shorthands spelled out, or a scenario name.
QString script(const char* column)
{
    const QString retr = u"BIG\non RETR\n reply 150 Opening BINARY mode data connection.\n data-file 300000"_qs;
    const QString huge
        = u" raw 211-start\\r\\n\n repeat 40000 211-"_qs + QString(70, u'x') + u"\\r\\n\n raw 211 End\\r\\n";
    return text(column)
        .replace(u"RETR300"_qs, retr)
        .replace(u"HUGE211"_qs, huge)
        .replace(u"BIG"_qs, u"file /big.bin 1048576"_qs)
        .replace(u"LINE "_qs, u"-rw-r--r--   1 u g   1 Jun 15  2023 "_qs);
}

} // namespace

class TestFtpEngineFaults : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;
    FtpSession m_session;

    std::unique_ptr<FtpConnection> connectTo(ScriptedFtpServer& server, const QString& script)
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

private Q_SLOTS:
    void initTestCase()
    {
        QByteArray upload(8 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < upload.size(); ++i)
            upload[i] = char(i % 251);
        QVERIFY(m_tmp.isValid() && writeBytes(m_tmp.filePath(u"upload.bin"_qs), upload));
        QVERIFY(m_session.open(FtpSession::Direct));
        m_session.setOption(FtpSession::ConnectTimeout, 3000);
        for (auto option : { FtpSession::ControlReceiveTimeout, FtpSession::ControlSendTimeout,
                 FtpSession::DataReceiveTimeout, FtpSession::DataSendTimeout })
            m_session.setOption(option, 1000); // every wait ends in about a second
    }

    // What fails ("active": in active mode); a scenario or a script; the acceptable error codes;
    // a text of the last response; whether the connection still works; how long it may take.
    void failures_data()
    {
        TextTable::rows({ "operation", "script", "codes", "response", "open", "ms" }, R"(
silent after the greeting | connect | on *\n silent\nend | 12002 | | closed | 4000
421 instead of the greeting | connect | 421-greeting | 12003 | 421 Too many users, try again later. | closed | 4000
421 at the password | connect | on PASS\n reply 421 Login timeout.\n close\nend | 12030 | 421 Login timeout. | closed | 4000
user refused | connect | login alice wonder | 12013 | 530 | closed | 4000
421 after login | cwd | dir /pub\non CWD\n reply 421 Idle timeout.\n close\nend | 12030 | 421 Idle timeout. | closed | 4000
endless preliminary replies | cwd | dir /pub\non CWD\n repeat 100 150 Still working.\\r\\n\n silent\nend | 12152 | | closed | 4000
421 in the middle of a download | get | RETR300\n reply 421 Service shutting down.\n close\nend | 12030 | 421 Service shutting down. | closed | 4000
connection dropped in the middle of a download | get | drop-mid-download | 12030 12031 | | closed | 4000
data connection dropped, 426 | get | RETR300\n data-close\n reply 426 Connection closed; transfer aborted.\nend | 12003 | 426 Connection closed | open | 4000
short download with 226, size from SIZE | get | short-download | 12111 | 226 | open | 4000
short download with 226, size from the 150 reply | get | BIG\ndisable SIZE\non RETR\n reply 150 Opening data connection for big.bin (1048576 bytes).\n data-file 300000\n data-close\n reply 226 Transfer complete.\nend | 12111 | 226 | open | 4000
data stalls in the middle of a download | get | RETR300\n data-hold\n silent\nend | 12002 | | closed | 5000
no final reply after a download | get | BIG\non RETR\n reply 150 Here it comes.\n data-file\n data-close\n silent\nend | 12002 | | closed | 4000
data connection never comes | get | BIG\non RETR\n reply 150 Opening.\n silent\nend | 12002 | | closed | 5000
active data connection never comes | active get | BIG\non RETR\n reply 150 Opening.\n silent\nend | 12002 | | closed | 5000
connection dropped in the middle of an upload | put | on STOR\n reply 150 Ok to send data.\n data-read 65536\n reset\nend | 12030 12031 | | closed | 5000
listing dropped | list | on MLSD,LIST\n reply 150 Here it comes.\n data type=file;size=1; a\\r\\n\n reset\nend | 12030 12031 | | closed | 4000
reply over 1 MiB | stat | on STAT\nHUGE211\nend | 12152 | | closed | 5000
reply line over 64 KiB | stat | on STAT\n raw 211\\x20\n repeat 70000 x\n raw \\r\\n\nend | 12152 | | closed | 4000
reply without a code | stat | on STAT\n reply Hello, I am not FTP.\nend | 12152 | | closed | 4000
EPSV port out of range | get | BIG\non EPSV\n reply 229 Entering Extended Passive Mode (|||99999|).\nend | 12152 | | open | 4000
EPSV to a port nobody listens on | get | BIG\non EPSV\n reply 229 Entering Extended Passive Mode (|||1|).\nend | 12029 | | open | 4000)");
    }
    void failures()
    {
        ScriptedFtpServer server;
        QString error, operation = text("operation");
        const QString s = script("script");
        QVERIFY2(s.contains(u' ') ? server.startScript(s + u'\n', &error) : server.startScenario(s, &error),
            qPrintable(error));
        FtpConnection c(m_session);
        const QString target = m_tmp.filePath(u"local/target.bin"_qs);
        QDir(m_tmp.filePath(u"local"_qs)).removeRecursively();
        QVERIFY(writeBytes(target, "the local copy that must survive\n"));
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
        QVERIFY2(text("codes").split(u' ').contains(QString::number(c.lastError()))
                && c.lastResponse().contains(text("response")),
            qPrintable(describe(c)));
        QVERIFY2(t.elapsed() <= text("ms").toInt(), qPrintable(QStringLiteral("took %1 ms").arg(t.elapsed())));
        // The file a download was to replace is untouched, and nothing is left beside it.
        QCOMPARE(readBytes(target), QByteArray("the local copy that must survive\n"));
        QCOMPARE(
            QDir(m_tmp.filePath(u"local"_qs)).entryList(QDir::Files | QDir::Hidden), QStringList(u"target.bin"_qs));
        const bool open = text("open") == u"open";
        QString cwd;
        QCOMPARE(c.isOpen(), open);
        QCOMPARE(c.getCurrentDirectory(&cwd), open);
        QVERIFY2(open
                ? cwd == u"/"
                : QList<int>({ FtpError::ConnectionAborted, FtpError::IncorrectHandleState }).contains(c.lastError()),
            qPrintable(describe(c)));
        // The same connection object connects again.
        if (operation == u"cwd")
            QVERIFY2(c.connect(server.hostField(), 0, server.user(), server.password(), true), qPrintable(describe(c)));
    }

    // What a folder search returns, whatever the server lists ("name[/ for a folder][@ for a link]
    // size [time] [#unique]"), and how the folder was listed. Hostile names ("../x", "a/b", ".",
    // "/etc/passwd", CR, NUL, empty) never come back; links are links (type OS.unix=slink) with their
    // unique facts, asked for by OPTS MLST when offered; an overlong fact is no identity to trust.
    void listings_data()
    {
        TextTable::rows({ "script", "entries", "command" }, R"(
hostile names in MLSD | file /ok.txt text ok\nmlsd / type=file;size=2; ok.txt\\r\\ntype=file;size=1; ../x\\r\\ntype=file;size=1; a/b\\r\\ntype=dir; .\\r\\ntype=dir; ..\\r\\ntype=cdir; /\\r\\ntype=pdir; /\\r\\ntype=file;size=1; /etc/passwd\\r\\ntype=file;size=1; cr\\rname\\r\\ntype=file;size=1; nul\\0name\\r\\ntype=file;size=1; \\r\\ntype=file;size=1;\\r\\ntype=dir; sub\\r\\n | ok.txt 2, sub/ 0 | MLSD
DOS listing of IIS | NOMLSD\nlist / 06-15-23  08:19PM       <DIR>          folder\\r\\n06-15-23  08:19PM                 1234 file.txt\\r\\n01-02-2024  11:05AM                    0 empty file.txt\\r\\n | empty file.txt 0 2024-01-02 11:05, file.txt 1234 2023-06-15 20:19, folder/ 0 2023-06-15 20:19 | LIST
server without FEAT, CP932 names | feat none\ndisable MLSD MLST OPTS\nlist / LINE \\x83e\\x83X\\x83g.txt\\r\\nLINE plain.txt\\r\\n | plain.txt 1 2023-06-15, テスト.txt 1 2023-06-15 | LIST
links and unique facts | feat 211-Features:\\n MLST type*;size*;modify*;perm;unique;UNIX.mode;\\n UTF8\\n211 End\nLINKS | a.txt 3 #801g2, odd/ 0, sub/ 0 #801g1, up@ 0 #801g3, www@ 0 #801g9 | OPTS MLST type;size;modify;perm;unique;
links, unique not offered | feat 211-Features:\\n MLST type*;size*;modify*;\\n UTF8\\n211 End\nLINKS | a.txt 3 #801g2, odd/ 0, sub/ 0 #801g1, up@ 0 #801g3, www@ 0 #801g9 | MLSD
listing line over 64 KiB | on MLSD\n reply 150 Here it comes.\n data type=file;size=2; ok.txt\\r\\ntype=file;size=1;\\x20\n data-repeat 70000 n\n data \\r\\ntype=file;size=2; after.txt\\r\\n\n data-close\n reply 226 Done.\nend | after.txt 2, ok.txt 2, skipped 1 | MLSD)");
    }
    void listings()
    {
        const QString links
            = u"on OPTS\n reply 200 OK\nend\nmlsd / type=dir;unique=801g1; sub\\r\\n"
              "type=OS.unix=slink:/site;unique=801g9; www\\r\\ntype=OS.unix=symlink;unique=801g3; up\\r\\n"
              "type=file;size=3;unique=801g2; a.txt\\r\\ntype=dir;unique="_qs
            + QString(200, u'7') + u"; odd\\r\\n";
        const QString command = text("command");
        ScriptedFtpServer server;
        auto c = connectTo(server,
            script("script")
                    .replace(u"NOMLSD"_qs,
                        u"disable MLSD MLST\nfeat 211-Features:\\n SIZE\\n MDTM\\n211 End\nfile /ok.txt text ok"_qs)
                    .replace(u"LINKS"_qs, links)
                + u'\n');
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
            if (c->skippedListingLines())
                found.append(u"skipped "_qs + QString::number(c->skippedListingLines()));
            found.sort();
            QCOMPARE(found.join(u", "), text("entries"));
        }
        QVERIFY2(server.commands().contains(command) || server.commands().contains(command + u" /"),
            qPrintable(server.commands().join(u", ")));
        QString cwd;
        QVERIFY2(c->getCurrentDirectory(&cwd), qPrintable(describe(*c)));
        // Names without UTF8 in FEAT go out in CP932 too.
        if (!c->utf8Names()) {
            QVERIFY(writeBytes(m_tmp.filePath(u"small"_qs), "small"));
            QVERIFY2(c->putFile(m_tmp.filePath(u"small"_qs), u"戻り.txt"_qs, TransferType::Binary),
                qPrintable(describe(*c)));
            QVERIFY(server.commands().contains(u"STOR \\x96\\xdf\\x82\\xe8.txt"_qs));
            // A name CP932 cannot hold is refused rather than sent as "?".
            QVERIFY(!c->deleteFile(u"한국어.txt"_qs) && c->lastError() == FtpError::InvalidName);
        }
    }

    // Replies real servers do not send: an odd FEAT (blank and indented lines, other codes inside),
    // a 120 before the greeting, 125 instead of 150, and a PASV reply naming another address, which
    // the engine ignores (the data goes to the server itself).
    void oddReplies()
    {
        ScriptedFtpServer server;
        auto c = connectTo(server,
            u"dir /pub\nfile /pub/readme.txt text readme\\n\ndisable EPSV EPRT\npasv-address 192.0.2.1\n"
            "greeting 220-Welcome\\n\\n220-\\n   indented line\\n 220 padded line\\n220 Ready.\n"
            "feat 211-Features:\\n\\n MDTM\\n211-not the end\\n200 not the end either\\n2110 nor this\\n 211 padded\\n "
            "SIZE\\n211 End\n"
            "on CONNECT\n reply 120 Service ready in a moment.\n sleep 200\n default\nend\n"
            "on RETR\n accept-data\n reply 125 Data connection already open.\n data-file\n data-close\n reply 226 "
            "Done.\nend\n"_qs);
        QVERIFY(c);
        QVERIFY(!c->utf8Names()); // "UTF8" appears in no feature line of this FEAT
        // Still in step: each command gets its own reply.
        QString cwd;
        QVERIFY(c->setCurrentDirectory(u"pub"_qs) && c->getCurrentDirectory(&cwd) && cwd == u"/pub");
        const QString target = m_tmp.filePath(u"readme.txt"_qs);
        QVERIFY2(c->getFile(u"readme.txt"_qs, target, false, TransferType::Binary), qPrintable(describe(*c)));
        QCOMPARE(readBytes(target), QByteArray("readme\n"));
        QVERIFY(server.commands().contains(u"PASV"_qs));
    }

    // ASCII mode on the wire, seen on a server that stores and sends bytes as they are: uploads send
    // LF as CR LF, downloads turn CR LF into LF; binary leaves both alone.
    void asciiOnTheWire()
    {
        ScriptedFtpServer server;
        auto c = connectTo(server, u"file /crlf.txt text a\\r\\nb\\rc\\nd\\r\\n\n"_qs);
        QVERIFY(c);
        const QString local = m_tmp.filePath(u"wire.txt"_qs);
        QVERIFY(c->getFile(u"crlf.txt"_qs, local, false, TransferType::Ascii));
        const QByteArray down = readBytes(local);
        QVERIFY(c->putFile(local, u"up.txt"_qs, TransferType::Ascii)
            && c->putFile(local, u"bin.txt"_qs, TransferType::Binary));
        QVERIFY(c->getFile(u"up.txt"_qs, local, false, TransferType::Binary));
        const QByteArray up = readBytes(local);
        QVERIFY(c->getFile(u"bin.txt"_qs, local, false, TransferType::Binary));
        QCOMPARE(QByteArrayList({ down, up, readBytes(local) }),
            QByteArrayList({ "a\nb\rc\nd\n", "a\r\nb\rc\r\nd\r\n", "a\nb\rc\nd\n" }));
    }
};

QTEST_GUILESS_MAIN(TestFtpEngineFaults)
#include "tst_ftpengine_faults.moc"
