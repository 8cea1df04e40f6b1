#include "core/panes/dirlistparser.h"

#include "core/panes/entrytexts.h"
#include "core/panes/ftplist.h"
#include "core/panes/listingrecord.h"

#include <vector>

namespace {

// No real listing line comes near this; a longer one is a hostile server's.
constexpr qsizetype MaxLineLength = 64 * 1024;

// 1 to 12 when an English month abbreviation starts at `i`, else 0.
int monthAt(QStringView text, qsizetype i)
{
    static const char16_t names[12][4]
        = { u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec" };
    if (i + 3 > text.size())
        return 0;
    const char16_t c0 = text[i].unicode();
    if (c0 < u'A' || c0 > u'S')
        return 0;
    const char16_t c1 = text[i + 1].unicode();
    const char16_t c2 = text[i + 2].unicode();
    for (int m = 0; m < 12; ++m) {
        if (names[m][0] == c0 && names[m][1] == c1 && names[m][2] == c2)
            return m + 1;
    }
    return 0;
}

// Fields of a line: where each starts in the line and the field itself.
struct Field {
    qsizetype start;
    QStringView text;
};

// The fields of a line split at runs of blanks. Names are taken from the line itself, not from
// the fields, so the blanks inside a name stay as they are.
void splitFields(QStringView line, std::vector<Field>& fields)
{
    fields.clear();
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == u' ')
            ++i;
        const qsizetype start = i;
        while (i < line.size() && line[i] != u' ')
            ++i;
        if (i > start)
            fields.push_back({ start, line.sliced(start, i - start) });
    }
}

// A listing's month: "Aug" or "08".
qint64 monthValue(QStringView text)
{
    if (text.size() == 3)
        return monthAt(text, 0);
    return text.size() == 2 && text[0].isDigit() && text[1].isDigit()
        ? (text[0].unicode() - u'0') * 10 + (text[1].unicode() - u'0')
        : -1;
}

// No name holds "/": a server that lists one is not sent it back as a path.
QString nameText(QStringView name) { return name.toString().replace(u'/', u' '); }

