#include "core/manage/managerules.h"

#include "core/ftpsession/sessionrules.h"

namespace ManageRules {

namespace {

    QString withoutDoubledSlashes(QString path)
    {
        while (path.contains(QLatin1String("//")))
            path.replace(QLatin1String("//"), QLatin1String("/"));
        return path;
    }

} // namespace

QString deletionRoot(const QString& txtDir, const QString& hostName)
{
    const QString text = txtDir.trimmed();
    const QString host = hostName.trimmed();
    QString root;
    if (!host.isEmpty() && text == host)
        root = QStringLiteral("/");
    else
        root = SessionRules::withoutHostName(text, host);
    root = withoutDoubledSlashes(root);
    // The host name alone with a "/" after it, or an empty box, is the root as well.
    return root.isEmpty() ? QStringLiteral("/") : root;
}

QString joinPath(const QString& root, const QString& name) { return withoutDoubledSlashes(root + u'/' + name); }

QString cautionCounts(qint32 folders, qint32 files)
{
    return QStringLiteral("フォルダー数:%1　ファイル数:%2").arg(folders).arg(files);
}

QString localFolderProposal(const QString& txtDir2)
{
    QString text = txtDir2.trimmed();
    if (!text.endsWith(u'/'))
        text += u'/';
    return text;
}

int levelDigit(const std::array<bool, 9>& boxes, int level)
{
    if (level < 0 || level > 2)
        return 0;
    const int first = 3 * level;
    return 4 * boxes[first] + 2 * boxes[first + 1] + boxes[first + 2];
}

QString modeDigits(const std::array<bool, 9>& boxes)
{
    QString mode;
    for (int level = 0; level < 3; ++level)
        mode += QString::number(levelDigit(boxes, level));
    return mode;
}

QString modeLetters(const std::array<bool, 9>& boxes)
{
    static const char letters[] = { 'r', 'w', 'x' };
    QString text;
    for (std::size_t i = 0; i < boxes.size(); ++i)
        text += boxes[i] ? QChar::fromLatin1(letters[i % 3]) : QChar(u'-');
    return text;
}

std::optional<std::array<bool, 9>> boxesFromMode(const QString& mode)
{
    const QString digits = mode.trimmed();
    if (digits.size() != 3)
        return std::nullopt;
    std::array<bool, 9> boxes {};
    for (int level = 0; level < 3; ++level) {
        const QChar c = digits.at(level);
        if (c < u'0' || c > u'7')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        boxes[std::size_t(3 * level)] = digit & 4;
        boxes[std::size_t(3 * level + 1)] = digit & 2;
        boxes[std::size_t(3 * level + 2)] = digit & 1;
    }
    return boxes;
}

QString chmodCommand(const QString& mode, const QString& name)
{
    return QStringLiteral("SITE CHMOD ") + mode + u' ' + name;
}

} // namespace ManageRules
