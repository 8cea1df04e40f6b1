// The pane commands in the real main window, offscreen, against pyftpdlib: each menu item by
// each pane, the menu and toolbar after clicks on the four panes, copy and paste through the
// focused list, drops in all four directions, renaming in place on both sides, the double-click
// on local files, the viewer's store button and the edit menu.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/panecommands/panecommands.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/manage/deleteconfirmation.h"
#include "gui/manage/permissionpanel.h"
#include "gui/panes/panemouse.h"
#include "gui/panes/viewerpanel.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/settingsfiles.h"
#include "windowtest.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

int rowOf(QAbstractItemModel* model, const QString& name)
{
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 0).data().toString() == name)
            return r;
    }
    return -1;
}

QPoint rowCenter(QTreeView* view, const QString& name)
{
    const int row = rowOf(view->model(), name);
    if (row < 0)
        return QPoint(-1, -1);
    view->scrollTo(view->model()->index(row, 0));
    return view->visualRect(view->model()->index(row, 0)).center();
}

void selectRows(QTreeView* view, const QStringList& names)
{
    ModelTexts::selectRowsByName(view->selectionModel(), names);
}

// A label editor is open in the list.
bool isEditing(QTreeView* view)
{
    const QList<QLineEdit*> editors = view->viewport()->findChildren<QLineEdit*>();
    return std::any_of(editors.begin(), editors.end(), [](const QLineEdit* e) { return e->isVisible(); });
}

// Receives what the desktop would open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

} // namespace

class TestPaneCommands : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void menuItemByPane_data();
    void menuItemByPane();
    void clicksSetTheMenu();
    void copyAndPasteByFocus();
    void dropsInFourDirections();
    void dragMarksTheDropTarget();
    void renameInPlace();
    void doubleClickOnLocalFiles();
    void viewerStoresOnTheServer();
    void editMenu();
    void keysOnTheLists();
    void doubleClickOnAFolderOnlyOpensIt();

private:
    MainWindow& connectedWindow();
    QTreeView* view(const char* name) { return m_window->findChild<QTreeView*>(QLatin1String(name)); }
    QString serverFile(const QString& path) const { return m_server->root() + u'/' + path; }
    QString home() const { return m_home->path(); }
    void showLocal(const QString& folder);
    void openFtp(const QString& folder);
};

void TestPaneCommands::initTestCase()
{
    QString error;
    QVERIFY2(startServer(&error), qPrintable(error));
}

void TestPaneCommands::cleanupTestCase() { m_server.reset(); }

void TestPaneCommands::init()
{
    QDir::setCurrent(QDir::tempPath());
    QDir(m_server->root()).removeRecursively();
    QDir().mkpath(m_server->root());
    for (const char* file : { "index.html", "pub/a.txt", "pub/b.html", "pub/photo.jpg", "dst/keep.txt" })
        QVERIFY(writeBytes(serverFile(QLatin1String(file)), QByteArray("server ") + file + "\n"));
    QVERIFY(prepareFolders());
    QVERIFY(writeBytes(home() + "/local.txt", "local\n"));
    QVERIFY(writeBytes(home() + "/site/page.html", "<p>local</p>\n"));
}

void TestPaneCommands::cleanup() { dropWindowAndFolders(); }

MainWindow& TestPaneCommands::connectedWindow()
{
    m_window.reset();
    window();
    m_window->Form_Load(QString());
    m_window->activateWindow();
    if (!QTest::qWaitForWindowActive(m_window.get()))
        qWarning("window not active");
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("cmdConnect")), Qt::LeftButton);
    if (!m_window->workspace().state().IsConnected)
        qWarning("%s", qPrintable(m_dialogs.texts().join(u'|')));
    m_dialogs.clear();
    return *m_window;
}

void TestPaneCommands::showLocal(const QString& folder)
{
    LocalPane& pane = m_window->workspace().localPane();
    pane.setFolderText(folder);
    QVERIFY(pane.ListLocalFolder(folder));
    pane.FillLocalList(folder);
}

void TestPaneCommands::openFtp(const QString& folder)
{
    QVERIFY(m_window->workspace().remotePane().ChangeFtpFolder(folder));
    m_window->workspace().remotePane().RefreshFtpPanes();
}

