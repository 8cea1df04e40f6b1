// The image viewer panel offscreen on real picture files: what the selection shows, clicks on
// cells and on the picture, stepping, the zoom button, and a window that stays live while 199
// large pictures load.
#include "core/app/appstate.h"
#include "gui/sitetools/picturepanel.h"
#include "gui/sitetools/thumbnailbox.h"
#include "support/scripteddialogs.h"

#include <QElapsedTimer>
#include <QFile>
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

    // Seven pictures "p0.jpg".."p6.jpg", each of its own size, then one that cannot be read.
    QList<PictureSource> site() const
    {
        QList<PictureSource> out;
        for (int i = 0; i < 7; ++i)
            out.append(PictureSource::local(m_files.filePath(u"p%1.jpg"_s.arg(i))));
        out.append(PictureSource::local(m_files.filePath(u"bad.jpg"_s)));
        return out;
    }
    static QSize naturalSize(int i) { return QSize(100 + 10 * i, 80 + i); }

    bool showAndWait(const QList<PictureSource>& sources)
    {
        QSignalSpy finished(m_panel.get(), &PicturePanel::thumbnailsFinished);
        return m_panel->showThumbnails(sources) && (!finished.isEmpty() || finished.wait(30000));
    }
    void clickCell(int index)
    {
        ThumbnailBox* box = m_panel->thumbnailBox();
        const QRect cell = m_panel->grid().cellRect(m_panel->grid().cellOf(index), box->size());
        QTest::mouseClick(box, Qt::LeftButton, {}, cell.center());
    }
    QString shownName() const { return m_panel->nameBox()->text(); }
    QSize shownSize() const { return m_panel->picture()->pixmap().size(); }

