#include "core/ftp/engine/listingparsers.h"

#include <QList>
#include <QTimeZone>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool allDigits(QByteArrayView s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (!isDigit(c))
            return false;
    return true;
}

// A decimal number of at most 18 digits.
std::optional<qint64> toNumber(QByteArrayView s)
{
    if (!allDigits(s) || s.size() > 18)
        return std::nullopt;
    qint64 v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}

int monthNumber(QByteArrayView s)
{
    static const char* const names[]
        = { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec" };
    if (s.size() < 3)
        return 0;
    const QByteArray lower = s.toByteArray().toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower.startsWith(names[i]) && (lower.size() == 3 || (lower.size() == 4 && lower[3] == '.')))
            return i + 1;
    }
    return 0;
}

struct Token {
    qsizetype start;
    qsizetype end;
};

QList<Token> tokenize(QByteArrayView line, int maxTokens)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < line.size() && tokens.size() < maxTokens) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        const qsizetype start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        tokens.append({ start, i });
    }
    return tokens;
}

// "HH:MM" or "H:MM" (optionally ":SS").
bool parseTime(QByteArrayView s, int* hour, int* minute)
{
    const qsizetype colon = s.indexOf(':');
    if (colon < 1 || colon > 2 || s.size() < colon + 3)
        return false;
    const auto h = toNumber(s.first(colon));
    const auto m = toNumber(s.sliced(colon + 1, 2));
    if (!h || !m || *h > 23 || *m > 59)
        return false;
    if (s.size() != colon + 3 && !(s.size() == colon + 6 && s[colon + 3] == ':' && allDigits(s.sliced(colon + 4))))
        return false;
    *hour = int(*h);
    *minute = int(*m);
    return true;
}

QDateTime utc(QDate date, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(date, QTime(hour, minute, second), Qt::UTC);
}

// The name after the date column: exactly one blank separates it, further blanks belong to it.
QByteArray nameAfter(QByteArrayView line, qsizetype end)
{
    if (end < line.size() && isBlank(line[end]))
        ++end;
    return line.sliced(end).toByteArray();
}

std::optional<ListingEntry> finish(ListingEntry entry)
{
    if (!ListingParsers::isAcceptableName(entry.name))
        return std::nullopt;
    return entry;
}

std::optional<ListingEntry> parseUnix(QByteArrayView line, QDate today)
{
    const QList<Token> tokens = tokenize(line, 12);
    auto tok = [&](int i) { return line.sliced(tokens[i].start, tokens[i].end - tokens[i].start); };
    if (tokens.size() < 4)
        return std::nullopt;
    const QByteArrayView perms = tok(0);
    if (perms.size() < 10 || !QByteArrayView("-dlbcpsDn").contains(perms[0]))
        return std::nullopt;
    for (qsizetype i = 1; i < 10; ++i)
        if (!QByteArrayView("-rwxsStTlL").contains(perms[i]))
            return std::nullopt;

    // Find the date: "Mon DD HH:MM|YYYY" after a numeric size, or "YYYY-MM-DD HH:MM".
    for (int m = 2; m + 1 < tokens.size(); ++m) {
        ListingEntry entry;
        QDate date;
        int hour = 0, minute = 0;
        qsizetype nameStart = -1;
        const int month = monthNumber(tok(m));
        if (month > 0 && m + 2 < tokens.size()) {
            const auto day = toNumber(tok(m + 1));
            if (!day || *day < 1 || *day > 31)
                continue;
            const QByteArrayView third = tok(m + 2);
            if (third.size() == 4 && allDigits(third)) {
                date = QDate(int(*toNumber(third)), month, int(*day));
            } else if (parseTime(third, &hour, &minute)) {
                int year = today.year();
                date = QDate(year, month, int(*day));
                if (!date.isValid() || date > today.addDays(1))
                    date = QDate(year - 1, month, int(*day));
            } else {
                continue;
            }
            nameStart = tokens[m + 2].end;
        } else if (tok(m).size() == 10 && tok(m)[4] == '-' && tok(m)[7] == '-' && m + 1 < tokens.size()) {
            const QByteArrayView d = tok(m);
            const auto y = toNumber(d.first(4));
            const auto mo = toNumber(d.sliced(5, 2));
            const auto dd = toNumber(d.sliced(8, 2));
            if (!y || !mo || !dd || !parseTime(tok(m + 1), &hour, &minute))
                continue;
            date = QDate(int(*y), int(*mo), int(*dd));
            nameStart = tokens[m + 1].end;
        } else {
            continue;
        }
        const auto size = toNumber(tok(m - 1));
        if (!size || !date.isValid())
            continue;
        entry.size = *size;
        entry.time = utc(date, hour, minute);
        entry.isFolder = perms[0] == 'd' || perms[0] == 'D';
        entry.isLink = perms[0] == 'l';
        entry.name = nameAfter(line, nameStart);
        if (entry.isLink) {
            const qsizetype arrow = entry.name.indexOf(" -> ");
            if (arrow > 0)
                entry.name.truncate(arrow);
        }
        if (entry.isFolder)
            entry.size = 0;
        return finish(entry);
    }
    return std::nullopt;
}

