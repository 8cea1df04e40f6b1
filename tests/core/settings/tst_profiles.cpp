// Connection profiles over real settings files.
//
// tests/data/settings/profiles.ini is a file as the first platform left it (CP932, CR LF): two
// blocks of the default kind (no fields 4 to 6, no password line), option entries between the
// profiles (one with an empty value), a profile whose password holds double-byte characters
// ("パス①ワード") and whose local folder is "c:\web\表示", one registered with everything empty
// (a blank password line, "-" elsewhere), one whose password's first character has 0x5C as its
// second byte ("表") and whose local folder is "C:\", and the last-profile block.
#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/app/textfile.h"
#include "core/settings/options.h"
#include "core/settings/profiles.h"
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

namespace {

const QString NameTag = QStringLiteral("<管理用の名前（任意の名前）>");
const QString LastTag = QStringLiteral("<最終 プロﾌｧｲﾙ>");
const QString LastEndTag = QStringLiteral("</最終 プロﾌｧｲﾙ>");

const QStringList ProfileNames { QStringLiteral("Ring Server"), QStringLiteral("ベンダー"),
    QStringLiteral("ホームページ①"), QStringLiteral("ｶﾅのサーバー"), QStringLiteral("会社") };

} // namespace

class TestProfiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void captionsOutsideTheFieldsAreEmpty();
    void scramble_data();
    void scramble();
    void unscramble_data();
    void unscramble();
    void scrambleRoundTrips();

    void firstPlatformFileLoadsAndSelects();
    void selectShowsEachKindOfBlock_data();
    void selectShowsEachKindOfBlock();
    void backslashesBecomeSlashes();
    void selectUnknownNameKeepsTheFields();
    void selectFindsTheNameEntryNotALookalike();
    void lastProfileBlocksAreReplaced();
    void startUpSelection_data();
    void startUpSelection();

    void registerNeedsNameAndHost_data();
    void registerNeedsNameAndHost();
    void registerWithEmptyPasswordAndUserId();
    void registerStoresTheWholeBlock();
    void registerRefusesWhatTheFileCannotHold();
    void updateAnsweredNoChangesNothing();
    void updateAnsweredYesMovesTheProfileToTheEnd();

    void deleteSelectedProfile();
    void deleteAskedNoOrNothingSelected();
    void deleteTheLastProfile();
    void deleteBlockOfTheDefaultKind();
    void deleteKeepsEmptyEntriesOfOthers();

    void clearAndAnonymous();

    void backupName_data();
    void backupName();
    void backupCopiesTheFileAsLastSaved();
    void backupWithoutSettingsFile();
    void restoreReplacesTheList();
    void restoreOfAnUnreadableFile();

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("ftpset.ini")); }
    // Loads the file as start-up does.
    void load(const QString& file);
    void fill(const QStringList& fields);
    QStringList fields() const;
    int row(const QString& name) const { return int(m_options->profileNameModel()->stringList().indexOf(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsLines> m_lines;
    std::unique_ptr<Options> m_options;
    std::unique_ptr<Profiles> m_profiles;
    ScriptedDialogs m_dialogs;
    QDateTime m_now;
};

void TestProfiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("FTPTARVO_HOME", m_dir->path().toUtf8());
    DataFolder::reset();
    m_dialogs.clear();
    m_lines = std::make_unique<SettingsLines>();
    m_lines->setDialogs(&m_dialogs);
    m_options = std::make_unique<Options>(*m_lines);
    m_profiles = std::make_unique<Profiles>(*m_lines, *m_options, m_dialogs);
    m_now = QDateTime(QDate(2004, 8, 12), QTime(13, 12, 52));
    m_profiles->setClock([this] { return m_now; });
}

void TestProfiles::cleanup()
{
    m_profiles.reset();
    m_options.reset();
    m_lines.reset();
    m_dir.reset();
    DataFolder::reset();
}

void TestProfiles::load(const QString& file)
{
    QFile::remove(iniPath());
    QVERIFY(QFile::copy(dataFile(file), iniPath()));
    QVERIFY(QFile::setPermissions(iniPath(), TextFile::OwnerOnly));
    m_options->loadAtStartUp(&m_dialogs);
    QVERIFY(m_dialogs.asked.isEmpty());
}

void TestProfiles::fill(const QStringList& values)
{
    for (int i = 0; i < Profiles::FieldCount; ++i)
        m_profiles->setField(i, values.value(i));
}

QStringList TestProfiles::fields() const
{
    QStringList out;
    for (int i = 0; i < Profiles::FieldCount; ++i)
        out.append(m_profiles->field(i));
    return out;
}

void TestProfiles::captionsOutsideTheFieldsAreEmpty()
{
    // The tags themselves are checked by loading files the first platform wrote.
    QVERIFY(Profiles::fieldCaption(Profiles::FieldCount).isEmpty());
    QVERIFY(Profiles::fieldCaption(-1).isEmpty());
}

void TestProfiles::scramble_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("stored");
    QTest::newRow("three letters") << "abc"
                                   << "102&108&114";
    QTest::newRow("double-byte and NEC special") << "パス①ワード"
                                                 << "-31883&-31902&-30897&-31837&-32396&-31866";
    QTest::newRow("second byte 0x5C, half-width kana") << "表ｶﾅ7"
                                                       << "-27295&192&212&75";
    QTest::newRow("blank and symbols") << "p@ss w0rd"
                                       << "117&74&130&135&57&149&83&154&145";
    QTest::newRow("empty") << ""
                           << "";
    // CP932 has no such character: it is stored as "?", one position, as the first platform did.
    QTest::newRow("outside CP932") << QStringLiteral("a\U0001F600b") << "102&73&113";
}

