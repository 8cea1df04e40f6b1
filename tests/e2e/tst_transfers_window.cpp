// Transfers through the real main window, offscreen, against pyftpdlib: files and a folder
// selected in one list go to the other side with the get and put buttons, the rows are marked,
// the status window is shown while the run goes and hidden after it, and the option buttons
// "更新" and "上書" decide whether a newer copy is replaced.
#include "../gui/windowtest.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/remotepane.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/transfer/transfers.h"
#include "core/workspace/workspace.h"

#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeView>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

// Ctrl-clicks the rows named, as a user picks several entries.
void selectRows(QTreeView* view, const QStringList& names)
{
    view->selectionModel()->clearSelection();
    for (const QString& name : names) {
        const QModelIndexList found
            = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        view->scrollTo(found.first());
        QTest::mouseClick(
            view->viewport(), Qt::LeftButton, Qt::ControlModifier, view->visualRect(found.first()).center());
    }
    QCOMPARE(view->selectionModel()->selectedRows().size(), names.size());
}

// Every file below `root`, for failure messages.
QString filesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files.join(u' ');
}

QString iconKeyOf(QAbstractItemModel* model, const QString& name)
{
    const QModelIndexList found = model->match(model->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly);
    return found.isEmpty() ? QStringLiteral("<no row>") : found.first().data(ItemRoles::IconKeyRole).toString();
}

// What the window showed while a run went on.
struct RunWatch {
    bool statusShown = false;
    bool busyPointer = false;
    bool ftpTreeShown = false;
    bool localTreeShown = false;
    QMetaObject::Connection connection;

    void start(MainWindow& w)
    {
        connection = QObject::connect(&w.workspace().statusReport(), &StatusReport::changed, [this, &w] {
            statusShown |= w.findChild<QWidget*>(QStringLiteral("Frame27"))->isVisible();
            busyPointer |= QApplication::overrideCursor() != nullptr;
            ftpTreeShown |= w.findChild<QWidget*>(QStringLiteral("Frame20"))->isVisible();
            localTreeShown |= w.findChild<QWidget*>(QStringLiteral("Frame3"))->isVisible();
        });
    }
    ~RunWatch() { QObject::disconnect(connection); }
};

} // namespace

class TestTransfersWindow : public WindowTest {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void getButtonDownloads();
    void putButtonUploads();
    void optionButtonsChooseOverwrite();
    void closingTheFtpTreeEndsAFolderDownload();

private:
    MainWindow& connectedWindow();
    void showLocal(const QString& folder);
    void showRemote(const QString& folder);

    std::unique_ptr<QTemporaryDir> m_local;
};

void TestTransfersWindow::initTestCase()
{
    QString error;
    QVERIFY2(startServer(&error), qPrintable(error));
}

void TestTransfersWindow::cleanupTestCase() { m_server.reset(); }

void TestTransfersWindow::init()
{
    QVERIFY(prepareFolders());
    m_local = std::make_unique<QTemporaryDir>();
    QVERIFY(m_local->isValid());
}

void TestTransfersWindow::cleanup()
{
    dropWindowAndFolders();
    m_local.reset();
}

MainWindow& TestTransfersWindow::connectedWindow()
{
    QString messages;
    [&] { QVERIFY2(connectWindow(&messages), qPrintable(messages)); }();
    return *m_window;
}

void TestTransfersWindow::showLocal(const QString& folder)
{
    auto* txtDir2 = m_window->findChild<QLineEdit*>(QStringLiteral("TxtDir2"));
    QVERIFY(txtDir2);
    txtDir2->clear();
    txtDir2->insert(folder);
    QTest::keyClick(txtDir2, Qt::Key_Return);
    QCOMPARE(m_window->workspace().localPane().folderText(), folder);
}

void TestTransfersWindow::showRemote(const QString& folder)
{
    auto* txtDir = m_window->findChild<QLineEdit*>(QStringLiteral("TxtDir"));
    QVERIFY(txtDir);
    txtDir->clear();
    txtDir->insert(folder);
    QTest::keyClick(txtDir, Qt::Key_Return);
    QCOMPARE(m_window->workspace().remotePane().folderText(), folder);
}