std::optional<ListingEntry> parseDos(QByteArrayView line)
{
    const QList<Token> tokens = tokenize(line, 3);
    if (tokens.size() < 3)
        return std::nullopt;
    auto tok = [&](int i) { return line.sliced(tokens[i].start, tokens[i].end - tokens[i].start); };
    const QByteArrayView d = tok(0);
    // MM-DD-YY or MM-DD-YYYY (also with "/").
    if ((d.size() != 8 && d.size() != 10) || (d[2] != '-' && d[2] != '/') || d[5] != d[2])
        return std::nullopt;
    const auto mo = toNumber(d.first(2));
    const auto dd = toNumber(d.sliced(3, 2));
    const auto yy = toNumber(d.sliced(6));
    if (!mo || !dd || !yy)
        return std::nullopt;
    int year = int(*yy);
    if (d.size() == 8)
        year += year > 50 ? 1900 : 2000;
    const QDate date(year, int(*mo), int(*dd));
    QByteArrayView t = tok(1);
    int hour = 0, minute = 0;
    bool pm = false, am = false;
    if (t.size() > 2 && (t.endsWith("PM") || t.endsWith("pm") || t.endsWith("AM") || t.endsWith("am"))) {
        pm = t.endsWith("PM") || t.endsWith("pm");
        am = !pm;
        t.chop(2);
    }
    if (!date.isValid() || !parseTime(t, &hour, &minute))
        return std::nullopt;
    if ((am || pm) && (hour < 1 || hour > 12))
        return std::nullopt;
    if (pm && hour != 12)
        hour += 12;
    if (am && hour == 12)
        hour = 0;

    // The third column is "<DIR>" or the size; the name follows.
    qsizetype i = tokens[1].end;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    qsizetype sizeEnd = i;
    while (sizeEnd < line.size() && !isBlank(line[sizeEnd]))
        ++sizeEnd;
    const QByteArrayView third = line.sliced(i, sizeEnd - i);
    ListingEntry entry;
    if (third.compare("<DIR>", Qt::CaseInsensitive) == 0) {
        entry.isFolder = true;
    } else {
        // Some servers group digits with commas.
        QByteArray digits = third.toByteArray();
        digits.replace(",", "");
        const auto size = toNumber(digits);
        if (!size)
            return std::nullopt;
        entry.size = *size;
    }
    if (sizeEnd >= line.size())
        return std::nullopt;
    // IIS pads "<DIR>" with blanks up to the name column; a size is followed by one blank.
    qsizetype nameStart = sizeEnd;
    if (entry.isFolder) {
        while (nameStart < line.size() && isBlank(line[nameStart]))
            ++nameStart;
    } else {
        ++nameStart;
    }
    entry.name = line.sliced(nameStart).toByteArray();
    entry.time = utc(date, hour, minute);
    return finish(entry);
}

