// Deleting, making folders and changing permissions through the real main window, offscreen,
// against pyftpdlib: the confirmation panel answered by its buttons, the tree's marks, the
// permission panel's boxes and texts, the console's reply box, and the local trash.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/itemroles.h"
#include "core/ftpsession/remotepane.h"
#include "core/manage/deletes.h"
#include "core/manage/permissions.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/manage/deleteconfirmation.h"
#include "gui/manage/permissionpanel.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "windowtest.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>
#include <sys/stat.h>

namespace {

using SettingsFiles::writeBytes;

// Presses a button of the confirmation panel as soon as it asks.
void answerCautionWith(DeleteConfirmation* caution, const QString& button)
{
    auto* poll = new QTimer(caution);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, caution, [caution, poll, button] {
        if (!caution->isAsking())
            return;
        poll->deleteLater();
        poll->stop();
        QTest::mouseClick(caution->findChild<QPushButton*>(button), Qt::LeftButton);
    });
    poll->start();
}

// Types `keys` one after the other where the confirmation panel has its focus, as soon as it
// asks; `stillAsking` gets whether it was still waiting after each key. "中止" ends a question
// the keys left open.
void typeOnCaution(DeleteConfirmation* caution, const QList<Qt::Key>& keys, QList<bool>* stillAsking)
{
    auto* poll = new QTimer(caution);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, caution, [caution, poll, keys, stillAsking] {
        if (!caution->isAsking())
            return;
        poll->deleteLater();
        poll->stop();
        for (Qt::Key key : keys) {
            QWidget* focus = caution->focusWidget();
            QTest::keyClick(focus ? focus : caution, key);
            QCoreApplication::processEvents();
            // Answered, it is hidden at once; its event loop ends after this handler.
            stillAsking->append(caution->isVisible());
        }
        // Keys that left it waiting fail the test rather than hang it.
        if (caution->isVisible())
            caution->cancelButton()->click();
    });
    poll->start();
}

int modeOf(const QString& path)
{
    struct stat st { };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestManage : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void cautionPanelWaitsForItsButtons();
    void permissionPanelShowsTheMode();
    void serverDeletesAndModesThroughTheWindow();
    void localDeleteGoesToTheTrash();
    void cautionPanelKeys();
};

void TestManage::initTestCase()
{
    QString error;
    QVERIFY2(startServer(&error), qPrintable(error));
}

void TestManage::cleanupTestCase() { m_server.reset(); }

void TestManage::init()
{
    QVERIFY(prepareFolders());
    // The local trash lives under the home folder of the test.
    qputenv("XDG_DATA_HOME", (m_home->path() + QStringLiteral("/.local/share")).toUtf8());
}

void TestManage::cleanup() { dropWindowAndFolders(); }

void TestManage::cautionPanelWaitsForItsButtons()
{
    MainWindow& w = window();
    w.show();
    DeleteConfirmation* caution = w.deleteConfirmation();
    answerCautionWith(caution, QStringLiteral("Command1"));
    QVERIFY(caution->ask(QStringLiteral("フォルダー数:1　ファイル数:2")));
    QVERIFY(!caution->isVisible());
    QVERIFY(!w.workspace().state().StopRequested);
    QCOMPARE(caution->counts()->text(), QStringLiteral("フォルダー数:1　ファイル数:2"));

    answerCautionWith(caution, QStringLiteral("Command2"));
    QVERIFY(!caution->ask(QString()));
    QVERIFY(w.workspace().state().StopRequested);
    QVERIFY(!caution->isVisible());
}

