#include "core/app/appstate.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "support/scripteddialogs.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QStandardItemModel>
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
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.resize(size), qPrintable(path));
    QVERIFY(!modified.isValid() || f.setFileTime(modified, QFileDevice::FileModificationTime));
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
            texts << pane.fileList()->text(r, c);
        return texts;
    }
    int rowOf(const QString& name) const { return int(column(0).indexOf(name)); }
    // The folder box, the pane's folder and the names listed.
    QString shown() const
    {
        return pane.folderText() + u" | "_s + pane.currentFolder() + u" | "_s + column(0).join(u',');
    }
};

} // namespace

// The local pane over real folders: listing and its texts, ordering, the up button, the fallback
// to the home folder.
class TestLocalFolders : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_root;
    QString m_site = m_root.filePath(u"site"_s);

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "JST-9");
        tzset();
        qputenv("HOME", QFile::encodeName(m_home.path()));
        writeFile(m_home.filePath(u"home-marker.txt"_s), 5);
        QVERIFY(QDir().mkpath(m_site + u"/sub/deeper"_s) && QDir().mkpath(m_site + u"/サブ"_s)
            && QDir().mkpath(m_site + u"/Apple"_s));
        writeFile(m_site + u"/empty.txt"_s, 0);
        writeFile(m_site + u"/one.html"_s, 1536, QDateTime(QDate(2024, 3, 5), QTime(1, 2, 59), Qt::UTC));
        writeFile(m_site + u"/two.bin"_s, 2560, QDateTime(QDate(2023, 12, 31), QTime(20, 30), Qt::UTC));
        writeFile(m_site + u"/日本語ファイル.jpg"_s, 3000);
        writeFile(m_site + u"/sub/inner.txt"_s, 1);
        writeFile(m_site + u'/' + QString(120, u'L') + u".txt"_s, 10);
        // Sparse: the first platform kept the low 32 bits of a size only.
        writeFile(m_site + u"/disk.img"_s, qint64(5) * 1024 * 1024 * 1024 + 1536);
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
        f.pane.FillLocalList();
        // Folders first, then the listing's name order with letter case folded. A link shows its
        // target's size; long names are listed, as the file system allows them.
        QStringList rows;
        for (int r = 0; r < f.pane.fileList()->rowCount(); ++r)
            rows << f.column(0)[r] + u'|' + f.column(1)[r] + u'|' + f.column(2)[r];
        const QString kb1 = u"      1 KB|ﾌｧｲﾙ"_s, kb3 = u"      3 KB|ﾌｧｲﾙ"_s;
        QCOMPARE(rows,
            QStringList({ "Apple||<DIR>", "sub||<DIR>", "サブ||<DIR>", ".hidden|      1 KB|ﾌｧｲﾙ読込専用隠し",
                "broken|      1 KB|ﾌｧｲﾙﾘﾊﾟｰｽ", "disk.img|5242883 KB|ﾌｧｲﾙ", "empty.txt|" + kb1,
                "link-to-one|" + kb3 + "ﾘﾊﾟｰｽ", QString(120, u'L') + ".txt|" + kb1, "one.html|" + kb3,
                "pipe|      1 KB|ﾌｧｲﾙｼｽﾃﾑ", "two.bin|" + kb3, "日本語ファイル.jpg|      4 KB|ﾌｧｲﾙ" }));
        // The process's folder is not the pane's.
        QCOMPARE(QStringList({ f.pane.currentFolder(), QDir::currentPath(), f.column(3)[f.rowOf(u"two.bin"_s)] }),
            QStringList({ m_site, start, u"2024-01-01 05:30"_s }));
        QVERIFY(f.dialogs.asked.isEmpty());
        // The system-file option holds back hidden and special entries.
        f.hideSystemFiles = true;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList();
        QCOMPARE(f.rowOf(u".hidden"_s) + f.rowOf(u"pipe"_s), -2);
        QCOMPARE(f.pane.fileList()->rowCount(), 11);
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
        QStringList expected[2];
        f.record.Local.clear();
        for (int i = 0; i < 12000; ++i) {
            f.record.Local.push_back(entry(QString::number(i), i % 3 == 0 ? 16 : 32));
            expected[i % 3 != 0] << QString::number(i);
        }
        f.pane.FillLocalList();
        QCOMPARE(f.column(0), expected[0] + expected[1]);
    }

    void columnClickSortsByTextAndFlips()
    {
        Pane f;
        QVERIFY(f.pane.ListLocalFolder(m_site));
        f.pane.FillLocalList();
        // Each click flips the order; ties keep their order, so the folders (no size) end last together.
        for (const bool ascending : { true, false }) {
            f.pane.sortByHeader(u"ｻｲｽﾞ"_s);
            QStringList sorted = f.column(1);
            std::stable_sort(sorted.begin(), sorted.end(), [ascending](const QString& a, const QString& b) {
                return a.compare(b, Qt::CaseInsensitive) * (ascending ? 1 : -1) < 0;
            });
            QCOMPARE(f.column(1), sorted);
        }
        QCOMPARE(f.column(0).mid(f.pane.fileList()->rowCount() - 3), (QStringList { "Apple", "sub", "サブ" }));
    }

    void foldersThatCannotBeListed()
    {
        Pane f;
        QVERIFY(!f.pane.ChangeLocalFolder(QString()));
        QCOMPARE(f.dialogs.texts(), QStringList { u"Please enter the directory to CD"_s });
        QVERIFY(f.pane.ChangeLocalFolder(u"  "_s + m_site + u"/sub  "_s));
        QVERIFY(!f.pane.ChangeLocalFolder(m_site + u"/one.html"_s));
        QCOMPARE(f.pane.currentFolder(), m_site + u"/sub"_s);
        // A folder that is gone: the pane goes home, without a word.
        f.pane.setFolderText(m_site + u"/gone"_s);
        QVERIFY(!f.pane.ListLocalFolder(m_site + u"/gone"_s));
        QCOMPARE(f.shown(), m_home.path() + u" | "_s + m_home.path() + u" | home-marker.txt"_s);
        QCOMPARE(f.dialogs.asked.size(), 1);
        // A name that is not valid text is reported and left out; an empty folder is quiet.
        QTemporaryDir dir;
        const QByteArray bad = QFile::encodeName(dir.path()) + "/bad\xff\xfe.txt";
        QVERIFY(::close(::open(bad.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        writeFile(dir.filePath(u"good.txt"_s), 1);
        QVERIFY(f.pane.ListLocalFolder(dir.path()));
        f.pane.FillLocalList();
        QCOMPARE(f.column(0), QStringList { u"good.txt"_s });
        QTemporaryDir empty;
        QVERIFY(f.pane.ListLocalFolder(empty.path()));
        QCOMPARE(f.dialogs.asked.size(), 2);
        QVERIFY(f.dialogs.asked.last().text.startsWith(
            u"長い名前か又は不正なフォルダーかファイルが有ります"_s + dir.path() + u"/bad"_s));
        ::unlink(bad.constData()); // QTemporaryDir cannot remove a name that is no text
    }

    // Each step: what is done with which text, then the folder box, the pane's folder and the names
    // listed ("=": as before, "*": any), "$S" the site, "$H" home, "$T" the top folder of the site's path.
    void upButtonAndTypedFolders()
    {
        Pane f;
        f.pane.showStartFolder();
        QCOMPARE(f.pane.driveText() + QString::number(f.pane.driveIndex()), u"/0"_s);
        const QStringList steps = u"start |  | $H | $H | home-marker.txt\n"
                                  "up | $S/sub/deeper | $S/sub | $S/sub | deeper,inner.txt\n"
                                  "up: a trailing slash names the same folder | $S/sub/ | $S | $S | *\n"
                                  "up from the top folder | $T | / | / | *\n"
                                  "refresh | \x20 $S  | $S | $S | *\n"
                                  "up at the root does nothing | \x20/  |  /  | $S | =\n"
                                  "refresh | $S | $S | $S | =\n"
                                  "open a folder row | サブ | $S/サブ | $S/サブ | \n"
                                  "type relative to the current folder | ../sub | $S/sub | $S/sub | deeper,inner.txt\n"
                                  "type home | ~ | $H | $H | home-marker.txt"_s.split(u'\n');
        QString names;
        for (QString step : steps) {
            step.replace(u"$S"_s, m_site)
                .replace(u"$H"_s, m_home.path())
                .replace(u"$T"_s, u'/' + m_site.section(u'/', 1, 1));
            const QStringList part = step.split(u" | "_s);
            if (part[0].startsWith(u"open"_s))
                f.pane.openLocalFolderRow(f.rowOf(part[1]));
            else if (part[0] != u"start"_s)
                f.pane.setFolderText(part[1]);
            if (part[0].startsWith(u"up"_s))
                f.pane.MoveUpLocalFolder();
            else if (part[0] == u"refresh"_s)
                f.pane.RefreshLocalPanes();
            else if (part[0].startsWith(u"type"_s))
                f.pane.goToTypedFolder();
            const QString was = names;
            names = f.shown().section(u" | "_s, 2);
            QCOMPARE(f.shown(),
                part.mid(2, 2).join(u" | "_s) + u" | "_s
                    + (part[4] == u"*"_s        ? names
                            : part[4] == u"="_s ? was
                                                : part[4]));
        }
    }
};

QTEST_GUILESS_MAIN(TestLocalFolders)
#include "tst_localfolders.moc"
