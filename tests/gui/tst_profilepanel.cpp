// The server settings panel and its chooser, driven offscreen as a user does; then the same
// panel inside the real main window (menu, profile menu items, combo box, local pane).
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/panes/localpane.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/settings/settingslines.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/app/qtdialogs.h"
#include "gui/settings/folderchooserpanel.h"
#include "gui/settings/serverpanel.h"
#include "support/modeltexts.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

using ModelTexts::itemTexts;
using SettingsFiles::cp932Lines;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

QStringList itemTexts(const QListWidget* list)
{
    QStringList out;
    for (int r = 0; r < list->count(); ++r)
        out.append(list->item(r)->text());
    return out;
}

// Keys for ASCII; Japanese arrives as an input method's commit, as it does from a real IME.
void typeText(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(edit, text);
        return;
    }
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(edit, &event);
}

void clickRow(QAbstractItemView* view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void doubleClickRow(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(text));
    const QPoint at = list->visualItemRect(items.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void clickItem(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(text));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

} // namespace

class TestProfilePanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void registerAndSelectThroughThePanel();
    void updateAndDeleteThroughThePanel();
    void clearAnonymousAndClose();
    void keysSelectLikeClicks();
    void folderChooserFillsTheLocalFolder();
    void backupAndRestoreThroughTheChooser();

    void mainWindowOpensThePanelAndFollowsTheProfiles();
    void mainWindowListsTheProfilesLocalFolder();

private:
    template <typename T> T* find(const QString& name) const
    {
        T* w = m_host->findChild<T*>(name);
        if (!w)
            qWarning("no widget %s", qPrintable(name));
        return w;
    }
    QLineEdit* field(int i) const { return find<QLineEdit>(QStringLiteral("txtftp_%1").arg(i)); }
    QPushButton* button(const char* name) const { return find<QPushButton>(QLatin1String(name)); }
    QString iniPath() const { return m_data->filePath(QStringLiteral("ftpset.ini")); }
    void loadProfilesFile();

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<Profiles> m_profiles;
    std::unique_ptr<QWidget> m_host;
    ScriptedDialogs m_dialogs;
    ServerPanel* m_panel = nullptr;
};

void TestProfilePanel::init()
{
    m_data = std::make_unique<QTemporaryDir>();
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid() && m_home->isValid());
    qputenv("FTPTARVO_HOME", m_data->path().toUtf8());
    qputenv("HOME", m_home->path().toUtf8());
    DataFolder::reset();
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("site/images")));
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral("mail")));
    QVERIFY(QDir(m_home->path()).mkdir(QStringLiteral(".cache")));
    QVERIFY(writeBytes(m_home->filePath(QStringLiteral("site/index.html")), "<html></html>"));

    m_dialogs.clear();
    m_lines = std::make_unique<SettingsLines>();
    m_lines->setDialogs(&m_dialogs);
    m_options = std::make_unique<Options>(*m_lines);
    m_profiles = std::make_unique<Profiles>(*m_lines, *m_options, m_dialogs);
    m_profiles->setClock([] { return QDateTime(QDate(2004, 8, 12), QTime(13, 12, 52)); });

    m_host = std::make_unique<QWidget>();
    m_host->setObjectName(QStringLiteral("FtpTarvo"));
    m_host->resize(1000, 760);
    m_panel = new ServerPanel(*m_profiles, *m_options, m_host.get());
    m_panel->setGeometry(0, 0, 640, 600);
    m_panel->showInFront();
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TestProfilePanel::cleanup()
{
    m_host.reset();
    m_profiles.reset();
    m_options.reset();
    m_lines.reset();
    m_data.reset();
    m_home.reset();
    DataFolder::reset();
}

