// Making a server folder and changing permissions with SITE CHMOD against pyftpdlib, and what a
// server that refuses both leaves behind.
#include "core/ftp/ftpconnection.h"
#include "core/manage/managerules.h"
#include "managerig.h"
#include "support/scriptedftpserver.h"

#include <QSignalSpy>
#include <QTest>
#include <sys/stat.h>

namespace {

int modeOf(const QString& path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

} // namespace

class TestFoldersAndModes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void makesServerFolderAndGoesIntoIt();
    void chmodsSelectedFilesInListOrder();
    void chmodKeepsBlanksAroundTheName_data();
    void chmodKeepsBlanksAroundTheName();
    void chmodNeedsASelection();
    void refusingServer();
};

void TestFoldersAndModes::makesServerFolderAndGoesIntoIt()
{
    FtpServerFixture server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeEntries(server.root(), { QStringLiteral("www/"), QStringLiteral("www/index.html") }));
    QVERIFY(rig.showAndSelect(QStringLiteral("/www"), { QStringLiteral("index.html") }));
    rig.dialogs.queueInput(QStringLiteral("新しい フォルダ"));

    rig.folders.MakeServerFolder();

    QCOMPARE(
        rig.dialogs.texts(), QStringList { QStringLiteral("Ftpサーバー上で作成するフォルダーの名前を入れてください") });
    QVERIFY(QFileInfo(server.root() + QStringLiteral("/www/新しい フォルダ")).isDir());
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/www/新しい フォルダ"));
    QCOMPARE(rig.serverFolder(), QStringLiteral("/www/新しい フォルダ"));
    QVERIFY(rig.listNames().isEmpty());
    QCOMPARE(rig.linesStartingWith(QStringLiteral("FTPﾌｫﾙﾀﾞｰ作成:")),
        QStringList { QStringLiteral("/www/新しい フォルダ") });
    QVERIFY(rig.logText().contains(QStringLiteral("/www/新しい フォルダ</FTPフォルダ作成>")));

    // Cancelled: nothing made, nothing logged.
    const QStringList before = entriesBelow(server.root());
    rig.dialogs.queueInput(std::nullopt);
    rig.folders.MakeServerFolder();
    QCOMPARE(entriesBelow(server.root()), before);
    QCOMPARE(rig.linesStartingWith(QStringLiteral("FTPﾌｫﾙﾀﾞｰ作成:")).size(), 1);
}

void TestFoldersAndModes::chmodsSelectedFilesInListOrder()
{
    FtpServerFixture server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    QVERIFY(makeEntries(server.root(),
        { QStringLiteral("www/"), QStringLiteral("www/a.cgi"), QStringLiteral("www/b.cgi"),
            QStringLiteral("www/c.html"), QStringLiteral("www/my page.html") }));
    QVERIFY(rig.showAndSelect(QStringLiteral("/www"), { QStringLiteral("b.cgi"), QStringLiteral("a.cgi") }));
    QStringList selectedInOrder;
    for (const QString& name : rig.listNames()) {
        if (name.endsWith(QStringLiteral(".cgi")))
            selectedInOrder.append(name);
    }
    for (int i : { 2, 5, 8 })
        rig.permissions.setModeBit(i, true); // 644 + x everywhere
    QCOMPARE(rig.permissions.modeText(), QStringLiteral("755"));
    QSignalSpy text3(&rig.permissions, &Permissions::consoleReply);

    QVERIFY(rig.permissions.ChangeServerPermissions());

    QCOMPARE(modeOf(server.root() + QStringLiteral("/www/a.cgi")), 0755);
    QCOMPARE(modeOf(server.root() + QStringLiteral("/www/b.cgi")), 0755);
    QVERIFY(modeOf(server.root() + QStringLiteral("/www/c.html")) != 0755);
    QCOMPARE(text3.size(), 2);
    QVERIFY(text3.first().first().toString().startsWith(QStringLiteral("200")));
    QStringList changed;
    for (const QString& line : rig.statusLines())
        if (line.endsWith(QStringLiteral(" パーミッション変更")))
            changed.append(line.mid(9).chopped(int(QStringLiteral(" パーミッション変更").size())));
    QCOMPARE(changed, selectedInOrder);
    QVERIFY(rig.logText().contains(QStringLiteral("a.cgi 755</パーミッション変更>")));

    // A name with blanks goes as it is.
    QVERIFY(rig.showAndSelect(QStringLiteral("/www"), { QStringLiteral("my page.html") }));
    rig.permissions.setModeBit(8, false);
    rig.permissions.setModeBit(5, false);
    rig.permissions.setModeBit(2, false);
    rig.permissions.setModeBit(4, true);
    QCOMPARE(rig.permissions.modeText(), QStringLiteral("664"));
    QVERIFY(rig.permissions.ChangeServerPermissions());
    QCOMPARE(modeOf(server.root() + QStringLiteral("/www/my page.html")), 0664);
}

