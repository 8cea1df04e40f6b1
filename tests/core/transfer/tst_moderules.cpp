#include "core/app/codepage.h"
#include "core/app/textfile.h"
#include "core/settings/settingslines.h"
#include "core/transfer/moderules.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList Texts = ModeRules::defaultTextExtensions();
const QStringList NeverSend = ModeRules::defaultNeverSendExtensions();

QStringList blocks(const QStringList& text, const QStringList& never)
{
    return QStringList { "<SetText>" } + text + QStringList { "</SetText>", "<NotText>" } + never
        + QStringList { "</NotText>" };
}

} // namespace

// The transfer type and never-send rules, and the two lists kept in the settings lines.
class TestModeRules : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<ModeRules> m_rules;

    QString iniPath() const { return m_dir->filePath(u"ftpset.ini"_s); }
    void load(const QStringList& lines)
    {
        m_lines->setLines(lines);
        m_rules->LoadModeLists();
    }
    // The lines are what the file holds.
    void checkSaved(const QStringList& lines)
    {
        QCOMPARE(m_lines->lines(), lines);
        QCOMPARE(TextFile::readLines(iniPath()).value_or(QStringList { "<missing>" }), lines);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_lines = std::make_unique<SettingsLines>();
        m_lines->setFilePath(iniPath());
        m_rules = std::make_unique<ModeRules>(*m_lines);
        for (QAbstractItemModel* model : { m_rules->textExtensionModel(), m_rules->neverSendExtensionModel() })
            new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, m_rules.get());
    }

    void getExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        const auto row
            = [](const char* tag, const QString& name, const QString& ext) { QTest::newRow(tag) << name << ext; };
        row("plain", u"index.html"_s, u"html"_s);
        row("case kept", u"index.HTML"_s, u"HTML"_s);
        row("two dots", u"archive.tar.gz"_s, u"gz"_s);
        row("blanks around", u"  page.htm  "_s, u"htm"_s);
        row("ideographic blank around", u"\u3000page.htm\u3000"_s, u"htm"_s);
        row("no dot", u"README"_s, QString());
        row("ends with a dot", u"name."_s, QString());
        row("dot file", u".htaccess"_s, u"htaccess"_s);
        row("blank inside the extension", u"a.b c"_s, u"b c"_s);
        row("japanese name", u"日本語.ﾃｷｽﾄ"_s, u"ﾃｷｽﾄ"_s);
    }
    void getExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QCOMPARE(ModeRules::GetExtension(name), extension);
    }

    void transferMode_data()
    {
        QTest::addColumn<QStringList>("textList");
        QTest::addColumn<int>("switchOn"); // 0 none, 5 all ASCII, 6 all binary
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("ascii");
        const auto row = [](const char* tag, const QStringList& list, int switchOn, const QString& name, bool ascii) {
            QTest::newRow(tag) << list << switchOn << name << ascii;
        };
        row("html is text", Texts, 0, u"index.html"_s, true);
        row("matching ignores case", Texts, 0, u"index.HTML"_s, true);
        row("entry in capitals matches", { "TXT" }, 0, u"a.txt"_s, true);
        row("doc is text by default", Texts, 0, u"letter.doc"_s, true);
        row("dat is text by default", Texts, 0, u"data.dat"_s, true);
        row("picture is binary", Texts, 0, u"photo.jpg"_s, false);
        row("last extension decides", Texts, 0, u"page.html.gz"_s, false);
        row("blanks around the name", Texts, 0, u" page.htm "_s, true);
        row("no extension is binary", Texts, 0, u"README"_s, false);
        row("trailing dot is binary", Texts, 0, u"name."_s, false);
        row("no extension, all ASCII", Texts, 5, u"README"_s, true);
        row("all binary beats the list", Texts, 6, u"index.html"_s, false);
        row("all ASCII on a picture", Texts, 5, u"photo.jpg"_s, true);
        row("entry with a leading dot never matches", { ".txt" }, 0, u"a.txt"_s, false);
        row("empty list sends binary", {}, 0, u"a.txt"_s, false);
        row("empty entry does not make a bare name text", { "" }, 0, u"Makefile"_s, false);
    }
    void transferMode()
    {
        QFETCH(QStringList, textList);
        QFETCH(int, switchOn);
        QFETCH(QString, name);
        QFETCH(bool, ascii);
        load(blocks(textList, {}));
        m_rules->setAllAscii(switchOn == 5);
        m_rules->setAllBinary(switchOn == 6);
        const TransferType expected = ascii ? TransferType::Ascii : TransferType::Binary;
        QCOMPARE(m_rules->SetTransferMode(name), expected);
        QCOMPARE(m_rules->indicator(), expected);
    }

    void sendable_data()
    {
        QTest::addColumn<QStringList>("neverList");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("sendable");
        QTest::newRow("bak is never sent") << NeverSend << u"backup.bak"_s << false;
        QTest::newRow("matching respects case") << NeverSend << u"backup.BAK"_s << true;
        QTest::newRow("dollar extension") << NeverSend << u"TempPut.$$$"_s << false;
        QTest::newRow("blanks around the name") << NeverSend << u" x.tmp "_s << false;
        QTest::newRow("html is sent") << NeverSend << u"index.html"_s << true;
        QTest::newRow("no extension is sent") << NeverSend << u"README"_s << true;
        QTest::newRow("empty entry blocks nothing") << QStringList { "" } << u"README"_s << true;
    }
    void sendable()
    {
        QFETCH(QStringList, neverList);
        QFETCH(QString, name);
        QFETCH(bool, sendable);
        load(blocks(Texts, neverList));
        QCOMPARE(m_rules->IsSendable(name), sendable);
    }

    void loadModeLists_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("text");
        QTest::addColumn<QStringList>("never");
        QTest::addColumn<QStringList>("linesAfter"); // empty: unchanged and not saved
        const QStringList p { "<管理用の名前（任意の名前）>", "p", "</管理用の名前（任意の名前）>" };
        QTest::newRow("blocks read in order") << p + blocks({ "txt", "php" }, { "bak" }) << QStringList { "txt", "php" }
                                              << QStringList { "bak" } << QStringList {};
        QTest::newRow("empty text block: every file binary")
            << blocks({}, NeverSend) << QStringList {} << NeverSend << QStringList {};
        QTest::newRow("no SetText: defaults appended and saved")
            << p << Texts << NeverSend << p + blocks(Texts, NeverSend);
        QTest::newRow("no SetText but NotText: one NotText block")
            << QStringList { "<NotText>", "old", "</NotText>", "x" } << Texts << NeverSend
            << QStringList { "<NotText>" } + NeverSend + QStringList { "</NotText>", "x", "<SetText>" } + Texts
                + QStringList { "</SetText>" };
        QTest::newRow("two text blocks both count")
            << QStringList { "<SetText>", "a", "</SetText>", "<SetText>", "b", "</SetText>" }
            << QStringList { "a", "b" } << QStringList {} << QStringList {};
    }
    void loadModeLists()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, text);
        QFETCH(QStringList, never);
        QFETCH(QStringList, linesAfter);
        load(lines);
        QCOMPARE(m_rules->textExtensions(), text);
        QCOMPARE(m_rules->neverSendExtensions(), never);
        if (linesAfter.isEmpty()) {
            QCOMPARE(m_lines->lines(), lines);
            QVERIFY(!QFile::exists(iniPath()));
        } else {
            checkSaved(linesAfter);
        }
    }

    void restoreDefaultsRewritesTheBlocks()
    {
        load(QStringList { "a" } + blocks({ "php", "txt" }, { "old" })
            + QStringList { "<SetText>", "dup", "</SetText>", "z" });
        m_rules->setAllAscii(true);
        QVERIFY(!m_rules->textListEnabled());
        m_rules->restoreDefaults();
        QCOMPARE(m_rules->textExtensions(), Texts);
        QCOMPARE(m_rules->neverSendExtensions(), NeverSend);
        QVERIFY(!m_rules->allAscii());
        QVERIFY(m_rules->textListEnabled());
        checkSaved(QStringList { "a" } + blocks(Texts, NeverSend) + QStringList { "z" });
        // Reloading gives the same lists: nothing is counted twice.
        ModeRules again(*m_lines);
        again.LoadModeLists();
        QCOMPARE(again.textExtensions(), Texts);
    }

    void addAndDeleteEntries()
    {
        load(QStringList { "<SetText>", "txt", "</SetText>", "x", "</SetText>" });
        QVERIFY(!m_rules->addTextExtension(u"   "_s));
        QVERIFY(!QFile::exists(iniPath()));
        QVERIFY(m_rules->addTextExtension(u" php "_s));
        QVERIFY(m_rules->addNeverSendExtension(u"old"_s)); // no block yet
        QCOMPARE(m_rules->textExtensions(), (QStringList { "txt", "php" }));
        QCOMPARE(m_rules->neverSendExtensions(), (QStringList { "old" }));
        checkSaved({ "<SetText>", "txt", "php", "</SetText>", "x", "</SetText>", "<NotText>", "old", "</NotText>" });
        QCOMPARE(m_rules->SetTransferMode(u"index.PHP"_s), TransferType::Ascii);
        QVERIFY(!m_rules->IsSendable(u"a.old"_s));

        load(QStringList { "p" } + blocks({ "txt", "htm", "txt", "css" }, { "tmp", "bak", "$$$" })
            + QStringList { "q" });
        // The second "txt" and "css" of the text list, "tmp" and "$$$" of the never-send list; 7 is no row.
        m_rules->deleteEntries({ 3, 2 }, { 0, 2, 7 });
        QCOMPARE(m_rules->textExtensions(), (QStringList { "txt", "htm" }));
        QCOMPARE(m_rules->neverSendExtensions(), (QStringList { "bak" }));
        checkSaved(QStringList { "p" } + blocks({ "txt", "htm" }, { "bak" }) + QStringList { "q" });
    }
};

QTEST_GUILESS_MAIN(TestModeRules)
#include "tst_moderules.moc"
