#include "core/workspace/schedulerecords.h"

#include <QRegularExpression>

namespace ScheduleRecords {

namespace {

    const QString CloseTag = QStringLiteral("</Session>");
    const QString SessionPrefix = QStringLiteral("<Session");
    constexpr int TimeLength = 16;

    // Every text between `open` and the next `close`, in order.
    QStringList enclosed(const QString& piece, const QString& open, const QString& close)
    {
        QStringList out;
        qsizetype from = 0;
        while (true) {
            const qsizetype start = piece.indexOf(open, from);
            if (start < 0)
                break;
            const qsizetype end = piece.indexOf(close, start + open.size());
            if (end < 0)
                break;
            out.append(piece.mid(start + open.size(), end - start - open.size()));
            from = end + close.size();
        }
        return out;
    }

    // The next opening tag ("<Session>" or "<Session End>") at or after `from`, with its length.
    qsizetype nextOpening(const QString& text, qsizetype from, qsizetype* tagLength)
    {
        for (qsizetype at = text.indexOf(SessionPrefix, from); at >= 0;
             at = text.indexOf(SessionPrefix, at + SessionPrefix.size())) {
            if (QStringView(text).mid(at).startsWith(OpenTag)) {
                *tagLength = OpenTag.size();
                return at;
            }
            if (QStringView(text).mid(at).startsWith(DoneTag)) {
                *tagLength = DoneTag.size();
                return at;
            }
        }
        return -1;
    }

} // namespace

QString timeText(const QDateTime& when) { return when.toString(QStringLiteral("yyyy-MM-dd HH:mm")); }

QStringList timeBoxes(const QDateTime& when)
{
    return { when.toString(QStringLiteral("yyyy")), when.toString(QStringLiteral("MM")),
        when.toString(QStringLiteral("dd")), when.toString(QStringLiteral("HH")), when.toString(QStringLiteral("mm")) };
}

QString timeFromBoxes(const QStringList& boxes)
{
    const auto box = [&boxes](int i) { return i < boxes.size() ? boxes.at(i) : QString(); };
    return box(0) + u'-' + box(1) + u'-' + box(2) + u' ' + box(3) + u':' + box(4);
}

QString fixTimeBox(int index, const QString& text, const QDateTime& now)
{
    QString box = text.trimmed();
    if (index == 0) {
        if (box.size() < 4)
            box = timeText(now).left(4);
        return box;
    }
    if (box.isEmpty())
        return QStringLiteral("1");
    if (box.size() == 1)
        box.prepend(u'0');
    return box;
}

QString actionName(Action action)
{
    switch (action) {
    case Action::Upload:
        return QStringLiteral("Upload");
    case Action::Download:
        return QStringLiteral("Download");
    case Action::None:
        break;
    }
    return QString();
}

QString recordText(
    const QString& profile, const QString& time, const QStringList& sources, const QString& destination, Action action)
{
    if (sources.isEmpty())
        return QString();
    QString text = OpenTag + u'\n';
    text += QStringLiteral("   <Provider>") + profile + QStringLiteral("</Provider>\n");
    text += QStringLiteral("   <Time>") + time + QStringLiteral("</Time>\n");
    for (const QString& source : sources) {
        text += QStringLiteral("       <From>") + source + QStringLiteral("</From>\n");
        text += QStringLiteral("       <To>") + destination + QStringLiteral("</To>\n");
    }
    text += QStringLiteral("     <Action>") + actionName(action) + QStringLiteral("</Action>\n");
    text += CloseTag + u'\n';
    return text;
}

QList<Piece> pieces(const QString& text)
{
    QList<Piece> out;
    qsizetype tagLength = 0;
    qsizetype at = nextOpening(text, 0, &tagLength);
    while (at >= 0) {
        const bool done = tagLength == DoneTag.size();
        const qsizetype start = at + tagLength;
        qsizetype nextLength = 0;
        const qsizetype next = nextOpening(text, start, &nextLength);
        // A record ends with its own closing tag: what follows it (a done record, notes) is no
        // part of it. One without a closing tag runs to the next record.
        const qsizetype close = text.indexOf(CloseTag, start);
        qsizetype end = next < 0 ? text.size() : next;
        if (close >= 0 && close < end)
            end = close + CloseTag.size();
        const QString body = text.mid(start, end - start);
        if (!body.trimmed().isEmpty())
            out.append({ body, done });
        at = next;
        tagLength = nextLength;
    }
    return out;
}

QString recordTime(const QString& piece)
{
    const qsizetype tag = piece.indexOf(QStringLiteral("<Time>"));
    const QString raw = tag >= 0 ? piece.mid(tag + 6, TimeLength) : piece.mid(5, TimeLength);
    static const QRegularExpression yearFirst(QStringLiteral(R"(^[0-9*]{4}-[0-9*]{2}-[0-9*]{2} [0-9*]{2}:[0-9*]{2}$)"));
    static const QRegularExpression monthFirst(
        QStringLiteral(R"(^([0-9*]{2})-([0-9*]{2})-([0-9*]{4}) ([0-9*]{2}):([0-9*]{2})$)"));
    if (yearFirst.match(raw).hasMatch())
        return raw;
    if (const QRegularExpressionMatch m = monthFirst.match(raw); m.hasMatch())
        return m.captured(3) + u'-' + m.captured(1) + u'-' + m.captured(2) + u' ' + m.captured(4) + u':'
            + m.captured(5);
    return QString();
}

bool isDue(const QString& piece, const QDateTime& now)
{
    const QString time = recordTime(piece);
    if (time.size() != TimeLength)
        return false;
    QString current = timeText(now);
    if (current.size() != TimeLength)
        return false;
    for (qsizetype i = 0; i < TimeLength; ++i)
        if (time.at(i) == u'*')
            current[i] = u'*';
    return time <= current;
}

QString profileOf(const QString& piece)
{
    const QStringList found = enclosed(piece, QStringLiteral("<Provider>"), QStringLiteral("</Provider>"));
    return found.isEmpty() ? QString() : found.first();
}

QStringList sourcesOf(const QString& piece)
{
    return enclosed(piece, QStringLiteral("<From>"), QStringLiteral("</From>"));
}

QStringList destinationsOf(const QString& piece)
{
    return enclosed(piece, QStringLiteral("<To>"), QStringLiteral("</To>"));
}

Action actionOf(const QString& piece)
{
    const qsizetype tag = piece.indexOf(QStringLiteral("<Action>"));
    if (tag < 0)
        return Action::None;
    const QStringView after = QStringView(piece).mid(tag + 8);
    if (after.startsWith(u"Upload"))
        return Action::Upload;
    if (after.startsWith(u"Download"))
        return Action::Download;
    return Action::None;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash);
}

QString nameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString markDone(const QString& text, const QString& piece)
{
    if (piece.isEmpty())
        return text;
    QString out = text;
    out.replace(OpenTag + piece, DoneTag + piece);
    return out;
}

QString takeOverMarks(const QString& text, const QString& other)
{
    QString out = text;
    for (const Piece& piece : pieces(other))
        if (piece.done)
            out = markDone(out, piece.body);
    return out;
}

bool hasPending(const QString& text)
{
    for (const Piece& piece : pieces(text))
        if (!piece.done)
            return true;
    return false;
}

} // namespace ScheduleRecords