void TestProfiles::scramble()
{
    QFETCH(QString, password);
    QFETCH(QString, stored);
    QCOMPARE(Profiles::scramblePassword(password), stored);
}

void TestProfiles::unscramble_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("password");
    QTest::newRow("three letters") << "102&108&114"
                                   << "abc";
    QTest::newRow("double-byte") << "-31883&-31902&-30897&-31837&-32396&-31866"
                                 << "パス①ワード";
    QTest::newRow("second byte 0x5C") << "-27295&192&212&75"
                                      << "表ｶﾅ7";
    QTest::newRow("one character") << "95"
                                   << "Z";
    QTest::newRow("blanks around the numbers") << " 102 & 108 "
                                               << "ab";
    QTest::newRow("empty line") << ""
                                << "";
    QTest::newRow("three blanks before the save") << "   "
                                                  << "";
    QTest::newRow("closing tag of a block without password") << "</FTP　パスワード>"
                                                             << "";
    QTest::newRow("plain text") << "secret"
                                << "";
    QTest::newRow("number then text") << "102&abc"
                                      << "";
    QTest::newRow("trailing ampersand") << "102&"
                                        << "";
    QTest::newRow("doubled ampersand") << "102&&114"
                                       << "";
    QTest::newRow("code beyond two bytes") << "65541"
                                           << "";
    QTest::newRow("code below a signed word") << "-32764"
                                              << "";
    QTest::newRow("huge number") << "99999999999999999999999"
                                 << "";
    QTest::newRow("NUL") << "5"
                         << "";
    QTest::newRow("line feed") << "102&20"
                               << "";
    QTest::newRow("carriage return") << "18"
                                     << "";
}

void TestProfiles::unscramble()
{
    QFETCH(QString, stored);
    QFETCH(QString, password);
    QCOMPARE(Profiles::unscramblePassword(stored), password);
}

void TestProfiles::scrambleRoundTrips()
{
    for (const QString& password : { QStringLiteral("a"), QStringLiteral("ＡＢＣ漢字ｶﾀｶﾅ~\\"),
             QStringLiteral("①②③㈱～－"), QString(200, u'x'), QStringLiteral("ソ能表") }) {
        const QString stored = Profiles::scramblePassword(password);
        QVERIFY(!stored.contains(u' '));
        QCOMPARE(Profiles::unscramblePassword(stored), password);
    }
    // A password longer than any box holds is no password of ours.
    QVERIFY(Profiles::unscramblePassword(Profiles::scramblePassword(QString(1025, u'x'))).isEmpty());
}

