#include "core/panes/entrytexts.h"

#include "core/panes/listingrecord.h"

#include <ctime>

namespace {

// Writes `value` as exactly `width` digits (a wider value keeps all its digits).
void appendDigits(QString& out, qint64 value, int width)
{
    if (value < 0) {
        out += QLatin1Char('-');
        value = -value;
    }
    char buf[24];
    int len = 0;
    do {
        buf[len++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = len; i < width; ++i)
        out += QLatin1Char('0');
    while (len > 0)
        out += QLatin1Char(buf[--len]);
}

QString dateText(int year, int month, int day)
{
    QString out;
    out.reserve(16);
    appendDigits(out, year, 4);
    out += QLatin1Char('-');
    appendDigits(out, month, 2);
    out += QLatin1Char('-');
    appendDigits(out, day, 2);
    return out;
}

} // namespace

QString AttributeText(quint32 attributes)
{
    QString text;
    if (attributes & FileAttribute::Folder)
        text = QStringLiteral("<DIR>");
    if (text.isEmpty())
        text = QStringLiteral("ﾌｧｲﾙ");
    static const struct {
        quint32 bit;
        const char16_t* word;
    } words[] = {
        { FileAttribute::ReadOnly, u"読込専用" },
        { FileAttribute::Hidden, u"隠し" },
        { FileAttribute::System, u"ｼｽﾃﾑ" },
        { FileAttribute::Encrypted, u"暗号" },
        { FileAttribute::Temporary, u"TEMP" },
        { FileAttribute::Sparse, u"ｽｰﾊﾟｰﾌｧｲﾙ" },
        { FileAttribute::Link, u"ﾘﾊﾟｰｽ" },
        { FileAttribute::Compressed, u"圧縮" },
    };
    for (const auto& w : words) {
        if (attributes & w.bit)
            text += QString::fromUtf16(w.word);
    }
    return text;
}

QString PadZero(int n)
{
    QString out;
    appendDigits(out, n, 2);
    return out;
}

qint64 kilobytesHalfEven(qint64 size)
{
    const bool negative = size < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(size) : quint64(size);
    quint64 q = magnitude / 1024;
    const quint64 r = magnitude % 1024;
    if (r > 512 || (r == 512 && (q & 1)))
        ++q;
    return negative ? -qint64(q) : qint64(q);
}

QString localSizeText(qint64 size)
{
    QString digits;
    appendDigits(digits, kilobytesHalfEven(size) + 1, 1);
    digits += QStringLiteral(" KB");
    return digits.rightJustified(10, QLatin1Char(' '));
}

QString signedNumberText(qint64 n)
{
    QString out;
    if (n >= 0)
        out += QLatin1Char(' ');
    appendDigits(out, n, 1);
    return out;
}

QString ftpSizeText(qint64 size)
{
    qint64 kb = kilobytesHalfEven(size);
    if (kb == 0)
        kb = 1;
    return signedNumberText(kb) + QStringLiteral(" KB");
}

QString localDateText(qint64 msecsSinceEpoch)
{
    // localtime_r instead of QDateTime: a listing of 100,000 files converts as many times,
    // and the C library keeps the zone rules loaded between calls.
    qint64 secs = msecsSinceEpoch / 1000;
    if (msecsSinceEpoch < 0 && msecsSinceEpoch % 1000 != 0)
        --secs;
    const std::time_t t = static_cast<std::time_t>(secs);
    std::tm tm {};
    if (!localtime_r(&t, &tm))
        return QString();
    QString out = dateText(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    out += QLatin1Char(' ');
    appendDigits(out, tm.tm_hour, 2);
    out += QLatin1Char(':');
    appendDigits(out, tm.tm_min, 2);
    return out;
}

QString ftpDateText(int year, int month, int day, std::optional<int> hour, std::optional<int> minute)
{
    QString out = dateText(year, month, day);
    if (hour && minute) {
        out += QLatin1Char(' ');
        appendDigits(out, *hour, 2);
        out += QLatin1Char(':');
        appendDigits(out, *minute, 2);
    }
    return out;
}
