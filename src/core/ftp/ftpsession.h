#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

// The session of the FTP engine (the program's `InternetHandle`): how to reach servers (direct
// or through a proxy), the time-outs and retries, the idle hook that keeps the window live, and
// the certificate decision. Connections (`FtpConnection`) are made from a session.
//
// The engine runs on the calling thread. Every wait on a socket is a poll of at most 50 ms
// followed by a call of the idle hook; when the hook answers true (the user pressed Stop) the
// running operation ends with FtpError::OperationCancelled, a transfer being aborted with ABOR
// while the control connection is kept.
class FtpSession {
public:
    enum Access { Direct = 1, Proxy = 3 };

    // The session options of the first platform, values in milliseconds (retries: the number of
    // connection attempts). Unset or 0: connect 30 s, the other time-outs 60 s, one attempt, no
    // back-off.
    enum Option {
        ConnectTimeout = 2,
        ConnectRetries = 3,
        ConnectBackoff = 4,
        ControlSendTimeout = 5,
        ControlReceiveTimeout = 6,
        DataSendTimeout = 7,
        DataReceiveTimeout = 8,
    };

    struct CertificateInfo {
        QString host; // as in the host field
        QString subject;
        QString issuer;
        QDateTime notBefore;
        QDateTime notAfter;
        QString sha256Fingerprint; // hex pairs separated by ":"
        QString problem; // why verification failed, in Japanese
        QString acceptedBefore; // another fingerprint the user trusted for this host: the certificate changed
    };

    // Answers true to go on (stop requested), false to keep waiting.
    using IdleHook = std::function<bool()>;
    // Asked when a certificate fails verification and its fingerprint is not remembered for the
    // host; true accepts it (and the engine remembers it in the known-certificates file).
    using CertificateDecision = std::function<bool(const CertificateInfo&)>;
    // Told what the engine decided on its own that the user should know (a status line).
    using NoticeHook = std::function<void(const QString&)>;

    FtpSession();
    ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    // Direct: no proxy. Proxy: `proxyText` names an HTTP proxy used with CONNECT ("host:port",
    // "http://host:port", or the first platform's "ftp=ftp://host:port"), or a SOCKS5 proxy
    // ("socks5://host:port"). `bypass` "<local>" bypasses 127.0.0.0/8, ::1, "localhost" and
    // names without a dot. False (with lastError) when the proxy text cannot be parsed.
    bool open(Access access, const QString& proxyText = QString(), const QString& bypass = QString());
    bool isOpen() const;
    void close();

    void setOption(Option option, quint32 value);
    quint32 option(Option option) const;
    void setProxyUserName(const QString& user);
    void setProxyPassword(const QString& password);

    void setIdleHook(IdleHook hook);
    void setCertificateDecision(CertificateDecision decide);
    void setNoticeHook(NoticeHook hook);
    // Where accepted certificate fingerprints are kept (one "host fingerprint" line each, mode
    // 0600). Without a file an accepted certificate is remembered for this session only.
    void setKnownCertificatesFile(const QString& path);

    int lastError() const;

    // Takes over how `other` reaches servers: open state, proxy and its credentials, options,
    // known certificates and those accepted for its lifetime. The hooks stay this session's own,
    // so a session used on another thread never calls back into the window.
    void copySettingsFrom(const FtpSession& other);

    // The engine's own state, for the connections made from this session.
    struct Private;
    Private& d() const { return *m_d; }

private:
    std::unique_ptr<Private> m_d;
};
