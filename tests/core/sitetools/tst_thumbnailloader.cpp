// The thumbnail loader on real files in a temporary folder, served as they are by a real FTP
// server: what is decoded and how small, what fails without harm, the order of the reports, the
// temporary files, Stop and cancel.
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
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QSize Cell(120, 90);

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray picture(QSize size, const char* format = "JPG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// One run of a loader as text: "index:WxH" for each picture, "index:-" for each failure, then
// "end" for finished().
struct Recorder {
    QStringList reports;
    explicit Recorder(ThumbnailLoader& loader)
    {
        QObject::connect(&loader, &ThumbnailLoader::thumbnailReady, &loader, [this](int i, const QImage& image) {
            reports << u"%1:%2x%3"_s.arg(i).arg(image.width()).arg(image.height());
        });
        QObject::connect(
            &loader, &ThumbnailLoader::thumbnailFailed, &loader, [this](int i) { reports << u"%1:-"_s.arg(i); });
        QObject::connect(&loader, &ThumbnailLoader::finished, &loader, [this] { reports << u"end"_s; });
    }
    bool waitFinished()
    {
        return QTest::qWaitFor([this] { return reports.contains(u"end"_s); }, 30000);
    }
};

} // namespace

class TestThumbnailLoader : public QObject {
    Q_OBJECT
    QTemporaryDir m_files; // the local site, and the server's root
    QTemporaryDir m_temp; // the data folder with the temporary files
    AppState m_state;
    std::unique_ptr<FtpServerFixture> m_server;
    FtpSession m_session;
    std::unique_ptr<FtpConnection> m_connection;

