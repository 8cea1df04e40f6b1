#include "core/transfer/moderules.h"

#include "core/app/dialogs.h"
#include "core/settings/settingslines.h"

#include <algorithm>

namespace {

const QString TextOpen = QStringLiteral("<SetText>");
const QString NeverSendOpen = QStringLiteral("<NotText>");

} // namespace

ModeRules::ModeRules(SettingsLines& lines, QObject* parent)
    : QObject(parent)
    , m_lines(lines)
{
}

QStringList ModeRules::defaultTextExtensions()
{
    return { QStringLiteral("txt"), QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("java"),
        QStringLiteral("cgi"), QStringLiteral("css"), QStringLiteral("js"), QStringLiteral("pl"),
        QStringLiteral("shtm"), QStringLiteral("shtml"), QStringLiteral("doc"), QStringLiteral("dat") };
}

QStringList ModeRules::defaultNeverSendExtensions()
{
    return { QStringLiteral("tmp"), QStringLiteral("bak"), QStringLiteral("$$$") };
}

QString ModeRules::closeWarning()
{
    return QStringLiteral("送信モードが全てASCIIかBinaryになっていますがいいですか。");
}

QString ModeRules::GetExtension(const QString& name)
{
    const QString trimmed = trimBlanks(name);
    const qsizetype dot = trimmed.lastIndexOf(u'.');
    if (dot < 0)
        return QString();
    return trimmed.mid(dot + 1);
}

TransferType ModeRules::typeFor(const QString& name) const
{
    if (m_allAscii)
        return TransferType::Ascii;
    if (m_allBinary)
        return TransferType::Binary;
    const QString ext = GetExtension(name).toLower();
    const QStringList list = m_textExtensions.stringList();
    const bool text
        = !ext.isEmpty() && std::any_of(list.begin(), list.end(), [&](const QString& e) { return e.toLower() == ext; });
    return text ? TransferType::Ascii : TransferType::Binary;
}

TransferType ModeRules::SetTransferMode(const QString& name)
{
    const TransferType type = typeFor(name);
    setIndicator(type);
    return type;
}

bool ModeRules::IsSendable(const QString& name) const
{
    // A stray empty line in the block would otherwise keep every name without an extension back.
    const QString ext = GetExtension(name);
    return ext.isEmpty() || !m_neverSend.stringList().contains(ext, Qt::CaseSensitive);
}

void ModeRules::LoadModeLists()
{
    m_textExtensions.setStringList(readBlocks(TextOpen));
    m_neverSend.setStringList(readBlocks(NeverSendOpen));
    if (m_lines.indexOf(TextOpen) < 0)
        restoreDefaults();
}

void ModeRules::RestoreDefaultModeLists()
{
    m_textExtensions.setStringList(defaultTextExtensions());
    m_neverSend.setStringList(defaultNeverSendExtensions());
    replaceBlockContents(TextOpen, m_textExtensions.stringList());
    replaceBlockContents(NeverSendOpen, m_neverSend.stringList());
    m_allAscii = false;
    m_allBinary = false;
    m_textListEnabled = true;
    Q_EMIT switchesChanged();
}

void ModeRules::restoreDefaults()
{
    m_textExtensions.setStringList({});
    m_neverSend.setStringList({});
    RestoreDefaultModeLists();
    m_lines.SaveSettings();
}

bool ModeRules::addTextExtension(const QString& text)
{
    // Trimmed here already: the save trims the stored line anyway, and an entry with blanks in the
    // list would never match until the next start.
    const QString entry = trimBlanks(text);
    if (entry.isEmpty())
        return false;
    m_textExtensions.setStringList(m_textExtensions.stringList() << entry);
    insertIntoBlock(TextOpen, entry);
    m_lines.SaveSettings();
    return true;
}

bool ModeRules::addNeverSendExtension(const QString& text)
{
    const QString entry = trimBlanks(text);
    if (entry.isEmpty())
        return false;
    m_neverSend.setStringList(m_neverSend.stringList() << entry);
    insertIntoBlock(NeverSendOpen, entry);
    m_lines.SaveSettings();
    return true;
}

void ModeRules::deleteEntries(const QList<int>& textRows, const QList<int>& neverSendRows)
{
    removeRows(m_textExtensions, TextOpen, textRows);
    removeRows(m_neverSend, NeverSendOpen, neverSendRows);
    m_lines.SaveSettings();
}

bool ModeRules::mayClose(Dialogs& dialogs) const
{
    if (!m_allAscii && !m_allBinary)
        return true;
    return dialogs.message(closeWarning(), Dialogs::Buttons::YesNo, Dialogs::Icon::Question) == Dialogs::Answer::Yes;
}

