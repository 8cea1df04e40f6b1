#include "core/app/appstate.h"
#include "core/app/itemroles.h"
#include "core/panes/listingrecord.h"
#include "core/panes/localpane.h"
#include "gui/panes/localpanewidget.h"
#include "gui/panes/localtreepanel.h"
#include "gui/panes/paneicons.h"
#include "support/scripteddialogs.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

void writeFile(const QString& path, qint64 size)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(QByteArray(size, 'x'));
}

} // namespace

// The local pane's widgets driven as a user does: typing a folder, clicking the header, the up
// button and double-clicking a folder row.
class TestLocalPaneWidget : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QTemporaryDir m_root;
    QString m_startFolder;

    struct Fixture {
        AppState state;
        ListingRecord record;
        ScriptedDialogs dialogs;
        LocalPane pane { state, record, dialogs };
        QWidget window;
        LocalPaneWidget* widget = new LocalPaneWidget(pane, &window);
        LocalTreePanel* tree = new LocalTreePanel(pane, &window);
        QAbstractItemModelTester listTester { pane.fileList(),
            QAbstractItemModelTester::FailureReportingMode::QtTest };
        QAbstractItemModelTester treeTester { pane.folderTree(),
            QAbstractItemModelTester::FailureReportingMode::QtTest };
        QAbstractItemModelTester driveTester { pane.driveList(), QAbstractItemModelTester::FailureReportingMode::QtTest };
        Fixture()
        {
            pane.setOptionCheck([](int) { return false; });
            window.resize(700, 500);
            widget->setGeometry(0, 0, 700, 500);
            pane.showStartFolder();
            window.show();
        }
        QTreeView* list() const { return window.findChild<QTreeView*>(QStringLiteral("ListView2")); }
        QStringList names() const
        {
            QStringList out;
            for (int r = 0; r < pane.fileList()->rowCount(); ++r)
                out.append(pane.fileList()->item(r)->text());
            return out;
        }
        // A user's double-click: a click, then the second press that the system reports as a
        // double-click.
        void doubleClick(const QString& name) const
        {
            const int r = names().indexOf(name);
            const QPoint at = list()->visualRect(pane.fileList()->index(r, 0)).center();
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid() && m_root.isValid());
        m_startFolder = QDir::currentPath();
        qputenv("HOME", QFile::encodeName(m_home.path()));
        writeFile(m_home.filePath(QStringLiteral("start.txt")), 1);
        QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("site/画像"))));
        QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("site/css"))));
        writeFile(m_root.filePath(QStringLiteral("site/index.html")), 3000);
        writeFile(m_root.filePath(QStringLiteral("site/a.txt")), 100);
        writeFile(m_root.filePath(QStringLiteral("site/画像/photo.jpg")), 5000);
    }

    void cleanupTestCase() { QDir::setCurrent(m_startFolder); }

    void startsInTheHomeFolder()
    {
        Fixture f;
        auto* drive = f.window.findChild<QComboBox*>(QStringLiteral("Drive2"));
        auto* path = f.window.findChild<QLineEdit*>(QStringLiteral("TxtDir2"));
        QCOMPARE(drive->itemText(0), QStringLiteral("/"));
        QCOMPARE(drive->currentIndex(), 0);
        QCOMPARE(path->text(), m_home.path());
        QCOMPARE(f.names(), QStringList { QStringLiteral("start.txt") });
        QVERIFY(f.window.findChild<QWidget*>(QStringLiteral("Frame3"))->isHidden());

        for (const QString& key :
            { IconKeys::Closed, IconKeys::Open, IconKeys::Leaf, IconKeys::Leaf2, IconKeys::Leaf3, IconKeys::LeafKill })
            QVERIFY2(!paneIcon(key).isNull(), qPrintable(key));
    }

    void typedFolderThenHeaderClicks()
    {
        Fixture f;
        auto* path = f.window.findChild<QLineEdit*>(QStringLiteral("TxtDir2"));
        path->clear();
        QTest::keyClicks(path, m_root.filePath(QStringLiteral("site")));
        QCOMPARE(f.pane.folderText(), m_root.filePath(QStringLiteral("site")));
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(f.names(),
            (QStringList { QStringLiteral("css"), QStringLiteral("画像"), QStringLiteral("a.txt"),
                QStringLiteral("index.html") }));

        QHeaderView* header = f.list()->header();
        const QPoint sizeHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
        QCOMPARE(f.pane.sortColumn(), 1);
        QCOMPARE(f.names(),
            (QStringList { QStringLiteral("css"), QStringLiteral("画像"), QStringLiteral("a.txt"),
                QStringLiteral("index.html") }));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);

        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sizeHeader);
        QCOMPARE(f.names(),
            (QStringList { QStringLiteral("index.html"), QStringLiteral("a.txt"), QStringLiteral("css"),
                QStringLiteral("画像") }));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void doubleClickOpensAFolderAndUpComesBack()
    {
        Fixture f;
        const QString site = m_root.filePath(QStringLiteral("site"));
        f.pane.setFolderText(site);
        f.pane.RefreshLocalPanes();
        QTest::qWait(0);

        // A file row is left for the later double-click rules.
        f.doubleClick(QStringLiteral("a.txt"));
        QCOMPARE(f.pane.folderText(), site);

        f.doubleClick(QStringLiteral("画像"));
        QCOMPARE(f.pane.folderText(), site + QStringLiteral("/画像"));
        QCOMPARE(f.window.findChild<QLineEdit*>(QStringLiteral("TxtDir2"))->text(), site + QStringLiteral("/画像"));
        QCOMPARE(f.names(), QStringList { QStringLiteral("photo.jpg") });
        // Opening a folder colours its list.
        QCOMPARE(f.pane.fileList()->item(0)->foreground().color(), QColor(0, 150, 150));

        QTest::mouseClick(f.window.findChild<QToolButton*>(QStringLiteral("cmdUp2")), Qt::LeftButton);
        QCOMPARE(f.pane.folderText(), site);
        QCOMPARE(f.names().size(), 4);
        QCOMPARE(f.pane.fileList()->item(3)->foreground().color(), QColor(255, 0, 0)); // index.html
    }

    void treePanelShowsTheWalk()
    {
        Fixture f;
        f.pane.setFolderText(m_root.path());
        f.tree->showInFront();
        QVERIFY(f.pane.WalkLocalTree(QString(), QStringLiteral("site")));
        auto* view = f.tree->findChild<QTreeView*>(QStringLiteral("TreeView1"));
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("site"));
        QCOMPARE(view->model()->rowCount(view->model()->index(0, 0)), 4);

        // The up button empties the tree while its panel is shown.
        f.pane.setFolderText(m_root.filePath(QStringLiteral("site")));
        QTest::mouseClick(f.window.findChild<QToolButton*>(QStringLiteral("cmdUp2")), Qt::LeftButton);
        QCOMPARE(view->model()->rowCount(), 0);
        QCOMPARE(f.pane.folderText(), m_root.path());
    }
};

QTEST_MAIN(TestLocalPaneWidget)
#include "tst_localpane.moc"
