// The real program started with a profile name on its command line: it connects to the profile's
// server, lists the start folder, logs the connection, and logs the end of it when it is ended.
#include "core/app/codepage.h"
#include "support/ftpserverfixture.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

using SettingsFiles::writeBytes;

QString readLog(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? Cp932::decode(f.readAll()) : QString();
}

// Two profiles; the second one is the test server with the start folder "pub".
QByteArray settingsFor(const FtpServerFixture& server, bool wrongPassword)
{
    QByteArray site = SettingsFiles::profileSettings(server, QStringLiteral("Site One"), QStringLiteral("pub"));
    if (wrongPassword)
        site = SettingsFiles::profileLines({ QStringLiteral("Site One"), server.hostField(), server.user(),
            Profiles::scramblePassword(QStringLiteral("wrong")), QStringLiteral("c:"), QStringLiteral("pub"),
            QStringLiteral("-") });
    return SettingsFiles::profileLines({ QStringLiteral("他のサーバー"), QStringLiteral("127.0.0.1:1"),
               QStringLiteral("x"), QString(), QStringLiteral("c:"), QStringLiteral("-"), QStringLiteral("-") })
        + site;
}

} // namespace

class TestConnectProfile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void connectsAndLogs_data();
    void connectsAndLogs();
};

void TestConnectProfile::connectsAndLogs_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("wrongPassword");
    QTest::newRow("ended with SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("ended with SIGINT") << int(SIGINT) << false;
    // A desktop log-out while the error box waits for an answer.
    QTest::newRow("SIGTERM while the wrong-password box is up") << int(SIGTERM) << true;
}

void TestConnectProfile::connectsAndLogs()
{
    QFETCH(int, signalNumber);
    QFETCH(bool, wrongPassword);
    FtpServerFixture server(FtpServerFixture::Kind::Pyftpdlib);
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QVERIFY(QDir(server.root()).mkpath(QStringLiteral("pub/start-folder-marker")));

    QTemporaryDir data;
    QTemporaryDir home;
    QVERIFY(data.isValid() && home.isValid());
    QVERIFY(writeBytes(data.filePath(QStringLiteral("ftpset.ini")), settingsFor(server, wrongPassword)));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FTPTARVO_HOME"), data.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The name in another letter case, as the command line compares upper-cased.
    program.start(QStringLiteral(FTPTARVO_BINARY), { QStringLiteral("SITE"), QStringLiteral("one") });
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));

    const QString logPath = data.filePath(QStringLiteral("ftptarvo.log"));
    const QString host = server.hostField();
    if (wrongPassword) {
        // The refusal is in the server's log; the box that reports it then waits for the user.
        QTRY_VERIFY_WITH_TIMEOUT(server.logText().contains(QStringLiteral("-> 530")), 30000);
        QTest::qWait(1000);
        QVERIFY(program.state() == QProcess::Running);
        QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
        QVERIFY2(program.waitForFinished(15000), "the program hangs on a signal while a box is open");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // The box was answered as cancelled: the connect went on to log its failure.
        QVERIFY2(readLog(logPath).contains(QStringLiteral("<FTP接続失敗>")), qPrintable(readLog(logPath)));
        QVERIFY(SettingsFiles::readBytes(data.filePath(QStringLiteral("ftpset.ini")))
                    .endsWith(QByteArray(Cp932::encode(QStringLiteral("</最終 プロﾌｧｲﾙ>")) + "\r\n")));
        return;
    }
    const QRegularExpression started(QStringLiteral("<Ftp接続開始>\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ")
        + QRegularExpression::escape(host) + QStringLiteral("</FTP接続開始>"));
    QTRY_VERIFY2_WITH_TIMEOUT(started.match(readLog(logPath)).hasMatch(), qPrintable(readLog(logPath)), 30000);
    // The start folder was entered (relative to the root the server showed) and listed.
    const QString cwd = QStringLiteral("<- CWD pub");
    QTRY_VERIFY_WITH_TIMEOUT(server.logText().contains(cwd), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        server.logText().indexOf(QStringLiteral("<- LIST"), server.logText().lastIndexOf(cwd)) > 0, 10000);
    QVERIFY(program.state() == QProcess::Running);

    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    const QString log = readLog(logPath);
    const QRegularExpression ended(QStringLiteral("<FTP接続終了>\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ")
        + QRegularExpression::escape(host) + QStringLiteral("</FTP接続終了>\\r\\n"));
    const QRegularExpressionMatch end = ended.match(log);
    QVERIFY2(end.hasMatch(), qPrintable(log));
    QVERIFY(end.capturedStart() > started.match(log).capturedStart());
    QVERIFY(!log.contains(QStringLiteral("<FTP接続失敗>")));
}

QTEST_GUILESS_MAIN(TestConnectProfile)
#include "tst_connect_profile.moc"
