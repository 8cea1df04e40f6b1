#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/settings/options.h"
#include "core/settings/settingslines.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace SettingsFiles;

class TestSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void firstPlatformFileLoadsUnchanged();
    void handEditedFileIsTrimmedOnSave();
    void applyRules_data();
    void applyRules();
    void profileNamesInFileOrder();
    void updateOrAppend_data();
    void updateOrAppend();
    void optionsSurviveASaveAndAStart();
    void textBoxesReachTheFileWhenTheyLoseFocus();
    void localProxyOptionWaitsForTheNextSave();
    void proxyPreset_data();
    void proxyPreset();
    void blankMailIsNotStored();
    void startUpWithoutFileUsesDefaults();
    void unreadableFileIsSetAside();
    void failedLoadKeepsTheList();
    void failedSaveTellsTheUser();
    void trimBlanks_data();
    void trimBlanks();

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("ftpset.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<Options> m_options;
    ScriptedDialogs m_dialogs;
};

void TestSettingsFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    qputenv("FTPTARVO_HOME", m_dir->path().toLocal8Bit());
    DataFolder::reset();
    m_lines = std::make_unique<SettingsLines>();
    m_lines->setDialogs(&m_dialogs);
    m_options = std::make_unique<Options>(*m_lines);
    m_dialogs.clear();
}

void TestSettingsFile::cleanup()
{
    m_options.reset();
    m_lines.reset();
    m_dir.reset();
    DataFolder::reset();
}

