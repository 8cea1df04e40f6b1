#include "core/ftp/ftpsession.h"

#include "core/ftp/engine/sessionprivate.h"
#include "core/ftp/ftperrors.h"

int FtpSession::Private::timeout(Option option, int fallback) const
{
    const quint32 value = options.value(option, 0);
    if (value == 0)
        return fallback;
    return int(qMin<quint32>(value, 24u * 3600 * 1000));
}

std::optional<ProxyConfig> FtpSession::Private::proxyFor(const QString& host) const
{
    if (access != Proxy || !proxy || ProxyConfig::bypasses(host, bypass))
        return std::nullopt;
    return proxy;
}

TlsContext* FtpSession::Private::tlsContext()
{
    if (!tls)
        tls = std::make_unique<TlsContext>();
    return tls->valid() ? tls.get() : nullptr;
}

FtpSession::FtpSession()
    : m_d(std::make_unique<Private>())
{
}

FtpSession::~FtpSession() = default;

bool FtpSession::open(Access access, const QString& proxyText, const QString& bypass)
{
    m_d->lastError = FtpError::None;
    m_d->proxy.reset();
    m_d->bypass.clear();
    if (access == Proxy) {
        m_d->proxy = ProxyConfig::parse(proxyText);
        if (!m_d->proxy) {
            m_d->open = false;
            m_d->lastError = FtpError::InvalidUrl;
            return false;
        }
        m_d->bypass = bypass;
    } else if (access != Direct) {
        m_d->open = false;
        m_d->lastError = FtpError::InvalidUrl;
        return false;
    }
    m_d->access = access;
    m_d->open = true;
    return true;
}

bool FtpSession::isOpen() const { return m_d->open; }

void FtpSession::close() { m_d->open = false; }

void FtpSession::setOption(Option option, quint32 value) { m_d->options[option] = value; }

quint32 FtpSession::option(Option option) const { return m_d->options.value(option, 0); }

void FtpSession::setProxyUserName(const QString& user) { m_d->proxyUser = user; }

void FtpSession::setProxyPassword(const QString& password) { m_d->proxyPassword = password; }

void FtpSession::setIdleHook(IdleHook hook) { m_d->idleHook = std::move(hook); }

void FtpSession::setCertificateDecision(CertificateDecision decide) { m_d->decide = std::move(decide); }

void FtpSession::setNoticeHook(NoticeHook hook) { m_d->notice = std::move(hook); }

void FtpSession::setKnownCertificatesFile(const QString& path) { m_d->knownCertificatesFile = path; }

int FtpSession::lastError() const { return m_d->lastError; }

void FtpSession::copySettingsFrom(const FtpSession& other)
{
    const Private& o = *other.m_d;
    m_d->open = o.open;
    m_d->access = o.access;
    m_d->proxy = o.proxy;
    m_d->bypass = o.bypass;
    m_d->proxyUser = o.proxyUser;
    m_d->proxyPassword = o.proxyPassword;
    m_d->options = o.options;
    m_d->knownCertificatesFile = o.knownCertificatesFile;
    m_d->acceptedThisSession = o.acceptedThisSession;
}
