// The site tools as the menu starts them on the workspace: the link check of the FTP list's
// pages, the top-page trace of a selected local folder and the clean-up it offers, a page or
// folder named on the command line, and the pictures chosen for the viewer.
#include "core/app/statusreport.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/settings/options.h"
#include "core/sitetools/cleanup.h"
#include "core/sitetools/linkchecker.h"
#include "core/sitetools/thumbnailloader.h"
#include "workspacerig.h"

namespace {

// A small site: the top page links a page below it, which links a picture; one page and one
// picture nothing links to, one link that goes nowhere.
const QStringList Site { "site/", "site/sub/", "site/sub/pic.gif", "site/orphan.gif", "site/old.html" };

bool writeSite(const QString& root)
{
    return makeEntries(root, Site)
        && writeFile(root + "/site/index.html", "<a href=\"sub/page.html\">p</a> <img src=\"missing.gif\">")
        && writeFile(root + "/site/sub/page.html", "<img src=\"pic.gif\"><a href=\"../index.html#top\">t</a>");
}

} // namespace

class TestSiteTools : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void checksTheFtpListsPages()
    {
        FtpServerFixture server;
        WorkspaceRig rig;
        QVERIFY(startServer(server) && writeSite(server.root()) && rig.connect(server));
        rig.showRemote("/site");
        QVERIFY(rig.selectRemote({ "index.html", "orphan.gif" }));
        rig.ws->state().ActivePane = 2;
        QVERIFY(rig.ws->checkLinksInActivePane());
        QCOMPARE(rig.ws->linkChecker().report()->stringList(),
            QStringList({ "", "-----index.htmlのリンクチェック-----", "NG-missing.gifが見つかりません。",
                "OK-sub/page.html" }));
        QVERIFY(!rig.ws->statusReport().isShown() && !rig.ws->state().StopRequested);
        // The pictures of the selection, by their server paths.
        const QList<PictureSource> pictures = rig.ws->selectedPictures();
        QCOMPARE(pictures.size(), 1);
        QVERIFY(pictures[0].onServer && pictures[0].path == u"/site/orphan.gif");
    }

    void traceThenCleanUp()
    {
        WorkspaceRig rig;
        QVERIFY(writeSite(rig.local.path()));
        MenuState& menu = rig.ws->paneCommands().menuState();
        rig.showLocal();
        QVERIFY(rig.selectLocal({ "site" }));
        rig.ws->state().ActivePane = 4;
        // A trace stopped at the missing picture has not reached every page: no clean-up.
        rig.ws->options().setViewOption(Options::StopAtMissingLink, true);
        QVERIFY(!rig.ws->traceSelectedFolder());
        QVERIFY(!menu.itemEnabled(17) && !rig.ws->removeUnlinkedFiles().confirmed);
        rig.ws->options().setViewOption(Options::StopAtMissingLink, false);
        rig.showLocal();
        QVERIFY(rig.selectLocal({ "site" }));
        QVERIFY(rig.ws->traceSelectedFolder());
        QVERIFY(menu.itemEnabled(17));
        QCOMPARE(rig.ws->localPane().folderText(), rig.localPath("site"));
        QCOMPARE(rig.localNames().value(rig.localRow("index.html")), u"index.html"); // the top page is selected
        rig.dialogs.queueAnswer(Dialogs::Answer::Yes);
        const CleanupResult result = rig.ws->removeUnlinkedFiles();
        QCOMPARE(result.moved, 2);
        QCOMPARE(entriesBelow(rig.localPath("site")),
            QStringList({ "Back/", "Back/deletelog.txt", "Back/old.html", "Back/orphan.gif", "index.html", "sub/",
                "sub/page.html", "sub/pic.gif" }));
        QVERIFY(!menu.itemEnabled(17));
        // A folder without a start page cannot be traced, and offers nothing to clean up.
        QVERIFY(makeEntries(rig.local.path(), { "notes/", "notes/a.txt" }));
        rig.showLocal();
        QVERIFY(rig.selectLocal({ "notes" }));
        QVERIFY(!rig.ws->traceSelectedFolder());
        QCOMPARE(rig.dialogs.texts().last(), u"一番上のページを選択してください。");
        QCOMPARE(rig.ws->removeUnlinkedFiles().confirmed, false);
    }

    // A page named on the command line is checked; a folder traced; a companion start only
    // gathers the folder.
    void startPath_data()
    {
        TextTable::rows({ "name", "companion", "report" }, R"(
page | site/index.html | 0 | NG-missing.gifが見つかりません。 OK-sub/page.html
folder | site | 0 | missing.gifファイルが有りません 。
companion folder | site | 1 | -)");
    }
    void startPath()
    {
        QFETCH(QString, name);
        QFETCH(QString, companion);
        QFETCH(QString, report);
        WorkspaceRig rig;
        QVERIFY(writeSite(rig.local.path()));
        rig.ws->openLocalPath(rig.local.path() + u'/' + name.section(u'/', 0, -2), name.section(u'/', -1));
        rig.ws->checkStartPath(companion == u"1");
        QStringList lines;
        for (const QString& line :
            rig.ws->linkChecker().report()->stringList().filter(QRegularExpression("^(OK|NG)-|有りません")))
            lines.append(line.trimmed());
        QCOMPARE(lines.isEmpty() ? u"-"_qs : lines.join(u' '), report);
        QVERIFY(!rig.ws->localPane().treeNodeKeys().filter(u"pic.gif").isEmpty() || name.endsWith(u".html"));
    }
};

QTEST_MAIN(TestSiteTools)
#include "tst_sitetools.moc"
