#include "core/log/activitylog.h"
#include "gui/log/logpanel.h"
#include "support/scripteddialogs.h"
#include "support/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using SettingsFiles::writeBytes;

class TestLogPanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void viewShowsTheNewestLines();
    void failedBackupIsTold();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ActivityLog> m_log;
    std::unique_ptr<QWidget> m_window;
    LogPanel* m_panel = nullptr;
    ScriptedDialogs m_dialogs;
};

void TestLogPanel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialogs.clear();
    m_log = std::make_unique<ActivityLog>([] { return QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)); });
    m_log->setFolder(m_dir->path());
    m_window = std::make_unique<QWidget>();
    m_window->resize(600, 400);
    m_panel = new LogPanel(*m_log, m_dialogs, m_window.get());
    m_window->show();
}

void TestLogPanel::cleanup()
{
    m_window.reset();
    m_log.reset();
    m_dir.reset();
}

void TestLogPanel::viewShowsTheNewestLines()
{
    QByteArray log;
    for (int i = 0; i < 503; ++i)
        log += "line " + QByteArray::number(i) + "\r\n\r\n";
    QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("ftptarvo.log")), log));
    QVERIFY(!m_panel->isVisible());
    m_panel->showLog();
    QVERIFY(m_panel->isVisible());
    auto* box = m_panel->findChild<QPlainTextEdit*>(QStringLiteral("RichTextBox1"));
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->toPlainText(), QStringLiteral("line 501\nline 502"));
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("ftplogback.log"))));
    QVERIFY(m_dialogs.asked.isEmpty());

    // A second view of the trimmed log shows the same and moves nothing.
    m_panel->showLog();
    QCOMPARE(box->toPlainText(), QStringLiteral("line 501\nline 502"));
}

void TestLogPanel::failedBackupIsTold()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ftplogback.log")));
    QByteArray log;
    for (int i = 0; i < 501; ++i)
        log += "x\r\n";
    QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("ftptarvo.log")), log));
    m_panel->showLog();
    QCOMPARE(m_dialogs.asked.size(), 1);
    QVERIFY(m_dialogs.asked.first().text.contains(QStringLiteral("バックアップ")));
}

QTEST_MAIN(TestLogPanel)
#include "tst_logpanel.moc"
