#include "core/ftp/engine/connectionprivate.h"

#include "core/app/codepage.h"
#include "core/ftp/engine/enginedatastream.h"
#include "core/ftp/engine/knowncertificates.h"
#include "core/ftp/engine/proxytunnel.h"
#include "core/ftp/engine/resolver.h"
#include "core/ftp/engine/sessionprivate.h"
#include "core/ftp/ftperrors.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

// Listings larger than this are refused rather than held in memory.
constexpr qsizetype maxListing = 256 * 1024 * 1024;

} // namespace

FtpConnection::Private::Private(FtpSession& s)
    : session(s)
{
}

int FtpConnection::Private::controlReceiveTimeout() const
{
    return session.d().timeout(FtpSession::ControlReceiveTimeout, 60000);
}

int FtpConnection::Private::controlSendTimeout() const
{
    return session.d().timeout(FtpSession::ControlSendTimeout, 60000);
}

int FtpConnection::Private::dataReceiveTimeout() const
{
    return session.d().timeout(FtpSession::DataReceiveTimeout, 60000);
}

int FtpConnection::Private::dataSendTimeout() const { return session.d().timeout(FtpSession::DataSendTimeout, 60000); }

std::optional<QByteArray> FtpConnection::Private::encode(const QString& text) const
{
    for (QChar c : text)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return std::nullopt;
    if (utf8)
        return text.toUtf8();
    if (!Cp932::canEncode(text))
        return std::nullopt;
    return Cp932::encode(text);
}

QString FtpConnection::Private::decode(QByteArrayView bytes) const
{
    return utf8 ? QString::fromUtf8(bytes) : Cp932::decode(bytes);
}

void FtpConnection::Private::lose()
{
    if (control)
        control->close();
    parser.reset();
    passiveAsked = false;
    passivePort.reset();
    if (state == State::Open)
        state = State::Lost;
}

void FtpConnection::Private::closeNow()
{
    if (stream)
        stream->detach();
    if (state == State::Open && control && control->isOpen()) {
        waiter.begin();
        waiter.setCancellable(false);
        if (control->writeAll("QUIT\r\n", 6, 1000)) {
            FtpReply reply;
            // A short wait: closing must not hang on a silent server.
            while (parser.next(&reply) == ReplyParser::Status::NeedMore) {
                char buffer[4096];
                const qint64 n = control->readSome(buffer, sizeof buffer, 1000);
                if (n <= 0)
                    break;
                parser.feed(QByteArrayView(buffer, n));
            }
        }
    }
    if (control)
        control->close();
    control.reset();
    parser.reset();
    passiveAsked = false;
    passivePort.reset();
    state = State::Closed;
}

bool FtpConnection::Private::requireOpen()
{
    if (state == State::Lost || (state == State::Open && (!control || !control->isOpen()))) {
        state = State::Lost;
        return fail(FtpError::ConnectionAborted);
    }
    if (state != State::Open)
        return fail(FtpError::IncorrectHandleState);
    return true;
}

bool FtpConnection::Private::sendLine(const QByteArray& line)
{
    if (passiveAsked && !settlePassiveAhead())
        return false;
    // Commands that leave a passive port open on every server we know; anything else may
    // close it or change what the data connection must be.
    static const QByteArrayList keepPort { "TYPE", "SIZE", "CWD", "MDTM", "ABOR", "NOOP" };
    if (passivePort && !keepPort.contains(line.left(line.indexOf(' '))))
        releasePassiveAhead();
    if (!control || !control->isOpen()) {
        lose();
        return fail(FtpError::ConnectionAborted);
    }
    QByteArray bytes = line;
    bytes.append("\r\n");
    if (control->writeAll(bytes.constData(), bytes.size(), controlSendTimeout()))
        return true;
    const int e = control->error();
    lose();
    return fail(e == FtpError::Timeout || e == FtpError::OperationCancelled ? e : FtpError::ConnectionAborted);
}

void FtpConnection::Private::askPassiveAhead()
{
    if (!passiveAhead || !passive || proxy || !epsv || state != State::Open)
        return;
    if (sendLine("EPSV")) {
        passiveAsked = true;
        passiveAskedAt.start();
    }
}

