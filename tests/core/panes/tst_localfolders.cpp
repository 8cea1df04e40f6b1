#include "core/app/appstate.h"
#include "core/app/itemroles.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "support/scripteddialogs.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString& path, qint64 size, const QDateTime& modified = {})
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QVERIFY(f.write(QByteArray(size, 'x')) == size && f.flush());
    if (modified.isValid())
        QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

struct Pane {
    AppState state;
    ListingRecord record;
    ScriptedDialogs dialogs;
    LocalPane pane { state, record, dialogs };
    bool hideSystemFiles = false;
    bool noColours = false;
    QAbstractItemModelTester listTester { pane.fileList(), QAbstractItemModelTester::FailureReportingMode::QtTest };
    QAbstractItemModelTester treeTester { pane.folderTree(), QAbstractItemModelTester::FailureReportingMode::QtTest };
    Pane()
    {
        pane.setOptionCheck([this](int index) { return index == 0 ? hideSystemFiles : noColours; });
    }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int r = 0; r < pane.fileList()->rowCount(); ++r)
            texts.append(pane.fileList()->item(r, c)->text());
        return texts;
    }
    int rowOf(const QString& name) const { return int(column(0).indexOf(name)); }
    // Each row as "name|size|type".
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < pane.fileList()->rowCount(); ++r)
            out.append(column(0)[r] + u'|' + column(1)[r] + u'|' + column(2)[r]);
        return out;
    }
    QString icon(int row) const { return pane.fileList()->item(row)->data(ItemRoles::IconKeyRole).toString(); }
};

} // namespace