void TestProfiles::firstPlatformFileLoadsAndSelects()
{
    load(QStringLiteral("profiles.ini"));
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(m_options->mailAddress(), QStringLiteral("hanako@example.ne.jp"));
    QVERIFY(!m_options->serverTimesAsLocal()); // the last block says OFF

    QSignalSpy txtDir(m_profiles.get(), &Profiles::showInFtpFolderText);
    QSignalSpy folder(m_profiles.get(), &Profiles::localFolderSelected);
    QCOMPARE(m_profiles->selectLastProfile(), 2);
    QCOMPARE(m_profiles->selectedProfileRow(), 2);
    QCOMPARE(fields(),
        QStringList({ "ホームページ①", "ftp.example.ne.jp", "hanako", "パス①ワード", "c:/web/表示", "/public_html",
            "http://www.example.ne.jp/~hanako/" }));
    QCOMPARE(txtDir.size(), 1);
    QCOMPARE(txtDir.at(0).at(0).toString(), QStringLiteral("ホームページ①"));
    QCOMPARE(folder.size(), 1);
    QCOMPARE(folder.at(0).at(0).toString(), QStringLiteral("c:/web/表示"));
    QVERIFY(!m_options->serverTimesAsLocal()); // selecting does not read "<Localtime>"

    // The last-profile block already named it at the end: the file is written back as it was.
    QCOMPARE(readBytes(iniPath()), readBytes(dataFile(QStringLiteral("profiles.ini"))));
    QVERIFY(m_dialogs.asked.isEmpty());
}

void TestProfiles::selectShowsEachKindOfBlock_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("folder"); // what the local pane is asked to list; empty: nothing

    const QStringList before { "ホームページ①", "ftp.example.ne.jp", "hanako", "パス①ワード", "c:/web/表示",
        "/public_html", "http://www.example.ne.jp/~hanako/" };
    // No fields 4 to 6 and no password line: the password is empty and fields 4 to 6 keep their text.
    QTest::newRow("default kind") << "Ring Server"
                                  << QStringList({ "Ring Server", "ftp.ring.example.jp", "anonymous", "", before[4],
                                         before[5], before[6] })
                                  << QString();
    QTest::newRow("registered empty") << "ｶﾅのサーバー"
                                      << QStringList({ "ｶﾅのサーバー", "192.168.0.10", "-", "", "c:", "", "" })
                                      << QDir::homePath();
    QTest::newRow("drive root") << "会社"
                                << QStringList(
                                       { "会社", "ftp.company.example.co.jp", "user01", "表ｶﾅ7", "C:/", "/www", "" })
                                << QDir::homePath();
}

void TestProfiles::selectShowsEachKindOfBlock()
{
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    QFETCH(QString, folder);

    load(QStringLiteral("profiles.ini"));
    m_profiles->selectLastProfile();
    QSignalSpy folders(m_profiles.get(), &Profiles::localFolderSelected);
    m_profiles->selectProfileRow(row(name));
    QCOMPARE(m_profiles->selectedProfileRow(), row(name));
    QCOMPARE(fields(), expected);
    QCOMPARE(folders.size(), folder.isEmpty() ? 0 : 1);
    if (!folder.isEmpty())
        QCOMPARE(folders.at(0).at(0).toString(), folder);

    const QStringList lines = m_lines->lines();
    QCOMPARE(lines.mid(lines.size() - 3), QStringList({ LastTag, name, LastEndTag }));
    QCOMPARE(lines.count(LastTag), 1);
    QCOMPARE(readBytes(iniPath()), cp932Lines(lines));
}

void TestProfiles::backslashesBecomeSlashes()
{
    load(QStringLiteral("firstplatform.ini"));
    QSignalSpy folder(m_profiles.get(), &Profiles::localFolderSelected);
    m_profiles->selectProfileRow(row(QStringLiteral("ホームページ")));
    QCOMPARE(m_profiles->field(4), QStringLiteral("c:/web"));
    QCOMPARE(folder.size(), 1);
    QCOMPARE(folder.at(0).at(0).toString(), QStringLiteral("c:/web"));
    QCOMPARE(m_profiles->field(3), QStringLiteral("abc"));
}