bool FtpConnection::Private::settlePassiveAhead()
{
    passiveAsked = false;
    passivePort.reset();
    FtpReply reply;
    if (!readFinalReply(&reply))
        return false;
    if (reply.code == 229) {
        if (const auto hp = FtpReplyText::parseEpsv(reply.text))
            passivePort = hp->port;
    } else if (reply.code >= 500) {
        epsv = false;
    }
    return true;
}

void FtpConnection::Private::releasePassiveAhead()
{
    if (passiveAsked && !settlePassiveAhead())
        return;
    if (!passivePort)
        return;
    passivePort.reset();
    const QByteArray keep = lastReply;
    abortAndResync();
    lastReply = keep;
}

bool FtpConnection::Private::readReply(FtpReply* reply, int timeoutMs)
{
    if (timeoutMs < 0)
        timeoutMs = controlReceiveTimeout();
    bool cancelled = false;
    for (;;) {
        const ReplyParser::Status status = parser.next(reply);
        if (status == ReplyParser::Status::Reply) {
            lastReply = reply->text;
            if (reply->code == 421) {
                lose();
                return fail(FtpError::ConnectionAborted);
            }
            if (cancelled)
                return fail(FtpError::OperationCancelled);
            return true;
        }
        if (status == ReplyParser::Status::Error) {
            lose();
            return fail(FtpError::InvalidServerResponse);
        }
        if (!control || !control->isOpen()) {
            lose();
            return fail(FtpError::ConnectionAborted);
        }
        char buffer[16384];
        const qint64 n = control->readSome(buffer, sizeof buffer, timeoutMs);
        if (n > 0) {
            parser.feed(QByteArrayView(buffer, n));
            continue;
        }
        if (n < 0 && control->error() == FtpError::OperationCancelled && !cancelled && !connecting) {
            // The reply is still due: read it, so the next command gets its own. A server that
            // does not answer soon costs the connection rather than the user's patience.
            cancelled = true;
            waiter.setCancellable(false);
            timeoutMs = qMin(timeoutMs, 1000);
            continue;
        }
        const int e = n == 0 ? FtpError::ConnectionAborted : control->error();
        lose();
        if (cancelled || e == FtpError::OperationCancelled)
            return fail(FtpError::OperationCancelled);
        if (e == FtpError::Timeout)
            return fail(FtpError::Timeout);
        return fail(cancelled ? FtpError::OperationCancelled : FtpError::ConnectionAborted);
    }
}

bool FtpConnection::Private::readFinalReply(FtpReply* reply, int timeoutMs)
{
    for (int i = 0; i < 64; ++i) {
        if (!readReply(reply, timeoutMs))
            return false;
        if (!reply->isPreliminary())
            return true;
    }
    lose();
    return fail(FtpError::InvalidServerResponse);
}

bool FtpConnection::Private::exchange(const QByteArray& line, FtpReply* reply)
{
    return sendLine(line) && readFinalReply(reply);
}

bool FtpConnection::Private::expectSuccess(const QByteArray& line, FtpReply* reply)
{
    FtpReply local;
    FtpReply* r = reply ? reply : &local;
    if (!exchange(line, r))
        return false;
    if (r->isError())
        return fail(FtpError::ExtendedError);
    return true;
}

bool FtpConnection::Private::connectTo(Channel& channel, const QString& host, quint16 port, int timeoutMs)
{
    const QString target = proxy ? proxy->host : host;
    const quint16 targetPort = proxy ? proxy->port : port;
    QList<SocketAddress> addresses;
    const int resolved = resolveHost(target, targetPort, waiter, timeoutMs, &addresses);
    if (resolved != FtpError::None)
        return fail(proxy && resolved == FtpError::NameNotResolved ? FtpError::ProxyFailure : resolved);
    int error = FtpError::CannotConnect;
    bool connected = false;
    for (const SocketAddress& address : std::as_const(addresses)) {
        if (channel.connectTo(address, timeoutMs)) {
            connected = true;
            break;
        }
        error = channel.error();
        if (error == FtpError::OperationCancelled)
            break;
    }
    if (!connected)
        return fail(proxy && error == FtpError::CannotConnect ? FtpError::ProxyFailure : error);
    if (!proxy)
        return true;
    const FtpSession::Private& s = session.d();
    const int rc = proxy->kind == ProxyConfig::Kind::Socks5
        ? ProxyTunnel::socks5Connect(channel, host, port, s.proxyUser, s.proxyPassword, timeoutMs)
        : ProxyTunnel::httpConnect(channel, host, port, s.proxyUser, s.proxyPassword, timeoutMs);
    if (rc != FtpError::None) {
        channel.close();
        return fail(rc);
    }
    return true;
}

