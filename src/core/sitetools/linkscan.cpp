#include "core/sitetools/linkscan.h"

#include "core/app/codepage.h"

#include <QStringList>

namespace LinkScan {

namespace {

    // Only ASCII is lowered: a full Unicode lowering may change the length, and every position
    // found in the lowered copy must be a position in the text.
    QString asciiLower(const QString& text)
    {
        QString out = text;
        for (QChar& c : out) {
            if (c >= u'A' && c <= u'Z')
                c = QChar(c.unicode() + 32);
        }
        return out;
    }

    bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

    qsizetype skipBlanks(const QString& text, qsizetype i)
    {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        return i;
    }

    // Narrows [start, end) to the text without blanks at either end.
    void trimRange(const QString& text, qsizetype* start, qsizetype* end)
    {
        while (*start < *end && isBlank(text[*start]))
            ++*start;
        while (*end > *start && isBlank(text[*end - 1]))
            --*end;
    }

    Value valueOf(const QString& text, qsizetype start, qsizetype end)
    {
        trimRange(text, &start, &end);
        if (start >= end)
            return {};
        const QString value = text.mid(start, end - start);
        if (value.contains(QLatin1String("mailto"), Qt::CaseInsensitive))
            return {};
        return { value, start, end - start };
    }

    int hexDigit(QChar c)
    {
        if (c >= u'0' && c <= u'9')
            return c.unicode() - u'0';
        if (c >= u'a' && c <= u'f')
            return c.unicode() - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c.unicode() - u'A' + 10;
        return -1;
    }

} // namespace

QString BlankOutComments(const QString& text)
{
    QString out = text;
    const QString lower = asciiLower(text);
    qsizetype pos = 0;
    while (pos < lower.size()) {
        const qsizetype open = lower.indexOf(QLatin1String("<!--"), pos);
        if (open < 0)
            break;
        const qsizetype style = lower.indexOf(QLatin1String("<style"), pos);
        const qsizetype script = lower.indexOf(QLatin1String("<script"), pos);
        qsizetype block = -1;
        QLatin1String blockEnd;
        if (style >= 0 && style < open && (script < 0 || style < script))
            block = style, blockEnd = QLatin1String("</style");
        else if (script >= 0 && script < open)
            block = script, blockEnd = QLatin1String("</script");
        if (block >= 0) {
            const qsizetype end = lower.indexOf(blockEnd, block + 1);
            if (end < 0)
                break;
            pos = end + blockEnd.size();
            continue;
        }
        const qsizetype close = lower.indexOf(QLatin1String("-->"), open + 4);
        const qsizetype end = close < 0 ? lower.size() : close + 3;
        for (qsizetype i = open; i < end; ++i)
            out[i] = u' ';
        pos = end;
    }
    return out;
}

Value ExtractLinkValue(const QString& text, qsizetype start, QChar delimiter)
{
    if (start < 0 || start > text.size())
        return {};
    if (delimiter == u'(') {
        qsizetype i = skipBlanks(text, start);
        if (i < text.size() && text[i] == u'=')
            i = skipBlanks(text, i + 1);
        if (i >= text.size() || text[i] != u'(')
            return {};
        const qsizetype close = text.indexOf(u')', i + 1);
        if (close < 0)
            return {};
        qsizetype from = i + 1, to = close;
        trimRange(text, &from, &to);
        if (to - from >= 2 && (text[from] == u'"' || text[from] == u'\'') && text[to - 1] == text[from])
            ++from, --to;
        return valueOf(text, from, to);
    }
    qsizetype i = skipBlanks(text, start);
    bool equals = false;
    if (i < text.size() && text[i] == u'=') {
        equals = true;
        i = skipBlanks(text, i + 1);
    }
    if (i >= text.size())
        return {};
    if (text[i] == u'"' || text[i] == u'\'') {
        const qsizetype close = text.indexOf(text[i], i + 1);
        return close < 0 ? Value {} : valueOf(text, i + 1, close);
    }
    if (!equals || text[i] == u'>')
        return {};
    qsizetype end = i;
    while (end < text.size() && !isBlank(text[end]) && text[end] != u'>')
        ++end;
    return valueOf(text, i, end);
}

QList<PageLink> pageLinks(const QString& pageText)
{
    // "&quot;" becomes a double quote; `origin` maps each position back to the page text.
    const QString blanked = BlankOutComments(pageText);
    const QString blankedLower = asciiLower(blanked);
    QString text;
    QList<qsizetype> origin;
    text.reserve(blanked.size());
    origin.reserve(blanked.size() + 1);
    for (qsizetype i = 0; i < blanked.size();) {
        if (blanked[i] == u'&' && QStringView(blankedLower).mid(i, 6) == QLatin1String("&quot;")) {
            text += u'"';
            origin.append(i);
            i += 6;
        } else {
            text += blanked[i];
            origin.append(i);
            ++i;
        }
    }
    origin.append(blanked.size());
    const QString lower = asciiLower(text);

    QList<PageLink> links;
    for (const QLatin1String keyword : { QLatin1String("src"), QLatin1String("href"), QLatin1String("url") }) {
        const QChar delimiter = keyword == QLatin1String("url") ? u'(' : u'"';
        for (qsizetype pos = lower.indexOf(keyword); pos >= 0; pos = lower.indexOf(keyword, pos + keyword.size())) {
            const Value v = ExtractLinkValue(text, pos + keyword.size(), delimiter);
            if (v.text.isEmpty())
                continue;
            const qsizetype start = origin[v.start];
            links.append({ v.text, start, origin[v.start + v.length] - start });
        }
    }
    return links;
}

bool hasScheme(const QString& link)
{
    // Two letters at least, so that a drive letter ("c:/") is no scheme.
    qsizetype i = 0;
    while (i < link.size()) {
        const QChar c = link[i];
        const bool ascii = c.unicode() < 128 && c.isLetterOrNumber();
        if (!(ascii && (i > 0 || c.isLetter())) && !(i > 0 && (c == u'+' || c == u'-' || c == u'.')))
            break;
        ++i;
    }
    return i >= 2 && i < link.size() && link[i] == u':';
}

bool isWebLink(const QString& link)
{
    const QString l = link.trimmed();
    return l.startsWith(QLatin1String("http:"), Qt::CaseInsensitive)
        || l.startsWith(QLatin1String("https:"), Qt::CaseInsensitive) || l.startsWith(QLatin1String("//"));
}

QString decodePercent(const QString& text)
{
    if (!text.contains(u'%'))
        return text;
    // The whole text as bytes first, so that an escaped lead byte and a literal trail byte
    // ("%83e" is CP932 "テ") make one character.
    QByteArray bytes;
    bool asciiLiterals = true;
    bool escaped = false;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == u'%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            bytes.append(char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
            escaped = true;
            i += 3;
            continue;
        }
        asciiLiterals = asciiLiterals && text[i].unicode() < 128;
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bytes.append(QStringView(text).mid(i, n).toUtf8());
        i += n;
    }
    if (!escaped || bytes.contains('\0'))
        return text;
    if (Utf8::isValid(bytes))
        return QString::fromUtf8(bytes);
    if (asciiLiterals)
        return Cp932::decode(bytes);
    // Literal non-ASCII beside CP932 escapes: each run of escapes on its own.
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        QByteArray run;
        qsizetype j = i;
        while (j + 2 < text.size() && text[j] == u'%' && hexDigit(text[j + 1]) >= 0 && hexDigit(text[j + 2]) >= 0) {
            run.append(char(hexDigit(text[j + 1]) * 16 + hexDigit(text[j + 2])));
            j += 3;
        }
        if (run.isEmpty()) {
            out += text[i++];
            continue;
        }
        out += Utf8::isValid(run) ? QString::fromUtf8(run) : Cp932::decode(run);
        i = j;
    }
    return out;
}