// A unique fact is short printable text; anything else is ignored rather than trusted as identity.
bool isUniqueValue(QByteArrayView value)
{
    if (value.isEmpty() || value.size() > 128)
        return false;
    for (char c : value)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

// "fact=value;...; name" of MLSD and MLST. `type` gets the type fact in lower case; a line
// without one is no entry.
std::optional<ListingEntry> parseFacts(QByteArrayView line, QByteArray* type)
{
    if (line.size() > 64 * 1024)
        return std::nullopt;
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return std::nullopt;
    const QByteArrayView facts = line.first(space);
    ListingEntry entry;
    entry.name = line.sliced(space + 1).toByteArray();
    bool haveType = false;
    qsizetype pos = 0;
    while (pos < facts.size()) {
        qsizetype end = facts.indexOf(';', pos);
        if (end < 0)
            end = facts.size();
        const QByteArrayView fact = facts.sliced(pos, end - pos);
        pos = end + 1;
        const qsizetype eq = fact.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = fact.first(eq).toByteArray().toLower();
        const QByteArrayView value = fact.sliced(eq + 1);
        if (key == "type") {
            *type = value.toByteArray().toLower();
            haveType = true;
            entry.isFolder = *type == "dir";
            entry.isLink = type->startsWith("os.unix=slink") || type->startsWith("os.unix=symlink");
        } else if (key == "size" || (key == "sizd" && entry.size == 0)) {
            if (const auto size = toNumber(value))
                entry.size = *size;
        } else if (key == "unique") {
            if (isUniqueValue(value))
                entry.unique = value.toByteArray();
        } else if (key == "modify") {
            // YYYYMMDDHHMMSS[.sss], always UTC.
            if (value.size() >= 14 && allDigits(value.first(14))) {
                const QDate date(int(*toNumber(value.first(4))), int(*toNumber(value.sliced(4, 2))),
                    int(*toNumber(value.sliced(6, 2))));
                const int h = int(*toNumber(value.sliced(8, 2)));
                const int mi = int(*toNumber(value.sliced(10, 2)));
                const int s = int(*toNumber(value.sliced(12, 2)));
                if (date.isValid() && h < 24 && mi < 60 && s < 61)
                    entry.time = utc(date, h, mi, qMin(s, 59));
            }
        }
    }
    if (!haveType)
        return std::nullopt;
    if (entry.isFolder)
        entry.size = 0;
    return entry;
}

} // namespace

namespace ListingParsers {

bool isAcceptableName(QByteArrayView name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (char c : name)
        if (c == '/' || c == '\0' || c == '\r' || c == '\n')
            return false;
    return true;
}

std::optional<ListingEntry> parseMlsdLine(QByteArrayView line)
{
    QByteArray type;
    std::optional<ListingEntry> entry = parseFacts(line, &type);
    if (!entry || type == "cdir" || type == "pdir")
        return std::nullopt;
    return finish(*entry);
}

std::optional<ListingEntry> parseMlstLine(QByteArrayView line)
{
    QByteArray type;
    std::optional<ListingEntry> entry = parseFacts(line, &type);
    if (entry && (type == "cdir" || type == "pdir"))
        entry->isFolder = true;
    return entry;
}

std::optional<ListingEntry> parseListLine(QByteArrayView line, QDate today)
{
    if (line.size() > 64 * 1024)
        return std::nullopt;
    while (!line.isEmpty() && (line.back() == '\r' || line.back() == '\n'))
        line.chop(1);
    if (line.isEmpty())
        return std::nullopt;
    if (isDigit(line[0]))
        return parseDos(line);
    return parseUnix(line, today);
}

} // namespace ListingParsers