void TestProfiles::selectUnknownNameKeepsTheFields()
{
    load(QStringLiteral("profiles.ini"));
    fill({ "typed", "host.example", "u", "p", "/tmp", "/", "-" });
    QSignalSpy folder(m_profiles.get(), &Profiles::localFolderSelected);
    m_profiles->SelectProfile(QStringLiteral("no such profile"));
    QCOMPARE(fields(), QStringList({ "typed", "host.example", "u", "p", "/tmp", "/", "-" }));
    QCOMPARE(folder.size(), 0);
    // The block names what field 0 holds, and the file is saved.
    const QStringList lines = m_lines->lines();
    QCOMPARE(lines.mid(lines.size() - 3), QStringList({ LastTag, "typed", LastEndTag }));
    QCOMPARE(readBytes(iniPath()), cp932Lines(lines));
}

void TestProfiles::selectFindsTheNameEntryNotALookalike()
{
    // A profile called "anonymous" after blocks whose user ID is "anonymous": its own host shows,
    // not the fields that follow the first line that reads "anonymous".
    load(QStringLiteral("profiles.ini"));
    fill({ "anonymous", "mirror.example.org", "ftp", "", "", "", "" });
    m_profiles->registerProfile();
    fill({ "x", "x", "x", "x", "x", "x", "x" });
    m_profiles->selectProfileRow(row(QStringLiteral("anonymous")));
    QCOMPARE(m_profiles->field(1), QStringLiteral("mirror.example.org"));
    QCOMPARE(m_profiles->field(2), QStringLiteral("ftp"));
}

void TestProfiles::lastProfileBlocksAreReplaced()
{
    // Two blocks, one cut short at the top and a complete one in the middle; a stray closing tag
    // lower down must not take the lines between it and the cut block along.
    const QStringList lines { LastTag, "gone", "<パッシブ>", "ON", "</パッシブ>", NameTag, "A",
        "</管理用の名前（任意の名前）>", LastTag, "A", LastEndTag, "<メール>", "a@example.jp", "</メール>",
        LastEndTag };
    QVERIFY(TextFile::writeLines(iniPath(), lines));
    m_options->loadAtStartUp(&m_dialogs);
    m_profiles->selectProfileRow(0);
    QCOMPARE(m_lines->lines(),
        QStringList({ "<パッシブ>", "ON", "</パッシブ>", NameTag, "A", "</管理用の名前（任意の名前）>", "<メール>",
            "a@example.jp", "</メール>", LastEndTag, LastTag, "A", LastEndTag }));
}

void TestProfiles::startUpSelection_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("selected");
    const QStringList two { NameTag, "A", "</管理用の名前（任意の名前）>", NameTag, "B",
        "</管理用の名前（任意の名前）>" };
    QTest::newRow("names the second") << (two + QStringList { LastTag, "B", LastEndTag }) << 1;
    QTest::newRow("first listed name wins")
        << (QStringList { LastTag, "b", LastEndTag } + two + QStringList { LastTag, "A", LastEndTag }) << 0;
    QTest::newRow("no block") << two << -1;
    QTest::newRow("names no profile") << (two + QStringList { LastTag, "C", LastEndTag }) << -1;
    QTest::newRow("tag as the last line") << (two + QStringList { LastTag }) << -1;
}

void TestProfiles::startUpSelection()
{
    QFETCH(QStringList, lines);
    QFETCH(int, selected);
    QVERIFY(TextFile::writeLines(iniPath(), lines));
    m_options->loadAtStartUp(&m_dialogs);
    QSignalSpy txtDir(m_profiles.get(), &Profiles::showInFtpFolderText);
    QCOMPARE(m_profiles->selectLastProfile(), selected);
    QCOMPARE(m_profiles->selectedProfileRow(), selected);
    QCOMPARE(txtDir.size(), selected < 0 ? 0 : 1);
    if (selected < 0)
        QCOMPARE(m_lines->lines(), lines);
}

void TestProfiles::registerNeedsNameAndHost_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("message");
    QTest::newRow("no name") << QStringList({ "", "host" }) << "管理用の名前（任意の名前）が有りません。";
    QTest::newRow("blank name") << QStringList({ " \u3000 ", "host" }) << "管理用の名前（任意の名前）が有りません。";
    QTest::newRow("no host") << QStringList({ "name", " " }) << "FTPサーバー名（ホストアドレス）が有りません。";
    QTest::newRow("neither") << QStringList({ "", "" }) << "管理用の名前（任意の名前）が有りません。";
}

