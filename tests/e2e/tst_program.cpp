// The real program started and ended by SIGTERM or SIGINT, as a desktop's log-out ends it: plain,
// hidden, or connected to the profile named on its command line. Each end runs the exit steps.
#include "program.h"
#include "support/ftpserverfixture.h"

#include <QDir>
#include <QRegularExpression>

class TestProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsCleanlyOnSignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("start"); // "", "hidden", "profile" or "wrong password"
        QTest::addColumn<int>("waitMs");
        // ftpset.ini appears in the middle of start-up: a signal sent at once arrives while
        // start-up runs, one sent later while the event loop waits.
        QTest::newRow("SIGTERM during start-up") << int(SIGTERM) << "" << 0;
        QTest::newRow("SIGINT") << int(SIGINT) << "" << 1500;
        QTest::newRow("SIGTERM, started hidden") << int(SIGTERM) << "hidden" << 1500;
        QTest::newRow("SIGTERM, connected") << int(SIGTERM) << "profile" << 0;
        QTest::newRow("SIGINT, connected") << int(SIGINT) << "profile" << 0;
        // A log-out while the error box waits for an answer.
        QTest::newRow("SIGTERM while the wrong-password box is up") << int(SIGTERM) << "wrong password" << 1000;
    }

    void endsCleanlyOnSignal()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, start);
        QFETCH(int, waitMs);
        Program program;
        for (const char* name : { "$temp$.txt", "$temp$.htm", "temp/page.html", "keep.txt" })
            QVERIFY(writeBytes(program.data.filePath(QLatin1String(name)), "x"));
        FtpServerFixture server(FtpServerFixture::Kind::Pyftpdlib);
        QStringList arguments;
        if (start == u"hidden"_s)
            arguments << u"<message invisible>"_s;
        const bool connects = start == u"profile"_s || start == u"wrong password"_s;
        if (connects) {
            QString error;
            QVERIFY2(server.start(&error), qPrintable(error));
            QVERIFY(QDir(server.root()).mkpath(u"pub/start-folder-marker"_s));
            const QString password = start == u"profile"_s ? server.password() : u"wrong"_s;
            QVERIFY(writeBytes(program.data.filePath(u"ftpset.ini"_s),
                SettingsFiles::profileLines({ u"他のサーバー"_s, u"127.0.0.1:1"_s, u"x"_s })
                    + SettingsFiles::profileLines({ u"Site One"_s, server.hostField(), server.user(),
                        Profiles::scramblePassword(password), u"c:"_s, u"pub"_s })));
            // The name in another letter case: the command line is compared upper-cased.
            arguments << u"SITE"_s << u"one"_s;
        }
        QVERIFY2(program.start(arguments), qPrintable(program.process.errorString()));

        const QString stamp
            = u"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "_s + QRegularExpression::escape(server.hostField());
        const QRegularExpression started(u"<Ftp接続開始>%1</FTP接続開始>"_s.arg(stamp));
        if (start == u"profile"_s) {
            QTRY_VERIFY2_WITH_TIMEOUT(started.match(program.log()).hasMatch(), qPrintable(program.log()), 30000);
            // The start folder was entered (relative to the root the server showed) and listed.
            auto listed = [&server] {
                const QString log = server.logText();
                return log.contains(u"<- CWD pub"_s) && log.indexOf(u"<- LIST"_s, log.lastIndexOf(u"<- CWD pub"_s)) > 0;
            };
            QTRY_VERIFY_WITH_TIMEOUT(listed(), 10000);
        } else if (connects) {
            QTRY_VERIFY_WITH_TIMEOUT(server.logText().contains(u"-> 530"_s), 30000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.data.filePath(u"ftpset.ini"_s)), 30000);
        }
        QTest::qWait(waitMs);
        QVERIFY(program.process.state() == QProcess::Running);
        QCOMPARE(::kill(pid_t(program.process.processId()), signalNumber), 0);
        QVERIFY2(program.endedCleanly(), "the program did not end cleanly on the signal");

        for (const char* gone : { "$temp$.txt", "$temp$.htm", "temp" })
            QVERIFY2(!QFileInfo::exists(program.data.filePath(QLatin1String(gone))), gone);
        QVERIFY(QFile::exists(program.data.filePath(u"keep.txt"_s)));
        const QByteArray settings = readBytes(program.data.filePath(u"ftpset.ini"_s));
        QVERIFY(settings.startsWith(Cp932::encode(u"<管理用の名前（任意の名前）>\r\n"_s)));
        QVERIFY(settings.endsWith(Cp932::encode(u"</最終 プロﾌｧｲﾙ>\r\n"_s)));
        const QString log = program.log();
        if (start == u"profile"_s) {
            const QRegularExpressionMatch end
                = QRegularExpression(u"<FTP接続終了>%1</FTP接続終了>\\r\\n"_s.arg(stamp)).match(log);
            QVERIFY2(end.hasMatch() && end.capturedStart() > started.match(log).capturedStart(), qPrintable(log));
        }
        // The box was answered as cancelled: the connect went on to log its failure.
        QCOMPARE(log.contains(u"<FTP接続失敗>"_s), start == u"wrong password"_s);
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
