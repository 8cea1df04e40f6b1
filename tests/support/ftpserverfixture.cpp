#include "support/ftpserverfixture.h"

#include "support/testcertificate.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString SystemUser = QStringLiteral("ftptarvotest");
const QString Password = QStringLiteral("Tarvo-test-1");
const QString Python = QStringLiteral("/usr/bin/python3");

bool run(const QString& program, const QStringList& args, const QByteArray& input, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        *output = p.errorString();
        return false;
    }
    p.write(input);
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(30000);
    *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// vsftpd authenticates local users through PAM: the login needs a system user with a password
// and a shell listed in /etc/shells (Debian's PAM file checks it). The session itself runs as
// the user of the tests (guest_username), so that user's files in the root stay usable.
bool ensureSystemUser(QString* error)
{
    static std::mutex mutex;
    static bool done = false;
    std::lock_guard lock(mutex);
    if (done)
        return true;
    if (::geteuid() != 0) {
        *error = QStringLiteral("vsftpd test servers need root (PAM logins and chroot); run the tests as root, "
                                "as scripts/test does on the test machines");
        return false;
    }
    QString out;
    if (!::getpwnam(SystemUser.toLocal8Bit().constData())
        && !run(QStringLiteral("useradd"),
            { QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"),
                QStringLiteral("/nonexistent"), QStringLiteral("--shell"), QStringLiteral("/bin/sh"), SystemUser },
            {}, &out)
        && !::getpwnam(SystemUser.toLocal8Bit().constData())) {
        *error = QStringLiteral("cannot create the system user %1 for vsftpd: %2").arg(SystemUser, out);
        return false;
    }
    if (!run(QStringLiteral("chpasswd"), {}, (SystemUser + QLatin1Char(':') + Password + QLatin1Char('\n')).toUtf8(),
            &out)) {
        *error = QStringLiteral("cannot set the password of the system user %1: %2").arg(SystemUser, out);
        return false;
    }
    done = true;
    return true;
}

QString currentUserName()
{
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("root");
}

} // namespace

FtpServerFixture::FtpServerFixture() = default;

FtpServerFixture::FtpServerFixture(const Options& options)
    : m_options(options)
{
}

FtpServerFixture::FtpServerFixture(Kind kind) { m_options.kind = kind; }

FtpServerFixture::~FtpServerFixture() { stop(); }

bool FtpServerFixture::isTls() const { return m_options.kind != Kind::Pyftpdlib && m_options.kind != Kind::Vsftpd; }

bool FtpServerFixture::isImplicitTls() const
{
    return m_options.kind == Kind::PyftpdlibImplicitTls || m_options.kind == Kind::VsftpdImplicitTls;
}

bool FtpServerFixture::isVsftpd() const
{
    return m_options.kind == Kind::Vsftpd || m_options.kind == Kind::VsftpdTls
        || m_options.kind == Kind::VsftpdImplicitTls;
}

QString FtpServerFixture::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Pyftpdlib:
        return QStringLiteral("pyftpdlib");
    case Kind::PyftpdlibTls:
        return QStringLiteral("pyftpdlib explicit TLS");
    case Kind::PyftpdlibImplicitTls:
        return QStringLiteral("pyftpdlib implicit TLS");
    case Kind::Vsftpd:
        return QStringLiteral("vsftpd");
    case Kind::VsftpdTls:
        return QStringLiteral("vsftpd explicit TLS");
    case Kind::VsftpdImplicitTls:
        return QStringLiteral("vsftpd implicit TLS");
    }
    return QString();
}

QList<FtpServerFixture::Kind> FtpServerFixture::allKinds()
{
    return { Kind::Pyftpdlib, Kind::PyftpdlibTls, Kind::PyftpdlibImplicitTls, Kind::Vsftpd, Kind::VsftpdTls,
        Kind::VsftpdImplicitTls };
}

