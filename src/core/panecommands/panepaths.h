#pragma once

#include <QString>

// The path and name rules of copy, paste, move and rename in the lists. Pure functions.
namespace PanePaths {

// Every doubled "/" made single, also in runs of three or more.
QString collapseSlashes(const QString& path);

// The part after the last "/" (the whole text when it holds none).
QString lastPart(const QString& path);

// folder + "/" + name, doubled "/" made single.
QString join(const QString& folder, const QString& name);

// A name a list row may carry into a path: not empty, not "." or "..", no "/" and no NUL.
// Names come from servers and from the user's edits; anything else could leave the folder.
bool isPlainName(const QString& name);

// The server folder a path box text stands for: the host name (trimmed) is the root "/", a text
// that begins with the host name is the part after it, anything else is taken as it is.
QString serverFolder(const QString& txtDir, const QString& hostName);

// The first free name of the form "name (2)", "name (3)", ... beside an existing `path`, as the
// shell's copy with "rename on collision" names it. `exists` tells whether a path is taken.
template <typename Exists> QString firstFreeName(const QString& path, Exists exists);

// What a rename in a list does with the edited text.
enum class RenameCheck {
    Cancel, // empty or unchanged: nothing is sent or touched
    Refuse, // not a plain name (holds "/", is "." or ".."): refused
    Go,
};
RenameCheck checkRename(const QString& oldName, const QString& newName);

} // namespace PanePaths

template <typename Exists> QString PanePaths::firstFreeName(const QString& path, Exists exists)
{
    for (int n = 2;; ++n) {
        const QString candidate = path + QStringLiteral(" (%1)").arg(n);
        if (!exists(candidate))
            return candidate;
    }
}
