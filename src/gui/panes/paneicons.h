#pragma once

#include <QIcon>
#include <QString>

// The small icon drawn for an icon key ("closed", "open", "leaf", "leaf2", "leaf3",
// "leafkill"); an unknown key gives the null icon.
QIcon paneIcon(const QString& key);
