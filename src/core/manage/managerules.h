#pragma once

#include <QString>
#include <array>
#include <optional>

// The text rules of deleting, making folders and changing permissions. Pure functions.
namespace ManageRules {

// The server folder a deletion starts from, from the path box text (the host name stands for the
// root): the trimmed text; "/" when it equals the trimmed host name; the part after the host name
// when it holds it; every "//" made "/".
QString deletionRoot(const QString& txtDir, const QString& hostName);

// root + "/" + name with every "//" made "/".
QString joinPath(const QString& root, const QString& name);

// The counts of `DeleteConfirmation`: "フォルダー数:" + folders + "　ファイル数:" + files.
QString cautionCounts(qint32 folders, qint32 files);

// The proposal of the local folder box: the trimmed path with "/" appended when missing.
QString localFolderProposal(const QString& txtDir2);

// The mode of nine boxes (read, write, execute of owner, group, other): one digit per level
// ("644"), the digit of one level, and nine letters ("rw-r--r--").
QString modeDigits(const std::array<bool, 9>& boxes);
int levelDigit(const std::array<bool, 9>& boxes, int level);
QString modeLetters(const std::array<bool, 9>& boxes);
// The boxes of a mode given as text (the companion's "</permit>"): three octal digits, blanks
// around them allowed. Nothing for any other text.
std::optional<std::array<bool, 9>> boxesFromMode(const QString& mode);

// "SITE CHMOD " + mode + " " + name: the name as it is, blanks included (the rest of the line
// after the mode is the name).
QString chmodCommand(const QString& mode, const QString& name);

} // namespace ManageRules
