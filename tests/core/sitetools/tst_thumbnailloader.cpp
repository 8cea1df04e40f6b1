// The thumbnail loader on real files in a temporary folder and on a real FTP server: what is
// decoded and how small, what fails without harm, the order of the reports, the temporary
// files, Stop and cancel.
#include "core/app/appstate.h"
#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftpsession.h"
#include "core/sitetools/thumbnailloader.h"
#include "support/ftpserverfixture.h"
#include "support/texttable.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

struct SampleFile {
    QString name;
    QSize size; // invalid: not a readable picture
    QColor colour;
};

// Every picture a different colour, so a test sees which file went into which report.
const QList<SampleFile> Samples = {
    { u"wide.jpg"_s, QSize(1600, 1200), QColor(200, 30, 30) },
    { u"small.png"_s, QSize(40, 30), QColor(30, 200, 30) },
    { u"anim.gif"_s, QSize(300, 100), QColor(0, 0, 255) },
    { u"scan.bmp"_s, QSize(200, 400), QColor(230, 230, 20) },
    { u"turned.jpg"_s, QSize(1600, 1200), QColor(200, 30, 200) }, // stored on its side: shown 1200 × 1600
    { u"broken.jpg"_s, QSize(), {} },
    { u"missing.jpg"_s, QSize(), {} },
};
const QSize Cell(120, 90);

struct Report {
    int index;
    QImage image; // null: failed
};

// One run of a loader, recorded.
struct Recorder {
    QList<Report> reports;
    int finished = 0;
    explicit Recorder(ThumbnailLoader& loader)
    {
        QObject::connect(&loader, &ThumbnailLoader::thumbnailReady, &loader, [this](int index, const QImage& image) {
            reports.append({ index, image });
        });
        QObject::connect(&loader, &ThumbnailLoader::thumbnailFailed, &loader, [this](int index) {
            reports.append({ index, QImage() });
        });
        QObject::connect(&loader, &ThumbnailLoader::finished, &loader, [this] { ++finished; });
    }
    bool waitFinished(int ms = 30000)
    {
        return QTest::qWaitFor([this] { return finished > 0; }, ms);
    }
};

// Qt reads GIF but cannot write it: a one-colour GIF written by hand. Its LZW stream restarts
// after every two pixels, so every code stays 3 bits wide.
QByteArray solidGif(QSize size, QColor colour)
{
    QByteArray out("GIF89a");
    auto word = [&out](int v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    word(size.width());
    word(size.height());
    out.append(char(0x80)).append('\0').append('\0'); // a global table of two colours
    out.append(char(colour.red())).append(char(colour.green())).append(char(colour.blue()));
    out.append(3, '\0');
    out.append(',');
    word(0);
    word(0);
    word(size.width());
    word(size.height());
    out.append('\0');
    out.append(char(2)); // the smallest code size
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    auto code = [&](int c) {
        bits |= quint32(c) << count;
        count += 3;
        while (count >= 8) {
            data.append(char(bits & 0xff));
            bits >>= 8;
            count -= 8;
        }
    };
    const int pixels = size.width() * size.height();
    for (int i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            code(4); // clear
        code(0);
    }
    code(5); // end
    if (count > 0)
        data.append(char(bits & 0xff));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out.append(char(block.size())).append(block);
    }
    out.append('\0').append(';');
    return out;
}

int colourDistance(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

} // namespace

class TestThumbnailLoader : public QObject {
    Q_OBJECT
    QTemporaryDir m_files; // the local site
    QTemporaryDir m_temp; // the data folder with the temporary files
    AppState m_state;
    std::unique_ptr<FtpServerFixture> m_server;
    FtpSession m_session;
    std::unique_ptr<FtpConnection> m_connection;

