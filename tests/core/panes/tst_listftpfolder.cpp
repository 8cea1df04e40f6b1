#include "core/app/codepage.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftpsession.h"
#include "core/panes/listftpfolder.h"
#include "core/panes/listingrecord.h"
#include "support/ftpserverfixture.h"
#include "support/removetree.h"
#include "support/scriptedftpserver.h"

#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using Kind = FtpServerFixture::Kind;

namespace {

// The servers: pyftpdlib (UTF-8 names), vsftpd with CP932 names, vsftpd with UTF-8 names.
enum class Server { Pyftpdlib, VsftpdCp932, VsftpdUtf8 };

struct SiteEntry {
    QString name;
    bool folder;
    qint64 size; // files only
    QDateTime modified; // UTC
};

QByteArray encodeName(const QString& name, bool utf8) { return utf8 ? name.toUtf8() : Cp932::encode(name); }

bool setModified(const QByteArray& path, const QDateTime& utc)
{
    const timespec times[2] = { { utc.toSecsSinceEpoch(), 0 }, { utc.toSecsSinceEpoch(), 0 } };
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}

// Creates `entries` in `folder` with names in the server's encoding (QFile cannot write a CP932
// name, nor can QTemporaryDir remove one: removeTree does that).
bool makeEntries(const QString& folder, const std::vector<SiteEntry>& entries, bool utf8)
{
    const QByteArray base = QFile::encodeName(folder) + '/';
    if (::mkdir(QFile::encodeName(folder).constData(), 0755) != 0)
        return false;
    for (const SiteEntry& e : entries) {
        const QByteArray path = base + encodeName(e.name, utf8);
        if (e.folder) {
            if (::mkdir(path.constData(), 0755) != 0 || ::chmod(path.constData(), 0755) != 0)
                return false;
        } else {
            const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0)
                return false;
            const bool sized = ::ftruncate(fd, e.size) == 0 && ::fchmod(fd, 0644) == 0;
            ::close(fd);
            if (!sized)
                return false;
        }
        if (!setModified(path, e.modified))
            return false;
    }
    return true;
}

QString dateText(const QDateTime& t, bool withTime)
{
    return t.toString(withTime ? u"yyyy-MM-dd HH:mm"_qs : u"yyyy-MM-dd"_qs);
}

QString describe(const RemoteEntry& e)
{
    return QStringList { e.name, QString::number(e.kind), e.size ? QString::number(*e.size) : u"-"_qs, e.date,
        e.permissions }
        .join(u'|');
}

} // namespace

Q_DECLARE_METATYPE(Server)

// ListFtpFolder against real servers and against a scripted one for what real servers do not do
// on demand (characters split between reads, NUL, failures).
class TestListFtpFolder : public QObject {
    Q_OBJECT
private:
    std::map<Server, std::unique_ptr<FtpServerFixture>> m_servers;
    FtpSession m_session;
    QDateTime m_recent; // 02:00 UTC a few days ago, on a day that is not the last of its month
    std::vector<SiteEntry> m_site;
    QStringList m_many;

    std::unique_ptr<FtpConnection> connectTo(const QString& hostField, const QString& user, const QString& password)
    {
        auto c = std::make_unique<FtpConnection>(m_session);
        if (!c->connect(hostField, 0, user, password, true)) {
            qWarning("connect failed: %d %s", c->lastError(), qPrintable(c->lastResponse()));
            return nullptr;
        }
        return c;
    }

    std::unique_ptr<FtpConnection> connectTo(Server server)
    {
        const FtpServerFixture& f = *m_servers.at(server);
        return connectTo(f.hostField(), f.user(), f.password());
    }

