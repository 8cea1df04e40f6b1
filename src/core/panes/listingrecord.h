#pragma once

#include "core/panes/panelistmodel.h"

#include <QString>
#include <optional>
#include <vector>

// File attribute bits of a local entry, with the first platform's numbering so the texts and
// the rules of every pane keep their meaning.
namespace FileAttribute {
inline constexpr quint32 ReadOnly = 1; // not writable by the user
inline constexpr quint32 Hidden = 2; // the name begins with "."
inline constexpr quint32 System = 4; // neither a regular file nor a folder: device, socket, pipe
inline constexpr quint32 Folder = 16;
inline constexpr quint32 File = 32; // an ordinary file
inline constexpr quint32 Encrypted = 64;
inline constexpr quint32 Temporary = 256;
inline constexpr quint32 Sparse = 512;
inline constexpr quint32 Link = 1024; // a symbolic link; the other bits describe its target
inline constexpr quint32 Compressed = 2048;
}

// One entry of a local folder listing.
struct LocalEntry {
    QString name;
    quint32 attributes = 0;
    qint64 size = 0; // bytes, the whole 64 bits
    qint64 modified = 0; // last write, milliseconds since the epoch, UTC
};

// One entry of a server listing, as the listing parser gives it.
struct RemoteEntry {
    QString name;
    int kind = 32; // 16 folder, 32 file (0 is taken for a folder, as listings of old servers give it)
    std::optional<qint64> size; // bytes; none for a folder of a DOS-style listing
    QString date; // "yyyy-mm-dd", optionally followed by a blank and "hh:mm"
    QString permissions; // Unix-style listings only, without the type character
    QString owner; // "owner/group" (Unix-style) or empty
};

// The listing record both lists are filled from: the last local walk and the last server
// listing, each in listing order. A local walk empties the server side too, so the server
// folder must be listed again before the server list is filled from it. The server side is
// kept as the rows of the server list already: a listing of 200,000 entries is held once, and
// filling the list moves it there.
struct ListingRecord {
    std::vector<LocalEntry> Local;
    std::vector<PaneListModel::Row> Remote;

    // Shown in the status bar after a server listing; transfers reuse the two counts.
    qint32 FolderCount = 0;
    qint32 FileCount = 0;
    qint64 RemoteTotalKB = 0;

    void ClearListings()
    {
        Local.clear();
        Remote.clear();
    }
};
