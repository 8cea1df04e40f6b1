#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Dialogs;
class QStandardItemModel;

// What the clean-up did.
struct CleanupResult {
    bool confirmed = false; // false: the user answered No and nothing was touched
    int moved = 0; // copied into the backup folder, verified, removed, logged
    int failed = 0; // left where they were (copy, verification or removal failed)
    QStringList failedPaths;
    QString error; // in Japanese, when the backup folder or its log could not be made
};

// Copies `from` to the new file `to`; true on success. The clean-up checks the copy's size itself.
using CleanupCopy = std::function<bool(const QString& from, const QString& to)>;

// Moves the files no page links to ("leaf" nodes of the local tree after a trace) into the
// backup folder of `siteFolder`, after asking "リンクの無いファイルを消してよろしいですか？".
//
// The backup folder is the site folder's "back" folder in any case ("Back" when none exists; it
// is created then). A file is removed only when its copy there has the same size; a copy never
// overwrites another: the later of two files of one name becomes "name (2).ext", "name (3).ext",
// ... Each moved file adds its node key as a line to "deletelog.txt" in the backup folder (CP932,
// CR LF), followed by " -> Back/<copy name>" when the copy got another name, and its node becomes
// "leafkill". Nothing inside a folder named "back" (any case, any depth) and nothing outside
// `siteFolder` is touched.
CleanupResult RemoveUnlinkedFiles(
    QStandardItemModel& tree, const QString& siteFolder, Dialogs& dialogs, const CleanupCopy& copy = {});
