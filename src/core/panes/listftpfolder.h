#pragma once

#include "core/app/clock.h"

#include <QString>

class FtpConnection;
struct ListingRecord;

// Lists the server's current folder into the server side of `record` with a raw "LIST" (ASCII,
// through a data connection) and ParseDirList. The record is emptied first (both sides, as
// ClearListings does) and RemoteTotalKB set to 0; it stays empty when the listing fails, and no
// message is shown. The reply is decoded from the server's name encoding (UTF-8 when the server
// announced it, else CP932) line by line as it arrives, cut at a NUL and trimmed of blanks at
// both ends (as TrimAtNul does). That text goes to `rawText` when given (the FTP console shows
// it), empty on failure; past MaxRawTextChars no more lines are added to it.
//
// Returns false when the listing failed: no data connection, a read that failed before the end,
// or a reply longer than 64 MiB (the data connection is then aborted).
inline constexpr qsizetype MaxRawTextChars = 1024 * 1024;

bool ListFtpFolder(FtpConnection& FtpHandle, ListingRecord& record, bool serverTimesAsLocal,
    const Clock& clock = systemNow, QString* rawText = nullptr);