void TestPaneCommands::menuItemByPane_data()
{
    QTest::addColumn<int>("pane");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("effect");
    const QString localFolder
        = QStringLiteral("ask:ローカルコンピューター上で作成するフォルダーの名前を入れてください");
    const QString recycle = QStringLiteral("ask:選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?");
    const QMap<int, QStringList> effects {
        // panes 1 FTP tree, 2 FTP list, 3 local tree, 4 local list
        { 4, { localFolder, "ask:Ftpサーバー上で作成するフォルダーの名前を入れてください", localFolder, localFolder } },
        { 6, { "caution", "caution", recycle, recycle } },
        { 11, { "none", "edit", "none", "edit" } },
        { 13, { "permissions", "permissions", "permissions", "permissions" } },
        { 15, { "none", "none", "none", "none" } },
        { 16, { "none", "none", "cleanup on", "cleanup on" } },
        { 17, { "none", "none", "none", "none" } },
        { 19, { "none", "none", "none", "none" } },
    };
    for (auto it = effects.begin(); it != effects.end(); ++it) {
        for (int pane = 1; pane <= 4; ++pane)
            QTest::addRow("pane %d item %d", pane, it.key()) << pane << it.key() << it.value()[pane - 1];
    }
}

void TestPaneCommands::menuItemByPane()
{
    QFETCH(int, pane);
    QFETCH(int, item);
    QFETCH(QString, effect);
    MainWindow& w = connectedWindow();
    QVERIFY(w.workspace().state().IsConnected);
    showLocal(home());
    selectRows(view("ListView1"), { "index.html" });
    selectRows(view("ListView2"), { "local.txt" });
    w.workspace().state().ActivePane = pane;
    m_dialogs.queueInput(std::nullopt);
    m_dialogs.queueAnswer(Dialogs::Answer::No);
    // "中止" on the confirmation panel as soon as it asks.
    bool cautioned = false;
    QTimer caution;
    caution.setInterval(10);
    connect(&caution, &QTimer::timeout, this, [&] {
        if (w.deleteConfirmation()->isAsking()) {
            cautioned = true;
            QTest::mouseClick(w.deleteConfirmation()->cancelButton(), Qt::LeftButton);
        }
    });
    caution.start();

    w.workspace().paneCommands().menuState().setItem(item, true);
    w.fileMenuItem(item)->trigger();
    QCoreApplication::processEvents();

    QString seen = QStringLiteral("none");
    if (!m_dialogs.asked.isEmpty())
        seen = QStringLiteral("ask:") + m_dialogs.asked.first().text;
    else if (cautioned)
        seen = QStringLiteral("caution");
    else if (isEditing(view("ListView1")) || isEditing(view("ListView2")))
        seen = QStringLiteral("edit");
    else if (w.permissionPanel()->isVisible())
        seen = QStringLiteral("permissions");
    else if (w.fileMenuItem(17)->isEnabled() && item == 16)
        seen = QStringLiteral("cleanup on");
    QCOMPARE(seen, effect);
    // Nothing was deleted or made.
    QVERIFY(QFileInfo::exists(serverFile("index.html")));
    QVERIFY(QFileInfo::exists(home() + "/local.txt"));
    if (item == 17)
        QVERIFY(!w.fileMenuItem(17)->isEnabled() && !w.toolbarButton("linkcut")->isEnabled());
    QCOMPARE(w.workspace().state().ActivePane, pane);
}

