#pragma once

#include <QIcon>
#include <QString>

// The pictures of the `Toolbar1` buttons, drawn so they look the same under every style and
// icon theme. `key` is the button's key ("open", "cut", ..., "Stop").
QIcon toolbarIcon(const QString& key);
