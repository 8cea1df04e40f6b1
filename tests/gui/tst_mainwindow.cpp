#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/statuslines.h"
#include "core/ftpsession/remotepane.h"
#include "core/panecommands/menustate.h"
#include "core/panecommands/panecommands.h"
#include "core/panes/localpane.h"
#include "core/panes/panelistmodel.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "core/workspace/workspace.h"
#include "gui/app/connectionindicator.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/ui/movablepanel.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <memory>

namespace {

using ModelTexts::itemTexts;
using SettingsFiles::cp932Lines;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

QStringList selectedNames(QTreeView* view)
{
    QStringList out;
    for (const QModelIndex& i : view->selectionModel()->selectedRows())
        out.append(i.data().toString());
    return out;
}

QString version()
{
    return QStringLiteral("%1.%2.%3")
        .arg(FTPTARVO_VERSION_MAJOR)
        .arg(FTPTARVO_VERSION_MINOR)
        .arg(FTPTARVO_VERSION_PATCH);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void startsDisconnected();
    void menuAndToolbarFollowTheMenuState();
    void moveUpFlagIsRaisedOnce();

    void startWithEmptyDataFolder();
    void startWithSettingsFile();
    void welcomeLineAndStatusLines();
    void profileMenuSelects();
    void linkListIsRead();
    void commandLine_data();
    void commandLine();
    void commandLinePathSelectsRow_data();
    void commandLinePathSelectsRow();

    void menusOpenTheirPanels();
    void stopButtonRequestsStop();
    void fileMenuPopsUpOnListsAndTrees_data();
    void fileMenuPopsUpOnListsAndTrees();
    void connectionWatch();
    void treePanelsStayInTheirAreas();

    void dialogsAnswerInJapanese_data();
    void dialogsAnswerInJapanese();
    void inputBoxAnswers();

    void exitRemovesTemporaryFiles();
    void exitLeavesLinkedTempFolderAlone();
    void closingRunsExit();

private:
    MainWindow& window();

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<MainWindow> m_window;
};

void TestMainWindow::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid() && m_home->isValid());
    qputenv("FTPTARVO_HOME", m_data->path().toUtf8());
    qputenv("HOME", m_home->path().toUtf8());
    DataFolder::reset();
    QVERIFY(writeBytes(m_home->filePath(QStringLiteral("notes.txt")), "hello"));
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("site")));
}

void TestMainWindow::cleanup()
{
    m_window.reset();
    m_data.reset();
    m_home.reset();
    DataFolder::reset();
    QDir::setCurrent(QDir::tempPath());
}

MainWindow& TestMainWindow::window()
{
    if (!m_window)
        m_window = std::make_unique<MainWindow>();
    return *m_window;
}

void TestMainWindow::startsDisconnected()
{
    MainWindow& w = window();
    QCOMPARE(w.windowIcon().pixmap(64, 64).size(), QSize(64, 64));
    // Only connecting is possible, and the indicator says "not connected".
    QVERIFY(w.findChild<QPushButton*>(QStringLiteral("cmdConnect"))->isEnabled());
    for (const char* name : { "cmdDisconnect", "cmdGet", "cmdPut" })
        QVERIFY2(!w.findChild<QPushButton*>(QLatin1String(name))->isEnabled(), name);
    QCOMPARE(w.connectionIndicator().visiblePicture(), 2);
    QVERIFY(!(&w.workspace().connectionWatch())->isActive());
    QVERIFY(w.statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_Panel1"))->isHidden());

    // Panels opened by menus wait hidden; the trees sit in their areas.
    for (const char* name : { "Frame4", "Frame7", "Frame14", "Frame16", "Frame19", "Frame27" })
        QVERIFY2(w.findChild<QWidget*>(QLatin1String(name))->isHidden(), name);
    for (const char* name : { "Frame3", "Frame20" })
        QVERIFY2(!w.findChild<QWidget*>(QLatin1String(name))->isHidden(), name);
    QCOMPARE(w.width(), MainWindow::InitialWidth);
}

void TestMainWindow::menuAndToolbarFollowTheMenuState()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    const MenuState& menu = w.workspace().paneCommands().menuState();
    for (int i : MenuState::itemIndexes()) {
        QCOMPARE(w.fileMenuItem(i)->text(), menu.caption(i));
        QCOMPARE(w.fileMenuItem(i)->isEnabled(), menu.itemEnabled(i));
    }
    const QList<QAction*> actions = w.findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions();
    for (const QString& key : MenuState::buttonKeys()) {
        QAction* button = w.toolbarButton(key);
        QVERIFY2(button && !button->icon().isNull() && !button->toolTip().isEmpty(), qPrintable(key));
        QCOMPARE(button->isEnabled(), menu.buttonEnabled(key));
        // Buttons stand at the even positions, a separator before each.
        const qsizetype position = actions.indexOf(button);
        QCOMPARE(position % 2, 1);
        QVERIFY(actions.at(position - 1)->isSeparator());
    }
    // What has no feature behind it yet stays off.
    for (const char* name : { "Mrog3", "Mrog4", "Mrog6", "mhelp", "mversion" })
        QVERIFY2(!w.findChild<QAction*>(QLatin1String(name))->isEnabled(), name);
}

