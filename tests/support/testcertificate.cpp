#include "support/testcertificate.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <mutex>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<TestCertificate> make(const QTemporaryDir& dir, QString* error)
{
    auto cert = std::make_unique<TestCertificate>();
    cert->certFile = dir.filePath(QStringLiteral("cert.pem"));
    cert->keyFile = dir.filePath(QStringLiteral("key.pem"));
    cert->pemFile = dir.filePath(QStringLiteral("both.pem"));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"),
        QStringLiteral("req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext "
                       "subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost -keyout")
                .split(u' ')
            + QStringList { cert->keyFile, QStringLiteral("-out"), cert->certFile });
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("openssl req -x509 failed (is the openssl package installed?): ") + p.errorString()
            + QLatin1Char(' ') + QString::fromLocal8Bit(p.readAll());
        return nullptr;
    }
    const QByteArray pem = readAll(cert->certFile);
    QFile both(cert->pemFile);
    const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    const qsizetype b = pem.indexOf(begin) + begin.size();
    const QByteArray der = QByteArray::fromBase64(pem.mid(b, pem.indexOf("-----END CERTIFICATE-----") - b));
    if (der.isEmpty() || !both.open(QIODevice::WriteOnly) || both.write(readAll(cert->keyFile) + pem) <= pem.size()) {
        *error = QStringLiteral("cannot read the certificate made by openssl in ") + dir.path();
        return nullptr;
    }
    // Upper-case hex pairs joined by ":", as the engine shows them.
    cert->sha256Fingerprint
        = QString::fromLatin1(QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
    return cert;
}

} // namespace

const TestCertificate* TestCertificate::get(QString* error)
{
    static std::mutex mutex;
    static QTemporaryDir dir;
    static std::unique_ptr<TestCertificate> cert;
    static QString failure;
    std::lock_guard lock(mutex);
    if (!cert && failure.isEmpty())
        cert = dir.isValid() ? make(dir, &failure) : nullptr;
    if (!cert && failure.isEmpty())
        failure = QStringLiteral("cannot create a temporary folder for the test certificate");
    if (!cert && error)
        *error = failure;
    return cert.get();
}
