#include "core/app/appstate.h"
#include "core/app/codepage.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"
#include "gui/transfer/modeindicator.h"
#include "gui/transfer/modepanel.h"
#include "support/scripteddialogs.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList fileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return { QStringLiteral("<missing>") };
    QStringList lines = Cp932::decode(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void clickIndicator(QAbstractButton* button)
{
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

} // namespace

class TestModePanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void listsShowTheRulesAndEveryControlHasAName();
    void addButtons();
    void deleteButtonRemovesSelectedEntries();
    void defaultsButton();
    void switchesAndTheTextList();
    void closeButtonWarnsAboutSwitches_data();
    void closeButtonWarnsAboutSwitches();
    void conversionSwitchesStoreOnFocusLoss();
    void indicatorShowsTheLastMode();

private:
    template <typename T> T* find(const QString& name) const { return m_window->findChild<T*>(name); }
    QString iniPath() const { return m_dir->filePath(QStringLiteral("ftpset.ini")); }
    void select(const QString& list, const QList<int>& rows);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ModeRules> m_rules;
    std::unique_ptr<QWidget> m_window;
    ModePanel* m_panel = nullptr;
    ScriptedDialogs m_dialogs;
};

void TestModePanel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialogs.clear();
    m_lines = std::make_unique<SettingsLines>();
    m_lines->setFilePath(iniPath());
    m_lines->setDialogs(&m_dialogs);
    m_options = std::make_unique<Options>(*m_lines);
    m_state = std::make_unique<AppState>();
    m_rules = std::make_unique<ModeRules>(*m_lines);
    m_lines->setLines({ "<SetText>", "txt", "html", "</SetText>", "<NotText>", "bak", "</NotText>" });
    m_options->ApplySettings();
    m_rules->LoadModeLists();

    m_window = std::make_unique<QWidget>();
    m_window->resize(700, 600);
    m_panel = new ModePanel(*m_rules, *m_options, m_dialogs, m_window.get());
    m_panel->setGeometry(10, 10, 500, 450);
    m_panel->showInFront();
    auto* indicator = new ModeIndicator(*m_rules, m_window.get());
    indicator->move(10, 500);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestModePanel::cleanup()
{
    m_window.reset();
    m_rules.reset();
    m_state.reset();
    m_options.reset();
    m_lines.reset();
    m_dir.reset();
}

void TestModePanel::select(const QString& list, const QList<int>& rows)
{
    auto* view = find<QListView>(list);
    QVERIFY(view);
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
}

void TestModePanel::listsShowTheRulesAndEveryControlHasAName()
{
    QCOMPARE(find<QListView>("List3")->model(), m_rules->textExtensionModel());
    QCOMPARE(find<QListView>("List4")->model(), m_rules->neverSendExtensionModel());
    QVERIFY(find<QLineEdit>("Text1_0") && find<QLineEdit>("Text1_1"));
    const QList<QWidget*> children = m_panel->findChildren<QWidget*>();
    for (QWidget* w : children) {
        // The scroll bars and viewport inside a list view are Qt's own.
        bool inner = false;
        for (QWidget* p = w->parentWidget(); p && p != m_panel; p = p->parentWidget())
            inner = inner || qobject_cast<QAbstractScrollArea*>(p);
        QVERIFY2(inner || !w->objectName().isEmpty(), w->metaObject()->className());
    }
}

void TestModePanel::addButtons()
{
    auto* text10 = find<QLineEdit>("Text1_0");
    QTest::keyClicks(text10, QStringLiteral("  "));
    QTest::mouseClick(find<QPushButton>("Command7_5"), Qt::LeftButton);
    QCOMPARE(m_rules->textExtensions(), (QStringList { "txt", "html" }));
    QVERIFY(!QFile::exists(iniPath()));

    text10->clear();
    QTest::keyClicks(text10, QStringLiteral("php"));
    QTest::mouseClick(find<QPushButton>("Command7_5"), Qt::LeftButton);
    QCOMPARE(text10->text(), QString());
    QTest::keyClicks(find<QLineEdit>("Text1_1"), QStringLiteral("old"));
    QTest::mouseClick(find<QPushButton>("Command7_6"), Qt::LeftButton);
    QCOMPARE(find<QLineEdit>("Text1_1")->text(), QString());

    QCOMPARE(find<QListView>("List3")->model()->rowCount(), 3);
    QCOMPARE(fileLines(iniPath()),
        (QStringList { "<SetText>", "txt", "html", "php", "</SetText>", "<NotText>", "bak", "old", "</NotText>" }));
}

void TestModePanel::deleteButtonRemovesSelectedEntries()
{
    select(QStringLiteral("List3"), { 0 });
    select(QStringLiteral("List4"), { 0 });
    QTest::mouseClick(find<QPushButton>("Command7_7"), Qt::LeftButton);
    QCOMPARE(m_rules->textExtensions(), (QStringList { "html" }));
    QCOMPARE(m_rules->neverSendExtensions(), QStringList {});
    QCOMPARE(fileLines(iniPath()), (QStringList { "<SetText>", "html", "</SetText>", "<NotText>", "</NotText>" }));
}

