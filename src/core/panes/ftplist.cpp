#include "core/panes/ftplist.h"

#include "core/app/itemroles.h"
#include "core/panes/entrytexts.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"

#include <algorithm>

PaneListModel::Row ftpListRow(const RemoteEntry& e)
{
    // Listings of old servers give 0 for a folder.
    const bool isFolder = e.kind == 16 || e.kind == 0;
    static const QString folderType = AttributeText(16);
    static const QString fileType = AttributeText(32);
    const QString type = e.kind == 16 ? folderType : e.kind == 32 ? fileType : AttributeText(quint32(e.kind));
    const QString sizeText = !isFolder && e.size ? ftpSizeText(*e.size) : QString();
    return PaneListModel::Row(
        isFolder ? IconKeys::Closed : IconKeys::Leaf, { e.name, sizeText, type, e.date, e.permissions, e.owner });
}

std::optional<FtpListSummary> FillFtpList(ListingRecord& record, PaneListModel& fileList)
{
    record.FileCount = 0;
    record.FolderCount = 0;
    std::vector<PaneListModel::Row> rows = std::move(record.Remote);
    record.Remote = {};
    if (rows.empty()) {
        fileList.replaceRows({});
        return std::nullopt;
    }
    for (const PaneListModel::Row& row : rows)
        ++(row.iconKey() == IconKeys::Leaf ? record.FileCount : record.FolderCount);
    // OrderFtpList's work, done before the rows exist so the view sees one reset.
    std::stable_partition(
        rows.begin(), rows.end(), [](const PaneListModel::Row& row) { return row.iconKey() != IconKeys::Leaf; });
    fileList.replaceRows(std::move(rows));
    return FtpListSummary { QStringLiteral("ﾌｫﾙﾀﾞｰ数:") + signedNumberText(record.FolderCount),
        QStringLiteral("ﾌｧｲﾙ数:") + signedNumberText(record.FileCount),
        QStringLiteral("ｻｲｽﾞ:") + signedNumberText(record.RemoteTotalKB) + QStringLiteral("Kb") };
}

void OrderFtpList(PaneListModel& fileList) { fileList.orderFoldersFirst(); }
