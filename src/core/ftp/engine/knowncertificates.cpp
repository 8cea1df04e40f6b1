#include "core/ftp/engine/knowncertificates.h"

#include <QFile>
#include <QSaveFile>

namespace {

QByteArray keyLine(const QString& host, const QString& fingerprint)
{
    return host.toLower().toUtf8() + ' ' + fingerprint.toUpper().toLatin1();
}

} // namespace

QList<QByteArray> KnownCertificates::lines() const
{
    QList<QByteArray> out;
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return out;
    // Bounded: a hostile or broken file cannot make us read without end.
    for (int i = 0; i < 100000 && !file.atEnd(); ++i)
        out.append(file.readLine(4096).trimmed());
    return out;
}

bool KnownCertificates::contains(const QString& host, const QString& fingerprint) const
{
    return lines().contains(keyLine(host, fingerprint));
}

QString KnownCertificates::lastFor(const QString& host) const
{
    const QByteArray prefix = keyLine(host, QString());
    const QList<QByteArray> all = lines();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->startsWith(prefix) && it->size() > prefix.size())
            return QString::fromLatin1(it->mid(prefix.size()));
    }
    return {};
}

bool KnownCertificates::add(const QString& host, const QString& fingerprint)
{
    if (m_path.isEmpty())
        return false;
    if (contains(host, fingerprint))
        return true;
    QByteArray content;
    {
        QFile old(m_path);
        if (old.open(QIODevice::ReadOnly))
            content = old.read(16 * 1024 * 1024);
    }
    if (!content.isEmpty() && !content.endsWith('\n'))
        content.append('\n');
    content.append(keyLine(host, fingerprint) + '\n');
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(content);
    return file.commit();
}