void TestManage::permissionPanelShowsTheMode()
{
    MainWindow& w = window();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.workspace().permissions().ShowPermissionPanel();
    PermissionPanel* panel = w.permissionPanel();
    QVERIFY(panel->isVisible());
    auto* list = w.findChild<QTreeView*>(QStringLiteral("ListView1"));
    const QPoint listTopLeft = list->mapTo(panel->parentWidget(), QPoint(0, 0));
    QVERIFY(panel->x() <= listTopLeft.x());
    QVERIFY(panel->y() <= listTopLeft.y());
    QCOMPARE(panel->modeLabel()->text(), QStringLiteral("644"));
    // The window's first size leaves the FTP list short: the boxes must still be whole and inside.
    QVERIFY(panel->geometry().bottom() <= panel->parentWidget()->rect().bottom());
    for (int i = 0; i < 9; ++i)
        QVERIFY2(panel->modeBox(i)->height() >= panel->modeBox(i)->sizeHint().height(), qPrintable(QString::number(i)));
    // In a small window it moves left rather than lose its right edge.
    w.resize(700, 500);
    QTest::qWait(10);
    w.workspace().permissions().ShowPermissionPanel();
    QVERIFY(panel->geometry().right() <= panel->parentWidget()->rect().right());
    QVERIFY(panel->geometry().bottom() <= panel->parentWidget()->rect().bottom());
    QCOMPARE(panel->size(), panel->size().expandedTo(panel->minimumSizeHint()));

    for (int i = 0; i < 9; ++i) {
        if (panel->modeBox(i)->isChecked())
            QTest::mouseClick(panel->modeBox(i), Qt::LeftButton);
    }
    QCOMPARE(panel->modeLabel()->text(), QStringLiteral("000"));
    QCOMPARE(panel->lettersLabel()->text(), QStringLiteral("---------"));
    for (int i = 0; i < 9; ++i)
        QTest::mouseClick(panel->modeBox(i), Qt::LeftButton);
    QCOMPARE(panel->modeLabel()->text(), QStringLiteral("777"));
    QCOMPARE(panel->lettersLabel()->text(), QStringLiteral("rwxrwxrwx"));
    QTest::mouseClick(panel->modeBox(4), Qt::LeftButton);
    QTest::mouseClick(panel->modeBox(7), Qt::LeftButton);
    QCOMPARE(panel->modeLabel()->text(), QStringLiteral("755"));
    QCOMPARE(panel->digitLabel(1)->text(), QStringLiteral("5"));
    QCOMPARE(panel->lettersLabel()->text(), QStringLiteral("rwxr-xr-x"));

    for (QWidget* frame : { static_cast<QWidget*>(panel), static_cast<QWidget*>(w.deleteConfirmation()) }) {
        const QList<QWidget*> children = frame->findChildren<QWidget*>();
        for (QWidget* child : children)
            QVERIFY2(!child->objectName().isEmpty(), child->metaObject()->className());
    }
}

void TestManage::serverDeletesAndModesThroughTheWindow()
{
    const QDir root(m_server->root());
    QVERIFY(root.mkpath(QStringLiteral("site/old/deeper")));
    for (const char* file : { "site/index.html", "site/old/a.html", "site/old/deeper/b.gif", "site/keep.cgi" })
        QVERIFY(writeBytes(root.filePath(QString::fromUtf8(file)), "data\n"));
    QString messages;
    QVERIFY2(connectWindow(&messages), qPrintable(messages));
    MainWindow& w = window();
    RemotePane& pane = w.workspace().remotePane();
    pane.setFolderText(QStringLiteral("/site"));
    pane.RefreshFtpPanes();

    // The FTP list: "実行" deletes the folder with its content.
    w.workspace().state().ActivePane = 2;
    ModelTexts::selectRowsByName(pane.fileSelection(), { QStringLiteral("old") });
    answerCautionWith(w.deleteConfirmation(), QStringLiteral("Command1"));
    w.workspace().deleteInActivePane();
    QVERIFY(!root.exists(QStringLiteral("site/old")));
    QVERIFY(root.exists(QStringLiteral("site/index.html")));
    QCOMPARE(w.deleteConfirmation()->counts()->text(), QStringLiteral("フォルダー数:2　ファイル数:2"));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // The FTP tree: a click marks a file node, "中止" keeps it, "実行" deletes it.
    QVERIFY(pane.ExpandFtpTree(true, QString()));
    auto* treeView3 = w.findChild<QTreeView*>(QStringLiteral("TreeView3"));
    treeView3->expandAll();
    const QModelIndexList found = pane.folderTree()->match(pane.folderTree()->index(0, 0), ItemRoles::NodeKeyRole,
        QStringLiteral("/site/index.html"), 1, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    treeView3->scrollTo(found.first());
    QTest::mouseClick(treeView3->viewport(), Qt::LeftButton, {}, treeView3->visualRect(found.first()).center());
    QVERIFY(w.workspace().deletes().isMarked(pane.folderTree()->itemFromIndex(found.first())));
    w.workspace().state().ActivePane = 1;
    answerCautionWith(w.deleteConfirmation(), QStringLiteral("Command2"));
    w.workspace().deleteInActivePane();
    QVERIFY(root.exists(QStringLiteral("site/index.html")));
    QVERIFY(!w.workspace().state().StopRequested);
    answerCautionWith(w.deleteConfirmation(), QStringLiteral("Command1"));
    w.workspace().deleteInActivePane();
    QVERIFY(!root.exists(QStringLiteral("site/index.html")));

    // The permission panel: "実行" with the box to close it ticked.
    pane.setFolderText(QStringLiteral("/site"));
    pane.RefreshFtpPanes();
    ModelTexts::selectRowsByName(pane.fileSelection(), { QStringLiteral("keep.cgi") });
    w.workspace().permissions().ShowPermissionPanel();
    PermissionPanel* panel = w.permissionPanel();
    QTest::mouseClick(panel->modeBox(2), Qt::LeftButton);
    QTest::mouseClick(panel->closeAfterBox(), Qt::LeftButton);
    QCOMPARE(panel->modeLabel()->text(), QStringLiteral("744"));
    QTest::mouseClick(panel->runButton(), Qt::LeftButton);
    QCOMPARE(modeOf(root.filePath(QStringLiteral("site/keep.cgi"))), 0744);
    QVERIFY(!panel->isVisible());
    auto* text3 = w.findChild<QPlainTextEdit*>(QStringLiteral("Text3"));
    QVERIFY(text3);
    QVERIFY(text3->toPlainText().startsWith(QStringLiteral("200")));

    // Folders: the server's folder menu item with the FTP list active.
    w.workspace().state().ActivePane = 2;
    m_dialogs.queueInput(QStringLiteral("made"));
    w.workspace().makeFolderInActivePane();
    QVERIFY(root.exists(QStringLiteral("site/made")));
    QCOMPARE(pane.folderText(), QStringLiteral("/site/made"));
    QVERIFY(m_dialogs.texts().contains(QStringLiteral("Ftpサーバー上で作成するフォルダーの名前を入れてください")));
}

void TestManage::localDeleteGoesToTheTrash()
{
    QVERIFY(writeBytes(m_home->filePath(QStringLiteral("old page.html")), "old\n"));
    QVERIFY(writeBytes(m_home->filePath(QStringLiteral("keep.html")), "keep\n"));
    MainWindow& w = window();
    w.Form_Load(QString());
    LocalPane& local = w.workspace().localPane();
    QCOMPARE(local.folderText(), m_home->path());
    w.workspace().state().ActivePane = 4;
    ModelTexts::selectRowsByName(local.fileSelection(), { QStringLiteral("old page.html") });
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);

    w.workspace().deleteInActivePane();

    QVERIFY(!QFileInfo::exists(m_home->filePath(QStringLiteral("old page.html"))));
    QVERIFY(QFileInfo::exists(m_home->filePath(QStringLiteral(".local/share/Trash/files/old page.html"))));
    QVERIFY(QFileInfo::exists(m_home->filePath(QStringLiteral("keep.html"))));

    // Item 4 with a local pane active makes a local folder.
    w.workspace().state().ActivePane = 3;
    m_dialogs.queueInput(m_home->path() + QStringLiteral("/new"));
    w.workspace().makeFolderInActivePane();
    QVERIFY(QFileInfo(m_home->filePath(QStringLiteral("new"))).isDir());
}