void TestFoldersAndModes::chmodKeepsBlanksAroundTheName_data()
{
    QTest::addColumn<FtpServerFixture::Kind>("kind");
    QTest::newRow("pyftpdlib") << FtpServerFixture::Kind::Pyftpdlib;
    QTest::newRow("vsftpd") << FtpServerFixture::Kind::Vsftpd;
}

// Blanks at either end belong to the name: a trimmed command line changes the mode of another
// file, or of none.
void TestFoldersAndModes::chmodKeepsBlanksAroundTheName()
{
    QFETCH(FtpServerFixture::Kind, kind);
    FtpServerFixture server(kind);
    ManageRig rig;
    QVERIFY(rig.connectTo(server));
    // The listing keeps one blank at the end of a name (a blank in front is lost in its columns).
    const QString trailing = QStringLiteral("trail .html ");
    const QString both = QStringLiteral(" lead and trail .html ");
    QVERIFY(makeEntries(server.root(),
        { QStringLiteral("www/"), QStringLiteral("www/") + trailing, QStringLiteral("www/trail .html"),
            QStringLiteral("www/") + both, QStringLiteral("www/lead and trail .html") }));
    const QString www = server.root() + QStringLiteral("/www/");
    for (const QString& name :
        { trailing, QStringLiteral("trail .html"), both, QStringLiteral("lead and trail .html") })
        QVERIFY(::chmod(QFile::encodeName(www + name).constData(), 0600) == 0);
    QVERIFY(rig.showAndSelect(QStringLiteral("/www"), { trailing }));
    rig.permissions.setModeBit(2, true);
    rig.permissions.setModeBit(5, true);
    QCOMPARE(rig.permissions.modeText(), QStringLiteral("754"));

    QVERIFY(rig.permissions.ChangeServerPermissions());

    QCOMPARE(modeOf(www + trailing), 0754);
    QCOMPARE(modeOf(www + QStringLiteral("trail .html")), 0600);
    QCOMPARE(rig.linesStartingWith(trailing), QStringList { QStringLiteral(" パーミッション変更") });

    // The user moved the server elsewhere in the console: the name is still the pane's, and it
    // goes to the server exactly, blanks in front included.
    QVERIFY(rig.pane->FtpHandle()->command(QStringLiteral("CWD /")));
    FtpConnection& connection = *rig.pane->FtpHandle();
    QVERIFY2(connection.nameCommand(ManageRules::chmodCommand(QStringLiteral("640"), both)),
        qPrintable(connection.lastResponse()));
    QCOMPARE(modeOf(www + both), 0640);
    QCOMPARE(modeOf(www + QStringLiteral("lead and trail .html")), 0600);
    QVERIFY(connection.lastResponse().startsWith(QStringLiteral("200")));

    // Line ends and NUL never reach the server, not even inside a name.
    const QStringList bad = { QStringLiteral("a\r\nDELE b"), QStringLiteral("a\nb"), QStringLiteral("a") + QChar(0) };
    for (const QString& name : bad)
        QVERIFY(!connection.nameCommand(ManageRules::chmodCommand(QStringLiteral("777"), name)));
    QVERIFY(connection.nameCommand(ManageRules::chmodCommand(QStringLiteral("644"), trailing)));
    QCOMPARE(modeOf(www + trailing), 0644);
}