void TestSettingsFile::firstPlatformFileLoadsUnchanged()
{
    const QByteArray original = readBytes(dataFile(QStringLiteral("firstplatform.ini")));
    QVERIFY(QFile::copy(dataFile(QStringLiteral("firstplatform.ini")), iniPath()));
    QFile::setPermissions(iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);

    m_options->loadAtStartUp(&m_dialogs);

    QVERIFY(m_dialogs.asked.isEmpty());
    QCOMPARE(m_lines->count(), 110);
    QCOMPARE(m_options->useProxy(), false);
    QCOMPARE(m_options->bypassProxyForLocalEnabled(), false);
    QCOMPARE(m_options->passiveMode(), true);
    QCOMPARE(m_options->uploadNameCase(), 1);
    QCOMPARE(m_options->mailAddress(), QStringLiteral("taro@example.ne.jp"));
    QCOMPARE(m_options->serverTimesAsLocal(), false); // the second profile's OFF comes last
    QCOMPARE(m_options->viewOption(0), false);
    QCOMPARE(m_options->viewOption(1), true);
    QCOMPARE(m_options->viewOption(2), true);
    QCOMPARE(m_options->codeConversion(0), 1);
    QCOMPARE(m_options->codeConversion(1), 0);
    QCOMPARE(m_options->skipExternalLinks(), true);
    QCOMPARE(m_options->useConsoleConnection(0), true);
    QCOMPARE(m_options->consoleProxyText(0), QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ接続"));
    QCOMPARE(m_options->profileNameModel()->stringList(),
        (QStringList { QStringLiteral("ホームページ"), QStringLiteral("会社のサーバー①") }));

    // Applying ran the handlers of the options that differ from the initial state, which saved
    // the file: byte for byte what was read, now private to the user.
    QCOMPARE(readBytes(iniPath()), original);
    QVERIFY(ownerOnly(iniPath()));
}

void TestSettingsFile::handEditedFileIsTrimmedOnSave()
{
    QVERIFY(QFile::copy(dataFile(QStringLiteral("handedited.ini")), iniPath()));
    m_options->loadAtStartUp(&m_dialogs);

    // Lines with blanks around a tag are not recognised while loading.
    QCOMPARE(m_options->passiveMode(), false);
    QCOMPARE(m_options->mailAddress(), QString());
    QCOMPARE(m_options->useProxy(), false);
    QCOMPARE(m_options->uploadNameCase(), 2);
    QCOMPARE(m_options->proxyHost(), QStringLiteral("</プロキシ名>"));
    QCOMPARE(m_options->viewOption(1), false);
    QCOMPARE(m_options->skipExternalLinks(), true);
    QCOMPARE(m_options->codeConversion(0), 1);
    QCOMPARE(m_options->codeConversion(1), 0);
    QCOMPARE(m_options->viewOption(2), false);
    QCOMPARE(m_lines->line(0), QStringLiteral("<未知の設定>"));

    QCOMPARE(readBytes(iniPath()), readBytes(dataFile(QStringLiteral("handedited.saved.ini"))));

    // Trimmed by the save, the entries are recognised from then on.
    SettingsLines lines;
    Options options(lines);
    QVERIFY(lines.LoadSettingsFile(iniPath()));
    QCOMPARE(options.passiveMode(), true);
    QCOMPARE(options.mailAddress(), QStringLiteral("hanako@example.jp"));
    QCOMPARE(options.useProxy(), false); // the tab is no blank
}

void TestSettingsFile::applyRules_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QVariant>("expected");

    const QString passive = QStringLiteral("<パッシブ>");
    const QString nameCase = QStringLiteral("<ﾌｧｲﾙ転送時の名前>");
    const QString sjisEuc = QStringLiteral("<SJIS-EUC>");
    QTest::newRow("passive as the last line") << QStringList { passive } << "chkPassive" << QVariant(false);
    QTest::newRow("passive ON") << QStringList { passive, "ON" } << "chkPassive" << QVariant(true);
    QTest::newRow("passive on in lower case") << QStringList { passive, "on" } << "chkPassive" << QVariant(false);
    QTest::newRow("passive with blanks around the tag")
        << QStringList { " " + passive + " ", "ON" } << "chkPassive" << QVariant(false);
    QTest::newRow("duplicate: the last occurrence wins, ON then OFF")
        << QStringList { passive, "ON", "</パッシブ>", passive, "OFF" } << "chkPassive" << QVariant(false);
    QTest::newRow("duplicate: the last occurrence wins, OFF then ON")
        << QStringList { passive, "OFF", "</パッシブ>", passive, "ON" } << "chkPassive" << QVariant(true);
    QTest::newRow("skipped delete-mode tag before a tag")
        << QStringList { "<ﾌｫﾙﾀﾞｰやﾌｧｲﾙの消去モード>", passive, "ON" } << "chkPassive" << QVariant(true);
    QTest::newRow("NORMAL") << QStringList { nameCase, "NORMAL" } << "Option5" << QVariant(0);
    QTest::newRow("SMALL") << QStringList { nameCase, "SMALL" } << "Option5" << QVariant(1);
    QTest::newRow("BIG") << QStringList { nameCase, "BIG" } << "Option5" << QVariant(2);
    QTest::newRow("small in lower case selects BIG") << QStringList { nameCase, "small" } << "Option5" << QVariant(2);
    QTest::newRow("empty case value selects BIG") << QStringList { nameCase, "" } << "Option5" << QVariant(2);
    QTest::newRow("absent case entry keeps NORMAL") << QStringList {} << "Option5" << QVariant(0);
    QTest::newRow("browse OFF checks Check8") << QStringList { "<ブラウズ>", "OFF" } << "Check8" << QVariant(true);
    QTest::newRow("browse ON leaves Check8") << QStringList { "<ブラウズ>", "ON" } << "Check8" << QVariant(false);
    QTest::newRow("Localtime ON then OFF") << QStringList { "<Localtime>", "ON", "</Localtime>", "<Localtime>", "OFF",
        "</Localtime>" } << "Check9" << QVariant(false);
    QTest::newRow("Localtime OFF then ON") << QStringList { "<Localtime>", "OFF", "</Localtime>", "<Localtime>", "ON",
        "</Localtime>" } << "Check9" << QVariant(true);
    QTest::newRow("proxy ON enables Check3") << QStringList { "<プロキシ>", "ON" } << "Check3Enabled" << QVariant(true);
    QTest::newRow("proxy OFF") << QStringList { "<プロキシ>", "OFF" } << "Check3Enabled" << QVariant(false);
    QTest::newRow("local ON") << QStringList { "<ローカル>", "ON" } << "Check3" << QVariant(true);
    QTest::newRow("file display absent stays checked") << QStringList {} << "Check10_0" << QVariant(true);
    QTest::newRow("file display OFF") << QStringList { "<ファイル表示>", "OFF" } << "Check10_0" << QVariant(false);
    QTest::newRow("file colour ON") << QStringList { "<ファイル色>", "ON" } << "Check10_1" << QVariant(true);
    QTest::newRow("link stop ON") << QStringList { "<LinkStop>", "ON" } << "Check10_2" << QVariant(true);
    QTest::newRow("SJIS-EUC 1") << QStringList { sjisEuc, "1" } << "Check11_0" << QVariant(1);
    QTest::newRow("SJIS-EUC leading number") << QStringList { sjisEuc, " 1abc" } << "Check11_0" << QVariant(1);
    QTest::newRow("SJIS-EUC no number") << QStringList { sjisEuc, "x" } << "Check11_0" << QVariant(0);
    QTest::newRow("SJIS-EUC out of range") << QStringList { sjisEuc, "2" } << "Check11_0" << QVariant(0);
    QTest::newRow("EUC-SJIS 1") << QStringList { "<EUC-SJIS>", "1" } << "Check11_1" << QVariant(1);
    QTest::newRow("tag without value takes the next line")
        << QStringList { "<プロキシ名>", "</プロキシ名>" } << "txtProxy" << QVariant(QStringLiteral("</プロキシ名>"));
    QTest::newRow("proxy port") << QStringList { "<プロキシポート>", "8080" } << "TxtPport" << QVariant("8080");
    QTest::newRow("proxy password in plain")
        << QStringList { "<プロキシパスワード>", "pa ss" } << "Txtpro_1" << QVariant("pa ss");
    QTest::newRow("mail") << QStringList { "<メール>", "a@example.jp" } << "Text13" << QVariant("a@example.jp");
    QTest::newRow("connection restored") << QStringList { "<コネクション>", "ON" } << "Check7_0" << QVariant(true);
}