void TestPaneCommands::clicksSetTheMenu()
{
    MainWindow& w = connectedWindow();
    showLocal(home());
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");
    QLabel* panel1 = w.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel1"));

    QTest::mouseClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "index.html"));
    QCOMPARE(w.workspace().state().ActivePane, 2);
    QCOMPARE(w.workspace().paneCommands().DragSource, QStringLiteral("ListView1"));
    QVERIFY(
        w.fileMenuItem(13)->isEnabled() && w.fileMenuItem(15)->isEnabled() && w.toolbarButton("link1")->isEnabled());
    QVERIFY(!w.fileMenuItem(16)->isEnabled() && !w.fileMenuItem(19)->isEnabled());
    QCOMPARE(w.fileMenuItem(8)->text(), QStringLiteral("FTP上のファイルのコピー"));
    QCOMPARE(w.workspace().statusReport().statusPanel(0), QStringLiteral("FTPﾌｫﾙﾀﾞ"));
    QTRY_COMPARE(panel1->text(), QStringLiteral("FTPﾌｫﾙﾀﾞ"));

    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "site"));
    QCOMPARE(w.workspace().state().ActivePane, 4);
    QVERIFY(w.fileMenuItem(16)->isEnabled() && w.toolbarButton("link2")->isEnabled());
    QVERIFY(!w.fileMenuItem(13)->isEnabled() && !w.fileMenuItem(15)->isEnabled());
    QCOMPARE(w.fileMenuItem(8)->text(), QStringLiteral("フォルダー又はファイルのコピー"));
    QCOMPARE(w.workspace().statusReport().statusPanel(0), QStringLiteral("ﾛｰｶﾙﾌｫﾙﾀﾞ"));

    QTreeView* treeView1 = view("TreeView1");
    QTreeView* treeView3 = view("TreeView3");
    QTest::mouseClick(treeView1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(w.workspace().state().ActivePane, 3);
    QVERIFY(!w.fileMenuItem(4)->isEnabled() && !w.toolbarButton("open")->isEnabled()
        && !w.toolbarButton("copy")->isEnabled());
    QVERIFY(w.fileMenuItem(6)->isEnabled() && w.fileMenuItem(19)->isEnabled()
        && !w.toolbarButton("imageshow")->isEnabled());
    QCOMPARE(w.fileMenuItem(4)->text(), QStringLiteral("ローカルPC上にフォルダーの作成(&N)"));

    QTest::mouseClick(treeView3->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(w.workspace().state().ActivePane, 1);
    QVERIFY(w.toolbarButton("imageshow")->isEnabled() && w.toolbarButton("link2")->isEnabled());
    QCOMPARE(w.fileMenuItem(6)->text(), QStringLiteral("FTPのフォルダーとﾌｧｲﾙの削除(&T)"));

    // Back in a list, its commands come back.
    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "local.txt"));
    QVERIFY(
        w.fileMenuItem(4)->isEnabled() && w.toolbarButton("open")->isEnabled() && w.toolbarButton("copy")->isEnabled());
    QCOMPARE(w.fileMenuItem(4)->text(), QStringLiteral("ローカルPC上にフォルダーの作成(&N)"));

    // The toolbar runs the items: "copy" on the focused local list offers paste there.
    listView2->setFocus();
    selectRows(listView2, { "local.txt" });
    w.toolbarButton("copy")->trigger();
    QVERIFY(w.fileMenuItem(9)->isEnabled() && w.toolbarButton("paste")->isEnabled());
    QCOMPARE(w.fileMenuItem(9)->text(), QStringLiteral("ローカルPCのファイル又はフォルダーの貼り付け"));
    QTest::mouseClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "index.html"));
    QVERIFY(!w.fileMenuItem(9)->isEnabled() && !w.toolbarButton("paste")->isEnabled());
    w.toolbarButton("Stop")->trigger();
    QVERIFY(w.workspace().state().StopRequested);
}

void TestPaneCommands::copyAndPasteByFocus()
{
    MainWindow& w = connectedWindow();
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");

    // The focused list decides: the FTP list copies server files.
    openFtp("/pub");
    selectRows(listView1, { "a.txt" });
    listView1->setFocus();
    QCOMPARE(QApplication::focusWidget(), listView1);
    w.fileMenuItem(8)->trigger();
    QCOMPARE(w.workspace().paneCommands().TempCopySources, QStringList("/pub/a.txt"));
    QVERIFY(w.workspace().paneCommands().LocalClipboard.isEmpty());
    openFtp("/dst");
    listView1->setFocus();
    w.fileMenuItem(9)->trigger();
    QCOMPARE(readBytes(serverFile("dst/a.txt")), QByteArray("server pub/a.txt\n"));

    // Local to local: the paste goes where the local pane is.
    showLocal(home());
    selectRows(listView2, { "local.txt", "site" });
    listView2->setFocus();
    w.fileMenuItem(8)->trigger();
    QCOMPARE(w.workspace().paneCommands().LocalClipboard.size(), 2);
    QVERIFY(QDir().mkpath(home() + "/copy"));
    showLocal(home() + "/copy");
    listView2->setFocus();
    w.fileMenuItem(9)->trigger();
    QCOMPARE(readBytes(home() + "/copy/local.txt"), QByteArray("local\n"));
    QCOMPARE(readBytes(home() + "/copy/site/page.html"), QByteArray("<p>local</p>\n"));
    QCOMPARE(rowOf(listView2->model(), "site") >= 0, true);
    QVERIFY(m_dialogs.asked.isEmpty());
}