void TestMainWindow::moveUpFlagIsRaisedOnce()
{
    MainWindow& w = window();
    QVERIFY(!w.workspace().remotePane().moveUpFlag());
    QTRY_VERIFY_WITH_TIMEOUT(w.workspace().remotePane().moveUpFlag(), 3000);
}

void TestMainWindow::startWithEmptyDataFolder()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    QVERIFY(w.isVisible());

    const QString first = SettingsLines::defaultProfileName(0);
    const QString second = SettingsLines::defaultProfileName(1);
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    auto* list1 = w.findChild<QComboBox*>(QStringLiteral("List1Combo"));
    QCOMPARE(itemTexts(list1->model()), QStringList({ first, second }));
    QCOMPARE(list1->currentIndex(), 0);
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("TxtDir"))->text(), first);

    QCOMPARE(w.settingsMenuItem(5)->text(), QStringLiteral(" 0:") + first);
    QCOMPARE(w.settingsMenuItem(6)->text(), QStringLiteral(" 1:") + second);
    QVERIFY(!w.settingsMenuItem(7));

    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("TxtDir2"))->text(), m_home->path());
    QVERIFY(itemTexts(w.workspace().localPane().fileList()).contains(QStringLiteral("notes.txt")));
    QVERIFY(w.statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1_Panel1"))->isVisible());

    // ftpset.ini now holds the defaults, the extension blocks and the last profile at the end,
    // in CP932 with CR LF, readable by the owner only.
    const QString ini = m_data->filePath(QStringLiteral("ftpset.ini"));
    QVERIFY(QFile::exists(ini));
    const QByteArray bytes = readBytes(ini);
    QCOMPARE(bytes, cp932Lines(w.workspace().settingsLines().lines()));
    QVERIFY(bytes.startsWith(QByteArray::fromHex("3c8ac7979d977082cc96bc914f8169944388d382cc96bc914f816a3e0d0a")));
    const QByteArray lastBlock = QByteArray::fromHex("3c8dc58f49208376838dcca7b2d93e0d0a") + Cp932::encode(first)
        + QByteArray::fromHex("0d0a3c2f8dc58f49208376838dcca7b2d93e0d0a");
    QVERIFY(bytes.endsWith(lastBlock));
    QVERIFY(bytes.contains("<SetText>\r\ntxt\r\nhtml\r\n"));
    QVERIFY(bytes.contains("<NotText>\r\ntmp\r\nbak\r\n$$$\r\n</NotText>\r\n"));
    const QFileDevice::Permissions classes = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
        | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFile::permissions(ini) & classes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(w.workspace().settingsLines().lines().count(QStringLiteral("<最終 プロﾌｧｲﾙ>")), 1);
}

