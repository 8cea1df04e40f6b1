#include "core/app/datafolder.h"
#include "gui/app/mainwindow.h"
#include "gui/ui/movablepanel.h"

#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

// Every panel of the main window, found by its object name, so panels added later are dragged
// and laid out by the same cases; the drag's edges and throttle are one class's rules and are
// walked on one panel.
class TestMovablePanel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void dragMoves_data();
    void dragMoves();
    void burstOfMovesIsThrottled();
    void noMoveAfterRelease();
    void statusReportFollowsTree_data();
    void statusReportFollowsTree();
    void lostPanelComesBack();
    void titleStaysAtTheTop_data();
    void titleStaysAtTheTop();

private:
    void panelRows();
    MovablePanel* placedPanel(const QString& name);
    static void waitForThrottle();

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<MainWindow> m_window;
};

void TestMovablePanel::initTestCase()
{
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
    qputenv("FTPTARVO_HOME", m_data->path().toUtf8());
    qputenv("HOME", m_data->path().toUtf8());
    DataFolder::reset();
    m_window = std::make_unique<MainWindow>();
    m_window->Form_Load(QString());
    m_window->resize(1200, 800);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMovablePanel::cleanupTestCase()
{
    m_window.reset();
    m_data.reset();
    DataFolder::reset();
}

void TestMovablePanel::init() { waitForThrottle(); }

void TestMovablePanel::cleanup()
{
    // No test leaves a drag behind for the next.
    for (MovablePanel* p : m_window->panels())
        QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(1, 1));
    PanelDragState::instance().PanelDragging = false;
}

void TestMovablePanel::waitForThrottle() { QTRY_VERIFY_WITH_TIMEOUT(!PanelDragState::instance().PanelMoveBusy, 2000); }

void TestMovablePanel::panelRows()
{
    QTest::addColumn<QString>("panel");
    const QList<MovablePanel*> panels = m_window->panels();
    for (MovablePanel* p : panels)
        QTest::newRow(qPrintable(p->objectName())) << p->objectName();
}

MovablePanel* TestMovablePanel::placedPanel(const QString& name)
{
    auto* panel = m_window->findChild<MovablePanel*>(name);
    if (!panel)
        return nullptr;
    panel->setGeometry(150, 120, 320, 240);
    panel->showInFront();
    return panel;
}

void TestMovablePanel::dragMoves_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QPoint>("expectedPos");

    for (MovablePanel* p : m_window->panels())
        QTest::newRow(qPrintable(p->objectName() + QStringLiteral(" right and down")))
            << p->objectName() << QPoint(30, 6) << QPoint(75, 26) << QPoint(195, 140);
    // The panel starts at 150, 120.
    const QString n = QStringLiteral("Frame7");
    QTest::newRow("left and up") << n << QPoint(30, 6) << QPoint(-20, -14) << QPoint(100, 100);
    QTest::newRow("to top 1") << n << QPoint(30, 6) << QPoint(30, -113) << QPoint(150, 1);
    QTest::newRow("never to top 0") << n << QPoint(30, 6) << QPoint(40, -114) << QPoint(160, 120);
    QTest::newRow("never above the top") << n << QPoint(30, 6) << QPoint(10, -300) << QPoint(130, 120);
    QTest::newRow("sideways past the left edge") << n << QPoint(30, 6) << QPoint(-400, 6) << QPoint(-280, 120);
    QTest::newRow("at the band's edge") << n << QPoint(30, 6) << QPoint(40, MovablePanel::DragBandPixels)
                                        << QPoint(160, 154);
    QTest::newRow("below the band") << n << QPoint(30, 6) << QPoint(40, MovablePanel::DragBandPixels + 1)
                                    << QPoint(150, 120);
    QTest::newRow("right button") << n << QPoint(30, 6) << QPoint(50, 6) << QPoint(170, 120);
}

void TestMovablePanel::dragMoves()
{
    QFETCH(QString, panel);
    QFETCH(QPoint, press);
    QFETCH(QPoint, to);
    QFETCH(QPoint, expectedPos);

    MovablePanel* p = placedPanel(panel);
    QVERIFY(p);
    const QSize size = p->size();
    const Qt::MouseButton button
        = QByteArray(QTest::currentDataTag()).endsWith("right button") ? Qt::RightButton : Qt::LeftButton;
    QTest::mousePress(p->titleLabel(), button, {}, press);
    QTest::mouseMove(p->titleLabel(), to);
    QCOMPARE(p->pos(), expectedPos);
    QCOMPARE(p->size(), size);
    QTest::mouseRelease(p->titleLabel(), button, {}, to);
    QVERIFY(!PanelDragState::instance().PanelDragging);
}

