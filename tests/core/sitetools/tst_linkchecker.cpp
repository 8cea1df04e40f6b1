#include "core/app/appstate.h"
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftpsession.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "core/sitetools/cleanup.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/linkexclusions.h"
#include "core/sitetools/linkprobe.h"
#include "support/ftpserverfixture.h"
#include "support/portblock.h"
#include "support/scripteddialogs.h"
#include "support/serverprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The site every test works on. WEB stands for the test HTTP server.
const char* const Site[][2] = {
    { "index.html",
        "<html><head><style>body { background: url(img/bg.gif) }</style>\n"
        "<script>if (a <!--b) go();</script></head><body><a name=\"top\"></a>\n"
        "<img src=\"./img/logo.gif\"><a href=\"sub/page.html\">sub</a>\n"
        "<a href=&quot;%E3%81%82.html&quot;>あ</a> <a href=\"a%20b.html?x=1\">ab</a>\n"
        "<!-- <a href=\"old.html\">old</a> -->\n"
        "<a href=\"missing.html\">x</a> <a href=\"mailto:me@example.jp\">mail</a>\n"
        "<a href=\"parts/excluded.html\">ex</a> <a href=\"#top\">top</a> <a href=\"#nowhere\">no</a>\n"
        "<a href=\"sub/page.html#part\">p</a> <a href=\"sub/page.html#none\">n</a>\n"
        "<a href=\"WEB/ok.html\">w</a> <a href=\"WEB/gone.html\">w</a> <a href=\"WEB/slow\">w</a> "
        "<a href=\"WEB/moved\">w</a>\n</body></html>\n" },
    { "sub/page.html",
        "<a href=\"../index.html#top\">home</a><img src=\"../img/logo.gif\"><a name=\"part\">\n"
        "<a href=\"deep/d.html\">d</a>\n" },
    { "sub/deep/d.html", "<a href=\"../../a%20b.html\">ab</a> <a href=\"../../Back/old.html\">old</a>\n" },
    { "Back/old.html", "<a href=\"../orphan.html\">a backup is never read</a>\n" },
    { "あ.html", "<p>あ</p>\n" },
    { "a b.html", "<p>ab</p>\n" },
    { "img/logo.gif", "GIF89a" },
    { "img/bg.gif", "GIF89a" },
    { "img/unused.gif", "GIF89a unused" },
    { "orphan.html", "<p>root orphan</p>\n" },
    { "sub/orphan.html", "<p>the other orphan</p>\n" },
    { "sub/back/x.gif", "GIF89a" },
};

bool writeSite(const QString& root, const QString& web)
{
    for (const auto& [name, text] : Site) {
        const QString path = root + u'/' + QString::fromUtf8(name);
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly))
            return false;
        file.write(QString::fromUtf8(text).replace(u"WEB"_s, web).toUtf8());
    }
    return true;
}

QStringList iconsOf(const QStandardItemModel& tree, const QString& root, const QString& icon)
{
    QStringList out;
    std::function<void(const QStandardItem*)> walk = [&](const QStandardItem* item) {
        for (int r = 0; r < item->rowCount(); ++r) {
            const QStandardItem* child = item->child(r);
            if (child->data(ItemRoles::IconKeyRole).toString() == icon)
                out << child->data(ItemRoles::NodeKeyRole).toString().mid(root.size() + 1);
            walk(child);
        }
    };
    walk(tree.invisibleRootItem());
    out.sort();
    return out;
}

} // namespace

// The link checker over a real site on the disk, the same site on a real FTP server, links to a
// real HTTP server; the trace and the clean-up over the real local tree.
class TestLinkChecker : public QObject {
    Q_OBJECT
    QTemporaryDir m_data;
    QTemporaryDir m_work;
    QString m_site;
    QString m_web;
    PortBlock m_webPorts;
    ServerProcess m_webServer;
    FtpServerFixture m_ftp;
    FtpSession m_session;

    AppState m_state;
    SettingsLines m_lines;
    Options m_options { m_lines };
    StatusLines m_status;
    std::unique_ptr<LinkExclusions> m_exclusions;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<LinkChecker> m_checker;

