#pragma once

#include "core/ftp/engine/channel.h"
#include "core/ftp/engine/hostfield.h"
#include "core/ftp/engine/listingparsers.h"
#include "core/ftp/engine/proxyconfig.h"
#include "core/ftp/engine/replyparser.h"
#include "core/ftp/engine/waiter.h"
#include "core/ftp/ftpconnection.h"

#include <QElapsedTimer>
#include <memory>
#include <optional>

class EngineDataStream;

// A data connection that has been opened for a command, with the command's first reply.
struct DataStart {
    std::unique_ptr<Channel> channel;
    FtpReply preliminary; // the 1xx reply
    bool noTransfer = false; // the command ended at once with a 2xx and opened no data
};

// The state of one connection and the protocol steps the operations share. Every function that
// returns bool leaves lastError set when it returns false.
struct FtpConnection::Private {
    enum class State { Closed, Open, Lost };

    explicit Private(FtpSession& s);

    FtpSession& session;
    Waiter waiter;
    std::unique_ptr<Channel> control;
    ReplyParser parser;
    State state = State::Closed;
    int lastError = 0;
    QByteArray lastReply;
    bool busy = false;
    bool connecting = false; // in connect(): a Stop needs no resynchronisation
    bool closeRequested = false;
    EngineDataStream* stream = nullptr;
    Progress progress;
    qint64 expectedSize = -1; // for the next getFile, from a listing
    int skippedListingLines = 0;

    HostField field;
    std::optional<ProxyConfig> proxy;
    bool passive = true;
    // Behind a home router the server's data connection may never arrive: after one failed active
    // data connection the connection goes on in passive mode.
    bool activeFailed = false; // set by startDataOnce when the failure was the active connection's own
    bool tls = false;
    QString certFingerprint;

    // What the server offers, learnt at login and while working.
    bool utf8 = false;
    bool mlsd = false;
    bool uniqueFacts = false; // MLSD and MLST give the "unique" fact (asked for with OPTS MLST)
    bool sizeCommand = false;
    bool epsv = true;
    bool eprt = true;
    bool sizeIn150 = false; // the 150 reply of RETR announces the size, so SIZE is not needed

    // The server's state as the engine knows it.
    char type = 0; // 'A', 'I', or 0 when unknown
    QByteArray cwd; // the engine's current folder (server bytes); empty when unknown
    bool cwdInSync = true; // false after a raw command may have moved the server elsewhere
    bool restPending = false; // a raw REST was accepted
    bool protChanged = false; // a raw PROT, PBSZ or CCC was accepted
    bool modeChanged = false; // a raw MODE or STRU was accepted

    // Asking for the next passive port right after a transfer lets the server open it while we
    // finish the file, instead of after: one wait less per file in a run of many small files.
    bool passiveAhead = false; // the owner's wish (FtpConnection::setPassiveAhead)
    bool passiveAsked = false; // an EPSV went out ahead and its reply is still unread
    std::optional<quint16> passivePort; // that reply's port, until a data command uses it
    QElapsedTimer passiveAskedAt;

    bool fail(int code)
    {
        lastError = code;
        return false;
    }
    int controlReceiveTimeout() const;
    int controlSendTimeout() const;
    int dataReceiveTimeout() const;
    int dataSendTimeout() const;

    // Names and texts to and from the server's encoding.
    std::optional<QByteArray> encode(const QString& text) const;
    QString decode(QByteArrayView bytes) const;

    void lose(); // the control connection is gone: every later operation fails with 12030
    void closeNow(); // QUIT when possible, then closed
    bool requireOpen();

    bool sendLine(const QByteArray& line);
    // After a finished transfer: sends EPSV when the owner wants the next port asked ahead.
    void askPassiveAhead();
    // Reads the reply to an EPSV sent ahead; false only when the connection failed.
    bool settlePassiveAhead();
    // Closes a port asked ahead that no data command will use: some servers (pyftpdlib) send an
    // unasked "421" when a passive port waits 30 s, which would end the connection later.
    void releasePassiveAhead();
    // ABOR, then NOOP, reading whatever comes until the NOOP's 200.
    void abortAndResync();
    bool readReply(FtpReply* reply, int timeoutMs = -1);
    bool readFinalReply(FtpReply* reply, int timeoutMs = -1);
    // Sends a command and reads its final reply; false only when the connection failed.
    bool exchange(const QByteArray& line, FtpReply* reply);
    // Sends a command and expects a reply below 400; else ExtendedError.
    bool expectSuccess(const QByteArray& line, FtpReply* reply = nullptr);

    bool openControl();
    bool connectTo(Channel& channel, const QString& host, quint16 port, int timeoutMs);
    bool startTls(Channel& channel, bool isControl);
    bool login(const QString& user, const QString& password);
    void learnFeatures();

    bool syncFolder(bool relative);
    bool prepareTransfer(char wantType);
    bool startData(const QByteArray& command, DataStart* start);
    bool startDataOnce(const QByteArray& command, DataStart* start);
    // After a Stop or a failure in the middle of a data transfer: closes the data connection,
    // sends ABOR and reads every reply still due, so the control connection stays usable.
    void abortTransfer(std::unique_ptr<Channel>& data);
    // Reads a whole listing (MLSD, else LIST) of `folder` (empty: the current folder).
    bool listFolder(const QByteArray& folder, QList<ListingEntry>* entries);
    void trackRawCommand(const QByteArray& verb, const FtpReply& reply);
};

// Marks the connection busy for one operation. A second operation started while one runs (from
// the idle hook's event processing) or while a data stream is open fails with 12110.
class Operation {
public:
    Operation(FtpConnection::Private& d, bool needOpen);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    bool ok() const { return m_ok; }

private:
    FtpConnection::Private& m_d;
    bool m_owns = false;
    bool m_ok = false;
};
