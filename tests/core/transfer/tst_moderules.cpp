#include "core/app/appstate.h"
#include "core/app/codepage.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"

#include <QAbstractItemModelTester>
#include <QFile>
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

const QStringList Defaults3 = ModeRules::defaultTextExtensions();
const QStringList Defaults4 = ModeRules::defaultNeverSendExtensions();

QStringList blocks(const QStringList& text, const QStringList& never)
{
    return QStringList { "<SetText>" } + text + QStringList { "</SetText>", "<NotText>" } + never
        + QStringList { "</NotText>" };
}

} // namespace

class TestModeRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void getExtension_data();
    void getExtension();
    void transferMode_data();
    void transferMode();
    void sendable_data();
    void sendable();
    void loadModeLists_data();
    void loadModeLists();
    void restoreDefaultsRewritesTheBlocks();
    void addEntries();
    void deleteSelectedEntries();

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("ftpset.ini")); }
    void load(const QStringList& lines);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ModeRules> m_rules;
};

void TestModeRules::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_lines = std::make_unique<SettingsLines>();
    m_lines->setFilePath(iniPath());
    m_state = std::make_unique<AppState>();
    m_rules = std::make_unique<ModeRules>(*m_lines);
    new QAbstractItemModelTester(
        m_rules->textExtensionModel(), QAbstractItemModelTester::FailureReportingMode::QtTest, this);
    new QAbstractItemModelTester(
        m_rules->neverSendExtensionModel(), QAbstractItemModelTester::FailureReportingMode::QtTest, this);
}

void TestModeRules::load(const QStringList& lines)
{
    m_lines->setLines(lines);
    m_rules->LoadModeLists();
}

void TestModeRules::getExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::newRow("plain") << "index.html"
                           << "html";
    QTest::newRow("case kept") << "index.HTML"
                               << "HTML";
    QTest::newRow("two dots") << "archive.tar.gz"
                              << "gz";
    QTest::newRow("blanks around") << "  page.htm  "
                                   << "htm";
    QTest::newRow("ideographic blank around") << "\u3000page.htm\u3000"
                                              << "htm";
    QTest::newRow("no dot") << "README"
                            << "";
    QTest::newRow("ends with a dot") << "name."
                                     << "";
    QTest::newRow("dot file") << ".htaccess"
                              << "htaccess";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank inside the extension") << "a.b c"
                                                << "b c";
    QTest::newRow("japanese name") << "日本語.ﾃｷｽﾄ"
                                   << "ﾃｷｽﾄ";
}

void TestModeRules::getExtension()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QCOMPARE(ModeRules::GetExtension(name), extension);
}

void TestModeRules::transferMode_data()
{
    QTest::addColumn<QStringList>("textList");
    QTest::addColumn<int>("switchOn"); // 0 none, 5 all ASCII, 6 all binary
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode");

    QTest::newRow("html is text") << Defaults3 << 0 << "index.html" << 1;
    QTest::newRow("matching ignores case") << Defaults3 << 0 << "index.HTML" << 1;
    QTest::newRow("entry in capitals matches") << QStringList { "TXT" } << 0 << "a.txt" << 1;
    QTest::newRow("doc is text by default") << Defaults3 << 0 << "letter.doc" << 1;
    QTest::newRow("dat is text by default") << Defaults3 << 0 << "data.dat" << 1;
    QTest::newRow("picture is binary") << Defaults3 << 0 << "photo.jpg" << 2;
    QTest::newRow("last extension decides") << Defaults3 << 0 << "page.html.gz" << 2;
    QTest::newRow("blanks around the name") << Defaults3 << 0 << " page.htm " << 1;
    QTest::newRow("no extension is binary") << Defaults3 << 0 << "README" << 2;
    QTest::newRow("trailing dot is binary") << Defaults3 << 0 << "name." << 2;
    QTest::newRow("no extension, all ASCII") << Defaults3 << 5 << "README" << 1;
    QTest::newRow("all binary beats the list") << Defaults3 << 6 << "index.html" << 2;
    QTest::newRow("all ASCII on a picture") << Defaults3 << 5 << "photo.jpg" << 1;
    QTest::newRow("entry with a leading dot never matches") << QStringList { ".txt" } << 0 << "a.txt" << 2;
    QTest::newRow("empty list sends binary") << QStringList {} << 0 << "a.txt" << 2;
    QTest::newRow("empty entry does not make a bare name text") << QStringList { "" } << 0 << "Makefile" << 2;
}

void TestModeRules::transferMode()
{
    QFETCH(QStringList, textList);
    QFETCH(int, switchOn);
    QFETCH(QString, name);
    QFETCH(int, mode);

    load(blocks(textList, {}));
    if (switchOn == 5)
        m_rules->setAllAscii(true);
    if (switchOn == 6)
        m_rules->setAllBinary(true);
    const TransferType expected = mode == 1 ? TransferType::Ascii : TransferType::Binary;
    QCOMPARE(m_rules->SetTransferMode(name), expected);
    QCOMPARE(m_rules->indicator(), expected);
}

void TestModeRules::sendable_data()
{
    QTest::addColumn<QStringList>("neverList");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sendable");
    QTest::newRow("bak is never sent") << Defaults4 << "backup.bak" << false;
    QTest::newRow("matching respects case") << Defaults4 << "backup.BAK" << true;
    QTest::newRow("dollar extension") << Defaults4 << "TempPut.$$$" << false;
    QTest::newRow("blanks around the name") << Defaults4 << " x.tmp " << false;
    QTest::newRow("html is sent") << Defaults4 << "index.html" << true;
    QTest::newRow("no extension is sent") << Defaults4 << "README" << true;
    QTest::newRow("empty entry blocks nothing") << QStringList { "" } << "README" << true;
}

