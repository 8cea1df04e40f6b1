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

namespace {

void writeFile(const QString& path, qint64 size)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(QByteArray(size, 'x'));
}

void setModified(const QString& path, const QDateTime& utc)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(utc, QFileDevice::FileModificationTime));
}

} // namespace

// The local pane over real folders: listing, the rows and their texts, ordering, sorting on a
// header click, the drive list, the up button and the fallback to the home folder.
class TestLocalListing : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QTemporaryDir m_root;
    QString m_site;
    QString m_longName;
    QString m_startFolder;

    struct Fixture {
        AppState state;
        ListingRecord record;
        ScriptedDialogs dialogs;
        LocalPane pane { state, record, dialogs };
        bool hideSystemFiles = false;
        bool noColours = false;
        QAbstractItemModelTester listTester { pane.fileList(), QAbstractItemModelTester::FailureReportingMode::QtTest };
        QAbstractItemModelTester driveTester { pane.driveList(),
            QAbstractItemModelTester::FailureReportingMode::QtTest };
        Fixture()
        {
            pane.setOptionCheck([this](int index) { return index == 0 ? hideSystemFiles : noColours; });
        }
    };

    static int rowOf(const LocalPane& pane, const QString& name)
    {
        const QStandardItemModel* list = pane.fileList();
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->item(r, 0)->text() == name)
                return r;
        }
        return -1;
    }

    static QStringList column(const LocalPane& pane, int c)
    {
        QStringList texts;
        const QStandardItemModel* list = pane.fileList();
        for (int r = 0; r < list->rowCount(); ++r)
            texts.append(list->item(r, c)->text());
        return texts;
    }

    static QString cell(const LocalPane& pane, const QString& name, int c)
    {
        const int r = rowOf(pane, name);
        return r < 0 ? QStringLiteral("<no row>") : pane.fileList()->item(r, c)->text();
    }

    static QString iconKey(const LocalPane& pane, const QString& name)
    {
        const int r = rowOf(pane, name);
        return r < 0 ? QString() : pane.fileList()->item(r, 0)->data(ItemRoles::IconKeyRole).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "JST-9");
        tzset();
        QVERIFY(m_home.isValid() && m_root.isValid());
        m_startFolder = QDir::currentPath();
        qputenv("HOME", QFile::encodeName(m_home.path()));
        writeFile(m_home.filePath(QStringLiteral("home-marker.txt")), 5);

        m_site = m_root.filePath(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(m_site + QStringLiteral("/sub/deeper")));
        QVERIFY(QDir().mkpath(m_site + QStringLiteral("/サブ")));
        QVERIFY(QDir().mkpath(m_site + QStringLiteral("/Apple")));
        writeFile(m_site + QStringLiteral("/empty.txt"), 0);
        writeFile(m_site + QStringLiteral("/one.html"), 1536);
        writeFile(m_site + QStringLiteral("/two.bin"), 2560);
        writeFile(m_site + QStringLiteral("/日本語ファイル.jpg"), 3000);
        writeFile(m_site + QStringLiteral("/sub/inner.txt"), 1);
        m_longName = QString(120, QLatin1Char('L')) + QStringLiteral(".txt");
        writeFile(m_site + QLatin1Char('/') + m_longName, 10);
        const QString hidden = m_site + QStringLiteral("/.hidden");
        writeFile(hidden, 10);
        QVERIFY(QFile::setPermissions(hidden, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::link(m_site + QStringLiteral("/one.html"), m_site + QStringLiteral("/link-to-one")));
        QVERIFY(QFile::link(m_site + QStringLiteral("/nowhere"), m_site + QStringLiteral("/broken")));
        QCOMPARE(mkfifo(QFile::encodeName(m_site + QStringLiteral("/pipe")).constData(), 0644), 0);
        setModified(m_site + QStringLiteral("/one.html"), QDateTime(QDate(2024, 3, 5), QTime(1, 2, 59), Qt::UTC));
        setModified(m_site + QStringLiteral("/two.bin"), QDateTime(QDate(2023, 12, 31), QTime(20, 30), Qt::UTC));
    }

    void cleanupTestCase() { QDir::setCurrent(m_startFolder); }

    void listsEveryEntryWithItsTexts()
    {
        Fixture f;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        QCOMPARE(f.pane.currentFolder(), m_site);
        QVERIFY(f.dialogs.asked.isEmpty());
        QCOMPARE(f.record.Local.size(), size_t(12));
        f.pane.FillLocalList(m_site);
        const QStandardItemModel* list = f.pane.fileList();
        QCOMPARE(list->columnCount(), 4);
        QCOMPARE(list->headerData(1, Qt::Horizontal).toString(), QStringLiteral("ｻｲｽﾞ"));
        QCOMPARE(list->rowCount(), 12);

        QCOMPARE(cell(f.pane, QStringLiteral("empty.txt"), 1), QStringLiteral("      1 KB"));
        QCOMPARE(cell(f.pane, QStringLiteral("one.html"), 1), QStringLiteral("      3 KB"));
        QCOMPARE(cell(f.pane, QStringLiteral("two.bin"), 1), QStringLiteral("      3 KB"));
        QCOMPARE(cell(f.pane, QStringLiteral("one.html"), 3), QStringLiteral("2024-03-05 10:02"));
        QCOMPARE(cell(f.pane, QStringLiteral("two.bin"), 3), QStringLiteral("2024-01-01 05:30"));
        QCOMPARE(cell(f.pane, QStringLiteral("one.html"), 2), QStringLiteral("ﾌｧｲﾙ"));
        QCOMPARE(cell(f.pane, QStringLiteral(".hidden"), 2), QStringLiteral("ﾌｧｲﾙ読込専用隠し"));
        QCOMPARE(cell(f.pane, QStringLiteral("pipe"), 2), QStringLiteral("ﾌｧｲﾙｼｽﾃﾑ"));
        QCOMPARE(cell(f.pane, QStringLiteral("link-to-one"), 2), QStringLiteral("ﾌｧｲﾙﾘﾊﾟｰｽ"));
        QCOMPARE(cell(f.pane, QStringLiteral("link-to-one"), 1), QStringLiteral("      3 KB")); // the target's size
        QCOMPARE(cell(f.pane, QStringLiteral("broken"), 2), QStringLiteral("ﾌｧｲﾙﾘﾊﾟｰｽ"));
        QCOMPARE(cell(f.pane, QStringLiteral("sub"), 2), QStringLiteral("<DIR>"));
        QCOMPARE(cell(f.pane, QStringLiteral("sub"), 1), QString());
        QCOMPARE(cell(f.pane, QStringLiteral("日本語ファイル.jpg"), 1), QStringLiteral("      4 KB"));
        // Long names are listed: the file system allows them and hiding them would hide real files.
        QCOMPARE(cell(f.pane, m_longName, 1), QStringLiteral("      1 KB"));

        QCOMPARE(iconKey(f.pane, QStringLiteral("sub")), IconKeys::Closed);
        QCOMPARE(iconKey(f.pane, QStringLiteral("pipe")), IconKeys::Leaf);
        QCOMPARE(iconKey(f.pane, QStringLiteral("one.html")), IconKeys::Leaf);

        // Folders first; within each group the listing's name order (letter case folded).
        QCOMPARE(column(f.pane, 0).mid(0, 3),
            (QStringList { QStringLiteral("Apple"), QStringLiteral("sub"), QStringLiteral("サブ") }));
        QCOMPARE(column(f.pane, 0).mid(3, 4),
            (QStringList { QStringLiteral(".hidden"), QStringLiteral("broken"), QStringLiteral("empty.txt"),
                QStringLiteral("link-to-one") }));
    }

    void systemFileOptionHoldsBackHiddenAndSpecialEntries()
    {
        Fixture f;
        f.hideSystemFiles = true;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList(m_site);
        QCOMPARE(rowOf(f.pane, QStringLiteral(".hidden")), -1);
        QCOMPARE(rowOf(f.pane, QStringLiteral("pipe")), -1);
        QVERIFY(rowOf(f.pane, QStringLiteral("one.html")) >= 0);
        QVERIFY(rowOf(f.pane, QStringLiteral("broken")) >= 0);
        QCOMPARE(f.pane.fileList()->rowCount(), 10);
    }

    void fileOverFourGigabytesKeepsItsSize()
    {
        // The first platform kept the low 32 bits of the size only.
        QTemporaryDir dir;
        QFile big(dir.filePath(QStringLiteral("disk.img")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        if (!big.resize(qint64(5) * 1024 * 1024 * 1024 + 1536))
            QSKIP("the file system cannot hold a sparse file of 5 GB");
        big.close();
        Fixture f;
        QVERIFY(f.pane.ListLocalFolder(dir.path()));
        f.pane.FillLocalList();
        QCOMPARE(f.record.Local.at(0).size, qint64(5) * 1024 * 1024 * 1024 + 1536);
        QCOMPARE(cell(f.pane, QStringLiteral("disk.img"), 1), QStringLiteral("5242883 KB"));
    }

    void dotNamesNeverMakeRows()
    {
        Fixture f;
        f.record.Local = { { QStringLiteral("."), 16, 0, 0 }, { QStringLiteral(".."), 16, 0, 0 },
            { QStringLiteral(" .. "), 16, 0, 0 }, { QStringLiteral("a"), 32, 0, 0 } };
        f.pane.FillLocalList();
        // " .. " is an ordinary name on this platform: leaving it out would hide a real file.
        QCOMPARE(column(f.pane, 0), (QStringList { QStringLiteral(" .. "), QStringLiteral("a") }));
    }

    void fillKeepsListingOrderWithinGroups()
    {
        Fixture f;
        const auto file = [](const char* n) { return LocalEntry { QString::fromLatin1(n), 32, 0, 0 }; };
        const auto folder = [](const char* n) { return LocalEntry { QString::fromLatin1(n), 16, 0, 0 }; };
        f.record.Local = { file("b"), folder("z"), file("a"), folder("y"), file("b"), file("c") };
        f.pane.FillLocalList();
        QCOMPARE(column(f.pane, 0), (QStringList { "z", "y", "b", "a", "b", "c" }));
    }

    void orderingHoldsPastTenThousandRows()
    {
        // The first platform's 5-character ordering keys overflowed here.
        Fixture f;
        for (int i = 0; i < 12000; ++i)
            f.record.Local.push_back({ QString::number(i), (i % 3 == 0) ? 16u : 32u, 0, 0 });
        f.pane.FillLocalList();
        const QStringList names = column(f.pane, 0);
        QCOMPARE(names.size(), 12000);
        QCOMPARE(names.at(0), QStringLiteral("0"));
        QCOMPARE(names.at(3999), QStringLiteral("11997"));
        QCOMPARE(names.at(4000), QStringLiteral("1"));
        QCOMPARE(names.at(11999), QStringLiteral("11999"));
        for (int i = 0; i < 4000; ++i)
            QCOMPARE(names.at(i).toInt(), i * 3);
    }

    void columnClickSortsByTextAndFlips()
    {
        Fixture f;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList();
        QSignalSpy indicator(&f.pane, &LocalPane::sortIndicatorChanged);
        QItemSelectionModel selection(f.pane.fileList());
        selection.select(f.pane.fileList()->index(rowOf(f.pane, QStringLiteral("two.bin")), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);

        f.pane.sortByHeader(QStringLiteral("ｻｲｽﾞ"));
        QCOMPARE(f.pane.sortColumn(), 1);
        QCOMPARE(f.pane.sortOrder(), Qt::AscendingOrder);
        QStringList sizes = column(f.pane, 1);
        QStringList sorted = sizes;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sizes, sorted);
        QCOMPARE(sizes.first(), QString()); // folders have no size text
        // Ties keep their previous order: the three folders in name order, then the 1 KB files.
        QCOMPARE(column(f.pane, 0).mid(0, 3),
            (QStringList { QStringLiteral("Apple"), QStringLiteral("sub"), QStringLiteral("サブ") }));
        QCOMPARE(indicator.count(), 1);
        QCOMPARE(indicator.at(0).at(0).toInt(), 1);

        f.pane.sortByHeader(QStringLiteral("ｻｲｽﾞ"));
        QCOMPARE(f.pane.sortOrder(), Qt::DescendingOrder);
        sizes = column(f.pane, 1);
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
        QCOMPARE(sizes, sorted);
        QCOMPARE(sizes.first(), QStringLiteral("      4 KB"));

        // The selection follows its row through the sorts.
        const QModelIndexList selected = selection.selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().data().toString(), QStringLiteral("two.bin"));

        // Names sort with letter case folded: "Apple" before "broken" before "sub".
        f.pane.sortByHeader(QStringLiteral("名前"));
        QCOMPARE(f.pane.sortOrder(), Qt::AscendingOrder);
        const QStringList names = column(f.pane, 0);
        QVERIFY(names.indexOf(QStringLiteral("Apple")) < names.indexOf(QStringLiteral("broken")));
        QVERIFY(names.indexOf(QStringLiteral("broken")) < names.indexOf(QStringLiteral("sub")));

        f.pane.sortByHeader(QStringLiteral("更新日時"));
        QCOMPARE(f.pane.sortOrder(), Qt::DescendingOrder);
        QStringList dates = column(f.pane, 3);
        QStringList datesSorted = dates;
        std::sort(datesSorted.begin(), datesSorted.end(), std::greater<>());
        QCOMPARE(dates, datesSorted);

        // Any other header does nothing.
        const QStringList before = column(f.pane, 0);
        f.pane.sortByHeader(QStringLiteral("ｱｸｾｽ権"));
        QCOMPARE(column(f.pane, 0), before);
        QCOMPARE(f.pane.sortOrder(), Qt::DescendingOrder);

        // OrderLocalList puts the folders first again, keeping the sorted order within groups.
        f.pane.sortByHeader(QStringLiteral("名前"));
        f.pane.sortByHeader(QStringLiteral("名前"));
        QCOMPARE(f.pane.sortOrder(), Qt::DescendingOrder);
        f.pane.OrderLocalList();
        const QStringList ordered = column(f.pane, 0);
        QCOMPARE(ordered.mid(0, 4),
            (QStringList { QStringLiteral("サブ"), QStringLiteral("sub"), QStringLiteral("Apple"),
                QStringLiteral("日本語ファイル.jpg") }));
        QCOMPARE(ordered.last(), QStringLiteral(".hidden"));

        // A new fill shows the listing order and drops the indicator.
        f.pane.FillLocalList();
        QCOMPARE(f.pane.sortColumn(), -1);
        QCOMPARE(indicator.last().at(0).toInt(), -1);
    }

    void changeLocalFolder()
    {
        Fixture f;
        QVERIFY(!f.pane.ChangeLocalFolder(QString()));
        QCOMPARE(f.dialogs.texts(), QStringList { QStringLiteral("Please enter the directory to CD") });
        QVERIFY(f.pane.ChangeLocalFolder(QStringLiteral("  ") + m_site + QStringLiteral("/sub  ")));
        QCOMPARE(f.pane.currentFolder(), m_site + QStringLiteral("/sub"));
        QVERIFY(!f.pane.ChangeLocalFolder(m_site + QStringLiteral("/one.html")));
        QCOMPARE(f.pane.currentFolder(), m_site + QStringLiteral("/sub"));
    }

    void missingFolderFallsBackHome()
    {
        Fixture f;
        f.pane.setFolderText(m_site + QStringLiteral("/gone"));
        QVERIFY(!f.pane.ListLocalFolder(m_site + QStringLiteral("/gone")));
        QCOMPARE(f.pane.folderText(), m_home.path());
        QCOMPARE(f.pane.currentFolder(), m_home.path());
        QCOMPARE(column(f.pane, 0), QStringList { QStringLiteral("home-marker.txt") });
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void invalidNameIsReportedAndLeftOut()
    {
        QTemporaryDir dir;
        const QByteArray bad = QFile::encodeName(dir.path()) + "/bad\xff\xfe.txt";
        const int fd = ::open(bad.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        writeFile(dir.filePath(QStringLiteral("good.txt")), 1);
        Fixture f;
        QVERIFY(f.pane.ListLocalFolder(dir.path()));
        f.pane.FillLocalList();
        QCOMPARE(column(f.pane, 0), QStringList { QStringLiteral("good.txt") });
        QCOMPARE(f.dialogs.asked.size(), 1);
        QVERIFY(
            f.dialogs.asked.first().text.startsWith(QStringLiteral("長い名前か又は不正なフォルダーかファイルが有ります")
                + dir.path() + QStringLiteral("/bad")));
    }

    void emptyFolderIsQuiet()
    {
        // Only an empty drive was ever reported: ordinary folders hold "." and "..".
        QTemporaryDir dir;
        Fixture f;
        QVERIFY(f.pane.ListLocalFolder(dir.path()));
        f.pane.FillLocalList();
        QCOMPARE(f.pane.fileList()->rowCount(), 0);
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void unreadableFolderSaysSo()
    {
        if (geteuid() == 0)
            QSKIP("root reads every folder");
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ExeOwner));
        Fixture f;
        QVERIFY(!f.pane.ListLocalFolder(locked));
        QCOMPARE(f.dialogs.asked.size(), 1);
        QVERIFY(f.dialogs.asked.first().text.startsWith(QStringLiteral("フォルダーの内容を読めませんでした。")));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void upButtonInDeepFolder()
    {
        Fixture f;
        f.pane.refreshDrives();
        f.pane.setFolderText(m_site + QStringLiteral("/sub/deeper"));
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), m_site + QStringLiteral("/sub"));
        QCOMPARE(column(f.pane, 0), (QStringList { QStringLiteral("deeper"), QStringLiteral("inner.txt") }));

        // A trailing "/" names the same folder: up still goes one level up.
        f.pane.setFolderText(m_site + QStringLiteral("/sub/"));
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), m_site);
        QCOMPARE(f.pane.currentFolder(), m_site);

        // The top folder of the file system goes to "/".
        const QString top = QLatin1Char('/') + m_site.section(QLatin1Char('/'), 1, 1);
        f.pane.setFolderText(top);
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), QStringLiteral("/"));
        QCOMPARE(f.pane.currentFolder(), QStringLiteral("/"));
    }

    void upButtonAtTheRootDoesNothing()
    {
        Fixture f;
        f.pane.refreshDrives();
        QCOMPARE(f.pane.driveText(), QStringLiteral("/"));
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList();
        const int rows = f.pane.fileList()->rowCount();
        f.pane.setFolderText(QStringLiteral(" / "));
        f.pane.MoveUpLocalFolder();
        QCOMPARE(f.pane.folderText(), QStringLiteral(" / "));
        QCOMPARE(f.pane.currentFolder(), m_site);
        QCOMPARE(f.pane.fileList()->rowCount(), rows);
    }

    void upButtonAtTheChosenVolumeRootDoesNothing()
    {
        Fixture f;
        f.pane.refreshDrives();
        for (int i = 1; i < f.pane.driveList()->rowCount(); ++i) {
            f.pane.chooseDrive(i);
            const QString root = f.pane.driveList()->item(i)->data(ItemRoles::NodeKeyRole).toString();
            if (f.pane.folderText() != root)
                continue; // a volume this test cannot enter
            f.pane.MoveUpLocalFolder();
            QCOMPARE(f.pane.folderText(), root);
            return;
        }
        QSKIP("no mounted volume besides / can be entered here");
    }

    void driveListAndDriveChange()
    {
        Fixture f;
        f.pane.refreshDrives();
        QVERIFY(f.pane.driveList()->rowCount() >= 1);
        QCOMPARE(f.pane.driveList()->item(0)->text(), QStringLiteral("/"));
        QCOMPARE(f.pane.driveIndex(), 0);
        // Picking a drive goes back to the folder last shown on it.
        QVERIFY(f.pane.ListLocalFolder(m_site + QStringLiteral("/sub")));
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
            QCOMPARE(f.pane.folderText(), m_site + QStringLiteral("/sub"));
        QCOMPARE(f.pane.folderText(), f.pane.currentFolder());
        QVERIFY(f.pane.fileList()->rowCount() > 0);
        QCOMPARE(f.pane.driveIndex(), index);
        QCOMPARE(drive.count(), index == 0 ? 0 : 1);
    }

    void startFolderIsHome()
    {
        Fixture f;
        f.pane.showStartFolder();
        QCOMPARE(f.pane.folderText(), m_home.path());
        QCOMPARE(f.pane.driveText(), QStringLiteral("/"));
        QCOMPARE(column(f.pane, 0), QStringList { QStringLiteral("home-marker.txt") });
    }

    void openFolderRowAndTypedFolder()
    {
        Fixture f;
        f.pane.setFolderText(m_site);
        f.pane.RefreshLocalPanes();
        QVERIFY(!f.pane.openLocalFolderRow(rowOf(f.pane, QStringLiteral("one.html"))));
        QCOMPARE(f.pane.folderText(), m_site);
        QVERIFY(f.pane.openLocalFolderRow(rowOf(f.pane, QStringLiteral("サブ"))));
        QCOMPARE(f.pane.folderText(), m_site + QStringLiteral("/サブ"));
        QCOMPARE(f.pane.fileList()->rowCount(), 0);

        // A typed folder relative to the current one is shown as an absolute path.
        f.pane.setFolderText(QStringLiteral("../sub"));
        f.pane.goToTypedFolder();
        QCOMPARE(f.pane.folderText(), m_site + QStringLiteral("/sub"));
        QCOMPARE(column(f.pane, 0), (QStringList { QStringLiteral("deeper"), QStringLiteral("inner.txt") }));
        f.pane.setFolderText(QStringLiteral("~"));
        f.pane.goToTypedFolder();
        QCOMPARE(f.pane.folderText(), m_home.path());
        f.pane.setFolderText(QString());
        f.pane.goToTypedFolder();
        QCOMPARE(f.dialogs.texts(), QStringList { QStringLiteral("Please enter the directory to CD") });
    }

    void refreshShowsNewFilesAndTrims()
    {
        QTemporaryDir dir;
        Fixture f;
        f.pane.setFolderText(QStringLiteral("  ") + dir.path() + QStringLiteral(" "));
        f.pane.RefreshLocalPanes();
        QCOMPARE(f.pane.folderText(), dir.path());
        QCOMPARE(f.pane.fileList()->rowCount(), 0);
        writeFile(dir.filePath(QStringLiteral("index.html")), 100);
        f.pane.RefreshLocalPanes();
        QCOMPARE(column(f.pane, 0), QStringList { QStringLiteral("index.html") });
    }

    void colourPassFollowsTheOption()
    {
        Fixture f;
        f.record.Local = { { QStringLiteral("index.html"), 32, 0, 0 }, { QStringLiteral("a.sys"), 32, 0, 0 } };
        f.pane.FillLocalList();
        f.noColours = true;
        f.pane.ColourLocalList();
        QVERIFY(f.pane.fileList()->item(0)->data(Qt::ForegroundRole).isNull());
        f.noColours = false;
        f.pane.ColourLocalList();
        QCOMPARE(f.pane.fileList()->item(0)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(f.pane.fileList()->item(1)->foreground().color(), QColor(150, 150, 150));
    }
};

QTEST_GUILESS_MAIN(TestLocalListing)
#include "tst_locallisting.moc"
