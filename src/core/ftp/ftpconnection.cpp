#include "core/ftp/ftpconnection.h"

#include "core/app/codepage.h"
#include "core/ftp/engine/asciiconverter.h"
#include "core/ftp/engine/connectionprivate.h"
#include "core/ftp/engine/enginedatastream.h"
#include "core/ftp/engine/enginefind.h"
#include "core/ftp/engine/listingparsers.h"
#include "core/ftp/engine/localtempfile.h"
#include "core/ftp/engine/sessionprivate.h"
#include "core/ftp/ftperrors.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr qint64 transferBuffer = 1024 * 1024;

bool isRelative(const QString& path) { return !path.startsWith(u'/'); }

// The first word of a raw command, upper-cased.
QByteArray verbOf(const QByteArray& command)
{
    const qsizetype space = command.indexOf(' ');
    return (space < 0 ? command : command.left(space)).trimmed().toUpper();
}

// Reports progress at the start, at most every 50 ms while data flows (a progress bar needs no
// more, and a report per network read would cost the window thousands of repaints), and at the end.
class ProgressReport {
public:
    ProgressReport(const FtpConnection::Progress& progress, qint64 total)
        : m_progress(progress)
        , m_total(total)
    {
        if (m_progress)
            m_progress(0, m_total);
        m_since.start();
    }
    void update(qint64 done)
    {
        m_done = done;
        if (m_progress && m_since.elapsed() >= 50) {
            m_progress(done, m_total);
            m_since.start();
            m_reported = done;
        }
    }
    void finish()
    {
        if (m_progress && m_reported != m_done)
            m_progress(m_done, m_total);
        m_reported = m_done;
    }

private:
    const FtpConnection::Progress& m_progress;
    qint64 m_total;
    qint64 m_done = 0;
    qint64 m_reported = 0;
    QElapsedTimer m_since;
};

class FileCloser {
public:
    explicit FileCloser(int fd)
        : m_fd(fd)
    {
    }
    ~FileCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    int m_fd;
};

// The wire form of a name the server is to act on; an empty or unencodable name fails the operation.
std::optional<QByteArray> wireName(FtpConnection::Private& d, const QString& name)
{
    auto bytes = d.encode(name);
    if (!bytes || bytes->isEmpty()) {
        d.fail(FtpError::InvalidName);
        return std::nullopt;
    }
    return bytes;
}
} // namespace

FtpConnection::FtpConnection(FtpSession& session)
    : m_d(std::make_unique<Private>(session))
{
}

FtpConnection::~FtpConnection()
{
    m_d->closeRequested = false;
    m_d->closeNow();
}

