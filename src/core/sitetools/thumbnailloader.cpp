#include "core/sitetools/thumbnailloader.h"

#include "core/app/appstate.h"
#include "core/ftp/ftpconnection.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>
#include <algorithm>

namespace {

QString tooLargeMessage(const QString& name) { return name + QStringLiteral(" は大きすぎるため表示できません。"); }
QString unreadableMessage(const QString& name) { return name + QStringLiteral(" は表示できない画像です。"); }

// Reads a whole file that is small enough to be a picture; a device, pipe or folder is refused,
// since opening one could block or read without end.
bool readPictureFile(const QString& path, QByteArray* bytes, QString* error, const QString& name)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = name + QStringLiteral(" が見つかりません。");
        return false;
    }
    if (info.size() > ThumbnailLoader::MaxPictureBytes) {
        *error = tooLargeMessage(name);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = name + QStringLiteral(" を読み込めません。");
        return false;
    }
    *bytes = file.read(ThumbnailLoader::MaxPictureBytes + 1);
    if (bytes->size() > ThumbnailLoader::MaxPictureBytes) {
        *error = tooLargeMessage(name);
        return false;
    }
    return true;
}

QImage decodeBytes(const QByteArray& bytes, QSize fitInto)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ThumbnailLoader::decode(&buffer, fitInto);
}

} // namespace

QString PictureSource::name() const { return path.mid(path.lastIndexOf(u'/') + 1); }

