// ftpset.ini, its options and its connection profiles, over the files of tests/data/settings
// (their README tells what each holds).
#include "core/app/datafolder.h"
#include "core/app/textfile.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"
#include "support/texttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace SettingsFiles;
using namespace Qt::StringLiterals;

namespace {

const QString NameTag = u"<管理用の名前（任意の名前）>"_s, NameEnd = u"</管理用の名前（任意の名前）>"_s;
const QString LastTag = u"<最終 プロﾌｧｲﾙ>"_s, LastEnd = u"</最終 プロﾌｧｲﾙ>"_s;
const QStringList Names { u"Ring Server"_s, u"ベンダー"_s, u"ホームページ①"_s, u"ｶﾅのサーバー"_s, u"会社"_s };
const QStringList HomePage { u"ホームページ①"_s, u"ftp.example.ne.jp"_s, u"hanako"_s, u"パス①ワード"_s,
    u"c:/web/表示"_s, u"/public_html"_s, u"http://www.example.ne.jp/~hanako/"_s };

QByteArray original() { return readBytes(dataFile(u"profiles.ini"_s)); }
QStringList originalLines() { return TextFile::splitLines(Cp932::decode(original())); }

// Every option in one text, so one comparison shows all of them.
QString state(const Options& o)
{
    const auto b = [](bool v) { return v ? u"1"_s : u"0"_s; };
    return u"proxy=%1 host=%2 port=%3 user=%4 password=%5 passive=%6 local=%7 case=%8 skiplinks=%9 "_s.arg(
               b(o.useProxy()), o.proxyHost(), o.proxyPort(), o.proxyCredential(0), o.proxyCredential(1),
               b(o.passiveMode()), b(o.bypassProxyForLocal()), QString::number(o.uploadNameCase()),
               b(o.skipExternalLinks()))
        + u"mail=%1 localtime=%2 view=%3 code=%4 connection=%5 words=%6"_s.arg(o.mailAddress(),
            b(o.serverTimesAsLocal()), b(o.hideSystemFiles()) + b(o.noFileColours()) + b(o.stopAtMissingLink()),
            QString::number(o.codeConversion(0)) + QString::number(o.codeConversion(1)), b(o.useConsoleConnection(0)),
            o.consoleProxyText(0));
}

// A fresh start on a temporary data folder, loading a copy of a file (of tests/data/settings when
// not a full path) when named.
struct Rig {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    SettingsLines lines;
    Options options { lines };
    Profiles profiles { lines, options, dialogs };
    QDateTime now { QDate(2010, 1, 2), QTime(9, 5, 3) };