void TestModeRules::sendable()
{
    QFETCH(QStringList, neverList);
    QFETCH(QString, name);
    QFETCH(bool, sendable);
    load(blocks(Defaults3, neverList));
    QCOMPARE(m_rules->IsSendable(name), sendable);
}

void TestModeRules::loadModeLists_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("text");
    QTest::addColumn<QStringList>("never");
    QTest::addColumn<QStringList>("linesAfter");
    QTest::addColumn<bool>("saved");

    const QStringList profile { "<管理用の名前（任意の名前）>", "p", "</管理用の名前（任意の名前）>" };
    QTest::newRow("blocks read in order")
        << profile + blocks({ "txt", "php" }, { "bak" }) << QStringList { "txt", "php" } << QStringList { "bak" }
        << profile + blocks({ "txt", "php" }, { "bak" }) << false;
    QTest::newRow("empty text block: every file binary")
        << blocks({}, Defaults4) << QStringList {} << Defaults4 << blocks({}, Defaults4) << false;
    QTest::newRow("no SetText: defaults appended and saved")
        << profile << Defaults3 << Defaults4 << profile + blocks(Defaults3, Defaults4) << true;
    QTest::newRow("no SetText but NotText: one NotText block")
        << QStringList { "<NotText>", "old", "</NotText>", "x" } << Defaults3 << Defaults4
        << QStringList { "<NotText>" } + Defaults4 + QStringList { "</NotText>", "x", "<SetText>" } + Defaults3
            + QStringList { "</SetText>" }
        << true;
    QTest::newRow("two text blocks both count")
        << QStringList { "<SetText>", "a", "</SetText>", "<SetText>", "b", "</SetText>" } << QStringList { "a", "b" }
        << QStringList {} << QStringList { "<SetText>", "a", "</SetText>", "<SetText>", "b", "</SetText>" } << false;
}

void TestModeRules::loadModeLists()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, text);
    QFETCH(QStringList, never);
    QFETCH(QStringList, linesAfter);
    QFETCH(bool, saved);

    load(lines);
    QCOMPARE(m_rules->textExtensions(), text);
    QCOMPARE(m_rules->neverSendExtensions(), never);
    QCOMPARE(m_lines->lines(), linesAfter);
    QCOMPARE(QFile::exists(iniPath()), saved);
    if (saved)
        QCOMPARE(fileLines(iniPath()), linesAfter);
}

void TestModeRules::restoreDefaultsRewritesTheBlocks()
{
    load(QStringList { "a" } + blocks({ "php", "txt" }, { "old" })
        + QStringList { "<SetText>", "dup", "</SetText>", "z" });
    m_rules->setAllAscii(true);
    QVERIFY(!m_rules->textListEnabled());

    m_rules->restoreDefaults(); // Command7(2)

    QCOMPARE(m_rules->textExtensions(), Defaults3);
    QCOMPARE(m_rules->neverSendExtensions(), Defaults4);
    QVERIFY(!m_rules->allAscii());
    QVERIFY(m_rules->textListEnabled());
    const QStringList expected = QStringList { "a" } + blocks(Defaults3, Defaults4) + QStringList { "z" };
    QCOMPARE(m_lines->lines(), expected);
    QCOMPARE(fileLines(iniPath()), expected);

    // Reloading gives the same lists: nothing is counted twice.
    ModeRules again(*m_lines);
    again.LoadModeLists();
    QCOMPARE(again.textExtensions(), Defaults3);
}

void TestModeRules::addEntries()
{
    load(QStringList { "<SetText>", "txt", "</SetText>", "x", "</SetText>" });
    QVERIFY(!m_rules->addTextExtension(QStringLiteral("   ")));
    QVERIFY(!QFile::exists(iniPath()));

    QVERIFY(m_rules->addTextExtension(QStringLiteral(" php "))); // Command7(5)
    QCOMPARE(m_rules->textExtensions(), (QStringList { "txt", "php" }));
    QVERIFY(m_rules->addNeverSendExtension(QStringLiteral("old"))); // Command7(6): no block yet
    QCOMPARE(m_rules->neverSendExtensions(), (QStringList { "old" }));
    const QStringList expected { "<SetText>", "txt", "php", "</SetText>", "x", "</SetText>", "<NotText>", "old",
        "</NotText>" };
    QCOMPARE(m_lines->lines(), expected);
    QCOMPARE(fileLines(iniPath()), expected);

    QCOMPARE(m_rules->SetTransferMode(QStringLiteral("index.PHP")), TransferType::Ascii);
    QVERIFY(!m_rules->IsSendable(QStringLiteral("a.old")));
}

void TestModeRules::deleteSelectedEntries()
{
    load(QStringList { "p" } + blocks({ "txt", "htm", "txt", "css" }, { "tmp", "bak", "$$$" }) + QStringList { "q" });
    // Command7(7): the second "txt" and "css" of the text list, "tmp" and "$$$" of the never-send list.
    m_rules->deleteEntries({ 3, 2 }, { 0, 2, 7 });
    QCOMPARE(m_rules->textExtensions(), (QStringList { "txt", "htm" }));
    QCOMPARE(m_rules->neverSendExtensions(), (QStringList { "bak" }));
    const QStringList expected = QStringList { "p" } + blocks({ "txt", "htm" }, { "bak" }) + QStringList { "q" };
    QCOMPARE(m_lines->lines(), expected);
    QCOMPARE(fileLines(iniPath()), expected);
}

QTEST_GUILESS_MAIN(TestModeRules)
#include "tst_moderules.moc"