void TestMainWindow::startWithSettingsFile()
{
    const QStringList lines { QStringLiteral("<管理用の名前（任意の名前）>"), QStringLiteral("Alpha"),
        QStringLiteral("</管理用の名前（任意の名前）>"), QStringLiteral("<最終 プロﾌｧｲﾙ>"), QStringLiteral("alpha"),
        QStringLiteral("</最終 プロﾌｧｲﾙ>"), QStringLiteral("<管理用の名前（任意の名前）>"), QStringLiteral("Beta"),
        QStringLiteral("</管理用の名前（任意の名前）>"), QStringLiteral("<最終 プロﾌｧｲﾙ>"), QStringLiteral("Beta"),
        QStringLiteral("</最終 プロﾌｧｲﾙ>"), QStringLiteral("<パッシブ>"), QStringLiteral("ON"),
        QStringLiteral("</パッシブ>") };
    QVERIFY(writeBytes(m_data->filePath(QStringLiteral("ftpset.ini")), cp932Lines(lines)));

    MainWindow& w = window();
    w.Form_Load(QString());
    // The first block naming a listed profile wins; "alpha" differs in case and is no match.
    auto* list1 = w.findChild<QComboBox*>(QStringLiteral("List1Combo"));
    QCOMPARE(itemTexts(list1->model()), QStringList({ QStringLiteral("Alpha"), QStringLiteral("Beta") }));
    QCOMPARE(list1->currentIndex(), 1);
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("TxtDir"))->text(), QStringLiteral("Beta"));
    QVERIFY(w.workspace().options().passiveMode());

    // Both old blocks are gone and one block naming Beta stands last.
    const QStringList saved = w.workspace().settingsLines().lines();
    QCOMPARE(saved.count(QStringLiteral("<最終 プロﾌｧｲﾙ>")), 1);
    QCOMPARE(saved.mid(saved.size() - 3),
        QStringList({ QStringLiteral("<最終 プロﾌｧｲﾙ>"), QStringLiteral("Beta"), QStringLiteral("</最終 プロﾌｧｲﾙ>") }));
    QCOMPARE(readBytes(m_data->filePath(QStringLiteral("ftpset.ini"))), cp932Lines(saved));
}

void TestMainWindow::welcomeLineAndStatusLines()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    auto* lst = w.findChild<QListView*>(QStringLiteral("LstStates"));
    QCOMPARE(lst->model()->rowCount(), 1);
    const QString welcome = lst->model()->index(0, 0).data().toString();
    QVERIFY2(welcome.startsWith(QStringLiteral("Welcome to FTPTarvo Ver ") + version()), qPrintable(welcome));
    QVERIFY(welcome.size() > QStringLiteral("Welcome to FTPTarvo Ver ").size() + version().size());
    QCOMPARE(lst->currentIndex().row(), 0);

    w.workspace().statusLines().AddStatusLine(QStringLiteral("テスト"));
    QCOMPARE(lst->model()->rowCount(), 2);
    const QString line = lst->model()->index(1, 0).data().toString();
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d テスト$")).match(line).hasMatch(), qPrintable(line));
    QCOMPARE(lst->currentIndex().row(), 1);
    QVERIFY(lst->selectionModel()->isRowSelected(1, QModelIndex()));
}

void TestMainWindow::profileMenuSelects()
{
    const QStringList lines { QStringLiteral("<管理用の名前（任意の名前）>"), QStringLiteral("One"),
        QStringLiteral("</管理用の名前（任意の名前）>"), QStringLiteral("<管理用の名前（任意の名前）>"),
        QStringLiteral("host:21 & more"), QStringLiteral("</管理用の名前（任意の名前）>"),
        QStringLiteral("<管理用の名前（任意の名前）>"), QStringLiteral("Three"),
        QStringLiteral("</管理用の名前（任意の名前）>") };
    QVERIFY(writeBytes(m_data->filePath(QStringLiteral("ftpset.ini")), cp932Lines(lines)));
    MainWindow& w = window();
    // A menu item connects: these profiles have no host, which is all the connect says.
    ScriptedDialogs answers;
    w.dialogs().setOverride(&answers);
    w.Form_Load(QString());
    auto* list1 = w.findChild<QComboBox*>(QStringLiteral("List1Combo"));
    QCOMPARE(list1->currentIndex(), -1);
    QCOMPARE(w.settingsMenuItem(5)->text(), QStringLiteral(" 0:One"));
    QCOMPARE(w.settingsMenuItem(6)->text(), QStringLiteral(" 1:host:21 && more"));
    QCOMPARE(w.settingsMenuItem(7)->text(), QStringLiteral(" 2:Three"));

    // A name holding ":" is still found.
    w.settingsMenuItem(6)->trigger();
    QCOMPARE(list1->currentIndex(), 1);
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("TxtDir"))->text(), QStringLiteral("host:21 & more"));
    QCOMPARE(w.workspace().settingsLines().lines().mid(w.workspace().settingsLines().count() - 2, 1),
        QStringList(QStringLiteral("host:21 & more")));
    w.settingsMenuItem(7)->trigger();
    QCOMPARE(list1->currentIndex(), 2);
    QCOMPARE(answers.texts(), QStringList(2, QStringLiteral("Please enter a server name!")));
    w.dialogs().setOverride(nullptr);
}

