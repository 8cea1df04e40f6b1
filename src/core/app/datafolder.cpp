#include "core/app/datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace DataFolder {

namespace {
QString& cached()
{
    static QString folder;
    return folder;
}
} // namespace

QString resolve()
{
    const QString env = qEnvironmentVariable("FTPTARVO_HOME");
    if (!env.isEmpty()) {
        QDir().mkpath(env);
        return QDir::cleanPath(QDir(env).absolutePath());
    }
    if (QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        if (QFile::exists(exeDir + QStringLiteral("/ftpset.ini")))
            return exeDir;
    }
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = QDir::cleanPath(config + QStringLiteral("/ftptarvo"));
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return folder;
}

QString path()
{
    if (cached().isEmpty())
        cached() = resolve();
    return cached();
}

QString file(const QString& name)
{
    return path() + u'/' + name;
}

void reset()
{
    cached().clear();
}

} // namespace DataFolder
