#pragma once

#include "core/panes/panelistmodel.h"

#include <QString>
#include <optional>

struct ListingRecord;
struct RemoteEntry;

// The server list `fileList` is filled from the server side of the listing record; the FTP
// pane that owns the list calls these.

// The status bar panels 2 to 4 after a fill: "ﾌｫﾙﾀﾞｰ数: n", "ﾌｧｲﾙ数: n", "ｻｲｽﾞ: nKb".
struct FtpListSummary {
    QString folders;
    QString files;
    QString size;
};

// The row of the server list (columns of ftpListHeaders()) that shows `entry`.
PaneListModel::Row ftpListRow(const RemoteEntry& entry);

// Rebuilds `fileList` from the server side of the record, folders first, counting FolderCount
// and FileCount. The rows move into the list: the server side of the record is empty after. Returns the status bar
// texts, or nothing when the record holds no server entry (the list is then empty and the status bar keeps its texts).
// `folder` is the folder the record was read from; the rows do not depend on it.
std::optional<FtpListSummary> FillFtpList(ListingRecord& record, PaneListModel& fileList);

// Folders before files, keeping the order within each group.
void OrderFtpList(PaneListModel& fileList);
