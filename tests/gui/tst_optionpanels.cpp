#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "gui/settings/othersettingspanel.h"
#include "gui/settings/proxypanel.h"
#include "gui/ui/consolepanel.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

using SettingsFiles::cp932Lines;
using SettingsFiles::readBytes;

// A click on the check box's or option button's indicator, where a user clicks.
void clickIndicator(QAbstractButton* button)
{
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Keys for ASCII; Japanese arrives as an input method's commit, as it does from a real IME.
void typeText(QWidget* edit, const QString& text)
{
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

} // namespace

class TestOptionPanels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void everyControlHasAName();
    void proxyPanelRoundTrip();
    void proxyPresetThroughThePanel();
    void otherSettingsRoundTrip();
    void consoleConnectionEntry();
    void panelsShowLoadedSettings();

private:
    template <typename T> T* find(const QString& name) const
    {
        T* w = m_window->findChild<T*>(name);
        if (!w)
            qWarning("no widget %s", qPrintable(name));
        return w;
    }
    QString iniPath() const { return m_dir->filePath(QStringLiteral("ftpset.ini")); }
    QByteArray file() const { return readBytes(iniPath()); }
    // Types into the box as a user does, then leaves it with Tab.
    void typeAndLeave(const QString& name, const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<QWidget> m_window;
    ScriptedDialogs m_dialogs;
};

void TestOptionPanels::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    qputenv("FTPTARVO_HOME", m_dir->path().toLocal8Bit());
    DataFolder::reset();
    m_dialogs.clear();
    m_lines = std::make_unique<SettingsLines>();
    m_lines->setDialogs(&m_dialogs);
    m_options = std::make_unique<Options>(*m_lines);
    m_options->loadAtStartUp(&m_dialogs);

    m_window = std::make_unique<QWidget>();
    m_window->setObjectName(QStringLiteral("FtpTarvo"));
    m_window->resize(900, 700);
    auto* proxy = new ProxyPanel(*m_options, m_window.get());
    auto* other = new OtherSettingsPanel(*m_options, m_window.get());
    auto* console = new ConsolePanel(*m_options, m_window.get());
    proxy->setGeometry(0, 0, 300, 320);
    other->setGeometry(300, 0, 300, 420);
    console->setGeometry(600, 0, 300, 200);
    proxy->showInFront();
    other->showInFront();
    console->showInFront();
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestOptionPanels::cleanup()
{
    m_window.reset();
    m_options.reset();
    m_lines.reset();
    m_dir.reset();
    DataFolder::reset();
}

void TestOptionPanels::typeAndLeave(const QString& name, const QString& text)
{
    auto* edit = find<QLineEdit>(name);
    QVERIFY(edit && edit->isEnabled());
    edit->setFocus(Qt::MouseFocusReason);
    QVERIFY(edit->hasFocus());
    edit->selectAll();
    typeText(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
    QVERIFY(!edit->hasFocus());
}

void TestOptionPanels::everyControlHasAName()
{
    const QList<MovablePanel*> panels = m_window->findChildren<MovablePanel*>();
    QCOMPARE(panels.size(), 3);
    for (MovablePanel* p : panels) {
        for (QWidget* w : p->findChildren<QWidget*>())
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
    }
}

void TestOptionPanels::proxyPanelRoundTrip()
{
    // Without the proxy box, the proxy fields cannot be used.
    QVERIFY(!find<QLineEdit>("txtProxy")->isEnabled());
    QVERIFY(!find<QAbstractButton>("Check3")->isEnabled());
    QVERIFY(!QFile::exists(iniPath()));

    clickIndicator(find<QAbstractButton>("Check1"));
    QVERIFY(find<QLineEdit>("txtProxy")->isEnabled());
    QVERIFY(find<QAbstractButton>("Check3")->isEnabled());
    QCOMPARE(file(), cp932Lines(m_lines->lines()));
    QVERIFY(file().endsWith(cp932Lines({ "<プロキシ>", "ON", "</プロキシ>" })));

    // While typed, a text is only in memory; leaving the box saves it.
    auto* port = find<QLineEdit>("TxtPport");
    port->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(port, QStringLiteral("8080"));
    QVERIFY(!file().contains("8080"));
    QCOMPARE(m_lines->valueOf(QStringLiteral("<プロキシポート>")), QStringLiteral("8080"));
    QTest::keyClick(port, Qt::Key_Tab);
    QVERIFY(file().contains("8080"));

    typeAndLeave(QStringLiteral("txtProxy"), QStringLiteral("proxy.example.jp"));
    typeAndLeave(QStringLiteral("Txtpro_0"), QStringLiteral("ユーザー"));
    typeAndLeave(QStringLiteral("Txtpro_1"), QStringLiteral("secret"));

    // "<ローカル>" waits in memory for the next save, here the passive box's.
    clickIndicator(find<QAbstractButton>("Check3"));
    QVERIFY(!file().contains(Cp932::encode(u"<ローカル>")));
    clickIndicator(find<QAbstractButton>("chkPassive"));

    QVERIFY(file().contains(Cp932::encode(u"<ローカル>")));
    QCOMPARE(file(), cp932Lines(m_lines->lines()));

    // The next start shows the same.
    SettingsLines lines;
    Options options(lines);
    options.loadAtStartUp(nullptr);
    QVERIFY(options.useProxy() && options.bypassProxyForLocal() && options.passiveMode());
    QCOMPARE(options.proxyHost(), QStringLiteral("proxy.example.jp"));
    QCOMPARE(options.proxyPort(), QStringLiteral("8080"));
    QCOMPARE(options.proxyCredential(0), QStringLiteral("ユーザー"));
    QCOMPARE(options.proxyCredential(1), QStringLiteral("secret"));

    // Unchecking disables the five proxy controls again.
    clickIndicator(find<QAbstractButton>("Check1"));
    for (const char* name : { "txtProxy", "TxtPport", "Txtpro_0", "Txtpro_1", "Check3" })
        QVERIFY2(!find<QWidget>(QString::fromLatin1(name))->isEnabled(), name);
}

void TestOptionPanels::proxyPresetThroughThePanel()
{
    clickIndicator(find<QAbstractButton>("Check1"));
    typeAndLeave(QStringLiteral("Txtpro_1"), QStringLiteral("qzr60317"));
    QCOMPARE(find<QLineEdit>("txtProxy")->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(find<QLineEdit>("TxtPport")->text(), QStringLiteral("2121"));
    QCOMPARE(find<QLineEdit>("Txtpro_1")->text(), QString());
    QVERIFY(file().endsWith(
        cp932Lines({ "<プロキシ>", "ON", "</プロキシ>", "<プロキシパスワード>", "", "</プロキシパスワード>",
            "<プロキシ名>", "127.0.0.1", "</プロキシ名>", "<プロキシポート>", "2121", "</プロキシポート>" })));
}

void TestOptionPanels::otherSettingsRoundTrip()
{
    QVERIFY(find<QAbstractButton>("Option5_0")->isChecked());
    QVERIFY(find<QAbstractButton>("Check10_0")->isChecked());
    QSignalSpy check10(m_options.get(), &Options::viewOptionChanged);

    clickIndicator(find<QAbstractButton>("Option5_1"));
    QVERIFY(!find<QAbstractButton>("Option5_0")->isChecked());
    clickIndicator(find<QAbstractButton>("Check8"));
    typeAndLeave(QStringLiteral("Text13"), QStringLiteral("hanako@example.jp"));
    clickIndicator(find<QAbstractButton>("Check10_0"));
    clickIndicator(find<QAbstractButton>("Check10_1"));
    clickIndicator(find<QAbstractButton>("Check10_2"));
    clickIndicator(find<QAbstractButton>("Option5_2"));

    QCOMPARE(check10.size(), 3);
    QCOMPARE(check10.first(), (QVariantList { 0, false }));
    QVERIFY(!m_options->viewOption(0));
    QVERIFY(m_options->viewOption(1));

    // The next start shows the same.
    const QByteArray saved = file();
    QCOMPARE(saved, cp932Lines(m_lines->lines()));
    {
        SettingsLines lines;
        Options options(lines);
        options.loadAtStartUp(nullptr);
        QCOMPARE(options.uploadNameCase(), 2);
        QVERIFY(options.skipExternalLinks());
        QCOMPARE(options.mailAddress(), QStringLiteral("hanako@example.jp"));
        QVERIFY(!options.viewOption(0) && options.viewOption(1) && options.viewOption(2));
    }

    // An emptied mail box is not stored: the address stays.
    typeAndLeave(QStringLiteral("Text13"), QStringLiteral(" "));
    QCOMPARE(file(), saved);
}

void TestOptionPanels::consoleConnectionEntry()
{
    clickIndicator(find<QAbstractButton>("Check7_0"));
    QVERIFY(file().endsWith(cp932Lines({ "<コネクション>", "ON", "</コネクション>" })));
    typeAndLeave(QStringLiteral("Text5_0"), QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ"));
    QVERIFY(file().endsWith(cp932Lines(
        { "<コネクション>", "ON", "</コネクション>", "<コネクション言葉>", "ﾀﾞｲｱﾙｱｯﾌﾟ", "</コネクション言葉>" })));
}

void TestOptionPanels::panelsShowLoadedSettings()
{
    QVERIFY(QFile::copy(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/firstplatform.ini"), iniPath()));
    QVERIFY(m_lines->LoadSettingsFile(iniPath()));

    QVERIFY(!find<QAbstractButton>("Check1")->isChecked());
    QVERIFY(!find<QLineEdit>("txtProxy")->isEnabled());
    QVERIFY(find<QAbstractButton>("chkPassive")->isChecked());
    QVERIFY(find<QAbstractButton>("Option5_1")->isChecked());
    QVERIFY(find<QAbstractButton>("Check8")->isChecked());
    QCOMPARE(find<QLineEdit>("Text13")->text(), QStringLiteral("taro@example.ne.jp"));
    QVERIFY(!find<QAbstractButton>("Check10_0")->isChecked());
    QVERIFY(find<QAbstractButton>("Check10_1")->isChecked());
    QVERIFY(find<QAbstractButton>("Check10_2")->isChecked());
    QVERIFY(find<QAbstractButton>("Check7_0")->isChecked());
    QCOMPARE(find<QLineEdit>("Text5_0")->text(), QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続"));
    QCOMPARE(file(), readBytes(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/firstplatform.ini")));
}

QTEST_MAIN(TestOptionPanels)
#include "tst_optionpanels.moc"