QString FtpServerFixture::host() const { return m_options.ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1"); }

QString FtpServerFixture::hostField() const
{
    const QString address = m_options.ipv6 ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1");
    const QString hostPort = address + QLatin1Char(':') + QString::number(port());
    if (isImplicitTls())
        return QStringLiteral("ftps://") + hostPort;
    if (isTls())
        return QStringLiteral("ftpes://") + hostPort;
    return hostPort;
}

QString FtpServerFixture::user() const { return SystemUser; }

QString FtpServerFixture::password() const { return Password; }

QString FtpServerFixture::root() const { return m_root; }

QString FtpServerFixture::logFile() const
{
    return m_work ? m_work->filePath(QStringLiteral("protocol.log")) : QString();
}

QString FtpServerFixture::logText() const
{
    QFile f(logFile());
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QString FtpServerFixture::certificateFile() const { return m_certFile; }

QString FtpServerFixture::certificateFingerprint() const { return m_certFingerprint; }

bool FtpServerFixture::isRunning() const { return m_process.isRunning(); }

bool FtpServerFixture::start(QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    stop();
    const QString what = kindName(m_options.kind);
    auto fail = [&](const QString& why) {
        *error = what + QStringLiteral(" test server: ") + why;
        m_process.stop();
        return false;
    };
    // A restart keeps the port, the root and the log, as a real server's restart would.
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    if (!m_work->isValid())
        return fail(QStringLiteral("cannot create a temporary folder"));
    if (m_options.root.isEmpty()) {
        if (!m_ownRoot)
            m_ownRoot = std::make_unique<QTemporaryDir>();
        if (!m_ownRoot->isValid())
            return fail(QStringLiteral("cannot create a temporary root folder"));
        m_root = m_ownRoot->path();
    } else {
        m_root = QDir(m_options.root).absolutePath();
        if (!QFileInfo(m_root).isDir())
            return fail(QStringLiteral("the root folder %1 does not exist").arg(m_root));
    }
    if (isTls()) {
        QString why;
        const TestCertificate* cert = TestCertificate::get(&why);
        if (!cert)
            return fail(why);
        m_certFile = cert->certFile;
        m_certFingerprint = cert->sha256Fingerprint;
    }
    QString why;
    if (!m_ports.isReserved() && !m_ports.reserve(&why))
        return fail(why);
    if (!(isVsftpd() ? startVsftpd(&why) : startPyftpdlib(&why)))
        return fail(why);
    if (!m_process.waitUntilReady(host(), port(), !isImplicitTls(), 20000, &why))
        return fail(why + QStringLiteral("\nlog: ") + logText().right(2000));
    return true;
}

bool FtpServerFixture::startPyftpdlib(QString* error)
{
    if (!QFile::exists(Python)) {
        *error = Python + QStringLiteral(" is missing (Debian's python3 with python3-pyftpdlib)");
        return false;
    }
    QStringList args { QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR "/pyftpd_server.py"), QStringLiteral("--host"), host(),
        QStringLiteral("--port"), QString::number(port()), QStringLiteral("--root"), m_root, QStringLiteral("--user"),
        user(), QStringLiteral("--password"), password(), QStringLiteral("--pasv-min"),
        QString::number(m_ports.port(1)), QStringLiteral("--pasv-max"), QString::number(m_ports.last()),
        QStringLiteral("--log"), logFile() };
    if (isTls()) {
        const TestCertificate* cert = TestCertificate::get(error);
        args << QStringLiteral("--tls") << (isImplicitTls() ? QStringLiteral("implicit") : QStringLiteral("explicit"))
             << QStringLiteral("--cert") << cert->pemFile;
    }
    if (m_options.replyDelayMs > 0)
        args << QStringLiteral("--reply-delay-ms") << QString::number(m_options.replyDelayMs);
    if (m_options.idleTimeoutSeconds > 0)
        args << QStringLiteral("--timeout") << QString::number(m_options.idleTimeoutSeconds);
    if (m_options.passiveTimeoutSeconds > 0)
        args << QStringLiteral("--passive-timeout") << QString::number(m_options.passiveTimeoutSeconds);
    if (m_options.utf8 == false)
        args << QStringLiteral("--no-utf8");
    return m_process.start(Python, args, m_work->filePath(QStringLiteral("server.out")), error);
}

bool FtpServerFixture::startVsftpd(QString* error)
{
    if (m_options.replyDelayMs > 0) {
        *error = QStringLiteral("a reply delay needs pyftpdlib");
        return false;
    }
    const QString program = QStringLiteral("/usr/sbin/vsftpd");
    if (!QFile::exists(program)) {
        *error = program + QStringLiteral(" is missing (Debian's vsftpd package)");
        return false;
    }
    if (!ensureSystemUser(error))
        return false;
    const QString empty = m_work->filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    auto yesNo = [](bool b) { return b ? QStringLiteral("YES") : QStringLiteral("NO"); };
    QStringList conf;
    if (m_options.ipv6)
        conf << QStringLiteral("listen=NO") << QStringLiteral("listen_ipv6=YES")
             << QStringLiteral("listen_address6=::1");
    else
        conf << QStringLiteral("listen=YES") << QStringLiteral("listen_address=127.0.0.1");
    conf << QStringLiteral("listen_port=") + QString::number(port()) << QStringLiteral("background=NO")
         << QStringLiteral("seccomp_sandbox=NO") << QStringLiteral("secure_chroot_dir=") + empty
         << QStringLiteral("anonymous_enable=NO") << QStringLiteral("local_enable=YES")
         << QStringLiteral("pam_service_name=vsftpd") << QStringLiteral("guest_enable=YES")
         << QStringLiteral("guest_username=") + currentUserName() << QStringLiteral("virtual_use_local_privs=YES")
         << QStringLiteral("local_root=") + m_root << QStringLiteral("chroot_local_user=YES")
         << QStringLiteral("allow_writeable_chroot=YES") << QStringLiteral("write_enable=YES")
         << QStringLiteral("local_umask=022") << QStringLiteral("pasv_enable=YES") << QStringLiteral("port_enable=YES")
         << QStringLiteral("connect_from_port_20=NO")
         << QStringLiteral("pasv_min_port=") + QString::number(m_ports.port(1))
         << QStringLiteral("pasv_max_port=") + QString::number(m_ports.last())
         << QStringLiteral("ascii_upload_enable=") + yesNo(m_options.asciiConversion)
         << QStringLiteral("ascii_download_enable=") + yesNo(m_options.asciiConversion)
         << QStringLiteral("utf8_filesystem=") + yesNo(m_options.utf8.value_or(false))
         << QStringLiteral("idle_session_timeout=")
            + QString::number(m_options.idleTimeoutSeconds > 0 ? m_options.idleTimeoutSeconds : 300)
         << QStringLiteral("max_clients=0") << QStringLiteral("max_per_ip=0") << QStringLiteral("use_localtime=NO")
         << QStringLiteral("delay_failed_login=0") << QStringLiteral("xferlog_enable=YES")
         << QStringLiteral("log_ftp_protocol=YES") << QStringLiteral("vsftpd_log_file=") + logFile();
    if (isTls()) {
        const TestCertificate* cert = TestCertificate::get(error);
        conf << QStringLiteral("ssl_enable=YES") << QStringLiteral("rsa_cert_file=") + cert->certFile
             << QStringLiteral("rsa_private_key_file=") + cert->keyFile << QStringLiteral("force_local_logins_ssl=YES")
             << QStringLiteral("force_local_data_ssl=YES") << QStringLiteral("require_ssl_reuse=YES")
             << QStringLiteral("ssl_ciphers=HIGH") << QStringLiteral("implicit_ssl=") + yesNo(isImplicitTls());
    }
    const QString confFile = m_work->filePath(QStringLiteral("vsftpd.conf"));
    QFile f(confFile);
    if (!f.open(QIODevice::WriteOnly) || f.write((conf.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) < 0) {
        *error = QStringLiteral("cannot write ") + confFile;
        return false;
    }
    f.close();
    return m_process.start(program, { confFile }, m_work->filePath(QStringLiteral("server.out")), error);
}

void FtpServerFixture::stop() { m_process.stop(); }

void FtpServerFixture::kill() { m_process.kill(); }