    static bool isUtf8(Server server) { return server != Server::VsftpdCp932; }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_session.open(FtpSession::Direct));
        m_session.setOption(FtpSession::ConnectTimeout, 5000);
        m_session.setOption(FtpSession::ControlReceiveTimeout, 10000);
        m_session.setOption(FtpSession::DataReceiveTimeout, 10000);

        QDate day = QDateTime::currentDateTimeUtc().date().addDays(-3);
        if (day.addDays(1).month() != day.month())
            day = day.addDays(-1);
        m_recent = QDateTime(day, QTime(2, 0), Qt::UTC);
        const QDateTime old(QDate(2003, 8, 5), QTime(12, 0), Qt::UTC);
        m_site = {
            { u"0-first.txt"_qs, false, 1, old },
            { u"Janet.txt"_qs, false, 5, old },
            { u"index.html"_qs, false, 1234, old },
            { u"my page.html"_qs, false, 10, m_recent },
            { u"Dec  report.html"_qs, false, 7, old },
            { u"sub dir"_qs, true, 0, old },
            { u"ﾌｫﾙﾀﾞ 2"_qs, true, 0, m_recent },
            { u"日本語 ファイル.txt"_qs, false, 5000, m_recent.addSecs(18 * 3600 + 30 * 60) },
        };
        // Enough Japanese names that the listing arrives in many reads.
        std::vector<SiteEntry> many;
        for (int i = 0; i < 3000; ++i) {
            m_many.append(u"ページ%1 ｶﾅ.html"_qs.arg(i, 4, 10, QLatin1Char('0')));
            many.push_back({ m_many.back(), false, i, old });
        }

        const std::tuple<Server, Kind, bool> kinds[] = {
            { Server::Pyftpdlib, Kind::Pyftpdlib, true },
            { Server::VsftpdCp932, Kind::Vsftpd, false },
            { Server::VsftpdUtf8, Kind::Vsftpd, true },
        };
        for (const auto& [server, kind, utf8] : kinds) {
            FtpServerFixture::Options options;
            options.kind = kind;
            options.utf8 = utf8;
            auto fixture = std::make_unique<FtpServerFixture>(options);
            QString error;
            QVERIFY2(fixture->start(&error), qPrintable(error));
            QVERIFY(makeEntries(fixture->root() + u"/site", m_site, isUtf8(server)));
            QVERIFY(makeEntries(fixture->root() + u"/many", many, isUtf8(server)));
            m_servers[server] = std::move(fixture);
        }
    }

    void cleanupTestCase()
    {
        for (const auto& [server, fixture] : m_servers) {
            removeTree(QFile::encodeName(fixture->root() + u"/site"));
            removeTree(QFile::encodeName(fixture->root() + u"/many"));
        }
        m_servers.clear();
    }

    void listsARealFolder_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<bool>("check9");
        QTest::newRow("pyftpdlib") << Server::Pyftpdlib << false;
        QTest::newRow("pyftpdlib, GMT to Japanese time") << Server::Pyftpdlib << true;
        QTest::newRow("vsftpd CP932") << Server::VsftpdCp932 << false;
        QTest::newRow("vsftpd CP932, GMT to Japanese time") << Server::VsftpdCp932 << true;
        QTest::newRow("vsftpd UTF-8") << Server::VsftpdUtf8 << false;
    }
    void listsARealFolder()
    {
        QFETCH(Server, server);
        QFETCH(bool, check9);
        auto c = connectTo(server);
        QVERIFY(c);
        QCOMPARE(c->utf8Names(), isUtf8(server));
        QVERIFY(c->setCurrentDirectory(u"/site"_qs));

        ListingRecord record;
        record.Local.push_back({ u"stale"_qs, 32, 1, 0 });
        record.RemoteTotalKB = 99;
        QString raw;
        QVERIFY(ListFtpFolder(*c, record, check9, systemNow, &raw));
        QVERIFY(record.Local.empty());

        // Neither server sends a total line: the entry on the first line must be listed too.
        const QString firstLine = raw.section(u"\r\n"_qs, 0, 0);
        QVERIFY2(!firstLine.startsWith(u"total"), qPrintable(firstLine));
        QStringList expected;
        qint64 totalKB = 0;
        for (const SiteEntry& e : m_site) {
            const QString site = m_servers.at(server)->root() + u"/site/";
            const QByteArray path = QFile::encodeName(site) + encodeName(e.name, isUtf8(server));
            struct stat st { };
            QCOMPARE(::lstat(path.constData(), &st), 0);
            const bool recent = e.modified > m_recent.addDays(-1);
            const QDateTime shown = check9 ? e.modified.addSecs(9 * 3600) : e.modified;
            expected.append(QStringList { e.name, e.folder ? u"16"_qs : u"32"_qs, QString::number(st.st_size),
                dateText(shown, recent), e.folder ? u"rwxr-xr-x"_qs : u"rw-r--r--"_qs }
                                .join(u'|'));
            totalKB += st.st_size / 1024;
        }
        QCOMPARE(expected.size(), int(m_site.size()));
        QStringList actual;
        for (const RemoteEntry& e : record.Remote) {
            actual.append(describe(e));
            QVERIFY2(
                e.owner.contains(u'/') && !e.owner.startsWith(u'/') && !e.owner.endsWith(u'/'), qPrintable(e.owner));
        }
        actual.sort();
        expected.sort();
        QCOMPARE(actual, expected);
        QCOMPARE(record.RemoteTotalKB, totalKB);
        QVERIFY2(raw.contains(u"日本語 ファイル.txt"), qPrintable(raw));
        QVERIFY(!raw.endsWith(u' '));
    }

    void japaneseNamesOverManyReads_data()
    {
        QTest::addColumn<Server>("server");
        QTest::newRow("pyftpdlib") << Server::Pyftpdlib;
        QTest::newRow("vsftpd CP932") << Server::VsftpdCp932;
    }
    void japaneseNamesOverManyReads()
    {
        QFETCH(Server, server);
        auto c = connectTo(server);
        QVERIFY(c);
        QVERIFY(c->setCurrentDirectory(u"/many"_qs));
        ListingRecord record;
        QString raw;
        QVERIFY(ListFtpFolder(*c, record, false, systemNow, &raw));
        QVERIFY(raw.size() > 150000);
        QVERIFY(!raw.contains(QChar(QChar::ReplacementCharacter)));
        QCOMPARE(int(record.Remote.size()), m_many.size());
        QStringList names;
        for (const RemoteEntry& e : record.Remote)
            names.append(e.name);
        names.sort();
        QStringList expected = m_many;
        expected.sort();
        QCOMPARE(names, expected);
    }

    void failedListLeavesTheRecordEmpty()
    {
        auto c = connectTo(Server::Pyftpdlib);
        QVERIFY(c);
        QVERIFY(c->setCurrentDirectory(u"/site"_qs));
        ListingRecord record;
        QVERIFY(ListFtpFolder(*c, record, false));
        QVERIFY(!record.Remote.empty());
        // The folder goes away under the connection: LIST gets 550.
        removeTree(QFile::encodeName(m_servers.at(Server::Pyftpdlib)->root() + u"/site"));
        QString raw = u"old"_qs;
        QVERIFY(!ListFtpFolder(*c, record, false, systemNow, &raw));
        QVERIFY(record.Remote.empty());
        QCOMPARE(record.RemoteTotalKB, qint64(0));
        QVERIFY(raw.isEmpty());
        QVERIFY(makeEntries(m_servers.at(Server::Pyftpdlib)->root() + u"/site", m_site, true));
        // The connection is still usable.
        QVERIFY(c->setCurrentDirectory(u"/site"_qs));
        QVERIFY(ListFtpFolder(*c, record, false));
        QCOMPARE(record.Remote.size(), m_site.size());

        c->close();
        QVERIFY(!ListFtpFolder(*c, record, false));
        QVERIFY(record.Remote.empty());
    }

    // What the scripted server sends on LIST, and what the record then holds.
    void scriptedListings_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QStringList>("names");
        const QString line = u"-rw-r--r--   1 u g   5 Aug  5  2003 "_qs;
        const QString cp932 = u"feat none\non LIST\n  reply 150 Here it comes.\n"_qs;
        const QString utf8 = u"feat 211-Features:\\n UTF8\\n211 End\non LIST\n  reply 150 Here it comes.\n"_qs;
        const QString end = u"  data-close\n  reply 226 Done.\nend\n"_qs;
        // テスト in CP932 is 83 65 83 58 83 67; ア in UTF-8 E3 82 A2.
        QTest::newRow("CP932 character split between two reads") << (cp932 + u"  data total 1\\r\\n" + line
            + u"\\x83\n  sleep 300\n  data \\x65\\x83\\x58\\x83\\x67.txt\\r\\n\n" + end)
                                                                 << true << QStringList { u"テスト.txt"_qs };
        QTest::newRow("UTF-8 character split between two reads")
            << (utf8 + u"  data total 1\\r\\n" + line + u"\\xe3\\x82\n  sleep 300\n  data \\xa2.txt\\r\\n\n" + end)
            << true << QStringList { u"ア.txt"_qs };
        QTest::newRow("UTF-8 announced, CP932 sent: no crash, marked characters")
            << (utf8 + u"  data total 1\\r\\n" + line + u"\\x83\\x65.txt\\r\\n\n" + end) << true
            << QStringList { u"\ufffde.txt"_qs };
        QTest::newRow("a NUL ends the listing") << (cp932 + u"  data total 1\\r\\n" + line + u"a.txt\\r\\n" + line
            + u"b\\0junk\\r\\n" + line + u"c.txt\\r\\n\n" + end)
                                                << true << QStringList { u"a.txt"_qs, u"b"_qs };
        QTest::newRow("LIST refused") << u"feat none\non LIST\n  reply 550 No such folder.\nend\n"_qs << false
                                      << QStringList {};
        QTest::newRow("data connection reset in the middle") << (cp932 + u"  data total 1\\r\\n" + line + u"a.txt\\r\\n"
            + line + u"b.t\n  data-reset\n  reply 426 Connection closed; transfer aborted.\nend\n")
                                                             << false << QStringList {};
        QTest::newRow("a listing beyond 64 MiB") << (cp932 + u"  data total 1\\r\\n\n  data-repeat 1100000 " + line
            + u"abcdefghijklmnopqrstuv.txt\\r\\n\n" + end)
                                                 << false << QStringList {};
    }
    void scriptedListings()
    {
        QFETCH(QString, script);
        QFETCH(bool, listed);
        QFETCH(QStringList, names);
        ScriptedFtpServer server;
        QString error;
        QVERIFY2(server.startScript(script, &error), qPrintable(error));
        auto c = connectTo(server.hostField(), server.user(), server.password());
        QVERIFY(c);
        ListingRecord record;
        record.Remote.push_back({ u"stale"_qs, 32, 1, {}, {}, {} });
        QString raw;
        QCOMPARE(ListFtpFolder(*c, record, false, systemNow, &raw), listed);
        QStringList got;
        for (const RemoteEntry& e : record.Remote)
            got.append(e.name);
        QCOMPARE(got, names);
        QCOMPARE(raw.isEmpty(), !listed);
        QVERIFY(!raw.contains(QChar(u'\0')));
        // The connection survives whatever the listing did.
        QString folder;
        QVERIFY2(c->getCurrentDirectory(&folder), qPrintable(c->lastResponse()));
    }
};

QTEST_GUILESS_MAIN(TestListFtpFolder)
#include "tst_listftpfolder.moc"
