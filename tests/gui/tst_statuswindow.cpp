// The status window "状況報告" over its report: shown and hidden with it, its boxes, caption and
// bars following the report's figures (coalesced, but never losing the last state), "中止"
// raising the Stop flag and "X" hiding it.
#include "core/app/appstate.h"
#include "core/app/statusreport.h"
#include "gui/transfer/statuswindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

class TestStatusWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void followsShownState();
    void showsTextsAndCounts();
    void burstEndsOnTheLastState();
    void bars_data();
    void bars();
    void stopRaisesTheFlag();
    void closeHidesUntilTheNextRun();

private:
    AppState m_state;
    std::unique_ptr<StatusReport> m_report;
    std::unique_ptr<QWidget> m_parent;
    StatusWindow* m_window = nullptr;
};

void TestStatusWindow::init()
{
    m_state = AppState();
    m_report = std::make_unique<StatusReport>(m_state);
    m_parent = std::make_unique<QWidget>();
    m_parent->resize(600, 400);
    m_window = new StatusWindow(*m_report, m_parent.get());
    m_parent->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_parent.get()));
}

void TestStatusWindow::cleanup()
{
    m_parent.reset();
    m_report.reset();
}

void TestStatusWindow::followsShownState()
{
    QVERIFY(m_window->isHidden());
    m_report->show();
    QVERIFY(m_window->isVisible());
    m_report->hide();
    QVERIFY(m_window->isHidden());

    // A window made while the report is shown starts shown.
    m_report->show();
    StatusWindow second(*m_report, m_parent.get());
    QVERIFY(second.isVisible());
}

void TestStatusWindow::showsTextsAndCounts()
{
    m_report->show();
    m_report->setCaption(QStringLiteral("ファイルダウンロード実行中"));
    m_report->setCurrentFile(QStringLiteral("ﾌｧｲﾙUP:/pub/index.html"));
    m_report->FolderCount = 2;
    m_report->FileCount = 17;
    m_report->ShowTransferCounts();
    auto* text7 = m_window->currentFileBox();
    auto* text9 = m_window->countsBox();
    QTRY_COMPARE(text7->text(), QStringLiteral("ﾌｧｲﾙUP:/pub/index.html"));
    QCOMPARE(text9->text(), QStringLiteral("フォルダ数: 2    ファイル数: 17"));
    QCOMPARE(m_window->titleLabel()->text(), QStringLiteral("ファイルダウンロード実行中"));

    m_report->setCaption(StatusReport::defaultCaption());
    m_report->hide();
    QTRY_COMPARE(m_window->titleLabel()->text(), QStringLiteral("状況報告"));
}

void TestStatusWindow::burstEndsOnTheLastState()
{
    m_report->show();
    auto* text7 = m_window->currentFileBox();
    // A run of small files: thousands of changes between two yields.
    for (int i = 0; i < 5000; ++i) {
        m_report->setCurrentFile(QStringLiteral("file%1").arg(i));
        m_report->setFileProgress(i, 5000);
        if (i % 500 == 0)
            QCoreApplication::processEvents();
    }
    QTRY_COMPARE(text7->text(), QStringLiteral("file4999"));
    QCOMPARE(m_window->progressFile()->value(), 4999 * 1000 / 5000);
}

void TestStatusWindow::bars_data()
{
    QTest::addColumn<qint64>("fileDone");
    QTest::addColumn<qint64>("fileTotal");
    QTest::addColumn<qint64>("runDone");
    QTest::addColumn<qint64>("runTotal");
    QTest::addColumn<int>("fileValue"); // -1: busy
    QTest::addColumn<int>("runValue");

    QTest::newRow("both unknown") << qint64(0) << qint64(-1) << qint64(3) << qint64(0) << -1 << -1;
    QTest::newRow("half a file, a quarter of the run")
        << qint64(512) << qint64(1024) << qint64(1) << qint64(4) << 500 << 250;
    QTest::newRow("a file beyond 4 GiB") << qint64(3) * 1024 * 1024 * 1024 << qint64(6) * 1024 * 1024 * 1024
                                         << qint64(0) << qint64(1) << 500 << 0;
    QTest::newRow("an empty file is complete") << qint64(0) << qint64(0) << qint64(2) << qint64(2) << 1000 << 1000;
    QTest::newRow("more than the total stays full")
        << qint64(2000) << qint64(1000) << qint64(9) << qint64(5) << 1000 << 1000;
}

void TestStatusWindow::bars()
{
    QFETCH(qint64, fileDone);
    QFETCH(qint64, fileTotal);
    QFETCH(qint64, runDone);
    QFETCH(qint64, runTotal);
    QFETCH(int, fileValue);
    QFETCH(int, runValue);
    m_report->show();
    // From a known state, so that a change to busy is seen too.
    m_report->setFileProgress(1, 10);
    m_report->setRunProgress(1, 10);
    m_window->refresh();
    m_report->setFileProgress(fileDone, fileTotal);
    m_report->setRunProgress(runDone, runTotal);
    m_window->refresh();
    auto* file = m_window->progressFile();
    auto* run = m_window->findChild<QProgressBar*>(QStringLiteral("ProgressRun"));
    QVERIFY(run);
    auto check = [](QProgressBar* bar, int expected) {
        if (expected < 0)
            return bar->minimum() == 0 && bar->maximum() == 0;
        return bar->maximum() == 1000 && bar->value() == expected;
    };
    QVERIFY2(check(file, fileValue), qPrintable(QString::number(file->value())));
    QVERIFY2(check(run, runValue), qPrintable(QString::number(run->value())));
}

void TestStatusWindow::stopRaisesTheFlag()
{
    m_report->show();
    auto* stop = m_window->findChild<QPushButton*>(QStringLiteral("cmdStatusStop"));
    QVERIFY(stop);
    QVERIFY(!m_state.StopRequested);
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(m_state.StopRequested);
    // Stop leaves the window to the run, which hides it when it ends.
    QVERIFY(m_window->isVisible());
}

void TestStatusWindow::closeHidesUntilTheNextRun()
{
    m_report->show();
    auto* close = m_window->findChild<QPushButton*>(QStringLiteral("cmdStatusClose"));
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(m_window->isHidden());
    QVERIFY(!m_report->isShown());
    QVERIFY(!m_state.StopRequested);
    // The run goes on writing; the window stays away until a run shows it again.
    m_report->setCurrentFile(QStringLiteral("next"));
    QTest::qWait(StatusWindow::RefreshIntervalMs * 2);
    QVERIFY(m_window->isHidden());
    m_report->show();
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->currentFileBox()->text(), QStringLiteral("next"));
}

QTEST_MAIN(TestStatusWindow)
#include "tst_statuswindow.moc"
