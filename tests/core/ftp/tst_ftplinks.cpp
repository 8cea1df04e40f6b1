// Symbolic links in the engine's listings: the link flag of LIST and MLSD, and the unique fact
// that tells a followed link from the folder it points to.
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftpsession.h"
#include "support/ftpserverfixture.h"
#include "support/scriptedftpserver.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTest>
#include <memory>

using Kind = FtpServerFixture::Kind;
Q_DECLARE_METATYPE(FtpServerFixture::Kind)

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The entries of a folder by name.
QMap<QString, FtpFindData> listing(FtpConnection& c, const QString& folder)
{
    QMap<QString, FtpFindData> entries;
    FtpFindData entry;
    std::unique_ptr<FtpFind> find = c.findFirstFile(folder, &entry);
    for (bool more = find != nullptr; more; more = find->next(&entry))
        entries.insert(entry.name, entry);
    return entries;
}

} // namespace

#define VERIFY_OP(c, expr) QVERIFY2(expr, qPrintable(QString::number((c).lastError()) + u' ' + (c).lastResponse()))

class TestFtpLinks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void linksOnRealServers_data();
    void linksOnRealServers();
    void scriptedMlsdLinks_data();
    void scriptedMlsdLinks();

private:
    FtpSession m_session;
};

void TestFtpLinks::initTestCase() { QVERIFY(m_session.open(FtpSession::Direct)); }

void TestFtpLinks::linksOnRealServers_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::newRow("pyftpdlib follows links in MLSD") << Kind::Pyftpdlib;
    QTest::newRow("vsftpd lists links in LIST") << Kind::Vsftpd;
}

void TestFtpLinks::linksOnRealServers()
{
    QFETCH(Kind, kind);
    FtpServerFixture server(kind);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    const QString root = server.root();
    QVERIFY(writeFile(root + QStringLiteral("/site/a.txt"), "a"));
    QVERIFY(writeFile(root + QStringLiteral("/site/sub/b.txt"), "b"));
    QVERIFY(writeFile(root + QStringLiteral("/sibling/s.txt"), "s"));
    QVERIFY(QFile::link(QStringLiteral("."), root + QStringLiteral("/site/www")));
    QVERIFY(QFile::link(QStringLiteral(".."), root + QStringLiteral("/site/up")));
    QVERIFY(QFile::link(QStringLiteral("../sibling"), root + QStringLiteral("/site/other")));
    QVERIFY(QFile::link(QStringLiteral("a.txt"), root + QStringLiteral("/site/alias.txt")));

    FtpConnection c(m_session);
    VERIFY_OP(c, c.connect(server.hostField(), 0, server.user(), server.password(), true));
    const QMap<QString, FtpFindData> site = listing(c, QStringLiteral("/site"));
    QCOMPARE(site.keys(),
        QStringList({ QStringLiteral("a.txt"), QStringLiteral("alias.txt"), QStringLiteral("other"),
            QStringLiteral("sub"), QStringLiteral("up"), QStringLiteral("www") }));
    QVERIFY(site[QStringLiteral("sub")].isFolder);
    QVERIFY(!site[QStringLiteral("sub")].isLink);
    QVERIFY(!site[QStringLiteral("a.txt")].isLink);

    if (kind == Kind::Vsftpd) {
        // LIST shows every link as a link, target unknown.
        QVERIFY(!c.hasUniqueFacts());
        for (const char* name : { "www", "up", "other", "alias.txt" }) {
            QVERIFY2(site[QString::fromLatin1(name)].isLink, name);
            QVERIFY2(site[QString::fromLatin1(name)].unique.isEmpty(), name);
        }
        QByteArray unique;
        QVERIFY(!c.getUniqueFact(QStringLiteral("/site"), &unique));
        return;
    }
    // MLSD follows the links: they look like their targets, and only the unique fact tells.
    QVERIFY(c.hasUniqueFacts());
    QByteArray siteId, rootId, siblingId, subId;
    VERIFY_OP(c, c.getUniqueFact(QStringLiteral("/site"), &siteId));
    VERIFY_OP(c, c.getUniqueFact(QStringLiteral("/"), &rootId));
    VERIFY_OP(c, c.getUniqueFact(QStringLiteral("/sibling"), &siblingId));
    VERIFY_OP(c, c.setCurrentDirectory(QStringLiteral("/site")));
    VERIFY_OP(c, c.getUniqueFact(QStringLiteral("sub"), &subId));
    QCOMPARE(QSet<QByteArray>({ siteId, rootId, siblingId, subId }).size(), 4);
    QCOMPARE(site[QStringLiteral("www")].unique, siteId);
    QCOMPARE(site[QStringLiteral("up")].unique, rootId);
    QCOMPARE(site[QStringLiteral("other")].unique, siblingId);
    QCOMPARE(site[QStringLiteral("sub")].unique, subId);
    QCOMPARE(site[QStringLiteral("alias.txt")].unique, site[QStringLiteral("a.txt")].unique);
    for (const char* name : { "www", "up", "other" }) {
        QVERIFY2(site[QString::fromLatin1(name)].isFolder, name);
        QVERIFY2(!site[QString::fromLatin1(name)].isLink, name);
    }
    // The other facts still come after OPTS MLST.
    QCOMPARE(site[QStringLiteral("a.txt")].size, qint64(1));
    QVERIFY(site[QStringLiteral("a.txt")].lastWriteTime.isValid());
}

