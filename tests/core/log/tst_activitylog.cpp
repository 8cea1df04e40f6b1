#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/log/activitylog.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

namespace {

QString numbered(int i)
{
    return u"<ファイルアップロード>2004-08-12 13:12:52 c:/web/%1.html</ファイルアップロード>"_s.arg(i);
}

} // namespace

class TestActivityLog : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ActivityLog> m_log;

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
        // Details come from servers and file names: a name cannot forge a line. A failure keeps
        // the closing tag of the success.
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
    }

    void writeFailureIsReportedOnce()
    {
        const QDir dir(m_dir->path());
        QVERIFY(dir.mkdir(u"ftptarvo.log"_s));
        QSignalSpy failed(m_log.get(), &ActivityLog::writeFailed);
        QString a = u"a"_s;
        QVERIFY(!m_log->WriteLog(a));
        QVERIFY(!m_log->WriteLog(a));
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.first().first().toString().startsWith(u"ログファイルに記録できませんでした。"_s));
        QVERIFY(!m_log->lastError().isEmpty());

        QVERIFY(dir.rmdir(u"ftptarvo.log"_s));
        QVERIFY(m_log->WriteLog(a));
        QVERIFY(m_log->lastError().isEmpty());
        QVERIFY(QFile::remove(m_log->logPath()) && dir.mkdir(u"ftptarvo.log"_s));
        QVERIFY(!m_log->WriteLog(a));
        QCOMPARE(failed.size(), 2); // a new run of failures is told again
    }

    void logLivesInTheDataFolder()
    {
        qputenv("FTPTARVO_HOME", m_dir->path().toLocal8Bit());
        DataFolder::reset();
        ActivityLog log;
        QCOMPARE(log.logPath(), QDir(m_dir->path()).absoluteFilePath(u"ftptarvo.log"_s));
        QCOMPARE(log.backupPath(), QDir(m_dir->path()).absoluteFilePath(u"ftplogback.log"_s));
        DataFolder::reset();
    }

    void viewBatches_data()
    {
        QTest::addColumn<int>("lines"); // -1: no log file
        QTest::addColumn<bool>("blankBetween");
        QTest::addColumn<int>("kept");
        QTest::newRow("no log file") << -1 << false << 0;
        QTest::newRow("empty log") << 0 << false << 0;
        QTest::newRow("one entry with its blank line") << 1 << true << 1;
        QTest::newRow("500 lines stay") << 500 << false << 500;
        QTest::newRow("501 lines all go") << 501 << false << 0;
        QTest::newRow("501 lines between blank lines all go") << 501 << true << 0;
        QTest::newRow("502 lines: one stays") << 502 << true << 1;
        QTest::newRow("1200 lines: two batches go, 198 stay") << 1200 << true << 198;
    }
    void viewBatches()
    {
        QFETCH(int, lines);
        QFETCH(bool, blankBetween);
        QFETCH(int, kept);
        QByteArray log;
        for (int i = 0; i < lines; ++i)
            log += Cp932::encode(numbered(i)) + (blankBetween ? "\r\n\r\n" : "\r\n");
        if (lines >= 0)
            QVERIFY(writeBytes(m_log->logPath(), log));
        QVERIFY(writeBytes(m_log->backupPath(), "older\r\n"));

        const ActivityLog::View view = m_log->viewLog();
        QVERIFY(view.ok);
        const int moved = qMax(lines, 0) - kept;
        QCOMPARE(view.movedLines, moved);
        QStringList newest;
        QByteArray logAfter;
        for (int i = moved; i < lines; ++i) {
            newest.append(numbered(i));
            logAfter += Cp932::encode(numbered(i)) + "\r\n";
        }
        QCOMPARE(view.lines, newest);
        QCOMPARE(view.shownText(), newest.join(u'\n'));
        QCOMPARE(readBytes(m_log->logPath()), lines < 0 ? QByteArray("<missing>") : logAfter);
        // Each batch goes to the end of the backup: every line preceded by CR LF, then one more.
        QByteArray backup = "older\r\n";
        for (int i = 0; i < moved; ++i)
            backup += "\r\n" + Cp932::encode(numbered(i)) + (i % 501 == 500 ? "\r\n" : "");
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
        QVERIFY(!view.ok);
        QVERIFY(view.error.contains(u"バックアップ"_s));
        QCOMPARE(readBytes(m_log->logPath()), log);
    }

    void nextEntryAfterAViewStartsOnItsOwnLine()
    {
        QVERIFY(writeBytes(m_log->logPath(), "a\r\n\r\nb\r\n\r\n"));
        QVERIFY(m_log->viewLog().ok);
        QString next = u"c"_s;
        QVERIFY(m_log->WriteLog(next));
        QCOMPARE(readBytes(m_log->logPath()), QByteArray("a\r\nb\r\nc\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestActivityLog)
#include "tst_activitylog.moc"
