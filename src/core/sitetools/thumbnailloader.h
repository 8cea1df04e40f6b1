#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

struct AppState;
class FtpConnection;
class QIODevice;

// Where a picture lives: a local path, or a server path (absolute, or relative to the
// connection's current folder).
struct PictureSource {
    QString path;
    bool onServer = false;

    static PictureSource local(const QString& path) { return { path, false }; }
    static PictureSource server(const QString& path) { return { path, true }; }
    // The part after the last "/".
    QString name() const;
};

// Loads the thumbnails of an ordered list of pictures without freezing the window: server
// pictures are fetched one by one on the calling thread (the engine keeps the window live) into
// a temporary file in `tempFolder`, read into memory and the file removed at once; every picture
// is then decoded on a worker thread, scaled while decoding to fit the cell. Results are
// reported in the order of the sources. The Stop flag ends a run: what is not yet reported is
// dropped, and finished() follows.
//
// Every byte read is untrusted: a file that is too large, claims too many pixels, or cannot be
// decoded is reported as failed, never decoded in full.
class ThumbnailLoader : public QObject {
    Q_OBJECT
public:
    using ConnectionProvider = std::function<FtpConnection*()>;

    static constexpr qint64 MaxPictureBytes = 64 * 1024 * 1024;
    static constexpr qint64 MaxPixels = 100'000'000;

    ThumbnailLoader(AppState& state, const QString& tempFolder, QObject* parent = nullptr);
    ~ThumbnailLoader() override; // cancels, and waits for the decoders still running

    // Asked at each server fetch, since a reconnect replaces the connection. None: server
    // pictures fail.
    void setConnectionProvider(ConnectionProvider provider) { m_connection = std::move(provider); }

    // Starts a run, ending the one in progress without a word. Returns at once.
    void start(const QList<PictureSource>& sources, QSize cellSize);
    // Ends the run without reporting anything more, finished() included.
    void cancel();
    bool isRunning() const { return m_running; }

    // One picture at its natural size, for the single view; the calling thread waits. A null
    // image when it cannot be shown, with the reason in Japanese in `error`.
    QImage loadFull(const PictureSource& source, QString* error = nullptr);

    // The temporary file's name for a server picture: "$temp$" + serial (none when 0) + "." + the
    // extension of `remoteName`, which is kept only when it is short and plain.
    static QString temporaryName(int serial, const QString& remoteName);
    // Decodes at most `fitInto` (keeping the aspect ratio, never enlarging); an invalid size
    // decodes at natural size. Safe on any thread.
    static QImage decode(QIODevice* device, QSize fitInto);

Q_SIGNALS:
    void thumbnailReady(int index, const QImage& image);
    void thumbnailFailed(int index);
    void finished();

private:
    enum class Outcome { Pending, Ready, Failed };
    struct Result {
        Outcome outcome = Outcome::Pending;
        QImage image;
    };

    void walk();
    void decodeLater(int index, const QString& path, const QByteArray& bytes);
    void onDecoded(quint64 run, int index, const QImage& image);
    void reportInOrder();
    void stopRun(bool announce);
    bool fetch(const QString& remote, const QString& local, QByteArray* bytes, QString* error);

    AppState& m_state;
    QString m_tempFolder;
    ConnectionProvider m_connection;
    QThreadPool m_pool;
    QTimer m_walkTimer;
    QList<PictureSource> m_sources;
    QSize m_cellSize;
    std::vector<Result> m_results;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    quint64 m_run = 0;
    int m_walked = 0; // sources handed to the decoders
    int m_reported = 0; // sources reported, in order
    int m_serial = 0; // for the names of the temporary files
    bool m_running = false;
    bool m_fetching = false;
};
