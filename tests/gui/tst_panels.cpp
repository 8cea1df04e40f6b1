// The panels on their own, offscreen: moved by their titles, the status window over its report, and
// the settings panels bound both ways to the options, profiles and mode rules they show.
#include "core/app/appstate.h"
#include "core/app/statusreport.h"
#include "core/log/activitylog.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "core/transfer/moderules.h"
#include "core/transfer/textconvert.h"
#include "gui/log/logpanel.h"
#include "gui/settings/othersettingspanel.h"
#include "gui/settings/proxypanel.h"
#include "gui/settings/serverpanel.h"
#include "gui/transfer/codeconversionpanel.h"
#include "gui/transfer/modeindicator.h"
#include "gui/transfer/modepanel.h"
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

    // A panel at (150, 120), 320 by 240, with a widget docked below it.
    MovablePanel* placed()
    {
        auto* panel = new MovablePanel(u"Moved"_s, u"MovedTitle"_s, u"title"_s, m_host.get());
        auto* follower = new QWidget(m_host.get());
        follower->setObjectName(u"Follower"_s);
        follower->setGeometry(500, 500, 200, 90);
        follower->show();
        panel->setDockedBelow(follower);
        panel->setGeometry(150, 120, 320, 240);
        panel->showInFront();
        return panel;
    }

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
        QTRY_VERIFY(!PanelDragState::instance().PanelMoveBusy);
        m_rig->dialogs.clear();
    }
    void cleanup()
    {
        m_host.reset();
        m_options.reset();
        m_lines.reset();
        m_rig.reset();
        PanelDragState::instance().PanelDragging = false;
    }

    void dragByTheTitle_data()
    {
        QTest::addColumn<QPoint>("to"); // the press was at (30, 6) of the title
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("right and down") << QPoint(75, 26) << QPoint(195, 140);
        QTest::newRow("left and up") << QPoint(-20, -14) << QPoint(100, 100);
        QTest::newRow("to top 1") << QPoint(30, -113) << QPoint(150, 1);
        QTest::newRow("never to top 0") << QPoint(40, -114) << QPoint(160, 120);
        QTest::newRow("never above the top") << QPoint(10, -300) << QPoint(130, 120);
        QTest::newRow("past the left edge") << QPoint(-400, 6) << QPoint(-280, 120);
        QTest::newRow("at the band's edge") << QPoint(40, MovablePanel::DragBandPixels) << QPoint(160, 154);
        QTest::newRow("below the band") << QPoint(40, MovablePanel::DragBandPixels + 1) << QPoint(150, 120);
    }
    void dragByTheTitle()
    {
        QFETCH(QPoint, to);
        QFETCH(QPoint, expected);
        MovablePanel* p = placed();
        QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
        QTest::mouseMove(p->titleLabel(), to);
        QCOMPARE(p->geometry(), QRect(expected, QSize(320, 240)));
        if (expected != QPoint(150, 120)) // the docked widget goes along, right below
            QCOMPARE(find("Follower")->geometry(), QRect(expected + QPoint(0, 240), QSize(320, 90)));
        QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, to);
        QVERIFY(!PanelDragState::instance().PanelDragging);
    }

    void dragIsThrottledAndLostPanelsComeBack()
    {
        MovablePanel* p = placed();
        // A second move before the throttle timer ticked is dropped; after it the press's offset still
        // applies. A loaded machine must not let the timer tick between the two moves.
        QTimer* throttle = PanelDragState::instance().TimerMove;
        throttle->setInterval(60000);
        QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
        QTest::mouseMove(p->titleLabel(), QPoint(40, 6));
        QTest::mouseMove(p->titleLabel(), QPoint(50, 6));
        QCOMPARE(p->pos(), QPoint(160, 120));
        throttle->setInterval(1);
        throttle->start();
        QTRY_VERIFY(!PanelDragState::instance().PanelMoveBusy);
        QTest::mouseMove(p->titleLabel(), QPoint(50, 6));
        QCOMPARE(p->pos(), QPoint(180, 120));
        QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(50, 6));
        QTRY_VERIFY(!PanelDragState::instance().PanelMoveBusy);
        // A move without a button, as with mouse tracking on, moves nothing.
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 20), p->titleLabel()->mapToGlobal(QPointF(80, 20)),
            Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(p->titleLabel(), &move);
        QCOMPARE(p->pos(), QPoint(180, 120));
        // Dragged out of sight, it comes back to the corner when shown again.
        QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
        QTest::mouseMove(p->titleLabel(), QPoint(-2000, 6));
        QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(-2000, 6));
        QCOMPARE(p->x(), 180 - 2030);
        p->hide();
        p->showInFront();
        QCOMPARE(p->pos(), QPoint(0, 0));
        // However tall, every panel of the window keeps a title bar of one line on top.
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (MovablePanel* panel : window.panels()) {
            panel->resize(613, 600);
            panel->showInFront();
            QCoreApplication::processEvents();
            QLabel* title = panel->titleLabel();
            QVERIFY2(title->y() <= 4 && title->height() == title->sizeHint().height()
                    && title->width() == panel->contentsRect().width() - 4,
                qPrintable(panel->objectName()));
        }
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

    void statusWindowBars_data()
    {
        QTest::addColumn<QList<qint64>>("figures"); // file done and total, run done and total
        QTest::addColumn<QList<int>>("values"); // per mille for the file and the run; -1: busy, no figure
        QTest::newRow("both unknown") << QList<qint64>({ 0, -1, 3, 0 }) << QList<int>({ -1, -1 });
        QTest::newRow("half a file, a quarter of the run")
            << QList<qint64>({ 512, 1024, 1, 4 }) << QList<int>({ 500, 250 });
        QTest::newRow("a file beyond 4 GiB") << QList<qint64>({ 3LL << 30, 6LL << 30, 0, 1 }) << QList<int>({ 500, 0 });
        QTest::newRow("an empty file is complete") << QList<qint64>({ 0, 0, 2, 2 }) << QList<int>({ 1000, 1000 });
        QTest::newRow("more than the total stays full")
            << QList<qint64>({ 2000, 1000, 9, 5 }) << QList<int>({ 1000, 1000 });
    }
    void statusWindowBars()
    {
        QFETCH(QList<qint64>, figures);
        StatusReport report(m_state);
        StatusWindow window(report, m_host.get());
        report.show();
        // From a known state, so that a change to busy is seen too.
        report.setFileProgress(1, 10);
        report.setRunProgress(1, 10);
        window.refresh();
        report.setFileProgress(figures[0], figures[1]);
        report.setRunProgress(figures[2], figures[3]);
        window.refresh();
        QList<int> values;
        for (QProgressBar* bar : { window.progressFile(), window.progressRun() })
            values.append(bar->maximum() == 0 ? -1 : int(1000 * qint64(bar->value()) / bar->maximum()));
        QTEST(values, "values");
    }

    // What the user sets is stored (a typed text once its box is left) and read at the next start;
    // settings loaded later show in the boxes.
    void optionPanels()
    {
        for (MovablePanel* p : std::initializer_list<MovablePanel*> { new ProxyPanel(*m_options, m_host.get()),
                 new OtherSettingsPanel(*m_options, m_host.get()), new ConsolePanel(*m_options, m_host.get()) })
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

        const QString loaded = m_rig->data.filePath(u"loaded.ini"_s);
        QVERIFY(
            QFile::copy(SettingsFiles::dataFile(u"firstplatform.ini"_s), loaded) && m_lines->LoadSettingsFile(loaded));
        QVERIFY(!find<QAbstractButton>("Check1")->isChecked() && !proxyHost->isEnabled()
            && find<QAbstractButton>("Option5_1")->isChecked() && find<QAbstractButton>("Check10_2")->isChecked());
        QCOMPARE(find<QLineEdit>("Text13")->text() + find<QLineEdit>("Text5_0")->text(),
            u"taro@example.ne.jpﾀﾞｲｱﾙｱｯﾌﾟ接続"_s);
    }

    void serverPanelAndChooser()
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

        // The chooser walks the home folder's visible folders and hands the one chosen on.
        QVERIFY(QDir(m_rig->home.path()).mkpath(u"site/images"_s) && QDir(m_rig->home.path()).mkpath(u".cache"_s));
        click("Command23");
        auto* folders = find<QListWidget>("Frame6Folders");
        auto pick = [folders](int row, bool open) {
            const QPoint at = folders->visualItemRect(folders->item(row)).center();
            QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, at);
            if (open)
                QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, at);
            QStringList out;
            for (int r = 0; r < folders->count(); ++r)
                out.append(folders->item(r)->text());
            return out.join(u' ');
        };
        QCOMPARE(pick(0, false), u".. site"_s);
        QCOMPARE(pick(1, true), u".. images"_s);
        pick(1, false);
        click("Command24");
        QVERIFY(find("Frame6")->isHidden() && fields[4]->text() == m_rig->home.filePath(u"site/images"_s));
        click("Command14_0");
        QVERIFY(panel->isHidden());
    }

    void modePanel()
    {
        m_lines->setLines({ "<SetText>", "txt", "html", "</SetText>", "<NotText>", "bak", "</NotText>" });
        m_options->ApplySettings();
        ModeRules rules(*m_lines);
        rules.LoadModeLists();
        auto* panel = new ModePanel(rules, *m_options, m_rig->dialogs, m_host.get());
        new ModeIndicator(rules, m_host.get());
        panel->setGeometry(10, 10, 500, 450);
        panel->showInFront();
        // Added with the button or Enter, the box emptied; deleted as selected.
        auto* text = find<QLineEdit>("Text1_0");
        QTest::keyClicks(text, u"php"_s);
        click("Command7_5");
        QTest::keyClicks(find<QLineEdit>("Text1_1"), u"old\r"_s);
        QVERIFY(text->text().isEmpty() && find<QLineEdit>("Text1_1")->text().isEmpty());
        QCOMPARE(rules.neverSendExtensions(), QStringList({ "bak", "old" }));
        auto* textList = find<QListView>("List3");
        textList->selectionModel()->select(textList->model()->index(0, 0), QItemSelectionModel::Select);
        click("Command7_7");
        QCOMPARE(rules.textExtensions(), QStringList({ "html", "php" }));
        // A switch turns the text list off; closing with one on asks first.
        clickBox(find<QAbstractButton>("Check5"));
        QVERIFY(!textList->isEnabled() && rules.SetTransferMode(u"photo.jpg"_s) == TransferType::Ascii);
        clickBox(find<QAbstractButton>("Check6"));
        QVERIFY(!find<QAbstractButton>("Check5")->isChecked() && !textList->isEnabled());
        m_rig->dialogs.queueAnswer(Dialogs::Answer::No);
        click("Command7_4");
        QVERIFY(m_rig->dialogs.texts() == QStringList(ModeRules::closeWarning()) && panel->isVisible());
        m_rig->dialogs.queueAnswer(Dialogs::Answer::Yes);
        click("Command7_4");
        QVERIFY(panel->isHidden());
        panel->showInFront();
        click("Command7_2");
        QVERIFY(rules.textExtensions() == ModeRules::defaultTextExtensions() && textList->isEnabled()
            && !find<QAbstractButton>("Check6")->isChecked());
        // A conversion switch is stored when the box loses the focus.
        auto* conversion = find<QAbstractButton>("Check11_0");
        conversion->setFocus(Qt::MouseFocusReason);
        clickBox(conversion);
        QVERIFY(m_options->codeConversion(0) == 1 && !settingsFile().contains("<SJIS-EUC>"));
        text->setFocus(Qt::MouseFocusReason);
        QVERIFY(settingsFile().contains("<SJIS-EUC>\r\n1\r\n"));
        // The indicator lights the mode of the last transfer.
        auto colour = [this](const char* name) { return find<QLabel>(name)->palette().color(QPalette::Window); };
        rules.SetTransferMode(u"index.HTML"_s);
        const QColor lit = colour("Label8_1");
        const QColor unlit = colour("Label8_0");
        rules.SetTransferMode(u"photo.jpg"_s);
        QVERIFY(lit != unlit && colour("Label8_0") == lit && colour("Label8_1") != lit);
    }

    void codeConversionPanel_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray sjis = Cp932::encode(u"あｱ\r\n"_s);
        QTest::newRow("Shift-JIS to EUC") << 0 << sjis << TextConvert::sjisToEuc(sjis);
        QTest::newRow("EUC to Shift-JIS") << 1 << TextConvert::sjisToEuc(sjis) << sjis;
        QTest::newRow("widen kana") << 2 << Cp932::encode(u"ｶﾞ"_s) << Cp932::encode(u"カﾞ\r\n"_s);
        QTest::newRow("narrow kana") << 3 << Cp932::encode(u"ガ"_s) << Cp932::encode(u"ｶﾞ\r\n"_s);
    }
    // The panel opens on the local folder, runs the chosen conversion and says how it went.
    void codeConversionPanel()
    {
        QFETCH(int, option);
        QFETCH(QByteArray, expected);
        const QString folder = m_rig->home.path();
        auto* panel = new CodeConversionPanel(
            m_rig->dialogs, [folder] { return folder; }, m_host.get());
        panel->open();
        auto* source = find<QLineEdit>("Text16_0");
        const QString opened = source->text();
        const QString in = m_rig->home.filePath(u"in.txt"_s);
        QFETCH(QByteArray, input);
        QVERIFY(writeBytes(in, input));
        m_rig->dialogs.queueFile(in);
        click("Browse16_0");
        QCOMPARE(opened + u'|' + source->text(), folder + u'|' + in);
        m_rig->dialogs.clear();
        find<QRadioButton>(qPrintable(u"Option3_%1"_s.arg(option)))->click();
        find<QLineEdit>("Text16_1")->setText(m_rig->home.filePath(u"out.txt"_s));
        click("CmdRun");
        QCOMPARE(m_rig->dialogs.texts().join(u'|') + readBytes(m_rig->home.filePath(u"out.txt"_s)).toHex(' '),
            u"変換しました。"_s + expected.toHex(' '));
        // A missing input fails; the EUC conversion says why first.
        m_rig->dialogs.clear();
        source->setText(m_rig->home.filePath(u"missing.txt"_s));
        click("CmdRun");
        QCOMPARE(m_rig->dialogs.texts().join(u'|'),
            (option == 1 ? u"ｴﾗｰNo.53\r\n\r\nファイルが見つかりません。|"_s : QString()) + u"変換は失敗しました。"_s);
        click("CmdCancel");
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