// The value of a text of minDigits to maxDigits ASCII digits, or -1.
qint64 digitsValue(QStringView text, int minDigits, int maxDigits)
{
    if (text.size() < minDigits || text.size() > maxDigits)
        return -1;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

bool inRange(qint64 value, qint64 low, qint64 high) { return value >= low && value <= high; }

// Server times in GMT shown as Japanese time. Past midnight only the day moves, as it always has.
void gmtToJapan(qint64& hour, qint64& day)
{
    hour += 9;
    if (hour >= 24) {
        hour -= 24;
        day += 1;
    }
}

// "-rw-r--r-- 1 owner group 1234 Aug 5 2003 name".
bool parseUnixLine(const std::vector<Field>& f, QStringView line, bool serverTimesAsLocal, QDate today,
    RemoteEntry& entry, qint64& totalKB)
{
    const QStringView permissions = f[0].text;
    const qint64 size = digitsValue(f[4].text, 1, 18);
    const qint64 month = monthValue(f[5].text);
    qint64 day = digitsValue(f[6].text, 1, 2);
    if (permissions.isEmpty() || size < 0 || !inRange(month, 1, 12) || !inRange(day, 1, 31))
        return false;

    const QStringView timeOrYear = f[7].text;
    if (timeOrYear.size() >= 3 && timeOrYear[timeOrYear.size() - 3] == u':') {
        qint64 hour = digitsValue(timeOrYear.first(timeOrYear.size() - 3), 1, 2);
        const qint64 minute = digitsValue(timeOrYear.last(2), 2, 2);
        if (!inRange(hour, 0, 23) || !inRange(minute, 0, 59))
            return false;
        if (serverTimesAsLocal)
            gmtToJapan(hour, day);
        // The month alone decides: a time listed for a later month than today's is last year's.
        const int year = month > today.month() ? today.year() - 1 : today.year();
        entry.date = ftpDateText(year, int(month), int(day), int(hour), int(minute));
    } else {
        const qint64 year = digitsValue(timeOrYear, 4, 4);
        if (year < 0)
            return false;
        entry.date = ftpDateText(int(year), int(month), int(day));
    }

    // One blank parts the time or year from the name; any further blank belongs to the name.
    QStringView name = line.sliced(qMin(line.size(), f[7].start + f[7].text.size() + 1));
    if (permissions.startsWith(u'l')) {
        const qsizetype arrow = name.indexOf(u" -> ");
        if (arrow >= 0)
            name.truncate(arrow);
    }
    entry.name = nameText(name);
    entry.kind = permissions.startsWith(u'-') ? 32 : 16;
    entry.size = size;
    entry.permissions = permissions.sliced(1).toString();
    entry.owner = f[2].text + QLatin1Char('/') + f[3].text;
    totalKB += size / 1024;
    return true;
}

// "08-05-04 09:30PM <DIR> images" or "12-01-98 10:15AM 2048 a.htm".
bool parseDosLine(const std::vector<Field>& f, QStringView line, bool serverTimesAsLocal, RemoteEntry& entry)
{
    const QStringView date = f[0].text;
    if (date.size() != 8 && date.size() != 10)
        return false;
    const qint64 month = digitsValue(date.sliced(0, 2), 2, 2);
    qint64 day = digitsValue(date.sliced(3, 2), 2, 2);
    qint64 year = digitsValue(date.sliced(6), 2, 4);
    if (!inRange(month, 1, 12) || !inRange(day, 1, 31) || year < 0)
        return false;
    if (date.size() == 8)
        year += year > 50 ? 1900 : 2000;

    const QStringView time = f[1].text;
    if ((time.size() != 5 && time.size() != 7) || time[2] != u':')
        return false;
    qint64 hour = digitsValue(time.sliced(0, 2), 2, 2);
    const qint64 minute = digitsValue(time.sliced(3, 2), 2, 2);
    if (!inRange(minute, 0, 59))
        return false;
    const QStringView half = time.sliced(5);
    if (half.isEmpty()) {
        if (!inRange(hour, 0, 23))
            return false;
    } else {
        if ((half != u"AM" && half != u"PM") || !inRange(hour, 1, 12))
            return false;
        // 12:xxAM is just after midnight, 12:xxPM just after noon.
        hour %= 12;
        if (half == u"PM")
            hour += 12;
    }
    if (serverTimesAsLocal)
        gmtToJapan(hour, day);

    if (f[2].text == u"<DIR>") {
        entry.kind = 16;
        entry.size.reset();
    } else {
        const qint64 size = digitsValue(f[2].text, 1, 18);
        if (size < 0)
            return false;
        entry.kind = 32;
        entry.size = size;
    }
    entry.date = ftpDateText(int(year), int(month), int(day), int(hour), int(minute));
    entry.name = nameText(line.sliced(f[3].start));
    entry.permissions.clear();
    entry.owner.clear();
    return true;
}

// Other procedures trim names and paths before use, so " .. " would reach the parent as well.
bool isListableName(const QString& name)
{
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && trimmed != u"." && trimmed != u"..";
}

} // namespace

qint64 ParseDirList(
    QStringView text, bool serverTimesAsLocal, QDate today, const std::function<void(RemoteEntry&&)>& take)
{
    qint64 totalKB = 0;
    std::vector<Field> fields;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf(u'\n', pos);
        if (end < 0)
            end = text.size();
        QStringView raw = text.sliced(pos, end - pos);
        pos = end + 1;
        if (raw.endsWith(u'\r'))
            raw.chop(1);
        if (raw.size() > MaxLineLength)
            continue;
        splitFields(raw, fields);
        const qsizetype u = qsizetype(fields.size()) - 1;
        if (u < 3)
            continue;
        RemoteEntry entry;
        qint64 kilobytes = 0;
        const bool parsed = u < 8 ? parseDosLine(fields, raw, serverTimesAsLocal, entry)
                                  : parseUnixLine(fields, raw, serverTimesAsLocal, today, entry, kilobytes);
        if (!parsed || !isListableName(entry.name))
            continue;
        take(std::move(entry));
        totalKB += kilobytes;
    }
    return totalKB;
}

void ParseDirList(QStringView text, bool serverTimesAsLocal, QDate today, ListingRecord& record)
{
    record.RemoteTotalKB += ParseDirList(
        text, serverTimesAsLocal, today, [&record](RemoteEntry&& e) { record.Remote.push_back(ftpListRow(e)); });
}

QString TrimAtNul(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin).toString();
}
