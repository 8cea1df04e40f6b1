// The real program ended by SIGTERM or SIGINT, as a desktop's log-out ends it: each end runs the exit steps.
#include "core/app/textfile.h"
#include "core/settings/profiles.h"
#include "core/workspace/schedulerecords.h"
#include "program.h"
#include "support/ftpserverfixture.h"
#include "support/texttable.h"

#include <QDir>
#include <QRegularExpression>

class TestProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsCleanlyOnSignal_data()
    {
        // ftpset.ini appears in the middle of start-up: a signal sent at once arrives while start-up runs,
        // one sent later while the event loop waits. "wrong password": a log-out while the error box waits.
        TextTable::rows({ "signal", "start", "waitMs" }, R"(
            SIGTERM during start-up | 15 |  | 0
            SIGINT | 2 |  | 1500
            SIGTERM, started hidden | 15 | hidden | 1500
            SIGTERM, connected | 15 | profile | 0
            SIGTERM while the wrong-password box is up | 15 | wrong password | 1000)");
    }
    void endsCleanlyOnSignal()
    {
        QFETCH(QString, start);
        Program program;
        for (const char* name : { "$temp$.txt", "$temp$.htm", "temp/page.html", "keep.txt" })
            QVERIFY(writeBytes(program.data.filePath(QLatin1String(name)), "x"));
        FtpServerFixture server(FtpServerFixture::Kind::Pyftpdlib);
        QStringList arguments;
        if (start == u"hidden"_s)
            arguments << u"<message invisible>"_s;
        if (start == u"profile"_s || start == u"wrong password"_s) { // named on the command line
            QString error;
            QVERIFY2(server.start(&error), qPrintable(error));
            QVERIFY(QDir(server.root()).mkpath(u"pub/start-folder-marker"_s));
            QVERIFY(writeBytes(program.data.filePath(u"ftpset.ini"_s),
                SettingsFiles::profileLines({ u"他のサーバー"_s, u"127.0.0.1:1"_s, u"x"_s })
                    + SettingsFiles::profileLines({ u"Site One"_s, server.hostField(), server.user(),
                        Profiles::scramblePassword(start == u"profile"_s ? server.password() : u"wrong"_s), u"c:"_s,
                        u"pub"_s })));
            arguments << u"SITE"_s << u"one"_s; // the name in another letter case: it is compared upper-cased
        }
        QVERIFY2(program.start(arguments), qPrintable(program.process.errorString()));
        const QString stamp
            = u"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "_s + QRegularExpression::escape(server.hostField());
        const QRegularExpression started(u"<Ftp接続開始>%1</FTP接続開始>"_s.arg(stamp));
        if (start == u"profile"_s) {
            QTRY_VERIFY2_WITH_TIMEOUT(started.match(program.log()).hasMatch(), qPrintable(program.log()), 30000);
            // The start folder was entered (relative to the root the server showed) and listed.
            QTRY_VERIFY_WITH_TIMEOUT(
                server.logText().indexOf(u"<- LIST"_s, server.logText().lastIndexOf(u"<- CWD pub"_s)) > 0
                    && server.logText().contains(u"<- CWD pub"_s),
                10000);
        } else if (start == u"wrong password"_s) {
            QTRY_VERIFY_WITH_TIMEOUT(server.logText().contains(u"-> 530"_s), 30000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.data.filePath(u"ftpset.ini"_s)), 30000);
        }
        QFETCH(QString, waitMs);
        QTest::qWait(waitMs.toInt());
        QVERIFY(program.process.state() == QProcess::Running);
        QFETCH(QString, signal);
        QCOMPARE(::kill(pid_t(program.process.processId()), signal.toInt()), 0);
        QVERIFY2(program.endedCleanly(), "the program did not end cleanly on the signal");

        QCOMPARE(QDir(program.data.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).filter(u"temp"_s),
            QStringList());
        QVERIFY(QFile::exists(program.data.filePath(u"keep.txt"_s)));
        const QByteArray settings = readBytes(program.data.filePath(u"ftpset.ini"_s));
        QVERIFY(settings.startsWith(Cp932::encode(u"<管理用の名前（任意の名前）>\r\n"_s))
            && settings.endsWith(Cp932::encode(u"</最終 プロﾌｧｲﾙ>\r\n"_s)));
        const QString log = program.log();
        const QRegularExpressionMatch end
            = QRegularExpression(u"<FTP接続終了>%1</FTP接続終了>\\r\\n"_s.arg(stamp)).match(log);
        QCOMPARE(end.hasMatch() && end.capturedStart() > started.match(log).capturedStart(), start == u"profile"_s);
        // The box was answered as cancelled: the connect went on to log its failure.
        QCOMPARE(log.contains(u"<FTP接続失敗>"_s), start == u"wrong password"_s);
    }

    // cron's run: no window, the due session done and marked, one line printed, exit status 0.
    void runsTheScheduleWithoutAWindow()
    {
        Program program;
        FtpServerFixture server(FtpServerFixture::Kind::Pyftpdlib);
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        QVERIFY(writeBytes(program.data.filePath(u"ftpset.ini"_s),
            SettingsFiles::profileLines({ u"Site One"_s, server.hostField(), server.user(),
                Profiles::scramblePassword(server.password()), u"c:"_s, QString() })));
        const QString page = program.home.filePath(u"page.html"_s);
        QVERIFY(writeBytes(page, "<p>new</p>\n"));
        const QString record = ScheduleRecords::recordText(
            u"Site One"_s, u"2000-01-01 00:00"_s, { page }, u"/"_s, ScheduleRecords::Action::Upload);
        QVERIFY(TextFile::writeLines(program.data.filePath(u"auto.txt"_s), record.split(u'\n')));
        QVERIFY(program.start({ u"--run-schedule"_s }));
        QVERIFY(program.process.waitForFinished(60000));
        const QString out = QString::fromUtf8(program.process.readAllStandardOutput());
        QVERIFY2(program.process.exitCode() == 0 && out.contains(u"Site One"_s), qPrintable(out));
        QCOMPARE(readBytes(server.root() + u"/page.html"_s), QByteArray("<p>new</p>\n"));
        QVERIFY(Cp932::decode(readBytes(program.data.filePath(u"auto.txt"_s))).contains(ScheduleRecords::DoneTag));
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
