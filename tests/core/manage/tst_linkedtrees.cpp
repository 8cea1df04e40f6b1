// A site folder with links back to itself, to its parent and to a sibling, as shared hosting
// has them: the tree walk, a folder download and a server delete on real servers.
#include "core/manage/managerig.h"
#include "core/transfer/transferrig.h"

#include <QRegularExpression>
#include <QTest>

using Kind = FtpServerFixture::Kind;
Q_DECLARE_METATYPE(FtpServerFixture::Kind)

namespace {

// /home/site with a file, a sub-folder and three links; /home/sibling beside it.
bool makeLinkedSite(const QString& root)
{
    return makeEntries(root,
               { u"home/"_qs, u"home/site/"_qs, u"home/site/a.txt"_qs, u"home/site/sub/"_qs, u"home/site/sub/b.txt"_qs,
                   u"home/sibling/"_qs, u"home/sibling/s.txt"_qs })
        && QFile::link(u"."_qs, root + u"/home/site/www"_qs) && QFile::link(u".."_qs, root + u"/home/site/up"_qs)
        && QFile::link(u"../sibling"_qs, root + u"/home/site/other"_qs);
}

// How often the server's log shows a download of `path`.
int retrCount(const FtpServerFixture& server, const QString& path)
{
    return int(server.logText().count(QRegularExpression(u"RETR "_qs + QRegularExpression::escape(path) + u"\\b"_qs)));
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestLinkedTrees : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void walk_data() { kinds(); }
    void walk();
    void download_data() { kinds(); }
    void download();
    void deleteKeepsTargets_data() { kinds(); }
    void deleteKeepsTargets();

private:
    static void kinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib, MLSD follows links") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd, LIST shows links") << Kind::Vsftpd;
    }
};

void TestLinkedTrees::walk()
{
    QFETCH(Kind, kind);
    FtpServerFixture server(kind);
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeLinkedSite(server.root()));
    rig.pane->setFolderText(u"/home"_qs);

    QVERIFY(rig.pane->ExpandFtpTree(true, u"site"_qs));

    // Every real entry once; the links stay, never walked.
    const QMap<QString, QString> icons = TransferRig::treeIcons(rig.pane->folderTree());
    QMap<QString, QString> expected {
        { u"/home/site"_qs, IconKeys::Open },
        { u"/home/site/a.txt"_qs, IconKeys::Leaf },
        { u"/home/site/sub"_qs, IconKeys::Open },
        { u"/home/site/sub/b.txt"_qs, IconKeys::Leaf },
    };
    if (kind == Kind::Pyftpdlib) {
        // Links look like folders here: the one to the site and the one to its parent are cut
        // by the unique fact; the sibling is a folder first reached here, so it is walked.
        expected.insert(u"/home/site/www"_qs, IconKeys::Closed);
        expected.insert(u"/home/site/up"_qs, IconKeys::Closed);
        expected.insert(u"/home/site/other"_qs, IconKeys::Open);
        expected.insert(u"/home/site/other/s.txt"_qs, IconKeys::Leaf);
    } else {
        for (const QString& link : { u"www"_qs, u"up"_qs, u"other"_qs })
            expected.insert(u"/home/site/"_qs + link, IconKeys::Leaf);
    }
    QCOMPARE(icons, expected);
    QCOMPARE(rig.pane->treeNodeKeys().size(), expected.size());
    QVERIFY(!rig.state.StopRequested);
    if (kind == Kind::Pyftpdlib) {
        // The site is listed once, not again through "www" or "up".
        QCOMPARE(int(server.logText().count(QRegularExpression(u"MLSD /home/site\\b(?!/)"_qs))), 1);
        QCOMPARE(int(server.logText().count(QRegularExpression(u"MLSD /home/site/www"_qs))), 0);
    }
}

void TestLinkedTrees::download()
{
    QFETCH(Kind, kind);
    FtpServerFixture server(kind);
    TransferRig rig;
    QVERIFY(rig.connect(server));
    QVERIFY(makeLinkedSite(server.root()));
    rig.ftp.pane->setFolderText(u"/home"_qs);
    rig.ftp.pane->RefreshFtpPanes();
    rig.selectRemote({ u"site"_qs });

    rig.transfers->DownloadSelection();

    QStringList expected { u"site/"_qs, u"site/a.txt"_qs, u"site/sub/"_qs, u"site/sub/b.txt"_qs };
    if (kind == Kind::Pyftpdlib)
        expected << u"site/other/"_qs << u"site/other/s.txt"_qs << u"site/up/"_qs << u"site/www/"_qs;
    QCOMPARE(entriesBelow(rig.localDir.path()), sorted(expected));
    for (const QString& name : { u"site/a.txt"_qs, u"site/sub/b.txt"_qs })
        QCOMPARE(readBytes(rig.localPath(name)), QByteArray("home/" + name.toUtf8()));
    // Each real file is fetched once, by one path.
    QCOMPARE(retrCount(server, u"/home/site/a.txt"_qs), 1);
    QCOMPARE(retrCount(server, u"/home/site/sub/b.txt"_qs), 1);
    QCOMPARE(retrCount(server, u"/home/site/other/s.txt"_qs), kind == Kind::Pyftpdlib ? 1 : 0);
    QCOMPARE(retrCount(server, u"/home/site/www/"_qs), 0);
    QCOMPARE(retrCount(server, u"/home/site/up/"_qs), 0);
}

void TestLinkedTrees::deleteKeepsTargets()
{
    QFETCH(Kind, kind);
    FtpServerFixture server(kind);
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeLinkedSite(server.root()));
    rig.answerCaution(true);
    QVERIFY(rig.showAndSelect(u"/home"_qs, { u"site"_qs }));

    rig.deletes.DeleteServerSelection();

    QCOMPARE(rig.cautions.size(), 1);
    // The site and its links are gone; what the links pointed to stays.
    QCOMPARE(entriesBelow(server.root()), QStringList({ u"home/"_qs, u"home/sibling/"_qs, u"home/sibling/s.txt"_qs }));
}

QTEST_GUILESS_MAIN(TestLinkedTrees)
#include "tst_linkedtrees.moc"