bool FtpConnection::Private::openControl()
{
    const FtpSession::Private& s = session.d();
    const int timeout = s.timeout(FtpSession::ConnectTimeout, 30000);
    const int attempts = int(qBound<quint32>(1, s.options.value(FtpSession::ConnectRetries, 1), 20));
    const int backoff = int(qMin<quint32>(s.options.value(FtpSession::ConnectBackoff, 0), 60000));
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0 && backoff > 0 && waiter.sleep(backoff) == Waiter::Result::Cancelled)
            return fail(FtpError::OperationCancelled);
        control = std::make_unique<Channel>(waiter);
        if (connectTo(*control, field.host, field.effectivePort(), timeout))
            return true;
        if (lastError != FtpError::CannotConnect && lastError != FtpError::Timeout)
            return false;
    }
    return false;
}

bool FtpConnection::Private::startTls(Channel& channel, bool isControl)
{
    TlsContext* context = session.d().tlsContext();
    if (!context)
        return fail(FtpError::SecureFailure);
    SSL_SESSION* resume = isControl ? nullptr : control->session();
    if (!channel.startTls(
            context->get(), field.host, resume, isControl ? controlReceiveTimeout() : dataReceiveTimeout()))
        return fail(channel.error() == FtpError::OperationCancelled || channel.error() == FtpError::Timeout
                ? channel.error()
                : FtpError::SecureFailure);

    int problem = 0;
    FtpSession::CertificateInfo info = TlsContext::describePeer(channel.ssl(), field.host, &problem);
    if (!isControl) {
        // The data connection must end at the server the user accepted on the control connection.
        if (info.sha256Fingerprint != certFingerprint)
            return fail(FtpError::SecureFailure);
        return true;
    }
    certFingerprint = info.sha256Fingerprint;
    if (problem == FtpError::None)
        return true;
    FtpSession::Private& s = session.d();
    const QString key = field.host.toLower() + u' ' + info.sha256Fingerprint;
    KnownCertificates known(s.knownCertificatesFile);
    if (s.acceptedThisSession.contains(key) || known.contains(field.host, info.sha256Fingerprint))
        return true;
    info.acceptedBefore = known.lastFor(field.host);
    if (s.decide && s.decide(info)) {
        s.acceptedThisSession.insert(key);
        known.add(field.host, info.sha256Fingerprint);
        return true;
    }
    return fail(problem);
}

bool FtpConnection::Private::login(const QString& user, const QString& password)
{
    // Before FEAT the server's encoding is unknown: send what the first platform sent (CP932),
    // unless the text has characters CP932 lacks.
    auto credential = [](const QString& text) -> std::optional<QByteArray> {
        for (QChar c : text)
            if (c == u'\r' || c == u'\n' || c == u'\0')
                return std::nullopt;
        return Cp932::canEncode(text) ? Cp932::encode(text) : text.toUtf8();
    };
    const auto userBytes = credential(user.isEmpty() ? QStringLiteral("anonymous") : user);
    const auto passwordBytes = credential(password);
    if (!userBytes || !passwordBytes)
        return fail(FtpError::InvalidName);
    FtpReply reply;
    if (!exchange("USER " + *userBytes, &reply))
        return false;
    if (reply.code == 230 || reply.code == 202)
        return true;
    if (reply.code == 530)
        return fail(FtpError::BadUserName);
    if (reply.code != 331)
        return fail(FtpError::ExtendedError);
    if (!exchange("PASS " + *passwordBytes, &reply))
        return false;
    if (reply.code == 230 || reply.code == 202)
        return true;
    if (reply.code == 530 || (reply.code >= 500 && reply.code != 502))
        return fail(FtpError::BadPassword);
    return fail(FtpError::ExtendedError);
}

