// The FTP pane in the real main window, offscreen, against pyftpdlib: connect with the button,
// open a folder with a double-click, go up with the up button, walk the tree and click a node,
// disconnect.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/profiles.h"
#include "core/workspace/workspace.h"
#include "gui/app/connectionindicator.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "support/ftpserverfixture.h"
#include "support/modeltexts.h"
#include "support/settingsfiles.h"
#include "windowtest.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <memory>

namespace {

using SettingsFiles::writeBytes;

QStringList rowNames(QTreeView* view) { return ModelTexts::itemTexts(view->model()); }

void doubleClickRow(QTreeView* view, const QString& name)
{
    const QModelIndexList found
        = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    view->scrollTo(found.first());
    const QPoint at = view->visualRect(found.first()).center();
    // A double-click is preceded by a click, as a real mouse sends it.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestFtpPane : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void connectBrowseAndDisconnect();
    void pathBoxAndSorting();
    void failedConnectShowsTheMessage();
};

void TestFtpPane::initTestCase()
{
    QString error;
    QVERIFY2(startServer(&error), qPrintable(error));
    const QDir root(m_server->root());
    for (const char* folder : { "pub/sub", "フォルダ 1" })
        QVERIFY(root.mkpath(QString::fromUtf8(folder)));
    for (const char* file : { "index.html", "pub/readme.txt", "pub/photo.jpg", "pub/sub/deep.txt" })
        QVERIFY(writeBytes(root.filePath(QString::fromUtf8(file)), "data\n"));
}

void TestFtpPane::cleanupTestCase() { m_server.reset(); }

void TestFtpPane::init() { QVERIFY(prepareFolders()); }

void TestFtpPane::cleanup() { dropWindowAndFolders(); }

void TestFtpPane::connectBrowseAndDisconnect()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* connectButton = w.findChild<QPushButton*>(QStringLiteral("cmdConnect"));
    auto* disconnectButton = w.findChild<QPushButton*>(QStringLiteral("cmdDisconnect"));
    auto* list1 = w.findChild<QComboBox*>(QStringLiteral("List1Combo"));
    auto* txtDir = w.findChild<QLineEdit*>(QStringLiteral("TxtDir"));
    auto* listView1 = w.findChild<QTreeView*>(QStringLiteral("ListView1"));
    auto* upButton = w.findChild<QToolButton*>(QStringLiteral("cmdUp"));
    auto* treeView3 = w.findChild<QTreeView*>(QStringLiteral("TreeView3"));
    QVERIFY(connectButton && disconnectButton && list1 && txtDir && listView1 && upButton && treeView3);
    QCOMPARE(listView1->model()->columnCount(), 6);
    QCOMPARE(txtDir->text(), QStringLiteral("テストサーバー"));
    QVERIFY(!disconnectButton->isEnabled());

