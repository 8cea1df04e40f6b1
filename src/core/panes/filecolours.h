#pragma once

#include <QColor>
#include <QString>

class PaneListModel;

// Text colours of the file lists by file kind; the start page index.html is red. The two lists
// differ in one group: system files are grey in the local list only.
enum class ListSide { Local, Ftp };

// The colour of a row whose text (the file or folder name) is `name`.
QColor fileColour(const QString& name, ListSide side);

// Sets the text colour of every row of `list` from its column 0 text. When `coloursOff` (the
// option "ファイルの色分けをしない") it returns at once and the rows keep their colours.
void colourListRows(PaneListModel& list, ListSide side, bool coloursOff);

// The pass over the server list `fileList` (the local pane runs ColourLocalList itself).
inline void ColourFtpList(PaneListModel& fileList, bool coloursOff)
{
    colourListRows(fileList, ListSide::Ftp, coloursOff);
}
