#pragma once

#include "core/panes/listingrecord.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// Reads one local folder with the POSIX calls (one directory read, one stat per entry), fast
// enough for folders of 100,000 files. Entries other than "." and ".." are handed to the
// callback in the order the file system gives them; the callback answers false to end the read.
//
// Attributes: 16 folder, 32 ordinary file, 4 anything else (device, socket, pipe), 1024 a
// symbolic link (the other bits, the size and the time then describe its target; a dangling
// link has 1024 alone), 2 a name beginning with ".", 1 when the user's write bit is clear.
struct LocalScanResult {
    int error = 0; // errno of opening or reading the folder, 0 when it was read whole
    QStringList invalidNames; // names that are not valid UTF-8: left out, shown as decoded
};

LocalScanResult scanLocalFolder(const QString& folder, const std::function<bool(LocalEntry&&)>& onEntry);

// Name order as the first platform's file system listed folders: letter case folded, then
// exact, so the order never depends on how the disk happens to store the names.
void sortEntriesByName(std::vector<LocalEntry>& entries);

// Identifies a folder across paths (symbolic links), to walk every real folder of a tree once.
struct FolderIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};
std::optional<FolderIdentity> folderIdentity(const QString& path);
