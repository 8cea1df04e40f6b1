#include "support/testcertificate.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <mutex>

namespace {

QByteArray pemToDer(const QByteArray& pem)
{
    const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    const QByteArray end = "-----END CERTIFICATE-----";
    const qsizetype b = pem.indexOf(begin);
    const qsizetype e = pem.indexOf(end, b);
    if (b < 0 || e < 0)
        return {};
    return QByteArray::fromBase64(pem.mid(b + begin.size(), e - b - begin.size()));
}

QString fingerprint(const QByteArray& der)
{
    const QByteArray hex = QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex().toUpper();
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2)
        pairs.append(QString::fromLatin1(hex.mid(i, 2)));
    return pairs.join(QLatin1Char(':'));
}

std::unique_ptr<TestCertificate> make(QTemporaryDir& dir, QString* error)
{
    auto cert = std::make_unique<TestCertificate>();
    cert->certFile = dir.filePath(QStringLiteral("cert.pem"));
    cert->keyFile = dir.filePath(QStringLiteral("key.pem"));
    cert->pemFile = dir.filePath(QStringLiteral("both.pem"));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"),
        { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
            QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
            QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
            QStringLiteral("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost"), QStringLiteral("-keyout"),
            cert->keyFile, QStringLiteral("-out"), cert->certFile });
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("openssl req -x509 failed (is the openssl package installed?): ") + p.errorString()
            + QLatin1Char(' ') + QString::fromLocal8Bit(p.readAll());
        return nullptr;
    }
    QFile c(cert->certFile);
    QFile k(cert->keyFile);
    QFile both(cert->pemFile);
    if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly) || !both.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot read the certificate made by openssl in ") + dir.path();
        return nullptr;
    }
    const QByteArray pem = c.readAll();
    both.write(k.readAll());
    both.write(pem);
    both.close();
    const QByteArray der = pemToDer(pem);
    if (der.isEmpty()) {
        *error = QStringLiteral("the certificate made by openssl holds no PEM block");
        return nullptr;
    }
    cert->sha256Fingerprint = fingerprint(der);
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
    if (!cert && failure.isEmpty()) {
        if (!dir.isValid())
            failure = QStringLiteral("cannot create a temporary folder for the test certificate");
        else
            cert = make(dir, &failure);
    }
    if (!cert && error)
        *error = failure;
    return cert.get();
}