void TestProfilePanel::loadProfilesFile()
{
    QVERIFY(QFile::copy(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/profiles.ini"), iniPath()));
    QVERIFY(QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    m_options->loadAtStartUp(&m_dialogs);
    m_profiles->selectLastProfile();
}

void TestProfilePanel::registerAndSelectThroughThePanel()
{
    loadProfilesFile();
    // The last profile shows, its password masked but whole.
    QCOMPARE(field(0)->text(), QStringLiteral("ホームページ①"));
    QCOMPARE(field(3)->text(), QStringLiteral("パス①ワード"));
    QCOMPARE(field(3)->echoMode(), QLineEdit::Password);
    QCOMPARE(field(4)->text(), QStringLiteral("c:/web/表示"));
    auto* list1 = find<QListView>("List1");
    QCOMPARE(list1->currentIndex().row(), 2);
    QVERIFY(list1->selectionModel()->isRowSelected(2, QModelIndex()));

    typeText(field(0), QStringLiteral("自宅サーバー"));
    typeText(field(1), QStringLiteral("127.0.0.1:2121"));
    typeText(field(2), QStringLiteral("taro"));
    typeText(field(3), QStringLiteral("パス①ワード"));
    typeText(field(4), QString());
    QTest::keyClick(field(4), Qt::Key_Delete);
    typeText(field(5), QStringLiteral("/pub"));
    typeText(field(6), QString());
    QTest::keyClick(field(6), Qt::Key_Delete);
    QTest::mouseClick(find<QCheckBox>("Check9"), Qt::LeftButton, {}, QPoint(6, 6));
    QVERIFY(m_options->serverTimesAsLocal());
    QTest::mouseClick(button("Command2_0"), Qt::LeftButton);

    QVERIFY(m_dialogs.asked.isEmpty());
    QCOMPARE(itemTexts(list1->model()).last(), QStringLiteral("自宅サーバー"));
    QCOMPARE(list1->currentIndex().row(), 5);
    QVERIFY(readBytes(iniPath()).contains(
        cp932Lines({ "<FTP　パスワード>", "-31883&-31902&-30897&-31837&-32396&-31866", "</FTP　パスワード>",
            "<ローカルマシン初期フォルダー>", "-", "</ローカルマシン初期フォルダー>", "<サーバー初期フォルダー>",
            "/pub", "</サーバー初期フォルダー>", "<ホームページアドレス>", "-", "</ホームページアドレス>",
            "<Localtime>", "ON", "</Localtime>", "<最終 プロﾌｧｲﾙ>", "自宅サーバー", "</最終 プロﾌｧｲﾙ>" })));

    // A click on another name shows that profile.
    clickRow(list1, 4);
    QCOMPARE(field(0)->text(), QStringLiteral("会社"));
    QCOMPARE(field(1)->text(), QStringLiteral("ftp.company.example.co.jp"));
    QCOMPARE(field(3)->text(), QStringLiteral("表ｶﾅ7"));
    QCOMPARE(m_profiles->selectedProfileRow(), 4);
    QVERIFY(readBytes(iniPath()).endsWith(cp932Lines({ "<最終 プロﾌｧｲﾙ>", "会社", "</最終 プロﾌｧｲﾙ>" })));
}

void TestProfilePanel::updateAndDeleteThroughThePanel()
{
    loadProfilesFile();
    auto* list1 = find<QListView>("List1");
    clickRow(list1, 1);
    typeText(field(1), QStringLiteral("ftp2.vendor.example.com"));
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    QTest::mouseClick(button("Command2_0"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts(), QStringList("ベンダーは既に登録されています更新しますか？"));
    QCOMPARE(
        itemTexts(list1->model()), QStringList({ "Ring Server", "ホームページ①", "ｶﾅのサーバー", "会社", "ベンダー" }));
    QCOMPARE(list1->currentIndex().row(), 4);

    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    QTest::mouseClick(button("Command2_1"), Qt::LeftButton);
    QCOMPARE(m_dialogs.texts().last(), QStringLiteral("登録を抹消しますか？"));
    QCOMPARE(itemTexts(list1->model()), QStringList({ "Ring Server", "ホームページ①", "ｶﾅのサーバー", "会社" }));
    QVERIFY(list1->selectionModel()->selectedIndexes().isEmpty());
    for (int i = 0; i < 4; ++i)
        QVERIFY(field(i)->text().isEmpty());
    QVERIFY(!readBytes(iniPath()).contains(Cp932::encode(QStringLiteral("ベンダー"))));
}

void TestProfilePanel::clearAnonymousAndClose()
{
    loadProfilesFile();
    QTest::mouseClick(button("Command6"), Qt::LeftButton);
    for (int i = 0; i < 4; ++i)
        QVERIFY(field(i)->text().isEmpty());
    QCOMPARE(field(5)->text(), QStringLiteral("/public_html"));

    // The loaded mail address becomes the anonymous password.
    QTest::mouseClick(button("Command14_1"), Qt::LeftButton);
    QCOMPARE(field(2)->text(), QStringLiteral("anonymous"));
    QCOMPARE(field(3)->text(), QStringLiteral("hanako@example.ne.jp"));

    m_panel->chooseLocalStartFolder();
    QVERIFY(find<FolderChooserPanel>("Frame6")->isVisible());
    QTest::mouseClick(button("Command14_0"), Qt::LeftButton);
    QVERIFY(m_panel->isHidden());
    QVERIFY(find<FolderChooserPanel>("Frame6")->isHidden());
}

void TestProfilePanel::keysSelectLikeClicks()
{
    loadProfilesFile();
    auto* list1 = find<QListView>("List1");
    list1->setFocus();
    QTest::keyClick(list1, Qt::Key_Down);
    QCOMPARE(m_profiles->selectedProfileRow(), 3);
    QCOMPARE(field(0)->text(), QStringLiteral("ｶﾅのサーバー"));
    QCOMPARE(field(2)->text(), QStringLiteral("-"));
    QTest::keyClick(list1, Qt::Key_Home);
    QCOMPARE(field(0)->text(), QStringLiteral("Ring Server"));
}

void TestProfilePanel::folderChooserFillsTheLocalFolder()
{
    loadProfilesFile();
    QTest::mouseClick(button("Command23"), Qt::LeftButton);
    auto* chooser = find<FolderChooserPanel>("Frame6");
    QVERIFY(chooser->isVisible());
    QCOMPARE(chooser->mode(), FolderChooserPanel::Mode::Folder);
    QCOMPARE(chooser->titleLabel()->text(), QStringLiteral("ローカルマシンの初期フォルダー"));
    auto* folders = find<QListWidget>("Frame6Folders");
    QVERIFY(find<QListWidget>("Frame6Files")->isHidden());
    // Starts in the home folder; hidden folders are not offered.
    QCOMPARE(itemTexts(folders), QStringList({ "..", "mail", "site" }));
    QCOMPARE(find<QLineEdit>("Frame6Path")->text(), m_home->path());

    doubleClickRow(folders, QStringLiteral("site"));
    QCOMPARE(itemTexts(folders), QStringList({ "..", "images" }));
    clickItem(folders, QStringLiteral("images"));
    QCOMPARE(find<QLineEdit>("Frame6Path")->text(), m_home->filePath(QStringLiteral("site/images")));
    doubleClickRow(folders, QStringLiteral(".."));
    QCOMPARE(chooser->folder(), m_home->path());
    doubleClickRow(folders, QStringLiteral("site"));

    QTest::mouseClick(find<QPushButton>("Command24"), Qt::LeftButton);
    QVERIFY(chooser->isHidden());
    QCOMPARE(field(4)->text(), m_home->filePath(QStringLiteral("site")));
    QCOMPARE(m_profiles->field(4), m_home->filePath(QStringLiteral("site")));
    // Nothing is stored until the register button.
    QCOMPARE(readBytes(iniPath()), readBytes(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/profiles.ini")));
}

void TestProfilePanel::backupAndRestoreThroughTheChooser()
{
    loadProfilesFile();
    QVERIFY(writeBytes(m_data->filePath(QStringLiteral("notes.txt")), "x"));
    QTest::mouseClick(button("Command32"), Qt::LeftButton);
    const QString backup = m_data->filePath(QStringLiteral("FTPSet120040812131252.txt"));
    QCOMPARE(readBytes(backup), readBytes(iniPath()));

    typeText(field(0), QStringLiteral("Temp"));
    typeText(field(1), QStringLiteral("temp.example"));
    QTest::mouseClick(button("Command2_0"), Qt::LeftButton);
    auto* list1 = find<QListView>("List1");
    QCOMPARE(list1->model()->rowCount(), 6);

    QTest::mouseClick(button("Command35"), Qt::LeftButton);
    auto* chooser = find<FolderChooserPanel>("Frame6");
    QVERIFY(chooser->isVisible());
    QCOMPARE(chooser->mode(), FolderChooserPanel::Mode::File);
    QCOMPARE(chooser->titleLabel()->text(), QStringLiteral("バックアップファイルの選択"));
    auto* files = find<QListWidget>("Frame6Files");
    QVERIFY(files->isVisible());
    QCOMPARE(itemTexts(files), QStringList("FTPSet120040812131252.txt"));
    clickItem(files, QStringLiteral("FTPSet120040812131252.txt"));
    QCOMPARE(find<QLineEdit>("Frame6Path")->text(), backup);

    QTest::mouseClick(find<QPushButton>("Command24"), Qt::LeftButton);
    QVERIFY(chooser->isHidden());
    QCOMPARE(
        itemTexts(list1->model()), QStringList({ "Ring Server", "ベンダー", "ホームページ①", "ｶﾅのサーバー", "会社" }));
    QVERIFY(list1->selectionModel()->selectedIndexes().isEmpty());
    QVERIFY(m_dialogs.asked.isEmpty());

    // A path that is no readable file: the user is told and the chooser stays open.
    QTest::mouseClick(button("Command35"), Qt::LeftButton);
    typeText(find<QLineEdit>("Frame6Path"), m_data->filePath(QStringLiteral("FTPSet1nothing.txt")));
    QTest::mouseClick(find<QPushButton>("Command24"), Qt::LeftButton);
    QCOMPARE(m_dialogs.asked.size(), 1);
    QVERIFY(chooser->isVisible());
    QCOMPARE(list1->model()->rowCount(), 5);
    QTest::mouseClick(find<QPushButton>("Frame6Cancel"), Qt::LeftButton);
    QVERIFY(chooser->isHidden());
}

void TestProfilePanel::mainWindowOpensThePanelAndFollowsTheProfiles()
{
    m_host.reset();
    QVERIFY(QFile::copy(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/profiles.ini"), iniPath()));
    MainWindow w;
    w.Form_Load(QString());
    auto* combo = w.findChild<QComboBox*>(QStringLiteral("List1Combo"));
    QVERIFY(combo);
    auto* txtDir = w.findChild<QLineEdit*>(QStringLiteral("TxtDir"));
    QCOMPARE(combo->currentIndex(), 2);
    QCOMPARE(txtDir->text(), QStringLiteral("ホームページ①"));
    QVERIFY(w.settingsMenuItem(9));
    QCOMPARE(w.settingsMenuItem(9)->text(), QStringLiteral(" 4:会社"));
    QVERIFY(!w.settingsMenuItem(10));

    auto* frame1 = w.findChild<ServerPanel*>(QStringLiteral("Frame1"));
    QVERIFY(frame1 && frame1->isHidden());
    w.settingsMenuItem(1)->trigger();
    QVERIFY(frame1->isVisible());
    auto* txtftp0 = frame1->findChild<QLineEdit*>(QStringLiteral("txtftp_0"));
    QCOMPARE(txtftp0->text(), QStringLiteral("ホームページ①"));

    // Registering adds a menu item; the combo box follows the selection.
    w.workspace().profiles().setField(0, QStringLiteral("新規"));
    w.workspace().profiles().setField(1, QStringLiteral("new.example"));
    QTest::mouseClick(frame1->findChild<QPushButton*>(QStringLiteral("Command2_0")), Qt::LeftButton);
    QVERIFY(w.settingsMenuItem(10));
    QCOMPARE(w.settingsMenuItem(10)->text(), QStringLiteral(" 5:新規"));
    QCOMPARE(combo->currentIndex(), 5);
    QCOMPARE(txtDir->text(), QStringLiteral("新規"));

    // A click in the panel's list moves the combo box too.
    auto* list1 = frame1->findChild<QListView*>(QStringLiteral("List1"));
    clickRow(list1, 0);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(txtDir->text(), QStringLiteral("Ring Server"));

    // Deleting (answered in the real message box) takes its item away and renumbers the rest.
    QString asked;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        asked = box->text();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == QStringLiteral("はい"))
                b->click();
        }
    });
    QTest::mouseClick(frame1->findChild<QPushButton*>(QStringLiteral("Command2_1")), Qt::LeftButton);
    QCOMPARE(asked, QStringLiteral("登録を抹消しますか？"));
    QCOMPARE(w.settingsMenuItem(5)->text(), QStringLiteral(" 0:ベンダー"));
    QCOMPARE(w.settingsMenuItem(9)->text(), QStringLiteral(" 4:新規"));
    QVERIFY(!w.settingsMenuItem(10));
    QCOMPARE(combo->currentIndex(), -1);
    QVERIFY(txtftp0->text().isEmpty());

    // The profile menu selects through the same procedure, then connects: answering No to the
    // question about the console's connection entry keeps that connect off the network.
    ScriptedDialogs answers;
    answers.queueAnswer(Dialogs::Answer::No);
    w.workspace().options().setUseConsoleConnection(0, true);
    w.dialogs().setOverride(&answers);
    w.settingsMenuItem(8)->trigger();
    w.dialogs().setOverride(nullptr);
    QCOMPARE(answers.asked.size(), 1);
    QVERIFY(!w.workspace().state().IsConnected);
    QCOMPARE(txtftp0->text(), QStringLiteral("会社"));
    QCOMPARE(combo->currentIndex(), 3);
    QCOMPARE(list1->currentIndex().row(), 3);

    QTest::mouseClick(frame1->findChild<QPushButton*>(QStringLiteral("Command14_0")), Qt::LeftButton);
    QVERIFY(frame1->isHidden());
}

void TestProfilePanel::mainWindowListsTheProfilesLocalFolder()
{
    m_host.reset();
    const QString site = m_home->filePath(QStringLiteral("site"));
    const QStringList lines { "<管理用の名前（任意の名前）>", "サイト", "</管理用の名前（任意の名前）>",
        "<FTPサーバー名（ホストアドレス）>", "127.0.0.1", "</FTPサーバー名（ホストアドレス）>",
        "<FTPアカウント（ユーザーID）>", "u", "</FTPアカウント（ユーザーID）>", "<FTP　パスワード>", "102&108&114",
        "</FTP　パスワード>", "<ローカルマシン初期フォルダー>", site, "</ローカルマシン初期フォルダー>",
        "<管理用の名前（任意の名前）>", "ホーム", "</管理用の名前（任意の名前）>", "<ローカルマシン初期フォルダー>",
        "c:", "</ローカルマシン初期フォルダー>", "<最終 プロﾌｧｲﾙ>", "サイト", "</最終 プロﾌｧｲﾙ>" };
    QVERIFY(writeBytes(iniPath(), cp932Lines(lines)));
    MainWindow w;
    w.Form_Load(QString());
    QCOMPARE(w.workspace().profiles().field(3), QStringLiteral("abc"));
    QCOMPARE(w.workspace().localPane().folderText(), site);
    QVERIFY(itemTexts(w.workspace().localPane().fileList()).contains(QStringLiteral("index.html")));

    // "c:" is the home folder.
    w.findChild<QComboBox*>(QStringLiteral("List1Combo"))->activated(1);
    QCOMPARE(w.workspace().profiles().field(4), QStringLiteral("c:"));
    QCOMPARE(w.workspace().localPane().folderText(), m_home->path());
    QVERIFY(itemTexts(w.workspace().localPane().fileList()).contains(QStringLiteral("site")));
}

QTEST_MAIN(TestProfilePanel)
#include "tst_profilepanel.moc"