void TestMainWindow::linkListIsRead()
{
    QVERIFY(writeBytes(m_data->filePath(QStringLiteral("link.txt")),
        Cp932::encode(QStringLiteral("http://example.com/\r\nリンク/除外\r\n"))));
    MainWindow& w = window();
    w.Form_Load(QString());
    QCOMPARE(w.workspace().linkPatterns().stringList(),
        QStringList({ QStringLiteral("http://example.com/"), QStringLiteral("リンク/除外") }));
}

void TestMainWindow::commandLine_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("messageMenu");
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("lastStatus");

    const QString first = SettingsLines::defaultProfileName(0);
    QTest::newRow("none") << QString() << true << false << 0 << QString();
    QTest::newRow("profile name in upper case")
        << SettingsLines::defaultProfileName(1).toUpper() << true << false << 1 << QString();
    QTest::newRow("message visible") << "<Message Visible>" << true << true << 0 << QString();
    QTest::newRow("message invisible") << "<message invisible>" << false << false << 0 << QString();
    QTest::newRow("path of two parts") << "\"/index.html\"" << true << false << 0 << QString();
    QTest::newRow("companion with handle") << "jsTarvo/x.html handle=815" << true << false << 0 << "GetHandle=815";
}

void TestMainWindow::commandLine()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, visible);
    QFETCH(bool, messageMenu);
    QFETCH(int, profile);
    QFETCH(QString, lastStatus);

    // A profile name connects at once: its host is a closed local port, so nothing leaves the machine.
    if (profile > 0) {
        QStringList lines;
        for (int i = 0; i <= profile; ++i)
            lines << Profiles::fieldTag(0) << SettingsLines::defaultProfileName(i)
                  << SettingsLines::closingTag(Profiles::fieldTag(0)) << Profiles::fieldTag(1)
                  << QStringLiteral("127.0.0.1:1") << SettingsLines::closingTag(Profiles::fieldTag(1));
        QVERIFY(writeBytes(m_data->filePath(QStringLiteral("ftpset.ini")), cp932Lines(lines)));
    }
    MainWindow& w = window();
    ScriptedDialogs answers;
    w.dialogs().setOverride(&answers);
    w.Form_Load(commandLine);
    w.dialogs().setOverride(nullptr);
    // The password is asked for, then the closed port is reported.
    QCOMPARE(answers.texts().isEmpty(), profile == 0);
    if (profile > 0)
        QVERIFY(answers.texts().last().startsWith(QStringLiteral("WinInet Error -12029")));
    QCOMPARE(w.workspace().state().CommandLine, commandLine);
    QCOMPARE(w.isVisible(), visible);
    QCOMPARE(w.findChild<QAction*>(QStringLiteral("mmessage"))->isVisible(), messageMenu);
    QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("List1Combo"))->currentIndex(), profile);
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("TxtDir2"))->text(), m_home->path());
    QVERIFY(w.findChild<QTreeView*>(QStringLiteral("ListView2"))->selectionModel()->selectedRows().isEmpty());
    if (!lastStatus.isEmpty()) {
        QVERIFY(w.workspace().statusLines().lastLine().endsWith(QLatin1Char(' ') + lastStatus));
        QCOMPARE(w.workspace().state().CompanionWindow, lastStatus.mid(10).toLongLong());
    }
}

void TestMainWindow::commandLinePathSelectsRow_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("file in quotes") << "\"%1/site/index.html\"" << QStringList(QStringLiteral("index.html"));
    QTest::newRow("folder") << "%1/site/pages" << QStringList(QStringLiteral("pages"));
    QTest::newRow("companion with handle")
        << "jsTarvo\"%1/site/index.html\" handle=12" << QStringList(QStringLiteral("index.html"));
    QTest::newRow("name not in the folder") << "%1/site/missing.html" << QStringList();
    QTest::newRow("name in another case") << "%1/site/INDEX.html" << QStringList();
}