bool FtpConnection::connect(
    const QString& host, quint16 port, const QString& user, const QString& password, bool passive)
{
    Private& d = *m_d;
    if (d.busy || d.stream) {
        d.lastError = FtpError::TransferInProgress;
        return false;
    }
    if (d.state != Private::State::Closed)
        d.closeNow();
    Operation op(d, false);
    if (!op.ok())
        return false;
    if (!d.session.isOpen())
        return d.fail(FtpError::IncorrectHandleState);
    bool unknownScheme = false;
    const auto field = HostField::parse(host, &unknownScheme);
    if (!field)
        return d.fail(unknownScheme ? FtpError::UnrecognizedScheme : FtpError::InvalidUrl);
    d.field = *field;
    if (port)
        d.field.port = port;
    d.proxy = d.session.d().proxyFor(d.field.host);
    d.passive = passive;
    d.tls = d.field.security != HostField::Security::Plain;
    d.utf8 = d.mlsd = d.uniqueFacts = d.sizeCommand = false;
    d.epsv = d.eprt = true;
    d.sizeIn150 = false;
    d.type = 0;
    d.cwd.clear();
    d.cwdInSync = true;
    d.restPending = d.protChanged = d.modeChanged = false;
    d.lastReply.clear();
    d.parser.reset();
    d.certFingerprint.clear();

    d.connecting = true;
    const auto connected = qScopeGuard([&d] { d.connecting = false; });
    auto failed = [&d] {
        const int e = d.lastError;
        if (d.control)
            d.control->close();
        d.control.reset();
        d.parser.reset();
        d.state = Private::State::Closed;
        d.lastError = e;
        return false;
    };
    if (!d.openControl())
        return failed();
    if (d.field.security == HostField::Security::Implicit && !d.startTls(*d.control, true))
        return failed();
    FtpReply reply;
    d.state = Private::State::Open; // so that the reply reader can mark a loss
    if (!d.readFinalReply(&reply)) {
        if (d.lastError == FtpError::ConnectionAborted && reply.code != 421)
            d.lastError = FtpError::CannotConnect;
        else if (reply.code == 421)
            d.lastError = FtpError::ExtendedError;
        return failed();
    }
    if (reply.code != 220) {
        d.lastError = FtpError::ExtendedError;
        return failed();
    }
    if (d.field.security == HostField::Security::Explicit) {
        if (!d.exchange("AUTH TLS", &reply))
            return failed();
        if (reply.code != 234) {
            d.lastError = FtpError::ExtendedError;
            return failed();
        }
        if (!d.startTls(*d.control, true))
            return failed();
    }
    if (!d.login(user, password))
        return failed();
    if (d.tls) {
        if (!d.exchange("PBSZ 0", &reply) || !d.expectSuccess("PROT P"))
            return failed();
    }
    d.learnFeatures();
    if (d.state != Private::State::Open)
        return failed();
    if (d.exchange("PWD", &reply)) {
        if (const auto path = FtpReplyText::parsePwd(reply.text); path && reply.code == 257)
            d.cwd = *path;
    } else {
        return failed();
    }
    d.lastError = FtpError::None;
    return true;
}

bool FtpConnection::isOpen() const
{
    return m_d->state == Private::State::Open && m_d->control && m_d->control->isOpen();
}

void FtpConnection::close()
{
    if (m_d->busy) {
        m_d->closeRequested = true;
        m_d->waiter.requestCancel();
        return;
    }
    m_d->closeNow();
}

bool FtpConnection::getCurrentDirectory(QString* folder)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    FtpReply reply;
    if (!d.expectSuccess("PWD", &reply))
        return false;
    const auto path = FtpReplyText::parsePwd(reply.text);
    if (!path || reply.code != 257)
        return d.fail(FtpError::InvalidServerResponse);
    // The server's answer is the truth, also after a raw CWD typed by the user.
    d.cwd = *path;
    d.cwdInSync = true;
    if (folder)
        *folder = d.decode(*path);
    return true;
}

bool FtpConnection::setCurrentDirectory(const QString& folder)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto name = d.encode(folder);
    if (!name || name->isEmpty())
        return d.fail(name ? FtpError::PathNotFound : FtpError::InvalidName);
    if (!d.syncFolder(isRelative(folder)))
        return false;
    if (!d.expectSuccess("CWD " + *name))
        return false;
    const QByteArray keep = d.lastReply;
    FtpReply reply;
    if (d.exchange("PWD", &reply) && reply.code == 257) {
        if (const auto path = FtpReplyText::parsePwd(reply.text))
            d.cwd = *path;
        else
            d.cwd.clear();
    } else if (d.state != Private::State::Open) {
        return false;
    } else {
        d.cwd.clear();
    }
    d.cwdInSync = true;
    d.lastReply = keep;
    return true;
}

