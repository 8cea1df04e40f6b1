// The image viewer loading 199 photographs of 1600 × 1200 (JPEG) from a local folder: how long
// until every thumbnail is drawn, and the longest gap between two ticks of a 10 ms timer during
// the load, which shows whether the window stayed live.
#include "core/app/appstate.h"
#include "gui/sitetools/picturepanel.h"
#include "gui/sitetools/thumbnailbox.h"
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// A few different photographs, so the decoder cannot profit from identical input.
QList<QByteArray> makePhotos(int kinds)
{
    QList<QByteArray> out;
    for (int k = 0; k < kinds; ++k) {
        QImage photo(1600, 1200, QImage::Format_RGB32);
        QPainter painter(&photo);
        QLinearGradient gradient(0, 0, 1600, 1200);
        gradient.setColorAt(0, QColor::fromHsv(k * 45, 200, 120));
        gradient.setColorAt(1, QColor::fromHsv((k * 45 + 150) % 360, 180, 240));
        painter.fillRect(photo.rect(), gradient);
        for (int i = 0; i < 300; ++i) {
            painter.setPen(QColor::fromHsv((i * 37 + k * 11) % 360, 220, 200));
            painter.drawEllipse(QPoint((i * 97 + k * 13) % 1600, (i * 61 + k * 7) % 1200), 20 + i % 90, 15 + i % 60);
        }
        painter.end();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "JPG", 90);
        out.append(bytes);
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    QTemporaryDir temp;
    const QList<QByteArray> photos = makePhotos(8);
    QList<PictureSource> sources;
    for (int i = 0; i < 199; ++i) {
        const QString path = folder.filePath(u"photo%1.jpg"_s.arg(i, 3, 10, QChar(u'0')));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(photos.at(i % photos.size())) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        sources.append(PictureSource::local(path));
    }

    AppState state;
    ScriptedDialogs dialogs;
    PicturePanel panel(state, dialogs, temp.path());
    panel.resize(1000, 700);
    panel.show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    bool done = false;
    QObject::connect(&panel, &PicturePanel::thumbnailsFinished, [&] { done = true; });
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(55000);
    ticker.start(10);
    clock.start();
    if (!panel.showThumbnails(sources)) {
        std::fprintf(stderr, "refused: %s\n", qPrintable(dialogs.texts().join(u' ')));
        return 1;
    }
    while (!done && limit.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 took = clock.elapsed();
    longest = std::max(longest, took - last);
    if (!done || panel.thumbnailBox()->thumbnailCount() != 199) {
        std::fprintf(stderr, "only %d of 199 thumbnails drawn\n", panel.thumbnailBox()->thumbnailCount());
        return 1;
    }
    std::printf("thumbnails_199_ms: %lld\n", static_cast<long long>(took));
    std::printf("thumbnails_199_longest_stall_ms: %lld\n", static_cast<long long>(longest));
    return 0;
}