void TestMovablePanel::burstOfMovesIsThrottled()
{
    MovablePanel* p = placedPanel(QStringLiteral("Frame7"));
    // A loaded machine must not let the 1 ms throttle tick between the two moves.
    QTimer* throttle = PanelDragState::instance().TimerMove;
    throttle->setInterval(60000);
    QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
    QTest::mouseMove(p->titleLabel(), QPoint(40, 6));
    QCOMPARE(p->pos(), QPoint(160, 120));
    // A second move before the throttle timer ticked is dropped ...
    QTest::mouseMove(p->titleLabel(), QPoint(50, 6));
    throttle->setInterval(1);
    QCOMPARE(p->pos(), QPoint(160, 120));
    // ... and after it the offset from the press still applies to the moved label.
    throttle->start();
    waitForThrottle();
    QTest::mouseMove(p->titleLabel(), QPoint(50, 6));
    QCOMPARE(p->pos(), QPoint(180, 120));
    QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(50, 6));
}

void TestMovablePanel::noMoveAfterRelease()
{
    MovablePanel* p = placedPanel(QStringLiteral("Frame7"));
    QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
    QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
    waitForThrottle();
    // A move without a button, as with mouse tracking on.
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 20), p->titleLabel()->mapToGlobal(QPointF(80, 20)), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(p->titleLabel(), &move);
    QCOMPARE(p->pos(), QPoint(150, 120));
}

void TestMovablePanel::statusReportFollowsTree_data()
{
    QTest::addColumn<QString>("panel");
    for (const char* panel : { "Frame3", "Frame20", "Frame7" })
        QTest::newRow(panel) << QString::fromLatin1(panel);
}

void TestMovablePanel::statusReportFollowsTree()
{
    QFETCH(QString, panel);
    auto* report = m_window->findChild<MovablePanel*>(QStringLiteral("Frame27"));
    QVERIFY(report);
    report->setGeometry(500, 400, 200, 90);
    MovablePanel* p = placedPanel(panel);
    p->resize(260, 180);
    QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
    QTest::mouseMove(p->titleLabel(), QPoint(50, 16));
    QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(50, 16));
    QCOMPARE(p->pos(), QPoint(170, 130));
    const bool tree = panel == QLatin1String("Frame3") || panel == QLatin1String("Frame20");
    if (tree)
        QCOMPARE(report->geometry(), QRect(170, 130 + 180, 260, 90));
    else
        QCOMPARE(report->geometry(), QRect(500, 400, 200, 90));
}

void TestMovablePanel::lostPanelComesBack()
{
    MovablePanel* p = placedPanel(QStringLiteral("Frame7"));
    QTest::mousePress(p->titleLabel(), Qt::LeftButton, {}, QPoint(30, 6));
    QTest::mouseMove(p->titleLabel(), QPoint(-2000, 6));
    QTest::mouseRelease(p->titleLabel(), Qt::LeftButton, {}, QPoint(-2000, 6));
    QCOMPARE(p->x(), 150 - 2030);
    p->hide();
    p->showInFront();
    QCOMPARE(p->pos(), QPoint(0, 0));
    QVERIFY(p->isVisible());
}

void TestMovablePanel::titleStaysAtTheTop_data() { panelRows(); }

void TestMovablePanel::titleStaysAtTheTop()
{
    QFETCH(QString, panel);
    MovablePanel* p = placedPanel(panel);
    // A tall panel (the console is opened 445 pixels high) keeps a title bar of one line on top.
    p->resize(613, 600);
    QCoreApplication::processEvents();
    QLabel* title = p->titleLabel();
    QVERIFY2(title->y() <= 4, qPrintable(QString::number(title->y())));
    QCOMPARE(title->height(), title->sizeHint().height());
    QVERIFY(title->height() < MovablePanel::DragBandPixels);
    QCOMPARE(title->width(), p->contentsRect().width() - 4);
}

QTEST_MAIN(TestMovablePanel)
#include "tst_movablepanel.moc"