QString resolvePath(const QString& baseFolder, const QString& relative)
{
    QStringList parts = baseFolder.split(u'/', Qt::SkipEmptyParts);
    const QStringList steps = relative.split(u'/');
    for (const QString& step : steps) {
        if (step.isEmpty() || step == u".")
            continue;
        if (step == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(step);
    }
    return u'/' + parts.join(u'/');
}

Target resolveLink(const QString& baseFolder, const QString& link)
{
    QString file = link.trimmed();
    file.replace(u'\\', u'/');
    Target target;
    const qsizetype hash = file.indexOf(u'#');
    if (hash >= 0) {
        target.hasAnchor = true;
        target.anchor = decodePercent(file.mid(hash + 1));
        file.truncate(hash);
    }
    const qsizetype query = file.indexOf(u'?');
    if (query >= 0)
        file.truncate(query);
    file.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
    if (file.isEmpty())
        return target;
    // Each part on its own, so that an escaped "/" never becomes a separator.
    QStringList parts = file.split(u'/');
    for (QString& part : parts)
        part = decodePercent(part);
    QStringList clean;
    for (const QString& part : std::as_const(parts))
        clean.append(part.contains(u'/') ? QString(part).replace(u'/', QChar(0xFF0F)) : part);
    target.path = resolvePath(baseFolder, clean.join(u'/'));
    return target;
}

bool hasAnchor(const QString& pageText, const QString& name)
{
    if (name.isEmpty())
        return false;
    const QString text = BlankOutComments(pageText);
    const QString lower = asciiLower(text);
    for (qsizetype open = lower.indexOf(u'<'); open >= 0; open = lower.indexOf(u'<', open + 1)) {
        qsizetype i = open + 1;
        const qsizetype nameStart = i;
        while (i < lower.size() && lower[i].isLetterOrNumber())
            ++i;
        const QString tag = lower.mid(nameStart, i - nameStart);
        if (tag.isEmpty())
            continue;
        // Attributes up to the tag's end.
        while (true) {
            i = skipBlanks(lower, i);
            if (i >= lower.size() || lower[i] == u'>' || lower[i] == u'<')
                break;
            const qsizetype attrStart = i;
            while (i < lower.size() && !isBlank(lower[i]) && lower[i] != u'=' && lower[i] != u'>' && lower[i] != u'<')
                ++i;
            const QString attr = lower.mid(attrStart, i - attrStart);
            if (attr.isEmpty()) {
                ++i;
                continue;
            }
            i = skipBlanks(lower, i);
            if (i >= lower.size() || lower[i] != u'=')
                continue;
            const Value v = ExtractLinkValue(text, i, u'"');
            if (v.start < 0) {
                i = skipBlanks(lower, i + 1);
                if (i < lower.size() && (lower[i] == u'"' || lower[i] == u'\''))
                    i = lower.indexOf(lower[i], i + 1) < 0 ? lower.size() : lower.indexOf(lower[i], i + 1) + 1;
                continue;
            }
            i = v.start + v.length + 1;
            if ((attr == u"id" || (attr == u"name" && tag == u"a")) && v.text.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool isHtmlName(const QString& name)
{
    return name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)
        || name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive);
}

} // namespace LinkScan
