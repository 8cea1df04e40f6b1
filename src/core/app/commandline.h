#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do by its command line (`CommandLine`, the arguments joined
// with one blank each). The forms are tested in this order:
//  - a profile name: the first profile whose upper-cased name equals the upper-cased command
//    line (`profileIndex`); the tests below run as well, so the form is recorded beside `kind`;
//  - "<message visible>" or "<message invisible>", compared lower-cased;
//  - a path with every double quote removed, optionally prefixed by "jsTarvo" (a companion
//    start) and followed by "handle=" and the companion's handle, split at "/": three or more
//    parts name a folder (all parts but the last, joined with "/") and a row in it (the last);
//    fewer parts only show the window.
struct CommandLineRequest {
    enum class Kind {
        Empty, // no command line: plain start-up
        MessageVisible,
        MessageInvisible,
        ShowOnly, // a profile name or a path of fewer than three parts: only show the window
        OpenPath, // open `folder` in the local pane and select the row `name`
    };

    Kind kind = Kind::Empty;
    int profileIndex = -1; // index into the profile names, -1 when no profile matched
    bool companionStart = false; // the path began with "jsTarvo"
    bool hasHandle = false; // "handle=" was present
    // The companion's handle: a positive number below 2^31, 0 when the text after "handle="
    // holds no such number (a message to handle 0 goes nowhere).
    qint64 companionHandle = 0;
    QString folder; // OpenPath: the folder, "/"-separated
    QString name; // OpenPath: the row to select
};

CommandLineRequest parseCommandLine(const QString& commandLine, const QStringList& profileNames);

// The leading number of a text as the first platform's Val read it: blanks skipped, then
// decimal digits. Values of 2^31 or more, and texts without digits, give 0.
qint64 leadingHandleNumber(QStringView text);
