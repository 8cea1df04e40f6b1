// The main window offscreen against pyftpdlib: what the window adds to the workspace. Its widgets
// follow the core state; its menus, toolbar, keys, mouse and drags reach the operations with the
// user's selection; its panels wait, place and show themselves; its dialogs answer in Japanese.
#include "core/app/codepage.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/manage/deletes.h"
#include "core/manage/permissions.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/settings/profiles.h"
#include "core/transfer/transfers.h"
#include "core/workspace/companionlink.h"
#include "gui/app/connectionindicator.h"
#include "gui/manage/deleteconfirmation.h"
#include "gui/manage/permissionpanel.h"
#include "gui/panes/panemouse.h"
#include "gui/panes/viewerpanel.h"
#include "gui/transfer/codeconversionpanel.h"
#include "windowtest.h"

namespace {

// Acts on the delete confirmation as soon as it asks.
void whenCautionAsks(DeleteConfirmation* caution, std::function<void()> act)
{
    auto* poll = new QTimer(caution);
    QObject::connect(poll, &QTimer::timeout, caution, [caution, poll, act] {
        if (caution->isAsking()) {
            poll->deleteLater();
            poll->stop();
            act();
        }
    });
    poll->start(10);
}

bool isEditing(QTreeView* view)
{
    const QList<QLineEdit*> editors = view->viewport()->findChildren<QLineEdit*>();
    return std::any_of(editors.begin(), editors.end(), [](const QLineEdit* e) { return e->isVisible(); });
}

// Types `text` over the open label editor and ends it with Enter.
void editTo(QTreeView* view, const QString& text)
{
    QTRY_VERIFY(isEditing(view));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    editor->insert(text);
    QTest::keyClick(editor, Qt::Key_Return);
}

// Clicks the node with the key `key` of a walked tree.
void clickNode(QTreeView* tree, const QString& key)
{
    tree->expandAll();
    const QModelIndexList found = tree->model()->match(
        tree->model()->index(0, 0), ItemRoles::NodeKeyRole, key, 1, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY2(found.size() == 1, qPrintable(key));
    tree->scrollTo(found.first());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(found.first()).center());
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

class TestWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<FtpServerFixture> m_server;
    std::unique_ptr<WindowRig> m_rig;

    QString serverFile(const QString& path) const { return m_server->root() + u'/' + path; }
    QString home(const QString& path = {}) const
    {
        return path.isEmpty() ? m_rig->home.path() : m_rig->home.filePath(path);
    }
    MainWindow& connected()
    {
        [this] { QVERIFY(m_rig->connect()); }();
        m_rig->showLocal(home());
        return *m_rig->window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_server = std::make_unique<FtpServerFixture>(FtpServerFixture::Kind::Pyftpdlib);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void init()
    {
        QDir(m_server->root()).removeRecursively();
        for (const char* file : { "index.html", "pub/a.txt", "pub/b.html", "dst/keep.txt" })
            QVERIFY(writeBytes(serverFile(QLatin1String(file)), QByteArray("server ") + file + "\n"));
        m_rig = std::make_unique<WindowRig>();
        QVERIFY(m_rig->useServer(*m_server));
        QVERIFY(writeBytes(home(u"local.txt"_s), "local\n") && writeBytes(home(u"site/page.html"_s), "<p>p</p>\n"));
    }

    void cleanup() { m_rig.reset(); }

    void panelsMenusAndStatusList()
    {
        MainWindow& w = m_rig->load();
        QVERIFY(!w.windowIcon().pixmap(64, 64).isNull());
        // Only the tree panels stand open; each menu item opens its panel in front, inside the window.
        for (MovablePanel* p : w.panels())
            QVERIFY2(p->isVisible() == (p == m_rig->find("Frame3") || p == m_rig->find("Frame20")),
                qPrintable(p->objectName()));
        const std::pair<const char*, const char*> items[]
            = { { "m2_1", "Frame1" }, { "m2_2", "Frame4" }, { "m2_3", "Frame7" }, { "Mrog1", "Frame14" },
                  { "Mrog2", "Frame19" }, { "Mrog5", "Frame13" }, { "mcom", "Frame16" } };
        for (const auto& [item, panel] : items) {
            m_rig->find<QAction>(item)->trigger();
            QWidget* p = m_rig->find(panel);
            QVERIFY2(p && p->isVisible() && p->parentWidget()->children().last() == p, panel);
            QVERIFY2(p->parentWidget()->rect().contains(p->geometry().topLeft()), panel);
        }
        // Opened again, the conversion panel is the same one, on the local pane's folder.
        m_rig->find<QAction>("Mrog5")->trigger();
        QCOMPARE(w.findChildren<CodeConversionPanel*>().size(), 1);
        QCOMPARE(m_rig->find<QLineEdit>("Text16_0")->text(), home());

        QTest::mouseClick(m_rig->find<QRadioButton>("Option1_1"), Qt::LeftButton);
        QCOMPARE(w.workspace().transfers().transferRule(), 1);
        QTest::mouseClick(m_rig->find<QRadioButton>("Option1_0"), Qt::LeftButton);
        QCOMPARE(w.workspace().transfers().transferRule(), 0);
        // The status list follows its last line.
        auto* states = m_rig->find<QListView>("LstStates");
        w.workspace().statusLines().AddStatusLine(u"テスト"_s);
        QCOMPARE(states->currentIndex().row(), states->model()->rowCount() - 1);
        QVERIFY(states->currentIndex().data().toString().endsWith(u"テスト"_s));

        w.toolbarButton(u"Stop"_s)->trigger();
        QVERIFY(w.workspace().state().StopRequested);
        QVERIFY(w.close() && w.isUnloaded());
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("commandLine"); // %1: a folder holding index.html
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("hooked"); // the command channel listens
        QTest::addColumn<bool>("messageMenu");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<qint64>("companion");
        QTest::newRow("none") << "" << true << false << false << "" << 0LL;
        QTest::newRow("message visible") << "<Message Visible>" << true << true << true << "" << 0LL;
        QTest::newRow("message invisible") << "<message invisible>" << false << true << false << "" << 0LL;
        QTest::newRow("companion") << "jsTarvo/x.html handle=815" << true << false << false << "" << 815LL;
        QTest::newRow("file in quotes") << "\"%1/index.html\"" << true << false << false << "index.html" << 0LL;
        QTest::newRow("companion's file")
            << "jsTarvo\"%1/index.html\" handle=12" << true << false << false << "index.html" << 12LL;
    }

    void commandLine()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, selected);
        QFETCH(qint64, companion);
        for (const char* name : { "about.html", "index.html", "zz.png" })
            QVERIFY(writeBytes(home(u"site/"_s + QLatin1String(name)), "<html></html>"));
        MainWindow& w = m_rig->load(commandLine.contains(u'%') ? commandLine.arg(home(u"site"_s)) : commandLine);
        QTEST(w.isVisible(), "visible");
        QTEST(w.workspace().companionLink().isHooked(), "hooked");
        QTEST(m_rig->find<QAction>("mmessage")->isVisible(), "messageMenu");
        QStringList rows;
        for (const QModelIndex& i : m_rig->localList()->selectionModel()->selectedRows())
            rows.append(i.data().toString());
        QCOMPARE(rows.join(u','), selected);
        QCOMPARE(m_rig->localList()->currentIndex().data().toString(), selected);
        QCOMPARE(w.workspace().state().CompanionWindow, companion);
        QCOMPARE(w.workspace().statusLines().stringList().join(u'\n').contains(u" GetHandle=%1"_s.arg(companion)),
            companion != 0);
    }

