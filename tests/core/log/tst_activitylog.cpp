#include "core/app/codepage.h"
#include "core/app/datafolder.h"
#include "core/log/activitylog.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

using SettingsFiles::readBytes;
using SettingsFiles::writeBytes;

const QDateTime Fixed(QDate(2004, 8, 12), QTime(13, 12, 52));

QString numbered(int i)
{
    return QStringLiteral(
        "<ファイルアップロード>2004-08-12 13:12:52 c:/web/%1.html→/public_html/%1.html</ファイルアップロード>")
        .arg(i);
}

} // namespace

class TestActivityLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    void entryFormat_data();
    void entryFormat();
    void connectionEntriesFrameASession();
    void writeLogRemovesTabsAndAppends();
    void writeFailureIsReportedOnce();
    void logLivesInTheDataFolder();
    void viewBatches_data();
    void viewBatches();
    void viewAppendsToTheBackup();
    void viewOfMissingLogIsEmpty();
    void viewKeepsTheLogWhenTheBackupFails();
    void nextEntryAfterAViewStartsOnItsOwnLine();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ActivityLog> m_log;
};

void TestActivityLog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = std::make_unique<ActivityLog>([] { return Fixed; });
    m_log->setFolder(m_dir->path());
}

void TestActivityLog::entryFormat_data()
{
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("details");
    QTest::addColumn<QString>("close");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upload") << "<ファイルアップロード>"
                            << "c:/web/index.html→/public_html/index.html"
                            << "</ファイルアップロード>"
                            << "<ファイルアップロード>2004-08-12 13:12:52 c:/web/index.html→/public_html/index.html"
                               "</ファイルアップロード>";
    QTest::newRow("failure keeps the success closing tag")
        << "<ファイル削除失敗>"
        << "/public_html/old.html"
        << "</ファイル削除>"
        << "<ファイル削除失敗>2004-08-12 13:12:52 /public_html/old.html</ファイル削除>";
    QTest::newRow("move with arrow")
        << "<ファイル又はフォルダー移動>"
        << "/home/u/a.txt -> /home/u/b/a.txt"
        << "</ファイル又はフォルダー移動>"
        << "<ファイル又はフォルダー移動>2004-08-12 13:12:52 /home/u/a.txt -> /home/u/b/a.txt"
           "</ファイル又はフォルダー移動>";
    QTest::newRow("a name cannot forge a line") << "<FTPファイル削除>"
                                                << "/x/evil\r\n<FTP接続開始>"
                                                << "</FTPファイル削除>"
                                                << "<FTPファイル削除>2004-08-12 13:12:52 /x/evil?"
                                                   "?<FTP接続開始></FTPファイル削除>";
}

void TestActivityLog::entryFormat()
{
    QFETCH(QString, open);
    QFETCH(QString, details);
    QFETCH(QString, close);
    QFETCH(QString, expected);
    QCOMPARE(m_log->entry(open, details, close), expected);
}

void TestActivityLog::connectionEntriesFrameASession()
{
    QString connect = m_log->connectEntry(QStringLiteral("ftp.example.jp"));
    QString paste = m_log->dateOnlyEntry(QStringLiteral("<ファイルの貼り付け>"), QStringLiteral("/home/u/a.txt"),
        QStringLiteral("</ファイルの貼り付け>"));
    QString disconnect = m_log->disconnectEntry(QStringLiteral("ftp.example.jp"));
    QVERIFY(m_log->WriteLog(connect));
    QVERIFY(m_log->WriteLog(paste));
    QVERIFY(m_log->WriteLog(disconnect));
    const QByteArray expected = "\r\n" + Cp932::encode(u"<FTP接続開始>2004-08-12 13:12:52 ftp.example.jp</FTP接続開始>")
        + "\r\n\r\n" + Cp932::encode(u"<ファイルの貼り付け>2004-08-12 /home/u/a.txt</ファイルの貼り付け>") + "\r\n\r\n"
        + Cp932::encode(u"<FTP接続終了>2004-08-12 13:12:52 ftp.example.jp</FTP接続終了>") + "\r\n\r\n\r\n";
    QCOMPARE(readBytes(m_log->logPath()), expected);
}

void TestActivityLog::writeLogRemovesTabsAndAppends()
{
    QVERIFY(!QFile::exists(m_log->logPath()));
    QString text = QStringLiteral("<フォルダ作成>\t2004-08-12 13:12:52 /pub/\tﾃｽﾄ</フォルダ作成>\t");
    QVERIFY(m_log->WriteLog(text));
    QCOMPARE(text, QStringLiteral("<フォルダ作成>2004-08-12 13:12:52 /pub/ﾃｽﾄ</フォルダ作成>"));
    QString second = QStringLiteral("b");
    QVERIFY(m_log->WriteLog(second));
    QCOMPARE(readBytes(m_log->logPath()), Cp932::encode(text) + "\r\n\r\nb\r\n\r\n");
}

