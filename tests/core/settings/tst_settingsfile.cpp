// ftpset.ini: loading and applying it, the options' rules for writing it back, start-up and
// failures. The data files are described in tests/data/settings/README.md.
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

using namespace SettingsFiles;
using namespace Qt::StringLiterals;

namespace {

// Every option, one entry each, so one comparison shows all of them.
QStringList state(const Options& o)
{
    const auto b = [](bool v) { return v ? u"1"_s : u"0"_s; };
    return { u"proxy="_s + b(o.useProxy()), u"host="_s + o.proxyHost(), u"port="_s + o.proxyPort(),
        u"user="_s + o.proxyCredential(0), u"password="_s + o.proxyCredential(1), u"passive="_s + b(o.passiveMode()),
        u"local="_s + b(o.bypassProxyForLocal()), u"case="_s + QString::number(o.uploadNameCase()),
        u"skiplinks="_s + b(o.skipExternalLinks()), u"mail="_s + o.mailAddress(),
        u"localtime="_s + b(o.serverTimesAsLocal()),
        u"view="_s + b(o.hideSystemFiles()) + b(o.noFileColours()) + b(o.stopAtMissingLink()),
        u"code="_s + QString::number(o.codeConversion(0)) + QString::number(o.codeConversion(1)),
        u"connection="_s + b(o.useConsoleConnection(0)), u"words="_s + o.consoleProxyText(0) };
}

// A fresh start on a temporary data folder.
struct Rig {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    SettingsLines lines;
    Options options { lines };
    Rig()
    {
        qputenv("FTPTARVO_HOME", dir.path().toUtf8());
        DataFolder::reset();
        lines.setDialogs(&dialogs);
    }
    ~Rig() { DataFolder::reset(); }
    QString ini() const { return dir.filePath(u"ftpset.ini"_s); }
    QString text() const { return state(options).join(u' '); }
    // What the next start reads from the file.
    QString afterRestart() const
    {
        SettingsLines next;
        Options nextOptions(next);
        nextOptions.loadAtStartUp(nullptr);
        return state(nextOptions).join(u' ');
    }
};

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstPlatformFileLoadsUnchanged()
    {
        Rig r;
        const QByteArray original = readBytes(dataFile(u"firstplatform.ini"_s));
        QVERIFY(writeBytes(r.ini(), original));
        r.options.loadAtStartUp(&r.dialogs);
        QVERIFY(r.dialogs.asked.isEmpty());
        QCOMPARE(r.lines.count(), 110);
        // The second profile's Localtime OFF comes last.
        QCOMPARE(r.text(),
            u"proxy=0 host= port= user= password= passive=1 local=0 case=1 skiplinks=1 mail=taro@example.ne.jp "
            "localtime=0 view=011 code=10 connection=1 words=ﾀﾞｲｱﾙｱｯﾌﾟ接続"_s);
        QCOMPARE(r.options.profileNameModel()->stringList(), (QStringList { u"ホームページ"_s, u"会社のサーバー①"_s }));
        // Applying ran the handlers of the options that differ from the initial state, which saved
        // the file: byte for byte what was read, now private to the user.
        QCOMPARE(readBytes(r.ini()), original);
        QVERIFY(ownerOnly(r.ini()));
    }

    void handEditedFileIsTrimmedOnSave()
    {
        Rig r;
        QVERIFY(QFile::copy(dataFile(u"handedited.ini"_s), r.ini()));
        r.options.loadAtStartUp(&r.dialogs);
        // Lines with blanks around a tag are not recognised while loading.
        QCOMPARE(r.text(),
            u"proxy=0 host=</プロキシ名> port= user= password= passive=0 local=0 case=2 skiplinks=1 mail= "
            "localtime=0 view=100 code=10 connection=0 words="_s);
        QCOMPARE(r.lines.line(0), u"<未知の設定>"_s);
        QCOMPARE(readBytes(r.ini()), readBytes(dataFile(u"handedited.saved.ini"_s)));
        // Trimmed by the save, the entries are recognised from then on; the tab is no blank.
        QCOMPARE(r.afterRestart(),
            u"proxy=0 host=</プロキシ名> port= user= password= passive=1 local=0 case=2 skiplinks=1 "
            "mail=hanako@example.jp localtime=0 view=100 code=10 connection=0 words="_s);
    }

