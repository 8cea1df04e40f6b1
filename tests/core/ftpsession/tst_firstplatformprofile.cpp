// A settings file as the first platform left it (CP932, CR LF, scrambled passwords with
// double-byte characters) loads, selects its last profile and connects with it: the password
// must reach the server as the same CP932 bytes the first platform sent.
#include "panerig.h"
#include "support/scriptedftpserver.h"
#include "support/settingsfiles.h"

#include <QFile>
#include <QTest>

namespace {

using SettingsFiles::readBytes;

// "パス①ワード" as the first platform sent it; "①" is one of the NEC row 13 characters.
const QByteArray PasswordBytes("\x83p\x83X\x87@\x83\x8f\x81[\x83h");

} // namespace

class TestFirstPlatformProfile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void profileLoadsSelectsAndConnects();
};

void TestFirstPlatformProfile::profileLoadsSelectsAndConnects()
{
    // Only this user with exactly these password bytes logs in: a password sent in another
    // encoding, or unscrambled wrongly, gets 530 and the connect fails.
    ScriptedFtpServer server;
    QString error;
    QVERIFY2(server.startScript(QStringLiteral("login hanako ") + QString::fromLatin1(PasswordBytes)
                     + QStringLiteral("\ndir /public_html\nfile /public_html/index.html text hello\n"),
                 &error),
        qPrintable(error));

    PaneRig rig;
    // The first platform's file with the profile's host pointed at the scripted server; every
    // other byte, the scrambled password line among them, stays as it was written.
    QByteArray file = readBytes(QStringLiteral(FTPTARVO_TEST_DATA_DIR "/settings/profiles.ini"));
    const QByteArray scrambled("\r\n-31883&-31902&-30897&-31837&-32396&-31866\r\n");
    QVERIFY(file.contains(scrambled));
    QVERIFY(file.contains(QByteArray(Cp932::encode(QStringLiteral("<FTP\u3000パスワード>")) + scrambled)));
    const QByteArray hostLine("\r\nftp.example.ne.jp\r\n");
    QCOMPARE(file.count(hostLine), 1);
    file.replace(hostLine, QByteArray("\r\n" + server.hostField().toLatin1() + "\r\n"));
    const QString ini = rig.data.filePath(QStringLiteral("ftpset.ini"));
    {
        QFile out(ini);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file), file.size());
    }
    QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner));

    rig.options->loadAtStartUp(&rig.dialogs);
    QVERIFY2(rig.dialogs.asked.isEmpty(), qPrintable(rig.dialogs.texts().join(u'|')));
    QCOMPARE(rig.profiles->selectLastProfile(), 2);
    QCOMPARE(rig.profiles->field(0), QStringLiteral("ホームページ①"));
    QCOMPARE(rig.profiles->field(1), server.hostField());
    QCOMPARE(rig.profiles->field(2), QStringLiteral("hanako"));
    QCOMPARE(rig.profiles->field(3), QStringLiteral("パス①ワード"));
    QCOMPARE(rig.profiles->field(5), QStringLiteral("/public_html"));

    rig.pane->ConnectServer();
    QVERIFY2(rig.state.IsConnected,
        qPrintable(rig.dialogs.texts().join(u'|') + u'|' + rig.statusLines().join(u'|') + u'|'
            + server.commands().join(u'|')));
    QVERIFY(rig.pane->FtpHandle());
    QCOMPARE(rig.serverFolder(), QStringLiteral("/public_html"));

    // The log shows bytes outside printable ASCII as "\xHH": the PASS line is exactly the CP932
    // bytes, sent once.
    const QStringList commands = server.commands();
    QCOMPARE(commands.filter(QStringLiteral("PASS ")),
        QStringList({ QStringLiteral("PASS \\x83p\\x83X\\x87@\\x83\\x8f\\x81[\\x83h") }));
    QCOMPARE(commands.filter(QStringLiteral("USER ")), QStringList({ QStringLiteral("USER hanako") }));
    QCOMPARE(server.connectionCount(), 1);

    rig.pane->DisconnectServer();
    QVERIFY(!rig.state.IsConnected);
}

QTEST_GUILESS_MAIN(TestFirstPlatformProfile)
#include "tst_firstplatformprofile.moc"