void TestProfiles::registerNeedsNameAndHost()
{
    QFETCH(QStringList, values);
    QFETCH(QString, message);
    load(QStringLiteral("profiles.ini"));
    const QStringList before = m_lines->lines();
    fill(values);
    m_profiles->registerProfile();
    QCOMPARE(m_dialogs.texts(), QStringList(message));
    QCOMPARE(m_dialogs.asked.at(0).buttons, Dialogs::Buttons::Ok);
    QCOMPARE(m_lines->lines(), before);
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(readBytes(iniPath()), readBytes(dataFile(QStringLiteral("profiles.ini"))));
}

void TestProfiles::registerWithEmptyPasswordAndUserId()
{
    load(QStringLiteral("profiles.ini"));
    fill({ "新しいサーバー", "ftp.new.example", "", "", "", "", "" });
    m_profiles->registerProfile();
    QVERIFY(m_dialogs.asked.isEmpty());
    QCOMPARE(m_profiles->field(2), QStringLiteral("-"));
    QCOMPARE(m_profiles->field(3), QString());
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames + QStringList("新しいサーバー"));
    QCOMPARE(m_profiles->selectedProfileRow(), 5);

    const QByteArray bytes = readBytes(iniPath());
    QVERIFY(bytes.endsWith(
        cp932Lines({ "<FTPアカウント（ユーザーID）>", "-", "</FTPアカウント（ユーザーID）>", "<FTP　パスワード>", "",
            "</FTP　パスワード>", "<ローカルマシン初期フォルダー>", "-", "</ローカルマシン初期フォルダー>",
            "<サーバー初期フォルダー>", "-", "</サーバー初期フォルダー>", "<ホームページアドレス>", "-",
            "</ホームページアドレス>", "<Localtime>", "OFF", "</Localtime>", LastTag, "新しいサーバー", LastEndTag })));
    QVERIFY(ownerOnly(iniPath()));
}

void TestProfiles::registerStoresTheWholeBlock()
{
    load(QStringLiteral("profiles.ini"));
    const QByteArray before = readBytes(iniPath());
    m_options->setServerTimesAsLocal(true);
    fill({ "  自宅  ", "ftpes://[::1]:2121", "taro", "パス①ワード", "/home/taro/site", "/htdocs",
        "http://example.jp/" });
    m_profiles->registerProfile();
    QCOMPARE(m_options->profileNameModel()->stringList().last(), QStringLiteral("自宅"));

    const QStringList block { NameTag, "自宅", "</管理用の名前（任意の名前）>", "<FTPサーバー名（ホストアドレス）>",
        "ftpes://[::1]:2121", "</FTPサーバー名（ホストアドレス）>", "<FTPアカウント（ユーザーID）>", "taro",
        "</FTPアカウント（ユーザーID）>", "<FTP　パスワード>", "-31883&-31902&-30897&-31837&-32396&-31866",
        "</FTP　パスワード>", "<ローカルマシン初期フォルダー>", "/home/taro/site", "</ローカルマシン初期フォルダー>",
        "<サーバー初期フォルダー>", "/htdocs", "</サーバー初期フォルダー>", "<ホームページアドレス>",
        "http://example.jp/", "</ホームページアドレス>", "<Localtime>", "ON", "</Localtime>" };
    // The old last-profile block goes, the new profile and its block follow everything else.
    QByteArray expected = before;
    expected.chop(cp932Lines({ LastTag, "ホームページ①", LastEndTag }).size());
    expected += cp932Lines(block + QStringList { LastTag, "自宅", LastEndTag });
    QCOMPARE(readBytes(iniPath()), expected);
    QCOMPARE(m_profiles->field(0), QStringLiteral("自宅"));
    QCOMPARE(m_profiles->field(3), QStringLiteral("パス①ワード"));

    // And it reads back as registered after a restart.
    SettingsLines reloaded;
    reloaded.setFilePath(iniPath());
    Options reloadedOptions(reloaded);
    Profiles reloadedProfiles(reloaded, reloadedOptions, m_dialogs);
    reloadedOptions.loadAtStartUp(&m_dialogs);
    QCOMPARE(reloadedProfiles.selectLastProfile(), 5);
    QCOMPARE(reloadedProfiles.field(1), QStringLiteral("ftpes://[::1]:2121"));
    QCOMPARE(reloadedProfiles.field(3), QStringLiteral("パス①ワード"));
    QCOMPARE(reloadedProfiles.field(4), QStringLiteral("/home/taro/site"));
    QVERIFY(reloadedOptions.serverTimesAsLocal());
}

