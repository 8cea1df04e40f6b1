#include "core/sitetools/linkexclusions.h"

#include "core/app/datafolder.h"
#include "core/app/textfile.h"

#include <QFileInfo>

LinkExclusions::LinkExclusions(const QString& path, QObject* parent)
    : QStringListModel(parent)
    , m_path(path)
{
    load();
}

QString LinkExclusions::defaultPath() { return DataFolder::file(QStringLiteral("link.txt")); }

void LinkExclusions::load()
{
    QStringList entries;
    // A short list of links; anything larger is no list of ours.
    constexpr qint64 MaxBytes = 4 * 1024 * 1024;
    if (QFileInfo(m_path).size() > MaxBytes) {
        setStringList(entries);
        return;
    }
    if (const std::optional<QStringList> lines = TextFile::readLines(m_path)) {
        for (const QString& line : *lines) {
            if (!line.isEmpty())
                entries.append(line);
        }
    }
    setStringList(entries);
}

bool LinkExclusions::registerText(const QString& text)
{
    // One entry a line in the file: a line break in a page's link must not make two.
    QString entry = text.mid(text.lastIndexOf(u'/') + 1);
    entry.remove(u'\r');
    entry.remove(u'\n');
    if (entry.isEmpty() || stringList().contains(entry))
        return false;
    const int row = rowCount();
    QStringListModel::insertRows(row, 1);
    QStringListModel::setData(index(row), entry);
    return save();
}

bool LinkExclusions::excludes(const QString& link) const
{
    if (link.isEmpty())
        return false;
    const QString name = link.mid(link.lastIndexOf(u'/') + 1);
    const QStringList entries = stringList();
    return entries.contains(link) || (!name.isEmpty() && entries.contains(name));
}

bool LinkExclusions::removeRows(int row, int count, const QModelIndex& parent)
{
    return QStringListModel::removeRows(row, count, parent) && save();
}

bool LinkExclusions::setData(const QModelIndex& index, const QVariant& value, int role)
{
    return QStringListModel::setData(index, value, role) && save();
}

bool LinkExclusions::save()
{
    QStringList lines;
    for (const QString& entry : stringList()) {
        if (!entry.isEmpty())
            lines.append(entry);
    }
    if (TextFile::writeLines(m_path, lines, &m_lastError)) {
        m_lastError.clear();
        return true;
    }
    Q_EMIT saveFailed(m_lastError);
    return false;
}