std::unique_ptr<FtpFind> FtpConnection::findFirstFile(const QString& search, FtpFindData* first)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return nullptr;
    QString folder = search;
    QString pattern;
    const qsizetype slash = search.lastIndexOf(u'/');
    const QString last = search.mid(slash + 1);
    if (last.contains(u'*') || last.contains(u'?')) {
        pattern = last;
        folder = slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : search.left(slash));
    }
    if (pattern == u"*" || pattern == u"*.*")
        pattern.clear();
    const auto folderBytes = d.encode(folder);
    if (!folderBytes) {
        d.fail(FtpError::InvalidName);
        return nullptr;
    }
    if (!d.syncFolder(isRelative(folder)))
        return nullptr;
    QList<ListingEntry> raw;
    if (!d.listFolder(*folderBytes, &raw))
        return nullptr;
    QRegularExpression match;
    if (!pattern.isEmpty())
        match = QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern));
    QList<FtpFindData> entries;
    entries.reserve(raw.size());
    for (const ListingEntry& entry : std::as_const(raw)) {
        FtpFindData data;
        data.name = d.decode(entry.name);
        if (data.name.contains(u'/') || data.name == u"." || data.name == u"..")
            continue;
        if (!pattern.isEmpty() && !match.match(data.name).hasMatch())
            continue;
        data.isFolder = entry.isFolder;
        data.isLink = entry.isLink;
        data.unique = entry.unique;
        data.size = entry.size;
        data.lastWriteTime = entry.time;
        entries.append(data);
    }
    if (entries.isEmpty()) {
        d.fail(FtpError::NoMoreFiles);
        return nullptr;
    }
    if (first)
        *first = entries.takeFirst();
    else
        entries.removeFirst();
    return std::make_unique<EngineFind>(std::move(entries));
}

bool FtpConnection::getUniqueFact(const QString& path, QByteArray* unique)
{
    Private& d = *m_d;
    if (unique)
        unique->clear();
    Operation op(d, true);
    if (!op.ok())
        return false;
    if (!d.uniqueFacts)
        return d.fail(FtpError::ExtendedError);
    const auto name = d.encode(path);
    if (!name) {
        d.fail(FtpError::InvalidName);
        return false;
    }
    if (!d.syncFolder(isRelative(path)))
        return false;
    FtpReply reply;
    if (!d.exchange(name->isEmpty() ? QByteArray("MLST") : "MLST " + *name, &reply))
        return false;
    if (reply.code != 250)
        return d.fail(FtpError::ExtendedError);
    // The facts come on the lines between the first and the last, each after one blank.
    const QList<QByteArray> lines = reply.text.split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        QByteArrayView line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.startsWith(' '))
            continue;
        const auto entry = ListingParsers::parseMlstLine(line.sliced(1));
        if (entry && !entry->unique.isEmpty()) {
            if (unique)
                *unique = entry->unique;
            return true;
        }
    }
    return d.fail(FtpError::InvalidServerResponse);
}

bool FtpConnection::getFile(const QString& remote, const QString& local, bool failIfExists, TransferType transferType)
{
    Private& d = *m_d;
    const qint64 expected = std::exchange(d.expectedSize, -1);
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto name = wireName(d, remote);
    if (!name)
        return false;
    if (local.isEmpty())
        return d.fail(FtpError::PathNotFound);
    const QFileInfo target(local);
    if (failIfExists && (target.exists() || target.isSymLink()))
        return d.fail(FtpError::FileExists);
    if (target.isDir())
        return d.fail(FtpError::AccessDenied);
    LocalTempFile file;
    if (const int e = file.create(local))
        return d.fail(e);
    const char type = transferType == TransferType::Ascii ? 'A' : 'I';
    if (!d.syncFolder(isRelative(remote)) || !d.prepareTransfer(type))
        return false;
    qint64 total = expected > 0 ? expected : -1;
    FtpReply reply;
    // One round trip less per file once the server has shown that its 150 reply tells the size.
    if (d.sizeCommand && type == 'I' && !d.sizeIn150 && total < 0) {
        if (!d.exchange("SIZE " + *name, &reply))
            return false;
        if (const auto size = FtpReplyText::parseSize(reply.text))
            total = *size;
    }
    DataStart start;
    if (!d.startData("RETR " + *name, &start))
        return false;
    if (const auto announced = FtpReplyText::parseTransferSize(start.preliminary.text)) {
        d.sizeIn150 = type == 'I';
        // The server's word at the time of the transfer beats a listing made earlier: the file
        // may have changed since.
        total = *announced;
    }
    ProgressReport report(d.progress, total);
    qint64 done = 0;
    if (start.channel) {
        AsciiConverter converter(AsciiConverter::Direction::Download);
        QByteArray buffer(transferBuffer, Qt::Uninitialized);
        QByteArray converted;
        for (;;) {
            const qint64 n = start.channel->readSome(buffer.data(), buffer.size(), d.dataReceiveTimeout());
            if (n == 0)
                break;
            int e = FtpError::None;
            if (n < 0) {
                e = start.channel->error();
            } else if (type == 'A') {
                converted.clear();
                converter.convert(QByteArrayView(buffer.constData(), n), &converted);
                e = file.write(converted.constData(), converted.size());
            } else {
                e = file.write(buffer.constData(), n);
            }
            if (e == FtpError::None) {
                done += n;
                report.update(done);
                if (!d.waiter.tick())
                    e = FtpError::OperationCancelled;
            }
            if (e != FtpError::None) {
                d.abortTransfer(start.channel);
                return d.fail(e);
            }
        }
        if (type == 'A') {
            converted.clear();
            converter.finish(&converted);
            if (const int e = file.write(converted.constData(), converted.size())) {
                start.channel.reset();
                d.abortTransfer(start.channel);
                return d.fail(e);
            }
        }
        start.channel->close();
        if (!d.readFinalReply(&reply))
            return false;
        if (reply.isError())
            return d.fail(FtpError::ExtendedError);
        // A data connection that ended early still gets "226" from some servers: a binary file
        // shorter than announced is a broken transfer and must not replace the local copy.
        if (type == 'I' && total >= 0 && done < total)
            return d.fail(FtpError::FtpDropped);
    }
    if (const int e = file.commit())
        return d.fail(e);
    d.askPassiveAhead();
    report.finish();
    return true;
}