void FtpConnection::Private::learnFeatures()
{
    uniqueFacts = false;
    FtpReply reply;
    if (!exchange("FEAT", &reply) || reply.code != 211)
        return;
    const QList<QByteArray> features = FtpReplyText::parseFeatures(reply.text);
    const QList<QByteArray> facts = FtpReplyText::parseMlstFacts(reply.text);
    utf8 = features.contains("UTF8");
    mlsd = features.contains("MLST") || features.contains("MLSD");
    sizeCommand = features.contains("SIZE");
    if (utf8)
        exchange("OPTS UTF8 ON", &reply); // "always on" answers and refusals change nothing
    // A server that follows links in MLSD calls a link to a folder a folder; only the unique
    // fact then shows that two entries are one folder. Servers send it only when asked.
    if (mlsd && facts.contains("unique") && facts.contains("type")) {
        QByteArray wanted = "OPTS MLST ";
        for (const char* fact : { "type", "size", "modify", "perm", "unique" })
            if (facts.contains(fact))
                wanted += QByteArray(fact) + ';';
        FtpReply optsReply;
        uniqueFacts = exchange(wanted, &optsReply) && optsReply.code == 200;
    }
}

bool FtpConnection::Private::syncFolder(bool relative)
{
    if (!relative || cwdInSync)
        return true;
    if (cwd.isEmpty()) {
        cwdInSync = true;
        return true;
    }
    if (!expectSuccess("CWD " + cwd))
        return false;
    cwdInSync = true;
    return true;
}

bool FtpConnection::Private::prepareTransfer(char wantType)
{
    FtpReply reply;
    if (modeChanged) {
        if (!exchange("MODE S", &reply) || !exchange("STRU F", &reply))
            return false;
        modeChanged = false;
    }
    if (protChanged && tls) {
        if (!exchange("PBSZ 0", &reply) || !expectSuccess("PROT P"))
            return false;
        protChanged = false;
    }
    if (restPending) {
        // A typed REST leaves an offset the next transfer would start at. Servers may refuse
        // REST in ASCII mode and keep the offset, which would fetch the file cut at its start
        // and report success: the offset is cleared in binary mode, and a refusal fails.
        if (type != 'I') {
            if (!expectSuccess("TYPE I"))
                return false;
            type = 'I';
        }
        if (!expectSuccess("REST 0"))
            return false;
        restPending = false;
    }
    if (wantType && type != wantType) {
        if (!expectSuccess(wantType == 'A' ? QByteArray("TYPE A") : QByteArray("TYPE I")))
            return false;
        type = wantType;
    }
    return true;
}

bool FtpConnection::Private::startData(const QByteArray& command, DataStart* start)
{
    activeFailed = false;
    if (startDataOnce(command, start))
        return true;
    if (!activeFailed || state != State::Open)
        return false;
    passive = true;
    if (FtpSession::Private& s = session.d(); s.notice)
        s.notice(QStringLiteral("ｱｸﾃｨﾌﾞﾓｰﾄﾞのﾃﾞｰﾀ接続ができないため、ﾊﾟｯｼﾌﾞﾓｰﾄﾞに切り替えました"));
    return startDataOnce(command, start);
}