void ModeRules::setAllAscii(bool checked)
{
    if (m_allAscii == checked)
        return;
    m_allAscii = checked;
    if (checked)
        m_allBinary = false;
    updateTextListEnabled();
}

void ModeRules::setAllBinary(bool checked)
{
    if (m_allBinary == checked)
        return;
    m_allBinary = checked;
    if (checked)
        m_allAscii = false;
    updateTextListEnabled();
}

void ModeRules::updateTextListEnabled()
{
    m_textListEnabled = !m_allAscii && !m_allBinary;
    Q_EMIT switchesChanged();
}

void ModeRules::setIndicator(TransferType mode)
{
    if (m_indicator == mode)
        return;
    m_indicator = mode;
    Q_EMIT indicatorChanged(mode);
}

QList<ModeRules::Block> ModeRules::blocks(const QString& openTag) const
{
    const QString closeTag = SettingsLines::closingTag(openTag);
    const QStringList& lines = m_lines.lines();
    QList<Block> found;
    bool inside = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i) == openTag && !inside) {
            found.append({ i, -1 });
            inside = true;
        } else if (lines.at(i) == closeTag && inside) {
            found.last().close = i;
            inside = false;
        }
    }
    return found;
}

QStringList ModeRules::readBlocks(const QString& openTag) const
{
    const QStringList& lines = m_lines.lines();
    QStringList entries;
    for (const Block& b : blocks(openTag)) {
        const qsizetype end = b.close < 0 ? lines.size() : b.close;
        for (qsizetype i = b.open + 1; i < end; ++i) {
            if (lines.at(i) != openTag)
                entries.append(lines.at(i));
        }
    }
    return entries;
}

void ModeRules::replaceBlockContents(const QString& openTag, const QStringList& entries)
{
    const QString closeTag = SettingsLines::closingTag(openTag);
    const QList<Block> found = blocks(openTag);
    QStringList lines = m_lines.lines();
    if (found.isEmpty()) {
        lines << openTag << entries << closeTag;
        m_lines.setLines(lines);
        return;
    }
    // Later blocks would add their entries again at the next start: they go.
    for (qsizetype k = found.size() - 1; k >= 1; --k) {
        const Block& b = found.at(k);
        const qsizetype last = b.close < 0 ? b.open : b.close;
        lines.remove(b.open, last - b.open + 1);
    }
    const Block& first = found.first();
    if (first.close < 0) {
        // Never closed: the lines after it belong to other entries, so they stay, and the block
        // gets its closing tag.
        QStringList block = entries;
        block.append(closeTag);
        for (qsizetype i = 0; i < block.size(); ++i)
            lines.insert(first.open + 1 + i, block.at(i));
    } else {
        lines.remove(first.open + 1, first.close - first.open - 1);
        for (qsizetype i = 0; i < entries.size(); ++i)
            lines.insert(first.open + 1 + i, entries.at(i));
    }
    m_lines.setLines(lines);
}

void ModeRules::insertIntoBlock(const QString& openTag, const QString& entry)
{
    const QList<Block> found = blocks(openTag);
    for (const Block& b : found) {
        if (b.close >= 0) {
            m_lines.insertLine(b.close, entry);
            return;
        }
    }
    if (!found.isEmpty()) {
        m_lines.appendLine(entry);
        return;
    }
    m_lines.appendLines({ openTag, entry, SettingsLines::closingTag(openTag) });
}

void ModeRules::removeFromBlock(const QString& openTag, const QString& entry, int occurrence)
{
    const QStringList& lines = m_lines.lines();
    qsizetype target = -1;
    int seen = 0;
    for (const Block& b : blocks(openTag)) {
        const qsizetype end = b.close < 0 ? lines.size() : b.close;
        for (qsizetype i = b.open + 1; i < end; ++i) {
            if (lines.at(i) != entry)
                continue;
            target = i;
            if (seen++ == occurrence)
                break;
        }
        if (seen > occurrence)
            break;
    }
    if (target >= 0)
        m_lines.removeLine(target);
}

void ModeRules::removeRows(QStringListModel& model, const QString& openTag, QList<int> rows)
{
    QStringList list = model.stringList();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= list.size())
            continue;
        const QString entry = list.at(row);
        const int occurrence = static_cast<int>(std::count(list.begin(), list.begin() + row, entry));
        removeFromBlock(openTag, entry, occurrence);
        list.removeAt(row);
    }
    model.setStringList(list);
}
