#include "core/panecommands/localfileops.h"

#include "core/panecommands/panepaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

namespace {

bool exists(const QString& path)
{
    // A dangling link is taken, too.
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

bool copyOneFile(const QString& source, const QString& destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0) {
            out.cancelWriting();
            return false;
        }
        if (got == 0)
            break;
        if (out.write(buffer, got) != got) {
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit())
        return false;
    QFile::setPermissions(destination, in.permissions());
    return true;
}

bool copyLink(const QString& source, const QString& destination)
{
    return QFile::link(QFileInfo(source).symLinkTarget(), destination);
}

bool copyFolder(const QString& source, const QString& destination)
{
    if (!QDir().mkdir(destination))
        return false;
    bool ok = true;
    QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString target = destination + QLatin1Char('/') + entry.fileName();
        if (entry.isSymLink())
            ok = copyLink(entry.filePath(), target) && ok;
        else if (entry.isDir())
            ok = copyFolder(entry.filePath(), target) && ok;
        else if (entry.isFile())
            ok = copyOneFile(entry.filePath(), target) && ok;
        // Devices, sockets and pipes are not copied.
    }
    return ok;
}

bool removeCopiedSource(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

} // namespace

bool LocalFileOps::isInside(const QString& path, const QString& folder)
{
    const QString p = QDir::cleanPath(path);
    const QString f = QDir::cleanPath(folder);
    return p == f || p.startsWith(f.endsWith(u'/') ? f : f + QLatin1Char('/'));
}

bool LocalFileOps::copyFileOver(const QString& source, const QString& destination)
{
    const QFileInfo in(source);
    if (!in.isFile())
        return false;
    if (QFileInfo(destination).exists() && QFileInfo(destination).canonicalFilePath() == in.canonicalFilePath())
        return false;
    if (QFileInfo(destination).isDir())
        return false;
    return copyOneFile(source, destination);
}

bool LocalFileOps::copyTree(const QString& source, const QString& destination, QString* copiedTo)
{
    const QFileInfo in(source);
    if (!in.exists() && !in.isSymLink())
        return false;
    if (in.isDir() && !in.isSymLink() && isInside(destination, source))
        return false;
    const QString target = exists(destination) ? PanePaths::firstFreeName(destination, exists) : destination;
    bool ok = false;
    if (in.isSymLink())
        ok = copyLink(source, target);
    else if (in.isDir())
        ok = copyFolder(source, target);
    else if (in.isFile())
        ok = copyOneFile(source, target);
    if (copiedTo)
        *copiedTo = target;
    return ok;
}

bool LocalFileOps::moveEntry(const QString& source, const QString& destination)
{
    const QFileInfo in(source);
    if ((!in.exists() && !in.isSymLink()) || exists(destination))
        return false;
    if (in.isDir() && !in.isSymLink() && isInside(destination, source))
        return false;
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(destination).constData()) == 0)
        return true;
    // Another file system: copy, then remove the source only when the copy is whole.
    QString copiedTo;
    if (!copyTree(source, destination, &copiedTo) || copiedTo != destination) {
        if (exists(copiedTo) && copiedTo != source)
            removeCopiedSource(copiedTo);
        return false;
    }
    return removeCopiedSource(source);
}

bool LocalFileOps::renameEntry(const QString& source, const QString& destination, bool replace)
{
    const QFileInfo in(source);
    if (!in.exists() && !in.isSymLink())
        return false;
    const QFileInfo out(destination);
    if (exists(destination)) {
        if (!replace || (out.isDir() && !out.isSymLink()) || (in.isDir() && !in.isSymLink()))
            return false;
    }
    // rename(2) replaces an existing file in one step.
    return std::rename(QFile::encodeName(source).constData(), QFile::encodeName(destination).constData()) == 0;
}
