#include "core/panes/ftplist.h"

#include "core/panes/entrytexts.h"
#include "core/app/itemroles.h"
#include "core/panes/listingrecord.h"
#include "core/panes/panelistmodel.h"

#include <algorithm>

std::optional<FtpListSummary> FillFtpList(ListingRecord& record, PaneListModel& fileList)
{
    record.FileCount = 0;
    record.FolderCount = 0;
    if (record.Remote.empty()) {
        fileList.replaceRows({});
        return std::nullopt;
    }
    std::vector<PaneListModel::Row> rows;
    rows.reserve(record.Remote.size());
    for (const RemoteEntry& e : record.Remote) {
        // Listings of old servers give 0 for a folder.
        const bool isFolder = e.kind == 16 || e.kind == 0;
        auto* name = new QStandardItem(e.name);
        name->setData(isFolder ? IconKeys::Closed : IconKeys::Leaf, ItemRoles::IconKeyRole);
        QString sizeText;
        if (isFolder) {
            ++record.FolderCount;
        } else {
            ++record.FileCount;
            if (e.size)
                sizeText = ftpSizeText(*e.size);
        }
        rows.push_back({ name, new QStandardItem(sizeText), new QStandardItem(AttributeText(quint32(e.kind))),
            new QStandardItem(e.date), new QStandardItem(e.permissions), new QStandardItem(e.owner) });
    }
    // OrderFtpList's work, done before the rows exist so the view sees one reset.
    std::stable_partition(rows.begin(), rows.end(), [](const PaneListModel::Row& row) {
        return row[0]->data(ItemRoles::IconKeyRole).toString() != IconKeys::Leaf;
    });
    fileList.replaceRows(std::move(rows));
    return FtpListSummary { QStringLiteral("ﾌｫﾙﾀﾞｰ数:") + signedNumberText(record.FolderCount),
        QStringLiteral("ﾌｧｲﾙ数:") + signedNumberText(record.FileCount),
        QStringLiteral("ｻｲｽﾞ:") + signedNumberText(record.RemoteTotalKB) + QStringLiteral("Kb") };
}

void OrderFtpList(PaneListModel& fileList) { fileList.orderFoldersFirst(); }