void TestTransfersWindow::getButtonDownloads()
{
    const QDir root(m_server->root());
    QVERIFY(writeBytes(root.filePath(QStringLiteral("down/a.txt")), "alpha\n"));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("down/b.html")), "<p>beta</p>\n"));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("down/not-chosen.dat")), "x"));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("down/sub/deep/c.txt")), "gamma\n"));

    MainWindow& w = connectedWindow();
    showLocal(m_local->path());
    showRemote(QStringLiteral("/down"));
    auto* listView1 = w.findChild<QTreeView*>(QStringLiteral("ListView1"));
    selectRows(listView1, { QStringLiteral("a.txt"), QStringLiteral("b.html"), QStringLiteral("sub") });

    RunWatch watch;
    watch.start(w);
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cmdGet")), Qt::LeftButton);
    QTRY_VERIFY(!w.workspace().transfers().isRunning());

    const QDir local(m_local->path());
    QCOMPARE(readBytes(local.filePath(QStringLiteral("a.txt"))), QByteArray("alpha\n"));
    QCOMPARE(readBytes(local.filePath(QStringLiteral("b.html"))), QByteArray("<p>beta</p>\n"));
    QVERIFY2(
        readBytes(local.filePath(QStringLiteral("sub/deep/c.txt"))) == "gamma\n", qPrintable(filesBelow(local.path())));
    QVERIFY(!local.exists(QStringLiteral("not-chosen.dat")));
    PaneListModel* ftpList = w.workspace().remotePane().fileList();
    QCOMPARE(iconKeyOf(ftpList, QStringLiteral("a.txt")), QStringLiteral("leaf2"));
    QCOMPARE(iconKeyOf(ftpList, QStringLiteral("b.html")), QStringLiteral("leaf2"));
    QCOMPARE(iconKeyOf(ftpList, QStringLiteral("not-chosen.dat")), QStringLiteral("leaf"));
    QVERIFY(listView1->selectionModel()->selectedRows().isEmpty());
    // The local list shows what arrived.
    QCOMPARE(iconKeyOf(w.workspace().localPane().fileList(), QStringLiteral("a.txt")), QStringLiteral("leaf"));
    QCOMPARE(iconKeyOf(w.workspace().localPane().fileList(), QStringLiteral("sub")), QStringLiteral("closed"));

    QVERIFY(watch.statusShown);
    QVERIFY(watch.busyPointer);
    QVERIFY(watch.ftpTreeShown);
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Frame27"))->isHidden());
    // The tree was open before the download and stays so: no hole where it stood.
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Frame20"))->isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTRY_COMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel1"))->text(), QStringLiteral("ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label22"))->text(), QStringLiteral("状況報告"));
    const QString lines = w.workspace().statusLines().stringList().join(u'\n');
    QVERIFY2(lines.contains(QStringLiteral(" ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞﾞ:a.txt→a.txt")), qPrintable(lines));
    QVERIFY2(m_dialogs.asked.isEmpty(), qPrintable(m_dialogs.texts().join(u'|')));
}

void TestTransfersWindow::putButtonUploads()
{
    QVERIFY(QDir(m_server->root()).mkpath(QStringLiteral("up")));
    const QDir local(m_local->path());
    QVERIFY(writeBytes(local.filePath(QStringLiteral("x.txt")), "ex\n"));
    QVERIFY(writeBytes(local.filePath(QStringLiteral("y.html")), "<p>why</p>\n"));
    QVERIFY(writeBytes(local.filePath(QStringLiteral("stay.txt")), "stays\n"));
    QVERIFY(writeBytes(local.filePath(QStringLiteral("site/img/z.txt")), "zed\n"));

    MainWindow& w = connectedWindow();
    showLocal(m_local->path());
    showRemote(QStringLiteral("/up"));
    auto* listView2 = w.findChild<QTreeView*>(QStringLiteral("ListView2"));
    selectRows(listView2, { QStringLiteral("x.txt"), QStringLiteral("y.html"), QStringLiteral("site") });

    RunWatch watch;
    watch.start(w);
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cmdPut")), Qt::LeftButton);
    QTRY_VERIFY(!w.workspace().transfers().isRunning());

    const QDir remote(m_server->root() + QStringLiteral("/up"));
    QCOMPARE(readBytes(remote.filePath(QStringLiteral("x.txt"))), QByteArray("ex\n"));
    QCOMPARE(readBytes(remote.filePath(QStringLiteral("y.html"))), QByteArray("<p>why</p>\n"));
    QVERIFY2(readBytes(remote.filePath(QStringLiteral("site/img/z.txt"))) == "zed\n",
        qPrintable(filesBelow(m_server->root()) + u'|' + w.workspace().statusLines().stringList().join(u'|')));
    QVERIFY(!remote.exists(QStringLiteral("stay.txt")));
    PaneListModel* localList = w.workspace().localPane().fileList();
    QCOMPARE(iconKeyOf(localList, QStringLiteral("x.txt")), QStringLiteral("leaf2"));
    QCOMPARE(iconKeyOf(localList, QStringLiteral("y.html")), QStringLiteral("leaf2"));
    QCOMPARE(iconKeyOf(localList, QStringLiteral("stay.txt")), QStringLiteral("leaf"));
    // The FTP list shows what arrived.
    QCOMPARE(iconKeyOf(w.workspace().remotePane().fileList(), QStringLiteral("x.txt")), QStringLiteral("leaf"));
    QCOMPARE(iconKeyOf(w.workspace().remotePane().fileList(), QStringLiteral("site")), QStringLiteral("closed"));

    QVERIFY(watch.statusShown);
    QVERIFY(watch.busyPointer);
    QVERIFY(watch.localTreeShown);
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Frame27"))->isHidden());
    QVERIFY(w.findChild<QWidget*>(QStringLiteral("Frame3"))->isVisible());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTRY_COMPARE(w.findChild<QLabel*>(QStringLiteral("StatusBar1_Panel1"))->text(), QStringLiteral("ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了"));
    QVERIFY2(m_dialogs.asked.isEmpty(), qPrintable(m_dialogs.texts().join(u'|')));
}

