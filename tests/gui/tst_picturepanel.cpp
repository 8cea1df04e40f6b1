// The image viewer panel offscreen on real picture files: what the selection shows, clicks on
// cells and on the picture, stepping, the zoom button, and a window that stays live while 199
// large pictures load.
#include "core/app/appstate.h"
#include "gui/sitetools/picturepanel.h"
#include "gui/sitetools/thumbnailbox.h"
#include "support/scripteddialogs.h"
#include "support/texttable.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

class TestPicturePanel : public QObject {
    Q_OBJECT
    QTemporaryDir m_files;
    QTemporaryDir m_temp;
    AppState m_state;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<PicturePanel> m_panel;

    // "p0.jpg".."p6.jpg", each (100 + i) × 80 pixels, then "bad.jpg" that cannot be read.
    QList<PictureSource> site(int count = 8) const
    {
        QList<PictureSource> out;
        for (int i = 0; i < count; ++i)
            out << PictureSource::local(m_files.filePath(i < 7 ? u"p%1.jpg"_s.arg(i) : u"bad.jpg"_s));
        return out;
    }
    bool showAndWait(const QList<PictureSource>& sources)
    {
        QSignalSpy finished(m_panel.get(), &PicturePanel::thumbnailsFinished);
        return m_panel->showThumbnails(sources) && (!finished.isEmpty() || finished.wait(30000));
    }
    // The name and size of the picture shown, or "grid".
    QString shown() const
    {
        const QSize size = m_panel->picture()->pixmap().size();
        return m_panel->thumbnailBox()->isVisible()
            ? u"grid"_s
            : u"%1 %2x%3"_s.arg(m_panel->nameBox()->text()).arg(size.width()).arg(size.height());
    }
    QString clickCell(int index)
    {
        const QRect cell = m_panel->grid().cellRect(m_panel->grid().cellOf(index), m_panel->thumbnailBox()->size());
        QTest::mouseClick(m_panel->thumbnailBox(), Qt::LeftButton, {}, cell.center());
        return shown();
    }
private Q_SLOTS:
    void initTestCase()
    {
        for (int i = 0; i < 7; ++i) {
            QImage image(100 + i, 80, QImage::Format_RGB32);
            image.fill(Qt::gray);
            QVERIFY(image.save(m_files.filePath(u"p%1.jpg"_s.arg(i))));
        }
        QFile bad(m_files.filePath(u"bad.jpg"_s));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a picture at all") > 0);
    }
    void init()
    {
        m_dialogs.clear();
        m_panel = std::make_unique<PicturePanel>(m_state, m_dialogs, m_temp.path());
        m_panel->resize(640, 480);
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
    }
    void cleanup() { m_panel.reset(); }

    // Only pictures count; a refused selection says why and shows nothing.
    void selection_data()
    {
        TextTable::rows({ u"pictures"_s, u"outcome"_s }, R"(
            only other files | 0   | refused 拡大 0 画像を選択してください。
            29 pictures      | 29  | loading 拡大 1
            30 pictures      | 30  | loading 縮小 1
            200 pictures     | 200 | refused 拡大 0 選択画像が多すぎます、最大は200です。
        )");
    }
    void selection()
    {
        QFETCH(QString, pictures);
        QFETCH(QString, outcome);
        const PictureSource notes = PictureSource::local(m_files.filePath(u"notes.txt"_s));
        QList<PictureSource> selected { notes };
        for (int i = 0; i < pictures.toInt(); ++i)
            selected << site(7).at(i % 7);
        selected << notes;
        QSignalSpy frameSize(m_panel.get(), &PicturePanel::frameSizeWanted);
        m_panel->showThumbnails(selected);
        QCOMPARE(QStringList({ m_panel->isLoading() ? u"loading"_s : u"refused"_s, m_panel->zoomButton()->text(),
                                 QString::number(frameSize.size()) })
                     .join(u' ')
                + (m_dialogs.texts().isEmpty() ? QString() : u' ' + m_dialogs.texts().join(u'|')),
            outcome);
        QVERIFY(QTest::qWaitFor([this] { return !m_panel->isLoading(); }, 30000));
    }

    // A click on a cell opens its picture at natural size, one on the picture returns to the
    // grid; an empty cell does nothing; a picture that cannot be read says so.
    void clicks()
    {
        QVERIFY(showAndWait(site()));
        QCOMPARE(m_panel->thumbnailBox()->thumbnailCount(), 7);
        const QString opened = clickCell(3);
        QTest::mouseClick(m_panel->picture(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(QStringList({ opened, shown(), clickCell(9), clickCell(7) }).join(u", "),
            u"p3.jpg 103x80, grid, grid, grid"_s);
        QCOMPARE(m_dialogs.texts(), QStringList { u"bad.jpg は表示できない画像です。"_s });
    }

    // Past the last picture the cells are empty and the picture stays; "<-" comes back through
    // them to the picture before the last. The zoom button asks for the large frame and back.
    void stepping()
    {
        QVERIFY(showAndWait(site(7)));
        clickCell(6);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(m_panel->nextButton(), Qt::LeftButton);
        QCOMPARE(m_panel->currentCell(), (GridCell { 4, 1 }));
        QCOMPARE(shown(), u"p6.jpg 106x80"_s);
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(m_panel->previousButton(), Qt::LeftButton);
        QCOMPARE(shown(), u"p5.jpg 105x80"_s);
        QCOMPARE(m_dialogs.texts(), QStringList());

        QSignalSpy frameSize(m_panel.get(), &PicturePanel::frameSizeWanted);
        QTest::mouseClick(m_panel->zoomButton(), Qt::LeftButton);
        QTest::mouseClick(m_panel->zoomButton(), Qt::LeftButton);
        QCOMPARE(static_cast<QList<QVariantList>>(frameSize), (QList<QVariantList> { { true }, { false } }));
    }

    // 199 photographs of 1600 × 1200: a 10 ms timer keeps ticking while they load, and every
    // one is drawn.
    void staysLiveWhileLoading()
    {
        QImage photo(1600, 1200, QImage::Format_RGB32);
        QPainter painter(&photo);
        painter.fillRect(photo.rect(), QLinearGradient(0, 0, 1600, 1200));
        painter.end();
        QVERIFY(photo.save(m_temp.filePath(u"photo.jpg"_s), "JPG", 90));
        QList<PictureSource> sources;
        for (int i = 0; i < 199; ++i) {
            QVERIFY(QFile::copy(m_temp.filePath(u"photo.jpg"_s), m_temp.filePath(u"photo%1.jpg"_s.arg(i))));
            sources << PictureSource::local(m_temp.filePath(u"photo%1.jpg"_s.arg(i)));
        }
        QTimer ticker;
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        connect(&ticker, &QTimer::timeout, this, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticker.start(10);
        clock.start();
        QVERIFY(showAndWait(sources));
        longest = std::max(longest, clock.elapsed() - last);
        qInfo("199 pictures in %lld ms, longest gap %lld ms", clock.elapsed(), longest);
        QCOMPARE(m_panel->thumbnailBox()->thumbnailCount(), 199);
        QVERIFY2(longest < 250, qPrintable(QString::number(longest)));
    }
};

QTEST_MAIN(TestPicturePanel)
#include "tst_picturepanel.moc"