void TestProfiles::registerRefusesWhatTheFileCannotHold()
{
    load(QStringLiteral("profiles.ini"));
    fill({ QStringLiteral("絵文字\U0001F600"), "host" });
    m_profiles->registerProfile();
    fill({ "name", "host\r\n<最終 プロﾌｧｲﾙ>" });
    m_profiles->registerProfile();
    QCOMPARE(m_dialogs.texts(),
        QStringList({ "管理用の名前（任意の名前）に設定ファイルへ保存できない文字が含まれています。",
            "FTPサーバー名（ホストアドレス）に設定ファイルへ保存できない文字が含まれています。" }));
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(readBytes(iniPath()), readBytes(dataFile(QStringLiteral("profiles.ini"))));
}

void TestProfiles::updateAnsweredNoChangesNothing()
{
    load(QStringLiteral("profiles.ini"));
    m_profiles->selectProfileRow(row(QStringLiteral("会社")));
    const QStringList lines = m_lines->lines();
    const QByteArray bytes = readBytes(iniPath());
    m_profiles->setField(0, QStringLiteral(" 会社\u3000"));
    m_profiles->setField(1, QStringLiteral("other.example"));
    m_dialogs.queueAnswer(Dialogs::Answer::No);
    m_profiles->registerProfile();
    QCOMPARE(m_dialogs.texts(), QStringList("会社は既に登録されています更新しますか？"));
    QCOMPARE(m_dialogs.asked.at(0).buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(m_lines->lines(), lines);
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(m_profiles->selectedProfileRow(), 4);
    QCOMPARE(readBytes(iniPath()), bytes);
}

void TestProfiles::updateAnsweredYesMovesTheProfileToTheEnd()
{
    load(QStringLiteral("profiles.ini"));
    m_profiles->selectProfileRow(row(QStringLiteral("ホームページ①")));
    m_profiles->setField(1, QStringLiteral("ftp2.example.ne.jp"));
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    m_profiles->registerProfile();
    QCOMPARE(m_options->profileNameModel()->stringList(),
        QStringList({ "Ring Server", "ベンダー", "ｶﾅのサーバー", "会社", "ホームページ①" }));
    QCOMPARE(m_profiles->selectedProfileRow(), 4);

    const QStringList lines = m_lines->lines();
    QCOMPARE(lines.count(QStringLiteral("ホームページ①")), 2); // the name entry and the last-profile block
    QCOMPARE(lines.count(QStringLiteral("ftp.example.ne.jp")), 0);
    QCOMPARE(lines.count(QStringLiteral("ftp2.example.ne.jp")), 1);
    // Every entry of the old block went with it: one Localtime entry per profile, no orphans.
    QCOMPARE(lines.count(QStringLiteral("<Localtime>")), 3);
    QCOMPARE(lines.count(QStringLiteral("<ホームページアドレス>")), 3);
    QCOMPARE(lines.size(), 116);
    QCOMPARE(lines.indexOf(QStringLiteral("<SetText>")), 103 - 24);
    QCOMPARE(readBytes(iniPath()), cp932Lines(lines));
}

void TestProfiles::deleteSelectedProfile()
{
    load(QStringLiteral("profiles.ini"));
    const QStringList before = m_lines->lines();
    m_profiles->selectProfileRow(row(QStringLiteral("ホームページ①")));
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    m_profiles->deleteSelectedProfile();
    QCOMPARE(m_dialogs.texts(), QStringList("登録を抹消しますか？"));
    QCOMPARE(m_dialogs.asked.at(0).buttons, Dialogs::Buttons::YesNo);

    QCOMPARE(m_options->profileNameModel()->stringList(), QStringList({ "Ring Server", "ベンダー", "ｶﾅのサーバー", "会社" }));
    QCOMPARE(m_profiles->selectedProfileRow(), -1);
    // Fields 0 to 3 are cleared, 4 to 6 keep the deleted profile's text.
    QCOMPARE(
        fields(), QStringList({ "", "", "", "", "c:/web/表示", "/public_html", "http://www.example.ne.jp/~hanako/" }));

    // The whole block (lines 31 to 54) and the last-profile block naming it are gone; nothing else.
    QStringList expected = before;
    expected.remove(113, 3);
    expected.remove(31, 24);
    QCOMPARE(m_lines->lines(), expected);
    QCOMPARE(readBytes(iniPath()), cp932Lines(expected));
}

void TestProfiles::deleteAskedNoOrNothingSelected()
{
    load(QStringLiteral("profiles.ini"));
    m_profiles->selectProfileRow(1);
    const QByteArray bytes = readBytes(iniPath());
    fill({ "a", "b", "c", "d" });
    m_dialogs.queueAnswer(Dialogs::Answer::No);
    m_profiles->deleteSelectedProfile();
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(m_profiles->selectedProfileRow(), 1);
    QCOMPARE(m_profiles->field(0), QStringLiteral("a"));
    QCOMPARE(readBytes(iniPath()), bytes);

    // Nothing selected (after a restore): the question comes, then nothing happens.
    QVERIFY(m_profiles->restoreSettings(iniPath()));
    QCOMPARE(m_profiles->selectedProfileRow(), -1);
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    m_profiles->deleteSelectedProfile();
    QCOMPARE(m_dialogs.texts(), QStringList({ "登録を抹消しますか？", "登録を抹消しますか？" }));
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(m_profiles->field(0), QStringLiteral("a"));
    QCOMPARE(readBytes(iniPath()), bytes);
}

void TestProfiles::deleteTheLastProfile()
{
    load(QStringLiteral("profiles.ini"));
    m_profiles->selectProfileRow(4);
    m_dialogs.queueAnswer(Dialogs::Answer::Yes);
    m_profiles->deleteSelectedProfile();
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames.mid(0, 4));
    QCOMPARE(m_profiles->selectedProfileRow(), -1);
    QCOMPARE(fields().mid(0, 4), QStringList({ "", "", "", "" }));
    // 会社 was the last profile selected: no last-profile block is left.
    QCOMPARE(m_lines->lines().count(LastTag), 0);
    QCOMPARE(m_lines->lines().count(QStringLiteral("<Localtime>")), 2);

    // Down to none at all.
    for (int i = 3; i >= 0; --i) {
        m_profiles->selectProfileRow(i);
        m_dialogs.queueAnswer(Dialogs::Answer::Yes);
        m_profiles->deleteSelectedProfile();
    }
    QVERIFY(m_options->profileNameModel()->stringList().isEmpty());
    QCOMPARE(m_lines->lines(),
        QStringList({ "<プロキシ>", "OFF", "</プロキシ>", "<プロキシ名>", "", "</プロキシ名>", "<メール>",
            "hanako@example.ne.jp", "</メール>", "<SetText>", "txt", "html", "htm", "</SetText>", "<NotText>", "tmp",
            "bak", "$$$", "</NotText>" }));
}