    // The report of both pages, "!" standing for a link not found.
    QString expectedReport(const QString& indexHeader, const QString& pageHeader) const
    {
        return u"\nINDEX\nOK-./img/logo.gif\nOK-sub/page.html\nOK-%E3%81%82.html\nOK-a%20b.html?x=1\n"
               "NG-missing.html!\nOK-#top\nNG-#nowhere!\nOK-sub/page.html#part\nNG-sub/page.html#none!\n"
               "OK-WEB/ok.html\nNG-WEB/gone.html!\nNG-WEB/slow!\nOK-WEB/moved\nOK-img/bg.gif\n\n"
               "PAGE\nOK-../img/logo.gif\nOK-../index.html#top\nOK-deep/d.html"_s.replace(u"WEB"_s, m_web)
                   .replace(u"!"_s, u"が見つかりません。"_s)
                   .replace(u"INDEX"_s, indexHeader)
                   .replace(u"PAGE"_s, pageHeader);
    }

    void useProbeLimit(int ms)
    {
        auto probe = std::make_unique<NetworkLinkProbe>(ms);
        m_checker->setLinkProbe(std::move(probe));
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("FTPTARVO_HOME", m_data.path().toUtf8());
        DataFolder::reset();
        QString error;
        QVERIFY2(m_webPorts.reserve(&error), qPrintable(error));
        QVERIFY2(m_webServer.start(u"/usr/bin/python3"_s,
                     { QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR) + u"/http_link_server.py"_s, u"--port"_s,
                         QString::number(m_webPorts.first()) },
                     m_work.filePath(u"http.log"_s), &error),
            qPrintable(error));
        QVERIFY2(m_webServer.waitForOutput(u"listening"_s, 20000, &error), qPrintable(error));
        m_web = u"http://127.0.0.1:%1"_s.arg(m_webPorts.first());
        m_site = m_work.filePath(u"site"_s);
        QVERIFY(writeSite(m_site, m_web));
        QVERIFY2(m_ftp.start(&error), qPrintable(error));
        QVERIFY(writeSite(m_ftp.root() + u"/site"_s, m_web));
        QVERIFY(m_session.open(FtpSession::Direct));