void TestFoldersAndModes::chmodNeedsASelection()
{
    ManageRig rig;
    QSignalSpy hide(&rig.permissions, &Permissions::panelHideRequested);
    rig.permissions.setCloseAfterChange(true);
    rig.permissions.onRunClicked();
    QCOMPARE(rig.dialogs.texts(), QStringList { Permissions::nothingSelectedText() });
    QCOMPARE(hide.size(), 0);

    QSignalSpy shown(&rig.permissions, &Permissions::panelRequested);
    rig.permissions.ShowPermissionPanel();
    QCOMPARE(shown.size(), 1);
    const QStringList lines = rig.permissions.explanationText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines.first(), QStringLiteral("多くのFTTサーバーはUNIXと言うプログラムで管理されています。"));
    QCOMPARE(lines.at(9), QStringLiteral("Everyone(Public)サーバーにアクセスする全てのユーザー"));
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(rig.permissions.modeText(), QStringLiteral("644"));
    QCOMPARE(rig.permissions.modeLetters(), QStringLiteral("rw-r--r--"));

    // The companion's mode: only three octal digits reach the command line.
    QVERIFY(rig.permissions.setModeText(QStringLiteral("751")));
    QCOMPARE(rig.permissions.modeLetters(), QStringLiteral("rwxr-x--x"));
    QVERIFY(rig.permissions.modeBit(5) && !rig.permissions.modeBit(4));
    QVERIFY(!rig.permissions.setModeText(QStringLiteral("7 DELE x")));
    QCOMPARE(rig.permissions.modeText(), QStringLiteral("751"));
}

void TestFoldersAndModes::refusingServer()
{
    ScriptedFtpServer server;
    ManageRig rig;
    QVERIFY(rig.connectTo(server,
        QStringLiteral("dir /www\n"
                       "file /www/a\\x20b.html text a\n"
                       "file /www/c.html text c\n"
                       "on MKD,SITE\n"
                       "  reply 550 Permission denied.\n"
                       "end\n")));
    QVERIFY(rig.showAndSelect(QStringLiteral("/www"), { QStringLiteral("a b.html"), QStringLiteral("c.html") }));
    const QStringList before = rig.listNames();
    QSignalSpy text3(&rig.permissions, &Permissions::consoleReply);

    QVERIFY(rig.permissions.ChangeServerPermissions());

    QVERIFY(server.commands().contains(QStringLiteral("SITE CHMOD 644 a b.html")));
    QVERIFY(server.commands().contains(QStringLiteral("SITE CHMOD 644 c.html")));
    QCOMPARE(text3.size(), 0);
    // Each refusal is shown (the engine's error box) and logged as a failure.
    QCOMPARE(rig.dialogs.asked.size(), 2);
    QVERIFY(rig.dialogs.texts().first().contains(QStringLiteral("550 Permission denied.")));
    QCOMPARE(
        rig.linesStartingWith(QStringLiteral("a b.html")), QStringList { QStringLiteral(" パーミッション変更失敗") });
    QVERIFY(rig.logText().contains(QStringLiteral("<パーミッション変更失敗>")));
    QCOMPARE(rig.listNames(), before);

    // A refused folder: the server's answer is shown, the pane stays where it was.
    rig.dialogs.clear();
    rig.dialogs.queueInput(QStringLiteral("new"));
    rig.folders.MakeServerFolder();
    QVERIFY(server.commands().contains(QStringLiteral("MKD new")));
    QCOMPARE(rig.dialogs.asked.size(), 2);
    QVERIFY(rig.dialogs.texts().last().contains(QStringLiteral("550 Permission denied.")));
    QCOMPARE(rig.pane->folderText(), QStringLiteral("/www"));
    QCOMPARE(rig.listNames(), before);
    QVERIFY(rig.linesStartingWith(QStringLiteral("FTPﾌｫﾙﾀﾞｰ作成:")).isEmpty());
    QVERIFY(rig.state.IsConnected);
}

QTEST_GUILESS_MAIN(TestFoldersAndModes)
#include "tst_foldersandmodes.moc"
