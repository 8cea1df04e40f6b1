#include "support/ftpserverfixture.h"

#include "support/testcertificate.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString SystemUser = QStringLiteral("ftptarvotest"); // also user() and password() in the header
const QString Password = QStringLiteral("Tarvo-test-1");
const QString Python = QStringLiteral("/usr/bin/python3");

bool run(const QString& program, const QStringList& args, const QByteArray& input, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(30000);
    *output = p.errorString() + QLatin1Char(' ') + QString::fromLocal8Bit(p.readAll()).trimmed();
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
    QString out;
    if (done)
        return true;
    if (::geteuid() != 0)
        *error = QStringLiteral("vsftpd test servers need root (PAM logins and chroot); run the tests as root, "
                                "as scripts/test does on the test machines");
    else if (!::getpwnam(SystemUser.toLocal8Bit().constData())
        && !run(QStringLiteral("useradd"),
            { QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"),
                QStringLiteral("/nonexistent"), QStringLiteral("--shell"), QStringLiteral("/bin/sh"), SystemUser },
            {}, &out)
        && !::getpwnam(SystemUser.toLocal8Bit().constData()))
        *error = QStringLiteral("cannot create the system user %1 for vsftpd: %2").arg(SystemUser, out);
    else if (!run(QStringLiteral("chpasswd"), {}, (SystemUser + u':' + Password + u'\n').toUtf8(), &out))
        *error = QStringLiteral("cannot set the password of the system user %1: %2").arg(SystemUser, out);
    else
        done = true;
    return done;
}

} // namespace

QString FtpServerFixture::kindName(Kind kind)
{
    return QStringLiteral("pyftpdlib|pyftpdlib explicit TLS|pyftpdlib implicit TLS|vsftpd|vsftpd explicit TLS|"
                          "vsftpd implicit TLS")
        .section(u'|', int(kind), int(kind));
}

QList<FtpServerFixture::Kind> FtpServerFixture::allKinds()
{
    return { Kind::Pyftpdlib, Kind::PyftpdlibTls, Kind::PyftpdlibImplicitTls, Kind::Vsftpd, Kind::VsftpdTls,
        Kind::VsftpdImplicitTls };
}

QString FtpServerFixture::hostField() const
{
    return (isImplicitTls()  ? u"ftps://"_qs
                   : isTls() ? u"ftpes://"_qs
                             : QString())
        + (m_options.ipv6 ? u"[::1]:"_qs : u"127.0.0.1:"_qs) + QString::number(port());
}