bool FtpConnection::putFile(const QString& local, const QString& remote, TransferType transferType, bool failIfExists)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto name = wireName(d, remote);
    if (!name)
        return false;
    const QByteArray localPath = QFile::encodeName(local);
    const int fd = local.isEmpty() ? -1 : ::open(localPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        return d.fail(
            e == ENOENT || local.isEmpty() ? FtpError::FileNotFound : LocalTempFile::errorFor(e, FtpError::ReadFault));
    }
    FileCloser closer(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
        return d.fail(FtpError::AccessDenied);
    if (!d.syncFolder(isRelative(remote)))
        return false;
    const char type = transferType == TransferType::Ascii ? 'A' : 'I';
    FtpReply reply;
    if (failIfExists) {
        if (!d.exchange("SIZE " + *name, &reply))
            return false;
        if (reply.code == 213)
            return d.fail(FtpError::FileExists);
    }
    if (!d.prepareTransfer(type))
        return false;
    const qint64 total = S_ISREG(st.st_mode) ? qint64(st.st_size) : -1;
    DataStart start;
    if (!d.startData("STOR " + *name, &start))
        return false;
    if (!start.channel)
        return d.fail(FtpError::ExtendedError);
    ProgressReport report(d.progress, total);
    qint64 done = 0;
    // Plain read and send: on the loopback it measured faster than sendfile().
    AsciiConverter converter(AsciiConverter::Direction::Upload);
    QByteArray buffer(transferBuffer, Qt::Uninitialized);
    QByteArray converted;
    for (;;) {
        int e = FtpError::None;
        const qint64 n = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            e = FtpError::ReadFault;
        } else if (n > 0) {
            const char* out = buffer.constData();
            qint64 outSize = n;
            if (type == 'A') {
                converted.clear();
                converter.convert(QByteArrayView(buffer.constData(), n), &converted);
                out = converted.constData();
                outSize = converted.size();
            }
            if (!start.channel->writeAll(out, outSize, d.dataSendTimeout()))
                e = start.channel->error();
        }
        if (n == 0 && e == FtpError::None)
            break;
        if (e == FtpError::None) {
            done += n;
            report.update(done);
            if (!d.waiter.tick())
                e = FtpError::OperationCancelled;
        }
        if (e != FtpError::None) {
            d.abortTransfer(start.channel);
            return d.fail(e);
        }
    }
    start.channel->finishSending(d.dataSendTimeout());
    start.channel->close();
    if (!d.readFinalReply(&reply))
        return false;
    if (reply.isError())
        return d.fail(FtpError::ExtendedError);
    d.askPassiveAhead();
    report.finish();
    return true;
}

