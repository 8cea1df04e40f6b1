#include "core/panecommands/panepaths.h"

#include "core/ftpsession/sessionrules.h"

QString PanePaths::collapseSlashes(const QString& path)
{
    QString out = path;
    while (out.contains(QLatin1String("//")))
        out.replace(QLatin1String("//"), QLatin1String("/"));
    return out;
}

QString PanePaths::lastPart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString PanePaths::join(const QString& folder, const QString& name)
{
    return collapseSlashes(folder + QLatin1Char('/') + name);
}

bool PanePaths::isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/')
        && !name.contains(QChar(0));
}

QString PanePaths::serverFolder(const QString& txtDir, const QString& hostName)
{
    const QString text = txtDir.trimmed();
    const QString host = hostName.trimmed();
    if (!host.isEmpty() && text == host)
        return QStringLiteral("/");
    return collapseSlashes(SessionRules::withoutHostName(text, host));
}

PanePaths::RenameCheck PanePaths::checkRename(const QString& oldName, const QString& newName)
{
    if (newName.isEmpty() || newName == oldName)
        return RenameCheck::Cancel;
    return isPlainName(newName) ? RenameCheck::Go : RenameCheck::Refuse;
}