void TestProfiles::deleteBlockOfTheDefaultKind()
{
    load(QStringLiteral("profiles.ini"));
    const QStringList before = m_lines->lines();
    m_profiles->DeleteProfile(QStringLiteral("ベンダー"));
    QStringList expected = before;
    expected.remove(11, 11);
    QCOMPARE(m_lines->lines(), expected);
    QCOMPARE(readBytes(iniPath()), cp932Lines(expected));
}

void TestProfiles::deleteKeepsEmptyEntriesOfOthers()
{
    // Another profile's blank password line and an option's empty value stay entries: removing
    // them would make the next line, a closing tag, their value.
    load(QStringLiteral("profiles.ini"));
    m_profiles->DeleteProfile(QStringLiteral("会社"));
    const QStringList lines = m_lines->lines();
    const qsizetype proxyName = lines.indexOf(QStringLiteral("<プロキシ名>"));
    QCOMPARE(lines.mid(proxyName, 3), QStringList({ "<プロキシ名>", "", "</プロキシ名>" }));
    const qsizetype kana = lines.indexOf(QStringLiteral("ｶﾅのサーバー"));
    QCOMPARE(lines.mid(kana + 8, 3), QStringList({ "<FTP　パスワード>", "", "</FTP　パスワード>" }));

    m_options->ApplySettings();
    QCOMPARE(m_options->proxyHost(), QString());
}