    QList<PictureSource> sources(bool onServer) const
    {
        QList<PictureSource> out;
        for (const SampleFile& s : Samples)
            out.append(onServer ? PictureSource::server(u"/pics/"_s + s.name)
                                : PictureSource::local(m_files.filePath(s.name)));
        return out;
    }
    QStringList temporaryFiles() const
    {
        return QDir(m_temp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    std::unique_ptr<ThumbnailLoader> makeLoader()
    {
        auto loader = std::make_unique<ThumbnailLoader>(m_state, m_temp.path());
        loader->setConnectionProvider([this] { return m_connection.get(); });
        return loader;
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const SampleFile& s : Samples) {
            const QString path = m_files.filePath(s.name);
            if (s.name == u"broken.jpg") {
                // A JPEG header followed by noise: the reader recognises it and must fail on it.
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(
                    QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffdb0043") + QByteArray(4000, '\x5a'));
            } else if (s.name.endsWith(u".gif")) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(solidGif(s.size, s.colour));
            } else if (s.name == u"turned.jpg") {
                // A camera's picture turned a quarter by its orientation tag, as the only Exif entry.
                QImage image(s.size, QImage::Format_RGB32);
                image.fill(s.colour);
                QByteArray bytes;
                QBuffer buffer(&bytes);
                QVERIFY(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "JPG"));
                bytes.insert(2,
                    QByteArray::fromHex("ffe10022"
                                        "457869660000"
                                        "4d4d002a00000008"
                                        "0001"
                                        "011200030000000100060000"
                                        "00000000"));
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            } else if (s.size.isValid()) {
                QImage image(s.size, QImage::Format_RGB32);
                image.fill(s.colour);
                QVERIFY(image.save(path));
            }
        }
        // A pipe named like a picture must not block a decoder.
        QCOMPARE(::mkfifo(QFile::encodeName(m_files.filePath(u"pipe.jpg"_s)).constData(), 0644), 0);

        m_server = std::make_unique<FtpServerFixture>(FtpServerFixture::Kind::Pyftpdlib);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
        QVERIFY(QDir(m_server->root()).mkdir(u"pics"_s));
        for (const SampleFile& s : Samples) {
            if (QFile::exists(m_files.filePath(s.name)))
                QVERIFY(QFile::copy(m_files.filePath(s.name), m_server->root() + u"/pics/"_s + s.name));
        }
        QVERIFY(m_session.open(FtpSession::Direct));
        m_session.setOption(FtpSession::ConnectTimeout, 5000);
        m_session.setOption(FtpSession::DataReceiveTimeout, 10000);
        // As the program's hook: the window stays live and Stop ends an operation.
        m_session.setIdleHook([this] {
            QCoreApplication::processEvents();
            return m_state.StopRequested;
        });
        m_connection = std::make_unique<FtpConnection>(m_session);
        QVERIFY(m_connection->connect(m_server->hostField(), 0, m_server->user(), m_server->password(), true));
    }