void TestMainWindow::commandLinePathSelectsRow()
{
    QFETCH(QString, form);
    QFETCH(QStringList, selected);

    QTemporaryDir root;
    const QString site = root.filePath(QStringLiteral("site"));
    QVERIFY(QDir().mkpath(site + QStringLiteral("/pages")));
    for (const char* name : { "about.html", "index.html", "index.html.bak", "zz.png" })
        QVERIFY(writeBytes(site + u'/' + QLatin1String(name), "<html></html>"));

    MainWindow& w = window();
    w.Form_Load(form.arg(root.path()));
    QVERIFY(w.isVisible());
    QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("TxtDir2"))->text(), site);
    auto* list = w.findChild<QTreeView*>(QStringLiteral("ListView2"));
    QCOMPARE(itemTexts(list->model()),
        QStringList({ QStringLiteral("pages"), QStringLiteral("about.html"), QStringLiteral("index.html"),
            QStringLiteral("index.html.bak"), QStringLiteral("zz.png") }));
    QCOMPARE(selectedNames(list), selected);
    if (!selected.isEmpty())
        QCOMPARE(list->currentIndex().data().toString(), selected.first());
    // The initial command state follows a path.
    QVERIFY(w.fileMenuItem(4)->isEnabled());
    QVERIFY(!w.fileMenuItem(9)->isEnabled());
}

void TestMainWindow::menusOpenTheirPanels()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    const std::pair<const char*, const char*> items[] = {
        { "m2_1", "Frame1" },
        { "m2_2", "Frame4" },
        { "m2_3", "Frame7" },
        { "Mrog2", "Frame19" },
        { "Mrog1", "Frame14" },
        { "mcom", "Frame16" },
    };
    for (const auto& [item, panel] : items) {
        auto* p = w.findChild<MovablePanel*>(QLatin1String(panel));
        QVERIFY2(p && p->isHidden(), panel);
        w.findChild<QAction*>(QLatin1String(item))->trigger();
        QVERIFY2(p->isVisible(), panel);
        // In front of the panes and inside the window.
        QCOMPARE(p->parentWidget()->children().last(), p);
        QVERIFY2(p->parentWidget()->rect().contains(p->geometry().topLeft()), panel);
    }
    QCOMPARE(w.findChild<QWidget*>(QStringLiteral("Frame16"))->geometry(), QRect(67, 67, 613, 445));
}

void TestMainWindow::stopButtonRequestsStop()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    QVERIFY(!w.workspace().state().StopRequested);
    w.toolbarButton(QStringLiteral("Stop"))->trigger();
    QVERIFY(w.workspace().state().StopRequested);
}

void TestMainWindow::fileMenuPopsUpOnListsAndTrees_data()
{
    QTest::addColumn<QString>("view");
    for (const char* name : { "ListView1", "ListView2", "TreeView1", "TreeView3" })
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainWindow::fileMenuPopsUpOnListsAndTrees()
{
    QFETCH(QString, view);
    MainWindow& w = window();
    w.Form_Load(QString());
    auto* v = w.findChild<QAbstractItemView*>(view);
    QVERIFY(v);
    QString popped;
    QTimer::singleShot(0, this, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popped = popup->objectName();
            popup->close();
        }
    });
    Q_EMIT v->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(popped, QStringLiteral("Mm1"));
}

void TestMainWindow::connectionWatch()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    ConnectionIndicator& indicator = w.connectionIndicator();
    indicator.showPicture(0);
    QList<int> shown;
    for (int i = 0; i < 4; ++i) {
        w.workspace().remotePane().watchTick(true);
        shown.append(indicator.visiblePicture());
    }
    QCOMPARE(shown, QList<int>({ 3, 0, 3, 0 }));
    indicator.showPicture(2);
    w.workspace().remotePane().watchTick(true);
    QCOMPARE(indicator.visiblePicture(), 1);

    // A failed probe reconnects; without a host that ends with the question for one.
    auto* timer1 = (&w.workspace().connectionWatch());
    timer1->start();
    ScriptedDialogs answers;
    w.dialogs().setOverride(&answers);
    w.workspace().profiles().setField(1, QString());
    w.workspace().remotePane().watchTick(false);
    w.dialogs().setOverride(nullptr);
    QVERIFY(!timer1->isActive());
    QCOMPARE(indicator.visiblePicture(), 1);
    const QRegularExpression lost(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d接続終了$"));
    QVERIFY(!w.workspace().statusLines().stringList().filter(lost).isEmpty());
    QCOMPARE(answers.texts(), QStringList(QStringLiteral("Please enter a server name!")));
}

