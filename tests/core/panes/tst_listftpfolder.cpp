#include "core/app/codepage.h"
#include "core/app/itemroles.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftpsession.h"
#include "core/panes/entrytexts.h"
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
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct SiteEntry {
    QString name;
    qint64 size; // -1: a folder
    QDateTime modified; // UTC
};

} // namespace

// ListFtpFolder against real servers (pyftpdlib with UTF-8 names, vsftpd with CP932 ones), and
// against a scripted one for what real servers do not do on demand.
class TestListFtpFolder : public QObject {
    Q_OBJECT
    std::map<int, std::unique_ptr<FtpServerFixture>> m_servers;
    FtpSession m_session;
    QDateTime m_recent; // 02:00 UTC a few days ago, on a day that is not the last of its month
    std::vector<SiteEntry> m_site;

    std::unique_ptr<FtpConnection> connectTo(const QString& hostField, const QString& user, const QString& password)
    {
        auto c = std::make_unique<FtpConnection>(m_session);
        return c->connect(hostField, 0, user, password, true) ? std::move(c) : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_session.open(FtpSession::Direct));
        m_session.setOption(FtpSession::ConnectTimeout, 5000);
        m_session.setOption(FtpSession::ControlReceiveTimeout, 10000);
        m_session.setOption(FtpSession::DataReceiveTimeout, 10000);
        QDate day = QDateTime::currentDateTimeUtc().date().addDays(-3);
        day = day.addDays(day.addDays(1).month() != day.month() ? -1 : 0);
        m_recent = QDateTime(day, QTime(2, 0), Qt::UTC);
        const QDateTime old(QDate(2003, 8, 5), QTime(12, 0), Qt::UTC);
        m_site = { { u"0-first.txt"_s, 1, old }, { u"Janet.txt"_s, 5, old }, { u"index.html"_s, 1234, old },
            { u"my page.html"_s, 10, m_recent }, { u"Dec  report.html"_s, 7, old }, { u"sub dir"_s, -1, old },
            { u"ﾌｫﾙﾀﾞ 2"_s, -1, m_recent }, { u"日本語 ファイル.txt"_s, 5000, m_recent.addSecs(18 * 3600 + 30 * 60) } };
        // Names in the server's encoding: QFile cannot write a CP932 name, nor QTemporaryDir remove one.
        for (const int server : { 0, 1 }) {
            FtpServerFixture::Options options;
            options.kind = server == 0 ? FtpServerFixture::Kind::Pyftpdlib : FtpServerFixture::Kind::Vsftpd;
            options.utf8 = server == 0;
            auto fixture = std::make_unique<FtpServerFixture>(options);
            QString error;
            QVERIFY2(fixture->start(&error), qPrintable(error));
            const QByteArray base = QFile::encodeName(fixture->root() + u"/site/"_s);
            QCOMPARE(::mkdir(base.constData(), 0755), 0);
            for (const SiteEntry& e : m_site) {
                const QByteArray path = base + (server != 1 ? e.name.toUtf8() : Cp932::encode(e.name));
                const int fd = e.size < 0 ? -1 : ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                QVERIFY(e.size < 0 ? ::mkdir(path.constData(), 0755) == 0 && ::chmod(path.constData(), 0755) == 0
                                   : ::ftruncate(fd, e.size) == 0 && ::fchmod(fd, 0644) == 0 && ::close(fd) == 0);
                const timespec times[2]
                    = { { e.modified.toSecsSinceEpoch(), 0 }, { e.modified.toSecsSinceEpoch(), 0 } };
                QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
            }
            m_servers[server] = std::move(fixture);
        }
    }
    void cleanupTestCase()
    {
        for (const auto& [server, fixture] : m_servers)
            removeTree(QFile::encodeName(fixture->root() + u"/site"_s));
    }

    void listsARealFolder_data()
    {
        QTest::addColumn<int>("server");
        QTest::addColumn<bool>("check9");
        QTest::newRow("pyftpdlib, GMT to Japanese time") << 0 << true;
        QTest::newRow("vsftpd CP932") << 1 << false;
    }
    void listsARealFolder()
    {
        QFETCH(int, server);
        QFETCH(bool, check9);
        const FtpServerFixture& f = *m_servers.at(server);
        auto c = connectTo(f.hostField(), f.user(), f.password());
        QVERIFY(c && c->utf8Names() == (server != 1) && c->setCurrentDirectory(u"/site"_s));
        ListingRecord record;
        record.Local.push_back({ u"stale"_s, 32, 1, 0 });
        QString raw;
        QVERIFY(ListFtpFolder(*c, record, check9, systemNow, &raw));
        // Neither server sends a total line: the entry on the first line must be listed too.
        QVERIFY2(record.Local.empty() && !raw.startsWith(u"total") && !raw.endsWith(u' '), qPrintable(raw));
        QStringList expected, actual;
        for (const SiteEntry& e : m_site) {
            const QString date
                = (check9 ? e.modified.addSecs(9 * 3600) : e.modified)
                      .toString(e.modified > m_recent.addDays(-1) ? u"yyyy-MM-dd HH:mm"_s : u"yyyy-MM-dd"_s);
            expected << (e.size < 0 ? u"%1||<DIR>|%2|rwxr-xr-x"_s.arg(e.name, date)
                                    : u"%1|%2|ﾌｧｲﾙ|%3|rw-r--r--"_s.arg(e.name, ftpSizeText(e.size), date));
        }
        for (const PaneListModel::Row& row : record.Remote) {
            QStringList texts;
            for (int col = 0; col < 5; ++col)
                texts << row.text(col).toString();
            actual << texts.join(u'|');
        }
        actual.sort();
        expected.sort();
        QCOMPARE(actual, expected);
    }

    // What the scripted server sends on LIST, and the names the record then holds ("-": not listed).
    void scriptedListings_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("names");
        const QString line = u"-rw-r--r--   1 u g   5 Aug  5  2003 "_s;
        const QString cp932 = u"feat none\non LIST\n  reply 150 Here it comes.\n  data total 1\\r\\n"_s + line;
        const QString end = u"  data-close\n  reply 226 Done.\nend\n"_s;
        // テスト in CP932 is 83 65 83 58 83 67.
        QTest::newRow("CP932 character split between two reads")
            << cp932 + u"\\x83\n  sleep 300\n  data \\x65\\x83\\x58\\x83\\x67.txt\\r\\n\n" + end
            << QStringList { u"テスト.txt"_s };
        QTest::newRow("a NUL ends the listing") << cp932 + u"a.txt\\r\\n" + line + u"b\\0junk\\r\\n" + line
                + u"c.txt\\r\\n\n" + end << QStringList { u"a.txt"_s, u"b"_s };
        QTest::newRow("data connection reset in the middle") << cp932 + u"a.txt\\r\\n" + line
                + u"b.t\n  data-reset\n  reply 426 Connection closed; transfer aborted.\nend\n"
                                                             << QStringList { "-" };
        QTest::newRow("a listing beyond 64 MiB")
            << cp932 + u"\\r\\n\n  data-repeat 1100000 " + line + u"abcdefghijklmnopqrstuv.txt\\r\\n\n" + end
            << QStringList { "-" };
    }
    void scriptedListings()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, names);
        ScriptedFtpServer server;
        QString error;
        QVERIFY2(server.startScript(script, &error), qPrintable(error));
        auto c = connectTo(server.hostField(), server.user(), server.password());
        QVERIFY(c);
        ListingRecord record;
        record.Remote.push_back(PaneListModel::Row(IconKeys::Leaf, { u"stale" }));
        QString raw;
        const bool listed = ListFtpFolder(*c, record, false, systemNow, &raw);
        QStringList got { listed ? QString() : u"-"_s };
        for (const PaneListModel::Row& row : record.Remote)
            got << row.text(0).toString();
        QCOMPARE(got.mid(listed ? 1 : 0), names);
        QVERIFY(raw.isEmpty() != listed && !raw.contains(QChar(u'\0')));
        // The connection survives whatever the listing did.
        QString folder;
        QVERIFY2(c->getCurrentDirectory(&folder), qPrintable(c->lastResponse()));
    }
};

QTEST_GUILESS_MAIN(TestListFtpFolder)
#include "tst_listftpfolder.moc"
