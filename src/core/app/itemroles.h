#pragma once

#include <QString>
#include <Qt>

// Item data shared by every list and tree of both panes. Procedures read and write these
// roles, never the icons: the views draw an icon for the key they find here.
namespace ItemRoles {
// The row's or node's small-icon key, one of the IconKeys below. Folders are told from files
// by it ("leaf" is a file; anything else is a folder).
inline constexpr int IconKeyRole = Qt::UserRole + 1;
// A tree node's key: the folder's (or file's) full path.
inline constexpr int NodeKeyRole = Qt::UserRole + 2;
// A server tree node's last-write time (QDateTime, UTC; invalid when the listing gave none), as
// the walk read it: the folder transfers compare stamps without asking the server again.
inline constexpr int StampRole = Qt::UserRole + 3;
// A server tree node's size in bytes (qint64, 0 when the listing gave none), from the same walk.
inline constexpr int SizeRole = Qt::UserRole + 4;
}

namespace IconKeys {
inline const QString Closed = QStringLiteral("closed"); // a folder (a tree node not walked yet)
inline const QString Open = QStringLiteral("open"); // a tree folder node that was walked
inline const QString Leaf = QStringLiteral("leaf"); // a file
inline const QString Leaf2 = QStringLiteral("leaf2"); // handled by a transfer
inline const QString Leaf3 = QStringLiteral("leaf3"); // skipped by a transfer, or by the link checker
inline const QString LeafKill = QStringLiteral("leafkill"); // moved away by the clean-up

// A file row or node, whatever a transfer, the link checker or the clean-up marked it with.
inline bool isFile(const QString& key) { return key.startsWith(Leaf); }
}