void TestFtpLinks::scriptedMlsdLinks_data()
{
    QTest::addColumn<QString>("feat");
    QTest::addColumn<QString>("optsSent"); // empty: no OPTS MLST goes out
    QTest::addColumn<bool>("unique");
    QTest::newRow("unique offered")
        << u"211-Features:\\n MLST type*;size*;modify*;perm;unique;UNIX.mode;\\n UTF8\\n211 End"_qs
        << u"OPTS MLST type;size;modify;perm;unique;"_qs << true;
    QTest::newRow("unique not offered") << u"211-Features:\\n MLST type*;size*;modify*;\\n UTF8\\n211 End"_qs
                                        << QString() << false;
}

void TestFtpLinks::scriptedMlsdLinks()
{
    QFETCH(QString, feat);
    QFETCH(QString, optsSent);
    QFETCH(bool, unique);
    // A server that lists links as links in MLSD (type OS.unix=slink) and gives unique facts.
    const QString script = u"feat "_qs + feat
        + u"\ndir /site\non OPTS\n  reply 200 OK\nend\n"
          "mlsd /site type=dir;unique=801g1; sub\\r\\ntype=OS.unix=slink:/site;unique=801g9; www\\r\\n"
          "type=OS.unix=symlink;unique=801g3; up\\r\\ntype=file;size=3;unique=801g2; a.txt\\r\\n"
          "type=dir;unique="_qs
        + QString(200, u'7') + u"; odd\\r\\n\n"_qs;
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(server.startScript(script, &error), qPrintable(error));
    FtpConnection c(m_session);
    VERIFY_OP(c, c.connect(server.hostField(), 0, server.user(), server.password(), true));
    QCOMPARE(c.hasUniqueFacts(), unique);
    const QStringList opts = server.commands().filter(QStringLiteral("OPTS MLST"));
    QCOMPARE(opts, optsSent.isEmpty() ? QStringList() : QStringList { optsSent });

    const QMap<QString, FtpFindData> site = listing(c, QStringLiteral("/site"));
    QCOMPARE(site.size(), 5);
    QVERIFY(site[QStringLiteral("www")].isLink);
    QVERIFY(site[QStringLiteral("up")].isLink);
    QVERIFY(!site[QStringLiteral("sub")].isLink);
    QVERIFY(!site[QStringLiteral("a.txt")].isLink);
    QCOMPARE(site[QStringLiteral("sub")].unique, QByteArray("801g1"));
    QCOMPARE(site[QStringLiteral("www")].unique, QByteArray("801g9"));
    // An overlong fact is no identity to trust.
    QVERIFY(site[QStringLiteral("odd")].unique.isEmpty());
    QVERIFY(site[QStringLiteral("odd")].isFolder);
}

QTEST_GUILESS_MAIN(TestFtpLinks)
#include "tst_ftplinks.moc"