void TestPaneCommands::dropsInFourDirections()
{
    MainWindow& w = connectedWindow();
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");
    PaneMouse& mouse = w.paneMouse();
    QMimeData mime;
    mime.setText(QStringLiteral("rows"));
    showLocal(home());

    // Local to server, dropped on the folder "pub".
    selectRows(listView2, { "local.txt" });
    mouse.dropMimeOnFtpList(&mime, rowCenter(listView1, "pub"), listView2->viewport());
    QCOMPARE(readBytes(serverFile("pub/local.txt")), QByteArray("local\n"));
    QCOMPARE(w.workspace().remotePane().folderText(), QStringLiteral("/pub"));

    // Server to local, dropped on the folder "site".
    openFtp("/pub");
    selectRows(listView1, { "a.txt" });
    mouse.dropMimeOnLocalList(&mime, rowCenter(listView2, "site"), listView1->viewport());
    QCOMPARE(readBytes(home() + "/site/a.txt"), QByteArray("server pub/a.txt\n"));
    QCOMPARE(w.workspace().localPane().folderText(), home() + "/site");

    // Server within the list: "b.html" moved into "/dst" (the list of the root).
    openFtp(m_server->hostField());
    openFtp("/pub");
    selectRows(listView1, { "b.html" });
    QVERIFY(writeBytes(serverFile("pub/dst/x"), "")); // a folder "dst" below /pub to drop on
    w.workspace().remotePane().RefreshFtpPanes();
    selectRows(listView1, { "b.html" });
    mouse.dropMimeOnFtpList(&mime, rowCenter(listView1, "dst"), listView1->viewport());
    QCOMPARE(readBytes(serverFile("pub/dst/b.html")), QByteArray("server pub/b.html\n"));
    QVERIFY(!QFileInfo::exists(serverFile("pub/b.html")));

    // Local within the list: "page.html" moved into a folder beside it.
    showLocal(home() + "/site");
    QVERIFY(QDir().mkpath(home() + "/site/old"));
    showLocal(home() + "/site");
    selectRows(listView2, { "page.html" });
    mouse.dropMimeOnLocalList(&mime, rowCenter(listView2, "old"), listView2->viewport());
    QCOMPARE(readBytes(home() + "/site/old/page.html"), QByteArray("<p>local</p>\n"));
    QVERIFY(!QFileInfo::exists(home() + "/site/page.html"));

    // A drop on empty space of the local list from the local list moves nothing.
    selectRows(listView2, { "a.txt" });
    mouse.dropMimeOnLocalList(&mime, QPoint(5, listView2->viewport()->height() - 2), listView2->viewport());
    QVERIFY(QFileInfo::exists(home() + "/site/a.txt"));
    QVERIFY(m_dialogs.asked.isEmpty());
}