void TestProfiles::clearAndAnonymous()
{
    fill({ "n", "h", "u", "p", "/l", "/s", "http://w/" });
    m_profiles->clearFields();
    QCOMPARE(fields(), QStringList({ "", "", "", "", "/l", "/s", "http://w/" }));

    // Without a mail address only the user ID is set.
    m_profiles->setField(3, QStringLiteral("kept"));
    m_profiles->anonymous();
    QCOMPARE(m_profiles->field(2), QStringLiteral("anonymous"));
    QCOMPARE(m_profiles->field(3), QStringLiteral("kept"));
    m_options->setMailAddress(QStringLiteral("taro@example.ne.jp"));
    m_profiles->anonymous();
    QCOMPARE(m_profiles->field(3), QStringLiteral("taro@example.ne.jp"));
    // Neither stores anything.
    QVERIFY(!QFile::exists(iniPath()));
}

void TestProfiles::backupName_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("name");
    QTest::newRow("afternoon") << QDateTime(QDate(2004, 8, 12), QTime(13, 12, 52)) << "FTPSet120040812131252.txt";
    QTest::newRow("morning, leading zeros")
        << QDateTime(QDate(2010, 1, 2), QTime(9, 5, 3)) << "FTPSet120100102090503.txt";
}

void TestProfiles::backupName()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, name);
    QCOMPARE(Profiles::backupFileName(when), name);
}

void TestProfiles::backupCopiesTheFileAsLastSaved()
{
    load(QStringLiteral("profiles.ini"));
    m_profiles->selectProfileRow(0);
    const QByteArray saved = readBytes(iniPath());
    // A change kept in memory is not in the backup.
    m_options->setProxyHost(QStringLiteral("proxy.example"));
    QVERIFY(m_lines->lines().contains(QStringLiteral("proxy.example")));

    const QString backup = m_profiles->backUpSettings();
    QCOMPARE(backup, m_dir->filePath(QStringLiteral("FTPSet120040812131252.txt")));
    QCOMPARE(readBytes(backup), saved);
    QVERIFY(ownerOnly(backup));
    QVERIFY(m_dialogs.asked.isEmpty());

    m_now = m_now.addSecs(1);
    QCOMPARE(QFileInfo(m_profiles->backUpSettings()).fileName(), QStringLiteral("FTPSet120040812131253.txt"));
}

void TestProfiles::backupWithoutSettingsFile()
{
    QCOMPARE(m_profiles->backUpSettings(), QString());
    QCOMPARE(m_dialogs.asked.size(), 1);
    QVERIFY(m_dialogs.texts().at(0).contains(QStringLiteral("バックアップできませんでした")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void TestProfiles::restoreReplacesTheList()
{
    load(QStringLiteral("profiles.ini"));
    m_profiles->selectProfileRow(2);
    const QString backup = m_profiles->backUpSettings();
    fill({ "後から", "later.example" });
    m_profiles->registerProfile();
    const QByteArray afterRegister = readBytes(iniPath());
    QCOMPARE(m_profiles->selectedProfileRow(), 5);

    QVERIFY(m_profiles->restoreSettings(backup));
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
    QCOMPARE(m_profiles->selectedProfileRow(), -1);
    QCOMPARE(m_lines->lines(), TextFile::readLines(backup).value());
    QCOMPARE(m_options->mailAddress(), QStringLiteral("hanako@example.ne.jp"));
    // ftpset.ini changes with the next save only.
    QCOMPARE(readBytes(iniPath()), afterRegister);
    m_profiles->selectProfileRow(2);
    QCOMPARE(readBytes(iniPath()), readBytes(backup));
}

void TestProfiles::restoreOfAnUnreadableFile()
{
    load(QStringLiteral("profiles.ini"));
    const QStringList lines = m_lines->lines();
    QVERIFY(!m_profiles->restoreSettings(m_dir->filePath(QStringLiteral("FTPSet1missing.txt"))));
    QCOMPARE(m_dialogs.asked.size(), 1);
    QVERIFY(m_dialogs.texts().at(0).contains(QStringLiteral("FTPSet1missing.txt")));
    QCOMPARE(m_lines->lines(), lines);
    QCOMPARE(m_options->profileNameModel()->stringList(), ProfileNames);
}

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