QString FtpServerFixture::logText() const
{
    QFile f(logFile());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool FtpServerFixture::start(QString* error)
{
    QString ignored;
    error = error ? error : &ignored;
    stop();
    // A restart keeps the port, the root and the log, as a real server's restart would.
    if (!m_work)
        m_work = std::make_unique<QTemporaryDir>();
    if (m_options.root.isEmpty() && !m_ownRoot)
        m_ownRoot = std::make_unique<QTemporaryDir>();
    m_root = m_options.root.isEmpty() ? m_ownRoot->path() : QDir(m_options.root).absolutePath();
    QString why;
    const TestCertificate* cert = isTls() ? TestCertificate::get(&why) : nullptr;
    m_certFingerprint = cert ? cert->sha256Fingerprint : QString();
    if (!m_work->isValid() || (m_ownRoot && !m_ownRoot->isValid()))
        why = QStringLiteral("cannot create a temporary folder");
    else if (!QFileInfo(m_root).isDir())
        why = QStringLiteral("the root folder %1 does not exist").arg(m_root);
    else if ((!isTls() || cert) && (m_ports.isReserved() || m_ports.reserve(&why))
        && (isVsftpd() ? startVsftpd(&why) : startPyftpdlib(&why))
        && m_process.waitUntilReady(host(), port(), !isImplicitTls(), 20000, &why))
        return true;
    *error = kindName(m_options.kind) + QStringLiteral(" test server: ") + why + QStringLiteral("\nlog: ")
        + logText().right(2000);
    m_process.stop();
    return false;
}

bool FtpServerFixture::startPyftpdlib(QString* error)
{
    QStringList args { QStringLiteral(FTPTARVO_TEST_SUPPORT_DIR "/pyftpd_server.py"), QStringLiteral("--host"), host(),
        QStringLiteral("--port"), QString::number(port()), QStringLiteral("--root"), m_root, QStringLiteral("--user"),
        user(), QStringLiteral("--password"), password(), QStringLiteral("--pasv-min"),
        QString::number(m_ports.port(1)), QStringLiteral("--pasv-max"), QString::number(m_ports.last()),
        QStringLiteral("--log"), logFile(), QStringLiteral("--reply-delay-ms"), QString::number(m_options.replyDelayMs),
        QStringLiteral("--timeout"), QString::number(m_options.idleTimeoutSeconds), QStringLiteral("--passive-timeout"),
        QString::number(m_options.passiveTimeoutSeconds), QStringLiteral("--max-cons-per-ip"),
        QString::number(m_options.maxConnectionsPerIp) };
    if (isTls())
        args << QStringLiteral("--tls") << (isImplicitTls() ? QStringLiteral("implicit") : QStringLiteral("explicit"))
             << QStringLiteral("--cert") << TestCertificate::get(error)->pemFile;
    if (m_options.utf8 == false)
        args << QStringLiteral("--no-utf8");
    if (!QFile::exists(Python))
        *error = Python + QStringLiteral(" is missing (Debian's python3 with python3-pyftpdlib)");
    return QFile::exists(Python)
        && m_process.start(Python, args, m_work->filePath(QStringLiteral("server.out")), error);
}

bool FtpServerFixture::startVsftpd(QString* error)
{
    const QString program = QStringLiteral("/usr/sbin/vsftpd");
    if (m_options.replyDelayMs > 0)
        *error = QStringLiteral("a reply delay needs pyftpdlib");
    else if (!QFile::exists(program))
        *error = program + QStringLiteral(" is missing (Debian's vsftpd package)");
    if (m_options.replyDelayMs > 0 || !QFile::exists(program) || !ensureSystemUser(error))
        return false;
    const QString empty = m_work->filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    const passwd* self = ::getpwuid(::geteuid());
    auto yesNo = [](bool b) { return b ? QStringLiteral("YES") : QStringLiteral("NO"); };
    QString conf
        = QStringLiteral("%1\nlisten_port=%2\nbackground=NO\nseccomp_sandbox=NO\nsecure_chroot_dir=%3\n"
                         "anonymous_enable=NO\nlocal_enable=YES\npam_service_name=vsftpd\nguest_enable=YES\n"
                         "guest_username=%4\nvirtual_use_local_privs=YES\nlocal_root=%5\nchroot_local_user=YES\n"
                         "allow_writeable_chroot=YES\nwrite_enable=YES\nlocal_umask=022\npasv_enable=YES\n"
                         "port_enable=YES\nconnect_from_port_20=NO\npasv_min_port=%6\npasv_max_port=%7\n"
                         "ascii_upload_enable=YES\nascii_download_enable=YES\nutf8_filesystem=%8\n")
              .arg(m_options.ipv6 ? QStringLiteral("listen=NO\nlisten_ipv6=YES\nlisten_address6=::1")
                                  : QStringLiteral("listen=YES\nlisten_address=127.0.0.1"))
              .arg(port())
              .arg(empty, self ? QString::fromLocal8Bit(self->pw_name) : QStringLiteral("root"), m_root)
              .arg(m_ports.port(1))
              .arg(m_ports.last())
              .arg(yesNo(m_options.utf8.value_or(false)));
    conf += QStringLiteral("idle_session_timeout=%1\nmax_clients=0\nmax_per_ip=%2\nuse_localtime=NO\n"
                           "delay_failed_login=0\nxferlog_enable=YES\nlog_ftp_protocol=YES\nvsftpd_log_file=%3\n")
                .arg(m_options.idleTimeoutSeconds > 0 ? m_options.idleTimeoutSeconds : 300)
                .arg(m_options.maxConnectionsPerIp)
                .arg(logFile());
    if (isTls())
        conf += QStringLiteral("ssl_enable=YES\nrsa_cert_file=%1\nrsa_private_key_file=%2\nforce_local_logins_ssl=YES\n"
                               "force_local_data_ssl=YES\nrequire_ssl_reuse=YES\nssl_ciphers=HIGH\nimplicit_ssl=%3\n")
                    .arg(TestCertificate::get(error)->certFile, TestCertificate::get(error)->keyFile,
                        yesNo(isImplicitTls()));
    const QString confFile = m_work->filePath(QStringLiteral("vsftpd.conf"));
    QFile f(confFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(conf.toUtf8()) != conf.toUtf8().size()) {
        *error = QStringLiteral("cannot write ") + confFile;
        return false;
    }
    f.close();
    return m_process.start(program, { confFile }, m_work->filePath(QStringLiteral("server.out")), error);
}