    void profileComboAndMenu()
    {
        const QStringList names { u"One"_s, u"host:21 & more"_s, u"Three"_s };
        QByteArray ini;
        for (const QString& name : names)
            ini += SettingsFiles::profileLines({ name });
        QVERIFY(writeBytes(m_rig->data.filePath(u"ftpset.ini"_s), ini + SettingsFiles::lastProfileSettings(names[2])));
        MainWindow& w = m_rig->load();
        auto* combo = m_rig->find<QComboBox>("List1Combo");
        auto* txtDir = m_rig->find<QLineEdit>("TxtDir");
        QCOMPARE(combo->currentIndex(), 2);
        // The settings menu numbers the profiles; "&" is a character there, no shortcut.
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(
                w.settingsMenuItem(5 + i)->text(), u" %1:%2"_s.arg(i).arg(QString(names[i]).replace(u"&"_s, u"&&"_s)));
        // An item connects to its profile, a name holding ":" too; without a host the connect asks for one.
        w.settingsMenuItem(6)->trigger();
        QCOMPARE(combo->currentIndex(), 1);
        QCOMPARE(txtDir->text(), names[1]);
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"Please enter a server name!"_s));
        Q_EMIT combo->activated(0);
        QCOMPARE(txtDir->text(), names[0]);

        // Registering adds an item that the combo box follows; deleting renumbers the rest.
        Profiles& profiles = w.workspace().profiles();
        profiles.setField(0, u"新規"_s);
        profiles.setField(1, u"new.example"_s);
        profiles.registerProfile();
        QCOMPARE(w.settingsMenuItem(8)->text(), u" 3:新規"_s);
        QCOMPARE(combo->currentIndex(), 3);
        profiles.selectProfileRow(0);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        profiles.deleteSelectedProfile();
        QCOMPARE(w.settingsMenuItem(7)->text(), u" 2:新規"_s);
        QVERIFY(!w.settingsMenuItem(8));
        QCOMPARE(combo->currentIndex(), -1);
    }

    void panesFollowTheConnection()
    {
        MainWindow& w = m_rig->load();
        const int idle = w.connectionIndicator().visiblePicture();
        auto controls = [&] {
            QList<bool> on { w.connectionIndicator().visiblePicture() != idle };
            for (const char* name : { "cmdConnect", "List1Combo", "cmdDisconnect", "cmdGet", "cmdPut" })
                on.append(m_rig->find(name)->isEnabled());
            return on;
        };
        QCOMPARE(controls(), QList<bool>({ false, true, true, false, false, false }));
        QTest::mouseClick(m_rig->button("cmdConnect"), Qt::LeftButton);
        QVERIFY2(w.workspace().state().IsConnected, qPrintable(m_rig->dialogs.texts().join(u'|')));
        QCOMPARE(controls(), QList<bool>({ true, false, false, true, true, true }));
        QCOMPARE(m_rig->find<QLabel>("StatusBar1_Panel2")->text(), u"ﾌｫﾙﾀﾞｰ数: 2"_s);
        QCOMPARE(m_rig->find<QLabel>("StatusBar1_Panel3")->text(), u"ﾌｧｲﾙ数: 1"_s);
        QVERIFY(!QApplication::overrideCursor());

        // The path box goes where typed, the up button back.
        QTreeView* list = m_rig->ftpList();
        auto* txtDir = m_rig->find<QLineEdit>("TxtDir");
        txtDir->clear();
        QTest::keyClicks(txtDir, u"/pub"_s);
        QTest::keyClick(txtDir, Qt::Key_Return);
        QCOMPARE(rowNames(list), QStringList({ "a.txt", "b.html" }));
        QTest::mouseClick(m_rig->find<QToolButton>("cmdUp"), Qt::LeftButton);
        QCOMPARE(txtDir->text(), m_server->hostField());
        // A header click sorts by its column, a second one the other way round.
        QHeaderView* header = list->header();
        const QPoint nameHeader(header->sectionViewportPosition(0) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
        QCOMPARE(rowNames(list), QStringList({ "dst", "index.html", "pub" }));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeader);
        QCOMPARE(rowNames(list), QStringList({ "pub", "index.html", "dst" }));
        QVERIFY(header->isSortIndicatorShown());
        // A click on a walked folder of the tree lists it.
        QVERIFY(w.workspace().remotePane().ExpandFtpTree(true, QString()));
        clickNode(m_rig->find<QTreeView>("TreeView3"), u"/pub"_s);
        QCOMPARE(txtDir->text(), u"/pub"_s);

        // The local pane's up button empties the shown tree.
        m_rig->showLocal(home(u"site"_s));
        QVERIFY(w.workspace().localPane().WalkLocalTree(QString(), u"site"_s, home()));
        QTest::mouseClick(m_rig->find<QToolButton>("cmdUp2"), Qt::LeftButton);
        QCOMPARE(m_rig->find<QLineEdit>("TxtDir2")->text(), home());
        QCOMPARE(m_rig->find<QTreeView>("TreeView1")->model()->rowCount(), 0);
        // Its path box goes where typed; a header click sorts by that column.
        auto* txtDir2 = m_rig->find<QLineEdit>("TxtDir2");
        txtDir2->clear();
        QTest::keyClicks(txtDir2, home(u"site"_s));
        QTest::keyClick(txtDir2, Qt::Key_Return);
        QCOMPARE(rowNames(m_rig->localList()), QStringList("page.html"));
        QHeaderView* localHeader = m_rig->localList()->header();
        QTest::mouseClick(localHeader->viewport(), Qt::LeftButton, {},
            QPoint(localHeader->sectionViewportPosition(1) + 5, localHeader->height() / 2));
        QVERIFY(localHeader->isSortIndicatorShown() && localHeader->sortIndicatorSection() == 1);

        QTest::mouseClick(m_rig->button("cmdDisconnect"), Qt::LeftButton);
        QVERIFY(!w.workspace().state().IsConnected && list->model()->rowCount() == 0);
        QCOMPARE(controls(), QList<bool>({ false, true, true, false, false, false }));
        QVERIFY(m_rig->dialogs.asked.isEmpty());

        // The watch's ticks: connected lamps take turns; any other lamp gives way to the next.
        QList<int> shown;
        for (int lamp : { 0, 3, 2, 1 }) {
            w.connectionIndicator().showPicture(lamp);
            w.workspace().remotePane().watchTick(true);
            shown.append(w.connectionIndicator().visiblePicture());
        }
        QCOMPARE(shown, QList<int>({ 3, 0, 1, 3 }));
    }

    // Clicks make a pane active; the menu and the toolbar then show what MenuState holds.
    void clicksMirrorTheMenuState()
    {
        MainWindow& w = connected();
        const MenuState& menu = w.workspace().paneCommands().menuState();
        auto mirrored = [&] {
            for (int i : MenuState::itemIndexes()) {
                if (w.fileMenuItem(i)->text() != menu.caption(i)
                    || w.fileMenuItem(i)->isEnabled() != menu.itemEnabled(i))
                    return false;
            }
            for (const QString& key : MenuState::buttonKeys()) {
                // The reservation panel comes later: its button stays off.
                if (key != u"Timer"_s && w.toolbarButton(key)->isEnabled() != menu.buttonEnabled(key))
                    return false;
            }
            return true;
        };
        QLabel* panel1 = m_rig->find<QLabel>("StatusBar1_Panel1");
        const std::pair<const char*, int> panes[]
            = { { "ListView1", 2 }, { "ListView2", 4 }, { "TreeView1", 3 }, { "TreeView3", 1 } };
        for (const auto& [name, active] : panes) {
            auto* view = m_rig->find<QTreeView>(name);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
            QCOMPARE(w.workspace().state().ActivePane, active);
            QVERIFY2(mirrored(), name);
            QTRY_COMPARE(panel1->text(), w.workspace().statusReport().statusPanel(0));
            // The file-operation menu pops up on each list and tree.
            QString popped;
            QTimer::singleShot(0, this, [&] {
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    popped = popup->objectName();
                    popup->close();
                }
            });
            Q_EMIT view->customContextMenuRequested(QPoint(5, 5));
            QCOMPARE(popped, w.fileMenu()->objectName());
        }
    }

    void menuItems_data()
    {
        // A menu item's or toolbar button's name, its item, the active pane (1 FTP tree, 2 FTP
        // list, 3 local tree, 4 local list) and what the user then sees.
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("pane");
        QTest::addColumn<QString>("effect");
        const QString local = u"ask:ローカルコンピューター上で作成するフォルダーの名前を入れてください"_s;
        const QString trash = u"ask:選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?"_s;
        QTest::newRow("folder on the server")
            << "open" << 4 << 2 << "ask:Ftpサーバー上で作成するフォルダーの名前を入れてください";
        QTest::newRow("folder from the FTP tree is local") << "M1_4" << 4 << 1 << local;
        QTest::newRow("folder on the local PC") << "M1_4" << 4 << 3 << local;
        QTest::newRow("delete on the server") << "cut" << 6 << 1 << "caution";
        QTest::newRow("delete in the FTP list") << "M1_6" << 6 << 2 << "caution";
        QTest::newRow("delete on the local PC") << "M1_6" << 6 << 4 << trash;
        QTest::newRow("rename in the FTP list") << "M1_11" << 11 << 2 << "edit";
        QTest::newRow("rename in the local list") << "M1_11" << 11 << 4 << "edit";
        QTest::newRow("no rename in a tree") << "M1_11" << 11 << 3 << "none";
        QTest::newRow("permissions") << "M1_13" << 13 << 4 << "permissions";
        QTest::newRow("top page check of a local pane") << "link2" << 16 << 3 << "clean-up offered";
        QTest::newRow("no top page check on the server") << "M1_16" << 16 << 2 << "none";
        QTest::newRow("clean-up") << "linkcut" << 17 << 4 << "none";
    }

    void menuItems()
    {
        QFETCH(QString, action);
        QFETCH(int, item);
        QFETCH(int, pane);
        MainWindow& w = connected();
        selectRows(m_rig->ftpList(), { u"index.html"_s });
        selectRows(m_rig->localList(), { u"local.txt"_s });
        w.workspace().state().ActivePane = pane;
        m_rig->dialogs.queueInput(std::nullopt);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        bool cautioned = false;
        whenCautionAsks(w.deleteConfirmation(), [&] {
            cautioned = true;
            w.deleteConfirmation()->cancelButton()->click();
        });
        MenuState& menu = w.workspace().paneCommands().menuState();
        menu.setItem(item, true);
        if (w.toolbarButton(action))
            menu.setButton(action, true);
        m_rig->find<QAction>(qPrintable(action))->trigger();
        QCoreApplication::processEvents();

        QString seen = u"none"_s;
        if (!m_rig->dialogs.asked.isEmpty())
            seen = u"ask:"_s + m_rig->dialogs.asked.first().text;
        else if (cautioned)
            seen = u"caution"_s;
        else if (isEditing(m_rig->ftpList()) || isEditing(m_rig->localList()))
            seen = u"edit"_s;
        else if (w.permissionPanel()->isVisible())
            seen = u"permissions"_s;
        else if (w.fileMenuItem(17)->isEnabled())
            seen = u"clean-up offered"_s;
        QTEST(seen, "effect");
        QVERIFY(QFileInfo::exists(serverFile(u"index.html"_s)) && QFileInfo::exists(home(u"local.txt"_s)));
        QCOMPARE(w.workspace().state().ActivePane, pane);
    }

    // Copy and paste act on the list that has the focus; the edit menu also on a text box.
    void copyAndPasteFollowTheFocus()
    {
        MainWindow& w = connected();
        QTreeView* ftp = m_rig->ftpList();
        QTreeView* local = m_rig->localList();
        m_rig->openFtp(u"/pub"_s);
        selectRows(ftp, { u"a.txt"_s });
        ftp->setFocus();
        w.toolbarButton(u"copy"_s)->trigger();
        m_rig->openFtp(u"/dst"_s);
        ftp->setFocus();
        w.toolbarButton(u"paste"_s)->trigger();
        QCOMPARE(readBytes(serverFile(u"dst/a.txt"_s)), QByteArray("server pub/a.txt\n"));

        // The edit menu in either list copies and pastes local files.
        selectRows(local, { u"local.txt"_s });
        local->setFocus();
        w.editMenuItem(4)->trigger();
        QVERIFY(QDir().mkpath(home(u"pasted"_s)));
        m_rig->showLocal(home(u"pasted"_s));
        ftp->setFocus();
        w.editMenuItem(5)->trigger();
        QCOMPARE(readBytes(home(u"pasted/local.txt"_s)), QByteArray("local\n"));
        auto* txtDir2 = m_rig->find<QLineEdit>("TxtDir2");
        txtDir2->setFocus();
        txtDir2->selectAll();
        w.editMenuItem(4)->trigger();
        w.editMenuItem(6)->trigger();
        QVERIFY(QGuiApplication::clipboard()->text() == home(u"pasted"_s) && txtDir2->text().isEmpty());
        w.editMenuItem(1)->trigger();
        QCOMPARE(txtDir2->text(), home(u"pasted"_s));
        QVERIFY(m_rig->dialogs.asked.isEmpty());
    }

    // Tab makes a list the active pane as a click does; Enter opens the current row, Delete and
    // F2 ask for the menu's delete and rename of that pane.
    void keysOnTheLists()
    {
        MainWindow& w = connected();
        QTreeView* ftp = m_rig->ftpList();
        QTreeView* local = m_rig->localList();
        int& active = w.workspace().state().ActivePane;
        local->setFocus(Qt::TabFocusReason);
        QCOMPARE(active, 4);
        ftp->setFocus(Qt::TabFocusReason);
        QCOMPARE(active, 2);
        // Focus that comes back with the window is no click.
        m_rig->find("TxtDir")->setFocus(Qt::TabFocusReason);
        local->setFocus(Qt::ActiveWindowFocusReason);
        QCOMPARE(active, 2);

        ftp->setFocus(Qt::TabFocusReason);
        ftp->setCurrentIndex(rowIndex(ftp, u"pub"_s));
        QTest::keyClick(ftp, Qt::Key_Return);
        QTRY_VERIFY(w.workspace().remotePane().folderText().endsWith(u"/pub"_s));
        local->setFocus(Qt::TabFocusReason);
        local->setCurrentIndex(rowIndex(local, u"site"_s));
        QTest::keyClick(local, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(w.workspace().localPane().folderText(), home(u"site"_s));

        // F2 edits the current row; Esc leaves it, Enter renames without opening the file as well.
        local->setCurrentIndex(rowIndex(local, u"page.html"_s));
        QTest::keyClick(local, Qt::Key_F2);
        QTRY_VERIFY(isEditing(local));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!isEditing(local));
        QVERIFY(QFileInfo::exists(home(u"site/page.html"_s)));
        QTest::keyClick(local, Qt::Key_F2);
        editTo(local, u"ページ.html"_s);
        QTRY_VERIFY(QFileInfo::exists(home(u"site/ページ.html"_s)));
        QVERIFY(!w.viewer().isVisible());

        // Delete asks before the local file goes to the trash, even after the FTP list was clicked.
        clickRow(ftp, u"a.txt"_s);
        local->setFocus(Qt::TabFocusReason);
        selectRows(local, { u"ページ.html"_s });
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        QTest::keyClick(local, Qt::Key_Delete);
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?"_s));
        QVERIFY(QFileInfo::exists(home(u"site/ページ.html"_s)) && QFileInfo::exists(serverFile(u"pub/a.txt"_s)));
    }

    void drops_data()
    {
        QTest::addColumn<bool>("fromFtp");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ontoFtp"); // onto the folder row "sub" of /pub, or "site" of the home
        QTest::addColumn<QString>("arrived"); // "ftp:" or "local:" and the path
        QTest::addColumn<QString>("gone");
        QTest::newRow("local to server") << false << "local.txt" << true << "ftp:pub/sub/local.txt"
                                         << "";
        QTest::newRow("server to local") << true << "a.txt" << false << "local:site/a.txt"
                                         << "";
        QTest::newRow("within the FTP list") << true << "b.html" << true << "ftp:pub/sub/b.html"
                                             << "ftp:pub/b.html";
        QTest::newRow("within the local list") << false << "local.txt" << false << "local:site/local.txt"
                                               << "local:local.txt";
    }

    void drops()
    {
        QFETCH(bool, fromFtp);
        QFETCH(bool, ontoFtp);
        QFETCH(QString, arrived);
        QFETCH(QString, gone);
        QVERIFY(QDir().mkpath(serverFile(u"pub/sub"_s)));
        MainWindow& w = connected();
        m_rig->openFtp(u"/pub"_s);
        QTreeView* source = fromFtp ? m_rig->ftpList() : m_rig->localList();
        QTreeView* target = ontoFtp ? m_rig->ftpList() : m_rig->localList();
        QFETCH(QString, name);
        QVERIFY(selectRows(source, { name }));
        QMimeData mime;
        mime.setText(u"rows"_s);
        const QPoint at = rowCenter(target, ontoFtp ? u"sub"_s : u"site"_s);
        if (ontoFtp)
            w.paneMouse().dropMimeOnFtpList(&mime, at, source->viewport());
        else
            w.paneMouse().dropMimeOnLocalList(&mime, at, source->viewport());
        auto path
            = [this](const QString& p) { return p.startsWith(u"ftp:"_s) ? serverFile(p.mid(4)) : home(p.mid(6)); };
        QVERIFY2(QFileInfo::exists(path(arrived)), qPrintable(m_rig->dialogs.texts().join(u'|')));
        QVERIFY(gone.isEmpty() || !QFileInfo::exists(path(gone)));
        QVERIFY(m_rig->dialogs.asked.isEmpty());
    }

    // The offscreen platform runs no real drag: the drag's moves are played through
    // PaneMouse::dragOver with a list as the source; the leave, a drop and a drag from outside the
    // window go to the lists' event filter as Qt hands them over.
    void dragMarksTheDropTarget()
    {
        MainWindow& w = connected();
        QTreeView* ftp = m_rig->ftpList();
        QTreeView* local = m_rig->localList();
        PaneMouse& mouse = w.paneMouse();
        const QPoint pub = rowCenter(ftp, u"pub"_s);
        const QPoint site = rowCenter(local, u"site"_s);
        const QRect pubRow = ftp->visualRect(ftp->indexAt(pub)).adjusted(0, 0, 200, 0);
        const QImage plain = ftp->viewport()->grab(pubRow).toImage();
        auto marked = [&mouse](const QTreeView* list) { return mouse.markedDropTarget(list).data().toString(); };
        QStringList seen;
        auto over = [&](QTreeView* list, const QPoint& at, const QObject* source) {
            mouse.dragOver(list, at, source);
            seen.append(marked(ftp) + u'|' + marked(local));
        };
        over(ftp, pub, local);
        QVERIFY(ftp->viewport()->grab(pubRow).toImage() != plain);
        over(ftp, rowCenter(ftp, u"index.html"_s), local);
        over(ftp, QPoint(5, ftp->viewport()->height() - 2), local);
        over(ftp, pub, ftp);
        over(local, site, ftp);
        over(local, rowCenter(local, u"local.txt"_s), local);
        QCOMPARE(seen, QStringList({ "pub|", "|", "|", "pub|", "pub|site", "pub|" }));

        // Leaving a list takes its mark away; so does a drop, here one from outside, refused.
        QObject& filter = mouse;
        QDragLeaveEvent leave;
        filter.eventFilter(ftp->viewport(), &leave);
        QVERIFY(marked(ftp).isEmpty());
        QCOMPARE(ftp->viewport()->grab(pubRow).toImage(), plain);
        over(local, site, local);
        QMimeData mime;
        mime.setText(u"rows"_s);
        QDropEvent drop(QPointF(site), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(filter.eventFilter(local->viewport(), &drop) && !drop.isAccepted());
        QVERIFY(marked(local).isEmpty());
        // A drag from outside the window is refused and marks nothing.
        QDragMoveEvent foreign(pub, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(filter.eventFilter(ftp->viewport(), &foreign) && !foreign.isAccepted());
        QVERIFY(marked(ftp).isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(!QFileInfo::exists(home(u"site/local.txt"_s)));
    }

    void renameInPlace()
    {
        MainWindow& w = connected();
        QTreeView* ftp = m_rig->ftpList();
        QTreeView* local = m_rig->localList();
        clickRow(ftp, u"index.html"_s);
        w.fileMenuItem(11)->trigger();
        editTo(ftp, u"top page.html"_s);
        QTRY_VERIFY(QFileInfo::exists(serverFile(u"top page.html"_s)));
        QVERIFY(!QFileInfo::exists(serverFile(u"index.html"_s)) && rowIndex(ftp, u"top page.html"_s).isValid());

        // A taken local name asks first; the replaced file's row goes.
        QVERIFY(writeBytes(home(u"taken.txt"_s), "taken\n"));
        m_rig->showLocal(home());
        clickRow(local, u"local.txt"_s);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        w.fileMenuItem(11)->trigger();
        editTo(local, u"taken.txt"_s);
        QTRY_COMPARE(readBytes(home(u"taken.txt"_s)), QByteArray("local\n"));
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"taken.txt は既に有ります。上書きしますか?"_s));
        QTRY_VERIFY(!rowIndex(local, u"local.txt"_s).isValid());
        // An empty name renames nothing, and the row keeps its name.
        clickRow(local, u"taken.txt"_s);
        w.fileMenuItem(11)->trigger();
        editTo(local, QString());
        QTRY_VERIFY(rowIndex(local, u"taken.txt"_s).isValid());
        QVERIFY(QFileInfo::exists(home(u"taken.txt"_s)));
    }

    void doubleClicksAndTheViewer()
    {
        QVERIFY(writeBytes(home(u"sjis.txt"_s), Cp932::encode(u"一行目\r\n二行目\r\n"_s)));
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(home(u"red.jpg"_s)));
        QVERIFY(writeBytes(home(u"doc.pdf"_s), "%PDF-1.4\n"));
        QVERIFY(writeBytes(home(u"run.sh"_s), "#!/bin/sh\ntouch ran\n"));
        QVERIFY(QFile::setPermissions(home(u"run.sh"_s), QFile::permissions(home(u"run.sh"_s)) | QFile::ExeOwner));
        MainWindow& w = connected();
        QTreeView* local = m_rig->localList();
        ViewerPanel& viewer = w.viewer();

        // A text is shown, edited and stored back in CP932 with its CR LF.
        doubleClickRow(local, u"sjis.txt"_s);
        QVERIFY(viewer.isVisible());
        QCOMPARE(viewer.textView()->toPlainText(), u"一行目\n二行目\n"_s);
        viewer.textView()->setPlainText(u"一行目\n三行目\n"_s);
        QTest::mouseClick(viewer.storeButton(), Qt::LeftButton);
        QCOMPARE(readBytes(home(u"sjis.txt"_s)), Cp932::encode(u"一行目\r\n三行目\r\n"_s));
        doubleClickRow(local, u"red.jpg"_s);
        QVERIFY(viewer.pictureView()->isVisible() && !viewer.textView()->isVisible());
        QVERIFY(!viewer.pictureView()->pixmap().isNull());
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(u"file"_s, &catcher, "open");
        doubleClickRow(local, u"doc.pdf"_s);
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QCOMPARE(catcher.urls, QList<QUrl>({ QUrl::fromLocalFile(home(u"doc.pdf"_s)) }));
        // A program runs in its folder only after Yes to the question.
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        doubleClickRow(local, u"run.sh"_s);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        doubleClickRow(local, u"run.sh"_s);
        QCOMPARE(m_rig->dialogs.texts(), QStringList(2, u"プログラムを実行しますか?"_s));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home(u"ran"_s)), 10000);

        // A folder's double-click only opens it: the file that takes its row is not opened as well.
        for (const char* file : { "a.html", "b.html", "c.html" })
            QVERIFY(writeBytes(home(u"site/"_s + QLatin1String(file)), "<p>x</p>\n"));
        viewer.hide();
        doubleClickRow(local, u"site"_s);
        QCOMPARE(w.workspace().localPane().folderText(), home(u"site"_s));
        doubleClickRow(m_rig->ftpList(), u"pub"_s);
        QTRY_VERIFY(w.workspace().remotePane().folderText().endsWith(u"/pub"_s));
        QVERIFY(!viewer.isVisible());
        // A server file is viewed, and the store button sends the edited text back.
        doubleClickRow(m_rig->ftpList(), u"b.html"_s);
        QTRY_COMPARE(viewer.textView()->toPlainText(), u"server pub/b.html\n"_s);
        viewer.textView()->setPlainText(u"<p>新しい</p>\n"_s);
        QTest::mouseClick(viewer.storeButton(), Qt::LeftButton);
        QVERIFY(Cp932::decode(readBytes(serverFile(u"pub/b.html"_s))).contains(u"新しい"_s));
    }

    // The confirmation waits for its buttons: "実行" goes on, "中止" and Esc stop, Enter does nothing.
    void deleteConfirmation()
    {
        for (const char* file : { "site/old/deeper/b.gif", "site/old/a.html", "site/index.html" })
            QVERIFY(writeBytes(serverFile(QLatin1String(file)), "x\n"));
        MainWindow& w = connected();
        DeleteConfirmation* caution = w.deleteConfirmation();
        m_rig->openFtp(u"/site"_s);
        const QStringList before = rowNames(m_rig->ftpList());
        w.workspace().state().ActivePane = 2;
        selectRows(m_rig->ftpList(), { u"old"_s });
        QList<bool> asking;
        whenCautionAsks(caution, [&] {
            for (Qt::Key key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape }) {
                QTest::keyClick(caution->focusWidget() ? caution->focusWidget() : caution, key);
                QCoreApplication::processEvents();
                asking.append(caution->isVisible());
            }
            if (caution->isVisible()) // keys that left it waiting fail the test rather than hang it
                caution->cancelButton()->click();
        });
        w.workspace().deleteInActivePane();
        QCOMPARE(asking, QList<bool>({ true, true, false }));
        QVERIFY(QFileInfo::exists(serverFile(u"site/old/a.html"_s)));
        QCOMPARE(rowNames(m_rig->ftpList()), before);

        whenCautionAsks(caution, [caution] { QTest::mouseClick(caution->runButton(), Qt::LeftButton); });
        w.workspace().deleteInActivePane();
        QVERIFY(!QFileInfo::exists(serverFile(u"site/old"_s)) && QFileInfo::exists(serverFile(u"site/index.html"_s)));
        QCOMPARE(caution->counts()->text(), u"フォルダー数:2　ファイル数:2"_s);
        QVERIFY(!caution->isVisible() && !QApplication::overrideCursor());

        // A click on a file node of the tree marks it for the tree's delete.
        RemotePane& remote = w.workspace().remotePane();
        QVERIFY(remote.ExpandFtpTree(true, QString()));
        clickNode(m_rig->find<QTreeView>("TreeView3"), u"/site/index.html"_s);
        w.workspace().state().ActivePane = 1;
        whenCautionAsks(caution, [caution] { QTest::mouseClick(caution->cancelButton(), Qt::LeftButton); });
        w.workspace().deleteInActivePane();
        QVERIFY(QFileInfo::exists(serverFile(u"site/index.html"_s)));
        whenCautionAsks(caution, [caution] { QTest::mouseClick(caution->runButton(), Qt::LeftButton); });
        w.workspace().deleteInActivePane();
        QVERIFY(!QFileInfo::exists(serverFile(u"site/index.html"_s)));
    }

    void permissionPanel()
    {
        MainWindow& w = connected();
        selectRows(m_rig->ftpList(), { u"index.html"_s });
        PermissionPanel* panel = w.permissionPanel();
        // Over the FTP list, whole and inside the window, though the list is short; in a small
        // window it moves left rather than lose its right edge.
        auto placed = [&] {
            w.workspace().permissions().ShowPermissionPanel();
            const QRect room = panel->parentWidget()->rect();
            bool whole = panel->size() == panel->size().expandedTo(panel->minimumSizeHint());
            for (int i = 0; i < 9; ++i)
                whole = whole && panel->modeBox(i)->height() >= panel->modeBox(i)->sizeHint().height();
            return panel->isVisible() && whole && panel->geometry().right() <= room.right()
                && panel->geometry().bottom() <= room.bottom();
        };
        QVERIFY(placed());
        const QPoint listTopLeft = m_rig->ftpList()->mapTo(panel->parentWidget(), QPoint(0, 0));
        QVERIFY(panel->x() <= listTopLeft.x() && panel->y() <= listTopLeft.y());
        w.resize(700, 500);
        QTest::qWait(10);
        QVERIFY(placed());

        // The boxes make the mode; "実行" with the box to close it ticked sets it on the server.
        QCOMPARE(panel->modeLabel()->text(), u"644"_s);
        for (int box : { 2, 5, 6 })
            QTest::mouseClick(panel->modeBox(box), Qt::LeftButton);
        QCOMPARE(panel->modeLabel()->text() + panel->digitLabel(1)->text() + panel->lettersLabel()->text(),
            u"7505rwxr-x---"_s);
        QTest::mouseClick(panel->closeAfterBox(), Qt::LeftButton);
        QTest::mouseClick(panel->runButton(), Qt::LeftButton);
        QCOMPARE(modeOf(serverFile(u"index.html"_s)), 0750);
        QVERIFY(!panel->isVisible());
        // The server's answer shows in the console.
        QVERIFY(m_rig->find<QPlainTextEdit>("Text3")->toPlainText().startsWith(u"200"_s));
    }

    void transfers_data()
    {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<QString>("finished"); // the first status bar panel after the run
        QTest::newRow("get button") << false << "ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了";
        QTest::newRow("put button") << true << "ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了";
    }

    // A run shows the status window, the busy pointer and the tree it walks; a tree open before
    // stays open after. An upload reports right under the local tree.
    void transfers()
    {
        QFETCH(bool, upload);
        QFETCH(QString, finished);
        QTemporaryDir localDir;
        for (const char* file : { "run/a.txt", "run/sub/deep/c.txt", "run/not-chosen.dat" })
            QVERIFY(writeBytes(serverFile(QLatin1String(file)), file));
        for (const char* file : { "x.txt", "dir/img/z.txt", "not-chosen.dat" })
            QVERIFY(writeBytes(localDir.filePath(QLatin1String(file)), file));
        MainWindow& w = connected();
        m_rig->showLocal(localDir.path());
        m_rig->openFtp(u"/run"_s);
        QVERIFY(upload ? selectRows(m_rig->localList(), { u"x.txt"_s, u"dir"_s })
                       : selectRows(m_rig->ftpList(), { u"a.txt"_s, u"sub"_s }));
        QWidget* statusWindow = m_rig->find("Frame27");
        QWidget* tree = m_rig->find(upload ? "Frame3" : "Frame20");
        bool shown = false, busy = false, treeShown = false, underTree = true;
        const QMetaObject::Connection watch = connect(&w.workspace().statusReport(), &StatusReport::changed, this, [&] {
            shown |= statusWindow->isVisible();
            busy |= QApplication::overrideCursor() != nullptr;
            treeShown |= tree->isVisible();
            underTree &= statusWindow->isHidden() || statusWindow->y() == tree->geometry().bottom() + 1;
        });
        QTest::mouseClick(m_rig->button(upload ? "cmdPut" : "cmdGet"), Qt::LeftButton);
        QTRY_VERIFY(!w.workspace().transfers().isRunning());
        disconnect(watch);
        const QStringList arrived = upload
            ? QStringList { serverFile(u"run/x.txt"_s), serverFile(u"run/dir/img/z.txt"_s) }
            : QStringList { localDir.filePath(u"a.txt"_s), localDir.filePath(u"sub/deep/c.txt"_s) };
        for (const QString& path : arrived)
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(readBytes(serverFile(u"run/not-chosen.dat"_s)), QByteArray("run/not-chosen.dat"));
        QCOMPARE(readBytes(localDir.filePath(u"not-chosen.dat"_s)), QByteArray("not-chosen.dat"));
        QVERIFY(shown && busy && treeShown && (underTree || !upload));
        QVERIFY(statusWindow->isHidden() && tree->isVisible() && !QApplication::overrideCursor());
        QTRY_COMPARE(m_rig->find<QLabel>("StatusBar1_Panel1")->text(), finished);
        QVERIFY2(m_rig->dialogs.asked.isEmpty(), qPrintable(m_rig->dialogs.texts().join(u'|')));
    }

    // The user closes the FTP tree once the first file of a folder download has arrived: the
    // download ends, and the tree stays closed.
    void closingTheFtpTreeEndsAFolderDownload()
    {
        for (int i = 0; i < 6; ++i)
            QVERIFY(writeBytes(serverFile(u"many/f%1.txt"_s.arg(i)), "x\n"));
        QTemporaryDir localDir;
        MainWindow& w = connected();
        m_rig->showLocal(localDir.path());
        selectRows(m_rig->ftpList(), { u"many"_s });
        QWidget* tree = m_rig->find("Frame20");
        const QMetaObject::Connection closer
            = connect(&w.workspace().statusLines(), &StatusLines::lineAdded, tree, [tree] { tree->setVisible(false); });
        QTest::mouseClick(m_rig->button("cmdGet"), Qt::LeftButton);
        QTRY_VERIFY(!w.workspace().transfers().isRunning());
        disconnect(closer);
        QVERIFY(tree->isHidden());
        const qsizetype arrived = QDir(localDir.filePath(u"many"_s)).entryList(QDir::Files).size();
        QVERIFY2(arrived >= 1 && arrived < 6, qPrintable(QString::number(arrived)));
    }

    void treePanelsStayInTheirAreas()
    {
        MainWindow& w = m_rig->load();
        auto inArea = [this](const char* panel, const char* area) {
            QWidget* a = m_rig->find(area);
            return m_rig->find(panel)->geometry() == QRect(a->mapTo(m_rig->find("centralArea"), QPoint()), a->size());
        };
        QTRY_VERIFY(inArea("Frame3", "localTreeArea") && inArea("Frame20", "ftpTreeArea"));
        w.resize(1200, 800);
        QTRY_VERIFY(inArea("Frame3", "localTreeArea") && inArea("Frame20", "ftpTreeArea"));
        // Dragged away, a tree stays where the user put it until its title is double-clicked.
        QLabel* title = m_rig->find<MovablePanel>("Frame3")->titleLabel();
        QTRY_VERIFY(!PanelDragState::instance().PanelMoveBusy);
        QTest::mousePress(title, Qt::LeftButton, {}, QPoint(20, 5));
        QTest::mouseMove(title, QPoint(60, 25));
        QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(60, 25));
        const QRect dragged = m_rig->find("Frame3")->geometry();
        w.resize(1000, 700);
        QCoreApplication::processEvents();
        QCOMPARE(m_rig->find("Frame3")->geometry(), dragged);
        // The status window travels right under it.
        QCOMPARE(m_rig->find("Frame27")->y(), dragged.bottom() + 1);
        QTest::mouseDClick(title, Qt::LeftButton, {}, QPoint(20, 5));
        QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(20, 5));
        QVERIFY(inArea("Frame3", "localTreeArea"));
    }

    void dialogsAnswerInJapanese_data()
    {
        QTest::addColumn<int>("buttons"); // -1: the input box
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QString>("press"); // a caption, or "Escape"
        QTest::addColumn<int>("answer"); // the input box: 1 for a text
        using B = Dialogs::Buttons;
        using A = Dialogs::Answer;
        const QStringList okCancel { "OK", "キャンセル" };
        const QStringList yesNo { "はい", "いいえ" };
        const QStringList all { "はい", "いいえ", "キャンセル" };
        QTest::newRow("ok, escape") << int(B::Ok) << QStringList("OK") << "Escape" << int(A::Ok);
        QTest::newRow("ok cancel, ok") << int(B::OkCancel) << okCancel << "OK" << int(A::Ok);
        QTest::newRow("ok cancel, escape") << int(B::OkCancel) << okCancel << "Escape" << int(A::Cancel);
        QTest::newRow("yes no, yes") << int(B::YesNo) << yesNo << "はい" << int(A::Yes);
        QTest::newRow("yes no, escape") << int(B::YesNo) << yesNo << "Escape" << int(A::No);
        QTest::newRow("yes no cancel, no") << int(B::YesNoCancel) << all << "いいえ" << int(A::No);
        QTest::newRow("yes no cancel, escape") << int(B::YesNoCancel) << all << "Escape" << int(A::Cancel);
        QTest::newRow("input, ok") << -1 << okCancel << "OK" << 1;
        QTest::newRow("input, cancel") << -1 << okCancel << "キャンセル" << 0;
    }

    void dialogsAnswerInJapanese()
    {
        QFETCH(int, buttons);
        QFETCH(QStringList, captions);
        QFETCH(QString, press);
        MainWindow& w = m_rig->load();
        w.dialogs().setOverride(nullptr);
        QStringList seen;
        QString text;
        QTimer::singleShot(0, this, [&] {
            if (auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                text = input->labelText();
                seen = QStringList { input->okButtonText(), input->cancelButtonText() };
                input->setTextValue(u"secret"_s);
                press == u"OK"_s ? input->accept() : input->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                for (QAbstractButton* b : box->buttons())
                    seen.append(b->text());
                if (press == u"Escape"_s)
                    QTest::keyClick(box, Qt::Key_Escape);
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == press)
                        b->click();
            }
        });
        Dialogs& dialogs = w.dialogs();
        if (buttons < 0)
            QTEST(int(dialogs.input(u"よろしいですか?"_s) == std::optional<QString>(u"secret"_s)), "answer");
        else
            QTEST(int(dialogs.message(u"よろしいですか?"_s, Dialogs::Buttons(buttons), Dialogs::Icon::Question)),
                "answer");
        QCOMPARE(text, u"よろしいですか?"_s);
        seen.sort();
        captions.sort();
        QCOMPARE(seen, captions);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
