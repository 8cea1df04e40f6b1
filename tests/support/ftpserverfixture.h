#pragma once

#include "support/portblock.h"
#include "support/serverprocess.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// A real FTP server on the loopback for integration tests and benchmarks: pyftpdlib (run with
// Debian's /usr/bin/python3 and tests/support/pyftpd_server.py) or vsftpd (from a configuration
// file written here), plain or TLS, on a free control port with a private passive range.
//
// One user with full rights sees root() as "/". vsftpd authenticates that user through PAM, so
// the fixture creates the system user "ftptarvotest" when it is missing (the tests run as root
// on the test machines) and maps the session to the user running the tests (guest_username),
// so files the test writes into root() can be read, replaced and deleted over FTP.
//
// A server that cannot start makes start() fail with a message saying why; tests must fail on
// it, never skip: scripts/test installs every server.
class FtpServerFixture {
public:
    enum class Kind {
        Pyftpdlib,
        PyftpdlibTls, // explicit: AUTH TLS required before login, PROT P required for data
        PyftpdlibImplicitTls,
        Vsftpd,
        VsftpdTls, // explicit, forced for login and data, require_ssl_reuse=YES
        VsftpdImplicitTls,
    };

    struct Options {
        Kind kind = Kind::Pyftpdlib;
        bool ipv6 = false; // listen on ::1 instead of 127.0.0.1
        int replyDelayMs = 0; // pyftpdlib only: a pause before every reply
        int idleTimeoutSeconds = 0; // 0: the server's default (300 s); after it the server sends 421
        // pyftpdlib only; 0: its default (30 s). An unused passive port then gets an unasked 421.
        int passiveTimeoutSeconds = 0;
        QString root; // an existing folder to serve; empty: a new temporary folder
        std::optional<bool> utf8; // UTF8 in FEAT; unset: the server's default (pyftpdlib yes, vsftpd no)
        int maxConnectionsPerIp = 0; // sessions one address may hold at once; 0: no limit
    };

    FtpServerFixture() = default;
    explicit FtpServerFixture(const Options& options)
        : m_options(options)
    {
    }
    explicit FtpServerFixture(Kind kind) { m_options.kind = kind; }
    ~FtpServerFixture() { stop(); }
    FtpServerFixture(const FtpServerFixture&) = delete;
    FtpServerFixture& operator=(const FtpServerFixture&) = delete;

    // Starts the server and waits until it answers (at most 20 s). Starting again after stop()
    // or kill() keeps the port, the root folder and the log.
    bool start(QString* error);
    void stop() { m_process.stop(); }
    // SIGKILL to the server and every session process: connections drop without a word.
    void kill() { m_process.kill(); }
    bool isRunning() const { return m_process.isRunning(); }

    const Options& options() const { return m_options; }
    Kind kind() const { return m_options.kind; }
    bool isTls() const { return kind() != Kind::Pyftpdlib && kind() != Kind::Vsftpd; }
    bool isImplicitTls() const { return kind() == Kind::PyftpdlibImplicitTls || kind() == Kind::VsftpdImplicitTls; }
    bool isVsftpd() const { return kind() >= Kind::Vsftpd; }

    QString host() const { return m_options.ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_ports.first(); }
    // The profile's host field: "127.0.0.1:PORT", "[::1]:PORT", "ftpes://127.0.0.1:PORT",
    // "ftps://127.0.0.1:PORT".
    QString hostField() const;
    QString user() const { return QStringLiteral("ftptarvotest"); }
    QString password() const { return QStringLiteral("Tarvo-test-1"); }
    QString root() const { return m_root; } // the local folder the user sees as "/"
    QString logText() const; // the server's protocol log

    // The SHA-256 fingerprint of the server certificate (TLS kinds) as "AA:BB:...".
    QString certificateFingerprint() const { return m_certFingerprint; }

    static QString kindName(Kind kind);
    static QList<Kind> allKinds();

private:
    bool startPyftpdlib(QString* error);
    bool startVsftpd(QString* error);
    QString logFile() const { return m_work ? m_work->filePath(QStringLiteral("protocol.log")) : QString(); }

    Options m_options;
    PortBlock m_ports;
    ServerProcess m_process;
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<QTemporaryDir> m_ownRoot;
    QString m_root;
    QString m_certFingerprint;
};