// The offscreen platform runs no real drag (its drag returns at once) and Qt delivers no drag
// event to a widget outside one, so the drag's moves are played through PaneMouse::dragOver with
// a list as the source, as the drag events pass it, and the leave, the drop and a drag from
// outside the window go straight to the lists' event filter, as Qt hands them over.
void TestPaneCommands::dragMarksTheDropTarget()
{
    MainWindow& w = connectedWindow();
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");
    PaneMouse& mouse = w.paneMouse();
    showLocal(home());
    selectRows(listView2, { "local.txt" });
    listView1->selectionModel()->clearSelection();
    const QPoint pub = rowCenter(listView1, "pub");
    const QPoint site = rowCenter(listView2, "site");
    QVERIFY(pub.y() >= 0 && site.y() >= 0);
    const QRect pubRow = listView1->visualRect(listView1->indexAt(pub)).adjusted(0, 0, 200, 0);
    const QImage plain = listView1->viewport()->grab(pubRow).toImage();

    auto marked = [&mouse](const QTreeView* list) {
        const QModelIndex index = mouse.markedDropTarget(list);
        return index.isValid() ? index.data().toString() : QStringLiteral("-");
    };
    QStringList seen;
    auto over = [&](QTreeView* list, const QPoint& at, const QObject* source) {
        mouse.dragOver(list, at, source);
        seen.append(marked(listView1) + u'|' + marked(listView2));
    };
    over(listView1, pub, listView2);
    const QImage highlighted = listView1->viewport()->grab(pubRow).toImage();
    over(listView1, rowCenter(listView1, "index.html"), listView2);
    over(listView1, QPoint(5, listView1->viewport()->height() - 2), listView2);
    over(listView1, pub, listView1);
    over(listView2, site, listView1);
    over(listView2, rowCenter(listView2, "local.txt"), listView2);
    over(listView2, site, listView2);
    QCOMPARE(seen, QStringList({ "pub|-", "-|-", "-|-", "pub|-", "pub|site", "pub|-", "pub|site" }));
    QVERIFY(highlighted != plain);

    // Leaving a list takes its mark away; so does the end of the drag over it (a drop, here one
    // from outside the window, which is refused).
    QObject& filter = mouse;
    QDragLeaveEvent leave;
    filter.eventFilter(listView1->viewport(), &leave);
    QCOMPARE(marked(listView1), QStringLiteral("-"));
    QCOMPARE(listView1->viewport()->grab(pubRow).toImage(), plain);
    QMimeData mime;
    mime.setText(QStringLiteral("rows"));
    QDropEvent drop(QPointF(site), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QVERIFY(filter.eventFilter(listView2->viewport(), &drop));
    QVERIFY(!drop.isAccepted());
    QCOMPARE(marked(listView2), QStringLiteral("-"));

    // A drag from outside the window (it has no source here) is refused and marks nothing.
    over(listView1, pub, listView2);
    QDragMoveEvent foreign(pub, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QVERIFY(filter.eventFilter(listView1->viewport(), &foreign));
    QVERIFY(!foreign.isAccepted());
    QCOMPARE(marked(listView1), QStringLiteral("-"));
    QCoreApplication::processEvents();
    QVERIFY(!QFileInfo::exists(serverFile("pub/local.txt")));
    QVERIFY(!QFileInfo::exists(home() + "/site/local.txt"));
}

void TestPaneCommands::renameInPlace()
{
    MainWindow& w = connectedWindow();
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");
    auto editTo = [](QTreeView* list, const QString& text) {
        QTRY_VERIFY(isEditing(list));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        editor->insert(text);
        QTest::keyClick(editor, Qt::Key_Return);
    };

    // On the server: the server's answer decides.
    QTest::mouseClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "index.html"));
    w.fileMenuItem(11)->trigger();
    QCOMPARE(w.workspace().paneCommands().RenameOldName, QStringLiteral("index.html"));
    editTo(listView1, QStringLiteral("top page.html"));
    QTRY_VERIFY(QFileInfo::exists(serverFile("top page.html")));
    QVERIFY(!QFileInfo::exists(serverFile("index.html")));
    QVERIFY(rowOf(listView1->model(), "top page.html") >= 0);

    // Locally: a taken name asks first.
    showLocal(home());
    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "local.txt"));
    QVERIFY(writeBytes(home() + "/taken.txt", "taken\n"));
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    w.fileMenuItem(11)->trigger();
    editTo(listView2, QStringLiteral("taken.txt"));
    QTRY_COMPARE(readBytes(home() + "/taken.txt"), QByteArray("local\n"));
    QCOMPARE(m_dialogs.texts(), QStringList("taken.txt は既に有ります。上書きしますか?"));
    QTRY_COMPARE(rowOf(listView2->model(), "local.txt"), -1);

    // An empty name cancels: nothing is renamed and the row keeps its name.
    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "taken.txt"));
    w.fileMenuItem(11)->trigger();
    editTo(listView2, QString());
    QTRY_VERIFY(rowOf(listView2->model(), "taken.txt") >= 0);
    QVERIFY(QFileInfo::exists(home() + "/taken.txt"));
}