    PictureSource source(const QString& where, const QString& name) const
    {
        return where == u"server" ? PictureSource::server(u'/' + name) : PictureSource::local(m_files.filePath(name));
    }
    QStringList temporaryFiles() const { return QDir(m_temp.path()).entryList(QDir::Files | QDir::Hidden); }
    std::unique_ptr<ThumbnailLoader> makeLoader()
    {
        auto loader = std::make_unique<ThumbnailLoader>(m_state, m_temp.path());
        loader->setConnectionProvider([this] { return m_connection.get(); });
        return loader;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(writeFile(m_files.filePath(u"small.bmp"_s), picture(QSize(40, 30), "BMP")));
        QVERIFY(writeFile(m_files.filePath(u"wide.jpg"_s), picture(QSize(1600, 1200))));
        // A red pixel, 3-bit codes: clear, 0, end.
        const QByteArray gif = "47494638396101000100800000ff00000000002c00000000010001000002024401003b";
        QVERIFY(writeFile(m_files.filePath(u"dot.gif"_s), QByteArray::fromHex(gif)));
        // A camera's picture turned a quarter by its orientation tag, as the only Exif entry.
        const QByteArray exif = "ffe100224578696600004d4d002a00000008000101120003000000010006000000000000";
        QVERIFY(writeFile(
            m_files.filePath(u"turned.jpg"_s), picture(QSize(1600, 1200)).insert(2, QByteArray::fromHex(exif))));
        // A JPEG header followed by noise: the reader recognises it and must fail on it.
        QVERIFY(writeFile(m_files.filePath(u"broken.jpg"_s),
            QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffdb0043") + QByteArray(4000, 'Z')));
        // A pipe named like a picture must not block a decoder.
        QCOMPARE(::mkfifo(QFile::encodeName(m_files.filePath(u"pipe.jpg"_s)).constData(), 0644), 0);

        FtpServerFixture::Options options;
        options.root = m_files.path();
        m_server = std::make_unique<FtpServerFixture>(options);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
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
        TextTable::rows({ u"where"_s, u"names"_s, u"reports"_s }, R"(
            local files  | local  | wide.jpg small.bmp dot.gif turned.jpg broken.jpg missing.jpg pipe.jpg . | 0:120x90 1:40x30 2:1x1 3:67x90 4:- 5:- 6:- 7:- end
            server files | server | wide.jpg small.bmp dot.gif turned.jpg broken.jpg missing.jpg .          | 0:120x90 1:40x30 2:1x1 3:67x90 4:- 5:- 6:- end
        )");
    }
    // Each picture is reported once, in the order of the sources, fitted into the cell and never
    // enlarged; what cannot be read fails; the temporary files are gone.
    void thumbnails()
    {
        QFETCH(QString, where);
        QFETCH(QString, names);
        QFETCH(QString, reports);
        QList<PictureSource> sources;
        for (const QString& name : names.split(u' '))
            sources << source(where, name);
        auto loader = makeLoader();
        Recorder recorder(*loader);
        loader->start(sources, Cell);
        QVERIFY(recorder.waitFinished());
        QTest::qWait(50);
        QCOMPARE(recorder.reports.join(u' '), reports);
        QVERIFY(!loader->isRunning());
        QCOMPARE(temporaryFiles(), QStringList());
    }

    void fullPicture_data()
    {
        TextTable::rows({ u"where"_s, u"name"_s, u"size"_s, u"error"_s }, R"(
            local          | local  | wide.jpg    | 1600x1200 |
            server         | server | turned.jpg  | 1200x1600 |
            server broken  | server | broken.jpg  | 0x0       | broken.jpg は表示できない画像です。
            local missing  | local  | missing.jpg | 0x0       | missing.jpg が見つかりません。
            server missing | server | missing.jpg | 0x0       | missing.jpg を受信できませんでした。
        )");
    }
    // The single view's picture at its natural size, or the reason why not.
    void fullPicture()
    {
        QFETCH(QString, where);
        QFETCH(QString, name);
        QFETCH(QString, size);
        QFETCH(QString, error);
        QString reason;
        const QImage image = makeLoader()->loadFull(source(where, name), &reason);
        QCOMPARE(u"%1x%2 %3"_s.arg(image.width()).arg(image.height()).arg(reason), size + u' ' + error);
        QCOMPARE(temporaryFiles(), QStringList());
    }

    void withoutConnection()
    {
        ThumbnailLoader loader(m_state, m_temp.path());
        Recorder recorder(loader);
        loader.start({ PictureSource::server(u"/wide.jpg"_s) }, Cell);
        QVERIFY(recorder.waitFinished());
        QCOMPARE(recorder.reports, QStringList({ u"0:-"_s, u"end"_s }));
        QString error;
        QVERIFY(loader.loadFull(PictureSource::server(u"/wide.jpg"_s), &error).isNull());
        QCOMPARE(error, u"サーバーに接続していません。"_s);
    }

    // The temporary file always lands in the data folder, whatever the server's name holds.
    void temporaryNames()
    {
        QStringList names;
        for (const auto& [serial, remote] : { std::pair(0, "photo.jpg"), { 12, "photo.JPG" }, { 2, "a.b/../../x" },
                 { 4, "x.abcdefghi" }, { 5, "README" } })
            names << ThumbnailLoader::temporaryName(serial, QString::fromUtf8(remote));
        QCOMPARE(names.join(u' '), u"$temp$.jpg $temp$12.jpg $temp$2.img $temp$4.img $temp$5.img"_s);
    }

    void stop_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("local files") << u"local"_s;
        QTest::newRow("server files") << u"server"_s;
    }
    // Stop ends the walk: the reports end early, finished() comes once, and the request is taken.
    void stop()
    {
        QFETCH(QString, where);
        auto loader = makeLoader();
        Recorder recorder(*loader);
        connect(loader.get(), &ThumbnailLoader::thumbnailReady, loader.get(), [this] { m_state.StopRequested = true; });
        loader->start(QList<PictureSource>(40, source(where, u"wide.jpg"_s)), Cell);
        QVERIFY(recorder.waitFinished());
        QTest::qWait(300);
        QVERIFY2(recorder.reports.size() < 10 && recorder.reports.count(u"end"_s) == 1,
            qPrintable(recorder.reports.join(u' ')));
        QVERIFY(!m_state.StopRequested && !loader->isRunning());
        QCOMPARE(temporaryFiles(), QStringList());
    }

    // A new run replaces the one in progress without a word from the old one; cancel() ends a run
    // silently.
    void restartAndCancel()
    {
        auto loader = makeLoader();
        Recorder recorder(*loader);
        const QList<PictureSource> many(30, source(u"local"_s, u"wide.jpg"_s));
        loader->start(many, Cell);
        loader->start({ source(u"local"_s, u"small.bmp"_s) }, Cell);
        QVERIFY(recorder.waitFinished());
        loader->start(many, Cell);
        loader->cancel();
        QTest::qWait(300);
        QCOMPARE(recorder.reports.join(u' '), u"0:40x30 end"_s);
    }
};

QTEST_GUILESS_MAIN(TestThumbnailLoader)
#include "tst_thumbnailloader.moc"