bool FtpConnection::Private::startDataOnce(const QByteArray& command, DataStart* start)
{
    auto data = std::make_unique<Channel>(waiter);
    const SocketAddress peer = control->peerAddress();
    const bool usePassive = passive || proxy.has_value();
    FtpReply reply;
    if (usePassive) {
        quint16 port = 0;
        if (passiveAsked && !settlePassiveAhead())
            return false;
        // A port asked for long ago may have been closed by the server meanwhile.
        if (passivePort && passiveAskedAt.elapsed() < 5000)
            port = *passivePort;
        passivePort.reset();
        if (!port && epsv) {
            if (!exchange("EPSV", &reply))
                return false;
            if (reply.code == 229) {
                if (const auto hp = FtpReplyText::parseEpsv(reply.text))
                    port = hp->port;
                else
                    return fail(FtpError::InvalidServerResponse);
            } else if (reply.code >= 500) {
                epsv = false;
            } else {
                return fail(FtpError::ExtendedError);
            }
        }
        if (!port) {
            if (peer.family() != AF_INET && !proxy)
                return fail(FtpError::ExtendedError);
            if (!exchange("PASV", &reply))
                return false;
            if (reply.code != 227)
                return fail(FtpError::ExtendedError);
            // The address in the reply is ignored: servers behind NAT give a wrong one, and
            // hostile ones could aim us elsewhere.
            const auto hp = FtpReplyText::parsePasv(reply.text);
            if (!hp)
                return fail(FtpError::InvalidServerResponse);
            port = hp->port;
        }
        const int timeout = session.d().timeout(FtpSession::ConnectTimeout, 30000);
        if (proxy) {
            if (!connectTo(*data, field.host, port, timeout))
                return false;
        } else {
            SocketAddress target = peer;
            target.setPort(port);
            if (!data->connectTo(target, timeout))
                return fail(data->error());
        }
    } else {
        const SocketAddress local = control->localAddress();
        if (!data->listenOn(local))
            return fail(data->error());
        const quint16 port = data->localAddress().port();
        const auto refused = [this] {
            activeFailed = true;
            return fail(FtpError::ExtendedError);
        };
        bool accepted = false;
        if (eprt) {
            const QByteArray proto = local.family() == AF_INET6 ? "2" : "1";
            if (!exchange(
                    "EPRT |" + proto + '|' + local.addressText().toLatin1() + '|' + QByteArray::number(port) + '|',
                    &reply))
                return false;
            if (reply.code == 200)
                accepted = true;
            else if (reply.code >= 500)
                eprt = false;
            else
                return refused();
        }
        if (!accepted) {
            if (local.family() != AF_INET)
                return refused();
            QByteArray hostPart = local.addressText().toLatin1();
            hostPart.replace('.', ',');
            if (!exchange(
                    "PORT " + hostPart + ',' + QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 0xff),
                    &reply))
                return false;
            if (reply.code >= 400)
                return refused();
        }
    }

    if (!sendLine(command) || !readReply(&reply))
        return false;
    if (reply.isPreliminary()) {
        start->preliminary = reply;
    } else if (reply.isSuccess()) {
        start->noTransfer = true;
        return true;
    } else {
        // 425: the server could not open the data connection.
        activeFailed = !usePassive && reply.code == 425;
        return fail(FtpError::ExtendedError);
    }

    if (!usePassive) {
        if (!data->acceptOne(qMin(dataReceiveTimeout(), 10000))) {
            const int e = data->error();
            activeFailed = e == FtpError::Timeout;
            abortTransfer(data);
            return fail(e);
        }
        // Only the server may connect to our port.
        if (data->peerAddress().addressText() != peer.addressText()) {
            abortTransfer(data);
            return fail(FtpError::CannotConnect);
        }
    }
    if (tls && !startTls(*data, false)) {
        const int e = lastError;
        abortTransfer(data);
        return fail(e);
    }
    start->channel = std::move(data);
    return true;
}

void FtpConnection::Private::abortTransfer(std::unique_ptr<Channel>& data)
{
    waiter.setCancellable(false);
    if (data)
        data->close();
    data.reset();
    if (state != State::Open || !control || !control->isOpen())
        return;
    const QByteArray keep = lastReply;
    const int keepError = lastError;
    abortAndResync();
    lastReply = keep;
    lastError = keepError;
}

void FtpConnection::Private::abortAndResync()
{
    // ABOR, then NOOP: whatever the server answers to the transfer and to ABOR (426 and 226, 226
    // and 225, one of them or both), the NOOP's 200 marks the end of what is still due.
    if (sendLine("ABOR") && sendLine("NOOP")) {
        FtpReply reply;
        // A server that never answers NOOP with 200 costs the connection, not minutes.
        const int timeout = qMin(controlReceiveTimeout(), 10000);
        for (int i = 0; i < 16; ++i) {
            if (!readReply(&reply, timeout))
                break;
            if (reply.code == 200)
                break;
            if (i == 15)
                lose();
        }
    }
}

