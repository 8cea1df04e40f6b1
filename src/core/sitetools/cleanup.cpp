#include "core/sitetools/cleanup.h"

#include "core/app/dialogs.h"
#include "core/app/itemroles.h"
#include "core/app/textfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardItemModel>

namespace {

const QLatin1String LogName("deletelog.txt");

void collectNodes(QStandardItem* item, QList<QStandardItem*>* out)
{
    for (int row = 0; row < item->rowCount(); ++row) {
        if (QStandardItem* child = item->child(row)) {
            out->append(child);
            collectNodes(child, out);
        }
    }
}

// The site's backup folder: an existing "back" in any case, "Back" preferred; else "Back".
QString backupFolderOf(const QString& siteFolder)
{
    const QDir site(siteFolder);
    if (QFileInfo(site.filePath(QStringLiteral("Back"))).isDir())
        return site.filePath(QStringLiteral("Back"));
    const QStringList folders = site.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : folders) {
        if (name.compare(QLatin1String("back"), Qt::CaseInsensitive) == 0)
            return site.filePath(name);
    }
    return site.filePath(QStringLiteral("Back"));
}

// The file's path below the site folder, or empty when it is not below it or lies in a "back"
// folder there.
QString movablePart(const QString& key, const QString& siteFolder)
{
    const QString prefix = siteFolder.endsWith(u'/') ? siteFolder : siteFolder + u'/';
    if (!key.startsWith(prefix) || key.size() == prefix.size())
        return QString();
    const QString relative = key.mid(prefix.size());
    const QStringList parts = relative.split(u'/');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].compare(QLatin1String("back"), Qt::CaseInsensitive) == 0 || parts[i] == u".." || parts[i] == u".")
            return QString();
    }
    return relative;
}

// "name.ext", else "name (2).ext", "name (3).ext", ...; the log's name is never taken.
QString freeNameIn(const QDir& folder, const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    QString candidate = name;
    for (int n = 2; candidate == LogName || QFileInfo::exists(folder.filePath(candidate))
         || QFileInfo(folder.filePath(candidate)).isSymLink();
         ++n)
        candidate = base + QStringLiteral(" (%1)").arg(n) + ext;
    return candidate;
}

} // namespace

CleanupResult RemoveUnlinkedFiles(
    QStandardItemModel& tree, const QString& siteFolder, Dialogs& dialogs, const CleanupCopy& copy)
{
    CleanupResult result;
    if (dialogs.message(QStringLiteral("リンクの無いファイルを消してよろしいですか？"), Dialogs::Buttons::YesNo,
            Dialogs::Icon::Question)
        != Dialogs::Answer::Yes)
        return result;
    result.confirmed = true;

    const QString backup = backupFolderOf(siteFolder);
    if (!QDir().mkpath(backup) || !QFileInfo(backup).isDir()) {
        result.error = backup + QStringLiteral(" を作れません。");
        return result;
    }
    const QDir backupDir(backup);
    const QString backupName = QFileInfo(backup).fileName();
    const QString log = backupDir.filePath(LogName);
    const CleanupCopy copyFile
        = copy ? copy : [](const QString& from, const QString& to) { return QFile::copy(from, to); };

    QList<QStandardItem*> nodes;
    collectNodes(tree.invisibleRootItem(), &nodes);
    for (QStandardItem* node : std::as_const(nodes)) {
        if (node->data(ItemRoles::IconKeyRole).toString() != IconKeys::Leaf)
            continue;
        const QString key = node->data(ItemRoles::NodeKeyRole).toString();
        const QString relative = movablePart(key, siteFolder);
        const QFileInfo source(key);
        if (relative.isEmpty() || !source.isFile())
            continue;
        const QString name = source.fileName();
        const QString copyName = freeNameIn(backupDir, name);
        const QString target = backupDir.filePath(copyName);
        const bool copied = copyFile(key, target) && QFileInfo(target).size() == QFileInfo(key).size();
        if (!copied || !QFile::remove(key)) {
            // A copy that is not the file, or a file that stays, leaves no backup behind.
            QFile::remove(target);
            ++result.failed;
            result.failedPaths.append(key);
            continue;
        }
        QString line = key;
        if (copyName != name)
            line += QStringLiteral(" -> ") + backupName + u'/' + copyName;
        if (!TextFile::appendText(log, line + QStringLiteral("\r\n"), &result.error))
            result.error = log + QStringLiteral(" に書き込めません。");
        node->setData(IconKeys::LeafKill, ItemRoles::IconKeyRole);
        ++result.moved;
        QCoreApplication::processEvents();
    }
    return result;
}
