// Connection profiles over real settings files (tests/data/settings/README.md tells what
// profiles.ini holds).
#include "core/app/datafolder.h"
#include "core/app/textfile.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace SettingsFiles;
using namespace Qt::StringLiterals;

namespace {

const QString NameTag = u"<管理用の名前（任意の名前）>"_s, NameEnd = u"</管理用の名前（任意の名前）>"_s;
const QString LastTag = u"<最終 プロﾌｧｲﾙ>"_s, LastEnd = u"</最終 プロﾌｧｲﾙ>"_s;
const QStringList Names { u"Ring Server"_s, u"ベンダー"_s, u"ホームページ①"_s, u"ｶﾅのサーバー"_s, u"会社"_s };
const QStringList Typed { u"typed"_s, u"host"_s, u"u"_s, u"p"_s, u"/l"_s, u"/"_s, u"-"_s };
const QStringList HomePage { u"ホームページ①"_s, u"ftp.example.ne.jp"_s, u"hanako"_s, u"パス①ワード"_s,
    u"c:/web/表示"_s, u"/public_html"_s, u"http://www.example.ne.jp/~hanako/"_s };

QByteArray original() { return readBytes(dataFile(u"profiles.ini"_s)); }
QStringList originalLines() { return TextFile::splitLines(Cp932::decode(original())); }

// The settings of a fresh start on a temporary data folder, with profiles.ini loaded unless told.
struct Rig {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    SettingsLines lines;
    Options options { lines };
    Profiles profiles { lines, options, dialogs };
    QDateTime now { QDate(2010, 1, 2), QTime(9, 5, 3) };

    explicit Rig(bool load = true)
    {
        qputenv("FTPTARVO_HOME", dir.path().toUtf8());
        DataFolder::reset();
        lines.setDialogs(&dialogs);
        profiles.setClock([this] { return now; });
        if (load) {
            writeBytes(ini(), original());
            QFile::setPermissions(ini(), TextFile::OwnerOnly);
            options.loadAtStartUp(&dialogs);
        }
    }
    ~Rig() { DataFolder::reset(); }
    QString ini() const { return dir.filePath(u"ftpset.ini"_s); }
    QStringList names() const { return profiles.profileNames(); }
    int row(const QString& name) const { return int(names().indexOf(name)); }
    void fill(const QStringList& values)
    {
        for (int i = 0; i < Profiles::FieldCount; ++i)
            profiles.setField(i, values.value(i));
    }
    QStringList fields() const
    {
        QStringList out;
        for (int i = 0; i < Profiles::FieldCount; ++i)
            out.append(profiles.field(i));
        return out;
    }
    // The file holds the list, which ends with the last-profile block naming `last`.
    void checkSaved(const QString& last)
    {
        QCOMPARE(readBytes(ini()), cp932Lines(lines.lines()));
        QCOMPARE(lines.lines().mid(lines.count() - 3), QStringList({ LastTag, last, LastEnd }));
        QCOMPARE(lines.lines().count(LastTag), 1);
    }
};

} // namespace

class TestProfiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void passwords_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("password"); // what reading `stored` gives
        QTest::addColumn<bool>("scrambled"); // the password is also stored as `stored`
        const auto row = [](const char* tag, const QString& stored, const QString& password, bool scrambled) {
            QTest::newRow(tag) << stored << password << scrambled;
        };
        row("three letters", u"102&108&114"_s, u"abc"_s, true);
        row("double-byte and NEC special", u"-31883&-31902&-30897&-31837&-32396&-31866"_s, u"パス①ワード"_s, true);
        row("second byte 0x5C, half-width kana", u"-27295&192&212&75"_s, u"表ｶﾅ7"_s, true);
        row("blank and symbols", u"117&74&130&135&57&149&83&154&145"_s, u"p@ss w0rd"_s, true);
        row("empty", QString(), QString(), true);
        row("one character", u"95"_s, u"Z"_s, true);
        row("blanks around the numbers", u" 102 & 108 "_s, u"ab"_s, false);
        const char* const noPassword[][2] = { { "three blanks before the save", "   " },
            { "closing tag of a block without password", "</FTP　パスワード>" }, { "plain text", "secret" },
            { "number then text", "102&abc" }, { "trailing ampersand", "102&" }, { "doubled ampersand", "102&&114" },
            { "code beyond two bytes", "65541" }, { "code below a signed word", "-32764" },
            { "huge number", "99999999999999999999999" }, { "NUL", "5" }, { "line feed", "102&20" },
            { "carriage return", "18" } };
        for (const auto& [tag, stored] : noPassword)
            row(tag, QString::fromUtf8(stored), QString(), false);
    }
    void passwords()
    {
        QFETCH(QString, stored);
        QFETCH(QString, password);
        QFETCH(bool, scrambled);
        QCOMPARE(Profiles::unscramblePassword(stored), password);
        if (scrambled)
            QCOMPARE(Profiles::scramblePassword(password), stored);
    }

    void passwordsRoundTrip()
    {
        for (const QString& password : { u"ＡＢＣ漢字ｶﾀｶﾅ~\\"_s, u"①②③㈱～－"_s, QString(200, u'x'), u"ソ能表"_s }) {
            const QString stored = Profiles::scramblePassword(password);
            QVERIFY(!stored.contains(u' '));
            QCOMPARE(Profiles::unscramblePassword(stored), password);
        }
        // CP932 has no such character: it is stored as "?", one position, as the first platform did.
        QCOMPARE(Profiles::scramblePassword(u"a\U0001F600b"_s), u"102&73&113"_s);
        // A password longer than any box holds is no password of ours.
        QVERIFY(Profiles::unscramblePassword(Profiles::scramblePassword(QString(1025, u'x'))).isEmpty());
    }

    void firstPlatformFileLoadsAndSelects()
    {
        Rig r;
        QCOMPARE(r.names(), Names);
        QSignalSpy ftpText(&r.profiles, &Profiles::showInFtpFolderText);
        QSignalSpy folder(&r.profiles, &Profiles::localFolderSelected);
        QCOMPARE(r.profiles.selectLastProfile(), 2);
        QCOMPARE(r.profiles.selectedProfileRow(), 2);
        QCOMPARE(r.fields(), HomePage);
        QCOMPARE(ftpText, QList<QVariantList>({ { HomePage[0] } }));
        QCOMPARE(folder, QList<QVariantList>({ { HomePage[4] } }));
        QVERIFY(!r.options.serverTimesAsLocal()); // the last block says OFF; selecting reads no Localtime
        // The last-profile block already named it at the end: the file is written back as it was.
        QCOMPARE(readBytes(r.ini()), original());
        QVERIFY(r.dialogs.asked.isEmpty());
    }

    void selectShowsEachKindOfBlock_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QVariantList>("folder"); // what the local pane is asked to list
        // No fields 4 to 6 and no password line: the password is empty and fields 4 to 6 keep their text.
        QTest::newRow("default kind") << u"Ring Server"_s
                                      << QStringList { "Ring Server", "ftp.ring.example.jp", "anonymous", "" }
                + Typed.mid(4) << QVariantList();
        QTest::newRow("registered empty")
            << u"ｶﾅのサーバー"_s << QStringList { "ｶﾅのサーバー", "192.168.0.10", "-", "", "c:", "", "" }
            << QVariantList { QDir::homePath() };
        QTest::newRow("drive root") << u"会社"_s
                                    << QStringList { "会社", "ftp.company.example.co.jp", "user01", "表ｶﾅ7", "C:/",
                                           "/www", "" }
                                    << QVariantList { QDir::homePath() };
        QTest::newRow("unknown name keeps the fields") << u"nobody"_s << Typed << QVariantList();
    }
    void selectShowsEachKindOfBlock()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QFETCH(QVariantList, folder);
        Rig r;
        r.profiles.selectLastProfile();
        r.fill(Typed);
        QSignalSpy folders(&r.profiles, &Profiles::localFolderSelected);
        r.profiles.SelectProfile(name);
        QCOMPARE(r.fields(), expected);
        QCOMPARE(folders.size(), folder.size());
        if (!folder.isEmpty())
            QCOMPARE(folders.first(), folder);
        // The block names what field 0 holds, and the file is saved.
        r.checkSaved(expected[0]);
    }

    void selectFindsTheNameEntryNotALookalike()
    {
        // A profile called "anonymous" after blocks whose user ID is "anonymous": its own host shows,
        // not the fields that follow the first line that reads "anonymous".
        Rig r;
        r.fill({ "anonymous", "mirror.example.org", "ftp" });
        r.profiles.registerProfile();
        r.fill({ "x", "x", "x", "x", "x", "x", "x" });
        r.profiles.selectProfileRow(r.row(u"anonymous"_s));
        QCOMPARE(r.fields().mid(1, 2), QStringList({ "mirror.example.org", "ftp" }));
    }

    void lastProfileBlocksAreReplaced()
    {
        // Two blocks, one cut short at the top and a complete one in the middle; a stray closing tag
        // lower down must not take the lines between it and the cut block along.
        Rig r(false);
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
        QTest::newRow("tag as the last line") << two + QStringList { LastTag } << -1;
    }
    void startUpSelection()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, selected);
        Rig r(false);
        QVERIFY(TextFile::writeLines(r.ini(), lines));
        r.options.loadAtStartUp(&r.dialogs);
        QSignalSpy ftpText(&r.profiles, &Profiles::showInFtpFolderText);
        QCOMPARE(r.profiles.selectLastProfile(), selected);
        QCOMPARE(r.profiles.selectedProfileRow(), selected);
        QCOMPARE(ftpText.size(), selected < 0 ? 0 : 1);
        if (selected < 0)
            QCOMPARE(r.lines.lines(), lines);
    }

    void registerRefused_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("message");
        const QString noName = u"管理用の名前（任意の名前）が有りません。"_s;
        QTest::newRow("no name") << QStringList { "", "host" } << noName;
        QTest::newRow("blank name") << QStringList { " \u3000 ", "host" } << noName;
        QTest::newRow("no host") << QStringList { "name", " " } << u"FTPサーバー名（ホストアドレス）が有りません。"_s;
        QTest::newRow("neither") << QStringList { "", "" } << noName;
        QTest::newRow("name the file cannot hold") << QStringList { u"絵文字\U0001F600"_s,
            "host" } << u"管理用の名前（任意の名前）に設定ファイルへ保存できない文字が含まれています。"_s;
        QTest::newRow("host with a line break")
            << QStringList { "name", "host\r\n<最終 プロﾌｧｲﾙ>" }
            << u"FTPサーバー名（ホストアドレス）に設定ファイルへ保存できない文字が含まれています。"_s;
    }
    void registerRefused()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, message);
        Rig r;
        r.fill(values);
        r.profiles.registerProfile();
        QCOMPARE(r.dialogs.texts(), QStringList(message));
        QCOMPARE(r.dialogs.asked.at(0).buttons, Dialogs::Buttons::Ok);
        QCOMPARE(r.names(), Names);
        QCOMPARE(readBytes(r.ini()), original());
        QCOMPARE(r.lines.lines(), originalLines());
    }

    void registerStoresTheWholeBlock()
    {
        Rig r;
        // Empty fields are registered as "-", an empty password as a blank line.
        r.fill({ "新しいサーバー", "ftp.new.example" });
        r.profiles.registerProfile();
        QVERIFY(r.dialogs.asked.isEmpty());
        QCOMPARE(r.fields().mid(2, 2), QStringList({ "-", "" }));
        QCOMPARE(r.names(), Names + QStringList("新しいサーバー"));
        QCOMPARE(r.profiles.selectedProfileRow(), 5);
        QByteArray expected = original();
        expected.chop(cp932Lines({ LastTag, HomePage[0], LastEnd }).size());
        expected += profileLines({ "新しいサーバー", "ftp.new.example", "-", "", "-", "-", "-" })
            + cp932Lines({ "<Localtime>", "OFF", "</Localtime>", LastTag, "新しいサーバー", LastEnd });
        QCOMPARE(readBytes(r.ini()), expected);
        QVERIFY(ownerOnly(r.ini()));

        // The old last-profile block goes, the new profile and its block follow everything else.
        r.options.setServerTimesAsLocal(true);
        r.fill({ "  自宅  ", "ftpes://[::1]:2121", "taro", "パス①ワード", "/home/taro/site", "/htdocs",
            "http://example.jp/" });
        r.profiles.registerProfile();
        QCOMPARE(r.names().last(), u"自宅"_s);
        QCOMPARE(r.fields().mid(0, 4), QStringList({ "自宅", "ftpes://[::1]:2121", "taro", "パス①ワード" }));
        expected.chop(cp932Lines({ LastTag, "新しいサーバー", LastEnd }).size());
        expected += profileLines({ "自宅", "ftpes://[::1]:2121", "taro", "-31883&-31902&-30897&-31837&-32396&-31866",
                        "/home/taro/site", "/htdocs", "http://example.jp/" })
            + cp932Lines({ "<Localtime>", "ON", "</Localtime>", LastTag, "自宅", LastEnd });
        QCOMPARE(readBytes(r.ini()), expected);

        // And it reads back as registered after a restart.
        SettingsLines lines;
        Options options(lines);
        Profiles profiles(lines, options, r.dialogs);
        options.loadAtStartUp(&r.dialogs);
        QCOMPARE(profiles.selectLastProfile(), 6);
        QCOMPARE(profiles.field(3), u"パス①ワード"_s);
        QCOMPARE(profiles.field(4), u"/home/taro/site"_s);
        QVERIFY(options.serverTimesAsLocal());
    }

    void updateOfARegisteredName()
    {
        Rig r;
        r.profiles.selectProfileRow(r.row(u"会社"_s));
        const QByteArray bytes = readBytes(r.ini());
        r.profiles.setField(0, u" 会社\u3000"_s);
        r.profiles.setField(1, u"other.example"_s);
        r.dialogs.queueAnswer(Dialogs::Answer::No);
        r.profiles.registerProfile();
        QCOMPARE(r.dialogs.texts(), QStringList("会社は既に登録されています更新しますか？"));
        QCOMPARE(r.dialogs.asked.at(0).buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(cp932Lines(r.lines.lines()), bytes);
        QCOMPARE(r.names(), Names);
        QCOMPARE(r.profiles.selectedProfileRow(), 4);
        QCOMPARE(readBytes(r.ini()), bytes);

        // Answered yes, the profile moves to the end: every entry of the old block (lines 31 to 54)
        // and its last-profile block go.
        r.profiles.selectProfileRow(r.row(HomePage[0]));
        r.profiles.setField(1, u"ftp2.example.ne.jp"_s);
        r.dialogs.queueAnswer(Dialogs::Answer::Yes);
        r.profiles.registerProfile();
        QCOMPARE(r.names(), QStringList({ "Ring Server", "ベンダー", "ｶﾅのサーバー", "会社", "ホームページ①" }));
        QCOMPARE(r.profiles.selectedProfileRow(), 4);
        const QStringList before = originalLines();
        QCOMPARE(r.lines.lines().mid(0, 89), before.mid(0, 31) + before.mid(55, 58));
        QCOMPARE(r.lines.lines().mid(89, 6),
            QStringList({ NameTag, HomePage[0], NameEnd, "<FTPサーバー名（ホストアドレス）>", "ftp2.example.ne.jp",
                "</FTPサーバー名（ホストアドレス）>" }));
        QCOMPARE(r.lines.count(), 116);
        r.checkSaved(HomePage[0]);
    }

    void deleteProfiles()
    {
        Rig r;
        r.profiles.selectProfileRow(1);
        r.fill({ "a", "b", "c", "d" });
        r.dialogs.queueAnswer(Dialogs::Answer::No);
        r.profiles.deleteSelectedProfile();
        QCOMPARE(r.dialogs.texts(), QStringList("登録を抹消しますか？"));
        QCOMPARE(r.dialogs.asked.at(0).buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(r.names(), Names);
        QCOMPARE(r.profiles.selectedProfileRow(), 1);
        QCOMPARE(r.profiles.field(0), u"a"_s);
        const QByteArray bytes = readBytes(r.ini());
        // Nothing selected (after a restore): the question comes, then nothing happens.
        QVERIFY(r.profiles.restoreSettings(r.ini()));
        QCOMPARE(r.profiles.selectedProfileRow(), -1);
        r.dialogs.queueAnswer(Dialogs::Answer::Yes);
        r.profiles.deleteSelectedProfile();
        QCOMPARE(r.dialogs.asked.size(), 2);
        QCOMPARE(r.names(), Names);
        QCOMPARE(readBytes(r.ini()), bytes);

        // The whole block (lines 31 to 54) and the last-profile block naming it go, nothing else.
        r.profiles.selectProfileRow(2);
        QStringList expected = r.lines.lines();
        expected.remove(113, 3);
        expected.remove(31, 24);
        r.dialogs.queueAnswer(Dialogs::Answer::Yes);
        r.profiles.deleteSelectedProfile();
        QCOMPARE(r.lines.lines(), expected);
        QCOMPARE(readBytes(r.ini()), cp932Lines(expected));
        QCOMPARE(r.names(), QStringList({ "Ring Server", "ベンダー", "ｶﾅのサーバー", "会社" }));
        QCOMPARE(r.profiles.selectedProfileRow(), -1);
        // Fields 0 to 3 are cleared, 4 to 6 keep the deleted profile's text.
        QCOMPARE(r.fields(), QStringList({ "", "", "", "" }) + HomePage.mid(4));

        for (int row = 3; row >= 0; --row) {
            r.profiles.selectProfileRow(row);
            r.dialogs.queueAnswer(Dialogs::Answer::Yes);
            r.profiles.deleteSelectedProfile();
        }
        QVERIFY(r.names().isEmpty());
        QCOMPARE(r.lines.lines(),
            QStringList({ "<プロキシ>", "OFF", "</プロキシ>", "<プロキシ名>", "", "</プロキシ名>", "<メール>",
                "hanako@example.ne.jp", "</メール>", "<SetText>", "txt", "html", "htm", "</SetText>", "<NotText>",
                "tmp", "bak", "$$$", "</NotText>" }));
    }

    void deleteKeepsOtherEntries()
    {
        Rig r;
        r.profiles.DeleteProfile(u"ベンダー"_s); // a block of the default kind
        QStringList expected = originalLines();
        expected.remove(11, 11);
        QCOMPARE(r.lines.lines(), expected);
        // Another profile's blank password line and an option's empty value stay entries: removing
        // them would make the next line, a closing tag, their value.
        r.profiles.DeleteProfile(u"会社"_s);
        const QStringList lines = r.lines.lines();
        QCOMPARE(lines.mid(lines.indexOf(u"<プロキシ名>"_s), 3), QStringList({ "<プロキシ名>", "", "</プロキシ名>" }));
        QCOMPARE(lines.mid(lines.indexOf(u"ｶﾅのサーバー"_s) + 8, 3),
            QStringList({ "<FTP　パスワード>", "", "</FTP　パスワード>" }));
        QCOMPARE(readBytes(r.ini()), cp932Lines(lines));
    }

    void clearAndAnonymous()
    {
        Rig r(false);
        r.fill({ "n", "h", "u", "p", "/l", "/s", "http://w/" });
        r.profiles.clearFields();
        QCOMPARE(r.fields(), QStringList({ "", "", "", "", "/l", "/s", "http://w/" }));
        // Without a mail address only the user ID is set.
        r.profiles.setField(3, u"kept"_s);
        r.profiles.anonymous();
        QCOMPARE(r.fields().mid(2, 2), QStringList({ "anonymous", "kept" }));
        r.options.setMailAddress(u"taro@example.ne.jp"_s);
        r.profiles.anonymous();
        QCOMPARE(r.profiles.field(3), u"taro@example.ne.jp"_s);
        QVERIFY(!QFile::exists(r.ini())); // neither stores anything
    }

    void backupAndRestore()
    {
        Rig r;
        r.profiles.selectProfileRow(2);
        const QByteArray saved = readBytes(r.ini());
        r.options.setProxyHost(u"proxy.example"_s); // kept in memory: not in the backup
        const QString backup = r.profiles.backUpSettings();
        QCOMPARE(backup, r.dir.filePath(u"FTPSet120100102090503.txt"_s));
        QCOMPARE(readBytes(backup), saved);
        QVERIFY(ownerOnly(backup));
        r.now = QDateTime(QDate(2004, 8, 12), QTime(13, 12, 52));
        QCOMPARE(r.profiles.backUpSettings(), r.dir.filePath(u"FTPSet120040812131252.txt"_s));
        QVERIFY(r.dialogs.asked.isEmpty());

        r.fill({ "後から", "later.example" });
        r.profiles.registerProfile();
        const QByteArray afterRegister = readBytes(r.ini());
        QVERIFY(r.profiles.restoreSettings(backup));
        QCOMPARE(r.names(), Names);
        QCOMPARE(r.profiles.selectedProfileRow(), -1);
        QCOMPARE(cp932Lines(r.lines.lines()), saved);
        QCOMPARE(readBytes(r.ini()), afterRegister); // ftpset.ini changes with the next save only
        r.profiles.selectProfileRow(2);
        QCOMPARE(readBytes(r.ini()), saved);

        QVERIFY(!r.profiles.restoreSettings(r.dir.filePath(u"FTPSet1missing.txt"_s)));
        QVERIFY(r.dialogs.texts().value(0).contains(u"FTPSet1missing.txt"_s));
        QCOMPARE(cp932Lines(r.lines.lines()), saved);
        QCOMPARE(r.names(), Names);

        QVERIFY(QFile::remove(r.ini()));
        QCOMPARE(r.profiles.backUpSettings(), QString());
        QVERIFY(r.dialogs.texts().value(1).contains(u"バックアップできませんでした"_s));
    }
};

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