void TestPaneCommands::doubleClickOnLocalFiles()
{
    MainWindow& w = connectedWindow();
    QTreeView* listView2 = view("ListView2");
    QVERIFY(writeBytes(home() + "/sjis.txt", Cp932::encode(u"一行目\r\n二行目\r\n")));
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(home() + "/red.jpg"));
    QVERIFY(writeBytes(home() + "/doc.pdf", "%PDF-1.4\n"));
    const QString marker = home() + "/ran";
    QVERIFY(writeBytes(home() + "/run.sh", ("#!/bin/sh\ntouch '" + marker + "'\n").toUtf8()));
    QVERIFY(QFile::setPermissions(home() + "/run.sh", QFile::permissions(home() + "/run.sh") | QFile::ExeOwner));
    showLocal(home());
    ViewerPanel& viewer = w.viewer();

    // Text: shown, edited and stored back in CP932 with its CR LF.
    w.onLocalFileDoubleClicked(rowOf(listView2->model(), "sjis.txt"));
    QVERIFY(viewer.isVisible());
    QCOMPARE(viewer.tag(), QStringLiteral("LOCAL"));
    QCOMPARE(viewer.nameBox()->text(), QStringLiteral("sjis.txt"));
    QCOMPARE(viewer.textView()->toPlainText(), QStringLiteral("一行目\n二行目\n"));
    viewer.textView()->setPlainText(QStringLiteral("一行目\n三行目\n"));
    QTest::mouseClick(viewer.storeButton(), Qt::LeftButton);
    QCOMPARE(readBytes(home() + "/sjis.txt"), Cp932::encode(u"一行目\r\n三行目\r\n"));

    // A picture goes to the picture view.
    w.onLocalFileDoubleClicked(rowOf(listView2->model(), "red.jpg"));
    QVERIFY(viewer.pictureView()->isVisible());
    QVERIFY(!viewer.textView()->isVisible());
    QVERIFY(!viewer.pictureView()->pixmap().isNull());

    // A PDF goes to the desktop.
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    w.onLocalFileDoubleClicked(rowOf(listView2->model(), "doc.pdf"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls, QList<QUrl>({ QUrl::fromLocalFile(home() + "/doc.pdf") }));

    // A program runs after the question; No runs nothing.
    m_dialogs.queueAnswer(Dialogs::Answer::No);
    w.onLocalFileDoubleClicked(rowOf(listView2->model(), "run.sh"));
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "run.sh"));
    QTest::mouseDClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "run.sh"));
    QCOMPARE(m_dialogs.texts(), QStringList({ "プログラムを実行しますか?", "プログラムを実行しますか?" }));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 10000);

    // A folder's double-click stays the pane's own: it opens the folder.
    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "site"));
    QTest::mouseDClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "site"));
    QCOMPARE(w.workspace().localPane().folderText(), home() + "/site");
}

void TestPaneCommands::viewerStoresOnTheServer()
{
    MainWindow& w = connectedWindow();
    openFtp("/pub");
    ViewerPanel& viewer = w.viewer();
    viewer.showServerText(QStringLiteral("<p>新しい</p>\n"), QStringLiteral("b.html"));
    QCOMPARE(viewer.tag(), QStringLiteral("FTP"));
    QTest::mouseClick(viewer.storeButton(), Qt::LeftButton);
    const QByteArray stored = readBytes(serverFile("pub/b.html"));
    QVERIFY2(QString::fromUtf8(stored).contains(QStringLiteral("新しい"))
            || Cp932::decode(stored).contains(QStringLiteral("新しい")),
        stored.constData());
}

void TestPaneCommands::editMenu()
{
    MainWindow& w = connectedWindow();
    showLocal(home());
    auto* txtDir2 = w.findChild<QLineEdit*>(QStringLiteral("TxtDir2"));
    txtDir2->setFocus();
    QCOMPARE(QApplication::focusWidget(), txtDir2);
    txtDir2->selectAll();
    w.editMenuItem(4)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), home());
    w.editMenuItem(6)->trigger();
    QCOMPARE(txtDir2->text(), QString());
    w.editMenuItem(1)->trigger();
    QCOMPARE(txtDir2->text(), home());

    // In a list, copy and paste are the local files'.
    QTreeView* listView2 = view("ListView2");
    selectRows(listView2, { "local.txt" });
    listView2->setFocus();
    w.editMenuItem(4)->trigger();
    QCOMPARE(w.workspace().paneCommands().LocalClipboard, QStringList(home() + "/local.txt"));
    QVERIFY(QDir().mkpath(home() + "/pasted"));
    showLocal(home() + "/pasted");
    view("ListView1")->setFocus();
    w.editMenuItem(5)->trigger();
    QCOMPARE(readBytes(home() + "/pasted/local.txt"), QByteArray("local\n"));
}

