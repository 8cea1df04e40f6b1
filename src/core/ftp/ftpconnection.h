#pragma once

#include "core/ftp/ftpsession.h"
#include "core/ftp/transfertype.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

// One entry of a folder search: what the find functions return.
struct FtpFindData {
    QString name;
    bool isFolder = false;
    qint64 size = 0;
    QDateTime lastWriteTime; // UTC; invalid when the server gave none
    // A symbolic link: "l" in LIST, type OS.unix=slink or symlink in MLSD. Servers that follow
    // links in MLSD give the target's type instead and leave this false.
    bool isLink = false;
    // The MLSD "unique" fact: entries with the same value are the same folder or file, however
    // they were reached. Empty when the server gave none (see hasUniqueFacts()).
    QByteArray unique;
};

class FtpFind;
class FtpDataStream;

// One FTP connection (the program's `FtpHandle`). Every operation returns success or failure
// and keeps the last error code (FtpError) and the server's last reply text.
//
// The engine tracks the server's state itself: a raw command typed by the user (TYPE, CWD,
// REST, ...) never makes a later transfer use the wrong type or folder. Server names are sent
// in UTF-8 when the server lists UTF8 in FEAT (then OPTS UTF8 ON is sent), else in CP932.
// A second operation started from the event loop while one runs fails with
// FtpError::TransferInProgress, and so does any operation while a data stream is open. close()
// called from the event loop during an operation cancels it and closes when it has ended. The
// session must outlive its connections, and a connection must not be destroyed from inside one
// of its own operations.
class FtpConnection {
public:
    explicit FtpConnection(FtpSession& session);
    ~FtpConnection(); // closes
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    // Connects and logs in at once: a bad user or password fails here (BadUserName when the
    // server refuses USER, BadPassword when it refuses PASS). `host` is "host", "host:port",
    // "[v6]:port", optionally with "ftp://", "ftpes://" (explicit TLS) or "ftps://" (implicit
    // TLS, port 990 by default); `port` 0 takes the port of the host field or the default.
    // `passive` chooses EPSV/PASV data connections, else EPRT/PORT.
    bool connect(const QString& host, quint16 port, const QString& user, const QString& password, bool passive);
    bool isOpen() const;
    // QUIT when possible; always leaves the connection closed. Safe in any state.
    void close();

    bool getCurrentDirectory(QString* folder);
    bool setCurrentDirectory(const QString& folder); // absolute, relative, ".." included

    // Searches a folder: `search` is empty (the current folder), a folder path, or a path
    // ending in a pattern ("*", "*.html"). Returns null when nothing matches (lastError
    // NoMoreFiles) or on failure; else the first entry is in `first`. Names holding "/" and
    // the entries "." and ".." are never returned.
    std::unique_ptr<FtpFind> findFirstFile(const QString& search, FtpFindData* first);
    // The "unique" fact of one folder or file by MLST (hasUniqueFacts() must hold): `path` is
    // absolute or relative to the current folder. False when the server gives none.
    bool getUniqueFact(const QString& path, QByteArray* unique);

    // A download goes to a temporary file beside `local`, renamed over it only on success. ASCII
    // downloads turn CR LF into LF (a lone CR stays); ASCII uploads send LF as CR LF and leave
    // CR LF as it is.
    bool getFile(const QString& remote, const QString& local, bool failIfExists, TransferType type);
    bool putFile(const QString& local, const QString& remote, TransferType type, bool failIfExists = false);
    // The size of the file the next getFile fetches, when a listing has just given it: that getFile
    // then asks no SIZE (one round trip less per file) and holds the transfer to that size. Used
    // by the next getFile only; 0 or less means unknown.
    void setExpectedSize(qint64 size);
    // For a run of many transfers: after each one the next passive port is asked for at once,
    // so the server opens it while the caller finishes the file. The port is used by the next
    // data command that comes within a few seconds; any other command, and switching this off,
    // closes it (ABOR). Switch it off before the user may keep the connection idle.
    void setPassiveAhead(bool on);

    bool deleteFile(const QString& name);
    bool removeDirectory(const QString& name);
    bool createDirectory(const QString& name);
    bool renameFile(const QString& from, const QString& to);

    // A raw command; only its reply is read (see lastResponse()).
    bool command(const QString& text);
    // A raw command with a data connection, opened first in `type`: on success `data` receives the
    // stream of the command's output (LIST, NLST, RETR x, ...); without `data` it is read and
    // dropped.
    bool dataCommand(const QString& text, TransferType type, std::unique_ptr<FtpDataStream>* data = nullptr);
    // A command that ends in a name relative to the current folder ("SITE CHMOD 644 name"): sent
    // exactly as given, since blanks at either end belong to the name (command() trims what the
    // user typed), after the server is taken back to the current folder. Only the reply is read.
    bool nameCommand(const QString& text);

    int lastError() const;
    QString lastResponse() const; // the server's last reply, every line, lines ended by CR LF

    // Called during transfers with the bytes done and the total (-1 when unknown).
    using Progress = std::function<void(qint64 done, qint64 total)>;
    void setProgress(Progress progress);

    // What FEAT said.
    bool utf8Names() const;
    bool hasMlsd() const;
    // Listings carry the "unique" fact (FEAT offered it and OPTS MLST asked for it).
    bool hasUniqueFacts() const;
    // Lines of the last listing that were too long to take and were left out.
    int skippedListingLines() const;

    struct Private;
    Private& d() const { return *m_d; }

private:
    std::unique_ptr<Private> m_d;
};

// A folder search in progress (the first platform's search handle).
class FtpFind {
public:
    virtual ~FtpFind() = default;
    // False at the end (lastError NoMoreFiles).
    virtual bool next(FtpFindData* data) = 0;
    virtual int lastError() const = 0;
};

// The output of a raw command with a data connection (the first platform's data handle).
// Closing it before the end aborts the command with ABOR and keeps the connection.
class FtpDataStream {
public:
    virtual ~FtpDataStream() = default;
    // Reads up to `size` bytes; `*got` 0 with true means the end. False on failure.
    virtual bool read(char* buffer, qint64 size, qint64* got) = 0;
    virtual void close() = 0;
    virtual int lastError() const = 0;
};