    explicit Rig(const QString& file = {})
    {
        qputenv("FTPTARVO_HOME", dir.path().toUtf8());
        DataFolder::reset();
        lines.setDialogs(&dialogs);
        profiles.setClock([this] { return now; });
        if (!file.isEmpty()) {
            QVERIFY(writeBytes(ini(), readBytes(QFileInfo(file).isAbsolute() ? file : dataFile(file))));
            options.loadAtStartUp(&dialogs);
        }
    }
    ~Rig() { DataFolder::reset(); }
    QString ini() const { return dir.filePath(u"ftpset.ini"_s); }
    QString afterRestart() const
    {
        SettingsLines next;
        Options nextOptions(next);
        nextOptions.loadAtStartUp(nullptr);
        return state(nextOptions);
    }
    QStringList names() const { return profiles.profileNames(); }
    void fill(const QStringList& values)
    {
        for (int i = 0; i < Profiles::FieldCount; ++i)
            profiles.setField(i, values.value(i));
    }
    QString fields() const
    {
        QStringList out;
        for (int i = 0; i < Profiles::FieldCount; ++i)
            out.append(profiles.field(i));
        return out.join(u'|');
    }
    // The names, the selected row and the fields, as the profile panel shows them.
    QString panel() const
    {
        return names().join(u',') + u'#' + QString::number(profiles.selectedProfileRow()) + u'#' + fields();
    }
    // The file holds the list, which ends with the one last-profile block, naming `last`.
    void checkSaved(const QString& last)
    {
        QCOMPARE(readBytes(ini()), cp932Lines(lines.lines()));
        QCOMPARE(lines.lines().mid(lines.count() - 3), QStringList({ LastTag, last, LastEnd }));
        QCOMPARE(lines.lines().count(LastTag), 1);
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // "both": `stored` reads as `password` and is how it is stored.
    void passwords_data()
    {
        TextTable::rows({ "stored", "password", "way" }, R"(
double-byte and NEC special | -31883&-31902&-30897&-31837&-32396&-31866 | パス①ワード | both
second byte 0x5C, half-width kana | -27295&192&212&75 | 表ｶﾅ7 | both
empty | | | both
a character CP932 lacks is stored as ? in one place | 102&73&113 | a😀b | write
blanks around the numbers | \s102 & 108\s | ab | read
closing tag of a block without password | </FTP　パスワード> | | read
NUL | 5 | | read
line feed | 102&20 | | read
carriage return | 18 | | read
)");
    }
    void passwords()
    {
        QFETCH(QString, stored);
        QFETCH(QString, password);
        QFETCH(QString, way);
        if (way == u"both" || way == u"write")
            QCOMPARE(Profiles::scramblePassword(password), stored);
        if (way != u"write")
            QCOMPARE(Profiles::unscramblePassword(stored), password);
        // A password longer than any box holds is no password of ours.
        QVERIFY(Profiles::unscramblePassword(Profiles::scramblePassword(QString(1025, u'x'))).isEmpty());
    }

    void firstPlatformFilesLoadUnchanged()
    {
        Rig r(u"firstplatform.ini"_s);
        QCOMPARE(r.lines.count(), 110);
        // The second profile's Localtime OFF comes last.
        QCOMPARE(state(r.options),
            u"proxy=0 host= port= user= password= passive=1 local=0 case=1 skiplinks=1 mail=taro@example.ne.jp "
            "localtime=0 view=011 code=10 connection=1 words=ﾀﾞｲｱﾙｱｯﾌﾟ接続"_s);
        QCOMPARE(r.names(), QStringList({ u"ホームページ"_s, u"会社のサーバー①"_s }));
        // Applying ran the handlers of the options that differ from the initial state, which saved
        // the file: byte for byte what was read, now private to the user.
        QCOMPARE(readBytes(r.ini()), readBytes(dataFile(u"firstplatform.ini"_s)));
        QVERIFY(ownerOnly(r.ini()));

        Rig p(u"profiles.ini"_s);
        QCOMPARE(p.names(), Names);
        QVERIFY(!p.options.serverTimesAsLocal()); // the last block says OFF
        QCOMPARE(readBytes(p.ini()), original()); // the last-profile block named it already
        QVERIFY(r.dialogs.asked.isEmpty() && p.dialogs.asked.isEmpty());
    }

    void handEditedFileIsTrimmedOnSave()
    {
        Rig r(u"handedited.ini"_s);
        // Lines with blanks around a tag are not recognised while loading.
        QCOMPARE(state(r.options),
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
        TextTable::rows({ "lines", "expected" }, R"(
the last occurrence wins | <パッシブ>\nON\n<パッシブ>\nOFF | passive=0
skipped delete-mode tag before a tag | <ﾌｫﾙﾀﾞｰやﾌｧｲﾙの消去モード>\n<パッシブ>\nON | passive=1
SMALL | <ﾌｧｲﾙ転送時の名前>\nSMALL | case=1
small in lower case selects BIG | <ﾌｧｲﾙ転送時の名前>\nsmall | case=2
browse OFF skips links | <ブラウズ>\nOFF | skiplinks=1
Localtime of the last block | <Localtime>\nON\n<Localtime>\nOFF | localtime=0
SJIS-EUC out of range | <SJIS-EUC>\n2 | code=00
tag without value takes the next line | <プロキシ名>\n</プロキシ名> | host=</プロキシ名>
)");
    }
    void applyRules()
    {
        QFETCH(QString, lines);
        QFETCH(QString, expected);
        Rig r;
        r.lines.setLines(lines.split(u'\n'));
        r.options.ApplySettings();
        QVERIFY2(state(r.options).split(u' ').contains(expected), qPrintable(state(r.options)));
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

    void startUpWithoutFileOrWithAnUnreadableOne()
    {
        Rig r;
        r.options.loadAtStartUp(&r.dialogs);
        QCOMPARE(
            r.names(), QStringList({ SettingsLines::defaultProfileName(0), SettingsLines::defaultProfileName(1) }));
        QVERIFY(!QFile::exists(r.ini())); // the first save brings the file into being
        QVERIFY(r.lines.SaveSettings());
        QCOMPARE(readBytes(r.ini()), readBytes(dataFile(u"default.ini"_s)));
        QVERIFY(ownerOnly(r.ini()) && r.dialogs.asked.isEmpty());

        // A file that cannot be read is set aside, so that the first save cannot overwrite it.
        Rig unreadable;
        QVERIFY(QDir(unreadable.dir.path()).mkdir(u"ftpset.ini"_s));
        unreadable.options.loadAtStartUp(&unreadable.dialogs);
        QCOMPARE(unreadable.dialogs.asked.size(), 1);
        QVERIFY(unreadable.dialogs.asked.first().text.contains(u"読み込めませんでした"_s));
        QVERIFY(QFileInfo(unreadable.ini() + u".unreadable"_s).isDir());
        QVERIFY(unreadable.lines.SaveSettings());
        QCOMPARE(readBytes(unreadable.ini()), readBytes(dataFile(u"default.ini"_s)));
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

    void selectShowsEachKindOfBlock_data()
    {
        TextTable::rows({ "name", "fields", "home" }, R"(
default kind: no password line, fields 4 to 6 kept | Ring Server | Ring Server|ftp.ring.example.jp|anonymous||/l|/|- |
registered empty | ｶﾅのサーバー | ｶﾅのサーバー|192.168.0.10|-||c:|| | home
drive root | 会社 | 会社|ftp.company.example.co.jp|user01|表ｶﾅ7|C:/|/www| | home
)");
    }
    void selectShowsEachKindOfBlock()
    {
        QFETCH(QString, name);
        QFETCH(QString, fields);
        QFETCH(QString, home);
        Rig r(u"profiles.ini"_s);
        r.profiles.selectLastProfile();
        r.fill({ "typed", "host", "u", "p", "/l", "/", "-" });
        QSignalSpy folders(&r.profiles, &Profiles::localFolderSelected);
        r.profiles.SelectProfile(name);
        QCOMPARE(r.fields(), fields);
        QCOMPARE(folders, home.isEmpty() ? QList<QVariantList>() : QList<QVariantList>({ { QDir::homePath() } }));
        r.checkSaved(fields.section(u'|', 0, 0));
    }

    void lastProfileBlocksAreReplaced()
    {
        // One block cut short at the top, a complete one in the middle; a stray closing tag lower
        // down must not take the lines between it and the cut block along.
        Rig r;
        r.lines.setLines({ LastTag, "gone", "<パッシブ>", "ON", "</パッシブ>", NameTag, "A", NameEnd, LastTag, "A",
            LastEnd, "<メール>", "a@example.jp", "</メール>", LastEnd });
        r.options.ApplySettings();
        r.profiles.selectProfileRow(0);
        QCOMPARE(r.lines.lines(),
            QStringList({ "<パッシブ>", "ON", "</パッシブ>", NameTag, "A", NameEnd, "<メール>", "a@example.jp",
                "</メール>", LastEnd, LastTag, "A", LastEnd }));
    }

    void startUpSelection_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("selected");
        const QStringList two { NameTag, "A", NameEnd, NameTag, "B", NameEnd };
        QTest::newRow("names the second") << two + QStringList { LastTag, "B", LastEnd } << 1;
        QTest::newRow("first listed name wins")
            << QStringList { LastTag, "b", LastEnd } + two + QStringList { LastTag, "A", LastEnd } << 0;
        QTest::newRow("no block") << two << -1;
        QTest::newRow("names no profile") << two + QStringList { LastTag, "C", LastEnd } << -1;
    }
    void startUpSelection()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, selected);
        Rig r;
        QVERIFY(TextFile::writeLines(r.ini(), lines));
        r.options.loadAtStartUp(&r.dialogs);
        QCOMPARE(r.profiles.selectLastProfile(), selected);
        QCOMPARE(r.profiles.selectedProfileRow(), selected);
        QVERIFY(selected >= 0 || r.lines.lines() == lines);
    }

    void registerRefused_data()
    {
        TextTable::rows({ "fields", "message" }, R"(
no name | |host | 管理用の名前（任意の名前）が有りません。
no host | name|\s | FTPサーバー名（ホストアドレス）が有りません。
name the file cannot hold | 絵文字😀|host | 管理用の名前（任意の名前）に設定ファイルへ保存できない文字が含まれています。
host with a line break | name|host\r\n<最終 プロﾌｧｲﾙ> | FTPサーバー名（ホストアドレス）に設定ファイルへ保存できない文字が含まれています。
)");
    }
    void registerRefused()
    {
        QFETCH(QString, fields);
        QFETCH(QString, message);
        Rig r(u"profiles.ini"_s);
        r.fill(fields.split(u'|'));
        r.profiles.registerProfile();
        QCOMPARE(r.dialogs.texts(), QStringList(message));
        QCOMPARE(r.names(), Names);
        QCOMPARE(readBytes(r.ini()), original());
        QCOMPARE(r.lines.lines(), originalLines());
    }

    void registerStoresTheWholeBlock()
    {
        Rig r(u"profiles.ini"_s);
        // Empty fields are registered as "-", an empty password as a blank line.
        r.fill({ "anonymous", "mirror.example.org" });
        r.profiles.registerProfile();
        QCOMPARE(r.panel(), Names.join(u',') + u",anonymous#5#anonymous|mirror.example.org|-||c:||"_s);
        QByteArray expected = original().chopped(cp932Lines({ LastTag, HomePage[0], LastEnd }).size())
            + profileLines({ "anonymous", "mirror.example.org", "-", "", "-", "-", "-" })
            + cp932Lines({ "<Localtime>", "OFF", "</Localtime>", LastTag, "anonymous", LastEnd });
        QVERIFY(ownerOnly(r.ini()) && r.dialogs.asked.isEmpty());

        // The old last-profile block goes, the new profile and its block follow everything else.
        r.options.setServerTimesAsLocal(true);
        r.fill({ "  自宅  ", "ftpes://[::1]:2121", "taro", "パス①ワード", "/home/taro/site", "/htdocs",
            "http://example.jp/" });
        r.profiles.registerProfile();
        QCOMPARE(r.panel().section(u'#', 0, 0).section(u',', 6), u"自宅"_s);
        expected.chop(cp932Lines({ LastTag, "anonymous", LastEnd }).size());
        expected += profileLines({ "自宅", "ftpes://[::1]:2121", "taro", "-31883&-31902&-30897&-31837&-32396&-31866",
                        "/home/taro/site", "/htdocs", "http://example.jp/" })
            + cp932Lines({ "<Localtime>", "ON", "</Localtime>", LastTag, "自宅", LastEnd });
        QCOMPARE(readBytes(r.ini()), expected);

        // It reads back as registered after a restart; the profile "anonymous" shows its own host,
        // not the fields after the first line (a user ID) that reads "anonymous".
        Rig again(r.ini());
        QCOMPARE(again.profiles.selectLastProfile(), 6);
        QCOMPARE(
            again.fields(), u"自宅|ftpes://[::1]:2121|taro|パス①ワード|/home/taro/site|/htdocs|http://example.jp/"_s);
        QVERIFY(again.options.serverTimesAsLocal());
        again.profiles.selectProfileRow(5);
        QCOMPARE(again.fields().section(u'|', 0, 2), u"anonymous|mirror.example.org|-"_s);
    }

    void updateOfARegisteredName()
    {
        Rig r(u"profiles.ini"_s);
        r.profiles.selectProfileRow(4);
        const QByteArray bytes = readBytes(r.ini());
        r.fill({ u" 会社\u3000"_s, u"other.example"_s });
        r.dialogs.queueAnswer(Dialogs::Answer::No);
        r.profiles.registerProfile();
        QCOMPARE(r.dialogs.texts(), QStringList("会社は既に登録されています更新しますか？"));
        QCOMPARE(r.panel().section(u'#', 0, 1), Names.join(u',') + u"#4"_s);
        QCOMPARE(readBytes(r.ini()) + cp932Lines(r.lines.lines()), bytes + bytes); // the file and the list

        // Answered yes, the profile moves to the end: every entry of the old block (lines 31 to 54)
        // and its last-profile block go.
        r.profiles.selectProfileRow(2);
        r.profiles.setField(1, u"ftp2.example.ne.jp"_s);
        r.dialogs.queueAnswer(Dialogs::Answer::Yes);
        r.profiles.registerProfile();
        QCOMPARE(r.panel().section(u'#', 0, 1), u"Ring Server,ベンダー,ｶﾅのサーバー,会社,ホームページ①#4"_s);
        const QStringList before = originalLines();
        QCOMPARE(r.lines.lines().mid(0, 95),
            before.mid(0, 31) + before.mid(55, 58)
                + QStringList({ NameTag, HomePage[0], NameEnd, "<FTPサーバー名（ホストアドレス）>",
                    "ftp2.example.ne.jp", "</FTPサーバー名（ホストアドレス）>" }));
        QCOMPARE(r.lines.count(), 116);
        r.checkSaved(HomePage[0]);
    }

    void deleteProfiles()
    {
        Rig r(u"profiles.ini"_s);
        r.profiles.selectProfileRow(1);
        r.fill({ "a", "b", "c", "d" });
        r.dialogs.queueAnswer(Dialogs::Answer::No);
        r.profiles.deleteSelectedProfile();
        QCOMPARE(r.dialogs.texts(), QStringList("登録を抹消しますか？"));
        QCOMPARE(r.panel(), Names.join(u',') + u"#1#a|b|c|d|||"_s);
        // The whole block (lines 31 to 54) and the last-profile block naming it go, nothing else.
        r.profiles.selectProfileRow(2);
        QStringList expected = r.lines.lines();
        expected.remove(113, 3);
        expected.remove(31, 24);
        r.dialogs.queueAnswer(Dialogs::Answer::Yes);
        r.profiles.deleteSelectedProfile();
        QCOMPARE(readBytes(r.ini()), cp932Lines(expected));
        // Fields 0 to 3 are cleared, 4 to 6 keep the deleted profile's text.
        QCOMPARE(r.panel(), u"Ring Server,ベンダー,ｶﾅのサーバー,会社#-1#||||"_s + HomePage.mid(4).join(u'|'));
        // Another profile's blank password line stays an entry: removing it would make the next
        // line, a closing tag, its value.
        r.profiles.DeleteProfile(u"会社"_s);
        const QStringList lines = r.lines.lines();
        QCOMPARE(lines.mid(lines.indexOf(u"ｶﾅのサーバー"_s) + 8, 3),
            QStringList({ "<FTP　パスワード>", "", "</FTP　パスワード>" }));
    }

    void backupAndRestore()
    {
        Rig r(u"profiles.ini"_s);
        const QByteArray saved = readBytes(r.ini());
        r.options.setProxyHost(u"proxy.example"_s); // kept in memory: not in the backup
        const QString backup = r.profiles.backUpSettings();
        QCOMPARE(backup, r.dir.filePath(u"FTPSet120100102090503.txt"_s));
        QVERIFY(readBytes(backup) == saved && ownerOnly(backup) && r.dialogs.asked.isEmpty());
        // A restore loads the lines; ftpset.ini changes with the next save only.
        r.fill({ "後から", "later.example" });
        r.profiles.registerProfile();
        const QByteArray changed = readBytes(r.ini());
        QVERIFY(r.profiles.restoreSettings(backup));
        QCOMPARE(cp932Lines(r.lines.lines()) + readBytes(r.ini()), saved + changed);
        QVERIFY(!r.profiles.restoreSettings(r.dir.filePath(u"FTPSet1missing.txt"_s)));
        QVERIFY(r.dialogs.texts().size() == 1 && r.dialogs.texts()[0].contains(u"FTPSet1missing.txt"_s));
    }

    // The damaged lines go back byte for byte, nothing spreads into the next line, the file is
    // kept aside and the user is told; what the user changes is stored as usual.
    void damagedLinesStayAsTheyWere()
    {
        Rig r;
        const QString ini = r.ini();
        const QByteArray damaged = cp932Lines({ "<プロキシ名>", "proxy" }) + "</\x83\r\n" + cp932Lines({ "<メール>" })
            + "\xff\xfe mail \x82\r\n" + cp932Lines({ "</メール>", "<パッシブ>", "ON", "</パッシブ>" }) + "\x83";
        QVERIFY(writeBytes(ini, damaged));
        r.options.loadAtStartUp(&r.dialogs);
        QVERIFY(r.options.passiveMode());
        QCOMPARE(r.dialogs.texts().size(), 1);
        QVERIFY2(r.dialogs.texts()[0].contains(u"文字として読めない部分がありました"_s)
                && r.dialogs.texts()[0].contains(ini + u".unreadable"_s),
            qPrintable(r.dialogs.texts()[0]));
        QCOMPARE(readBytes(ini + u".unreadable"_s), damaged);
        r.options.setPassiveMode(false);
        QCOMPARE(readBytes(ini), QByteArray(damaged).replace("\r\nON\r\n", "\r\nOFF\r\n") + "\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
