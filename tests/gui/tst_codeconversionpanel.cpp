#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/panes/localpane.h"
#include "core/transfer/textconvert.h"
#include "core/workspace/workspace.h"
#include "gui/app/mainwindow.h"
#include "gui/transfer/codeconversionpanel.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Also remembers the folder each file dialog opened in.
class FolderDialogs : public ScriptedDialogs {
public:
    QStringList folders;
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override
    {
        folders.append(folder);
        return ScriptedDialogs::openFileName(title, folder, filter);
    }
};

template <typename T> T* child(QWidget* parent, const QString& name)
{
    T* w = parent->findChild<T*>(name);
    if (!w)
        qWarning("missing %s", qPrintable(name));
    return w;
}

} // namespace

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

class TestCodeConversionPanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void opensOnTheDataFolder();
    void browseFillsTheBoxes();
    void runsEachConversion_data();
    void runsEachConversion();
    void eucFailureShowsTheErrorBox();
    void cancelHides();
    void menuOpensThePanel();

private:
    QTemporaryDir* m_dir = nullptr;
    QWidget* m_window = nullptr;
    FolderDialogs* m_dialogs = nullptr;
    CodeConversionPanel* m_panel = nullptr;
};

void TestCodeConversionPanel::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_window = new QWidget;
    m_window->resize(800, 600);
    m_dialogs = new FolderDialogs;
    const QString folder = m_dir->path();
    m_panel = new CodeConversionPanel(
        *m_dialogs, [folder] { return folder; }, m_window);
    m_window->show();
}

void TestCodeConversionPanel::cleanup()
{
    delete m_window;
    delete m_dialogs;
    delete m_dir;
}

void TestCodeConversionPanel::opensOnTheDataFolder()
{
    QVERIFY(!m_panel->isVisible());
    for (int i = 0; i < 4; ++i)
        QCOMPARE(child<QRadioButton>(m_panel, u"Option3_%1"_s.arg(i))->isChecked(), i == 0);
    for (QPushButton* b : m_panel->findChildren<QPushButton*>())
        QVERIFY(!b->objectName().isEmpty());

    m_panel->open();
    QVERIFY(m_panel->isVisible());
    QCOMPARE(m_panel->pos(), QPoint(67, 67));
    QCOMPARE(child<QLineEdit>(m_panel, u"Text16_0"_s)->text(), m_dir->path());
}

void TestCodeConversionPanel::browseFillsTheBoxes()
{
    m_panel->open();
    m_dialogs->queueFile(m_dir->filePath(u"a.txt"_s));
    QTest::mouseClick(child<QPushButton>(m_panel, u"Browse16_1"_s), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(m_panel, u"Text16_1"_s)->text(), m_dir->filePath(u"a.txt"_s));
    QCOMPARE(m_dialogs->folders, QStringList { m_dir->path() });
    QCOMPARE(m_dialogs->asked.size(), 1);
    QCOMPARE(m_dialogs->asked[0].kind, u"open"_s);

    // Cancelled: the box keeps its text.
    QTest::mouseClick(child<QPushButton>(m_panel, u"Browse16_0"_s), Qt::LeftButton);
    QCOMPARE(child<QLineEdit>(m_panel, u"Text16_0"_s)->text(), m_dir->path());
}

void TestCodeConversionPanel::runsEachConversion_data()
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

void TestCodeConversionPanel::runsEachConversion()
{
    QFETCH(int, option);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    const QString in = m_dir->filePath(u"in.txt"_s);
    const QString out = m_dir->filePath(u"out.txt"_s);
    QVERIFY(writeBytes(in, input));
    m_panel->open();
    child<QRadioButton>(m_panel, u"Option3_%1"_s.arg(option))->click();
    child<QLineEdit>(m_panel, u"Text16_0"_s)->setText(in);
    child<QLineEdit>(m_panel, u"Text16_1"_s)->setText(out);
    QTest::mouseClick(child<QPushButton>(m_panel, u"CmdRun"_s), Qt::LeftButton);
    QCOMPARE(m_dialogs->texts(), QStringList { u"変換しました。"_s });
    QCOMPARE(readBytes(out).toHex(' '), expected.toHex(' '));

    // The input box still holds the folder after opening: that is a failure, silently for
    // all but the EUC conversion.
    m_dialogs->clear();
    m_panel->open();
    m_panel->RunCodeConversion();
    QCOMPARE(m_dialogs->texts().last(), u"変換は失敗しました。"_s);
    QCOMPARE(m_dialogs->texts().size(), option == 1 ? 2 : 1);
    QCOMPARE(readBytes(out).toHex(' '), expected.toHex(' '));
}

void TestCodeConversionPanel::eucFailureShowsTheErrorBox()
{
    m_panel->open();
    child<QRadioButton>(m_panel, u"Option3_1"_s)->click();
    child<QLineEdit>(m_panel, u"Text16_0"_s)->setText(m_dir->filePath(u"missing.txt"_s));
    child<QLineEdit>(m_panel, u"Text16_1"_s)->setText(m_dir->filePath(u"out.txt"_s));
    m_panel->RunCodeConversion();
    QCOMPARE(m_dialogs->texts(),
        QStringList({ u"ｴﾗｰNo.53\r\n\r\nファイルが見つかりません。"_s, u"変換は失敗しました。"_s }));
    QCOMPARE(m_dialogs->asked[0].icon, Dialogs::Icon::Exclamation);
    QVERIFY(!QFile::exists(m_dir->filePath(u"out.txt"_s)));
}

void TestCodeConversionPanel::cancelHides()
{
    m_panel->open();
    QVERIFY(m_panel->isVisible());
    QTest::mouseClick(child<QPushButton>(m_panel, u"CmdCancel"_s), Qt::LeftButton);
    QVERIFY(!m_panel->isVisible());
    QVERIFY(m_dialogs->asked.isEmpty());
}

void TestCodeConversionPanel::menuOpensThePanel()
{
    QTemporaryDir data;
    QTemporaryDir home;
    QVERIFY(data.isValid() && home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("FTPTARVO_HOME", data.path().toUtf8());
    qputenv("HOME", home.path().toUtf8());
    DataFolder::reset();
    {
        MainWindow w;
        w.Form_Load(QString());
        auto* item = w.findChild<QAction*>(u"Mrog5"_s);
        QVERIFY(item && item->isEnabled());
        item->trigger();
        auto* panel = w.findChild<CodeConversionPanel*>(u"Frame13"_s);
        QVERIFY(panel && panel->isVisible());
        QCOMPARE(panel->parentWidget()->children().last(), panel);
        QCOMPARE(child<QLineEdit>(panel, u"Text16_0"_s)->text(), w.workspace().localPane().folderText());
        QVERIFY(!w.workspace().localPane().folderText().isEmpty());
        // Opened again: the same panel, not a second one.
        panel->hide();
        item->trigger();
        QCOMPARE(w.findChildren<CodeConversionPanel*>().size(), 1);
        QVERIFY(panel->isVisible());
    }
    qputenv("HOME", oldHome);
    DataFolder::reset();
}

QTEST_MAIN(TestCodeConversionPanel)
#include "tst_codeconversionpanel.moc"