ThumbnailLoader::ThumbnailLoader(AppState& state, const QString& tempFolder, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_tempFolder(tempFolder)
    , m_cancelled(std::make_shared<std::atomic_bool>(false))
{
    m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    m_walkTimer.setSingleShot(true);
    connect(&m_walkTimer, &QTimer::timeout, this, &ThumbnailLoader::walk);
}

ThumbnailLoader::~ThumbnailLoader()
{
    cancel();
    m_pool.waitForDone();
}

QString ThumbnailLoader::temporaryName(int serial, const QString& remoteName)
{
    const qsizetype dot = remoteName.lastIndexOf(u'.');
    QString extension = dot < 0 ? QString() : remoteName.mid(dot + 1).toLower();
    const bool plain = !extension.isEmpty() && extension.size() <= 8
        && std::all_of(extension.cbegin(), extension.cend(),
            [](QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'); });
    if (!plain)
        extension = QStringLiteral("img");
    return QStringLiteral("$temp$") + (serial > 0 ? QString::number(serial) : QString()) + u'.' + extension;
}

QImage ThumbnailLoader::decode(QIODevice* device, QSize fitInto)
{
    QImageReader reader(device);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid()) {
        if (qint64(size.width()) * size.height() > MaxPixels)
            return QImage();
        // Formats that can (JPEG above all) then decode at the small size directly.
        if (fitInto.isValid() && (size.width() > fitInto.width() || size.height() > fitInto.height()))
            reader.setScaledSize(size.scaled(fitInto, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    // A turned picture, or one whose size was unknown before reading, may still be too large.
    if (!image.isNull() && fitInto.isValid() && (image.width() > fitInto.width() || image.height() > fitInto.height()))
        image = image.scaled(fitInto, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

void ThumbnailLoader::start(const QList<PictureSource>& sources, QSize cellSize)
{
    cancel();
    m_state.StopRequested = false;
    m_sources = sources;
    m_cellSize = cellSize;
    m_results.assign(sources.size(), Result());
    m_cancelled = std::make_shared<std::atomic_bool>(false);
    m_walked = 0;
    m_reported = 0;
    m_serial = 0;
    m_running = true;
    if (sources.isEmpty()) {
        m_running = false;
        Q_EMIT finished();
        return;
    }
    m_walkTimer.start(0);
}

void ThumbnailLoader::cancel()
{
    if (m_running)
        stopRun(false);
}

void ThumbnailLoader::stopRun(bool announce)
{
    m_cancelled->store(true);
    m_pool.clear();
    m_walkTimer.stop();
    ++m_run;
    m_running = false;
    m_results.clear();
    if (announce)
        Q_EMIT finished();
}

void ThumbnailLoader::walk()
{
    if (!m_running)
        return;
    // Re-entered from the event loop while the engine fetches for an earlier run or a click.
    if (m_fetching) {
        m_walkTimer.start(10);
        return;
    }
    const quint64 run = m_run;
    while (m_walked < m_sources.size()) {
        if (m_state.takeStopRequest()) {
            stopRun(true);
            return;
        }
        const int index = m_walked++;
        const PictureSource source = m_sources.at(index);
        if (!source.onServer) {
            decodeLater(index, source.path, QByteArray());
            continue;
        }
        QByteArray bytes;
        QString error;
        m_fetching = true;
        const bool fetched
            = fetch(source.path, m_tempFolder + u'/' + temporaryName(++m_serial, source.name()), &bytes, &error);
        m_fetching = false;
        if (run != m_run)
            return;
        if (m_state.takeStopRequest()) {
            stopRun(true);
            return;
        }
        if (fetched) {
            decodeLater(index, QString(), bytes);
        } else {
            m_results[index].outcome = Outcome::Failed;
            reportInOrder();
            if (run != m_run)
                return;
        }
        // One server picture per turn of the event loop.
        if (m_walked < m_sources.size())
            m_walkTimer.start(0);
        return;
    }
}

void ThumbnailLoader::decodeLater(int index, const QString& path, const QByteArray& bytes)
{
    const std::shared_ptr<std::atomic_bool> cancelled = m_cancelled;
    const quint64 run = m_run;
    const QSize fitInto = m_cellSize;
    m_pool.start([this, cancelled, run, index, path, bytes, fitInto] {
        QImage image;
        if (!cancelled->load()) {
            QByteArray fromFile;
            QString error;
            if (path.isEmpty())
                image = decodeBytes(bytes, fitInto);
            else if (readPictureFile(path, &fromFile, &error, QString()))
                image = decodeBytes(fromFile, fitInto);
        }
        // The destructor waits for this task, so `this` is alive while it posts.
        if (!cancelled->load())
            QMetaObject::invokeMethod(
                this, [this, run, index, image] { onDecoded(run, index, image); }, Qt::QueuedConnection);
    });
}

void ThumbnailLoader::onDecoded(quint64 run, int index, const QImage& image)
{
    if (run != m_run || !m_running)
        return;
    Result& result = m_results[index];
    result.outcome = image.isNull() ? Outcome::Failed : Outcome::Ready;
    result.image = image;
    reportInOrder();
}

void ThumbnailLoader::reportInOrder()
{
    const quint64 run = m_run;
    while (m_reported < int(m_results.size()) && m_results[m_reported].outcome != Outcome::Pending) {
        const int index = m_reported++;
        Result result = std::move(m_results[index]);
        m_results[index] = Result { result.outcome, QImage() };
        if (result.outcome == Outcome::Ready)
            Q_EMIT thumbnailReady(index, result.image);
        else
            Q_EMIT thumbnailFailed(index);
        // A receiver may have cancelled or started another run.
        if (run != m_run || !m_running)
            return;
    }
    if (m_reported == int(m_results.size())) {
        m_running = false;
        Q_EMIT finished();
    } else if (m_state.takeStopRequest()) {
        stopRun(true);
    }
}

bool ThumbnailLoader::fetch(const QString& remote, const QString& local, QByteArray* bytes, QString* error)
{
    const QString name = remote.mid(remote.lastIndexOf(u'/') + 1);
    FtpConnection* connection = m_connection ? m_connection() : nullptr;
    if (!connection || !connection->isOpen()) {
        *error = QStringLiteral("サーバーに接続していません。");
        return false;
    }
    const bool got = connection->getFile(remote, local, false, TransferType::Binary);
    const bool read = got && readPictureFile(local, bytes, error, name);
    QFile::remove(local);
    if (!got)
        *error = name + QStringLiteral(" を受信できませんでした。");
    return read;
}

QImage ThumbnailLoader::loadFull(const PictureSource& source, QString* error)
{
    QString reason;
    QByteArray bytes;
    bool read = false;
    if (!source.onServer) {
        read = readPictureFile(source.path, &bytes, &reason, source.name());
    } else if (m_fetching) {
        reason = QStringLiteral("ほかの画像を受信しています。しばらくしてからもう一度選んでください。");
    } else {
        m_fetching = true;
        read = fetch(source.path, m_tempFolder + u'/' + temporaryName(0, source.name()), &bytes, &reason);
        m_fetching = false;
    }
    QImage image;
    if (read) {
        image = decodeBytes(bytes, QSize());
        if (image.isNull())
            reason = unreadableMessage(source.name());
    }
    if (error)
        *error = reason;
    return image;
}