void TestActivityLog::writeFailureIsReportedOnce()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ftptarvo.log")));
    QSignalSpy failed(m_log.get(), &ActivityLog::writeFailed);
    QString a = QStringLiteral("a");
    QVERIFY(!m_log->WriteLog(a));
    QVERIFY(!m_log->WriteLog(a));
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.first().first().toString().startsWith(QStringLiteral("ログファイルに記録できませんでした。")));
    QVERIFY(!m_log->lastError().isEmpty());

    QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("ftptarvo.log")));
    QVERIFY(m_log->WriteLog(a));
    QVERIFY(m_log->lastError().isEmpty());
    QVERIFY(QDir(m_dir->path()).rename(QStringLiteral("ftptarvo.log"), QStringLiteral("moved")));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ftptarvo.log")));
    QVERIFY(!m_log->WriteLog(a));
    QCOMPARE(failed.size(), 2); // a new run of failures is told again
}

void TestActivityLog::logLivesInTheDataFolder()
{
    qputenv("FTPTARVO_HOME", m_dir->path().toLocal8Bit());
    DataFolder::reset();
    ActivityLog log;
    QCOMPARE(log.logPath(), QDir(m_dir->path()).absoluteFilePath(QStringLiteral("ftptarvo.log")));
    QCOMPARE(log.backupPath(), QDir(m_dir->path()).absoluteFilePath(QStringLiteral("ftplogback.log")));
    DataFolder::reset();
}

void TestActivityLog::viewBatches_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("blankBetween");
    QTest::addColumn<int>("kept");

    QTest::newRow("empty log") << 0 << false << 0;
    QTest::newRow("one entry with its blank line") << 1 << true << 1;
    QTest::newRow("500 lines stay") << 500 << false << 500;
    QTest::newRow("501 lines all go") << 501 << false << 0;
    QTest::newRow("501 lines between blank lines all go") << 501 << true << 0;
    QTest::newRow("502 lines: one stays") << 502 << true << 1;
    QTest::newRow("1200 lines: two batches go, 198 stay") << 1200 << true << 198;
}

void TestActivityLog::viewBatches()
{
    QFETCH(int, lines);
    QFETCH(bool, blankBetween);
    QFETCH(int, kept);

    QByteArray log;
    for (int i = 0; i < lines; ++i) {
        log += Cp932::encode(numbered(i)) + "\r\n";
        if (blankBetween)
            log += "\r\n";
    }
    QVERIFY(writeBytes(m_log->logPath(), log));

    const ActivityLog::View view = m_log->viewLog();
    QVERIFY(view.ok);
    QCOMPARE(view.movedLines, lines - kept);
    QCOMPARE(view.lines.size(), kept);

    QStringList newest;
    QByteArray logAfter;
    for (int i = lines - kept; i < lines; ++i) {
        newest.append(numbered(i));
        logAfter += Cp932::encode(numbered(i)) + "\r\n";
    }
    QCOMPARE(view.lines, newest);
    QCOMPARE(view.shownText(), newest.join(u'\n'));
    QCOMPARE(readBytes(m_log->logPath()), logAfter);

    QByteArray backup;
    for (int i = 0; i < lines - kept; ++i) {
        backup += "\r\n" + Cp932::encode(numbered(i));
        if (i % ActivityLog::BatchLines == ActivityLog::BatchLines - 1)
            backup += "\r\n";
    }
    if (lines - kept == 0)
        QVERIFY(!QFile::exists(m_log->backupPath()));
    else
        QCOMPARE(readBytes(m_log->backupPath()), backup);
}

void TestActivityLog::viewAppendsToTheBackup()
{
    QVERIFY(writeBytes(m_log->backupPath(), "older\r\n"));
    QByteArray log;
    for (int i = 0; i < 503; ++i)
        log += QByteArray::number(i) + "\r\n";
    QVERIFY(writeBytes(m_log->logPath(), log));
    const ActivityLog::View view = m_log->viewLog();
    QVERIFY(view.ok);
    QCOMPARE(view.lines, (QStringList { "501", "502" }));
    const QByteArray backup = readBytes(m_log->backupPath());
    QVERIFY(backup.startsWith("older\r\n\r\n0\r\n1\r\n"));
    QVERIFY(backup.endsWith("\r\n500\r\n"));
    QCOMPARE(readBytes(m_log->logPath()), QByteArray("501\r\n502\r\n"));
}

void TestActivityLog::viewOfMissingLogIsEmpty()
{
    const ActivityLog::View view = m_log->viewLog();
    QVERIFY(view.ok);
    QVERIFY(view.lines.isEmpty());
    QVERIFY(!QFile::exists(m_log->logPath()));
}

void TestActivityLog::viewKeepsTheLogWhenTheBackupFails()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ftplogback.log")));
    QByteArray log;
    for (int i = 0; i < 600; ++i)
        log += QByteArray::number(i) + "\r\n\r\n";
    QVERIFY(writeBytes(m_log->logPath(), log));
    const ActivityLog::View view = m_log->viewLog();
    QVERIFY(!view.ok);
    QVERIFY(view.error.contains(QStringLiteral("バックアップ")));
    QCOMPARE(readBytes(m_log->logPath()), log);
}

void TestActivityLog::nextEntryAfterAViewStartsOnItsOwnLine()
{
    QVERIFY(writeBytes(m_log->logPath(), "a\r\n\r\nb\r\n\r\n"));
    QVERIFY(m_log->viewLog().ok);
    QString next = QStringLiteral("c");
    QVERIFY(m_log->WriteLog(next));
    QCOMPARE(readBytes(m_log->logPath()), QByteArray("a\r\nb\r\nc\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestActivityLog)
#include "tst_activitylog.moc"