void TestMainWindow::treePanelsStayInTheirAreas()
{
    MainWindow& w = window();
    w.Form_Load(QString());
    auto* central = w.findChild<QWidget*>(QStringLiteral("centralArea"));
    auto check = [&](const char* panel, const char* area) {
        auto* p = w.findChild<QWidget*>(QLatin1String(panel));
        auto* a = w.findChild<QWidget*>(QLatin1String(area));
        return p->geometry() == QRect(a->mapTo(central, QPoint(0, 0)), a->size());
    };
    QTRY_VERIFY(check("Frame3", "localTreeArea"));
    QTRY_VERIFY(check("Frame20", "ftpTreeArea"));
    w.resize(1200, 800);
    QTRY_VERIFY(check("Frame3", "localTreeArea"));
    QTRY_VERIFY(check("Frame20", "ftpTreeArea"));

    // Dragged away, the tree stays where the user put it until its title is double-clicked.
    auto* frame3 = w.findChild<MovablePanel*>(QStringLiteral("Frame3"));
    QTRY_VERIFY(!PanelDragState::instance().PanelMoveBusy);
    QTest::mousePress(frame3->titleLabel(), Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseMove(frame3->titleLabel(), QPoint(60, 25));
    QTest::mouseRelease(frame3->titleLabel(), Qt::LeftButton, {}, QPoint(60, 25));
    const QRect dragged = frame3->geometry();
    w.resize(1000, 700);
    QCoreApplication::processEvents();
    QCOMPARE(frame3->geometry(), dragged);
    QTest::mouseDClick(frame3->titleLabel(), Qt::LeftButton, {}, QPoint(20, 5));
    QTest::mouseRelease(frame3->titleLabel(), Qt::LeftButton, {}, QPoint(20, 5));
    QVERIFY(check("Frame3", "localTreeArea"));
}

void TestMainWindow::dialogsAnswerInJapanese_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("press"); // a caption, or "Escape"
    QTest::addColumn<int>("answer");
    using B = Dialogs::Buttons;
    using A = Dialogs::Answer;
    const QStringList yesNo { QStringLiteral("はい"), QStringLiteral("いいえ") };
    const QStringList all { QStringLiteral("はい"), QStringLiteral("いいえ"), QStringLiteral("キャンセル") };
    QTest::newRow("ok") << int(B::Ok) << QStringList(QStringLiteral("OK")) << "OK" << int(A::Ok);
    QTest::newRow("ok, escape") << int(B::Ok) << QStringList(QStringLiteral("OK")) << "Escape" << int(A::Ok);
    QTest::newRow("ok cancel, cancel") << int(B::OkCancel)
                                       << QStringList({ QStringLiteral("OK"), QStringLiteral("キャンセル") })
                                       << QStringLiteral("キャンセル") << int(A::Cancel);
    QTest::newRow("ok cancel, escape") << int(B::OkCancel)
                                       << QStringList({ QStringLiteral("OK"), QStringLiteral("キャンセル") })
                                       << "Escape" << int(A::Cancel);
    QTest::newRow("yes no, yes") << int(B::YesNo) << yesNo << QStringLiteral("はい") << int(A::Yes);
    QTest::newRow("yes no, no") << int(B::YesNo) << yesNo << QStringLiteral("いいえ") << int(A::No);
    QTest::newRow("yes no, escape") << int(B::YesNo) << yesNo << "Escape" << int(A::No);
    QTest::newRow("yes no cancel, cancel")
        << int(B::YesNoCancel) << all << QStringLiteral("キャンセル") << int(A::Cancel);
    QTest::newRow("yes no cancel, escape") << int(B::YesNoCancel) << all << "Escape" << int(A::Cancel);
}

