#pragma once

#include <QString>

// The folder that holds settings, log, schedule and temporary files. Resolved once at start-up:
// $FTPTARVO_HOME, else the executable's folder when it holds ftpset.ini (portable install),
// else $XDG_CONFIG_HOME/ftptarvo (created 0700).
namespace DataFolder {

QString resolve();

// The resolved folder, without a trailing "/". Resolves on first use.
QString path();

// path() + "/" + name.
QString file(const QString& name);

// For tests: forget the resolved folder so the next path() resolves again.
void reset();

} // namespace DataFolder
