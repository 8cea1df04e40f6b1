#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <optional>

// One entry of a folder listing, the name still in the server's bytes.
struct ListingEntry {
    QByteArray name;
    bool isFolder = false;
    bool isLink = false;
    qint64 size = 0;
    // The MLSD "unique" fact: the same value names the same folder or file on that server, also
    // when reached through a link. Empty when the server gave none.
    QByteArray unique;
    QDateTime time; // UTC for MLSD; the server's clock, taken as UTC, for LIST; invalid when none
};

// The engine's own listing parsers for the find functions. Each takes one line without its line
// end and returns nothing for a line that is not an entry (a "total" line, garbage, the
// entries "." and "..", and names the engine never hands out: empty, holding "/", NUL, CR or
// LF).
namespace ListingParsers {

// RFC 3659 "fact=value;fact=value; name". Entries of type cdir and pdir are dropped.
std::optional<ListingEntry> parseMlsdLine(QByteArrayView line);

// The facts line of an MLST reply (without its leading blank) for a path: any type (cdir and
// pdir are folders), and the name is the path the server gave, unchecked.
std::optional<ListingEntry> parseMlstLine(QByteArrayView line);

// A LIST line in the Unix long style ("-rw-r--r-- 1 owner group 1234 Aug  5  2003 name", also
// without the group, with numeric or ISO dates) or the DOS style of Windows servers
// ("08-05-04  09:30PM  <DIR>  images"). `today` decides the year of Unix dates given with a
// time: a date more than a day after today belongs to the year before.
std::optional<ListingEntry> parseListLine(QByteArrayView line, QDate today);

// A name the engine may return from a listing.
bool isAcceptableName(QByteArrayView name);

} // namespace ListingParsers
