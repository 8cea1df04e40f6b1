#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <functional>

struct ListingRecord;
struct RemoteEntry;

// The parser of the text a raw "LIST" returns, filling the server side of the listing record.
// Its rules are the program's own:
//
// - A line is split at runs of blanks into fields 0..u.
// - 3 <= u < 8: DOS style ("08-05-04  09:30PM  <DIR>  images"); u >= 8: Unix style
//   ("-rw-r--r-- 1 owner group 1234 Aug  5  2003 index.html"); shorter lines are skipped.
// - Unix entries whose permissions do not begin with "-" (folders and links) are folders.
// - `serverTimesAsLocal` moves times given in GMT to Japanese time: the hour + 9, and past midnight the day
//   + 1 without carrying into the month ("01-31 23:30" becomes "01-32 08:30").
// - A Unix time without a year belongs to `today`'s year, or to the year before when its month
//   is later than `today`'s month.
// - RemoteTotalKB adds size / 1024 of every Unix-style entry only.
//
// Where the old rules gave wrong or unsafe results this parser differs (tests name each case):
// - The month abbreviations ("Jan" to "Dec") are read in the month field only. The old rule
//   replaced them in the whole text, so "Jan.html" was listed as "01.html" and the owner
//   "Mayumi" as "05umi": files that could then not be fetched or deleted by that name.
// - Names are taken from the line as they stand: one blank after the time or year parts them
//   from it, and blanks inside a name stay ("my  page.html" is not "my page.html").
// - The first line is parsed like the others. The old rule never read it, taking it for the
//   "total n" line, but most servers send none and their first entry vanished; a total line
//   has too few fields to be an entry anyway.
// - A line whose date, time or size fields do not hold the digits the rules read is skipped as a
//   whole: such a line comes from a layout the rules do not know, so its name would be a wrong
//   field too. Lines longer than 64 KiB are skipped.
// - Entries whose name, trimmed, is "", "." or ".." are skipped: they are not files of the
//   folder, and a download or delete of them would reach the folder itself or its parent. No
//   name holds "/" (every "/" becomes a blank).
// - A link lists "name -> target"; only the name is kept.
// - A DOS-style name keeps its blanks ("my page.htm", not "my"); "12:15PM" is 12:15 and
//   "12:15AM" 00:15; a four-digit DOS year is taken as it is.
// - Lines end at LF with an optional CR before it, so servers that end lines with LF alone are
//   listed too.
// - Dates are always "yyyy-mm-dd hh:mm" with two-digit fields (the GMT rule included).
//
// Linear in the length of the text.

// Hands each entry of `text` to `take`, in listing order; returns their kilobytes.
qint64 ParseDirList(
    QStringView text, bool serverTimesAsLocal, QDate today, const std::function<void(RemoteEntry&&)>& take);

// Appends the rows of the entries of `text` to record.Remote and their kilobytes to
// record.RemoteTotalKB.
void ParseDirList(QStringView text, bool serverTimesAsLocal, QDate today, ListingRecord& record);

// The text up to its first NUL character, without leading and trailing blanks (U+0020 only:
// line ends stay).
QString TrimAtNul(QStringView text);
