#include "core/ftp/engine/knowncertificates.h"

#include <QFile>
#include <QSaveFile>

namespace {

QByteArray keyLine(const QString& host, const QString& fingerprint)
{
    return host.toLower().toUtf8() + ' ' + fingerprint.toUpper().toLatin1();
}

} // namespace

bool KnownCertificates::contains(const QString& host, const QString& fingerprint) const
{
    if (m_path.isEmpty())
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = keyLine(host, fingerprint);
    // Bounded: a hostile or broken file cannot make us read without end.
    for (int i = 0; i < 100000 && !file.atEnd(); ++i) {
        const QByteArray line = file.readLine(4096).trimmed();
        if (line == wanted)
            return true;
    }
    return false;
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