void TestSettingsFile::applyRules()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, control);
    QFETCH(QVariant, expected);

    m_lines->setLines(lines);
    m_options->ApplySettings();

    const Options& o = *m_options;
    const QHash<QString, std::function<QVariant()>> read {
        { "chkPassive", [&] { return QVariant(o.passiveMode()); } },
        { "Option5", [&] { return QVariant(o.uploadNameCase()); } },
        { "Check8", [&] { return QVariant(o.skipExternalLinks()); } },
        { "Check9", [&] { return QVariant(o.serverTimesAsLocal()); } },
        { "Check3", [&] { return QVariant(o.bypassProxyForLocal()); } },
        { "Check3Enabled", [&] { return QVariant(o.bypassProxyForLocalEnabled()); } },
        { "Check10_0", [&] { return QVariant(o.viewOption(0)); } },
        { "Check10_1", [&] { return QVariant(o.viewOption(1)); } },
        { "Check10_2", [&] { return QVariant(o.viewOption(2)); } },
        { "Check11_0", [&] { return QVariant(o.codeConversion(0)); } },
        { "Check11_1", [&] { return QVariant(o.codeConversion(1)); } },
        { "Check7_0", [&] { return QVariant(o.useConsoleConnection(0)); } },
        { "txtProxy", [&] { return QVariant(o.proxyHost()); } },
        { "TxtPport", [&] { return QVariant(o.proxyPort()); } },
        { "Txtpro_1", [&] { return QVariant(o.proxyCredential(1)); } },
        { "Text13", [&] { return QVariant(o.mailAddress()); } },
    };
    QVERIFY(read.contains(control));
    QCOMPARE(read.value(control)(), expected);
}

void TestSettingsFile::profileNamesInFileOrder()
{
    const QString tag = QStringLiteral("<管理用の名前（任意の名前）>");
    m_lines->setLines({ tag, "b", "</管理用の名前（任意の名前）>", " " + tag, "not a profile", tag, "a", tag });
    m_options->ApplySettings();
    // A tag standing as the last line names a profile with the empty name.
    QCOMPARE(m_options->profileNameModel()->stringList(), (QStringList { "b", "a", "" }));
}

void TestSettingsFile::updateOrAppend_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    const QString t = QStringLiteral("<パッシブ>");
    const QString c = QStringLiteral("</パッシブ>");
    QTest::newRow("updated in place") << QStringList { "x", t, "OFF", c, "y" } << QStringList { "x", t, "ON", c, "y" };
    QTest::newRow("every occurrence updated")
        << QStringList { t, "OFF", c, t, "OFF", c } << QStringList { t, "ON", c, t, "ON", c };
    QTest::newRow("appended when absent") << QStringList { "x" } << QStringList { "x", t, "ON", c };
    QTest::newRow("padded tag is another line")
        << QStringList { " " + t, "OFF" } << QStringList { " " + t, "OFF", t, "ON", c };
    QTest::newRow("tag as the last line gets its value") << QStringList { "x", t } << QStringList { "x", t, "ON", c };
}

void TestSettingsFile::updateOrAppend()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    m_lines->setLines(before);
    m_lines->updateOrAppend(QStringLiteral("<パッシブ>"), QStringLiteral("ON"));
    QCOMPARE(m_lines->lines(), after);
    QVERIFY(!QFile::exists(iniPath())); // the rule itself never saves
}