// Esc answers "中止" wherever the panel's focus is, and Enter never deletes unless the user
// moved the focus to "実行".
void TestManage::cautionPanelKeys()
{
    const QDir root(m_server->root());
    QVERIFY(root.mkpath(QStringLiteral("site/old")));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("site/old/a.html")), "a\n"));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("site/b.html")), "b\n"));
    QString messages;
    QVERIFY2(connectWindow(&messages), qPrintable(messages));
    MainWindow& w = window();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    RemotePane& pane = w.workspace().remotePane();
    pane.setFolderText(QStringLiteral("/site"));
    pane.RefreshFtpPanes();
    DeleteConfirmation* caution = w.deleteConfirmation();
    const QStringList before = ModelTexts::itemTexts(pane.fileList());

    w.workspace().state().ActivePane = 2;
    ModelTexts::selectRowsByName(pane.fileSelection(), { QStringLiteral("old"), QStringLiteral("b.html") });
    QList<bool> asking;
    typeOnCaution(caution, { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape }, &asking);
    w.workspace().deleteInActivePane();
    QCOMPARE(asking, (QList<bool> { true, true, false }));
    QVERIFY(!caution->isVisible());
    QVERIFY(root.exists(QStringLiteral("site/old/a.html")));
    QVERIFY(root.exists(QStringLiteral("site/b.html")));
    QVERIFY(!w.workspace().state().StopRequested);
    QCOMPARE(ModelTexts::itemTexts(pane.fileList()), before);

    // The direct question: Esc is "中止", which the caller honours.
    asking.clear();
    typeOnCaution(caution, { Qt::Key_Escape }, &asking);
    QVERIFY(!caution->ask(QString()));
    QCOMPARE(asking, QList<bool> { false });
    QVERIFY(w.workspace().state().StopRequested);
}

QTEST_MAIN(TestManage)
#include "tst_manage.moc"