        // A list from the first platform (CP932, CR LF) and a registration cut to its last part.
        QFile list(LinkExclusions::defaultPath());
        QVERIFY(list.open(QIODevice::WriteOnly) && list.write(Cp932::encode(u"日本語.gif\r\n"_s)) > 0);
        list.close();
        m_exclusions = std::make_unique<LinkExclusions>(LinkExclusions::defaultPath());
        QVERIFY(m_exclusions->registerText(u"parts/excluded.html"_s));
        QVERIFY(m_exclusions->registerText(u"tmp.gif"_s) && m_exclusions->removeRow(2));
        QVERIFY(list.open(QIODevice::ReadOnly));
        QCOMPARE(list.readAll(), Cp932::encode(u"日本語.gif\r\nexcluded.html\r\n"_s));
        m_checker = std::make_unique<LinkChecker>(m_state, m_options, m_status, *m_exclusions, &m_dialogs);
    }
    void init()
    {
        m_options.setSkipExternalLinks(false);
        m_options.setViewOption(Options::StopAtMissingLink, false);
        useProbeLimit(1000);
    }

    void checksPagesOnDiskAndOnTheServer_data()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("disk") << false;
        QTest::newRow("pyftpdlib") << true;
    }
    void checksPagesOnDiskAndOnTheServer()
    {
        QFETCH(bool, server);
        QStringList shown;
        QStringList red;
        connect(m_checker.get(), &LinkChecker::pageShown, this, [&](const QString& text) { shown << text; });
        connect(m_checker.get(), &LinkChecker::linkMarked, this, [&](qsizetype start, qsizetype length, bool found) {
            if (!found)
                red << shown.last().mid(start, length);
        });
        FtpConnection c(m_session);
        bool completed = false;
        if (server) {
            QVERIFY(c.connect(m_ftp.hostField(), 0, m_ftp.user(), m_ftp.password(), true));
            completed = m_checker->checkServerPages(c, u"/site"_s, { u"index.html"_s, u"sub/page.html"_s });
        } else {
            completed = m_checker->checkLocalPages({ m_site + u"/index.html"_s, m_site + u"/sub/page.html"_s });
        }
        disconnect(m_checker.get(), nullptr, this, nullptr);
        QVERIFY(completed);
        const QString site = server ? QString() : m_site + u'/';
        const QString dashes = server ? u"-----"_s : u"------"_s, after = server ? u"-----"_s : u"-------"_s;
        QCOMPARE(m_checker->report()->stringList().join(u'\n'),
            expectedReport(dashes + site + u"index.htmlのリンクチェック"_s + after,
                dashes + site + u"sub/page.htmlのリンクチェック"_s + after));
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.first().contains(u"<!-- <a href=\"old.html\">"_s)); // shown as it is
        QCOMPARE(red,
            QStringList({ u"missing.html"_s, u"#nowhere"_s, u"sub/page.html#none"_s, m_web + u"/gone.html"_s,
                m_web + u"/slow"_s }));
        QVERIFY(m_status.lastLine().endsWith(u"page.htmlのリンクを検索終了"_s));
        QVERIFY(QDir(m_data.path()).entryList({ u"$temp$*"_s }, QDir::Files).isEmpty());
    }

    // The slow link waits out the limit; Stop ends that wait at once; the option skips web links.
    void webLinksHonourStopAndOption()
    {
        useProbeLimit(15000);
        QTimer::singleShot(300, this, [this] { m_state.StopRequested = true; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!m_checker->checkLocalPages({ m_site + u"/index.html"_s }));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_checker->report()->stringList().last(), u"ユーザーストップ、リンク調査中止。"_s);
        QVERIFY(!m_state.StopRequested);

        m_options.setSkipExternalLinks(true);
        QVERIFY(m_checker->checkLocalPages({ m_site + u"/index.html"_s }));
        QVERIFY(!m_checker->report()->stringList().join(u'\n').contains(m_web));
    }

    void stopsAtTheFirstMissingLink()
    {
        m_options.setViewOption(Options::StopAtMissingLink, true);
        int fronts = 0;
        QStringList missing;
        connect(m_checker.get(), &LinkChecker::stopRuleTriggered, this, [&] { ++fronts; });
        connect(m_checker.get(), &LinkChecker::missingLink, this, [&](const QString& l) { missing << l; });
        QVERIFY(!m_checker->checkLocalPages({ m_site + u"/index.html"_s, m_site + u"/sub/page.html"_s }));
        disconnect(m_checker.get(), nullptr, this, nullptr);
        const QStringList report = m_checker->report()->stringList();
        QCOMPARE(report.mid(report.size() - 2),
            QStringList({ u"NG-missing.htmlが見つかりません。"_s, u"ユーザーストップ、リンク調査中止。"_s }));
        QCOMPARE(fronts, 1);
        QCOMPARE(missing, QStringList { u"missing.html"_s });
    }

    void serverPageThatCannotBeDownloaded()
    {
        FtpConnection c(m_session);
        QVERIFY(c.connect(m_ftp.hostField(), 0, m_ftp.user(), m_ftp.password(), true));
        QVERIFY(!m_checker->checkServerPages(c, u"/site"_s, { u"nothere.html"_s, u"index.html"_s }));
        QCOMPARE(m_checker->report()->stringList(),
            QStringList({ QString(), u"-----nothere.htmlのリンクチェック-----"_s, u"ファイルのダウンロード失敗。"_s,
                u"リンク調査中止。"_s }));
    }

    // The trace marks exactly what the top page reaches; the clean-up then moves exactly the rest.
    void traceThenCleanUp()
    {
        QDir(m_work.filePath(u"copy"_s)).removeRecursively();
        const QString copy = m_work.filePath(u"copy/site"_s);
        QVERIFY(writeSite(copy, m_web));
        ListingRecord record;
        LocalPane pane(m_state, record, m_dialogs);
        QVERIFY(pane.WalkLocalTree(QString(), u"site"_s, m_work.filePath(u"copy"_s)));
        QStandardItemModel& tree = *pane.folderTree();
        QVERIFY(m_checker->traceFromTopPage(tree, copy + u"/index.html"_s));
        QCOMPARE(
            iconsOf(tree, copy, IconKeys::Leaf3).join(u',') + u" / "_s + iconsOf(tree, copy, IconKeys::Leaf).join(u','),
            u"Back/old.html,a b.html,img/bg.gif,img/logo.gif,index.html,sub/deep/d.html,sub/page.html,あ.html / "
            "img/unused.gif,orphan.html,sub/back/x.gif,sub/orphan.html"_s);
        QCOMPARE(m_checker->report()->stringList().join(u'|'),
            copy + u"/index.htmlの中の|    missing.htmlファイルが有りません 。"_s);

        m_dialogs.clear();
        m_dialogs.queueAnswer(Dialogs::Answer::No);
        QVERIFY(!RemoveUnlinkedFiles(tree, copy, m_dialogs).confirmed);
        QVERIFY(QFile::exists(copy + u"/orphan.html"_s) && !QFile::exists(copy + u"/Back/deletelog.txt"_s));

        m_dialogs.queueAnswer(Dialogs::Answer::Yes);
        const CleanupResult result = RemoveUnlinkedFiles(tree, copy, m_dialogs);
        QCOMPARE(m_dialogs.texts().last(), u"リンクの無いファイルを消してよろしいですか？"_s);
        QCOMPARE(u"%1 %2 "_s.arg(result.moved).arg(result.failed) + iconsOf(tree, copy, IconKeys::LeafKill).join(u',')
                + u" / "_s + QDir(copy + u"/Back"_s).entryList(QDir::Files, QDir::Name).join(u','),
            u"3 0 img/unused.gif,orphan.html,sub/orphan.html / "
            "deletelog.txt,old.html,orphan (2).html,orphan.html,unused.gif"_s);
        QFile log(copy + u"/Back/deletelog.txt"_s);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(),
            Cp932::encode(
                u"%1/img/unused.gif\r\n%1/orphan.html\r\n%1/sub/orphan.html -> Back/orphan (2).html\r\n"_s.arg(copy)));
        QFile moved(copy + u"/Back/orphan (2).html"_s);
        QVERIFY(moved.open(QIODevice::ReadOnly) && moved.readAll() == "<p>the other orphan</p>\n");
        QVERIFY(!QFile::exists(copy + u"/orphan.html"_s) && !QFile::exists(copy + u"/sub/orphan.html"_s));
        QVERIFY(QFile::exists(copy + u"/sub/back/x.gif"_s));

        m_dialogs.queueAnswer(Dialogs::Answer::Yes);
        QCOMPARE(RemoveUnlinkedFiles(tree, copy, m_dialogs).moved, 0);
    }

    void copyThatFailsLeavesTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"site/sub"_s));
        QFile page(dir.filePath(u"site/sub/lone.html"_s));
        QVERIFY(page.open(QIODevice::WriteOnly) && page.write("<p>lone page</p>") > 0);
        page.close();
        ListingRecord record;
        LocalPane pane(m_state, record, m_dialogs);
        QVERIFY(pane.WalkLocalTree(QString(), u"site"_s, dir.path()));
        const QString site = dir.filePath(u"site"_s);
        m_dialogs.queueAnswer(Dialogs::Answer::Yes);
        // A copy cut short, as on a full disk.
        const CleanupResult result
            = RemoveUnlinkedFiles(*pane.folderTree(), site, m_dialogs, [](const QString&, const QString& to) {
                  QFile out(to);
                  return out.open(QIODevice::WriteOnly) && out.write("<p>") == 3;
              });
        QCOMPARE(result.moved, 0);
        QCOMPARE(result.failedPaths, QStringList { site + u"/sub/lone.html"_s });
        QVERIFY(QFile::exists(site + u"/sub/lone.html"_s));
        QCOMPARE(QDir(site + u"/Back"_s).entryList(QDir::Files), QStringList());
        QCOMPARE(iconsOf(*pane.folderTree(), site, IconKeys::Leaf), QStringList { u"sub/lone.html"_s });
    }
};

QTEST_GUILESS_MAIN(TestLinkChecker)
#include "tst_linkchecker.moc"