bool FtpConnection::Private::listFolder(const QByteArray& folder, QList<ListingEntry>* entries)
{
    entries->clear();
    skippedListingLines = 0;
    for (int round = 0; round < 2; ++round) {
        const bool useMlsd = mlsd;
        QByteArray command = useMlsd ? "MLSD" : "LIST";
        if (!folder.isEmpty())
            command += ' ' + folder;
        if (!prepareTransfer(0))
            return false;
        DataStart start;
        if (!startData(command, &start)) {
            // A server that listed MLST but does not know MLSD: fall back to LIST once.
            if (useMlsd && lastError == FtpError::ExtendedError
                && (lastReply.startsWith("500") || lastReply.startsWith("502"))) {
                mlsd = false;
                continue;
            }
            return false;
        }
        QByteArray raw;
        if (start.channel) {
            QByteArray buffer(256 * 1024, Qt::Uninitialized);
            for (;;) {
                const qint64 n = start.channel->readSome(buffer.data(), buffer.size(), dataReceiveTimeout());
                if (n == 0)
                    break;
                if (n < 0 || raw.size() + n > maxListing) {
                    const int e = n < 0 ? start.channel->error() : FtpError::InvalidServerResponse;
                    abortTransfer(start.channel);
                    return fail(e);
                }
                raw.append(buffer.constData(), n);
                if (!waiter.tick()) {
                    abortTransfer(start.channel);
                    return fail(FtpError::OperationCancelled);
                }
            }
            start.channel->close();
            FtpReply reply;
            if (!readFinalReply(&reply))
                return false;
            if (reply.isError())
                return fail(FtpError::ExtendedError);
            askPassiveAhead();
        }
        const QDate today = QDateTime::currentDateTimeUtc().date();
        qsizetype pos = 0;
        while (pos < raw.size()) {
            qsizetype end = raw.indexOf('\n', pos);
            if (end < 0)
                end = raw.size();
            QByteArrayView line(raw.constData() + pos, end - pos);
            pos = end + 1;
            // One hostile or broken line must not cost the rest of the folder.
            if (line.size() > ReplyParser::maxLine) {
                ++skippedListingLines;
                continue;
            }
            if (line.endsWith('\r'))
                line.chop(1);
            const auto entry
                = useMlsd ? ListingParsers::parseMlsdLine(line) : ListingParsers::parseListLine(line, today);
            if (entry)
                entries->append(*entry);
        }
        return true;
    }
    return false;
}

void FtpConnection::Private::trackRawCommand(const QByteArray& verb, const FtpReply& reply)
{
    if (verb == "QUIT") {
        lose();
        return;
    }
    if (reply.isError())
        return;
    if (verb == "CWD" || verb == "XCWD" || verb == "CDUP" || verb == "XCUP" || verb == "SMNT")
        cwdInSync = false;
    else if (verb == "USER" || verb == "PASS" || verb == "ACCT" || verb == "REIN") {
        cwdInSync = false;
        type = 0;
    } else if (verb == "TYPE")
        type = 0;
    else if (verb == "REST")
        restPending = true;
    else if (verb == "PROT" || verb == "PBSZ" || verb == "CCC")
        protChanged = true;
    else if (verb == "MODE" || verb == "STRU")
        modeChanged = true;
}

Operation::Operation(FtpConnection::Private& d, bool needOpen)
    : m_d(d)
{
    if (d.busy || d.stream) {
        d.lastError = FtpError::TransferInProgress;
        return;
    }
    m_owns = true;
    d.busy = true;
    d.waiter.setHook(d.session.d().idleHook);
    d.waiter.begin();
    d.lastError = FtpError::None;
    if (needOpen && !d.requireOpen())
        return;
    m_ok = true;
}

Operation::~Operation()
{
    if (!m_owns)
        return;
    m_d.busy = false;
    if (m_d.closeRequested) {
        m_d.closeRequested = false;
        m_d.closeNow();
    }
}
