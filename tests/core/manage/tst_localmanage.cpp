// The local side: rows of the list and nodes of the tree go to the trash (a trash of the test's
// own, through XDG_DATA_HOME), what cannot be trashed stays, and local folders are made.
#include "managerig.h"
#include "support/modeltexts.h"

#include <QTest>

namespace {

// Beside the home folder, where the trash of XDG_DATA_HOME is on the same volume: the trash
// moves by renaming and would take another volume's trash folder.
std::unique_ptr<QTemporaryDir> homeTempDir()
{
    auto dir = std::make_unique<QTemporaryDir>(QDir::homePath() + QStringLiteral("/.ftptarvo-test-XXXXXX"));
    if (!dir->isValid())
        dir = std::make_unique<QTemporaryDir>();
    return dir;
}

// A Dialogs that also records the default text of each input box.
struct RecordingDialogs : ScriptedDialogs {
    QStringList defaults;
    std::optional<QString> input(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        defaults.append(defaultText);
        return ScriptedDialogs::input(prompt, title, defaultText);
    }
};

using ModelTexts::itemTexts;

} // namespace

class TestLocalManage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void recyclesSelectedRowsToTheTrash();
    void noKeepsEverything();
    void untrashableFileStays();
    void recyclesMarkedTreeNodes();
    void makesLocalFolders();

private:
    bool showFolder(ManageRig& rig);

    std::unique_ptr<QTemporaryDir> m_site;
    std::unique_ptr<QTemporaryDir> m_data;
    QString m_trash;
};

void TestLocalManage::init()
{
    m_site = homeTempDir();
    m_data = homeTempDir();
    qputenv("XDG_DATA_HOME", m_data->path().toUtf8());
    m_trash = m_data->path() + QStringLiteral("/Trash/files/");
    QVERIFY(makeEntries(m_site->path(),
        { QStringLiteral("a.txt"), QStringLiteral("b c.txt"), QStringLiteral("keep.txt"), QStringLiteral("sub/"),
            QStringLiteral("sub/inner.txt") }));
}

void TestLocalManage::cleanup()
{
    QDir::setCurrent(QDir::tempPath());
    m_site.reset();
    m_data.reset();
    qunsetenv("XDG_DATA_HOME");
}

bool TestLocalManage::showFolder(ManageRig& rig)
{
    rig.local.setFolderText(m_site->path());
    if (!rig.local.ListLocalFolder(m_site->path()))
        return false;
    rig.local.FillLocalList(m_site->path());
    return true;
}

void TestLocalManage::recyclesSelectedRowsToTheTrash()
{
    ManageRig rig;
    QVERIFY(showFolder(rig));
    QVERIFY(ModelTexts::selectRowsByName(
        rig.local.fileSelection(), { QStringLiteral("a.txt"), QStringLiteral("b c.txt"), QStringLiteral("sub") }));
    rig.dialogs.queueAnswer(Dialogs::Answer::Yes);

    rig.deletes.RecycleLocalSelection();

    QCOMPARE(rig.dialogs.texts(),
        QStringList { QStringLiteral("選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?") });
    QCOMPARE(entriesBelow(m_site->path()), QStringList { QStringLiteral("keep.txt") });
    for (const char* name : { "a.txt", "b c.txt", "sub", "sub/inner.txt" })
        QVERIFY2(QFileInfo::exists(m_trash + QLatin1String(name)), name);
    QCOMPARE(rig.linesStartingWith(QStringLiteral("ﾛｰｶﾙﾌｧｲﾙをごみ箱に:")).size(), 3);
    QVERIFY(rig.linesStartingWith(QStringLiteral("ﾛｰｶﾙﾌｧｲﾙをごみ箱に:"))
                .contains(m_site->path() + QStringLiteral("/b c.txt")));
    QVERIFY(rig.logText().contains(QStringLiteral("/b c.txt</ローカルファイルをごみ箱に>")));
    QCOMPARE(rig.report.FileCount, 2);
    QCOMPARE(rig.report.FolderCount, 1);
    QCOMPARE(itemTexts(rig.local.fileList()), QStringList { QStringLiteral("keep.txt") });
    QVERIFY(!rig.report.isShown());
    QCOMPARE(rig.report.caption(), StatusReport::defaultCaption());
}

void TestLocalManage::noKeepsEverything()
{
    ManageRig rig;
    QVERIFY(showFolder(rig));
    QVERIFY(ModelTexts::selectRowsByName(rig.local.fileSelection(), { QStringLiteral("a.txt") }));
    rig.dialogs.queueAnswer(Dialogs::Answer::No);
    rig.deletes.RecycleLocalSelection();
    QCOMPARE(entriesBelow(m_site->path()).size(), 5);
    QVERIFY(!QDir(m_trash).exists());
    QVERIFY(rig.statusLines().isEmpty());
}

