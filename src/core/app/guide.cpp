#include "core/app/guide.h"

#include "core/app/datafolder.h"

#include <QFileInfo>

namespace Guide {

namespace {

    bool isPage(const QString& path)
    {
        const QFileInfo info(path);
        return info.isFile() && info.isReadable();
    }

} // namespace

QStringList shippedFolders()
{
    QStringList folders;
#ifdef FTPTARVO_DOCS_DIR
    folders << QStringLiteral(FTPTARVO_DOCS_DIR);
#endif
#ifdef FTPTARVO_SOURCE_DOCS_DIR
    folders << QStringLiteral(FTPTARVO_SOURCE_DOCS_DIR);
#endif
    return folders;
}

QString findIndexPage(const QString& dataFolder, const QStringList& guideFolders)
{
    if (!dataFolder.isEmpty()) {
        const QString own = dataFolder + u'/' + QString::fromUtf16(DataFolderPage);
        if (isPage(own))
            return own;
    }
    for (const QString& folder : guideFolders) {
        if (folder.isEmpty())
            continue;
        const QString index = folder + QStringLiteral("/index.html");
        if (isPage(index))
            return QFileInfo(index).absoluteFilePath();
    }
    return QString();
}

QString indexPage() { return findIndexPage(DataFolder::path(), shippedFolders()); }

} // namespace Guide