    void applyRules_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QStringList& lines, const char* expected) {
            QTest::newRow(tag) << lines << QString::fromUtf8(expected);
        };
        const QString passive = u"<パッシブ>"_s, nameCase = u"<ﾌｧｲﾙ転送時の名前>"_s, sjisEuc = u"<SJIS-EUC>"_s;
        row("passive as the last line", { passive }, "passive=0");
        row("passive ON", { passive, "ON" }, "passive=1");
        row("passive on in lower case", { passive, "on" }, "passive=0");
        row("passive with blanks around the tag", { " " + passive + " ", "ON" }, "passive=0");
        row("last occurrence wins, ON then OFF", { passive, "ON", passive, "OFF" }, "passive=0");
        row("last occurrence wins, OFF then ON", { passive, "OFF", passive, "ON" }, "passive=1");
        row("skipped delete-mode tag before a tag", { "<ﾌｫﾙﾀﾞｰやﾌｧｲﾙの消去モード>", passive, "ON" }, "passive=1");
        row("NORMAL", { nameCase, "NORMAL" }, "case=0");
        row("SMALL", { nameCase, "SMALL" }, "case=1");
        row("BIG", { nameCase, "BIG" }, "case=2");
        row("small in lower case selects BIG", { nameCase, "small" }, "case=2");
        row("empty case value selects BIG", { nameCase, "" }, "case=2");
        row("absent case entry keeps NORMAL", {}, "case=0");
        row("browse OFF skips links", { "<ブラウズ>", "OFF" }, "skiplinks=1");
        row("browse ON", { "<ブラウズ>", "ON" }, "skiplinks=0");
        row("Localtime ON then OFF", { "<Localtime>", "ON", "<Localtime>", "OFF" }, "localtime=0");
        row("Localtime OFF then ON", { "<Localtime>", "OFF", "<Localtime>", "ON" }, "localtime=1");
        row("proxy ON", { "<プロキシ>", "ON" }, "proxy=1");
        row("local ON", { "<ローカル>", "ON" }, "local=1");
        row("file display absent: system files hidden", {}, "view=100");
        row("file display OFF", { "<ファイル表示>", "OFF" }, "view=000");
        row("file colour ON", { "<ファイル色>", "ON" }, "view=110");
        row("link stop ON", { "<LinkStop>", "ON" }, "view=101");
        row("SJIS-EUC 1", { sjisEuc, "1" }, "code=10");
        row("SJIS-EUC leading number", { sjisEuc, " 1abc" }, "code=10");
        row("SJIS-EUC no number", { sjisEuc, "x" }, "code=00");
        row("SJIS-EUC out of range", { sjisEuc, "2" }, "code=00");
        row("EUC-SJIS 1", { "<EUC-SJIS>", "1" }, "code=01");
        row("tag without value takes the next line", { "<プロキシ名>", "</プロキシ名>" }, "host=</プロキシ名>");
        row("proxy port", { "<プロキシポート>", "8080" }, "port=8080");
        row("proxy user", { "<プロキシユーザー名>", "u1" }, "user=u1");
        row("proxy password in plain", { "<プロキシパスワード>", "pa ss" }, "password=pa ss");
        row("mail", { "<メール>", "a@example.jp" }, "mail=a@example.jp");
        row("connection restored", { "<コネクション>", "ON" }, "connection=1");
        row("connection words", { "<コネクション言葉>", "ﾀﾞｲｱﾙ" }, "words=ﾀﾞｲｱﾙ");
    }
    void applyRules()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        Rig r;
        r.lines.setLines(lines);
        r.options.ApplySettings();
        QVERIFY2(state(r.options).contains(expected), qPrintable(r.text()));
    }

    void profileNamesInFileOrder()
    {
        Rig r;
        const QString tag = u"<管理用の名前（任意の名前）>"_s;
        r.lines.setLines({ tag, "b", "</管理用の名前（任意の名前）>", " " + tag, "not a profile", tag, "a", tag });
        r.options.ApplySettings();
        // A tag standing as the last line names a profile with the empty name.
        QCOMPARE(r.options.profileNameModel()->stringList(), (QStringList { "b", "a", "" }));
    }

    void updateOrAppend_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        const QString t = u"<パッシブ>"_s, c = u"</パッシブ>"_s;
        QTest::newRow("updated in place")
            << QStringList { "x", t, "OFF", c, "y" } << QStringList { "x", t, "ON", c, "y" };
        QTest::newRow("every occurrence")
            << QStringList { t, "OFF", c, t, "OFF", c } << QStringList { t, "ON", c, t, "ON", c };
        QTest::newRow("appended when absent") << QStringList { "x" } << QStringList { "x", t, "ON", c };
        QTest::newRow("padded tag is another line")
            << QStringList { " " + t, "OFF" } << QStringList { " " + t, "OFF", t, "ON", c };
        QTest::newRow("tag as the last line gets its value")
            << QStringList { "x", t } << QStringList { "x", t, "ON", c };
    }
    void updateOrAppend()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        Rig r;
        r.lines.setLines(before);
        r.lines.updateOrAppend(u"<パッシブ>"_s, u"ON"_s);
        QCOMPARE(r.lines.lines(), after);
        QVERIFY(!QFile::exists(r.ini())); // the rule itself never saves
    }

    void optionsSurviveASaveAndAStart()
    {
        // Every option away from its default, each stored the way its control stores it; a line the
        // program does not know stays.
        Rig r;
        r.lines.setLines({ u"<未知>"_s });
        r.options.setUseProxy(true);
        r.options.setPassiveMode(true);
        r.options.setUploadNameCase(1);
        r.options.setSkipExternalLinks(true);
        r.options.setMailAddress(u" hanako@example.jp "_s);
        r.options.mailAddressEditingFinished();
        r.options.setUseConsoleConnection(0, true);
        r.options.setConsoleProxyText(0, u"ﾀﾞｲｱﾙｱｯﾌﾟ"_s);
        r.options.consoleProxyTextEditingFinished(0);
        r.options.setViewOption(Options::HideSystemFiles, false);
        r.options.setViewOption(Options::NoFileColours, true);
        r.options.setViewOption(Options::StopAtMissingLink, true);
        r.options.setCodeConversion(0, 1);
        r.options.codeConversionEditingFinished(0);
        QVERIFY(ownerOnly(r.ini()));
        QVERIFY(readBytes(r.ini()).startsWith(cp932Lines({ u"<未知>"_s })));
        QCOMPARE(r.afterRestart(),
            u"proxy=1 host= port= user= password= passive=1 local=0 case=1 skiplinks=1 "
            "mail=hanako@example.jp localtime=0 view=011 code=10 connection=1 words=ﾀﾞｲｱﾙｱｯﾌﾟ"_s);
    }

    void textBoxesReachTheFileWhenTheyLoseFocus()
    {
        Rig r;
        r.options.setProxyPort(u"8080"_s);
        QCOMPARE(r.lines.lines(), (QStringList { "<プロキシポート>", "8080", "</プロキシポート>" }));
        QVERIFY(!QFile::exists(r.ini()));
        r.options.proxyPortEditingFinished();
        const QByteArray port = cp932Lines({ "<プロキシポート>", "8080", "</プロキシポート>" });
        QCOMPARE(readBytes(r.ini()), port);
        r.options.setProxyHost(u"proxy.example.jp"_s);
        r.options.setProxyCredential(0, u"user"_s);
        QCOMPARE(readBytes(r.ini()), port);
        r.options.proxyHostEditingFinished();
        QCOMPARE(readBytes(r.ini()),
            port
                + cp932Lines({ "<プロキシ名>", "proxy.example.jp", "</プロキシ名>", "<プロキシユーザー名>", "user",
                    "</プロキシユーザー名>" }));
        // The option for local addresses waits for the next save of any kind.
        const QByteArray saved = readBytes(r.ini());
        r.options.setBypassProxyForLocal(true);
        QCOMPARE(readBytes(r.ini()), saved);
        r.options.setPassiveMode(true);
        QVERIFY(readBytes(r.ini()).endsWith(
            cp932Lines({ "<ローカル>", "ON", "</ローカル>", "<パッシブ>", "ON", "</パッシブ>" })));
        // A blank mail address is not stored.
        r.options.setMailAddress(u" \u3000 "_s);
        r.options.mailAddressEditingFinished();
        QVERIFY(!r.lines.valueOf(u"<メール>"_s));
    }

    void proxyPreset_data()
    {
        QTest::addColumn<int>("focusBox");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("after"); // host, port, password
        QTest::newRow("code typed, password box left") << 1 << u"qzr60317"_s << u"127.0.0.1|2121|"_s;
        QTest::newRow("code typed, user box left") << 0 << u"qzr60317"_s << u"127.0.0.1|2121|"_s;
        QTest::newRow("code with a blank is a password") << 1 << u"qzr60317 "_s << u"||qzr60317 "_s;
        QTest::newRow("ordinary password") << 1 << u"secret"_s << u"||secret"_s;
    }
    void proxyPreset()
    {
        QFETCH(int, focusBox);
        QFETCH(QString, password);
        QFETCH(QString, after);
        Rig r;
        r.options.setUseProxy(true);
        r.options.setProxyCredential(1, password);
        r.options.proxyCredentialEditingFinished(focusBox);
        QCOMPARE(QStringList({ r.options.proxyHost(), r.options.proxyPort(), r.options.proxyCredential(1) }).join(u'|'),
            after);
        // Whatever was typed, leaving the box saved it (trimmed, as every save does).
        const QStringList v = after.trimmed().split(u'|');
        QCOMPARE(r.afterRestart().section(u' ', 1, 4), u"host=%1 port=%2 user= password=%3"_s.arg(v[0], v[1], v[2]));
    }

    void startUpWithoutFileOrWithAnUnreadableOne()
    {
        Rig r;
        r.options.loadAtStartUp(&r.dialogs);
        QCOMPARE(r.options.profileNameModel()->stringList(),
            (QStringList { SettingsLines::defaultProfileName(0), SettingsLines::defaultProfileName(1) }));
        QVERIFY(!QFile::exists(r.ini())); // the first save brings the file into being
        QVERIFY(r.dialogs.asked.isEmpty());
        QVERIFY(r.lines.SaveSettings());
        QCOMPARE(readBytes(r.ini()), readBytes(dataFile(u"default.ini"_s)));
        QVERIFY(ownerOnly(r.ini()));

        // A file that cannot be read is set aside, so that the first save cannot overwrite it.
        Rig unreadable;
        QVERIFY(QDir(unreadable.dir.path()).mkdir(u"ftpset.ini"_s));
        unreadable.options.loadAtStartUp(&unreadable.dialogs);
        QCOMPARE(unreadable.dialogs.asked.size(), 1);
        QVERIFY(unreadable.dialogs.asked.first().text.contains(u"読み込めませんでした"_s));
        QVERIFY(QFileInfo(unreadable.ini() + u".unreadable"_s).isDir());
        QVERIFY(unreadable.lines.SaveSettings());
        QCOMPARE(readBytes(unreadable.ini()), readBytes(dataFile(u"default.ini"_s)));
        // A failed load keeps the list as it was, not applied.
        unreadable.lines.setLines({ "<パッシブ>", "ON" });
        QVERIFY(!unreadable.lines.LoadSettingsFile(unreadable.dir.filePath(u"FTPSet1missing.txt"_s)));
        QCOMPARE(unreadable.lines.lines(), (QStringList { "<パッシブ>", "ON" }));
        QVERIFY(!unreadable.options.passiveMode());
    }

    void failedSaveTellsTheUser()
    {
        // A folder stands where the file should be: the save fails even for root, and nothing is lost.
        Rig r;
        QVERIFY(QDir(r.dir.path()).mkpath(u"ftpset.ini/keep"_s));
        QSignalSpy failed(&r.lines, &SettingsLines::saveFailed);
        r.options.setPassiveMode(true);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(r.dialogs.asked.size(), 1);
        QVERIFY(r.dialogs.asked.first().text.startsWith(u"設定を保存できませんでした。"_s));
        QVERIFY(QFileInfo(r.ini() + u"/keep"_s).isDir());
        QCOMPARE(QDir(r.dir.path()).entryList(QDir::Files), QStringList());
    }

    void trimBlanks()
    {
        QCOMPARE(::trimBlanks(u"  <パッシブ> "_s), u"<パッシブ>"_s);
        QCOMPARE(::trimBlanks(u"\u3000<メール>\u3000"_s), u"<メール>"_s);
        QCOMPARE(::trimBlanks(u"\t<プロキシ>"_s), u"\t<プロキシ>"_s); // a tab is no blank
        QCOMPARE(::trimBlanks(u" <FTP　パスワード> "_s), u"<FTP　パスワード>"_s);
        QCOMPARE(::trimBlanks(u"   "_s), QString());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