// The local pane over real folders: listing, the rows and their texts, ordering, sorting on a
// header click, the drive list, the up button, the fallback to the home folder, the tree walk.
class TestLocalFolders : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_root;
    QString m_site;
    QString m_longName;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "JST-9");
        tzset();
        qputenv("HOME", QFile::encodeName(m_home.path()));
        writeFile(m_home.filePath(u"home-marker.txt"_s), 5);

        m_site = m_root.filePath(u"site"_s);
        QVERIFY(QDir().mkpath(m_site + u"/sub/deeper"_s));
        QVERIFY(QDir().mkpath(m_site + u"/サブ"_s));
        QVERIFY(QDir().mkpath(m_site + u"/Apple"_s));
        writeFile(m_site + u"/empty.txt"_s, 0);
        writeFile(m_site + u"/one.html"_s, 1536, QDateTime(QDate(2024, 3, 5), QTime(1, 2, 59), Qt::UTC));
        writeFile(m_site + u"/two.bin"_s, 2560, QDateTime(QDate(2023, 12, 31), QTime(20, 30), Qt::UTC));
        writeFile(m_site + u"/日本語ファイル.jpg"_s, 3000);
        writeFile(m_site + u"/sub/inner.txt"_s, 1);
        m_longName = QString(120, u'L') + u".txt"_s;
        writeFile(m_site + u'/' + m_longName, 10);
        writeFile(m_site + u"/.hidden"_s, 10);
        QVERIFY(QFile::setPermissions(m_site + u"/.hidden"_s, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::link(m_site + u"/one.html"_s, m_site + u"/link-to-one"_s));
        QVERIFY(QFile::link(m_site + u"/nowhere"_s, m_site + u"/broken"_s));
        QCOMPARE(mkfifo(QFile::encodeName(m_site + u"/pipe"_s).constData(), 0644), 0);
    }

    void listsEveryEntryWithItsTexts()
    {
        const QString start = QDir::currentPath();
        Pane f;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        QCOMPARE(f.pane.currentFolder(), m_site);
        QCOMPARE(QDir::currentPath(), start); // the process's folder is not the pane's
        QVERIFY(f.dialogs.asked.isEmpty());
        f.pane.FillLocalList(m_site);
        // Folders first; within each group the listing's name order, letter case folded. A link
        // shows its target's size; long names are listed, as the file system allows them.
        const QString kb1 = u"      1 KB|ﾌｧｲﾙ"_s, kb3 = u"      3 KB|ﾌｧｲﾙ"_s;
        QCOMPARE(f.rows(),
            QStringList({ "Apple||<DIR>", "sub||<DIR>", "サブ||<DIR>", ".hidden|      1 KB|ﾌｧｲﾙ読込専用隠し",
                "broken|      1 KB|ﾌｧｲﾙﾘﾊﾟｰｽ", "empty.txt|" + kb1, "link-to-one|" + kb3 + "ﾘﾊﾟｰｽ",
                m_longName + '|' + kb1, "one.html|" + kb3, "pipe|      1 KB|ﾌｧｲﾙｼｽﾃﾑ", "two.bin|" + kb3,
                "日本語ファイル.jpg|      4 KB|ﾌｧｲﾙ" }));
        QCOMPARE(f.column(3)[f.rowOf(u"one.html"_s)], u"2024-03-05 10:02"_s);
        QCOMPARE(f.column(3)[f.rowOf(u"two.bin"_s)], u"2024-01-01 05:30"_s);
        QCOMPARE(f.icon(f.rowOf(u"sub"_s)), IconKeys::Closed);
        QCOMPARE(f.icon(f.rowOf(u"pipe"_s)), IconKeys::Leaf);

        // The system-file option holds back hidden and special entries.
        f.hideSystemFiles = true;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList(m_site);
        QCOMPARE(f.rowOf(u".hidden"_s) + f.rowOf(u"pipe"_s), -2);
        QCOMPARE(f.pane.fileList()->rowCount(), 10);
    }

    void fileOverFourGigabytesKeepsItsSize()
    {
        // The first platform kept the low 32 bits of the size only.
        QTemporaryDir dir;
        QFile big(dir.filePath(u"disk.img"_s));
        QVERIFY(big.open(QIODevice::WriteOnly));
        if (!big.resize(qint64(5) * 1024 * 1024 * 1024 + 1536))
            QSKIP("the file system cannot hold a sparse file of 5 GB");
        big.close();
        Pane f;
        QVERIFY(f.pane.ListLocalFolder(dir.path()));
        f.pane.FillLocalList();
        QCOMPARE(f.column(1), QStringList { u"5242883 KB"_s });
    }

    void fillOrder()
    {
        Pane f;
        const auto entry = [](const QString& name, quint32 kind) { return LocalEntry { name, kind, 0, 0 }; };
        // " .. " is an ordinary name on this platform: leaving it out would hide a real file.
        f.record.Local = { entry(u"."_s, 16), entry(u"b"_s, 32), entry(u".."_s, 16), entry(u"z"_s, 16),
            entry(u" .. "_s, 16), entry(u"a"_s, 32), entry(u"y"_s, 16), entry(u"b"_s, 32) };
        f.pane.FillLocalList();
        QCOMPARE(f.column(0), (QStringList { "z", " .. ", "y", "b", "a", "b" }));

        // The first platform's 5-character ordering keys overflowed past ten thousand rows.
        f.record.Local.clear();
        for (int i = 0; i < 12000; ++i)
            f.record.Local.push_back(entry(QString::number(i), i % 3 == 0 ? 16 : 32));
        f.pane.FillLocalList();
        const QStringList names = f.column(0);
        QCOMPARE(names.size(), 12000);
        for (int i = 0; i < 4000; ++i)
            QCOMPARE(names.at(i).toInt(), i * 3);
        QCOMPARE(names.at(4000), u"1"_s);
        QCOMPARE(names.at(11999), u"11999"_s);
    }

    void columnClickSortsByTextAndFlips()
    {
        Pane f;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList();
        QSignalSpy indicator(&f.pane, &LocalPane::sortIndicatorChanged);
        QItemSelectionModel selection(f.pane.fileList());
        selection.select(f.pane.fileList()->index(f.rowOf(u"two.bin"_s), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const auto sortedBy = [&f](int column, bool ascending) {
            QStringList sorted = f.column(column);
            std::stable_sort(sorted.begin(), sorted.end(), [ascending](const QString& a, const QString& b) {
                return ascending ? a.compare(b, Qt::CaseInsensitive) < 0 : a.compare(b, Qt::CaseInsensitive) > 0;
            });
            return f.column(column) == sorted;
        };
        // The order flips with each click, whichever the column; ties keep their previous order.
        f.pane.sortByHeader(u"ｻｲｽﾞ"_s);
        QVERIFY(sortedBy(1, true));
        QCOMPARE(f.column(0).mid(0, 3), (QStringList { "Apple", "sub", "サブ" })); // no size text
        QCOMPARE(indicator.takeFirst(), QVariantList({ 1, QVariant::fromValue(Qt::AscendingOrder) }));
        f.pane.sortByHeader(u"ｻｲｽﾞ"_s);
        QVERIFY(sortedBy(1, false));
        f.pane.sortByHeader(u"更新日時"_s);
        QVERIFY(sortedBy(3, true));
        f.pane.sortByHeader(u"ｱｸｾｽ権"_s); // no column of this list
        QVERIFY(sortedBy(3, true));
        f.pane.sortByHeader(u"名前"_s);
        QVERIFY(sortedBy(0, false));
        QCOMPARE(f.pane.sortColumn(), 0);
        // The selection follows its row through the sorts.
        QCOMPARE(selection.selectedRows().value(0).data().toString(), u"two.bin"_s);
        // OrderLocalList puts the folders first again, keeping the sorted order within groups.
        f.pane.OrderLocalList();
        QCOMPARE(f.column(0).mid(0, 4), (QStringList { "サブ", "sub", "Apple", "日本語ファイル.jpg" }));
        QCOMPARE(f.column(0).last(), u".hidden"_s);
        // A new fill shows the listing order and drops the indicator.
        f.pane.FillLocalList();
        QCOMPARE(f.pane.sortColumn(), -1);
        QCOMPARE(indicator.last().at(0).toInt(), -1);
    }

    void foldersThatCannotBeListed()
    {
        Pane f;
        QVERIFY(!f.pane.ChangeLocalFolder(QString()));
        QCOMPARE(f.dialogs.texts(), QStringList { u"Please enter the directory to CD"_s });
        QVERIFY(f.pane.ChangeLocalFolder(u"  "_s + m_site + u"/sub  "_s));
        QCOMPARE(f.pane.currentFolder(), m_site + u"/sub"_s);
        QVERIFY(!f.pane.ChangeLocalFolder(m_site + u"/one.html"_s));
        QCOMPARE(f.pane.currentFolder(), m_site + u"/sub"_s);

        // A folder that is gone: the pane goes home, without a word.
        f.pane.setFolderText(m_site + u"/gone"_s);
        QVERIFY(!f.pane.ListLocalFolder(m_site + u"/gone"_s));
        QCOMPARE(f.pane.folderText(), m_home.path());
        QCOMPARE(f.pane.currentFolder(), m_home.path());
        QCOMPARE(f.column(0), QStringList { u"home-marker.txt"_s });
        QCOMPARE(f.dialogs.asked.size(), 1);

        // A name that is not valid text is reported and left out.
        QTemporaryDir dir;
        const QByteArray bad = QFile::encodeName(dir.path()) + "/bad\xff\xfe.txt";
        QVERIFY(::close(::open(bad.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        writeFile(dir.filePath(u"good.txt"_s), 1);
        QVERIFY(f.pane.ListLocalFolder(dir.path()));
        f.pane.FillLocalList();
        QCOMPARE(f.column(0), QStringList { u"good.txt"_s });
        QCOMPARE(f.dialogs.asked.size(), 2);
        QVERIFY(f.dialogs.asked.last().text.startsWith(
            u"長い名前か又は不正なフォルダーかファイルが有ります"_s + dir.path() + u"/bad"_s));

        // An empty folder is quiet: only an empty drive was ever reported.
        QTemporaryDir empty;
        QVERIFY(f.pane.ListLocalFolder(empty.path()));
        QCOMPARE(f.dialogs.asked.size(), 2);
        if (geteuid() != 0) {
            const QString locked = dir.filePath(u"locked"_s);
            QVERIFY(QDir().mkdir(locked) && QFile::setPermissions(locked, QFile::ExeOwner));
            QVERIFY(!f.pane.ListLocalFolder(locked));
            QVERIFY(f.dialogs.asked.last().text.startsWith(u"フォルダーの内容を読めませんでした。"_s));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    void upButton()
    {
        Pane f;
        f.pane.refreshDrives();
        QCOMPARE(f.pane.driveText(), u"/"_s);
        f.pane.setFolderText(m_site + u"/sub/deeper"_s);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), m_site + u"/sub"_s);
        QCOMPARE(f.column(0), (QStringList { "deeper", "inner.txt" }));
        // A trailing "/" names the same folder: up still goes one level up.
        f.pane.setFolderText(m_site + u"/sub/"_s);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), m_site);
        QCOMPARE(f.pane.currentFolder(), m_site);
        const int rows = f.pane.fileList()->rowCount();
        // The top folder of the file system goes to "/"; at "/" up does nothing.
        f.pane.setFolderText(u'/' + m_site.section(u'/', 1, 1));
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.currentFolder(), u"/"_s);
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList();
        f.pane.setFolderText(u" / "_s);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), u" / "_s);
        QCOMPARE(f.pane.currentFolder(), m_site);
        QCOMPARE(f.pane.fileList()->rowCount(), rows);
        // Nor at the root of the chosen volume.
        for (int i = 1; i < f.pane.driveList()->rowCount(); ++i) {
            f.pane.chooseDrive(i);
            const QString root = f.pane.driveList()->item(i)->data(ItemRoles::NodeKeyRole).toString();
            if (f.pane.folderText() != root)
                continue; // a volume this test cannot enter
            f.pane.MoveUpLocalFolder();
            QCOMPARE(f.pane.folderText(), root);
            break;
        }
    }

    void drivesAndStartFolder()
    {
        Pane f;
        f.pane.showStartFolder();
        QCOMPARE(f.pane.folderText(), m_home.path());
        QCOMPARE(f.pane.driveText(), u"/"_s);
        QCOMPARE(f.pane.driveIndex(), 0);
        QCOMPARE(f.column(0), QStringList { u"home-marker.txt"_s });
        // Picking a drive goes back to the folder last shown on it.
        QVERIFY(f.pane.ListLocalFolder(m_site + u"/sub"_s));
        const QString root = QStorageInfo(m_site).rootPath();
        int index = -1;
        for (int i = 0; i < f.pane.driveList()->rowCount(); ++i) {
            if (f.pane.driveList()->item(i)->data(ItemRoles::NodeKeyRole).toString() == root)
                index = i;
        }
        QVERIFY2(index >= 0, qPrintable(root));
        QVERIFY(f.pane.ListLocalFolder(m_home.path()));
        QSignalSpy drive(&f.pane, &LocalPane::driveIndexChanged);
        f.pane.chooseDrive(index);
        if (QStorageInfo(m_home.path()).rootPath() != root)
            QCOMPARE(f.pane.folderText(), m_site + u"/sub"_s);
        QCOMPARE(f.pane.folderText(), f.pane.currentFolder());
        QVERIFY(f.pane.fileList()->rowCount() > 0);
        QCOMPARE(f.pane.driveIndex(), index);
        QCOMPARE(drive.count(), index == 0 ? 0 : 1);
    }

    void openRowTypedFolderAndRefresh()
    {
        Pane f;
        f.pane.setFolderText(u"  "_s + m_site + u" "_s);
        f.pane.RefreshLocalPanes();
        QCOMPARE(f.pane.folderText(), m_site);
        QVERIFY(!f.pane.openLocalFolderRow(f.rowOf(u"one.html"_s)));
        QCOMPARE(f.pane.folderText(), m_site);
        QVERIFY(f.pane.openLocalFolderRow(f.rowOf(u"サブ"_s)));
        QCOMPARE(f.pane.folderText(), m_site + u"/サブ"_s);
        QCOMPARE(f.pane.fileList()->rowCount(), 0);
        writeFile(m_site + u"/サブ/new.html"_s, 1);
        f.pane.RefreshLocalPanes();
        QCOMPARE(f.column(0), QStringList { u"new.html"_s });
        QVERIFY(QFile::remove(m_site + u"/サブ/new.html"_s));

        // A typed folder relative to the current one is shown as an absolute path.
        f.pane.setFolderText(u"../sub"_s);
        f.pane.goToTypedFolder();
        QCOMPARE(f.pane.folderText(), m_site + u"/sub"_s);
        QCOMPARE(f.column(0), (QStringList { "deeper", "inner.txt" }));
        f.pane.setFolderText(u"~"_s);
        f.pane.goToTypedFolder();
        QCOMPARE(f.pane.folderText(), m_home.path());
        f.pane.setFolderText(QString());
        f.pane.goToTypedFolder();
        QCOMPARE(f.dialogs.texts(), QStringList { u"Please enter the directory to CD"_s });
    }

    void colourPassFollowsTheOption()
    {
        Pane f;
        f.record.Local = { { u"index.html"_s, 32, 0, 0 }, { u"a.sys"_s, 32, 0, 0 } };
        f.pane.FillLocalList();
        f.noColours = true;
        f.pane.ColourLocalList();
        QVERIFY(f.pane.fileList()->item(0)->data(Qt::ForegroundRole).isNull());
        f.noColours = false;
        f.pane.ColourLocalList();
        QCOMPARE(f.pane.fileList()->item(0)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(f.pane.fileList()->item(1)->foreground().color(), QColor(150, 150, 150));
    }

    void treeWalk()
    {
        QTemporaryDir root;
        const QString site = root.filePath(u"site"_s);
        QVERIFY(QDir().mkpath(site + u"/img/thumbs"_s) && QDir().mkpath(site + u"/日記"_s));
        for (const QString& file : { u"/index.html"_s, u"/img/a.png"_s, u"/img/thumbs/a.png"_s, u"/日記/1月.html"_s })
            writeFile(site + file, 0);
        // A link back up the tree must not make the walk go round for ever.
        QVERIFY(QFile::link(site, site + u"/img/up"_s));
        const QString big = root.filePath(u"big"_s);
        QVERIFY(QDir().mkpath(big));
        for (int i = 0; i < 200; ++i)
            writeFile(big + u"/f%1"_s.arg(i, 3, 10, QLatin1Char('0')), 0);

        Pane f;
        f.pane.setFolderText(root.path() + u'/');
        QSignalSpy counts(&f.pane, &LocalPane::treeCountsChanged);
        QSignalSpy busy(&f.pane, &LocalPane::busyChanged);
        QVERIFY(f.pane.WalkLocalTree(QString(), u"site"_s));
        QCOMPARE(f.pane.treeNodeKeys(),
            (QStringList { site, site + u"/img", site + u"/index.html", site + u"/日記", site + u"/img/a.png",
                site + u"/img/thumbs", site + u"/img/up", site + u"/日記/1月.html", site + u"/img/thumbs/a.png" }));
        QStandardItemModel* tree = f.pane.folderTree();
        QCOMPARE(tree->rowCount(), 1);
        QCOMPARE(tree->item(0)->text(), u"site"_s);
        const auto icon = [tree](const QString& key) {
            const QModelIndexList found
                = tree->match(tree->index(0, 0), ItemRoles::NodeKeyRole, key, 1, Qt::MatchExactly | Qt::MatchRecursive);
            return found.isEmpty() ? QString() : found.first().data(ItemRoles::IconKeyRole).toString();
        };
        QCOMPARE(icon(site + u"/img/thumbs"), IconKeys::Open);
        QCOMPARE(icon(site + u"/index.html"), IconKeys::Leaf);
        QCOMPARE(icon(site + u"/img/up"), IconKeys::Open); // a folder node, its content walked already
        QCOMPARE(f.pane.treeFolderCount(), 4);
        QCOMPARE(f.pane.treeFileCount(), 4);
        QCOMPARE(counts.last().at(0).toString(), u"ﾌｫﾙﾀﾞ数:4  ﾌｧｲﾙ数:4"_s);
        QCOMPARE(busy.count(), 2);
        QVERIFY(f.dialogs.asked.isEmpty());

        // A walk under a parent node adds to the tree.
        const int before = int(f.pane.treeNodeKeys().size());
        QVERIFY(f.pane.WalkLocalTree(site, u"big"_s, root.path()));
        QCOMPARE(f.pane.treeNodeKeys().size(), before + 1 + 200);
        QCOMPARE(tree->item(0)->rowCount(), 4); // img, index.html, 日記 and the new node
        QCOMPARE(f.pane.treeFileCount(), 200);
        // Nodes removed by someone else are forgotten.
        tree->item(0)->removeRow(3);
        QCOMPARE(f.pane.treeNodeKeys().size(), before);

        // Stop, pressed while the first counts are on screen, ends the walk after that entry.
        bool pressed = false;
        connect(&f.pane, &LocalPane::treeCountsChanged, this, [&f, &pressed] {
            if (!pressed)
                f.state.StopRequested = pressed = true;
        });
        counts.clear();
        f.pane.setFolderText(root.path());
        QVERIFY(!f.pane.WalkLocalTree(QString(), u"big"_s));
        QVERIFY(!f.state.StopRequested); // the walk that honoured it cleared it
        QCOMPARE(f.pane.treeFileCount(), 10);
        QCOMPARE(f.pane.treeNodeKeys().size(), 11);
        QCOMPARE(counts.count(), 2); // after ten entries, and once more at the end

        // A missing folder is reported.
        QVERIFY(f.pane.WalkLocalTree(QString(), u"gone"_s));
        QCOMPARE(f.pane.treeNodeKeys(), QStringList { root.path() + u"/gone"_s });
        QCOMPARE(f.dialogs.asked.size(), 1);
        QVERIFY(f.dialogs.asked.first().text.contains(root.path() + u"/gone"_s));

        // The up button empties the tree only while the tree is shown.
        f.pane.refreshDrives();
        f.pane.setFolderText(site);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(tree->rowCount(), 1);
        f.pane.setTreeFrameShown(true);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(tree->rowCount(), 0);
        QVERIFY(f.pane.treeNodeKeys().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLocalFolders)
#include "tst_localfolders.moc"
