#pragma once

#include <QString>

// Small rules on path texts shared by the panes.

// The text with every piece from a "[" up to and including the next "]" removed (a "[" that
// is never closed removes the rest); every other character, blanks included, stays.
QString StripDriveLabel(const QString& text);

// The parent of a "/"-separated path: every complete "/"-terminated piece, then a trailing
// "/" removed. "/home/u" gives "/home", "/home" gives the empty text, "host" the empty text.
QString parentFolderText(const QString& path);

// `folder` + "/" + `name` with no doubled "/" where they meet ("/" and "a" give "/a").
QString joinLocalPath(const QString& folder, const QString& name);
