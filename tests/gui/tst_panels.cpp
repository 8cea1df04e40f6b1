// The panels on their own, offscreen: the status window over its report, and the settings panels bound
// both ways to the options and profiles they show.
#include "core/app/appstate.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/ftpconsole.h"
#include "core/log/activitylog.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "gui/log/logpanel.h"
#include "gui/settings/othersettingspanel.h"
#include "gui/settings/proxypanel.h"
#include "gui/settings/serverpanel.h"
#include "gui/transfer/statuswindow.h"
#include "gui/ui/consolepanel.h"
#include "windowtest.h"

namespace {

// Where a user clicks a check box or an option button: its indicator.
void clickBox(QAbstractButton* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }

// Types as a user does (Japanese as an input method's commit) and leaves the box with Tab.
void typeAndLeave(QLineEdit* edit, const QString& text)
{
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    if (text.toLatin1() == text.toUtf8()) {
        QTest::keyClicks(edit, text);
    } else {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(edit, &event);
    }
    QTest::keyClick(edit, Qt::Key_Tab);
}

} // namespace

class TestPanels : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowRig> m_rig; // the data and home folders, the dialogs
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<QWidget> m_host;
    AppState m_state;

    template <typename T = QWidget> T* find(const char* name) const
    {
        return m_host->findChild<T*>(QLatin1String(name));
    }
    void click(const char* button) const { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    QByteArray settingsFile() const { return readBytes(m_lines->filePath()); }

private Q_SLOTS:
    void init()
    {
        m_rig = std::make_unique<WindowRig>();
        m_lines = std::make_unique<SettingsLines>();
        m_lines->setDialogs(&m_rig->dialogs);
        m_options = std::make_unique<Options>(*m_lines);
        m_options->loadAtStartUp(&m_rig->dialogs);
        m_host = std::make_unique<QWidget>();
        m_host->resize(1000, 760);
        m_host->show();
        m_state = AppState();
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
        m_rig->dialogs.clear();
    }
    void cleanup()
    {
        m_host.reset();
        m_options.reset();
        m_lines.reset();
        m_rig.reset();
    }

    void statusWindowFollowsTheReport()
    {
        StatusReport report(m_state);
        auto* window = new StatusWindow(report, m_host.get());
        QVERIFY(window->isHidden());
        report.show();
        QVERIFY(window->isVisible() && StatusWindow(report, m_host.get()).isVisible());
        report.setCaption(u"ファイルダウンロード実行中"_s);
        report.FolderCount = 2;
        report.FileCount = 17;
        report.ShowTransferCounts();
        // A run of small files changes the report far more often than the window shows it; the window
        // ends on the last state all the same.
        for (int i = 0; i < 5000; ++i) {
            report.setCurrentFile(u"file%1"_s.arg(i));
            report.setFileProgress(i, 5000);
            if (i % 500 == 0)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE(window->currentFileBox()->text(), u"file4999"_s);
        QCOMPARE(QString::number(1000 * window->progressFile()->value() / window->progressFile()->maximum())
                + window->countsBox()->text() + window->titleLabel()->text(),
            u"999フォルダ数: 2    ファイル数: 17ファイルダウンロード実行中"_s);
        // A run over several connections: its count, and a plain line per file in flight.
        report.setRunProgress(3, 40);
        report.setInFlight({ u"接続1: a.html"_s, u"接続2: <b>x</b>.html"_s });
        QTRY_COMPARE(window->inFlightLabel()->text(), u"接続1: a.html\n接続2: <b>x</b>.html"_s);
        QVERIFY(window->inFlightLabel()->isVisible() && window->inFlightLabel()->textFormat() == Qt::PlainText);
        QCOMPARE(window->progressRun()->text(), u"3 / 40"_s);
        report.setInFlight({});
        QTRY_VERIFY(window->inFlightLabel()->isHidden());
        // "中止" asks the run to stop and leaves the window to it; "X" hides it until the next run.
        QTest::mouseClick(window->stopButton(), Qt::LeftButton);
        const bool stopped = m_state.StopRequested && window->isVisible();
        m_state.StopRequested = false;
        QTest::mouseClick(window->closeButton(), Qt::LeftButton);
        QVERIFY(stopped && window->isHidden() && !report.isShown() && !m_state.StopRequested);
        report.setCurrentFile(u"next"_s);
        QTest::qWait(StatusWindow::RefreshIntervalMs * 2);
        QVERIFY(window->isHidden());
        report.show();
        QVERIFY(window->isVisible() && window->currentFileBox()->text() == u"next"_s);
        report.hide();
        QVERIFY(window->isHidden());
    }

    // What the user sets is stored (a typed text once its box is left) and read at the next start;
    // settings loaded later show in the boxes.
    void optionPanels()
    {
        ActivityLog log;
        FtpConsole console(log);
        for (MovablePanel* p : std::initializer_list<MovablePanel*> { new ProxyPanel(*m_options, m_host.get()),
                 new OtherSettingsPanel(*m_options, m_host.get()),
                 new ConsolePanel(*m_options, console, {}, m_host.get()) })
            p->showInFront();
        auto* proxyHost = find<QLineEdit>("txtProxy");
        const bool enabled = proxyHost->isEnabled() || find("Check3")->isEnabled();
        clickBox(find<QAbstractButton>("Check1"));
        QVERIFY(!enabled && proxyHost->isEnabled() && find("Check3")->isEnabled());
        find<QLineEdit>("TxtPport")->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(find<QLineEdit>("TxtPport"), u"8080"_s);
        const bool early = settingsFile().contains("8080");
        QTest::keyClick(find<QLineEdit>("TxtPport"), Qt::Key_Tab);
        QVERIFY(!early && settingsFile().contains("8080"));
        const std::pair<const char*, QString> typed[]
            = { { "txtProxy", u"proxy.example.jp"_s }, { "Txtpro_0", u"ユーザー"_s }, { "Txtpro_1", u"secret"_s },
                  { "Text13", u"hanako@example.jp"_s }, { "Text5_0", u"ﾀﾞｲｱﾙｱｯﾌﾟ"_s } };
        for (const auto& [box, text] : typed)
            typeAndLeave(find<QLineEdit>(box), text);
        for (const char* box : { "Check3", "chkPassive", "Option5_2", "Check8", "Check10_0", "Check10_1", "Check7_0" })
            clickBox(find<QAbstractButton>(box));
        find<QSpinBox>("spnConnections")->setValue(5);
        SettingsLines lines;
        Options next(lines);
        next.loadAtStartUp(nullptr);
        QCOMPARE(QStringList({ next.proxyHost(), next.proxyPort(), next.proxyCredential(0), next.proxyCredential(1),
                     next.mailAddress(), next.consoleProxyText(0) }),
            QStringList({ "proxy.example.jp", "8080", "ユーザー", "secret", "hanako@example.jp", "ﾀﾞｲｱﾙｱｯﾌﾟ" }));
        const QList<bool> switches { next.useProxy(), next.bypassProxyForLocal(), next.passiveMode(),
            next.skipExternalLinks(), next.uploadNameCase() == 2, next.viewOption(0), next.viewOption(1),
            next.viewOption(2), next.useConsoleConnection(0) };
        QCOMPARE(switches, QList<bool>({ true, true, true, true, true, false, true, false, true }));
        QCOMPARE(next.transferConnections(), 5);

        const QString loaded = m_rig->data.filePath(u"loaded.ini"_s);
        QVERIFY(
            QFile::copy(SettingsFiles::dataFile(u"firstplatform.ini"_s), loaded) && m_lines->LoadSettingsFile(loaded));
        QVERIFY(!find<QAbstractButton>("Check1")->isChecked() && !proxyHost->isEnabled()
            && find<QAbstractButton>("Option5_1")->isChecked() && find<QAbstractButton>("Check10_2")->isChecked());
        QCOMPARE(find<QLineEdit>("Text13")->text() + find<QLineEdit>("Text5_0")->text(),
            u"taro@example.ne.jpﾀﾞｲｱﾙｱｯﾌﾟ接続"_s);
    }

    void serverPanel()
    {
        Profiles profiles(*m_lines, *m_options, m_rig->dialogs);
        auto* panel = new ServerPanel(profiles, *m_options, m_host.get());
        panel->setGeometry(0, 0, 640, 600);
        panel->showInFront();
        const QString ini = m_rig->data.filePath(u"ftpset.ini"_s);
        QFile::remove(ini);
        QVERIFY(QFile::copy(SettingsFiles::dataFile(u"profiles.ini"_s), ini)
            && QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        m_options->loadAtStartUp(&m_rig->dialogs);
        profiles.selectLastProfile();
        QList<QLineEdit*> fields;
        for (int i = 0; i < Profiles::FieldCount; ++i)
            fields.append(panel->findChild<QLineEdit*>(u"txtftp_%1"_s.arg(i)));
        auto shown = [&] {
            bool same = true;
            for (int i = 0; i < Profiles::FieldCount; ++i)
                same = same && fields[i]->text() == profiles.field(i);
            return same;
        };
        auto* list = find<QListView>("List1");
        // The last profile shows, its password masked, its row current.
        QVERIFY(shown() && !fields[0]->text().isEmpty() && fields[3]->echoMode() == QLineEdit::Password
            && list->currentIndex().row() == profiles.selectedProfileRow());
        // Typed fields go to the profile; the register button adds it, current in the list.
        const QStringList typed { "自宅サーバー", "127.0.0.1:2121", "taro", "パス①ワード", "/home/taro", "/pub", "-" };
        for (int i = 0; i < Profiles::FieldCount; ++i)
            typeAndLeave(fields[i], typed[i]);
        QVERIFY(shown() && profiles.field(3) == typed[3]);
        clickBox(find<QAbstractButton>("Check9"));
        click("Command2_0");
        QVERIFY(m_options->serverTimesAsLocal() && list->currentIndex().data().toString() == typed[0]
            && list->currentIndex().row() == list->model()->rowCount() - 1);
        // A click on a name shows that profile; so do the arrow keys, once let go.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        QVERIFY(profiles.selectedProfileRow() == 1 && shown());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(profiles.selectedProfileRow() == 2 && shown());
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        click("Command2_1");
        QCOMPARE(m_rig->dialogs.texts(), QStringList(u"登録を抹消しますか？"_s));
        QVERIFY(list->selectionModel()->selectedIndexes().isEmpty() && fields[0]->text().isEmpty());
        click("Command14_1");
        const QString anonymous = fields[2]->text();
        click("Command6");
        QVERIFY(anonymous == u"anonymous"_s && shown() && fields[2]->text().isEmpty());

        click("Command14_0");
        QVERIFY(panel->isHidden());
    }

    // The panel shows the log's view; a backup that cannot be written is told.
    void logPanel()
    {
        ActivityLog log([] { return QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)); });
        log.setFolder(m_rig->data.path());
        auto* panel = new LogPanel(log, m_rig->dialogs, m_host.get());
        QByteArray lines;
        for (int i = 0; i < 503; ++i)
            lines += "line " + QByteArray::number(i) + "\r\n\r\n";
        QVERIFY(writeBytes(m_rig->data.filePath(u"ftptarvo.log"_s), lines));
        panel->showLog();
        QCOMPARE(panel->findChild<QPlainTextEdit*>()->toPlainText() + m_rig->dialogs.texts().join(u'|'),
            u"line 501\nline 502"_s);
        QVERIFY(QFile::remove(m_rig->data.filePath(u"ftplogback.log"_s))
            && QDir(m_rig->data.path()).mkdir(u"ftplogback.log"_s));
        QVERIFY(writeBytes(m_rig->data.filePath(u"ftptarvo.log"_s), lines));
        panel->showLog();
        QVERIFY(panel->isVisible() && m_rig->dialogs.texts().value(0).contains(u"バックアップ"_s));
    }
};

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