void TestModePanel::defaultsButton()
{
    clickIndicator(find<QAbstractButton>("Check6"));
    QTest::mouseClick(find<QPushButton>("Command7_2"), Qt::LeftButton);
    QCOMPARE(m_rules->textExtensions(), ModeRules::defaultTextExtensions());
    QVERIFY(!find<QAbstractButton>("Check6")->isChecked());
    QVERIFY(find<QListView>("List3")->isEnabled());
    const QStringList expected = QStringList { "<SetText>" } + ModeRules::defaultTextExtensions()
        + QStringList { "</SetText>", "<NotText>" } + ModeRules::defaultNeverSendExtensions()
        + QStringList { "</NotText>" };
    QCOMPARE(fileLines(iniPath()), expected);
}

void TestModePanel::switchesAndTheTextList()
{
    auto* check5 = find<QAbstractButton>("Check5");
    auto* check6 = find<QAbstractButton>("Check6");
    auto* list3 = find<QListView>("List3");
    clickIndicator(check5);
    QVERIFY(check5->isChecked() && !check6->isChecked() && !list3->isEnabled());
    QCOMPARE(m_rules->SetTransferMode(QStringLiteral("photo.jpg")), TransferType::Ascii);

    clickIndicator(check6);
    QVERIFY(!check5->isChecked() && check6->isChecked() && !list3->isEnabled());
    QCOMPARE(m_rules->SetTransferMode(QStringLiteral("index.html")), TransferType::Binary);

    clickIndicator(check6);
    QVERIFY(!check5->isChecked() && !check6->isChecked() && list3->isEnabled());
    QVERIFY(!QFile::exists(iniPath()));
}

void TestModePanel::closeButtonWarnsAboutSwitches_data()
{
    QTest::addColumn<QString>("switchName");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("visible");
    QTest::newRow("no switch") << "" << int(Dialogs::Answer::No) << false;
    QTest::newRow("all ASCII, answered No") << "Check5" << int(Dialogs::Answer::No) << true;
    QTest::newRow("all binary, answered Yes") << "Check6" << int(Dialogs::Answer::Yes) << false;
}

void TestModePanel::closeButtonWarnsAboutSwitches()
{
    QFETCH(QString, switchName);
    QFETCH(int, answer);
    QFETCH(bool, visible);
    if (!switchName.isEmpty())
        clickIndicator(find<QAbstractButton>(switchName));
    m_dialogs.queueAnswer(static_cast<Dialogs::Answer>(answer));
    QTest::mouseClick(find<QPushButton>("Command7_4"), Qt::LeftButton);
    QCOMPARE(m_panel->isVisible(), visible);
    if (switchName.isEmpty()) {
        QVERIFY(m_dialogs.asked.isEmpty());
    } else {
        QCOMPARE(m_dialogs.texts(), QStringList { ModeRules::closeWarning() });
        QCOMPARE(m_dialogs.asked.first().buttons, Dialogs::Buttons::YesNo);
    }
}

void TestModePanel::conversionSwitchesStoreOnFocusLoss()
{
    auto* check11 = find<QAbstractButton>("Check11_0");
    check11->setFocus(Qt::MouseFocusReason);
    clickIndicator(check11);
    QCOMPARE(m_options->codeConversion(0), 1);
    QVERIFY(!QFile::exists(iniPath()));
    find<QLineEdit>("Text1_0")->setFocus(Qt::MouseFocusReason);
    QVERIFY(fileLines(iniPath()).join(u'|').endsWith(QStringLiteral("<SJIS-EUC>|1|</SJIS-EUC>")));
    QVERIFY(!fileLines(iniPath()).contains(QStringLiteral("<EUC-SJIS>")));
}

void TestModePanel::indicatorShowsTheLastMode()
{
    auto* asc = find<QLabel>("Label8_1");
    auto* bin = find<QLabel>("Label8_0");
    const QColor red(255, 0, 0);
    const QColor darkBlue(0, 0, 128);
    QCOMPARE(bin->palette().color(QPalette::Window), red); // binary at start
    QCOMPARE(asc->palette().color(QPalette::Window), darkBlue);
    m_rules->SetTransferMode(QStringLiteral("index.HTML"));
    QCOMPARE(asc->palette().color(QPalette::Window), red);
    QCOMPARE(bin->palette().color(QPalette::Window), darkBlue);
    m_rules->SetTransferMode(QStringLiteral("photo.jpg"));
    QCOMPARE(bin->palette().color(QPalette::Window), red);
    QCOMPARE(asc->palette().color(QPalette::Window), darkBlue);
}

QTEST_MAIN(TestModePanel)
#include "tst_modepanel.moc"