void TestLocalManage::untrashableFileStays()
{
    // A trash that cannot be made: the file must stay, never be deleted instead.
    QFile blocker(m_data->path() + QStringLiteral("/file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", blocker.fileName().toUtf8() + "/data");
    ManageRig rig;
    QVERIFY(showFolder(rig));
    QVERIFY(ModelTexts::selectRowsByName(
        rig.local.fileSelection(), { QStringLiteral("a.txt"), QStringLiteral("sub") }));
    rig.dialogs.queueAnswer(Dialogs::Answer::Yes);

    QVERIFY(rig.deletes.RecycleLocalPath(m_site->path() + QStringLiteral("/keep.txt")) != 0);
    QCOMPARE(rig.deletes.RecycleLocalPath(m_site->path() + QStringLiteral("/missing.txt")), ENOENT);
    rig.deletes.RecycleLocalSelection();

    QCOMPARE(entriesBelow(m_site->path()).size(), 5);
    const QStringList texts = rig.dialogs.texts();
    QCOMPARE(texts.size(), 3);
    // From the last row up: the files come after the folders in the list.
    const QString cannot = QStringLiteral("ファイルの消去ができません。使用していませんか?");
    QCOMPARE(texts.at(1), m_site->path() + QStringLiteral("/a.txt") + cannot);
    QCOMPARE(texts.at(2), m_site->path() + QStringLiteral("/sub") + cannot);
    QVERIFY(rig.linesStartingWith(QStringLiteral("ﾛｰｶﾙﾌｧｲﾙをごみ箱に:")).isEmpty());
    QCOMPARE(rig.local.fileList()->rowCount(), 4);
}

void TestLocalManage::recyclesMarkedTreeNodes()
{
    ManageRig rig;
    QVERIFY(showFolder(rig));
    rig.local.setFolderText(QFileInfo(m_site->path()).path());
    QVERIFY(rig.local.WalkLocalTree(QString(), QFileInfo(m_site->path()).fileName()));
    rig.local.setFolderText(m_site->path());
    QStandardItemModel& tree = *rig.local.folderTree();
    QStandardItem* inner = tree.findItems(QStringLiteral("inner.txt"), Qt::MatchExactly | Qt::MatchRecursive).first();
    QStandardItem* keep = tree.findItems(QStringLiteral("keep.txt"), Qt::MatchExactly | Qt::MatchRecursive).first();
    rig.deletes.toggleMark(inner);
    // A selected node goes too.
    QStandardItem* a = tree.findItems(QStringLiteral("a.txt"), Qt::MatchExactly | Qt::MatchRecursive).first();
    rig.local.folderTreeSelection()->select(a->index(), QItemSelectionModel::Select);
    rig.deletes.toggleMark(keep);
    rig.deletes.toggleMark(keep); // marked twice: not marked
    QVERIFY(!rig.deletes.isMarked(keep));
    rig.dialogs.queueAnswer(Dialogs::Answer::Yes);

    rig.deletes.RecycleLocalMarked();

    QVERIFY(QFileInfo::exists(m_trash + QStringLiteral("inner.txt")));
    QVERIFY(QFileInfo::exists(m_trash + QStringLiteral("a.txt")));
    QCOMPARE(entriesBelow(m_site->path()),
        QStringList({ QStringLiteral("b c.txt"), QStringLiteral("keep.txt"), QStringLiteral("sub/") }));
    QVERIFY(tree.findItems(QStringLiteral("inner.txt"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    QCOMPARE(rig.linesStartingWith(QStringLiteral("ﾛｰｶﾙﾌｧｲﾙをごみ箱に:")).size(), 2);
    // The list follows the folder.
    QVERIFY(!itemTexts(rig.local.fileList()).contains(QStringLiteral("a.txt")));
}

void TestLocalManage::makesLocalFolders()
{
    ManageRig base;
    RecordingDialogs dialogs;
    Folders folders(base.state, *base.pane, base.local, *base.status, *base.log, dialogs);
    QVERIFY(showFolder(base));
    const QString proposal = m_site->path() + u'/';

    dialogs.queueInput(proposal + QStringLiteral("新しい フォルダ"));
    folders.MakeLocalFolder();
    QVERIFY(QFileInfo(m_site->path() + QStringLiteral("/新しい フォルダ")).isDir());
    QCOMPARE(dialogs.defaults, QStringList { proposal });
    QCOMPARE(dialogs.asked.first().text,
        QStringLiteral("ローカルコンピューター上で作成するフォルダーの名前を入れてください"));
    QVERIFY(itemTexts(base.local.fileList()).contains(QStringLiteral("新しい フォルダ")));
    QCOMPARE(base.linesStartingWith(QStringLiteral("ﾛｰｶﾙﾌｫﾙﾀﾞｰ作成:")),
        QStringList { proposal + QStringLiteral("新しい フォルダ") });
    QVERIFY(base.logText().contains(QStringLiteral("<ローカルフォルダ作成>")));

    // The proposal unchanged is the current folder itself: it exists.
    dialogs.clear();
    dialogs.queueInput(proposal);
    folders.MakeLocalFolder();
    QCOMPARE(dialogs.texts().last(), proposal + QStringLiteral("のフォルダーは作成されませんでした。"));
    QCOMPARE(base.linesStartingWith(QStringLiteral("ﾛｰｶﾙﾌｫﾙﾀﾞー作成失敗:")), QStringList { proposal });
    QVERIFY(base.logText().contains(QStringLiteral("<ローカルフォルダ作成失敗>")));

    // A missing parent is not made either: one folder at a time.
    dialogs.queueInput(proposal + QStringLiteral("x/y"));
    folders.MakeLocalFolder();
    QVERIFY(!QFileInfo::exists(proposal + QStringLiteral("x")));

    // Cancelled: nothing made, nothing said.
    const int lines = int(base.statusLines().size());
    dialogs.clear();
    dialogs.queueInput(std::nullopt);
    folders.MakeLocalFolder();
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(int(base.statusLines().size()), lines);
    QCOMPARE(entriesBelow(m_site->path()).size(), 6);
}

QTEST_GUILESS_MAIN(TestLocalManage)
#include "tst_localmanage.moc"
