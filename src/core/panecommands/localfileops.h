#pragma once

#include <QString>

// The local file calls of the pane commands, in place of the first platform's file copy, shell
// folder copy and file move. Each returns success; nothing here deletes a file the user did not
// ask to replace.
namespace LocalFileOps {

// Copies a file over `destination` (an existing file there is replaced; the copy goes to a
// temporary file first, so a failed copy leaves the old one). Refuses to copy a file onto itself.
bool copyFileOver(const QString& source, const QString& destination);

// The shell's folder copy with "no confirmation, rename on collision": copies `source` (a
// folder, or a file) with everything below it to `destination`; when that exists already the
// copy gets the first free name "destination (2)", ... `copiedTo` receives the path used.
// Refuses to copy a folder into itself. Symbolic links are copied as links, never followed.
bool copyTree(const QString& source, const QString& destination, QString* copiedTo = nullptr);

// The file move with "copy allowed": a rename, or across file systems a copy followed by the
// removal of the source. Fails when `destination` exists or lies inside `source`.
bool moveEntry(const QString& source, const QString& destination);

// Renames within a folder. With `replace` an existing file `destination` is replaced (never a
// folder); without it an existing destination makes it fail.
bool renameEntry(const QString& source, const QString& destination, bool replace);

// True when `path` is `folder` or lies below it (both absolute; compared clean).
bool isInside(const QString& path, const QString& folder);

} // namespace LocalFileOps