void TestMainWindow::dialogsAnswerInJapanese()
{
    QFETCH(int, buttons);
    QFETCH(QStringList, captions);
    QFETCH(QString, press);
    QFETCH(int, answer);

    MainWindow& w = window();
    w.show();
    QStringList seen;
    QString text;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        text = box->text();
        for (QAbstractButton* b : box->buttons())
            seen.append(b->text());
        if (press == QLatin1String("Escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == press)
                b->click();
        }
    });
    const Dialogs::Answer got
        = static_cast<Dialogs&>(w.dialogs())
              .message(QStringLiteral("よろしいですか?"), Dialogs::Buttons(buttons), Dialogs::Icon::Question);
    QCOMPARE(text, QStringLiteral("よろしいですか?"));
    std::sort(seen.begin(), seen.end());
    std::sort(captions.begin(), captions.end());
    QCOMPARE(seen, captions);
    QCOMPARE(int(got), answer);
}

void TestMainWindow::inputBoxAnswers()
{
    MainWindow& w = window();
    w.show();
    auto answerWith = [this](const QString& typed, bool accept) {
        QTimer::singleShot(0, this, [typed, accept] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!box)
                return;
            QCOMPARE(box->okButtonText(), QStringLiteral("OK"));
            QCOMPARE(box->cancelButtonText(), QStringLiteral("キャンセル"));
            box->setTextValue(typed);
            accept ? box->accept() : box->reject();
        });
    };
    answerWith(QStringLiteral("secret"), true);
    QCOMPARE(static_cast<Dialogs&>(w.dialogs()).input(QStringLiteral("パスワードを入力してください。")),
        std::optional<QString>(QStringLiteral("secret")));
    answerWith(QString(), true);
    QCOMPARE(static_cast<Dialogs&>(w.dialogs()).input(QStringLiteral("パスワードを入力してください。")),
        std::optional<QString>(QString()));
    answerWith(QStringLiteral("ignored"), false);
    QCOMPARE(static_cast<Dialogs&>(w.dialogs()).input(QStringLiteral("パスワードを入力してください。")), std::nullopt);
}

void TestMainWindow::exitRemovesTemporaryFiles()
{
    const QString data = m_data->path();
    for (const char* name : { "$temp$.txt", "$temp$.html", "$temp$.", "temp/a.txt", "temp/.hidden", "keep.txt",
             "$temp$x.txt", "ftplogback.log" })
        QVERIFY(writeBytes(data + u'/' + QLatin1String(name), "x"));
    MainWindow& w = window();
    w.Form_Load(QString());
    w.Form_Unload();
    QVERIFY(w.isUnloaded());
    for (const char* gone : { "$temp$.txt", "$temp$.html", "$temp$.", "temp" })
        QVERIFY2(!QFileInfo::exists(data + u'/' + QLatin1String(gone)), gone);
    for (const char* kept : { "keep.txt", "$temp$x.txt", "ftplogback.log", "ftpset.ini" })
        QVERIFY2(QFileInfo::exists(data + u'/' + QLatin1String(kept)), kept);

    // Running it again is harmless.
    w.Form_Unload();
}

void TestMainWindow::exitLeavesLinkedTempFolderAlone()
{
    QTemporaryDir elsewhere;
    QVERIFY(writeBytes(elsewhere.filePath(QStringLiteral("precious.txt")), "mine"));
    QVERIFY(QFile::link(elsewhere.path(), m_data->filePath(QStringLiteral("temp"))));
    // A folder under the temp folder is no temporary file: the folder stays.
    QVERIFY(QDir().mkpath(m_data->filePath(QStringLiteral("$temp$.dir"))));

    MainWindow& w = window();
    w.Form_Load(QString());
    w.Form_Unload();
    QVERIFY(QFile::exists(elsewhere.filePath(QStringLiteral("precious.txt"))));
    QVERIFY(QFileInfo(m_data->filePath(QStringLiteral("$temp$.dir"))).isDir());
}

void TestMainWindow::closingRunsExit()
{
    QVERIFY(writeBytes(m_data->filePath(QStringLiteral("$temp$.txt")), "x"));
    MainWindow& w = window();
    w.Form_Load(QString());
    QVERIFY(w.close());
    QVERIFY(w.isUnloaded());
    QVERIFY(!QFile::exists(m_data->filePath(QStringLiteral("$temp$.txt"))));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