private Q_SLOTS:
    void initTestCase()
    {
        for (int i = 0; i < 7; ++i) {
            QImage image(naturalSize(i), QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 40, 200, 200));
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

    void selection_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("otherFiles");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("zoomCaption");
        QTest::newRow("only other files") << 0 << 3 << u"画像を選択してください。"_s << u"拡大"_s;
        QTest::newRow("29 pictures among other files") << 29 << 5 << QString() << u"拡大"_s;
        QTest::newRow("30 pictures") << 30 << 0 << QString() << u"縮小"_s;
        QTest::newRow("200 pictures") << 200 << 0 << u"選択画像が多すぎます、最大は200です。"_s << u"拡大"_s;
    }
    // Only pictures count; a refused selection says why and shows nothing.
    void selection()
    {
        QFETCH(int, pictures);
        QFETCH(int, otherFiles);
        QFETCH(QString, message);
        QFETCH(QString, zoomCaption);
        QList<PictureSource> selected;
        for (int i = 0; i < pictures; ++i)
            selected.append(PictureSource::local(m_files.filePath(u"p%1.jpg"_s.arg(i % 7))));
        for (int i = 0; i < otherFiles; ++i)
            selected.insert(i * 3 % (selected.size() + 1), PictureSource::local(m_files.filePath(u"notes.txt"_s)));
        QSignalSpy frameSize(m_panel.get(), &PicturePanel::frameSizeWanted);
        QCOMPARE(m_panel->showThumbnails(selected), message.isEmpty());
        QCOMPARE(m_dialogs.texts(), message.isEmpty() ? QStringList() : QStringList { message });
        QCOMPARE(m_panel->zoomButton()->text(), zoomCaption);
        QCOMPARE(m_panel->isLoading(), message.isEmpty());
        QCOMPARE(frameSize.size(), message.isEmpty() ? 1 : 0);
        if (message.isEmpty())
            QVERIFY(QTest::qWaitFor([this] { return !m_panel->isLoading(); }, 30000));
    }

    // A click on a cell opens its picture at natural size; a click on the picture returns to the
    // grid; an empty cell does nothing; a picture that cannot be read says so.
    void clicks()
    {
        QVERIFY(showAndWait(site()));
        QCOMPARE(m_panel->thumbnailBox()->thumbnailCount(), 7);
        QVERIFY(m_panel->thumbnailBox()->isVisible());
        clickCell(3);
        QVERIFY(m_panel->pictureArea()->isVisible());
        QVERIFY(!m_panel->thumbnailBox()->isVisible());
        QCOMPARE(shownName(), u"p3.jpg"_s);
        QCOMPARE(shownSize(), naturalSize(3));

        QTest::mouseClick(m_panel->picture(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(m_panel->thumbnailBox()->isVisible());
        QVERIFY(!m_panel->pictureArea()->isVisible());

        clickCell(9);
        clickCell(29);
        QVERIFY(m_panel->thumbnailBox()->isVisible());
        QCOMPARE(shownName(), u"p3.jpg"_s);
        QCOMPARE(m_dialogs.texts(), QStringList());

        clickCell(7);
        QVERIFY(m_panel->thumbnailBox()->isVisible());
        QCOMPARE(m_dialogs.texts(), QStringList { u"bad.jpg は表示できない画像です。"_s });
    }

    // "->" wraps to the next row; past the last picture the cells are empty and the picture
    // stays; "<-" comes back through them.
    void stepping()
    {
        QVERIFY(showAndWait(site().mid(0, 7)));
        clickCell(4);
        QCOMPARE(shownName(), u"p4.jpg"_s);
        QTest::mouseClick(m_panel->nextButton(), Qt::LeftButton);
        QCOMPARE(shownName(), u"p5.jpg"_s);
        QCOMPARE(shownSize(), naturalSize(5));
        QCOMPARE(m_panel->currentCell(), (GridCell { 0, 1 }));
        QTest::mouseClick(m_panel->previousButton(), Qt::LeftButton);
        QCOMPARE(shownName(), u"p4.jpg"_s);
        QCOMPARE(shownSize(), naturalSize(4));

        clickCell(6);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(m_panel->nextButton(), Qt::LeftButton);
        QCOMPARE(m_panel->currentCell(), (GridCell { 4, 1 }));
        QCOMPARE(shownName(), u"p6.jpg"_s);
        QCOMPARE(shownSize(), naturalSize(6));
        QVERIFY(m_panel->pictureArea()->isVisible());
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(m_panel->previousButton(), Qt::LeftButton);
        QCOMPARE(shownName(), u"p5.jpg"_s);
        QCOMPARE(shownSize(), naturalSize(5));
        QCOMPARE(m_dialogs.texts(), QStringList());
    }

    void zoomButton()
    {
        QVERIFY(showAndWait(site().mid(0, 3)));
        QSignalSpy frameSize(m_panel.get(), &PicturePanel::frameSizeWanted);
        QTest::mouseClick(m_panel->zoomButton(), Qt::LeftButton);
        QCOMPARE(m_panel->zoomButton()->text(), u"縮小"_s);
        QTest::mouseClick(m_panel->zoomButton(), Qt::LeftButton);
        QCOMPARE(m_panel->zoomButton()->text(), u"拡大"_s);
        QCOMPARE(frameSize.size(), 2);
        QCOMPARE(frameSize.at(0).at(0).toBool(), true);
        QCOMPARE(frameSize.at(1).at(0).toBool(), false);
    }

    // 199 photographs of 1600 × 1200: a 10 ms timer keeps ticking while they load, and every
    // one is drawn.
    void staysLiveWhileLoading()
    {
        QTemporaryDir photos;
        QImage photo(1600, 1200, QImage::Format_RGB32);
        QPainter painter(&photo);
        QLinearGradient gradient(0, 0, 1600, 1200);
        gradient.setColorAt(0, Qt::darkBlue);
        gradient.setColorAt(1, Qt::yellow);
        painter.fillRect(photo.rect(), gradient);
        painter.end();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && photo.save(&buffer, "JPG", 90));
        QList<PictureSource> sources;
        for (int i = 0; i < 199; ++i) {
            const QString path = photos.filePath(u"photo%1.jpg"_s.arg(i, 3, 10, QChar(u'0')));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            sources.append(PictureSource::local(path));
        }
        QTimer ticker;
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        int ticks = 0;
        connect(&ticker, &QTimer::timeout, this, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
            ++ticks;
        });
        ticker.start(10);
        clock.start();
        QVERIFY(showAndWait(sources));
        const qint64 took = clock.elapsed();
        ticker.stop();
        longest = std::max(longest, took - last);
        QCOMPARE(m_panel->thumbnailBox()->thumbnailCount(), 199);
        qInfo("199 pictures in %lld ms, %d ticks, longest gap %lld ms", took, ticks, longest);
        QVERIFY2(longest < 250, qPrintable(QString::number(longest)));
        QVERIFY(ticks >= took / 40);
    }
};

QTEST_MAIN(TestPicturePanel)
#include "tst_picturepanel.moc"