namespace {

bool simpleCommand(FtpConnection::Private& d, const char* verb, const QString& name)
{
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto bytes = wireName(d, name);
    if (!bytes)
        return false;
    if (!d.syncFolder(isRelative(name)))
        return false;
    return d.expectSuccess(verb + (' ' + *bytes));
}

} // namespace

bool FtpConnection::deleteFile(const QString& name) { return simpleCommand(*m_d, "DELE", name); }

bool FtpConnection::removeDirectory(const QString& name) { return simpleCommand(*m_d, "RMD", name); }

bool FtpConnection::createDirectory(const QString& name) { return simpleCommand(*m_d, "MKD", name); }

bool FtpConnection::renameFile(const QString& from, const QString& to)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto fromBytes = d.encode(from);
    const auto toBytes = d.encode(to);
    if (!fromBytes || !toBytes || fromBytes->isEmpty() || toBytes->isEmpty())
        return d.fail(FtpError::InvalidName);
    if (!d.syncFolder(isRelative(from) || isRelative(to)))
        return false;
    FtpReply reply;
    if (!d.exchange("RNFR " + *fromBytes, &reply))
        return false;
    if (reply.code != 350)
        return d.fail(FtpError::ExtendedError);
    return d.expectSuccess("RNTO " + *toBytes);
}

bool FtpConnection::command(const QString& text)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto bytes = wireName(d, text.trimmed());
    if (!bytes)
        return false;
    FtpReply reply;
    if (!d.exchange(*bytes, &reply)) {
        if (verbOf(*bytes) == "QUIT")
            d.lose();
        return false;
    }
    d.trackRawCommand(verbOf(*bytes), reply);
    if (reply.isError())
        return d.fail(FtpError::ExtendedError);
    return true;
}

bool FtpConnection::dataCommand(const QString& text, TransferType type, std::unique_ptr<FtpDataStream>* data)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    if (data)
        data->reset();
    const auto bytes = wireName(d, text.trimmed());
    if (!bytes)
        return false;
    if (!d.prepareTransfer(type == TransferType::Ascii ? 'A' : 'I'))
        return false;
    DataStart start;
    if (!d.startData(*bytes, &start))
        return false;
    auto stream = std::make_unique<EngineDataStream>(d, std::move(start));
    if (data) {
        *data = std::move(stream);
        return true;
    }
    // Nobody wants the data: read it to the end so the reply is kept.
    d.busy = false;
    char sink[65536];
    qint64 got = 0;
    bool ok = true;
    do {
        ok = stream->read(sink, sizeof sink, &got);
    } while (ok && got > 0);
    d.busy = true;
    return ok;
}

bool FtpConnection::nameCommand(const QString& text)
{
    Private& d = *m_d;
    Operation op(d, true);
    if (!op.ok())
        return false;
    const auto bytes = wireName(d, text);
    return bytes && d.syncFolder(true) && d.expectSuccess(*bytes);
}

int FtpConnection::lastError() const { return m_d->lastError; }

QString FtpConnection::lastResponse() const
{
    const QByteArray& bytes = m_d->lastReply;
    return Utf8::isValid(bytes) ? QString::fromUtf8(bytes) : Cp932::decode(bytes);
}

void FtpConnection::setProgress(Progress progress) { m_d->progress = std::move(progress); }

void FtpConnection::setPassiveAhead(bool on)
{
    Private& d = *m_d;
    d.passiveAhead = on;
    if (on || (!d.passiveAsked && !d.passivePort))
        return;
    Operation op(d, true);
    if (op.ok())
        d.releasePassiveAhead();
}

void FtpConnection::setExpectedSize(qint64 size) { m_d->expectedSize = size > 0 ? size : -1; }

bool FtpConnection::utf8Names() const { return m_d->utf8; }

bool FtpConnection::hasMlsd() const { return m_d->mlsd; }

bool FtpConnection::hasUniqueFacts() const { return m_d->mlsd && m_d->uniqueFacts; }

int FtpConnection::skippedListingLines() const { return m_d->skippedListingLines; }