    QTest::mouseClick(connectButton, Qt::LeftButton);
    QVERIFY2(w.workspace().state().IsConnected, qPrintable(m_dialogs.texts().join(u'|')));
    QCOMPARE(txtDir->text(), m_server->hostField());
    QCOMPARE(rowNames(listView1),
        QStringList({ QStringLiteral("pub"), QStringLiteral("フォルダ 1"), QStringLiteral("index.html") }));
    QVERIFY(!connectButton->isEnabled());
    QVERIFY(disconnectButton->isEnabled());
    QVERIFY(w.findChild<QPushButton*>(QStringLiteral("cmdGet"))->isEnabled());
    QVERIFY(w.findChild<QPushButton*>(QStringLiteral("cmdPut"))->isEnabled());
    QVERIFY(!list1->isEnabled());
    QCOMPARE(w.connectionIndicator().visiblePicture(), 0);
    QVERIFY((&w.workspace().connectionWatch())->isActive());
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel2"))->text(), QStringLiteral("ﾌｫﾙﾀﾞｰ数: 2"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel3"))->text(), QStringLiteral("ﾌｧｲﾙ数: 1"));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // A double-click opens a folder; its page and picture are coloured.
    doubleClickRow(listView1, QStringLiteral("pub"));
    QCOMPARE(txtDir->text(), QStringLiteral("/pub"));
    QCOMPARE(rowNames(listView1),
        QStringList({ QStringLiteral("sub"), QStringLiteral("photo.jpg"), QStringLiteral("readme.txt") }));
    QCOMPARE(listView1->model()->index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 150, 150));
    QCOMPARE(listView1->model()->index(2, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
    doubleClickRow(listView1, QStringLiteral("sub"));
    QCOMPARE(txtDir->text(), QStringLiteral("/pub/sub"));
    QCOMPARE(rowNames(listView1), QStringList(QStringLiteral("deep.txt")));
    // A double-click on a file leaves the folder as it is.
    doubleClickRow(listView1, QStringLiteral("deep.txt"));
    QCOMPARE(txtDir->text(), QStringLiteral("/pub/sub"));

    // The up button, twice: to /pub, then to the root shown as the host name.
    QTest::mouseClick(upButton, Qt::LeftButton);
    QCOMPARE(txtDir->text(), QStringLiteral("/pub"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel1"))->text(), QStringLiteral("/pub"));
    QTest::mouseClick(upButton, Qt::LeftButton);
    QCOMPARE(txtDir->text(), m_server->hostField());
    QCOMPARE(rowNames(listView1).size(), 3);
    QCOMPARE(listView1->model()->index(2, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));

    // The tree: walked by the tree commands, a click on a walked folder lists it.
    QVERIFY(w.workspace().remotePane().ExpandFtpTree(true, QString()));
    treeView3->expandAll();
    QStandardItemModel* tree = w.workspace().remotePane().folderTree();
    const QModelIndexList sub = tree->match(tree->index(0, 0), ItemRoles::NodeKeyRole, QStringLiteral("/pub/sub"), 1,
        Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(sub.size(), 1);
    treeView3->scrollTo(sub.first());
    QTest::mouseClick(treeView3->viewport(), Qt::LeftButton, {}, treeView3->visualRect(sub.first()).center());
    QCOMPARE(txtDir->text(), QStringLiteral("/pub/sub"));
    QCOMPARE(rowNames(listView1), QStringList(QStringLiteral("deep.txt")));

    QTest::mouseClick(disconnectButton, Qt::LeftButton);
    QVERIFY(!w.workspace().state().IsConnected);
    QCOMPARE(listView1->model()->rowCount(), 0);
    QVERIFY(connectButton->isEnabled());
    QVERIFY(!disconnectButton->isEnabled());
    QVERIFY(list1->isEnabled());
    QCOMPARE(w.connectionIndicator().visiblePicture(), 2);
    QVERIFY(!(&w.workspace().connectionWatch())->isActive());
    QVERIFY(m_dialogs.asked.isEmpty());
}

void TestFtpPane::pathBoxAndSorting()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cmdConnect")), Qt::LeftButton);
    QVERIFY(w.workspace().state().IsConnected);
    auto* txtDir = w.findChild<QLineEdit*>(QStringLiteral("TxtDir"));
    auto* listView1 = w.findChild<QTreeView*>(QStringLiteral("ListView1"));

    // Typed with Enter: the host name and a folder go below the root.
    txtDir->clear();
    // As typed through an input method: keyClicks knows only ASCII.
    txtDir->insert(m_server->hostField() + QStringLiteral("/フォルダ 1"));
    QTest::keyClick(txtDir, Qt::Key_Return);
    QCOMPARE(w.workspace().remotePane().folderText(), m_server->hostField() + QStringLiteral("/フォルダ 1"));
    QCOMPARE(listView1->model()->rowCount(), 0);
    txtDir->clear();
    QTest::keyClicks(txtDir, QStringLiteral("/pub"));
    QTest::keyClick(txtDir, Qt::Key_Return);
    QCOMPARE(rowNames(listView1).size(), 3);

    // The name column sorts by its text, ascending then descending.
    QHeaderView* header = listView1->header();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(rowNames(listView1),
        QStringList({ QStringLiteral("photo.jpg"), QStringLiteral("readme.txt"), QStringLiteral("sub") }));
    QVERIFY(header->isSortIndicatorShown());
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(rowNames(listView1),
        QStringList({ QStringLiteral("sub"), QStringLiteral("readme.txt"), QStringLiteral("photo.jpg") }));
}

void TestFtpPane::failedConnectShowsTheMessage()
{
    // The profile's password is wrong: the engine's message, and nothing connected.
    const QByteArray ini
        = settingsFor(*m_server).replace(Cp932::encode(Profiles::scramblePassword(m_server->password())),
            Cp932::encode(Profiles::scramblePassword(QStringLiteral("wrong"))));
    QVERIFY(writeBytes(m_data->filePath(QStringLiteral("ftpset.ini")), ini));
    MainWindow& w = window();
    w.Form_Load(QString());
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cmdConnect")), Qt::LeftButton);
    QVERIFY(!w.workspace().state().IsConnected);
    QCOMPARE(
        m_dialogs.texts(), QStringList(QStringLiteral("WinInet Error -12014\r\nパスワードが正しくありません。    ")));
    QVERIFY(w.findChild<QPushButton*>(QStringLiteral("cmdConnect"))->isEnabled());
    QVERIFY(w.workspace().statusLines().lastLine().endsWith(QStringLiteral(" Ftp接続失敗")));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

QTEST_MAIN(TestFtpPane)
#include "tst_ftppane.moc"
