#include "core/app/codepage.h"
#include "core/log/activitylog.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

class TestActivityLog : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ActivityLog> m_log;
    static QByteArray numbered(int i) { return "<up>c:/web/" + QByteArray::number(i) + ".html</up>"; }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_log = std::make_unique<ActivityLog>([] { return QDateTime(QDate(2004, 8, 12), QTime(13, 12, 52)); });
        m_log->setFolder(m_dir->path());
    }

    void entriesOnDisk()
    {
        QString tabs = u"<フォルダ作成>\t/pub/\tﾃｽﾄ</フォルダ作成>\t"_s;
        QVERIFY(m_log->WriteLog(tabs));
        QCOMPARE(tabs, u"<フォルダ作成>/pub/ﾃｽﾄ</フォルダ作成>"_s); // the caller's text loses its tabs too
        QVERIFY(m_log->writeEntry(m_log->connectEntry(u"ftp.example.jp"_s)));
        // A name from a server cannot forge a line; a failure keeps the closing tag of the success.
        QVERIFY(
            m_log->write(u"<ファイル削除失敗>"_s, u"/x/evil\r\n<FTP接続開始>\u2028\x7f\u0085"_s, u"</ファイル削除>"_s));
        QVERIFY(m_log->writeEntry(
            m_log->dateOnlyEntry(u"<ファイルの貼り付け>"_s, u"/a.txt"_s, u"</ファイルの貼り付け>"_s)));
        QVERIFY(m_log->writeEntry(m_log->disconnectEntry(u"ftp.example.jp"_s)));
        QCOMPARE(readBytes(m_log->logPath()),
            Cp932::encode(u"<フォルダ作成>/pub/ﾃｽﾄ</フォルダ作成>\r\n\r\n\r\n<FTP接続開始>2004-08-12 13:12:52 "
                          u"ftp.example.jp</FTP接続開始>\r\n\r\n"
                          "<ファイル削除失敗>2004-08-12 13:12:52 /x/evil?\?<FTP接続開始>\?\?\?</ファイル削除>\r\n\r\n"
                          "<ファイルの貼り付け>2004-08-12 /a.txt</ファイルの貼り付け>\r\n\r\n"
                          "<FTP接続終了>2004-08-12 13:12:52 ftp.example.jp</FTP接続終了>\r\n\r\n\r\n"_s));
        // After a view, the next entry starts on its own line.
        QVERIFY(m_log->viewLog().ok);
        QString next = u"c"_s;
        QVERIFY(m_log->WriteLog(next));
        QVERIFY(readBytes(m_log->logPath()).endsWith(Cp932::encode(u"</FTP接続終了>\r\nc\r\n\r\n"_s)));
    }

    void writeFailureIsReportedOnce()
    {
        const QDir dir(m_dir->path());
        QVERIFY(dir.mkdir(u"ftptarvo.log"_s));
        QSignalSpy failed(m_log.get(), &ActivityLog::writeFailed);
        QString a = u"a"_s;
        QVERIFY(!m_log->WriteLog(a) && !m_log->WriteLog(a) && !m_log->lastError().isEmpty());
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.first().first().toString().startsWith(u"ログファイルに記録できませんでした。"_s));
        QVERIFY(dir.rmdir(u"ftptarvo.log"_s) && m_log->WriteLog(a) && m_log->lastError().isEmpty());
    }

    void viewMovesWholeBatches_data()
    {
        QTest::addColumn<int>("lines"); // -1: no log file
        QTest::addColumn<int>("kept");
        QTest::newRow("no log file") << -1 << 0;
        QTest::newRow("502 lines: one stays") << 502 << 1;
        QTest::newRow("1200 lines: two batches go, 198 stay") << 1200 << 198;
    }
    void viewMovesWholeBatches()
    {
        QFETCH(int, lines);
        QFETCH(int, kept);
        const int moved = qMax(lines, 0) - kept;
        QByteArray log, logAfter, backup = "older\r\n";
        QVERIFY(writeBytes(m_log->backupPath(), backup));
        for (int i = 0; i < lines; ++i) {
            log += numbered(i) + "\r\n\r\n";
            // Each batch goes to the end of the backup: every line preceded by CR LF, then one more.
            if (i < moved)
                backup += "\r\n" + numbered(i) + (i % 501 == 500 ? "\r\n" : "");
            else
                logAfter += numbered(i) + "\r\n";
        }
        QVERIFY(lines < 0 || writeBytes(m_log->logPath(), log));
        const ActivityLog::View view = m_log->viewLog();
        QCOMPARE(QVariantList({ view.ok, int(view.movedLines), view.shownText() }),
            QVariantList(
                { true, moved, QString::fromLatin1(logAfter).split(u"\r\n"_s, Qt::SkipEmptyParts).join(u'\n') }));
        QCOMPARE(readBytes(m_log->logPath()), lines < 0 ? QByteArray("<missing>") : logAfter);
        QCOMPARE(readBytes(m_log->backupPath()), backup);
    }

    void viewKeepsTheLogWhenTheBackupFails()
    {
        QVERIFY(QDir(m_dir->path()).mkdir(u"ftplogback.log"_s));
        QByteArray log;
        for (int i = 0; i < 600; ++i)
            log += QByteArray::number(i) + "\r\n\r\n";
        QVERIFY(writeBytes(m_log->logPath(), log));
        const ActivityLog::View view = m_log->viewLog();
        QVERIFY(!view.ok && view.error.contains(u"バックアップ"_s));
        QCOMPARE(readBytes(m_log->logPath()), log);
    }
};

QTEST_GUILESS_MAIN(TestActivityLog)
#include "tst_activitylog.moc"