void TestSettingsFile::optionsSurviveASaveAndAStart()
{
    // Every option away from its default, each stored the way its control stores it; a line the
    // program does not know stays.
    m_lines->setLines({ QStringLiteral("<未知>") });
    m_options->setUseProxy(true);
    m_options->setPassiveMode(true);
    m_options->setUploadNameCase(1);
    m_options->setSkipExternalLinks(true);
    m_options->setMailAddress(QStringLiteral(" hanako@example.jp "));
    m_options->mailAddressEditingFinished();
    m_options->setUseConsoleConnection(0, true);
    m_options->setConsoleProxyText(0, QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ"));
    m_options->consoleProxyTextEditingFinished(0);
    m_options->setViewOption(0, false);
    m_options->setViewOption(1, true);
    m_options->setViewOption(2, true);
    m_options->setCodeConversion(0, 1);
    m_options->codeConversionEditingFinished(0);
    QVERIFY(ownerOnly(iniPath()));
    QVERIFY(readBytes(iniPath()).startsWith(cp932Lines({ QStringLiteral("<未知>") })));

    SettingsLines lines;
    Options next(lines);
    next.loadAtStartUp(nullptr);
    QVERIFY(next.useProxy());
    QVERIFY(next.passiveMode());
    QCOMPARE(next.uploadNameCase(), 1);
    QVERIFY(next.skipExternalLinks());
    QCOMPARE(next.mailAddress(), QStringLiteral("hanako@example.jp"));
    QVERIFY(next.useConsoleConnection(0));
    QCOMPARE(next.consoleProxyText(0), QStringLiteral("ﾀﾞｲｱﾙｱｯﾌﾟ"));
    QVERIFY(!next.viewOption(0));
    QVERIFY(next.viewOption(1));
    QVERIFY(next.viewOption(2));
    QCOMPARE(next.codeConversion(0), 1);
    QCOMPARE(next.codeConversion(1), 0);
}

void TestSettingsFile::textBoxesReachTheFileWhenTheyLoseFocus()
{
    m_lines->setLines({});
    m_options->setProxyPort(QStringLiteral("8080"));
    QCOMPARE(m_lines->lines(), (QStringList { "<プロキシポート>", "8080", "</プロキシポート>" }));
    QVERIFY(!QFile::exists(iniPath()));

    // The program ends without the box losing focus: the next start does not know the port.
    {
        SettingsLines lines;
        Options options(lines);
        options.loadAtStartUp(nullptr);
        QCOMPARE(options.proxyPort(), QString());
    }

    m_options->proxyPortEditingFinished();
    QCOMPARE(readBytes(iniPath()), cp932Lines({ "<プロキシポート>", "8080", "</プロキシポート>" }));

    m_options->setProxyHost(QStringLiteral("proxy.example.jp"));
    m_options->setProxyCredential(0, QStringLiteral("user"));
    QCOMPARE(readBytes(iniPath()), cp932Lines({ "<プロキシポート>", "8080", "</プロキシポート>" }));
    m_options->proxyHostEditingFinished();
    QCOMPARE(readBytes(iniPath()),
        cp932Lines({ "<プロキシポート>", "8080", "</プロキシポート>", "<プロキシ名>", "proxy.example.jp",
            "</プロキシ名>", "<プロキシユーザー名>", "user", "</プロキシユーザー名>" }));
}

void TestSettingsFile::localProxyOptionWaitsForTheNextSave()
{
    m_lines->setLines({});
    m_options->setBypassProxyForLocal(true);
    QVERIFY(!QFile::exists(iniPath()));
    m_options->setPassiveMode(true);
    QCOMPARE(
        readBytes(iniPath()), cp932Lines({ "<ローカル>", "ON", "</ローカル>", "<パッシブ>", "ON", "</パッシブ>" }));
}

void TestSettingsFile::proxyPreset_data()
{
    QTest::addColumn<int>("focusBox");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("passwordAfter");
    QTest::newRow("code typed, password box left") << 1 << "qzr60317"
                                                   << "127.0.0.1"
                                                   << "2121"
                                                   << "";
    QTest::newRow("code typed, user box left") << 0 << "qzr60317"
                                               << "127.0.0.1"
                                               << "2121"
                                               << "";
    QTest::newRow("code with a blank is a password") << 1 << "qzr60317 "
                                                     << ""
                                                     << ""
                                                     << "qzr60317 ";
    QTest::newRow("ordinary password") << 1 << "secret"
                                       << ""
                                       << ""
                                       << "secret";
}

void TestSettingsFile::proxyPreset()
{
    QFETCH(int, focusBox);
    QFETCH(QString, password);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, passwordAfter);

    m_lines->setLines({});
    m_options->setUseProxy(true);
    m_options->setProxyCredential(1, password);
    m_options->proxyCredentialEditingFinished(focusBox);

    QCOMPARE(m_options->proxyHost(), host);
    QCOMPARE(m_options->proxyPort(), port);
    QCOMPARE(m_options->proxyCredential(1), passwordAfter);
    // Whatever was typed, leaving the box saved it.
    SettingsLines reread;
    QVERIFY(reread.LoadSettingsFile(iniPath()));
    QCOMPARE(reread.valueOf(QStringLiteral("<プロキシパスワード>")).value_or("<none>"), passwordAfter.trimmed());
    QCOMPARE(reread.valueOf(QStringLiteral("<プロキシ名>")).value_or(QString()), host);
    QCOMPARE(reread.valueOf(QStringLiteral("<プロキシポート>")).value_or(QString()), port);
}