void TestTransfersWindow::optionButtonsChooseOverwrite()
{
    // A local copy newer than the server's: "更新" keeps it, "上書" replaces it.
    QVERIFY(writeBytes(m_server->root() + QStringLiteral("/opt/page.html"), "server\n"));
    const QString localPage = m_local->filePath(QStringLiteral("page.html"));
    QVERIFY(writeBytes(localPage, "local, newer\n"));
    QFile page(localPage);
    QVERIFY(page.open(QIODevice::ReadWrite));
    QVERIFY(page.setFileTime(QDateTime::currentDateTime().addYears(2), QFileDevice::FileModificationTime));
    page.close();

    MainWindow& w = connectedWindow();
    auto* update = w.findChild<QRadioButton*>(QStringLiteral("Option1_0"));
    auto* overwrite = w.findChild<QRadioButton*>(QStringLiteral("Option1_1"));
    QVERIFY(update && overwrite);
    QVERIFY(update->isChecked());
    QCOMPARE(w.workspace().transfers().transferRule(), 0);

    showLocal(m_local->path());
    showRemote(QStringLiteral("/opt"));
    auto* listView1 = w.findChild<QTreeView*>(QStringLiteral("ListView1"));
    auto* cmdGet = w.findChild<QPushButton*>(QStringLiteral("cmdGet"));
    selectRows(listView1, { QStringLiteral("page.html") });
    QTest::mouseClick(cmdGet, Qt::LeftButton);
    QTRY_VERIFY(!w.workspace().transfers().isRunning());
    QCOMPARE(readBytes(localPage), QByteArray("local, newer\n"));
    QCOMPARE(iconKeyOf(w.workspace().remotePane().fileList(), QStringLiteral("page.html")), QStringLiteral("leaf3"));

    QTest::mouseClick(overwrite, Qt::LeftButton);
    QVERIFY(overwrite->isChecked() && !update->isChecked());
    QCOMPARE(w.workspace().transfers().transferRule(), 1);
    // A fresh listing: rows marked by the last run are not taken again.
    showRemote(QStringLiteral("/opt"));
    selectRows(listView1, { QStringLiteral("page.html") });
    QTest::mouseClick(cmdGet, Qt::LeftButton);
    QTRY_VERIFY(!w.workspace().transfers().isRunning());
    QCOMPARE(readBytes(localPage), QByteArray("server\n"));

    QTest::mouseClick(update, Qt::LeftButton);
    QCOMPARE(w.workspace().transfers().transferRule(), 0);
}

void TestTransfersWindow::closingTheFtpTreeEndsAFolderDownload()
{
    for (int i = 0; i < 6; ++i)
        QVERIFY(writeBytes(m_server->root() + QStringLiteral("/many/f%1.txt").arg(i), "x\n"));
    MainWindow& w = connectedWindow();
    showLocal(m_local->path());
    showRemote(m_server->hostField());
    selectRows(w.findChild<QTreeView*>(QStringLiteral("ListView1")), { QStringLiteral("many") });
    // The user closes the tree as soon as the first file has arrived.
    auto* frame20 = w.findChild<QWidget*>(QStringLiteral("Frame20"));
    const QMetaObject::Connection closer
        = connect(&w.workspace().statusLines(), &StatusLines::lineAdded, frame20, [frame20] {
              if (frame20->isVisible())
                  frame20->hide();
          });
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("cmdGet")), Qt::LeftButton);
    QTRY_VERIFY(!w.workspace().transfers().isRunning());
    disconnect(closer);
    // Closed by the user, it stays closed.
    QVERIFY(frame20->isHidden());
    const int arrived = int(QDir(m_local->filePath(QStringLiteral("many"))).entryList(QDir::Files).size());
    QVERIFY2(arrived >= 1 && arrived < 6, qPrintable(QString::number(arrived)));
}

QTEST_MAIN(TestTransfersWindow)
#include "tst_transfers_window.moc"
