#include "core/app/appstate.h"
#include "core/app/itemroles.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "support/scripteddialogs.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

QString iconOf(QStandardItemModel* tree, const QString& key)
{
    const QModelIndexList found
        = tree->match(tree->index(0, 0), ItemRoles::NodeKeyRole, key, 1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? QString() : found.first().data(ItemRoles::IconKeyRole).toString();
}

} // namespace

// The local tree walk over real folders: keys, icons, the counts, symbolic link loops, Stop.
class TestLocalTree : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_root;
    QString m_startFolder;

    struct Fixture {
        AppState state;
        ListingRecord record;
        ScriptedDialogs dialogs;
        LocalPane pane { state, record, dialogs };
        QAbstractItemModelTester tester { pane.folderTree(), QAbstractItemModelTester::FailureReportingMode::QtTest };
    };

private Q_SLOTS:
    void initTestCase()
    {
        m_startFolder = QDir::currentPath();
        QVERIFY(m_root.isValid());
        const QString site = m_root.filePath(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(site + QStringLiteral("/img/thumbs")));
        QVERIFY(QDir().mkpath(site + QStringLiteral("/日記")));
        touch(site + QStringLiteral("/index.html"));
        touch(site + QStringLiteral("/img/a.png"));
        touch(site + QStringLiteral("/img/thumbs/a.png"));
        touch(site + QStringLiteral("/日記/1月.html"));
        // A link back up the tree must not make the walk go round for ever.
        QVERIFY(QFile::link(site, site + QStringLiteral("/img/up")));

        const QString big = m_root.filePath(QStringLiteral("big"));
        QVERIFY(QDir().mkpath(big));
        for (int i = 0; i < 200; ++i)
            touch(big + QStringLiteral("/f%1").arg(i, 3, 10, QLatin1Char('0')));
    }

    void cleanupTestCase() { QDir::setCurrent(m_startFolder); }

    void walksEveryLevelParentsFirst()
    {
        Fixture f;
        f.pane.setFolderText(m_root.path());
        QSignalSpy counts(&f.pane, &LocalPane::treeCountsChanged);
        QSignalSpy busy(&f.pane, &LocalPane::busyChanged);
        QVERIFY(f.pane.WalkLocalTree(QString(), QStringLiteral("site")));

        const QString site = m_root.path() + QStringLiteral("/site");
        const QStringList keys = f.pane.treeNodeKeys();
        QCOMPARE(keys,
            (QStringList { site, site + QStringLiteral("/img"), site + QStringLiteral("/index.html"),
                site + QStringLiteral("/日記"), site + QStringLiteral("/img/a.png"),
                site + QStringLiteral("/img/thumbs"), site + QStringLiteral("/img/up"),
                site + QStringLiteral("/日記/1月.html"), site + QStringLiteral("/img/thumbs/a.png") }));
        QStandardItemModel* tree = f.pane.folderTree();
        QCOMPARE(tree->rowCount(), 1);
        QCOMPARE(tree->item(0)->text(), QStringLiteral("site"));
        QCOMPARE(iconOf(tree, site), IconKeys::Open);
        QCOMPARE(iconOf(tree, site + QStringLiteral("/img/thumbs")), IconKeys::Open);
        QCOMPARE(iconOf(tree, site + QStringLiteral("/index.html")), IconKeys::Leaf);
        // The link to the top folder is a folder node, but its content was walked already.
        QCOMPARE(iconOf(tree, site + QStringLiteral("/img/up")), IconKeys::Open);

        QCOMPARE(f.pane.treeFolderCount(), 4);
        QCOMPARE(f.pane.treeFileCount(), 4);
        QVERIFY(!counts.isEmpty());
        QCOMPARE(counts.last().at(0).toString(), QStringLiteral("ﾌｫﾙﾀﾞ数:4  ﾌｧｲﾙ数:4"));
        QCOMPARE(busy.count(), 2);
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void walkUnderAParentKeepsTheTree()
    {
        Fixture f;
        f.pane.setFolderText(m_root.path() + QLatin1Char('/'));
        QVERIFY(f.pane.WalkLocalTree(QString(), QStringLiteral("site")));
        const QString site = m_root.path() + QStringLiteral("/site");
        const int before = int(f.pane.treeNodeKeys().size());
        f.pane.setFolderText(m_root.path());
        QVERIFY(f.pane.WalkLocalTree(site, QStringLiteral("big")));
        QCOMPARE(f.pane.treeNodeKeys().size(), before + 1 + 200);
        QCOMPARE(f.pane.folderTree()->rowCount(), 1);
        QCOMPARE(f.pane.folderTree()->item(0)->rowCount(), 4); // img, index.html, 日記 and the new node
        QCOMPARE(f.pane.treeFileCount(), 200);

        // Nodes removed by someone else are forgotten.
        f.pane.folderTree()->item(0)->removeRow(3);
        QCOMPARE(f.pane.treeNodeKeys().size(), before);
    }

    void stopEndsTheWalkAfterTheCurrentEntry()
    {
        Fixture f;
        f.pane.setFolderText(m_root.path());
        QSignalSpy counts(&f.pane, &LocalPane::treeCountsChanged);
        // The user presses Stop while the first counts are on screen.
        bool pressed = false;
        connect(&f.pane, &LocalPane::treeCountsChanged, this, [&f, &pressed] {
            if (!pressed)
                f.state.StopRequested = pressed = true;
        });
        QVERIFY(!f.pane.WalkLocalTree(QString(), QStringLiteral("big")));
        QVERIFY(!f.state.StopRequested); // the walk that honoured it cleared it
        QCOMPARE(f.pane.treeFileCount(), 10);
        QCOMPARE(f.pane.treeNodeKeys().size(), 11);
        QCOMPARE(counts.count(), 2); // after ten entries, and once more at the end
    }

    void missingFolderIsReported()
    {
        Fixture f;
        f.pane.setFolderText(m_root.path());
        QVERIFY(f.pane.WalkLocalTree(QString(), QStringLiteral("gone")));
        QCOMPARE(f.pane.treeNodeKeys(), QStringList { m_root.path() + QStringLiteral("/gone") });
        QCOMPARE(f.dialogs.asked.size(), 1);
        QVERIFY(f.dialogs.asked.first().text.contains(m_root.path() + QStringLiteral("/gone")));
    }

    void upButtonEmptiesAShownTree()
    {
        Fixture f;
        f.pane.refreshDrives();
        f.pane.setFolderText(m_root.path());
        QVERIFY(f.pane.WalkLocalTree(QString(), QStringLiteral("site")));
        f.pane.setFolderText(m_root.path() + QStringLiteral("/site"));
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderTree()->rowCount(), 1); // the panel is hidden: the tree stays
        f.pane.setTreeFrameShown(true);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderTree()->rowCount(), 0);
        QVERIFY(f.pane.treeNodeKeys().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLocalTree)
#include "tst_localtree.moc"