// Tab makes a list the active pane as a click does; Enter opens the current row, Delete and F2
// ask for the menu's delete and rename of that pane.
void TestPaneCommands::keysOnTheLists()
{
    MainWindow& w = connectedWindow();
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");
    showLocal(home());

    w.workspace().state().ActivePane = 2;
    listView2->setFocus(Qt::TabFocusReason);
    QCOMPARE(w.workspace().state().ActivePane, 4);
    listView1->setFocus(Qt::TabFocusReason);
    QCOMPARE(w.workspace().state().ActivePane, 2);
    // Focus that comes back with the window is no click.
    m_window->findChild<QLineEdit*>(QStringLiteral("TxtDir"))->setFocus(Qt::TabFocusReason);
    listView2->setFocus(Qt::ActiveWindowFocusReason);
    QCOMPARE(w.workspace().state().ActivePane, 2);
    listView1->setFocus(Qt::TabFocusReason);

    // Enter on a server folder opens it; on a local folder likewise.
    listView1->setCurrentIndex(listView1->model()->index(rowOf(listView1->model(), "pub"), 0));
    QTest::keyClick(listView1, Qt::Key_Return);
    QTRY_VERIFY(w.workspace().remotePane().folderText().endsWith(QStringLiteral("/pub")));
    QVERIFY(rowOf(listView1->model(), "a.txt") >= 0);
    listView2->setFocus(Qt::TabFocusReason);
    listView2->setCurrentIndex(listView2->model()->index(rowOf(listView2->model(), "site"), 0));
    QTest::keyClick(listView2, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(w.workspace().localPane().folderText(), home() + QStringLiteral("/site"));

    // F2 edits the current local row; Esc leaves it as it was.
    listView2->setCurrentIndex(listView2->model()->index(rowOf(listView2->model(), "page.html"), 0));
    QTest::keyClick(listView2, Qt::Key_F2);
    QTRY_VERIFY(isEditing(listView2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!isEditing(listView2));
    QVERIFY(QFileInfo::exists(home() + "/site/page.html"));
    // Enter ends the edit and renames; it does not reach the list and open the file too.
    QTest::keyClick(listView2, Qt::Key_F2);
    QTRY_VERIFY(isEditing(listView2));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    editor->insert(QStringLiteral("ページ.html"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(QFileInfo::exists(home() + "/site/ページ.html"));
    QVERIFY(!m_window->findChild<QWidget*>(QStringLiteral("FrmPic"))->isVisible());

    // Delete asks before the local file goes to the trash, even after the FTP list was clicked.
    QTest::mouseClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "a.txt"));
    QCOMPARE(w.workspace().state().ActivePane, 2);
    listView2->setFocus(Qt::TabFocusReason);
    selectRows(listView2, { QStringLiteral("ページ.html") });
    qputenv("XDG_DATA_HOME", (home() + QStringLiteral("/.local/share")).toUtf8());
    m_dialogs.queueAnswer(Dialogs::Answer::No);
    QTest::keyClick(listView2, Qt::Key_Delete);
    QVERIFY(m_dialogs.texts().contains(QStringLiteral("選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?")));
    QVERIFY(QFileInfo::exists(home() + "/site/ページ.html"));
    QVERIFY(QFileInfo::exists(serverFile("pub/a.txt")));
}

// The folder's new rows take the old row numbers: the row under the double-click must not be
// read again after the folder opened, or the file now in its place is opened as well.
void TestPaneCommands::doubleClickOnAFolderOnlyOpensIt()
{
    for (const char* file : { "a.html", "b.html", "c.html" })
        QVERIFY(writeBytes(home() + "/site/" + file, "<p>x</p>\n"));
    MainWindow& w = connectedWindow();
    showLocal(home());
    auto* frmPic = m_window->findChild<QWidget*>(QStringLiteral("FrmPic"));
    QTreeView* listView1 = view("ListView1");
    QTreeView* listView2 = view("ListView2");

    QTest::mouseClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "site"));
    QTest::mouseDClick(listView2->viewport(), Qt::LeftButton, {}, rowCenter(listView2, "site"));
    QCOMPARE(w.workspace().localPane().folderText(), home() + QStringLiteral("/site"));
    QVERIFY(!frmPic->isVisible());

    QTest::mouseClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "pub"));
    QTest::mouseDClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "pub"));
    QTRY_VERIFY(w.workspace().remotePane().folderText().endsWith(QStringLiteral("/pub")));
    QVERIFY(!frmPic->isVisible());

    // A file row still opens in the viewer.
    QTest::mouseClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "a.txt"));
    QTest::mouseDClick(listView1->viewport(), Qt::LeftButton, {}, rowCenter(listView1, "a.txt"));
    QTRY_VERIFY(frmPic->isVisible());
}

QTEST_MAIN(TestPaneCommands)
#include "tst_panecommands.moc"
