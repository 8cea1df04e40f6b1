#include "core/ftp/engine/tlscontext.h"

#include "core/ftp/engine/channel.h"
#include "core/ftp/ftperrors.h"

#include <QStringList>
#include <QTimeZone>
#include <arpa/inet.h>
#include <ctime>
#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace {

int newSession(SSL* ssl, SSL_SESSION* session)
{
    auto* channel = static_cast<Channel*>(SSL_get_ex_data(ssl, TlsContext::channelIndex()));
    if (!channel)
        return 0;
    channel->storeSession(session); // takes the reference
    return 1;
}

QString nameText(X509_NAME* name)
{
    if (!name)
        return QString();
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    const QString text = QString::fromUtf8(data, qsizetype(qMax(0L, size)));
    BIO_free(bio);
    return text;
}

QDateTime timeOf(const ASN1_TIME* t)
{
    tm parts {};
    if (!t || ASN1_TIME_to_tm(t, &parts) != 1)
        return QDateTime();
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
        QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

bool isIpAddress(const QByteArray& host)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.constData(), buffer) == 1 || inet_pton(AF_INET6, host.constData(), buffer) == 1;
}

} // namespace

TlsContext::TlsContext()
{
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx)
        return;
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    // TLS 1.3 tickets are single-use on servers with a stateful cache (vsftpd): after one data
    // connection resumed the session, the next one could not. TLS 1.2 sessions resume again
    // and again, which is what FTP's many data connections need.
    SSL_CTX_set_max_proto_version(m_ctx, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(m_ctx);
    // Verification is judged after the handshake, so that a failing certificate can be shown.
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Servers that end a data connection without close_notify are common; the control
    // connection's transfer reply tells whether the data was complete.
    SSL_CTX_set_options(m_ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(m_ctx, newSession);
}

TlsContext::~TlsContext()
{
    if (m_ctx)
        SSL_CTX_free(m_ctx);
}

int TlsContext::channelIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

FtpSession::CertificateInfo TlsContext::describePeer(SSL* ssl, const QString& host, int* errorCode)
{
    FtpSession::CertificateInfo info;
    info.host = host;
    *errorCode = FtpError::None;
    X509* cert = SSL_get1_peer_certificate(ssl);
    if (!cert) {
        info.problem = QStringLiteral("サーバーが証明書を提示しませんでした。");
        *errorCode = FtpError::SecInvalidCert;
        return info;
    }
    info.subject = nameText(X509_get_subject_name(cert));
    info.issuer = nameText(X509_get_issuer_name(cert));
    info.notBefore = timeOf(X509_get0_notBefore(cert));
    info.notAfter = timeOf(X509_get0_notAfter(cert));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(cert, EVP_sha256(), digest, &length) == 1) {
        QStringList pairs;
        for (unsigned int i = 0; i < length; ++i)
            pairs.append(QStringLiteral("%1").arg(digest[i], 2, 16, QLatin1Char('0')).toUpper());
        info.sha256Fingerprint = pairs.join(u':');
    }

    QStringList problems;
    const bool expired = X509_cmp_current_time(X509_get0_notAfter(cert)) < 0;
    const bool notYet = X509_cmp_current_time(X509_get0_notBefore(cert)) > 0;
    const QByteArray name = host.toUtf8();
    const bool nameOk = isIpAddress(name)
        ? X509_check_ip_asc(cert, name.constData(), 0) == 1
        : X509_check_host(cert, name.constData(), size_t(name.size()), 0, nullptr) == 1;
    const long verify = SSL_get_verify_result(ssl);
    const bool dateProblem
        = expired || notYet || verify == X509_V_ERR_CERT_HAS_EXPIRED || verify == X509_V_ERR_CERT_NOT_YET_VALID;
    const bool trustProblem
        = verify != X509_V_OK && verify != X509_V_ERR_CERT_HAS_EXPIRED && verify != X509_V_ERR_CERT_NOT_YET_VALID;
    if (!nameOk) {
        problems.append(QStringLiteral("証明書の名前がサーバー名 %1 と一致しません。").arg(host));
        *errorCode = FtpError::SecCertCnInvalid;
    }
    if (dateProblem) {
        problems.append(expired ? QStringLiteral("証明書の有効期限が切れています。")
                                : QStringLiteral("証明書はまだ有効になっていません。"));
        if (*errorCode == FtpError::None)
            *errorCode = FtpError::SecCertDateInvalid;
    }
    if (trustProblem) {
        if (verify == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT || verify == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN)
            problems.append(QStringLiteral("自己署名の証明書で、信頼された発行元によって発行されていません。"));
        else
            problems.append(QStringLiteral("証明書を検証できません（%1）。")
                                .arg(QString::fromUtf8(X509_verify_cert_error_string(verify))));
        if (*errorCode == FtpError::None)
            *errorCode = FtpError::SecInvalidCert;
    }
    info.problem = problems.join(u'\n');
    X509_free(cert);
    return info;
}
