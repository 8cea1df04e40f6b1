#include "core/app/codepage.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

using SettingsFiles::writeBytes;

} // namespace

// The real program, started offscreen: it starts, writes its settings, and ends cleanly with its
// exit steps on SIGTERM and SIGINT.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsCleanlyOnSignal_data();
    void endsCleanlyOnSignal();
};

void TestStartup::endsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QStringList>("arguments");
    // The settings file appears in the middle of start-up: a signal sent at once arrives while
    // start-up runs, one sent later while the event loop waits.
    QTest::addColumn<int>("waitMs");
    QTest::newRow("SIGTERM during start-up") << int(SIGTERM) << QStringList() << 0;
    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringList() << 1500;
    QTest::newRow("SIGINT") << int(SIGINT) << QStringList() << 1500;
    // Without a window the signal is the only way to end it.
    QTest::newRow("SIGTERM, started hidden")
        << int(SIGTERM) << QStringList(QStringLiteral("<message invisible>")) << 1500;
    QTest::newRow("SIGINT, path of three parts")
        << int(SIGINT) << QStringList({ QStringLiteral("/nonexistent/index.html") }) << 1500;
}

void TestStartup::endsCleanlyOnSignal()
{
    QFETCH(int, signalNumber);
    QFETCH(QStringList, arguments);
    QFETCH(int, waitMs);

    QTemporaryDir data;
    QTemporaryDir home;
    QVERIFY(data.isValid() && home.isValid());
    for (const char* name : { "$temp$.txt", "$temp$.htm", "temp/page.html", "keep.txt" })
        QVERIFY(writeBytes(data.filePath(QLatin1String(name)), "x"));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FTPTARVO_HOME"), data.path());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(FTPTARVO_BINARY), arguments);
    QVERIFY2(program.waitForStarted(10000), qPrintable(program.errorString()));

    // The settings file is written when start-up selects the last profile.
    const QString ini = data.filePath(QStringLiteral("ftpset.ini"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ini), 30000);
    QTest::qWait(waitMs);
    QVERIFY(program.state() == QProcess::Running);

    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    for (const char* gone : { "$temp$.txt", "$temp$.htm", "temp" })
        QVERIFY2(!QFileInfo::exists(data.filePath(QLatin1String(gone))), gone);
    QVERIFY(QFile::exists(data.filePath(QStringLiteral("keep.txt"))));
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(QByteArray(Cp932::encode(QStringLiteral("<管理用の名前（任意の名前）>")) + "\r\n")));
    QVERIFY(bytes.endsWith(QByteArray(Cp932::encode(QStringLiteral("</最終 プロﾌｧｲﾙ>")) + "\r\n")));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
