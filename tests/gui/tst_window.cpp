// The main window offscreen against pyftpdlib: its widgets follow the workspace; menus, keys and mouse
// reach the operations with the user's selection.
#include "core/app/codepage.h"
#include "core/app/itemroles.h"
#include "core/app/statuslines.h"
#include "core/app/statusreport.h"
#include "core/manage/permissions.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/transfer/transfers.h"
#include "core/workspace/companionlink.h"
#include "gui/app/connectionindicator.h"
#include "gui/manage/deleteconfirmation.h"
#include "gui/manage/permissionpanel.h"
#include "gui/panes/viewerpanel.h"
#include "support/texttable.h"
#include "windowtest.h"

#include <QDesktopServices>
#include <QRegularExpression>

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

void clickNode(QTreeView* tree, const QString& key)
{
    tree->expandAll();
    const QModelIndexList found = tree->model()->match(
        tree->model()->index(0, 0), ItemRoles::NodeKeyRole, key, 1, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY2(found.size() == 1, qPrintable(key));
    tree->scrollTo(found.first());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(found.first()).center());
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    QList<QUrl> m_opened;

    std::unique_ptr<FtpServerFixture> m_server;
    std::unique_ptr<WindowRig> m_rig;

    QString serverFile(const QString& path) const { return m_server->root() + u'/' + path; }
    QString home(const QString& path = {}) const { return QDir::cleanPath(m_rig->home.filePath(path)); }
    QAction* action(const char* name) const { return m_rig->find<QAction>(name); }
    QTreeView* ftp() const { return m_rig->ftpList(); }
    QTreeView* local() const { return m_rig->localList(); }
    QString exist(const QStringList& paths) const
    {
        QStringList out;
        for (const QString& p : paths)
            out.append(QFileInfo::exists(p.startsWith(u"ftp:"_s) ? serverFile(p.mid(4)) : home(p)) ? p : u"no "_s + p);
        return out.join(u", "_s);
    }
    MainWindow& connected()
    {
        [this] { QVERIFY(m_rig->connect()); }();
        m_rig->showLocal(home());
        return *m_rig->window;
    }
    void writeAll(const QString& folder, const QStringList& names)
    {
        for (const QString& name : names)
            QVERIFY(writeBytes(folder + u'/' + name, name.toUtf8()));
    }

public Q_SLOTS:
    void openUrl(const QUrl& url) { m_opened.append(url); }

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
        QVERIFY(
            writeBytes(home(u"out/keep.txt"_s), "x") && QFile::link(home(u"out"_s), m_rig->data.filePath(u"temp"_s)));
        MainWindow& w = m_rig->load();
        // Each menu item opens its panel in front, inside the window.
        for (const QString& pair :
            u"m2_1:Frame1 m2_2:Frame4 m2_3:Frame7 Mrog1:Frame14 Mrog2:Frame19 Mrog5:Frame13 mcom:Frame16"_s.split(
                u' ')) {
            action(qPrintable(pair.section(u':', 0, 0)))->trigger();
            QWidget* p = m_rig->find(qPrintable(pair.section(u':', 1)));
            QVERIFY2(p && p->isVisible() && p->parentWidget()->children().last() == p
                    && p->parentWidget()->rect().contains(p->geometry().topLeft()),
                qPrintable(pair));
        }
        // The status list follows its last line.
        auto* states = m_rig->find<QListView>("LstStates");
        w.workspace().statusLines().AddStatusLine(u"テスト"_s);
        QVERIFY(states->currentIndex().row() == states->model()->rowCount() - 1
            && states->currentIndex().data().toString().endsWith(u"テスト"_s));
        w.toolbarButton(u"Stop"_s)->trigger();
        QVERIFY(w.workspace().state().StopRequested && w.close() && w.isUnloaded());
        QVERIFY(QFile::exists(home(u"out/keep.txt"_s))); // the exit steps leave what a "temp" link leads to
    }

    void commandLine_data()
    {
        // %1: a folder holding index.html; "hooked": the command channel listens.
        TextTable::rows({ "commandLine", "shown", "selected", "companion" }, R"(
            none |  | visible |  | 0
            message visible | <Message Visible> | visible hooked menu |  | 0
            message invisible | <message invisible> | hooked |  | 0
            companion | jsTarvo/x.html handle=815 | visible |  | 815
            file in quotes | "%1/index.html" | visible | index.html | 0
            companion's file | jsTarvo"%1/index.html" handle=12 | visible | index.html | 12)");
    }
    void commandLine()
    {
        QFETCH(QString, commandLine);
        writeAll(home(u"site"_s), { u"about.html"_s, u"index.html"_s, u"zz.png"_s });
        MainWindow& w = m_rig->load(commandLine.contains(u'%') ? commandLine.arg(home(u"site"_s)) : commandLine);
        QStringList shown;
        for (const auto& [on, word] :
            { std::pair(w.isVisible(), "visible"), std::pair(w.workspace().companionLink().isHooked(), "hooked"),
                std::pair(action("mmessage")->isVisible(), "menu") })
            shown << (on ? QString::fromLatin1(word) : QString());
        QTEST(shown.join(u' ').simplified(), "shown");
        QStringList rows;
        for (const QModelIndex& i : local()->selectionModel()->selectedRows())
            rows.append(i.data().toString());
        QFETCH(QString, selected);
        QCOMPARE(rows.join(u',') + u'|' + local()->currentIndex().data().toString(), selected + u'|' + selected);
        QFETCH(QString, companion);
        QCOMPARE(QString::number(w.workspace().state().CompanionWindow), companion);
        QCOMPARE(w.workspace().statusLines().stringList().join(u'\n').contains(u" GetHandle=%1"_s.arg(companion)),
            companion != u"0"_s);
    }

    void profileComboAndMenu()
    {
        QVERIFY(writeBytes(m_rig->data.filePath(u"ftpset.ini"_s),
            SettingsFiles::profileLines({ u"One"_s }) + SettingsFiles::profileLines({ u"host:21 & more"_s })
                + SettingsFiles::profileLines({ u"Three"_s }) + SettingsFiles::lastProfileSettings(u"Three"_s)));
        MainWindow& w = m_rig->load();
        auto* combo = m_rig->find<QComboBox>("List1Combo");
        auto* txtDir = m_rig->find<QLineEdit>("TxtDir");
        // The settings menu numbers the profiles ("&" is a character there, no shortcut); the combo box follows.
        auto menu = [&w, combo]() -> QString {
            QString out;
            for (int i = 5; w.settingsMenuItem(i); ++i)
                out += w.settingsMenuItem(i)->text() + u'|';
            return out + QString::number(combo->currentIndex());
        };
        QCOMPARE(menu(), u" 0:One| 1:host:21 && more| 2:Three|2"_s);
        // An item connects to its profile, a name holding ":" too; without a host the connect asks for one.
        w.settingsMenuItem(6)->trigger();
        QCOMPARE(QString::number(combo->currentIndex()) + txtDir->text(), u"1host:21 & more"_s);
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"Please enter a server name!"_s));
        Q_EMIT combo->activated(0);
        QCOMPARE(txtDir->text(), u"One"_s);
    }

    void panesFollowTheConnection()
    {
        MainWindow& w = m_rig->load();
        const int idle = w.connectionIndicator().visiblePicture();
        auto controls = [&]() -> QString {
            QString on = w.connectionIndicator().visiblePicture() != idle ? u"lit"_s : u"idle"_s;
            for (const char* name : { "cmdConnect", "List1Combo", "cmdDisconnect", "cmdGet", "cmdPut" })
                on += m_rig->find(name)->isEnabled() ? u" on"_s : u" off"_s;
            return on + (QApplication::overrideCursor() ? u" busy"_s : QString());
        };
        QCOMPARE(controls(), u"idle on on off off off"_s);
        QTest::mouseClick(m_rig->button("cmdConnect"), Qt::LeftButton);
        QCOMPARE(controls(), u"lit off off on on on"_s);
        QCOMPARE(m_rig->find<QLabel>("StatusBar1_Panel2")->text() + m_rig->find<QLabel>("StatusBar1_Panel3")->text(),
            u"ﾌｫﾙﾀﾞｰ数: 2ﾌｧｲﾙ数: 1"_s);
        // The path box goes where typed, the up button back.
        QTreeView* list = ftp();
        auto* txtDir = m_rig->find<QLineEdit>("TxtDir");
        txtDir->clear();
        QTest::keyClicks(txtDir, u"/pub\r"_s);
        QCOMPARE(rowNames(list), QStringList({ "a.txt", "b.html" }));
        QTest::mouseClick(m_rig->find<QToolButton>("cmdUp"), Qt::LeftButton);
        QCOMPARE(txtDir->text(), m_server->hostField());
        // A click on a walked folder of the tree lists it.
        QVERIFY(w.workspace().remotePane().ExpandFtpTree(true, QString()));
        clickNode(m_rig->find<QTreeView>("TreeView3"), u"/pub"_s);
        QCOMPARE(txtDir->text(), u"/pub"_s);
        // The local pane's up button empties the shown tree.
        m_rig->showLocal(home(u"site"_s));
        QVERIFY(w.workspace().localPane().WalkLocalTree(QString(), u"site"_s, home()));
        QTest::mouseClick(m_rig->find<QToolButton>("cmdUp2"), Qt::LeftButton);
        auto* txtDir2 = m_rig->find<QLineEdit>("TxtDir2");
        QCOMPARE(
            txtDir2->text() + QString::number(m_rig->find<QTreeView>("TreeView1")->model()->rowCount()), home() + u'0');
        QTest::mouseClick(m_rig->button("cmdDisconnect"), Qt::LeftButton);
        QVERIFY(list->model()->rowCount() == 0 && m_rig->dialogs.asked.isEmpty());
        QCOMPARE(controls(), u"idle on on off off off"_s);
    }

    void menuItems_data()
    {
        // An action's name, its menu item, the active pane (1 FTP tree, 2 FTP list, 3 local tree, 4 local
        // list) and what the user then sees.
        TextTable::rows({ "action", "item", "pane", "effect" }, R"(
            folder on the server | open | 4 | 2 | ask:Ftpサーバー上で作成するフォルダーの名前を入れてください
            folder on the local PC | M1_4 | 4 | 3 | ask:ローカルコンピューター上で作成するフォルダーの名前を入れてください
            delete in the FTP list | M1_6 | 6 | 2 | caution
            delete on the local PC | M1_6 | 6 | 4 | ask:選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?
            rename in the local list | M1_11 | 11 | 4 | edit
            no rename in a tree | M1_11 | 11 | 3 | none
            permissions | M1_13 | 13 | 4 | permissions
            top page check without a folder | link2 | 16 | 3 | ask:一番上のページを選択してください。
            pictures of no picture | imageshow | 19 | 4 | ask:画像を選択してください。
            no top page check on the server | M1_16 | 16 | 2 | none
            clean-up | linkcut | 17 | 4 | none)");
    }
    void menuItems()
    {
        QFETCH(QString, action);
        QFETCH(QString, pane);
        QFETCH(QString, item);
        MainWindow& w = connected();
        selectRows(ftp(), { u"index.html"_s });
        selectRows(local(), { u"local.txt"_s });
        w.workspace().state().ActivePane = pane.toInt();
        m_rig->dialogs.queueInput(std::nullopt);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        QString seen = u"none"_s;
        whenCautionAsks(w.deleteConfirmation(), [&] {
            seen = u"caution"_s;
            w.deleteConfirmation()->cancelButton()->click();
        });
        MenuState& menu = w.workspace().paneCommands().menuState();
        menu.setItem(item.toInt(), true);
        if (w.toolbarButton(action))
            menu.setButton(action, true);
        m_rig->find<QAction>(qPrintable(action))->trigger();
        QCoreApplication::processEvents();
        if (!m_rig->dialogs.asked.isEmpty())
            seen = u"ask:"_s + m_rig->dialogs.asked.first().text;
        else if (isEditing(ftp()) || isEditing(local()))
            seen = u"edit"_s;
        else if (w.permissionPanel()->isVisible())
            seen = u"permissions"_s;
        else if (seen == u"none"_s && w.fileMenuItem(17)->isEnabled())
            seen = u"clean-up offered"_s;
        QTEST(seen, "effect");
        QCOMPARE(exist({ u"ftp:index.html"_s, u"local.txt"_s }) + QString::number(w.workspace().state().ActivePane),
            u"ftp:index.html, local.txt"_s + pane);
    }

    // Tab makes a list the active pane as a click does; Enter opens the current row, Delete and F2 ask for
    // the menu's delete and rename of that pane.
    void keysOnTheLists()
    {
        MainWindow& w = connected();
        const int& active = w.workspace().state().ActivePane;
        QList<int> actives;
        // Focus that comes back with the window is no click.
        for (const auto& [view, reason] : { std::pair(local(), Qt::TabFocusReason),
                 std::pair(ftp(), Qt::TabFocusReason), std::pair(local(), Qt::ActiveWindowFocusReason) }) {
            view->setFocus(reason);
            actives << active;
        }
        QCOMPARE(actives, QList<int>({ 4, 2, 2 }));
        ftp()->setFocus(Qt::TabFocusReason);
        ftp()->setCurrentIndex(rowIndex(ftp(), u"pub"_s));
        QTest::keyClick(ftp(), Qt::Key_Return);
        QTRY_VERIFY(w.workspace().remotePane().folderText().endsWith(u"/pub"_s));
        local()->setFocus(Qt::TabFocusReason);
        local()->setCurrentIndex(rowIndex(local(), u"site"_s));
        QTest::keyClick(local(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(w.workspace().localPane().folderText(), home(u"site"_s));
        // F2 edits the current row; Enter renames without opening the file as well.
        local()->setCurrentIndex(rowIndex(local(), u"page.html"_s));
        QTest::keyClick(local(), Qt::Key_F2);
        editTo(local(), u"ページ.html"_s);
        QTRY_VERIFY(QFileInfo::exists(home(u"site/ページ.html"_s)));
        QVERIFY(!w.viewer().isVisible());
        // Delete asks before the local file goes to the trash, even after the FTP list was clicked.
        clickRow(ftp(), u"a.txt"_s);
        local()->setFocus(Qt::TabFocusReason);
        selectRows(local(), { u"ページ.html"_s });
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        QTest::keyClick(local(), Qt::Key_Delete);
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"選択されているローカルマシン上のﾌｧｲﾙをごみ箱に移動しますか?"_s));
        QCOMPARE(exist({ u"site/ページ.html"_s, u"ftp:pub/a.txt"_s }), u"site/ページ.html, ftp:pub/a.txt"_s);
    }

    void renameInPlace()
    {
        MainWindow& w = connected();
        clickRow(ftp(), u"index.html"_s);
        w.fileMenuItem(11)->trigger();
        editTo(ftp(), u"top page.html"_s);
        QTRY_COMPARE(exist({ u"ftp:top page.html"_s, u"ftp:index.html"_s }), u"ftp:top page.html, no ftp:index.html"_s);
        QVERIFY(rowIndex(ftp(), u"top page.html"_s).isValid());
        // A taken local name asks first; the replaced file's row goes.
        QVERIFY(writeBytes(home(u"taken.txt"_s), "taken\n"));
        m_rig->showLocal(home());
        clickRow(local(), u"local.txt"_s);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        w.fileMenuItem(11)->trigger();
        editTo(local(), u"taken.txt"_s);
        QTRY_COMPARE(readBytes(home(u"taken.txt"_s)), QByteArray("local\n"));
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"taken.txt は既に有ります。上書きしますか?"_s));
        QTRY_VERIFY(!rowIndex(local(), u"local.txt"_s).isValid());
        // An empty name renames nothing, and the row keeps its name.
        clickRow(local(), u"taken.txt"_s);
        w.fileMenuItem(11)->trigger();
        editTo(local(), QString());
        QTRY_VERIFY(rowIndex(local(), u"taken.txt"_s).isValid() && QFileInfo::exists(home(u"taken.txt"_s)));
    }

    void doubleClicksAndTheViewer()
    {
        QVERIFY(writeBytes(home(u"sjis.txt"_s), Cp932::encode(u"一行目\r\n二行目\r\n"_s)));
        QVERIFY(writeBytes(home(u"run.sh"_s), "#!/bin/sh\ntouch ran\n"));
        QVERIFY(QFile::setPermissions(home(u"run.sh"_s), QFile::permissions(home(u"run.sh"_s)) | QFile::ExeOwner));
        MainWindow& w = connected();
        ViewerPanel& viewer = w.viewer();
        // A text is shown, edited and stored back in CP932 with its CR LF.
        doubleClickRow(local(), u"sjis.txt"_s);
        QCOMPARE(viewer.isVisible() ? viewer.textView()->toPlainText() : QString(), u"一行目\n二行目\n"_s);
        viewer.textView()->setPlainText(u"一行目\n三行目\n"_s);
        QTest::mouseClick(viewer.storeButton(), Qt::LeftButton);
        QCOMPARE(readBytes(home(u"sjis.txt"_s)), Cp932::encode(u"一行目\r\n三行目\r\n"_s));
        // A program runs in its folder only after Yes to the question.
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        doubleClickRow(local(), u"run.sh"_s);
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        doubleClickRow(local(), u"run.sh"_s);
        QCOMPARE(m_rig->dialogs.texts(), QStringList(2, u"プログラムを実行しますか?"_s));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home(u"ran"_s)), 10000);
        // A folder's double-click only opens it: the file that takes its row is not opened as well.
        writeAll(home(u"site"_s), { u"a.html"_s, u"b.html"_s, u"c.html"_s });
        viewer.hide();
        doubleClickRow(local(), u"site"_s);
        QCOMPARE(w.workspace().localPane().folderText(), home(u"site"_s));
        doubleClickRow(ftp(), u"pub"_s);
        QTRY_VERIFY(w.workspace().remotePane().folderText().endsWith(u"/pub"_s));
        QVERIFY(!viewer.isVisible());
        // A server file is viewed, and the store button sends the edited text back.
        doubleClickRow(ftp(), u"b.html"_s);
        QTRY_COMPARE(viewer.textView()->toPlainText(), u"server pub/b.html\n"_s);
        viewer.textView()->setPlainText(u"<p>新しい</p>\n"_s);
        QTest::mouseClick(viewer.storeButton(), Qt::LeftButton);
        QVERIFY(Cp932::decode(readBytes(serverFile(u"pub/b.html"_s))).contains(u"新しい"_s));
        // "IE" opens the fetched page in the desktop's browser.
        QDesktopServices::setUrlHandler(u"file"_s, this, "openUrl");
        QTest::mouseClick(m_rig->button("Command34"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QCOMPARE(
            m_opened.value(0).toLocalFile(), QDir(qEnvironmentVariable("FTPTARVO_HOME")).filePath(u"$temp$.html"_s));
    }

    // The confirmation waits for its buttons: "実行" goes on, "中止" and Esc stop, Enter does nothing.
    void deleteConfirmation()
    {
        writeAll(m_server->root(), { u"site/old/deeper/b.gif"_s, u"site/old/a.html"_s, u"site/index.html"_s });
        MainWindow& w = connected();
        DeleteConfirmation* caution = w.deleteConfirmation();
        m_rig->openFtp(u"/site"_s);
        const QStringList before = rowNames(ftp());
        w.workspace().state().ActivePane = 2;
        selectRows(ftp(), { u"old"_s });
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
        QCOMPARE(rowNames(ftp()), before);
        auto answer = [caution](QAbstractButton* button) {
            whenCautionAsks(caution, [button] { QTest::mouseClick(button, Qt::LeftButton); });
        };
        answer(caution->runButton());
        w.workspace().deleteInActivePane();
        QCOMPARE(exist({ u"ftp:site/old"_s, u"ftp:site/index.html"_s }), u"no ftp:site/old, ftp:site/index.html"_s);
        QCOMPARE(caution->counts()->text(), u"フォルダー数:2　ファイル数:2"_s);
        QVERIFY(!caution->isVisible() && !QApplication::overrideCursor());
        // A click on a file node of the tree marks it for the tree's delete.
        QVERIFY(w.workspace().remotePane().ExpandFtpTree(true, QString()));
        clickNode(m_rig->find<QTreeView>("TreeView3"), u"/site/index.html"_s);
        w.workspace().state().ActivePane = 1;
        answer(caution->runButton());
        w.workspace().deleteInActivePane();
        QVERIFY(!QFileInfo::exists(serverFile(u"site/index.html"_s)));
    }

    void permissionPanel()
    {
        MainWindow& w = connected();
        selectRows(ftp(), { u"index.html"_s });
        PermissionPanel* panel = w.permissionPanel();
        w.workspace().permissions().ShowPermissionPanel();
        QVERIFY(panel->isVisible());
        // The boxes make the mode; "実行" with the box to close it ticked sets it on the server.
        const QString start = panel->modeLabel()->text();
        for (int box : { 2, 5, 6 })
            QTest::mouseClick(panel->modeBox(box), Qt::LeftButton);
        QCOMPARE(start + panel->modeLabel()->text() + panel->digitLabel(1)->text() + panel->lettersLabel()->text(),
            u"6447505rwxr-x---"_s);
        QTest::mouseClick(panel->closeAfterBox(), Qt::LeftButton);
        QTest::mouseClick(panel->runButton(), Qt::LeftButton);
        QCOMPARE(modeOf(serverFile(u"index.html"_s)), 0750);
        // The console's text holds the listing read again after the change.
        m_rig->find<QAction>("mcom")->trigger();
        QVERIFY(!panel->isVisible()
            && m_rig->find<QPlainTextEdit>("Text3")->toPlainText().contains(
                QRegularExpression(u"-rwxr-x--- .* index.html"_s)));
    }

    void transfers_data()
    {
        TextTable::rows({ "upload", "finished" }, R"(
            get button | 0 | ﾌｧｲﾙﾀﾞｳﾝﾛｰﾄﾞ終了
            put button | 1 | ﾌｧｲﾙｱｯﾌﾟﾛｰﾄ終了)");
    }
    // A run shows the status window, the busy pointer and the tree it walks; a tree open before stays open
    // after. An upload reports right under the local tree.
    void transfers()
    {
        QFETCH(QString, upload);
        const bool up = upload == u"1"_s;
        writeAll(m_server->root(), { u"run/a.txt"_s, u"run/sub/deep/c.txt"_s, u"run/not-chosen.dat"_s });
        writeAll(home(u"dl"_s), { u"x.txt"_s, u"dir/img/z.txt"_s, u"not-chosen.dat"_s });
        MainWindow& w = connected();
        m_rig->showLocal(home(u"dl"_s));
        m_rig->openFtp(u"/run"_s);
        QVERIFY(up ? selectRows(local(), { u"x.txt"_s, u"dir"_s }) : selectRows(ftp(), { u"a.txt"_s, u"sub"_s }));
        QWidget* statusWindow = m_rig->find("Frame27");
        QWidget* tree = m_rig->find(up ? "Frame3" : "Frame20");
        bool shown = false, busy = false, treeShown = false, underTree = true;
        const QMetaObject::Connection watch = connect(&w.workspace().statusReport(), &StatusReport::changed, this, [&] {
            shown |= statusWindow->isVisible();
            busy |= QApplication::overrideCursor() != nullptr;
            treeShown |= tree->isVisible();
            underTree &= statusWindow->isHidden() || statusWindow->y() == tree->geometry().bottom() + 1;
        });
        QTest::mouseClick(m_rig->button(up ? "cmdPut" : "cmdGet"), Qt::LeftButton);
        QTRY_VERIFY(!w.workspace().transfers().isRunning());
        disconnect(watch);
        QCOMPARE(exist(up ? QStringList { u"ftp:run/x.txt"_s, u"ftp:run/dir/img/z.txt"_s }
                          : QStringList { u"dl/a.txt"_s, u"dl/sub/deep/c.txt"_s }),
            up ? u"ftp:run/x.txt, ftp:run/dir/img/z.txt"_s : u"dl/a.txt, dl/sub/deep/c.txt"_s);
        QCOMPARE(readBytes(serverFile(u"run/not-chosen.dat"_s)) + readBytes(home(u"dl/not-chosen.dat"_s)),
            QByteArray("run/not-chosen.datnot-chosen.dat"));
        QVERIFY(shown && busy && treeShown && (underTree || !up));
        QVERIFY(statusWindow->isHidden() && tree->isVisible() && !QApplication::overrideCursor());
        QFETCH(QString, finished);
        QTRY_COMPARE(m_rig->find<QLabel>("StatusBar1_Panel1")->text(), finished);
        QVERIFY2(m_rig->dialogs.asked.isEmpty(), qPrintable(m_rig->dialogs.texts().join(u'|')));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