void TestSettingsFile::blankMailIsNotStored()
{
    m_lines->setLines({ "<メール>", "old@example.jp", "</メール>" });
    m_options->ApplySettings();
    m_options->setMailAddress(QStringLiteral(" \u3000 "));
    m_options->mailAddressEditingFinished();
    QCOMPARE(m_lines->valueOf(QStringLiteral("<メール>")), QStringLiteral("old@example.jp"));
    QVERIFY(!QFile::exists(iniPath()));
}

void TestSettingsFile::startUpWithoutFileUsesDefaults()
{
    m_options->loadAtStartUp(&m_dialogs);
    QCOMPARE(m_lines->count(), 25);
    QCOMPARE(m_options->profileNameModel()->stringList(),
        (QStringList { SettingsLines::defaultProfileName(0), SettingsLines::defaultProfileName(1) }));
    QCOMPARE(m_options->uploadNameCase(), 0);
    QCOMPARE(m_options->viewOption(0), true);
    QCOMPARE(m_options->bypassProxyForLocalEnabled(), false);
    QVERIFY(!QFile::exists(iniPath())); // the first save brings the file into being
    QVERIFY(m_dialogs.asked.isEmpty());

    QVERIFY(m_lines->SaveSettings());
    QCOMPARE(readBytes(iniPath()), readBytes(dataFile(QStringLiteral("default.ini"))));
    QVERIFY(ownerOnly(iniPath()));
}

void TestSettingsFile::unreadableFileIsSetAside()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ftpset.ini")));
    m_options->loadAtStartUp(&m_dialogs);
    QCOMPARE(m_dialogs.asked.size(), 1);
    QVERIFY(m_dialogs.asked.first().text.contains(QStringLiteral("読み込めませんでした")));
    QVERIFY(QFileInfo(iniPath() + QStringLiteral(".unreadable")).isDir());
    QCOMPARE(m_lines->count(), 25);
    QVERIFY(m_lines->SaveSettings());
    QCOMPARE(readBytes(iniPath()), readBytes(dataFile(QStringLiteral("default.ini"))));
}

void TestSettingsFile::failedLoadKeepsTheList()
{
    m_lines->setLines({ "<パッシブ>", "ON" });
    QVERIFY(!m_lines->LoadSettingsFile(m_dir->filePath(QStringLiteral("FTPSet1missing.txt"))));
    QCOMPARE(m_lines->lines(), (QStringList { "<パッシブ>", "ON" }));
    QCOMPARE(m_options->passiveMode(), false); // not applied
}

void TestSettingsFile::failedSaveTellsTheUser()
{
    // A folder stands where the file should be: the save fails even for root, and nothing is lost.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("ftpset.ini/keep")));
    QSignalSpy failed(m_lines.get(), &SettingsLines::saveFailed);
    m_lines->setLines({ "<パッシブ>" });
    m_options->setPassiveMode(true);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(m_dialogs.asked.size(), 1);
    QVERIFY(m_dialogs.asked.first().text.startsWith(QStringLiteral("設定を保存できませんでした。")));
    QVERIFY(QFileInfo(iniPath() + QStringLiteral("/keep")).isDir());
    const QStringList leftovers = QDir(m_dir->path()).entryList(QDir::Files);
    QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u' ')));
}

void TestSettingsFile::trimBlanks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("ascii blanks") << "  <パッシブ> "
                                  << "<パッシブ>";
    QTest::newRow("ideographic blanks") << "\u3000<メール>\u3000"
                                        << "<メール>";
    QTest::newRow("tab stays") << "\t<プロキシ>"
                               << "\t<プロキシ>";
    QTest::newRow("inner blank stays") << " <FTP　パスワード> "
                                       << "<FTP　パスワード>";
    QTest::newRow("three blanks") << "   "
                                  << "";
}

void TestSettingsFile::trimBlanks()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(::trimBlanks(text), trimmed);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
