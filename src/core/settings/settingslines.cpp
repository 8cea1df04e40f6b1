#include "core/settings/settingslines.h"

#include "core/app/datafolder.h"
#include "core/app/dialogs.h"
#include "core/app/textfile.h"

#include <QFileInfo>

namespace {

bool isBlank(QChar c) { return c == u' ' || c == QChar(0x3000); }

// Public servers that still answer anonymous FTP: a university's software archive and an
// operating system's own server.
struct DefaultProfile {
    const char16_t* name;
    const char16_t* host;
};
constexpr DefaultProfile DefaultProfiles[] = {
    { u"FAU FTPアーカイブ", u"ftp.fau.de" },
    { u"NetBSD", u"ftp.netbsd.org" },
};

} // namespace

QString trimBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text.at(start)))
        ++start;
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    if (start == 0 && end == text.size())
        return text;
    return text.mid(start, end - start);
}

SettingsLines::SettingsLines(QObject* parent)
    : QObject(parent)
{
}

QString SettingsLines::filePath() const
{
    return m_path.isEmpty() ? DataFolder::file(QStringLiteral("ftpset.ini")) : m_path;
}

void SettingsLines::setFilePath(const QString& path) { m_path = path; }

QString SettingsLines::line(qsizetype index) const
{
    return index >= 0 && index < m_lines.size() ? m_lines.at(index) : QString();
}

void SettingsLines::setLine(qsizetype index, const QString& text)
{
    if (index < 0 || index >= m_lines.size())
        return;
    m_lines[index] = text;
    Q_EMIT changed();
}

void SettingsLines::insertLine(qsizetype index, const QString& text)
{
    m_lines.insert(qBound<qsizetype>(0, index, m_lines.size()), text);
    Q_EMIT changed();
}

void SettingsLines::removeLine(qsizetype index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    m_lines.removeAt(index);
    Q_EMIT changed();
}

void SettingsLines::appendLine(const QString& text)
{
    m_lines.append(text);
    Q_EMIT changed();
}

void SettingsLines::appendLines(const QStringList& lines)
{
    m_lines.append(lines);
    Q_EMIT changed();
}

void SettingsLines::setLines(const QStringList& lines)
{
    m_lines = lines;
    Q_EMIT changed();
}

void SettingsLines::clear()
{
    m_lines.clear();
    m_undecodable.clear();
    Q_EMIT changed();
}

qsizetype SettingsLines::indexOf(const QString& text, qsizetype from) const
{
    return m_lines.indexOf(text, qMax<qsizetype>(0, from));
}

std::optional<QString> SettingsLines::valueOf(const QString& tag) const
{
    const qsizetype i = m_lines.indexOf(tag);
    if (i < 0)
        return std::nullopt;
    return line(i + 1);
}

std::optional<QString> SettingsLines::lastValueOf(const QString& tag) const
{
    const qsizetype i = m_lines.lastIndexOf(tag);
    if (i < 0)
        return std::nullopt;
    return line(i + 1);
}

QString SettingsLines::closingTag(const QString& openingTag)
{
    if (openingTag.startsWith(u'<'))
        return u"</" + openingTag.mid(1);
    return u"</" + openingTag;
}

void SettingsLines::updateOrAppend(const QString& tag, const QString& value)
{
    bool found = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i) != tag)
            continue;
        found = true;
        if (i + 1 < m_lines.size()) {
            m_lines[i + 1] = value;
        } else {
            // A file cut short after the tag: complete the entry instead of losing the value.
            m_lines.append(value);
            m_lines.append(closingTag(tag));
            break;
        }
    }
    if (!found)
        m_lines << tag << value << closingTag(tag);
    Q_EMIT changed();
}

bool SettingsLines::LoadSettingsFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes)
        return false;
    QHash<QString, QByteArray> undecodable;
    const std::optional<QStringList> read = TextFile::readLines(path, &undecodable);
    if (!read)
        return false;
    m_lines = *read;
    m_undecodable = undecodable;
    Q_EMIT changed();
    Q_EMIT loaded();
    return true;
}

void SettingsLines::WriteDefaultSettings()
{
    QStringList add;
    for (const DefaultProfile& p : DefaultProfiles) {
        add << QStringLiteral("<管理用の名前（任意の名前）>") << QString::fromUtf16(p.name)
            << QStringLiteral("</管理用の名前（任意の名前）>") << QStringLiteral("<FTPサーバー名（ホストアドレス）>")
            << QString::fromUtf16(p.host) << QStringLiteral("</FTPサーバー名（ホストアドレス）>")
            << QStringLiteral("<FTPアカウント（ユーザーID）>") << QStringLiteral("anonymous")
            << QStringLiteral("</FTPアカウント（ユーザーID）>") << QStringLiteral("<FTP　パスワード>")
            << QStringLiteral("</FTP　パスワード>");
    }
    add << QStringLiteral("<最終 プロﾌｧｲﾙ>") << QString::fromUtf16(DefaultProfiles[0].name)
        << QStringLiteral("</最終 プロﾌｧｲﾙ>");
    appendLines(add);
}

bool SettingsLines::SaveSettings()
{
    for (QString& line : m_lines) {
        if (!m_undecodable.contains(line))
            line = trimBlanks(line);
    }
    Q_EMIT changed();
    QString reason;
    if (TextFile::writeLines(filePath(), m_lines, &reason, TextFile::OwnerOnly, &m_undecodable))
        return true;
    const QString message
        = QStringLiteral("設定を保存できませんでした。前に保存した設定ファイルはそのまま残っています。\n") + reason;
    Q_EMIT saveFailed(message);
    if (m_dialogs)
        m_dialogs->message(message, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation, QStringLiteral("FTPTarvo"));
    return false;
}

QString SettingsLines::defaultProfileName(int index)
{
    return index >= 0 && index < 2 ? QString::fromUtf16(DefaultProfiles[index].name) : QString();
}

QString SettingsLines::defaultProfileHost(int index)
{
    return index >= 0 && index < 2 ? QString::fromUtf16(DefaultProfiles[index].host) : QString();
}