    void thumbnails_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("local files") << false;
        QTest::newRow("server files") << true;
    }
    // Each picture is reported once, in the order of the sources, scaled to fit the cell with its
    // proportions kept and never enlarged; what cannot be read is reported failed.
    void thumbnails()
    {
        QFETCH(bool, onServer);
        auto loader = makeLoader();
        Recorder recorder(*loader);
        loader->start(sources(onServer), Cell);
        QVERIFY(loader->isRunning());
        QVERIFY(recorder.waitFinished());
        QVERIFY(!loader->isRunning());
        QCOMPARE(recorder.finished, 1);
        QCOMPARE(recorder.reports.size(), Samples.size());
        for (int i = 0; i < Samples.size(); ++i) {
            const Report& report = recorder.reports.at(i);
            const SampleFile& sample = Samples.at(i);
            QCOMPARE(report.index, i);
            QCOMPARE(report.image.isNull(), !sample.size.isValid());
            if (report.image.isNull())
                continue;
            const QSize shown = sample.name == u"turned.jpg" ? sample.size.transposed() : sample.size;
            const QSize expected = shown.width() <= Cell.width() && shown.height() <= Cell.height()
                ? shown
                : shown.scaled(Cell, Qt::KeepAspectRatio);
            QCOMPARE(report.image.size(), expected);
            const QColor middle = report.image.pixelColor(expected.width() / 2, expected.height() / 2);
            QVERIFY2(colourDistance(middle, sample.colour) < 40, qPrintable(sample.name));
        }
        QCOMPARE(temporaryFiles(), QStringList());
    }

    void hostileLocalFiles()
    {
        auto loader = makeLoader();
        Recorder recorder(*loader);
        loader->start(
            { PictureSource::local(m_files.filePath(u"pipe.jpg"_s)), PictureSource::local(m_files.path()) }, Cell);
        QVERIFY(recorder.waitFinished(5000));
        QCOMPARE(recorder.reports.size(), 2);
        QVERIFY(recorder.reports[0].image.isNull() && recorder.reports[1].image.isNull());
    }

    void fullPicture_data()
    {
        QTest::addColumn<PictureSource>("source");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("error");
        QTest::newRow("local") << PictureSource::local(m_files.filePath(u"wide.jpg"_s)) << QSize(1600, 1200)
                               << QString();
        QTest::newRow("server") << PictureSource::server(u"/pics/scan.bmp"_s) << QSize(200, 400) << QString();
        QTest::newRow("local broken") << PictureSource::local(m_files.filePath(u"broken.jpg"_s)) << QSize()
                                      << u"broken.jpg は表示できない画像です。"_s;
        QTest::newRow("server broken") << PictureSource::server(u"/pics/broken.jpg"_s) << QSize()
                                       << u"broken.jpg は表示できない画像です。"_s;
        QTest::newRow("local missing") << PictureSource::local(m_files.filePath(u"missing.jpg"_s)) << QSize()
                                       << u"missing.jpg が見つかりません。"_s;
        QTest::newRow("server missing") << PictureSource::server(u"/pics/missing.jpg"_s) << QSize()
                                        << u"missing.jpg を受信できませんでした。"_s;
    }
    // The single picture comes at its natural size; the temporary file is gone afterwards.
    void fullPicture()
    {
        QFETCH(PictureSource, source);
        QFETCH(QSize, size);
        QFETCH(QString, error);
        auto loader = makeLoader();
        QString reason;
        const QImage image = loader->loadFull(source, &reason);
        QCOMPARE(image.size(), size.isValid() ? size : QSize(0, 0));
        QCOMPARE(reason, error);
        QCOMPARE(temporaryFiles(), QStringList());
    }

    void withoutConnection()
    {
        auto loader = std::make_unique<ThumbnailLoader>(m_state, m_temp.path());
        Recorder recorder(*loader);
        loader->start({ PictureSource::server(u"/pics/wide.jpg"_s) }, Cell);
        QVERIFY(recorder.waitFinished());
        QCOMPARE(recorder.reports.size(), 1);
        QVERIFY(recorder.reports[0].image.isNull());
        QString error;
        QVERIFY(loader->loadFull(PictureSource::server(u"/pics/wide.jpg"_s), &error).isNull());
        QCOMPARE(error, u"サーバーに接続していません。"_s);
    }

    void temporaryNames_data()
    {
        TextTable::rows({ u"serial"_s, u"remote"_s, u"temporary"_s }, R"(
            single view         | 0  | photo.jpg          | $temp$.jpg
            numbered            | 12 | photo.JPG          | $temp$12.jpg
            path in the name    | 1  | ../../etc/passwd   | $temp$1.img
            folder after a dot  | 2  | a.b/../../x        | $temp$2.img
            blank in extension  | 3  | x.j pg             | $temp$3.img
            long extension      | 4  | x.abcdefghi        | $temp$4.img
            no extension        | 5  | README             | $temp$5.img
        )");
    }
    // The temporary file always lands in the data folder, whatever the server's name holds.
    void temporaryNames()
    {
        QFETCH(QString, serial);
        QFETCH(QString, remote);
        QFETCH(QString, temporary);
        QCOMPARE(ThumbnailLoader::temporaryName(serial.toInt(), remote), temporary);
    }

    void stop_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("local files") << false;
        QTest::newRow("server files") << true;
    }
    // Stop ends the walk: the reports end early, finished() comes once, and the request is taken.
    void stop()
    {
        QFETCH(bool, onServer);
        QList<PictureSource> many;
        for (int i = 0; i < 40; ++i)
            many.append(sources(onServer).first());
        auto loader = makeLoader();
        Recorder recorder(*loader);
        connect(loader.get(), &ThumbnailLoader::thumbnailReady, loader.get(), [this] { m_state.StopRequested = true; });
        loader->start(many, Cell);
        QVERIFY(recorder.waitFinished());
        QTest::qWait(300);
        QCOMPARE(recorder.finished, 1);
        QVERIFY2(recorder.reports.size() < 10, qPrintable(QString::number(recorder.reports.size())));
        QVERIFY(!m_state.StopRequested);
        QVERIFY(!loader->isRunning());
        QCOMPARE(temporaryFiles(), QStringList());
    }

    // A new run replaces the one in progress without a word from the old one; cancel() ends a run
    // silently.
    void restartAndCancel()
    {
        auto loader = makeLoader();
        Recorder recorder(*loader);
        QList<PictureSource> first;
        for (int i = 0; i < 30; ++i)
            first.append(PictureSource::local(m_files.filePath(u"wide.jpg"_s)));
        loader->start(first, Cell);
        loader->start({ PictureSource::local(m_files.filePath(u"small.png"_s)) }, Cell);
        QVERIFY(recorder.waitFinished());
        QTest::qWait(300);
        QCOMPARE(recorder.finished, 1);
        QCOMPARE(recorder.reports.size(), 1);
        QCOMPARE(recorder.reports[0].image.size(), QSize(40, 30));

        recorder.finished = 0;
        recorder.reports.clear();
        loader->start(first, Cell);
        loader->cancel();
        QTest::qWait(500);
        QCOMPARE(recorder.finished, 0);
        QCOMPARE(recorder.reports.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestThumbnailLoader)
#include "tst_thumbnailloader.moc"
