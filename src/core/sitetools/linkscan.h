#pragma once

#include <QList>
#include <QString>

// Reading the links of an HTML page as a home-page author's checker does: no HTML parser, but
// the keywords "src", "href" and "url" wherever they stand, so links in scripts and style blocks
// are found too. Every function is pure and total over hostile text. The cases are the tables
// of tests/core/sitetools/tst_linkscan.cpp.
namespace LinkScan {

// The text with every HTML comment ("<!--" through "-->") replaced by as many blanks, so
// positions found in it are positions in the text. A "<!--" inside a style or script block
// opens no comment; a comment left open runs to the end of the text.
QString BlankOutComments(const QString& text);

struct Value {
    QString text; // empty: no link here
    qsizetype start = -1; // where the value stands in the searched text
    qsizetype length = 0;
};

// The value that follows a keyword ending at `start`. With the delimiter "(" (the "url"
// keyword) it is what stands between "(" and ")", blanks and quotes inside trimmed. Otherwise
// it is an attribute value: double or single quoted, or unquoted after "=". Only blanks and
// one "=" may stand between the keyword and the value, so the word "href" in running text
// gives nothing. A value containing "mailto" (any case) gives nothing.
Value ExtractLinkValue(const QString& text, qsizetype start, QChar delimiter);

struct PageLink {
    QString value; // as written in the page ("&quot;" read as a double quote)
    qsizetype start = 0; // position in the page text as given, for colouring
    qsizetype length = 0;
};

// The links of a page in the order of the keywords "src", "href", "url", each keyword's from
// the start of the text; comments are left out, "&quot;" works like a double quote.
QList<PageLink> pageLinks(const QString& pageText);

// A link that names a scheme ("http:", "javascript:", ...) rather than a file.
bool hasScheme(const QString& link);
// A link a browser would fetch from the web: an http or https URL, or "//host/...".
bool isWebLink(const QString& link);

// "%xx" escapes decoded: each run of escapes as UTF-8 when its bytes are valid UTF-8, else as
// CP932. A "%" that starts no escape, and an escape giving a NUL, stay as written.
QString decodePercent(const QString& text);

// The folder `relative` names from `baseFolder` ("/"-separated, absolute): "." and empty parts
// dropped, each ".." drops one folder but never goes above "/". A leading "/" is taken from the
// base too, as the checked pages' folder stands for the site's root.
QString resolvePath(const QString& baseFolder, const QString& relative);

struct Target {
    QString path; // the file's full path; empty for a link to an anchor of the page itself
    QString anchor; // the part after "#", decoded; empty when none
    bool hasAnchor = false;
};

// The file a browser would open for a link of a page in `baseFolder`: "\" read as "/", the query
// ("?x=1") cut off, "&amp;" read as "&", "%xx" decoded, then resolved with resolvePath.
Target resolveLink(const QString& baseFolder, const QString& link);

// Whether the page holds the anchor: an "a" tag with name="name", or any tag with id="name"
// (compared without regard to case, comments left out).
bool hasAnchor(const QString& pageText, const QString& name);

// "html" and "htm" files, in any case.
bool isHtmlName(const QString& name);

} // namespace LinkScan
